/*
 * The "Mail Notification Properties" dialog: the one place where the user
 * changes the watcher's settings. It shows the running settings, offers a
 * browser beside each path field, and on OK puts the fields into force at
 * once; the settings are saved only when the client program, the mail
 * directory and the viewer program exist (or the shell can name a program
 * for the two programs). A failed check warns and leaves the dialog open,
 * with the new values already in use by the running program.
 *
 * The sound and the extension are not checked.
 */
#include "properties.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <io.h>

#include "kwctrl32.h"
#include "resource.h"
#include "settings.h"
#include "watcher.h"

namespace {

// Longest texts taken from the fields. Each fits its running setting with
// room to spare, so no field can overflow a setting's buffer.
constexpr int kPathChars = 253;
constexpr int kIntervalChars = 19;
constexpr int kExtensionChars = 10;

const char kWarningCaption[] = "Tidbell";
const char kFolderTitle[] = "Select Mail Directory";

// Filters: one name/pattern pair, ended by an empty text (the literal's own
// terminator).
const char kProgramFilter[] = "EXE Files\0*.EXE\0";
const char kSoundFilter[] = "Wave Files\0*.WAV\0";

struct FileBrowser {
    int button;
    int field;
    const char* filter;
    const char* title;
};

const FileBrowser kFileBrowsers[] = {
    {IDC_PROP_BROWSE_CLIENT, IDC_PROP_CLIENT, kProgramFilter, "Select WinCMail Executable"},
    {IDC_PROP_BROWSE_VIEWER, IDC_PROP_VIEWER, kProgramFilter, "Select Mail Viewer"},
    {IDC_PROP_BROWSE_SOUND, IDC_PROP_SOUND, kSoundFilter, "Select Sound File"},
};

// What each browse button browses for: its name, which a screen reader
// speaks, and its tool tip.
struct BrowseButton {
    int id;
    const char* name;
};

const BrowseButton kBrowseButtons[] = {
    {IDC_PROP_BROWSE_CLIENT, "Browse for the mail client"},
    {IDC_PROP_BROWSE_MAILDIR, "Browse for the new-mail directory"},
    {IDC_PROP_BROWSE_VIEWER, "Browse for the viewer"},
    {IDC_PROP_BROWSE_SOUND, "Browse for the sound"},
};

bool Exists(const char* path)
{
    return _access(path, 0) == 0;
}

// The directory part of a path: everything before its last backslash, the
// whole text when it has none.
void DirectoryOf(const char* path, char (&directory)[kSettingSize])
{
    lstrcpynA(directory, path, kSettingSize);
    if (char* lastSlash = std::strrchr(directory, '\\')) *lastSlash = '\0';
}

// The extension of the filter's pattern ("*.EXE" gives "EXE"), which a
// typed name without one receives: a user picking a program means a
// program. Empty when the pattern names no extension.
void PatternExtension(const char* filter, char (&extension)[16])
{
    extension[0] = '\0';
    const char* pattern = filter + std::strlen(filter) + 1;
    const char* dot = std::strchr(pattern, '.');
    if (!dot || dot[1] == '*') return;
    lstrcpynA(extension, dot + 1, sizeof extension);
    if (char* more = std::strchr(extension, ';')) *more = '\0';
}

// Gives an item list from the shell back to the shell's allocator.
void FreeItemList(LPITEMIDLIST items)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;
    allocator->Free(items);
    allocator->Release();
}

// A program path that does not exist may still name something the shell
// can run; it then becomes the program the shell found. The shell writes
// up to MAX_PATH characters, so its answer lands in a buffer of that size
// and is cut to the setting's.
bool ResolveProgram(char (&path)[kSettingSize])
{
    char found[MAX_PATH] = "";
    const INT_PTR result = reinterpret_cast<INT_PTR>(FindExecutableA(path, nullptr, found));
    if (result <= 32) return false;
    lstrcpynA(path, found, kSettingSize);
    return true;
}

void Warn(HWND dialog, const char* message)
{
    Comment(dialog, kWarningCaption, "%s", message);
}

void FillFields(HWND dialog)
{
    // Shown as the watcher uses it, without a trailing backslash.
    char directory[kSettingSize];
    lstrcpynA(directory, mailDir, sizeof directory);
    DropTrailingBackslash(directory);
    SetDlgItemTextA(dialog, IDC_PROP_MAILDIR, directory);
    SetDlgItemTextA(dialog, IDC_PROP_MAILEXT, mailExt);
    SetDlgItemTextA(dialog, IDC_PROP_CLIENT, clientProgram);
    SetDlgItemTextA(dialog, IDC_PROP_VIEWER, viewerProgram);
    char interval[kIntervalChars + 1];
    snprintf(interval, sizeof interval, "%d", scanInterval);
    SetDlgItemTextA(dialog, IDC_PROP_INTERVAL, interval);
    SetDlgItemTextA(dialog, IDC_PROP_SOUND, newMailSound);
}

// Every browse button shows bitmap 104. The buttons read the source only
// while they handle the message, so one record serves all four.
//
// The dialog template names all four buttons "Custom1" and gives a tab stop
// to the first alone; here each takes a tab stop and a name that says what
// it browses for, shown as its tool tip too, so that keyboard and
// screen-reader users reach and understand them. This departs from the
// template on purpose; the template itself stays as it is.
void SetUpBrowseButtons(HWND dialog)
{
    const KwImageSource face = {appInstance, IDB_BROWSE};
    for (const BrowseButton& browse : kBrowseButtons) {
        HWND button = GetDlgItem(dialog, browse.id);
        SendMessageA(button, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&face));
        SetWindowTextA(button, browse.name);
        SetWindowLongPtrA(button, GWL_STYLE, GetWindowLongPtrA(button, GWL_STYLE) | WS_TABSTOP);
        CreateTip(appInstance, dialog, browse.id, browse.name);
    }
}

