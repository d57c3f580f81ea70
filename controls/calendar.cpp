/*
 * "KWCalendarWindow": a month calendar, with its month/year bar
 * "KWCalendarWindowChanger" across the top.
 */
#include "classes.h"
#include "kwctrl32.h"

namespace {
// The calendar creates its bar under the module that registered the classes.
HINSTANCE calendarInstance;
} // namespace

ATOM InitCalendar(HINSTANCE instance)
{
    calendarInstance = instance;
    constexpr UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    // The calendar's brush never shows, since it erases its background
    // itself; only the bar's registration decides the result.
    RegisterKwClass(instance, {KW_CALENDAR_CLASS, style, DefWindowProcA, 0, 4, LoadCursorA(nullptr, IDC_CROSS),
                               reinterpret_cast<HBRUSH>(COLOR_MENU + 1)});
    return RegisterKwClass(instance, {KW_CALENDARBAR_CLASS, style, DefWindowProcA, 0, 4,
                                      LoadCursorA(nullptr, IDC_ARROW), VersionRuleBrush()});
}
