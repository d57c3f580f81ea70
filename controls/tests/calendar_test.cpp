// Month calendar and its month/year bar: the month shapes against the C
// run-time's own calendar, the messages seen through CALM_GETDATE and the
// notices the parent receives, the cell layout and bar size, real clicks on
// days and arrows, the painted selection and headings, and GDI objects.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

using Dates = std::vector<std::string>;

std::string Ymd(int year, int month, int day)
{
    char text[48];
    snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string Today()
{
    const time_t now = time(nullptr);
    const tm* local = localtime(&now);
    return Ymd(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

// A calendar filling the client area of a recording parent, which copies
// the record of each CALN_DATECHANGED when it handles the notice. After a
// resize the cells are w = (width - 4) / 7 by h = (height - 20) / 7, from
// x 4 and y 20; row 0 holds the headings.
class Calendar {
public:
    explicit Calendar(int width = 289, int height = 230, bool onScreen = false)
        : w((width - 4) / 7), h((height - 20) / 7)
    {
        static const bool classes = InitControls(GetModuleHandleA(nullptr)) != 0;
        EXPECT_TRUE(classes);
        host_.OnMessage(WM_COMMAND, [this](HWND, UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* d = reinterpret_cast<const CalendarDate*>(lParam);
            if (wParam == CALN_DATECHANGED) notices_.push_back(Ymd(d->year, d->month, d->day));
            return 0;
        });
        hwnd = CreateWindowExA(0, KW_CALENDAR_CLASS, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, host_.hwnd(),
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        bar = FindWindowExA(hwnd, nullptr, KW_CALENDARBAR_CLASS, nullptr);
        MoveWindow(hwnd, 0, 0, width, height, TRUE);
        if (!onScreen) return;
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(host_.hwnd(), HWND_TOP, 100, 100, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_SHOWWINDOW);
        SetForegroundWindow(host_.hwnd());
        UpdateWindow(host_.hwnd());
    }

    std::string Shown() const
    {
        CalendarDate d = {};
        EXPECT_EQ(0, SendMessageA(hwnd, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&d)));
        return Ymd(d.year, d.month, d.day);
    }
    void Set(int year, int month, int day) const
    {
        const CalendarDate d = {0, 0, 0, day, month, year, 0, 0, 0};
        EXPECT_EQ(0, SendMessageA(hwnd, CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&d)));
    }
    LRESULT Send(UINT message, WPARAM wParam) const { return SendMessageA(hwnd, message, wParam, 0); }

    RECT Cell(int row, int k) const { return {4 + k * w, 20 + row * h, 4 + (k + 1) * w, 20 + (row + 1) * h}; }
    // Centre of day cell n: 1 is row 1, Sunday; 42 row 6, Saturday.
    POINT Centre(int n) const { return {4 + (n - 1) % 7 * w + w / 2, 20 + (1 + (n - 1) / 7) * h + h / 2}; }
    LRESULT PressAt(int x, int y) const { return SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    LRESULT Press(int n) const { return PressAt(Centre(n).x, Centre(n).y); }

    // Notices handled since the last call, each as the parent read it.
    Dates Notices()
    {
        wintest::PumpPending();
        return std::move(notices_);
    }
    bool WaitForNotices(size_t n) { return wintest::PumpUntil([&] { return notices_.size() >= n; }, 3000); }

    HWND hwnd = nullptr;
    HWND bar = nullptr;
    const int w;
    const int h;

private:
    Dates notices_;
    wintest::MessageRecorder host_; // destroyed first, with the calendar
};

// Presses the left button `presses` times at a client point of `window`,
// through the system's input queue as the user would. Every event carries
// the point itself: a press alone lands wherever the system last saw the
// cursor, which may lag behind a move made just before.
void RealClick(HWND window, POINT p, int presses = 1)
{
    ClientToScreen(window, &p);
    INPUT in[5] = {};
    for (int i = 0; i <= 2 * presses; ++i) {
        in[i].type = INPUT_MOUSE;
        in[i].mi.dx = (p.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
        in[i].mi.dy = (p.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
        in[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        if (i > 0) in[i].mi.dwFlags |= i % 2 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    ASSERT_EQ(UINT(1 + 2 * presses), SendInput(1 + 2 * presses, in, sizeof(INPUT)));
}

using MonthShape = std::pair<int, int>; // column of the 1st (1 = Sunday), days

// What clicks reveal: the 1st is the first cell that answers, the last day
// the last one that does.
MonthShape ProbedShape(const Calendar& cal)
{
    MonthShape shape = {0, 0};
    for (int n = 1; n <= 7 && !shape.first; ++n)
        if (cal.Press(n)) shape.first = n;
    for (int days = 28; days <= 31; ++days)
        if (cal.Press(shape.first + days - 1)) shape.second = days;
    return shape;
}

MonthShape RuntimeShape(int year, int month)
{
    tm first = {0, 0, 12, 1, month - 1, year - 1900, 0, 0, -1};
    tm last = {0, 0, 12, 0, month, year - 1900, 0, 0, -1}; // the day before the next month's 1st
    // The 64-bit flavour: a 32-bit time ends in 2038.
    EXPECT_TRUE(_mktime64(&first) != -1 && _mktime64(&last) != -1) << year;
    return {first.tm_wday + 1, last.tm_mday};
}

} // namespace

// One 400-year cycle holds every case of the calendar's rules; later and
// earlier cycles repeat it.
TEST(CalendarDates, MonthShapesMatchTheRuntimeCalendarOverAFullCycle)
{
    Calendar cal;
    for (int year = 2000; year < 2400; ++year) {
        for (int month = 1; month <= 12; ++month) {
            cal.Set(year, month, 1);
            ASSERT_EQ(RuntimeShape(year, month), ProbedShape(cal)) << year << "-" << month;
        }
        cal.Notices();
    }
    for (const auto& february : {std::pair<int, int>{1900, 28}, {1999, 28}, {2000, 29}, {2004, 29}, {2024, 29}}) {
        cal.Set(february.first, 2, 1); // year, days
        EXPECT_EQ(february.second, ProbedShape(cal).second) << february.first;
    }
}

TEST(CalendarMessages, SetDateAndTodayPostNothingAndTodayNotifies)
{
    Calendar cal;
    EXPECT_EQ(Today(), cal.Shown());
    cal.Set(1999, 6, 40); // the day is taken as it comes
    EXPECT_EQ("1999-06-40", cal.Shown());
    EXPECT_TRUE(cal.Notices().empty());
    EXPECT_EQ(1, cal.Send(CALM_GETDATE, 0));
    EXPECT_EQ(1, cal.Send(CALM_SETDATE, 0));

    CalendarDate d;
    memset(&d, 0x5A, sizeof d);
    SendMessageA(cal.hwnd, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&d));
    EXPECT_EQ(0x5A5A5A5A, d.hour & d.minute & d.second & d.weekday & d.yearDay & d.daylightSaving); // untouched

    EXPECT_EQ(0, cal.Send(CALM_TODAY, 0));
    EXPECT_EQ(Dates{Today()}, cal.Notices());
}

TEST(CalendarMessages, MonthAndYearChangesLowerTheDayAndNotifyOnlyOnChange)
{
    Calendar cal;
    cal.Set(2000, 1, 31);
    cal.Send(CALM_SETMONTH, 1);
    EXPECT_EQ(Dates{"2000-02-29"}, cal.Notices());
    cal.Send(CALM_SETMONTH, 1);
    cal.Send(CALM_SETYEAR, 2000);
    EXPECT_TRUE(cal.Notices().empty());
    cal.Send(CALM_SETYEAR, 1999);
    EXPECT_EQ(Dates{"1999-02-28"}, cal.Notices());
    cal.Send(CALM_SETYEAR, 0x10000 + 2004); // the low 16 bits count
    EXPECT_EQ("2004-02-28", cal.Shown());

    // Posted, not sent: the parent reads both notices after the calendar is
    // gone, from the calendar's one record, which holds the later date.
    cal.Send(CALM_SETYEAR, 65536);
    DestroyWindow(cal.hwnd);
    EXPECT_EQ(Dates({"0000-02-28", "0000-02-28"}), cal.Notices());
}

TEST(CalendarMessages, DirectSettersStoreTheirValuesUnchecked)
{
    Calendar cal(289, 230, true);
    cal.Set(1999, 6, 1); // starts in column 3
    cal.Send(CALM_SETDAY, 31);
    EXPECT_EQ(Dates{"1999-06-31"}, cal.Notices());
    cal.Send(CALM_SETDAYCOUNT, 20);
    EXPECT_EQ("1999-06-20", cal.Shown());
    EXPECT_TRUE(cal.Notices().empty());
    EXPECT_EQ(0, cal.Press(3 + 20)); // day 21 is past the count now

    cal.Send(CALM_SETFIRSTDAY, 1);
    EXPECT_EQ(1, cal.Press(1));
    EXPECT_EQ(Dates({"1999-06-01", "1999-06-01"}), cal.Notices());

    // Values far outside any month change only the numbers drawn and the
    // cells that answer clicks.
    cal.Send(CALM_SETMONTH, 40000);
    cal.Send(CALM_SETFIRSTDAY, 65535);
    cal.Send(CALM_SETDAY, 65535);
    UpdateWindow(cal.hwnd);
    for (int n = 1; n <= 42; ++n) EXPECT_EQ(0, cal.Press(n));
    EXPECT_EQ(3u, cal.Notices().size());
    cal.Set(1999, 0, 1); // the bar gets month 65535
    UpdateWindow(cal.bar);
    EXPECT_EQ("1999-00-01", cal.Shown());
}

TEST(CalendarLayout, CellsAndBarFollowTheWindowSize)
{
    const struct { int width, height, barWidth; } sizes[] = {{289, 230, 285}, {200, 160, 197}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.width);
        Calendar cal(s.width, s.height);
        RECT bar;
        GetWindowRect(cal.bar, &bar);
        MapWindowPoints(nullptr, cal.hwnd, reinterpret_cast<POINT*>(&bar), 2);
        const RECT expected = {1, 1, 1 + s.barWidth, 21};
        EXPECT_TRUE(EqualRect(&bar, &expected)) << bar.left << " " << bar.top << " " << bar.right << " " << bar.bottom;

        // August 1999 starts on a Sunday: day 11 is row 2, column 3, and
        // its left and top edges belong to it.
        cal.Set(1999, 8, 1);
        const RECT c = cal.Cell(2, 3);
        const struct { int x, y; const char* day; } presses[] = {
            {c.left, c.top, "1999-08-11"}, {c.left - 1, c.top, "1999-08-10"}, {c.left, c.top - 1, "1999-08-04"}};
        for (const auto& p : presses) {
            EXPECT_EQ(1, cal.PressAt(p.x, p.y));
            EXPECT_EQ(p.day, cal.Shown());
        }
        cal.Notices();
        EXPECT_EQ(0, cal.PressAt(c.left, cal.Cell(0, 3).bottom - 1)); // heading row
        EXPECT_EQ(0, cal.PressAt(3, c.top));
        EXPECT_EQ(0, cal.PressAt(cal.Cell(2, 6).right, c.top));
        EXPECT_TRUE(cal.Notices().empty());
    }
}

TEST(CalendarClicks, RealClicksSelectOnlyDaysOfTheShownMonth)
{
    Calendar cal(289, 230, true);
    cal.Set(1999, 5, 1); // starts on a Saturday: the first row is 25 ... 30 April, then 1 May
    RealClick(cal.hwnd, cal.Centre(1));
    RealClick(cal.hwnd, {cal.Centre(3).x, cal.Cell(0, 3).top + cal.h / 2}); // heading
    RealClick(cal.hwnd, cal.Centre(21));
    ASSERT_TRUE(cal.WaitForNotices(1));
    EXPECT_EQ(Dates{"1999-05-15"}, cal.Notices());
    RealClick(cal.hwnd, cal.Centre(7));
    ASSERT_TRUE(cal.WaitForNotices(1));
    EXPECT_EQ(Dates{"1999-05-01"}, cal.Notices());
}

TEST(CalendarBar, RealClicksStepMonthsAndYearsAndJumpToToday)
{
    Calendar cal(289, 230, true);
    RECT r;
    GetClientRect(cal.bar, &r);
    auto click = [&](int x, int presses, size_t notices) {
        RealClick(cal.bar, {x, r.bottom / 2}, presses);
        EXPECT_TRUE(cal.WaitForNotices(notices));
        return cal.Notices();
    };

    // The bar follows a date set on the calendar. A step across a year end
    // sends the month first, then the year; both notices are read after
    // both were posted, from the one record.
    cal.Set(1999, 1, 15);
    EXPECT_EQ(Dates({"1998-12-15", "1998-12-15"}), click(5, 1, 2));
    EXPECT_EQ(Dates({"1999-01-15", "1999-01-15"}), click(r.right - 5, 1, 2));
    EXPECT_EQ(Dates{"2000-01-15"}, click(r.right - 30, 1, 1));
    EXPECT_EQ(Dates{"1999-01-15"}, click(30, 1, 1));
    EXPECT_EQ(Dates{"1999-02-15"}, click(r.right - 5, 2, 1)); // the double click is no second step
    EXPECT_EQ(Dates{Today()}, click(r.right / 2, 2, 1));

    // On a 60-pixel bar x 25 lies in both year zones: two steps, no change.
    Calendar narrow(63, 100);
    GetClientRect(narrow.bar, &r);
    ASSERT_EQ(60, r.right);
    narrow.Set(1999, 3, 1);
    SendMessageA(narrow.bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 5));
    EXPECT_EQ(Dates({"1999-03-01", "1999-03-01"}), narrow.Notices());
}

TEST(CalendarPaint, SelectedDayHeadingsAndGreyDaysByPixels)
{
    Calendar cal(289, 230, true);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT), grey = GetSysColor(COLOR_GRAYTEXT);
    auto lit = [&](const wintest::Pixels& shot, int n) {
        const POINT corner = {cal.Centre(n).x - cal.w / 2 + 2, cal.Centre(n).y - cal.h / 2 + 2};
        return shot.At(corner.x, corner.y) == highlight;
    };

    cal.Set(1999, 5, 15); // the 15th is cell 21
    wintest::Pixels shot = wintest::CaptureClient(cal.hwnd);
    ASSERT_FALSE(shot.empty());
    EXPECT_TRUE(lit(shot, 21));
    EXPECT_FALSE(lit(shot, 20));
    for (int k = 0; k < 7; ++k) {
        const RECT heading = cal.Cell(0, k), first = cal.Cell(1, k);
        EXPECT_GT(shot.CountColor(text, &heading), 0) << k;
        EXPECT_EQ(k < 6, shot.CountColor(grey, &first) > 0) << k; // April's last days
        EXPECT_EQ(k < 6, shot.CountColor(text, &first) == 0) << k;
    }

    // Day 31 of a 30-day month: the first grey cell after the month is lit.
    cal.Set(1999, 6, 1);
    cal.Send(CALM_SETDAY, 31); // June 1999 starts in column 3: cell 33
    shot = wintest::CaptureClient(cal.hwnd);
    for (int n = 1; n <= 42; ++n) EXPECT_EQ(n == 33, lit(shot, n)) << n;
}

TEST(CalendarResources, NavigatingAYearLeavesNoGdiObjects)
{
    Calendar cal(289, 230, true);
    auto navigate = [&](int rounds) {
        for (int i = 0; i < 24 * rounds; ++i) {
            SendMessageA(cal.bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(i % 24 < 12 ? 280 : 5, 5)); // on, then back
            UpdateWindow(cal.hwnd);
            UpdateWindow(cal.bar);
        }
        for (int i = 0; i < rounds; ++i) Calendar(200, 160, true).Notices();
        cal.Notices();
    };
    navigate(1);
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    navigate(10);
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(before.gdi.total, after.gdi.total) << before.DescribeChange(after);
    EXPECT_EQ(before.user.total, after.user.total) << before.DescribeChange(after);
}

TEST(CalendarKeys, KeysMoveTheDayAcrossMonthAndYearEndsAndTellTheParent)
{
    Calendar cal;
    const struct {
        WPARAM key;
        const char* from;
        const char* to;
    } moves[] = {
        {VK_LEFT, "2024-03-01", "2024-02-29"},  {VK_RIGHT, "2024-12-31", "2025-01-01"},
        {VK_UP, "2025-01-03", "2024-12-27"},    {VK_DOWN, "2023-02-25", "2023-03-04"},
        {VK_PRIOR, "2024-03-31", "2024-02-29"}, {VK_NEXT, "2024-12-15", "2025-01-15"},
        {VK_HOME, "2024-06-17", "2024-06-01"},  {VK_END, "2024-02-10", "2024-02-29"},
    };
    for (const auto& move : moves) {
        int y, m, d;
        sscanf(move.from, "%d-%d-%d", &y, &m, &d);
        cal.Set(y, m, d);
        cal.Notices();
        EXPECT_EQ(cal.Send(WM_KEYDOWN, move.key), 0);
        EXPECT_EQ(cal.Shown(), move.to) << move.from;
        // The parent hears of the day as a click tells it; the bar shows
        // the month the day is in.
        EXPECT_EQ(cal.Notices(), Dates{move.to}) << move.from;
        EXPECT_EQ(SendMessageA(cal.hwnd, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
    }
    // The bar follows a move into another month: a click on its next-month
    // arrow now steps from there.
    cal.Set(2024, 1, 31);
    cal.Send(WM_KEYDOWN, VK_RIGHT);
    SendMessageA(cal.bar, WM_LBUTTONDOWN, 0, MAKELPARAM(280, 5));
    EXPECT_EQ(cal.Shown().substr(0, 7), "2024-03");
}
