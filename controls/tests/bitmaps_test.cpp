// Bitmap utilities: results read back with GetDIBits and compared pixel by
// pixel with letter pictures of what each routine makes.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kwctrl32.h"
#include "leaks.h"
#include "wintest.h"

namespace {

using Picture = std::vector<std::string>;

constexpr COLORREF kPurple = RGB(128, 0, 128), kRed = RGB(200, 30, 30), kBlue = RGB(20, 40, 220);
// Button colours for the tests, apart from each other and from white.
constexpr COLORREF kFace = RGB(212, 208, 200), kHighlight = RGB(250, 250, 235), kShadow = RGB(128, 128, 120);
const std::map<char, COLORREF> kColours = {{'P', kPurple}, {'W', RGB(255, 255, 255)}, {'K', RGB(0, 0, 0)},
                                           {'R', kRed},    {'B', kBlue},   {'F', kFace},
                                           {'H', kHighlight}, {'S', kShadow},
                                           // Brightness sums 554, 553, 232, 231, 58 and 57
                                           {'1', RGB(255, 255, 44)}, {'2', RGB(255, 255, 43)},
                                           {'3', RGB(100, 100, 32)}, {'4', RGB(100, 100, 31)},
                                           {'5', RGB(20, 20, 18)},   {'6', RGB(20, 20, 17)}};

class ButtonColours {
public:
    ButtonColours()
    {
        for (int n = 0; n < 3; ++n) saved_[n] = GetSysColor(kIndex[n]);
        const COLORREF values[3] = {kFace, kHighlight, kShadow};
        SetSysColors(3, kIndex, values);
    }
    ~ButtonColours() { SetSysColors(3, kIndex, saved_); }

private:
    static constexpr int kIndex[3] = {COLOR_BTNFACE, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
    COLORREF saved_[3];
};

// 32-bit top-down pixels of a picture, as GetDIBits and SetDIBits take them.
BITMAPINFO Format(int w, int h)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

HBITMAP MakeBitmap(const Picture& picture)
{
    const int w = static_cast<int>(picture[0].size()), h = static_cast<int>(picture.size());
    std::vector<DWORD> bits;
    for (const std::string& row : picture)
        for (char c : row) bits.push_back(RGB(GetBValue(kColours.at(c)), GetGValue(kColours.at(c)), GetRValue(kColours.at(c))));
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    BITMAPINFO info = Format(w, h);
    SetDIBits(screen, bitmap, 0, h, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// The pixels as letters ('?' for other colours).
Picture Read(HBITMAP bitmap)
{
    BITMAP d = {};
    if (!GetObjectA(bitmap, sizeof d, &d)) return {"<no bitmap>"};
    std::vector<DWORD> bits(static_cast<size_t>(d.bmWidth) * d.bmHeight);
    BITMAPINFO info = Format(d.bmWidth, d.bmHeight);
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, d.bmHeight, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != d.bmHeight) return {"<GetDIBits failed>"};
    Picture picture(d.bmHeight, std::string(d.bmWidth, '?'));
    for (size_t n = 0; n < bits.size(); ++n)
        for (const auto& entry : kColours)
            if (RGB(bits[n] >> 16 & 0xFF, bits[n] >> 8 & 0xFF, bits[n] & 0xFF) == entry.second)
                picture[n / d.bmWidth][n % d.bmWidth] = entry.first;
    return picture;
}

// A copy of the library with one added bitmap resource (bottom-up 24-bit
// rows after the header), loaded so that LoadBitmapA finds it.
HMODULE ModuleWithBitmap(const std::string& path, WORD id, const Picture& picture)
{
    const int w = static_cast<int>(picture[0].size()), h = static_cast<int>(picture.size()), stride = (w * 3 + 3) & ~3;
    BITMAPINFOHEADER header = {sizeof header, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<BYTE> data(sizeof header + static_cast<size_t>(stride) * h);
    memcpy(data.data(), &header, sizeof header);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &data[sizeof header + static_cast<size_t>(h - 1 - y) * stride + x * 3];
            const COLORREF c = kColours.at(picture[y][x]);
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    CopyFileA((wintest::ExeDir() + "KWCTRL32.dll").c_str(), path.c_str(), FALSE);
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    UpdateResourceA(update, RT_BITMAP, MAKEINTRESOURCEA(id), 0, data.data(), static_cast<DWORD>(data.size()));
    return EndUpdateResourceA(update, FALSE) ? LoadLibraryA(path.c_str()) : nullptr;
}

} // namespace

TEST(BitmapColours, CopyChangeAndSwapWorkOnTheirOwnPixelsOnly)
{
    EXPECT_EQ(CopyBitmap(nullptr), nullptr);
    const Picture picture = {"RRBK", "BWPK"};
    HBITMAP source = MakeBitmap(picture);
    HBITMAP copy = CopyBitmap(source);
    ASSERT_NE(copy, source);
    EXPECT_EQ(Read(copy), picture);

    EXPECT_NE(ChangeBitmapColor(copy, kRed, kBlue, nullptr), 0);
    EXPECT_EQ(Read(copy), (Picture{"BBBK", "BWPK"}));
    EXPECT_EQ(Read(source), picture);

    // Swapping exchanges both colours and undoes itself; with only the first
    // colour present all of it turns into the second.
    EXPECT_NE(SwapBitmapColors(source, kRed, kBlue, nullptr), 0);
    EXPECT_EQ(Read(source), (Picture{"BBRK", "RWPK"}));
    EXPECT_NE(SwapBitmapColors(source, kRed, kBlue, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE))), 0);
    EXPECT_EQ(Read(source), picture);
    EXPECT_NE(SwapBitmapColors(copy, kBlue, kRed, nullptr), 0);
    EXPECT_EQ(Read(copy), (Picture{"RRRK", "RWPK"}));
    DeleteObject(copy);
    DeleteObject(source);

