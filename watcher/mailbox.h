/*
 * A mailbox: one directory that a mail client leaves new mail in, with its
 * name, the extension of its mail files and its sound; the messages known
 * to wait there; the watch on the directory's changes; and whether the
 * directory could be reached at the last scan.
 *
 * ScanMailbox compares the directory with what the mailbox knows. It lets
 * pending messages through while it runs, so window handlers (the tray
 * menu, even "Exit") may run in the middle of it; whoever scans keeps the
 * mailbox alive meanwhile (the watcher holds its mailboxes by shared
 * pointer), and a scan asked for while the same mailbox is being scanned
 * does nothing.
 */
#ifndef MAILBOX_H
#define MAILBOX_H

#include "changewatch.h"
#include "mail.h"
#include "settings.h"

class Mailbox {
public:
    // A mailbox with these settings (the directory's trailing backslash
    // dropped) and an empty list; its watch is not started. Each mailbox
    // made gets an identity of its own.
    explicit Mailbox(const MailboxSettings& settings);
    ~Mailbox();
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    MailboxId Id() const { return id_; }
    const char* Name() const { return settings_.name; }
    const char* Directory() const { return settings_.directory; }
    const char* Extension() const { return settings_.extension; }
    // Its own sound; empty for the common new-mail sound.
    const char* Sound() const { return settings_.sound; }

    // Whether settings name the same place: the same directory and
    // extension, without regard to case or a trailing backslash.
    bool Watches(const MailboxSettings& settings) const;
    // Takes the name and sound of settings (which name the same place).
    void Rename(const MailboxSettings& settings);

    // The messages found there that still exist. The reference lets a
    // test (or a handler during a scan) replace or destroy the list.
    RecordList*& Known() { return known_; }
    int Waiting() const { return ListCount(known_); }
    ChangeWatch& Watch() { return watch_; }
    // False once a scan found the directory missing or unreadable; true
    // until the first scan.
    bool Reachable() const { return reachable_; }
    bool Scanning() const { return scanning_; }

private:
    friend int ScanMailbox(Mailbox& mailbox, RecordList* found, bool* lackedMemory);

    MailboxId id_;
    MailboxSettings settings_;
    RecordList* known_;
    ChangeWatch watch_;
    bool reachable_ = true;
    bool scanning_ = false;
};

// Lists the mailbox's directory for "*.extension", reads the header of
// each file the mailbox does not know and appends it to the mailbox's list
// of known messages and to found (either may be null), then forgets the
// files that have gone. A file that finds the known list full is
// remembered there by path instead and moves into it, unannounced, once
// files have gone. Returns the number of files newly found; 0 when the
// mailbox is being scanned already. lackedMemory, when given, is set when
// a file could not be read for want of memory (the scan says nothing to
// the user; its caller may).
int ScanMailbox(Mailbox& mailbox, RecordList* found, bool* lackedMemory = nullptr);

// Lets the thread's pending messages through (MyDialogYield) during a scan,
// but only when a few milliseconds have passed since the last time, so a
// walk of 1000 records does not poll the queue 1000 times. A quit message
// taken off the queue meanwhile is posted again, so the program still ends.
void YieldDuringScan();

#endif
