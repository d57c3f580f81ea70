// The tray window inside the test process: its icon and tip as the shell
// shows them, the scan timer, the sound, the menu and its commands, and the
// mail client brought up from it.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "mail.h"
#include "mail_dir.h"
#include "popup.h"
#include "resource.h"
#include "settings.h"
#include "stand_ins.h"
#include "stored_settings.h"
#include "tray.h"
#include "watcher.h"
#include "watcherstate.h"
#include "wintest.h"

namespace {

struct PlayedSound {
    std::string sound;
    DWORD flags;
};
std::vector<PlayedSound> played;

BOOL WINAPI RecordSound(LPCSTR sound, HMODULE, DWORD flags)
{
    played.push_back({sound ? sound : "(null)", flags});
    return TRUE;
}

const char kTestClass[] = "KWMailNotification";

// What a popup showed while it was open: its position text and sender.
struct PopupSeen {
    std::string position;
    std::string from;
};
std::vector<PopupSeen> popupsSeen;

// Runs inside the popup's modal loop: reads the popup of this thread that
// is on the screen, then closes it.
void CALLBACK ReadAndClosePopup(HWND, UINT, UINT_PTR, DWORD)
{
    HWND popup = FindWindowA("#32770", "New Mail!!");
    if (!popup || !IsWindowVisible(popup) || GetWindowThreadProcessId(popup, nullptr) != GetCurrentThreadId())
        return;
    char position[512] = {};
    char from[512] = {};
    GetDlgItemTextA(popup, IDC_POPUP_POSITION, position, sizeof position);
    GetDlgItemTextA(popup, IDC_POPUP_FROM, from, sizeof from);
    popupsSeen.push_back({position, from});
    EndDialog(popup, 1);
}

// The popups that action opened, each read and closed.
std::vector<PopupSeen> ReadPopups(const std::function<void()>& action)
{
    popupsSeen.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndClosePopup);
    action();
    KillTimer(nullptr, timer);
    return popupsSeen;
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        InitControls(appInstance);
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc = {};
            wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
            wc.lpfnWndProc = MailWndProc;
            wc.hInstance = appInstance;
            wc.lpszClassName = kTestClass;
            registered = RegisterClassA(&wc) != 0;
        }
        stored::WriteUsable(mail.path());
        stored::SetText(stored::kSoundKey, "", "C:\\sounds\\ding.wav");
        played.clear();
        playSound = RecordSound;
    }
    void TearDown() override
    {
        if (IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
        wintest::PumpPending();
        wintest::TakeQuit();
        trayWindow = nullptr;
        stored::Clear();
    }

    // Creates the tray window, which loads the settings, scans once and
    // adds the icon.
    void Start()
    {
        window = CreateWindowExA(0, kTestClass, "Tidbell", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, appInstance, nullptr);
        ASSERT_TRUE(window);
    }
    std::shared_ptr<WatcherState> State() const { return StateOf(window); }
    // Messages waiting in every mailbox; -1 once the watcher has gone.
    int Known() const
    {
        const auto state = State();
        return state ? state->Waiting() : -1;
    }
    // The known list of the first mailbox.
    RecordList* KnownList() const { return State()->MailboxAt(0)->Known(); }
    // One due tick of the scan timer.
    void Tick()
    {
        scanInterval = 0;
        SendMessageA(window, WM_TIMER, IDT_SCAN, 0);
    }
    bool ShowsTip(const std::string& tip, wintest::TrayIcon* icon = nullptr)
    {
        return wintest::WaitForTrayTip(GetCurrentProcessId(), tip, 5000, icon);
    }
    // The icon's ground: red for new mail, grey when idle.
    wintest::Tone Ground(const std::string& tip)
    {
        wintest::TrayIcon icon;
        if (!ShowsTip(tip, &icon)) return wintest::Tone::Other;
        wintest::PumpFor(100);
        const wintest::Pixels pixels = wintest::CaptureTrayIcon(icon);
        if (wintest::ToneShare(pixels, wintest::Tone::Red) > 0.3) return wintest::Tone::Red;
        if (wintest::ToneShare(pixels, wintest::Tone::Grey) > 0.3) return wintest::Tone::Grey;
        return wintest::Tone::Other;
    }

    MailDirectory mail;
    HWND window = nullptr;
};

} // namespace

TEST_F(TrayTest, EmptyDirectoryStartsIdleAndSilent)
{
    Start();
    EXPECT_EQ(Ground("0 New Mail Messages"), wintest::Tone::Grey);
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(trayWindow, window);
}

TEST_F(TrayTest, MailAtStartShowsNewMailIconAndPlaysTheSound)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
    wintest::MessageBoxWatcher dialogs;
    Start();
    EXPECT_EQ(Ground("2 New Mail Messages"), wintest::Tone::Red);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].sound, "C:\\sounds\\ding.wav");
    EXPECT_EQ(played[0].flags, DWORD(SND_FILENAME | SND_ASYNC));
    wintest::PumpFor(200);
    EXPECT_EQ(dialogs.Count(), 0u) << "no popup at start-up";
}

