// Every control in a high-contrast scheme, turned on through the library's
// own switch (Wine never reports the scheme). The scheme's colours all have
// a red 110 above their green, and so does every blend of them (text edges
// included), while the controls' designed colours (black, white, grey,
// cyan, red, blue, an owner's red) never do: a pixel without that mark is
// one the scheme did not choose.
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "wintest.h"

namespace {

constexpr int kColours = COLOR_MENUBAR + 1;

COLORREF SchemeColour(int index)
{
    return RGB(150 + 2 * index, 40 + 2 * index, 160 - 2 * index);
}

bool FromTheScheme(COLORREF c)
{
    const int mark = GetRValue(c) - GetGValue(c);
    return mark >= 108 && mark <= 112;
}

// The scheme's colours in force (and, when asked, the library's switch on)
// for the guard's life; the system's own colours come back after it.
class HighContrastScheme {
public:
    explicit HighContrastScheme(bool on)
    {
        for (int i = 0; i < kColours; ++i) indices_[i] = i, saved_[i] = GetSysColor(i), scheme_[i] = SchemeColour(i);
        SetSysColors(kColours, indices_, scheme_);
        if (on) atom_ = AddAtomA("KWCTRL32 high contrast");
    }
    ~HighContrastScheme()
    {
        if (atom_) DeleteAtom(atom_);
        SetSysColors(kColours, indices_, saved_);
    }

private:
    int indices_[kColours];
    COLORREF saved_[kColours], scheme_[kColours];
    ATOM atom_ = 0;
};

HWND Child(HWND parent, const char* cls, int w, int h)
{
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE, 10, 10, w, h, parent, nullptr, nullptr, nullptr);
}

// Each class, set up to show every part it paints: owner colours set where
// the class takes them, texts where it shows them.
struct Control {
    const char* what;
    std::function<HWND(HWND parent)> make;
};
const Control kControls[] = {
    {"bitmap button", [](HWND p) { return Child(p, KW_BMPBUTTON_CLASS, 24, 24); }},
    {"3-D frame", [](HWND p) { return Child(p, KW_DIPS_CLASS, 80, 60); }},
    {"bumps", [](HWND p) { return Child(p, KW_BUMPS_CLASS, 40, 40); }},
    {"hyperlink", [](HWND p) { return Child(p, KW_URL_CLASS, 200, 24); }},
    {"gauge",
     [](HWND p) {
         HWND gauge = Child(p, KW_GASGAUGE_CLASS, 200, 20);
         SendMessageA(gauge, WM_COMMAND, GGC_SETBARCOLOR, RGB(255, 0, 0));
         SendMessageA(gauge, WM_COMMAND, GGC_SETBKCOLOR, RGB(0, 255, 0));
         SendMessageA(gauge, GGM_SETPOS, 60, 0);
         return gauge;
     }},
    {"status bar",
     [](HWND p) {
         HWND bar = Child(p, KW_STATUS_CLASS, 500, 24);
         statusUpdateStatus(bar, "Ready");
         statusUpdateCount(bar, "12");
         return bar;
     }},
    {"time display", [](HWND p) { return Child(p, KW_TIMEDISPLAY_CLASS, 200, 90); }},
    {"calendar", [](HWND p) { return Child(p, KW_CALENDAR_CLASS, 280, 220); }},
    {"header slider",
     [](HWND p) {
         HWND header = Child(p, KW_HEADER_CLASS, 400, 24);
         SendMessageA(header, HDRM_SETCOUNT, 2, 0);
         SendMessageA(header, HDRM_SETTEXT, 0, reinterpret_cast<LPARAM>("From"));
         SendMessageA(header, HDRM_SETTEXT, 1, reinterpret_cast<LPARAM>("Subject"));
         SendMessageA(header, HDRM_SETTEXTCOLOR, 0, RGB(255, 0, 0));
         SendMessageA(header, HDRM_SETBKCOLOR, 0, RGB(0, 0, 255));
         return header;
     }},
    {"tool tip",
     [](HWND p) {
         HWND control = Child(p, "BUTTON", 60, 24);
         SetWindowLongPtrA(control, GWLP_ID, 77);
         CreateTip(GetModuleHandleA(nullptr), p, 77, "A tip");
         HWND tip = static_cast<HWND>(GetPropA(control, MAKEINTATOM(TIPPROP_TIPWND)));
         SendMessageA(tip, TIPM_SHOW, 1, MAKELPARAM(300, 300));
         return tip;
     }},
};

class ContrastTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitControls(GetModuleHandleA(nullptr)); }
    void SetUp() override
    {
        parent = std::make_unique<wintest::MessageRecorder>();
        SetWindowPos(parent->hwnd(), HWND_TOPMOST, 40, 40, 600, 300, SWP_SHOWWINDOW);
    }

    // The control's pixels after it has heard of the colour change, as a
    // top-level window passes it on.
    wintest::Pixels Shown(HWND control)
    {
        SendMessageA(control, WM_SYSCOLORCHANGE, 0, 0);
        for (HWND w : {parent->hwnd(), control})
            RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return wintest::CaptureClient(control);
    }

    std::unique_ptr<wintest::MessageRecorder> parent;
};

} // namespace

TEST_F(ContrastTest, EveryControlPaintsOnlyInTheSchemesColours)
{
    const HighContrastScheme scheme(true);
    for (const Control& control : kControls) {
        SCOPED_TRACE(control.what);
        HWND window = control.make(parent->hwnd());
        const wintest::Pixels p = Shown(window);
        ASSERT_FALSE(p.empty());
        char cls[32] = "";
        GetClassNameA(window, cls, sizeof cls);
        const bool tip = lstrcmpA(cls, KW_TIP_CLASS) == 0;
        int foreign = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                // A tip's shadow leaves the top two pixels of its right edge
                // and its bottom left one unpainted: what lies under it
                // shows there.
                const bool open = (x == p.width - 1 && y <= 1) || (x == 0 && y == p.height - 1);
                if (!FromTheScheme(p.At(x, y)) && !(tip && open)) ++foreign;
            }
        EXPECT_EQ(foreign, 0);
        DestroyWindow(window);
    }
}

TEST_F(ContrastTest, OutsideTheSchemeDesignedColoursStayAndSystemColoursFollow)
{
    // A header whose owner set no colours, made before the colours change.
    HWND header = Child(parent->hwnd(), KW_HEADER_CLASS, 400, 24);
    SendMessageA(header, HDRM_SETCOUNT, 1, 0);
    SendMessageA(header, HDRM_SETTEXT, 0, reinterpret_cast<LPARAM>("From"));
    const HighContrastScheme colours(false);
    // The panel's black ground, the link's blue and the owner's bar colour
    // stay.
    const struct {
        int control;
        COLORREF designed;
    } stay[] = {{6, RGB(0, 0, 0)}, {3, RGB(10, 10, 255)}, {4, RGB(255, 0, 0)}};
    for (const auto& s : stay) EXPECT_GT(Shown(kControls[s.control].make(parent->hwnd())).CountColor(s.designed), 0);
    // The header drops the colours it took at creation.
    const wintest::Pixels strip = Shown(header);
    EXPECT_GT(strip.CountColor(SchemeColour(COLOR_BTNFACE)), static_cast<int>(strip.data.size()) / 2);
}
