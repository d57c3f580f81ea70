/*
 * Window and dialog utilities: centring a window on the screen or on another
 * window, moving or resizing it by an offset, the library's fonts, a normal
 * weight font for every control of a dialog, and a bevelled 3-D frame.
 * Every font returned belongs to the caller.
 */
#include <climits>
#include <cstdlib>

#include "chores.h"
#include "kwctrl32.h"

namespace {

// Placement of a window's top-left corner so that its centre lies at the
// centre of reference's client area, offsetY lower. Halves are cut towards
// zero. The corner is in screen coordinates, which suits top-level windows.
int CentreOn(HWND window, HWND reference, int offsetY)
{
    if (!IsWindow(window)) return 0;
    RECT frame;
    RECT client;
    if (!GetWindowRect(window, &frame) || !GetClientRect(reference, &client)) return 0;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    POINT centre = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    if (!ClientToScreen(reference, &centre)) return 0;
    return MoveWindow(window, centre.x - width / 2, centre.y - height / 2 + offsetY, width, height, FALSE);
}

BOOL CALLBACK GiveFont(HWND child, LPARAM font)
{
    SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE; // on to the next child: every one gets the font
}

// The record of the font a dialog draws its controls with: its own, or the
// system font when it has none. False when neither can be read.
bool ReadDialogFont(HWND dialog, LOGFONTA& record)
{
    record = LOGFONTA();
    const HGDIOBJ own = reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (own && GetObjectA(own, sizeof record, &record) > 0) return true;
    record = LOGFONTA();
    return GetObjectA(GetStockObject(SYSTEM_FONT), sizeof record, &record) > 0;
}

// GDI takes 32-bit coordinates; arithmetic on the caller's rectangle is done
// wide and brought back into range so that no depth can overflow it.
int Coord(long long value)
{
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}

// A line from the first point to the last through the others; each LineTo
// leaves out its end point, as the frame's layout relies on.
void Trace(HDC dc, const POINT* points, int count)
{
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    for (int n = 1; n < count; ++n) LineTo(dc, points[n].x, points[n].y);
}

void Line(HDC dc, long long x0, long long y0, long long x1, long long y1)
{
    const POINT points[] = {{Coord(x0), Coord(y0)}, {Coord(x1), Coord(y1)}};
    Trace(dc, points, 2);
}

void Box(HDC dc, long long left, long long top, long long right, long long bottom)
{
    const POINT points[] = {{Coord(left), Coord(top)},     {Coord(right), Coord(top)},
                            {Coord(right), Coord(bottom)}, {Coord(left), Coord(bottom)},
                            {Coord(left), Coord(top)}};
    Trace(dc, points, 5);
}

struct FramePens {
    HPEN outline;
    HPEN upperLeft;
    HPEN lowerRight;
};

// Which pen draws the outline and each band: style 1 sinks the face (dark
// upper-left, white lower-right), style 2 has a white outline, and every
// other value gives a white upper-left band.
FramePens PensForStyle(int style, HPEN black, HPEN white, HPEN darkGrey)
{
    switch (style) {
    case 1: return {black, darkGrey, white};
    case 2: return {white, black, darkGrey};
    default: return {black, white, darkGrey};
    }
}

} // namespace

int WINAPI winCenter(HWND window)
{
    return CentreOn(window, GetDesktopWindow(), 0);
}

int WINAPI cwCenter(HWND window, HWND reference, int offsetY)
{
    return CentreOn(window, reference, offsetY);
}

