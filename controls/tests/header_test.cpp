// The header slider: column messages, drag and click rules driven by mouse
// messages, the owner's notifications, and buttons and captions by pixels.
#include <string>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

const COLORREF kBack = RGB(0, 0, 255);
const WPARAM kShift = MK_LBUTTON | MK_SHIFT;

// A visible header whose client area is 200 x 30 unless asked otherwise,
// registered under the library, which carries the "MOVING" cursor.
struct Header {
    explicit Header(int columns, int width = 200, int height = 30, int x = 100, int y = 100)
    {
        static const ATOM atom = RegisterHeader(GetModuleHandleA("KWCTRL32.dll"));
        EXPECT_TRUE(atom);
        hwnd = CreateWindowExA(0, KW_HEADER_CLASS, "", WS_POPUP | WS_VISIBLE, x, y, width - 1, height - 2, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        Send(HDRM_SETCOUNT, columns);
    }
    ~Header() { DestroyWindow(hwnd); }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return SendMessageA(hwnd, message, wParam, lParam);
    }
    std::string Positions() const
    {
        std::string all;
        for (int i = 0; i < Send(HDRM_GETCOUNT); ++i) all += (i ? " " : "") + std::to_string(Send(HDRM_GETPOS, i));
        return all;
    }
    LRESULT Press(int x, WPARAM keys = MK_LBUTTON) const { return Send(WM_LBUTTONDOWN, keys, MAKELPARAM(x, 10)); }
    void Move(int x) const { Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 10)); }
    void Release(int x, int y = 10) const { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void Click(int x) const { Press(x), Release(x); }
    void Drag(int from, int to, WPARAM keys = MK_LBUTTON) const { Press(from, keys), Move(to), Release(to); }
    void Captions(const char* text = "Col") const
    {
        for (int i = 0; i < Send(HDRM_GETCOUNT); ++i) Send(HDRM_SETTEXT, i, reinterpret_cast<LPARAM>(text));
    }
    void NotifyTo(const wintest::MessageRecorder& owner) const
    {
        Send(HDRM_SETNOTIFY, reinterpret_cast<WPARAM>(owner.hwnd()));
    }

    HWND hwnd;
};

// 200 pixels put percentage p at pixel 2p; the hit tests add 1 to the
// pointer, so a press at 2p - 1 hits a divider at p exactly.
int At(int percent)
{
    return 2 * percent - 1;
}

} // namespace

TEST(HeaderMessages, IndexesAreCheckedAgainstTheColumnCount)
{
    Header header(3);
    EXPECT_EQ(header.Positions(), "0 33 66");
    const LPARAM text = reinterpret_cast<LPARAM>("Name");
    EXPECT_EQ(header.Send(HDRM_SETTEXT, 3, text), 0);
    EXPECT_EQ(header.Send(HDRM_SETALIGN, 3, HDR_ALIGN_RIGHT), 0);
    EXPECT_EQ(header.Send(HDRM_SETPOS, 3, 50), 0);
    EXPECT_EQ(header.Send(HDRM_GETALIGN, 3), -1);
    EXPECT_EQ(header.Send(HDRM_GETPOS, 3), 0xFFFF);

    // Only the low 16 bits of an index, a position and an alignment count;
    // captions are copied up to a limit, a null one counts as empty.
    EXPECT_EQ(header.Send(HDRM_SETPOS, 0x10002, MAKELPARAM(65535, 7)), 1);
    EXPECT_EQ(header.Send(HDRM_SETALIGN, 0x10001, MAKELPARAM(HDR_ALIGN_CENTER, 9)), 1);
    EXPECT_EQ(header.Positions(), "0 33 65535");
    EXPECT_EQ(header.Send(HDRM_GETALIGN, 1), HDR_ALIGN_CENTER);
    EXPECT_EQ(header.Send(HDRM_SETTEXT, 2, 0), 1);
    EXPECT_EQ(header.Send(HDRM_SETTEXT, 2, reinterpret_cast<LPARAM>(std::string(100000, 'x').c_str())), 1);

    EXPECT_EQ(header.Send(HDRM_SETCOUNT, 0), 1);
    EXPECT_EQ(header.Send(HDRM_GETCOUNT), 0);
    for (int i : {0, 2}) {
        EXPECT_EQ(header.Send(HDRM_GETPOS, i), 0xFFFF);
        EXPECT_EQ(header.Send(HDRM_GETALIGN, i), -1);
        EXPECT_EQ(header.Send(HDRM_SETTEXT, i, text), 0);
    }
    EXPECT_EQ(header.Send(HDRM_SETCOUNT, 0x10004), 1);
    EXPECT_EQ(header.Positions(), "0 25 50 75");

    // Asked for (10, 20) and 100 x 16, it takes (10, 18) and 101 x 18.
    Header placed(0, 101, 18, 10, 20);
    RECT r;
    GetWindowRect(placed.hwnd, &r);
    EXPECT_TRUE(r.left == 10 && r.top == 18 && r.right == 111 && r.bottom == 36);
}

