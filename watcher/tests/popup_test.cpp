// The "New Mail!!" popup, opened for real and modal on the test thread:
// what it shows, stepping with Prev and Next, its own rescans, the ways it
// closes, the client button, and that opening it many times leaves nothing
// behind.
//
// The popup's modal loop runs on this thread, so each test hands it a list
// of steps that a thread timer runs inside that loop, one after another,
// once the popup is on the screen. A step that returns false is tried again
// at the next tick, which is how a step waits.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "mail.h"
#include "popup.h"
#include "resource.h"
#include "settings.h"
#include "tray.h"
#include "watcher.h"
#include "watcherstate.h"
#include "wintest.h"

namespace {

using Step = std::function<bool(HWND popup)>;

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    DWORD deadline = 0;
    bool running = false;
    bool sawPopup = false;
};
Script* script;

BOOL CALLBACK FindPopupProc(HWND window, LPARAM found)
{
    char className[16] = {};
    char title[32] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(className, "#32770") || std::strcmp(title, "New Mail!!")) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND FindPopup()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPopupProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!script || script->running) return;
    script->running = true;
    HWND popup = FindPopup();
    if (GetTickCount() > script->deadline) {
        if (popup) EndDialog(popup, 0); // still open: the run fails
    } else if (popup && IsWindowVisible(popup)) {
        script->sawPopup = true;
        if (script->next < script->steps.size() && script->steps[script->next](popup)) ++script->next;
    }
    script->running = false;
}

// The state of the popup that RunPopup opened.
Popup* shownPopup;

// Opens the popup on list, as the watcher does, and runs the steps in it.
// Returns the dialog's result: 1 when it ended by itself, 0 when the time
// ran out.
INT_PTR RunPopup(RecordList* list, PopupHost* host, std::vector<Step> steps, DWORD timeoutMs = 10000,
                 bool* shown = nullptr)
{
    Script run;
    run.steps = std::move(steps);
    run.deadline = GetTickCount() + timeoutMs;
    script = &run;
    Popup popup;
    popup.list = list;
    popup.host = host;
    shownPopup = &popup;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, ScriptTick);
    const INT_PTR result = DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_NEWMAIL), nullptr, NewMailProc,
                                           reinterpret_cast<LPARAM>(&popup));
    KillTimer(nullptr, timer);
    script = nullptr;
    shownPopup = nullptr;
    if (shown) *shown = run.sawPopup;
    EXPECT_EQ(run.next, run.steps.size()) << "steps left undone";
    return result;
}

std::string Text(HWND popup, int id)
{
    char text[kHeaderFieldSize] = {};
    GetDlgItemTextA(popup, id, text, sizeof text);
    return text;
}

bool Enabled(HWND popup, int id) { return IsWindowEnabled(GetDlgItem(popup, id)) != FALSE; }
bool HasFocus(HWND popup, int id) { return GetFocus() == GetDlgItem(popup, id); }

void Click(HWND popup, int id) { SendMessageA(GetDlgItem(popup, id), BM_CLICK, 0, 0); }
// A key as the keyboard gives it: queued to the focus window (the popup
// itself when another program has taken the focus), where the popup's modal
// loop hands it to the dialog manager.
void Key(HWND popup, UINT key)
{
    HWND focus = GetFocus();
    PostMessageA(focus ? focus : popup, WM_KEYDOWN, key, 1);
}

