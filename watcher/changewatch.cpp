/*
 * Change notification on the mail directory (see changewatch.h).
 *
 * A removed directory takes its watch with it: the handle stays open but
 * never signals again, even when a directory of the same name comes back.
 * The watch therefore remembers which directory it looks at (volume, file
 * index and creation time) and Follow compares that with what the path
 * names now.
 */
#include "changewatch.h"

#include <cstring>

namespace {

// What the watch looks for: new, deleted and renamed files, and files
// written or resized. Last-access times are left out, so that the scan's
// own reading never signals.
constexpr DWORD kChangeFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr size_t kPathBuffer = ChangeWatch::kPathBuffer;
using DirectoryId = ChangeWatch::DirectoryId;

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

} // namespace

// Watches path, whose identity is id.
bool ChangeWatch::Watch(const char* path, const DirectoryId& id)
{
    Stop();
    if (!id.exists) return false;
    HANDLE handle = FindFirstChangeNotificationA(path, FALSE, kChangeFilter);
    if (handle == INVALID_HANDLE_VALUE) {
        refusedId_ = id;
        return false;
    }
    watch_ = handle;
    watchedId_ = id;
    refusedId_ = DirectoryId();
    return true;
}

bool ChangeWatch::Start(const char* directory)
{
    Stop();
    refusedId_ = DirectoryId();
    char path[kPathBuffer];
    if (!NormalPath(directory, path)) {
        watchedPath_[0] = '\0';
        return false;
    }
    std::memcpy(watchedPath_, path, sizeof path);
    return Watch(watchedPath_, IdentifyDirectory(watchedPath_));
}

void ChangeWatch::Stop()
{
    if (watch_) FindCloseChangeNotification(watch_);
    watch_ = nullptr;
    watchedId_ = DirectoryId();
}

void ChangeWatch::Rearm()
{
    if (watch_ && !FindNextChangeNotification(watch_)) Stop();
}

bool ChangeWatch::Take()
{
    if (!watch_ || WaitForSingleObject(watch_, 0) != WAIT_OBJECT_0) return false;
    Rearm();
    return true;
}

bool ChangeWatch::Follow(const char* directory)
{
    char path[kPathBuffer];
    if (!NormalPath(directory, path)) {
        Stop();
        watchedPath_[0] = '\0';
        return false;
    }
    // The setting names another directory: watch that one from now on.
    if (lstrcmpiA(path, watchedPath_) != 0) return Start(path);

    const DirectoryId now = IdentifyDirectory(path);
    if (watch_ && SameDirectory(now, watchedId_)) return false;
    // Gone or replaced: the watch sees nothing any more. A directory that
    // could not be watched is tried again only once it has been replaced.
    Stop();
    if (!now.exists || SameDirectory(now, refusedId_)) return false;
    return Watch(path, now);
}
