/*
 * "KWURLWindow": a child control that shows a web link as underlined text,
 * opens it on a click and copies it from a context menu.
 */
#include "classes.h"
#include "kwctrl32.h"

ATOM WINAPI InitURL(HINSTANCE instance)
{
    // The hand cursor comes from the registering module: an application
    // that passes its own instance must carry "IDC_HAND" itself.
    return RegisterKwClass(instance, {KW_URL_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DefWindowProcA, 5, 15, LoadCursorA(instance, "IDC_HAND"),
                                      VersionRuleBrush()});
}
