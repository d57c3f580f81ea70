/*
 * "KWStatusClass": a one-line status bar of sunken panes: a free status
 * text, optionally a "Total" label with a count, a "Time" label and the
 * time of day. The two texts live in "SText" children, windows that keep a
 * text and paint only a raised frame; the bar draws the texts itself,
 * through its children, and reads the clock afresh at every paint.
 *
 * The drawing tools (two brushes, a font and the bar height) are shared by
 * every bar and "SText" window of the process. Deleting them clears the
 * handles, and whoever paints next makes them again, so no window ever
 * draws with a deleted object. They are made for one DPI; a window of
 * another DPI makes them again for its own before it paints.
 *
 * A screen reader reads the bar as a status bar whose panes are static
 * texts named by what they show, and an "SText" window as a static text.
 */
#include <cstdarg>
#include <cstdio>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

constexpr int kMaxShownText = 127;
constexpr int kFontHeight = 12; // pixels at 96 DPI
constexpr SIZE_T kUpdateBlock = 255; // 254 characters and the terminator

struct StatusTools {
    HBRUSH highlight;
    HBRUSH shadow;
    HFONT font;
    bool stockFont; // the system font stood in: never deleted
    int barHeight;
    UINT dpi; // the DPI the font and height were made for
};
StatusTools tools;

// The children of the most recently created bar; used when an update names
// no status bar of its own.
HWND statusTextChild = nullptr;
HWND statusCountChild = nullptr;

// ---------------------------------------------------------------------------
// Status tools
// ---------------------------------------------------------------------------

BOOL DeleteTools()
{
    if (tools.highlight) DeleteObject(tools.highlight);
    if (tools.shadow) DeleteObject(tools.shadow);
    const BOOL deleted = tools.font && !tools.stockFont ? DeleteObject(tools.font) : FALSE;
    tools.highlight = nullptr;
    tools.shadow = nullptr;
    tools.font = nullptr;
    tools.stockFont = false;
    return deleted;
}

int CreateTools(UINT dpi)
{
    // A second call replaces the tools instead of losing the first set; the
    // new font is made before the old one goes, so the two never share a
    // handle.
    const HFONT font = CreateFontA(KwScale(kFontHeight, dpi), 0, 0, 0, 400, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN | VARIABLE_PITCH,
                                   "Helv");
    DeleteTools();
    tools.dpi = dpi;
    tools.highlight = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    tools.shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    tools.font = font;
    if (!tools.font) {
        tools.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
        tools.stockFont = true;
    }

    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, tools.font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    tools.barHeight = tm.tmHeight * 3 / 2;
    return tools.barHeight;
}

