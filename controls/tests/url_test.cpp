// The hyperlink control driven by mouse messages on a visible control: the
// link it opens (the stand-in program, which logs each start), the
// clipboard after "Copy Link", and its text colours on the screen.
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "tray.h"
#include "wintest.h"

namespace {

std::string ClipboardText()
{
    std::string text;
    OpenClipboard(nullptr);
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Puts "before" on an emptied clipboard as text and in a private format,
// which it returns.
UINT FillClipboard()
{
    const UINT marker = RegisterClipboardFormatA("LinkTestMarker");
    OpenClipboard(nullptr);
    EmptyClipboard();
    for (UINT format : {UINT(CF_TEXT), marker}) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 7);
        lstrcpyA(static_cast<char*>(GlobalLock(block)), "before");
        GlobalUnlock(block);
        SetClipboardData(format, block);
    }
    CloseClipboard();
    return marker;
}

// One link control at (10, 10) of a topmost window, clear of where the
// stand-in puts its own.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitControls(GetModuleHandleA("KWCTRL32.dll"));
        host = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 600, 420, 220, 60, nullptr,
                               nullptr, nullptr, nullptr);
        link = CreateWindowExA(0, KW_URL_CLASS, "Custom1", WS_CHILD | WS_VISIBLE, 10, 10, 200, 40, host, nullptr,
                               nullptr, nullptr);
        ASSERT_TRUE(link);
    }
    void TearDown() override { DestroyWindow(host); }

    void SetLink(const std::string& text) { SendMessageA(link, URLM_SETLINK, 0, LPARAM(text.c_str())); }
    void Send(UINT message, int x, int y = 8) { SendMessageA(link, message, 0, MAKELPARAM(x, y)); }
    std::string CopyLink()
    {
        SendMessageA(link, WM_COMMAND, 769, 0);
        return ClipboardText();
    }

    HWND host = nullptr;
    HWND link = nullptr;
};

} // namespace

TEST_F(LinkTest, CopyLinkPutsTheLinkBesideOtherFormats)
{
    const UINT marker = FillClipboard();
    const std::string byDefault = CopyLink();  // the home page, not the title
    EXPECT_EQ(byDefault.size(), 22u);
    EXPECT_EQ(byDefault.rfind("http://", 0), 0u) << byDefault;
    EXPECT_TRUE(IsClipboardFormatAvailable(marker));

    SendMessageA(link, URLM_SETLINK, 0, 0);  // null: unchanged
    EXPECT_EQ(CopyLink(), byDefault);
    const std::string longLink = "http://example.com/" + std::string(300, 'x');
    SetLink(longLink);
    EXPECT_EQ(CopyLink(), longLink.substr(0, 254));

    FillClipboard();  // an empty link copies nothing
    SetLink("");
    EXPECT_EQ(CopyLink(), "before");
    EXPECT_EQ(ClipCopy(link, ""), 0);
}

