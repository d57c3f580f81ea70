/*
 * The "New Mail!!" popup. It shows the messages of its list one at a time
 * (sender, subject, date), steps through them with "<< &Prev" and
 * "&Next >>", brings up the mail client with "&CMail", and, while open,
 * has the watcher rescan on its own timer because the tray window has
 * stopped its scanning for as long as the popup runs.
 *
 * The rescan only appends to the popup's list: a message the client takes
 * in while the popup is open stays listed until the popup closes. The popup
 * plays no sound; mail that arrives meanwhile is known by then and is not
 * announced again. Like the tray window's tick, the rescan does not wait
 * for the interval when a mail directory has signalled a change or a scan
 * was asked for (the machine resumed).
 */
#include <cstdio>

#include "charstep.h"
#include "display.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "mail.h"
#include "popup.h"
#include "resource.h"
#include "watcher.h"

namespace {

constexpr UINT kRescanPeriodMs = 1000;
// "%d of %d" with two numbers of at most 11 characters each, " - " and a
// mailbox's name.
constexpr int kPositionTextSize = 32 + 256;

Popup* PopupOf(HWND dialog)
{
    return reinterpret_cast<Popup*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void StartRescanTimer(HWND dialog, Popup& popup)
{
    SetTimer(dialog, IDT_POPUP, kRescanPeriodMs, nullptr);
    popup.scanTime = std::time(nullptr);
}

// The normal-weight font that the controls use belongs to the popup, and
// is deleted when the dialog is destroyed, since every control uses it
// until then.
void DeletePopupFont(Popup& popup)
{
    if (popup.font) DeleteObject(popup.font);
    popup.font = nullptr;
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
    if (Popup* popup = PopupOf(dialog)) DeletePopupFont(*popup);
    ReleasePopupIcons(dialog);
}

INT_PTR Popup_Init(HWND dialog, Popup* popup)
{
    // A popup opened without its state has nothing to show.
    static Popup none;
    if (!popup) popup = &none;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(popup));
    // Taken first: giving the focus to a control below activates the
    // popup, which would then find itself in the foreground.
    popup->previousForeground = GetForegroundWindow();
    winCenter(dialog);
    popup->index = 0;
    // With nothing to show the popup ends as soon as the initialisation is
    // over; the rest still runs, on a window that is never shown.
    if (ListCount(popup->list) == 0) EndDialog(dialog, 1);
    SetFocus(GetDlgItem(dialog, IDOK));
    popup->font = SetMyDialogFont(dialog);
    RefreshPopup(dialog);
    // After the texts: loading icons at the DPI's sizes takes a moment,
    // and whoever finds the new popup reads its texts at once.
    SetPopupIcons(dialog);
    SetForegroundWindow(dialog);
    StartRescanTimer(dialog, *popup);
    return TRUE;
}

void Popup_Prev(HWND dialog)
{
    Popup* popup = PopupOf(dialog);
    if (popup->index > 0) --popup->index;
    RefreshPopup(dialog);
}

void Popup_Next(HWND dialog)
{
    Popup* popup = PopupOf(dialog);
    if (popup->index + 1 < ListCount(popup->list)) ++popup->index;
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
    const HWND previous = PopupOf(dialog)->previousForeground;
    if (IsWindow(previous)) SetForegroundWindow(previous);
    EndDialog(dialog, 1);
    return TRUE;
}

INT_PTR Popup_Rescan(HWND dialog)
{
    Popup* popup = PopupOf(dialog);
    if (!popup || !popup->host || !popup->host->RescanDue(popup->scanTime)) return TRUE;
    // No tick may arrive while the scan lets messages through.
    KillTimer(dialog, IDT_POPUP);
    popup->host->RescanInto(popup->list);
    // The scan dispatched messages; the popup may have gone meanwhile.
    if (!IsWindow(dialog)) return TRUE;
    RefreshPopup(dialog);
    StartRescanTimer(dialog, *popup);
    return TRUE;
}

} // namespace

void RefreshPopup(HWND dialog)
{
    Popup* popup = PopupOf(dialog);
    if (!popup) return;
    const MailItem* record = MailAt(popup->list, popup->index);
    if (record) {
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
    if (!MailAt(popup->list, popup->index + 1)) {
        SetFocus(prev);
        EnableWindow(next, FALSE);
    } else {
        EnableWindow(next, TRUE);
    }
    if (popup->index == 0) {
        SetFocus(next);
        EnableWindow(prev, FALSE);
    } else {
        EnableWindow(prev, TRUE);
    }

    // With several mailboxes the position names the message's: "2 of 5 -
    // Work".
    char position[kPositionTextSize];
    const int length =
        std::snprintf(position, sizeof position, "%d of %d", popup->index + 1, ListCount(popup->list));
    const char* mailbox = record && popup->host ? popup->host->ShownMailboxName(record->mailbox) : nullptr;
    if (mailbox && length > 0 && length + 3 < kPositionTextSize) {
        std::snprintf(position + length, sizeof position - length, " - ");
        KwCopyWhole(position + length + 3, mailbox, kPositionTextSize - length - 3);
    }
    SetDlgItemTextA(dialog, IDC_POPUP_POSITION, position);
}

INT_PTR CALLBACK NewMailProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return Popup_Init(dialog, reinterpret_cast<Popup*>(lParam));
    case WM_COMMAND:    return Popup_Command(dialog, LOWORD(wParam));
    case WM_CLOSE:      return Popup_Close(dialog);
    case WM_TIMER:      return Popup_Rescan(dialog);
    case WM_DESTROY:    Popup_Destroy(dialog); return TRUE;
    default:            return FALSE;
    }
}

void OpenPopup(RecordList* list, PopupHost* host)
{
    Popup popup;
    popup.list = list;
    popup.host = host;
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_NEWMAIL), nullptr, NewMailProc,
                    reinterpret_cast<LPARAM>(&popup));
}
