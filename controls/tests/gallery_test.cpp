// The control gallery run as its own program, observed from outside: every
// window class of the library shows in it and has painted, its children lie
// side by side within an 800 x 600 window (at 96 DPI), its push buttons
// carry tips, and closing it ends it with exit code 0. At the DPI of the
// prefix it runs in, every text is whole in the dialog font of that DPI,
// and the library's own texts grow with the DPI. A screenshot of the window
// is kept as artifacts/gallery.bmp in the build tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dpimetrics.h"
#include "kwctrl32.h"
#include "wintest.h"

namespace {

const char kGalleryClass[] = "KWGalleryWindow";

struct ClassSearch {
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOfClass(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, search->className) == 0)
        search->found.push_back(child);
    return TRUE;
}

// Every window of the class below parent, at any depth.
std::vector<HWND> Descendants(HWND parent, const char* className)
{
    ClassSearch search{className, {}};
    EnumChildWindows(parent, CollectOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> DirectChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) children.push_back(c);
    return children;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT ScreenRect(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

// Whether the window's close button shows a cross: dark pixels in each of
// the four quarters around the button's centre. Drawn without the Marlett
// font, the button shows the letter "r", whose lower right quarter is empty.
bool CloseButtonShowsCross(const wintest::Pixels& screen, HWND window)
{
    WINDOWINFO info = {};
    info.cbSize = sizeof info;
    if (!GetWindowInfo(window, &info)) return false;
    const int right = info.rcWindow.right - static_cast<int>(info.cxWindowBorders);
    const int top = info.rcWindow.top + static_cast<int>(info.cyWindowBorders);
    const int cx = right - GetSystemMetrics(SM_CXSIZE) / 2;
    const int cy = top + GetSystemMetrics(SM_CYSIZE) / 2;
    int dark[2][2] = {};
    for (int dy = -5; dy <= 5; ++dy)
        for (int dx = -5; dx <= 5; ++dx) {
            const COLORREF c = screen.At(cx + dx, cy + dy);
            if (dx && dy && c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96)
                ++dark[dy > 0][dx > 0];
        }
    return dark[0][0] && dark[0][1] && dark[1][0] && dark[1][1];
}

// The part of a screen capture that a screen rectangle covers.
wintest::Pixels Cut(const wintest::Pixels& screen, const RECT& r)
{
    wintest::Pixels part;
    part.width = r.right - r.left;
    part.height = r.bottom - r.top;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) part.data.push_back(screen.At(x, y));
    return part;
}

bool Has(const wintest::Pixels& p, COLORREF colour)
{
    return p.CountColor(colour) > 0;
}

// A frame drawn by the control itself, seen at mid-height of its left and
// right edges (what lies inside may be other windows).
bool Framed(const wintest::Pixels& p, int leftColour, int rightColour)
{
    return p.At(0, p.height / 2) == GetSysColor(leftColour) &&
           p.At(p.width - 1, p.height / 2) == GetSysColor(rightColour);
}

// How a control of each class looks once it has painted in the gallery.
struct Look {
    const char* className;
    bool (*painted)(const wintest::Pixels&);
};
const Look kLooks[] = {
    {KW_GASGAUGE_CLASS, [](const wintest::Pixels& p) { return Has(p, GetSysColor(COLOR_HIGHLIGHT)); }},
    {KW_CALENDAR_CLASS, [](const wintest::Pixels& p) { return Has(p, GetSysColor(COLOR_HIGHLIGHT)); }},
    {KW_CALENDARBAR_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)); }},
    {KW_STATUS_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)); }},
    {KW_STATUSTEXT_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW); }},
    {KW_HEADER_CLASS,
     [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)) && Has(p, GetSysColor(COLOR_BTNHIGHLIGHT)); }},
    {KW_BMPBUTTON_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(255, 255, 0)); }}, // the yellow folder
    {KW_URL_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(10, 10, 255)); }},
    {KW_TIMEDISPLAY_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 255, 255)); }},
    {KW_BUMPS_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW); }},
    {KW_DIPS_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT); }},
};

