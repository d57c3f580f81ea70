/*
 * "KWBMPButton": a flat push button that shows only an image, raised under
 * the mouse, sunken while pressed or latched.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI InitBMPButtons(HINSTANCE instance)
{
    // The first window long holds the handle of the button's data record.
    return RegisterKwClass(instance, {KW_BMPBUTTON_CLASS, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DefWindowProcA, 10, 10, LoadCursorA(nullptr, IDC_ARROW),
                                      VersionRuleBrush()});
}
