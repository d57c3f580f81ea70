/*
 * RecordList: references to shared MailItems, in the order they were
 * appended, up to the list's capacity. The slot array starts small and
 * doubles as items arrive, so a list costs what it holds. A list may also
 * remember as many paths of files it had no room for. Every operation
 * accepts a null list, which the watcher relies on while a list does not
 * exist yet or has already been destroyed.
 */
#include <io.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "mail.h"

namespace {

MailItem** NewSlots(int slots)
{
    return static_cast<MailItem**>(mailAlloc(static_cast<std::size_t>(slots) * sizeof(MailItem*)));
}

int FirstSlots(const RecordList* list)
{
    return list->capacity < kListFirstSlots ? list->capacity : kListFirstSlots;
}

// Room for one more item: the slot array doubles (up to the capacity) when
// it is full. False when the list is full or the larger array cannot be
// had; the list is then unchanged.
bool MakeRoom(RecordList* list)
{
    if (!list->items || list->count >= list->capacity) return false;
    if (list->count < list->slots) return true;
    const int grown = list->slots > list->capacity / 2 ? list->capacity : list->slots * 2;
    MailItem** slots = NewSlots(grown);
    if (!slots) return false;
    std::memcpy(slots, list->items, static_cast<std::size_t>(list->count) * sizeof(MailItem*));
    std::free(list->items);
    list->items = slots;
    list->slots = grown;
    return true;
}

unsigned char FoldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Path identity: equal without regard to the case of the ASCII letters.
// Called up to half a million times in one scan, so it is cheap for a miss:
// lengths first, and paths in one directory share their beginning and
// differ near the end, so the comparison runs backwards from the end. Kept
// inline in the walks' loops, where a call per item costs a tenth of a
// steady scan.
[[gnu::always_inline]] inline bool SamePath(const char* stored, size_t storedLength, const char* path,
                                            size_t length)
{
    if (storedLength != length) return false;
    for (size_t i = length; i-- > 0;) {
        const unsigned char x = static_cast<unsigned char>(stored[i]);
        const unsigned char y = static_cast<unsigned char>(path[i]);
        if (x != y && FoldCase(x) != FoldCase(y)) return false;
    }
    return true;
}

bool ItemHasPath(const MailItem* item, const char* path, size_t length)
{
    return SamePath(item->path, static_cast<size_t>(item->pathLength), path, length);
}

// The length of a path that may be in a list, or -1 for one that cannot be
// (it does not fit a record).
int PathLength(const char* path)
{
    if (!path) return -1;
    const size_t length = std::strlen(path);
    return length < static_cast<size_t>(kMailPathSize) ? static_cast<int>(length) : -1;
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
    }
}

void ForgetAll(RecordList* list)
{
    while (list->overflowCount > 0) ForgetAt(list, list->overflowCount - 1);
}

} // namespace

RecordList* ListCreate(int capacity)
{
    if (capacity <= 0) return nullptr;
    auto* list = static_cast<RecordList*>(mailAlloc(sizeof(RecordList)));
    if (!list) return nullptr;
    list->capacity = capacity;
    list->slots = FirstSlots(list);
    list->items = NewSlots(list->slots);
    if (!list->items) {
        std::free(list);
        return nullptr;
    }
    list->count = 0;
    list->overflowCount = 0;
    list->overflow = nullptr;
    return list;
}

RecordList* ListDestroy(RecordList* list)
{
    if (!list) return nullptr;
    ListClear(list);
    std::free(list->items);
    std::free(list);
    _heapmin();
    return nullptr;
}

void ListClear(RecordList* list)
{
    if (!list) return;
    ForgetAll(list);
    for (int i = 0; i < list->count; ++i) MailItemRelease(list->items[i]);
    list->count = 0;
    std::free(list->items);
    _heapmin();
    // Without a fresh slot array the list refuses every append until the
    // next clear.
    list->slots = FirstSlots(list);
    list->items = NewSlots(list->slots);
    if (!list->items) list->slots = 0;
}