// Text heights, measured at 96 DPI as the rows from the top of the
// tallest letter to the bottom of the lowest, of the status bar's "Ready"
// and of the tip "Jumps the calendar to today".
constexpr int kStatusInkHeightAt96 = 10;
constexpr int kTipInkHeightAt96 = 15;

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    char out[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

// Text ink: the dark pixels of text on a light ground, whose smoothed
// edges are left out.
bool Dark(COLORREF c)
{
    return c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100;
}

// The rows (or columns) of area, in screen pixels, that hold ink: the
// first and one past the last, {0, 0} when there is none.
struct Span {
    int first = 0, end = 0;
    int length() const { return end - first; }
};
Span InkSpan(const wintest::Pixels& screen, const RECT& area, bool rows)
{
    Span span;
    bool found = false;
    const int outerFrom = rows ? area.top : area.left, outerTo = rows ? area.bottom : area.right;
    for (int a = outerFrom; a < outerTo; ++a) {
        bool any = false;
        for (int b = rows ? area.left : area.top; b < (rows ? area.right : area.bottom) && !any; ++b)
            any = Dark(rows ? screen.At(b, a) : screen.At(a, b));
        if (!any) continue;
        if (!found) span.first = a;
        found = true;
        span.end = a + 1;
    }
    return span;
}

// Whether a child's text fits the window that holds it, in the dialog font
// at the screen's DPI: empty when it does, else what it needs and has. A
// static wraps at word breaks unless told not to, and a word wider than
// the window widens what it needs; a push button keeps its edges clear, a
// check box its box.
std::string TextMisfit(HWND child, HDC dc, UINT dpi)
{
    const std::wstring text = TextOf(child);
    if (text.empty()) return "";
    RECT client;
    GetClientRect(child, &client);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const std::string cls = ClassOf(child);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int edge = KwSystemMetric(SM_CXEDGE, dpi);
    SIZE need = {};
    if (lstrcmpiA(cls.c_str(), "Static") == 0) {
        RECT r = {0, 0, client.right, 0};
        const bool wraps = (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
        DrawTextW(dc, text.c_str(), -1, &r,
                  DT_CALCRECT | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : 0) | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
        need = {r.right, r.bottom};
    } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
            need = {KwSystemMetric(SM_CXMENUCHECK, dpi) + KwScale(4, dpi) + extent.cx, metrics.tmHeight};
        else
            need = {extent.cx + 4 * edge, metrics.tmHeight + 2 * edge};
    } else if (lstrcmpiA(cls.c_str(), "Edit") == 0) {
        need = {extent.cx, metrics.tmHeight};
    } else {
        return "";
    }
    if (need.cx <= client.right && need.cy <= client.bottom) return "";
    return cls + " \"" + Narrow(text) + "\" needs " + std::to_string(need.cx) + " x " + std::to_string(need.cy) +
           ", has " + std::to_string(client.right) + " x " + std::to_string(client.bottom);
}

HWND VisibleTip(DWORD pid)
{
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, KW_TIP_CLASS, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid && IsWindowVisible(h)) return h;
    }
    return nullptr;
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(0, 0); // away from the window, so nothing is hot
        gallery_ = wintest::StartProcess(wintest::ExeDir() + "KWGallery.exe");
        ASSERT_TRUE(gallery_);
        window_ = wintest::WaitForWindow(kGalleryClass, nullptr, 15000, gallery_.pid);
        ASSERT_TRUE(window_);
        // Shown once every child has been made.
        ASSERT_TRUE(wintest::PumpUntil([this] { return IsWindowVisible(window_) != FALSE; }, 10000));
    }
    void TearDown() override
    {
        SetCursorPos(0, 0);
        wintest::KillProcess(gallery_);
    }

    // The screen once the gallery has painted: every window of it that
    // holds text (the status bar's panes too) shows ink.
    wintest::Pixels PaintedScreen() const
    {
        std::vector<HWND> texts = Descendants(window_, KW_STATUSTEXT_CLASS);
        for (HWND child : DirectChildren(window_))
            if (!TextOf(child).empty()) texts.push_back(child);
        wintest::Pixels screen;
        wintest::PumpUntil(
            [&] {
                screen = wintest::CaptureScreen();
                for (HWND w : texts) {
                    const RECT r = ScreenRect(w);
                    if (!IsRectEmpty(&r) && !TextOf(w).empty() && InkSpan(screen, r, true).length() == 0) return false;
                }
                return true;
            },
            10000);
        return screen;
    }

    wintest::Process gallery_;
    HWND window_ = nullptr;
};

