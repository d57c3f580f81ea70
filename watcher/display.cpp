/*
 * Header values as they are shown: MIME encoded words (RFC 2047), raw UTF-8
 * and legacy 8-bit text, converted to the ANSI code page for the screen
 * (UTF-8 in a process whose manifest asks for it, so every script shows).
 *
 * Charset names are resolved by MLang (IMultiLanguage2::GetCharsetInfo),
 * the platform's own charset database, created on first need and kept for
 * the life of the process; a small cache spares it the same name twice.
 */
#include "display.h"

#include <windows.h>
#include <mlang.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "charstep.h"

namespace {

// IMultiLanguage2's interface id; the import libraries carry only the class.
const IID kIIDMultiLanguage2 = {0xdccfc164, 0x2b38, 0x11d2, {0xb7, 0xec, 0x00, 0xc0, 0x4f, 0x8f, 0x5d, 0x9a}};

// Longest charset name taken (RFC 2047 keeps a whole word within 75).
constexpr int kCharsetNameSize = 64;

// Charsets that MLang does not know everywhere (Wine's lacks these seven).
// EUC-KR and the Thai charsets read as their Windows supersets; ISO-8859-10,
// -14 and -16 have no Windows code page, so their upper halves are tabled
// here under the numbers Windows would give them.
constexpr UINT kLatin6 = 28600;
constexpr UINT kLatin8 = 28604;
constexpr UINT kLatin10 = 28606;
constexpr struct {
    const char* name;
    UINT codePage;
} kFallbackCharsets[] = {
    {"euc-kr", 949},         {"iso-8859-11", 874},     {"tis-620", 874},         {"windows-874", 874},
    {"iso-8859-10", kLatin6}, {"iso-8859-14", kLatin8}, {"iso-8859-16", kLatin10},
};
// GB18030, where the system has no converter for it (Wine), reads as GBK:
// its two-byte part, which holds the Chinese text mail carries.
constexpr UINT kGB18030 = 54936;
constexpr UINT kGBK = 936;
// Characters of bytes 0xA0 to 0xFF.
constexpr WCHAR kLatin6High[96] = {
    0x00A0, 0x0104, 0x0112, 0x0122, 0x012A, 0x0128, 0x0136, 0x00A7, 0x013B, 0x0110, 0x0160, 0x0166,
    0x017D, 0x00AD, 0x016A, 0x014A, 0x00B0, 0x0105, 0x0113, 0x0123, 0x012B, 0x0129, 0x0137, 0x00B7,
    0x013C, 0x0111, 0x0161, 0x0167, 0x017E, 0x2015, 0x016B, 0x014B, 0x0100, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x012E, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x0116, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x0145, 0x014C, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x0168, 0x00D8, 0x0172, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x0101, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x012F,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x0117, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x0146, 0x014D, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x0169, 0x00F8, 0x0173, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x0138,
};
constexpr WCHAR kLatin8High[96] = {
    0x00A0, 0x1E02, 0x1E03, 0x00A3, 0x010A, 0x010B, 0x1E0A, 0x00A7, 0x1E80, 0x00A9, 0x1E82, 0x1E0B,
    0x1EF2, 0x00AD, 0x00AE, 0x0178, 0x1E1E, 0x1E1F, 0x0120, 0x0121, 0x1E40, 0x1E41, 0x00B6, 0x1E56,
    0x1E81, 0x1E57, 0x1E83, 0x1E60, 0x1EF3, 0x1E84, 0x1E85, 0x1E61, 0x00C0, 0x00C1, 0x00C2, 0x00C3,
    0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0174, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x1E6A, 0x00D8, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x00DD, 0x0176, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0175, 0x00F1, 0x00F2, 0x00F3,
    0x00F4, 0x00F5, 0x00F6, 0x1E6B, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x0177, 0x00FF,
};
constexpr WCHAR kLatin10High[96] = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
    0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

// The table of a tabled code page's upper half, or null.
const WCHAR* TabledHighHalf(UINT codePage)
{
    if (IsValidCodePage(codePage)) return nullptr;
    switch (codePage) {
    case kLatin6:  return kLatin6High;
    case kLatin8:  return kLatin8High;
    case kLatin10: return kLatin10High;
    default:       return nullptr;
    }
}

// The code page that raw 8-bit text which is not UTF-8 is read in. In a
// legacy process that is its own ANSI code page, as always; a UTF-8 process
// reads it in the legacy ANSI code page of the user's locale, the one such
// mail was written in on this system (1252 where the locale has none).
UINT LegacyCodePage()
{
    if (GetACP() != CP_UTF8) return CP_ACP;
    static UINT codePage = 0;
    if (!codePage) {
        char number[8] = {};
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, number, sizeof number);
        codePage = static_cast<UINT>(std::atoi(number));
        if (codePage == CP_ACP || codePage == CP_UTF8 || !IsValidCodePage(codePage)) codePage = 1252;
    }
    return codePage;
}

