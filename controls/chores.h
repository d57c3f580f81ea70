/*
 * Small chores that several of the library's files share.
 */
#ifndef KW_CHORES_H
#define KW_CHORES_H

#include <windows.h>

#include <cstdarg>

#include "charstep.h"

// Bytes a buffer holds beyond the longest text it keeps, so that a text
// formatted or read into it and cut there still holds whole the character
// that crosses the limit; EndWhole then leaves that character out.
constexpr int kCutSlack = 4;

// Ends text after at most limit bytes, between whole characters. The text
// must run at least kCutSlack bytes past limit, or end before it.
inline int EndWhole(char* text, int limit)
{
    const int length = KwWholeLength(text, limit);
    text[length] = '\0';
    return length;
}

// "Arial" of the given size in points for a device of the given vertical
// resolution, in the given weight; the caller owns the font.
HFONT CreateArialFont(int points, int dotsPerInch, int weight);

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

// Selects a GDI object into a context for the life of the guard and puts
// the previous one back; a null context or object selects nothing. Declare
// it after the guard that owns the object, so the object leaves the context
// before it is deleted.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    bool ok() const { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A solid one-pixel pen in a system colour, read when it is made, deleted
// with the guard.
class SystemPen {
public:
    explicit SystemPen(int colorIndex) : pen_(CreatePen(PS_SOLID, 1, GetSysColor(colorIndex))) {}
    ~SystemPen()
    {
        if (pen_) DeleteObject(pen_);
    }
    SystemPen(const SystemPen&) = delete;
    SystemPen& operator=(const SystemPen&) = delete;
    HPEN get() const { return pen_; }

private:
    HPEN pen_;
};

// A one-pixel solid pen selected into a context until the guard ends, then
// deleted.
class SelectedPen {
public:
    SelectedPen(HDC dc, COLORREF color) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, color))
    {
        old_ = SelectObject(dc_, pen_);
    }
    ~SelectedPen()
    {
        SelectObject(dc_, old_);
        DeleteObject(pen_);
    }
    SelectedPen(const SelectedPen&) = delete;
    SelectedPen& operator=(const SelectedPen&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ old_;
};

// A window's data record, a movable global block whose handle lives at
// index 0 of the window's extra bytes, locked for the life of the guard.
// Empty when the window has no block.
template <typename T>
class LockedWindowBlock {
public:
    explicit LockedWindowBlock(HGLOBAL block)
        : block_(block), data_(block ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
    explicit LockedWindowBlock(HWND window)
        : LockedWindowBlock(reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, 0))) {}
    ~LockedWindowBlock()
    {
        if (data_) GlobalUnlock(block_);
    }
    LockedWindowBlock(const LockedWindowBlock&) = delete;
    LockedWindowBlock& operator=(const LockedWindowBlock&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    T* get() const { return data_; }
    T* operator->() const { return data_; }
    T& operator*() const { return *data_; }

private:
    HGLOBAL block_;
    T* data_;
};

// Answers WM_PAINT: begins painting, hands the context to draw(window, dc)
// unless there is none, and ends painting, which validates the window either
// way (or WM_PAINT would come back for ever).
template <typename Draw>
void PaintWindow(HWND window, Draw draw)
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    if (dc) draw(window, dc);
    EndPaint(window, &ps);
}

// Puts made in slot and deletes what slot held. The new font is made
// before the old one goes, so that the two never share a handle.
inline void ReplaceFont(HFONT& slot, HFONT made)
{
    if (slot) DeleteObject(slot);
    slot = made;
}

// Formats into buffer (size bytes, kCutSlack of them slack) and ends the
// text between whole characters within size - 1 - kCutSlack bytes: with
// the C run time's rules (floating point included), or with Windows' own
// (wvnsprintf, no floating point).
void FormatC(char* buffer, int size, const char* format, va_list args);
void FormatWindows(char* buffer, int size, const char* format, va_list args);

enum class ClipboardResult { Placed, Refused, NoMemory };

// Adds text as CF_TEXT and as CF_UNICODETEXT (converted from CP_ACP) to the
// clipboard, which the caller has opened and closes; nothing else on the
// clipboard is removed. Each goes in a block of its own, which the
// clipboard owns once it has taken it.
ClipboardResult AddClipboardText(const char* text);

#endif
