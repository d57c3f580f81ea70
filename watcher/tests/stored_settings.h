// The watcher's settings as the registry holds them, written and read with
// the platform's own calls so tests do not depend on the code under test.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>

namespace stored {

const char kKey[] = "Software\\Kestrel Apps\\Software\\Corvid\\KWApps\\Tidbell";
const char kSoundKey[] = "Software\\Kestrel Apps\\AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

inline void Clear()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    SHDeleteKeyA(HKEY_CURRENT_USER, kSoundKey);
}

inline void SetText(const char* key, const char* name, const std::string& text)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)) return;
    RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
    RegCloseKey(k);
}

inline void SetNumber(const char* key, const char* name, DWORD value)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)) return;
    RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(k);
}

struct Value {
    DWORD type = REG_NONE;
    std::string text;
    DWORD number = 0;
    bool exists = false;
};

inline Value Get(const char* key, const char* name)
{
    Value v;
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k)) return v;
    BYTE data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(k, name, nullptr, &v.type, data, &size) == ERROR_SUCCESS) {
        v.exists = true;
        if (v.type == REG_DWORD) v.number = *reinterpret_cast<DWORD*>(data);
        else v.text = reinterpret_cast<char*>(data);
    }
    RegCloseKey(k);
    return v;
}

// The temporary directory, without a trailing backslash: a directory that
// exists in every prefix.
inline std::string TempDirectory()
{
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    std::string dir(path);
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return dir;
}

// Settings whose three paths exist in every Wine prefix, so the watcher
// starts without asking for them.
inline void WriteUsable(const std::string& mailDirectory)
{
    SetText(kKey, "MailDir", mailDirectory);
    SetText(kKey, "MailExt", "CNM");
    SetText(kKey, "WinCMailDir", "C:\\windows\\notepad.exe");
    SetText(kKey, "Viewer Program", "C:\\windows\\notepad.exe");
    SetNumber(kKey, "Scan Interval", 10);
    SetText(kKey, "Popup Notification", "No");
    SetText(kSoundKey, "", "None");
}

} // namespace stored
