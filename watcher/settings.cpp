/*
 * The watcher's settings, kept in the control library's settings store
 * under the watcher's own section; the new-mail sound lives in the section
 * of the system's sound events. The first mailbox is stored where the
 * watcher has always stored its directory and extension, with its name
 * beside them; mailbox n (2 to 16) in the subsection "Mailbox n".
 */
#include "settings.h"

#include <io.h>

#include <cstdio>
#include <cstring>

#include "kwctrl32.h"
#include "resource.h"
#include "watcher.h"

const char kSoundSection[] = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

MailboxSettings mailboxSettings[kMaxMailboxes];
int mailboxCount = 1;
char (&mailDir)[kSettingSize] = mailboxSettings[0].directory;
char (&mailExt)[kSettingSize] = mailboxSettings[0].extension;
char clientProgram[kSettingSize];
char viewerProgram[kSettingSize];
char newMailSound[kSettingSize];
int scanInterval;
int popupNotification;
int windowsNotification;

namespace {

const char kSection[] = "Software\\Corvid\\KWApps\\Tidbell";
const char kNoFile[] = "";
const char kDefaultExtension[] = "CNM";

// Texts are read with one character less than their buffers hold; the
// sound with two less, so a stored sound of 254 characters does not fit and
// reads as its default.
constexpr int kTextReadSize = kSettingSize - 1;
constexpr int kSoundReadSize = kSettingSize - 2;

unsigned revision;

bool Exists(const char* path)
{
    return _access(path, 0) == 0;
}

// The subsection of mailbox index (1 to 15; index 0 lives in the section
// itself).
void MailboxSection(int index, char (&section)[sizeof kSection + 16])
{
    std::snprintf(section, sizeof section, "%s\\Mailbox %d", kSection, index + 1);
}

// Mailbox index (1 and up): false when the store has none there.
bool LoadMailbox(int index, MailboxSettings& box)
{
    char section[sizeof kSection + 16];
    MailboxSection(index, section);
    KwGetPrivateProfileString(section, "MailDir", "", box.directory, kTextReadSize, kNoFile);
    DropTrailingBackslash(box.directory);
    if (!box.directory[0]) return false;
    char defaultName[kSettingSize];
    DefaultMailboxName(index, defaultName);
    KwGetPrivateProfileString(section, "Name", defaultName, box.name, kTextReadSize, kNoFile);
    KwGetPrivateProfileString(section, "MailExt", kDefaultExtension, box.extension, kTextReadSize, kNoFile);
    KwGetPrivateProfileString(section, "Sound", "", box.sound, kTextReadSize, kNoFile);
    return true;
}

void SaveMailbox(int index, const MailboxSettings& box)
{
    char section[sizeof kSection + 16];
    MailboxSection(index, section);
    KwWritePrivateProfileString(section, "Name", box.name, kNoFile);
    KwWritePrivateProfileString(section, "MailDir", box.directory, kNoFile);
    KwWritePrivateProfileString(section, "MailExt", box.extension, kNoFile);
    KwWritePrivateProfileString(section, "Sound", box.sound, kNoFile);
}

} // namespace

void DefaultMailboxName(int index, char (&name)[kSettingSize])
{
    if (index == 0) std::snprintf(name, sizeof name, "Mail");
    else std::snprintf(name, sizeof name, "Mailbox %d", index + 1);
}

void DropTrailingBackslash(char* directory)
{
    const size_t length = std::strlen(directory);
    if (length > 0 && directory[length - 1] == '\\') directory[length - 1] = '\0';
}

void LoadSettings()
{
    KwGetPrivateProfileString(kSection, "MailExt", kDefaultExtension, mailExt, kTextReadSize, kNoFile);
    KwGetPrivateProfileString(kSection, "MailDir", "H:\\CMAIL", mailDir, kTextReadSize, kNoFile);
    DropTrailingBackslash(mailDir);
    KwGetPrivateProfileString(kSection, "WinCMailDir", "F:\\CMAIL\\WINCMAIL.EXE", clientProgram, kTextReadSize,
                              kNoFile);
    KwGetPrivateProfileString(kSection, "Viewer Program", "F:\\WIN31\\NOTEPAD.EXE", viewerProgram,
                              kTextReadSize, kNoFile);
    scanInterval = KwGetPrivateProfileInt(kSection, "Scan Interval", 10, kNoFile);
    KwGetPrivateProfileString(kSoundSection, "", "None", newMailSound, kSoundReadSize, kNoFile);
    popupNotification = KwGetPrivateProfileBool(kSection, "Popup Notification", 1, kNoFile);
    windowsNotification = KwGetPrivateProfileBool(kSection, "Windows Notification", 1, kNoFile);
    char defaultName[kSettingSize];
    DefaultMailboxName(0, defaultName);
    KwGetPrivateProfileString(kSection, "Mailbox Name", defaultName, mailboxSettings[0].name, kTextReadSize,
                              kNoFile);
    mailboxSettings[0].sound[0] = '\0';
    // Numbered without gaps: the first mailbox missing ends the list.
    mailboxCount = 1;
    while (mailboxCount < kMaxMailboxes && LoadMailbox(mailboxCount, mailboxSettings[mailboxCount])) ++mailboxCount;
    SettingsChanged();

    if (Exists(clientProgram) && Exists(mailDir) && Exists(viewerProgram)) return;
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), nullptr, PropertiesProc, 0);
}

void SaveSettings()
{
    KwWritePrivateProfileString(kSection, "MailDir", mailDir, kNoFile);
    KwWritePrivateProfileInt(kSection, "Scan Interval", scanInterval, kNoFile);
    KwWritePrivateProfileString(kSection, "MailExt", mailExt, kNoFile);
    KwWritePrivateProfileString(kSection, "WinCMailDir", clientProgram, kNoFile);
    KwWritePrivateProfileString(kSection, "Viewer Program", viewerProgram, kNoFile);
    KwWritePrivateProfileString(kSoundSection, "", newMailSound, kNoFile);
    KwWritePrivateProfileBool(kSection, "Popup Notification", popupNotification, kNoFile);
    KwWritePrivateProfileBool(kSection, "Windows Notification", windowsNotification, kNoFile);
    KwWritePrivateProfileString(kSection, "Mailbox Name", mailboxSettings[0].name, kNoFile);
    for (int i = 1; i < mailboxCount; ++i) SaveMailbox(i, mailboxSettings[i]);
    // A mailbox removed leaves the numbers behind the last one free: their
    // subsections go, so that none is read back as a mailbox.
    for (int i = mailboxCount; i < kMaxMailboxes; ++i) {
        char section[sizeof kSection + 16];
        MailboxSection(i, section);
        KwDeletePrivateProfileSection(section, kNoFile);
    }
}

unsigned SettingsRevision()
{
    return revision;
}

void SettingsChanged()
{
    ++revision;
}