void EnsureTools(HWND window)
{
    const UINT dpi = KwWindowDpi(window);
    if (!tools.highlight || !tools.shadow || !tools.font || tools.dpi != dpi) CreateTools(dpi);
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

bool IsStatusBar(HWND window)
{
    char className[32];
    return window && GetClassNameA(window, className, sizeof className) &&
           lstrcmpiA(className, KW_STATUS_CLASS) == 0;
}

// The bar's own child when the window is a status bar, otherwise the child
// of the most recently created bar.
HWND StatusChild(HWND bar, int id)
{
    HWND own = IsStatusBar(bar) ? GetDlgItem(bar, id) : nullptr;
    if (own) return own;
    HWND shared = id == IDC_STATUSTEXT ? statusTextChild : statusCountChild;
    return IsWindow(shared) ? shared : nullptr;
}

// The child's text, cut between whole characters to the 127 bytes a pane
// shows.
using ShownText = char[kMaxShownText + 1 + kCutSlack];
int ReadChildText(HWND child, ShownText& text)
{
    text[0] = '\0';
    if (child) GetWindowTextA(child, text, sizeof text);
    return EndWhole(text, kMaxShownText);
}

// " 9:05AM", "12:30PM": the 12-hour clock, hour 0 shown as 12.
void FormatClock(const SYSTEMTIME& now, char* text, size_t size)
{
    const int hour = now.wHour % 12 == 0 ? 12 : now.wHour % 12;
    snprintf(text, size, "%2d:%02d%s", hour, now.wMinute, now.wHour < 12 ? "AM" : "PM");
}

// ---------------------------------------------------------------------------
// Panes
// ---------------------------------------------------------------------------

struct Pane {
    int left, right; // pixels from the bar's left end
    const char* text;
    bool centred;
};

// What the bar shows at one moment, with the texts its panes point at.
struct PaneLayout {
    ShownText status;
    ShownText count;
    char clock[16];
    Pane panes[5];
    int paneCount;
};

// The panes of the bar from left to right: the status text; "Total" and the
// count while there is a count; "Time" and the clock, read now. Their edges
// are 96-DPI pixels from the bar's left and right ends, scaled.
void LayOutPanes(HWND bar, PaneLayout& layout)
{
    RECT client;
    GetClientRect(bar, &client);
    const int w = client.right;
    const UINT dpi = KwWindowDpi(bar);
    const auto px = [dpi](int value) { return KwScale(value, dpi); };

    ReadChildText(StatusChild(bar, IDC_STATUSTEXT), layout.status);
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatClock(now, layout.clock, sizeof layout.clock);
    Pane* pane = layout.panes;
    if (ReadChildText(StatusChild(bar, IDC_STATUSCOUNT), layout.count) > 0) {
        *pane++ = {px(4), w - px(192), layout.status, false};
        *pane++ = {w - px(190), w - px(154), "Total", false};
        *pane++ = {w - px(152), w - px(112), layout.count, false};
    } else {
        *pane++ = {px(4), w - px(112), layout.status, false};
    }
    *pane++ = {w - px(110), w - px(70), "Time", false};
    *pane++ = {w - px(68), w - px(5), layout.clock, true};
    layout.paneCount = static_cast<int>(pane - layout.panes);
}

// A pane's sunken frame: y = 3 to H - 4.
RECT PaneFrame(HWND bar, const Pane& pane)
{
    const UINT dpi = KwWindowDpi(bar);
    RECT client;
    GetClientRect(bar, &client);
    return {pane.left, KwScale(3, dpi), pane.right, client.bottom - KwScale(4, dpi)};
}

// Formats into a 255-byte block, cutting longer texts between whole
// characters, hands the result to the child and lets the bar repaint before
// the caller goes on. A screen reader hears of the pane's new text.
void UpdateChildText(HWND bar, int id, const char* format, va_list args)
{
    LockedGlobalBlock block(kUpdateBlock + kCutSlack);
    if (!block.text()) return;
    FormatC(block.text(), block.size(), format, args);
    HWND child = StatusChild(bar, id);
    if (child) {
        const HWND owner = GetParent(child);
        PaneLayout before;
        LayOutPanes(owner, before);
        SetWindowTextA(child, block.text());
        PaneLayout after;
        LayOutPanes(owner, after);
        // The count's pane is the third while there is a count; its coming
        // or going reorders the panes.
        if (before.paneCount != after.paneCount)
            KwRaiseEvent(owner, EVENT_OBJECT_REORDER);
        else
            KwRaiseEvent(owner, EVENT_OBJECT_NAMECHANGE, id == IDC_STATUSTEXT ? 1 : 3);
    }
    InvalidateRect(bar, nullptr, FALSE);
    MyDialogYield(3);
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

// One sunken pane, filled with the button face and holding its text. It
// draws on the bar's own device context, not the paint context, so a pane
// is always drawn whole, whatever part of the bar was invalid.
void PaintPane(HWND bar, const Pane& shown)
{
    const UINT dpi = KwWindowDpi(bar);
    HDC dc = GetDC(bar);
    if (!dc) return;
    RECT pane = PaneFrame(bar, shown);
    {
        SystemPen highlight(COLOR_BTNHIGHLIGHT);
        SystemPen shadow(COLOR_BTNSHADOW);
        SelectedObject pen(dc, highlight.get());
        MoveToEx(dc, pane.left, pane.bottom, nullptr);
        LineTo(dc, pane.right, pane.bottom);
        LineTo(dc, pane.right, pane.top);
        SelectObject(dc, shadow.get());
        LineTo(dc, pane.left, pane.top);
        LineTo(dc, pane.left, pane.bottom);
    }
    InflateRect(&pane, -1, -1);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &pane, face);
    DeleteObject(face);
    pane.bottom += 1;

    if (!shown.centred) pane.left += KwScale(2, dpi);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    // The context's own black outside a high-contrast scheme.
    const COLORREF oldInk = SetTextColor(dc, KwSchemeColour(GetTextColor(dc), COLOR_BTNTEXT));
    SelectedObject font(dc, tools.font);
    KwDrawText(dc, shown.text, -1, &pane,
               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (shown.centred ? DT_CENTER : 0));
    SetTextColor(dc, oldInk);
    SetBkMode(dc, oldMode);
    ReleaseDC(bar, dc);
}

void PaintAllPanes(HWND bar)
{
    EnsureTools(bar);
    PaneLayout layout;
    LayOutPanes(bar, layout);
    for (int i = 0; i < layout.paneCount; ++i) PaintPane(bar, layout.panes[i]);
}

// ---------------------------------------------------------------------------
// Accessibility
// ---------------------------------------------------------------------------

LONG Status_PaneCount(HWND bar)
{
    PaneLayout layout;
    LayOutPanes(bar, layout);
    return layout.paneCount;
}

// A pane is named by its text as shown, without the clock's leading blank.
void Status_PaneName(HWND bar, LONG part, std::string& text)
{
    PaneLayout layout;
    LayOutPanes(bar, layout);
    if (part < 1 || part > layout.paneCount) return;
    const char* shown = layout.panes[part - 1].text;
    while (*shown == ' ') ++shown;
    text = shown;
}

bool Status_PaneRect(HWND bar, LONG part, RECT* rect)
{
    PaneLayout layout;
    LayOutPanes(bar, layout);
    if (part < 1 || part > layout.paneCount) return false;
    *rect = PaneFrame(bar, layout.panes[part - 1]);
    return true;
}

constexpr KwAccessInfo kBarAccess = {ROLE_SYSTEM_STATUSBAR, Status_PaneName, nullptr, KwReadOnlyState, nullptr, nullptr,
                                     ROLE_SYSTEM_STATICTEXT, Status_PaneCount, Status_PaneRect};

constexpr KwAccessInfo kTextAccess = {
    ROLE_SYSTEM_STATICTEXT,
    [](HWND window, LONG, std::string& text) {
        ShownText shown;
        text.assign(shown, static_cast<size_t>(ReadChildText(window, shown)));
    },
    nullptr, KwReadOnlyState};

// ---------------------------------------------------------------------------
// The status bar
// ---------------------------------------------------------------------------

HWND CreateTextChild(HWND bar, int id)
{
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(bar, GWLP_HINSTANCE));
    return CreateWindowExA(0, KW_STATUSTEXT_CLASS, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, bar,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

bool Status_Create(HWND bar)
{
    HWND text = CreateTextChild(bar, IDC_STATUSTEXT);
    if (!text) return false;
    HWND count = CreateTextChild(bar, IDC_STATUSCOUNT);
    if (!count) return false;
    statusTextChild = text;
    statusCountChild = count;
    return true;
}

// The status-text child frames the bar; the panes show through it.
void Status_Size(HWND bar, int width, int height)
{
    HWND text = GetDlgItem(bar, IDC_STATUSTEXT);
    if (text) MoveWindow(text, 2, 1, width - 4, height - 2, TRUE);
    InvalidateRect(bar, nullptr, TRUE);
}

void Status_Paint(HWND bar)
{
    PAINTSTRUCT ps;
    BeginPaint(bar, &ps);
    MsgTimer(bar);
    EndPaint(bar, &ps);
}

void Status_Destroy(HWND bar)
{
    DeleteTools();
    // The children die with the bar: forget them rather than keep handles
    // that a later window could reuse.
    if (statusTextChild && GetParent(statusTextChild) == bar) statusTextChild = nullptr;
    if (statusCountChild && GetParent(statusCountChild) == bar) statusCountChild = nullptr;
}

// ---------------------------------------------------------------------------
// "SText"
// ---------------------------------------------------------------------------

LRESULT Text_SetText(HWND window, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = DefWindowProcA(window, WM_SETTEXT, wParam, lParam);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    KwRaiseEvent(window, EVENT_OBJECT_NAMECHANGE);
    return result;
}

} // namespace

int WINAPI statusCreateTools(void)
{
    return CreateTools(KwScreenDpi());
}

BOOL WINAPI statusDeleteTools(void)
{
    return DeleteTools();
}

int WINAPI statusGetHeight(void)
{
    return tools.barHeight;
}

void __cdecl statusUpdateStatus(HWND statusBar, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    UpdateChildText(statusBar, IDC_STATUSTEXT, format, args);
    va_end(args);
}

void __cdecl statusUpdateCount(HWND statusBar, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    UpdateChildText(statusBar, IDC_STATUSCOUNT, format, args);
    va_end(args);
}

int WINAPI MsgTimer(HWND statusBar)
{
    if (IsWindow(statusBar)) PaintAllPanes(statusBar);
    return 0;
}

// Every message also reaches DefWindowProcA, which erases the background
// with the class brush and answers the rest.
LRESULT WINAPI statusWndProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        if (!Status_Create(bar)) return -1;
        break;
    case WM_SIZE: Status_Size(bar, LOWORD(lParam), HIWORD(lParam)); break;
    case WM_PAINT: Status_Paint(bar); break;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        CreateTools(KwWindowDpi(bar));
        InvalidateRect(bar, nullptr, TRUE);
        break;
    case WM_GETOBJECT: return KwAnswerGetObject(bar, wParam, lParam, kBarAccess);
    case WM_NCDESTROY: KwForgetAccessible(bar); break;
    // The window's DPI changed: font and height follow it.
    case WM_DPICHANGED_AFTERPARENT:
        CreateTools(KwWindowDpi(bar));
        InvalidateRect(bar, nullptr, TRUE);
        break;
    // The tools' font, so that a caller can measure what the bar shows.
    case WM_GETFONT: EnsureTools(bar); return reinterpret_cast<LRESULT>(tools.font);
    case WM_DESTROY: Status_Destroy(bar); break;
    default: break;
    }
    return DefWindowProcA(bar, msg, wParam, lParam);
}

