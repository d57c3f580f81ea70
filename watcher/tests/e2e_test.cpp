// The watcher as the user meets it: started as its own program, watched
// from outside through the shell's notification area, ended by the closer.
#include <string>

#include <gtest/gtest.h>

#include "mail_dir.h"
#include "shutlet.h"
#include "stored_settings.h"
#include "tray.h"
#include "wintest.h"

namespace {

class WatcherProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        stored::WriteUsable(mail.path());
        stored::SetNumber(stored::kKey, "Scan Interval", 1);
    }
    void TearDown() override
    {
        if (watcher) wintest::KillProcess(watcher);
        stored::Clear();
    }
    void StartWatcher()
    {
        watcher = wintest::StartProcess(wintest::ExeDir() + "Tidbell32.exe");
        ASSERT_TRUE(watcher);
    }
    bool ShowsTip(const std::string& tip, wintest::TrayIcon* icon = nullptr)
    {
        return wintest::WaitForTrayTip(watcher.pid, tip, 15000, icon);
    }
    double Share(const std::string& tip, wintest::Tone tone)
    {
        wintest::TrayIcon icon;
        if (!ShowsTip(tip, &icon)) return 0;
        wintest::PumpFor(100);
        return wintest::ToneShare(wintest::CaptureTrayIcon(icon), tone);
    }
    std::string Text(HWND dialog, int id)
    {
        char text[256] = {};
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return text;
    }

    MailDirectory mail;
    wintest::Process watcher;
};

} // namespace

TEST_F(WatcherProgramTest, EmptyDirectoryShowsTheIdleIcon)
{
    StartWatcher();
    EXPECT_GT(Share("0 New Mail Messages", wintest::Tone::Grey), 0.3);
}

TEST_F(WatcherProgramTest, MailArrivesIsTakenInAndTheWatcherEnds)
{
    mail.Write("1.CNM", "Ann Lee <ann@example.com>", "Budget");
    mail.Write("2.CNM", "Bob <bob@example.com>", "Lunch");
    stored::SetText(stored::kKey, "Popup Notification", "Yes");
    StartWatcher();
    EXPECT_GT(Share("2 New Mail Messages", wintest::Tone::Red), 0.3);

    // A third message: the popup lists it alone.
    mail.Write("3.CNM", "Cleo Park <cleo@example.com>", "Minutes");
    HWND popup = wintest::WaitForWindow("#32770", "New Mail!!", 15000, watcher.pid);
    ASSERT_TRUE(popup);
    // The window exists before its texts: read it once it shows a record.
    ASSERT_TRUE(wintest::PumpUntil([&] { return Text(popup, 1020) == "1 of 1"; }, 5000));
    EXPECT_TRUE(ShowsTip("3 New Mail Messages"));
    EXPECT_EQ(Text(popup, 1014), "Cleo Park <cleo@example.com>");
    EXPECT_EQ(Text(popup, 1016), "Minutes");
    EXPECT_EQ(Text(popup, 1020), "1 of 1");
    PostMessageA(popup, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(wintest::PumpUntil([&] { return !IsWindow(popup); }, 5000));

    // The client takes one in: idle icon, one less waiting.
    mail.Remove("1.CNM");
    EXPECT_GT(Share("2 New Mail Messages", wintest::Tone::Grey), 0.3);

    // A second copy only puts the icon back.
    wintest::Process second = wintest::StartProcess(wintest::ExeDir() + "Tidbell32.exe");
    DWORD code = 1;
    ASSERT_TRUE(wintest::WaitExit(second, 15000, &code));
    wintest::KillProcess(second);
    EXPECT_EQ(code, 0u);
    EXPECT_GT(Share("No New Messages", wintest::Tone::Grey), 0.3);

    // The closer ends it cleanly.
    EXPECT_EQ(CloseTidbell(0), 1);
    code = 1;
    ASSERT_TRUE(wintest::WaitExit(watcher, 15000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(wintest::WaitForNoTrayIcon(watcher.pid, 5000));
}

namespace {

// The watcher with a scan interval of a minute and the popup on, so that a
// popup sooner than that comes from the directory's change signal.
class ChangeWatchTest : public WatcherProgramTest {
protected:
    void SetUp() override
    {
        WatcherProgramTest::SetUp();
        stored::SetNumber(stored::kKey, "Scan Interval", 60);
        stored::SetText(stored::kKey, "Popup Notification", "Yes");
    }
    // The next popup, read and closed; its subject and position texts.
    bool TakePopup(DWORD timeoutMs, std::string* subject, std::string* position)
    {
        HWND popup = wintest::WaitForWindow("#32770", "New Mail!!", timeoutMs, watcher.pid);
        // Read once it shows a record: the window exists before its texts.
        if (!popup || !wintest::PumpUntil([&] { return Text(popup, 1020).find(" of ") != std::string::npos; }, 5000))
            return false;
        *subject = Text(popup, 1016);
        *position = Text(popup, 1020);
        PostMessageA(popup, WM_COMMAND, IDOK, 0);
        return wintest::PumpUntil([&] { return !IsWindow(popup); }, 5000);
    }
};

} // namespace

TEST_F(ChangeWatchTest, NewFilesAreAnnouncedLongBeforeTheIntervalAndOnceWhole)
{
    StartWatcher();
    ASSERT_TRUE(wintest::WaitForWindow("KWMailNotification", nullptr, 15000, watcher.pid));
    wintest::PumpFor(1000);
    std::string subject, position;
    mail.Write("1.CNM", "Ann <ann@example.com>", "Quick");
    ASSERT_TRUE(TakePopup(5000, &subject, &position));
    EXPECT_EQ(subject, "Quick");

    // Written over two seconds: every write signals, the unfinished header
    // is left alone, and the whole message is announced once.
    wintest::Process writer =
        wintest::StartProcess(wintest::StandInPath(), "--write \"" + mail.File("s.CNM") + "\" 2");
    ASSERT_TRUE(TakePopup(10000, &subject, &position));
    EXPECT_EQ(subject, "Written over 2 s");
    EXPECT_EQ(position, "1 of 1");
    EXPECT_FALSE(wintest::WaitForWindow("#32770", "New Mail!!", 2000, watcher.pid)) << "announced again";
    wintest::KillProcess(writer);
}