TEST_F(TrayTest, ArrivalOpensThePopupWithOnlyTheNewFile)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
    Start();
    popupNotification = 1;
    mail.Write("3.CNM", "Cleo <cleo@example.com>", "Three");

    const std::vector<PopupSeen> seen = ReadPopups([&] { Tick(); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].position, "1 of 1");
    EXPECT_EQ(seen[0].from, "Cleo <cleo@example.com>");
    EXPECT_EQ(Ground("3 New Mail Messages"), wintest::Tone::Red);
    EXPECT_EQ(played.size(), 2u);
}

TEST_F(TrayTest, IconFollowsTheCountOfWaitingMessages)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
    mail.Write("3.CNM", "Cleo <cleo@example.com>", "Three");
    Start();
    popupNotification = 0;
    ASSERT_TRUE(ShowsTip("3 New Mail Messages"));

    // Nothing changes: icon and tip stay, new-mail icon included.
    Tick();
    EXPECT_EQ(Ground("3 New Mail Messages"), wintest::Tone::Red);
    EXPECT_EQ(played.size(), 1u);

    // The client takes one in: idle icon, the tip still counts the rest.
    mail.Remove("2.CNM");
    Tick();
    EXPECT_EQ(Ground("2 New Mail Messages"), wintest::Tone::Grey);
}

TEST_F(TrayTest, ScansWaitForTheInterval)
{
    // A change is scanned at once (and its burst once more when it has
    // settled); without one, ticks scan only when the interval is due.
    Start();
    scanInterval = 3600;
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    ASSERT_TRUE(wintest::PumpUntil([&] { return Known() == 1; }, 3000));
    wintest::PumpFor(1500);
    const int scans = State()->ScanCount();
    for (int i = 0; i < 3; ++i) SendMessageA(window, WM_TIMER, IDT_SCAN, 0);
    EXPECT_EQ(State()->ScanCount(), scans) << "not yet due";
    Tick();
    EXPECT_EQ(State()->ScanCount(), scans + 1);
}

TEST_F(TrayTest, SecondCopySignalForcesTheIdleIcon)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    Start();
    ASSERT_TRUE(ShowsTip("1 New Mail Messages"));
    PostMessageA(window, WM_RESETTRAYICON, 0, 0);
    EXPECT_EQ(Ground("No New Messages"), wintest::Tone::Grey);
    EXPECT_EQ(Known(), 1) << "lists are not touched";

    // A scan with nothing new and the same count leaves it so.
    Tick();
    EXPECT_TRUE(ShowsTip("No New Messages"));
}

TEST_F(TrayTest, NewTaskbarGetsTheIconBackAsItWas)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
    Start();
    ASSERT_TRUE(ShowsTip("2 New Mail Messages"));

    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    wintest::PumpFor(300);
    EXPECT_EQ(Ground("2 New Mail Messages"), wintest::Tone::Red);

    // The traditional fixed number still puts back the idle icon.
    SendMessageA(window, 0xC07F, 0, 0);
    EXPECT_EQ(Ground("No New Messages"), wintest::Tone::Grey);
}

namespace {

// What the tray menu held while it was open.
struct MenuSeen {
    int opened = 0;                      // menus seen open
    std::vector<std::string> items;      // the tray pop-up's texts
    std::vector<std::string> quickView;  // the "Quick View" pop-up's texts
    std::vector<UINT> quickViewIds;
    std::vector<bool> quickViewItemsGreyed;
    bool quickViewGreyed = false;
    UINT defaultItem = 0;
    RECT rect = {};                      // the first menu on the screen
};
MenuSeen menuSeen;
// Set to have the first menu seen sent what the shell sends after the
// right click that opened it: WM_CONTEXTMENU, with the icon's point.
HWND contextMenuWhileOpen;

// The icon's event as the shell sends it under the version 4 protocol that
// the icon declares: the event and the icon's identifier in lParam, the
// point it belongs to in wParam.
LRESULT SendIconEvent(HWND window, UINT event, POINT at = {0, 0})
{
    return SendMessageA(window, WM_TRAYNOTIFY, MAKEWPARAM(at.x, at.y), MAKELPARAM(event, TRAY_ICON_ID));
}

std::string MenuText(HMENU menu, UINT position)
{
    char text[512] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

// Runs inside the menu's own loop (and any loop nested in it): reads the
// first open menu, then closes every menu it finds.
void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;
    if (menuSeen.opened++ > 0) {
        EndMenu();
        return;
    }
    GetWindowRect(menuWindow, &menuSeen.rect);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) menuSeen.items.push_back(MenuText(menu, i));
    HMENU quickView = GetSubMenu(menu, 0);
    for (int i = 0; i < GetMenuItemCount(quickView); ++i) {
        menuSeen.quickView.push_back(MenuText(quickView, i));
        menuSeen.quickViewIds.push_back(GetMenuItemID(quickView, i));
        menuSeen.quickViewItemsGreyed.push_back((GetMenuState(quickView, i, MF_BYPOSITION) & MF_GRAYED) != 0);
    }
    menuSeen.quickViewGreyed = (GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED) != 0;
    menuSeen.defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
    if (contextMenuWhileOpen) SendIconEvent(contextMenuWhileOpen, WM_CONTEXTMENU);
    EndMenu();
}

