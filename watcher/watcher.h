/*
 * Program-wide state and messages of the mail watcher.
 */
#ifndef WATCHER_H
#define WATCHER_H

#include <windows.h>

// Window class of the hidden tray window; other programs of the family and
// a second copy of this program find the running copy by it.
#define MAIL_WINDOW_CLASS "KWMailNotification"

// Posted by a second copy to the running one: put the tray icon back.
constexpr UINT WM_RESETTRAYICON = WM_APP + 0x6A;

extern HINSTANCE appInstance;
// The tray window's handle, recorded by its creation handler once the
// settings are loaded; null before that.
extern HWND trayWindow;

LRESULT CALLBACK MailWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
