/*
 * "KWTimeDisplay": the moment the window was created, in big cyan digits
 * (hours, minutes, am or pm) over a smaller red date line, on a black panel
 * inside a sunken frame. The moment is never updated; command messages go
 * on to the parent. In a high-contrast scheme it paints in the window
 * colours instead; a screen reader reads it as a static text.
 */
#include <cstdio>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

// Everything a panel owns; one movable global block whose handle lives at
// index 0 of the window's extra bytes.
struct TimeDisplayData {
    SYSTEMTIME moment; // local time at creation
    HFONT timeFont;
    HFONT dateFont;
};

const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

const COLORREF kTimeColor = RGB(0, 255, 255);
const COLORREF kDateColor = RGB(255, 0, 0);
const COLORREF kGround = RGB(0, 0, 0);

// Font heights and the date line's distance from the bottom, in pixels at
// 96 DPI.
constexpr int kTimeHeight = 36;
constexpr int kDateHeight = 14;
constexpr int kDateBottom = 10;

HGLOBAL DataHandle(HWND hwnd)
{
    return reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(hwnd, 0));
}

// Locks a movable global block for the lifetime of the guard.
using LockedData = LockedWindowBlock<TimeDisplayData>;

// A variable-pitch sans-serif face two thirds as wide as it is high; if
// "MyFont" is missing, the font mapper picks the nearest such face.
HFONT MakeFont(int height, bool bold)
{
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWidth = 2 * height / 3;
    font.lfWeight = bold ? 850 : 600;
    font.lfPitchAndFamily = FF_SWISS | VARIABLE_PITCH;
    lstrcpynA(font.lfFaceName, "MyFont", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// "12:05am", "11:59pm", " 9:07am": midnight and noon show as 12.
void FormatTime(const SYSTEMTIME& moment, char* text, size_t size)
{
    const int hour = moment.wHour % 12 == 0 ? 12 : moment.wHour % 12;
    snprintf(text, size, "%2d:%02d%s", hour, moment.wMinute, moment.wHour < 12 ? "am" : "pm");
}

// "Monday 7 December 2026".
void FormatDate(const SYSTEMTIME& moment, char* text, size_t size)
{
    const char* weekday = moment.wDayOfWeek < 7 ? kWeekdays[moment.wDayOfWeek] : "";
    const char* month = moment.wMonth >= 1 && moment.wMonth <= 12 ? kMonths[moment.wMonth - 1] : "";
    snprintf(text, size, "%s %d %s %d", weekday, moment.wDay, month, moment.wYear);
}

SIZE TextSize(HDC dc, const char* text)
{
    SIZE size = {};
    KwTextExtent(dc, text, -1, &size);
    return size;
}

// Draws a line of the given size centred across the panel with its top at
// y, clipped to `clip`.
void DrawCentred(HDC dc, const char* text, SIZE size, int width, int y, const RECT& clip)
{
    KwTextOut(dc, (width - size.cx) / 2, y, ETO_CLIPPED, &clip, text);
}

void DrawSunkenFrame(HDC dc, int width, int height)
{
    {
        SelectedPen shadow(dc, GetSysColor(COLOR_BTNSHADOW));
        MoveToEx(dc, 0, height, nullptr);
        LineTo(dc, 0, 0);
        LineTo(dc, width, 0);
    }
    SelectedPen highlight(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    MoveToEx(dc, width - 1, 0, nullptr);
    LineTo(dc, width - 1, height - 1);
    LineTo(dc, 0, height - 1);
}

void TimeDisplay_Draw(const TimeDisplayData& data, HDC dc, const RECT& client, UINT dpi)
{
    const int width = client.right;
    const int height = client.bottom;
    const int split = 2 * height / 3;

    SetTextColor(dc, KwSchemeColour(kTimeColor, COLOR_WINDOWTEXT));
    SetBkColor(dc, KwSchemeColour(kGround, COLOR_WINDOW));
    KwFillOpaque(dc, &client);
    DrawSunkenFrame(dc, width, height);

    char text[64];
    FormatTime(data.moment, text, sizeof text);
    const HGDIOBJ oldFont = SelectObject(dc, data.timeFont);
    SIZE size = TextSize(dc, text);
    const RECT timeArea = {0, 0, width, split};
    DrawCentred(dc, text, size, width, (split - size.cy) / 2, timeArea);

    FormatDate(data.moment, text, sizeof text);
    SelectObject(dc, data.dateFont);
    SetTextColor(dc, KwSchemeColour(kDateColor, COLOR_WINDOWTEXT));
    size = TextSize(dc, text);
    DrawCentred(dc, text, size, width, height - size.cy - KwScale(kDateBottom, dpi), client);
    SelectObject(dc, oldFont);
}

LRESULT TimeDisplay_Paint(HWND hwnd)
{
    LockedData data(DataHandle(hwnd));
    // A panel whose block could not be had leaves painting to the default.
    if (!data) return DefWindowProcA(hwnd, WM_PAINT, 0, 0);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    TimeDisplay_Draw(*data, dc, client, KwWindowDpi(hwnd));
    EndPaint(hwnd, &ps);
    return 0;
}

// Both fonts for dpi; the new ones are made before the old ones go.
void MakeFonts(TimeDisplayData& data, UINT dpi)
{
    const HFONT timeFont = MakeFont(KwScale(kTimeHeight, dpi), true);
    const HFONT dateFont = MakeFont(KwScale(kDateHeight, dpi), false);
    ReplaceFont(data.timeFont, timeFont);
    ReplaceFont(data.dateFont, dateFont);
}

// Without a block the window still exists: it just shows nothing.
LRESULT TimeDisplay_Create(HWND hwnd)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(TimeDisplayData));
    if (!block) return 1;
    {
        LockedData data(block);
        if (!data) {
            GlobalFree(block);
            return 1;
        }
        data->moment = now;
        MakeFonts(*data, KwWindowDpi(hwnd));
    }
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(block));
    return 1;
}

