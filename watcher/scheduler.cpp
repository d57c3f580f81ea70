/*
 * When each mailbox is scanned, and the quiet rule (see scheduler.h).
 */
#include "scheduler.h"

#include "settings.h"
#include "watcher.h"

namespace {

constexpr UINT kTickMs = 1000;
// A burst's later changes are scanned once the directory has been quiet
// this long, so that a burst of files (or a file written in pieces) gives
// one more scan rather than one per file...
constexpr DWORD kSettleMs = 150;
// ...but no later than this after the burst began, so that a directory
// that never rests is still scanned.
constexpr DWORD kBurstLimitMs = 1000;

// The shell's notification states that ask for quiet (the values of
// SHQueryUserNotificationState, which older shells lack).
enum ShellNotificationState {
    kStateBusy = 2,             // a full-screen program has the foreground
    kStateD3DFullScreen = 3,    // a full-screen Direct3D program runs
    kStatePresentation = 4,     // presentation settings are on
    kStateQuietTime = 6,        // the first hour after a new user signs in
};

bool ShellAsksForQuiet()
{
    using QueryState = HRESULT(WINAPI*)(int*);
    // Looked up at run time, so that the program still starts on systems
    // whose shell does not have it.
    static const QueryState query = [] {
        HMODULE shell = GetModuleHandleA("shell32.dll");
        return shell ? reinterpret_cast<QueryState>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "SHQueryUserNotificationState")))
                     : nullptr;
    }();
    int state = 0;
    if (!query || FAILED(query(&state))) return false;
    return state == kStateBusy || state == kStateD3DFullScreen || state == kStatePresentation ||
           state == kStateQuietTime;
}

// A full-screen video, game or slide show: the foreground window covers
// its whole monitor. The desktop and the shell's window do not count, nor
// does a maximised window with a caption, whose frame reaches past the
// monitor's edges when no taskbar is in the way.
bool ForegroundFillsItsMonitor()
{
    HWND foreground = GetForegroundWindow();
    if (!foreground || foreground == GetDesktopWindow() || foreground == GetShellWindow()) return false;
    const LONG style = GetWindowLongA(foreground, GWL_STYLE);
    if (IsZoomed(foreground) && (style & WS_CAPTION) == WS_CAPTION) return false;
    RECT window;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    HMONITOR screen = MonitorFromWindow(foreground, MONITOR_DEFAULTTONULL);
    if (!screen || !GetWindowRect(foreground, &window) || !GetMonitorInfoA(screen, &monitor)) return false;
    const RECT& m = monitor.rcMonitor;
    return window.left <= m.left && window.top <= m.top && window.right >= m.right && window.bottom >= m.bottom;
}

// Tick counts compared across their wrap.
bool Reached(DWORD now, DWORD moment)
{
    return static_cast<LONG>(now - moment) >= 0;
}

} // namespace

bool UserIsBusy()
{
    return ForegroundFillsItsMonitor() || ShellAsksForQuiet();
}

Scheduler::~Scheduler()
{
    KillTimer(window_, IDT_SCAN);
    KillTimer(window_, IDT_CHANGE);
    heldList_ = ListDestroy(heldList_);
}

void Scheduler::Forget()
{
    for (Burst& burst : bursts_) burst = Burst();
    wanted_ = 0;
    if (!Paused()) ArmChangeTimer();
}

bool Scheduler::Changed(int index)
{
    if (index < 0 || index >= kMaxMailboxes) return false;
    if (Paused()) {
        wanted_ |= MailboxBit(index);
        return false;
    }
    const DWORD now = GetTickCount();
    Burst& burst = bursts_[index];
    // The first change after a quiet spell is scanned at once.
    if (!burst.pending && (!burst.active || now - burst.lastActivity >= kSettleMs)) {
        burst.active = true;
        burst.start = now;
        burst.lastActivity = now;
        return true;
    }
    // A later change of the burst: its scan waits for quiet, each change
    // putting it back, but not past the burst's limit. A burst that has run
    // past its limit already begins again.
    if (!burst.pending) {
        burst.pending = true;
        if (now - burst.start >= kBurstLimitMs) burst.start = now;
    }
    burst.lastActivity = now;
    const DWORD limit = burst.start + kBurstLimitMs;
    DWORD due = now + kSettleMs;
    if (Reached(due, limit)) due = Reached(now, limit) ? now : limit;
    burst.due = due;
    ArmChangeTimer();
    return false;
}

