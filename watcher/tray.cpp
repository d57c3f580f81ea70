/*
 * The hidden tray window: the watcher's centre. It puts the icon into the
 * notification area, rescans the mail directory soon after the system
 * signals a change in it, on resume from sleep, and on a one-second timer
 * once the scan interval has passed; it switches icon and tip, plays the
 * new-mail sound, opens the popup or shows the notification (held back
 * while the user is busy with a full-screen program), and answers the
 * icon's mouse and keyboard events and its menu.
 */
// The tray protocol of Windows 7 and later (version 4: keyboard events, the
// point an event belongs to); the headers give its names only to programs
// built for those systems. Older shells ignore what they do not know.
#define NTDDI_VERSION 0x06010000

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>

#include "changewatch.h"
#include "charstep.h"
#include "display.h"
#include "dpimetrics.h"
#include "mail.h"
#include "notification.h"
#include "popup.h"
#include "resource.h"
#include "settings.h"
#include "watcher.h"

namespace {

constexpr UINT kScanPeriodMs = 1000;
constexpr UINT kQuickViewBase = 1000;
// The shell's "taskbar created" broadcast under its traditional fixed
// number; the real, registered number is handled as well (below).
constexpr UINT kTaskbarCreatedFixed = 0xC07F;
constexpr int kTipSize = 64;
// A change in the directory is scanned once the directory has been quiet
// this long, so that a burst of files (or a file written in pieces) gives
// one scan rather than one per file...
constexpr UINT kSettleMs = 150;
// ...but no later than this after the first change of the burst, so that
// a directory that never rests is still scanned.
constexpr DWORD kBurstLimitMs = 1000;

int lastCount;
time_t lastScanTime;

// True while the tray window's own scanning is stopped: during a scan and
// its announcement, and while a popup it opened is up (the popup rescans).
bool trayPaused;
// A change has been seen and its scan is waiting on IDT_CHANGE, since
// burstStart (GetTickCount).
bool changePending;
DWORD burstStart;

// Announcements held back while the user was busy: the new messages for
// the popup, and whether the sound is owed.
RecordList* heldList;
bool soundHeld;

// True while the tray menu is open: the shell's WM_CONTEXTMENU that follows
// the right click which opened it must not open a second one.
bool trayMenuOpen;
// When the last NIN_KEYSELECT came (GetTickCount), and whether one came.
DWORD lastKeySelect;
bool keySelected;

// What the icon shows now, so that it can be put back as it was when the
// shell's taskbar is created anew.
int shownIcon = IDI_IDLE;
char shownTip[kTipSize] = "";

UINT TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void FormatCountTip(char (&tip)[kTipSize], int count)
{
    snprintf(tip, sizeof tip, "%d New Mail Messages", count);
}

void RemoveTrayIcon(HWND window)
{
    SetTrayIcon(window, NIM_DELETE, TRAY_ICON_ID, nullptr, nullptr);
}

// The shell's notification states that ask for quiet (the values of
// SHQueryUserNotificationState, which older shells lack).
enum ShellNotificationState {
    kStateBusy = 2,             // a full-screen program has the foreground
    kStateD3DFullScreen = 3,    // a full-screen Direct3D program runs
    kStatePresentation = 4,     // presentation settings are on
    kStateQuietTime = 6,        // the first hour after a new user signs in
};

bool ShellAsksForQuiet()
{
    using QueryState = HRESULT(WINAPI*)(int*);
    // Looked up at run time, so that the program still starts on systems
    // whose shell does not have it.
    static const QueryState query = [] {
        HMODULE shell = GetModuleHandleA("shell32.dll");
        return shell ? reinterpret_cast<QueryState>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "SHQueryUserNotificationState")))
                     : nullptr;
    }();
    int state = 0;
    if (!query || FAILED(query(&state))) return false;
    return state == kStateBusy || state == kStateD3DFullScreen || state == kStatePresentation ||
           state == kStateQuietTime;
}

// A full-screen video, game or slide show: the foreground window covers
// its whole monitor. The desktop and the shell's window do not count, nor
// does a maximised window with a caption, whose frame reaches past the
// monitor's edges when no taskbar is in the way.
bool ForegroundFillsItsMonitor()
{
    HWND foreground = GetForegroundWindow();
    if (!foreground || foreground == GetDesktopWindow() || foreground == GetShellWindow()) return false;
    const LONG style = GetWindowLongA(foreground, GWL_STYLE);
    if (IsZoomed(foreground) && (style & WS_CAPTION) == WS_CAPTION) return false;
    RECT window;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    HMONITOR screen = MonitorFromWindow(foreground, MONITOR_DEFAULTTONULL);
    if (!screen || !GetWindowRect(foreground, &window) || !GetMonitorInfoA(screen, &monitor)) return false;
    const RECT& m = monitor.rcMonitor;
    return window.left <= m.left && window.top <= m.top && window.right >= m.right && window.bottom >= m.bottom;
}

