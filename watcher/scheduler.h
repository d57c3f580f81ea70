/*
 * When the watcher scans each mailbox, and when it tells the user what a
 * scan found:
 *
 * - the tray window's one-second tick scans every mailbox once "Scan
 *   Interval" has passed since the last scan (and its popup) ended;
 * - the first change signalled in a mailbox's directory that has been
 *   quiet is scanned at once; further changes of the same burst wait for
 *   150 ms of quiet, but no longer than a second after the burst began, so
 *   that a client writing fifty files gives two or three scans;
 * - resume from sleep, a watch set up anew and a new mailbox are scanned
 *   as soon as the message loop comes round;
 * - while a scan, or a popup it opened, has the tray's scanning stopped,
 *   changes are noted and scanned when it runs again (or by the popup's
 *   own rescan);
 * - quiet: while the user is busy (a full-screen program in the foreground,
 *   or the shell asks for quiet) the announcement of new mail is held, and
 *   everything held comes once, in one announcement, when the user is back.
 *
 * The scheduler owns the tray window's two timers (IDT_SCAN, the tick, and
 * IDT_CHANGE, a burst's scan) and says what is due; the watcher scans.
 */
#ifndef SCHEDULER_H
#define SCHEDULER_H

#include <windows.h>

#include <ctime>

#include "mail.h"

// A set of mailboxes by their index in the watcher's order.
using MailboxSet = unsigned;
inline MailboxSet MailboxBit(int index)
{
    return 1u << index;
}

// Whether the user should not be disturbed now: a full-screen program has
// the foreground, or the shell reports the user busy, presenting or in the
// quiet time after a first sign-in.
bool UserIsBusy();

class Scheduler {
public:
    explicit Scheduler(HWND window) : window_(window) {}
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // The mailboxes were made anew: their bursts are forgotten.
    void Forget();

    // A change was signalled in mailbox index. True when the caller should
    // scan it at once (its directory had been quiet); otherwise its scan
    // waits for the burst to settle (IDT_CHANGE), or for the scanning to
    // run again.
    bool Changed(int index);
    // These mailboxes are scanned as soon as the message loop comes round.
    void ScanSoon(MailboxSet mailboxes);
    // IDT_CHANGE fired: the mailboxes whose burst has settled.
    MailboxSet TakeSettled();
    // Whether "Scan Interval" has passed since the interval last began. A
    // clock put back waits until it passes that moment again.
    bool IntervalDue(std::time_t since) const;
    bool IntervalDue() const { return IntervalDue(intervalStart_); }
    // The next interval is measured from now.
    void RestartInterval() { intervalStart_ = std::time(nullptr); }

    // These mailboxes have just been scanned: every change signalled so far
    // is seen, and a change from now on belongs to the same burst.
    void Scanned(MailboxSet mailboxes);

    // Stops the tray's scanning (for a scan and its announcement, or a
    // popup); nested calls need as many Resume calls. Changes meanwhile are
    // noted as wanted.
    void Pause();
    // Runs the tick again once every Pause has been resumed; what was
    // wanted meanwhile is scanned soon.
    void Resume();
    bool Paused() const { return paused_ > 0; }
    // The mailboxes whose scan was wanted while scanning was stopped,
    // taken (the popup's rescan sees them).
    MailboxSet TakeWanted();

    // Quiet: the announcement of these found messages waits (their items
    // are kept, and the sound is owed). soundOf names the mailbox whose
    // sound was due, kept from the first announcement held.
    void Hold(RecordList* found, MailboxId soundOf);
    // Something is held and the user is back.
    bool ReleaseDue() const { return held_ && !UserIsBusy(); }
    // Takes what was held: the messages (the caller's list from now on;
    // possibly empty) and the mailbox whose sound was first owed.
    RecordList* TakeHeld(MailboxId* soundOf);
    // Nothing held is owed any more.
    void DropHeld();

private:
    struct Burst {
        bool active = false;  // a change was seen, or a scan ran, at lastActivity
        bool pending = false; // a scan waits for the burst to settle, at due
        DWORD start = 0;      // when the burst began
        DWORD lastActivity = 0;
        DWORD due = 0;
    };
    void ArmChangeTimer();

    HWND window_;
    Burst bursts_[kMaxMailboxes];
    int paused_ = 1; // stopped until the watcher has started
    MailboxSet wanted_ = 0;
    std::time_t intervalStart_ = 0;
    bool held_ = false;
    RecordList* heldList_ = nullptr;
    MailboxId heldSound_ = 0;
};

#endif