TEST(HeaderDrag, WithoutShiftLaterDividersTravelAlong)
{
    Header header(3);
    wintest::MessageRecorder owner;
    header.NotifyTo(owner);
    const WPARAM self = reinterpret_cast<WPARAM>(header.hwnd);
    // The real pointer waits at the press, so the queue served below holds
    // no move of its own.
    POINT grab = {At(33), 10};
    ClientToScreen(header.hwnd, &grab);
    SetCursorPos(grab.x, grab.y);
    wintest::PumpFor(50);

    EXPECT_EQ(header.Press(At(33)), 1);
    ASSERT_EQ(owner.Count(HDRN_DRAGBEGIN), 1u); // sent at once
    EXPECT_EQ(owner.Received(HDRN_DRAGBEGIN)[0].wParam, self);
    EXPECT_EQ(GetCursor(), LoadCursorA(GetModuleHandleA("KWCTRL32.dll"), "MOVING"));

    // Each step is posted; the release reports once more, sent.
    header.Move(At(50));
    EXPECT_EQ(owner.Count(HDRN_DRAGMOVE), 0u);
    EXPECT_TRUE(owner.WaitFor(HDRN_DRAGMOVE, 1, 2000));
    EXPECT_EQ(header.Positions(), "0 50 83");
    header.Release(At(50));
    ASSERT_EQ(owner.Count(HDRN_DRAGMOVE), 2u);
    EXPECT_EQ(owner.Received(HDRN_DRAGMOVE)[1].wParam, self);
    EXPECT_EQ(owner.Count(HDRN_CLICK), 0u);
    EXPECT_EQ(header.Positions(), "0 50 83");
}

TEST(HeaderDrag, DividersStopAtTheirNeighboursUnlessPushed)
{
    const struct {
        WPARAM keys;
        int from, to;
        const char* positions;
    } drags[] = {
        {kShift, At(33), At(50), "0 50 66"},     {kShift, At(33), At(90), "0 66 66"},
        {MK_LBUTTON, At(66), At(10), "0 33 33"}, {kShift, At(66), At(10), "0 33 33"},
        {MK_LBUTTON, At(33), 0, "0 0 33"},       {kShift, At(33), 0, "0 0 66"},
        {MK_LBUTTON, At(33), 199, "0 100 133"}, // pushed to 100 % and beyond
    };
    for (const auto& d : drags) {
        Header header(3);
        header.Drag(d.from, d.to, d.keys);
        EXPECT_EQ(header.Positions(), d.positions) << d.from << " to " << d.to << (d.keys & MK_SHIFT ? " shift" : "");
    }
}

TEST(HeaderDrag, ZeroWidthOrNewColumnsDuringADragAreHarmless)
{
    Header header(3);
    header.Press(At(33));
    SetWindowPos(header.hwnd, nullptr, 0, 0, 0, 30, SWP_NOMOVE | SWP_NOZORDER);
    header.Move(At(50));
    header.Release(At(50));
    EXPECT_EQ(header.Positions(), "0 33 66");

    SetWindowPos(header.hwnd, nullptr, 0, 0, 200, 30, SWP_NOMOVE | SWP_NOZORDER);
    header.Press(At(66));
    EXPECT_EQ(header.Send(HDRM_SETCOUNT, 1), 1); // ends the drag
    header.Move(At(90));
    header.Release(At(90));
    EXPECT_EQ(header.Positions(), "0");
}

