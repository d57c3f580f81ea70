/*
 * Text helpers on terminated 8-bit strings: tidying white space, picking a
 * field out of a separated list, comparing with a wildcard pattern, and
 * putting a text on the clipboard. None keeps any state. Each walks the
 * text by whole characters of the process's code page, so a trail byte of
 * a double-byte character is never taken for a space, a separator or a
 * pattern's letter.
 */
#include <cstring>

#include "charstep.h"
#include "chores.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

// Space, tab, line feed, vertical tab, form feed, carriage return; bytes
// from 0x80 up are never white space, whatever the code page.
bool IsWhite(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Characters compare as signed bytes, so 0x80 and up sort below ASCII and
// below the end of a string.
signed char Plain(char c)
{
    return static_cast<signed char>(c);
}

signed char Folded(char c)
{
    return static_cast<signed char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
}

int Compare(signed char patternChar, signed char textChar)
{
    return patternChar > textChar ? 1 : (patternChar < textChar ? -1 : 0);
}

// Whether text matches pattern as a whole. Backtracks only to the latest
// "*": an earlier one can never rescue a failure that a later one could
// not, so the work stays proportional to pattern length times text length.
template <typename Fold>
bool WildMatch(const char* pattern, const char* text, Fold fold)
{
    const char* starPattern = nullptr; // just after the latest "*" run
    const char* starText = nullptr;    // where that run's text would resume
    while (*text) {
        if (*pattern == '*') {
            while (*pattern == '*') ++pattern;
            if (!*pattern) return true;
            starPattern = pattern;
            starText = text;
        } else if (*pattern == '?') {
            ++pattern;
            text = KwNextChar(text);
        } else if (*pattern && fold(*pattern) == fold(*text)) {
            ++pattern;
            ++text;
        } else if (starPattern) {
            pattern = starPattern;
            text = starText = KwNextChar(starText);
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return !*pattern;
}

// The sign of a failed comparison: the first difference of the walk; where
// a "*" run is reached, the comparison of the rest of the pattern with the
// text's empty end, which is the last position the run tries.
template <typename Fold>
int WildMismatch(const char* pattern, const char* text, Fold fold)
{
    for (;;) {
        if (*pattern == '*') {
            while (*pattern == '*') ++pattern;
            if (!*pattern) return 0;
            text = "";
        } else if (*pattern == '?') {
            if (!*text) return 1;
            ++pattern;
            text = KwNextChar(text);
        } else {
            if (!*pattern && !*text) return 0;
            const int order = Compare(fold(*pattern), fold(*text));
            if (order) return order;
            ++pattern;
            ++text;
        }
    }
}

template <typename Fold>
int WildCompare(LPCSTR pattern, LPCSTR text, Fold fold)
{
    if (!pattern) pattern = "";
    if (!text) text = "";
    return WildMatch(pattern, text, fold) ? 0 : WildMismatch(pattern, text, fold);
}

// The first separator at a character's start in text, or its terminator.
const char* FindSeparator(const char* text, char separator)
{
    while (*text && *text != separator) text = KwNextChar(text);
    return text;
}

} // namespace

LPSTR WINAPI trim(LPSTR text)
{
    if (!text) return nullptr;
    const char* from = text;
    while (IsWhite(*from)) ++from;
    char* to = text;
    while (*from) {
        if (!IsWhite(*from)) {
            // Whole characters move, never a lead byte without its trail.
            for (int n = KwCharLength(from); n > 0; --n) *to++ = *from++;
            continue;
        }
        if (to[-1] != ' ') *to++ = ' ';
        ++from;
    }
    if (to > text && to[-1] == ' ') --to;
    *to = '\0';
    return text;
}

int WINAPI GetToken(LPCSTR text, LPSTR buffer, int field, char separator)
{
    if (!buffer) return 0;
    buffer[0] = '\0';
    if (!text || field < 0) return 0;
    // Field n starts just after the n-th separator.
    const char* start = text;
    for (int n = 0; n < field; ++n) {
        const char* next = FindSeparator(start, separator);
        if (!separator || !*next) return 0;
        start = next + 1;
    }
    const int length = static_cast<int>(FindSeparator(start, separator) - start);
    memcpy(buffer, start, static_cast<size_t>(length));
    buffer[length] = '\0';
    return length > 0 ? 1 : 0;
}

int WINAPI strcmpwild(LPCSTR pattern, LPCSTR text)
{
    return WildCompare(pattern, text, Plain);
}

int WINAPI strcmpiwild(LPCSTR pattern, LPCSTR text)
{
    return WildCompare(pattern, text, Folded);
}

namespace {

// A movable block holding size bytes of data, unlocked; null when it
// cannot be had.
HGLOBAL BlockOf(const void* data, SIZE_T size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* copy = block ? GlobalLock(block) : nullptr;
    if (!copy) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    memcpy(copy, data, size);
    GlobalUnlock(block);
    return block;
}

// text converted from the process's code page, terminated, in a block of
// its own.
HGLOBAL WideBlockOf(const char* text)
{
    const WideText wide(text);
    return BlockOf(wide.text(), (static_cast<SIZE_T>(wide.length()) + 1) * sizeof(wchar_t));
}

// Hands block to the clipboard, which owns it once it has taken it.
bool Place(UINT format, HGLOBAL block)
{
    if (SetClipboardData(format, block)) return true;
    GlobalFree(block);
    return false;
}

} // namespace

// The text goes as CF_UNICODETEXT beside CF_TEXT: a reader converting
// CF_TEXT would use the clipboard locale's code page, which is not the
// process's own when that is UTF-8.
ClipboardResult AddClipboardText(const char* text)
{
    HGLOBAL narrow = BlockOf(text, strlen(text) + 1);
    HGLOBAL wide = WideBlockOf(text);
    if (!narrow || !wide) {
        if (narrow) GlobalFree(narrow);
        if (wide) GlobalFree(wide);
        return ClipboardResult::NoMemory;
    }
    const bool unicodePlaced = Place(CF_UNICODETEXT, wide);
    const bool textPlaced = Place(CF_TEXT, narrow);
    return unicodePlaced && textPlaced ? ClipboardResult::Placed : ClipboardResult::Refused;
}

int WINAPI CopyTextToClipboard(HWND window, LPCSTR text)
{
    if (!text || !OpenClipboard(window)) return 0;
    // The clipboard is not emptied: what it holds in other formats stays.
    const ClipboardResult result = AddClipboardText(text);
    CloseClipboard();
    // The box comes once the clipboard is free again.
    if (result == ClipboardResult::NoMemory) Comment(window, "KWCtrls", "%s", "Error Allocating Clipboard Buffer");
    return result == ClipboardResult::Placed ? 1 : 0;
}