// Format characters that reorder what follows them: the bidirectional
// embeddings and overrides (U+202A to U+202E) and isolates (U+2066 to
// U+2069). Shown, they can make "moc.knab@" read as a bank's address.
bool IsBidiControl(wchar_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsControl(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

IMultiLanguage2* MultiLanguage()
{
    static IMultiLanguage2* multiLanguage = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        // S_FALSE or RPC_E_CHANGED_MODE when the thread has COM already;
        // either way the object can be made. The thread keeps COM, as the
        // object is kept.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER, kIIDMultiLanguage2,
                                    reinterpret_cast<void**>(&multiLanguage))))
            multiLanguage = nullptr;
    }
    return multiLanguage;
}

// The code page to decode a charset's bytes with; 0 when it is unknown.
UINT CharsetCodePage(const std::string& name)
{
    struct Entry {
        char name[kCharsetNameSize];
        UINT codePage;
    };
    static Entry cache[16];
    static int next = 0;
    for (const Entry& e : cache)
        if (e.name[0] && lstrcmpiA(e.name, name.c_str()) == 0) return e.codePage;

    UINT codePage = 0;
    if (IMultiLanguage2* ml = MultiLanguage()) {
        WCHAR wide[kCharsetNameSize] = {};
        MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, kCharsetNameSize - 1);
        if (BSTR charset = SysAllocString(wide)) {
            MIMECSETINFO info = {};
            // The Internet encoding is the one mail uses (iso-2022-jp's
            // escapes, say), where the code page is its Windows family.
            if (ml->GetCharsetInfo(charset, &info) == S_OK)
                codePage = info.uiInternetEncoding ? info.uiInternetEncoding : info.uiCodePage;
            SysFreeString(charset);
        }
    }
    for (const auto& f : kFallbackCharsets)
        if (!codePage && lstrcmpiA(f.name, name.c_str()) == 0) codePage = f.codePage;
    Entry& slot = cache[next];
    next = (next + 1) % 16;
    lstrcpynA(slot.name, name.c_str(), kCharsetNameSize);
    slot.codePage = codePage;
    return codePage;
}

// Bytes of a charset in UTF-16; false when they do not convert.
bool BytesToWide(UINT codePage, const std::string& bytes, std::wstring& wide)
{
    wide.clear();
    if (bytes.empty()) return true;
    // Never more characters than bytes, in any of these encodings.
    std::wstring buffer(bytes.size() + 1, L'\0');
    int length = 0;
    if (codePage == kGB18030 && !IsValidCodePage(kGB18030)) codePage = kGBK;
    if (const WCHAR* high = TabledHighHalf(codePage)) {
        for (char c : bytes) {
            const BYTE b = static_cast<BYTE>(c);
            buffer[static_cast<size_t>(length++)] = b >= 0xA0 ? high[b - 0xA0] : b;
        }
    } else if (IsValidCodePage(codePage)) {
        length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &buffer[0],
                                     static_cast<int>(buffer.size()));
    } else if (IMultiLanguage2* ml = MultiLanguage()) {
        DWORD mode = 0;
        UINT source = static_cast<UINT>(bytes.size());
        UINT written = static_cast<UINT>(buffer.size());
        if (ml->ConvertStringToUnicode(&mode, codePage, const_cast<CHAR*>(bytes.data()), &source, &buffer[0],
                                       &written) == S_OK && written <= buffer.size())
            length = static_cast<int>(written);
    }
    if (length <= 0) return false;
    wide.assign(buffer, 0, static_cast<size_t>(length));
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int Base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// "B" text; padding may be left out, but where it is there it must be right.
bool DecodeBase64(const char* text, size_t length, std::string& bytes)
{
    size_t digits = length;
    while (digits > 0 && text[digits - 1] == '=') --digits;
    if (digits % 4 == 1 || length - digits > 2) return false;
    if (digits != length && length % 4 != 0) return false;
    unsigned bits = 0;
    int held = 0;
    for (size_t i = 0; i < digits; ++i) {
        const int d = Base64Digit(text[i]);
        if (d < 0) return false;
        bits = (bits << 6) | static_cast<unsigned>(d);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes += static_cast<char>((bits >> held) & 0xFF);
        }
    }
    return true;
}

