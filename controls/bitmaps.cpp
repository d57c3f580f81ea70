/*
 * Bitmap utilities: copying a device-dependent bitmap, replacing or swapping
 * colours in place, loading a resource bitmap whose purple key colour gives
 * way to a background colour, and two greyed images for disabled controls.
 *
 * Colour matching is done by GDI itself: blitting a colour image into a
 * monochrome mask sets a mask bit exactly where the pixel equals the source
 * context's background colour. Blitting the mask back onto a colour context
 * with a white background and black text turns its bits into all ones and
 * all zeros, which the ternary raster operations below use to choose between
 * a brush and the pixels already there. Nothing outlives a call; every
 * context, brush and mask made here is released before it returns.
 */
#include <cstring>

#include "chores.h"
#include "kwctrl32.h"

namespace {

// The purple that images drawn for this library use as their see-through colour.
constexpr COLORREF kKeyColour = RGB(128, 0, 128);

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Where the mask is all ones the result is the brush, elsewhere the
// destination stays (D xor (S and (P xor D))).
constexpr DWORD kBrushWhereSourceSet = 0xE20746;
// Where the mask is zero the result is the brush, elsewhere the destination
// stays (P xor (S and (D xor P))).
constexpr DWORD kBrushWhereSourceClear = 0xB8074A;

// Brightness thresholds of DimBitmap on red + green + blue (0 to 765).
constexpr int kDimWhiteFrom = 554;
constexpr int kDimHighlightFrom = 232;
constexpr int kDimShadowFrom = 58;

// The screen's device context for the life of the guard.
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() { Release(); }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }
    // Gives the context back early; the guard then holds nothing.
    void Release()
    {
        if (dc_) ReleaseDC(nullptr, dc_);
        dc_ = nullptr;
    }

private:
    HDC dc_;
};