// The window's DPI changed: the fonts are made again for it.
LRESULT TimeDisplay_DpiChanged(HWND hwnd)
{
    LockedData data(DataHandle(hwnd));
    if (!data) return 0;
    MakeFonts(*data, KwWindowDpi(hwnd));
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

LRESULT TimeDisplay_GetFont(HWND hwnd)
{
    LockedData data(DataHandle(hwnd));
    return data ? reinterpret_cast<LRESULT>(data->timeFont) : 0;
}

LRESULT TimeDisplay_Destroy(HWND hwnd)
{
    HGLOBAL block = DataHandle(hwnd);
    if (!block) return 0;
    SetWindowLongPtrA(hwnd, 0, 0);
    {
        LockedData data(block);
        if (data) {
            DeleteObject(data->dateFont);
            DeleteObject(data->timeFont);
        }
    }
    GlobalFree(block);
    return 0;
}

// Named by what it shows: "9:07am Monday 7 December 2026".
void TimeDisplay_Name(HWND hwnd, LONG, std::string& text)
{
    LockedData data(DataHandle(hwnd));
    if (!data) return;
    char time[64];
    char date[64];
    FormatTime(data->moment, time, sizeof time);
    FormatDate(data->moment, date, sizeof date);
    text = time + (time[0] == ' ' ? 1 : 0);
    text += ' ';
    text += date;
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_STATICTEXT, TimeDisplay_Name, nullptr, KwReadOnlyState};

LRESULT CALLBACK TimeDisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return TimeDisplay_Create(hwnd);
    case WM_PAINT: return TimeDisplay_Paint(hwnd);
    case WM_ERASEBKGND: return 0; // painting fills the whole client area
    case WM_COMMAND: SendMessageA(GetParent(hwnd), WM_COMMAND, wParam, lParam); return 0;
    case WM_NCDESTROY: KwForgetAccessible(hwnd); return TimeDisplay_Destroy(hwnd);
    case WM_DPICHANGED_AFTERPARENT: return TimeDisplay_DpiChanged(hwnd);
    case WM_GETFONT: return TimeDisplay_GetFont(hwnd);
    case WM_GETOBJECT: return KwAnswerGetObject(hwnd, wParam, lParam, kAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

ATOM WINAPI InitTimeDisplay(HINSTANCE instance)
{
    // Index 0 of the extra bytes holds the handle of the window's data block;
    // the 14 bytes have room for it on x64 as well.
    return RegisterKwClass(instance, {KW_TIMEDISPLAY_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      TimeDisplayProc, 10, 14, LoadCursorA(nullptr, IDC_ARROW),
                                      static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))});
}
