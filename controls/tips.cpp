/*
 * "KWtipclass": delayed tool tips hooked onto dialog controls. A tip is a
 * hidden popup owned by the dialog; the control's window procedure is
 * replaced by a hook that shows the tip after the pointer rests on the
 * control and hides it on any click, key, focus change or when the pointer
 * leaves. Everything a tip needs lives in window properties of the control:
 * the library keeps no list of tips, and tips send nothing to the dialog.
 */
#include <initializer_list>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

constexpr int kMaxTipText = 127;
constexpr UINT kDelayMs = 100;
constexpr UINT kHideMs = 5000;

// Offsets of the shown tip from the pointer, and the step by which it is
// pulled back onto the screen.
constexpr int kTipRight = 12;
constexpr int kTipDown = 20;
constexpr int kFitStep = 8;

// The tip's font height and its text's margins, in pixels at 96 DPI.
constexpr int kFontHeight = 8;
constexpr int kTextLeft = 6;
constexpr int kTextTop = 3;
constexpr int kExtraWidth = 14;
constexpr int kExtraHeight = 8;

// Stored, never read: tips behave the same whatever it holds.
LONG_PTR tipsStatus = 0;

LRESULT CALLBACK TipHook(HWND control, UINT msg, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Per-control properties
// ---------------------------------------------------------------------------

HANDLE GetTipProp(HWND control, int atom)
{
    return GetPropA(control, MAKEINTATOM(atom));
}

void SetTipProp(HWND control, int atom, UINT_PTR value)
{
    SetPropA(control, MAKEINTATOM(atom), reinterpret_cast<HANDLE>(value));
}

// The properties that keep the procedure the hook replaced, 16 bits each,
// the lowest first: two on x86, four on x64, where a pointer has 64 bits.
constexpr int kProcPieces[] = {TIPPROP_PROCLO, TIPPROP_PROCHI,
#ifdef _WIN64
                               TIPPROP_PROC32, TIPPROP_PROC48,
#endif
};

// The procedure the hook replaced, rebuilt from its 16-bit pieces.
WNDPROC PreviousProc(HWND control)
{
    UINT_PTR address = 0;
    int shift = 0;
    for (int atom : kProcPieces) {
        address |= (reinterpret_cast<UINT_PTR>(GetTipProp(control, atom)) & 0xFFFF) << shift;
        shift += 16;
    }
    return reinterpret_cast<WNDPROC>(address);
}

HWND TipWindowOf(HWND control)
{
    return static_cast<HWND>(GetTipProp(control, TIPPROP_TIPWND));
}

bool Hovering(HWND control)
{
    return GetTipProp(control, TIPPROP_HOVER) != nullptr;
}

void SetHovering(HWND control, bool on)
{
    SetTipProp(control, TIPPROP_HOVER, on ? 1 : 0);
}

void Hook(HWND control, HWND tip)
{
    const UINT_PTR previous = static_cast<UINT_PTR>(GetWindowLongPtrA(control, GWLP_WNDPROC));
    int shift = 0;
    for (int atom : kProcPieces) {
        SetTipProp(control, atom, (previous >> shift) & 0xFFFF);
        shift += 16;
    }
    SetHovering(control, false);
    SetTipProp(control, TIPPROP_TIPWND, reinterpret_cast<UINT_PTR>(tip));
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TipHook));
}

// ---------------------------------------------------------------------------
// The hook's states: idle, waiting (timer 1), showing (capture, timer 2 once
// the pointer moved) and quiet (hover set, nothing running).
// ---------------------------------------------------------------------------

bool PointerInside(HWND control, POINT* pointer)
{
    RECT area;
    GetCursorPos(pointer);
    GetWindowRect(control, &area);
    return PtInRect(&area, *pointer) != FALSE;
}

void HideTip(HWND control)
{
    HWND tip = TipWindowOf(control);
    if (!IsWindow(tip) || !IsWindowVisible(tip)) return;
    SendMessageA(tip, TIPM_SHOW, 0, 0);
    // The control took the capture when the tip appeared; leave anyone
    // else's capture alone.
    if (GetCapture() == control) ReleaseCapture();
}

void ReturnToIdle(HWND control)
{
    KillTimer(control, TIP_TIMER_DELAY);
    KillTimer(control, TIP_TIMER_HIDE);
    SetHovering(control, false);
    HideTip(control);
}

