// Header values as the popup and "Quick View" show them, in code page 1252:
// encoded words, raw UTF-8, bad input, bounds and doubled ampersands.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"

namespace {

std::string Shown(const std::string& value, int size = 4096)
{
    std::vector<char> out(static_cast<size_t>(size) + 16, '#');
    const int length = HeaderValueForDisplay(value.c_str(), out.data(), size);
    // Within the buffer, terminated, nothing written past it.
    EXPECT_LT(length, size);
    EXPECT_EQ(out[static_cast<size_t>(length)], '\0');
    for (size_t i = static_cast<size_t>(size); i < out.size(); ++i) EXPECT_EQ(out[i], '#') << value.substr(0, 40);
    return std::string(out.data(), static_cast<size_t>(length));
}

struct Case {
    const char* value;
    const char* shown;
};

const Case kCases[] = {
    // RFC 2047's own examples (section 8).
    {"=?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>", "Keith Moore <moore@cs.utk.edu>"},
    {"=?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>", "Keld J\xF8rn Simonsen <keld@dkuug.dk>"},
    {"=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>", "Andr\xE9 Pirard <PIRARD@vm1.ulg.ac.be>"},
    {"=?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?= =?ISO-8859-2?B?dSB1bmRlcnN0YW5kIHRoZSBleGFtcGxlLg==?=",
     "If you can read this you understand the example."},
    {"(=?ISO-8859-1?Q?a?=)", "(a)"},
    {"(=?ISO-8859-1?Q?a?= b)", "(a b)"},
    {"(=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=)", "(ab)"},
    {"(=?ISO-8859-1?Q?a?=  \t =?ISO-8859-1?Q?b?=)", "(ab)"},
    {"(=?ISO-8859-1?Q?a_b?=)", "(a b)"},
    {"(=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=)", "(a b)"},
    // Letter case, the language suffix, the places mailers put words.
    {"=?UTF-8?Q?Caf=C3=A9_au_lait?=", "Caf\xE9 au lait"},
    {"=?utf-8*en?q?Caf=c3=a9?=", "Caf\xE9"},
    {"=?utf-8?b?Q2Fmw6k?=", "Caf\xE9"},
    {"\"=?UTF-8?Q?Andr=C3=A9?=\" <a@example.org>", "\"Andr\xE9\" <a@example.org>"},
    {"Re: =?utf-8?Q?a?= and =?utf-8?Q?b?=", "Re: a and b"},
    {"=?utf-8?Q?a?==?utf-8?Q?b?=", "ab"},
    {"=?iso-8859-15?Q?=A4_5?=", "\x80 5"},
    {"=?iso-8859-10?Q?=C1=BD?=", "\xC1?"},
    // Raw 8-bit text: UTF-8 when valid, else the ANSI code page.
    {"Caf\xC3\xA9", "Caf\xE9"},
    {"Caf\xE9 cr\xE8me", "Caf\xE9 cr\xE8me"},
    // What 1252 cannot show is '?', never a look-alike ("L" for U+0141).
    {"=?UTF-8?Q?=C5=81=C3=B3d=C5=BA?=", "?\xF3" "d?"},
    // Not words, or words that do not decode: shown as they stand.
    {"x=?utf-8?Q?a?=", "x=?utf-8?Q?a?="},
    {"=?x-no-such-charset?Q?a?=", "=?x-no-such-charset?Q?a?="},
    {"=?utf-8?X?a?=", "=?utf-8?X?a?="},
    {"=?utf-8?Q?a=Zb?=", "=?utf-8?Q?a=Zb?="},
    {"=?utf-8?Q?a=?=", "=?utf-8?Q?a=?="},
    {"=?utf-8?B?SGVsbG8*?=", "=?utf-8?B?SGVsbG8*?="},
    {"=?utf-8?B?SGVsb?=", "=?utf-8?B?SGVsb?="},
    {"=?utf-8?B?SGVsbG8=x?=", "=?utf-8?B?SGVsbG8=x?="},
    {"=?utf-8?B?SGVsbG8===?=", "=?utf-8?B?SGVsbG8===?="},
    {"=?utf-8?Q?abc", "=?utf-8?Q?abc"},
    {"=?utf-8?Q", "=?utf-8?Q"},
    {"=?", "=?"},
    {"=??Q?a?=", "=??Q?a?="},
    // An encoded NUL or line break shows as a space and ends nothing.
    {"=?utf-8?Q?a=00b=0Ac?= d", "a b c d"},
    {"=?utf-8?B?AAA=?=x", "=?utf-8?B?AAA=?=x"},
    {"=?utf-8?B?AAA=?= x", "   x"},
};

} // namespace

