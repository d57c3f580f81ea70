// The watcher as the user meets it: started as its own program, watched
// from outside through the shell's notification area, ended by the closer.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "mail_dir.h"
#include "shutlet.h"
#include "stand_ins.h"
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

std::string WideText(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

// Message files written under names the test's own code page cannot spell,
// deleted again by those names.
struct NamedFiles {
    std::vector<std::wstring> paths;
    ~NamedFiles()
    {
        for (const std::wstring& path : paths) DeleteFileW(path.c_str());
    }
    bool Write(const std::string& dir, const std::string& name, const std::string& from, const std::string& subject)
    {
        paths.push_back(wintest::Utf16(dir + "\\" + name));
        HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const std::string text = "From: " + from + "\r\nSubject: " + subject + "\r\n\r\nHello.\r\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        return written == text.size();
    }
};

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

// The watcher runs in UTF-8: files named in Cyrillic, in Chinese and with an
// emoji are counted, their senders and subjects shown as written, and each
// opened in the viewer by its real name (a stand-in viewer that runs in
// UTF-8 too and logs its arguments).
TEST_F(WatcherProgramTest, NamesAndTextInAnyScriptAreCountedShownAndOpened)
{
    using Shown = std::pair<std::string, std::string>;
    const struct {
        const char* name;
        Shown text;
    } messages[] = {
        {u8"Письмо.CNM", {u8"Дмитрий Иванов <d@example.ru>", u8"Отчёт за март готов"}},
        {u8"邮件.CNM", {u8"王小明 <wang@example.cn>", u8"会议通知"}},
        {u8"🎉party.CNM", {"Shop <shop@example.com>", u8"🎉 Your order has shipped 📦"}},
    };
    NamedFiles files;
    std::set<Shown> written;
    std::set<std::string> paths;
    for (const auto& m : messages) {
        ASSERT_TRUE(files.Write(mail.path(), m.name, m.text.first, m.text.second))
            << "Wine spells such names only under a UTF-8 Unix locale (LANG=C.UTF-8)";
        written.insert(m.text);
        paths.insert(mail.path() + "\\" + m.name);
    }
    const std::string log = wintest::NewStandInLog("viewer");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    stored::SetText(stored::kKey, "Viewer Program", wintest::ExeDir() + "CorvidStandInUtf8.exe");
    StartWatcher();
    HWND tray = nullptr;
    ASSERT_TRUE(wintest::PumpUntil(
        [&] {
            DWORD owner = 0;
            while ((tray = FindWindowExA(nullptr, tray, "KWMailNotification", nullptr)) &&
                   (GetWindowThreadProcessId(tray, &owner), owner != watcher.pid)) {
            }
            return tray != nullptr;
        },
        15000));

    // "Show New Mail List": the popup counts all three and pages through
    // them. The first scan lets messages through while it runs; a list
    // asked for then is still empty and its popup ends unshown: ask again.
    HWND popup = nullptr;
    ASSERT_TRUE(wintest::PumpUntil(
        [&] {
            if (!popup || !IsWindow(popup)) {
                PostMessageA(tray, WM_COMMAND, 40007 /* IDM_SHOWLIST */, 0);
                popup = wintest::WaitForWindow("#32770", "New Mail!!", 10000, watcher.pid);
            }
            return popup && IsWindowVisible(popup);
        },
        40000));
    std::set<Shown> shown;
    for (int page = 1; page <= 3; ++page) {
        const std::string position = std::to_string(page) + " of 3";
        ASSERT_TRUE(wintest::PumpUntil([&] { return Text(popup, 1020) == position; }, 5000))
            << Text(popup, 1020) << ", not " << position;
        shown.insert({WideText(popup, 1014), WideText(popup, 1016)});
        if (page < 3) PostMessageA(popup, WM_COMMAND, 1011 /* IDC_POPUP_NEXT */, 0);
    }
    EXPECT_EQ(shown, written);
    PostMessageA(popup, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(wintest::PumpUntil([&] { return !IsWindow(popup); }, 5000));

    // Each "Quick View" item starts the viewer with its message's path.
    for (UINT item = 1000; item < 1003; ++item) PostMessageA(tray, WM_COMMAND, item, 0);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "started", 15000, 0, 3));
    std::set<std::string> opened;
    for (const std::string& event : wintest::ReadStandInLog(log)) {
        if (event.compare(0, 8, "started ") != 0) continue;
        const std::vector<std::string> arguments = wintest::StandInArguments(event);
        EXPECT_EQ(arguments.size(), 1u) << event;
        if (!arguments.empty()) opened.insert(arguments[0]);
    }
    EXPECT_EQ(opened, paths);
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", nullptr);
    EndStandIns(log);
}

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

