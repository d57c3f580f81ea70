/*
 * Change notification on the mail directory: the system signals a handle
 * when a file in the directory (not in its subfolders) is created, deleted,
 * renamed, resized or written. The watcher waits on that handle beside its
 * messages and scans soon after a signal; the scan interval stays the
 * safety net for volumes that send no notifications.
 *
 * One watch at a time, on one thread; nothing here scans or waits.
 */
#ifndef CHANGEWATCH_H
#define CHANGEWATCH_H

#include <windows.h>

// Ends any earlier watch and starts watching directory (a trailing
// backslash is ignored). False when the system cannot watch it; the watch
// is then off.
bool ChangeWatchStart(const char* directory);

// Ends the watch and closes its handle.
void ChangeWatchStop();

// The handle the system signals on a change, or null while nothing is
// watched.
HANDLE ChangeWatchHandle();

// Takes the signal and asks for the next change. A watch that cannot be
// asked again ends (ChangeWatchFollow sets it up anew).
void ChangeWatchRearm();

// Whether a change has been signalled and not yet taken; if so, takes it
// (ChangeWatchRearm). Does not wait.
bool ChangeWatchTake();

// Keeps the watch on directory, cheaply enough to be called every second:
// starts it when the directory differs from the one watched, and again when
// the watched directory has been removed (and created anew) or the watch
// has ended; a directory that cannot be watched is not tried again until it
// is replaced or the setting changes. True when a watch was set up here on
// a directory that was not being watched a moment ago, so that changes
// may have gone unseen: the caller should scan.
bool ChangeWatchFollow(const char* directory);

#endif
