/*
 * New mail told the way Windows tells it: a notification (a balloon, which
 * Windows 10 and 11 show as a toast and keep in the notification centre)
 * from the watcher's tray icon, naming the sender and subject of one new
 * message or summing up several.
 */
#ifndef NOTIFICATION_H
#define NOTIFICATION_H

#include <windows.h>

#include <string>

#include "mail.h"

// The most the shell takes, in UTF-16 units, terminator excluded.
constexpr int kNotificationTitleUnits = 63;
constexpr int kNotificationTextUnits = 255;

struct NotificationText {
    std::wstring title;
    std::wstring text;
};

// The title and text that tell of `count` new messages, the first of which
// are the records of `records`:
// - one: "New mail from <sender's name>", and the subject;
// - several: "<count> new messages", and a line "<sender's name>: <subject>"
//   for each of the first three, then "and <m> more".
// Names and subjects show as the popup shows them; each text is cut between
// whole characters to what the shell takes, with "…" where it was cut (the
// lines of a summary share the room, so its last line always shows). Empty
// when there is no record.
NotificationText ComposeNotification(RecordList* records, int count);

// What the latest notification named: the messages, first named first
// (null when there is none or it was forgotten), how many it told of (more
// than the list holds once the list is full), and when it was shown.
struct NotificationMemory {
    RecordList* named = nullptr;
    int namedCount = 0;
    DWORD shownAt = 0;
};

// Shows the notification of the records' messages from the tray icon of
// window, without a sound of its own and held back by the system in quiet
// time, and remembers what it named. A notification shown moments before (a
// burst found by two scans) is taken into this one: its messages that still
// wait are told of again, in one summary.
void ShowMailNotification(HWND window, NotificationMemory& memory, RecordList* records);

// The latest notification names nothing any more: once its click has been
// answered, and when the tray icon goes.
void ForgetMailNotification(NotificationMemory& memory);

#endif