// Waits (as a step) until `ms` have passed since its first try.
Step Wait(DWORD ms)
{
    auto start = std::make_shared<DWORD>(0);
    return [start, ms](HWND) {
        if (!*start) *start = GetTickCount();
        return GetTickCount() - *start >= ms;
    };
}

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The popup comes from this test program's copy of the watcher's
        // resources.
        appInstance = GetModuleHandleA(nullptr);
        InitControls(appInstance);
        trayWindow = tray.hwnd();

        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "tbpopup_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        // One mailbox, the test's directory, watched by nothing: its
        // rescans come from the interval (or a test's wish) alone.
        mailboxCount = 1;
        std::snprintf(mailDir, sizeof mailDir, "%s", dir.c_str());
        std::strcpy(mailExt, "CNM");
        SettingsChanged();
        scanInterval = 3600; // no rescan unless a test asks for one
        watcher = std::make_unique<WatcherState>(tray.hwnd());
        watcher->MailboxAt(0)->Watch().Stop();
        newList = ListCreate(kAllMailboxesCapacity);
    }
    void TearDown() override
    {
        SetTrayIcon(trayWindow, NIM_DELETE, TRAY_ICON_ID, nullptr, nullptr);
        trayWindow = nullptr;
        watcher.reset();
        newList = ListDestroy(newList);
        for (const std::string& name : written) DeleteFileA(File(name).c_str());
        RemoveDirectoryA(dir.c_str());
    }

    // The popup on newList, rescanning through the watcher.
    INT_PTR RunPopup(std::vector<Step> steps, DWORD timeoutMs = 10000, bool* shown = nullptr)
    {
        return ::RunPopup(newList, watcher.get(), std::move(steps), timeoutMs, shown);
    }
    // The first scan of the mailbox, whose files all land in newList.
    int Scan() { return ScanMailbox(*watcher->MailboxAt(0), newList); }

    void Add(const char* from, const char* subject, const char* date)
    {
        auto record = std::make_unique<MailRecord>();
        std::memset(record.get(), 0, sizeof *record);
        std::snprintf(record->from, sizeof record->from, "%s", from);
        std::snprintf(record->fromName, sizeof record->fromName, "display name");
        std::snprintf(record->subject, sizeof record->subject, "%s", subject);
        std::snprintf(record->date, sizeof record->date, "%s", date);
        MailRef item(MailItemMake(*record, 0));
        ListAppend(newList, item.get());
    }
    void AddNumbered(int n)
    {
        for (int i = 1; i <= n; ++i) {
            const std::string text = std::to_string(i);
            Add(("from " + text).c_str(), ("subject " + text).c_str(), ("date " + text).c_str());
        }
    }

    std::string File(const std::string& name) const { return dir + "\\" + name; }
    void WriteMail(const std::string& name, const std::string& subject)
    {
        FILE* f = std::fopen(File(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "From: Sender <s@example.net>\r\nSubject: %s\r\n\r\nBody\r\n", subject.c_str());
        std::fclose(f);
        written.push_back(name);
    }
    // The tray icon that the rescans change, when the shell shows one.
    bool AddTrayIcon()
    {
        return SetTrayIcon(trayWindow, NIM_ADD, TRAY_ICON_ID, LoadTrayIcon(IDI_IDLE), "No New Messages");
    }

    wintest::MessageRecorder tray{nullptr, "PopupTestTray"};
    std::string dir;
    std::vector<std::string> written;
    std::unique_ptr<WatcherState> watcher;
    RecordList* newList = nullptr; // what the popup shows
};

// A visible top-level window that can take the foreground.
struct ForegroundWindow {
    explicit ForegroundWindow(const char* title) : recorder(nullptr, "PopupTestForeground", title)
    {
        ShowWindow(recorder.hwnd(), SW_SHOW);
    }
    HWND hwnd() const { return recorder.hwnd(); }
    bool Activate() const
    {
        SetForegroundWindow(hwnd());
        return wintest::PumpUntil([&] { return GetForegroundWindow() == hwnd(); }, 5000);
    }
    wintest::MessageRecorder recorder;
};

} // namespace

TEST_F(PopupTest, OneMessageShowsItsWholeHeaderWithNothingToStepTo)
{
    Add("\"Priya Raman\" <p.raman@example.net>", "Quarterly figures", "Tue, 4 Mar 1997 09:15:00 +0100");
    const INT_PTR result = RunPopup({[](HWND popup) {
        // The sender as the header gives it, address and all, not the
        // display name that the tray menu uses.
        EXPECT_EQ(Text(popup, IDC_POPUP_FROM), "\"Priya Raman\" <p.raman@example.net>");
        EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Quarterly figures");
        EXPECT_EQ(Text(popup, IDC_POPUP_DATE), "Tue, 4 Mar 1997 09:15:00 +0100");
        EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "1 of 1");
        EXPECT_FALSE(Enabled(popup, IDC_POPUP_PREV));
        EXPECT_FALSE(Enabled(popup, IDC_POPUP_NEXT));
        EXPECT_TRUE(HasFocus(popup, IDOK));
        EXPECT_EQ(shownPopup->index, 0);
        Key(popup, VK_ESCAPE);
        return true;
    }});
    EXPECT_EQ(result, 1);
}

