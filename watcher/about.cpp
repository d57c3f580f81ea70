/*
 * The "About Tidbell" box: the logo stretched over an owner-drawn button,
 * a version line that slides in from the right and scrolls out to the left
 * in a large italic font, the credits and a link to the family's home page.
 * OK, Enter and the caption's close button end it; Esc is ignored.
 *
 * Each open box keeps its own logo, font, timer and animation counters, so
 * a second box opened from the tray menu while one is up neither doubles
 * the first one's animation nor frees what the first one still shows.
 */
#include <cstdio>
#include <cstring>
#include <new>

#include "dpimetrics.h"
#include "kwctrl32.h"
#include "resource.h"
#include "watcher.h"

namespace {

constexpr UINT_PTR IDT_ABOUT = 1;
constexpr UINT kTickMs = 180;
// The line is built in a buffer of this size: a version text that would not
// fit is cut, so the animation never writes past it.
constexpr int kLineSize = 50;

struct AboutBox {
    HBITMAP logoBitmap;
    HFONT titleFont;
    UINT_PTR aboutTimer;
    int slideCount;    // characters still to slide in
    int scrollOffset;  // characters already scrolled out
};

AboutBox* BoxOf(HWND dialog)
{
    return reinterpret_cast<AboutBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// "Tidbell v2.0.9"; returns its length.
int VersionText(char (&text)[kLineSize])
{
    const int length = snprintf(text, sizeof text, "Tidbell v%d.%d.%d", 2, 0, 9);
    return length < 0 ? 0 : (length < kLineSize ? length : kLineSize - 1);
}

// A 96-DPI pixel count of the box grown as its dialog units have grown:
// by the height of the dialog font now over its height at 96 DPI. The
// version line is sized in dialog units, which follow that height rather
// than the DPI itself (a font's height rounds in steps of its own), so a
// title scaled by the DPI alone can outgrow its line.
int ScaledLikeDialogUnits(HWND dialog, UINT dpi, int value)
{
    if (dpi == kKwBaseDpi) return value;
    RECT unit = {0, 0, 4, 8};
    LOGFONTA record = {};
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (!MapDialogRect(dialog, &unit) || !font || !GetObjectA(font, sizeof record, &record)) return KwScale(value, dpi);
    record.lfHeight = MulDiv(record.lfHeight, kKwBaseDpi, dpi);
    record.lfWidth = MulDiv(record.lfWidth, kKwBaseDpi, dpi);
    int heightAt96 = 0;
    if (const HFONT font96 = CreateFontIndirectA(&record)) {
        if (const HDC screen = GetDC(nullptr)) {
            const HGDIOBJ old = SelectObject(screen, font96);
            TEXTMETRICW metrics = {};
            if (GetTextMetricsW(screen, &metrics)) heightAt96 = metrics.tmHeight;
            SelectObject(screen, old);
            ReleaseDC(nullptr, screen);
        }
        DeleteObject(font96);
    }
    return heightAt96 > 0 ? MulDiv(value, unit.bottom, heightAt96) : KwScale(value, dpi);
}

// The version line's font: 36 by 18 pixels at 96 DPI, grown with the box.
HFONT CreateTitleFont(HWND dialog, UINT dpi)
{
    LOGFONTA record = {};
    record.lfHeight = ScaledLikeDialogUnits(dialog, dpi, 36);
    record.lfWidth = ScaledLikeDialogUnits(dialog, dpi, 18);
    record.lfWeight = FW_BOLD;
    record.lfItalic = TRUE;
    record.lfCharSet = ANSI_CHARSET;
    record.lfOutPrecision = OUT_STRING_PRECIS;
    record.lfClipPrecision = CLIP_STROKE_PRECIS;
    record.lfQuality = PROOF_QUALITY;
    record.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    // Not an installed face: the font mapper picks a bold roman face.
    lstrcpynA(record.lfFaceName, "MyFont", LF_FACESIZE);
    return CreateFontIndirectA(&record);
}

// The logo drawn at twice its size, for boxes at 150% and more, where the
// 60 x 96 picture stretched over the button would show blocks.
constexpr UINT kLargeLogoDpi = 144;

HBITMAP LoadLogo(UINT dpi)
{
    return LoadTransparentBitmap(appInstance, dpi >= kLargeLogoDpi ? IDB_LOGO2X : IDB_LOGO,
                                 GetSysColor(COLOR_BTNFACE));
}

// Gives back everything the box made; safe to call more than once.
void ReleaseBox(HWND dialog, AboutBox* box)
{
    if (box->titleFont) {
        // The version line lets go of the font before it is deleted.
        SendDlgItemMessageA(dialog, IDC_ABOUT_VERSION, WM_SETFONT, 0, FALSE);
        DeleteObject(box->titleFont);
        box->titleFont = nullptr;
    }
    if (box->aboutTimer) {
        KillTimer(dialog, box->aboutTimer);
        box->aboutTimer = 0;
    }
    if (box->logoBitmap) {
        DeleteObject(box->logoBitmap);
        box->logoBitmap = nullptr;
    }
}

BOOL About_Open(HWND dialog)
{
    AboutBox* box = new (std::nothrow) AboutBox();
    if (!box) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(box));

    const UINT dpi = KwWindowDpi(dialog);
    box->logoBitmap = LoadLogo(dpi);
    SetDialogIcons(dialog, IDI_ABOUT);
    box->titleFont = CreateTitleFont(dialog, dpi);
    char version[kLineSize];
    box->slideCount = VersionText(version);
    box->scrollOffset = 0;

    if (!box->titleFont) {
        // Without its font the box does not open at all.
        ReleaseBox(dialog, box);
        EndDialog(dialog, 0);
        return TRUE;
    }
    SendDlgItemMessageA(dialog, IDC_ABOUT_VERSION, WM_SETFONT, reinterpret_cast<WPARAM>(box->titleFont), FALSE);
    // Asked for under an identifier of its own, so that KillTimer matches
    // the timer that is running.
    box->aboutTimer = SetTimer(dialog, IDT_ABOUT, kTickMs, nullptr);
    winCenter(dialog);
    return TRUE;
}

// One animation step. The line grows in from the right one character per
// tick until the text stands whole (L ticks), loses one character at its
// left per tick (L - 1 ticks), stays empty for one tick and starts again.
// TRUE on the tick that empties the line.
BOOL About_Tick(HWND dialog, AboutBox* box)
{
    char version[kLineSize];
    const int length = VersionText(version);
    char line[kLineSize];
    if (box->slideCount > 0) {
        --box->slideCount;
        const int shown = length - box->slideCount;
        memset(line, ' ', box->slideCount);
        memcpy(line + box->slideCount, version, shown);
        line[length] = '\0';
    } else {
        ++box->scrollOffset;
        if (box->scrollOffset >= length) {
            box->slideCount = length;
            box->scrollOffset = 0;
            SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, "");
            return TRUE;
        }
        lstrcpynA(line, version + box->scrollOffset, sizeof line);
    }
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line);
    return FALSE;
}

