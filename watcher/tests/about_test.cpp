// The About box: its version line tick by tick, its logo on the screen, two
// boxes open at once, and the box of a running watcher opened from the tray
// menu and closed the ways a user closes it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "accessible.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "mail_dir.h"
#include "resource.h"
#include "stored_settings.h"
#include "watcher.h"
#include "wintest.h"

namespace {

const std::string kVersion = "Tidbell v2.0.9";

std::string Text(HWND dialog, int id)
{
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Boxes opened modeless inside the test process, from its own copy of the
// watcher's resources, so that the test can drive their messages.
class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitControls(appInstance);
    }
    void TearDown() override
    {
        for (HWND box : boxes) DestroyWindow(box);
    }
    HWND Open()
    {
        HWND box = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc, 0);
        boxes.push_back(box);
        return box;
    }
    static std::string Tick(HWND box)
    {
        SendMessageA(box, WM_TIMER, 1, 0);
        return Text(box, IDC_ABOUT_VERSION);
    }

    std::vector<HWND> boxes;
};

} // namespace

TEST_F(AboutBoxTest, VersionLineSlidesInAndScrollsOutInACycleOfTwentyEightTicks)
{
    HWND box = Open();
    ASSERT_TRUE(box);
    EXPECT_EQ(Text(box, IDC_ABOUT_VERSION), "");

    std::vector<std::string> lines(1);
    for (int tick = 1; tick <= 29; ++tick) lines.push_back(Tick(box));
    EXPECT_EQ(lines[1], std::string(13, ' ') + "T");
    EXPECT_EQ(lines[7], std::string(7, ' ') + "Tidbell");
    EXPECT_EQ(lines[14], kVersion);
    EXPECT_EQ(lines[15], kVersion.substr(1));
    EXPECT_EQ(lines[27], "9");
    EXPECT_EQ(lines[28], "");
    EXPECT_EQ(lines[29], std::string(13, ' ') + "T");

}

TEST_F(AboutBoxTest, LogoIsStretchedOverTheWholeButton)
{
    // The picture covers rows 5 to 88 of the logo's 96: stretched, not
    // centred, it covers the same share of the button's height.
    const wintest::Pixels shown = wintest::CaptureClient(GetDlgItem(Open(), IDC_ABOUT_LOGO));
    ASSERT_GT(shown.height, 96);
    std::vector<int> rows;  // rows holding more than the button face
    for (int y = 0; y < shown.height; ++y) {
        const RECT row = {0, y, shown.width, y + 1};
        if (shown.CountColor(GetSysColor(COLOR_BTNFACE), &row) < shown.width) rows.push_back(y);
    }
    ASSERT_FALSE(rows.empty());
    EXPECT_NEAR(rows.front(), shown.height * 5 / 96, 3);
    EXPECT_NEAR(rows.back() + 1, shown.height * 89 / 96, 3);
}

TEST_F(AboutBoxTest, TwoBoxesAtOnceKeepTheirOwnLineAndFont)
{
    HWND first = Open();
    HWND second = Open();
    for (int tick = 0; tick < 5; ++tick) Tick(first);
    EXPECT_EQ(Tick(second), std::string(13, ' ') + "T");

    SendMessageA(first, WM_COMMAND, IDOK, 0);
    LOGFONTA font = {};
    HGDIOBJ title = HGDIOBJ(SendDlgItemMessageA(second, IDC_ABOUT_VERSION, WM_GETFONT, 0, 0));
    EXPECT_GT(GetObjectA(title, sizeof font, &font), 0);
    EXPECT_EQ(Tick(second), std::string(12, ' ') + "Ti");
}

// The size of an icon's image; 0 for a handle that is not an icon (any
// more).
int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return mask.bmWidth;
}

// The tray icon comes at the small-icon size for the screen's DPI, the
// box's caption icons at the sizes for its own, and the box frees them when
// it goes.
TEST_F(AboutBoxTest, TrayAndCaptionIconsComeAtTheSizesOfTheDpi)
{
    for (int id : {IDI_IDLE, IDI_NEWMAIL}) {
        HICON tray = LoadTrayIcon(id);
        EXPECT_EQ(IconWidth(tray), KwSystemMetric(SM_CXSMICON, KwScreenDpi())) << "tray icon " << id;
        if (tray) DestroyIcon(tray);
    }

    HWND box = Open();
    ASSERT_TRUE(box);
    const UINT dpi = KwWindowDpi(box);
    const struct {
        WPARAM which;
        int metric;
    } captions[] = {{ICON_SMALL, SM_CXSMICON}, {ICON_BIG, SM_CXICON}};
    std::vector<HICON> icons;
    for (const auto& caption : captions) {
        HICON icon = reinterpret_cast<HICON>(SendMessageA(box, WM_GETICON, caption.which, 0));
        EXPECT_EQ(IconWidth(icon), KwSystemMetric(caption.metric, dpi)) << "caption icon " << caption.which;
        icons.push_back(icon);
    }
    DestroyWindow(box);
    boxes.clear();
    for (HICON icon : icons) EXPECT_EQ(IconWidth(icon), 0) << "an icon outlived its box";
}