LRESULT WINAPI fnText(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SETTEXT: return Text_SetText(window, wParam, lParam);
    case WM_PAINT: PaintWindow(window, PaintText); return 0;
    // Never erased: the bar's panes show through.
    case WM_ERASEBKGND: return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        CreateTools(KwWindowDpi(window));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_GETOBJECT: return KwAnswerGetObject(window, wParam, lParam, kTextAccess);
    case WM_NCDESTROY: KwForgetAccessible(window); return DefWindowProcA(window, msg, wParam, lParam);
    default: return DefWindowProcA(window, msg, wParam, lParam);
    }
}

// A raised frame: highlight along the left and top, shadow along the right
// and bottom. The text itself is drawn by the bar.
void WINAPI PaintText(HWND window, HDC dc)
{
    EnsureTools(window);
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    HGDIOBJ old = SelectObject(dc, tools.highlight);
    PatBlt(dc, 0, 0, 1, h, PATCOPY);
    PatBlt(dc, 0, 0, w, 1, PATCOPY);
    SelectObject(dc, tools.shadow);
    PatBlt(dc, w - 1, 1, 1, h - 1, PATCOPY);
    PatBlt(dc, 1, h - 1, w - 1, 1, PATCOPY);
    SelectObject(dc, old);
}

int WINAPI statusInit(HINSTANCE instance, int toolsOnly)
{
    CreateTools(KwScreenDpi());
    if (toolsOnly) return 1;

    constexpr UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HBRUSH face = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (!RegisterKwClass(instance, {KW_STATUS_CLASS, style, statusWndProc, 0, 0, arrow, face})) return 0;
    if (!RegisterKwClass(instance, {KW_STATUSTEXT_CLASS, style, fnText, 0, 0, arrow, face})) return 0;
    return 1;
}
