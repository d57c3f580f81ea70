/*
 * The served mail client: the watcher never talks to it, it only finds its
 * main window by class and title, restores it, or starts its program file.
 */
#include <windows.h>
#include <shellapi.h>

#include "settings.h"
#include "watcher.h"

void StartClient(HWND owner)
{
    ShellExecuteA(owner, "open", clientProgram, nullptr, nullptr, SW_SHOW);
}

void BringUpClient(HWND owner, bool toForeground)
{
    // Both the class and the title must match: a window with only one of
    // them is somebody else's.
    HWND client = FindWindowA(CLIENT_WINDOW_CLASS, CLIENT_WINDOW_TITLE);
    if (!client) {
        StartClient(owner);
        return;
    }
    if (IsIconic(client)) ShowWindow(client, SW_RESTORE);
    if (toForeground) SetForegroundWindow(client);
}
