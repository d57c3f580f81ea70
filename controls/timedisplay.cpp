/*
 * "KWTimeDisplay": the time and date in cyan on a black sunken panel.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI InitTimeDisplay(HINSTANCE instance)
{
    // Index 0 of the extra bytes holds the handle of the window's data block.
    return RegisterKwClass(instance, {KW_TIMEDISPLAY_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DefWindowProcA, 10, 14, LoadCursorA(nullptr, IDC_ARROW),
                                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))});
}
