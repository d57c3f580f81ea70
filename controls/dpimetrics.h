/*
 * Pixel metrics at the DPI of a window. The library's controls and the
 * family's programs keep their 96-DPI numbers as named constants and scale
 * them here at the point of use, so at 96 DPI nothing changes and at 150%
 * or 200% every margin, edge and font grows with the text around it.
 */
#ifndef KW_DPIMETRICS_H
#define KW_DPIMETRICS_H

#include <windows.h>

constexpr UINT kKwBaseDpi = 96;

// Sent to a top-level window whose DPI changed (lParam: the suggested
// window rectangle) and, after it, to each of its children.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// The DPI of window: GetDpiForWindow where the system has it (Windows 10
// 1607 and later, Wine), else the screen's vertical LOGPIXELSY. A null
// window gives the screen's.
UINT KwWindowDpi(HWND window);

// The screen's DPI (LOGPIXELSY of the display), which the system gives
// every window on systems without per-window DPI.
UINT KwScreenDpi();

// value, a 96-DPI pixel count, at dpi (rounded to nearest; 0 stays 0, a
// non-zero value never scales to 0).
int KwScale(int value, UINT dpi);

// A system metric (SM_CXSMICON, SM_CXEDGE, ...) at dpi:
// GetSystemMetricsForDpi where the system has it, else the metric at the
// screen's DPI scaled to dpi.
int KwSystemMetric(int index, UINT dpi);

// Moves and sizes a top-level window to the rectangle that WM_DPICHANGED
// suggests (nothing when there is none).
void KwTakeSuggestedRect(HWND window, const RECT* suggested);

#endif
