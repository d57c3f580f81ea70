// Every window class of the library, soaked: created under a visible parent,
// painted over and over while it is resized and sent its own messages with
// ordinary and edge values, destroyed, and made again. After one warm-up
// round the process's GDI objects, USER objects and heap must come back to
// where they started, however many rounds follow.
//
// The default counts keep the program short enough for every test run;
// KW_LONG_SOAK=1 runs the full soak: 5000 paints a round, 200 rounds a
// class. One class alone: --gtest_filter=*/KWGasGauge (GTEST_FILTER in the
// environment, through CTest).
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

struct Counts {
    int paints; // per round
    int rounds; // measured rounds, after the warm-up round
};
constexpr Counts kShortSoak = {150, 8};
constexpr Counts kLongSoak = {5000, 200};

// The window is resized every this many paints, through kSizes in turn.
constexpr int kResizeEvery = 8;
const SIZE kSizes[] = {{0, 0}, {1, 1}, {3, 200}, {600, 7}, {420, 310}, {48, 48}};

Counts SoakCounts()
{
    const char* text = std::getenv("KW_LONG_SOAK");
    return text && std::string(text) == "1" ? kLongSoak : kShortSoak;
}

// Texts made once, before anything is measured.
const std::string kLongText(300, 'w');
const std::string kHugeText(10000, 'h');

// A plain visible parent that answers WM_GETFONT with the GUI font (the
// gauge sizes its font from it) and otherwise ignores what its children
// send or post it: commands, calendar notices, header notifications.
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeParent()
{
    static const ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = "KwSoakParent";
        return RegisterClassA(&wc);
    }();
    if (!atom) return nullptr;
    return CreateWindowExA(0, "KwSoakParent", "Soak", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 700, 500, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(window, message, wParam, lParam);
}

LPARAM Text(const char* text)
{
    return reinterpret_cast<LPARAM>(text);
}

// ---------------------------------------------------------------- the classes

// One window of a class and, for a tip, the control it is hooked to.
struct Made {
    HWND window = nullptr;
    HWND helper = nullptr;
};

Made MakeChild(const char* className, HWND parent, int width, int height)
{
    return {CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, 10, 10, width, height, parent,
                            reinterpret_cast<HMENU>(1001), nullptr, nullptr)};
}

struct SoakClass {
    const char* name;
    Made (*make)(HWND parent);
    // Step n of the class's own messages; each round runs them in turn
    // between the paints.
    void (*step)(const Made& made, HWND parent, int n);
};

// Failures name the class, not the bytes of its table entry.
void PrintTo(const SoakClass& c, std::ostream* out)
{
    *out << c.name;
}

void CommandOnly(const Made& made, HWND, int n)
{
    // Panels pass commands on to their parent.
    const LPARAM from = n % 3 ? 0 : reinterpret_cast<LPARAM>(made.window);
    Send(made.window, WM_COMMAND, MAKEWPARAM(7, n % 2 ? BN_CLICKED : 0), from);
}

void UrlStep(const Made& made, HWND, int n)
{
    static const char* const kLinks[] = {"http://www.example.com/news", "", "mailto:desk@example.com"};
    switch (n % 5) {
    case 0:
    case 1:
    case 2: Send(made.window, URLM_SETLINK, 0, Text(kLinks[n % 5])); break;
    case 3: Send(made.window, URLM_SETLINK, 0, Text(kLongText.c_str())); break;
    default: Send(made.window, URLM_SETLINK, 0, 0); break; // null: no change
    }
}