// The menu that the icon's event opens (by default a right click, as the
// oldest shells send it).
MenuSeen OpenTrayMenu(HWND window, WPARAM wParam = TRAY_ICON_ID, LPARAM lParam = WM_RBUTTONDOWN)
{
    menuSeen = MenuSeen();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, ReadOpenMenu);
    SendMessageA(window, WM_TRAYNOTIFY, wParam, lParam);
    KillTimer(nullptr, timer);
    return menuSeen;
}

} // namespace

TEST_F(TrayTest, MenuListsKnownMessagesUnderQuickView)
{
    mail.Write("1.CNM", "Ann Lee <ann@example.com>", "Budget");
    mail.Write("2.CNM", "bob@example.com", std::string(300, 's'));
    Start();
    const MenuSeen seen = OpenTrayMenu(window);
    ASSERT_TRUE(seen.opened);
    ASSERT_EQ(seen.items.size(), 8u);
    EXPECT_EQ(seen.items[0], "Quick View");
    EXPECT_EQ(seen.items[1], "&Properties");
    EXPECT_EQ(seen.items[7], "E&xit");
    EXPECT_FALSE(seen.quickViewGreyed);
    EXPECT_EQ(seen.defaultItem, UINT(IDM_RUNCLIENT));
    ASSERT_EQ(seen.quickView.size(), 2u);
    EXPECT_EQ(seen.quickViewIds, (std::vector<UINT>{1000, 1001}));
    const MailItem* first = MailAt(KnownList(), 0);
    EXPECT_EQ(seen.quickView[0], std::string(first->fromName) + " [" + first->subject + "]");
    // A text longer than the item buffer is cut, never overflowing.
    EXPECT_EQ(seen.quickView[1].size(), 255u);
}

TEST_F(TrayTest, QuickViewShowsDecodedWordsAndAmpersandsAsThemselves)
{
    mail.Write("1.CNM", "\"=?UTF-8?Q?Andr=C3=A9?=\" <a@example.org>", "R&D =?utf-8?B?YnVkZ2V0?=");
    Start();
    const MenuSeen seen = OpenTrayMenu(window);
    ASSERT_TRUE(seen.opened);
    ASSERT_EQ(seen.quickView.size(), 1u);
    EXPECT_EQ(seen.quickView[0], "Andr\xE9 [R&&D budget]");
}

TEST_F(TrayTest, ContextMenuFromTheKeyboardOpensTheMenuAtTheIcon)
{
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    Start();
    // The menu key or Shift+F10 on the icon: the shell gives its corner.
    const POINT at = {300, 200};
    MenuSeen seen = OpenTrayMenu(window, MAKEWPARAM(at.x, at.y), MAKELPARAM(WM_CONTEXTMENU, TRAY_ICON_ID));
    EXPECT_EQ(seen.opened, 1);
    EXPECT_EQ(seen.items.size(), 8u);
    EXPECT_EQ(seen.quickView.size(), 1u);
    EXPECT_EQ(seen.rect.left, at.x);
    EXPECT_EQ(seen.rect.top, at.y);

    // The shell's WM_CONTEXTMENU after the right click that opened the
    // menu opens no second one.
    contextMenuWhileOpen = window;
    seen = OpenTrayMenu(window, MAKEWPARAM(at.x, at.y), MAKELPARAM(WM_RBUTTONDOWN, TRAY_ICON_ID));
    contextMenuWhileOpen = nullptr;
    EXPECT_EQ(seen.opened, 1);
    EXPECT_EQ(seen.items.size(), 8u);
}

TEST_F(TrayTest, QuickViewIsGreyedWithoutMessages)
{
    Start();
    const MenuSeen seen = OpenTrayMenu(window);
    ASSERT_TRUE(seen.opened);
    EXPECT_TRUE(seen.quickViewGreyed);
    EXPECT_TRUE(seen.quickView.empty());
}

