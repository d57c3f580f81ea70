/*
 * Character boundaries of 8-bit text; see charstep.h.
 */
#include "charstep.h"

int KwCharLength(UINT codePage, const char* text)
{
    if (!text || !*text) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return 1;
    if (codePage == CP_UTF8) {
        // The length the lead byte announces, when every continuation byte
        // is there and the sequence is a real character; a stray
        // continuation byte, a lead byte that no character starts with
        // (0xC0, 0xC1, 0xF5 and up), an overlong form, a surrogate or a cut
        // sequence is one byte, as the system's converter reads it.
        const int length = lead >= 0xF0 && lead <= 0xF4   ? 4
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xC2 && lead <= 0xDF ? 2
                                                          : 1;
        if (length == 1) return 1;
        const auto second = static_cast<unsigned char>(text[1]);
        const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high) return 1;
        for (int i = 2; i < length; ++i)
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
        return length;
    }
    return IsDBCSLeadByteEx(codePage, lead) && text[1] ? 2 : 1;
}

int KwCharLength(const char* text)
{
    return KwCharLength(GetACP(), text);
}

const char* KwNextChar(const char* text)
{
    return text ? text + KwCharLength(text) : text;
}

int KwWholeLength(UINT codePage, const char* text, int limit)
{
    int length = 0;
    for (int step; (step = KwCharLength(codePage, text + length)) > 0 && length + step <= limit;) length += step;
    return length;
}

int KwWholeLength(const char* text, int limit)
{
    return text ? KwWholeLength(GetACP(), text, limit) : 0;
}

int KwCopyWhole(char* out, const char* text, int size)
{
    if (!out || size <= 0) return 0;
    const int length = text ? KwWholeLength(text, size - 1) : 0;
    for (int i = 0; i < length; ++i) out[i] = text[i];
    out[length] = '\0';
    return length;
}
