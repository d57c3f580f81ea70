/*
 * The hidden tray window: the watcher's centre. It puts the icon into the
 * notification area, rescans the mail directory on a one-second timer once
 * the scan interval has passed, switches icon and tip, plays the new-mail
 * sound, opens the popup, and answers the icon's mouse events and menu.
 */
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>

#include "display.h"
#include "dpimetrics.h"
#include "mail.h"
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

int lastCount;
time_t lastScanTime;

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

// Common end of the creation and timer sequences: the next interval is
// measured from now, after any popup has closed.
void RestartScanTimer(HWND window)
{
    lastCount = ListCount(knownList);
    SetTimer(window, IDT_SCAN, kScanPeriodMs, nullptr);
    lastScanTime = time(nullptr);
}

void OpenPopup()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_NEWMAIL), nullptr, NewMailProc, 0);
}

LRESULT OnCreate(HWND window)
{
    // The settings come first: a missing path opens the Properties dialog
    // before anything else happens. Until the handle is recorded, signals
    // from a second copy are ignored.
    LoadSettings();
    trayWindow = window;

    knownList = ListCreate(sizeof(MailRecord));
    // newList does not exist yet, so the first scan fills knownList alone.
    const int found = ScanMailDir(mailDir, mailExt, 0);
    newList = ListCreate(sizeof(MailRecord));

    char tip[kTipSize];
    FormatCountTip(tip, found);
    ShowTrayIcon(window, NIM_ADD, found > 0 ? IDI_NEWMAIL : IDI_IDLE, tip);
    // The popup is never opened at start-up.
    if (found > 0) PlayNewMailSound();

    RestartScanTimer(window);
    return 0;
}

LRESULT OnTimer(HWND window)
{
    // A clock put back makes the difference negative: no scan until the
    // clock passes the last scan plus the interval again.
    if (time(nullptr) - lastScanTime < scanInterval) return 0;

    KillTimer(window, IDT_SCAN);
    ScanMailDir(mailDir, mailExt, 0);

    char tip[kTipSize];
    FormatCountTip(tip, ListCount(knownList));
    if (ListCount(newList) > 0) {
        ShowTrayIcon(window, NIM_MODIFY, IDI_NEWMAIL, tip);
        PlayNewMailSound();
        if (popupNotification) OpenPopup();
    } else if (ListCount(knownList) < lastCount || lastCount == 0) {
        // The new-mail icon stays until the client has taken some in.
        ShowTrayIcon(window, NIM_MODIFY, IDI_IDLE, tip);
    }
    RestartScanTimer(window);
    return 0;
}

void ShowNewMailList(HWND window)
{
    KillTimer(window, IDT_SCAN);
    ListClear(newList);
    for (int i = 0; i < ListCount(knownList); ++i) ListAppend(newList, ListGet(knownList, i));
    OpenPopup();
    SetTimer(window, IDT_SCAN, kScanPeriodMs, nullptr);
}

// Starts the viewer with the path of the known message behind a "Quick
// View" item; a message that has gone meanwhile does nothing.
void QuickView(HWND window, int index)
{
    const MailRecord* record = MailAt(knownList, index);
    if (!record) return;
    ShellExecuteA(window, "open", viewerProgram, record->path, nullptr, SW_SHOW);
}

LRESULT OnCommand(HWND window, UINT id)
{
    switch (id) {
    case IDM_ABOUT:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutProc, 0);
        break;
    case IDM_PROPERTIES:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), nullptr, PropertiesProc, 0);
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

void ShowTrayMenu(HWND window)
{
    // In the foreground, the menu closes when the user clicks elsewhere.
    SetForegroundWindow(window);
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDM_TRAYMENU));
    HMENU trayMenu = GetSubMenu(menu, 0);
    const bool listed = BuildQuickViewMenu(trayMenu) != nullptr;
    EnableMenuItem(trayMenu, 0, MF_BYPOSITION | (listed ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    SetMenuDefaultItem(trayMenu, IDM_RUNCLIENT, FALSE);
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(trayMenu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
    // Destroys the inserted "Quick View" pop-up with it.
    DestroyMenu(menu);
}

LRESULT OnTrayNotify(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        BringUpClient(window, true);
        return 0;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window);
        return 1;
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
    RemoveTrayIcon(window);
    knownList = ListDestroy(knownList);
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

void ShowTrayIcon(HWND window, DWORD operation, int iconId, const char* tip)
{
    shownIcon = iconId;
    lstrcpynA(shownTip, tip, kTipSize);
    SetTrayIcon(window, operation, TRAY_ICON_ID, LoadTrayIcon(iconId), tip);
}

BOOL SetTrayIcon(HWND window, DWORD operation, UINT id, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = icon;
    lstrcpynA(data.szTip, tip ? tip : "", sizeof data.szTip);
    const BOOL result = Shell_NotifyIconA(operation, &data);
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
    case WM_TIMER:            return OnTimer(window);
    case WM_COMMAND:          return OnCommand(window, LOWORD(wParam));
    case WM_TRAYNOTIFY:       return OnTrayNotify(window, lParam);
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
