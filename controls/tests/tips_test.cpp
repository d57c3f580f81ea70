// Tool tips on a label of a visible test dialog, driven by the real
// pointer: SetCursorPos makes the window under it receive WM_MOUSEMOVE,
// SendInput presses real buttons.
#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

// The procedure a tip hook keeps for a control, rebuilt from its 16-bit
// pieces, the lowest first: two properties in a 32-bit process, four in a
// 64-bit one. 0 when a piece holds more than 16 bits.
LONG_PTR SavedProc(HWND control)
{
    const int pieces[] = {TIPPROP_PROCLO, TIPPROP_PROCHI, TIPPROP_PROC32, TIPPROP_PROC48};
    UINT_PTR saved = 0;
    for (size_t i = 0; i < sizeof(LONG_PTR) / 2; ++i) {
        const UINT_PTR piece = reinterpret_cast<UINT_PTR>(GetPropA(control, MAKEINTATOM(pieces[i])));
        if (piece > 0xFFFF) return 0;
        saved |= piece << (16 * i);
    }
    return static_cast<LONG_PTR>(saved);
}

WNDPROC labelClassProc = nullptr;

// A label's own procedure, placed in the test program: on x64 its address
// lies above 4 GB (the program's image base), where a hook that kept 32
// bits of it would lose it.
LRESULT CALLBACK OwnLabelProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_USER + 77) return 77;
    return CallWindowProcA(labelClassProc, window, msg, wParam, lParam);
}

class TipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeTips(GetModuleHandleA(nullptr)); }

    void SetUp() override
    {
        dialog_ = wintest::MakeEmptyDialog(100, 100, 300, 150);
        // A label that takes the mouse and a button to take the focus.
        control_ = CreateWindowExA(0, "STATIC", "Label", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 20, 20, 100, 30, dialog_,
                                   reinterpret_cast<HMENU>(101), nullptr, nullptr);
        CreateWindowExA(0, "BUTTON", "Button", WS_CHILD | WS_VISIBLE, 20, 80, 100, 30, dialog_,
                        reinterpret_cast<HMENU>(102), nullptr, nullptr);
        labelProc_ = GetWindowLongPtrA(control_, GWLP_WNDPROC);
        SetCursorPos(5, 5);
        SetFocus(GetDlgItem(dialog_, 102));
        ASSERT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 101, "Shows the new messages"), 1);
        tip_ = static_cast<HWND>(GetPropA(control_, MAKEINTATOM(TIPPROP_TIPWND)));
        ASSERT_TRUE(IsWindow(tip_));
        wintest::PumpFor(50);
    }
    void TearDown() override { DestroyWindow(dialog_); }

    // Screen point at (dx, dy) from the control's top-left corner.
    POINT Over(int dx = 50, int dy = 15) const
    {
        RECT r;
        GetWindowRect(control_, &r);
        return {r.left + dx, r.top + dy};
    }
    void PointAt(POINT p) const
    {
        SetCursorPos(p.x, p.y);
        wintest::PumpFor(150);
    }
    bool Shown() const { return IsWindowVisible(tip_) != FALSE; }
    bool ShowsWithin(DWORD ms) const { return wintest::PumpUntil([this] { return Shown(); }, ms); }
    // The tip's window appearing or going makes the display report the
    // pointer again; those reports are let through before the next move.
    void Show(POINT p)
    {
        PointAt(p);
        ASSERT_TRUE(ShowsWithin(1000));
        wintest::PumpFor(150);
    }
    bool Hovering() const { return GetPropA(control_, MAKEINTATOM(TIPPROP_HOVER)) != nullptr; }

    HWND dialog_ = nullptr;
    HWND control_ = nullptr;
    HWND tip_ = nullptr;
    LONG_PTR labelProc_ = 0;
};

