/*
 * Small chores that several of the library's files share.
 */
#ifndef KW_CHORES_H
#define KW_CHORES_H

#include <windows.h>

// A zero-filled movable global block, locked for as long as this lives.
class LockedGlobalBlock {
public:
    explicit LockedGlobalBlock(SIZE_T size)
        : handle_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)),
          text_(handle_ ? static_cast<char*>(GlobalLock(handle_)) : nullptr),
          size_(size) {}
    ~LockedGlobalBlock()
    {
        if (text_) GlobalUnlock(handle_);
        if (handle_) GlobalFree(handle_);
    }
    LockedGlobalBlock(const LockedGlobalBlock&) = delete;
    LockedGlobalBlock& operator=(const LockedGlobalBlock&) = delete;

    char* text() const { return text_; }
    int size() const { return static_cast<int>(size_); }

private:
    HGLOBAL handle_;
    char* text_;
    SIZE_T size_;
};

enum class ClipboardResult { Placed, Refused, NoMemory };

// Adds text as CF_TEXT to the clipboard, which the caller has opened and
// closes; nothing else on the clipboard is removed. The text goes in a block
// of its own, which the clipboard owns once it has taken it.
ClipboardResult AddClipboardText(const char* text);

#endif
