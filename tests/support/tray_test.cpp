// Self-test of the notification-area readers, the resource counters and the
// mail client stand-in. The icons come from a child process (this program
// again, running a disabled test) that owns them the way the watcher will.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "leaks.h"
#include "tray.h"
#include "wintest.h"

using namespace wintest;

namespace {

const char* const kChildClass = "TrayStandInOwner";
const UINT kIconId = 0x8065;
const UINT kSecondId = 7;
const UINT kCallback = 0x8064;
const char* const kNewTip = "Stand-in: 2 New";
const char* const kIdleTip = "Stand-in: idle";
const char* const kSecondTip = "Stand-in: second";
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGrey = RGB(128, 128, 128);

// Requests the parent posts to the child's icon owner.
const UINT kMsgIdle = WM_APP + 1;      // first icon: idle tip, grey ground
const UINT kMsgAddSecond = WM_APP + 2; // second icon, grey ground
const UINT kMsgDelete = WM_APP + 3;    // wParam: identifier of the icon to delete

const UINT kMenuOne = 101, kMenuTwo = 102;

std::string SelfPath() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// ---------------------------------------------------------------------------
// The child: an icon owner that reports the mouse input it gets in its tip.

struct ChildState {
    int leftUps = 0, doubles = 0, rights = 0;
    UINT lastMenu = 0;
} g_child;

bool Notify(HWND owner, DWORD op, UINT id, const std::string& tip, COLORREF ground, bool withIcon) {
    NOTIFYICONDATAA nd = {};
    nd.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nd.hWnd = owner;
    nd.uID = id;
    nd.uFlags = NIF_MESSAGE | NIF_TIP | (withIcon ? NIF_ICON : 0);
    nd.uCallbackMessage = kCallback;
    nd.hIcon = withIcon ? MakeGroundIcon(ground) : nullptr;
    lstrcpynA(nd.szTip, tip.c_str(), sizeof nd.szTip);
    const bool ok = Shell_NotifyIconA(op, &nd) != 0;
    if (nd.hIcon) DestroyIcon(nd.hIcon);
    return ok;
}

void ReportInput(HWND owner) {
    char tip[64];
    std::snprintf(tip, sizeof tip, "L%d D%d R%d M%u", g_child.leftUps, g_child.doubles,
                  g_child.rights, g_child.lastMenu);
    Notify(owner, NIM_MODIFY, kIconId, tip, kRed, false);
}

LRESULT CALLBACK ChildProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case kMsgIdle:
        Notify(h, NIM_MODIFY, kIconId, kIdleTip, kGrey, true);
        return 0;
    case kMsgAddSecond:
        Notify(h, NIM_ADD, kSecondId, kSecondTip, kGrey, true);
        return 0;
    case kMsgDelete: {
        NOTIFYICONDATAA nd = {};
        nd.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nd.hWnd = h;
        nd.uID = UINT(w);
        Shell_NotifyIconA(NIM_DELETE, &nd);
        return 0;
    }
    case kCallback:
        if (l == WM_LBUTTONUP) ++g_child.leftUps;
        if (l == WM_LBUTTONDBLCLK) ++g_child.doubles;
        if (l == WM_RBUTTONDOWN) {
            ++g_child.rights;
            HMENU menu = CreatePopupMenu();
            AppendMenuA(menu, MF_STRING, kMenuOne, "One");
            AppendMenuA(menu, MF_STRING, kMenuTwo, "Two");
            POINT pt;
            GetCursorPos(&pt);
            SetForegroundWindow(h);
            g_child.lastMenu = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, h,
                                              nullptr);
            PostMessageA(h, WM_NULL, 0, 0);
            DestroyMenu(menu);
        }
        if (l == WM_LBUTTONUP || l == WM_LBUTTONDBLCLK || l == WM_RBUTTONDOWN) ReportInput(h);
        return 0;
    case WM_TIMER: // never outlive a parent that failed to end this
    case WM_CLOSE:
        DestroyWindow(h);
        return 0;
    case WM_DESTROY: {
        NOTIFYICONDATAA nd = {};
        nd.cbSize = NOTIFYICONDATAA_V1_SIZE;
        nd.hWnd = h;
        nd.uID = kIconId;
        Shell_NotifyIconA(NIM_DELETE, &nd);
        nd.uID = kSecondId;
        Shell_NotifyIconA(NIM_DELETE, &nd);
        PostQuitMessage(0);
        return 0;
    }
    }
    return DefWindowProcA(h, m, w, l);
}