TEST_F(TipTest, ShowsBelowRightOfThePointerAfterTheDelayAndTakesTheCapture)
{
    const POINT p = Over();
    const DWORD start = GetTickCount();
    SetCursorPos(p.x, p.y);
    ASSERT_TRUE(ShowsWithin(1000));
    EXPECT_GE(GetTickCount() - start, 90u);
    RECT r;
    GetWindowRect(tip_, &r);
    EXPECT_EQ(r.left, p.x + 12);
    EXPECT_EQ(r.top, p.y + 20);
    EXPECT_GT(r.right - r.left, 14);
    EXPECT_TRUE(GetWindowLongA(tip_, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetCapture(), control_);
    EXPECT_EQ(GetActiveWindow(), dialog_);

    // A black frame filled with the info colour, the shadow on the right.
    const wintest::Pixels px = wintest::CaptureClient(tip_);
    const int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(px.At(0, h / 2), RGB(0, 0, 0));
    EXPECT_EQ(px.At(w - 1, h / 2), RGB(0, 0, 0));
    EXPECT_EQ(px.At(2, 1), GetSysColor(COLOR_INFOBK));
    const RECT text = {6, 2, w - 2, h - 2};
    EXPECT_GT(px.CountColor(GetSysColor(COLOR_INFOTEXT), &text), 0);
}

TEST_F(TipTest, StaysWhileStillLastsFiveSecondsAfterAMoveThenStaysQuiet)
{
    Show(Over());
    wintest::PumpFor(5500);
    EXPECT_TRUE(Shown()) << "no move, no timeout";

    PointAt(Over(52));
    wintest::PumpFor(2000);
    PointAt(Over(54));
    const DWORD lastMove = GetTickCount();
    ASSERT_TRUE(wintest::PumpUntil([this] { return !Shown(); }, 8000));
    EXPECT_GE(GetTickCount() - lastMove, 4800u);
    wintest::PumpFor(150);
    EXPECT_NE(GetCapture(), control_);

    // Quiet: further moves over the control start nothing...
    PointAt(Over(60));
    EXPECT_FALSE(ShowsWithin(500));
    EXPECT_TRUE(Hovering());
    // ...until a click resets it.
    SendMessageA(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 15));
    PointAt(Over(62));
    EXPECT_TRUE(ShowsWithin(1000));
}

// Each message goes straight to the hooked control and is judged at once:
// the move that the platform makes after a capture ends may arm the delay
// again, which is the tip's normal reaction to a pointer over the control.
TEST_F(TipTest, ClicksKeysFocusAndOtherTimersHideTheTipAtOnce)
{
    const struct {
        UINT msg;
        WPARAM wParam;
        bool hides;
    } cases[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, true}, {WM_LBUTTONUP, 0, true},     {WM_RBUTTONDOWN, MK_RBUTTON, true},
        {WM_RBUTTONUP, 0, true},            {WM_MBUTTONDOWN, 0, true},   {WM_MBUTTONUP, 0, true},
        {WM_KEYDOWN, 'A', true},            {WM_CHAR, 'a', true},        {0x108, 0, true},
        {WM_KILLFOCUS, 0, true},            {WM_COMMAND, 1, true},       {WM_ACTIVATEAPP, FALSE, true},
        {WM_TIMER, 7, true},                {WM_ACTIVATEAPP, TRUE, false}, {WM_LBUTTONDBLCLK, 0, false},
        {WM_RBUTTONDBLCLK, 0, false},       {0x109, 0, false},
    };
    int x = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "message " << std::hex << c.msg);
        Show(Over(x += 4));
        SendMessageA(control_, c.msg, c.wParam, MAKELPARAM(x, 15));
        EXPECT_EQ(Shown(), !c.hides);
        EXPECT_EQ(GetCapture() == control_, !c.hides);
        if (c.hides) {
            EXPECT_FALSE(Hovering());
        }
        SendMessageA(control_, WM_LBUTTONDOWN, 0, 0);
    }

    Show(Over(x += 4));
    SetFocus(control_);
    EXPECT_FALSE(Shown()) << "focus";

    // Leaving the control: the captured move outside.
    Show(Over(x += 4));
    PointAt(Over(50, 50));
    EXPECT_FALSE(Shown());
    EXPECT_NE(GetCapture(), control_);
}

TEST_F(TipTest, NoTipWithTheLeftButtonHeldOrOnADisabledControl)
{
    PointAt(Over(230, 80)); // the dialog's own background
    INPUT press = {};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &press, sizeof press);
    PointAt(Over());
    EXPECT_FALSE(ShowsWithin(400));
    press.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &press, sizeof press);

    EnableWindow(control_, FALSE);
    PointAt(Over(60));
    EXPECT_FALSE(ShowsWithin(400));
}