TEST_F(PopupTest, EncodedHeaderWordsShowDecoded)
{
    Add("=?ISO-8859-1?Q?Andr=E9?= Pirard <a@example.org>", "=?UTF-8?Q?Caf=C3=A9_au_lait?=", "Tue, 4 Mar 1997");
    RunPopup({[](HWND popup) {
        EXPECT_EQ(Text(popup, IDC_POPUP_FROM), "Andr\xE9 Pirard <a@example.org>");
        EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Caf\xE9 au lait");
        Key(popup, VK_ESCAPE);
        return true;
    }});
    // The record keeps the header's own bytes.
    EXPECT_STREQ(MailAt(newList, 0)->subject, "=?UTF-8?Q?Caf=C3=A9_au_lait?=");
}

TEST_F(PopupTest, FoldedFieldsShowWhole)
{
    // As mailers fold a long subject: one encoded word a line.
    FILE* f = std::fopen(File("00000001.CNM").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("From: \"=?ISO-8859-1?Q?Andr=E9?=\r\n Pirard\"\r\n <a@example.org>\r\n"
               "Subject: =?UTF-8?Q?Caf=C3=A9_au?=\r\n =?UTF-8?Q?_lait_et?=\r\n\t=?UTF-8?Q?_cr=C3=A8me?=\r\n"
               "Resent-From: Someone Else <fake@example.net>\r\n\r\nBody\r\n", f);
    std::fclose(f);
    written.push_back("00000001.CNM");
    ASSERT_EQ(Scan(), 1);
    RunPopup({[](HWND popup) {
        EXPECT_EQ(Text(popup, IDC_POPUP_FROM), "\"Andr\xE9 Pirard\" <a@example.org>");
        EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Caf\xE9 au lait et cr\xE8me");
        Key(popup, VK_ESCAPE);
        return true;
    }});
}

TEST_F(PopupTest, PrevAndNextStepThroughTheListAndStopAtItsEnds)
{
    AddNumbered(3);
    const INT_PTR result = RunPopup({
        [](HWND popup) {
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "1 of 3");
            EXPECT_EQ(Text(popup, IDC_POPUP_FROM), "from 1");
            EXPECT_FALSE(Enabled(popup, IDC_POPUP_PREV));
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_NEXT));
            Click(popup, IDC_POPUP_NEXT);
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "2 of 3");
            EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "subject 2");
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_PREV));
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_NEXT));
            Click(popup, IDC_POPUP_NEXT);
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "3 of 3");
            EXPECT_EQ(Text(popup, IDC_POPUP_DATE), "date 3");
            EXPECT_FALSE(Enabled(popup, IDC_POPUP_NEXT));
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_PREV));
            EXPECT_TRUE(HasFocus(popup, IDC_POPUP_PREV));
            // A command that reaches the disabled button anyway goes
            // nowhere past the end.
            SendMessageA(popup, WM_COMMAND, IDC_POPUP_NEXT, 0);
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "3 of 3");
            EXPECT_EQ(shownPopup->index, 2);
            return true;
        },
        [](HWND popup) {
            Click(popup, IDC_POPUP_PREV);
            Click(popup, IDC_POPUP_PREV);
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "1 of 3");
            EXPECT_EQ(Text(popup, IDC_POPUP_FROM), "from 1");
            EXPECT_FALSE(Enabled(popup, IDC_POPUP_PREV));
            EXPECT_TRUE(HasFocus(popup, IDC_POPUP_NEXT));
            SendMessageA(popup, WM_COMMAND, IDC_POPUP_PREV, 0);
            EXPECT_EQ(shownPopup->index, 0);
            Key(popup, VK_ESCAPE);
            return true;
        },
    });
    EXPECT_EQ(result, 1);
}

TEST_F(PopupTest, EmptyListClosesAtOnce)
{
    bool shown = true;
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunPopup({}, 5000, &shown), 1);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_FALSE(shown);
    EXPECT_EQ(FindPopup(), nullptr);
}

