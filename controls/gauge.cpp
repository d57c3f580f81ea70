/*
 * "KWGasGauge": a progress gauge, a sunken frame holding a row of blocks of
 * which the share matching position / range is lit, optionally with the
 * percentage printed at the right. The owner drives it by GGM_* messages or
 * GGC_* commands; the gauge sends nothing back.
 */
#include <algorithm>
#include <cstdio>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

// Offsets of the per-window values in the window's 26 extra bytes.
constexpr int kRange = 0;       // DWORD: the position that means full
constexpr int kPosition = 4;    // DWORD: kept at or below the range
constexpr int kHeight = 8;      // WORD: bottom of the frame, from WM_SIZE
constexpr int kBackColour = 10; // COLORREF
constexpr int kBarColour = 14;  // COLORREF
constexpr int kFlags = 18;      // DWORD: GGF_PERCENT shows the percentage
constexpr int kColoursSet = 22; // DWORD: which stored colours the owner set
constexpr int kExtraBytes = 26;

constexpr DWORD kBarColourSet = 1;
constexpr DWORD kBackColourSet = 2;

// Pixels at 96 DPI: the percentage's column right of the frame, the text's
// width and margin in it, and the gap before each block.
constexpr int kPercentColumn = 30;
constexpr int kPercentWidth = 20;
constexpr int kPercentMargin = 2;
constexpr int kBlockGap = 2;

// One font for every gauge of the process, made from the parent's font at
// each creation and resize. Paints select it only for their own length, so
// replacing it between paints is safe; it is deleted with the last gauge,
// never while another gauge may still paint with it.
HFONT gaugeFont = nullptr;
int liveGauges = 0;

struct GaugeData {
    DWORD range;
    DWORD position;
    int height;
    COLORREF backColour;
    COLORREF barColour;
    DWORD flags;
    DWORD coloursSet;
};

GaugeData ReadData(HWND gauge)
{
    GaugeData d;
    d.range = static_cast<DWORD>(GetWindowLongA(gauge, kRange));
    d.position = static_cast<DWORD>(GetWindowLongA(gauge, kPosition));
    d.height = static_cast<WORD>(GetWindowWord(gauge, kHeight));
    d.backColour = static_cast<COLORREF>(GetWindowLongA(gauge, kBackColour));
    d.barColour = static_cast<COLORREF>(GetWindowLongA(gauge, kBarColour));
    d.flags = static_cast<DWORD>(GetWindowLongA(gauge, kFlags));
    d.coloursSet = static_cast<DWORD>(GetWindowLongA(gauge, kColoursSet));
    return d;
}

void SetLong(HWND gauge, int offset, DWORD value)
{
    SetWindowLongA(gauge, offset, static_cast<LONG>(value));
}

void Repaint(HWND gauge)
{
    InvalidateRect(gauge, nullptr, FALSE);
}

// position * 100 / range, truncated and capped at 100; a range of 0 counts
// any position as full. Worked in 64 bits so that large ranges give the
// true share instead of a wrapped product.
int Percentage(const GaugeData& d)
{
    const unsigned long long scaled = static_cast<unsigned long long>(d.position) * 100;
    const unsigned long long p = d.range ? scaled / d.range : scaled;
    return p > 100 ? 100 : static_cast<int>(p);
}

// Stores range and position with the position pulled down to the range;
// a screen reader hears of a change of the percentage shown.
void StoreRangeAndPosition(HWND gauge, DWORD range, DWORD position)
{
    const int before = Percentage(ReadData(gauge));
    SetLong(gauge, kRange, range);
    SetLong(gauge, kPosition, position > range ? range : position);
    Repaint(gauge);
    if (Percentage(ReadData(gauge)) != before) KwRaiseEvent(gauge, EVENT_OBJECT_VALUECHANGE);
}