TEST(HeaderDisplay, DecodesWhatMailersSendAndLeavesTheRestAsItStands)
{
    for (const Case& c : kCases) EXPECT_EQ(Shown(c.value), c.shown) << c.value;
}

TEST(HeaderDisplay, ResolvesTheCommonCharsetsThroughTheSystem)
{
    const char* const names[] = {"us-ascii", "utf-8", "windows-1250", "windows-1251", "windows-1252",
                                 "windows-1253", "windows-1254", "windows-1255", "windows-1256", "windows-1257",
                                 "windows-1258", "koi8-r", "koi8-u", "gb2312", "gbk", "big5", "shift_jis",
                                 "euc-jp", "euc-kr", "iso-2022-jp"};
    std::vector<std::string> all(std::begin(names), std::end(names));
    for (int i = 1; i <= 15; ++i)
        if (i != 12) all.push_back("iso-8859-" + std::to_string(i)); // there is no iso-8859-12
    for (const std::string& name : all) EXPECT_EQ(Shown("=?" + name + "?Q?ok?="), "ok") << name;
}

TEST(HeaderDisplay, StaysInsideItsBufferOnHugeAndHostileValues)
{
    std::string words;
    while (words.size() + 13 <= 4095) words += "=?utf-8?Q?a?=";
    EXPECT_EQ(Shown(words), std::string(words.size() / 13, 'a'));
    EXPECT_EQ(Shown(words, 16), std::string(15, 'a'));

    std::string adjacent;
    for (int i = 0; i < 2000; ++i) adjacent += "=?ISO-8859-1?B?6Q==?= ";
    EXPECT_EQ(Shown(adjacent), std::string(2000, '\xE9') + " ");

    const std::string longCharset = "=?" + std::string(300, 'c') + "?Q?a?=";
    EXPECT_EQ(Shown(longCharset), longCharset);
    EXPECT_EQ(Shown(std::string(5000, '=')), std::string(4095, '='));
    EXPECT_EQ(Shown("=?utf-8?Q?x?=", 1), "");
}

TEST(HeaderDisplay, DoublesAmpersandsWithoutSplittingAPair)
{
    char out[256];
    EXPECT_EQ(DoubleAmpersands("R&D [Tom & Jerry]", out, sizeof out), 19);
    EXPECT_STREQ(out, "R&&D [Tom && Jerry]");
    // 254 characters fit before the '&', whose pair would not.
    const std::string text = std::string(254, 'x') + "&y";
    EXPECT_EQ(DoubleAmpersands(text.c_str(), out, sizeof out), 254);
    EXPECT_EQ(std::string(out), std::string(254, 'x'));
}

TEST(HeaderDisplay, LegacyCodePageDropsControlsAndResolvesTheAddedCharsets)
{
    const Case cases[] = {
        // Charsets the system's database may lack, GB18030 read as GBK.
        {"=?tis-620?Q?ok?= =?windows-874?Q?ok?= =?gb18030?Q?ok?=", "okokok"},
        {"=?iso-8859-16?Q?=E9=AA?=", "\xE9?"},
        // A C1 control is a space; a bidirectional override goes, not '?'.
        {"=?utf-8?Q?a=C2=85b=E2=80=AEc?=", "a bc"},
    };
    for (const Case& c : cases) EXPECT_EQ(Shown(c.value), c.shown) << c.value;
}
