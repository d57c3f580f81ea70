/*
 * Mail records, the lists that hold them and the header reader that fills
 * them.
 *
 * A MailRecord is the reader's fixed-size work record. What the lists keep
 * is a MailItem made from it: one heap block that holds what the fields
 * take, shared by every list that holds the message. A RecordList holds
 * references to such items. Every list operation accepts a null list and
 * then does nothing, because a list may not exist yet or may already have
 * been destroyed by a message handler that ran in the middle of a scan.
 *
 * Nothing here shows anything or lets messages through of its own accord:
 * the operations that walk a list take the caller's pause.
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
// read buffer; HFILE_ERROR when the buffer cannot be allocated or the file
// cannot be opened (MailReaderLackedBuffer tells which). The file is opened
// with every kind of sharing, so the client may write, rename or delete it
// while it is read.
HFILE OpenMailFile(const char* path);
void CloseMailFile(HFILE file);
// Whether the last OpenMailFile (or ReadMailHeader) failed because its read
// buffer could not be allocated. The reader tells no user; its caller does.
bool MailReaderLackedBuffer();
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

// ---------------------------------------------------------------- items

// Which mailbox a message belongs to: a number each mailbox receives when it
// is made and that no other mailbox of the run receives.
using MailboxId = unsigned;

// One message as the lists keep it: made once from a MailRecord, never
// changed afterwards, and shared by every list that holds it. One heap
// block: this header, then the eight texts packed behind it. Each holder
// owns a reference; the last one released frees the block.
struct MailItem {
    int references;
    MailboxId mailbox;
    int pathLength;
    const char* from;
    const char* fromName;
    const char* to;
    const char* date;
    const char* organization;
    const char* subject;
    const char* priority;
    const char* path;
};

// A new item from record (each field read up to its terminator or the end
// of its field), holding one reference, the caller's; null when the block
// cannot be allocated.
MailItem* MailItemMake(const MailRecord& record, MailboxId mailbox);
// Another reference to item (null stays null); returns item.
MailItem* MailItemHold(MailItem* item);
// Gives one reference back; the last one clears and frees the block.
void MailItemRelease(MailItem* item);

// The caller's reference to an item, given back when it goes out of scope.
class MailRef {
public:
    explicit MailRef(MailItem* item = nullptr) : item_(item) {}
    ~MailRef() { MailItemRelease(item_); }
    MailRef(const MailRef&) = delete;
    MailRef& operator=(const MailRef&) = delete;
    MailItem* get() const { return item_; }
    explicit operator bool() const { return item_ != nullptr; }

private:
    MailItem* item_;
};

// ---------------------------------------------------------------- lists

// Most items a mailbox's list of known messages holds.
constexpr int kListCapacity = 1000;
// Most mailboxes, and so most items a list gathered from all of them holds.
constexpr int kMaxMailboxes = 16;
constexpr int kAllMailboxesCapacity = kListCapacity * kMaxMailboxes;
// Slots a list starts with; the slot array doubles as items arrive, up to
// the capacity, and goes back to this size at every clear.
constexpr int kListFirstSlots = 16;

struct RecordList {
    int capacity;     // most items held
    int count;        // slots 0 to count - 1 are in use
    int slots;        // slots allocated
    MailItem** items; // null after a clear that could not allocate
    // Paths remembered for files that found the list full (see
    // ListRemember): overflowCount of them, each in a block of its own,
    // in capacity slots that exist only while a path is remembered.
    int overflowCount;
    char** overflow;
};

// A list that holds up to capacity items; null when it cannot be allocated.
RecordList* ListCreate(int capacity = kListCapacity);
// Returns null, which the caller stores in place of the list.
RecordList* ListDestroy(RecordList* list);
// Gives back every item and forgets every remembered path.
void ListClear(RecordList* list);
// Appends item, the list taking a reference of its own. Returns item, or
// null when the list is full or has no room that can be allocated.
MailItem* ListAppend(RecordList* list, MailItem* item);
// Appends the items of `from` to `to`, in order, as many as fit.
void ListAppendAll(RecordList* to, RecordList* from);
MailItem* ListGet(RecordList* list, int index);
int ListCount(RecordList* list);
void ListRemoveAt(RecordList* list, int index);

// What a walk of a list calls between two steps (for instance to let
// pending messages through); may be null.
using ListPause = void (*)();

// The operations below call pause while they walk the list, and what pause
// runs may destroy or change the list meanwhile. They take the caller's
// list variable by reference and read it again after every pause, so a list
// destroyed meanwhile (its variable set to null) is never touched again.
//
// 1 if some item's path equals path without regard to (ASCII) case.
int ListContainsPath(RecordList* const& list, const char* path, ListPause pause = nullptr);
// Removes, in order, every item whose file no longer exists, then forgets
// every remembered path whose file no longer exists.
void ListPrune(RecordList* const& list, ListPause pause = nullptr);
// Removes every item whose path equals path (as ListContainsPath compares
// them).
void ListRemovePath(RecordList* list, const char* path);

// The paths a list remembers for files it had no room for (the scan's
// files that were counted once and wait for room in a known list), up to
// the list's capacity, in the order remembered. A clear or destroy of the
// list forgets them all.
//
// 1 when path was remembered; 0 when it does not fit a record, as many paths
// as the capacity are remembered already or the memory cannot be had.
int ListRemember(RecordList* list, const char* path);
// Like ListContainsPath, over the remembered paths.
int ListRemembers(RecordList* const& list, const char* path, ListPause pause = nullptr);
// The index-th remembered path, or null.
const char* ListRemembered(RecordList* list, int index);
// Forgets path (matched as ListContainsPath does) if it is remembered.
void ListForget(RecordList* list, const char* path);

inline MailItem* MailAt(RecordList* list, int index)
{
    return ListGet(list, index);
}

// Every heap block of the items, the lists, the scan and the reader comes
// from this allocator (std::malloc unless a test replaces it to make
// allocations fail) and goes back with std::free.
extern void* (*mailAlloc)(std::size_t size);

#endif
