// Window and dialog utilities: placement of real windows, the fonts the
// library makes, the dialog font handed to controls, and the 3-D frame
// checked pixel by pixel in a DIB section.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

HWND MakeWindow(int x, int y, int w, int h, DWORD style = WS_POPUP, HWND parent = nullptr)
{
    return CreateWindowExA(0, "STATIC", "", style, x, y, w, h, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// A hidden window destroyed with the test.
struct Window {
    explicit Window(int x, int y, int w, int h, DWORD style = WS_POPUP, HWND parent = nullptr)
        : hwnd(MakeWindow(x, y, w, h, style, parent)) {}
    ~Window() { DestroyWindow(hwnd); }
    HWND hwnd;
};

HWND DestroyedWindowHandle()
{
    HWND window = MakeWindow(0, 0, 10, 10);
    DestroyWindow(window);
    return window;
}

::testing::AssertionResult RectIs(HWND window, int left, int top, int right, int bottom)
{
    RECT r = {};
    GetWindowRect(window, &r);
    if (r.left == left && r.top == top && r.right == right && r.bottom == bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "window at (" << r.left << ", " << r.top << ", " << r.right << ", "
                                         << r.bottom << ")";
}

LOGFONTA FontRecord(HGDIOBJ font)
{
    LOGFONTA record = {};
    EXPECT_GT(GetObjectA(font, sizeof record, &record), 0);
    return record;
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

int TwelvePointHeight()
{
    HDC screen = GetDC(nullptr);
    const int height = MulDiv(-12, GetDeviceCaps(screen, LOGPIXELSY), 72); // -16 at 96 dots per inch
    ReleaseDC(nullptr, screen);
    return height;
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// A modeless dialog built from an in-memory extended template: a static,
// an edit and a group box, plus a static inside the group box so that a
// grandchild is present too. With a font, it is bold 9-point Arial.
class Dialog {
public:
    explicit Dialog(bool boldArial)
    {
        Dword(0xFFFF0001); // version 1 of the extended template
        Dword(0);
        Dword(0);
        Dword(WS_POPUP | WS_CAPTION | (boldArial ? DS_SETFONT : 0));
        Word(3);
        Box(0, 0, 160, 80);
        Dword(0); // no menu, the dialog class
        Word(0);  // no title
        if (boldArial) {
            Word(9);
            Word(FW_BOLD);
            Word(MAKEWORD(FALSE, ANSI_CHARSET));
            for (const wchar_t* s = L"Arial"; *s; ++s) Word(*s);
            Word(0);
        }
        for (WORD classOrdinal : {0x0082, 0x0081, 0x0080}) {
            if (words_.size() % 2) Word(0); // items start on a DWORD boundary
            Dword(0);
            Dword(0);
            Dword(WS_CHILD | WS_VISIBLE | (classOrdinal == 0x0080 ? BS_GROUPBOX : 0));
            Box(5, static_cast<short>(5 + (classOrdinal - 0x80) * 20), 100, 14);
            Dword(classOrdinal); // the control's id
            Dword(0xFFFFu | (classOrdinal << 16));
            Word(0); // no text
            Word(0); // no creation data
        }
        hwnd = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                          reinterpret_cast<LPCDLGTEMPLATEA>(words_.data()), nullptr,
                                          IgnoreMessages, 0);
        controls = {GetDlgItem(hwnd, 0x82), GetDlgItem(hwnd, 0x81), GetDlgItem(hwnd, 0x80)};
        controls.push_back(MakeWindow(5, 5, 50, 10, WS_CHILD, controls.back()));
    }
    ~Dialog() { DestroyWindow(hwnd); }

    HWND hwnd = nullptr;
    std::vector<HWND> controls;

private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)); Word(HIWORD(d)); }
    void Box(short x, short y, short cx, short cy) { Word(x); Word(y); Word(cx); Word(cy); }
    std::vector<WORD> words_;
};

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

constexpr COLORREF kBackground = RGB(255, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kDarkGrey = RGB(150, 150, 150);
constexpr COLORREF kLightGrey = RGB(200, 200, 200);

// A 32-bit DIB section selected into a memory DC, filled with the background.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h), dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h; // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, bitmap);
        for (int n = 0; n < w * h; ++n) static_cast<DWORD*>(bits)[n] = 0xFF00FF;
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int width, height;
    HDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

// What each letter of a frame picture stands for in one style:
// O outline, F face, U upper-left band, R lower-right band, '.' untouched.
struct StylePens {
    int style;
    COLORREF outline, upperLeft, lowerRight;
};
const StylePens kStyle0 = {0, kBlack, kWhite, kDarkGrey};

// Compares the whole canvas with the picture; on a mismatch shows what was
// drawn in the same letters.
::testing::AssertionResult Shows(const Canvas& canvas, const StylePens& pens, const std::vector<std::string>& picture)
{
    const wintest::Pixels pixels = wintest::CaptureDC(canvas.dc, canvas.width, canvas.height);
    std::vector<std::string> drawn;
    for (int y = 0; y < canvas.height; ++y) {
        drawn.emplace_back();
        for (int x = 0; x < canvas.width; ++x) {
            const COLORREF c = pixels.At(x, y);
            drawn.back() += c == kBackground ? '.' : c == kLightGrey ? 'F' : c == pens.outline ? 'O'
                            : c == pens.upperLeft ? 'U' : c == pens.lowerRight ? 'R' : '?';
        }
    }
    if (drawn == picture) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "style " << pens.style << " drew:\n";
    for (const std::string& row : drawn) failure << row << "\n";
    return failure;
}

} // namespace

TEST(WindowPlacement, WinCenterPutsTheWindowInTheMiddleOfTheScreen)
{
    const int cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN) / 2;
    // Odd sizes lose their half pixel: 301 x 201 lands where 300 x 200 does
    // (362, 284 on a 1024 x 768 screen).
    for (SIZE size : {SIZE{300, 200}, SIZE{301, 201}}) {
        Window window(5, 7, size.cx, size.cy);
        EXPECT_TRUE(winCenter(window.hwnd));
        EXPECT_TRUE(RectIs(window.hwnd, cx - 150, cy - 100, cx - 150 + size.cx, cy - 100 + size.cy));
    }
}

