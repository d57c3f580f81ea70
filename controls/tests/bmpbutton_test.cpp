// The bitmap push button on the screen: its state machine driven by window
// messages (once by real mouse input), the clicks its parent records, and
// its faces read back as pixels.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

constexpr int kId = 1003, kSize = 24;
constexpr WORD kImageId = 104;
constexpr COLORREF kBlack = RGB(0, 0, 0);
const POINT kOn = {12, 12}, kOff = {-10, 12}; // kOff lies on the parent

enum State { kIdle, kHot, kPressed, kDisabled, kLatched, kLatchedHot };

// The button's record as the class lays it out in its global block.
struct Record {
    HBITMAP highlightImage, normalImage, disabledImage;
    LONG state, mouseDown, hasFocus;
};

// A copy of the library carrying bitmap 104: purple (the key colour) with a
// black square at [8, 16) each way, as bottom-up 24-bit rows.
HMODULE ModuleWithImage(const std::string& path)
{
    BITMAPINFOHEADER header = {sizeof header, kSize, kSize, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<BYTE> data(sizeof header + kSize * kSize * 3);
    memcpy(data.data(), &header, sizeof header);
    for (int n = 0; n < kSize * kSize; ++n) {
        const int x = n % kSize, y = kSize - 1 - n / kSize;
        const bool square = x >= 8 && x < 16 && y >= 8 && y < 16;
        data[sizeof header + n * 3 + 0] = data[sizeof header + n * 3 + 2] = square ? 0 : 128;
    }
    CopyFileA((wintest::ExeDir() + "KWCTRL32.dll").c_str(), path.c_str(), FALSE);
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    UpdateResourceA(update, RT_BITMAP, MAKEINTRESOURCEA(kImageId), 0, data.data(), static_cast<DWORD>(data.size()));
    return EndUpdateResourceA(update, FALSE) ? LoadLibraryA(path.c_str()) : nullptr;
}

// A visible topmost parent recording what it receives, with button 1003 at
// (20, 20). The cursor starts far away.
class BmpButtonTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitBMPButtons(GetModuleHandleA(nullptr)); }
    void SetUp() override
    {
        SetCursorPos(2, 2);
        parent = std::make_unique<wintest::MessageRecorder>();
        SetWindowPos(parent->hwnd(), HWND_TOPMOST, 100, 420, 200, 150, SWP_SHOWWINDOW);
        button = CreateWindowExA(0, KW_BMPBUTTON_CLASS, "Custom1", WS_CHILD | WS_VISIBLE, 20, 20, kSize, kSize,
                                 parent->hwnd(), reinterpret_cast<HMENU>(kId), nullptr, nullptr);
        ASSERT_TRUE(button);
        wintest::PumpFor(50);
        parent->Clear();
    }
    void TearDown() override
    {
        parent.reset();
        SetCursorPos(2, 2);
        wintest::PumpPending();
    }

    Record Read() const
    {
        Record record = {};
        const HGLOBAL block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(button, 0));
        if (const void* data = block ? GlobalLock(block) : nullptr) {
            record = *static_cast<const Record*>(data);
            GlobalUnlock(block);
        }
        return record;
    }
    LONG State() const { return Read().state; }
    LRESULT Send(UINT message, POINT at) { return SendMessageA(button, message, 0, MAKELPARAM(at.x, at.y)); }
    LRESULT Send(UINT message, WPARAM wParam) { return SendMessageA(button, message, wParam, 0); }
    void CursorTo(POINT at)
    {
        ClientToScreen(button, &at);
        SetCursorPos(at.x, at.y);
        wintest::PumpFor(50);
    }
    // The parent's WM_COMMAND messages; each must be the button's click.
    size_t Clicks() const
    {
        const std::vector<wintest::Recorded> commands = parent->Received(WM_COMMAND);
        for (const wintest::Recorded& c : commands) EXPECT_TRUE(c.wParam == kId && c.lParam == 0);
        return commands.size();
    }

    struct Spot {
        int x, y;
        COLORREF colour;
    };
    void ExpectPixels(std::initializer_list<Spot> spots) const
    {
        const wintest::Pixels p = wintest::CaptureClient(button);
        for (const Spot& s : spots) EXPECT_EQ(p.At(s.x, s.y), s.colour) << "at " << s.x << ", " << s.y;
    }

    std::unique_ptr<wintest::MessageRecorder> parent;
    HWND button = nullptr;
};

} // namespace

