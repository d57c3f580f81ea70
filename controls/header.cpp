/*
 * "KWPSS_SLIDER": a strip of column captions whose dividers the user drags.
 */
#include "classes.h"
#include "kwctrl32.h"

namespace {
// Every new header loads its "MOVING" cursor from the registering module.
HINSTANCE headerInstance;
} // namespace

ATOM WINAPI RegisterHeader(HINSTANCE instance)
{
    headerInstance = instance;
    // No class cursor: the header chooses one itself on every mouse move.
    return RegisterKwClass(instance, {KW_HEADER_CLASS,
                                      CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_BYTEALIGNCLIENT |
                                          CS_BYTEALIGNWINDOW | CS_GLOBALCLASS,
                                      DefWindowProcA, 0, 4, nullptr, VersionRuleBrush()});
}
