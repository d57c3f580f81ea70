// The installer as an administrator runs it: silently, over a running
// watcher, and back out again with its uninstaller.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include <gtest/gtest.h>

#include "mail_dir.h"
#include "stored_settings.h"
#include "tray.h"
#include "wintest.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tidbell";
const char* const kInstalledFiles[] = {"Tidbell32.exe", "KWCTRL32.dll", "Shutlet.dll", "Uninstall.exe"};

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string UninstallValue(const char* name)
{
    char text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (SHGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, name, nullptr, text, &size) != ERROR_SUCCESS) return "";
    return text;
}

class InstallerTest : public ::testing::Test {
protected:
    const std::string installDir = Folder(CSIDL_PROGRAM_FILES) + "\\Kestrel Apps\\Tidbell";
    const std::string shortcut = Folder(CSIDL_COMMON_STARTUP) + "\\Tidbell.lnk";

    void SetUp() override
    {
        stored::WriteUsable(mail.path());
        // What an interrupted earlier run may have left.
        if (Exists(installDir + "\\Uninstall.exe")) RunUninstaller();
    }
    void TearDown() override
    {
        if (watcher) wintest::KillProcess(watcher);
        stored::Clear();
    }

    // Runs the installer silently and waits until it has finished.
    void RunInstaller()
    {
        wintest::Process setup = wintest::StartProcess(wintest::ExeDir() + "..\\" KW_INSTALLER_NAME, "/S");
        ASSERT_TRUE(setup);
        DWORD code = 1;
        ASSERT_TRUE(wintest::WaitExit(setup, 60000, &code));
        wintest::KillProcess(setup);
        EXPECT_EQ(code, 0u);
    }
    // The uninstaller copies itself away and returns at once; it has finished
    // when the installation directory has gone.
    void RunUninstaller()
    {
        wintest::Process uninstall = wintest::StartProcess(installDir + "\\Uninstall.exe", "/S");
        ASSERT_TRUE(uninstall);
        wintest::WaitExit(uninstall, 60000);
        wintest::KillProcess(uninstall);
        EXPECT_TRUE(wintest::PumpUntil([&] { return !Exists(installDir); }, 60000))
            << installDir << " is still there";
    }
    void StartInstalledWatcher()
    {
        watcher = wintest::StartProcess(installDir + "\\Tidbell32.exe");
        ASSERT_TRUE(watcher);
        ASSERT_TRUE(wintest::WaitForTrayTip(watcher.pid, "0 New Mail Messages", 15000));
    }
    // The watcher was asked to close (not killed): exit code 0, icon gone.
    void ExpectWatcherEnded()
    {
        DWORD code = 1;
        ASSERT_TRUE(wintest::WaitExit(watcher, 15000, &code));
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(wintest::WaitForNoTrayIcon(watcher.pid, 5000));
        wintest::KillProcess(watcher);
    }

    MailDirectory mail;
    wintest::Process watcher;
};

TEST_F(InstallerTest, InstallsUpgradesOverARunningWatcherAndUninstallsCleanly)
{
    RunInstaller();
    for (const char* name : kInstalledFiles) EXPECT_TRUE(Exists(installDir + "\\" + name)) << name;
    EXPECT_TRUE(Exists(shortcut));
    EXPECT_EQ(UninstallValue("DisplayVersion"), "2.0.9");
    EXPECT_EQ(UninstallValue("UninstallString"), "\"" + installDir + "\\Uninstall.exe\"");

    // An upgrade ends the running watcher before it replaces its files.
    StartInstalledWatcher();
    RunInstaller();
    ExpectWatcherEnded();
    for (const char* name : kInstalledFiles) EXPECT_TRUE(Exists(installDir + "\\" + name)) << name;

    // So does the uninstaller, which then leaves nothing behind.
    StartInstalledWatcher();
    RunUninstaller();
    ExpectWatcherEnded();
    EXPECT_FALSE(Exists(installDir));
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_EQ(UninstallValue("DisplayName"), "");
}

} // namespace
