/*
 * "KWBumpsWindow": a decorative grip panel with a raised frame and two
 * ridges.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI InitBumps(HINSTANCE instance)
{
    return RegisterKwClass(instance, {KW_BUMPS_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DefWindowProcA, 10, 14, LoadCursorA(nullptr, IDC_ARROW),
                                      VersionRuleBrush()});
}
