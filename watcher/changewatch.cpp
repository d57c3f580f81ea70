/*
 * Change notification on the mail directory (see changewatch.h).
 *
 * A removed directory takes its watch with it: the handle stays open but
 * never signals again, even when a directory of the same name comes back.
 * The watch therefore remembers which directory it looks at (volume, file
 * index and creation time) and ChangeWatchFollow compares that with what
 * the path names now.
 */
#include "changewatch.h"

#include <cstring>

namespace {

// What the watch looks for: new, deleted and renamed files, and files
// written or resized. Last-access times are left out, so that the scan's
// own reading never signals.
constexpr DWORD kChangeFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr size_t kPathBuffer = 256;

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

bool SameDirectory(const DirectoryId& a, const DirectoryId& b)
{
    return a.exists && b.exists && a.volume == b.volume && a.indexHigh == b.indexHigh &&
           a.indexLow == b.indexLow && CompareFileTime(&a.created, &b.created) == 0;
}

DirectoryId IdentifyDirectory(const char* path)
{
    DirectoryId id;
    // Opened for attributes only and sharing everything, so that nobody is
    // kept from renaming or removing the directory meanwhile.
    HANDLE dir = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (dir == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(dir, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        id.exists = true;
        id.volume = info.dwVolumeSerialNumber;
        id.indexHigh = info.nFileIndexHigh;
        id.indexLow = info.nFileIndexLow;
        id.created = info.ftCreationTime;
    }
    CloseHandle(dir);
    return id;
}

HANDLE watch;              // null while nothing is watched
char watchedPath[kPathBuffer];  // the directory last asked for, watched or not
DirectoryId watchedId;     // the directory the watch looks at
DirectoryId refusedId;     // a directory that could not be watched

// The directory text without a trailing backslash; false when it does not
// fit.
bool NormalPath(const char* directory, char (&path)[kPathBuffer])
{
    if (!directory) return false;
    size_t length = std::strlen(directory);
    if (length >= kPathBuffer) return false;
    std::memcpy(path, directory, length + 1);
    if (length > 0 && path[length - 1] == '\\') path[--length] = '\0';
    return length > 0;
}

// Watches path, whose identity is id.
bool Watch(const char* path, const DirectoryId& id)
{
    ChangeWatchStop();
    if (!id.exists) return false;
    HANDLE handle = FindFirstChangeNotificationA(path, FALSE, kChangeFilter);
    if (handle == INVALID_HANDLE_VALUE) {
        refusedId = id;
        return false;
    }
    watch = handle;
    watchedId = id;
    refusedId = DirectoryId();
    return true;
}

} // namespace

bool ChangeWatchStart(const char* directory)
{
    ChangeWatchStop();
    refusedId = DirectoryId();
    char path[kPathBuffer];
    if (!NormalPath(directory, path)) {
        watchedPath[0] = '\0';
        return false;
    }
    std::memcpy(watchedPath, path, sizeof path);
    return Watch(watchedPath, IdentifyDirectory(watchedPath));
}

void ChangeWatchStop()
{
    if (watch) FindCloseChangeNotification(watch);
    watch = nullptr;
    watchedId = DirectoryId();
}

HANDLE ChangeWatchHandle()
{
    return watch;
}

void ChangeWatchRearm()
{
    if (watch && !FindNextChangeNotification(watch)) ChangeWatchStop();
}

bool ChangeWatchTake()
{
    if (!watch || WaitForSingleObject(watch, 0) != WAIT_OBJECT_0) return false;
    ChangeWatchRearm();
    return true;
}

bool ChangeWatchFollow(const char* directory)
{
    char path[kPathBuffer];
    if (!NormalPath(directory, path)) {
        ChangeWatchStop();
        watchedPath[0] = '\0';
        return false;
    }
    // The setting names another directory: watch that one from now on.
    if (lstrcmpiA(path, watchedPath) != 0) return ChangeWatchStart(path);

    const DirectoryId now = IdentifyDirectory(path);
    if (watch && SameDirectory(now, watchedId)) return false;
    // Gone or replaced: the watch sees nothing any more. A directory that
    // could not be watched is tried again only once it has been replaced.
    ChangeWatchStop();
    if (!now.exists || SameDirectory(now, refusedId)) return false;
    return Watch(path, now);
}