TEST_F(PopupTest, EnterEscapeAndCloseEndIt)
{
    AddNumbered(2);
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key == VK_RETURN ? "Enter" : "Esc");
        EXPECT_EQ(RunPopup({[key](HWND popup) { return Key(popup, key), true; }}), 1);
        EXPECT_EQ(FindPopup(), nullptr);
    }
    SCOPED_TRACE("Close button");
    EXPECT_EQ(RunPopup({[](HWND popup) { return Click(popup, IDOK), true; }}), 1);
    EXPECT_EQ(FindPopup(), nullptr);
}

TEST_F(PopupTest, CaptionCloseGivesTheForegroundBackAndEscapeDoesNot)
{
    AddNumbered(1);
    ForegroundWindow before("before");
    ForegroundWindow other("other");
    for (bool caption : {true, false}) {
        SCOPED_TRACE(caption ? "caption close" : "Esc");
        ASSERT_TRUE(before.Activate());
        // While the popup is open another window takes the foreground and
        // gives it back, so that the system's own choice after the popup
        // would be that window, not the one the popup found.
        const INT_PTR result = RunPopup({
            [&](HWND popup) {
                EXPECT_EQ(shownPopup->previousForeground, before.hwnd());
                EXPECT_EQ(GetForegroundWindow(), popup);
                SetForegroundWindow(other.hwnd());
                return true;
            },
            [&](HWND) { return GetForegroundWindow() == other.hwnd(); },
            [&](HWND popup) { return SetForegroundWindow(popup), true; },
            [&](HWND popup) { return GetForegroundWindow() == popup; },
            [&](HWND popup) {
                if (caption) PostMessageA(popup, WM_SYSCOMMAND, SC_CLOSE, 0);
                else Key(popup, VK_ESCAPE);
                return true;
            },
        });
        EXPECT_EQ(result, 1);
        wintest::PumpFor(200);
        if (caption) {
            EXPECT_EQ(GetForegroundWindow(), before.hwnd());
        } else {
            EXPECT_NE(GetForegroundWindow(), before.hwnd());
        }
    }
}

TEST_F(PopupTest, ArrivalsJoinTheListAndMessagesTakenInStay)
{
    WriteMail("00000001.CNM", "Message 1");
    WriteMail("00000002.CNM", "Message 2");
    ASSERT_EQ(Scan(), 2);
    const bool trayShown = AddTrayIcon();
    scanInterval = 0;

    const INT_PTR result = RunPopup({
        [&](HWND popup) {
            Click(popup, IDC_POPUP_NEXT);
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "2 of 2");
            EXPECT_FALSE(Enabled(popup, IDC_POPUP_NEXT));
            // The client takes the first message in; a third arrives.
            DeleteFileA(File("00000001.CNM").c_str());
            WriteMail("00000003.CNM", "Message 3");
            return true;
        },
        [](HWND popup) { return Text(popup, IDC_POPUP_POSITION) == "2 of 3"; },
        [&](HWND popup) {
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_NEXT));
            EXPECT_EQ(shownPopup->index, 1);
            EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Message 2");
            EXPECT_EQ(watcher->Waiting(), 2);
            Click(popup, IDC_POPUP_PREV);
            EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Message 1");
            Click(popup, IDC_POPUP_NEXT);
            Click(popup, IDC_POPUP_NEXT);
            EXPECT_EQ(Text(popup, IDC_POPUP_SUBJECT), "Message 3");
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "3 of 3");
            Key(popup, VK_ESCAPE);
            return true;
        },
    });
    EXPECT_EQ(result, 1);
    // The tray icon counts what the popup lists.
    if (trayShown) {
        EXPECT_TRUE(wintest::WaitForTrayTip(GetCurrentProcessId(), "3 New Mail Messages", 5000));
    }
}