// A memory device context compatible with another (the screen's for null).
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC()
    {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A GDI object (bitmap or brush) deleted with the guard unless handed on.
template <typename Handle>
class Owned {
public:
    explicit Owned(Handle handle = nullptr) : handle_(handle) {}
    ~Owned()
    {
        if (handle_) DeleteObject(handle_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Handle get() const { return handle_; }
    Handle release()
    {
        const Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    Handle handle_;
};

// A palette selected as a foreground palette and realised; the previous one
// comes back at the end. A null palette does nothing.
class RealisedPalette {
public:
    RealisedPalette(HDC dc, HPALETTE palette)
        : dc_(dc), previous_(dc && palette ? SelectPalette(dc, palette, FALSE) : nullptr)
    {
        if (previous_) RealizePalette(dc_);
    }
    ~RealisedPalette()
    {
        if (previous_) SelectPalette(dc_, previous_, FALSE);
    }
    RealisedPalette(const RealisedPalette&) = delete;
    RealisedPalette& operator=(const RealisedPalette&) = delete;

private:
    HDC dc_;
    HPALETTE previous_;
};

bool ReadDescription(HBITMAP bitmap, BITMAP& description)
{
    description = BITMAP();
    return bitmap && GetObjectA(bitmap, sizeof description, &description) == sizeof description;
}

bool IsMonochrome(const BITMAP& description)
{
    return description.bmPlanes == 1 && description.bmBitsPixel == 1;
}

HBITMAP CreateMask(int width, int height)
{
    return CreateBitmap(width, height, 1, 1, nullptr);
}

// Copies the image held by imageDC into the mask held by maskDC: 1 where the
// pixel has the given colour, 0 elsewhere. The image context keeps that
// colour as its background.
bool MaskOfColour(HDC maskDC, HDC imageDC, int width, int height, COLORREF colour)
{
    SetBkColor(imageDC, colour);
    return BitBlt(maskDC, 0, 0, width, height, imageDC, 0, 0, SRCCOPY) != FALSE;
}

// Paints brushColour onto the image wherever the mask is 1. Leaves the
// image context with a white background and black text, which makes the
// mask's bits act as all ones and all zeros.
bool PaintWhereMaskSet(HDC imageDC, HDC maskDC, int width, int height, COLORREF brushColour)
{
    Owned<HBRUSH> brush(CreateSolidBrush(brushColour));
    SelectedObject selected(imageDC, brush.get());
    if (!selected.ok()) return false;
    SetBkColor(imageDC, kWhite);
    SetTextColor(imageDC, kBlack);
    return BitBlt(imageDC, 0, 0, width, height, maskDC, 0, 0, kBrushWhereSourceSet) != FALSE;
}

// Paints a system colour onto the image wherever the mask is 0.
bool PaintWhereMaskClear(HDC imageDC, HDC maskDC, HBITMAP mask, int width, int height, int systemColour)
{
    SelectedObject maskSelected(maskDC, mask);
    Owned<HBRUSH> brush(CreateSolidBrush(GetSysColor(systemColour)));
    SelectedObject brushSelected(imageDC, brush.get());
    if (!maskSelected.ok() || !brushSelected.ok()) return false;
    return BitBlt(imageDC, 0, 0, width, height, maskDC, 0, 0, kBrushWhereSourceClear) != FALSE;
}

// The colour change of ChangeBitmapColorDC, telling whether it was made
// (a monochrome bitmap counts as done: it is left alone by design).
bool RecolourInContext(HDC dc, const BITMAP* description, COLORREF oldColour, COLORREF newColour)
{
    if (!dc || !description) return false;
    if (IsMonochrome(*description)) return true;
    const int width = description->bmWidth;
    const int height = description->bmHeight;
    Owned<HBITMAP> mask(CreateMask(width, height));
    MemoryDC maskDC(dc);
    if (!mask.get() || !maskDC.get()) return false;
    SelectedObject maskSelected(maskDC.get(), mask.get());
    if (!maskSelected.ok()) return false;
    return MaskOfColour(maskDC.get(), dc, width, height, oldColour) &&
           PaintWhereMaskSet(dc, maskDC.get(), width, height, newColour);
}

// The four tones of DimBitmap, read from the system once per call.
struct DimTones {
    COLORREF face, highlight, shadow;
};

COLORREF DimTone(COLORREF pixel, COLORREF background, const DimTones& tones)
{
    if (pixel == background) return tones.face;
    const int sum = GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel);
    if (sum >= kDimWhiteFrom) return kWhite;
    if (sum >= kDimHighlightFrom) return tones.highlight;
    if (sum >= kDimShadowFrom) return tones.shadow;
    return kBlack;
}

} // namespace

HBITMAP WINAPI CopyBitmap(HBITMAP bitmap)
{
    BITMAP description;
    if (!ReadDescription(bitmap, description)) return nullptr;
    const unsigned long long size =
        static_cast<unsigned long long>(description.bmWidthBytes) * static_cast<unsigned long long>(description.bmHeight);
    if (description.bmWidthBytes <= 0 || description.bmHeight <= 0 || size > 0x7FFFFFFFull) return nullptr;

    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(size));
    if (!block) return nullptr;
    // The copy starts empty and gets its pixels below; a section's own bits
    // pointer must not be taken as the new bitmap's initial contents.
    description.bmBits = nullptr;
    Owned<HBITMAP> copy(CreateBitmapIndirect(&description));
    void* pixels = copy.get() ? GlobalLock(block) : nullptr;
    if (pixels) {
        GetBitmapBits(bitmap, static_cast<LONG>(size), pixels);
        SetBitmapBits(copy.get(), static_cast<DWORD>(size), pixels);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return pixels ? copy.release() : nullptr;
}

void WINAPI ChangeBitmapColorDC(HDC dc, BITMAP* description, COLORREF oldColor, COLORREF newColor)
{
    RecolourInContext(dc, description, oldColor, newColor);
}

int WINAPI ChangeBitmapColor(HBITMAP bitmap, COLORREF oldColor, COLORREF newColor, HPALETTE palette)
{
    ScreenDC screen;
    if (!screen.get()) return 0;
    MemoryDC image(screen.get());
    BITMAP description;
    if (!image.get() || !ReadDescription(bitmap, description)) return 0;
    SelectedObject selected(image.get(), bitmap);
    if (!selected.ok()) return 0;
    RealisedPalette realised(image.get(), palette);
    return RecolourInContext(image.get(), &description, oldColor, newColor) ? 1 : 0;
}

int WINAPI SwapBitmapColors(HBITMAP bitmap, COLORREF first, COLORREF second, HPALETTE palette)
{
    ScreenDC screen;
    if (!screen.get()) return 0;
    MemoryDC image(screen.get());
    MemoryDC firstMaskDC(screen.get());
    MemoryDC secondMaskDC(screen.get());
    BITMAP description;
    if (!image.get() || !firstMaskDC.get() || !secondMaskDC.get() || !ReadDescription(bitmap, description))
        return 0;
    SelectedObject imageSelected(image.get(), bitmap);
    if (!imageSelected.ok()) return 0;
    RealisedPalette realised(image.get(), palette);

    const int width = description.bmWidth;
    const int height = description.bmHeight;
    Owned<HBITMAP> firstMask(CreateMask(width, height));
    Owned<HBITMAP> secondMask(CreateMask(width, height));
    SelectedObject firstSelected(firstMaskDC.get(), firstMask.get());
    SelectedObject secondSelected(secondMaskDC.get(), secondMask.get());
    screen.Release();
    if (!firstSelected.ok() || !secondSelected.ok()) return 0;

    // Both masks come from the untouched image, so the second repaint
    // cannot pick up pixels that the first one has just changed.
    if (!MaskOfColour(firstMaskDC.get(), image.get(), width, height, first) ||
        !MaskOfColour(secondMaskDC.get(), image.get(), width, height, second))
        return 0;
    const bool firstDone = PaintWhereMaskSet(image.get(), firstMaskDC.get(), width, height, second);
    const bool secondDone = PaintWhereMaskSet(image.get(), secondMaskDC.get(), width, height, first);
    return firstDone && secondDone ? 1 : 0;
}

HBITMAP WINAPI LoadTransparentBitmap(HINSTANCE instance, LPCSTR name, COLORREF background)
{
    const HBITMAP bitmap = LoadBitmapA(instance, name);
    if (!bitmap) return nullptr;
    // A swap rather than a replacement: pixels that already had the
    // background colour turn purple, which keeps them apart from it.
    SwapBitmapColors(bitmap, kKeyColour, background, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
    return bitmap;
}

// The second export name of LoadTransparentBitmap, the very same routine
// (whose symbol carries its argument size on x86 only).
HBITMAP WINAPI LoadTransparentBitmap1(HINSTANCE instance, LPCSTR name, COLORREF background)
#ifdef _WIN64
    __attribute__((alias("LoadTransparentBitmap")));
#else
    __attribute__((alias("LoadTransparentBitmap@12")));
#endif

void WINAPI DimBitmap(HBITMAP bitmap, HBITMAP* result)
{
    if (!bitmap || !result) return;
    // The caller always gets an answer: the new bitmap, or null on failure.
    *result = nullptr;
    MemoryDC source(nullptr);
    MemoryDC target(nullptr);
    BITMAP description;
    if (!source.get() || !target.get() || !ReadDescription(bitmap, description)) return;
    SelectedObject sourceSelected(source.get(), bitmap);
    if (!sourceSelected.ok()) return;

    Owned<HBITMAP> dimmed(CreateBitmap(description.bmWidth, description.bmHeight,
                                       GetDeviceCaps(source.get(), PLANES), GetDeviceCaps(source.get(), BITSPIXEL),
                                       nullptr));
    SelectedObject targetSelected(target.get(), dimmed.get());
    if (!targetSelected.ok()) return;

    const DimTones tones = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW)};
    const COLORREF background = GetPixel(source.get(), 0, 0);
    for (int x = 0; x < description.bmWidth; ++x)
        for (int y = 0; y < description.bmHeight; ++y)
            SetPixelV(target.get(), x, y, DimTone(GetPixel(source.get(), x, y), background, tones));
    // The selection guards put the previous bitmaps back on return, so the
    // new bitmap reaches the caller selected into no context.
    *result = dimmed.release();
}

HBITMAP WINAPI CreateDisabledBitmap(HBITMAP bitmap)
{
    ScreenDC screen;
    if (!screen.get()) return nullptr;
    MemoryDC maskDC(screen.get());
    MemoryDC image(screen.get());
    BITMAP description;
    if (!maskDC.get() || !image.get() || !ReadDescription(bitmap, description)) return nullptr;
    const int w = description.bmWidth;
    const int h = description.bmHeight;

    Owned<HBITMAP> shadowMask(CreateMask(w, h));
    Owned<HBITMAP> highlightMask(CreateMask(w, h));
    Owned<HBITMAP> result(CreateCompatibleBitmap(screen.get(), w, h));
    if (!shadowMask.get() || !highlightMask.get() || !result.get()) return nullptr;

    {
        SelectedObject sourceSelected(image.get(), bitmap);
        if (!sourceSelected.ok()) return nullptr;
        SetBkColor(image.get(), GetPixel(image.get(), 0, 0));
        {
            // 1 where the pixel and its lower-right neighbour are both
            // background (in the last column and row: where the pixel is).
            SelectedObject selected(maskDC.get(), shadowMask.get());
            if (!selected.ok()) return nullptr;
            PatBlt(maskDC.get(), 0, 0, w, h, WHITENESS);
            BitBlt(maskDC.get(), 0, 0, w - 1, h - 1, image.get(), 1, 1, SRCCOPY);
            BitBlt(maskDC.get(), 0, 0, w, h, image.get(), 0, 0, SRCAND);
        }
        {
            // 0 exactly where the pixel is not background but its
            // lower-right neighbour is (in the last column and row: where
            // the pixel is not background).
            SelectedObject selected(maskDC.get(), highlightMask.get());
            if (!selected.ok()) return nullptr;
            BitBlt(maskDC.get(), 0, 0, w, h, image.get(), 0, 0, SRCCOPY);
            BitBlt(maskDC.get(), 0, 0, w - 1, h - 1, image.get(), 1, 1, MERGEPAINT);
        }
    }

    SelectedObject resultSelected(image.get(), result.get());
    if (!resultSelected.ok()) return nullptr;
    {
        Owned<HBRUSH> face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        SelectedObject selected(image.get(), face.get());
        if (!selected.ok()) return nullptr;
        PatBlt(image.get(), 0, 0, w, h, PATCOPY);
    }
    SetBkColor(image.get(), kWhite);
    SetTextColor(image.get(), kBlack);
    // Highlight goes on last, over the shadow.
    if (!PaintWhereMaskClear(image.get(), maskDC.get(), shadowMask.get(), w, h, COLOR_BTNSHADOW) ||
        !PaintWhereMaskClear(image.get(), maskDC.get(), highlightMask.get(), w, h, COLOR_BTNHIGHLIGHT))
        return nullptr;
    return result.release();
}
