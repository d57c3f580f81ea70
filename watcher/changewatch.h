/*
 * Change notification on a mail directory: the system signals a handle
 * when a file in the directory (not in its subfolders) is created, deleted,
 * renamed, resized or written. The watcher waits on the handles of all its
 * mailboxes beside its messages and scans soon after a signal; the scan
 * interval stays the safety net for volumes that send no notifications.
 *
 * One ChangeWatch per mailbox, each watching one directory at a time, all
 * on one thread; nothing here scans or waits.
 */
#ifndef CHANGEWATCH_H
#define CHANGEWATCH_H

#include <windows.h>

class ChangeWatch {
public:
    ChangeWatch() = default;
    ~ChangeWatch() { Stop(); }
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Ends any earlier watch and starts watching directory (a trailing
    // backslash is ignored). False when the system cannot watch it; the
    // watch is then off.
    bool Start(const char* directory);

    // Ends the watch and closes its handle.
    void Stop();

    // The handle the system signals on a change, or null while nothing is
    // watched.
    HANDLE Handle() const { return watch_; }

    // Takes the signal and asks for the next change. A watch that cannot be
    // asked again ends (Follow sets it up anew).
    void Rearm();

    // Whether a change has been signalled and not yet taken; if so, takes
    // it (Rearm). Does not wait.
    bool Take();

    // Keeps the watch on directory, cheaply enough to be called every
    // second: starts it when the directory differs from the one watched,
    // and again when the watched directory has been removed (and created
    // anew) or the watch has ended; a directory that cannot be watched is
    // not tried again until it is replaced or the setting changes. True
    // when a watch was set up here on a directory that was not being
    // watched a moment ago, so that changes may have gone unseen: the
    // caller should scan.
    bool Follow(const char* directory);

    static constexpr size_t kPathBuffer = 256;

    // Which directory a path names: volume, file index and creation time
    // together, since a directory created anew may get the index of the one
    // removed before it.
    struct DirectoryId {
        bool exists = false;
        DWORD volume = 0;
        DWORD indexHigh = 0;
        DWORD indexLow = 0;
        FILETIME created = {};
    };

private:
    bool Watch(const char* path, const DirectoryId& id);

    HANDLE watch_ = nullptr;             // null while nothing is watched
    char watchedPath_[kPathBuffer] = ""; // the directory last asked for, watched or not
    DirectoryId watchedId_;              // the directory the watch looks at
    DirectoryId refusedId_;              // a directory that could not be watched
};

#endif