TEST_F(TipTest, RepeatedCreateKeepsTheTipAndDestroyTipUnhooksOnly)
{
    EXPECT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 999, "none"), 0);
    EXPECT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 102, ""), 1);
    EXPECT_FALSE(GetPropA(GetDlgItem(dialog_, 102), MAKEINTATOM(TIPPROP_TIPWND))) << "no tip without a text";

    const LONG_PTR hook = GetWindowLongPtrA(control_, GWLP_WNDPROC);
    EXPECT_NE(hook, labelProc_);
    EXPECT_EQ(SavedProc(control_), labelProc_);

    EXPECT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 101, "Second text"), 1);
    EXPECT_EQ(GetPropA(control_, MAKEINTATOM(TIPPROP_TIPWND)), tip_);

    // Unhooking also ends a showing tip and gives the capture back.
    Show(Over());
    EXPECT_EQ(DestroyTip(dialog_, 101), 1);
    EXPECT_EQ(GetWindowLongPtrA(control_, GWLP_WNDPROC), labelProc_);
    EXPECT_FALSE(Shown());
    EXPECT_NE(GetCapture(), control_);
    PointAt(Over(60));
    EXPECT_FALSE(ShowsWithin(400));

    EXPECT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 101, "Third text"), 1);
    EXPECT_EQ(GetWindowLongPtrA(control_, GWLP_WNDPROC), hook);
    Show(Over(70));
    char text[64];
    GetWindowTextA(tip_, text, sizeof text);
    EXPECT_STREQ(text, "Shows the new messages");

    // A destroyed control takes its hook along; the tip stays with the dialog.
    DestroyWindow(control_);
    EXPECT_TRUE(IsWindow(tip_));
    EXPECT_EQ(SetTipsStatus(5), 5);
}

TEST_F(TipTest, HookedProcedureAboveFourGigabytesIsKeptWhole)
{
    HWND own = CreateWindowExA(0, "STATIC", "Own", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 150, 20, 100, 30, dialog_,
                               reinterpret_cast<HMENU>(103), nullptr, nullptr);
    labelClassProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(own, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnLabelProc)));
    const LONG_PTR ownProc = GetWindowLongPtrA(own, GWLP_WNDPROC);
    if (sizeof(void*) == 8) {
        ASSERT_GT(static_cast<ULONG_PTR>(ownProc), 0xFFFFFFFFull) << "no high bits to keep";
    }

    ASSERT_EQ(CreateTip(GetModuleHandleA(nullptr), dialog_, 103, "Own text"), 1);
    EXPECT_NE(GetWindowLongPtrA(own, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(SavedProc(own), ownProc);
    // Messages reach the control's own procedure through the hook.
    EXPECT_EQ(SendMessageA(own, WM_USER + 77, 0, 0), 77);

    EXPECT_EQ(DestroyTip(dialog_, 103), 1);
    EXPECT_EQ(GetWindowLongPtrA(own, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(SendMessageA(own, WM_USER + 77, 0, 0), 77);
}

TEST_F(TipTest, AtTheScreenEdgeTheTipStepsBackByEight)
{
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(dialog_, nullptr, sw - 124, sh - 52, 300, 150, SWP_NOZORDER);
    const POINT p = Over(96, 28);
    ASSERT_TRUE(p.x < sw && p.y < sh);
    Show(p);
    RECT r;
    GetWindowRect(tip_, &r);
    const int h = r.bottom - r.top, y = r.top - 20;
    EXPECT_EQ((p.x + 12 - r.left) % 8, 0);
    EXPECT_TRUE(r.right <= sw && r.right + 8 > sw) << r.left;
    // The height is fitted before the 20-pixel drop.
    EXPECT_EQ((p.y - y) % 8, 0);
    EXPECT_TRUE(y + h <= sh && y + h + 8 > sh) << r.top;
}

TEST_F(TipTest, RepaintsLeaveNoObjectsBehind)
{
    Show(Over());
    RedrawWindow(tip_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const wintest::GdiCounts before = wintest::CountGdiObjects();
    for (int i = 0; i < 3000; ++i) RedrawWindow(tip_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(wintest::CountGdiObjects().total, before.total);
}

} // namespace
