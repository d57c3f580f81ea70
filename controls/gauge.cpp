/*
 * "KWGasGauge": a progress gauge of blocks with an optional percentage.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI RegisterGasGauge(HINSTANCE instance)
{
    // The gauge always paints on the button face, whatever the platform
    // version; its 26 extra bytes hold the per-window values.
    return RegisterKwClass(instance, {KW_GASGAUGE_CLASS, CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS,
                                      DefWindowProcA, 0, 26, LoadCursorA(nullptr, IDC_ARROW),
                                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
}
