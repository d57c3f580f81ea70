/*
 * The program's instance and its tray window, which every module may need.
 */
#include "watcher.h"

HINSTANCE appInstance;
HWND trayWindow;