void ButtonStep(const Made& made, HWND, int n)
{
    // Image sources: an OEM bitmap (the check mark), a resource that does
    // not exist, and none at all.
    static const KwImageSource kCheck = {nullptr, 32760};
    static const KwImageSource kMissing = {GetModuleHandleA(nullptr), 4711};
    switch (n % 9) {
    case 0: Send(made.window, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&kCheck)); break;
    case 1: Send(made.window, BBM_SETLATCH, 1); break;
    case 2: Send(made.window, BBM_ENABLE, 0); break;
    case 3: Send(made.window, BBM_SETLATCH, 2); break;
    case 4: Send(made.window, BBM_ENABLE, 7); break;
    case 5: Send(made.window, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&kMissing)); break;
    case 6: Send(made.window, BBM_SETLATCH, 0); break;
    case 7: Send(made.window, BBM_SETIMAGES, 0, 0); break;
    default: Send(made.window, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&kCheck)); break;
    }
}

void GaugeStep(const Made& made, HWND, int n)
{
    const HWND g = made.window;
    switch (n % 16) {
    case 0: Send(g, GGM_SETRANGE, 0, MAKELPARAM(0, 100)); break;
    case 1: Send(g, GGM_SETPOS, 40); break;
    case 2: Send(g, GGM_SETFLAGS, 0, GGF_PERCENT); break;
    case 3: Send(g, GGM_ADVANCE, 0, 1); break;
    case 4: Send(g, GGM_ADVANCE, 0, -1); break; // wraps: a full gauge
    case 5: Send(g, GGM_SETRANGE, 0, 0); break; // range 0
    case 6: Send(g, GGM_SETPOS, 0xFFFF); break;
    case 7: Send(g, GGM_ADDRANGE, 0, -1); break;
    case 8: Send(g, GGM_SETRANGE, 0, MAKELPARAM(0, 0xFFFF)); break;
    case 9: Send(g, GGM_SETFLAGS, 0, -1); break;
    case 10: Send(g, WM_COMMAND, GGC_SETBARCOLOR, RGB(0, 160, 0)); break;
    case 11: Send(g, WM_COMMAND, GGC_SETBKCOLOR, RGB(255, 255, 224)); break;
    case 12: Send(g, WM_COMMAND, GGC_SETRANGE, MAKELPARAM(0, 7)); break;
    case 13: Send(g, WM_COMMAND, GGC_SETPOS, 0x7FFFFFFF); break;
    case 14: Send(g, WM_COMMAND, GGC_SETFLAGS, 0); break;
    default: Send(g, GGM_ADVANCE, 0, 0x7FFFFFFF); break;
    }
}

