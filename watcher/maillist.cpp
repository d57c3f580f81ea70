/*
 * RecordList: a list of up to 1000 heap copies of fixed-size records, in
 * the order they were appended. The slot array is allocated when the list
 * is made and again at every clear; it never grows. A list may also
 * remember up to 1000 paths of files it had no room for. Every operation
 * accepts a null list, which the watcher relies on while a list does not
 * exist yet or has already been destroyed.
 */
#include <io.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "mail.h"

namespace {

void** NewSlots()
{
    void** slots = static_cast<void**>(mailAlloc(kListCapacity * sizeof(void*)));
    if (slots) std::memset(slots, 0, kListCapacity * sizeof(void*));
    return slots;
}

// A list whose records can be read as MailRecords.
bool HoldsMail(const RecordList* list)
{
    return list && list->items && list->itemSize >= static_cast<int>(sizeof(MailRecord));
}

unsigned char FoldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Path identity: equal without regard to the case of the ASCII letters.
// Called up to half a million times in one scan, so it is cheap for a miss:
// paths in one directory share their beginning and differ near the end,
// so the comparison runs backwards from the end of the wanted path, of
// known length. stored must point to a whole path field; reading it at
// `length` stays inside the field, since length < kMailPathSize. Kept
// inline in ListContainsPath's loop, where a call per record costs a tenth
// of a steady scan.
[[gnu::always_inline]] inline bool SamePath(const char* stored, const char* path, size_t length)
{
    // A stored path that is longer has no terminator at `length`; one that
    // is shorter has its terminator where path has a character.
    if (stored[length] != '\0') return false;
    for (size_t i = length; i-- > 0;) {
        const unsigned char x = static_cast<unsigned char>(stored[i]);
        const unsigned char y = static_cast<unsigned char>(path[i]);
        if (x != y && FoldCase(x) != FoldCase(y)) return false;
    }
    return true;
}

// Forgets the index-th remembered path; the slots go with the last one.
void ForgetAt(RecordList* list, int index)
{
    std::free(list->overflow[index]);
    std::memmove(&list->overflow[index], &list->overflow[index + 1],
                 static_cast<std::size_t>(list->overflowCount - index - 1) * sizeof(char*));
    if (--list->overflowCount == 0) {
        std::free(list->overflow);
        list->overflow = nullptr;
        _heapmin();
    }
}

void ForgetAll(RecordList* list)
{
    while (list->overflowCount > 0) ForgetAt(list, list->overflowCount - 1);
}

} // namespace

RecordList* ListCreate(int itemSize)
{
    if (itemSize <= 0) return nullptr;
    auto* list = static_cast<RecordList*>(mailAlloc(sizeof(RecordList)));
    if (!list) return nullptr;
    list->items = NewSlots();
    if (!list->items) {
        std::free(list);
        return nullptr;
    }
    list->itemSize = itemSize;
    list->count = 0;
    list->overflowCount = 0;
    list->overflow = nullptr;
    return list;
}

RecordList* ListDestroy(RecordList* list)
{
    if (!list) return nullptr;
    ForgetAll(list);
    if (list->count > 0) ListClear(list);
    std::free(list->items);
    std::free(list);
    return nullptr;
}