TEST_F(TrayTest, QuickViewItemStartsTheViewerWithTheMessagePath)
{
    // A directory with spaces in its name: the path reaches the viewer as
    // one argument.
    MailDirectory spaced("Ann Lee Mail ");
    stored::SetText(stored::kKey, "MailDir", spaced.path());
    spaced.Write("1.CNM", "Ann <ann@example.com>", "One");
    spaced.Write("2.CNM", "Bob <bob@example.com>", "Two");
    Start();
    const std::string log = wintest::NewStandInLog("viewer");
    SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    lstrcpynA(viewerProgram, wintest::StandInPath().c_str(), kSettingSize);

    SendMessageA(window, WM_COMMAND, 1001, 0);
    ASSERT_TRUE(wintest::WaitForStandInEvent(log, "started", 10000));
    EXPECT_EQ(wintest::StandInArguments(wintest::ReadStandInLog(log)[0]),
              std::vector<std::string>{std::string(MailAt(KnownList(), 1)->path)});

    // An item whose message has gone does nothing.
    SendMessageA(window, WM_COMMAND, 1005, 0);
    wintest::PumpFor(500);
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 1);

    SetEnvironmentVariableA("CORVID_STANDIN_LOG", nullptr);
    EndStandIns(log);
}

TEST_F(TrayTest, ExitAndSystemCloseEndTheWindow)
{
    for (UINT command : {UINT(IDM_EXIT), UINT(SC_CLOSE)}) {
        Start();
        ASSERT_TRUE(ShowsTip("0 New Mail Messages"));
        const std::weak_ptr<WatcherState> state = State();
        SendMessageA(window, WM_COMMAND, command, 0);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(state.expired()) << "the watcher and its lists are gone";
        EXPECT_TRUE(wintest::WaitForNoTrayIcon(GetCurrentProcessId(), 5000));
        wintest::PumpPending();
        WPARAM code = 1;
        EXPECT_TRUE(wintest::TakeQuit(&code));
        EXPECT_EQ(code, 0u);
    }
}

TEST_F(TrayTest, EndOfSessionClosesTheWindow)
{
    Start();
    EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(IsWindow(window)) << "closed later, by a posted message";
    wintest::PumpUntil([&] { return !IsWindow(window); }, 5000);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(TrayTest, SystemMenuCommandsAreGreyed)
{
    Start();
    HMENU menu = CreatePopupMenu();
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE})
        AppendMenuA(menu, MF_STRING, command, "x");
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    for (UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
        EXPECT_TRUE(GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) << command;
    EXPECT_FALSE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(menu);
}

TEST_F(TrayTest, SoundSettingNoneInAnyCasePlaysNothing)
{
    Start();
    for (const char* none : {"none", "NONE", "None"}) {
        stored::SetText(stored::kSoundKey, "", none);
        PlayNewMailSound();
    }
    EXPECT_TRUE(played.empty());
    stored::SetText(stored::kSoundKey, "", "");
    PlayNewMailSound();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].sound, "");
}

TEST_F(TrayTest, TimerScansLeaveNothingBehind)
{
    // A sound name short enough not to need heap of the recorder's own.
    stored::SetText(stored::kSoundKey, "", "C:\\d.wav");
    played.reserve(4000);
    popupNotification = 0;
    Start();
    popupNotification = 0;
    // Warm up, so caches and shared objects exist before the baseline.
    for (int i = 0; i < 20; ++i) {
        if (i % 2 == 0) mail.Write("x.CNM", "Ann <ann@example.com>", "One");
        else mail.Remove("x.CNM");
        Tick();
    }
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int i = 0; i < 2000; ++i) {
        if (i % 2 == 0) mail.Write("x.CNM", "Ann <ann@example.com>", "One");
        else mail.Remove("x.CNM");
        Tick();
    }
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
    EXPECT_EQ(after.user.total, before.user.total) << before.DescribeChange(after);
    EXPECT_EQ(after.heapBlocks, before.heapBlocks) << before.DescribeChange(after);
    EXPECT_EQ(played.size(), 20u / 2 + 2000u / 2);
}

namespace {

// A stand-in mail client, started by the test or by the watcher, whose
// events land in one log.
class ClientTest : public TrayTest {
protected:
    void SetUp() override
    {
        TrayTest::SetUp();
        log = wintest::NewStandInLog("client");
        SetEnvironmentVariableA("CORVID_STANDIN_LOG", log.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("CORVID_STANDIN_LOG", nullptr);
        EndStandIns(log);
        if (client) wintest::KillProcess(client);
        TrayTest::TearDown();
    }
    HWND StartClientWindow(const std::string& args)
    {
        client = wintest::StartProcess(wintest::StandInPath(), args);
        return wintest::WaitForWindow("FRAME", nullptr, 10000, client.pid);
    }
    // Start() with the client's program file pointing at the stand-in.
    void StartWatcher()
    {
        stored::SetText(stored::kKey, "WinCMailDir", wintest::StandInPath());
        Start();
    }

    std::string log;
    wintest::Process client;
};

} // namespace

TEST_F(ClientTest, DoubleClickOnTheIconRestoresAndActivatesTheClient)
{
    HWND frame = StartClientWindow("--minimized");
    ASSERT_TRUE(frame);
    StartWatcher();
    SendMessageA(window, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "restored", 5000));
    EXPECT_TRUE(wintest::PumpUntil([&] { return GetForegroundWindow() == frame; }, 5000));
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 1) << "no second client started";
}

