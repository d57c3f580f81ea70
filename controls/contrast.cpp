/*
 * Whether the library paints in a high-contrast scheme's colours.
 */
#include "contrast.h"

bool KwHighContrast()
{
    if (FindAtomA(kKwHighContrastAtom)) return true;
    HIGHCONTRASTA scheme = {};
    scheme.cbSize = sizeof scheme;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof scheme, &scheme, 0) &&
           (scheme.dwFlags & HCF_HIGHCONTRASTON);
}

COLORREF KwSchemeColour(COLORREF designed, int index)
{
    return KwHighContrast() ? GetSysColor(index) : designed;
}

bool KwColoursMayHaveChanged(UINT message)
{
    return message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE;
}
