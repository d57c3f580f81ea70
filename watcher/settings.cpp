/*
 * The watcher's settings, kept in the control library's settings store
 * under the watcher's own section; the new-mail sound lives in the section
 * of the system's sound events.
 */
#include "settings.h"

#include <io.h>

#include "kwctrl32.h"
#include "resource.h"
#include "watcher.h"

const char kSoundSection[] = "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

char mailExt[kSettingSize];
char mailDir[kSettingSize];
char clientProgram[kSettingSize];
char viewerProgram[kSettingSize];
char newMailSound[kSettingSize];
int scanInterval;
int popupNotification;
int windowsNotification;

namespace {

const char kSection[] = "Software\\Corvid\\KWApps\\Tidbell";
const char kNoFile[] = "";

// Texts are read with one character less than their buffers hold; the
// sound with two less, so a stored sound of 254 characters does not fit and
// reads as its default.
constexpr int kTextReadSize = kSettingSize - 1;
constexpr int kSoundReadSize = kSettingSize - 2;

bool Exists(const char* path)
{
    return _access(path, 0) == 0;
}

} // namespace

void LoadSettings()
{
    KwGetPrivateProfileString(kSection, "MailExt", "CNM", mailExt, kTextReadSize, kNoFile);
    KwGetPrivateProfileString(kSection, "MailDir", "H:\\CMAIL", mailDir, kTextReadSize, kNoFile);
    KwGetPrivateProfileString(kSection, "WinCMailDir", "F:\\CMAIL\\WINCMAIL.EXE", clientProgram, kTextReadSize,
                              kNoFile);
    KwGetPrivateProfileString(kSection, "Viewer Program", "F:\\WIN31\\NOTEPAD.EXE", viewerProgram,
                              kTextReadSize, kNoFile);
    scanInterval = KwGetPrivateProfileInt(kSection, "Scan Interval", 10, kNoFile);
    KwGetPrivateProfileString(kSoundSection, "", "None", newMailSound, kSoundReadSize, kNoFile);
    popupNotification = KwGetPrivateProfileBool(kSection, "Popup Notification", 1, kNoFile);
    windowsNotification = KwGetPrivateProfileBool(kSection, "Windows Notification", 1, kNoFile);

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
}
