/*
 * The hidden tray window: the watcher's centre. It lives as long as the
 * program does; closing it ends the message loop.
 */
#include "settings.h"
#include "watcher.h"

namespace {

LRESULT OnCreate(HWND window)
{
    // The settings come first: a missing path opens the Properties dialog
    // before anything else happens. Until the handle is recorded, signals
    // from a second copy are ignored.
    LoadSettings();
    trayWindow = window;
    return 0;
}

LRESULT OnClose(HWND window)
{
    DestroyWindow(window);
    return 0;
}

} // namespace

LRESULT CALLBACK MailWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:  return OnCreate(window);
    case WM_CLOSE:   return OnClose(window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default:         return DefWindowProcA(window, message, wParam, lParam);
    }
}