bool UserIsBusy()
{
    return ForegroundFillsItsMonitor() || ShellAsksForQuiet();
}

// A scan as soon as the message loop comes round: after a resume (not
// inside the sender's call, which may be the system's broadcast), or for a
// change seen while scanning was stopped.
void ScanSoon(HWND window)
{
    if (trayPaused) {
        scanWanted = true;
        return;
    }
    changePending = true;
    burstStart = GetTickCount() - kBurstLimitMs;
    SetTimer(window, IDT_CHANGE, USER_TIMER_MINIMUM, nullptr);
}

// The tray window scans again on its own: its tick runs, and a scan asked
// for while it was stopped follows at once.
void ResumeScanning(HWND window)
{
    trayPaused = false;
    SetTimer(window, IDT_SCAN, kScanPeriodMs, nullptr);
    if (scanWanted) {
        scanWanted = false;
        ScanSoon(window);
    }
}

// Stops the tray window's scanning for a scan or a popup of its own. A
// change seen but not scanned yet is handed on, so that the popup's rescan
// or the next scan takes it.
void PauseScanning(HWND window)
{
    KillTimer(window, IDT_SCAN);
    KillTimer(window, IDT_CHANGE);
    if (changePending) scanWanted = true;
    changePending = false;
    trayPaused = true;
}

// A change was seen in the directory: the scan waits for kSettleMs of
// quiet, each further change putting it back, until the burst has lasted
// kBurstLimitMs; from then on the timer is left to fire.
void ScanAfterQuiet(HWND window)
{
    if (trayPaused) {
        scanWanted = true;
        return;
    }
    const DWORD now = GetTickCount();
    if (!changePending) {
        changePending = true;
        burstStart = now;
    }
    if (now - burstStart < kBurstLimitMs) SetTimer(window, IDT_CHANGE, kSettleMs, nullptr);
}

// Common end of the creation and timer sequences: the next interval is
// measured from now, after any popup has closed.
void RestartScanTimer(HWND window)
{
    lastCount = ListCount(knownList);
    ResumeScanning(window);
    lastScanTime = time(nullptr);
}

LRESULT OnCreate(HWND window)
{
    // The settings come first: a missing path opens the Properties dialog
    // before anything else happens. Until the handle is recorded, signals
    // from a second copy are ignored.
    LoadSettings();
    trayWindow = window;

    knownList = ListCreate(sizeof(MailRecord));
    // Watched from before the first scan, so that nothing written meanwhile
    // goes unseen. Without a watch the interval alone drives the scans.
    ChangeWatchStart(mailDir);
    // newList does not exist yet, so the first scan fills knownList alone.
    const int found = ScanMailDir(mailDir, mailExt, 0);
    newList = ListCreate(sizeof(MailRecord));

    char tip[kTipSize];
    FormatCountTip(tip, found);
    ShowTrayIcon(window, NIM_ADD, found > 0 ? IDI_NEWMAIL : IDI_IDLE, tip);
    // The popup is never opened at start-up; the sound waits while the
    // user is busy, like that of a scan.
    if (found > 0) {
        if (UserIsBusy()) soundHeld = true;
        else PlayNewMailSound();
    }

    RestartScanTimer(window);
    return 0;
}

// While the user is busy the announcement waits: the sound is owed and the
// new messages are kept for one popup (or notification) later.
void HoldAnnouncement()
{
    soundHeld = true;
    if (!heldList) heldList = ListCreate(sizeof(MailRecord));
    ListAppendAll(heldList, newList);
}

// New mail shown as the settings say: the popup, or else the notification.
void ShowNewMail(HWND window)
{
    if (popupNotification) OpenPopup();
    else if (windowsNotification) ShowMailNotification(window, newList);
}

