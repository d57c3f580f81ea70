/*
 * MailItem: a message's header fields as the lists keep them, in one heap
 * block that holds what the fields take rather than what a MailRecord
 * could hold, shared by reference among the lists that hold the message.
 */
#include <cstdlib>
#include <cstring>

#include "mail.h"

namespace {

// The length of a field: up to its terminator, or all of it when a field
// came without one (the item's copy is then terminated).
size_t FieldLength(const char* field, size_t size)
{
    const void* end = std::memchr(field, '\0', size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : size;
}

} // namespace

MailItem* MailItemMake(const MailRecord& record, MailboxId mailbox)
{
    const char* const fields[] = {record.from,    record.fromName,     record.to,
                                  record.date,    record.organization, record.subject,
                                  record.priority, record.path};
    const size_t sizes[] = {sizeof record.from, sizeof record.fromName,     sizeof record.to,
                            sizeof record.date, sizeof record.organization, sizeof record.subject,
                            sizeof record.priority, sizeof record.path};
    constexpr int kFields = sizeof fields / sizeof fields[0];
    size_t lengths[kFields];
    size_t total = sizeof(MailItem);
    for (int i = 0; i < kFields; ++i) {
        lengths[i] = FieldLength(fields[i], sizes[i]);
        total += lengths[i] + 1;
    }

    auto* item = static_cast<MailItem*>(mailAlloc(total));
    if (!item) return nullptr;
    char* text = reinterpret_cast<char*>(item + 1);
    const char* placed[kFields];
    for (int i = 0; i < kFields; ++i) {
        std::memcpy(text, fields[i], lengths[i]);
        text[lengths[i]] = '\0';
        placed[i] = text;
        text += lengths[i] + 1;
    }
    item->references = 1;
    item->mailbox = mailbox;
    item->pathLength = static_cast<int>(lengths[7]);
    item->from = placed[0];
    item->fromName = placed[1];
    item->to = placed[2];
    item->date = placed[3];
    item->organization = placed[4];
    item->subject = placed[5];
    item->priority = placed[6];
    item->path = placed[7];
    return item;
}

MailItem* MailItemHold(MailItem* item)
{
    if (item) ++item->references;
    return item;
}

void MailItemRelease(MailItem* item)
{
    if (!item || --item->references > 0) return;
    // Cleared before it goes back to the heap: header text does not linger
    // in freed memory.
    const size_t size = static_cast<size_t>(item->path + item->pathLength + 1 - reinterpret_cast<char*>(item));
    std::memset(item, 0, size);
    std::free(item);
}
