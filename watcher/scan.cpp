/*
 * The scan of a mailbox's directory: decides which mail files are new by
 * comparing the directory with the mailbox's known list, reads the header
 * of each new one and appends one shared copy to the known list and to the
 * caller's list of what was found, then forgets the files that have gone.
 * Files that find the known list full are remembered by path, so each is
 * counted once, and enter it when files have gone.
 *
 * The scan lets messages through while it runs, so window handlers may run
 * in the middle of it. It therefore reads the mailbox's list afresh at
 * every use; a list destroyed meanwhile is null and every list operation
 * ignores it.
 */
#include <cstdlib>
#include <cstring>

#include "kwctrl32.h"
#include "mailbox.h"

namespace {

// How long the scan may work between two looks at the message queue:
// short enough that the windows stay responsive, long enough that the
// queue is not polled once per comparison.
constexpr DWORD kYieldIntervalMs = 5;
// Messages let through at one look; the looks are rare, so each takes what
// has piled up meanwhile.
constexpr int kMessagesPerYield = 50;
// Text buffer of the search pattern and of each full path.
constexpr size_t kPathBuffer = 256;

DWORD lastYield;
bool quitTaken;
WPARAM quitCode;

// Notices a quit message that MyDialogYield takes off the queue: it would
// dispatch it to no window and the message loop would never end.
LRESULT CALLBACK WatchForQuit(int code, WPARAM removal, LPARAM lParam)
{
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == WM_QUIT) {
            quitTaken = true;
            quitCode = msg->wParam;
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

// What one scan works with: the mailbox's list (read afresh at every
// use), the caller's list of what it found, and the reader's work record.
struct ScanWork {
    RecordList*& known;
    RecordList* found;
    MailboxId mailbox;
    MailRecord* record;
    bool lackedMemory;
};

// Reads a file's header into a cleared work record, so that no field is
// left from the previous file and every field is a terminated text. False
// for a file that cannot be opened yet (locked), or whose header has not
// reached its empty line while the file is still changing (the client is
// writing it): such a file waits for a later scan. A file that could not
// be read for want of memory is noted.
bool ReadWholeHeader(const char* path, ScanWork& work)
{
    std::memset(work.record, 0, sizeof *work.record);
    bool unfinished = false;
    if (!ReadMailHeader(path, work.record, &unfinished)) {
        if (MailReaderLackedBuffer()) work.lackedMemory = true;
        return false;
    }
    return !unfinished;
}

// One new file, neither counted nor listed until its header reads whole.
bool TakeNewFile(const char* path, ScanWork& work)
{
    YieldDuringScan();
    if (!ReadWholeHeader(path, work)) return false;
    // A full known list remembers the path instead, so that the file is not
    // new again at the next scan and enters the list when there is room. A
    // list that cannot take the item, or is full with as many paths
    // remembered, does without it: the file counts as new at every scan.
    MailRef item(MailItemMake(*work.record, work.mailbox));
    if (ListCount(work.known) >= kListCapacity) {
        ListRemember(work.known, path);
    } else {
        ListAppend(work.known, item.get());
    }
    ListAppend(work.found, item.get());
    return true;
}

// Room that files gone from the known list have left goes to the
// remembered files, the longest remembered first. They were counted when
// they found the list full, so they enter it unannounced: read afresh, in
// the known list alone. One that cannot be read now stays remembered for a
// later scan.
void AdmitRemembered(ScanWork& work)
{
    char path[kMailPathSize];
    for (int i = 0; ListCount(work.known) < kListCapacity;) {
        YieldDuringScan();
        const char* remembered = ListRemembered(work.known, i);
        if (!remembered) return;
        lstrcpynA(path, remembered, sizeof path);
        bool admitted = false;
        if (ReadWholeHeader(path, work)) {
            MailRef item(MailItemMake(*work.record, work.mailbox));
            admitted = ListAppend(work.known, item.get()) != nullptr;
        }
        if (admitted) {
            ListForget(work.known, path);
        } else {
            ++i;
        }
    }
}

// Whether a directory that could not be searched is there all the same
// (it holds no mail file).
bool IsDirectory(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// True when a listed name cannot be opened by its narrow text: the narrow
// listing gives '?' (never part of a file name) for each character that a
// legacy code page lacks, and U+FFFD for a name that is not valid UTF-16
// where the code page is UTF-8.
bool Unspellable(const char* name)
{
    return std::strchr(name, '?') || (GetACP() == CP_UTF8 && std::strstr(name, "\xEF\xBF\xBD"));
}

// UTF-16 units of text (length bytes) in the ANSI code page.
size_t Units(const char* text, size_t length)
{
    return length ? static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0))
                  : 0;
}

// The name by which the scan reaches a listed file in dir (dirLength
// bytes): its long name, which in a UTF-8 process spells any script, when
// it can be spelt and its full path fits a record. Else its short name:
// for a long name that the code page cannot spell, or whose path would fit
// a record in characters but takes more bytes than the record has (a UTF-8
// character takes up to four; a name too long for the listing's own field
// may even come cut and unterminated). Null when neither serves, or when a
// spelt path is too long in characters too: the file stays unseen, since a
// path cut short would name another file.
const char* ReachableName(const WIN32_FIND_DATAA& entry, const char* dir, size_t dirLength)
{
    constexpr size_t kRoom = kMailPathSize - 1;
    const char* longName = entry.cFileName;
    const void* end = std::memchr(longName, '\0', sizeof entry.cFileName);
    const size_t longLength = end ? static_cast<size_t>(static_cast<const char*>(end) - longName) : 0;
    if (end && !Unspellable(longName)) {
        if (dirLength + 1 + longLength <= kRoom) return longName;
        if (Units(dir, dirLength) + 1 + Units(longName, longLength) > kRoom) return nullptr;
    }
    const char* shortName = entry.cAlternateFileName;
    const void* shortEnd = std::memchr(shortName, '\0', sizeof entry.cAlternateFileName);
    if (shortName[0] == '\0' || !shortEnd || Unspellable(shortName)) return nullptr;
    const size_t shortLength = static_cast<size_t>(static_cast<const char*>(shortEnd) - shortName);
    return dirLength + 1 + shortLength <= kRoom ? shortName : nullptr;
}

} // namespace