// A window's device context, released with the guard.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The logo is stretched over the whole button, whatever its size in pixels.
BOOL About_DrawLogo(const AboutBox* box, const DRAWITEMSTRUCT* item)
{
    BITMAP logo;
    if (!box->logoBitmap || !GetObjectA(box->logoBitmap, sizeof logo, &logo)) return FALSE;
    RECT client;
    GetClientRect(item->hwndItem, &client);

    WindowDC button(item->hwndItem);
    HDC memory = CreateCompatibleDC(button.get());
    if (!memory) return FALSE;
    const HGDIOBJ previous = SelectObject(memory, box->logoBitmap);
    if (!previous) {
        DeleteDC(memory);
        return FALSE;
    }
    StretchBlt(item->hDC, client.left, client.top, client.right - client.left, client.bottom - client.top, memory,
               0, 0, logo.bmWidth, logo.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return TRUE;
}

BOOL About_DrawItem(HWND dialog, LPARAM lParam)
{
    const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    const AboutBox* box = BoxOf(dialog);
    if (!box || !item || item->CtlID != IDC_ABOUT_LOGO || item->CtlType != ODT_BUTTON) return FALSE;
    return About_DrawLogo(box, item);
}

void About_Command(HWND dialog, WPARAM wParam)
{
    // Esc (IDCANCEL) does nothing: only OK or Enter end the box.
    if (LOWORD(wParam) != IDOK) return;
    if (AboutBox* box = BoxOf(dialog)) ReleaseBox(dialog, box);
    EndDialog(dialog, 1);
}

void About_Destroy(HWND dialog)
{
    // Whatever way the box goes, nothing it made stays behind.
    ReleaseDialogIcons(dialog);
    AboutBox* box = BoxOf(dialog);
    if (!box) return;
    ReleaseBox(dialog, box);
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
    delete box;
}

} // namespace

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return About_Open(dialog);
    case WM_TIMER:
        if (AboutBox* box = BoxOf(dialog)) return About_Tick(dialog, box);
        return FALSE;
    case WM_DRAWITEM:
        return About_DrawItem(dialog, lParam);
    case WM_COMMAND:
        About_Command(dialog, wParam);
        return FALSE;
    case WM_CLOSE:
        // The caption's close button closes the box the way OK does.
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        return FALSE;
    case WM_DESTROY:
        About_Destroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
