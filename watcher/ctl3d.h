/*
 * The Windows 3-D controls library, bound by ordinal only (12, 16, 13).
 */
#ifndef CTL3D_H
#define CTL3D_H

#include <windows.h>

extern "C" {
BOOL WINAPI Ctl3dRegister(HINSTANCE instance);
BOOL WINAPI Ctl3dAutoSubclass(HINSTANCE instance);
BOOL WINAPI Ctl3dUnregister(HINSTANCE instance);
}

#endif
