/*
 * Settings store. The Kw...PrivateProfile... family keeps settings in the
 * registry with the argument lists of the private-profile calls: the
 * section names a key below the root key and base path, the key names a
 * value, and the file argument is ignored. Beside it stand a few routines
 * that really work on INI files, and two that build file names next to a
 * module.
 *
 * Nothing here reports an error: reads fall back to their default and
 * writes return 0. Every text is formed into a bounded buffer; what does
 * not fit is refused, never written past the buffer.
 */
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <shlwapi.h>

#include "chores.h"
#include "kwctrl32.h"

namespace {

constexpr int kBaseSize = 100;       // base path, terminator included
constexpr int kKeyPathSize = 4096;   // formed key path, terminator included
constexpr int kValueSize = 4096;     // largest text read, terminator included
constexpr int kBoolSize = 16;        // boolean text, terminator included
constexpr SIZE_T kRegistryItemBlock = 4097;
constexpr SIZE_T kIniItemBlock = 256;
constexpr int kNameSize = 256;       // built file names, terminator included

// Library-wide: every caller in the process shares them.
HKEY rootKey = HKEY_CURRENT_USER;
char basePath[kBaseSize] = "Software\\Kestrel Apps";

// Forms base path and section into keyPath; false when it does not fit.
bool FormKeyPath(LPCSTR section, char (&keyPath)[kKeyPathSize])
{
    const int length = snprintf(keyPath, sizeof keyPath, "%s\\%s", basePath, section ? section : "");
    return length >= 0 && length < kKeyPathSize;
}

// Opens (creating every missing key on the way, for reads too) the key of
// a section; the caller closes it after its one query or store.
HKEY OpenSection(LPCSTR section)
{
    char keyPath[kKeyPathSize];
    if (!FormKeyPath(section, keyPath)) return nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyExA(rootKey, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool StoreValue(LPCSTR section, LPCSTR key, DWORD type, const void* data, DWORD bytes)
{
    HKEY handle = OpenSection(section);
    if (!handle) return false;
    const LONG result = RegSetValueExA(handle, key, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool EqualIgnoringCase(const char* a, const char* b)
{
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b)) return false;
    return *a == *b;
}

// Shared by the registry and INI boolean readers.
int DecodeBool(const char* text)
{
    if (!text[0] || strcmp(text, "0") == 0) return 0;
    static const char* const kNo[] = {"N", "NO", "OFF", "F", "FALSE"};
    for (const char* no : kNo)
        if (EqualIgnoringCase(text, no)) return 0;
    return 1;
}

const char* BoolDefault(int flag)
{
    return flag ? "1" : "0";
}

// Writes `name` into the caller's buffer if it fits the family's path size;
// otherwise the buffer is made empty. Returns the length written.
int PutName(LPSTR buffer, const char* format, const char* name)
{
    const int length = snprintf(buffer, kNameSize, format, name);
    if (length < 0 || length >= kNameSize) {
        buffer[0] = '\0';
        return 0;
    }
    return length;
}

// The module's full file name, at most 254 characters; empty on failure.
void ModuleName(HMODULE module, char (&name)[kNameSize - 1])
{
    const DWORD length = GetModuleFileNameA(module, name, sizeof name);
    name[length < sizeof name ? length : sizeof name - 1] = '\0';
}

} // namespace

void WINAPI SetRootKey(HKEY root)
{
    rootKey = root;
}

void WINAPI SetRegBase(LPCSTR base)
{
    // A longer path is cut to the buffer's 99 bytes, between whole
    // characters.
    if (base) KwCopyWhole(basePath, base, sizeof basePath);
}

int WINAPI KwGetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, int size,
                                     LPCSTR)
{
    if (!buffer || size <= 0) return 1;
    // A larger caller's buffer is offered only as much as the value buffer holds.
    const int offered = size < kValueSize ? size : kValueSize;

    char value[kValueSize + 1];
    bool found = false;
    if (key) {
        if (HKEY handle = OpenSection(section)) {
            DWORD bytes = offered;
            // The stored type is not examined: whatever fits is read as text.
            found = RegQueryValueExA(handle, key, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) ==
                    ERROR_SUCCESS;
            RegCloseKey(handle);
            // Data stored without a terminator is cut, between whole
            // characters, so that the text and its terminator stay within
            // the size.
            if (found) {
                value[bytes < static_cast<DWORD>(offered) ? bytes : offered] = '\0';
                EndWhole(value, offered - 1);
            }
        }
    }
    if (!found) {
        // A text that does not fit is not cut: the default stands instead.
        if (defaultText)
            KwCopyWhole(value, defaultText, offered);
        else
            value[0] = '\0';
    }
    KwCopyWhole(buffer, value, offered);
    return 1;
}

int WINAPI KwWritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR)
{
    // A null text stores nothing and deletes nothing.
    if (!key || !text) return 0;
    return StoreValue(section, key, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1)) ? 1 : 0;
}

