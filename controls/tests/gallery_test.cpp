// The control gallery run as its own program, observed from outside: every
// window class of the library shows in it and has painted, its children lie
// side by side within an 800 x 600 window, its push buttons carry tips, and
// closing it ends it with exit code 0. A screenshot of the window is kept
// as artifacts/gallery.bmp in the build tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kwctrl32.h"
#include "wintest.h"

namespace {

const char kGalleryClass[] = "KWGalleryWindow";

struct ClassSearch {
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectOfClass(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    char name[64];
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, search->className) == 0)
        search->found.push_back(child);
    return TRUE;
}

// Every window of the class below parent, at any depth.
std::vector<HWND> Descendants(HWND parent, const char* className)
{
    ClassSearch search{className, {}};
    EnumChildWindows(parent, CollectOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> DirectChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) children.push_back(c);
    return children;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT ScreenRect(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

// Whether the window's close button shows a cross: dark pixels in each of
// the four quarters around the button's centre. Drawn without the Marlett
// font, the button shows the letter "r", whose lower right quarter is empty.
bool CloseButtonShowsCross(const wintest::Pixels& screen, HWND window)
{
    WINDOWINFO info = {};
    info.cbSize = sizeof info;
    if (!GetWindowInfo(window, &info)) return false;
    const int right = info.rcWindow.right - static_cast<int>(info.cxWindowBorders);
    const int top = info.rcWindow.top + static_cast<int>(info.cyWindowBorders);
    const int cx = right - GetSystemMetrics(SM_CXSIZE) / 2;
    const int cy = top + GetSystemMetrics(SM_CYSIZE) / 2;
    int dark[2][2] = {};
    for (int dy = -5; dy <= 5; ++dy)
        for (int dx = -5; dx <= 5; ++dx) {
            const COLORREF c = screen.At(cx + dx, cy + dy);
            if (dx && dy && c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96)
                ++dark[dy > 0][dx > 0];
        }
    return dark[0][0] && dark[0][1] && dark[1][0] && dark[1][1];
}

// The part of a screen capture that a screen rectangle covers.
wintest::Pixels Cut(const wintest::Pixels& screen, const RECT& r)
{
    wintest::Pixels part;
    part.width = r.right - r.left;
    part.height = r.bottom - r.top;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) part.data.push_back(screen.At(x, y));
    return part;
}

bool Has(const wintest::Pixels& p, COLORREF colour)
{
    return p.CountColor(colour) > 0;
}

// A frame drawn by the control itself, seen at mid-height of its left and
// right edges (what lies inside may be other windows).
bool Framed(const wintest::Pixels& p, int leftColour, int rightColour)
{
    return p.At(0, p.height / 2) == GetSysColor(leftColour) &&
           p.At(p.width - 1, p.height / 2) == GetSysColor(rightColour);
}

// How a control of each class looks once it has painted in the gallery.
struct Look {
    const char* className;
    bool (*painted)(const wintest::Pixels&);
};
const Look kLooks[] = {
    {KW_GASGAUGE_CLASS, [](const wintest::Pixels& p) { return Has(p, GetSysColor(COLOR_HIGHLIGHT)); }},
    {KW_CALENDAR_CLASS, [](const wintest::Pixels& p) { return Has(p, GetSysColor(COLOR_HIGHLIGHT)); }},
    {KW_CALENDARBAR_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)); }},
    {KW_STATUS_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)); }},
    {KW_STATUSTEXT_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW); }},
    {KW_HEADER_CLASS,
     [](const wintest::Pixels& p) { return Has(p, RGB(0, 0, 0)) && Has(p, GetSysColor(COLOR_BTNHIGHLIGHT)); }},
    {KW_BMPBUTTON_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(255, 255, 0)); }}, // the yellow folder
    {KW_URL_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(10, 10, 255)); }},
    {KW_TIMEDISPLAY_CLASS, [](const wintest::Pixels& p) { return Has(p, RGB(0, 255, 255)); }},
    {KW_BUMPS_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW); }},
    {KW_DIPS_CLASS, [](const wintest::Pixels& p) { return Framed(p, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT); }},
};

