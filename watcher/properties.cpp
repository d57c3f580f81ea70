/*
 * The "Mail Notification Properties" dialog: the one place where the user
 * changes the watcher's settings. It shows the running settings, offers a
 * browser beside each path field, and on OK puts the fields into force at
 * once; the settings are saved only when the client program, the first
 * mailbox's directory and the viewer program exist (or the shell can name a
 * program for the two programs). A failed check warns and leaves the
 * dialog open, with the new values already in use by the running program.
 *
 * The list beside the fields holds the mailboxes, in order; "Add...",
 * "Edit..." and "Remove" change a working copy of them that OK puts in
 * force with the rest. The "Mailbox" dialog edits one. The first mailbox's
 * directory, extension and sound are the dialog's own fields, which its
 * "Mailbox" dialog keeps in step. The sound, the extension and the
 * mailboxes after the first are not checked.
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

const BrowseButton kMailboxBrowseButtons[] = {
    {IDC_MBOX_BROWSE_DIR, "Browse for the mailbox's directory"},
    {IDC_MBOX_BROWSE_SOUND, "Browse for the mailbox's sound"},
};

// The dialog's own: the controls' font and the working copy of the
// mailboxes.
struct PropertiesState {
    HFONT font = nullptr;
    MailboxSettings boxes[kMaxMailboxes];
    int count = 1;
};

// One mailbox as the "Mailbox" dialog edits it.
struct MailboxEditing {
    MailboxSettings box;
    int index;                       // its place in the list (0: the first)
    char commonSound[kSettingSize];  // what plays for an empty sound
    HFONT font;
};

PropertiesState* StateOf(HWND dialog)
{
    return reinterpret_cast<PropertiesState*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

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
// while they handle the message, so one record serves them all.
//
// The Properties template names its four buttons "Custom1" and gives a tab
// stop to the first alone; here each takes a tab stop and a name that says
// what it browses for, shown as its tool tip too, so that keyboard and
// screen-reader users reach and understand them. This departs from the
// template on purpose; the template itself stays as it is.
template <size_t N>
void SetUpBrowseButtons(HWND dialog, const BrowseButton (&buttons)[N])
{
    const KwImageSource face = {appInstance, IDB_BROWSE};
    for (const BrowseButton& browse : buttons) {
        HWND button = GetDlgItem(dialog, browse.id);
        SendMessageA(button, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&face));
        SetWindowTextA(button, browse.name);
        SetWindowLongPtrA(button, GWL_STYLE, GetWindowLongPtrA(button, GWL_STYLE) | WS_TABSTOP);
        CreateTip(appInstance, dialog, browse.id, browse.name);
    }
}

// ------------------------------------------------------------ one mailbox

MailboxEditing* EditingOf(HWND dialog)
{
    return reinterpret_cast<MailboxEditing*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// A mailbox without a directory does not exist: OK waits for one.
void Mailbox_DirectoryChanged(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, IDC_MBOX_DIR)) > 0);
}

INT_PTR Mailbox_Init(HWND dialog, MailboxEditing* editing)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editing));
    winCenter(dialog);
    SetDialogIcons(dialog);
    SetDlgItemTextA(dialog, IDC_MBOX_NAME, editing->box.name);
    SetDlgItemTextA(dialog, IDC_MBOX_DIR, editing->box.directory);
    SetDlgItemTextA(dialog, IDC_MBOX_EXT, editing->box.extension);
    SetDlgItemTextA(dialog, IDC_MBOX_SOUND, editing->box.sound);
    SetUpBrowseButtons(dialog, kMailboxBrowseButtons);
    Mailbox_DirectoryChanged(dialog);
    editing->font = SetMyDialogFont(dialog);
    return TRUE;
}

void Mailbox_Destroy(HWND dialog)
{
    if (MailboxEditing* editing = EditingOf(dialog)) {
        if (editing->font) DeleteObject(editing->font);
        editing->font = nullptr;
    }
    ReleaseDialogIcons(dialog);
}

// The fields, cut to what the Properties dialog's own fields take; a
// mailbox left without a name gets the one it would have had.
void Mailbox_Accept(HWND dialog)
{
    MailboxEditing* editing = EditingOf(dialog);
    MailboxSettings& box = editing->box;
    GetDlgItemTextA(dialog, IDC_MBOX_NAME, box.name, kPathChars + 1);
    GetDlgItemTextA(dialog, IDC_MBOX_DIR, box.directory, kPathChars + 1);
    GetDlgItemTextA(dialog, IDC_MBOX_EXT, box.extension, kExtensionChars + 1);
    GetDlgItemTextA(dialog, IDC_MBOX_SOUND, box.sound, kPathChars + 1);
    if (!box.directory[0]) return;
    if (!box.name[0]) DefaultMailboxName(editing->index, box.name);
    EndDialog(dialog, IDOK);
}

void Mailbox_Command(HWND dialog, int id, int code)
{
    char text[kSettingSize];
    switch (id) {
    case IDOK:
        Mailbox_Accept(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        break;
    case IDC_MBOX_DIR:
        if (code == EN_CHANGE) Mailbox_DirectoryChanged(dialog);
        break;
    case IDC_MBOX_BROWSE_DIR:
        GetDlgItemTextA(dialog, IDC_MBOX_DIR, text, kPathChars + 1);
        if (BrowseForFolder(dialog, text)) SetDlgItemTextA(dialog, IDC_MBOX_DIR, text);
        break;
    case IDC_MBOX_BROWSE_SOUND:
        GetDlgItemTextA(dialog, IDC_MBOX_SOUND, text, kPathChars + 1);
        if (BrowseForFile(dialog, text, kSoundFilter, "Select Sound File")) SetDlgItemTextA(dialog, IDC_MBOX_SOUND, text);
        break;
    case IDC_MBOX_PLAY:
        // What a scan would play: the sound typed, or the common one.
        GetDlgItemTextA(dialog, IDC_MBOX_SOUND, text, kPathChars + 1);
        PlaySoundFile(text[0] ? text : EditingOf(dialog)->commonSound);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK MailboxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return Mailbox_Init(dialog, reinterpret_cast<MailboxEditing*>(lParam));
    case WM_COMMAND:    Mailbox_Command(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DESTROY:    Mailbox_Destroy(dialog); return TRUE;
    default:            return FALSE;
    }
}

// ------------------------------------------------------------ the list

// The first mailbox's directory and extension are the dialog's own fields.
void TakeFirstMailboxFields(HWND dialog, PropertiesState& state)
{
    GetDlgItemTextA(dialog, IDC_PROP_MAILDIR, state.boxes[0].directory, kPathChars + 1);
    GetDlgItemTextA(dialog, IDC_PROP_MAILEXT, state.boxes[0].extension, kExtensionChars + 1);
}

int SelectedMailbox(HWND dialog)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROP_MAILBOXES, LB_GETCURSEL, 0, 0));
}

// "Edit..." needs a mailbox chosen, "Remove" one of several, "Add..." room.
void UpdateMailboxButtons(HWND dialog, const PropertiesState& state)
{
    const int selected = SelectedMailbox(dialog);
    EnableWindow(GetDlgItem(dialog, IDC_PROP_ADD), state.count < kMaxMailboxes);
    EnableWindow(GetDlgItem(dialog, IDC_PROP_EDIT), selected >= 0);
    EnableWindow(GetDlgItem(dialog, IDC_PROP_REMOVE), selected >= 0 && state.count > 1);
}

// One line per mailbox, in order: its name and directory.
void ShowMailboxes(HWND dialog, int select)
{
    PropertiesState* state = StateOf(dialog);
    if (!state) return;
    TakeFirstMailboxFields(dialog, *state);
    HWND list = GetDlgItem(dialog, IDC_PROP_MAILBOXES);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < state->count; ++i) {
        char line[2 * kSettingSize];
        snprintf(line, sizeof line, "%s\t%s", state->boxes[i].name, state->boxes[i].directory);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    UpdateMailboxButtons(dialog, *state);
}

// Runs the "Mailbox" dialog on editing; true when the user chose OK.
bool EditMailbox(HWND dialog, MailboxEditing& editing)
{
    editing.font = nullptr;
    return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_MAILBOX), dialog, MailboxProc,
                           reinterpret_cast<LPARAM>(&editing)) == IDOK;
}

void Properties_AddMailbox(HWND dialog)
{
    PropertiesState* state = StateOf(dialog);
    if (state->count >= kMaxMailboxes) return;
    MailboxEditing editing = {};
    editing.index = state->count;
    DefaultMailboxName(editing.index, editing.box.name);
    lstrcpynA(editing.box.extension, "CNM", kSettingSize);
    GetDlgItemTextA(dialog, IDC_PROP_SOUND, editing.commonSound, kPathChars + 1);
    if (!EditMailbox(dialog, editing)) return;
    state->boxes[state->count++] = editing.box;
    ShowMailboxes(dialog, state->count - 1);
}

// The first mailbox is edited through the dialog's fields: its directory,
// extension and (common) sound come from them and go back to them.
void Properties_EditMailbox(HWND dialog)
{
    PropertiesState* state = StateOf(dialog);
    const int index = SelectedMailbox(dialog);
    if (index < 0 || index >= state->count) return;
    TakeFirstMailboxFields(dialog, *state);
    MailboxEditing editing = {};
    editing.index = index;
    editing.box = state->boxes[index];
    GetDlgItemTextA(dialog, IDC_PROP_SOUND, editing.commonSound, kPathChars + 1);
    if (index == 0) lstrcpynA(editing.box.sound, editing.commonSound, kSettingSize);
    if (!EditMailbox(dialog, editing)) return;
    if (index == 0) {
        SetDlgItemTextA(dialog, IDC_PROP_MAILDIR, editing.box.directory);
        SetDlgItemTextA(dialog, IDC_PROP_MAILEXT, editing.box.extension);
        SetDlgItemTextA(dialog, IDC_PROP_SOUND, editing.box.sound);
        editing.box.sound[0] = '\0';
    }
    state->boxes[index] = editing.box;
    ShowMailboxes(dialog, index);
}

// The last mailbox left is never removed. When the first goes, the next
// takes its place and its fields; a sound of its own becomes the common
// sound, which the first mailbox plays.
void Properties_RemoveMailbox(HWND dialog)
{
    PropertiesState* state = StateOf(dialog);
    const int index = SelectedMailbox(dialog);
    if (index < 0 || index >= state->count || state->count <= 1) return;
    if (index == 0) {
        const MailboxSettings& next = state->boxes[1];
        SetDlgItemTextA(dialog, IDC_PROP_MAILDIR, next.directory);
        SetDlgItemTextA(dialog, IDC_PROP_MAILEXT, next.extension);
        if (next.sound[0]) SetDlgItemTextA(dialog, IDC_PROP_SOUND, next.sound);
    }
    for (int i = index; i + 1 < state->count; ++i) state->boxes[i] = state->boxes[i + 1];
    --state->count;
    state->boxes[0].sound[0] = '\0';
    ShowMailboxes(dialog, index < state->count ? index : state->count - 1);
}

void SetUpMailboxList(HWND dialog)
{
    auto* state = new PropertiesState;
    state->count = mailboxCount < 1 ? 1 : mailboxCount > kMaxMailboxes ? kMaxMailboxes : mailboxCount;
    for (int i = 0; i < state->count; ++i) state->boxes[i] = mailboxSettings[i];
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    // The directory column begins after room for a short name.
    const int tabStop = 56;
    SendDlgItemMessageA(dialog, IDC_PROP_MAILBOXES, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    ShowMailboxes(dialog, 0);
}

INT_PTR Properties_Init(HWND dialog)
{
    winCenter(dialog);
    SetDialogIcons(dialog);
    FillFields(dialog);
    SetUpBrowseButtons(dialog, kBrowseButtons);
    CheckDlgButton(dialog, IDC_PROP_POPUP, popupNotification ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PROP_WINNOTIFY, windowsNotification ? BST_CHECKED : BST_UNCHECKED);
    SetUpMailboxList(dialog);
    // The normal-weight font that SetMyDialogFont gives the controls belongs
    // to the dialog and is deleted when it is destroyed.
    StateOf(dialog)->font = SetMyDialogFont(dialog);
    return TRUE;
}

void Properties_Destroy(HWND dialog)
{
    PropertiesState* state = StateOf(dialog);
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
    if (state && state->font) DeleteObject(state->font);
    delete state;
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
    // The first mailbox took its directory and extension above; its name
    // and the other mailboxes come from the list.
    if (const PropertiesState* state = StateOf(dialog)) {
        lstrcpynA(mailboxSettings[0].name, state->boxes[0].name, kSettingSize);
        mailboxSettings[0].sound[0] = '\0';
        for (int i = 1; i < state->count; ++i) mailboxSettings[i] = state->boxes[i];
        mailboxCount = state->count;
    }
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

void Properties_Command(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:                    Properties_Accept(dialog); return;
    case IDCANCEL:                EndDialog(dialog, 1); return;
    case IDC_PROP_BROWSE_MAILDIR: Properties_BrowseFolder(dialog); return;
    case IDC_PROP_ADD:            Properties_AddMailbox(dialog); return;
    case IDC_PROP_EDIT:           Properties_EditMailbox(dialog); return;
    case IDC_PROP_REMOVE:         Properties_RemoveMailbox(dialog); return;
    case IDC_PROP_MAILDIR:
        // The first mailbox's line follows its directory as it is typed.
        if (code == EN_CHANGE) ShowMailboxes(dialog, SelectedMailbox(dialog));
        return;
    case IDC_PROP_MAILBOXES:
        if (code == LBN_DBLCLK) Properties_EditMailbox(dialog);
        else if (code == LBN_SELCHANGE && StateOf(dialog)) UpdateMailboxButtons(dialog, *StateOf(dialog));
        return;
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
    case WM_COMMAND:    Properties_Command(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_DESTROY:    Properties_Destroy(dialog); return TRUE;
    case WM_DRAWITEM:   return TRUE;
    default:            return FALSE;
    }
}
