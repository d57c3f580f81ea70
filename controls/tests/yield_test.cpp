// Message yield: how many messages are let through, and when they are
// translated.
#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "wintest.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;

// Removes and counts what is left in this thread's queue.
int DrainQueue()
{
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ++count;
    return count;
}

// A key press as the keyboard driver would post it for the 'A' key.
void PostKeyA(HWND window)
{
    PostMessageA(window, WM_KEYDOWN, 'A', (0x1E << 16) | 1);
}

// Whether translating the key press queued its character message.
bool CharacterQueued(HWND window)
{
    MSG msg;
    return PeekMessageA(&msg, window, WM_CHAR, WM_CHAR, PM_REMOVE) != 0;
}

class YieldTest : public ::testing::Test {
protected:
    void SetUp() override { DrainQueue(); }
    void TearDown() override { DrainQueue(); }
    wintest::MessageRecorder window;
};

} // namespace

TEST_F(YieldTest, DispatchesAtMostTheGivenNumber)
{
    for (int i = 0; i < 5; ++i) PostMessageA(window.hwnd(), kProbe, i, 0);
    MyDialogYield(2);
    const auto received = window.Received(kProbe);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[1].wParam, 1u);
    EXPECT_EQ(DrainQueue(), 3);
}

TEST_F(YieldTest, ZeroOrNegativeTakesNothing)
{
    PostMessageA(window.hwnd(), kProbe, 0, 0);
    MyDialogYield(0);
    MyDialogYield(-5);
    MyYield(window.hwnd(), 0);
    EXPECT_EQ(window.Count(kProbe), 0u);
    EXPECT_EQ(DrainQueue(), 1);
}

TEST_F(YieldTest, EmptyQueueReturnsAtOnce)
{
    const DWORD start = GetTickCount();
    MyDialogYield(100);
    MyYield(window.hwnd(), 100);
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST_F(YieldTest, DialogYieldTranslatesKeys)
{
    PostKeyA(window.hwnd());
    MyDialogYield(1);
    EXPECT_EQ(window.Count(WM_KEYDOWN), 1u);
    EXPECT_TRUE(CharacterQueued(window.hwnd()));
}

TEST_F(YieldTest, WindowYieldTranslatesOnlyForAValidWindow)
{
    PostKeyA(window.hwnd());
    MyYield(window.hwnd(), 1);
    EXPECT_EQ(window.Count(WM_KEYDOWN), 1u);
    EXPECT_TRUE(CharacterQueued(window.hwnd()));

    // Without a window the message is still dispatched, but not translated.
    PostKeyA(window.hwnd());
    MyYield(nullptr, 1);
    EXPECT_EQ(window.Count(WM_KEYDOWN), 2u);
    EXPECT_FALSE(CharacterQueued(window.hwnd()));

    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    PostKeyA(window.hwnd());
    MyYield(gone, 1);
    EXPECT_EQ(window.Count(WM_KEYDOWN), 3u);
    EXPECT_FALSE(CharacterQueued(window.hwnd()));
}