int WINAPI InflateWnd(HWND window, int widthChange, int heightChange)
{
    RECT frame;
    if (!IsWindow(window) || !GetWindowRect(window, &frame)) return 0;
    return SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + widthChange,
                        frame.bottom - frame.top + heightChange, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int WINAPI MoveWnd(HWND window, int offsetX, int offsetY)
{
    RECT frame;
    if (!IsWindow(window) || !GetWindowRect(window, &frame)) return 0;
    POINT corner = {frame.left, frame.top};
    // Only a child is placed in its parent's client coordinates. GetParent
    // also answers the owner of an owned top-level window, which is still
    // placed on the screen.
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
        const HWND parent = GetParent(window);
        if (parent) ScreenToClient(parent, &corner);
    }
    return SetWindowPos(window, nullptr, corner.x + offsetX, corner.y + offsetY, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT WINAPI GetSmallFont(void)
{
    LOGFONTA record = {};
    record.lfHeight = 15;
    record.lfWidth = 6;
    record.lfWeight = 70;
    record.lfCharSet = ANSI_CHARSET;
    record.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpynA(record.lfFaceName, "MyFont", LF_FACESIZE);
    return CreateFontIndirectA(&record);
}

HFONT WINAPI GetFont(HWND window, int bold)
{
    // A handle that yields no device context falls back to the screen's, so
    // the height is still the 12-point height of a real device.
    HWND dcOwner = window;
    HDC dc = GetDC(dcOwner);
    if (!dc) {
        dcOwner = nullptr;
        dc = GetDC(dcOwner);
    }
    const int dotsPerInch = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    const HFONT font = CreateArialFont(12, dotsPerInch, bold ? 600 : FW_NORMAL);
    if (dc) ReleaseDC(dcOwner, dc);
    return font;
}

HFONT CreateArialFont(int points, int dotsPerInch, int weight)
{
    LOGFONTA record = {};
    record.lfHeight = MulDiv(-points, dotsPerInch, 72);
    record.lfWeight = weight;
    record.lfCharSet = ANSI_CHARSET;
    record.lfOutPrecision = OUT_STRING_PRECIS;
    record.lfClipPrecision = CLIP_STROKE_PRECIS;
    record.lfQuality = DRAFT_QUALITY;
    record.lfPitchAndFamily = 0x1A;
    lstrcpynA(record.lfFaceName, "Arial", LF_FACESIZE);
    return CreateFontIndirectA(&record);
}

HFONT WINAPI SetMyDialogFont(HWND dialog)
{
    LOGFONTA record;
    if (!IsWindow(dialog) || !ReadDialogFont(dialog, record)) return nullptr;
    record.lfWeight = FW_NORMAL;
    const HFONT font = CreateFontIndirectA(&record);
    if (!font) return nullptr;
    // Descendants too; the dialog itself keeps its own font.
    EnumChildWindows(dialog, GiveFont, reinterpret_cast<LPARAM>(font));
    return font;
}

int WINAPI Create3DEffect(HDC dc, LPRECT rect, int depth, int style)
{
    if (!dc || !rect) return 0;
    const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;

    const HPEN darkGrey = CreatePen(PS_SOLID, 1, RGB(150, 150, 150));
    const HPEN lightGrey = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
    const HPEN black = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    const HPEN white = static_cast<HPEN>(GetStockObject(WHITE_PEN));
    const FramePens pens = PensForStyle(style, black, white, darkGrey);

    // Lines further in than the rectangle is wide or high lie wholly
    // outside it, so the loops stop there: a huge depth costs no more than
    // the rectangle's size.
    const long long reach = std::llabs(right - left) > std::llabs(bottom - top) ? std::llabs(right - left)
                                                                               : std::llabs(bottom - top);
    const long long steps = depth < reach + 2 ? depth : reach + 2;

    SelectObject(dc, pens.outline);
    Box(dc, left, top, right, bottom);

    // Face: one light grey rectangle per level, the outermost just inside
    // the outline.
    SelectObject(dc, lightGrey);
    for (long long i = 0; i <= steps; ++i)
        Box(dc, left + 1 + i, top + 1 + i, right - 1 - i, bottom - 1 - i);

    // The upper-left band is one line narrower than the lower-right one.
    SelectObject(dc, pens.upperLeft);
    for (long long j = 0; j <= steps - 3; ++j) {
        Line(dc, left + 1 + j, top + 1 + j, left + 1 + j, bottom - 1);
        Line(dc, left + 1 + j, top + 1 + j, right - 1, top + 1 + j);
    }
    SelectObject(dc, pens.lowerRight);
    for (long long k = 0; k <= steps - 2; ++k) {
        Line(dc, right - 1 - k, bottom - 1 - k, right - 1 - k, top + 1);
        Line(dc, right - 1 - k, bottom - 1 - k, left + 1, bottom - 1 - k);
    }

    // The caller gets the area inside the frame back.
    if (depth >= 0) {
        const long long inset = static_cast<long long>(depth) + 1;
        SetRect(rect, Coord(left + inset), Coord(top + inset), Coord(right - inset), Coord(bottom - inset));
    }

    // The pens are selected out before they go; the context keeps the black
    // stock pen, not the one it had before the call.
    SelectObject(dc, white);
    const bool lightDeleted = lightGrey && DeleteObject(lightGrey);
    SelectObject(dc, black);
    const bool darkDeleted = darkGrey && DeleteObject(darkGrey);
    return lightDeleted && darkDeleted ? 1 : 0;
}