TEST(WindowPlacement, CwCenterUsesTheReferenceClientAreaAndOffset)
{
    Window reference(100, 80, 400, 300, WS_POPUP | WS_CAPTION | WS_THICKFRAME);
    RECT client;
    GetClientRect(reference.hwnd, &client);
    POINT c = {client.right / 2, client.bottom / 2};
    ClientToScreen(reference.hwnd, &c);

    Window window(0, 0, 120, 61);
    EXPECT_TRUE(cwCenter(window.hwnd, reference.hwnd, 0));
    EXPECT_TRUE(RectIs(window.hwnd, c.x - 60, c.y - 30, c.x + 60, c.y + 31));
    EXPECT_TRUE(cwCenter(window.hwnd, reference.hwnd, 20));
    EXPECT_TRUE(RectIs(window.hwnd, c.x - 60, c.y - 10, c.x + 60, c.y + 51));
}

TEST(WindowPlacement, InflateAndMoveChangeOnlyWhatTheyAreFor)
{
    Window window(40, 50, 200, 100);
    EXPECT_TRUE(InflateWnd(window.hwnd, -10, 0));
    EXPECT_TRUE(RectIs(window.hwnd, 40, 50, 230, 150));
    EXPECT_TRUE(InflateWnd(window.hwnd, 15, 5));
    EXPECT_TRUE(RectIs(window.hwnd, 40, 50, 245, 155));
    EXPECT_TRUE(MoveWnd(window.hwnd, 7, 9));
    EXPECT_TRUE(RectIs(window.hwnd, 47, 59, 252, 164));

    // A child moves within its parent's client area.
    Window parent(100, 100, 300, 200, WS_POPUP | WS_CAPTION | WS_THICKFRAME);
    Window child(10, 20, 50, 30, WS_CHILD, parent.hwnd);
    EXPECT_TRUE(MoveWnd(child.hwnd, 5, -3));
    POINT origin = {0, 0};
    ClientToScreen(parent.hwnd, &origin);
    EXPECT_TRUE(RectIs(child.hwnd, origin.x + 15, origin.y + 17, origin.x + 65, origin.y + 47));

    // An owned window is placed on the screen, although GetParent names its owner.
    Window owned(40, 50, 200, 100, WS_POPUP, parent.hwnd);
    ASSERT_EQ(GetParent(owned.hwnd), parent.hwnd);
    EXPECT_TRUE(MoveWnd(owned.hwnd, 7, 9));
    EXPECT_TRUE(RectIs(owned.hwnd, 47, 59, 247, 159));
}

