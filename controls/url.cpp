/*
 * "KWURLWindow": a child control that shows a web link as underlined text,
 * opens it on a click and copies it from a context menu.
 * It never shows its window title (a dialog template's placeholder text is
 * ignored), sends its parent nothing, and paints only the cells behind its
 * text: the rest of its client area shows whatever lies under it.
 * A click gives it the focus; Space and Enter open the link, and the menu
 * key and Shift+F10 open its menu. A screen reader reads it as a link.
 */
#include <cstring>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

#include <shellapi.h>
#include <windowsx.h>

namespace {

constexpr int kLinkSize = 255;  // 254 characters and the terminator
constexpr int kTextSize = 257;
constexpr int kPaintSize = 256;
constexpr UINT IDM_COPYLINK = 769;
constexpr COLORREF kNormalColour = RGB(10, 10, 255);
constexpr COLORREF kPressedColour = RGB(200, 10, 255);

// The family's home page: what a new control shows until its owner gives
// it another link.
const char kDefaultLink[] = "http://www.kestrel.com";

struct URLData {
    char link[kLinkSize];  // what is opened and copied
    char text[kTextSize];  // what is painted; always a copy of link
    HFONT font;
    int pressed;           // 1 while the left button is held on the control
};

// The window's URLData, whose handle lives at index 0 of the window's extra
// bytes, locked for the length of one message. Empty when the window has
// no data (its block could not be made at creation).
using LockedData = LockedWindowBlock<URLData>;

// The link font's cell, in pixels at 96 DPI.
constexpr int kFontHeight = 18;
constexpr int kFontWidth = 6;

HFONT CreateLinkFont(UINT dpi)
{
    LOGFONTA record = {};
    record.lfHeight = KwScale(kFontHeight, dpi);
    record.lfWidth = KwScale(kFontWidth, dpi);
    record.lfWeight = 500;
    record.lfItalic = TRUE;
    record.lfUnderline = TRUE;
    record.lfCharSet = ANSI_CHARSET;
    record.lfOutPrecision = OUT_STRING_PRECIS;
    record.lfClipPrecision = CLIP_STROKE_PRECIS;
    record.lfQuality = PROOF_QUALITY;
    record.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    // Not an installed face: the font mapper picks a variable-pitch roman
    // face that fits the other fields.
    lstrcpynA(record.lfFaceName, "MyFont", LF_FACESIZE);
    return CreateFontIndirectA(&record);
}

void SetLink(URLData* data, const char* link)
{
    // A longer link is cut to the 254 bytes the field holds, between whole
    // characters.
    KwCopyWhole(data->link, link, kLinkSize);
    KwCopyWhole(data->text, data->link, kTextSize);
}

LRESULT URL_Create(HWND window)
{
    // Creation succeeds without a block too: the control then stays inert.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(URLData));
    URLData* data = block ? static_cast<URLData*>(GlobalLock(block)) : nullptr;
    if (!data) {
        if (block) GlobalFree(block);
        return 1;
    }
    data->font = CreateLinkFont(KwWindowDpi(window));
    SetLink(data, kDefaultLink);
    GlobalUnlock(block);
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(block));
    return 1;
}

// The window's DPI changed: the font is made again for it, the new one
// before the old one goes.
void URL_DpiChanged(HWND window)
{
    LockedData data(window);
    if (!data) return;
    ReplaceFont(data->font, CreateLinkFont(KwWindowDpi(window)));
    InvalidateRect(window, nullptr, FALSE);
}

LRESULT URL_GetFont(HWND window)
{
    LockedData data(window);
    return data ? reinterpret_cast<LRESULT>(data->font) : 0;
}

