// The 3-D frame: its lines on the screen in the system colours of the
// moment, its untouched inside, and commands passed on to its parent.
#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

// Paints a 100 x 50 frame over a green ground; the pixels of its client area.
wintest::Pixels PaintFrame()
{
    InitControls(GetModuleHandleA(nullptr));
    HWND host = CreateWindowExA(WS_EX_TOPMOST, "EDIT", "", WS_POPUP | WS_VISIBLE, 40, 420, 140, 90, nullptr,
                                nullptr, nullptr, nullptr);
    HDC dc = GetDC(host);
    HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
    const RECT all = {0, 0, 140, 90};
    FillRect(dc, &all, green);
    DeleteObject(green);
    ReleaseDC(host, dc);
    HWND frame = CreateWindowExA(0, KW_DIPS_CLASS, "", WS_CHILD | WS_VISIBLE, 20, 20, 100, 50, host, nullptr,
                                 nullptr, nullptr);
    wintest::Pixels pixels = wintest::CaptureClient(frame);
    DestroyWindow(host);
    return pixels;
}

void ExpectFrame(const wintest::Pixels& p, COLORREF shadow, COLORREF highlight)
{
    ASSERT_EQ(p.width, 100);
    ASSERT_EQ(p.height, 50);
    for (int i : {0, 25, 49}) EXPECT_EQ(p.At(0, i), shadow) << "left, y = " << i;
    for (int i : {0, 50, 98}) EXPECT_EQ(p.At(i, 0), shadow) << "top, x = " << i;
    for (int i : {0, 25, 49}) EXPECT_EQ(p.At(99, i), highlight) << "right, y = " << i;
    for (int i : {1, 50, 98}) EXPECT_EQ(p.At(i, 49), highlight) << "bottom, x = " << i;
    const RECT inside = {1, 1, 99, 49};  // neither erased nor brushed
    EXPECT_EQ(p.CountColor(RGB(0, 128, 0), &inside), 98 * 48);
}

} // namespace

TEST(Frame, SunkenLinesInTheSystemColoursOfTheMoment)
{
    ExpectFrame(PaintFrame(), GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));

    const INT elements[] = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    const COLORREF saved[] = {GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT)};
    const COLORREF changed[] = {RGB(90, 20, 20), RGB(250, 240, 100)};
    ASSERT_TRUE(SetSysColors(2, elements, changed));
    const wintest::Pixels pixels = PaintFrame();
    SetSysColors(2, elements, saved);
    ExpectFrame(pixels, changed[0], changed[1]);

    // Thousands of paints leave no pen behind.
    PaintFrame();
    const int before = wintest::CountGdiObjects().total;
    for (int i = 0; i < 500; ++i) PaintFrame();
    EXPECT_EQ(wintest::CountGdiObjects().total, before);
}

TEST(Frame, CommandsOfControlsInsideReachTheParentUnchanged)
{
    InitControls(GetModuleHandleA(nullptr));
    wintest::MessageRecorder parent;
    HWND frame = CreateWindowExA(0, KW_DIPS_CLASS, "", WS_CHILD, 0, 0, 100, 50, parent.hwnd(), nullptr, nullptr,
                                 nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 5, 5, 60, 20, frame, HMENU(77), nullptr, nullptr);
    ASSERT_TRUE(edit);
    parent.Clear();
    SetWindowTextA(edit, "changed");  // the edit tells its parent, the frame

    int changes = 0;  // an EN_UPDATE may come along with the EN_CHANGE
    for (const wintest::Recorded& command : parent.Received(WM_COMMAND)) {
        EXPECT_EQ(LOWORD(command.wParam), 77);
        EXPECT_EQ(command.lParam, LPARAM(edit));
        if (HIWORD(command.wParam) == EN_CHANGE) ++changes;
    }
    EXPECT_EQ(changes, 1);
}