// A watcher started as its own process on a usable mail directory, ended
// with the test.
class RunningWatcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        stored::WriteUsable(mail.path());
        watcher = wintest::StartProcess(wintest::ExeDir() + "Tidbell32.exe");
        tray = wintest::WaitForWindow(MAIL_WINDOW_CLASS, nullptr, 15000, watcher.pid);
        ASSERT_TRUE(tray);
    }
    void TearDown() override
    {
        wintest::KillProcess(watcher);
        stored::Clear();
    }

    // The control that has the focus in the thread of window, which may be
    // another process's.
    static HWND FocusIn(HWND window)
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        return info.hwndFocus;
    }

    MailDirectory mail;
    wintest::Process watcher;
    HWND tray = nullptr;
};

// The box of a running watcher, opened with its tray menu's "&About" and
// closed from outside as a user closes it.
TEST_F(RunningWatcher, AboutBoxOpensFromTheTrayMenuAndClosesByEnterOkAndCaption)
{
    // A box takes input once its modal loop runs: it is shown and its
    // first tick has drawn the version line. A click posted before then
    // may reach a button that cannot take the focus yet and be lost.
    const auto open = [&] {
        PostMessageA(tray, WM_COMMAND, IDM_ABOUT, 0);
        HWND box = wintest::WaitForWindow("#32770", "About Tidbell", 10000, watcher.pid);
        wintest::PumpUntil([&] { return IsWindowVisible(box) && !Text(box, IDC_ABOUT_VERSION).empty(); }, 5000);
        return box;
    };
    const auto closes = [](HWND box) { return wintest::PumpUntil([&] { return !IsWindow(box); }, 5000); };
    const auto press = [](HWND box, WPARAM key) {  // to the control that has the focus
        PostMessageA(FocusIn(box) ? FocusIn(box) : box, WM_KEYDOWN, key, 1);
    };

    HWND box = open();
    ASSERT_TRUE(box);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    // With the line standing whole, the screen shows the box with its logo,
    // frames and link (kept as a build artefact).
    EXPECT_TRUE(wintest::PumpUntil([&] { return Text(box, IDC_ABOUT_VERSION) == kVersion; }, 10000));
    wintest::SaveBmp(wintest::CaptureScreen(), (wintest::ExeDir() + "..\\about-box.bmp").c_str());

    press(box, VK_ESCAPE);  // ignored
    wintest::PumpFor(500);
    EXPECT_TRUE(IsWindowVisible(box));
    press(box, VK_RETURN);
    EXPECT_TRUE(closes(box));

    box = open();
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(closes(box));

    box = open();
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);  // the caption's close button
    EXPECT_TRUE(closes(box));
    EXPECT_TRUE(IsWindow(tray));
}

// A screen reader runs in a process of its own: from here, the running
// watcher's About box and Properties dialog read as their controls are, and
// Tab takes the focus to the About box's link.
TEST_F(RunningWatcher, ScreenReaderInAnotherProcessReadsTheDialogs)
{
    CoInitialize(nullptr);
    // Role, name and value of a control.
    const auto read = [](HWND control) {
        const wintest::AccessibleReader reader(control);
        return std::to_string(reader.Role()) + " " + reader.Name() + " | " + reader.Value();
    };
    PostMessageA(tray, WM_COMMAND, IDM_ABOUT, 0);
    HWND box = wintest::WaitForWindow("#32770", "About Tidbell", 10000, watcher.pid);
    ASSERT_TRUE(box);
    wintest::PumpUntil([&] { return FocusIn(box) != nullptr; }, 5000);
    HWND link = GetDlgItem(box, IDC_ABOUT_LINK);
    EXPECT_EQ(read(link), std::to_string(ROLE_SYSTEM_LINK) + " http://www.kestrel.com | http://www.kestrel.com");
    PostMessageA(FocusIn(box), WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(wintest::PumpUntil([&] { return FocusIn(box) == link; }, 5000));
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindow(box); }, 5000));

    PostMessageA(tray, WM_COMMAND, IDM_PROPERTIES, 0);
    HWND properties = wintest::WaitForWindow("#32770", "Mail Notification Properties", 10000, watcher.pid);
    ASSERT_TRUE(properties);
    wintest::PumpUntil([&] { return FocusIn(properties) != nullptr; }, 5000);
    EXPECT_EQ(read(GetDlgItem(properties, IDC_PROP_BROWSE_MAILDIR)),
              std::to_string(ROLE_SYSTEM_PUSHBUTTON) + " Browse for the new-mail directory | ");
    PostMessageA(properties, WM_COMMAND, IDCANCEL, 0);
    CoUninitialize();
}