void URL_Destroy(HWND window)
{
    HGLOBAL block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, 0));
    if (!block) return;
    SetWindowLongPtrA(window, 0, 0);
    if (URLData* data = static_cast<URLData*>(GlobalLock(block))) {
        if (data->font) DeleteObject(data->font);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

bool ShowsFocus(HWND window)
{
    return GetFocus() == window && !(SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

void URL_Paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    LockedData data(window);
    if (dc && data) {
        // In a high-contrast scheme a link takes the scheme's link colour.
        SetTextColor(dc, KwSchemeColour(data->pressed ? kPressedColour : kNormalColour, COLOR_HOTLIGHT));
        char line[kPaintSize];
        KwCopyWhole(line, data->text, sizeof line);
        // The background mode stays opaque: the cells behind the characters
        // take the face colour, the rest of the client area is left alone.
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        const HGDIOBJ previousFont = data->font ? SelectObject(dc, data->font) : nullptr;
        RECT client;
        GetClientRect(window, &client);
        KwDrawText(dc, line, -1, &client, DT_WORDBREAK);
        // The focus rectangle lies on the text's own cells, which the next
        // paint covers again.
        if (ShowsFocus(window)) {
            RECT text = client;
            KwDrawText(dc, line, -1, &text, DT_WORDBREAK | DT_CALCRECT);
            DrawFocusRect(dc, &text);
        }
        if (previousFont) SelectObject(dc, previousFont);
    }
    EndPaint(window, &ps);
}

// The focus rectangle comes or goes: what lies under the control is drawn
// again first, since the control paints only its text's cells.
void URL_FocusChanged(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    const HWND parent = GetParent(window);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    if (parent) InvalidateRect(parent, &area, TRUE);
    InvalidateRect(window, nullptr, FALSE);
}

// Opens the link through the shell, as a click does.
void URL_Open(HWND window)
{
    char link[kLinkSize] = "";
    {
        LockedData data(window);
        if (!data) return;
        KwCopyWhole(link, data->link, sizeof link);
    }
    // The block is unlocked before the shell runs: it may dispatch messages,
    // and this window could be gone by the time it returns.
    if (link[0]) ShellExecuteA(window, "open", link, nullptr, nullptr, SW_SHOWNORMAL);
}

void URL_Press(HWND window)
{
    if (!LockedData(window)) return;
    SetFocus(window);
    LockedData data(window);
    if (!data) return;
    SetCapture(window);
    data->pressed = 1;
    InvalidateRect(window, nullptr, FALSE);
}

void URL_Release(HWND window, LPARAM position)
{
    bool open = false;
    {
        LockedData data(window);
        if (!data) return;
        // Only the release decides: a release over the control opens the
        // link even when the press began elsewhere, and a release over
        // anything else (another window covering the control included)
        // opens nothing.
        POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        ClientToScreen(window, &point);
        open = WindowFromPoint(point) == window;
        data->pressed = 0;
    }
    if (open) URL_Open(window);
    ReleaseCapture();
    InvalidateRect(window, nullptr, FALSE);
}

// The menu at a screen point: the pointer's for a right click, the
// control's top left corner when it came from the keyboard.
void URL_ContextMenu(HWND window, POINT at)
{
    // An inert control (one without data) offers no menu.
    if (!LockedData(window)) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuA(menu, MF_STRING, IDM_COPYLINK, "Copy Link");
    // Choosing the entry sends this window WM_COMMAND IDM_COPYLINK.
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

void URL_MenuAtPointer(HWND window)
{
    POINT cursor;
    GetCursorPos(&cursor);
    URL_ContextMenu(window, cursor);
}

void URL_MenuFromKeyboard(HWND window)
{
    POINT corner = {0, 0};
    ClientToScreen(window, &corner);
    URL_ContextMenu(window, corner);
}

// WM_CONTEXTMENU: lParam -1 when the keyboard asked for the menu.
void URL_MenuAt(HWND window, LPARAM where)
{
    if (where == -1)
        URL_MenuFromKeyboard(window);
    else
        URL_ContextMenu(window, {GET_X_LPARAM(where), GET_Y_LPARAM(where)});
}

bool IsMenuKey(UINT message, WPARAM key)
{
    if (message == WM_KEYDOWN || message == WM_KEYUP) return key == VK_APPS;
    return key == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000);
}

// Space and Enter open the link; the menu key and Shift+F10 open the menu
// (their key-up is swallowed, so that no second menu comes from the
// default handling).
LRESULT URL_Key(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsMenuKey(message, wParam)) {
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) URL_MenuFromKeyboard(window);
        return 0;
    }
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_SPACE)) {
        URL_Open(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Enter reaches the link instead of pressing the dialog's default button.
LRESULT URL_DialogCode(LPARAM message)
{
    const MSG* m = reinterpret_cast<const MSG*>(message);
    return m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
}

void URL_Command(HWND window, WPARAM wParam)
{
    if (LOWORD(wParam) != IDM_COPYLINK) return;
    char link[kLinkSize];
    {
        LockedData data(window);
        if (!data) return;
        KwCopyWhole(link, data->link, sizeof link);
    }
    ClipCopy(window, link);
}

void URL_SetLink(HWND window, LPARAM lParam)
{
    // The new text shows at the next paint; owners set it before showing.
    LockedData data(window);
    if (data && lParam) SetLink(data.get(), reinterpret_cast<const char*>(lParam));
}

// A link named by the text it shows, whose value is its target; "Jump"
// opens it.
void URL_AccessText(HWND window, bool target, std::string& text)
{
    LockedData data(window);
    if (data) text = target ? data->link : data->text;
}

constexpr KwAccessInfo kAccess = {
    ROLE_SYSTEM_LINK,
    [](HWND window, LONG, std::string& text) { URL_AccessText(window, false, text); },
    [](HWND window, LONG, std::string& text) { URL_AccessText(window, true, text); },
    [](HWND, LONG, LONG standard) -> LONG { return standard | STATE_SYSTEM_LINKED; },
    "Jump",
    [](HWND window, LONG) { URL_Open(window); }};

LRESULT CALLBACK URLProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:        return URL_Create(window);
    case WM_PAINT:         URL_Paint(window); return 0;
    case WM_ERASEBKGND:    return 0;
    case WM_LBUTTONDOWN:   URL_Press(window); return 0;
    case WM_LBUTTONUP:     URL_Release(window, lParam); return 0;
    case WM_RBUTTONDOWN:   URL_MenuAtPointer(window); return 0;
    // The menu came with the press: no second one from WM_CONTEXTMENU.
    case WM_RBUTTONUP:     return 0;
    case WM_CONTEXTMENU:   URL_MenuAt(window, lParam); return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:      return URL_Key(window, message, wParam, lParam);
    case WM_GETDLGCODE:    return URL_DialogCode(lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:     URL_FocusChanged(window); return 0;
    case WM_UPDATEUISTATE:
        DefWindowProcA(window, message, wParam, lParam);
        URL_FocusChanged(window);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_GETOBJECT:     return KwAnswerGetObject(window, wParam, lParam, kAccess);
    case WM_COMMAND:       URL_Command(window, wParam); return 0;
    case WM_MOUSEMOVE:     return 0;
    case WM_NCDESTROY:
        KwForgetAccessible(window);
        URL_Destroy(window);
        return 0;
    case URLM_SETLINK:     URL_SetLink(window, lParam); return 0;
    case WM_DPICHANGED_AFTERPARENT: URL_DpiChanged(window); return 0;
    case WM_GETFONT:       return URL_GetFont(window);
    // A double click's second press comes as WM_LBUTTONDBLCLK, which is left
    // to default processing: the second release opens the link again.
    default:               return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

ATOM WINAPI InitURL(HINSTANCE instance)
{
    // The hand cursor comes from the registering module: an application
    // that passes its own instance must carry "IDC_HAND" itself. Index 0 of
    // the 15 extra bytes holds the data block's handle, on x64 as well.
    return RegisterKwClass(instance, {KW_URL_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      URLProc, 5, 15, LoadCursorA(instance, "IDC_HAND"),
                                      VersionRuleBrush()});
}

int WINAPI ClipCopy(HWND owner, LPCSTR text)
{
    if (!OpenClipboard(owner)) return 0;
    // The clipboard is not emptied: what it holds in other formats stays.
    // An empty link is refused, silently.
    const bool placed = text && text[0] && AddClipboardText(text) == ClipboardResult::Placed;
    CloseClipboard();
    return placed ? 1 : 0;
}