HFONT MakeGaugeFont(HWND gauge, int height)
{
    HWND parent = GetParent(gauge);
    if (!parent) return nullptr;
    const int cellHeight = 3 * height / 4;
    HFONT parentFont = reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
    LOGFONTA record = {};
    if (parentFont && GetObjectA(parentFont, sizeof record, &record)) {
        record.lfHeight = cellHeight;
        record.lfWidth = 0;
        return CreateFontIndirectA(&record);
    }
    return CreateFontA(cellHeight, 0, 0, 0, FW_EXTRALIGHT, FALSE, FALSE, FALSE, 0, 0, 0, 0,
                       FF_SWISS | VARIABLE_PITCH, "");
}

void ReplaceGaugeFont(HWND gauge, int height)
{
    HFONT made = MakeGaugeFont(gauge, height);
    if (gaugeFont) DeleteObject(gaugeFont);
    gaugeFont = made;
}

void Gauge_Create(HWND gauge, const CREATESTRUCTA* cs)
{
    ++liveGauges;
    SetLong(gauge, kRange, 100);
    SetLong(gauge, kPosition, 0);
    SetWindowWord(gauge, kHeight, static_cast<WORD>(cs->cy));
    SetLong(gauge, kBackColour, GetSysColor(COLOR_WINDOW));
    SetLong(gauge, kBarColour, GetSysColor(COLOR_HIGHLIGHT));
    SetLong(gauge, kFlags, 3);
    SetLong(gauge, kColoursSet, 0);
    ReplaceGaugeFont(gauge, static_cast<WORD>(cs->cy));
}

void Gauge_Size(HWND gauge, int height)
{
    SetWindowWord(gauge, kHeight, static_cast<WORD>(height));
    ReplaceGaugeFont(gauge, static_cast<WORD>(height));
}

void Gauge_Destroy()
{
    if (liveGauges > 0) --liveGauges;
    if (liveGauges == 0 && gaugeFont) {
        DeleteObject(gaugeFont);
        gaugeFont = nullptr;
    }
}

void Gauge_SetRange(HWND gauge, DWORD range)
{
    StoreRangeAndPosition(gauge, range, ReadData(gauge).position);
}

void Gauge_AddRange(HWND gauge, DWORD amount)
{
    const GaugeData d = ReadData(gauge);
    StoreRangeAndPosition(gauge, d.range + amount, d.position);
}

void Gauge_SetPos(HWND gauge, DWORD position)
{
    StoreRangeAndPosition(gauge, ReadData(gauge).range, position);
}

// The sum wraps in 32 bits: a "negative" amount larger than the position
// gives a huge sum, which the clamp turns into a full gauge.
void Gauge_Advance(HWND gauge, DWORD amount)
{
    const GaugeData d = ReadData(gauge);
    StoreRangeAndPosition(gauge, d.range, d.position + amount);
}

void Gauge_SetColour(HWND gauge, int offset, DWORD setBit, COLORREF colour)
{
    SetLong(gauge, offset, colour);
    SetLong(gauge, kColoursSet, ReadData(gauge).coloursSet | setBit);
    Repaint(gauge);
}

void Gauge_Command(HWND gauge, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case GGC_SETBARCOLOR: Gauge_SetColour(gauge, kBarColour, kBarColourSet, static_cast<COLORREF>(lParam)); break;
    case GGC_SETBKCOLOR: Gauge_SetColour(gauge, kBackColour, kBackColourSet, static_cast<COLORREF>(lParam)); break;
    case GGC_SETRANGE: Gauge_SetRange(gauge, HIWORD(lParam)); break;
    // The whole of lParam: ranges past 65535 are reachable by GGM_ADDRANGE
    // and GGM_ADVANCE, so the command can address every position.
    case GGC_SETPOS: Gauge_SetPos(gauge, static_cast<DWORD>(lParam)); break;
    case GGC_SETFLAGS: SetLong(gauge, kFlags, static_cast<DWORD>(lParam)); break;
    default: break;
    }
}

