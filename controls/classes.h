/*
 * Registration chores shared by every window class of the library.
 */
#ifndef KW_CLASSES_H
#define KW_CLASSES_H

#include <windows.h>

/* The background brush of most classes depends on the platform version:
   below 3.95 the window colour, from it on the button face. */
HBRUSH VersionRuleBrush();

struct KwClass {
    const char* name;
    UINT style;
    WNDPROC proc;
    int classExtra;
    int windowExtra;
    HCURSOR cursor;
    HBRUSH background;
};

/* Registers one class under the given instance; returns the atom or 0. */
ATOM RegisterKwClass(HINSTANCE instance, const KwClass& cls);

/* Registers the calendar and its month/year bar; returns the bar's atom or 0.
   Library-internal: only InitControls calls it. */
ATOM InitCalendar(HINSTANCE instance);

#endif