TEST_F(BmpButtonTest, ClickSendsOneCommandAndLooksAtTheCursorAfterwards)
{
    CursorTo(kOn);
    EXPECT_EQ(State(), kHot);
    Send(WM_LBUTTONDOWN, kOn);
    EXPECT_EQ(State(), kPressed);
    EXPECT_EQ(GetCapture(), button);
    Send(WM_LBUTTONUP, kOn);
    EXPECT_EQ(Clicks(), 1u);
    EXPECT_EQ(State(), kHot);
    EXPECT_EQ(GetCapture(), button); // kept, so that leaving is seen

    // A double click's own message does nothing; its release clicks again.
    Send(WM_LBUTTONDBLCLK, kOn);
    Send(WM_LBUTTONUP, kOn);
    EXPECT_EQ(Clicks(), 2u);

    // The release point decides the click; if the cursor is no longer over
    // the button afterwards (here a window the click opened covers it), the
    // button turns idle and lets the mouse go.
    wintest::MessageRecorder cover;
    parent->OnMessage(WM_COMMAND, [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        return SetWindowPos(cover.hwnd(), HWND_TOPMOST, 100, 420, 200, 150, SWP_SHOWWINDOW);
    });
    Send(WM_LBUTTONDOWN, kOn);
    Send(WM_LBUTTONUP, kOn);
    EXPECT_EQ(Clicks(), 3u);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(BmpButtonTest, RealMouseClickThroughTheInputQueue)
{
    CursorTo(kOn);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(parent->WaitFor(WM_COMMAND, 1, 3000));
    wintest::PumpFor(100);
    EXPECT_EQ(Clicks(), 1u);
    EXPECT_EQ(State(), kHot);
}

TEST_F(BmpButtonTest, ReleaseElsewhereSendsNothingAndDraggingBackShowsPressed)
{
    Send(WM_LBUTTONDOWN, kOn);
    Send(WM_MOUSEMOVE, kOff);
    EXPECT_EQ(State(), kHot);
    EXPECT_EQ(GetCapture(), button); // kept while the press lasts
    Send(WM_MOUSEMOVE, kOn);
    EXPECT_EQ(State(), kPressed);
    Send(WM_LBUTTONUP, kOff);
    EXPECT_EQ(Clicks(), 0u);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(BmpButtonTest, SpaceAndEnterClickOnReleaseAndFocusLossEndsThePress)
{
    SetFocus(button);
    EXPECT_EQ(Read().hasFocus, 1);
    for (WPARAM key : {VK_SPACE, VK_RETURN}) {
        Send(WM_KEYDOWN, key);
        EXPECT_EQ(State(), kPressed);
        Send(WM_KEYUP, key);
        EXPECT_EQ(State(), kHot);
    }
    EXPECT_EQ(Clicks(), 2u);
    Send(WM_KEYDOWN, 'A');
    Send(WM_KEYUP, 'A');
    Send(WM_KEYDOWN, VK_SPACE);
    SetFocus(parent->hwnd());
    EXPECT_EQ(Read().hasFocus, 0);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(Clicks(), 2u);
}

TEST_F(BmpButtonTest, LatchedButtonClicksAndOnlyTheLatchMessageReleasesIt)
{
    Send(BBM_SETLATCH, 1);
    CursorTo(kOn);
    EXPECT_EQ(State(), kLatchedHot);
    Send(WM_LBUTTONDOWN, kOn);
    Send(WM_LBUTTONUP, kOn);
    EXPECT_EQ(Clicks(), 1u);
    EXPECT_EQ(State(), kLatchedHot);
    Send(WM_MOUSEMOVE, kOff);
    EXPECT_EQ(State(), kLatched);

    Send(WM_KEYDOWN, VK_SPACE);
    Send(WM_KEYUP, VK_SPACE);
    Send(WM_LBUTTONDOWN, kOn);
    Send(WM_LBUTTONUP, kOff);
    Send(WM_SETFOCUS, 0);
    Send(WM_KILLFOCUS, 0);
    EXPECT_EQ(State(), kLatched);
    EXPECT_EQ(Clicks(), 2u);
    Send(BBM_SETLATCH, 2); // any value but 1 releases
    EXPECT_EQ(State(), kIdle);
}

TEST_F(BmpButtonTest, DisabledButtonIgnoresClicksAndKeys)
{
    for (bool byWindow : {false, true}) {
        Send(WM_LBUTTONDOWN, kOn);
        byWindow ? EnableWindow(button, FALSE) : Send(BBM_ENABLE, 0);
        EXPECT_EQ(State(), kDisabled);
        EXPECT_EQ(GetCapture(), nullptr);
        for (UINT message : {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_MOUSEMOVE}) EXPECT_EQ(Send(message, kOn), 1);
        EXPECT_EQ(Send(WM_KEYDOWN, VK_SPACE), 1);
        EXPECT_EQ(Send(WM_KEYUP, VK_SPACE), 1);
        Send(BBM_SETLATCH, 1);
        Send(WM_SETFOCUS, 0);
        EXPECT_EQ(State(), kDisabled);
        EXPECT_EQ(Clicks(), 0u);

        byWindow ? EnableWindow(button, TRUE) : Send(BBM_ENABLE, 1);
        EXPECT_EQ(State(), kIdle);
        Send(WM_MOUSEMOVE, kOn); // the press cut short is forgotten
        EXPECT_EQ(State(), kHot);
        Send(WM_MOUSEMOVE, kOff);
    }
}

TEST_F(BmpButtonTest, ParentMayDestroyTheButtonWhileNotified)
{
    parent->OnMessage(WM_COMMAND, [this](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return DestroyWindow(button); });
    Send(WM_LBUTTONDOWN, kOn);
    Send(WM_LBUTTONUP, kOn);
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(Clicks(), 1u);
}

TEST_F(BmpButtonTest, FacesShowTheImagesEdgesAndFocus)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHIGHLIGHT),
                   shadow = GetSysColor(COLOR_BTNSHADOW);
    const std::string path = wintest::ExeDir() + "bmpbutton_res" + std::to_string(GetCurrentProcessId()) + ".dll";
    HMODULE module = ModuleWithImage(path);
    ASSERT_NE(module, nullptr);
    const KwImageSource source = {module, kImageId};
    Send(BBM_SETIMAGES, 0); // no image source: ignored
    SendMessageA(button, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&source));
    ASSERT_TRUE(Read().normalImage && Read().highlightImage && Read().disabledImage);

    // Idle: the image, its key colour turned into face, covers the button.
    ExpectPixels({{0, 10, face}, {12, 12, kBlack}});
    const RECT focusRow = {2, 2, kSize - 2, 3};
    EXPECT_EQ(wintest::CaptureClient(button).CountColor(face, &focusRow), kSize - 4);

    // Focused: raised, with a focus rectangle two pixels in.
    SetFocus(button);
    ExpectPixels({{0, 10, light}, {kSize - 1, 10, shadow}});
    EXPECT_LT(wintest::CaptureClient(button).CountColor(face, &focusRow), kSize - 4);
    SetFocus(parent->hwnd());

    // Latched: flat outside, the highlight image one pixel in, sunken.
    Send(BBM_SETLATCH, 1);
    ExpectPixels({{0, 10, face}, {1, 10, shadow}, {kSize - 1, 10, light}, {5, 5, light}, {12, 12, kBlack}});
    Send(BBM_SETLATCH, 0);

    // Disabled: only the etched image; the square and its copy one pixel
    // up-left in shadow, the square's right and bottom borders in highlight.
    Send(BBM_ENABLE, 0);
    ExpectPixels({{0, 10, face}, {7, 7, shadow}, {10, 10, shadow}, {15, 10, light}, {10, 15, light}});

    // Images set again replace the old ones, which are freed, as are the
    // last ones with the button.
    const auto round = [&] {
        HWND b = CreateWindowExA(0, KW_BMPBUTTON_CLASS, "", WS_CHILD | WS_VISIBLE, 60, 20, kSize, kSize,
                                 parent->hwnd(), nullptr, nullptr, nullptr);
        for (int n = 0; n < 2; ++n) SendMessageA(b, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&source));
        for (UINT message : {BBM_SETLATCH, BBM_ENABLE}) {
            RedrawWindow(b, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            SendMessageA(b, message, message == BBM_SETLATCH, 0);
        }
        RedrawWindow(b, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        DestroyWindow(b);
    };
    round();
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int n = 0; n < 300; ++n) round();
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
    DestroyWindow(button);
    FreeLibrary(module);
    DeleteFileA(path.c_str());
}

TEST_F(BmpButtonTest, FacesFollowTheSystemColoursWhenTheyChange)
{
    const std::string path = wintest::ExeDir() + "bmpbutton_colours" + std::to_string(GetCurrentProcessId()) + ".dll";
    HMODULE module = ModuleWithImage(path);
    ASSERT_NE(module, nullptr);
    const KwImageSource source = {module, kImageId};
    SendMessageA(button, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&source));
    const int index = COLOR_BTNFACE;
    const COLORREF saved = GetSysColor(index), changed = RGB(90, 140, 30);
    SetSysColors(1, &index, &changed);
    Send(WM_SYSCOLORCHANGE, 0);
    // The key colour now shows the new face; the image's own black stays.
    ExpectPixels({{0, 10, changed}, {12, 12, kBlack}});
    SetSysColors(1, &index, &saved);
    DestroyWindow(button);
    FreeLibrary(module);
    DeleteFileA(path.c_str());
}