int WINAPI KwDeletePrivateProfileSection(LPCSTR section, LPCSTR)
{
    // An empty section would name the base path itself, every program's
    // settings.
    if (!section || !section[0]) return 0;
    char keyPath[kKeyPathSize];
    if (!FormKeyPath(section, keyPath)) return 0;
    const DWORD result = SHDeleteKeyA(rootKey, keyPath);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

int WINAPI KwGetPrivateProfileInt(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR)
{
    if (!key) return defaultValue;
    HKEY handle = OpenSection(section);
    if (!handle) return defaultValue;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    const LONG result = RegQueryValueExA(handle, key, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    RegCloseKey(handle);
    // A number stored as text is not converted: it reads as the default.
    if (result != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof value) return defaultValue;
    return static_cast<int>(value);
}

int WINAPI KwWritePrivateProfileInt(LPCSTR section, LPCSTR key, int value, LPCSTR)
{
    if (!key) return 0;
    const DWORD data = static_cast<DWORD>(value);
    return StoreValue(section, key, REG_DWORD, &data, sizeof data) ? 1 : 0;
}

int WINAPI KwGetPrivateProfileBool(LPCSTR section, LPCSTR key, int defaultFlag, LPCSTR file)
{
    char text[kBoolSize];
    KwGetPrivateProfileString(section, key, BoolDefault(defaultFlag), text, sizeof text, file);
    return DecodeBool(text);
}

int WINAPI KwWritePrivateProfileBool(LPCSTR section, LPCSTR key, int flag, LPCSTR file)
{
    return KwWritePrivateProfileString(section, key, flag ? "Yes" : "No", file);
}

int __cdecl KwWritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR file, LPCSTR format, ...)
{
    if (!format) return 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kRegistryItemBlock + kCutSlack);
    char* text = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!text) {
        if (block) GlobalFree(block);
        return 0;
    }
    va_list args;
    va_start(args, format);
    FormatWindows(text, static_cast<int>(kRegistryItemBlock + kCutSlack), format, args);
    va_end(args);
    const int result = KwWritePrivateProfileString(section, key, text, file);
    GlobalUnlock(block);
    GlobalFree(block);
    return result;
}

int WINAPI GetPrivateProfileBool(LPCSTR section, LPCSTR key, int defaultFlag, LPCSTR iniFile)
{
    char text[kBoolSize];
    GetPrivateProfileStringA(section, key, BoolDefault(defaultFlag), text, sizeof text, iniFile);
    text[sizeof text - 1] = '\0';
    return DecodeBool(text);
}

int WINAPI GetProfileBool(LPCSTR section, LPCSTR key, int defaultFlag)
{
    char text[kBoolSize];
    GetProfileStringA(section, key, BoolDefault(defaultFlag), text, sizeof text);
    text[sizeof text - 1] = '\0';
    return DecodeBool(text);
}

int WINAPI WritePrivateProfileInt(LPCSTR section, LPCSTR key, int value, LPCSTR iniFile)
{
    // Room for every int, so that no value is written cut short.
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return WritePrivateProfileStringA(section, key, text, iniFile);
}

int __cdecl WritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR iniFile, LPCSTR format, ...)
{
    if (!format) return 0;
    char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kIniItemBlock + kCutSlack));
    if (!text) return 0;
    va_list args;
    va_start(args, format);
    FormatWindows(text, static_cast<int>(kIniItemBlock + kCutSlack), format, args);
    va_end(args);
    const int result = WritePrivateProfileStringA(section, key, text, iniFile);
    HeapFree(GetProcessHeap(), 0, text);
    return result;
}

// Ends the text at its last `mark`; with none, nothing of it is kept.
static void CutAtLast(char* text, char mark)
{
    char* found = strrchr(text, mark);
    if (found)
        *found = '\0';
    else
        text[0] = '\0';
}

int WINAPI HelpFileName(HMODULE module, LPSTR buffer)
{
    if (!buffer) return 0;
    char name[kNameSize - 1];
    ModuleName(module, name);
    // The extension goes from the last "." anywhere in the path.
    CutAtLast(name, '.');
    return PutName(buffer, "%s.HLP", name);
}

int WINAPI IniFileName(HMODULE module, LPSTR buffer)
{
    if (!buffer) return 0;
    char name[kNameSize - 1];
    ModuleName(module, name);
    // The file name and its backslash go.
    CutAtLast(name, '\\');
    return PutName(buffer, "%s\\CMSETUP.INI", name);
}
