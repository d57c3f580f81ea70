// Every window class of the library as a screen reader reads it: role,
// name, value, state, parts and default action; the events a change
// raises; default actions doing what a click does; the object going with
// its window. A UTF-8 process, so names carry any script; run at 96 and
// 192 DPI.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "accessible.h"
#include "kwctrl32.h"
#include "tray.h"
#include "wintest.h"

namespace {

using wintest::AccessibleReader;

// WinEvents of this process, caught out of context as a screen reader
// catches them.
struct WinEvent {
    DWORD event;
    HWND window;
    LONG object, part;
};
std::vector<WinEvent> caught;

void CALLBACK CatchEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG part, DWORD, DWORD)
{
    caught.push_back({event, window, object, part});
}

bool SawEvent(DWORD event, HWND window, LONG part = CHILDID_SELF)
{
    return wintest::PumpUntil(
        [&] {
            for (const WinEvent& e : caught)
                if (e.event == event && e.window == window && e.object == OBJID_CLIENT && e.part == part) return true;
            return false;
        },
        2000);
}

std::string LongDate(int year, int month, int day)
{
    SYSTEMTIME date = {};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    char text[128] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, text, sizeof text);
    return text;
}

int Scaled(int pixels)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi, 96);
}

// Controls on a visible parent that records what they send it.
class AccessibleTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        InitControls(GetModuleHandleA(nullptr));
    }
    void SetUp() override
    {
        parent = std::make_unique<wintest::MessageRecorder>();
        SetWindowPos(parent->hwnd(), HWND_TOPMOST, 20, 20, 900, 600, SWP_SHOWWINDOW);
        hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, CatchEvent, GetCurrentProcessId(), 0,
                               WINEVENT_OUTOFCONTEXT);
        caught.clear();
    }
    void TearDown() override
    {
        UnhookWinEvent(hook);
        parent.reset();
        wintest::PumpPending();
    }

    // At 96-DPI coordinates, scaled.
    HWND Make(const char* cls, const char* text, int x, int y, int w, int h)
    {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE, Scaled(x), Scaled(y), Scaled(w), Scaled(h),
                               parent->hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)), nullptr,
                               nullptr);
    }
    // A tool tip hooked onto a new push button.
    HWND MakeTip(const char* text)
    {
        HWND control = Make("BUTTON", "OK", 320, 10, 60, 24);
        CreateTip(GetModuleHandleA(nullptr), parent->hwnd(), GetDlgCtrlID(control), text);
        return static_cast<HWND>(GetPropA(control, MAKEINTATOM(TIPPROP_TIPWND)));
    }
    HWND MakeCalendar(int year, int month, int day)
    {
        HWND calendar = Make(KW_CALENDAR_CLASS, "", 10, 170, 280, 200);
        CalendarDate date = {};
        date.day = day, date.month = month, date.year = year;
        SendMessageA(calendar, CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&date));
        return calendar;
    }

    std::unique_ptr<wintest::MessageRecorder> parent;
    HWINEVENTHOOK hook = nullptr;
    int nextId = 1201;
};

struct Expected {
    const char* what;
    std::function<HWND(AccessibleTest&)> make;
    LONG role;
    std::string name, value; // name "?": checked apart
    LONG states;             // all of these
    std::string action;
    LONG partRole = 0;                   // of every part
    std::vector<std::string> parts = {}; // "*": any name
    std::string partAction = {};
};

} // namespace

