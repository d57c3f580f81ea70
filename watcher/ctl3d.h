/*
 * The Windows 3-D controls library, bound by ordinal only (12, 16, 13).
 *
 * The library exists for 32-bit programs only; every 64-bit Windows draws
 * its controls in 3-D itself. The 64-bit watcher binds nothing, and the
 * three calls do nothing there.
 */
#ifndef CTL3D_H
#define CTL3D_H

#include <windows.h>

#ifdef _WIN64
inline BOOL Ctl3dRegister(HINSTANCE) { return TRUE; }
inline BOOL Ctl3dAutoSubclass(HINSTANCE) { return TRUE; }
inline BOOL Ctl3dUnregister(HINSTANCE) { return TRUE; }
#else
extern "C" {
BOOL WINAPI Ctl3dRegister(HINSTANCE instance);
BOOL WINAPI Ctl3dAutoSubclass(HINSTANCE instance);
BOOL WINAPI Ctl3dUnregister(HINSTANCE instance);
}
#endif

#endif