TEST_F(GalleryTest, ShowsEveryClassPaintedSideBySideAndClosesWithCodeZero)
{
    const RECT outer = ScreenRect(window_);
    const UINT dpi = KwScreenDpi();
    EXPECT_LE(outer.right - outer.left, KwScale(800, dpi));
    EXPECT_LE(outer.bottom - outer.top, KwScale(600, dpi));

    // One window of every class that has a size (the status bar's count
    // text is a 0 x 0 holder), looking as it does once painted: the lit
    // blocks at 40 %, the selected day, the bar's arrows, the status panes'
    // texts, the frames, the folder picture, the link's blue, the cyan time.
    std::vector<std::pair<const Look*, HWND>> controls;
    for (const Look& look : kLooks) {
        HWND sized = nullptr;
        for (HWND w : Descendants(window_, look.className)) {
            const RECT r = ScreenRect(w);
            if (!sized && !IsRectEmpty(&r)) sized = w;
        }
        ASSERT_TRUE(sized) << look.className;
        controls.emplace_back(&look, sized);
    }

    std::string unpainted;
    wintest::Pixels screen;
    const bool allPainted = wintest::PumpUntil(
        [&] {
            screen = wintest::CaptureScreen();
            unpainted.clear();
            for (const auto& c : controls)
                if (!c.first->painted(Cut(screen, ScreenRect(c.second))))
                    unpainted += std::string(c.first->className) + " ";
            return unpainted.empty();
        },
        10000);
    std::string artifacts = wintest::ExeDir() + "..\\artifacts";
    CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(wintest::SaveBmp(Cut(screen, outer), (artifacts + "\\gallery.bmp").c_str()));
    EXPECT_TRUE(allPainted) << "not painted: " << unpainted;
    EXPECT_TRUE(CloseButtonShowsCross(screen, window_)) << "caption buttons drawn without Marlett";

    // Side by side inside the client area; only the 3-D frame holds others.
    RECT client;
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const std::vector<HWND> children = DirectChildren(window_);
    for (size_t i = 0; i < children.size(); ++i) {
        const RECT a = ScreenRect(children[i]);
        RECT inside;
        IntersectRect(&inside, &a, &client);
        EXPECT_TRUE(EqualRect(&inside, &a)) << ClassOf(children[i]) << " leaves the window";
        for (size_t j = i + 1; j < children.size(); ++j) {
            const RECT b = ScreenRect(children[j]);
            RECT both;
            const bool frame = ClassOf(children[i]) == KW_DIPS_CLASS || ClassOf(children[j]) == KW_DIPS_CLASS;
            if (!frame) {
                EXPECT_FALSE(IntersectRect(&both, &a, &b))
                    << ClassOf(children[i]) << " overlaps " << ClassOf(children[j]);
            }
        }
    }

    // A push button's tip: the info colour inside a black frame. When the
    // tip's delay ends the gallery reads the pointer again, and a pointer
    // placed from another process is not always found where it was put by
    // then; like a resting hand, the pointer moves by a pixel and rests
    // again until the tip shows.
    HWND today = FindWindowExA(window_, nullptr, "Button", "Today");
    ASSERT_TRUE(today);
    const RECT button = ScreenRect(today);
    HWND tip = nullptr;
    for (int step = 0; step < 15 && !tip; ++step) {
        SetCursorPos((button.left + button.right) / 2 + step % 2, (button.top + button.bottom) / 2);
        wintest::PumpUntil([&] { return (tip = VisibleTip(gallery_.pid)) != nullptr; }, 200);
    }
    ASSERT_TRUE(tip);
    wintest::PumpFor(200);
    const wintest::Pixels shown = Cut(wintest::CaptureScreen(), ScreenRect(tip));
    EXPECT_GT(shown.CountColor(GetSysColor(COLOR_INFOBK)), 0);
    EXPECT_EQ(shown.At(0, shown.height / 2), RGB(0, 0, 0));
    // Its text, inside the frame, about DPI/96 times its height at 96 DPI.
    const RECT inside = {1, 1, shown.width - 1, shown.height - 1};
    const int height = InkSpan(shown, inside, true).length();
    EXPECT_NEAR(height, KwScale(kTipInkHeightAt96, dpi), 1 + kTipInkHeightAt96 * dpi / 960) << "tip text";
    SetCursorPos(0, 0);

    PostMessageA(window_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(wintest::WaitExit(gallery_, 5000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// "High contrast" in the window menu puts the library in its high-contrast
// look (the time display's cyan digits go), and the second time back.
TEST_F(GalleryTest, HighContrastLookComesAndGoesFromTheWindowMenu)
{
    constexpr UINT kHighContrastCommand = 0x0100;
    int indices[COLOR_MENUBAR + 1];
    COLORREF session[COLOR_MENUBAR + 1];
    for (int i = 0; i <= COLOR_MENUBAR; ++i) indices[i] = i, session[i] = GetSysColor(i);
    const std::vector<HWND> panels = Descendants(window_, KW_TIMEDISPLAY_CLASS);
    ASSERT_FALSE(panels.empty());
    const auto cyan = [&] { return Cut(wintest::CaptureScreen(), ScreenRect(panels[0])).CountColor(RGB(0, 255, 255)); };
    EXPECT_TRUE(wintest::PumpUntil([&] { return cyan() > 0; }, 5000));
    PostMessageA(window_, WM_SYSCOMMAND, kHighContrastCommand, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { return cyan() == 0; }, 5000));
    PostMessageA(window_, WM_SYSCOMMAND, kHighContrastCommand, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { return cyan() > 0; }, 5000));
    // Whatever happened, the next tests get the session's colours.
    SetSysColors(COLOR_MENUBAR + 1, indices, session);
}

// Every label, button, box and input of the gallery holds its text whole
// in the dialog font at the screen's DPI, and the labels are drawn in that
// font: their ink is as wide as the text measured in it (a font left at 96
// DPI would cover two thirds of it at 144 DPI).
TEST_F(GalleryTest, TextsAreWholeInTheDialogFontOfTheDpi)
{
    const UINT dpi = KwScreenDpi();
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(dc);
    // The stock GUI font is the dialog font at the screen's DPI.
    const HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const wintest::Pixels screen = PaintedScreen();
    int labels = 0;
    for (HWND child : DirectChildren(window_)) {
        const std::string misfit = TextMisfit(child, dc, dpi);
        EXPECT_TRUE(misfit.empty()) << misfit;
        const std::wstring text = TextOf(child);
        if (lstrcmpiA(ClassOf(child).c_str(), "Static") || text.empty() || text.find(L'\n') != std::wstring::npos)
            continue;
        SIZE extent = {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        const int ink = InkSpan(screen, ScreenRect(child), false).length();
        if (extent.cx > ScreenRect(child).right - ScreenRect(child).left) continue; // wraps; misfit tells
        EXPECT_GE(ink, extent.cx * 8 / 10) << Narrow(text);
        EXPECT_LE(ink, extent.cx + 1) << Narrow(text);
        ++labels;
    }
    EXPECT_GE(labels, 8);
    SelectObject(dc, oldFont);
    DeleteDC(dc);
}

// The texts the library's controls draw: the calendar's seven day names
// stand apart, each within its seventh of the calendar, and the status
// bar's text is about DPI/96 times its height at 96 DPI.
TEST_F(GalleryTest, LibraryTextsStandWholeAndGrowWithTheDpi)
{
    const UINT dpi = KwScreenDpi();
    const wintest::Pixels screen = PaintedScreen();

    const std::vector<HWND> calendars = Descendants(window_, KW_CALENDAR_CLASS);
    const std::vector<HWND> bars = Descendants(window_, KW_CALENDARBAR_CLASS);
    ASSERT_FALSE(calendars.empty());
    ASSERT_FALSE(bars.empty());
    const RECT calendar = ScreenRect(calendars[0]);
    const int cell = (calendar.right - calendar.left) / 7;
    // The day names: the first line of ink below the bar, clear of the
    // calendar's sunken edge.
    const int margin = KwScale(3, dpi);
    RECT below = {calendar.left + margin, ScreenRect(bars[0]).bottom, calendar.right - margin,
                  calendar.bottom - margin};
    int top = below.top;
    while (top < below.bottom && InkSpan(screen, {below.left, top, below.right, top + 1}, true).length() == 0)
        ++top;
    int bottom = top;
    while (bottom < below.bottom &&
           InkSpan(screen, {below.left, bottom, below.right, bottom + 1}, true).length() > 0)
        ++bottom;
    ASSERT_LT(top, below.bottom) << "no day names";
    // Runs of inked columns; a gap of a sixth of a cell separates two names.
    const int gap = std::max(3, cell / 6);
    std::vector<Span> names;
    int blank = gap;
    for (int x = below.left; x < below.right; ++x) {
        const bool ink = InkSpan(screen, {x, top, x + 1, bottom}, true).length() > 0;
        if (!ink) {
            ++blank;
            continue;
        }
        if (blank >= gap || names.empty()) names.push_back({x, x + 1});
        names.back().end = x + 1;
        blank = 0;
    }
    EXPECT_EQ(names.size(), 7u) << "day names run together";
    for (const Span& name : names) EXPECT_LT(name.length(), cell) << "a day name wider than its cell";

    // The status pane's "Ready".
    HWND ready = nullptr;
    for (HWND pane : Descendants(window_, KW_STATUSTEXT_CLASS))
        if (TextOf(pane) == L"Ready") ready = pane;
    ASSERT_TRUE(ready);
    RECT pane = ScreenRect(ready);
    InflateRect(&pane, -2, -2);
    const int height = InkSpan(screen, pane, true).length();
    EXPECT_NEAR(height, KwScale(kStatusInkHeightAt96, dpi), 1 + kStatusInkHeightAt96 * dpi / 960) << "status text";
}

} // namespace
