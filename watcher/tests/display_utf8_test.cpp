// Header values as Tidbell32 shows them in its own code page, UTF-8 (this
// program carries the same manifest): mail in many scripts and charsets
// shows as written, legacy 8-bit text reads in the user's locale, controls
// and reordering marks stay out, and every cut falls between characters.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"

namespace {

// What HeaderValueForDisplay writes into a buffer of size bytes, checking
// that it stays inside it.
std::string Shown(const std::string& value, int size = 4096)
{
    std::vector<char> out(static_cast<size_t>(size) + 8, '#');
    const int length = HeaderValueForDisplay(value.c_str(), out.data(), size);
    EXPECT_LT(length, size);
    for (size_t i = static_cast<size_t>(size); i < out.size(); ++i) EXPECT_EQ(out[i], '#') << value;
    return std::string(out.data(), static_cast<size_t>(length));
}

bool IsWholeUtf8(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

struct Case {
    const char* value;
    const char* shown;
};

const Case kCases[] = {
    // Cyrillic.
    {"=?koi8-r?B?79Teo9Qg2sEgzcHS1CDHz9TP1w==?=", u8"Отчёт за март готов"},
    {"\"=?windows-1251?Q?=C4=EC=E8=F2=F0=E8=E9_=C8=E2=E0=ED=EE=E2?=\" <d@example.ru>",
     u8"\"Дмитрий Иванов\" <d@example.ru>"},
    {"Re: =?iso-8859-5?B?v+DY0tXi?=", u8"Re: Привет"},
    // Greek, Polish, Czech, Turkish.
    {"=?iso-8859-7?B?yuHr5+zd8eEg8+Hy?=", u8"Καλημέρα σας"},
    {"=?iso-8859-2?B?o/NkvCwgZ+q2?=", u8"Łódź, gęś"},
    {"=?windows-1250?B?UPjtbGmaIJ5sdZ1vdehr/SBr+fI=?=", u8"Příliš žluťoučký kůň"},
    {"=?iso-8859-9?B?3nVsZSBJ/v1rLCDdem1pcg==?=", u8"Şule Işık, İzmir"},
    // Hebrew and Arabic.
    {"=?windows-1255?B?+ezl7Q==?=", u8"שלום"},
    {"=?iso-8859-8?B?8uH46fo=?=", u8"עברית"},
    {"=?windows-1256?B?49HNyMcgyN/j?=", u8"مرحبا بكم"},
    // Chinese: GB2312, GBK, GB18030 (its two-byte part), Big5.
    {"=?gb2312?B?1tDOxNPKvP4=?=", u8"中文邮件"},
    {"=?gbk?B?08q8/tLRy8207w==?=", u8"邮件已送达"},
    {"=?gb18030?B?u+HS6c2o1qo=?=", u8"会议通知"},
    {"=?big5?B?pKSk5bZspfM=?=", u8"中文郵件"},
    // Japanese: ISO-2022-JP, Shift_JIS, EUC-JP.
    {"=?iso-2022-jp?B?GyRCRnxLXDhsJE4lYSE8JWsbKEI=?=", u8"日本語のメール"},
    {"=?shift_jis?B?jlKTY5G+mFk=?=", u8"山田太郎"},
    {"=?euc-jp?B?svG1xKTOt+8=?=", u8"会議の件"},
    // Korean.
    {"=?euc-kr?B?x9Gxub7u?=", u8"한국어"},
    {"=?ks_c_5601-1987?B?vsiz58fPvLy/5A==?=", u8"안녕하세요"},
    // Thai.
    {"=?tis-620?B?wNLJ0uS3wg==?=", u8"ภาษาไทย"},
    {"=?windows-874?B?ysfRyrTV?=", u8"สวัสดี"},
    // Vietnamese; windows-1258 gives the tone mark as a combining character.
    {"=?utf-8?Q?Ti=E1=BA=BFng_Vi=E1=BB=87t?=", u8"Tiếng Việt"},
    {"=?windows-1258?B?Vmnq8nQ=?=", u8"Vi\u00EA\u0323t"},
    // Devanagari, Armenian, Georgian: raw UTF-8 and words.
    {u8"नमस्ते", u8"नमस्ते"},
    {"=?utf-8?B?1LLVodaA1aXWgg==?=", u8"Բարեւ"},
    {u8"გამარჯობა", u8"გამარჯობა"},
    // Emoji; the joiner of a sequence stays.
    {"=?UTF-8?B?8J+OiSBZb3VyIG9yZGVyIGhhcyBzaGlwcGVkIPCfk6Y=?=", u8"🎉 Your order has shipped 📦"},
    {u8"👩\u200D💻 Dev", u8"👩\u200D💻 Dev"},
    // Latin-10, which the system lacks.
    {"=?iso-8859-16?B?qnRlZmFuIN5lcGW6?=", u8"Ștefan Țepeș"},
    // Raw 8-bit text that is not UTF-8 reads in the user's legacy code page
    // (1252 in the tests' en-US prefix), not as UTF-8.
    {"Caf\xE9 cr\xE8me", u8"Café crème"},
    {"=?iso-8859-1?Q?Andr=E9?= \x80 5", u8"André € 5"},
    // C1 controls are spaces, like C0.
    {"=?utf-8?Q?a=C2=85b?= x\xC2\x9Fy", "a b x y"},
    {"=?iso-8859-1?Q?c=85d?=", "c d"},
    // Bidirectional embeddings, overrides and isolates go.
    {"=?utf-8?Q?=E2=80=AEmoc.knab@?= <x@example.com>", "moc.knab@ <x@example.com>"},
    {u8"a\u202Ab\u202Bc\u202Cd\u202De\u2066f\u2067g\u2068h\u2069i", "abcdefghi"},
};

} // namespace

TEST(HeaderDisplayUtf8, ShowsEveryScriptAsWritten)
{
    ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "the manifest makes this a UTF-8 process";
    for (const Case& c : kCases) EXPECT_EQ(Shown(c.value), c.shown) << c.value;
}

// At every buffer size, the shown text and the menu text with doubled
// ampersands are a start of the whole, cut between whole characters (of two
// to four bytes) and never inside a "&&" pair.
TEST(HeaderDisplayUtf8, CutsBetweenWholeCharactersAtEverySize)
{
    const std::string whole = u8"Дмитрий & 中文 👩\u200D💻 ภาษา";
    std::string doubled;
    for (char c : whole) doubled += c == '&' ? std::string("&&") : std::string(1, c);
    for (int size = 1; size <= static_cast<int>(doubled.size()) + 1; ++size) {
        const std::string shown = Shown(whole, size);
        EXPECT_EQ(shown, whole.substr(0, shown.size())) << size;
        EXPECT_TRUE(IsWholeUtf8(shown)) << size;
        EXPECT_GE(shown.size() + 4, std::min<size_t>(whole.size() + 1, static_cast<size_t>(size))) << size;

        std::vector<char> menu(static_cast<size_t>(size));
        const int length = DoubleAmpersands(whole.c_str(), menu.data(), size);
        const std::string item(menu.data(), static_cast<size_t>(length));
        EXPECT_EQ(item, doubled.substr(0, item.size())) << size;
        EXPECT_TRUE(IsWholeUtf8(item)) << size;
        EXPECT_EQ(std::count(item.begin(), item.end(), '&') % 2, 0) << size;
    }
}