void Scheduler::ScanSoon(MailboxSet mailboxes)
{
    if (Paused()) {
        wanted_ |= mailboxes;
        return;
    }
    const DWORD now = GetTickCount();
    for (int i = 0; i < kMaxMailboxes; ++i) {
        if (!(mailboxes & MailboxBit(i))) continue;
        Burst& burst = bursts_[i];
        burst.active = true;
        burst.pending = true;
        burst.start = now - kBurstLimitMs;
        burst.lastActivity = now;
        burst.due = now;
    }
    ArmChangeTimer();
}

MailboxSet Scheduler::TakeSettled()
{
    KillTimer(window_, IDT_CHANGE);
    const DWORD now = GetTickCount();
    MailboxSet settled = 0;
    for (int i = 0; i < kMaxMailboxes; ++i)
        if (bursts_[i].pending && Reached(now, bursts_[i].due)) settled |= MailboxBit(i);
    ArmChangeTimer();
    return settled;
}

bool Scheduler::IntervalDue(std::time_t since) const
{
    return std::time(nullptr) - since >= scanInterval;
}

void Scheduler::Scanned(MailboxSet mailboxes)
{
    const DWORD now = GetTickCount();
    for (int i = 0; i < kMaxMailboxes; ++i) {
        if (!(mailboxes & MailboxBit(i))) continue;
        // A change signalled during the scan (or just after it) is one of
        // the burst the scan belonged to: it waits for quiet, not scanned
        // at once again.
        Burst& burst = bursts_[i];
        burst.active = true;
        burst.pending = false;
        burst.lastActivity = now;
    }
    wanted_ &= ~mailboxes;
    if (!Paused()) ArmChangeTimer();
}

void Scheduler::Pause()
{
    if (paused_++ > 0) return;
    KillTimer(window_, IDT_SCAN);
    KillTimer(window_, IDT_CHANGE);
    // A burst waiting to settle is handed on, so that the popup's rescan or
    // the next scan takes it.
    for (int i = 0; i < kMaxMailboxes; ++i) {
        if (!bursts_[i].pending) continue;
        bursts_[i].pending = false;
        wanted_ |= MailboxBit(i);
    }
}

void Scheduler::Resume()
{
    if (paused_ == 0 || --paused_ > 0) return;
    SetTimer(window_, IDT_SCAN, kTickMs, nullptr);
    const MailboxSet wanted = wanted_;
    wanted_ = 0;
    if (wanted) ScanSoon(wanted);
}

MailboxSet Scheduler::TakeWanted()
{
    const MailboxSet wanted = wanted_;
    wanted_ = 0;
    return wanted;
}

// IDT_CHANGE fires at the earliest moment a burst settles.
void Scheduler::ArmChangeTimer()
{
    bool any = false;
    DWORD earliest = 0;
    for (const Burst& burst : bursts_) {
        if (!burst.pending) continue;
        if (!any || Reached(earliest, burst.due)) earliest = burst.due;
        any = true;
    }
    if (!any) {
        KillTimer(window_, IDT_CHANGE);
        return;
    }
    const DWORD now = GetTickCount();
    const DWORD wait = Reached(now, earliest) ? 0 : earliest - now;
    SetTimer(window_, IDT_CHANGE, wait < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : wait, nullptr);
}

void Scheduler::Hold(RecordList* found, MailboxId soundOf)
{
    if (!held_) heldSound_ = soundOf;
    held_ = true;
    if (!heldList_) heldList_ = ListCreate(kAllMailboxesCapacity);
    ListAppendAll(heldList_, found);
}

RecordList* Scheduler::TakeHeld(MailboxId* soundOf)
{
    RecordList* list = heldList_;
    if (soundOf) *soundOf = heldSound_;
    heldList_ = nullptr;
    held_ = false;
    return list;
}

void Scheduler::DropHeld()
{
    heldList_ = ListDestroy(heldList_);
    held_ = false;
}
