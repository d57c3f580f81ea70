/*
 * "KWDipsWindow": a child window that draws a one-pixel sunken frame around
 * its client area and nothing else.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI InitDips(HINSTANCE instance)
{
    // The extra bytes are reserved; the frame keeps no data of its own.
    return RegisterKwClass(instance, {KW_DIPS_CLASS, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DefWindowProcA, 10, 14, LoadCursorA(nullptr, IDC_ARROW),
                                      VersionRuleBrush()});
}
