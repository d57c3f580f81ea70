/*
 * The "New Mail!!" popup: shows the messages of its own list one at a time
 * and, while it is open, has the watcher rescan on the popup's timer in
 * place of the tray window's.
 */
#ifndef POPUP_H
#define POPUP_H

#include <windows.h>

#include <ctime>

#include "mail.h"

// Rescan timer on the popup, period 1000 ms.
constexpr UINT IDT_POPUP = 998;

// What the popup asks of the watcher while it is open.
class PopupHost {
public:
    // Whether a rescan is due: a directory changed, a scan was asked for,
    // or the scan interval has passed since `since`.
    virtual bool RescanDue(std::time_t since) = 0;
    // Scans every mailbox, appending what it finds to list, and shows the
    // new-mail icon and the count on the tray icon.
    virtual void RescanInto(RecordList* list) = 0;
    // The name shown beside a message's position, or null when there is
    // one mailbox (or the message's mailbox is gone).
    virtual const char* ShownMailboxName(MailboxId mailbox) = 0;

protected:
    ~PopupHost() = default;
};

// One popup's state, handed to it through DialogBoxParamA's parameter. A
// popup opened over another has its own.
struct Popup {
    RecordList* list = nullptr;      // the messages it shows; the opener's list
    PopupHost* host = nullptr;       // null: no rescans and no mailbox names
    int index = 0;                   // index in list of the message shown
    HWND previousForeground = nullptr; // foreground window when it opened
    std::time_t scanTime = 0;        // when it last (re)started its timer
    HFONT font = nullptr;            // the controls' font, the popup's to delete
};

// The dialog procedure; WM_INITDIALOG's lParam is the Popup.
INT_PTR CALLBACK NewMailProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the message at the popup's index, enables the step buttons that
// lead to a message and writes the position text "n of m" (with the
// message's mailbox when there are several).
void RefreshPopup(HWND dialog);

// Opens the popup on list, modal and without owner, and returns once it has
// closed; the list stays the caller's.
void OpenPopup(RecordList* list, PopupHost* host);

#endif