TEST_F(ClientTest, DoubleClickOnTheWindowRestoresTheClient)
{
    // The watcher itself does not bring the client forward here; restoring
    // a minimised window activates it under Wine all the same, so only the
    // restore is checked.
    ASSERT_TRUE(StartClientWindow("--minimized"));
    StartWatcher();
    SendMessageA(window, WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "restored", 5000));
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 1);
}

TEST_F(ClientTest, KeyboardSelectionBringsUpTheClientAsADoubleClickDoes)
{
    StartWatcher();
    // A single click (NIN_SELECT follows it) does nothing, as before.
    SendIconEvent(window, NIN_SELECT);
    wintest::PumpFor(500);
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 0);

    // Enter on the icon (the shell may send it twice): the client, which
    // is not running, starts once. (With its window there, the same call
    // restores it, as the double-click tests show.)
    SendIconEvent(window, NIN_KEYSELECT);
    SendIconEvent(window, NIN_KEYSELECT);
    ASSERT_TRUE(wintest::WaitForWindow("FRAME", "Corvid Mail", 10000));
    wintest::PumpFor(1000);
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 1);
}

TEST_F(ClientTest, WithoutItsWindowTheClientIsStarted)
{
    // Class right, title wrong: somebody else's window.
    ASSERT_TRUE(StartClientWindow("--title \"Other Mail\""));
    StartWatcher();
    SendMessageA(window, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "started", 10000, 0, 2));
}

TEST_F(ClientTest, RunCommandAlwaysStartsTheProgram)
{
    ASSERT_TRUE(StartClientWindow(""));
    StartWatcher();
    SendMessageA(window, WM_COMMAND, IDM_RUNCLIENT, 0);
    EXPECT_TRUE(wintest::WaitForStandInEvent(log, "started", 10000, 0, 2));
}

namespace {

// A borderless window of the test process over the whole primary monitor,
// in the foreground: what a full-screen video or slide show looks like.
HWND ShowFullScreenWindow()
{
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(cover);
    wintest::PumpUntil([&] { return GetForegroundWindow() == cover; }, 2000);
    return cover;
}

} // namespace

TEST_F(TrayTest, FullScreenForegroundHoldsPopupAndSoundUntilItCloses)
{
    Start();
    popupNotification = 1;
    scanInterval = 3600;
    HWND cover = ShowFullScreenWindow();
    ASSERT_EQ(GetForegroundWindow(), cover);

    std::vector<PopupSeen> seen = ReadPopups([&] {
        mail.Write("1.CNM", "Ann <ann@example.com>", "One");
        Tick();
        mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
        Tick();
        wintest::PumpFor(300);
    });
    EXPECT_EQ(Known(), 2);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(played.empty());

    // Back from the slide show: one popup for both, one sound.
    DestroyWindow(cover);
    scanInterval = 3600;
    seen = ReadPopups([&] { SendMessageA(window, WM_TIMER, IDT_SCAN, 0); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].position, "1 of 2");
    EXPECT_EQ(played.size(), 1u);
    seen = ReadPopups([&] { SendMessageA(window, WM_TIMER, IDT_SCAN, 0); });
    EXPECT_TRUE(seen.empty()) << "shown once";
    EXPECT_EQ(played.size(), 1u);
}

TEST_F(TrayTest, ResumeFromSleepScansAtOnce)
{
    Start();
    scanInterval = 3600;
    // Neither the interval nor a change signal may explain the scan.
    KillTimer(window, IDT_SCAN);
    State()->MailboxAt(0)->Watch().Stop();
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { return Known() == 1; }, 500));
    // Once scanned, no burst's scan keeps coming back.
    wintest::PumpFor(300);
    EXPECT_FALSE(KillTimer(window, IDT_CHANGE));
}