// Three mailboxes, the third out of reach: each counts in the tip, a file
// of the same name in two directories counts twice, a change in any
// directory is seen at once and the popup names the message's mailbox.
TEST_F(ChangeWatchTest, ThreeMailboxesOneOutOfReach)
{
    MailDirectory work("work");
    const std::string second = std::string(stored::kKey) + "\\Mailbox 2";
    const std::string third = std::string(stored::kKey) + "\\Mailbox 3";
    stored::SetText(second.c_str(), "Name", "Work");
    stored::SetText(second.c_str(), "MailDir", work.path());
    stored::SetText(third.c_str(), "Name", "Home");
    stored::SetText(third.c_str(), "MailDir", work.path() + "_missing");
    mail.Write("1.CNM", "Ann <ann@example.com>", "Budget");
    work.Write("1.CNM", "Bob <bob@example.com>", "Rota");
    StartWatcher();
    EXPECT_TRUE(ShowsTip("2 New Mail Messages\nMail: 1\nWork: 1\nHome: not reachable"));
    ASSERT_TRUE(wintest::WaitForWindow("KWMailNotification", nullptr, 15000, watcher.pid));
    wintest::PumpFor(1000);

    const struct {
        const MailDirectory& dir;
        const char* subject;
        const char* position;
        const char* tip;
    } arrivals[] = {
        {work, "Minutes", "1 of 1 - Work", "3 New Mail Messages\nMail: 1\nWork: 2\nHome: not reachable"},
        {mail, "Lunch", "1 of 1 - Mail", "4 New Mail Messages\nMail: 2\nWork: 2\nHome: not reachable"},
    };
    for (const auto& arrival : arrivals) {
        SCOPED_TRACE(arrival.position);
        const DWORD start = GetTickCount();
        arrival.dir.Write("2.CNM", "Cleo <cleo@example.com>", arrival.subject);
        std::string subject, position;
        ASSERT_TRUE(TakePopup(5000, &subject, &position));
        // The scan interval is a minute: the change signal brought it.
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_EQ(subject, arrival.subject);
        EXPECT_EQ(position, arrival.position);
        EXPECT_TRUE(ShowsTip(arrival.tip));
    }
}

namespace {

// Long enough for a notification to have left the screen, so that the next
// one is not its summary.
constexpr DWORD kNotificationGoneMs = 5500;

} // namespace

// With the popup off ("Windows Notification" is not stored: its default,
// on), new mail is told by a notification at the tray icon, which this
// shell draws as a balloon tool tip.
TEST_F(WatcherProgramTest, WithThePopupOffNewMailShowsANotification)
{
    StartWatcher();
    ASSERT_TRUE(ShowsTip("0 New Mail Messages"));

    // One message: its sender's name and subject.
    mail.Write("1.CNM", "\"Ann Lee\" <ann@example.com>", "Budget");
    wintest::TrayBalloon balloon;
    ASSERT_TRUE(wintest::WaitForTrayBalloon(watcher.pid, L"New mail from Ann Lee", 15000, &balloon));
    EXPECT_EQ(balloon.text, L"Budget");
    EXPECT_EQ(balloon.icon.tip, "1 New Mail Messages");

    // A burst of five: one summary, three lines and the rest counted.
    wintest::PumpFor(kNotificationGoneMs);
    std::set<std::wstring> written;
    for (int i = 1; i <= 5; ++i) {
        const std::string n = std::to_string(i);
        mail.Write("b" + n + ".CNM", "\"Sender " + n + "\" <s" + n + "@example.com>", "Subject " + n);
        written.insert(wintest::Utf16("Sender " + n + ": Subject " + n));
    }
    ASSERT_TRUE(wintest::WaitForTrayBalloon(watcher.pid, L"5 new messages", 15000, &balloon));
    const std::vector<std::wstring> lines = wintest::SplitLines(balloon.text);
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(written.count(lines[i]), 1u);
    EXPECT_EQ(lines[3], L"and 2 more");

    // 300 Chinese characters with an emoji where the text is cut: cut
    // before the emoji, whole.
    wintest::PumpFor(kNotificationGoneMs);
    const std::string han = u8"中";
    mail.Write("c.CNM", u8"\"王小明\" <wang@example.cn>", wintest::Repeat(han, 253) + u8"😀" + wintest::Repeat(han, 46));
    ASSERT_TRUE(wintest::WaitForTrayBalloon(watcher.pid, wintest::Utf16(u8"New mail from 王小明"), 15000, &balloon));
    EXPECT_EQ(balloon.text, wintest::Utf16(wintest::Repeat(han, 253) + u8"…"));
}