TEST(WindowPlacement, HandlesThatAreNotWindowsAreRefused)
{
    const HWND gone = DestroyedWindowHandle();
    Window window(40, 50, 200, 100);
    EXPECT_EQ(winCenter(gone), 0);
    EXPECT_EQ(cwCenter(gone, window.hwnd, 0), 0);
    EXPECT_EQ(InflateWnd(gone, 10, 10), 0);
    EXPECT_EQ(MoveWnd(gone, 10, 10), 0);
    // A reference that is not a window gives no centre: nothing moves.
    EXPECT_EQ(cwCenter(window.hwnd, gone, 0), 0);
    EXPECT_TRUE(RectIs(window.hwnd, 40, 50, 240, 150));

    const int fonts = wintest::CountGdiObjects().fonts;
    EXPECT_EQ(SetMyDialogFont(gone), nullptr);
    EXPECT_EQ(wintest::CountGdiObjects().fonts, fonts);
}

TEST(Fonts, SmallFontAsksForItsOwnFaceAndMetrics)
{
    const HFONT font = GetSmallFont();
    const LOGFONTA r = FontRecord(font);
    EXPECT_EQ(r.lfHeight, 15);
    EXPECT_EQ(r.lfWidth, 6);
    EXPECT_EQ(r.lfWeight, 70);
    EXPECT_EQ(r.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
    EXPECT_STREQ(r.lfFaceName, "MyFont");
    EXPECT_TRUE(DeleteObject(font));
}

TEST(Fonts, GetFontIsTwelvePointArialForTheDevice)
{
    Window window(0, 0, 100, 100);
    const HFONT bold = GetFont(window.hwnd, 1);
    const HFONT normal = GetFont(window.hwnd, 0); // the shared template is overwritten
    EXPECT_EQ(FontRecord(bold).lfWeight, 600);
    EXPECT_EQ(FontRecord(normal).lfWeight, 400);
    const LOGFONTA r = FontRecord(normal);
    EXPECT_EQ(r.lfHeight, TwelvePointHeight());
    EXPECT_EQ(r.lfOutPrecision, OUT_STRING_PRECIS);
    EXPECT_EQ(r.lfClipPrecision, CLIP_STROKE_PRECIS);
    EXPECT_EQ(r.lfQuality, DRAFT_QUALITY);
    EXPECT_EQ(r.lfPitchAndFamily, 0x1A);
    EXPECT_STREQ(r.lfFaceName, "Arial");
    DeleteObject(bold);
    DeleteObject(normal);

    // Without a window's device context the screen's gives the height.
    for (HWND none : {static_cast<HWND>(nullptr), DestroyedWindowHandle()}) {
        const HFONT font = GetFont(none, 0);
        EXPECT_EQ(FontRecord(font).lfHeight, TwelvePointHeight());
        DeleteObject(font);
    }
}

TEST(Fonts, DialogControlsGetANormalWeightCopyOfTheDialogFont)
{
    Dialog dialog(true);
    const HFONT dialogFont = FontOf(dialog.hwnd);
    const LOGFONTA before = FontRecord(dialogFont);
    ASSERT_EQ(before.lfWeight, FW_BOLD);

    const HFONT font = SetMyDialogFont(dialog.hwnd);
    ASSERT_TRUE(font);
    for (HWND control : dialog.controls) EXPECT_EQ(FontOf(control), font);
    const LOGFONTA after = FontRecord(font);
    EXPECT_EQ(after.lfWeight, FW_NORMAL);
    EXPECT_EQ(after.lfHeight, before.lfHeight);
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName);
    EXPECT_EQ(FontOf(dialog.hwnd), dialogFont); // the dialog keeps its own
    DeleteObject(font);
}

TEST(Fonts, DialogWithoutAFontGivesANormalWeightSystemFont)
{
    Dialog dialog(false);
    ASSERT_FALSE(FontOf(dialog.hwnd));
    const HFONT font = SetMyDialogFont(dialog.hwnd);
    ASSERT_TRUE(font);
    for (HWND control : dialog.controls) EXPECT_EQ(FontOf(control), font);
    EXPECT_EQ(FontRecord(font).lfWeight, FW_NORMAL);
    EXPECT_STREQ(FontRecord(font).lfFaceName, FontRecord(GetStockObject(SYSTEM_FONT)).lfFaceName);
    DeleteObject(font);
}

TEST(Leaks, FontsAndFramesLeaveNothingBehind)
{
    Dialog dialog(true);
    Canvas canvas(40, 40);
    auto run = [&] {
        for (HFONT font : {GetSmallFont(), GetFont(dialog.hwnd, 1), SetMyDialogFont(dialog.hwnd)})
            EXPECT_TRUE(DeleteObject(font));
        for (int style = 0; style < 3; ++style) {
            RECT rect = {0, 0, 40, 40};
            EXPECT_TRUE(Create3DEffect(canvas.dc, &rect, 4, style));
        }
    };
    run(); // warm-up: caches GDI fills on first use
    const auto before = wintest::ResourceSnapshot::Take();
    for (int n = 0; n < 10; ++n) run();
    const auto after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
}

