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

const char kHighContrastAtom[] = "KWCTRL32 high contrast";
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

// Puts the scheme's colours in force and the library's switch on for its
// life; the system's own colours come back after it.
class HighContrastScheme {
public:
    explicit HighContrastScheme(bool on = true)
    {
        std::vector<COLORREF> scheme;
        for (int i = 0; i < kColours; ++i) {
            indices_.push_back(i);
            saved_.push_back(GetSysColor(i));
            scheme.push_back(SchemeColour(i));
        }
        SetSysColors(kColours, indices_.data(), scheme.data());
        if (on) atom_ = AddAtomA(kHighContrastAtom);
    }
    ~HighContrastScheme()
    {
        if (atom_) DeleteAtom(atom_);
        SetSysColors(kColours, indices_.data(), saved_.data());
    }
    HighContrastScheme(const HighContrastScheme&) = delete;
    HighContrastScheme& operator=(const HighContrastScheme&) = delete;

private:
    std::vector<int> indices_;
    std::vector<COLORREF> saved_;
    ATOM atom_ = 0;
};

struct Control {
    const char* what;
    std::function<HWND(HWND parent)> make;
    // A tip's shadow leaves three pixels of its client area unpainted (the
    // top two of its right edge and the bottom left one): what lies under
    // the tip shows there.
    bool openCorners = false;
};

HWND Child(HWND parent, const char* cls, const char* text, int x, int y, int w, int h)
{
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

// Each class, set up to show every part it paints: owner colours set where
// the class takes them, texts where it shows them.
const Control kControls[] = {
    {"bitmap button", [](HWND p) { return Child(p, KW_BMPBUTTON_CLASS, "", 10, 10, 24, 24); }},
    {"3-D frame", [](HWND p) { return Child(p, KW_DIPS_CLASS, "", 10, 10, 80, 60); }},
    {"bumps", [](HWND p) { return Child(p, KW_BUMPS_CLASS, "", 10, 10, 40, 40); }},
    {"hyperlink", [](HWND p) { return Child(p, KW_URL_CLASS, "", 10, 10, 200, 24); }},
    {"gauge",
     [](HWND p) {
         HWND gauge = Child(p, KW_GASGAUGE_CLASS, "", 10, 10, 200, 20);
         SendMessageA(gauge, WM_COMMAND, GGC_SETBARCOLOR, RGB(255, 0, 0));
         SendMessageA(gauge, WM_COMMAND, GGC_SETBKCOLOR, RGB(0, 255, 0));
         SendMessageA(gauge, GGM_SETPOS, 60, 0);
         return gauge;
     }},
    {"status bar",
     [](HWND p) {
         HWND bar = Child(p, KW_STATUS_CLASS, "", 10, 10, 500, 24);
         statusUpdateStatus(bar, "Ready");
         statusUpdateCount(bar, "12");
         return bar;
     }},
    {"time display", [](HWND p) { return Child(p, KW_TIMEDISPLAY_CLASS, "", 10, 10, 200, 90); }},
    {"calendar", [](HWND p) { return Child(p, KW_CALENDAR_CLASS, "", 10, 10, 280, 220); }},
    {"header slider",
     [](HWND p) {
         HWND header = Child(p, KW_HEADER_CLASS, "", 10, 10, 400, 24);
         SendMessageA(header, HDRM_SETCOUNT, 2, 0);
         SendMessageA(header, HDRM_SETTEXT, 0, reinterpret_cast<LPARAM>("From"));
         SendMessageA(header, HDRM_SETTEXT, 1, reinterpret_cast<LPARAM>("Subject"));
         SendMessageA(header, HDRM_SETTEXTCOLOR, 0, RGB(255, 0, 0));
         SendMessageA(header, HDRM_SETBKCOLOR, 0, RGB(0, 0, 255));
         return header;
     }},
    {"tool tip",
     [](HWND p) {
         HWND control = Child(p, "BUTTON", "OK", 10, 10, 60, 24);
         SetWindowLongPtrA(control, GWLP_ID, 77);
         CreateTip(GetModuleHandleA(nullptr), p, 77, "A tip");
         HWND tip = static_cast<HWND>(GetPropA(control, MAKEINTATOM(TIPPROP_TIPWND)));
         SendMessageA(tip, TIPM_SHOW, 1, MAKELPARAM(300, 300));
         return tip;
     },
     true},
};

class ContrastTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitControls(GetModuleHandleA(nullptr)); }
    void SetUp() override
    {
        parent = std::make_unique<wintest::MessageRecorder>();
        SetWindowPos(parent->hwnd(), HWND_TOPMOST, 40, 40, 600, 300, SWP_SHOWWINDOW);
    }
    void TearDown() override { parent.reset(); }

    // The control's pixels after it has heard of the colour change, as a
    // top-level window passes it on.
    wintest::Pixels Shown(HWND control)
    {
        SendMessageA(control, WM_SYSCOLORCHANGE, 0, 0);
        RedrawWindow(parent->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        return wintest::CaptureClient(control);
    }

    std::unique_ptr<wintest::MessageRecorder> parent;
};

} // namespace

TEST_F(ContrastTest, EveryControlPaintsOnlyInTheSchemesColours)
{
    const HighContrastScheme scheme;
    for (const Control& control : kControls) {
        SCOPED_TRACE(control.what);
        HWND window = control.make(parent->hwnd());
        ASSERT_TRUE(window);
        const wintest::Pixels pixels = Shown(window);
        ASSERT_FALSE(pixels.empty());
        int foreign = 0;
        COLORREF example = 0;
        const int w = pixels.width, h = pixels.height;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool corner = (x == w - 1 && y <= 1) || (x == 0 && y == h - 1);
                if (control.openCorners && corner) continue;
                if (!FromTheScheme(pixels.At(x, y))) ++foreign, example = pixels.At(x, y);
            }
        EXPECT_EQ(foreign, 0) << "e.g. RGB(" << int(GetRValue(example)) << ", " << int(GetGValue(example)) << ", "
                              << int(GetBValue(example)) << ")";
        DestroyWindow(window);
    }
}

TEST_F(ContrastTest, OutsideTheSchemeDesignedColoursStayAndSystemColoursFollow)
{
    // A header whose owner set no colours, made before the colours change.
    HWND header = Child(parent->hwnd(), KW_HEADER_CLASS, "", 10, 100, 400, 24);
    SendMessageA(header, HDRM_SETCOUNT, 1, 0);
    SendMessageA(header, HDRM_SETTEXT, 0, reinterpret_cast<LPARAM>("From"));
    const HighContrastScheme colours(false);
    const auto shows = [](const wintest::Pixels& p, COLORREF c) { return p.CountColor(c) > 0; };
    // Designed colours stay: the panel's black ground, the link's blue,
    // the owner's bar colour.
    EXPECT_TRUE(shows(Shown(kControls[6].make(parent->hwnd())), RGB(0, 0, 0)));
    EXPECT_TRUE(shows(Shown(kControls[3].make(parent->hwnd())), RGB(10, 10, 255)));
    EXPECT_TRUE(shows(Shown(kControls[4].make(parent->hwnd())), RGB(255, 0, 0)));
    // The header drops the colours it took at creation and paints in the
    // new ones.
    const wintest::Pixels strip = Shown(header);
    EXPECT_GT(strip.CountColor(SchemeColour(COLOR_BTNFACE)), static_cast<int>(strip.data.size()) / 2);
}
