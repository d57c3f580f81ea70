// The watcher's settings: defaults, what the registry holds after saving,
// and the Properties dialog that loading opens when a path is missing.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "settings.h"
#include "stored_settings.h"
#include "watcher.h"
#include "wintest.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The Properties dialog comes from this test program's own copy of
        // the watcher's resources and needs the library's classes.
        appInstance = GetModuleHandleA(nullptr);
        InitControls(appInstance);
        stored::Clear();
        // Cancel: OK would check the (missing) paths and warn first.
        dialogs.SetAnswer(IDCANCEL);
    }
    void TearDown() override { stored::Clear(); }

    wintest::MessageBoxWatcher dialogs;
};

// A value as another program may store it: any type, any bytes.
void SetRaw(const char* key, const char* name, DWORD type, const std::string& data)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)) return;
    RegSetValueExA(k, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(k);
}

// Every setting at the value a first start gives it.
void ExpectDefaults()
{
    EXPECT_STREQ(mailExt, "CNM");
    EXPECT_STREQ(mailDir, "H:\\CMAIL");
    EXPECT_STREQ(clientProgram, "F:\\CMAIL\\WINCMAIL.EXE");
    EXPECT_STREQ(viewerProgram, "F:\\WIN31\\NOTEPAD.EXE");
    EXPECT_STREQ(newMailSound, "None");
    EXPECT_EQ(scanInterval, 10);
    EXPECT_EQ(popupNotification, 1);
    EXPECT_EQ(windowsNotification, 1);
}

} // namespace

TEST_F(SettingsTest, FirstStartUsesDefaultsAndAsksForTheMissingPaths)
{
    LoadSettings();

    ExpectDefaults();

    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Boxes().front().caption, "Mail Notification Properties");
    EXPECT_EQ(dialogs.Boxes().front().owner, nullptr);
}

TEST_F(SettingsTest, StoredSettingsLoadWithoutDialog)
{
    stored::WriteUsable(stored::TempDirectory());
    stored::SetText(stored::kKey, "MailExt", "MSG");
    stored::SetNumber(stored::kKey, "Scan Interval", 45);
    stored::SetText(stored::kSoundKey, "", "C:\\sounds\\ding.wav");

    LoadSettings();

    EXPECT_EQ(dialogs.Count(), 0u);
    EXPECT_EQ(std::string(mailDir), stored::TempDirectory());
    EXPECT_STREQ(mailExt, "MSG");
    EXPECT_STREQ(clientProgram, "C:\\windows\\notepad.exe");
    EXPECT_EQ(scanInterval, 45);
    EXPECT_EQ(popupNotification, 0);
    // Settings stored before "Windows Notification" existed read its default.
    EXPECT_EQ(windowsNotification, 1);
    EXPECT_STREQ(newMailSound, "C:\\sounds\\ding.wav");
}

TEST_F(SettingsTest, AnyMissingPathOpensTheDialog)
{
    for (const char* name : {"MailDir", "WinCMailDir", "Viewer Program"}) {
        SCOPED_TRACE(name);
        stored::WriteUsable(stored::TempDirectory());
        stored::SetText(stored::kKey, name, "C:\\no\\such\\place");
        dialogs.Clear();
        LoadSettings();
        EXPECT_EQ(dialogs.Count(), 1u);
    }
}

TEST_F(SettingsTest, SoundOfTwoHundredFiftyFourCharactersReadsAsNone)
{
    stored::WriteUsable(stored::TempDirectory());
    const std::string fits = "C:\\" + std::string(250, 's');   // 253 characters
    const std::string tooLong = fits + "x";                      // 254 characters
    stored::SetText(stored::kSoundKey, "", fits);
    LoadSettings();
    EXPECT_EQ(std::string(newMailSound), fits);

    stored::SetText(stored::kSoundKey, "", tooLong);
    LoadSettings();
    EXPECT_STREQ(newMailSound, "None");
}

TEST_F(SettingsTest, SaveWritesEveryValueWithItsType)
{
    lstrcpynA(mailDir, "D:\\Mail\\New", kSettingSize);
    lstrcpynA(mailExt, "TXT", kSettingSize);
    lstrcpynA(clientProgram, "D:\\Mail\\client.exe", kSettingSize);
    lstrcpynA(viewerProgram, "D:\\Tools\\view.exe", kSettingSize);
    lstrcpynA(newMailSound, "D:\\Sounds\\bell.wav", kSettingSize);
    scanInterval = 30;
    popupNotification = 0;
    windowsNotification = 0;

    SaveSettings();

    const auto text = [](const char* name) { return stored::Get(stored::kKey, name); };
    EXPECT_EQ(text("MailDir").text, "D:\\Mail\\New");
    EXPECT_EQ(text("MailDir").type, DWORD(REG_SZ));
    EXPECT_EQ(text("MailExt").text, "TXT");
    EXPECT_EQ(text("WinCMailDir").text, "D:\\Mail\\client.exe");
    EXPECT_EQ(text("Viewer Program").text, "D:\\Tools\\view.exe");
    EXPECT_EQ(text("Scan Interval").type, DWORD(REG_DWORD));
    EXPECT_EQ(text("Scan Interval").number, 30u);
    EXPECT_EQ(text("Popup Notification").type, DWORD(REG_SZ));
    EXPECT_EQ(text("Popup Notification").text, "No");
    EXPECT_EQ(text("Windows Notification").type, DWORD(REG_SZ));
    EXPECT_EQ(text("Windows Notification").text, "No");
    EXPECT_EQ(stored::Get(stored::kSoundKey, "").text, "D:\\Sounds\\bell.wav");

    // What was saved loads back unchanged (the paths don't exist here, so
    // the dialog opens and is dismissed).
    popupNotification = 1;
    windowsNotification = 1;
    scanInterval = 0;
    LoadSettings();
    EXPECT_STREQ(mailDir, "D:\\Mail\\New");
    EXPECT_EQ(scanInterval, 30);
    EXPECT_EQ(popupNotification, 0);
    EXPECT_EQ(windowsNotification, 0);
}

