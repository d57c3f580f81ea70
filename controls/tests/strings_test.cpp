// String helpers (white space, fields, wildcard comparison) and putting
// text on the clipboard, read back with the clipboard's own calls.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "wintest.h"

namespace {

std::string Trimmed(const char* text)
{
    char buffer[64];
    lstrcpynA(buffer, text, sizeof buffer);
    EXPECT_EQ(trim(buffer), buffer);
    return buffer;
}

// The comparison walked literally: one level of recursion per "*" run,
// trying every text position. The library must give the same results.
int SlowWild(const char* p, const char* t)
{
    for (;; ++p, ++t) {
        if (!*p && !*t) return 0;
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p) return 0;
            for (int r;; ++t)
                if ((r = SlowWild(p, t)) == 0 || !*t) return r;
        }
        if (*p == '?') {
            if (!*t) return 1;
            continue;
        }
        if (*p != *t) return static_cast<signed char>(*p) > static_cast<signed char>(*t) ? 1 : -1;
    }
}

} // namespace

TEST(Trim, EveryRunOfWhiteSpaceBecomesOneBlank)
{
    EXPECT_EQ(Trimmed("  a \tb  "), "a b");
    EXPECT_EQ(Trimmed("\r\n x\v\f\ty\n"), "x y");
    EXPECT_EQ(Trimmed("   "), "");
    EXPECT_EQ(Trimmed("\xA0" "a\xA0"), "\xA0" "a\xA0"); // high bytes are never white space
    EXPECT_EQ(trim(nullptr), nullptr);
}

TEST(GetToken, PicksTheNumberedFieldAsItStands)
{
    const struct { const char* text; int field; const char* token; int result; } kCases[] = {
        {"a,b,c", 0, "a", 1}, {"a,b,c", 1, "b", 1}, {"a,b,c", 2, "c", 1}, {"a, b ,c", 1, " b ", 1},
        {"a,,c", 1, "", 0},   {"a,b,c", 3, "", 0},  {"a,b,", 2, "", 0},   {"", 0, "", 0}, {"a", -1, "", 0},
    };
    for (const auto& c : kCases) {
        char buffer[16] = "stale";
        EXPECT_EQ(GetToken(c.text, buffer, c.field, ','), c.result) << c.text << " field " << c.field;
        EXPECT_STREQ(buffer, c.token) << c.text << " field " << c.field;
    }
}

TEST(Wildcards, ResultAndSignFollowTheFirstDifference)
{
    const struct { const char* pattern; const char* text; int result; } kCases[] = {
        {"*.txt", "notes.txt", 0}, {"a?c", "abc", 0}, {"a*", "a", 0}, {"a*b*c", "aXbYbc", 0}, {"abc", "abd", -1},
        {"abd", "abc", 1},         {"a", "ab", -1},   {"*b", "aaa", 1}, {"?", "", 1},   {"*a*z", "abc", 1},
        {"a\x80", "ab", -1},       {"a", "a\x80", 1}, {"x", "?", 1},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(strcmpwild(c.pattern, c.text), c.result) << c.pattern << " / " << c.text;

    EXPECT_EQ(strcmpiwild("*.TXT", "Notes.txt"), 0);
    EXPECT_NE(strcmpwild("*.TXT", "Notes.txt"), 0);
    EXPECT_EQ(strcmpiwild("_", "A"), -1); // 'A' folds to 'a', above '_'
}

TEST(Wildcards, AgreeWithTheRecursiveWalkOnEveryShortInput)
{
    std::vector<std::string> all{""};
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].size() < 4)
            for (char c : {'a', 'b', '*', '?', '\x90'}) all.push_back(all[i] + c);
    for (const std::string& p : all)
        for (const std::string& t : all)
            ASSERT_EQ(strcmpwild(p.c_str(), t.c_str()), SlowWild(p.c_str(), t.c_str())) << p << " / " << t;

    // Without walking every position for every "*", many stars stay fast.
    const std::string text(2000, 'a');
    const DWORD start = GetTickCount();
    EXPECT_EQ(strcmpwild("*a*a*a*a*a*a*a*a*a*b", text.c_str()), 1);
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(Clipboard, TextIsAddedBesideWhatTheClipboardHolds)
{
    wintest::MessageBoxWatcher boxes;
    wintest::MessageRecorder window;
    auto clipboardText = [] {
        std::string text = "<none>";
        if (!OpenClipboard(nullptr)) return std::string("<closed>");
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            text = static_cast<const char*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text;
    };
    const UINT privateFormat = RegisterClipboardFormatA("KwStringsTestFormat");
    ASSERT_TRUE(OpenClipboard(window.hwnd()));
    EmptyClipboard();
    SetClipboardData(privateFormat, GlobalAlloc(GMEM_MOVEABLE, 4));
    CloseClipboard();

    EXPECT_EQ(CopyTextToClipboard(window.hwnd(), "hello"), 1);
    EXPECT_EQ(clipboardText(), "hello");
    EXPECT_TRUE(IsClipboardFormatAvailable(privateFormat));
    EXPECT_EQ(CopyTextToClipboard(window.hwnd(), ""), 1);
    EXPECT_EQ(clipboardText(), "");
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(Clipboard, UnicodeTextMatchesTheTextInTheProcessCodePage)
{
    // Readers that want Unicode must not have to guess the code page of
    // CF_TEXT: the library puts the converted text beside it.
    ASSERT_EQ(GetACP(), 1252u);
    wintest::MessageRecorder window;
    ASSERT_TRUE(OpenClipboard(window.hwnd()));
    EmptyClipboard();
    CloseClipboard();

    EXPECT_EQ(CopyTextToClipboard(window.hwnd(), "Caf\xE9 cr\xE8me"), 1);
    ASSERT_TRUE(OpenClipboard(nullptr));
    std::wstring wide = L"<none>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        wide = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    std::string narrow = "<none>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        narrow = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(wide, L"Caf\u00E9 cr\u00E8me");
    EXPECT_EQ(narrow, "Caf\xE9 cr\xE8me");
}