// A move over the enabled control with the left button up arms the delay,
// or, while the tip shows, restarts its 5-second life. Once hover is set
// (waiting, or quiet after the tip timed out) further moves start nothing.
void Tip_PointerMoved(HWND control)
{
    POINT pointer;
    const bool inside = PointerInside(control, &pointer);
    if (!inside || (GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
        ReturnToIdle(control);
        return;
    }
    if (!IsWindowEnabled(control)) return;
    HWND tip = TipWindowOf(control);
    if (IsWindow(tip) && IsWindowVisible(tip)) {
        SetTimer(control, TIP_TIMER_HIDE, kHideMs, nullptr);
        SetHovering(control, true);
    } else if (!Hovering(control)) {
        SetTimer(control, TIP_TIMER_DELAY, kDelayMs, nullptr);
        SetHovering(control, true);
    }
}

void Tip_Timer(HWND control, UINT_PTR id)
{
    KillTimer(control, TIP_TIMER_DELAY);
    if (id == TIP_TIMER_DELAY) {
        SetHovering(control, false);
        POINT pointer;
        if (PointerInside(control, &pointer)) {
            SendMessageA(TipWindowOf(control), TIPM_SHOW, 1, MAKELPARAM(pointer.x, pointer.y));
            SetCapture(control);
        }
        return;
    }
    // Any other timer, the control's own included, ends a showing tip.
    KillTimer(control, TIP_TIMER_HIDE);
    HideTip(control);
}

// Puts back the replaced procedure and forgets the tip; the tip window
// itself goes away with the dialog that owns it.
void Tip_ControlDestroyed(HWND control, WNDPROC previous)
{
    ReturnToIdle(control);
    if (previous) SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    for (int atom : kProcPieces) RemovePropA(control, MAKEINTATOM(atom));
    for (int atom : {TIPPROP_HOVER, TIPPROP_TIPWND}) RemovePropA(control, MAKEINTATOM(atom));
}

bool IsDismissing(UINT msg, WPARAM wParam)
{
    if (msg >= WM_KEYDOWN && msg <= 0x108) return true;
    switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return true;
    case WM_ACTIVATEAPP: return wParam == 0;
    default: return false;
    }
}