void ListClear(RecordList* list)
{
    if (!list) return;
    ForgetAll(list);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (list->items) {
        for (int i = 0; i < list->count; ++i) std::free(list->items[i]);
    }
    list->count = 0;
    _heapmin();
    std::free(list->items);
    _heapmin();
    // Without a fresh slot array the list refuses every append until the
    // next clear.
    list->items = NewSlots();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void* ListAppend(RecordList* list, const void* record)
{
    if (!list || !record || !list->items || list->count >= kListCapacity) return nullptr;
    void* copy = mailAlloc(static_cast<std::size_t>(list->itemSize));
    if (!copy) return nullptr;
    std::memcpy(copy, record, static_cast<std::size_t>(list->itemSize));
    list->items[list->count++] = copy;
    return copy;
}

void ListAppendAll(RecordList* to, RecordList* from)
{
    const int count = ListCount(from);
    for (int i = 0; i < count; ++i) ListAppend(to, ListGet(from, i));
}

void* ListGet(RecordList* list, int index)
{
    if (!list || !list->items || index < 0 || index >= list->count) return nullptr;
    return list->items[index];
}

int ListCount(RecordList* list)
{
    return list ? list->count : 0;
}

void ListRemoveAt(RecordList* list, int index)
{
    if (!list || !list->items || index < 0 || index >= list->count) return;
    void* removed = list->items[index];
    std::memmove(&list->items[index], &list->items[index + 1],
                 static_cast<std::size_t>(list->count - index - 1) * sizeof(void*));
    list->items[--list->count] = nullptr;
    std::memset(removed, 0, static_cast<std::size_t>(list->itemSize));
    std::free(removed);
    _heapmin();
}

int ListContainsPath(RecordList* const& list, const char* path)
{
    if (!path) return 0;
    // A path that does not fit a record cannot be in the list.
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kMailPathSize)) return 0;
    for (int i = 0;; ++i) {
        YieldDuringScan();
        // Read the caller's variable again: a handler may have destroyed
        // or emptied the list during the pause.
        RecordList* current = list;
        if (!HoldsMail(current) || i >= current->count) return 0;
        if (SamePath(static_cast<const MailRecord*>(current->items[i])->path, path, length)) return 1;
    }
}

void ListRemovePath(RecordList* list, const char* path)
{
    if (!HoldsMail(list) || !path) return;
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kMailPathSize)) return;
    for (int i = list->count - 1; i >= 0; --i)
        if (SamePath(static_cast<const MailRecord*>(list->items[i])->path, path, length)) ListRemoveAt(list, i);
}

void ListPrune(RecordList* const& list)
{
    for (int i = 0;;) {
        YieldDuringScan();
        RecordList* current = list;
        if (!HoldsMail(current) || i >= current->count) break;
        const auto* record = static_cast<const MailRecord*>(current->items[i]);
        // After a removal the next record has moved into this index.
        if (_access(record->path, 0) != 0) {
            ListRemoveAt(current, i);
        } else {
            ++i;
        }
    }
    // With nothing remembered, the usual case, the queue is not looked at.
    for (int i = 0; ListRemembered(list, i);) {
        YieldDuringScan();
        RecordList* current = list;
        if (!current || i >= current->overflowCount) return;
        if (_access(current->overflow[i], 0) != 0) {
            ForgetAt(current, i);
        } else {
            ++i;
        }
    }
}

int ListRemember(RecordList* list, const char* path)
{
    if (!list || !path || list->overflowCount >= kListCapacity) return 0;
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kMailPathSize)) return 0;
    if (!list->overflow) {
        list->overflow = static_cast<char**>(mailAlloc(kListCapacity * sizeof(char*)));
        if (!list->overflow) return 0;
    }
    // A whole zero-filled field, so that SamePath may read it at any length
    // below kMailPathSize.
    char* copy = static_cast<char*>(mailAlloc(kMailPathSize));
    if (!copy) {
        if (list->overflowCount == 0) {
            std::free(list->overflow);
            list->overflow = nullptr;
        }
        return 0;
    }
    std::memset(copy, 0, kMailPathSize);
    std::memcpy(copy, path, length);
    list->overflow[list->overflowCount++] = copy;
    return 1;
}

int ListRemembers(RecordList* const& list, const char* path)
{
    if (!path) return 0;
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kMailPathSize)) return 0;
    // With nothing remembered, the usual case, the queue is not looked at.
    for (int i = 0; ListRemembered(list, i); ++i) {
        YieldDuringScan();
        RecordList* current = list;
        if (!current || i >= current->overflowCount) return 0;
        if (SamePath(current->overflow[i], path, length)) return 1;
    }
    return 0;
}

const char* ListRemembered(RecordList* list, int index)
{
    if (!list || index < 0 || index >= list->overflowCount) return nullptr;
    return list->overflow[index];
}

void ListForget(RecordList* list, const char* path)
{
    if (!list || !path) return;
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kMailPathSize)) return;
    for (int i = 0; i < list->overflowCount; ++i) {
        if (SamePath(list->overflow[i], path, length)) {
            ForgetAt(list, i);
            return;
        }
    }
}
