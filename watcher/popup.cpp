/*
 * The "New Mail!!" popup. It shows the records of newList one at a time
 * (sender, subject, date), steps through them with "<< &Prev" and
 * "&Next >>", brings up the mail client with "&CMail", and, while open,
 * rescans the mail directory on its own timer because the tray window has
 * stopped its scan timer for as long as the popup runs.
 *
 * The rescan only appends to newList: a message the client takes in while
 * the popup is open stays listed until the popup closes. The popup plays no
 * sound; mail that arrives meanwhile is known by then and is not announced
 * again. Like the tray window's tick, the rescan does not wait for the
 * interval when the mail directory has signalled a change or a scan was
 * asked for (the machine resumed).
 */
#include <cstdio>

#include "changewatch.h"
#include "display.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "mail.h"
#include "popup.h"
#include "resource.h"
#include "settings.h"
#include "watcher.h"

int popupIndex;
HWND previousForeground;
std::time_t popupScanTime;

namespace {

constexpr UINT kRescanPeriodMs = 1000;
// "%d of %d" with two numbers of at most 11 characters each.
constexpr int kPositionTextSize = 32;
// The shell takes 63 characters of tip.
constexpr int kTipSize = 64;

void StartRescanTimer(HWND dialog)
{
    SetTimer(dialog, IDT_POPUP, kRescanPeriodMs, nullptr);
    popupScanTime = std::time(nullptr);
}

// The normal-weight font that the controls use belongs to the popup: kept
// in the dialog's user slot and deleted when the dialog is destroyed, since
// every control uses it until then.
void SetPopupFont(HWND dialog)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(SetMyDialogFont(dialog)));
}

void DeletePopupFont(HWND dialog)
{
    HFONT font = reinterpret_cast<HFONT>(SetWindowLongPtrA(dialog, DWLP_USER, 0));
    if (font) DeleteObject(font);
}

// The template's icon control, the one static child with SS_ICON.
HWND IconControl(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
    return nullptr;
}

// The dialog manager loads the icon control's picture at the system's
// large-icon size; it is given the image for the popup's own DPI instead,
// which the popup owns (the template's shared one belongs to the system).
void SetPopupIcons(HWND dialog)
{
    SetDialogIcons(dialog);
    if (HWND control = IconControl(dialog)) {
        const HICON icon = LoadIconAtSize(IDI_APP, KwSystemMetric(SM_CXICON, KwWindowDpi(dialog)));
        SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
}

void ReleasePopupIcons(HWND dialog)
{
    ReleaseDialogIcons(dialog);
    if (HWND control = IconControl(dialog)) {
        const HICON icon = reinterpret_cast<HICON>(SendMessageA(control, STM_SETICON, 0, 0));
        if (icon) DestroyIcon(icon);
    }
}

void Popup_Destroy(HWND dialog)
{
    DeletePopupFont(dialog);
    ReleasePopupIcons(dialog);
}

INT_PTR Popup_Init(HWND dialog)
{
    // Taken first: giving the focus to a control below activates the
    // popup, which would then find itself in the foreground.
    previousForeground = GetForegroundWindow();
    winCenter(dialog);
    popupIndex = 0;
    // With nothing to show the popup ends as soon as the initialisation is
    // over; the rest still runs, on a window that is never shown.
    if (ListCount(newList) == 0) EndDialog(dialog, 1);
    SetFocus(GetDlgItem(dialog, IDOK));
    SetPopupFont(dialog);
    RefreshPopup(dialog);
    // After the texts: loading icons at the DPI's sizes takes a moment,
    // and whoever finds the new popup reads its texts at once.
    SetPopupIcons(dialog);
    SetForegroundWindow(dialog);
    StartRescanTimer(dialog);
    return TRUE;
}

void Popup_Prev(HWND dialog)
{
    if (popupIndex > 0) --popupIndex;
    RefreshPopup(dialog);
}

void Popup_Next(HWND dialog)
{
    if (popupIndex + 1 < ListCount(newList)) ++popupIndex;
    RefreshPopup(dialog);
}

INT_PTR Popup_Command(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:        EndDialog(dialog, 1); break;
    case IDC_POPUP_PREV:  Popup_Prev(dialog); break;
    case IDC_POPUP_NEXT:  Popup_Next(dialog); break;
    case IDC_POPUP_CMAIL: BringUpClient(dialog, false); break;
    default:              break;
    }
    return TRUE;
}