TEST_F(TrayTest, DirectoryChangesAreScannedLongBeforeTheInterval)
{
    Start();
    popupNotification = 0;
    scanInterval = 3600;
    auto known = [&](int n) { return wintest::PumpUntil([&] { return Known() == n; }, 3000); };
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    EXPECT_TRUE(known(1));

    // Fifty files at once give one or two scans, each with its sound.
    played.clear();
    for (int i = 0; i < 50; ++i) mail.Write("b" + std::to_string(i) + ".CNM", "Bob <bob@example.com>", "Burst");
    EXPECT_TRUE(known(51));
    wintest::PumpFor(1500);
    EXPECT_GE(played.size(), 1u);
    EXPECT_LE(played.size(), 3u);

    // The directory replaced by a new one of the same name, at once and
    // after more than a tick: a file written a little later still shows
    // within a second or two. (Moved aside rather than removed: a removed
    // directory lingers while the watch holds a handle on it, and Wine
    // gives no sign of that.)
    for (int i = 0; i < 50; ++i) mail.Remove("b" + std::to_string(i) + ".CNM");
    mail.Remove("1.CNM");
    const std::string aside = mail.path() + "_old";
    for (DWORD gapMs : {0u, 1500u}) {
        ASSERT_TRUE(known(0));
        ASSERT_TRUE(MoveFileA(mail.path().c_str(), aside.c_str()));
        if (gapMs) wintest::PumpFor(gapMs);
        ASSERT_TRUE(CreateDirectoryA(mail.path().c_str(), nullptr));
        wintest::PumpFor(1500);
        RemoveDirectoryA(aside.c_str());
        mail.Write("again.CNM", "Ann <ann@example.com>", "Again");
        EXPECT_TRUE(known(1)) << "after a gap of " << gapMs << " ms";
        mail.Remove("again.CNM");
    }
}

TEST_F(TrayTest, WithThePopupOffANotificationTellsOfNewMailAndItsClickOpensThePopup)
{
    Start();
    // With the popup on, the popup comes and no notification: one would
    // have been summed up with the two messages below.
    popupNotification = 1;
    mail.Write("0.CNM", "Zed <zed@example.com>", "Popup");
    ASSERT_EQ(ReadPopups([&] { Tick(); }).size(), 1u);

    popupNotification = 0;
    wintest::TrayBalloon balloon;
    std::vector<PopupSeen> seen = ReadPopups([&] {
        mail.Write("1.CNM", "\"Ann Lee\" <ann@example.com>", "One");
        mail.Write("2.CNM", "\"Bob\" <bob@example.com>", "Two");
        Tick();
        wintest::WaitForTrayBalloon(GetCurrentProcessId(), L"2 new messages", 10000, &balloon);
    });
    EXPECT_TRUE(seen.empty()) << "no popup";
    const std::vector<std::wstring> lines = wintest::SplitLines(balloon.text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::set<std::wstring>(lines.begin(), lines.end()),
              (std::set<std::wstring>{L"Ann Lee: One", L"Bob: Two"}));

    // Timed out: nothing. Clicked once the client has taken in the message
    // named first: the popup, at the first named that still waits.
    seen = ReadPopups([&] {
        SendIconEvent(window, NIN_BALLOONTIMEOUT);
        wintest::PumpFor(300);
    });
    EXPECT_TRUE(seen.empty());
    const bool annFirst = lines[0] == L"Ann Lee: One";
    mail.Remove(annFirst ? "1.CNM" : "2.CNM");
    seen = ReadPopups([&] { SendIconEvent(window, NIN_BALLOONUSERCLICK); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].position, "1 of 1");
    EXPECT_EQ(seen[0].from, annFirst ? "\"Bob\" <bob@example.com>" : "\"Ann Lee\" <ann@example.com>");

    // The notification has been answered: a second click opens nothing.
    seen = ReadPopups([&] {
        SendIconEvent(window, NIN_BALLOONUSERCLICK);
        wintest::PumpFor(300);
    });
    EXPECT_TRUE(seen.empty());
}

TEST_F(TrayTest, FullScreenForegroundHoldsTheNotificationForOneSummary)
{
    Start();
    popupNotification = 0;
    HWND cover = ShowFullScreenWindow();
    ASSERT_EQ(GetForegroundWindow(), cover);
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    Tick();
    mail.Write("2.CNM", "Bob <bob@example.com>", "Two");
    Tick();
    // The shell shows a balloon two seconds after it is asked for one.
    wintest::PumpFor(2500);
    EXPECT_FALSE(wintest::ReadTrayBalloon(GetCurrentProcessId()));

    DestroyWindow(cover);
    scanInterval = 3600;
    SendMessageA(window, WM_TIMER, IDT_SCAN, 0);
    wintest::TrayBalloon balloon;
    ASSERT_TRUE(wintest::WaitForTrayBalloon(GetCurrentProcessId(), L"2 new messages", 10000, &balloon));
    EXPECT_EQ(wintest::SplitLines(balloon.text).size(), 2u);
    EXPECT_EQ(played.size(), 1u);
}

