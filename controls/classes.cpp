/*
 * Registration chores shared by every window class of the library.
 */
#include "classes.h"

HBRUSH VersionRuleBrush()
{
    // The low word of GetVersion holds the major version in its low byte
    // and the minor version in its high byte.
    const DWORD version = GetVersion();
    const UINT majorMinor = (LOBYTE(LOWORD(version)) << 8) | HIBYTE(LOWORD(version));
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(
        majorMinor < 0x035F ? COLOR_WINDOW + 1 : COLOR_BTNFACE + 1));
}

ATOM RegisterKwClass(HINSTANCE instance, const KwClass& cls)
{
    WNDCLASSA wc = {};
    wc.style = cls.style;
    wc.lpfnWndProc = cls.proc;
    wc.cbClsExtra = cls.classExtra;
    wc.cbWndExtra = cls.windowExtra;
    wc.hInstance = instance;
    wc.hCursor = cls.cursor;
    wc.hbrBackground = cls.background;
    wc.lpszClassName = cls.name;
    return RegisterClassA(&wc);
}
