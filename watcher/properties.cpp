/*
 * The "Mail Notification Properties" dialog, where the user changes the
 * watcher's settings. For now it only closes: OK and Cancel end it.
 */
#include "settings.h"

INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