void HeaderStep(const Made& made, HWND parent, int n)
{
    const HWND h = made.window;
    RECT client;
    GetClientRect(h, &client);
    const int divider = client.right / 2 - 1; // column 1 starts at 50 %
    switch (n % 24) {
    case 0: Send(h, HDRM_SETCOUNT, 3); break;
    case 1: Send(h, HDRM_SETTEXT, 0, Text("Sender")); break;
    case 2: Send(h, HDRM_SETTEXT, 1, Text(kLongText.c_str())); break;
    case 3: Send(h, HDRM_SETTEXT, 2, 0); break;
    case 4: Send(h, HDRM_SETTEXT, 0xFFFF, Text("nowhere")); break;
    case 5: Send(h, HDRM_SETALIGN, 1, HDR_ALIGN_RIGHT); break;
    case 6: Send(h, HDRM_SETALIGN, 2, HDR_ALIGN_CENTER); break;
    case 7: Send(h, HDRM_SETALIGN, 0, 0xFFFF); break;
    case 8: Send(h, HDRM_SETPOS, 1, 50); break;
    case 9: Send(h, HDRM_SETPOS, 2, 100); break; // from 100 % on: not drawn
    case 10: Send(h, HDRM_SETTEXTCOLOR, 0, RGB(128, 0, 0)); break;
    case 11: Send(h, HDRM_SETBKCOLOR, 0, RGB(224, 224, 255)); break;
    case 12: Send(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 1); break;
    case 13: Send(h, HDRM_SETNOTIFY, reinterpret_cast<WPARAM>(parent)); break;
    case 14: // a click on the first column
        Send(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        Send(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        break;
    case 15: // a drag of the middle divider
        Send(h, HDRM_SETPOS, 1, 50);
        Send(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(divider, 5));
        Send(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(divider + 30, 5));
        Send(h, WM_LBUTTONUP, 0, MAKELPARAM(divider + 30, 5));
        break;
    case 16: Send(h, HDRM_GETPOS, 0xFFFF); break;
    case 17: Send(h, HDRM_GETALIGN, 9); break;
    case 18: Send(h, HDRM_SETPOS, 0, 0xFFFF); break;
    case 19: Send(h, WM_SETFONT, 0, 1); break;
    case 20: Send(h, HDRM_SETCOUNT, 0); break;
    case 21: Send(h, HDRM_SETNOTIFY, 0); break;
    case 22: Send(h, HDRM_SETCOUNT, 0xFFFF); break; // the most columns there can be
    default: Send(h, HDRM_GETCOUNT); break;
    }
}

void StatusStep(const Made& made, HWND, int n)
{
    const HWND bar = made.window;
    switch (n % 7) {
    case 0: statusUpdateStatus(bar, "%s", "Ready"); break;
    case 1: statusUpdateCount(bar, "%d", 12); break;
    case 2: statusUpdateStatus(bar, "%s", kLongText.c_str()); break;
    case 3: statusUpdateCount(bar, "%s", ""); break;
    case 4: statusUpdateStatus(nullptr, "%s-%d", "no bar named", n); break; // the latest bar
    case 5: Send(bar, WM_SYSCOLORCHANGE); break;
    default: MsgTimer(bar); break;
    }
}

void TextStep(const Made& made, HWND, int n)
{
    switch (n % 4) {
    case 0: Send(made.window, WM_SETTEXT, 0, Text("Ready")); break;
    case 1: Send(made.window, WM_SETTEXT, 0, Text(kHugeText.c_str())); break;
    case 2: Send(made.window, WM_SETTEXT, 0, Text("")); break;
    default: Send(made.window, WM_SETTEXT, 0, 0); break;
    }
}

// A tip is made for a control of the parent, the way CreateTip makes it.
Made MakeTip(HWND parent)
{
    Made made;
    made.helper = CreateWindowExA(0, "BUTTON", "Control", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24, parent,
                                  reinterpret_cast<HMENU>(1002), nullptr, nullptr);
    made.window = CreateWindowExA(0, KW_TIP_CLASS, kLongText.c_str(), WS_POPUP | WS_CHILD, 0, 0, 1, 1, parent,
                                  nullptr, nullptr, &made.helper);
    return made;
}

void TipStep(const Made& made, HWND, int n)
{
    const HWND tip = made.window, control = made.helper;
    switch (n % 9) {
    case 0: Send(tip, TIPM_SHOW, 1, MAKELPARAM(100, 100)); break;
    case 1: Send(tip, TIPM_SHOW, 1, MAKELPARAM(0xFFFF, 0xFFFF)); break;
    case 2: Send(tip, TIPM_SHOW, 1, MAKELPARAM(0, 0)); break;
    case 3: Send(control, WM_MOUSEMOVE); break;
    case 4: Send(control, WM_TIMER, TIP_TIMER_HIDE); break; // hides it
    case 5: Send(tip, TIPM_SHOW, 1, MAKELPARAM(300, 200)); break;
    case 6: Send(control, WM_TIMER, TIP_TIMER_DELAY); break;
    case 7: Send(control, WM_KEYDOWN, VK_SPACE); break; // hides it
    default: Send(tip, TIPM_SHOW, 0); Send(tip, TIPM_SHOW, 1, MAKELPARAM(50, 60)); break;
    }
}

void CalendarStep(const Made& made, HWND, int n)
{
    const HWND c = made.window;
    CalendarDate date = {};
    switch (n % 24) {
    case 0: Send(c, CALM_SETDAY, 31); break;
    case 1: Send(c, CALM_SETMONTH, 1); break;
    case 2: Send(c, CALM_SETYEAR, 2000); break;
    case 3: Send(c, CALM_SETDAYCOUNT, 0xFFFF); break;
    case 4: Send(c, CALM_SETFIRSTDAY, 0xFFFF); break;
    case 5: Send(c, CALM_SETMONTH, 12); break;
    case 6: Send(c, CALM_SETDAY, 0); break;
    case 7: Send(c, CALM_TODAY); break;
    case 8: Send(c, CALM_SETYEAR, 0); break;
    case 9: Send(c, CALM_SETFIRSTDAY, 0); break;
    case 10: Send(c, CALM_SETDAYCOUNT, 28); break;
    case 11: Send(c, CALM_SETMONTH, 0xFFFF); break;
    case 12: Send(c, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&date)); break;
    case 13: Send(c, CALM_GETDATE, 0, 0); break;
    case 14:
        date.day = 29, date.month = 2, date.year = 2000;
        Send(c, CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&date));
        break;
    case 15:
        date.day = INT_MAX, date.month = INT_MIN, date.year = INT_MIN;
        Send(c, CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&date));
        break;
    case 16: Send(c, CALM_SETDATE, 0, 0); break;
    case 17: Send(c, CALM_SETDAY, 0xFFFF); break;
    case 18: Send(c, CALM_SETFIRSTDAY, 7); break;
    case 19: Send(c, CALM_SETDAYCOUNT, 0); break;
    case 20: Send(c, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 90)); break; // on a day
    case 21: Send(c, CALM_SETYEAR, 0xFFFF); break;
    case 22: Send(c, CALM_SETMONTH, 11); break;
    default: Send(c, CALM_TODAY); break;
    }
}

