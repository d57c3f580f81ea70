// Whole-character boundaries in the three kinds of code page the library
// meets: single-byte, double-byte (Shift_JIS) and UTF-8, each passed
// explicitly so that the test does not depend on the prefix's code page.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "charstep.h"

namespace {

struct Case {
    UINT codePage;
    const char* text;
    std::vector<int> starts; // every character start, and the text's end
};

const Case kCases[] = {
    // "Café!": every byte is a character.
    {1252, "Caf\xE9!", {0, 1, 2, 3, 4, 5}},
    // "a", katakana "so" (whose trail byte is a backslash), hiragana "a", "z".
    {932, "a\x83\x5C\x82\xA0z", {0, 1, 3, 5, 6}},
    // A lead byte at the end has no trail: it stands alone.
    {932, "a\x82", {0, 1, 2}},
    // "a", e acute, the euro sign, a party-popper emoji, "z".
    {CP_UTF8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\x89z", {0, 1, 3, 6, 10, 11}},
    // Malformed sequences step one byte at a time, never past the end:
    // a cut emoji, stray continuation bytes, an overlong slash, a
    // surrogate, bytes that start no character, an overlong 3-byte form.
    {CP_UTF8, "\xF0\x9F\x8E", {0, 1, 2, 3}},
    {CP_UTF8, "\x80\xBF", {0, 1, 2}},
    {CP_UTF8, "\xC0\xAF", {0, 1, 2}},
    {CP_UTF8, "\xED\xA0\x80", {0, 1, 2, 3}},
    {CP_UTF8, "\xF5\x80\x80\x80", {0, 1, 2, 3, 4}},
    {CP_UTF8, "\xE0\x80\xAF", {0, 1, 2, 3}},
    // Largest code point, then a 2-byte character cut by the end.
    {CP_UTF8, "\xF4\x8F\xBF\xBF\xC3", {0, 4, 5}},
};

} // namespace

TEST(CharStep, EveryCutFallsOnACharacterStart)
{
    for (const Case& c : kCases) {
        const std::string label = std::to_string(c.codePage) + " \"" + c.text + "\"";
        // Stepping from start to start visits exactly the listed starts.
        std::vector<int> walked{0};
        for (int at = 0, step; (step = KwCharLength(c.codePage, c.text + at)) > 0;) walked.push_back(at += step);
        EXPECT_EQ(walked, c.starts) << label;

        // A cut at every limit keeps the longest whole start that fits.
        const int length = c.starts.back();
        for (int limit = 0; limit <= length + 1; ++limit) {
            int expected = 0;
            for (int start : c.starts)
                if (start <= limit) expected = start;
            EXPECT_EQ(KwWholeLength(c.codePage, c.text, limit), expected) << label << " limit " << limit;
        }
    }
}