// Draws two connected lines with a one-pixel pen of a system colour.
void Polyline3(HDC dc, int colourIndex, POINT from, POINT via, POINT to)
{
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(colourIndex));
    {
        SelectedObject selected(dc, pen);
        MoveToEx(dc, from.x, from.y, nullptr);
        LineTo(dc, via.x, via.y);
        LineTo(dc, to.x, to.y);
    }
    DeleteObject(pen);
}

// A sunken frame: shadow on the left and top, highlight at the bottom and
// on the right.
void PaintFrame(HDC dc, int left, int right, int bottom)
{
    Polyline3(dc, COLOR_BTNSHADOW, {left, bottom}, {left, 0}, {right, 0});
    Polyline3(dc, COLOR_BTNHIGHLIGHT, {left, bottom}, {right - 1, bottom}, {right - 1, 0});
}

void FillBlock(HDC dc, const RECT& block, COLORREF colour)
{
    const COLORREF old = SetBkColor(dc, colour);
    KwFillOpaque(dc, &block);
    SetBkColor(dc, old);
}

// Blocks two thirds of the bar's height wide with 2-pixel gaps; those
// starting within the lit width take the bar colour, the rest up to the
// bar's end the background colour. Every block is cut at the bar's right
// edge.
void PaintBlocks(HDC dc, const RECT& bar, int percent, COLORREF lit, COLORREF unlit, UINT dpi)
{
    const int gap = KwScale(kBlockGap, dpi);
    const int barWidth = bar.right - bar.left;
    const int litWidth = barWidth * percent / 100;
    const int blockWidth = 2 * (bar.bottom - bar.top) / 3;
    // A gauge too low for a block would otherwise loop without advancing.
    if (blockWidth <= 0) return;

    for (int offset = gap; offset <= barWidth; offset += blockWidth + gap) {
        RECT block = {bar.left + offset, bar.top, bar.left + offset + blockWidth, bar.bottom};
        if (block.left > bar.right) block.left = bar.right;
        if (block.right > bar.right) block.right = bar.right;
        FillBlock(dc, block, offset <= litWidth ? lit : unlit);
    }
}

// "42%", as the gauge prints and a screen reader reads it.
void FormatPercent(int percent, char (&label)[8])
{
    snprintf(label, sizeof label, "%d%%", percent);
}

// The percentage as printed, and the width of the column right of the
// frame that holds it: 30 pixels at 96 DPI, more where the label in the
// gauge's font needs more than the column's 26 inside its margins. The font
// follows the parent's, which need not keep to the 96-DPI proportions, so
// at larger DPIs a label can outgrow its place; the column then widens and
// the bar shortens, and the label always stands whole.
struct PercentLabel {
    char text[8];
    int width;  // the text's, at least the 20 pixels set aside for it
    int column; // the column's
};

PercentLabel MeasurePercentage(HDC dc, int percent, UINT dpi)
{
    PercentLabel label;
    FormatPercent(percent, label.text);
    SelectedObject font(dc, gaugeFont);
    SIZE extent = {};
    KwTextExtent(dc, label.text, -1, &extent);
    label.width = std::max(static_cast<int>(extent.cx), KwScale(kPercentWidth, dpi));
    label.column = std::max(KwScale(kPercentColumn, dpi), label.width + 2 * KwScale(kPercentMargin, dpi));
    return label;
}

void PaintPercentage(HDC dc, const RECT& client, const PercentLabel& label, UINT dpi)
{
    SelectedObject font(dc, gaugeFont);
    const int margin = KwScale(kPercentMargin, dpi);
    RECT text = {client.right - margin - label.width, margin, client.right - margin, client.bottom - margin};
    // A repaint does not erase, and the opaque text fills only its own
    // cells: clear the whole column right of the frame first, or a shorter
    // percentage leaves digits of the longer one standing ("100%", then 40,
    // would read "140%").
    const RECT column = {client.right - label.column, 0, client.right, client.bottom};
    KwFillOpaque(dc, &column);
    const int oldMode = SetBkMode(dc, OPAQUE);
    const COLORREF oldInk = SetTextColor(dc, KwSchemeColour(GetTextColor(dc), COLOR_BTNTEXT));
    KwDrawText(dc, label.text, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldInk);
    SetBkMode(dc, oldMode);
}