TEST_F(TrayTest, MissingReadBufferIsToldOncePerScan)
{
    Start();
    popupNotification = 0;
    windowsNotification = 0;
    for (const char* name : {"1.CNM", "2.CNM", "3.CNM"}) mail.Write(name, "Ann <ann@example.com>", "One");
    wintest::MessageBoxWatcher boxes;
    mailAlloc = [](std::size_t size) { return size == kReadBufferSize ? nullptr : std::malloc(size); };
    Tick();
    mailAlloc = std::malloc;
    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    wintest::PumpFor(300);
    ASSERT_EQ(boxes.Count(), 1u) << "one box for the scan, not one per file";
    EXPECT_EQ(boxes.Boxes()[0].caption, "File I/O Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "System error: Cannot allocate io buffer");
    EXPECT_EQ(boxes.Boxes()[0].icon, LoadIconA(nullptr, IDI_ERROR));
    EXPECT_EQ(Known(), 0);
    Tick();
    EXPECT_EQ(Known(), 3) << "read at the next scan";
}

namespace {

// The watcher with three mailboxes: the fixture's directory ("Mail", the
// common sound), "Work" with a sound of its own, and "Home", whose
// directory does not exist.
class MailboxesTest : public TrayTest {
protected:
    void SetUp() override
    {
        TrayTest::SetUp();
        const std::string second = std::string(stored::kKey) + "\\Mailbox 2";
        const std::string third = std::string(stored::kKey) + "\\Mailbox 3";
        stored::SetText(second.c_str(), "Name", "Work");
        stored::SetText(second.c_str(), "MailDir", work.path());
        stored::SetText(second.c_str(), "Sound", "C:\\sounds\\work.wav");
        stored::SetText(third.c_str(), "Name", "Home");
        stored::SetText(third.c_str(), "MailDir", work.path() + "_missing");
    }
    // The popups that a tick opens.
    std::vector<PopupSeen> TickReadingPopups()
    {
        return ReadPopups([&] { Tick(); });
    }
    // Runs the program's own message loop, which takes the directories'
    // change signals as they come, until done() or timeoutMs.
    bool RunWatcherUntil(const std::function<bool()>& done, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs) return false;
            PumpWatcherMessages(10, nullptr);
        }
        return true;
    }
    std::vector<std::string> PlayedSounds() const
    {
        std::vector<std::string> sounds;
        for (const PlayedSound& p : played) sounds.push_back(p.sound);
        return sounds;
    }

    MailDirectory work{"work"};
};

const char kCommon[] = "C:\\sounds\\ding.wav";
const char kWork[] = "C:\\sounds\\work.wav";

} // namespace

TEST_F(MailboxesTest, EachMailboxCountsSoundsAndShowsItsName)
{
    // The same file name in two directories: two messages.
    mail.Write("1.CNM", "Ann <ann@example.com>", "Budget");
    work.Write("1.CNM", "Bob <bob@example.com>", "Rota");
    work.Write("2.CNM", "Cleo <cleo@example.com>", "Minutes");
    Start();
    ASSERT_EQ(State()->MailboxCount(), 3);
    EXPECT_EQ(Ground("3 New Mail Messages\nMail: 1\nWork: 2\nHome: not reachable"), wintest::Tone::Red);
    EXPECT_EQ(PlayedSounds(), std::vector<std::string>{kCommon}) << "one sound, the first mailbox's";

    // "Quick View" groups the items under a disabled heading per mailbox;
    // the items are numbered on across the groups.
    const MenuSeen menu = OpenTrayMenu(window);
    ASSERT_EQ(menu.quickView.size(), 5u);
    EXPECT_EQ(menu.quickView[0], "Mail");
    EXPECT_EQ(menu.quickView[1], "Ann <ann@example.com> [Budget]");
    EXPECT_EQ(menu.quickView[2], "Work");
    EXPECT_EQ(menu.quickViewItemsGreyed, (std::vector<bool>{true, false, true, false, false}));
    EXPECT_EQ(menu.quickViewIds[1], 1000u);
    EXPECT_EQ(std::set<UINT>(menu.quickViewIds.begin() + 3, menu.quickViewIds.end()), (std::set<UINT>{1001, 1002}));

    // Each scan that finds mail plays one sound, that of the first mailbox
    // in order with new mail, and the popup names each message's mailbox.
    popupNotification = 1;
    scanInterval = 3600;
    const struct {
        std::vector<std::pair<MailDirectory*, std::string>> arrivals;
        const char* position;
        const char* sound;
        const char* tip;
    } scans[] = {
        {{{&work, "3.CNM"}}, "1 of 1 - Work", kWork, "4 New Mail Messages\nMail: 1\nWork: 3\nHome: not reachable"},
        {{{&work, "4.CNM"}, {&mail, "2.CNM"}}, "1 of 2 - Mail", kCommon,
         "6 New Mail Messages\nMail: 2\nWork: 4\nHome: not reachable"},
    };
    for (const auto& scan : scans) {
        SCOPED_TRACE(scan.tip);
        played.clear();
        for (const auto& arrival : scan.arrivals) arrival.first->Write(arrival.second, "Dee <d@example.com>", "New");
        // Nothing is pumped meanwhile: the tick sees every change signal at
        // once, and one scan finds what arrived.
        Sleep(300);
        const std::vector<PopupSeen> seen = TickReadingPopups();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].position, scan.position);
        EXPECT_EQ(PlayedSounds(), std::vector<std::string>{scan.sound});
        EXPECT_TRUE(ShowsTip(scan.tip));
        scanInterval = 3600;
    }

    // Taken in: the count falls, the idle icon shows the rest.
    for (const char* name : {"1.CNM", "2.CNM"}) mail.Remove(name);
    Tick();
    EXPECT_EQ(Ground("4 New Mail Messages\nWork: 4\nHome: not reachable"), wintest::Tone::Grey);
}