// ---------------------------------------------------------------------------
// The parent's side.

class TrayChild : public ::testing::Test {
protected:
    void SetUp() override {
        child_ = StartProcess(SelfPath(),
                              "--gtest_also_run_disabled_tests "
                              "--gtest_filter=TrayIconOwner.DISABLED_OwnsIcons",
                              SW_HIDE);
        ASSERT_TRUE(child_);
        owner_ = WaitForWindow(kChildClass, nullptr, 30000, child_.pid);
        ASSERT_NE(nullptr, owner_);
        ASSERT_TRUE(WaitForTrayTip(child_.pid, kNewTip, 20000, &icon_)) << Listing();
    }
    void TearDown() override {
        MoveCursorAwayFromTray();
        if (child_) {
            PostMessageA(owner_, WM_CLOSE, 0, 0);
            WaitExit(child_, 5000);
            KillProcess(child_);
        }
    }

    // Pumps until the icon's captured picture is mostly of this tone.
    static bool WaitForTone(const TrayIcon& icon, Tone tone, DWORD timeoutMs) {
        return PumpUntil([&] { return ToneShare(CaptureTrayIcon(icon), tone) > 0.6; }, timeoutMs);
    }

    static std::string Listing() {
        std::string s = "icons shown:";
        for (const TrayIcon& i : ReadTrayIcons()) {
            char buf[160];
            std::snprintf(buf, sizeof buf, " ['%s' owner %p id %#x pid %lu at %ld,%ld]", i.tip.c_str(),
                          static_cast<void*>(i.owner), i.id, i.pid, i.screenRect.left,
                          i.screenRect.top);
            s += buf;
        }
        return s;
    }

    Process child_;
    HWND owner_ = nullptr;
    TrayIcon icon_;
};

