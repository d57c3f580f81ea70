// The time display: the text of its two lines for chosen moments, their
// fonts and clipping, its colours by pixels, and command forwarding.
//
// The library's imports of GetLocalTime and ExtTextOutW are redirected for
// the tests: the first to choose the moment a panel shows, the second to see
// what it writes where.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

// Points every import slot of `module` that holds `from` at `to`.
int RedirectImports(HMODULE module, void* from, void* to)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int count = 0;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll)
        for (auto* slot = reinterpret_cast<void**>(base + dll->FirstThunk); *slot; ++slot)
            if (*slot == from) {
                DWORD protection;
                VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
                *slot = to;
                VirtualProtect(slot, sizeof *slot, protection, &protection);
                ++count;
            }
    return count;
}

struct TextCall {
    std::string text;
    RECT clip;
    COLORREF color;
    LOGFONTA font;
};

SYSTEMTIME fakeNow;
std::vector<TextCall> textCalls;
decltype(&ExtTextOutW) realExtTextOut;

void WINAPI FakeLocalTime(SYSTEMTIME* now)
{
    *now = fakeNow;
}

BOOL WINAPI RecordingExtTextOut(HDC dc, int x, int y, UINT options, const RECT* clip, LPCWSTR text, UINT length,
                                const INT* dx)
{
    if (length) {
        char narrow[256] = {};
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), narrow, sizeof narrow - 1, nullptr, nullptr);
        TextCall call = {narrow, clip ? *clip : RECT{}, GetTextColor(dc), {}};
        GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof call.font, &call.font);
        textCalls.push_back(call);
    }
    return realExtTextOut(dc, x, y, options, clip, text, length, dx);
}

class TimeDisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitTimeDisplay(GetModuleHandleA(nullptr));
        HMODULE library = GetModuleHandleA("KWCTRL32.dll");
        void* localTime = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetLocalTime"));
        realExtTextOut = reinterpret_cast<decltype(&ExtTextOutW)>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("gdi32.dll"), "ExtTextOutW")));
        ASSERT_GT(RedirectImports(library, localTime, reinterpret_cast<void*>(&FakeLocalTime)), 0);
        ASSERT_GT(RedirectImports(library, reinterpret_cast<void*>(realExtTextOut),
                                  reinterpret_cast<void*>(&RecordingExtTextOut)),
                  0);
    }

    // Creates a visible panel at the given moment, paints it once and keeps
    // the lines it wrote.
    HWND Show(WORD hour, WORD minute, WORD dayOfWeek = 1, WORD day = 7, WORD month = 12, WORD year = 2026)
    {
        fakeNow = {year, month, dayOfWeek, day, hour, minute, 30, 0};
        textCalls.clear();
        panel = CreateWindowExA(0, KW_TIMEDISPLAY_CLASS, "", WS_POPUP | WS_VISIBLE, 100, 100, kWidth, kHeight,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_TRUE(panel);
        UpdateWindow(panel);
        return panel;
    }
    std::string TimeLine() const { return textCalls.size() >= 2 ? textCalls[0].text : "(not drawn)"; }
    std::string DateLine() const { return textCalls.size() >= 2 ? textCalls[1].text : "(not drawn)"; }
    void TearDown() override { DestroyWindow(panel); }

    static constexpr int kWidth = 240;
    static constexpr int kHeight = 90;
    HWND panel = nullptr;
};

} // namespace

TEST_F(TimeDisplayTest, TimeLineUsesTheTwelveHourClock)
{
    const struct {
        WORD hour, minute;
        const char* shown;
    } cases[] = {{0, 5, "12:05am"}, {12, 0, "12:00pm"}, {23, 59, "11:59pm"}, {9, 7, " 9:07am"}, {13, 30, " 1:30pm"}};
    for (const auto& c : cases) {
        Show(c.hour, c.minute);
        EXPECT_EQ(TimeLine(), c.shown) << c.hour << ":" << c.minute;
        DestroyWindow(panel);
    }
}

TEST_F(TimeDisplayTest, DateLineNamesTheDayAndEachLineHasItsFont)
{
    Show(10, 0, 0, 31, 1, 1999);
    EXPECT_EQ(DateLine(), "Sunday 31 January 1999");
    DestroyWindow(panel);
    Show(10, 0, 6, 7, 12, 2026);
    EXPECT_EQ(DateLine(), "Saturday 7 December 2026");
    ASSERT_GE(textCalls.size(), 2u);
    const TextCall& time = textCalls[0];
    const TextCall& date = textCalls[1];

    auto font = [](const LOGFONTA& f) {
        return std::to_string(f.lfHeight) + " " + std::to_string(f.lfWidth) + " " + std::to_string(f.lfWeight) + " " +
               std::to_string(f.lfPitchAndFamily) + " " + f.lfFaceName;
    };
    EXPECT_EQ(font(time.font), "36 24 850 34 MyFont");
    EXPECT_EQ(font(date.font), "14 9 600 34 MyFont");

    // The time is clipped to the upper two thirds, the date to the panel.
    EXPECT_EQ(time.color, RGB(0, 255, 255));
    EXPECT_EQ(date.color, RGB(255, 0, 0));
    EXPECT_EQ(time.clip.bottom, 2 * kHeight / 3);
    EXPECT_EQ(date.clip.bottom, kHeight);
}

TEST_F(TimeDisplayTest, BlackPanelInASunkenFrame)
{
    Show(8, 45);
    const wintest::Pixels px = wintest::CaptureClient(panel);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    EXPECT_EQ(px.At(0, 40), shadow);
    EXPECT_EQ(px.At(120, 0), shadow);
    EXPECT_EQ(px.At(kWidth - 1, 40), light);
    EXPECT_EQ(px.At(120, kHeight - 1), light);
    EXPECT_EQ(px.At(3, 3), RGB(0, 0, 0));

    const RECT upper = {1, 1, kWidth - 1, 2 * kHeight / 3};
    const RECT lower = {1, 2 * kHeight / 3, kWidth - 1, kHeight - 1};
    EXPECT_GT(px.CountColor(RGB(0, 255, 255), &upper), 50);
    EXPECT_EQ(px.CountColor(RGB(0, 255, 255), &lower), 0);
    EXPECT_GT(px.CountColor(RGB(255, 0, 0), &lower), 10);
    EXPECT_EQ(px.CountColor(RGB(255, 0, 0), &upper), 0);
}

TEST_F(TimeDisplayTest, CommandsGoToTheParent)
{
    wintest::MessageRecorder parent;
    panel = CreateWindowExA(0, KW_TIMEDISPLAY_CLASS, "", WS_CHILD, 0, 0, 100, 50, parent.hwnd(), nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(SendMessageA(panel, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), 0x1234), 0);
    ASSERT_EQ(parent.Count(WM_COMMAND), 1u);
    EXPECT_EQ(parent.Received(WM_COMMAND)[0].wParam, MAKEWPARAM(42, BN_CLICKED));
    EXPECT_EQ(parent.Received(WM_COMMAND)[0].lParam, 0x1234);
}

TEST_F(TimeDisplayTest, PanelsGiveBackTheirFontsAndPens)
{
    auto cycle = [this] {
        Show(11, 11);
        for (int i = 0; i < 20; ++i) RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        DestroyWindow(panel);
    };
    cycle();
    const int before = wintest::CountGdiObjects().total;
    for (int i = 0; i < 30; ++i) cycle();
    EXPECT_EQ(wintest::CountGdiObjects().total, before);
}
