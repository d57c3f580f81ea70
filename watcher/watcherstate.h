/*
 * What the running watcher keeps and does: its mailboxes (made from the
 * running settings, and made anew when the settings name other places),
 * the scheduler that decides when each is scanned, and what a scan leads
 * to: the tray icon's picture and tip, one sound, the popup or the
 * notification. The tray window makes one WatcherState when it is created
 * and reaches it through the window (StateOf); the tray module itself keeps
 * the icon, the tip and the menu.
 *
 * Scans let messages through, so a handler may close the window, or the
 * Properties dialog may change the mailboxes, in the middle of one: every
 * caller holds the state by shared pointer while it works, and the state
 * holds its mailboxes the same way.
 */
#ifndef WATCHERSTATE_H
#define WATCHERSTATE_H

#include <windows.h>

#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "mail.h"
#include "mailbox.h"
#include "notification.h"
#include "popup.h"
#include "scheduler.h"
#include "watcher.h"

class WatcherState : public PopupHost {
public:
    // The state of the tray window `window`, with the mailboxes the running
    // settings name, their watches started; nothing is scanned yet.
    explicit WatcherState(HWND window);
    ~WatcherState();
    WatcherState(const WatcherState&) = delete;
    WatcherState& operator=(const WatcherState&) = delete;

    HWND Window() const { return window_; }

    // The mailboxes, in order.
    int MailboxCount() const { return static_cast<int>(mailboxes_.size()); }
    Mailbox* MailboxAt(int index) const;
    // The mailbox with this identity, or null when it is gone.
    Mailbox* FindMailbox(MailboxId id) const;
    // The messages waiting in every mailbox.
    int Waiting() const;
    // Makes the mailboxes agree with the running settings when these have
    // changed: a mailbox whose place (directory and extension) is still
    // named keeps what it knows and takes its new name and sound; a new
    // place gets a new mailbox, watched and scanned soon. True when the
    // mailboxes changed.
    bool FollowSettings();

    // Start-up: the first scan of every mailbox (whose files are all new
    // and fill the known lists alone), the icon with its tip, and the sound
    // when mail waits; then the tick runs.
    void Start();
    // The one-second tick (IDT_SCAN).
    void OnTick();
    // A burst of changes has settled (IDT_CHANGE).
    void OnBurstSettled();
    // The watch of mailbox index signalled a change: scanned at once when
    // its directory had been quiet. Mailboxes whose changes are seen
    // together are scanned together.
    void ChangeSeen(int index);
    void ChangesSeen(MailboxSet mailboxes);
    // Takes the signal of every watch that has signalled; the mailboxes
    // whose watch had.
    MailboxSet TakeSignals();
    // The machine woke from sleep: every mailbox is scanned soon.
    void Resumed();
    // The Properties dialog closed: changed mailboxes are watched and
    // scanned at once.
    void SettingsClosed();
    // The window closes: the scanning stops, lists and watches go, and
    // nothing more is announced by a scan that is still running.
    void Close();
    bool Closed() const { return closed_; }

    // "Show New Mail List": the popup on every waiting message, in the
    // order of the mailboxes.
    void ShowNewMailList();
    // A click on the notification: the popup shows the messages it named
    // that still wait, from the first it named.
    void OpenNotifiedMail();

    // The handles of the mailboxes' watches, for the message loop, at most
    // max of them, with the index of the mailbox of each.
    int WatchHandles(HANDLE* handles, int* mailboxes, int max) const;

    // The tip for the current counts: "%d New Mail Messages" with count,
    // and with more than one mailbox a line per mailbox that has waiting
    // mail or cannot be reached, cut at a whole line.
    void FormatTip(char (&tip)[kTipSize], int count) const;

    // Scans made so far (by every path), for measuring.
    int ScanCount() const { return scans_; }

    // PopupHost
    bool RescanDue(std::time_t since) override;
    void RescanInto(RecordList* list) override;
    const char* ShownMailboxName(MailboxId mailbox) override;

    // What the tray icon shows, so that it can be put back as it was when
    // the shell's taskbar is created anew; and the menu's own state.
    struct TrayShown {
        int icon = 0;
        char tip[kTipSize] = "";
        bool menuOpen = false;   // the tray menu is open
        bool keySelected = false; // a NIN_KEYSELECT came, at lastKeySelect
        DWORD lastKeySelect = 0;
    } tray;

private:
    using MailboxList = std::vector<std::shared_ptr<Mailbox>>;

    // Scans the mailboxes of the set (or all), appending what they find to
    // found; the mailbox that found new mail first (in order) in soundOf.
    // Tells the user when a file could not be read for want of memory.
    int Scan(MailboxSet mailboxes, RecordList* found, MailboxId* soundOf);
    // One scan and what follows from it: icon and tip, sound, popup or
    // notification.
    void ScanAndAnnounce(MailboxSet mailboxes);
    // The new messages as the settings say: the popup, or else the
    // notification.
    void ShowNewMail(RecordList* found);
    void PlaySoundOf(MailboxId mailbox);
    // What was held while the user was busy comes now, once.
    void ReleaseAnnouncement();
    // Opens the popup on list with the tray's scanning stopped.
    void PopupOn(RecordList* list);
    // Opens the popup on a list that gather fills (under the wait cursor),
    // with the tray's scanning stopped meanwhile; an empty list opens it
    // only when evenEmpty.
    void PopupOnGathered(const std::function<void(RecordList*)>& gather, bool evenEmpty);
    // Keeps the watches of these mailboxes on their directories; the
    // mailboxes whose watch was set up anew.
    MailboxSet FollowWatches(MailboxSet mailboxes = ~0u);
    // Every mailbox there is.
    MailboxSet Every() const;
    // The index of a mailbox in order, or -1.
    int IndexOf(MailboxId id) const;
    // The interval counts from now, and the icon compares with this count.
    void RestartScanning();

    HWND window_;
    MailboxList mailboxes_;
    unsigned settingsSeen_ = 0;
    Scheduler scheduler_;
    NotificationMemory notified_;
    int lastCount_ = 0;
    // The tip last composed by a scan with several mailboxes, so that a
    // scan whose lines differ shows them though the count did not change.
    char lastTip_[kTipSize] = "";
    int scans_ = 0;
    bool closed_ = false;
};

// The tray window's state; null before its creation handler made it and
// after the window is gone.
std::shared_ptr<WatcherState> StateOf(HWND window);
// Gives the window its state (made by the creation handler), or takes it
// away (null, when the window is destroyed).
void SetStateOf(HWND window, std::shared_ptr<WatcherState> state);

#endif