// Run by the parent in a child process: adds the red icon and serves
// requests until closed.
TEST(TrayIconOwner, DISABLED_OwnsIcons) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ChildProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kChildClass;
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND owner = CreateWindowExA(0, kChildClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_NE(nullptr, owner);
    SetTimer(owner, 1, 120000, nullptr);
    ASSERT_TRUE(Notify(owner, NIM_ADD, kIconId, kNewTip, kRed, true));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST_F(TrayChild, IconShowsOwnerTipAndRedGround) {
    EXPECT_EQ(owner_, icon_.owner);
    EXPECT_EQ(kIconId, icon_.id);
    EXPECT_EQ(kCallback, icon_.callbackMessage);
    EXPECT_EQ(child_.pid, icon_.pid);

    // The cell lies in the taskbar, at its bottom-right end on this shell.
    RECT bar;
    ASSERT_TRUE(GetWindowRect(FindTrayWindow(), &bar));
    RECT both;
    EXPECT_TRUE(IntersectRect(&both, &bar, &icon_.screenRect) && EqualRect(&both, &icon_.screenRect));
    EXPECT_GE(icon_.screenRect.right - icon_.screenRect.left, GetSystemMetrics(SM_CXSMICON));

    const Pixels pic = CaptureTrayIcon(icon_);
    ASSERT_EQ(GetSystemMetrics(SM_CXSMICON), pic.width);
    EXPECT_GT(ToneShare(pic, Tone::Red), 0.6);
    EXPECT_GT(pic.CountColor(RGB(255, 255, 255)), 4) << "the emblem is drawn too";
    EXPECT_EQ(0.0, ToneShare(pic, Tone::Grey));

    TrayIcon again;
    ASSERT_TRUE(FindTrayIcon(owner_, kIconId, &again));
    EXPECT_EQ(kNewTip, again.tip);
    EXPECT_FALSE(FindTrayIcon(owner_, kIconId + 1, nullptr));
    EXPECT_TRUE(ReadTrayIcons(GetCurrentProcessId()).empty()) << "filtered by process";
}

TEST_F(TrayChild, SeesTipAndGroundChangeAndDeletion) {
    ASSERT_TRUE(WaitForTone(icon_, Tone::Red, 5000));
    PostMessageA(owner_, kMsgIdle, 0, 0);
    TrayIcon idle;
    ASSERT_TRUE(WaitForTrayTip(child_.pid, kIdleTip, 10000, &idle)) << Listing();
    EXPECT_EQ(kIconId, idle.id);
    EXPECT_TRUE(EqualRect(&idle.screenRect, &icon_.screenRect)) << "modified in place";
    EXPECT_TRUE(WaitForTone(idle, Tone::Grey, 5000));
    EXPECT_LT(ToneShare(CaptureTrayIcon(idle), Tone::Red), 0.1);
    ASSERT_EQ(1u, ReadTrayIcons(child_.pid).size()) << "the old tip is gone";

    PostMessageA(owner_, kMsgDelete, kIconId, 0);
    EXPECT_TRUE(WaitForNoTrayIcon(child_.pid, 10000)) << Listing();
    EXPECT_FALSE(FindTrayIcon(owner_, kIconId, nullptr));
}

TEST_F(TrayChild, TellsTwoIconsOfOneOwnerApart) {
    PostMessageA(owner_, kMsgAddSecond, 0, 0);
    TrayIcon second;
    ASSERT_TRUE(WaitForTrayTip(child_.pid, kSecondTip, 10000, &second)) << Listing();
    EXPECT_EQ(owner_, second.owner);
    EXPECT_EQ(kSecondId, second.id);
    EXPECT_EQ(2u, ReadTrayIcons(child_.pid).size());
    EXPECT_FALSE(EqualRect(&second.screenRect, &icon_.screenRect));
    EXPECT_TRUE(WaitForTone(second, Tone::Grey, 5000));
    EXPECT_TRUE(WaitForTone(icon_, Tone::Red, 5000)) << "each capture shows its own icon";

    // Deleting the first keeps the second, wherever the shell now puts it.
    PostMessageA(owner_, kMsgDelete, kIconId, 0);
    ASSERT_TRUE(PumpUntil([&] { return ReadTrayIcons(child_.pid).size() == 1; }, 10000));
    TrayIcon left;
    ASSERT_TRUE(FindTrayIcon(owner_, kSecondId, &left));
    EXPECT_EQ(kSecondTip, left.tip);
    EXPECT_TRUE(WaitForTone(left, Tone::Grey, 5000));
}

TEST_F(TrayChild, PostedClicksReachTheOwner) {
    ASSERT_TRUE(PostTrayClick(icon_, TrayClick::Left));
    EXPECT_TRUE(WaitForTrayTip(child_.pid, "L1 D0 R0 M0", 10000)) << Listing();
    ASSERT_TRUE(PostTrayClick(icon_, TrayClick::DoubleLeft));
    EXPECT_TRUE(WaitForTrayTip(child_.pid, "L3 D1 R0 M0", 10000)) << Listing();
}

TEST_F(TrayChild, MouseInputOpensOwnersMenu) {
    ASSERT_TRUE(ClickTrayIcon(icon_, TrayClick::DoubleLeft));
    EXPECT_TRUE(WaitForTrayTip(child_.pid, "L2 D1 R0 M0", 10000)) << Listing();

    // A right click makes the owner open its menu; the keyboard picks the
    // first item.
    ASSERT_TRUE(ClickTrayIcon(icon_, TrayClick::Right));
    HWND menu = WaitForWindow("#32768", nullptr, 10000, child_.pid);
    ASSERT_NE(nullptr, menu);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(menu) != FALSE; }, 5000));
    INPUT keys[4] = {};
    const WORD vks[4] = {VK_DOWN, VK_DOWN, VK_RETURN, VK_RETURN};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vks[i];
        keys[i].ki.dwFlags = (i % 2) ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(2u, SendInput(2, keys, sizeof(INPUT)));
    PumpFor(200);
    ASSERT_EQ(2u, SendInput(2, keys + 2, sizeof(INPUT)));
    char expected[32];
    std::snprintf(expected, sizeof expected, "L2 D1 R1 M%u", kMenuOne);
    EXPECT_TRUE(WaitForTrayTip(child_.pid, expected, 10000)) << Listing();

    // The tip that pops up while the cursor rests on the icon leaves the
    // icon itself visible.
    PumpFor(1500);
    EXPECT_GT(ToneShare(CaptureTrayIcon(icon_), Tone::Red), 0.6);
}

