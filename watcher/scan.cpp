/*
 * The new-mail directory scan: decides which mail files are new by
 * comparing the directory with knownList, reads the header of each new one
 * and appends it to both lists, then forgets the files that have gone.
 * Files that find knownList full are remembered by path, so each is counted
 * once, and enter it when files have gone.
 *
 * The scan lets messages through while it runs, so window handlers (the
 * tray menu, even "Exit") may run in the middle of it. It therefore reads
 * knownList and newList afresh at every use; a list destroyed meanwhile is
 * null and every list operation ignores it.
 */
#include <cstdlib>
#include <cstring>

#include "kwctrl32.h"
#include "mail.h"

RecordList* knownList;
RecordList* newList;

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

// Reads a file's header into a cleared work record, so that no field is
// left from the previous file and every field is a terminated text. False
// for a file that cannot be opened yet (locked), or whose header has not
// reached its empty line while the file is still changing (the client is
// writing it): such a file waits for a later scan.
bool ReadWholeHeader(const char* path, MailRecord* work)
{
    std::memset(work, 0, sizeof *work);
    bool unfinished = false;
    return ReadMailHeader(path, work, &unfinished) && !unfinished;
}

// One new file, neither counted nor listed until its header reads whole.
bool TakeNewFile(const char* path, MailRecord* work)
{
    YieldDuringScan();
    if (!ReadWholeHeader(path, work)) return false;
    // A full knownList remembers the path instead, so that the file is not
    // new again at the next scan and enters the list when there is room. A
    // list that cannot take the copy, or is full with as many paths
    // remembered, does without it: the file counts as new at every scan.
    if (ListCount(knownList) >= kListCapacity) {
        ListRemember(knownList, path);
    } else {
        ListAppend(knownList, work);
    }
    ListAppend(newList, work);
    return true;
}

// Room that files gone from knownList have left goes to the remembered
// files, the longest remembered first. They were counted when they found
// the list full, so they enter it unannounced: read afresh, in knownList
// alone. One that cannot be read now stays remembered for a later scan.
void AdmitRemembered(MailRecord* work)
{
    char path[kMailPathSize];
    for (int i = 0; ListCount(knownList) < kListCapacity;) {
        YieldDuringScan();
        const char* remembered = ListRemembered(knownList, i);
        if (!remembered) return;
        lstrcpynA(path, remembered, sizeof path);
        if (ReadWholeHeader(path, work) && ListAppend(knownList, work)) {
            ListForget(knownList, path);
        } else {
            ++i;
        }
    }
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

int ScanMailDir(char* directory, const char* extension, int keepNew)
{
    if (!directory || !extension) return 0;
    auto* work = static_cast<MailRecord*>(mailAlloc(sizeof(MailRecord)));
    if (!work) return 0;

    // The caller's text loses a trailing backslash too (the running
    // setting is meant to change).
    size_t dirLength = std::strlen(directory);
    if (dirLength > 0 && directory[dirLength - 1] == '\\') directory[--dirLength] = '\0';
    const size_t extLength = std::strlen(extension);

    // Handlers run during the scan may change the caller's text; the scan
    // keeps to the directory it started with.
    char text[kPathBuffer];
    char dir[kPathBuffer];
    const bool patternFits = dirLength + 3 + extLength < kPathBuffer;
    if (patternFits) {
        std::memcpy(dir, directory, dirLength + 1);
        std::memcpy(text, dir, dirLength);
        std::memcpy(text + dirLength, "\\*.", 3);
        std::memcpy(text + dirLength + 3, extension, extLength + 1);
    }

    if (!keepNew) ListClear(newList);

    int found = 0;
    WIN32_FIND_DATAA entry;
    // A pattern too long for the buffer is a directory that cannot be
    // searched.
    HANDLE search = patternFits ? FindFirstFileA(text, &entry) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        // Nothing found or no such directory: every known message is
        // forgotten, remembered ones too.
        ListClear(knownList);
    } else {
        do {
            if (entry.cFileName[0] == '!') continue;
            const char* name = ReachableName(entry, dir, dirLength);
            if (!name) continue;
            const size_t nameLength = std::strlen(name);
            std::memcpy(text, dir, dirLength);
            text[dirLength] = '\\';
            std::memcpy(text + dirLength + 1, name, nameLength + 1);

            if (ListContainsPath(knownList, text) || ListRemembers(knownList, text)) continue;
            if (TakeNewFile(text, work)) ++found;
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }

    ListPrune(knownList);
    AdmitRemembered(work);
    std::free(work);
    return found;
}