TEST_F(MailboxesTest, AChangeInAnyDirectoryIsSeenAtOnce)
{
    Start();
    popupNotification = 0;
    windowsNotification = 0;
    scanInterval = 3600;
    ASSERT_TRUE(ShowsTip("0 New Mail Messages\nHome: not reachable"));
    int expected = 0;
    for (MailDirectory* dir : {&work, &mail, &work}) {
        dir->Write("m" + std::to_string(expected) + ".CNM", "Ann <ann@example.com>", "One");
        ++expected;
        // Well within the one-second tick: the loop's signal did it.
        EXPECT_TRUE(RunWatcherUntil([&] { return Known() == expected; }, 500)) << dir->path();
        wintest::PumpFor(300);
    }

    // The directory that could not be reached comes: it is watched and
    // counted (the tick follows it), and its line tells its count.
    const std::string home = work.path() + "_missing";
    ASSERT_TRUE(CreateDirectoryA(home.c_str(), nullptr));
    FILE* f = std::fopen((home + "\\h.CNM").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("From: Ann <ann@example.com>\r\nSubject: Home\r\n\r\nHello.\r\n", f);
    std::fclose(f);
    EXPECT_TRUE(RunWatcherUntil([&] { return Known() == expected + 1; }, 3000));
    EXPECT_TRUE(ShowsTip("4 New Mail Messages\nMail: 1\nWork: 2\nHome: 1"));
    DeleteFileA((home + "\\h.CNM").c_str());
    RemoveDirectoryA(home.c_str());
}

TEST_F(MailboxesTest, TheTipIsCutAtAWholeLine)
{
    const std::string second = std::string(stored::kKey) + "\\Mailbox 2";
    stored::SetText(second.c_str(), "Name", std::string(30, 'w'));
    stored::SetText(stored::kKey, "Mailbox Name", std::string(25, 'm'));
    mail.Write("1.CNM", "Ann <ann@example.com>", "One");
    work.Write("1.CNM", "Ann <ann@example.com>", "One");
    Start();
    // 19 + 28 characters fit 63; the next line would not, nor any after it.
    EXPECT_TRUE(ShowsTip("2 New Mail Messages\n" + std::string(25, 'm') + ": 1"));
}

TEST_F(MailboxesTest, MemoryFollowsTheMailNotTheCapacity)
{
    // Four mailboxes (the fourth is the first's directory under another
    // extension), 2000 messages spread over them, then none again.
    const std::string fourth = std::string(stored::kKey) + "\\Mailbox 4";
    stored::SetText(fourth.c_str(), "Name", "Other");
    stored::SetText(fourth.c_str(), "MailDir", mail.path());
    stored::SetText(fourth.c_str(), "MailExt", "MSG");
    Start();
    popupNotification = 0;
    const auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters);
        // Wine leaves PrivateUsage at 0; its commit charge is the same thing.
        return static_cast<double>(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage);
    };
    std::vector<std::pair<MailDirectory*, std::string>> files;
    for (int n = 0; n < 2000; ++n) {
        MailDirectory* dir = n % 3 == 1 ? &work : &mail;
        files.push_back({dir, std::to_string(n) + (n % 3 == 2 ? ".MSG" : ".CNM")});
    }
    const auto fill = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) files[i].first->Write(files[i].second, "Ann <ann@example.com>", "One");
        return wintest::PumpUntil([&] { return Known() == static_cast<int>(count); }, 60000);
    };
    const auto empty = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) files[i].first->Remove(files[i].second);
        const bool gone = wintest::PumpUntil([&] { return Known() == 0; }, 60000);
        wintest::PumpFor(500);
        _heapmin();
        return gone;
    };
    // A first round warms what the heaps and the shell keep for good.
    ASSERT_TRUE(fill(200));
    ASSERT_TRUE(empty(200));
    const double start = privateBytes();
    ASSERT_TRUE(fill(files.size()));
    const double full = privateBytes();
    ASSERT_TRUE(empty(files.size()));
    const double end = privateBytes();
    constexpr double kMB = 1024.0 * 1024.0;
    EXPECT_LE((full - start) / kMB, 8.0);
    EXPECT_LE((end - start) / kMB, 1.0) << "start " << start / kMB << " MB, full " << full / kMB << " MB";
}