// Only the caption's close button gives the foreground back to the window
// that had it before the popup; "&Close" and Esc leave it to the system.
INT_PTR Popup_Close(HWND dialog)
{
    if (IsWindow(previousForeground)) SetForegroundWindow(previousForeground);
    EndDialog(dialog, 1);
    return TRUE;
}

// Takes the change signal and a scan asked for meanwhile; true when either
// was there.
bool ScanIsWanted()
{
    const bool wanted = scanWanted;
    scanWanted = false;
    // Taken either way, so that the signal does not outlive this scan.
    return ChangeWatchTake() || wanted;
}

INT_PTR Popup_Rescan(HWND dialog)
{
    if (!ScanIsWanted() && std::time(nullptr) - popupScanTime < scanInterval) return TRUE;
    // No tick may arrive while the scan lets messages through.
    KillTimer(dialog, IDT_POPUP);
    ScanMailDir(mailDir, mailExt, 1);

    char tip[kTipSize];
    std::snprintf(tip, sizeof tip, "%d New Mail Messages", ListCount(newList));
    ShowTrayIcon(trayWindow, NIM_MODIFY, IDI_NEWMAIL, tip);

    // The scan dispatched messages; the popup may have gone meanwhile.
    if (!IsWindow(dialog)) return TRUE;
    RefreshPopup(dialog);
    StartRescanTimer(dialog);
    return TRUE;
}

} // namespace

void RefreshPopup(HWND dialog)
{
    if (const MailRecord* record = MailAt(newList, popupIndex)) {
        char shown[kHeaderFieldSize];
        HeaderValueForDisplay(record->from, shown, sizeof shown);
        SetDlgItemTextA(dialog, IDC_POPUP_FROM, shown);
        HeaderValueForDisplay(record->subject, shown, sizeof shown);
        SetDlgItemTextA(dialog, IDC_POPUP_SUBJECT, shown);
        HeaderValueForDisplay(record->date, shown, sizeof shown);
        SetDlgItemTextA(dialog, IDC_POPUP_DATE, shown);
    }

    // Each button hands the focus to the other before it is disabled, so
    // that the one just pressed does not keep it. (A disabled button does
    // not take the focus.)
    HWND prev = GetDlgItem(dialog, IDC_POPUP_PREV);
    HWND next = GetDlgItem(dialog, IDC_POPUP_NEXT);
    if (!MailAt(newList, popupIndex + 1)) {
        SetFocus(prev);
        EnableWindow(next, FALSE);
    } else {
        EnableWindow(next, TRUE);
    }
    if (popupIndex == 0) {
        SetFocus(next);
        EnableWindow(prev, FALSE);
    } else {
        EnableWindow(prev, TRUE);
    }

    char position[kPositionTextSize];
    std::snprintf(position, sizeof position, "%d of %d", popupIndex + 1, ListCount(newList));
    SetDlgItemTextA(dialog, IDC_POPUP_POSITION, position);
}

INT_PTR CALLBACK NewMailProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return Popup_Init(dialog);
    case WM_COMMAND:    return Popup_Command(dialog, LOWORD(wParam));
    case WM_CLOSE:      return Popup_Close(dialog);
    case WM_TIMER:      return Popup_Rescan(dialog);
    case WM_DESTROY:    Popup_Destroy(dialog); return TRUE;
    default:            return FALSE;
    }
}

void OpenPopup()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_NEWMAIL), nullptr, NewMailProc, 0);
}
