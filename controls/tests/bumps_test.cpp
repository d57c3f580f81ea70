// The bumps panel: its frame and ridges by pixels on a parent that shows
// through, command forwarding, and pens given back after painting.
#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

const COLORREF kParentColor = RGB(255, 0, 255);

// A visible top-level window painted in kParentColor, holding panels.
class Parent {
public:
    Parent()
    {
        static const ATOM atom = [] {
            InitBumps(GetModuleHandleA(nullptr));
            WNDCLASSA wc = {};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = CreateSolidBrush(kParentColor);
            wc.lpszClassName = "BumpsTestParent";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd = CreateWindowExA(0, "BumpsTestParent", "", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    ~Parent() { DestroyWindow(hwnd); }
    HWND Panel(int x, int y, int width, int height) const
    {
        return CreateWindowExA(0, KW_BUMPS_CLASS, "", WS_CHILD | WS_VISIBLE, x, y, width, height, hwnd, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    void Redraw() const
    {
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    HWND hwnd;
};

} // namespace

TEST(Bumps, RidgesSitBesideTheLeftFrameLineAndFollowTheHeight)
{
    Parent parent;
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
    for (SIZE size : {SIZE{60, 30}, SIZE{140, 57}}) {
        SCOPED_TRACE(size.cy);
        HWND panel = parent.Panel(10, 10, size.cx, size.cy);
        parent.Redraw();
        const wintest::Pixels px = wintest::CaptureClient(panel);
        const int w = size.cx, h = size.cy;

        // Across the middle: frame line, gap, ridge, gap, ridge, interior.
        const COLORREF row[] = {light, kParentColor, light, face, dark, kParentColor, light, face, dark, kParentColor};
        for (int x = 0; x < 10; ++x) EXPECT_EQ(px.At(x, h / 2), row[x]) << "x " << x;
        // The inner rectangle is (1, 1, w - 1, h - 1); a ridge spans rows
        // t + 1 to b - 2, dark at the bottom.
        for (int x : {2, 6}) {
            EXPECT_EQ(px.At(x, 1), kParentColor) << "x " << x;
            EXPECT_EQ(px.At(x, 2), light) << "x " << x;
            EXPECT_EQ(px.At(x + 2, 2), dark) << "x " << x;
            EXPECT_EQ(px.At(x, h - 4), light) << "x " << x;
            EXPECT_EQ(px.At(x, h - 3), dark) << "x " << x;
            EXPECT_EQ(px.At(x, h - 2), kParentColor) << "x " << x;
        }
        // Raised frame: light top and left, dark right and bottom.
        EXPECT_EQ(px.At(w / 2, 0), light);
        EXPECT_EQ(px.At(w - 1, h / 2), dark);
        EXPECT_EQ(px.At(w / 2, h - 1), dark);
        EXPECT_EQ(px.At(w / 2, h / 2), kParentColor);
        DestroyWindow(panel);
    }
}

TEST(Bumps, CommandsFromItsButtonsReachTheParent)
{
    wintest::MessageRecorder owner;
    Parent parent; // registers the class
    HWND panel = CreateWindowExA(0, KW_BUMPS_CLASS, "", WS_CHILD, 0, 0, 80, 20, owner.hwnd(), nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(SendMessageA(panel, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), 0x5678), 0);
    ASSERT_EQ(owner.Count(WM_COMMAND), 1u);
    EXPECT_EQ(owner.Received(WM_COMMAND)[0].wParam, MAKEWPARAM(7, BN_CLICKED));
    EXPECT_EQ(owner.Received(WM_COMMAND)[0].lParam, 0x5678);
    DestroyWindow(panel);
}

TEST(Bumps, PaintingGivesBackItsPens)
{
    Parent parent;
    HWND panel = parent.Panel(0, 0, 100, 40);
    auto paint = [panel] { RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    paint();
    const int before = wintest::CountGdiObjects().total;
    for (int i = 0; i < 300; ++i) paint();
    EXPECT_EQ(wintest::CountGdiObjects().total, before);
}
