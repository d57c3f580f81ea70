// Library start-up (the registration chain and its once-only flag) and the
// library's message routines.
#include <string>

#include <gtest/gtest.h>

#include "fresh_library.h"
#include "kwctrl32.h"
#include "wintest.h"

namespace {

struct ClassAttributes {
    const char* name;
    UINT style;
    int classExtra;
    int windowExtra;
    enum class Cursor { None, Arrow, Cross, Hand } cursor;
    enum class Brush { VersionRule, ButtonFace, Menu, Black, Hollow } brush;
};

using C = ClassAttributes::Cursor;
using B = ClassAttributes::Brush;

// Window extra bytes that hold a data pointer at index 0: 4 on x86, 8 on x64.
constexpr int kPointerSlot = sizeof(LONG_PTR);

// In registration order.
const ClassAttributes kClasses[] = {
    {"KWURLWindow", 0x400B, 5, 15, C::Hand, B::VersionRule},
    {"KWDipsWindow", 0x400B, 10, 14, C::Arrow, B::VersionRule},
    {"KWBumpsWindow", 0x400B, 10, 14, C::Arrow, B::VersionRule},
    {"KWBMPButton", 0x400B, 10, 10, C::Arrow, B::VersionRule},
    {"KWGasGauge", 0x4003, 0, 26, C::Arrow, B::ButtonFace},
    {"KWPSS_SLIDER", 0x702B, 0, kPointerSlot, C::None, B::VersionRule},
    {"KWStatusClass", 0x400B, 0, 0, C::Arrow, B::ButtonFace},
    {"SText", 0x400B, 0, 0, C::Arrow, B::ButtonFace},
    {"KWtipclass", 0x5800, 0, 0, C::Arrow, B::Hollow},
    {"KWTimeDisplay", 0x400B, 10, 14, C::Arrow, B::Black},
    {"KWCalendarWindow", 0x400B, 0, kPointerSlot, C::Cross, B::Menu},
    {"KWCalendarWindowChanger", 0x400B, 0, kPointerSlot, C::Arrow, B::VersionRule},
};

HBRUSH SysBrush(int index)
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(index));
}

HBRUSH ExpectedBrush(B brush)
{
    const WORD v = LOWORD(GetVersion());
    const UINT majorMinor = LOBYTE(v) * 256 + HIBYTE(v);
    switch (brush) {
    case B::VersionRule: return SysBrush(majorMinor < 0x35F ? COLOR_WINDOW + 1 : COLOR_BTNFACE + 1);
    case B::ButtonFace: return SysBrush(COLOR_BTNFACE + 1);
    case B::Menu: return SysBrush(COLOR_MENU + 1);
    case B::Black: return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    case B::Hollow: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    return nullptr;
}

HCURSOR ExpectedCursor(C cursor, HINSTANCE instance)
{
    switch (cursor) {
    case C::None: return nullptr;
    case C::Arrow: return LoadCursorA(nullptr, IDC_ARROW);
    case C::Cross: return LoadCursorA(nullptr, IDC_CROSS);
    case C::Hand: return LoadCursorA(instance, "IDC_HAND");
    }
    return nullptr;
}

bool GetClassInfo(const char* name, HINSTANCE instance, WNDCLASSEXA* wc)
{
    *wc = {};
    wc->cbSize = sizeof *wc;
    return GetClassInfoExA(instance, name, wc) != 0;
}

bool IsRegistered(const char* name, HINSTANCE instance)
{
    WNDCLASSEXA wc;
    return GetClassInfo(name, instance, &wc);
}

using InitControlsFn = int(WINAPI*)(HINSTANCE);

// Each test starts from a newly loaded library, registering under that
// library's own instance (which carries the hand cursor), and leaves no
// class behind.
class InitControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.module());
        initControls = library.Get<InitControlsFn>("InitControls");
        ASSERT_TRUE(initControls);
        instance = library.module();
    }
    void TearDown() override
    {
        for (const ClassAttributes& c : kClasses) UnregisterClassA(c.name, instance);
    }

    FreshLibrary library;
    InitControlsFn initControls = nullptr;
    HINSTANCE instance = nullptr;
};

} // namespace

TEST_F(InitControlsTest, RegistersEveryClassWithItsAttributes)
{
    wintest::MessageBoxWatcher boxes;
    ASSERT_EQ(initControls(instance), 1);
    EXPECT_EQ(boxes.Count(), 0u);

    for (const ClassAttributes& c : kClasses) {
        SCOPED_TRACE(c.name);
        WNDCLASSEXA wc;
        ASSERT_TRUE(GetClassInfo(c.name, instance, &wc));
        EXPECT_EQ(wc.style, c.style);
        EXPECT_EQ(wc.cbClsExtra, c.classExtra);
        EXPECT_EQ(wc.cbWndExtra, c.windowExtra);
        EXPECT_EQ(wc.hCursor, ExpectedCursor(c.cursor, instance));
        EXPECT_EQ(wc.hbrBackground, ExpectedBrush(c.brush));
        EXPECT_EQ(wc.hInstance, instance);
        EXPECT_EQ(wc.hIcon, nullptr);
        EXPECT_EQ(wc.lpszMenuName, nullptr);
    }
}

TEST_F(InitControlsTest, SecondCallRegistersNothing)
{
    ASSERT_EQ(initControls(instance), 1);
    for (const ClassAttributes& c : kClasses) UnregisterClassA(c.name, instance);

    EXPECT_EQ(initControls(instance), 1);
    for (const ClassAttributes& c : kClasses) EXPECT_FALSE(IsRegistered(c.name, instance)) << c.name;
}