// One scan and what follows from it: icon and tip, sound, popup or
// notification. A due tick and a change in the directory both run it, and
// the next interval is measured from its end.
void ScanAndAnnounce(HWND window)
{
    PauseScanning(window);
    // This scan sees every change made so far. A directory being removed
    // is let go of first, so that the watch does not keep it from going.
    scanWanted = false;
    ChangeWatchFollow(mailDir);
    ScanMailDir(mailDir, mailExt, 0);

    char tip[kTipSize];
    FormatCountTip(tip, ListCount(knownList));
    if (ListCount(newList) > 0) {
        ShowTrayIcon(window, NIM_MODIFY, IDI_NEWMAIL, tip);
        if (UserIsBusy()) {
            HoldAnnouncement();
        } else {
            PlayNewMailSound();
            ShowNewMail(window);
        }
    } else if (ListCount(knownList) < lastCount || lastCount == 0) {
        // The new-mail icon stays until the client has taken some in.
        ShowTrayIcon(window, NIM_MODIFY, IDI_IDLE, tip);
    }
    RestartScanTimer(window);
}

// newList, the popup's list, becomes a copy of source's records.
void FillPopupList(RecordList* source)
{
    ListClear(newList);
    ListAppendAll(newList, source);
}

// The popup's list becomes a copy of source's records, and whatever was
// held back is no longer owed.
void TakeIntoPopupList(RecordList* source)
{
    FillPopupList(source);
    heldList = ListDestroy(heldList);
    soundHeld = false;
}

// The user is back: what was held comes now, once. This departs from the
// popup's usual rules in three ways: the popup (or the notification's
// summary) lists every message that arrived while the user was busy, over
// as many scans as there were, not only those of the latest scan; it opens
// on a tick that did not scan; and messages the client took in meanwhile
// are left out (with none left, neither comes). The sound plays once for
// all of them.
void ReleaseAnnouncement(HWND window)
{
    PauseScanning(window);
    TakeIntoPopupList(heldList);
    ListPrune(newList);
    PlayNewMailSound();
    const bool popup = popupNotification && ListCount(newList) > 0;
    if (ListCount(newList) > 0) ShowNewMail(window);
    // As after a scan's popup, the interval counts from its closing.
    if (popup) RestartScanTimer(window);
    else ResumeScanning(window);
}

// The one-second tick. Besides the interval it keeps the change watch on
// the directory and looks at its signal, for the times the message loop is
// not the one running (menus and dialogs have loops of their own).
void OnTick(HWND window)
{
    if (ChangeWatchFollow(mailDir)) ScanAfterQuiet(window);
    if (ChangeWatchTake()) ScanAfterQuiet(window);
    if (soundHeld && !UserIsBusy()) {
        ReleaseAnnouncement(window);
        return;
    }
    // A clock put back makes the difference negative: no scan until the
    // clock passes the last scan plus the interval again.
    if (time(nullptr) - lastScanTime < scanInterval) return;
    ScanAndAnnounce(window);
}

LRESULT OnTimer(HWND window, UINT_PTR timer)
{
    if (timer == IDT_CHANGE) ScanAndAnnounce(window);
    else OnTick(window);
    return 0;
}

// Resume from sleep or hibernation: the directory may have changed in any
// way meanwhile, and a watch on a network volume may have been lost.
LRESULT OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
        ChangeWatchFollow(mailDir);
        ScanSoon(window);
    }
    return TRUE;
}

// A click on the notification: the popup shows the messages it named that
// still wait, from the first it named. It names them no more after that.
void OpenNotifiedMail(HWND window)
{
    if (ListCount(NotifiedMail()) == 0) return;
    PauseScanning(window);
    FillPopupList(NotifiedMail());
    ForgetMailNotification();
    ListPrune(newList);
    if (ListCount(newList) > 0) OpenPopup();
    ResumeScanning(window);
}

void ShowNewMailList(HWND window)
{
    PauseScanning(window);
    // The list shows every waiting message, so nothing held is owed any
    // more.
    TakeIntoPopupList(knownList);
    OpenPopup();
    ResumeScanning(window);
}

// Starts the viewer with the path of the known message behind a "Quick
// View" item; a message that has gone meanwhile does nothing. The path is
// quoted, so that a directory with spaces in its name reaches the viewer as
// one argument (a file name holds no quotes).
void QuickView(HWND window, int index)
{
    const MailRecord* record = MailAt(knownList, index);
    if (!record) return;
    char parameter[kMailPathSize + 2];
    snprintf(parameter, sizeof parameter, "\"%s\"", record->path);
    ShellExecuteA(window, "open", viewerProgram, parameter, nullptr, SW_SHOW);
}

