// The controls at the DPI of their windows: each control that owns a font
// makes it again when its window's DPI changes, and the status bar's and
// tips' text grows with the display's DPI. Wine cannot change a window's
// DPI, so the change is a sent message, and another DPI is a child process
// started while the prefix's LogPixels says so.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "wintest.h"

namespace {

constexpr UINT kDpiChangedAfterParent = 0x02E3;

// What the child reports: the status bar's height and a tip's height.
struct Heights {
    int statusBar = 0;
    int tip = 0;
};

Heights MeasureHeights()
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    Heights heights;
    statusInit(instance, 1);
    heights.statusBar = statusGetHeight();
    InitializeTips(instance);
    const HWND dialog = wintest::MakeEmptyDialog(100, 100, 300, 150);
    const HWND label = CreateWindowExA(0, "STATIC", "Label", WS_CHILD | WS_VISIBLE, 20, 20, 100, 30, dialog,
                                       reinterpret_cast<HMENU>(101), nullptr, nullptr);
    if (CreateTip(instance, dialog, 101, "Shows the new messages")) {
        RECT tip = {};
        GetWindowRect(static_cast<HWND>(GetPropA(label, MAKEINTATOM(TIPPROP_TIPWND))), &tip);
        heights.tip = tip.bottom - tip.top;
    }
    DestroyWindow(dialog);
    return heights;
}

// The heights a process measures while the prefix's DPI is dpi: this test
// program runs again as a child, which writes them into a file.
Heights MeasuredAtDpi(DWORD dpi)
{
    HKEY desktop = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &desktop,
                        nullptr) != ERROR_SUCCESS)
        return {};
    DWORD previous = 0, size = sizeof previous;
    const bool hadValue =
        RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous), &size) ==
        ERROR_SUCCESS;
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);

    char report[MAX_PATH];
    GetTempPathA(sizeof report, report);
    strcat_s(report, "kw_dpi_report.txt");
    DeleteFileA(report);
    SetEnvironmentVariableA("KW_DPI_REPORT", report);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    wintest::Process child = wintest::StartProcess(self, "--gtest_filter=DpiChild.Measure");
    DWORD exitCode = 1;
    const bool ended = child && wintest::WaitExit(child, 60000, &exitCode);
    if (!ended) wintest::KillProcess(child);
    SetEnvironmentVariableA("KW_DPI_REPORT", nullptr);

    // The prefix goes back to its own DPI whatever the child did.
    if (hadValue)
        RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous), sizeof previous);
    else
        RegDeleteValueA(desktop, "LogPixels");
    RegCloseKey(desktop);

    Heights heights;
    if (FILE* file = fopen(report, "r")) {
        if (fscanf(file, "%d %d", &heights.statusBar, &heights.tip) != 2) heights = {};
        fclose(file);
    }
    DeleteFileA(report);
    EXPECT_TRUE(ended && exitCode == 0) << "child at " << dpi << " DPI";
    return heights;
}

HFONT FontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

} // namespace

// Run only as the child of StatusBarAndTipTextGrowWithTheDpi.
TEST(DpiChild, Measure)
{
    const char* report = getenv("KW_DPI_REPORT");
    if (!report) GTEST_SKIP() << "runs as a child only";
    const Heights heights = MeasureHeights();
    FILE* file = fopen(report, "w");
    ASSERT_TRUE(file);
    fprintf(file, "%d %d\n", heights.statusBar, heights.tip);
    fclose(file);
}

TEST(Dpi, StatusBarAndTipTextGrowWithTheDpi)
{
    const Heights base = MeasuredAtDpi(96);
    ASSERT_GT(base.statusBar, 0);
    ASSERT_GT(base.tip, 0);
    for (const DWORD dpi : {144u, 192u}) {
        const Heights scaled = MeasuredAtDpi(dpi);
        // The fonts' pixel heights scale exactly; a font's rendered height
        // may round a pixel or two either way.
        const double ratio = dpi / 96.0;
        EXPECT_NEAR(scaled.statusBar, base.statusBar * ratio, 2 + base.statusBar * ratio * 0.1) << dpi;
        EXPECT_NEAR(scaled.tip, base.tip * ratio, 2 + base.tip * ratio * 0.1) << dpi;
    }
}

TEST(Dpi, ControlsMakeTheirFontsAgainWhenTheirDpiChanges)
{
    InitControls(GetModuleHandleA(nullptr));
    const HWND dialog = wintest::MakeEmptyDialog(100, 100, 420, 300);
    const struct {
        const char* className;
        int width, height;
    } kControls[] = {
        {KW_TIMEDISPLAY_CLASS, 240, 90}, {KW_URL_CLASS, 200, 24}, {KW_CALENDAR_CLASS, 220, 180},
        {KW_STATUS_CLASS, 400, 24},      {KW_GASGAUGE_CLASS, 200, 20},
    };
    for (const auto& c : kControls) {
        const HWND control = CreateWindowExA(0, c.className, "", WS_CHILD | WS_VISIBLE, 0, 0, c.width, c.height,
                                             dialog, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(control) << c.className;
        UpdateWindow(control);
        const HFONT before = FontOf(control);
        LOGFONTA made = {};
        ASSERT_TRUE(GetObjectA(before, sizeof made, &made)) << c.className;

        SendMessageA(control, kDpiChangedAfterParent, 0, 0);
        UpdateWindow(control);
        const HFONT after = FontOf(control);
        LOGFONTA remade = {};
        EXPECT_NE(after, before) << c.className;
        // Made for the same DPI, so the same font; the old one is gone.
        ASSERT_TRUE(GetObjectA(after, sizeof remade, &remade)) << c.className;
        EXPECT_EQ(remade.lfHeight, made.lfHeight) << c.className;
        EXPECT_FALSE(GetObjectA(before, sizeof made, &made)) << c.className;
        DestroyWindow(control);
    }
    DestroyWindow(dialog);
}
