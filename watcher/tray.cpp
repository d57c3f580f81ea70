/*
 * The hidden tray window: its notification-area icon and tip, the icon's
 * mouse and keyboard events, the tray menu and its commands. What the
 * watcher keeps and does (its mailboxes, their scans, the announcements)
 * is the window's WatcherState, made by its creation handler; the window's
 * timers and the message loop's change signals are handed to it.
 */
// The tray protocol of Windows 7 and later (version 4: keyboard events, the
// point an event belongs to); the headers give its names only to programs
// built for those systems. Older shells ignore what they do not know.
#define NTDDI_VERSION 0x06010000

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>

#include "charstep.h"
#include "display.h"
#include "dpimetrics.h"
#include "mail.h"
#include "resource.h"
#include "settings.h"
#include "watcher.h"
#include "watcherstate.h"

namespace {

constexpr UINT kQuickViewBase = 1000;
// The shell's "taskbar created" broadcast under its traditional fixed
// number; the real, registered number is handled as well (below).
constexpr UINT kTaskbarCreatedFixed = 0xC07F;

UINT TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void RemoveTrayIcon(HWND window)
{
    SetTrayIcon(window, NIM_DELETE, TRAY_ICON_ID, nullptr, nullptr);
}

LRESULT OnCreate(HWND window)
{
    // The settings come first: a missing path opens the Properties dialog
    // before anything else happens. Until the handle is recorded, signals
    // from a second copy are ignored.
    LoadSettings();
    trayWindow = window;
    // The mailboxes are watched from before the first scan, so that nothing
    // written meanwhile goes unseen. Without a watch the interval alone
    // drives the scans.
    auto state = std::make_shared<WatcherState>(window);
    SetStateOf(window, state);
    state->Start();
    return 0;
}

LRESULT OnTimer(HWND window, UINT_PTR timer)
{
    if (auto state = StateOf(window)) {
        if (timer == IDT_CHANGE) state->OnBurstSettled();
        else state->OnTick();
    }
    return 0;
}

// Resume from sleep or hibernation: every mailbox is scanned as soon as
// the message loop comes round (not inside the sender's call, which may be
// the system's broadcast).
LRESULT OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        if (auto state = StateOf(window)) state->Resumed();
    }
    return TRUE;
}

// Where a "Quick View" item's message is: the mailbox and the index in its
// list of the item's number, counted over the mailboxes in order.
MailItem* QuickViewItem(const WatcherState& state, int number)
{
    if (number < 0) return nullptr;
    for (int i = 0; i < state.MailboxCount(); ++i) {
        RecordList* known = state.MailboxAt(i)->Known();
        if (number < ListCount(known)) return MailAt(known, number);
        number -= ListCount(known);
    }
    return nullptr;
}

// Starts the viewer with the path of the known message behind a "Quick
// View" item; a message that has gone meanwhile does nothing. The path is
// quoted, so that a directory with spaces in its name reaches the viewer as
// one argument (a file name holds no quotes).
void QuickView(HWND window, const WatcherState& state, int number)
{
    const MailItem* record = QuickViewItem(state, number);
    if (!record) return;
    char parameter[kMailPathSize + 2];
    snprintf(parameter, sizeof parameter, "\"%s\"", record->path);
    ShellExecuteA(window, "open", viewerProgram, parameter, nullptr, SW_SHOW);
}

LRESULT OnCommand(HWND window, UINT id)
{
    // Held while the command runs: a dialog's loop may see the window close.
    const auto state = StateOf(window);
    switch (id) {
    case IDM_ABOUT:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc, 0);
        break;
    case IDM_PROPERTIES:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), nullptr, PropertiesProc, 0);
        if (state) state->SettingsClosed();
        break;
    case IDM_EXIT:
    case SC_CLOSE:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case IDM_RUNCLIENT:
        StartClient(window);
        break;
    case IDM_SHOWLIST:
        if (state) state->ShowNewMailList();
        break;
    default:
        if (state) QuickView(window, *state, static_cast<int>(id) - static_cast<int>(kQuickViewBase));
        break;
    }
    return 0;
}

// Appends an item per known message of list to the "Quick View" pop-up,
// numbered on from *number: "<sender> [<subject>]".
void AppendQuickViewItems(HMENU quickView, RecordList* list, UINT* number)
{
    std::string shown;
    char from[kHeaderFieldSize];
    char subject[kHeaderFieldSize];
    const int count = ListCount(list);
    for (int i = 0; i < count; ++i, ++*number) {
        const MailItem* record = MailAt(list, i);
        HeaderValueForDisplay(record->fromName, from, sizeof from);
        HeaderValueForDisplay(record->subject, subject, sizeof subject);
        shown.assign(from).append(" [").append(subject).append("]");
        // Each '&' shows as itself; a longer text is cut to the item buffer.
        char text[256];
        DoubleAmpersands(shown.c_str(), text, sizeof text);
        AppendMenuA(quickView, MF_STRING, kQuickViewBase + *number, text);
    }
}