// The normal-weight font that SetMyDialogFont gives the controls belongs
// to the dialog: kept in its user slot and deleted when it is destroyed.
void SetDialogFont(HWND dialog)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(SetMyDialogFont(dialog)));
}

INT_PTR Properties_Init(HWND dialog)
{
    winCenter(dialog);
    SetDialogIcons(dialog);
    FillFields(dialog);
    SetUpBrowseButtons(dialog);
    CheckDlgButton(dialog, IDC_PROP_POPUP, popupNotification ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PROP_WINNOTIFY, windowsNotification ? BST_CHECKED : BST_UNCHECKED);
    SetDialogFont(dialog);
    return TRUE;
}

void Properties_Destroy(HWND dialog)
{
    HFONT font = reinterpret_cast<HFONT>(SetWindowLongPtrA(dialog, DWLP_USER, 0));
    if (font) DeleteObject(font);
    ReleaseDialogIcons(dialog);
}

// The fields become the running settings at once, whatever the checks
// that follow find.
void ReadFields(HWND dialog)
{
    GetDlgItemTextA(dialog, IDC_PROP_MAILDIR, mailDir, kPathChars + 1);
    char interval[kIntervalChars + 1];
    GetDlgItemTextA(dialog, IDC_PROP_INTERVAL, interval, sizeof interval);
    scanInterval = std::atoi(interval);
    GetDlgItemTextA(dialog, IDC_PROP_MAILEXT, mailExt, kExtensionChars + 1);
    GetDlgItemTextA(dialog, IDC_PROP_CLIENT, clientProgram, kPathChars + 1);
    GetDlgItemTextA(dialog, IDC_PROP_VIEWER, viewerProgram, kPathChars + 1);
    GetDlgItemTextA(dialog, IDC_PROP_SOUND, newMailSound, kPathChars + 1);
    popupNotification = IsDlgButtonChecked(dialog, IDC_PROP_POPUP) == BST_CHECKED ? 1 : 0;
    windowsNotification = IsDlgButtonChecked(dialog, IDC_PROP_WINNOTIFY) == BST_CHECKED ? 1 : 0;
    SettingsChanged();
}

// Checks the three paths in order and warns about the first that fails.
bool CheckPaths(HWND dialog)
{
    if (!Exists(clientProgram) && !ResolveProgram(clientProgram)) {
        Warn(dialog, "WinCMail Path is invalid");
        return false;
    }
    if (!Exists(mailDir)) {
        Warn(dialog, "Mail Directory Path is invalid");
        return false;
    }
    if (!Exists(viewerProgram) && !ResolveProgram(viewerProgram)) {
        Warn(dialog, "Viewer Program Path is invalid");
        return false;
    }
    return true;
}

void Properties_Accept(HWND dialog)
{
    ReadFields(dialog);
    if (!CheckPaths(dialog)) return;
    SaveSettings();
    EndDialog(dialog, 1);
}

void Properties_BrowseFile(HWND dialog, const FileBrowser& browser)
{
    char text[kSettingSize];
    GetDlgItemTextA(dialog, browser.field, text, kPathChars + 1);
    if (BrowseForFile(dialog, text, browser.filter, browser.title)) SetDlgItemTextA(dialog, browser.field, text);
}

void Properties_BrowseFolder(HWND dialog)
{
    char text[kSettingSize];
    GetDlgItemTextA(dialog, IDC_PROP_MAILDIR, text, kPathChars + 1);
    if (BrowseForFolder(dialog, text)) SetDlgItemTextA(dialog, IDC_PROP_MAILDIR, text);
}

void Properties_Command(HWND dialog, int id)
{
    switch (id) {
    case IDOK:                    Properties_Accept(dialog); return;
    case IDCANCEL:                EndDialog(dialog, 1); return;
    case IDC_PROP_BROWSE_MAILDIR: Properties_BrowseFolder(dialog); return;
    default:                      break;
    }
    for (const FileBrowser& browser : kFileBrowsers)
        if (browser.button == id) Properties_BrowseFile(dialog, browser);
}

} // namespace

int BrowseForFile(HWND owner, char* text, const char* filter, const char* title)
{
    char directory[kSettingSize];
    DirectoryOf(text, directory);
    char extension[16];
    PatternExtension(filter, extension);
    char file[kSettingSize] = "";

    OPENFILENAMEA request = {};
    // The record as it was before the fields of later systems were added.
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.hInstance = appInstance;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.lpstrInitialDir = directory;
    request.lpstrTitle = title;
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    request.lpstrDefExt = extension[0] ? extension : nullptr;
    if (!GetOpenFileNameA(&request)) return 0;

    lstrcpynA(text, file, kSettingSize);
    return 1;
}

int BrowseForFolder(HWND owner, char* text)
{
    char displayName[MAX_PATH];
    BROWSEINFOA request = {};
    request.hwndOwner = owner;
    request.pszDisplayName = displayName;
    request.lpszTitle = kFolderTitle;
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&request);
    if (!chosen) return 0;

    // The shell writes up to MAX_PATH characters: convert into a buffer of
    // that size, so a failed or overlong result never touches `text` beyond
    // its setting size.
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(chosen, path)) lstrcpynA(text, path, kSettingSize);
    else MessageBoxA(owner, "SHGetPathFromIDList failed", "Test", MB_OK);
    FreeItemList(chosen);
    return 1;
}

INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return Properties_Init(dialog);
    case WM_COMMAND:    Properties_Command(dialog, LOWORD(wParam)); return TRUE;
    case WM_DESTROY:    Properties_Destroy(dialog); return TRUE;
    case WM_DRAWITEM:   return TRUE;
    default:            return FALSE;
    }
}