LRESULT OnCommand(HWND window, UINT id)
{
    switch (id) {
    case IDM_ABOUT:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc, 0);
        break;
    case IDM_PROPERTIES:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), nullptr, PropertiesProc, 0);
        // A new mail directory is watched (and scanned) at once.
        if (ChangeWatchFollow(mailDir)) ScanAfterQuiet(window);
        break;
    case IDM_EXIT:
    case SC_CLOSE:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case IDM_RUNCLIENT:
        StartClient(window);
        break;
    case IDM_SHOWLIST:
        ShowNewMailList(window);
        break;
    default:
        QuickView(window, static_cast<int>(id) - static_cast<int>(kQuickViewBase));
        break;
    }
    return 0;
}

// Inserts the "Quick View" pop-up at the top of the tray menu, one item per
// known message; returns it, or null when there was nothing to list.
HMENU BuildQuickViewMenu(HMENU trayMenu)
{
    HMENU quickView = CreatePopupMenu();
    InsertMenuA(trayMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(quickView), "Quick View");
    const int count = ListCount(knownList);
    std::string shown;
    char from[kHeaderFieldSize];
    char subject[kHeaderFieldSize];
    for (int i = 0; i < count; ++i) {
        const MailRecord* record = MailAt(knownList, i);
        if (!record) break;
        HeaderValueForDisplay(record->fromName, from, sizeof from);
        HeaderValueForDisplay(record->subject, subject, sizeof subject);
        shown.assign(from).append(" [").append(subject).append("]");
        // Each '&' shows as itself; a longer text is cut to the item buffer.
        char text[256];
        DoubleAmpersands(shown.c_str(), text, sizeof text);
        AppendMenuA(quickView, MF_STRING, kQuickViewBase + i, text);
    }
    return count > 0 ? quickView : nullptr;
}

// Shows the tray menu at a point of the screen; a menu already open is
// left alone.
void ShowTrayMenu(HWND window, POINT at)
{
    if (trayMenuOpen) return;
    trayMenuOpen = true;
    // In the foreground, the menu closes when the user clicks elsewhere.
    SetForegroundWindow(window);
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDM_TRAYMENU));
    HMENU trayMenu = GetSubMenu(menu, 0);
    const bool listed = BuildQuickViewMenu(trayMenu) != nullptr;
    EnableMenuItem(trayMenu, 0, MF_BYPOSITION | (listed ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    SetMenuDefaultItem(trayMenu, IDM_RUNCLIENT, FALSE);
    TrackPopupMenu(trayMenu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    // Destroys the inserted "Quick View" pop-up with it.
    DestroyMenu(menu);
    trayMenuOpen = false;
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
bool IsRepeatedKeySelect()
{
    const DWORD now = GetTickCount();
    const bool repeated = keySelected && now - lastKeySelect < GetDoubleClickTime();
    keySelected = true;
    lastKeySelect = now;
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
        if (!IsRepeatedKeySelect()) BringUpClient(window, true);
        return 0;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window, CursorPoint());
        return 1;
    case WM_CONTEXTMENU:
        ShowTrayMenu(window, EventPoint(anchor, event));
        return 1;
    case NIN_BALLOONUSERCLICK:
        OpenNotifiedMail(window);
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
    if (!IsWindow(trayWindow)) return 0;
    RemoveTrayIcon(window);
    char tip[kTipSize];
    lstrcpynA(tip, shownTip, kTipSize);
    ShowTrayIcon(window, NIM_ADD, shownIcon, tip);
    return 0;
}

LRESULT OnClose(HWND window)
{
    KillTimer(window, IDT_SCAN);
    KillTimer(window, IDT_CHANGE);
    ChangeWatchStop();
    changePending = false;
    RemoveTrayIcon(window);
    knownList = ListDestroy(knownList);
    heldList = ListDestroy(heldList);
    soundHeld = false;
    ForgetMailNotification();
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
    HANDLE change = ChangeWatchHandle();
    const DWORD handles = change ? 1 : 0;
    const DWORD woken = MsgWaitForMultipleObjectsEx(handles, &change, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // The change signal: taken, and the tray window scans once the
    // directory is quiet.
    if (handles && woken == WAIT_OBJECT_0) {
        ChangeWatchRearm();
        if (IsWindow(trayWindow)) ScanAfterQuiet(trayWindow);
    }
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
    shownIcon = iconId;
    lstrcpynA(shownTip, tip, kTipSize);
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
