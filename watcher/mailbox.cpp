/*
 * A mailbox's settings, list and watch (see mailbox.h); the scan of its
 * directory is in scan.cpp.
 */
#include "mailbox.h"

#include <cstring>

namespace {

MailboxId lastId;

// Two directory texts name the same directory: equal without regard to
// case once a trailing backslash is dropped from each.
bool SameDirectoryText(const char* a, const char* b)
{
    char x[kSettingSize];
    char y[kSettingSize];
    lstrcpynA(x, a, sizeof x);
    lstrcpynA(y, b, sizeof y);
    DropTrailingBackslash(x);
    DropTrailingBackslash(y);
    return lstrcmpiA(x, y) == 0;
}

} // namespace

Mailbox::Mailbox(const MailboxSettings& settings) : id_(++lastId), settings_(settings), known_(ListCreate())
{
    DropTrailingBackslash(settings_.directory);
}

Mailbox::~Mailbox()
{
    known_ = ListDestroy(known_);
}

bool Mailbox::Watches(const MailboxSettings& settings) const
{
    return SameDirectoryText(settings_.directory, settings.directory) &&
           lstrcmpiA(settings_.extension, settings.extension) == 0;
}

void Mailbox::Rename(const MailboxSettings& settings)
{
    std::memcpy(settings_.name, settings.name, sizeof settings_.name);
    std::memcpy(settings_.sound, settings.sound, sizeof settings_.sound);
}
