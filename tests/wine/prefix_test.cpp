// What a test prefix made by prefix.sh gives every program in it: the DPI it
// was made at, glyphs for Chinese, Japanese and Korean text in the faces the
// dialogs, menus and controls use (through the font link), and file names
// outside ASCII (through the UTF-8 Unix locale the scripts give Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "wintest.h"

namespace {

// The DPI this run's prefix was made at: the fixture's, else the one the
// whole run asked for, else the default.
int ExpectedDpi()
{
    for (const char* name : {"KW_TEST_DPI", "KW_DPI"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::atoi(value);
    }
    return 96;
}

TEST(PrefixTest, ScreenHasTheDpiThePrefixWasMadeAt)
{
    // A program that declares itself DPI-aware gets the real DPI on Windows
    // too, so the check holds there as it does here. The call is looked up:
    // the headers are set for systems older than it.
    using SetAwareFn = BOOL(WINAPI*)();
    const auto setAware = reinterpret_cast<SetAwareFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware")));
    if (setAware) setAware();
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const int x = GetDeviceCaps(screen, LOGPIXELSX);
    const int y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(x, ExpectedDpi());
    EXPECT_EQ(y, ExpectedDpi());
}

// One character drawn black on white in a face, as the pixels of a small DIB.
std::vector<DWORD> Glyph(const char* face, wchar_t ch)
{
    constexpr int kSize = 40;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HFONT font = CreateFontA(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH, face);
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    PatBlt(dc, 0, 0, kSize, kSize, WHITENESS);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 4, 4, &ch, 1);
    GdiFlush();
    std::vector<DWORD> pixels;
    if (bits) pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + kSize * kSize);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// A face without a glyph for a character draws the same "missing" box for
// every one: two ideographs, a kana and a hangul drawing four different
// pictures is what shows that the font link reached a font that has them,
// from whatever face each of these names gets.
TEST(PrefixTest, DialogAndControlFacesDrawChineseJapaneseAndKorean)
{
    const wchar_t chars[] = {L'\x65E5' /* sun, day */, L'\x672C' /* root, book */,
                             L'\x3042' /* hiragana a */, L'\xD55C' /* hangul han */};
    for (const char* face : {"MS Shell Dlg", "MS Shell Dlg 2", "Tahoma", "MS Sans Serif",
                             "Microsoft Sans Serif", "Arial"}) {
        std::vector<std::vector<DWORD>> glyphs;
        for (wchar_t ch : chars) glyphs.push_back(Glyph(face, ch));
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const auto white = std::count_if(glyphs[i].begin(), glyphs[i].end(),
                                             [](DWORD p) { return (p & 0xFFFFFF) == 0xFFFFFF; });
            EXPECT_LT(white, static_cast<long>(glyphs[i].size())) << face << ": character " << i
                                                                  << " draws nothing";
            for (size_t j = 0; j < i; ++j)
                EXPECT_NE(glyphs[i], glyphs[j]) << face << ": characters " << j << " and " << i
                                                << " draw the same picture";
        }
    }
}

// Edit controls (the popup's sender and subject) draw through Uniscribe,
// whose fallback for a script the face lacks is set apart from the link.
TEST(PrefixTest, EditControlsDrawChineseJapaneseAndKorean)
{
    HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0,
                             0, "MS Sans Serif");
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 40, 40, 120, 24,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    std::vector<std::vector<COLORREF>> pictures;
    for (const wchar_t* text : {L"\x65E5", L"\x672C", L"\x3042", L"\xD55C"}) {
        SetWindowTextW(edit, text);
        pictures.push_back(wintest::CaptureClient(edit).data);
        for (size_t j = 0; j + 1 < pictures.size(); ++j)
            EXPECT_NE(pictures.back(), pictures[j]) << "characters " << j << " and "
                                                    << pictures.size() - 1 << " look the same";
    }
    DestroyWindow(edit);
    DeleteObject(font);
}

TEST(PrefixTest, FileNamesOutsideAsciiCanBeMadeAndFound)
{
    wchar_t dir[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
    const std::wstring names[] = {L"\x30E1\x30FC\x30EB.txt" /* Japanese */,
                                  L"\x041F\x0438\x0441\x044C\x043C\x043E.txt" /* Cyrillic */,
                                  L"\xD83C\xDF89.txt" /* an emoji, outside the BMP */};
    for (const std::wstring& name : names) {
        const std::wstring path = std::wstring(dir) + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        CloseHandle(file);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(path.c_str(), &found);
        EXPECT_NE(search, INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(name == found.cFileName);
            FindClose(search);
        }
        EXPECT_TRUE(DeleteFileW(path.c_str()));
    }
}

}  // namespace