// ---------------------------------------------------------------------------

TEST(ResourceCounts, GdiObjectsFollowCreationAndDeletion) {
    HDC warm = CreateCompatibleDC(nullptr); // GDI fills some caches on first use
    DeleteDC(warm);
    const GdiCounts before = CountGdiObjects();
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 100; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HRGN region = CreateRectRgn(0, 0, 5, 5);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);

    const GdiCounts during = CountGdiObjects();
    EXPECT_EQ(before.total + 104, during.total);
    EXPECT_EQ(before.brushes + 100, during.brushes);
    EXPECT_EQ(before.pens + 1, during.pens);
    EXPECT_EQ(before.regions + 1, during.regions);
    EXPECT_EQ(before.dcs + 1, during.dcs);
    EXPECT_EQ(before.bitmaps + 1, during.bitmaps);

    for (HBRUSH b : brushes) DeleteObject(b);
    DeleteObject(pen);
    DeleteObject(region);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_EQ(before.total, CountGdiObjects().total);
}

TEST(ResourceCounts, UserObjectsIncludeWhatDiesWithItsParent) {
    const UserCounts before = CountUserObjects();
    HMENU parent = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuA(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub");
    HICON icon = MakeGroundIcon(kRed);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, window, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, child);

    const UserCounts during = CountUserObjects();
    EXPECT_EQ(before.menus + 2, during.menus);
    EXPECT_EQ(before.icons + 1, during.icons);
    EXPECT_EQ(before.windows + 2, during.windows);
    EXPECT_EQ(before.total + 5, during.total);

    DestroyMenu(parent); // takes the inserted pop-up along
    DestroyIcon(icon);
    DestroyWindow(window);
    const UserCounts after = CountUserObjects();
    EXPECT_EQ(before.menus, after.menus);
    EXPECT_EQ(before.icons, after.icons);
    EXPECT_EQ(before.windows, after.windows);
}

TEST(ResourceCounts, HeapFollowsMallocAndHeapAlloc) {
    std::vector<void*> blocks;
    blocks.reserve(200); // the vector's own block is there before the count
    size_t blocksBefore = 0;
    const size_t bytesBefore = HeapInUse(&blocksBefore);
    for (int i = 0; i < 100; ++i) blocks.push_back(std::malloc(1000));
    for (int i = 0; i < 100; ++i) blocks.push_back(HeapAlloc(GetProcessHeap(), 0, 500));
    size_t blocksDuring = 0;
    const size_t bytesDuring = HeapInUse(&blocksDuring);
    EXPECT_EQ(blocksBefore + 200, blocksDuring);
    EXPECT_EQ(bytesBefore + 150000, bytesDuring);

    for (int i = 0; i < 100; ++i) std::free(blocks[i]);
    for (int i = 100; i < 200; ++i) HeapFree(GetProcessHeap(), 0, blocks[i]);
    size_t blocksAfter = 0;
    EXPECT_EQ(bytesBefore, HeapInUse(&blocksAfter));
    EXPECT_EQ(blocksBefore, blocksAfter);
}