void CalendarBarStep(const Made& made, HWND, int n)
{
    const HWND bar = made.window;
    RECT client;
    GetClientRect(bar, &client);
    switch (n % 9) {
    case 0: Send(bar, CALM_SETMONTH, 11); break;
    case 1: Send(bar, CALM_SETYEAR, 1999); break;
    case 2: Send(bar, CALM_SETMONTH, 12); break;
    case 3: Send(bar, CALM_SETYEAR, 0xFFFF); break;
    case 4: Send(bar, CALM_SETMONTH, 0xFFFF); break;
    case 5: Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); break; // previous month
    case 6: Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 5, 5)); break; // next
    case 7: Send(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 30, 5)); break; // next year
    default: Send(bar, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(client.right / 2, 5)); break; // today
    }
}

const SoakClass kClasses[] = {
    {KW_URL_CLASS, [](HWND p) { return MakeChild(KW_URL_CLASS, p, 200, 24); }, UrlStep},
    {KW_DIPS_CLASS, [](HWND p) { return MakeChild(KW_DIPS_CLASS, p, 200, 100); }, CommandOnly},
    {KW_BUMPS_CLASS, [](HWND p) { return MakeChild(KW_BUMPS_CLASS, p, 40, 100); }, CommandOnly},
    {KW_BMPBUTTON_CLASS, [](HWND p) { return MakeChild(KW_BMPBUTTON_CLASS, p, 24, 24); }, ButtonStep},
    {KW_GASGAUGE_CLASS, [](HWND p) { return MakeChild(KW_GASGAUGE_CLASS, p, 200, 20); }, GaugeStep},
    {KW_HEADER_CLASS, [](HWND p) { return MakeChild(KW_HEADER_CLASS, p, 300, 20); }, HeaderStep},
    {KW_STATUS_CLASS, [](HWND p) { return MakeChild(KW_STATUS_CLASS, p, 400, 24); }, StatusStep},
    {KW_STATUSTEXT_CLASS, [](HWND p) { return MakeChild(KW_STATUSTEXT_CLASS, p, 200, 20); }, TextStep},
    {KW_TIP_CLASS, MakeTip, TipStep},
    {KW_TIMEDISPLAY_CLASS, [](HWND p) { return MakeChild(KW_TIMEDISPLAY_CLASS, p, 200, 80); }, CommandOnly},
    {KW_CALENDAR_CLASS, [](HWND p) { return MakeChild(KW_CALENDAR_CLASS, p, 289, 230); }, CalendarStep},
    {KW_CALENDARBAR_CLASS, [](HWND p) { return MakeChild(KW_CALENDARBAR_CLASS, p, 280, 20); }, CalendarBarStep},
};

