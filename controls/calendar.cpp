/*
 * "KWCalendarWindow": a month calendar, with its month/year bar
 * "KWCalendarWindowChanger" across the top.
 *
 * The calendar shows six weeks around one month, Sunday first, under a row
 * of weekday headings; a click on a day of the shown month selects it, and
 * every change of the date is posted to the parent as CALN_DATECHANGED. The
 * bar keeps a month and year of its own, steps them by clicks on its arrows
 * and tells the calendar with the calendar's own messages. The calendar
 * brings its bar into line when its whole date is set, and when the keyboard
 * moves its day into another month: a click gives it the focus, and the
 * arrow keys, Page Up, Page Down, Home and End move the selected day.
 *
 * A screen reader reads the calendar as a table of day cells and the bar as
 * a tool bar of four buttons.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

// The calendar creates its bar under the module that registered the classes.
HINSTANCE calendarInstance;

// ---------------------------------------------------------------------------
// Dates
// ---------------------------------------------------------------------------

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdayHeadings[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

// Parents set months and years unchecked, so the date arithmetic takes any
// 32-bit value and works in 64 bits, where none of it can overflow.
bool IsLeapYear(long long year)
{
    if (year % 400 == 0) return true;
    if (year % 100 == 0) return false;
    return year % 4 == 0;
}

// Month 0..11; any other month has no days.
int DaysInMonth(long long year, long long month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 0 || month > 11) return 0;
    return month == 1 && IsLeapYear(year) ? 29 : kDays[month];
}

// Zeller's congruence for month 1..12; 0 = Sunday ... 6 = Saturday. Every
// division truncates; the remainder is taken upwards to 0..6, so that even
// a date before year 1 yields a real weekday and the grid never gets a
// first column outside 1..7 from it.
int DayOfWeek(long long day, long long month, long long year)
{
    if (month <= 2) {
        month += 12;
        year -= 1;
    }
    const long long sum =
        day + 2 * month + (6 * month + 6) / 10 + year + year / 4 - year / 100 + year / 400 + 2;
    const int h = static_cast<int>((sum % 7 + 7) % 7); // 0 = Saturday, 1 = Sunday ...
    return h == 0 ? 6 : h - 1;
}

struct Today {
    int day;
    int month; // 0..11
    int year;  // full number
};

Today GetToday()
{
    const time_t now = time(nullptr);
    if (const tm* local = localtime(&now)) return {local->tm_mday, local->tm_mon, local->tm_year + 1900};
    // The run-time could not convert the clock; the system's local time
    // says the same.
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wDay, st.wMonth - 1, st.wYear};
}

// The stored fields are 32-bit; month + 1 and month - 1 of an unchecked
// month wrap around as 32-bit arithmetic does instead of overflowing.
int Wrap(long long value)
{
    return static_cast<int>(static_cast<unsigned>(value));
}

// A number in wParam counts by its low 16 bits, unsigned.
int WordParam(WPARAM wParam)
{
    return LOWORD(wParam);
}

// ---------------------------------------------------------------------------
// Notice records
// ---------------------------------------------------------------------------

// CALN_DATECHANGED is posted, so the parent reads its record after the
// calendar has gone on, and possibly after the calendar is destroyed. Each
// calendar therefore rewrites one record of its own, and a record is never
// freed while the library is loaded: a destroyed calendar's record joins the
// back of a queue of spares, and a new calendar takes the front one, whose
// last notice is the oldest.
struct NoticeRecord {
    CalendarDate date;
    NoticeRecord* next;
};

struct SpareNotices {
    NoticeRecord* front = nullptr;
    NoticeRecord* back = nullptr;
    ~SpareNotices() // the library is being unloaded
    {
        while (front) {
            NoticeRecord* next = front->next;
            free(front);
            front = next;
        }
    }
} spareNotices;

NoticeRecord* TakeNoticeRecord()
{
    NoticeRecord* record = spareNotices.front;
    if (record) {
        spareNotices.front = record->next;
        if (!spareNotices.front) spareNotices.back = nullptr;
        record->next = nullptr;
        return record;
    }
    return static_cast<NoticeRecord*>(calloc(1, sizeof(NoticeRecord)));
}

void ReturnNoticeRecord(NoticeRecord* record)
{
    record->next = nullptr;
    if (spareNotices.back)
        spareNotices.back->next = record;
    else
        spareNotices.front = record;
    spareNotices.back = record;
}

// ---------------------------------------------------------------------------
// Drawing chores
// ---------------------------------------------------------------------------

// Saves the device context's selections and settings and restores them on
// every path, before the objects made for the drawing are deleted.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), level_(SaveDC(dc)) {}
    ~SavedDC()
    {
        if (level_) RestoreDC(dc_, level_);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_;
    int level_;
};

// Lines from point to point with `pen`; each leaves out its last point.
void Trace(HDC dc, HPEN pen, std::initializer_list<POINT> points)
{
    if (pen) SelectObject(dc, pen);
    const POINT* p = points.begin();
    MoveToEx(dc, p->x, p->y, nullptr);
    for (++p; p != points.end(); ++p) LineTo(dc, p->x, p->y);
}

// Text at (x, y) in the context's alignment, clipped to `box`, whose
// background it fills.
void BoxedText(HDC dc, const RECT& box, int x, int y, const char* text)
{
    KwTextOut(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &box, text);
}

// ---------------------------------------------------------------------------
// The month/year bar
// ---------------------------------------------------------------------------

struct ChangerData {
    int month; // 0..11 when set by the bar itself; unchecked from messages
    int year;
};

constexpr int kPointRight = 0;
constexpr int kPointLeft = 1;
constexpr int kStepZone = 20; // width of each arrow's click zone

ChangerData* BarDataOf(HWND bar)
{
    return reinterpret_cast<ChangerData*>(GetWindowLongPtrA(bar, 0));
}

const char* MonthName(int month)
{
    // A month set from outside may lie outside the table; it shows no name.
    return month >= 0 && month < 12 ? kMonthNames[month] : "";
}

// "December 2026": the bar's caption, and what a screen reader calls the
// calendar and the bar.
void FormatMonthYear(int month, int year, char (&text)[64])
{
    snprintf(text, sizeof text, "%s %d", MonthName(month), year);
}

void MonthYearName(int month, int year, std::string& text)
{
    char caption[64];
    FormatMonthYear(month, year, caption);
    text = caption;
}

// The black, white and grey of the bar's and the well's edges and arrows,
// or in a high-contrast scheme the system colours standing for them.
struct SchemeInk {
    int stockPen;   // BLACK_PEN, WHITE_PEN
    int stockBrush; // BLACK_BRUSH, WHITE_BRUSH, GRAY_BRUSH
    int index;      // the system colour in a high-contrast scheme
};
constexpr SchemeInk kBlackInk = {BLACK_PEN, BLACK_BRUSH, COLOR_BTNTEXT};
constexpr SchemeInk kWhiteInk = {WHITE_PEN, WHITE_BRUSH, COLOR_BTNHIGHLIGHT};
constexpr SchemeInk kGreyInk = {NULL_PEN, GRAY_BRUSH, COLOR_BTNSHADOW}; // only ever a brush

// A pen of the ink: the stock pen, or the context's own pen in the system
// colour (neither is ever deleted).
HPEN InkPen(HDC dc, const SchemeInk& ink)
{
    if (!KwHighContrast()) return static_cast<HPEN>(GetStockObject(ink.stockPen));
    SetDCPenColor(dc, GetSysColor(ink.index));
    return static_cast<HPEN>(GetStockObject(DC_PEN));
}

HBRUSH InkBrush(const SchemeInk& ink)
{
    return KwHighContrast() ? GetSysColorBrush(ink.index) : static_cast<HBRUSH>(GetStockObject(ink.stockBrush));
}

LRESULT Bar_Create(HWND bar, WPARAM wParam, LPARAM lParam)
{
    auto* data = static_cast<ChangerData*>(calloc(1, sizeof(ChangerData)));
    if (!data) return FALSE; // the bar is not created
    const Today today = GetToday();
    data->month = today.month;
    data->year = today.year;
    SetWindowLongPtrA(bar, 0, reinterpret_cast<LONG_PTR>(data));
    if (DefWindowProcA(bar, WM_NCCREATE, wParam, lParam)) return TRUE;
    SetWindowLongPtrA(bar, 0, 0);
    free(data);
    return FALSE;
}

void Bar_Destroy(HWND bar, ChangerData* data)
{
    SetWindowLongPtrA(bar, 0, 0);
    free(data);
}

void DrawRaisedBox(HDC dc, int l, int t, int r, int b, HPEN shadow)
{
    // The outline's bottom run lies on b itself, just below a client area.
    Trace(dc, InkPen(dc, kBlackInk), {{l, t}, {r - 1, t}, {r - 1, b}, {l, b}, {l, t}});
    Trace(dc, shadow, {{l + 1, b - 1}, {r - 2, b - 1}, {r - 2, t}});
    Trace(dc, shadow, {{l + 2, b - 2}, {r - 3, b - 2}, {r - 3, t + 1}});
    Trace(dc, InkPen(dc, kWhiteInk), {{l + 1, b - 2}, {l + 1, t + 1}, {r - 2, t + 1}});
}

void FillTriangle(HDC dc, const SchemeInk& ink, POINT a, POINT b, POINT c)
{
    const POINT points[3] = {a, b, c};
    const HRGN region = CreatePolygonRgn(points, 3, ALTERNATE);
    if (!region) return;
    FillRgn(dc, region, InkBrush(ink));
    DeleteObject(region);
}

// A black triangle with a white edge up and toward its point and a grey
// shadow down and away from it. The middle is taken from half the bottom
// coordinate, which centres it on a bar whose arrows start near its top.
// Offsets are 96-DPI pixels, scaled for the bar's DPI.
void DrawArrow(HDC dc, int x1, int y1, int x2, int y2, int direction, UINT dpi)
{
    const auto px = [dpi](int value) { return KwScale(value, dpi); };
    const int m = y2 / 2;
    const int e = 2 * m;
    if (direction == kPointLeft) {
        FillTriangle(dc, kWhiteInk, {x2 - px(3), y1}, {x1 + px(3), m + px(1)}, {x2 - px(3), e - px(2)});
        FillTriangle(dc, kGreyInk, {x2 - px(5), y1 + px(2)}, {x1 + px(1), m + px(3)}, {x2 - px(5), e});
        FillTriangle(dc, kBlackInk, {x2 - px(4), y1 + px(1)}, {x1 + px(2), m + px(2)}, {x2 - px(4), e - px(1)});
    } else if (direction == kPointRight) {
        FillTriangle(dc, kWhiteInk, {x1 + px(3), y1}, {x2 - px(3), m + px(1)}, {x1 + px(3), e - px(2)});
        FillTriangle(dc, kGreyInk, {x1 + px(5), y1 + px(2)}, {x2 - px(1), m + px(3)}, {x1 + px(5), e});
        FillTriangle(dc, kBlackInk, {x1 + px(4), y1 + px(1)}, {x2 - px(2), m + px(2)}, {x1 + px(4), e - px(1)});
    }
}

// The caption's font: the stock variable-pitch font at 96 DPI, the same
// face scaled at any other; the caller deletes a font that is not stock.
HFONT MakeCaptionFont(UINT dpi)
{
    const auto stock = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    LOGFONTA record;
    if (dpi == kKwBaseDpi || !GetObjectA(stock, sizeof record, &record)) return stock;
    record.lfHeight = KwScale(record.lfHeight, dpi);
    record.lfWidth = KwScale(record.lfWidth, dpi);
    const HFONT scaled = CreateFontIndirectA(&record);
    return scaled ? scaled : stock;
}

void Bar_Draw(HWND bar, const ChangerData* data, HDC dc)
{
    RECT r;
    GetClientRect(bar, &r);
    const UINT dpi = KwWindowDpi(bar);
    const auto px = [dpi](int value) { return KwScale(value, dpi); };
    const HFONT captionFont = MakeCaptionFont(dpi);
    {
        const SystemPen shadow(COLOR_BTNSHADOW);
        const SavedDC saved(dc);
        SelectObject(dc, captionFont);
        DrawRaisedBox(dc, r.left, r.top, r.right, r.bottom, shadow.get());

        // The opaque caption also fills the inside of the box.
        InflateRect(&r, -2, -2);
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        SetBkColor(dc, GetSysColor(COLOR_3DLIGHT));
        SetTextColor(dc, KwSchemeColour(GetTextColor(dc), COLOR_BTNTEXT));
        char caption[64];
        FormatMonthYear(data->month, data->year, caption);
        BoxedText(dc, r, (r.right - r.left) / 2, r.top, caption);

        InflateRect(&r, -px(3), -px(2));
        DrawArrow(dc, r.left, r.top, r.left + px(10), r.bottom, kPointLeft, dpi);
        DrawArrow(dc, r.left + px(20), r.top, r.left + px(30), r.bottom, kPointLeft, dpi);
        DrawArrow(dc, r.left + px(15), r.top, r.left + px(25), r.bottom, kPointLeft, dpi);
        DrawArrow(dc, r.right - px(10), r.top, r.right, r.bottom, kPointRight, dpi);
        DrawArrow(dc, r.right - px(30), r.top, r.right - px(20), r.bottom, kPointRight, dpi);
        DrawArrow(dc, r.right - px(25), r.top, r.right - px(15), r.bottom, kPointRight, dpi);
    }
    // Deleted once the saved context no longer holds it.
    if (captionFont != GetStockObject(ANSI_VAR_FONT)) DeleteObject(captionFont);
}

void Bar_Paint(HWND bar, const ChangerData* data)
{
    PaintWindow(bar, [data](HWND window, HDC dc) {
        if (data) Bar_Draw(window, data, dc);
    });
}

// The bar shows a new month or year: it repaints, and a screen reader hears
// of its new name.
void Bar_Changed(HWND bar)
{
    InvalidateRect(bar, nullptr, TRUE);
    KwRaiseEvent(bar, EVENT_OBJECT_NAMECHANGE);
}

// The bar tells its calendar synchronously, so that the calendar has taken
// each step when the call returns.
void Bar_Tell(HWND bar, UINT message, int value)
{
    SendMessageA(GetParent(bar), message, static_cast<WPARAM>(value), 0);
}

void Bar_PreviousMonth(HWND bar, ChangerData* data)
{
    if (data->month > 0) {
        --data->month;
        Bar_Tell(bar, CALM_SETMONTH, data->month);
    } else {
        data->month = 11;
        --data->year;
        Bar_Tell(bar, CALM_SETMONTH, data->month);
        Bar_Tell(bar, CALM_SETYEAR, data->year);
    }
    Bar_Changed(bar);
}

void Bar_NextMonth(HWND bar, ChangerData* data)
{
    if (data->month < 11) {
        ++data->month;
        Bar_Tell(bar, CALM_SETMONTH, data->month);
    } else {
        data->month = 0;
        ++data->year;
        Bar_Tell(bar, CALM_SETMONTH, data->month);
        Bar_Tell(bar, CALM_SETYEAR, data->year);
    }
    Bar_Changed(bar);
}

void Bar_StepYear(HWND bar, ChangerData* data, int step)
{
    data->year += step;
    Bar_Tell(bar, CALM_SETYEAR, data->year);
    Bar_Changed(bar);
}

bool InSpan(int value, int from, int to)
{
    return value >= from && value < to;
}

// Each zone spans the full height. On a bar narrower than four zones one
// click can fall into several, and then takes each of their steps in turn.
LRESULT Bar_StepAt(HWND bar, ChangerData* data, int x, int y)
{
    const int zone = KwScale(kStepZone, KwWindowDpi(bar));
    RECT r;
    GetClientRect(bar, &r);
    if (!InSpan(y, r.top, r.bottom)) return 0;
    if (InSpan(x, r.left, r.left + zone)) Bar_PreviousMonth(bar, data);
    if (InSpan(x, r.right - zone, r.right)) Bar_NextMonth(bar, data);
    if (InSpan(x, r.right - 2 * zone, r.right - zone)) Bar_StepYear(bar, data, +1);
    if (InSpan(x, r.left + zone, r.left + 2 * zone)) Bar_StepYear(bar, data, -1);
    return 0;
}

// Only a double click between the arrows jumps; on an arrow, the press
// before it has already taken the step.
LRESULT Bar_JumpToTodayAt(HWND bar, ChangerData* data, int x, int y)
{
    const int zone = KwScale(kStepZone, KwWindowDpi(bar));
    RECT r;
    GetClientRect(bar, &r);
    if (!InSpan(y, r.top, r.bottom) || !InSpan(x, r.left + 2 * zone, r.right - 2 * zone)) return 0;
    const Today today = GetToday();
    data->year = today.year;
    data->month = today.month;
    Bar_Tell(bar, CALM_TODAY, today.month);
    Bar_Changed(bar);
    return 0;
}

LRESULT Bar_SetMonth(HWND bar, ChangerData* data, int month)
{
    data->month = month;
    Bar_Changed(bar);
    return 0;
}

LRESULT Bar_SetYear(HWND bar, ChangerData* data, int year)
{
    data->year = year;
    Bar_Changed(bar);
    return 0;
}

bool IsBarMessage(UINT message)
{
    switch (message) {
    case WM_CREATE: case WM_SIZE: case WM_ERASEBKGND: case WM_PAINT: case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: case WM_NCDESTROY: case CALM_SETMONTH: case CALM_SETYEAR:
        return true;
    default:
        return false;
    }
}

// ----- Accessibility of the bar: a tool bar named by its caption, with
// four push buttons in the order a reader expects them.
enum BarButton { kPreviousYear = 1, kPreviousMonth, kNextMonth, kNextYear, kBarButtons = kNextYear };
const char* const kBarButtonNames[kBarButtons] = {"Previous year", "Previous month", "Next month", "Next year"};

void Bar_Name(HWND bar, LONG part, std::string& text)
{
    const ChangerData* data = BarDataOf(bar);
    if (part != CHILDID_SELF)
        text = kBarButtonNames[part - 1];
    else if (data)
        MonthYearName(data->month, data->year, text);
}

// Each button's click zone, the full height of the bar.
bool Bar_ButtonRect(HWND bar, LONG part, RECT* rect)
{
    const int zone = KwScale(kStepZone, KwWindowDpi(bar));
    GetClientRect(bar, rect);
    const LONG left = rect->left, right = rect->right;
    switch (part) {
    case kPreviousMonth: rect->right = left + zone; break;
    case kPreviousYear: rect->left = left + zone; rect->right = left + 2 * zone; break;
    case kNextYear: rect->left = right - 2 * zone; rect->right = right - zone; break;
    case kNextMonth: rect->left = right - zone; break;
    default: return false;
    }
    return true;
}

// "Press" takes the button's step, as a click on its zone does.
void Bar_Press(HWND bar, LONG part)
{
    ChangerData* data = BarDataOf(bar);
    if (!data) return;
    switch (part) {
    case kPreviousYear: Bar_StepYear(bar, data, -1); break;
    case kPreviousMonth: Bar_PreviousMonth(bar, data); break;
    case kNextMonth: Bar_NextMonth(bar, data); break;
    case kNextYear: Bar_StepYear(bar, data, +1); break;
    default: break;
    }
}

constexpr KwAccessInfo kBarAccess = {ROLE_SYSTEM_TOOLBAR,  Bar_Name, nullptr, nullptr, nullptr,
                                     Bar_Press,            ROLE_SYSTEM_PUSHBUTTON,
                                     [](HWND) -> LONG { return kBarButtons; },
                                     Bar_ButtonRect,       "Press"};

LRESULT CALLBACK CalendarBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) return Bar_Create(bar, wParam, lParam);
    ChangerData* data = BarDataOf(bar);
    if (!data && IsBarMessage(message)) {
        if (message == WM_PAINT) Bar_Paint(bar, nullptr);
        return 1;
    }
    switch (message) {
    case WM_CREATE: return TRUE;
    case WM_SIZE: return 0;
    case WM_ERASEBKGND: return 0; // the paint covers the whole client area
    case WM_PAINT: Bar_Paint(bar, data); return 0;
    case WM_LBUTTONDOWN: return Bar_StepAt(bar, data, LOWORD(lParam), HIWORD(lParam));
    case WM_LBUTTONDBLCLK: return Bar_JumpToTodayAt(bar, data, LOWORD(lParam), HIWORD(lParam));
    case WM_NCDESTROY:
        KwForgetAccessible(bar);
        Bar_Destroy(bar, data);
        return 0;
    case WM_GETOBJECT: return KwAnswerGetObject(bar, wParam, lParam, kBarAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(bar, nullptr, TRUE); return 0;
    case CALM_SETMONTH: return Bar_SetMonth(bar, data, WordParam(wParam));
    case CALM_SETYEAR: return Bar_SetYear(bar, data, WordParam(wParam));
    default: return DefWindowProcA(bar, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------
// The calendar
// ---------------------------------------------------------------------------

constexpr int kGridLeft = 4;
constexpr int kGridTop = 20;
constexpr int kColumns = 7;
constexpr int kRows = 7;       // the heading row and six weeks
constexpr int kDayCells = 42;  // rows 1 to 6
constexpr int kBarHeight = 20; // after the first resize; 19 at creation
constexpr int kEraseTop = 22;  // the bar covers the client area above

struct CalendarData {
    RECT gridRect;   // only its right edge is used, to size the bar
    int month;       // 0..11 unless set otherwise by the parent
    int year;        // full number
    int day;         // selected day, 1-based
    int dayCount;    // days of the shown month
    int firstColumn; // grid column of the 1st, 1 = Sunday ... 7 = Saturday
    HFONT normalFont;
    HFONT boldFont;
    HWND bar;
    RECT cells[kRows][kColumns]; // row 0 the headings; column 0 Sunday
    NoticeRecord* notice;        // what CALN_DATECHANGED points the parent to
};

CalendarData* CalendarDataOf(HWND window)
{
    return reinterpret_cast<CalendarData*>(GetWindowLongPtrA(window, 0));
}

// The font size follows the window's height, taken back to 96 DPI, at
// creation and when the window's DPI changes; the points are then made at
// the window's DPI. The new fonts are made before the old ones go.
void Calendar_MakeFonts(HWND window, CalendarData* data, int clientHeight)
{
    const UINT dpi = KwWindowDpi(window);
    const int size = (MulDiv(clientHeight, static_cast<int>(kKwBaseDpi), static_cast<int>(dpi)) + 20) / 18;
    const HFONT normalFont = CreateArialFont(size + 1, static_cast<int>(dpi), 400);
    const HFONT boldFont = CreateArialFont(size + 2, static_cast<int>(dpi), 600);
    ReplaceFont(data->normalFont, normalFont);
    ReplaceFont(data->boldFont, boldFont);
}

void Calendar_RecomputeMonth(CalendarData* data)
{
    data->dayCount = DaysInMonth(data->year, data->month);
    data->firstColumn = DayOfWeek(1, data->month + 1LL, data->year) + 1;
}

void Calendar_LayOutCells(CalendarData* data, int w, int h, UINT dpi)
{
    for (int r = 0; r < kRows; ++r)
        for (int k = 0; k < kColumns; ++k) {
            const int left = KwScale(kGridLeft, dpi) + k * w;
            const int top = KwScale(kGridTop, dpi) + r * h;
            SetRect(&data->cells[r][k], left, top, left + w, top + h);
        }
}

// The bar shows the calendar's month and year.
void Calendar_SyncBar(const CalendarData* data)
{
    SendMessageA(data->bar, CALM_SETYEAR, static_cast<WPARAM>(data->year), 0);
    SendMessageA(data->bar, CALM_SETMONTH, static_cast<WPARAM>(data->month), 0);
}

// The cell that shows day n (1-based) of the month, or null when the grid
// has no cell for it (a day count or first column set out of range).
const RECT* DayCell(const CalendarData* data, int n)
{
    const long long index = data->firstColumn - 1LL + n - 1;
    if (n < 1 || index < 0 || index >= kDayCells) return nullptr;
    return &data->cells[1 + index / kColumns][index % kColumns];
}

// The selected day of the shown month as a part (cell) number, 0 when the
// day is not one of the month's.
LONG SelectedDay(const CalendarData* data)
{
    return data->day >= 1 && data->day <= data->dayCount && data->day <= 31 ? data->day : 0;
}

// A screen reader hears of a new date: the cell selected (and focused while
// the calendar has the focus) and the calendar's new value.
void Calendar_Announce(HWND window, const CalendarData* data)
{
    if (const LONG day = SelectedDay(data)) {
        KwRaiseEvent(window, EVENT_OBJECT_SELECTION, day);
        if (GetFocus() == window) KwRaiseEvent(window, EVENT_OBJECT_FOCUS, day);
    }
    KwRaiseEvent(window, EVENT_OBJECT_VALUECHANGE);
}

// Posted, so the parent handles it after this message; it reads the date
// from the calendar's own record, which the next notice rewrites.
void Calendar_Notify(HWND window, CalendarData* data)
{
    Calendar_Announce(window, data);
    // A calendar without a parent has nobody to tell; posting to no window
    // would put the notice into the thread's own queue.
    const HWND parent = GetParent(window);
    if (!parent) return;
    CalendarDate& date = data->notice->date;
    date.day = data->day;
    date.month = Wrap(data->month + 1LL);
    date.year = data->year;
    PostMessageA(parent, WM_COMMAND, CALN_DATECHANGED, reinterpret_cast<LPARAM>(&date));
}

LRESULT Calendar_Create(HWND window)
{
    auto* data = static_cast<CalendarData*>(calloc(1, sizeof(CalendarData)));
    NoticeRecord* notice = data ? TakeNoticeRecord() : nullptr;
    if (!notice) {
        // The window lives on without data and answers every message
        // of its own with 1.
        free(data);
        return 0;
    }
    data->notice = notice;

    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    Calendar_MakeFonts(window, data, height);

    const Today today = GetToday();
    data->day = today.day;
    data->month = today.month;
    data->year = today.year;
    Calendar_RecomputeMonth(data);

    const UINT dpi = KwWindowDpi(window);
    const auto px = [dpi](int value) { return KwScale(value, dpi); };
    const int w = width / kColumns;
    const int h = (height + px(20)) / 6;
    Calendar_LayOutCells(data, w, h, dpi);
    SetRect(&data->gridRect, 0, 0, 7 * w + px(8), 7 * h + px(20));
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(data));

    data->bar = CreateWindowExA(0, KW_CALENDARBAR_CLASS, nullptr, WS_CHILD | WS_VISIBLE, 1, 1, 7 * w + px(8),
                                px(kBarHeight) - 1, window, nullptr, calendarInstance, nullptr);
    return 1;
}

LRESULT Calendar_Resize(HWND window, CalendarData* data, int width, int height)
{
    const UINT dpi = KwWindowDpi(window);
    const auto px = [dpi](int value) { return KwScale(value, dpi); };
    const int w = (width - px(4)) / kColumns;
    const int h = (height - px(20)) / kRows;
    Calendar_LayOutCells(data, w, h, dpi);

    RECT client;
    GetClientRect(window, &client);
    SetRect(&data->gridRect, 0, 0, 7 * w + px(8), 7 * h + px(24));
    if (data->gridRect.right > client.right - client.left) data->gridRect.right = client.right - client.left;

    if (data->bar)
        SetWindowPos(data->bar, nullptr, 0, 0, data->gridRect.right - px(3), px(kBarHeight),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

// The window's DPI changed: fonts, cells and the bar are made again for it.
LRESULT Calendar_DpiChanged(HWND window, CalendarData* data)
{
    RECT client;
    GetClientRect(window, &client);
    Calendar_MakeFonts(window, data, client.bottom - client.top);
    return Calendar_Resize(window, data, client.right - client.left, client.bottom - client.top);
}

void Calendar_Destroy(HWND window, CalendarData* data)
{
    if (!data) return;
    SetWindowLongPtrA(window, 0, 0);
    if (data->normalFont) DeleteObject(data->normalFont);
    if (data->boldFont) DeleteObject(data->boldFont);
    ReturnNoticeRecord(data->notice);
    free(data);
}

// Background below the bar; the paint draws everything else.
LRESULT Calendar_EraseBackground(HWND window, HDC dc)
{
    RECT area;
    GetClientRect(window, &area);
    area.top = KwScale(kEraseTop, KwWindowDpi(window));
    if (dc && area.top < area.bottom) {
        const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        KwFillOpaque(dc, &area);
        SetBkColor(dc, oldBack);
    }
    return 0;
}

void DrawSunkenWell(HDC dc, int l, int t, int r, int b)
{
    const SystemPen shadow(COLOR_BTNSHADOW);
    const SystemPen highlight(COLOR_BTNHIGHLIGHT);
    const SystemPen face(COLOR_BTNFACE);
    const SavedDC saved(dc);
    Trace(dc, shadow.get(), {{l, b - 1}, {l, t}, {r - 1, t}});
    Trace(dc, InkPen(dc, kBlackInk), {{l + 1, b - 2}, {l + 1, t + 1}, {r - 2, t + 1}});
    Trace(dc, highlight.get(), {{r - 2, t}, {r - 2, b - 1}, {l, b - 1}});
    Trace(dc, face.get(), {{r - 3, t + 1}, {r - 3, b - 2}, {l + 1, b - 2}});
    Trace(dc, highlight.get(), {{l + 2, t + 2}, {r - 4, t + 2}, {r - 4, b - 3}, {l + 2, b - 3}, {l + 2, t + 2}});
    Trace(dc, highlight.get(), {{l + 3, t + 3}, {r - 5, t + 3}, {r - 5, b - 4}, {l + 3, b - 4}, {l + 3, t + 3}});
}

void SelectFont(HDC dc, HFONT font)
{
    // A font that could not be made leaves the context's current one.
    if (font) SelectObject(dc, font);
}

int CentreX(const RECT& cell)
{
    return cell.left + (cell.right - cell.left) / 2 + 1;
}

int CentreY(const RECT& cell)
{
    return cell.top + (cell.bottom - cell.top) / 2;
}

void Calendar_DrawHeadings(HDC dc, const CalendarData* data, UINT dpi)
{
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SelectFont(dc, data->boldFont);
    for (int k = 0; k < kColumns; ++k) {
        const RECT& cell = data->cells[0][k];
        BoxedText(dc, cell, CentreX(cell), CentreY(cell) - KwScale(6, dpi), kWeekdayHeadings[k]);
    }
}

// Days of the month before the shown one, for the grey cells before the 1st.
int DaysOfPreviousMonth(const CalendarData* data)
{
    if (data->month == 0) return DaysInMonth(data->year - 1LL, 11);
    return DaysInMonth(data->year, data->month - 1LL);
}

// The 42 day cells in reading order. The walk is bounded by the grid, not
// by the stored day, day count or first column, which the parent may have
// set to anything: such values change only the numbers and colours drawn.
void Calendar_DrawDays(HDC dc, const CalendarData* data, UINT dpi)
{
    const int previousDays = DaysOfPreviousMonth(data);
    int position = 0; // 0 before the 1st, then 1, 2, 3 ... on into the next month
    for (int n = 1; n <= kDayCells; ++n) {
        int number;
        COLORREF ink;
        if (n < data->firstColumn) {
            number = previousDays - (data->firstColumn - 1 - n); // the cell before the 1st: the last day
            ink = GetSysColor(COLOR_GRAYTEXT);
        } else if (++position <= data->dayCount) {
            number = position;
            ink = GetSysColor(COLOR_BTNTEXT);
        } else {
            number = position - data->dayCount;
            ink = GetSysColor(COLOR_GRAYTEXT);
        }
        // The grey cells before the 1st are not days of the running count.
        const bool selected = position > 0 && position == data->day;
        SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ink);
        SelectFont(dc, selected ? data->boldFont : data->normalFont);

        char text[16];
        snprintf(text, sizeof text, "%2d", number);
        const RECT& cell = data->cells[1 + (n - 1) / kColumns][(n - 1) % kColumns];
        BoxedText(dc, cell, CentreX(cell), CentreY(cell) - KwScale(8, dpi), text);
    }
}

void Calendar_Draw(HWND window, const CalendarData* data, HDC dc)
{
    {
        const SavedDC saved(dc);
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        const UINT dpi = KwWindowDpi(window);
        Calendar_DrawHeadings(dc, data, dpi);
        Calendar_DrawDays(dc, data, dpi);
    }
    RECT client;
    GetClientRect(window, &client);
    DrawSunkenWell(dc, client.left, client.top, client.right, client.bottom);
    const RECT* selected = SelectedDay(data) ? DayCell(data, data->day) : nullptr;
    if (selected && GetFocus() == window && !(SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        RECT focus = *selected;
        DrawFocusRect(dc, &focus);
    }
}

void Calendar_Paint(HWND window, const CalendarData* data)
{
    PaintWindow(window, [data](HWND calendar, HDC dc) {
        if (data) Calendar_Draw(calendar, data, dc);
    });
}

// Only the days of the shown month answer a click; the headings and the
// grey days of the neighbouring months do not.
LRESULT Calendar_SelectDayAt(HWND window, CalendarData* data, int x, int y)
{
    SetFocus(window);
    const POINT point = {x, y};
    for (int n = 1; n <= kDayCells; ++n) {
        if (!PtInRect(&data->cells[1 + (n - 1) / kColumns][(n - 1) % kColumns], point)) continue;
        if (n < data->firstColumn || n > data->firstColumn + static_cast<long long>(data->dayCount) - 1) return 0;
        data->day = n - data->firstColumn + 1;
        InvalidateRect(window, nullptr, FALSE);
        Calendar_Notify(window, data);
        return 1;
    }
    return 0;
}

LRESULT Calendar_SetDay(HWND window, CalendarData* data, int day)
{
    data->day = day;
    Calendar_Notify(window, data);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT Calendar_SetDayCount(HWND window, CalendarData* data, int dayCount)
{
    data->dayCount = dayCount;
    if (data->day > dayCount) data->day = dayCount;
    InvalidateRect(window, nullptr, TRUE);
    Calendar_Announce(window, data);
    return 0;
}

// A new month or year keeps the selected day where the new month has it,
// and otherwise moves it to the month's last day.
void Calendar_MonthChanged(HWND window, CalendarData* data)
{
    Calendar_RecomputeMonth(data);
    if (data->day > data->dayCount) data->day = data->dayCount;
    InvalidateRect(window, nullptr, TRUE);
    Calendar_Notify(window, data);
}

LRESULT Calendar_SetMonth(HWND window, CalendarData* data, int month)
{
    if (month == data->month) return 0;
    data->month = month;
    Calendar_MonthChanged(window, data);
    return 0;
}

LRESULT Calendar_SetYear(HWND window, CalendarData* data, int year)
{
    if (year == data->year) return 0;
    data->year = year;
    Calendar_MonthChanged(window, data);
    return 0;
}

LRESULT Calendar_SetFirstColumn(HWND window, CalendarData* data, int column)
{
    data->firstColumn = column;
    Calendar_Notify(window, data);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT Calendar_JumpToToday(HWND window, CalendarData* data)
{
    const Today today = GetToday();
    data->day = today.day;
    data->month = today.month;
    data->year = today.year;
    Calendar_RecomputeMonth(data);
    Calendar_Notify(window, data);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT Calendar_GetDate(const CalendarData* data, CalendarDate* date)
{
    if (!date) return 1;
    date->day = data->day;
    date->month = Wrap(data->month + 1LL);
    date->year = data->year;
    return 0;
}

// The whole date, taken as it comes (the day is not clamped); the bar is
// brought into line, and nothing is posted.
LRESULT Calendar_SetDate(HWND window, CalendarData* data, const CalendarDate* date)
{
    if (!date) return 1;
    data->year = date->year;
    data->month = Wrap(date->month - 1LL);
    data->day = date->day;
    Calendar_RecomputeMonth(data);
    Calendar_SyncBar(data);
    InvalidateRect(window, nullptr, TRUE);
    Calendar_Announce(window, data);
    return 0;
}

// ---------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------

// The date `days` days from year-month-day, across month and year ends.
void StepDays(long long& year, int& month, int& day, int days)
{
    day += days;
    while (day < 1) {
        month = month == 0 ? 11 : month - 1;
        if (month == 11) --year;
        day += DaysInMonth(year, month);
    }
    while (day > DaysInMonth(year, month)) {
        day -= DaysInMonth(year, month);
        month = month == 11 ? 0 : month + 1;
        if (month == 0) ++year;
    }
}

// The same day `months` months on, or that month's last day where it has
// no such day.
void StepMonths(long long& year, int& month, int& day, int months)
{
    const long long index = year * 12 + month + months;
    year = index >= 0 ? index / 12 : (index - 11) / 12;
    month = static_cast<int>(index - year * 12);
    if (day > DaysInMonth(year, month)) day = DaysInMonth(year, month);
}

// Arrow keys move the selected day by a day or a week, Page Up and Page
// Down by a month, Home and End to the month's first and last day; the
// month and year follow across their ends, the bar shows them, and the
// parent is told as a click on that day tells it. A month set out of range
// by the parent has no days to move through: the keys then do nothing.
LRESULT Calendar_Key(HWND window, CalendarData* data, WPARAM key, LPARAM lParam)
{
    if (data->month < 0 || data->month > 11) return 0;
    long long year = data->year;
    int month = data->month;
    const int last = DaysInMonth(year, month);
    int day = data->day < 1 ? 1 : (data->day > last ? last : data->day);
    switch (key) {
    case VK_LEFT: StepDays(year, month, day, -1); break;
    case VK_RIGHT: StepDays(year, month, day, +1); break;
    case VK_UP: StepDays(year, month, day, -7); break;
    case VK_DOWN: StepDays(year, month, day, +7); break;
    case VK_PRIOR: StepMonths(year, month, day, -1); break;
    case VK_NEXT: StepMonths(year, month, day, +1); break;
    case VK_HOME: day = 1; break;
    case VK_END: day = last; break;
    default: return DefWindowProcA(window, WM_KEYDOWN, key, lParam);
    }
    const bool newMonth = year != data->year || month != data->month;
    data->year = Wrap(year);
    data->month = month;
    data->day = day;
    Calendar_RecomputeMonth(data);
    if (newMonth) Calendar_SyncBar(data);
    InvalidateRect(window, nullptr, newMonth);
    Calendar_Notify(window, data);
    return 0;
}

// A click gives the calendar the focus, which shows around the selected
// day while the system shows focus cues.
void Calendar_FocusChanged(HWND window, const CalendarData* data)
{
    InvalidateRect(window, nullptr, FALSE);
    if (GetFocus() == window && SelectedDay(data)) KwRaiseEvent(window, EVENT_OBJECT_FOCUS, SelectedDay(data));
}

// ---------------------------------------------------------------------------
// Accessibility: a table named by the month and year, whose value is the
// selected date and whose cells are the month's days.
// ---------------------------------------------------------------------------

// "Friday, 11 December 2026", in the user's long date format.
void LongDate(long long year, int month, int day, std::string& text)
{
    SYSTEMTIME date = {};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month + 1);
    date.wDay = static_cast<WORD>(day);
    char formatted[128];
    if (year >= 1601 && year <= 30827 &&
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, formatted, sizeof formatted) > 0) {
        text = formatted;
        return;
    }
    // A date the system does not format (a year set out of its range).
    snprintf(formatted, sizeof formatted, "%d %s %lld", day, MonthName(month), year);
    text = formatted;
}

LONG Calendar_DayCount(HWND window)
{
    const CalendarData* data = CalendarDataOf(window);
    if (!data || data->month < 0 || data->month > 11) return 0;
    return data->dayCount < 0 ? 0 : (data->dayCount > 31 ? 31 : data->dayCount);
}

void Calendar_Name(HWND window, LONG part, std::string& text)
{
    const CalendarData* data = CalendarDataOf(window);
    if (!data) return;
    if (part == CHILDID_SELF)
        MonthYearName(data->month, data->year, text);
    else
        LongDate(data->year, data->month, part, text);
}

void Calendar_Value(HWND window, LONG part, std::string& text)
{
    const CalendarData* data = CalendarDataOf(window);
    if (data && part == CHILDID_SELF && SelectedDay(data)) LongDate(data->year, data->month, data->day, text);
}

LONG Calendar_State(HWND window, LONG part, LONG state)
{
    const CalendarData* data = CalendarDataOf(window);
    if (part == CHILDID_SELF || !data) return state;
    state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (part == SelectedDay(data)) {
        state |= STATE_SYSTEM_SELECTED;
        if (GetFocus() == window) state |= STATE_SYSTEM_FOCUSED;
    }
    return state;
}

bool Calendar_DayRect(HWND window, LONG part, RECT* rect)
{
    const CalendarData* data = CalendarDataOf(window);
    const RECT* cell = data ? DayCell(data, part) : nullptr;
    if (cell) *rect = *cell;
    return cell != nullptr;
}

constexpr KwAccessInfo kCalendarAccess = {
    ROLE_SYSTEM_TABLE, Calendar_Name,    Calendar_Value,
    Calendar_State,    nullptr,          nullptr,
    ROLE_SYSTEM_CELL,  Calendar_DayCount, Calendar_DayRect,
    nullptr,           [](HWND window) -> LONG {
        const CalendarData* data = CalendarDataOf(window);
        return data ? SelectedDay(data) : 0;
    }};

// Messages that a calendar without data answers with 1 and ignores.
bool IsCalendarMessage(UINT message)
{
    return (message >= CALM_SETDAY && message <= CALM_SETDATE) || message == WM_LBUTTONDOWN ||
           message == WM_LBUTTONDBLCLK;
}

LRESULT CALLBACK CalendarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CalendarData* data = CalendarDataOf(window);
    if (!data && IsCalendarMessage(message)) return 1;
    switch (message) {
    case WM_CREATE: return Calendar_Create(window);
    case WM_SIZE: return data ? Calendar_Resize(window, data, LOWORD(lParam), HIWORD(lParam)) : 0;
    case WM_PAINT: Calendar_Paint(window, data); return 0;
    case WM_ERASEBKGND: return Calendar_EraseBackground(window, reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return Calendar_SelectDayAt(window, data, LOWORD(lParam), HIWORD(lParam));
    case WM_NCDESTROY:
        KwForgetAccessible(window);
        Calendar_Destroy(window, data);
        return 0;
    case WM_GETOBJECT: return KwAnswerGetObject(window, wParam, lParam, kCalendarAccess);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN: return data ? Calendar_Key(window, data, wParam, lParam) : 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (data) Calendar_FocusChanged(window, data);
        return 0;
    case WM_UPDATEUISTATE:
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        InvalidateRect(window, nullptr, TRUE);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DPICHANGED_AFTERPARENT: return data ? Calendar_DpiChanged(window, data) : 0;
    case WM_GETFONT: return data ? reinterpret_cast<LRESULT>(data->normalFont) : 0;
    case CALM_SETDAY: return Calendar_SetDay(window, data, WordParam(wParam));
    case CALM_SETDAYCOUNT: return Calendar_SetDayCount(window, data, WordParam(wParam));
    case CALM_SETMONTH: return Calendar_SetMonth(window, data, WordParam(wParam));
    case CALM_SETYEAR: return Calendar_SetYear(window, data, WordParam(wParam));
    case CALM_SETFIRSTDAY: return Calendar_SetFirstColumn(window, data, WordParam(wParam));
    case CALM_TODAY: return Calendar_JumpToToday(window, data);
    case CALM_GETDATE: return Calendar_GetDate(data, reinterpret_cast<CalendarDate*>(lParam));
    case CALM_SETDATE: return Calendar_SetDate(window, data, reinterpret_cast<const CalendarDate*>(lParam));
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

ATOM InitCalendar(HINSTANCE instance)
{
    calendarInstance = instance;
    constexpr UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    // The calendar's brush never shows, since it erases its background
    // itself; only the bar's registration decides the result. Each window's
    // extra bytes hold the address of its data at index 0: 4 bytes on x86,
    // grown to a whole pointer (8) on x64.
    constexpr int dataBytes = sizeof(LONG_PTR);
    RegisterKwClass(instance, {KW_CALENDAR_CLASS, style, CalendarProc, 0, dataBytes, LoadCursorA(nullptr, IDC_CROSS),
                               reinterpret_cast<HBRUSH>(COLOR_MENU + 1)});
    return RegisterKwClass(instance, {KW_CALENDARBAR_CLASS, style, CalendarBarProc, 0, dataBytes,
                                      LoadCursorA(nullptr, IDC_ARROW), VersionRuleBrush()});
}
