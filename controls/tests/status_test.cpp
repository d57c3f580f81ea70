// The status bar in a visible test dialog: pane layouts by pixels, the
// children's texts, and what the bar draws where, seen by standing in for
// the library's DrawTextW import; its GetLocalTime import answers a chosen
// time.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

// Points one import address slot of the library elsewhere while it lives.
class ImportPatch {
public:
    ImportPatch(const char* function, void* replacement)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA("KWCTRL32.dll"));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
            base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
        for (; dll->Name && !slot_; ++dll) {
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
            auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
            for (; name->u1.AddressOfData && !slot_; ++name, ++slot)
                if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                    !std::strcmp(reinterpret_cast<char*>(base + name->u1.AddressOfData + 2), function))
                    slot_ = &slot->u1.Function;
        }
        if (slot_) original = Write(reinterpret_cast<DWORD_PTR>(replacement));
    }
    ~ImportPatch()
    {
        if (slot_) Write(original);
    }
    DWORD_PTR original = 0;

private:
    DWORD_PTR Write(DWORD_PTR value)
    {
        DWORD protect;
        VirtualProtect(slot_, sizeof value, PAGE_READWRITE, &protect);
        const DWORD_PTR old = *slot_;
        *slot_ = value;
        VirtualProtect(slot_, sizeof value, protect, &protect);
        return old;
    }
    DWORD_PTR* slot_ = nullptr;
};

SYSTEMTIME fakeNow;
void WINAPI FakeLocalTime(SYSTEMTIME* now)
{
    *now = fakeNow;
}

struct Drawn {
    HWND window;
    std::string text;
    RECT rect;
    UINT format;
};
std::vector<Drawn> drawn;
ImportPatch* drawTextPatch = nullptr;

// The drawn text back in the process's code page.
std::string Narrow(LPCWSTR text, int length)
{
    char narrow[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow, sizeof narrow - 1, nullptr, nullptr);
    return narrow;
}

int WINAPI RecordDrawText(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format)
{
    drawn.push_back({WindowFromDC(dc), Narrow(text, length), *rect, format});
    using DrawTextFn = int(WINAPI*)(HDC, LPCWSTR, int, LPRECT, UINT);
    return reinterpret_cast<DrawTextFn>(drawTextPatch->original)(dc, text, length, rect, format);
}

constexpr int W = 400;
constexpr int H = 24;

std::string TextOf(HWND bar, int id)
{
    char text[512] = {};
    GetWindowTextA(GetDlgItem(bar, id), text, sizeof text);
    return text;
}

class StatusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { statusInit(GetModuleHandleA(nullptr), 0); }

    void SetUp() override
    {
        drawTextPatch = new ImportPatch("DrawTextW", reinterpret_cast<void*>(RecordDrawText));
        clock_ = new ImportPatch("GetLocalTime", reinterpret_cast<void*>(FakeLocalTime));
        ASSERT_TRUE(drawTextPatch->original && clock_->original);
        SetClock(9, 5);
        dialog_ = wintest::MakeEmptyDialog(40, 40, 460, 140);
        bar_ = MakeBar(50);
        ASSERT_TRUE(bar_);
        wintest::PumpPending();
    }
    void TearDown() override
    {
        DestroyWindow(dialog_);
        delete clock_;
        delete drawTextPatch;
    }

    static void SetClock(WORD hour, WORD minute)
    {
        fakeNow = {2001, 2, 6, 3, hour, minute, 0, 0};
    }
    HWND MakeBar(int y)
    {
        return CreateWindowExA(0, KW_STATUS_CLASS, "", WS_CHILD | WS_VISIBLE, 0, y, W, H, dialog_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    // The texts of one full paint of a bar, pane by pane.
    std::vector<Drawn> Panes(HWND bar = nullptr)
    {
        bar = bar ? bar : bar_;
        drawn.clear();
        MsgTimer(bar);
        std::vector<Drawn> panes;
        for (const Drawn& d : drawn)
            if (d.window == bar) panes.push_back(d);
        return panes;
    }
    wintest::Pixels Capture()
    {
        RedrawWindow(bar_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC dc = GetDC(bar_);
        wintest::Pixels p = wintest::CaptureDC(dc, W, H);
        ReleaseDC(bar_, dc);
        return p;
    }

    ImportPatch* clock_ = nullptr;
    HWND dialog_ = nullptr;
    HWND bar_ = nullptr;
};

// A pane from left to right holds its text one line high, 2 pixels in
// unless centred, without prefix processing.
::testing::AssertionResult PaneIs(const Drawn& d, const char* text, int left, int right, bool centred = false)
{
    const RECT r = {left + (centred ? 1 : 3), 4, right - 1, H - 4};
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (centred ? DT_CENTER : 0);
    if (d.text == text && EqualRect(&d.rect, &r) && d.format == format) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << d.text << "\" from " << d.rect.left << " to " << d.rect.right
                                         << ", format " << d.format;
}

TEST_F(StatusTest, UpdatesFormatIntoTheChildrenAndRepaintBeforeReturning)
{
    drawn.clear();
    statusUpdateStatus(bar_, "%d new from %s & co", 3, "Ann");
    EXPECT_EQ(TextOf(bar_, IDC_STATUSTEXT), "3 new from Ann & co");
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.front().text, "3 new from Ann & co");
    statusUpdateCount(bar_, "%u", 42u);
    EXPECT_EQ(TextOf(bar_, IDC_STATUSCOUNT), "42");
    const std::string longText(300, 'x');
    statusUpdateStatus(bar_, "%s", longText.c_str());
    EXPECT_EQ(TextOf(bar_, IDC_STATUSTEXT), longText.substr(0, 254));
}

TEST_F(StatusTest, ACountNarrowsTheStatusPaneAndAddsTotalAndCount)
{
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    statusUpdateStatus(bar_, "Ready");
    std::vector<Drawn> panes = Panes();
    ASSERT_EQ(panes.size(), 3u);
    EXPECT_TRUE(PaneIs(panes[0], "Ready", 4, W - 112));
    EXPECT_TRUE(PaneIs(panes[1], "Time", W - 110, W - 70));
    EXPECT_TRUE(PaneIs(panes[2], " 9:05AM", W - 68, W - 5, true));
    wintest::Pixels p = Capture();
    // Sunken panes (shadow left and top, highlight right and bottom) inside
    // the raised frame of the status-text child.
    for (int x : {4, W - 110, W - 68}) EXPECT_EQ(p.At(x, H / 2), shadow) << x;
    for (int x : {W - 112, W - 70, W - 5, 2}) EXPECT_EQ(p.At(x, H / 2), light) << x;
    EXPECT_EQ(p.At(W - 192, H / 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(p.At(100, 3), shadow);
    EXPECT_EQ(p.At(100, H - 4), light);
    EXPECT_EQ(p.At(W - 3, H / 2), shadow);
    EXPECT_EQ(p.At(100, H - 2), shadow);

    statusUpdateCount(bar_, "%d", 7);
    panes = Panes();
    ASSERT_EQ(panes.size(), 5u);
    EXPECT_TRUE(PaneIs(panes[0], "Ready", 4, W - 192));
    EXPECT_TRUE(PaneIs(panes[1], "Total", W - 190, W - 154));
    EXPECT_TRUE(PaneIs(panes[2], "7", W - 152, W - 112));
    p = Capture();
    for (int x : {W - 192, W - 154, W - 112}) EXPECT_EQ(p.At(x, H / 2), light) << x;
    for (int x : {W - 190, W - 152}) EXPECT_EQ(p.At(x, H / 2), shadow) << x;
    const RECT countPane = {W - 151, 4, W - 112, H - 4};
    EXPECT_GT(p.CountColor(RGB(0, 0, 0), &countPane), 0);
}

TEST_F(StatusTest, ClockShowsTwelveHourTimeReadAtEachPaint)
{
    const struct {
        WORD hour, minute;
        const char* text;
    } times[] = {{0, 0, "12:00AM"}, {12, 0, "12:00PM"}, {13, 7, " 1:07PM"}, {23, 59, "11:59PM"}};
    for (const auto& t : times) {
        SetClock(t.hour, t.minute);
        EXPECT_TRUE(PaneIs(Panes().back(), t.text, W - 68, W - 5, true));
    }
    SetClock(8, 15);
    drawn.clear();
    wintest::PumpFor(300);
    EXPECT_TRUE(drawn.empty()) << "nothing but a paint reads the clock";
    RedrawWindow(bar_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().text, " 8:15AM");
}

TEST_F(StatusTest, SharedToolsOutliveABarAndLeaveNoObjectsBehind)
{
    statusUpdateStatus(bar_, "First");
    statusUpdateCount(bar_, "1");
    HWND second = MakeBar(90);
    statusUpdateStatus(second, "Second");
    EXPECT_EQ(TextOf(bar_, IDC_STATUSTEXT), "First") << "each bar keeps its own texts";
    EXPECT_EQ(Panes(second).size(), 3u);
    const wintest::Pixels before = Capture();
    DestroyWindow(second);
    EXPECT_EQ(Capture().data, before.data) << "same frames and font after the other bar went";
    statusDeleteTools();
    EXPECT_EQ(Capture().data, before.data) << "tools made again when next needed";

    EXPECT_EQ(statusCreateTools(), statusGetHeight());
    const wintest::GdiCounts objects = wintest::CountGdiObjects();
    for (int i = 0; i < 2000; ++i) {
        statusUpdateStatus(bar_, "message %d", i);
        statusUpdateCount(bar_, i % 2 ? "%d" : "", i);
        MsgTimer(bar_);
        if (i % 100 == 0) {
            statusCreateTools();
            SendMessageA(bar_, WM_SYSCOLORCHANGE, 0, 0);
            DestroyWindow(MakeBar(90));
        }
    }
    Capture();
    EXPECT_EQ(wintest::CountGdiObjects().total, objects.total);
}

} // namespace