HWND VisibleTip(DWORD pid)
{
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, KW_TIP_CLASS, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid && IsWindowVisible(h)) return h;
    }
    return nullptr;
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(0, 0); // away from the window, so nothing is hot
        gallery_ = wintest::StartProcess(wintest::ExeDir() + "KWGallery.exe");
        ASSERT_TRUE(gallery_);
        window_ = wintest::WaitForWindow(kGalleryClass, nullptr, 15000, gallery_.pid);
        ASSERT_TRUE(window_);
        // Shown once every child has been made.
        ASSERT_TRUE(wintest::PumpUntil([this] { return IsWindowVisible(window_) != FALSE; }, 10000));
    }
    void TearDown() override
    {
        SetCursorPos(0, 0);
        wintest::KillProcess(gallery_);
    }

    wintest::Process gallery_;
    HWND window_ = nullptr;
};

TEST_F(GalleryTest, ShowsEveryClassPaintedSideBySideAndClosesWithCodeZero)
{
    const RECT outer = ScreenRect(window_);
    EXPECT_LE(outer.right - outer.left, 800);
    EXPECT_LE(outer.bottom - outer.top, 600);

    // One window of every class that has a size (the status bar's count
    // text is a 0 x 0 holder), looking as it does once painted: the lit
    // blocks at 40 %, the selected day, the bar's arrows, the status panes'
    // texts, the frames, the folder picture, the link's blue, the cyan time.
    std::vector<std::pair<const Look*, HWND>> controls;
    for (const Look& look : kLooks) {
        HWND sized = nullptr;
        for (HWND w : Descendants(window_, look.className)) {
            const RECT r = ScreenRect(w);
            if (!sized && !IsRectEmpty(&r)) sized = w;
        }
        ASSERT_TRUE(sized) << look.className;
        controls.emplace_back(&look, sized);
    }

    std::string unpainted;
    wintest::Pixels screen;
    const bool allPainted = wintest::PumpUntil(
        [&] {
            screen = wintest::CaptureScreen();
            unpainted.clear();
            for (const auto& c : controls)
                if (!c.first->painted(Cut(screen, ScreenRect(c.second))))
                    unpainted += std::string(c.first->className) + " ";
            return unpainted.empty();
        },
        10000);
    std::string artifacts = wintest::ExeDir() + "..\\artifacts";
    CreateDirectoryA(artifacts.c_str(), nullptr);
    EXPECT_TRUE(wintest::SaveBmp(Cut(screen, outer), (artifacts + "\\gallery.bmp").c_str()));
    EXPECT_TRUE(allPainted) << "not painted: " << unpainted;
    EXPECT_TRUE(CloseButtonShowsCross(screen, window_)) << "caption buttons drawn without Marlett";

    // Side by side inside the client area; only the 3-D frame holds others.
    RECT client;
    GetClientRect(window_, &client);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const std::vector<HWND> children = DirectChildren(window_);
    for (size_t i = 0; i < children.size(); ++i) {
        const RECT a = ScreenRect(children[i]);
        RECT inside;
        IntersectRect(&inside, &a, &client);
        EXPECT_TRUE(EqualRect(&inside, &a)) << ClassOf(children[i]) << " leaves the window";
        for (size_t j = i + 1; j < children.size(); ++j) {
            const RECT b = ScreenRect(children[j]);
            RECT both;
            const bool frame = ClassOf(children[i]) == KW_DIPS_CLASS || ClassOf(children[j]) == KW_DIPS_CLASS;
            if (!frame) {
                EXPECT_FALSE(IntersectRect(&both, &a, &b))
                    << ClassOf(children[i]) << " overlaps " << ClassOf(children[j]);
            }
        }
    }

    // A push button's tip: the info colour inside a black frame. When the
    // tip's delay ends the gallery reads the pointer again, and a pointer
    // placed from another process is not always found where it was put by
    // then; like a resting hand, the pointer moves by a pixel and rests
    // again until the tip shows.
    HWND today = FindWindowExA(window_, nullptr, "Button", "Today");
    ASSERT_TRUE(today);
    const RECT button = ScreenRect(today);
    HWND tip = nullptr;
    for (int step = 0; step < 15 && !tip; ++step) {
        SetCursorPos((button.left + button.right) / 2 + step % 2, (button.top + button.bottom) / 2);
        wintest::PumpUntil([&] { return (tip = VisibleTip(gallery_.pid)) != nullptr; }, 200);
    }
    ASSERT_TRUE(tip);
    wintest::PumpFor(200);
    const wintest::Pixels shown = Cut(wintest::CaptureScreen(), ScreenRect(tip));
    EXPECT_GT(shown.CountColor(GetSysColor(COLOR_INFOBK)), 0);
    EXPECT_EQ(shown.At(0, shown.height / 2), RGB(0, 0, 0));
    SetCursorPos(0, 0);

    PostMessageA(window_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(wintest::WaitExit(gallery_, 5000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
