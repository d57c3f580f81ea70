/*
 * Text of the process's ANSI code page painted and measured through GDI's
 * and USER's Unicode calls. The "A" text calls of GDI convert with the
 * system's code page, not the process's own (which may be UTF-8), so the
 * library converts once here with CP_ACP and never calls them. Lengths are
 * in bytes of the 8-bit text, as the library's callers count them; a cut
 * made by a caller must fall between whole characters (charstep.h).
 */
#ifndef KW_WIDETEXT_H
#define KW_WIDETEXT_H

#include <windows.h>

// text (length bytes, or up to its terminator when length < 0) converted
// from CP_ACP. Short texts stay on the stack; longer ones go to the heap.
// A text that cannot be converted (or a heap that refuses) reads empty.
class WideText {
public:
    explicit WideText(const char* text, int length = -1);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    const wchar_t* text() const { return text_; }
    int length() const { return length_; }

private:
    static constexpr int kStackChars = 128;
    wchar_t stack_[kStackChars];
    wchar_t* heap_ = nullptr;
    const wchar_t* text_ = stack_;
    int length_ = 0;
};

// ExtTextOutW of text (length bytes, < 0: to the terminator).
BOOL KwTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, int length = -1);

// GetTextExtentPoint32W of text.
BOOL KwTextExtent(HDC dc, const char* text, int length, SIZE* size);

// DrawTextW of text; formats that write the text back (DT_MODIFYSTRING) are
// not supported.
int KwDrawText(HDC dc, const char* text, int length, RECT* rect, UINT format);

// Fills rect with the context's background colour (an opaque ExtTextOutW
// of no text).
BOOL KwFillOpaque(HDC dc, const RECT* rect);

#endif