TEST(ResourceCounts, SnapshotNamesWhatChanged) {
    const ResourceSnapshot before = ResourceSnapshot::Take();
    EXPECT_EQ("no change", before.DescribeChange(before));
    HBRUSH b1 = CreateSolidBrush(kRed), b2 = CreateSolidBrush(kGrey);
    HMENU menu = CreateMenu();
    const ResourceSnapshot during = ResourceSnapshot::Take();
    const std::string change = before.DescribeChange(during);
    EXPECT_NE(std::string::npos, change.find("brushes +2")) << change;
    EXPECT_NE(std::string::npos, change.find("menus +1")) << change;
    EXPECT_EQ(std::string::npos, change.find("pens")) << change;
    DeleteObject(b1);
    DeleteObject(b2);
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------

class StandIn : public ::testing::Test {
protected:
    void TearDown() override {
        for (Process& p : started_) KillProcess(p);
    }
    Process Start(const std::string& args) {
        Process p = StartProcess(StandInPath(), args);
        started_.push_back(p);
        return p;
    }
    std::vector<Process> started_;
};

TEST_F(StandIn, IsFoundByClassAndTitleAndLogsRestoreAndClose) {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(StandInPath().c_str()))
        << StandInPath() << " is not built";
    const std::string log = NewStandInLog("standin-restore");
    const Process p = Start("--log \"" + log + "\"");
    ASSERT_TRUE(p);
    ASSERT_TRUE(WaitForStandInEvent(log, "shown normal", 30000, p.pid));
    HWND frame = FindWindowA("FRAME", "Corvid Mail");
    ASSERT_NE(nullptr, frame);
    DWORD pid = 0;
    GetWindowThreadProcessId(frame, &pid);
    EXPECT_EQ(p.pid, pid);
    EXPECT_EQ("started --log \"" + log + "\"", ReadStandInLog(log, p.pid).front());

    ShowWindow(frame, SW_MINIMIZE);
    EXPECT_TRUE(WaitForStandInEvent(log, "minimized", 5000, p.pid));
    EXPECT_EQ(0, CountStandInEvents(log, "restored", p.pid));
    ShowWindow(frame, SW_RESTORE);
    EXPECT_TRUE(WaitForStandInEvent(log, "restored", 5000, p.pid));
    EXPECT_TRUE(SetForegroundWindow(frame));
    EXPECT_TRUE(WaitForStandInEvent(log, "activated", 5000, p.pid));

    PostMessageA(frame, WM_CLOSE, 0, 0);
    DWORD code = 99;
    EXPECT_TRUE(WaitExit(p, 10000, &code));
    EXPECT_EQ(0u, code);
    // Closing deactivates the window on its way out: "closed" comes after
    // "activated", and "exit 0" last.
    const std::vector<std::string> events = ReadStandInLog(log, p.pid);
    const auto closed = std::find(events.begin(), events.end(), "closed");
    const auto activated = std::find(events.begin(), events.end(), "activated");
    ASSERT_NE(events.end(), closed);
    EXPECT_LT(activated, closed);
    EXPECT_EQ("exit 0", events.back());
    DeleteFileA(log.c_str());
}

TEST_F(StandIn, TakesClassTitleAndMinimisedStateAndLogFromEnvironment) {
    const std::string log = NewStandInLog("standin-env");
    ASSERT_TRUE(SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str()));
    const Process p = Start("--class OtherFrame --title \"Corvid Mail\" --minimized");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", nullptr);
    ASSERT_TRUE(p);
    ASSERT_TRUE(WaitForStandInEvent(log, "shown", 30000, p.pid));
    EXPECT_EQ(1, CountStandInEvents(log, "shown minimized", p.pid));
    EXPECT_EQ(nullptr, FindWindowA("FRAME", "Corvid Mail"));
    HWND frame = FindWindowA("OtherFrame", "Corvid Mail");
    ASSERT_NE(nullptr, frame);
    EXPECT_TRUE(IsIconic(frame));

    // Restoring through the system menu command is logged as such.
    PostMessageA(frame, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitForStandInEvent(log, "restore-command", 5000, p.pid));
    EXPECT_TRUE(WaitForStandInEvent(log, "restored", 5000, p.pid));
    EXPECT_FALSE(IsIconic(frame));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitForStandInEvent(log, "exit", 10000, p.pid));
    DeleteFileA(log.c_str());
}

} // namespace
