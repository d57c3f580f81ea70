/*
 * Shutlet: closes the family's tray programs, found by their window classes.
 */
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