// Opens the link's menu with `open` and chooses its entry: the menu tracks
// inside the call, so another thread reads its entry and chooses it with
// keys (repeated, since keys that come before the menu is ready are lost).
// Returns the entry's text.
std::string ChooseFromMenu(const std::function<void()>& open)
{
    char item[32] = {};
    std::thread chooser([&] {
        for (int i = 0; i < 200; ++i, Sleep(20)) {
            HWND menu = FindWindowExA(nullptr, nullptr, "#32768", nullptr);
            while (menu && !IsWindowVisible(menu)) menu = FindWindowExA(nullptr, menu, "#32768", nullptr);
            if (!menu && item[0]) return;  // chosen and closed
            if (!menu) continue;
            if (!item[0]) GetMenuStringA(HMENU(SendMessageA(menu, MN_GETHMENU, 0, 0)), 769, item, 32, MF_BYCOMMAND);
            PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    open();
    chooser.join();
    wintest::PumpPending();  // the chosen command comes posted
    return item;
}

TEST_F(LinkTest, RightClickMenuCopiesTheLink)
{
    SetLink("http://example.com/menu");
    EXPECT_EQ(ChooseFromMenu([&] { Send(WM_RBUTTONDOWN, 20); }), "Copy Link");
    EXPECT_EQ(ClipboardText(), "http://example.com/menu");
}

TEST_F(LinkTest, KeyboardReachesTheLinkOpensItAndItsMenu)
{
    // A click gives the link the focus; in a dialog, Enter reaches it.
    Send(WM_LBUTTONDOWN, 20);
    Send(WM_LBUTTONUP, -300);
    EXPECT_EQ(GetFocus(), link);
    MSG enter = {link, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageA(link, WM_GETDLGCODE, VK_RETURN, LPARAM(&enter)), DLGC_WANTMESSAGE);

    // The menu key, Shift+F10 and WM_CONTEXTMENU from the keyboard open the
    // menu.
    BYTE keys[256];
    GetKeyboardState(keys);
    const auto shiftF10 = [&] {
        BYTE shifted[256];
        memcpy(shifted, keys, sizeof shifted);
        shifted[VK_SHIFT] = 0x80;
        SetKeyboardState(shifted);
        SendMessageA(link, WM_SYSKEYDOWN, VK_F10, 0);
        SetKeyboardState(keys);
    };
    const std::function<void()> openers[] = {
        [&] { SendMessageA(link, WM_KEYDOWN, VK_APPS, 0); },
        shiftF10,
        [&] { SendMessageA(link, WM_CONTEXTMENU, WPARAM(link), -1); },
    };
    for (const auto& open : openers) {
        SetLink("http://example.com/" + std::to_string(&open - openers));
        EXPECT_EQ(ChooseFromMenu(open), "Copy Link");
        EXPECT_EQ(ClipboardText(), "http://example.com/" + std::to_string(&open - openers));
    }

    // Enter and Space open the link.
    const std::string log = wintest::NewStandInLog("linkkeys");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    SetLink(wintest::StandInPath());
    for (WPARAM key : {VK_RETURN, VK_SPACE}) SendMessageA(link, WM_KEYDOWN, key, 0);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "started", 15000, 0, 2));
    wintest::PumpFor(1500);
    for (HWND w; (w = FindWindowA("FRAME", "Corvid Mail")) != nullptr;) SendMessageA(w, WM_CLOSE, 0, 0);
}

TEST_F(LinkTest, OnlyAReleaseOverTheControlOpensTheLink)
{
    const std::string log = wintest::NewStandInLog("link");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    SetLink(wintest::StandInPath());
    // Waits for the n-th start, then a while longer for any surplus one.
    const auto startsAfter = [&](int n) {
        wintest::WaitForStandInEvent(log, "started", n ? 15000 : 0, 0, n);
        wintest::PumpFor(1500);
        return wintest::CountStandInEvents(log, "started");
    };

    Send(WM_LBUTTONDOWN, 20);  // dragged off, released elsewhere
    Send(WM_LBUTTONUP, -300);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "EDIT", "", WS_POPUP | WS_VISIBLE, 760, 430, 50, 40, nullptr,
                                 nullptr, nullptr, nullptr);
    Send(WM_LBUTTONDOWN, 170);  // released over a window covering it
    Send(WM_LBUTTONUP, 170);
    DestroyWindow(cover);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(startsAfter(0), 0);

    RECT r;  // a click with the real mouse, which then goes back where it was
    GetWindowRect(link, &r);
    POINT home;
    GetCursorPos(&home);
    SetCursorPos(r.left + 20, r.top + 8);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    EXPECT_EQ(startsAfter(1), 1);
    SetCursorPos(home.x, home.y);

    Send(WM_LBUTTONUP, 20);  // the release alone decides, wherever the press was
    EXPECT_EQ(startsAfter(2), 2);
    // A double click opens twice: the second release opens again.
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Send(message, 20);
    EXPECT_EQ(startsAfter(4), 4);
    SetLink("");
    Send(WM_LBUTTONUP, 20);
    EXPECT_EQ(startsAfter(4), 4);

    for (HWND w; (w = FindWindowA("FRAME", "Corvid Mail")) != nullptr;) SendMessageA(w, WM_CLOSE, 0, 0);
}

TEST_F(LinkTest, TextTakesThePressedColourWhileTheButtonIsDown)
{
    const auto shows = [&](COLORREF colour) { return wintest::CaptureClient(link).CountColor(colour) > 0; };
    const COLORREF normal = RGB(10, 10, 255), pressed = RGB(200, 10, 255);
    EXPECT_TRUE(shows(normal));
    EXPECT_FALSE(shows(pressed));
    Send(WM_LBUTTONDOWN, 20);
    EXPECT_TRUE(shows(pressed));
    EXPECT_FALSE(shows(normal));
    Send(WM_LBUTTONUP, -300, -300);  // released anywhere
    EXPECT_TRUE(shows(normal));
    EXPECT_FALSE(shows(pressed));
}
