// The gas gauge in a visible test dialog: position and range under the
// messages and commands, and its painting (lit blocks, frame, percentage
// text) checked by pixels.
#include <algorithm>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

constexpr int W = 200;
constexpr int H = 20;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
const RECT kTextArea = {W - 22, 2, W - 2, H - 2};

// [first, last] x of each run of colour c along the middle row.
std::vector<std::pair<int, int>> Runs(const wintest::Pixels& p, COLORREF c)
{
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < p.width; ++x) {
        if (p.At(x, H / 2) != c) continue;
        if (!runs.empty() && runs.back().second == x - 1)
            runs.back().second = x;
        else
            runs.push_back({x, x});
    }
    return runs;
}

// The percentage as the gauge draws it: the dialog has no font, so the
// light Swiss fallback 3/4 of the height high, right-aligned on the face.
wintest::Pixels ReferenceText(const char* text)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontA(3 * H / 4, 0, 0, 0, FW_EXTRALIGHT, 0, 0, 0, 0, 0, 0, 0, FF_SWISS | VARIABLE_PITCH, "");
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all = {0, 0, W, H}, area = kTextArea;
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    DrawTextA(dc, text, -1, &area, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    const wintest::Pixels p = wintest::CaptureDC(dc, W, H);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return p;
}

::testing::AssertionResult TextIs(const wintest::Pixels& gauge, const char* text, const RECT& area = kTextArea)
{
    const wintest::Pixels reference = ReferenceText(text);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (gauge.At(x, y) != reference.At(x, y))
                return ::testing::AssertionFailure() << "not \"" << text << "\" at " << x << ", " << y;
    return ::testing::AssertionSuccess();
}

class GaugeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterGasGauge(GetModuleHandleA(nullptr)); }

    void SetUp() override
    {
        dialog_ = wintest::MakeEmptyDialog(40, 40, 320, 120);
        gauge_ = MakeGauge(H);
        ASSERT_TRUE(gauge_);
    }
    void TearDown() override { DestroyWindow(dialog_); }

    HWND MakeGauge(int h, int y = 10)
    {
        return CreateWindowExA(0, KW_GASGAUGE_CLASS, "", WS_CHILD | WS_VISIBLE, 10, y, W, h, dialog_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    void Send(UINT msg, WPARAM w, LPARAM l) { EXPECT_EQ(SendMessageA(gauge_, msg, w, l), 1); }
    wintest::Pixels Capture()
    {
        InvalidateRect(gauge_, nullptr, TRUE);
        return wintest::CaptureClient(gauge_);
    }
    size_t Lit() { return Runs(Capture(), GetSysColor(COLOR_HIGHLIGHT)).size(); }

    HWND dialog_ = nullptr;
    HWND gauge_ = nullptr;
};

TEST_F(GaugeTest, MessagesKeepThePositionWithinTheRange)
{
    // Range and position are the first two values of the extra bytes.
    auto state = [this] { return std::make_pair(GetWindowLongA(gauge_, 0), GetWindowLongA(gauge_, 4)); };
    EXPECT_EQ(state(), std::make_pair(100L, 0L));
    const struct {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        LONG range, position;
    } steps[] = {
        {GGM_SETPOS, MAKEWPARAM(60, 7), 0, 100, 60},            // the low word only
        {GGM_SETRANGE, 0, MAKELPARAM(999, 50), 50, 50},         // the high word; pulls the position down
        {GGM_SETPOS, 80, 0, 50, 50},                            // beyond the range: the range
        {GGM_ADDRANGE, 0, 30, 80, 50},
        {GGM_ADVANCE, 0, 40, 80, 80},                           // stops at the range
        {GGM_ADVANCE, 0, -30, 80, 50},                          // a negative amount within the position
        {GGM_ADVANCE, 0, -51, 80, 80},                          // wraps past zero: full
        {WM_COMMAND, GGC_SETRANGE, MAKELPARAM(0, 1000), 1000, 80},
        {WM_COMMAND, GGC_SETPOS, 0x10000 | 500, 1000, 1000},    // all of lParam, clamped
        {WM_COMMAND, GGC_SETPOS, 500, 1000, 500},
        {WM_COMMAND, 999, 5, 1000, 500},                        // other commands: ignored
    };
    for (const auto& s : steps) {
        Send(s.msg, s.wParam, s.lParam);
        EXPECT_EQ(state(), std::make_pair(s.range, s.position)) << std::hex << s.msg << " " << s.wParam;
    }
    EXPECT_EQ(SendMessageA(gauge_, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
}

TEST_F(GaugeTest, LightsTheShareOfBlocksAndCutsTheLastAtTheBar)
{
    // Bar (2, 2, 168, 18) beside the percentage; blocks 10 wide, 2 apart.
    EXPECT_EQ(Lit(), 0u);
    Send(GGM_SETPOS, 50, 0);
    EXPECT_EQ(Lit(), 7u); // lit width 83: blocks starting at 2 .. 74
    // Full, the label "100%" is wider in this light fallback font than the
    // 26 pixels the column holds, so the column widens to keep it whole and
    // the bar ends earlier: its last block is cut two pixels left of the
    // frame's right line.
    Send(GGM_SETPOS, 5000, 0);
    wintest::Pixels p = Capture();
    const auto full = Runs(p, GetSysColor(COLOR_HIGHLIGHT));
    int frame = W - 1;
    while (frame > 0 && p.At(frame, H / 2) != GetSysColor(COLOR_BTNHIGHLIGHT)) --frame;
    EXPECT_LT(frame, W - 31);
    EXPECT_EQ(full.size(), static_cast<size_t>((frame - 1 - 2 - 2) / 12 + 1));
    EXPECT_EQ(full.front(), std::make_pair(4, 13));
    EXPECT_EQ(full.back().second, frame - 2);

    // Stored colours paint the lit and the unlit blocks.
    Send(WM_COMMAND, GGC_SETBARCOLOR, RGB(200, 0, 0));
    Send(WM_COMMAND, GGC_SETBKCOLOR, RGB(0, 128, 0));
    Send(GGM_SETPOS, 25, 0);
    p = Capture();
    EXPECT_EQ(Runs(p, RGB(200, 0, 0)).size(), 4u);
    EXPECT_EQ(Runs(p, RGB(0, 128, 0)).size(), 10u);
    EXPECT_EQ(p.At(5, 2), RGB(200, 0, 0));
    EXPECT_NE(p.At(5, 1), RGB(200, 0, 0));

    // Without GGF_PERCENT the bar and the frame take the whole width and
    // no text is drawn; a new flag shows only at the next paint.
    for (LPARAM flags : {0, 1}) {
        Send(GGM_SETFLAGS, 0, flags);
        p = Capture();
        EXPECT_EQ(Runs(p, RGB(0, 128, 0)).back(), std::make_pair(196, 197)) << flags;
        EXPECT_EQ(p.At(W - 1, H / 2), GetSysColor(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(p.At(W / 2, 0), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(p.CountColor(kBlack), 0);
    }
    Send(GGM_SETFLAGS, 0, 2);
    HDC dc = GetDC(gauge_);
    EXPECT_EQ(wintest::CaptureDC(dc, W, H).CountColor(kBlack), 0);
    ReleaseDC(gauge_, dc);
    p = Capture();
    // "25%" too is wider in this font than the column's 26 pixels: the
    // frame's right line stands left of its 96-DPI place.
    const auto lines = Runs(p, GetSysColor(COLOR_BTNHIGHLIGHT));
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(lines.back().first, W - 31);
    EXPECT_GT(p.CountColor(kBlack, &kTextArea), 0);
}

TEST_F(GaugeTest, PrintsThePercentageWithTheSharedFont)
{
    EXPECT_TRUE(TextIs(Capture(), "0%"));
    Send(GGM_SETPOS, 37, 0);
    const wintest::Pixels p = Capture();
    EXPECT_TRUE(TextIs(p, "37%"));
    EXPECT_FALSE(TextIs(p, "0%"));
    Send(GGM_SETPOS, 101, 0);
    EXPECT_TRUE(TextIs(Capture(), "100%"));
    // Half of 100000000, although position * 100 passes 32 bits.
    Send(GGM_ADDRANGE, 0, 100000000 - 100);
    Send(WM_COMMAND, GGC_SETPOS, 50000000);
    EXPECT_TRUE(TextIs(Capture(), "50%"));
    // Range 0 pulls the position to 0.
    Send(GGM_SETRANGE, 0, 0);
    EXPECT_TRUE(TextIs(Capture(), "0%"));

    // The gauge's own repaint (no erase) clears everything right of the
    // frame, whatever an earlier, longer label left there.
    HDC dc = GetDC(gauge_);
    const RECT labelColumn = {W - 30, 0, W, H};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(dc, &labelColumn, red);
    DeleteObject(red);
    ReleaseDC(gauge_, dc);
    InvalidateRect(gauge_, nullptr, FALSE);
    EXPECT_TRUE(TextIs(wintest::CaptureClient(gauge_), "0%", labelColumn));

    // Another gauge going away leaves this one its font.
    DestroyWindow(MakeGauge(H, 50));
    EXPECT_TRUE(TextIs(Capture(), "0%"));
}

TEST_F(GaugeTest, PercentageStandsWholeInAFontWiderThanItsPlace)
{
    // The parent's font is the gauge's model; a wide one makes "100%"
    // wider than the 20 pixels set aside for it, as larger DPIs do.
    HFONT wide = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "");
    SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(wide), FALSE);
    HWND gauge = MakeGauge(H, 50);
    SendMessageA(gauge, GGM_SETPOS, 100, 0);
    HDC dc = GetDC(gauge);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(gauge, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, "100%", 4, &extent);
    SelectObject(dc, old);
    ReleaseDC(gauge, dc);
    ASSERT_GT(extent.cx, 20);
    // The text's ink, right of the frame's last line, spans nearly all of
    // its extent, and the frame stands clear left of it.
    InvalidateRect(gauge, nullptr, TRUE);
    const wintest::Pixels p = wintest::CaptureClient(gauge);
    int frame = W - 1;
    while (frame > 0 && p.At(frame, H / 2) != GetSysColor(COLOR_BTNHIGHLIGHT)) --frame;
    int left = W, right = -1;
    for (int x = frame + 1; x < W; ++x)
        for (int y = 1; y < H - 1; ++y)
            if (p.At(x, y) != GetSysColor(COLOR_BTNFACE)) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GE(right - left + 1, extent.cx - 3);
    EXPECT_LT(frame, W - 30);
    DestroyWindow(gauge);
    SendMessageA(dialog_, WM_SETFONT, 0, FALSE);
    DeleteObject(wide);
}

TEST_F(GaugeTest, PaintsAndGaugesComeAndGoWithoutLeavingObjects)
{
    SendMessageA(gauge_, GGM_SETPOS, 30, 0);
    // Every 100th round another gauge, from 0 to 6 pixels high (too low for
    // a block), gets a new shared font, paints and goes.
    auto round = [this](int i) {
        SendMessageA(gauge_, GGM_ADVANCE, 0, i % 2 ? 1 : -1);
        RedrawWindow(gauge_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (i % 100 == 0) {
            HWND other = MakeGauge(H, 50);
            MoveWindow(other, 10, 50, W, i / 100 % 7, TRUE);
            SendMessageA(other, GGM_SETPOS, 50, 0);
            RedrawWindow(other, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            DestroyWindow(other);
        }
    };
    for (int i = 0; i < 200; ++i) round(i);
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int i = 0; i < 3000; ++i) round(i);
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);

    DestroyWindow(gauge_); // the last gauge takes the shared font along
    EXPECT_EQ(wintest::CountGdiObjects().fonts, before.gdi.fonts - 1);
}

} // namespace