TEST(Frame3D, DepthTwoHasThreeFaceRectanglesAndOnlyALowerRightLine)
{
    Canvas canvas(14, 12);
    RECT rect = {1, 1, 12, 10};
    EXPECT_TRUE(Create3DEffect(canvas.dc, &rect, 2, 0));
    EXPECT_TRUE(Shows(canvas, kStyle0, {
        "..............",
        ".OOOOOOOOOOOO.",
        ".OFFFFFFFFFFO.",
        ".OFFFFFFFFFRO.",
        ".OFFFFFFFFFRO.",
        ".OFFF....FFRO.",
        ".OFFF....FFRO.",
        ".OFFFFFFFFFRO.",
        ".OFFFFFFFFFRO.",
        ".OFRRRRRRRRRO.",
        ".OOOOOOOOOOOO.",
        "..............",
    }));
    EXPECT_EQ(rect.left, 4);
    EXPECT_EQ(rect.bottom, 7);
}

TEST(Frame3D, StyleChoosesThePensOfOutlineAndBands)
{
    // Depth 4: two upper-left lines, then three lower-right lines drawn over
    // them, each line leaving out its end point.
    const std::vector<std::string> picture = {
        "..................",
        ".OOOOOOOOOOOOOOOO.",
        ".OUUUUUUUUUUUUUFO.",
        ".OUUUUUUUUUUURRRO.",
        ".OUUFFFFFFFFFRRRO.",
        ".OUUFFFFFFFFFRRRO.",
        ".OUUFFFFFFFFFRRRO.",
        ".OUUFFF....FFRRRO.",
        ".OUUFFF....FFRRRO.",
        ".OUUFFFFFFFFFRRRO.",
        ".OUUFFFFFFFFFRRRO.",
        ".OURRRRRRRRRRRRRO.",
        ".OURRRRRRRRRRRRRO.",
        ".OFRRRRRRRRRRRRRO.",
        ".OOOOOOOOOOOOOOOO.",
        "..................",
    };
    const StylePens styles[] = {
        {1, kBlack, kDarkGrey, kWhite}, {2, kWhite, kBlack, kDarkGrey}, kStyle0, {7, kBlack, kWhite, kDarkGrey}};
    for (const StylePens& pens : styles) {
        Canvas canvas(18, 16);
        RECT rect = {1, 1, 16, 14};
        EXPECT_TRUE(Create3DEffect(canvas.dc, &rect, 4, pens.style));
        EXPECT_TRUE(Shows(canvas, pens, picture));
        EXPECT_TRUE(rect.left == 6 && rect.top == 6 && rect.right == 11 && rect.bottom == 9);
    }
}

TEST(Frame3D, InsideRectangleAndPenLeftSelected)
{
    Canvas canvas(20, 20);
    const HPEN own = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(canvas.dc, own);
    for (int depth : {-1, 0, 3}) {
        RECT rect = {2, 2, 18, 18};
        EXPECT_TRUE(Create3DEffect(canvas.dc, &rect, depth, 2));
        const int inset = depth < 0 ? 0 : depth + 1;
        EXPECT_TRUE(rect.left == 2 + inset && rect.top == 2 + inset && rect.right == 18 - inset &&
                    rect.bottom == 18 - inset) << "depth " << depth;
    }
    // The black stock pen stays selected; the caller's pen is not put back
    // but still the caller's.
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(own));

    RECT rect = {2, 2, 18, 18};
    EXPECT_EQ(Create3DEffect(canvas.dc, nullptr, 1, 0), 0);
    EXPECT_EQ(Create3DEffect(nullptr, &rect, 1, 0), 0);
    EXPECT_EQ(rect.left, 2);
}

TEST(Frame3D, HugeDepthIsBoundedByTheRectangle)
{
    Canvas canvas(20, 20);
    RECT rect = {0, 0, 20, 20};
    const DWORD start = GetTickCount();
    EXPECT_TRUE(Create3DEffect(canvas.dc, &rect, INT_MAX, 0));
    EXPECT_LT(GetTickCount() - start, 2000u);
    // An inset that does not fit stops at the edge of the int range.
    EXPECT_EQ(rect.left, INT_MAX);
    EXPECT_EQ(rect.right, static_cast<int>(20 - 2147483648LL));
}