void YieldDuringScan()
{
    if (GetTickCount() - lastYield < kYieldIntervalMs) return;
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, WatchForQuit, nullptr, GetCurrentThreadId());
    MyDialogYield(kMessagesPerYield);
    if (hook) UnhookWindowsHookEx(hook);
    if (quitTaken) {
        quitTaken = false;
        PostQuitMessage(static_cast<int>(quitCode));
    }
    lastYield = GetTickCount();
}

int ScanMailbox(Mailbox& mailbox, RecordList* found, bool* lackedMemory)
{
    if (mailbox.scanning_) return 0;
    auto* record = static_cast<MailRecord*>(mailAlloc(sizeof(MailRecord)));
    if (!record) return 0;
    mailbox.scanning_ = true;
    ScanWork work{mailbox.known_, found, mailbox.Id(), record, false};

    const char* directory = mailbox.Directory();
    const char* extension = mailbox.Extension();
    const size_t dirLength = std::strlen(directory);
    const size_t extLength = std::strlen(extension);

    char text[kPathBuffer];
    char dir[kPathBuffer];
    const bool patternFits = dirLength + 3 + extLength < kPathBuffer;
    if (patternFits) {
        std::memcpy(dir, directory, dirLength + 1);
        std::memcpy(text, dir, dirLength);
        std::memcpy(text + dirLength, "\\*.", 3);
        std::memcpy(text + dirLength + 3, extension, extLength + 1);
    }

    int count = 0;
    WIN32_FIND_DATAA entry;
    // A pattern too long for the buffer is a directory that cannot be
    // searched.
    HANDLE search = patternFits ? FindFirstFileA(text, &entry) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        // Nothing found or no such directory: every known message is
        // forgotten, remembered ones too.
        ListClear(work.known);
        mailbox.reachable_ = patternFits && IsDirectory(dir);
    } else {
        mailbox.reachable_ = true;
        do {
            if (entry.cFileName[0] == '!') continue;
            const char* name = ReachableName(entry, dir, dirLength);
            if (!name) continue;
            const size_t nameLength = std::strlen(name);
            std::memcpy(text, dir, dirLength);
            text[dirLength] = '\\';
            std::memcpy(text + dirLength + 1, name, nameLength + 1);

            if (ListContainsPath(work.known, text, YieldDuringScan) ||
                ListRemembers(work.known, text, YieldDuringScan))
                continue;
            if (TakeNewFile(text, work)) ++count;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }

    ListPrune(work.known, YieldDuringScan);
    AdmitRemembered(work);
    std::free(record);
    mailbox.scanning_ = false;
    if (lackedMemory && work.lackedMemory) *lackedMemory = true;
    return count;
}