void Gauge_Paint(HWND gauge, HDC dc)
{
    const GaugeData d = ReadData(gauge);
    const int percent = Percentage(d);
    const UINT dpi = KwWindowDpi(gauge);
    RECT client;
    GetClientRect(gauge, &client);
    const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));

    const int inset = KwScale(kBlockGap, dpi);
    RECT bar = {inset, inset, client.right - inset, client.bottom - inset};
    if (d.flags & GGF_PERCENT) {
        const PercentLabel label = MeasurePercentage(dc, percent, dpi);
        PaintFrame(dc, 0, client.right - label.column, d.height - 1);
        PaintPercentage(dc, client, label, dpi);
        bar.right -= label.column;
    } else {
        PaintFrame(dc, 0, client.right, d.height - 1);
    }

    // Until the owner sets a colour the blocks follow the system colours.
    // In a high-contrast scheme the scheme's colours replace the owner's.
    const bool contrast = KwHighContrast();
    const COLORREF lit =
        !contrast && (d.coloursSet & kBarColourSet) ? d.barColour : GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF unlit = contrast                           ? GetSysColor(COLOR_WINDOW)
                           : (d.coloursSet & kBackColourSet) ? d.backColour
                                                             : GetSysColor(COLOR_BTNFACE);
    PaintBlocks(dc, bar, percent, lit, unlit, dpi);

    SetBkColor(dc, oldBack);
}

// A progress bar named by its window text, whose value is the percentage
// it shows.
void Gauge_Value(HWND gauge, LONG, std::string& text)
{
    char label[8];
    FormatPercent(Percentage(ReadData(gauge)), label);
    text = label;
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_PROGRESSBAR, KwWindowTextName, Gauge_Value, KwReadOnlyState};

LRESULT CALLBACK GaugeProc(HWND gauge, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: Gauge_Create(gauge, reinterpret_cast<CREATESTRUCTA*>(lParam)); return 1;
    case WM_SIZE: Gauge_Size(gauge, HIWORD(lParam)); return 1;
    case WM_PAINT: PaintWindow(gauge, Gauge_Paint); return 1;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_DESTROY: Gauge_Destroy(); break;
    case WM_NCDESTROY: KwForgetAccessible(gauge); break;
    case WM_GETOBJECT: return KwAnswerGetObject(gauge, wParam, lParam, kAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: Repaint(gauge); break;
    // The font follows the cell height, which the parent sets for the DPI;
    // it is made again in case the parent's font changed with it.
    case WM_DPICHANGED_AFTERPARENT: ReplaceGaugeFont(gauge, ReadData(gauge).height); Repaint(gauge); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(gaugeFont);
    case WM_COMMAND: Gauge_Command(gauge, wParam, lParam); return 1;
    case GGM_SETRANGE: Gauge_SetRange(gauge, HIWORD(lParam)); return 1;
    case GGM_SETPOS: Gauge_SetPos(gauge, LOWORD(wParam)); return 1;
    case GGM_ADVANCE: Gauge_Advance(gauge, static_cast<DWORD>(lParam)); return 1;
    case GGM_SETFLAGS: SetLong(gauge, kFlags, static_cast<DWORD>(lParam)); return 1;
    case GGM_ADDRANGE: Gauge_AddRange(gauge, static_cast<DWORD>(lParam)); return 1;
    default: break;
    }
    return DefWindowProcA(gauge, msg, wParam, lParam);
}

} // namespace

ATOM WINAPI RegisterGasGauge(HINSTANCE instance)
{
    // The gauge always paints on the button face, whatever the platform
    // version.
    return RegisterKwClass(instance, {KW_GASGAUGE_CLASS, CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS, GaugeProc, 0,
                                      kExtraBytes, LoadCursorA(nullptr, IDC_ARROW),
                                      reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
}