TEST_F(InitControlsTest, FailingRegistrationIsReportedOnceAndStopsTheChain)
{
    // A class of the same name registered first makes the fourth routine fail.
    WNDCLASSA blocker = {};
    blocker.style = CS_GLOBALCLASS;
    blocker.lpfnWndProc = DefWindowProcA;
    blocker.hInstance = GetModuleHandleA(nullptr);
    blocker.lpszClassName = "KWBMPButton";
    ASSERT_TRUE(RegisterClassA(&blocker));

    wintest::MessageBoxWatcher boxes;
    EXPECT_EQ(initControls(instance), 0);
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    const wintest::BoxInfo box = boxes.Boxes().front();
    EXPECT_EQ(box.caption, "KWCtrls");
    EXPECT_EQ(box.text, "InitBMPButtons Failure");
    EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_WARNING));

    for (const char* name : {"KWURLWindow", "KWDipsWindow", "KWBumpsWindow"})
        EXPECT_TRUE(IsRegistered(name, instance)) << name;
    for (int i = 4; i < static_cast<int>(std::size(kClasses)); ++i)
        EXPECT_FALSE(IsRegistered(kClasses[i].name, instance)) << kClasses[i].name;

    // The failed first call is never repeated.
    EXPECT_EQ(initControls(instance), 1);
    wintest::PumpFor(200);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(IsRegistered("KWGasGauge", instance));

    UnregisterClassA("KWBMPButton", GetModuleHandleA(nullptr));
}

TEST(Comment, ShowsTheFormattedTextAsAWarning)
{
    wintest::MessageBoxWatcher boxes;
    wintest::MessageRecorder owner;
    Comment(owner.hwnd(), "Tidbell", "%s has %d files (%.2f MB)", "Inbox", 3, 1.5);
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    const wintest::BoxInfo box = boxes.Boxes().front();
    EXPECT_EQ(box.caption, "Tidbell");
    EXPECT_EQ(box.text, "Inbox has 3 files (1.50 MB)");
    EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_WARNING));
    EXPECT_EQ(box.owner, owner.hwnd());
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST(Comment, LongTextIsCutToTheBlock)
{
    wintest::MessageBoxWatcher boxes;
    const std::string longText(1000, 'x');
    Comment(nullptr, "KWCtrls", "%s!", longText.c_str());
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ(boxes.Boxes().front().text, std::string(254, 'x'));
}

TEST(Comment, DummyCommentShowsNothing)
{
    wintest::MessageBoxWatcher boxes;
    const std::string longText(1000, 'y');
    DummyComment("%s %d", longText.c_str(), 5);
    DummyComment("plain");
    wintest::PumpFor(300);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(DisplayStatusMessage, ReceiverReadsTheTextBeforeTheBoxAppears)
{
    wintest::MessageBoxWatcher boxes;
    wintest::MessageRecorder receiver;
    const UINT statusMessage = RegisterWindowMessageA("MarlLibraryStatus");
    std::string seen;
    bool boxAlreadyShown = true;
    receiver.OnMessage(statusMessage, [&](HWND, UINT, WPARAM, LPARAM lParam) -> LRESULT {
        seen = reinterpret_cast<const char*>(lParam);
        boxAlreadyShown = wintest::FindMessageBox("MarlLib") != nullptr;
        return 0;
    });

    DisplayStatusMessage(receiver.hwnd(), "%d of %s", 2, "three");

    ASSERT_EQ(receiver.Count(statusMessage), 1u);
    EXPECT_EQ(receiver.Received(statusMessage).front().wParam, 0u);
    EXPECT_EQ(seen, "2 of three");
    EXPECT_FALSE(boxAlreadyShown);
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    const wintest::BoxInfo box = boxes.Boxes().front();
    EXPECT_EQ(box.caption, "MarlLib");
    EXPECT_EQ(box.text, "2 of three");
    EXPECT_EQ(box.owner, receiver.hwnd());
    EXPECT_EQ(box.icon, LoadIconA(nullptr, IDI_WARNING));
}

TEST(DisplayStatusMessage, LongTextIsCutToTheBlock)
{
    wintest::MessageBoxWatcher boxes;
    wintest::MessageRecorder receiver;
    std::string seen;
    receiver.OnMessage(RegisterWindowMessageA("MarlLibraryStatus"), [&](HWND, UINT, WPARAM, LPARAM lParam) {
        seen = reinterpret_cast<const char*>(lParam);
        return LRESULT(0);
    });
    const std::string longText(800, 's');
    DisplayStatusMessage(receiver.hwnd(), "%s", longText.c_str());
    EXPECT_EQ(seen, std::string(499, 's'));
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ(boxes.Boxes().front().text.size(), 499u);
}

TEST(DisplayDebugMessage, LetsPendingMessagesThrough)
{
    wintest::MessageBoxWatcher boxes;
    wintest::MessageRecorder window;
    for (int i = 0; i < 3; ++i) PostMessageA(window.hwnd(), WM_APP + 1, i, 0);
    const std::string longText(2000, 'd');
    DisplayDebugMessage("debug %s", longText.c_str());
    EXPECT_EQ(window.Count(WM_APP + 1), 3u);
    EXPECT_EQ(boxes.Count(), 0u);
}