// "Q" text: '_' is a space and "=XX" a byte; any other '=' spoils the word.
bool DecodeQ(const char* text, size_t length, std::string& bytes)
{
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (text[i] == '=') {
            const int high = i + 2 < length ? HexDigit(text[i + 1]) : -1;
            const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
            if (low < 0) return false;
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsCharsetChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+-^_`{|}~", c) != nullptr;
}

// Decodes the encoded word that starts at word ("=?"); returns its end, or
// null when it is not a well-formed word that decodes.
const char* DecodeWord(const char* word, std::wstring& text)
{
    const char* charset = word + 2;
    const char* p = charset;
    while (*p && IsCharsetChar(*p) && p - charset < kCharsetNameSize) ++p;
    if (*p != '?' || p == charset || p - charset >= kCharsetNameSize) return nullptr;
    // An RFC 2231 language suffix ("utf-8*en") says nothing about the bytes.
    std::string name(charset, static_cast<size_t>(p - charset));
    name.erase(std::min(name.find('*'), name.size()));
    const char encoding = p[1];
    if (!std::strchr("BbQq", encoding) || encoding == '\0' || p[2] != '?') return nullptr;
    const char* encoded = p + 3;
    const char* end = encoded;
    while (*end && *end != '?' && !IsBlank(*end)) ++end;
    if (end[0] != '?' || end[1] != '=') return nullptr;

    std::string bytes;
    const size_t length = static_cast<size_t>(end - encoded);
    const bool decoded = (encoding == 'B' || encoding == 'b') ? DecodeBase64(encoded, length, bytes)
                                                              : DecodeQ(encoded, length, bytes);
    if (!decoded || name.empty()) return nullptr;
    const UINT codePage = CharsetCodePage(name);
    if (!codePage || !BytesToWide(codePage, bytes, text)) return nullptr;
    return end + 2;
}

// Ordinary text: UTF-8 when it has 8-bit bytes and is valid UTF-8, else the
// legacy code page.
void AppendText(const std::string& bytes, std::wstring& shown)
{
    if (bytes.empty()) return;
    bool eightBit = false;
    for (char c : bytes) eightBit = eightBit || (static_cast<unsigned char>(c) & 0x80);
    std::wstring buffer(bytes.size() + 1, L'\0');
    const int size = static_cast<int>(bytes.size());
    int length = eightBit ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, &buffer[0],
                                                static_cast<int>(buffer.size()))
                          : 0;
    if (length <= 0) length = MultiByteToWideChar(LegacyCodePage(), 0, bytes.data(), size, &buffer[0], size + 1);
    if (length > 0) shown.append(buffer, 0, static_cast<size_t>(length));
}

// Copies text into out (size bytes, terminated), doubling each '&' when
// asked, and stops before a character (double-byte or UTF-8 alike), or a
// doubled '&', that does not fit whole. Returns the length.
int CopyWhole(const char* text, char* out, int size, bool doubleAmpersands)
{
    if (!out || size <= 0) return 0;
    const UINT codePage = GetACP();
    int n = 0;
    for (const char* p = text ? text : ""; *p;) {
        const int length = KwCharLength(codePage, p);
        const bool doubled = doubleAmpersands && *p == '&';
        if (n + length + (doubled ? 1 : 0) > size - 1) break;
        for (int i = 0; i < length; ++i) out[n++] = p[i];
        if (doubled) out[n++] = '&';
        p += length;
    }
    out[n] = '\0';
    return n;
}

} // namespace

int HeaderValueForDisplay(const char* value, char* out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = '\0';
    if (!value) return 0;

    std::wstring shown;
    std::string plain; // ordinary text since the last encoded word
    bool afterWord = false;
    const char* p = value;
    while (*p) {
        // Mailers put words next to white space, parentheses, the quotes
        // of a display name and other words, never inside ordinary text.
        const bool starts = p[0] == '=' && p[1] == '?' &&
                            (p == value || IsBlank(p[-1]) || p[-1] == '(' || p[-1] == '"' ||
                             (afterWord && plain.empty()));
        std::wstring word;
        const char* end = starts ? DecodeWord(p, word) : nullptr;
        if (end && (*end == '\0' || IsBlank(*end) || *end == ')' || *end == '"' || (end[0] == '=' && end[1] == '?'))) {
            // Only white space between two words: it goes.
            if (afterWord && plain.find_first_not_of(" \t\r\n") == std::string::npos) plain.clear();
            AppendText(plain, shown);
            plain.clear();
            shown += word;
            afterWord = true;
            p = end;
            continue;
        }
        plain += *p++;
        if (!IsBlank(plain.back())) afterWord = false;
    }
    AppendText(plain, shown);

    // A field shows on one line and in the order it was written: control
    // characters (C0, DEL and C1), an encoded NUL among them, show as spaces
    // and nothing ends the text early; bidirectional controls go. Joiners
    // stay, so emoji sequences keep their shape.
    shown.erase(std::remove_if(shown.begin(), shown.end(), IsBidiControl), shown.end());
    for (wchar_t& c : shown)
        if (IsControl(c)) c = L' ';
    if (shown.empty()) return 0;

    // '?' for what the code page cannot show; a best-fit look-alike would be
    // a different character.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = utf8 ? nullptr : "?";
    const int wideLength = static_cast<int>(shown.size());
    const int needed = WideCharToMultiByte(CP_ACP, flags, shown.data(), wideLength, nullptr, 0, fallback, nullptr);
    if (needed <= 0) return 0;
    std::string ansi(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, flags, shown.data(), wideLength, &ansi[0], needed, fallback, nullptr);
    return CopyWhole(ansi.c_str(), out, size, false);
}

int DoubleAmpersands(const char* text, char* out, int size)
{
    return CopyWhole(text, out, size, true);
}