// Watches the control's traffic and passes every message on unchanged.
LRESULT CALLBACK TipHook(HWND control, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC previous = PreviousProc(control);
    switch (msg) {
    case WM_MOUSEMOVE: Tip_PointerMoved(control); break;
    case WM_TIMER: Tip_Timer(control, wParam); break;
    case WM_DESTROY: Tip_ControlDestroyed(control, previous); break;
    default:
        if (IsDismissing(msg, wParam)) ReturnToIdle(control);
        break;
    }
    if (!previous) return DefWindowProcA(control, msg, wParam, lParam);
    return CallWindowProcA(previous, control, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// The tip window
// ---------------------------------------------------------------------------

// Made afresh for every measure and paint, at the tip's DPI of the moment.
HFONT MakeTipFont(UINT dpi)
{
    return CreateFontA(-KwScale(kFontHeight, dpi), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0,
                       0, "Helv");
}

// The tip's text, cut between whole characters to the 127 bytes a tip
// shows.
using TipText = char[kMaxTipText + 1 + kCutSlack];
int ReadTipText(HWND tip, TipText& text)
{
    text[0] = '\0';
    GetWindowTextA(tip, text, sizeof text);
    return EndWhole(text, kMaxTipText);
}

// Sizes the tip around its text in the font of its DPI.
void Tip_Fit(HWND tip, const char* text, int length)
{
    const UINT dpi = KwWindowDpi(tip);
    SIZE extent = {};
    HDC dc = GetDC(tip);
    HFONT font = MakeTipFont(dpi);
    HGDIOBJ oldFont = SelectObject(dc, font);
    KwTextExtent(dc, text, length, &extent);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    ReleaseDC(tip, dc);
    SetWindowPos(tip, nullptr, 0, 0, extent.cx + KwScale(kExtraWidth, dpi), extent.cy + KwScale(kExtraHeight, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A tip moved to a display of another DPI takes the place the system
// suggests and fits its text again in the font of the new DPI.
void Tip_DpiChanged(HWND tip, const RECT* suggested)
{
    KwTakeSuggestedRect(tip, suggested);
    TipText text;
    const int length = ReadTipText(tip, text);
    if (length > 0) Tip_Fit(tip, text, length);
}

// Refuses a missing control, one whose class can't be read, another tip
// and an empty text; otherwise fits the tip around its text and hooks the
// control.
LRESULT Tip_Create(HWND tip, const CREATESTRUCTA* cs)
{
    const HWND* controlHandle = static_cast<const HWND*>(cs->lpCreateParams);
    HWND control = controlHandle ? *controlHandle : nullptr;
    if (!control) return -1;
    char className[32];
    if (!GetClassNameA(control, className, sizeof className)) return -1;
    if (lstrcmpiA(className, KW_TIP_CLASS) == 0) return -1;
    TipText text;
    const int length = ReadTipText(tip, text);
    if (length <= 0) return -1;

    Tip_Fit(tip, text, length);
    Hook(control, tip);
    return 0;
}

// The tip goes 12 pixels right of the pointer and 20 below it. It is pulled
// back in steps of 8 until it fits the screen, never past the left or top
// edge; the vertical fit is judged before the 20-pixel drop.
void Tip_Show(HWND tip, LPARAM pointer)
{
    RECT client;
    GetClientRect(tip, &client);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);

    const UINT dpi = KwWindowDpi(tip);
    const int step = KwScale(kFitStep, dpi);
    int x = LOWORD(pointer) + KwScale(kTipRight, dpi);
    while (x + client.right > screenWidth) x -= step;
    while (x < 0) x += step;
    int y = HIWORD(pointer);
    while (y + client.bottom > screenHeight) y -= step;
    while (y < 0) y += step;

    SetWindowPos(tip, HWND_TOPMOST, x, y + KwScale(kTipDown, dpi), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    KwRaiseEvent(tip, EVENT_OBJECT_SHOW);
}

void Tip_Hide(HWND tip)
{
    if (!IsWindowVisible(tip)) return;
    ShowWindow(tip, SW_HIDE);
    KwRaiseEvent(tip, EVENT_OBJECT_HIDE);
}

// A black frame filled with the info background, the text at (6, 3) and a
// one-pixel shadow along the bottom and the right.
void Tip_Paint(HWND tip, HDC dc)
{
    RECT client;
    GetClientRect(tip, &client);
    const int w = client.right;
    const int h = client.bottom;

    const UINT dpi = KwWindowDpi(tip);
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_INFOBK));
    HFONT font = MakeTipFont(dpi);
    // The frame and shadow are black; in a high-contrast scheme they take
    // the tip's text colour.
    HPEN pen = CreatePen(PS_SOLID, 1, KwSchemeColour(RGB(0, 0, 0), COLOR_INFOTEXT));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    Rectangle(dc, 0, 0, w - 1, h - 1);

    const int oldMode = SetBkMode(dc, TRANSPARENT);
    TipText text;
    const int length = ReadTipText(tip, text);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT clip = {0, 0, w - 1, h - 1};
    KwTextOut(dc, KwScale(kTextLeft, dpi), KwScale(kTextTop, dpi), ETO_CLIPPED, &clip, text, length);

    MoveToEx(dc, 1, h - 1, nullptr);
    LineTo(dc, w - 1, h - 1);
    LineTo(dc, w - 1, 1);

    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    DeleteObject(pen);
    DeleteObject(font);
}

// A tool tip named by the text it shows.
void Tip_Name(HWND tip, LONG, std::string& text)
{
    TipText shown;
    text.assign(shown, static_cast<size_t>(ReadTipText(tip, shown)));
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_TOOLTIP, Tip_Name};

LRESULT CALLBACK TipProc(HWND tip, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: return Tip_Create(tip, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_PAINT: PaintWindow(tip, Tip_Paint); return 0;
    // The tip never takes the mouse: clicks fall through to what lies below.
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_DPICHANGED: Tip_DpiChanged(tip, reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_GETOBJECT: return KwAnswerGetObject(tip, wParam, lParam, kAccess);
    case WM_NCDESTROY: KwForgetAccessible(tip); return DefWindowProcA(tip, msg, wParam, lParam);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(tip, nullptr, TRUE); return 0;
    case TIPM_SHOW:
        if (wParam)
            Tip_Show(tip, lParam);
        else
            Tip_Hide(tip);
        return 0;
    default: return DefWindowProcA(tip, msg, wParam, lParam);
    }
}

} // namespace

int WINAPI InitializeTips(HINSTANCE instance)
{
    // A tip keeps nothing but its title; a hollow background lets it paint
    // everything itself. Failure is not reported: tips are optional.
    RegisterKwClass(instance, {KW_TIP_CLASS, CS_SAVEBITS | CS_BYTEALIGNCLIENT | CS_GLOBALCLASS, TipProc, 0, 0,
                               LoadCursorA(nullptr, IDC_ARROW), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))});
    return 1;
}

int WINAPI CreateTip(HINSTANCE instance, HWND dialog, int controlId, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!IsWindow(control)) return 0;

    // A control that already has a tip is hooked again with that tip, which
    // keeps its text; the saved procedure stays the one first replaced.
    if (IsWindow(TipWindowOf(control))) {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TipHook));
        return 1;
    }
    // The tip hooks the control from its WM_CREATE; a refused creation
    // leaves the control as it was, and still counts as done.
    CreateWindowExA(0, KW_TIP_CLASS, text, WS_POPUP | WS_CHILD, 0, 0, 1, 1, dialog, nullptr, instance, &control);
    return 1;
}

int WINAPI DestroyTip(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    const WNDPROC previous = IsWindow(control) ? PreviousProc(control) : nullptr;
    if (!previous) return 1;
    // The properties and the tip window stay for a later CreateTip; only
    // the running delay, the capture and a visible tip are ended, since the
    // unhooked control could never end them.
    ReturnToIdle(control);
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    return 1;
}

LONG_PTR WINAPI SetTipsStatus(LONG_PTR status)
{
    tipsStatus = status;
    return tipsStatus;
}
