/*
 * Mail records, the lists that hold them, the header reader that fills
 * them and the scan of the new-mail directory.
 *
 * A MailRecord is a fixed-size plain value; a RecordList owns heap copies of
 * up to 1000 of them. Every list operation accepts a null list and then does
 * nothing, because a list may not exist yet (first scan) or may already have
 * been destroyed by a message handler that ran in the middle of a scan.
 */
#ifndef MAIL_H
#define MAIL_H

#include <windows.h>

#include <cstddef>

// Capacities, terminator included.
constexpr int kHeaderFieldSize = 4096;
constexpr int kMailPathSize = 255;

struct MailRecord {
    char from[kHeaderFieldSize];         // value of the first From field
    char fromName[kHeaderFieldSize];     // display name taken from `from`
    char to[kHeaderFieldSize];           // value of the first To field
    char date[kHeaderFieldSize];         // value of the first Date field
    char organization[kHeaderFieldSize]; // value of the first Organization field
    char subject[kHeaderFieldSize];      // value of the first Subject field
    char priority[kHeaderFieldSize];     // value of the first Priority field
    char path[kMailPathSize];            // full path of the mail file
};

// ---------------------------------------------------------------- reader

// Field codes of ClassifyHeaderLine.
enum HeaderField {
    kFieldFrom = 1000,
    kFieldTo = 1001,
    kFieldDate = 1002,
    kFieldOrganization = 1003,
    kFieldSubject = 1004,
    kFieldPriority = 1005,
    kFieldNone = 1006,
};

constexpr int kReadBufferSize = 16384;

// Opens a file for the header reader (one file at a time) and gives it its
// read buffer; HFILE_ERROR when the buffer cannot be allocated (after a
// "System error" box) or the file cannot be opened. The file is opened with
// every kind of sharing, so the client may write, rename or delete it while
// it is read.
HFILE OpenMailFile(const char* path);
void CloseMailFile(HFILE file);
// The next byte of the open file; a zero byte reads as a space. 0 means end
// of data (also after a read error), 0xFF that no file is open.
int ReadMailChar(HFILE file);
// Reads one header line of at most size - 1 characters into buffer and
// terminates it. Returns the number of characters stored, or -1 at end of
// data when nothing was stored.
int ReadHeaderLine(char* buffer, int size, HFILE file);
// The field code of an unfolded header line: its name (the text before the
// first colon, trailing blanks dropped) compared whole, without regard to
// case, with From, To, Date, Organization, Subject and Priority;
// kFieldNone for every other name and for a line without a colon.
int ClassifyHeaderLine(const char* line);
// Reads the header of the file at path into record: only the fields whose
// lines occur are written, and `path`. Returns 1 when the file was read, 0
// when it could not be opened (or its path does not fit the record), in
// which case the record is left exactly as it was. When unfinished is
// given it tells whether the file looks half-written: its data ended
// before the empty line that ends a header while the file was still
// changing (last written less than 2 seconds ago, or its size changed while
// it was read).
int ReadMailHeader(const char* path, MailRecord* record, bool* unfinished = nullptr);

// ---------------------------------------------------------------- lists

constexpr int kListCapacity = 1000;

struct RecordList {
    int itemSize; // bytes in each record
    int count;    // slots 0 to count - 1 are in use
    void** items; // kListCapacity slots; null after a clear that could not allocate
    // Paths remembered for files that found the list full (see ListRemember):
    // overflowCount of them in kListCapacity slots, each path in a block of
    // kMailPathSize bytes; the slots exist only while a path is remembered.
    int overflowCount;
    char** overflow;
};

RecordList* ListCreate(int itemSize);
// Returns null, which the caller stores in place of the list.
RecordList* ListDestroy(RecordList* list);
void ListClear(RecordList* list);
// The list's own copy of record, or null when the list is full or the copy
// cannot be allocated.
void* ListAppend(RecordList* list, const void* record);
// Appends copies of the records of `from` to `to`, in order, as many as fit.
void ListAppendAll(RecordList* to, RecordList* from);
void* ListGet(RecordList* list, int index);
int ListCount(RecordList* list);
void ListRemoveAt(RecordList* list, int index);

// The two operations below let pending messages through while they walk
// the list, and a handler may destroy or change the list meanwhile. They
// take the caller's list variable by reference and read it again after
// every pause, so a list destroyed by a handler (its variable set to null)
// is never touched again. Both treat the records as MailRecords.
//
// 1 if some record's path equals path without regard to (ASCII) case.
int ListContainsPath(RecordList* const& list, const char* path);
// Removes, in order, every record whose file no longer exists, then forgets
// every remembered path whose file no longer exists.
void ListPrune(RecordList* const& list);
// Removes every record whose path equals path (as ListContainsPath
// compares them); lets no messages through.
void ListRemovePath(RecordList* list, const char* path);

// The paths a list remembers for files it had no room for (the scan's
// files that were counted once and wait for room in knownList), up to
// kListCapacity of them, in the order remembered. A clear or destroy of the
// list forgets them all.
//
// 1 when path was remembered; 0 when it does not fit a record, kListCapacity
// paths are remembered already or the memory cannot be had.
int ListRemember(RecordList* list, const char* path);
// Like ListContainsPath, over the remembered paths.
int ListRemembers(RecordList* const& list, const char* path);
// The index-th remembered path, or null.
const char* ListRemembered(RecordList* list, int index);
// Forgets path (matched as ListContainsPath does) if it is remembered.
void ListForget(RecordList* list, const char* path);

inline MailRecord* MailAt(RecordList* list, int index)
{
    return static_cast<MailRecord*>(ListGet(list, index));
}

// ---------------------------------------------------------------- scan

// Lets the thread's pending messages through (MyDialogYield) during a scan,
// but only when a few milliseconds have passed since the last time, so a
// walk of 1000 records does not poll the queue 1000 times. A quit message
// taken off the queue meanwhile is posted again, so the program still ends.
void YieldDuringScan();

// Every file the scans have found that still exists.
extern RecordList* knownList;
// The files that the latest scan found first (or, with keepNew, every file
// found since the caller last cleared it).
extern RecordList* newList;

// Lists directory for "*.extension", reads the header of each file not in
// knownList and appends it to knownList and newList, then prunes
// knownList. A file that finds knownList full is remembered there by path
// instead (see ListRemember) and moves into it, unannounced, once pruning
// has made room. A trailing backslash is removed from directory itself.
// Returns the number of files newly found.
int ScanMailDir(char* directory, const char* extension, int keepNew);

// Every heap block of the lists, the scan and the reader comes from this
// allocator (std::malloc unless a test replaces it to make allocations fail)
// and goes back with std::free.
extern void* (*mailAlloc)(std::size_t size);

#endif