TEST(HeaderClick, OnlyAReleaseOverThePressedColumnClicks)
{
    Header header(3);
    header.Captions();
    wintest::MessageRecorder owner;
    header.NotifyTo(owner);

    // Within 2 pixels of the divider at pixel 66 a press grabs it.
    for (int x : {63, 67, 68, 62}) header.Click(x);
    EXPECT_EQ(owner.Count(HDRN_DRAGBEGIN), 2u);
    auto clicks = owner.Received(HDRN_CLICK);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].wParam, 1u);
    EXPECT_EQ(clicks[0].lParam, reinterpret_cast<LPARAM>(header.hwnd));
    EXPECT_EQ(clicks[1].wParam, 0u);

    // Pressed, the second column shows a dark top edge; released over the
    // third column or below the header, it is raised again without a click.
    header.Press(100);
    EXPECT_EQ(wintest::CaptureClient(header.hwnd).At(71, 0), GetSysColor(COLOR_BTNSHADOW));
    header.Release(160);
    EXPECT_EQ(wintest::CaptureClient(header.hwnd).At(71, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
    header.Press(100);
    header.Release(100, 40);
    EXPECT_EQ(owner.Count(HDRN_CLICK), 2u);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(HeaderClick, RightPressAndDoubleClickAreReportedOnlyWithColumns)
{
    Header header(0);
    wintest::MessageRecorder owner;
    header.NotifyTo(owner);
    const LPARAM point = MAKELPARAM(7, 8);
    header.Send(WM_RBUTTONDOWN, MK_RBUTTON, point);
    header.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    EXPECT_EQ(header.Press(50), 0);
    EXPECT_EQ(GetCapture(), nullptr);
    wintest::PumpPending();
    EXPECT_EQ(owner.Count(HDRN_RCLICK) + owner.Count(HDRN_DBLCLK) + owner.Count(HDRN_DRAGBEGIN), 0u);

    header.Send(HDRM_SETCOUNT, 2);
    EXPECT_EQ(header.Send(WM_RBUTTONDOWN, MK_RBUTTON, point), 1);
    EXPECT_EQ(header.Send(WM_LBUTTONDBLCLK, kShift, point), 1);
    ASSERT_EQ(owner.Count(HDRN_RCLICK), 1u);
    ASSERT_EQ(owner.Count(HDRN_DBLCLK), 1u);
    EXPECT_EQ(owner.Received(HDRN_RCLICK)[0].wParam, WPARAM(MK_RBUTTON));
    EXPECT_EQ(owner.Received(HDRN_RCLICK)[0].lParam, point);
    EXPECT_EQ(owner.Received(HDRN_DBLCLK)[0].wParam, kShift);
    EXPECT_EQ(owner.Received(HDRN_DBLCLK)[0].lParam, point);
}

TEST(HeaderPaint, CaptionsAndBackgroundTakeTheirColours)
{
    Header header(2);
    header.Send(HDRM_SETBKCOLOR, 0, kBack);
    header.Send(HDRM_SETTEXTCOLOR, 0, RGB(255, 255, 0));
    RECT firstColumn = {0, 0, 100, 30};
    EXPECT_EQ(wintest::CaptureClient(header.hwnd).CountColor(kBack, &firstColumn), 100 * 30);

    // The first button is (0, 2, 97, 28): light top-left, dark bottom-right
    // edges, one-pixel face margins, then the caption on its own ground.
    header.Send(HDRM_SETTEXT, 0, reinterpret_cast<LPARAM>("Name"));
    const wintest::Pixels px = wintest::CaptureClient(header.hwnd);
    EXPECT_EQ(px.At(0, 15), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(px.At(40, 28), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(px.At(40, 29), RGB(0, 0, 0));
    EXPECT_EQ(px.At(98, 15), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(px.At(99, 15), RGB(0, 0, 0));
    EXPECT_EQ(px.At(40, 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(px.At(96, 15), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(px.At(40, 27), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(px.At(90, 5), kBack);
    EXPECT_GT(px.CountColor(RGB(255, 255, 0)), 0);
    EXPECT_EQ(px.At(150, 15), kBack); // the column without caption
}

TEST(HeaderPaint, CaptionsMoveWithAlignmentAndPress)
{
    Header header(2);
    header.Send(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 1);
    header.Send(HDRM_SETBKCOLOR, 0, kBack);
    header.Captions("Hdr");
    // The font stays selected in the header's own context.
    SIZE extent;
    GetTextExtentPoint32A(GetDC(header.hwnd), "Hdr", 3, &extent);
    ABC h; // ink of "H" begins abcA pixels right of the text origin
    ASSERT_TRUE(GetCharABCWidthsA(GetDC(header.hwnd), 'H', 'H', &h));
    auto inkLeft = [&] {
        const wintest::Pixels px = wintest::CaptureClient(header.hwnd);
        for (int x = 1; x < 96; ++x)
            for (int y = 3; y < 27; ++y)
                if (px.At(x, y) != kBack) return x;
        return -1;
    };

    // In the first button (x0 = 0, x1 = 97) a raised left caption starts at
    // 3, a right one at x1 - width - 5; pressing moves either 2 right.
    EXPECT_EQ(inkLeft() - h.abcA, 3);
    header.Press(50);
    EXPECT_EQ(inkLeft() - h.abcA, 5);
    header.Release(50);
    header.Send(HDRM_SETALIGN, 0, HDR_ALIGN_RIGHT);
    EXPECT_EQ(inkLeft() - h.abcA, 97 - extent.cx - 5);
    header.Press(50);
    EXPECT_EQ(inkLeft() - h.abcA, 97 - extent.cx - 3);
    header.Release(50);
}

TEST(HeaderPaint, RepaintsLeaveNoGdiObjects)
{
    Header header(4);
    header.Captions();
    header.Press(30);
    auto paint = [&] { RedrawWindow(header.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };
    paint();
    const int before = wintest::CountGdiObjects().total;
    for (int i = 0; i < 500; ++i) paint();
    EXPECT_EQ(wintest::CountGdiObjects().total, before);
    header.Release(30);
}
