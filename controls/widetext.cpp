/*
 * The library's text in GDI's Unicode calls; see widetext.h.
 */
#include "widetext.h"

#include <cstdlib>
#include <cstring>

WideText::WideText(const char* text, int length)
{
    stack_[0] = L'\0';
    if (!text) return;
    if (length < 0) length = static_cast<int>(strlen(text));
    if (length == 0) return;
    // No code page makes more UTF-16 units than bytes: one byte gives at
    // most one unit, and only a four-byte character gives two.
    wchar_t* target = stack_;
    if (length >= kStackChars) {
        heap_ = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
        if (!heap_) return;
        target = heap_;
    }
    const int made = MultiByteToWideChar(CP_ACP, 0, text, length, target, length);
    target[made > 0 ? made : 0] = L'\0';
    text_ = target;
    length_ = made > 0 ? made : 0;
}

WideText::~WideText()
{
    free(heap_);
}

BOOL KwTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, int length)
{
    const WideText wide(text, length);
    return ExtTextOutW(dc, x, y, options, rect, wide.text(), static_cast<UINT>(wide.length()), nullptr);
}

BOOL KwTextExtent(HDC dc, const char* text, int length, SIZE* size)
{
    const WideText wide(text, length);
    return GetTextExtentPoint32W(dc, wide.text(), wide.length(), size);
}

int KwDrawText(HDC dc, const char* text, int length, RECT* rect, UINT format)
{
    const WideText wide(text, length);
    // DrawTextW takes a writable string only for DT_MODIFYSTRING, which is
    // masked out.
    return DrawTextW(dc, wide.text(), wide.length(), rect, format & ~static_cast<UINT>(DT_MODIFYSTRING));
}

BOOL KwFillOpaque(HDC dc, const RECT* rect)
{
    return ExtTextOutW(dc, 0, 0, ETO_OPAQUE, rect, L"", 0, nullptr);
}