MailItem* ListAppend(RecordList* list, MailItem* item)
{
    if (!list || !item || !MakeRoom(list)) return nullptr;
    list->items[list->count++] = MailItemHold(item);
    return item;
}

void ListAppendAll(RecordList* to, RecordList* from)
{
    const int count = ListCount(from);
    for (int i = 0; i < count; ++i)
        if (!ListAppend(to, ListGet(from, i))) return;
}

MailItem* ListGet(RecordList* list, int index)
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
    MailItem* removed = list->items[index];
    std::memmove(&list->items[index], &list->items[index + 1],
                 static_cast<std::size_t>(list->count - index - 1) * sizeof(MailItem*));
    list->items[--list->count] = nullptr;
    MailItemRelease(removed);
}

int ListContainsPath(RecordList* const& list, const char* path, ListPause pause)
{
    const int length = PathLength(path);
    if (length < 0) return 0;
    for (int i = 0;; ++i) {
        if (pause) pause();
        // Read the caller's variable again: what the pause ran may have
        // destroyed or emptied the list.
        RecordList* current = list;
        if (!current || !current->items || i >= current->count) return 0;
        if (ItemHasPath(current->items[i], path, static_cast<size_t>(length))) return 1;
    }
}

void ListRemovePath(RecordList* list, const char* path)
{
    const int length = PathLength(path);
    if (!list || !list->items || length < 0) return;
    for (int i = list->count - 1; i >= 0; --i)
        if (ItemHasPath(list->items[i], path, static_cast<size_t>(length))) ListRemoveAt(list, i);
}

void ListPrune(RecordList* const& list, ListPause pause)
{
    bool removed = false;
    for (int i = 0;;) {
        if (pause) pause();
        RecordList* current = list;
        if (!current || !current->items || i >= current->count) break;
        // After a removal the next item has moved into this index.
        if (_access(current->items[i]->path, 0) != 0) {
            ListRemoveAt(current, i);
            removed = true;
        } else {
            ++i;
        }
    }
    // With nothing remembered, the usual case, there is no pause.
    for (int i = 0; ListRemembered(list, i);) {
        if (pause) pause();
        RecordList* current = list;
        if (!current || i >= current->overflowCount) break;
        if (_access(current->overflow[i], 0) != 0) {
            ForgetAt(current, i);
            removed = true;
        } else {
            ++i;
        }
    }
    if (removed) _heapmin();
}

int ListRemember(RecordList* list, const char* path)
{
    const int length = PathLength(path);
    if (!list || length < 0 || list->overflowCount >= list->capacity) return 0;
    if (!list->overflow) {
        list->overflow = static_cast<char**>(mailAlloc(static_cast<std::size_t>(list->capacity) * sizeof(char*)));
        if (!list->overflow) return 0;
    }
    char* copy = static_cast<char*>(mailAlloc(static_cast<std::size_t>(length) + 1));
    if (!copy) {
        if (list->overflowCount == 0) {
            std::free(list->overflow);
            list->overflow = nullptr;
        }
        return 0;
    }
    std::memcpy(copy, path, static_cast<std::size_t>(length) + 1);
    list->overflow[list->overflowCount++] = copy;
    return 1;
}

int ListRemembers(RecordList* const& list, const char* path, ListPause pause)
{
    const int length = PathLength(path);
    if (length < 0) return 0;
    // With nothing remembered, the usual case, there is no pause.
    for (int i = 0; ListRemembered(list, i); ++i) {
        if (pause) pause();
        RecordList* current = list;
        if (!current || i >= current->overflowCount) return 0;
        const char* remembered = current->overflow[i];
        if (SamePath(remembered, std::strlen(remembered), path, static_cast<size_t>(length))) return 1;
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
    const int length = PathLength(path);
    if (!list || length < 0) return;
    for (int i = 0; i < list->overflowCount; ++i) {
        if (SamePath(list->overflow[i], std::strlen(list->overflow[i]), path, static_cast<size_t>(length))) {
            ForgetAt(list, i);
            return;
        }
    }
}