// ---------------------------------------------------------------- the soak

class ClassSoak : public ::testing::TestWithParam<SoakClass> {
protected:
    static void SetUpTestSuite()
    {
        // Registered under the library's own module, which carries the
        // cursors its classes load. A failure would open a box.
        wintest::MessageBoxWatcher boxes;
        ASSERT_EQ(InitControls(GetModuleHandleA("KWCTRL32.dll")), 1);
    }
    void SetUp() override
    {
        SetCursorPos(2, 2);
        parent_ = MakeParent();
        ASSERT_TRUE(parent_);
        UpdateWindow(parent_);
    }
    void TearDown() override
    {
        DestroyWindow(parent_);
        wintest::PumpPending();
    }

    // One life of a window: made, painted `paints` times at changing sizes
    // with the class's messages in between, destroyed.
    void Round(int round, int paints)
    {
        const SoakClass& c = GetParam();
        const Made made = c.make(parent_);
        ASSERT_TRUE(made.window) << "round " << round;
        for (int i = 0; i < paints; ++i) {
            if (i % kResizeEvery == 0) {
                const SIZE& size = kSizes[(i / kResizeEvery + round) % (sizeof kSizes / sizeof kSizes[0])];
                SetWindowPos(made.window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            c.step(made, parent_, i + round);
            RedrawWindow(made.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            // Let posted notices and paints of the parent through.
            if (i % 32 == 31) wintest::PumpPending();
        }
        EXPECT_TRUE(IsWindow(made.window)) << "its own messages destroyed it, round " << round;
        // Tips go before or after their control, alternately.
        if (made.helper && round % 2) DestroyWindow(made.helper);
        DestroyWindow(made.window);
        if (made.helper && round % 2 == 0) DestroyWindow(made.helper);
        wintest::PumpPending();
    }

    HWND parent_ = nullptr;
};

TEST_P(ClassSoak, ComesBackToWhereItStarted)
{
    const Counts counts = SoakCounts();
    const DWORD start = GetTickCount();
    // Warm-up: shared tools, fonts and caches that the first window makes
    // and keeps belong to the baseline.
    Round(0, counts.paints);
    if (HasFatalFailure()) return;
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int round = 1; round <= counts.rounds && !HasFailure(); ++round) {
        Round(round, counts.paints);
        // The long soak shows that it is alive and how fast it goes.
        if (counts.rounds > kShortSoak.rounds && round % 20 == 0)
            std::printf("%s: round %d at %lu ms\n", GetParam().name, round, GetTickCount() - start);
    }
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();

    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
    EXPECT_EQ(after.user.total, before.user.total) << before.DescribeChange(after);
    EXPECT_EQ(after.heapBlocks, before.heapBlocks) << before.DescribeChange(after);
    EXPECT_EQ(after.heapBytes, before.heapBytes) << before.DescribeChange(after);
    std::printf("%s: %d rounds of %d paints in %lu ms\n", GetParam().name, counts.rounds + 1, counts.paints,
                GetTickCount() - start);
}

INSTANTIATE_TEST_SUITE_P(Classes, ClassSoak, ::testing::ValuesIn(kClasses),
                         [](const ::testing::TestParamInfo<SoakClass>& info) { return std::string(info.param.name); });

} // namespace
