/*
 * Colours in a high-contrast scheme. Outside one, each control paints with
 * the colours it was designed with (some fixed, named as constants in its
 * file, some the system's); while the user runs a high-contrast scheme,
 * every colour a control paints with is one of the system's, which the
 * scheme chooses. Controls ask at every paint, so a change of scheme shows
 * at the next one (they repaint on WM_SYSCOLORCHANGE and WM_SETTINGCHANGE).
 */
#ifndef KW_CONTRAST_H
#define KW_CONTRAST_H

#include <windows.h>

// Whether a high-contrast scheme is on: SPI_GETHIGHCONTRAST, or the
// process's override. The override is the local atom named below: while
// the process's atom table holds it, the library paints as in a
// high-contrast scheme. It lets a test, or the gallery, show that look on
// a system (such as Wine) that never reports the scheme.
constexpr const char* kKwHighContrastAtom = "KWCTRL32 high contrast";
bool KwHighContrast();

// `designed` outside a high-contrast scheme, the system colour `index` in
// one.
COLORREF KwSchemeColour(COLORREF designed, int index);

// True for the messages after which a control's colours may have changed:
// WM_SYSCOLORCHANGE and WM_SETTINGCHANGE.
bool KwColoursMayHaveChanged(UINT message);

#endif