TEST_F(SettingsTest, ForeignValuesThatDoNotFitLoadAsDefaults)
{
    // Texts longer than their reads, of every text-like type, terminated
    // or not; a number as text; a flag too long for its 16-character read.
    const std::string twoHundred(200, 'v');
    SetRaw(stored::kKey, "MailExt", REG_SZ, std::string(300, 'e') + '\0');
    SetRaw(stored::kKey, "MailDir", REG_BINARY, std::string(256, 'd'));
    SetRaw(stored::kKey, "WinCMailDir", REG_SZ, std::string(100000, 'w'));
    SetRaw(stored::kKey, "Viewer Program", REG_MULTI_SZ, twoHundred + '\0' + twoHundred + '\0' + '\0');
    SetRaw(stored::kKey, "Scan Interval", REG_SZ, std::string("45", 3));
    SetRaw(stored::kSoundKey, "", REG_EXPAND_SZ, std::string(5000, 's') + '\0');
    SetRaw(stored::kKey, "Popup Notification", REG_BINARY, std::string(40, 'n'));
    SetRaw(stored::kKey, "Windows Notification", REG_SZ, std::string(40, 'n') + '\0');

    LoadSettings();

    ExpectDefaults();
    EXPECT_EQ(dialogs.Count(), 1u); // the default paths do not exist

    // The interval: anything but four bytes of REG_DWORD.
    const DWORD fortyFive = 45;
    const std::string bytes(reinterpret_cast<const char*>(&fortyFive), 4);
    const struct {
        DWORD type;
        std::string data;
    } numbers[] = {
        {REG_BINARY, bytes}, {REG_DWORD, bytes.substr(0, 2)}, {REG_DWORD, bytes + bytes},
        {REG_DWORD, ""},     {REG_QWORD, bytes + std::string(4, '\0')}, {REG_DWORD_BIG_ENDIAN, bytes},
    };
    for (const auto& number : numbers) {
        stored::WriteUsable(stored::TempDirectory());
        SetRaw(stored::kKey, "Scan Interval", number.type, number.data);
        scanInterval = 0;
        LoadSettings();
        EXPECT_EQ(scanInterval, 10) << "type " << number.type << ", " << number.data.size() << " bytes";
    }
}

TEST_F(SettingsTest, MailboxesLoadInOrderUntilTheFirstWithoutADirectory)
{
    const std::string dir = stored::TempDirectory();
    const auto mailbox = [](int n) { return std::string(stored::kKey) + "\\Mailbox " + std::to_string(n); };
    const struct {
        const char* what;
        std::vector<std::pair<int, std::string>> directories; // mailbox number, "MailDir"
        int count;
    } cases[] = {
        {"today's settings: one mailbox", {}, 1},
        {"numbered on", {{2, "D:\\Work"}, {3, "D:\\Home\\"}}, 3},
        {"a gap ends them", {{2, "D:\\Work"}, {4, "D:\\Home"}}, 2},
        {"an empty directory is none", {{2, ""}, {3, "D:\\Home"}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        stored::Clear();
        stored::WriteUsable(dir + "\\");
        for (const auto& d : c.directories) stored::SetText(mailbox(d.first).c_str(), "MailDir", d.second);
        LoadSettings();
        EXPECT_EQ(dialogs.Count(), 0u);
        ASSERT_EQ(mailboxCount, c.count);
        // The first is today's, its directory without the trailing
        // backslash it was stored with; the others take their defaults.
        EXPECT_EQ(std::string(mailDir), dir);
        EXPECT_STREQ(mailboxSettings[0].name, "Mail");
        EXPECT_STREQ(mailboxSettings[0].sound, "");
        for (int i = 1; i < c.count; ++i) {
            EXPECT_EQ(mailboxSettings[i].name, "Mailbox " + std::to_string(i + 1));
            EXPECT_STREQ(mailboxSettings[i].extension, "CNM");
            EXPECT_STREQ(mailboxSettings[i].sound, "");
            EXPECT_EQ(mailboxSettings[i].directory[std::strlen(mailboxSettings[i].directory) - 1] == '\\', false);
        }
    }
    stored::SetText(mailbox(2).c_str(), "MailDir", "D:\\Work");
    stored::SetText(mailbox(2).c_str(), "Name", "Work");
    stored::SetText(mailbox(2).c_str(), "MailExt", "MSG");
    stored::SetText(mailbox(2).c_str(), "Sound", "D:\\work.wav");
    stored::SetText(stored::kKey, "Mailbox Name", "Home");
    LoadSettings();
    EXPECT_STREQ(mailboxSettings[0].name, "Home");
    EXPECT_STREQ(mailboxSettings[1].name, "Work");
    EXPECT_STREQ(mailboxSettings[1].extension, "MSG");
    EXPECT_STREQ(mailboxSettings[1].sound, "D:\\work.wav");
}