TEST_F(AccessibleTest, EveryClassReadsAsTheSystemsOwnControlOfItsKind)
{
    HWND calendar = nullptr;
    std::vector<std::string> days;
    for (int day = 1; day <= 29; ++day) days.push_back(LongDate(2024, 2, day));
    const Expected cases[] = {
        {"bitmap button", [](AccessibleTest& t) { return t.Make(KW_BMPBUTTON_CLASS, "Browse for the &viewer", 10, 10, 24, 24); },
         ROLE_SYSTEM_PUSHBUTTON, "Browse for the viewer", "", STATE_SYSTEM_FOCUSABLE, "Press"},
        {"3-D frame", [](AccessibleTest& t) { return t.Make(KW_DIPS_CLASS, "Ввод и вывод", 40, 10, 60, 40); },
         ROLE_SYSTEM_GROUPING, "Ввод и вывод", "", 0, ""},
        {"hyperlink",
         [](AccessibleTest& t) {
             HWND link = t.Make(KW_URL_CLASS, "Custom1", 110, 10, 200, 24);
             SendMessageA(link, URLM_SETLINK, 0, reinterpret_cast<LPARAM>("http://例え.jp/über"));
             return link;
         },
         ROLE_SYSTEM_LINK, "http://例え.jp/über", "http://例え.jp/über", STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE,
         "Jump"},
        {"tool tip", [](AccessibleTest& t) { return t.MakeTip("Öffnet 東京 🎉"); }, ROLE_SYSTEM_TOOLTIP,
         "Öffnet 東京 🎉", "", STATE_SYSTEM_INVISIBLE, ""},
        {"gauge",
         [](AccessibleTest& t) {
             HWND gauge = t.Make(KW_GASGAUGE_CLASS, "Copying", 10, 60, 200, 20);
             SendMessageA(gauge, GGM_SETPOS, 42, 0);
             return gauge;
         },
         ROLE_SYSTEM_PROGRESSBAR, "Copying", "42%", STATE_SYSTEM_READONLY, ""},
        {"bumps", [](AccessibleTest& t) { return t.Make(KW_BUMPS_CLASS, "", 220, 60, 30, 30); }, ROLE_SYSTEM_GRIP, "",
         "", 0, ""},
        {"status bar",
         [](AccessibleTest& t) {
             HWND bar = t.Make(KW_STATUS_CLASS, "", 10, 100, 500, 24);
             statusUpdateStatus(bar, "Готово: %d", 3);
             statusUpdateCount(bar, "%d", 7);
             return bar;
         },
         ROLE_SYSTEM_STATUSBAR, "", "", STATE_SYSTEM_READONLY, "", ROLE_SYSTEM_STATICTEXT,
         {"Готово: 3", "Total", "7", "Time", "*"}},
        {"status text",
         [](AccessibleTest& t) {
             HWND bar = t.Make(KW_STATUS_CLASS, "", 10, 130, 500, 24);
             statusUpdateStatus(bar, "Ελληνικά");
             return GetDlgItem(bar, IDC_STATUSTEXT);
         },
         ROLE_SYSTEM_STATICTEXT, "Ελληνικά", "", STATE_SYSTEM_READONLY, ""},
        {"calendar",
         [&calendar](AccessibleTest& t) {
             calendar = t.MakeCalendar(2024, 2, 10);
             SetFocus(calendar);
             return calendar;
         },
         ROLE_SYSTEM_TABLE, "February 2024", LongDate(2024, 2, 10), STATE_SYSTEM_FOCUSED, "", ROLE_SYSTEM_CELL, days},
        {"month and year bar",
         [&calendar](AccessibleTest&) { return FindWindowExA(calendar, nullptr, KW_CALENDARBAR_CLASS, nullptr); },
         ROLE_SYSTEM_TOOLBAR, "February 2024", "", 0, "", ROLE_SYSTEM_PUSHBUTTON,
         {"Previous year", "Previous month", "Next month", "Next year"}, "Press"},
        {"header slider",
         [](AccessibleTest& t) {
             HWND header = t.Make(KW_HEADER_CLASS, "", 300, 200, 400, 24);
             SendMessageA(header, HDRM_SETCOUNT, 3, 0);
             const char* captions[] = {"Von", "Betreff", "日付"};
             for (WPARAM i = 0; i < 3; ++i) SendMessageA(header, HDRM_SETTEXT, i, reinterpret_cast<LPARAM>(captions[i]));
             return header;
         },
         ROLE_SYSTEM_LIST, "", "", 0, "", ROLE_SYSTEM_COLUMNHEADER, {"Von", "Betreff", "日付"}},
        {"time display", [](AccessibleTest& t) { return t.Make(KW_TIMEDISPLAY_CLASS, "", 300, 60, 200, 90); },
         ROLE_SYSTEM_STATICTEXT, "?", "", STATE_SYSTEM_READONLY, ""},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.what);
        HWND window = c.make(*this);
        wintest::PumpPending();
        const AccessibleReader reader(window);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader.Role(), c.role);
        if (c.name != "?") {
            EXPECT_EQ(reader.Name(), c.name);
        }
        EXPECT_EQ(reader.Value(), c.value);
        EXPECT_EQ(reader.State() & c.states, c.states) << std::hex << reader.State();
        EXPECT_EQ(reader.Action(), c.action);
        // Screen rectangles: the window's is its client area, its parts'
        // lie within it.
        RECT client;
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        const RECT self = reader.Location();
        EXPECT_TRUE(EqualRect(&client, &self));
        ASSERT_EQ(reader.Parts(), static_cast<LONG>(c.parts.size()));
        for (LONG part = 1; part <= reader.Parts(); ++part) {
            SCOPED_TRACE(part);
            if (c.parts[part - 1] != "*") {
                EXPECT_EQ(reader.Name(part), c.parts[part - 1]);
            }
            EXPECT_EQ(reader.Role(part), c.partRole);
            EXPECT_EQ(reader.Action(part), c.partAction);
            RECT where = reader.Location(part), within;
            EXPECT_TRUE(IntersectRect(&within, &where, &client) && EqualRect(&within, &where));
        }
    }

    // The moment the panel was made, as it shows it: "9:07am Friday 11
    // December 2026".
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string moment = AccessibleReader(FindWindowExA(parent->hwnd(), nullptr, KW_TIMEDISPLAY_CLASS, nullptr)).Name();
    EXPECT_NE(moment.find(now.wHour < 12 ? "am " : "pm "), std::string::npos) << moment;
    EXPECT_NE(moment.find(std::to_string(now.wYear)), std::string::npos) << moment;
    // Parts follow the DPI: the status bar's "Time" pane is 40 pixels wide
    // at 96 DPI. The calendar's selected day is selected and focused.
    const RECT time = AccessibleReader(FindWindowExA(parent->hwnd(), nullptr, KW_STATUS_CLASS, nullptr)).Location(4);
    EXPECT_EQ(time.right - time.left, Scaled(40));
    const AccessibleReader month(calendar);
    EXPECT_EQ(month.Selection(), 10);
    EXPECT_EQ(month.State(10) & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED),
              STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(month.State(11) & STATE_SYSTEM_SELECTED, 0);
}

