/*
 * "KWStatusClass": a status bar with a status text, an optional count and a
 * clock, built from "SText" panes. The drawing tools (two brushes, a font
 * and the bar height) are library-wide.
 */
#include "classes.h"
#include "kwctrl32.h"

namespace {

struct StatusTools {
    HBRUSH highlight;
    HBRUSH shadow;
    HFONT font;
    int barHeight;
};
StatusTools tools;

int CreateStatusTools()
{
    tools.highlight = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    tools.shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    tools.font = CreateFontA(12, 0, 0, 0, 400, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN | VARIABLE_PITCH, "Helv");
    if (!tools.font) tools.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));

    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, tools.font);
    TEXTMETRICA tm = {};
    GetTextMetricsA(screen, &tm);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    tools.barHeight = tm.tmHeight * 3 / 2;
    return tools.barHeight;
}

} // namespace

int WINAPI statusInit(HINSTANCE instance, int toolsOnly)
{
    CreateStatusTools();
    if (toolsOnly) return 1;

    constexpr UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HBRUSH face = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (!RegisterKwClass(instance, {KW_STATUS_CLASS, style, DefWindowProcA, 0, 0, arrow, face})) return 0;
    if (!RegisterKwClass(instance, {KW_STATUSTEXT_CLASS, style, DefWindowProcA, 0, 0, arrow, face})) return 0;
    return 1;
}