// Inserts the "Quick View" pop-up at the top of the tray menu, one item per
// known message; with several mailboxes the items of each come under a
// disabled heading with its name. Returns it, or null when there was
// nothing to list.
HMENU BuildQuickViewMenu(HMENU trayMenu, const WatcherState* state)
{
    HMENU quickView = CreatePopupMenu();
    InsertMenuA(trayMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(quickView), "Quick View");
    if (!state) return nullptr;
    const bool headed = state->MailboxCount() > 1;
    UINT number = 0;
    for (int i = 0; i < state->MailboxCount(); ++i) {
        Mailbox* mailbox = state->MailboxAt(i);
        RecordList* known = mailbox->Known();
        if (ListCount(known) == 0) continue;
        if (headed) {
            char heading[256];
            DoubleAmpersands(mailbox->Name(), heading, sizeof heading);
            AppendMenuA(quickView, MF_STRING | MF_GRAYED | MF_DISABLED, 0, heading);
        }
        AppendQuickViewItems(quickView, known, &number);
    }
    return number > 0 ? quickView : nullptr;
}

// Shows the tray menu at a point of the screen; a menu already open is
// left alone.
void ShowTrayMenu(HWND window, POINT at)
{
    const auto state = StateOf(window);
    if (!state || state->tray.menuOpen) return;
    state->tray.menuOpen = true;
    // In the foreground, the menu closes when the user clicks elsewhere.
    SetForegroundWindow(window);
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDM_TRAYMENU));
    HMENU trayMenu = GetSubMenu(menu, 0);
    const bool listed = BuildQuickViewMenu(trayMenu, state.get()) != nullptr;
    EnableMenuItem(trayMenu, 0, MF_BYPOSITION | (listed ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    SetMenuDefaultItem(trayMenu, IDM_RUNCLIENT, FALSE);
    TrackPopupMenu(trayMenu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    // Destroys the inserted "Quick View" pop-up with it.
    DestroyMenu(menu);
    state->tray.menuOpen = false;
}

POINT CursorPoint()
{
    POINT cursor;
    GetCursorPos(&cursor);
    return cursor;
}

// The point an event of the icon belongs to: in the version 4 protocol
// (the icon's identifier in the high word of lParam) wParam carries it, for
// the keyboard the icon's corner; otherwise the cursor's position.
POINT EventPoint(WPARAM anchor, LPARAM event)
{
    if (HIWORD(event) != TRAY_ICON_ID) return CursorPoint();
    return {static_cast<short>(LOWORD(anchor)), static_cast<short>(HIWORD(anchor))};
}

// Enter or Space on the icon. A second one within the double-click time is
// the same key press (the shell may send two for Enter) or a repeat:
// answered once, so that a client that is not running is started once.
bool IsRepeatedKeySelect(HWND window)
{
    const auto state = StateOf(window);
    if (!state) return true;
    const DWORD now = GetTickCount();
    auto& tray = state->tray;
    const bool repeated = tray.keySelected && now - tray.lastKeySelect < GetDoubleClickTime();
    tray.keySelected = true;
    tray.lastKeySelect = now;
    return repeated;
}

// The icon's events. In the version 4 protocol that the icon declares
// (SetTrayIcon) the event is the low word of lParam; older shells send it
// whole, which reads the same. Mouse input is answered as it always was: a
// double click brings up the client, the right button opens the menu, a
// single click (NIN_SELECT too) does nothing. The keyboard's selection
// (NIN_KEYSELECT) is its double click; the context menu (the menu key,
// Shift+F10, or the shell after a right click) opens the menu at the icon.
LRESULT OnTrayNotify(HWND window, WPARAM anchor, LPARAM event)
{
    switch (LOWORD(event)) {
    case WM_LBUTTONDBLCLK:
        BringUpClient(window, true);
        return 0;
    case NIN_KEYSELECT:
        if (!IsRepeatedKeySelect(window)) BringUpClient(window, true);
        return 0;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window, CursorPoint());
        return 1;
    case WM_CONTEXTMENU:
        ShowTrayMenu(window, EventPoint(anchor, event));
        return 1;
    case NIN_BALLOONUSERCLICK:
        if (auto state = StateOf(window)) state->OpenNotifiedMail();
        return 0;
    default:
        return 1;
    }
}

// A second copy started, or the shell restarted under the fixed number:
// the icon is put back as the idle icon; lists, counts and timer stay.
LRESULT OnResetTrayIcon(HWND window)
{
    if (!IsWindow(trayWindow)) return 0;
    RemoveTrayIcon(window);
    ShowTrayIcon(window, NIM_ADD, IDI_IDLE, "No New Messages");
    return 0;
}

// The shell's taskbar was created anew: the user's mail did not change, so
// the icon comes back as it was.
LRESULT OnTaskbarCreated(HWND window)
{
    const auto state = StateOf(window);
    if (!IsWindow(trayWindow) || !state) return 0;
    RemoveTrayIcon(window);
    char tip[kTipSize];
    lstrcpynA(tip, state->tray.tip, kTipSize);
    ShowTrayIcon(window, NIM_ADD, state->tray.icon, tip);
    return 0;
}

LRESULT OnClose(HWND window)
{
    if (auto state = StateOf(window)) state->Close();
    RemoveTrayIcon(window);
    DestroyWindow(window);
    return 0;
}

LRESULT OnInitMenu(HWND window, HMENU menu)
{
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) EnableMenuItem(menu, command, MF_GRAYED);
    DrawMenuBar(window);
    return 0;
}

} // namespace