TEST_F(AccessibleTest, ChangesAUserWouldHearRaiseTheirEvents)
{
    HWND gauge = Make(KW_GASGAUGE_CLASS, "", 10, 10, 200, 20);
    SendMessageA(gauge, GGM_SETPOS, 50, 0);
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_VALUECHANGE, gauge));

    HWND calendar = MakeCalendar(2024, 2, 10);
    SendMessageA(calendar, CALM_SETDAY, 17, 0);
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_SELECTION, calendar, 17));
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_VALUECHANGE, calendar));

    HWND bar = Make(KW_STATUS_CLASS, "", 10, 260, 500, 24);
    statusUpdateStatus(bar, "Working");
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_NAMECHANGE, bar, 1));
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_NAMECHANGE, GetDlgItem(bar, IDC_STATUSTEXT)));

    HWND tip = MakeTip("Tip");
    SendMessageA(tip, TIPM_SHOW, 1, MAKELPARAM(400, 300));
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_SHOW, tip));
    EXPECT_EQ(AccessibleReader(tip).State() & STATE_SYSTEM_INVISIBLE, 0);
    SendMessageA(tip, TIPM_SHOW, 0, 0);
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_HIDE, tip));

    // A latched button reads pressed; one greyed by its own message reads
    // unavailable and takes no focus.
    HWND button = Make(KW_BMPBUTTON_CLASS, "Latch", 10, 300, 24, 24);
    const AccessibleReader reader(button);
    SendMessageA(button, BBM_SETLATCH, 1, 0);
    EXPECT_TRUE(SawEvent(EVENT_OBJECT_STATECHANGE, button));
    EXPECT_TRUE(reader.State() & STATE_SYSTEM_PRESSED);
    SendMessageA(button, BBM_SETLATCH, 0, 0);
    SendMessageA(button, BBM_ENABLE, 0, 0);
    EXPECT_EQ(reader.State() & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_PRESSED),
              STATE_SYSTEM_UNAVAILABLE);
}

TEST_F(AccessibleTest, DefaultActionsDoWhatAClickDoes)
{
    // The button tells its parent, as a click does; greyed, it does not.
    HWND button = Make(KW_BMPBUTTON_CLASS, "Go", 10, 10, 24, 24);
    EXPECT_EQ(AccessibleReader(button).Do(), S_OK);
    EXPECT_TRUE(parent->WaitFor(WM_COMMAND, 1, 2000));
    SendMessageA(button, BBM_ENABLE, 0, 0);
    EXPECT_EQ(AccessibleReader(button).Do(), S_OK);
    wintest::PumpFor(200);
    EXPECT_EQ(parent->Count(WM_COMMAND), 1u);

    // The bar's buttons step the calendar's month and year.
    HWND calendar = MakeCalendar(2025, 1, 31);
    const AccessibleReader bar(FindWindowExA(calendar, nullptr, KW_CALENDARBAR_CLASS, nullptr));
    const struct {
        LONG button;
        int month, year;
    } steps[] = {{3, 2, 2025}, {4, 2, 2026}, {2, 1, 2026}, {1, 1, 2025}};
    for (const auto& step : steps) {
        EXPECT_EQ(bar.Do(step.button), S_OK);
        wintest::PumpFor(100);
        CalendarDate date = {};
        SendMessageA(calendar, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&date));
        EXPECT_EQ(date.month * 10000 + date.year, step.month * 10000 + step.year) << step.button;
    }
    EXPECT_EQ(bar.Name(), "January 2025");

    // The link opens its target.
    const std::string log = wintest::NewStandInLog("accessible");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    HWND link = Make(KW_URL_CLASS, "", 300, 10, 300, 24);
    SendMessageA(link, URLM_SETLINK, 0, reinterpret_cast<LPARAM>(wintest::StandInPath().c_str()));
    EXPECT_EQ(AccessibleReader(link).Do(), S_OK);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "started", 15000));
    // The stand-in must not outlive the test: it would hold the test's output open.
    if (HWND standIn = wintest::WaitForWindow("FRAME", "Corvid Mail", 15000)) SendMessageA(standIn, WM_CLOSE, 0, 0);
}

TEST_F(AccessibleTest, TheWindowLetsItsObjectGoAndAReaderStillHoldingItHearsDisconnected)
{
    HWND gauge = Make(KW_GASGAUGE_CLASS, "Gone", 10, 10, 200, 20);
    const AccessibleReader reader(gauge);
    EXPECT_EQ(reader.Name(), "Gone");
    EXPECT_GT(reader.OtherHolders(), 0u); // the window's own
    DestroyWindow(gauge);
    EXPECT_EQ(reader.NameResult(), RPC_E_DISCONNECTED);
    EXPECT_EQ(reader.OtherHolders(), 0u);
}
