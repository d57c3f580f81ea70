/*
 * "KWtipclass": delayed tool tips hooked onto dialog controls.
 */
#include "classes.h"
#include "kwctrl32.h"

int WINAPI InitializeTips(HINSTANCE instance)
{
    // A tip keeps nothing but its title; a hollow background lets it paint
    // everything itself. Failure is not reported: tips are optional.
    RegisterKwClass(instance, {KW_TIP_CLASS, CS_SAVEBITS | CS_BYTEALIGNCLIENT | CS_GLOBALCLASS, DefWindowProcA, 0,
                               0, LoadCursorA(nullptr, IDC_ARROW),
                               static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))});
    return 1;
}