    const BYTE rows[4] = {0xA0, 0, 0x50, 0}; // monochrome 4 x 2, two bytes a row
    HBITMAP mono = CreateBitmap(4, 2, 1, 1, rows);
    EXPECT_NE(ChangeBitmapColor(mono, RGB(0, 0, 0), RGB(255, 255, 255), nullptr), 0);
    BYTE after[4] = {};
    GetBitmapBits(mono, sizeof after, after);
    EXPECT_TRUE((after[0] & 0xF0) == 0xA0 && (after[2] & 0xF0) == 0x50);
    DeleteObject(mono);
}

TEST(LoadTransparentBitmap, SwapsTheKeyColourWithTheBackground)
{
    const std::string path = wintest::ExeDir() + "bitmaps_res" + std::to_string(GetCurrentProcessId()) + ".dll";
    HMODULE module = ModuleWithBitmap(path, 300, {"PPPP", "PKFP", "PPRP"});
    ASSERT_NE(module, nullptr);
    HBITMAP bitmap = LoadTransparentBitmap(module, MAKEINTRESOURCEA(300), kFace);
    // The purple surround takes the face colour; the face pixel turns purple.
    EXPECT_EQ(Read(bitmap), (Picture{"FFFF", "FKPF", "FFRF"}));
    DeleteObject(bitmap);
    EXPECT_EQ(LoadTransparentBitmap(module, MAKEINTRESOURCEA(301), kFace), nullptr);

    HMODULE library = GetModuleHandleA("KWCTRL32.dll");
    EXPECT_EQ(GetProcAddress(library, "LoadTransparentBitmap1"), GetProcAddress(library, "LoadTransparentBitmap"));
    FreeLibrary(module);
    DeleteFileA(path.c_str());
}

TEST(DimBitmap, MapsBrightnessToFourTonesAtTheirThresholds)
{
    ButtonColours colours;
    // The top-left pixel's colour (blue) is the background wherever it is.
    HBITMAP source = MakeBitmap({"BW123456KB"});
    HBITMAP dimmed = nullptr;
    DimBitmap(source, &dimmed);
    EXPECT_EQ(Read(dimmed), (Picture{"FWWHHSSKKF"}));
    // The result comes back selected into no context, so it can be selected here.
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_NE(SelectObject(dc, dimmed), nullptr);
    DeleteDC(dc);
    DeleteObject(dimmed);
    DeleteObject(source);
}

TEST(CreateDisabledBitmap, EtchesTheShapeInShadowAndHighlight)
{
    ButtonColours colours;
    HBITMAP plain = MakeBitmap({"RRR", "RRR"});
    HBITMAP disabled = CreateDisabledBitmap(plain);
    EXPECT_EQ(Read(disabled), (Picture{"FFF", "FFF"}));
    DeleteObject(disabled);
    DeleteObject(plain);

    // The shape and its copy one pixel up-left are shadow, except shape
    // pixels with background to their lower right (all of them in the last
    // row and column), which are highlight.
    const Picture shape = {"WWWWWW", "WWWWWW", "WWKKWW", "WWKBWW", "WWWWWK"};
    HBITMAP source = MakeBitmap(shape);
    disabled = CreateDisabledBitmap(source);
    EXPECT_EQ(Read(disabled), (Picture{"FFFFFF", "FSSFFF", "FSSHFF", "FFHHSF", "FFFFFH"}));
    EXPECT_EQ(Read(source), shape);
    DeleteObject(disabled);
    DeleteObject(source);
}

TEST(BitmapUtilities, LeaveNoGdiObjectsBehind)
{
    HBITMAP source = MakeBitmap({"PKWR", "RBPW", "KWRP"});
    const auto round = [source] {
        DeleteObject(CopyBitmap(source));
        ChangeBitmapColor(source, kRed, kBlue, nullptr);
        SwapBitmapColors(source, kBlue, kRed, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
        HBITMAP dimmed = nullptr;
        DimBitmap(source, &dimmed);
        DeleteObject(dimmed);
        DeleteObject(CreateDisabledBitmap(source));
    };
    round();
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int n = 0; n < 500; ++n) round();
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
    DeleteObject(source);
}
