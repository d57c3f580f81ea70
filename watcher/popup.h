/*
 * The "New Mail!!" popup: shows the records of newList one at a time and,
 * while it is open, rescans the mail directory on its own timer in place of
 * the tray window's.
 */
#ifndef POPUP_H
#define POPUP_H

#include <windows.h>

#include <ctime>

// Rescan timer on the popup, period 1000 ms.
constexpr UINT IDT_POPUP = 998;

// Popup state. Program-wide, not per window: a popup opened from the tray
// menu over another one shares it (and newList) with the first.
extern int popupIndex;              // index in newList of the record shown
extern HWND previousForeground;     // foreground window when the popup opened
extern std::time_t popupScanTime;   // when the popup last (re)started its timer

INT_PTR CALLBACK NewMailProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the record at popupIndex, enables the step buttons that lead to a
// record and writes the position text "n of m".
void RefreshPopup(HWND dialog);

// Opens the popup, modal and without owner, and returns once it has closed.
void OpenPopup();

#endif
