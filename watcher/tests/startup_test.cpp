// The watcher as a program: one copy per desktop, a main window that is
// never shown, and a clean exit when its window is closed.
#include <string>

#include <gtest/gtest.h>

#include "mail_dir.h"
#include "stored_settings.h"
#include "tray.h"
#include "wintest.h"

namespace {

constexpr UINT WM_RESETTRAYICON = 0x806A;
const char kMailClass[] = "KWMailNotification";
const char kMutexName[] = "KWUTILS-Tidbell";

std::string WatcherPath()
{
    return wintest::ExeDir() + "Tidbell32.exe";
}

// Starts a real copy and waits until its tray window exists.
HWND StartWatcher(wintest::Process& process, const std::string& args = "", WORD show = SW_SHOWNORMAL)
{
    process = wintest::StartProcess(WatcherPath(), args, show);
    if (!process) return nullptr;
    return wintest::WaitForWindow(kMailClass, nullptr, 15000, process.pid);
}

// Ends a copy through its window, as the family's closer does, and returns
// its exit code (or -1 if it did not end).
long CloseWatcher(wintest::Process& process, HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 0;
    const bool ended = wintest::WaitExit(process, 15000, &code);
    wintest::KillProcess(process);
    return ended ? static_cast<long>(code) : -1;
}


class StartupTest : public ::testing::Test {
protected:
    // Settings whose paths exist, so the program starts without asking.
    void SetUp() override { stored::WriteUsable(stored::TempDirectory()); }
    void TearDown() override
    {
        if (process) wintest::KillProcess(process);
        if (marker) CloseHandle(marker);
        stored::Clear();
    }
    wintest::Process process;
    HANDLE marker = nullptr;
};

} // namespace

TEST_F(StartupTest, SecondCopySignalsTheRunningOneAndExits)
{
    // This test poses as the running copy: it holds the marker and a window
    // of the watcher's class.
    marker = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_TRUE(marker);
    wintest::MessageRecorder running(nullptr, kMailClass, "Tidbell");

    process = wintest::StartProcess(WatcherPath());
    ASSERT_TRUE(process);
    DWORD code = 1;
    ASSERT_TRUE(wintest::WaitExit(process, 15000, &code));
    EXPECT_EQ(code, 0u);

    ASSERT_TRUE(running.WaitFor(WM_RESETTRAYICON, 1, 2000));
    const auto signals = running.Received(WM_RESETTRAYICON);
    ASSERT_EQ(signals.size(), 1u);
    EXPECT_EQ(signals[0].wParam, 0u);
    EXPECT_EQ(signals[0].lParam, 0);
    EXPECT_FALSE(signals[0].sent) << "the signal must be posted, not sent";
}

TEST_F(StartupTest, MarkerWithoutWindowEndsQuietly)
{
    // The running copy is between creating its marker and its window.
    marker = CreateMutexA(nullptr, FALSE, kMutexName);
    ASSERT_TRUE(marker);
    process = wintest::StartProcess(WatcherPath());
    ASSERT_TRUE(process);
    DWORD code = 1;
    ASSERT_TRUE(wintest::WaitExit(process, 15000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(wintest::CountWindows(kMailClass), 0);
}

TEST_F(StartupTest, OneCopyRunsAndEndsWithZeroWhenClosed)
{
    HWND window = StartWatcher(process);
    ASSERT_TRUE(window);

    wintest::Process second = wintest::StartProcess(WatcherPath());
    ASSERT_TRUE(second);
    DWORD code = 1;
    ASSERT_TRUE(wintest::WaitExit(second, 15000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(wintest::CountWindows(kMailClass), 1);
    EXPECT_TRUE(IsWindow(window));

    EXPECT_EQ(CloseWatcher(process, window), 0);
    EXPECT_EQ(wintest::CountWindows(kMailClass), 0);
}

TEST_F(StartupTest, MainWindowIsNeverShown)
{
    for (WORD show : {SW_SHOWNORMAL, SW_SHOWMAXIMIZED}) {
        HWND window = StartWatcher(process, "/show --anything \"at all\"", show);
        ASSERT_TRUE(window);
        wintest::PumpFor(300);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), 0x06CF0188u);
        char title[32] = {};
        GetWindowTextA(window, title, sizeof title);
        EXPECT_STREQ(title, "Tidbell");
        EXPECT_EQ(CloseWatcher(process, window), 0);
    }
}

TEST_F(StartupTest, MissingPathsAskWhileTheTrayWindowIsBeingCreated)
{
    stored::Clear();
    process = wintest::StartProcess(WatcherPath());
    ASSERT_TRUE(process);
    HWND dialog = wintest::WaitForWindow("#32770", "Mail Notification Properties", 15000, process.pid);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    HWND window = wintest::WaitForWindow(kMailClass, nullptr, 15000, process.pid);
    ASSERT_TRUE(window);
    EXPECT_EQ(CloseWatcher(process, window), 0);
}

TEST_F(StartupTest, MissingPathAsksBeforeTheFirstScanAndTheTrayIcon)
{
    MailDirectory mail;
    stored::WriteUsable(mail.path());
    stored::SetText(stored::kKey, "WinCMailDir", "C:\\no\\such\\client.exe");
    stored::SetNumber(stored::kKey, "Scan Interval", 3600);
    process = wintest::StartProcess(WatcherPath());
    ASSERT_TRUE(process);
    HWND dialog = wintest::WaitForWindow("#32770", "Mail Notification Properties", 15000, process.pid);
    ASSERT_TRUE(dialog);
    for (const wintest::TrayIcon& icon : wintest::ReadTrayIcons()) {
        if (icon.owner && !IsWindow(icon.owner)) continue; // left over from a copy that has ended
        EXPECT_EQ(icon.tip.find("New Mail Messages"), std::string::npos) << "icon added before the dialog";
    }

    // Mail that arrives while the dialog is open is counted by the first
    // scan, which runs once the dialog is closed, unchanged paths and all.
    mail.Write("ARRIVED.CNM", "someone@example.org", "While asking");
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(wintest::WaitForTrayTip(process.pid, "1 New Mail Messages", 15000));
    HWND window = wintest::WaitForWindow(kMailClass, nullptr, 15000, process.pid);
    ASSERT_TRUE(window);
    EXPECT_EQ(CloseWatcher(process, window), 0);
}