bool PumpWatcherMessages(DWORD timeoutMs, WPARAM* exitCode)
{
    const auto state = StateOf(trayWindow);
    HANDLE handles[kMaxMailboxes];
    int mailboxes[kMaxMailboxes];
    const int count = state ? state->WatchHandles(handles, mailboxes, kMaxMailboxes) : 0;
    const DWORD woken =
        MsgWaitForMultipleObjectsEx(static_cast<DWORD>(count), handles, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // A change signal: every watch that has signalled is taken (the wait
    // names only the first), and the watcher decides when each is scanned.
    if (count && woken < WAIT_OBJECT_0 + static_cast<DWORD>(count)) state->ChangesSeen(state->TakeSignals());
    // Messages are taken on every round, so that a directory that keeps
    // signalling cannot keep them waiting.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (exitCode) *exitCode = msg.wParam;
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void ShowTrayIcon(HWND window, DWORD operation, int iconId, const char* tip)
{
    if (auto state = StateOf(window)) {
        state->tray.icon = iconId;
        KwCopyWhole(state->tray.tip, tip, kTipSize);
    }
    SetTrayIcon(window, operation, TRAY_ICON_ID, LoadTrayIcon(iconId), tip);
}

BOOL SetTrayIcon(HWND window, DWORD operation, UINT id, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = id;
    // The standard tip stays on under the version 4 protocol.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = icon;
    // At most 63 characters, as the shell's oldest tips hold.
    KwCopyWhole(data.szTip, tip ? tip : "", kTipSize);
    const BOOL result = Shell_NotifyIconA(operation, &data);
    // An icon added declares the protocol whose events reach it from the
    // keyboard (NIN_KEYSELECT, WM_CONTEXTMENU) and from its notifications.
    if (operation == NIM_ADD && result) {
        data.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconA(NIM_SETVERSION, &data);
    }
    if (icon) DestroyIcon(icon);
    return result;
}

HICON LoadIconAtSize(int resourceId, int size)
{
    // Never LR_SHARED: the shared cache hands back the first size it loaded,
    // whatever size is asked for later.
    return static_cast<HICON>(
        LoadImageA(appInstance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The notification area shows small icons, at the DPI of the screen that
// holds the taskbar; an image of that size is picked from the icon rather
// than a 32-pixel one that the shell would shrink.
HICON LoadTrayIcon(int resourceId)
{
    return LoadIconAtSize(resourceId, KwSystemMetric(SM_CXSMICON, KwScreenDpi()));
}

void SetDialogIcons(HWND dialog, int iconId)
{
    const UINT dpi = KwWindowDpi(dialog);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconAtSize(iconId, KwSystemMetric(SM_CXSMICON, dpi))));
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconAtSize(iconId, KwSystemMetric(SM_CXICON, dpi))));
}

void SetDialogIcons(HWND dialog)
{
    SetDialogIcons(dialog, IDI_APP);
}

void ReleaseDialogIcons(HWND dialog)
{
    for (WPARAM which : {ICON_SMALL, ICON_BIG}) {
        const HICON icon = reinterpret_cast<HICON>(SendMessageA(dialog, WM_SETICON, which, 0));
        if (icon) DestroyIcon(icon);
    }
}

LRESULT CALLBACK MailWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:           return OnCreate(window);
    case WM_TIMER:            return OnTimer(window, wParam);
    case WM_POWERBROADCAST:   return OnPowerBroadcast(window, wParam);
    case WM_COMMAND:          return OnCommand(window, LOWORD(wParam));
    case WM_TRAYNOTIFY:       return OnTrayNotify(window, wParam, lParam);
    case WM_RESETTRAYICON:
    case kTaskbarCreatedFixed: return OnResetTrayIcon(window);
    case WM_CLOSE:            return OnClose(window);
    case WM_DESTROY:          PostQuitMessage(0); return 0;
    case WM_NCDESTROY:        SetStateOf(window, nullptr); return 0;
    case WM_QUERYENDSESSION:  PostMessageA(window, WM_CLOSE, 0, 0); return 1;
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:  BringUpClient(window, false); return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:        return 1;
    case WM_SIZE:
    case WM_PAINT:
    case WM_KEYDOWN:
    case WM_VSCROLL:          return 0;
    case WM_INITMENU:         return OnInitMenu(window, reinterpret_cast<HMENU>(wParam));
    default:
        if (message == TaskbarCreatedMessage()) return OnTaskbarCreated(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
