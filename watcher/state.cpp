/*
 * Program-wide state shared by the watcher's modules.
 */
#include "watcher.h"

HINSTANCE appInstance;
HWND trayWindow;
bool scanWanted;