TEST_F(PopupTest, RescansWaitForTheIntervalAndKeepTheFocusOffDisabledButtons)
{
    WriteMail("00000001.CNM", "Message 1");
    ASSERT_EQ(Scan(), 1);

    const INT_PTR result = RunPopup({
        // A rescan that finds nothing new, with the single record shown.
        [](HWND) { return shownPopup->scanTime -= 3600, true; },
        [](HWND) { return std::time(nullptr) - shownPopup->scanTime < 3600; },
        [&](HWND popup) {
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "1 of 1");
            EXPECT_FALSE(Enabled(popup, IDC_POPUP_NEXT));
            EXPECT_TRUE(HasFocus(popup, IDOK));
            WriteMail("00000002.CNM", "Message 2");
            return true;
        },
        // Ticks come every second; none scans before the interval is up.
        Wait(1500),
        [](HWND popup) {
            EXPECT_EQ(Text(popup, IDC_POPUP_POSITION), "1 of 1");
            shownPopup->scanTime -= 3600;
            return true;
        },
        [](HWND popup) { return Text(popup, IDC_POPUP_POSITION) == "1 of 2"; },
        [](HWND popup) {
            EXPECT_TRUE(Enabled(popup, IDC_POPUP_NEXT));
            EXPECT_TRUE(HasFocus(popup, IDC_POPUP_NEXT));
            Key(popup, VK_ESCAPE);
            return true;
        },
    });
    EXPECT_EQ(result, 1);
}

TEST_F(PopupTest, CMailBringsUpTheClientAndThePopupStays)
{
    const std::string log = wintest::NewStandInLog("popup-cmail");
    wintest::Process client = wintest::StartProcess(wintest::StandInPath(), "--log \"" + log + "\" --minimized");
    ASSERT_TRUE(client);
    ASSERT_TRUE(wintest::WaitForStandInEvent(log, "shown minimized", 30000, client.pid));
    HWND frame = FindWindowA("FRAME", "Corvid Mail");
    ASSERT_NE(frame, nullptr);
    AddNumbered(2);

    // Minimised, the client is restored. (Under Wine the restore itself
    // activates it, so the foreground is checked below, with the client
    // already open.)
    EXPECT_EQ(RunPopup({
                  [](HWND popup) { return Click(popup, IDC_POPUP_CMAIL), true; },
                  [&](HWND) { return wintest::CountStandInEvents(log, "restored", client.pid) > 0; },
                  [&](HWND popup) {
                      EXPECT_FALSE(IsIconic(frame));
                      EXPECT_TRUE(IsWindowVisible(popup)) << "the popup stays open";
                      Key(popup, VK_ESCAPE);
                      return true;
                  },
              }),
              1);

    // Open and not minimised, the client is left alone: the popup keeps
    // the foreground.
    int activations = 0;
    EXPECT_EQ(RunPopup({
                  [](HWND popup) { return SetForegroundWindow(popup), true; },
                  [](HWND popup) { return GetForegroundWindow() == popup; },
                  [&](HWND) {
                      activations = wintest::CountStandInEvents(log, "activated", client.pid);
                      return true;
                  },
                  [](HWND popup) { return Click(popup, IDC_POPUP_CMAIL), true; },
                  Wait(300),
                  [&](HWND popup) {
                      EXPECT_EQ(GetForegroundWindow(), popup);
                      EXPECT_EQ(wintest::CountStandInEvents(log, "activated", client.pid), activations);
                      Key(popup, VK_ESCAPE);
                      return true;
                  },
              }),
              1);
    EXPECT_EQ(wintest::CountStandInEvents(log, "started"), 1) << "no second client started";
    wintest::KillProcess(client);
    DeleteFileA(log.c_str());
}

TEST_F(PopupTest, OpeningFiveHundredTimesLeaksNothing)
{
    auto openWithRecords = [this] {
        RunPopup({[](HWND popup) {
            Click(popup, IDC_POPUP_NEXT);
            Key(popup, VK_ESCAPE);
            return true;
        }});
    };
    auto openEmpty = [this] { RunPopup({}); };
    AddNumbered(3);
    openWithRecords();
    RecordList* full = newList;
    newList = ListCreate(kAllMailboxesCapacity);
    openEmpty();
    std::swap(full, newList);

    // The controls' font is the popup's to delete: one left behind per
    // opening would show here.
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int i = 0; i < 500; ++i) openWithRecords();
    std::swap(full, newList);
    for (int i = 0; i < 100; ++i) openEmpty();
    std::swap(full, newList);
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    ListDestroy(full);

    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
    EXPECT_EQ(after.user.total, before.user.total) << before.DescribeChange(after);
    // Blocks, not bytes: Wine's heaps grow and shrink by whole regions
    // between two walks even when nothing is left behind, but every block
    // left behind counts.
    EXPECT_EQ(after.heapBlocks, before.heapBlocks) << before.DescribeChange(after);
}
