/*
 * "KWBMPButton": a flat push button that shows only an image, raised under
 * the mouse, sunken while pressed or latched, greyed while disabled. A click,
 * Space or Enter sends WM_COMMAND (control id, lParam 0) to the parent.
 *
 * It draws no text. A click gives it the focus, which it shows with a focus
 * rectangle while the system shows focus cues; a dialog reaches it with Tab
 * when its template gives it WS_TABSTOP. Its "disabled" state is its own
 * (BBM_ENABLE or WM_ENABLE): the window's enabled state is left to the
 * caller. A latched button stays latched whatever the mouse, the keys or
 * the focus do; only BBM_SETLATCH releases it. A screen reader reads it as
 * a push button named by its window text.
 */
#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "dpimetrics.h"
#include "kwctrl32.h"

namespace {

enum ButtonState : LONG {
    kIdle = 0,
    kHot = 1,
    kPressed = 2,
    kDisabled = 3,
    kLatched = 4,
    kLatchedHot = 5,
};

// Everything a button owns, in a movable global block whose handle is the
// first window long; locked for one message at a time.
struct ButtonData {
    HBITMAP highlightImage; // key colour turned into the highlight colour; the latched face
    HBITMAP normalImage;    // key colour turned into the button face
    HBITMAP disabledImage;  // etched copy of the normal face
    LONG state;             // a ButtonState
    LONG mouseDown;         // 1 from a left press on the button until its release
    LONG hasFocus;          // 1 while the button has the keyboard focus
    KwImageSource source;   // where the faces come from: they are made again
                            // when the system colours they use change
};

constexpr int kDataIndex = 0;

// The button's record, locked for the life of the guard; empty when the
// window has none (before WM_CREATE, after WM_DESTROY, or when it could not
// be allocated).
using LockedButton = LockedWindowBlock<ButtonData>;

bool IsLatched(LONG state)
{
    return state == kLatched || state == kLatchedHot;
}

bool IsPressKey(WPARAM key)
{
    return key == VK_SPACE || key == VK_RETURN;
}

// All painting happens in WM_PAINT; the face covers the whole client area,
// so there is nothing to erase first.
void Repaint(HWND window)
{
    InvalidateRect(window, nullptr, FALSE);
}

// Another window may have taken the capture meanwhile (a dialog opened by
// the click, say); only the button's own capture is given up.
void ReleaseOwnCapture(HWND window)
{
    if (GetCapture() == window) ReleaseCapture();
}

// "Over the button" means the screen point lies on the button itself and on
// no window covering it.
bool ScreenPointOver(HWND window, POINT point)
{
    return WindowFromPoint(point) == window;
}

bool PointOver(HWND window, LPARAM clientPoint)
{
    // Signed: under capture the point may lie left of or above the button.
    POINT point = {static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
    ClientToScreen(window, &point);
    return ScreenPointOver(window, point);
}

bool CursorOver(HWND window)
{
    POINT point;
    return GetCursorPos(&point) && ScreenPointOver(window, point);
}

// Sent, not posted, and with the record unlocked: the parent may do anything
// in its handler, destroying the button included.
void BmpButton_Notify(HWND window)
{
    SendMessageA(GetParent(window), WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(window)), 0);
}

void DeleteImages(ButtonData& button)
{
    if (button.highlightImage) DeleteObject(button.highlightImage);
    if (button.normalImage) DeleteObject(button.normalImage);
    if (button.disabledImage) DeleteObject(button.disabledImage);
    button.highlightImage = button.normalImage = button.disabledImage = nullptr;
}

// ----- Painting ---------------------------------------------------------

struct EdgeColours {
    int upperLeft, lowerRight; // system colour indices
};
constexpr EdgeColours kFlat = {COLOR_BTNFACE, COLOR_BTNFACE};
constexpr EdgeColours kRaised = {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
constexpr EdgeColours kSunken = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};

void DrawLines(HDC dc, int systemColour, const POINT (&points)[3])
{
    const HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(systemColour));
    if (!pen) return;
    {
        SelectedObject selected(dc, pen);
        Polyline(dc, points, 3);
    }
    DeleteObject(pen);
}

// Left and top in one colour, right and bottom in the other; the second
// pair of lines is drawn last and keeps the two shared corners.
void DrawEdge(HDC dc, const RECT& r, const EdgeColours& colours)
{
    DrawLines(dc, colours.upperLeft, {{r.left, r.bottom}, {r.left, r.top}, {r.right, r.top}});
    DrawLines(dc, colours.lowerRight, {{r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}});
}

void DrawImage(HDC dc, HBITMAP image, const RECT& r)
{
    BITMAP description;
    if (!image || GetObjectA(image, sizeof description, &description) != sizeof description) return;
    const HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    {
        SelectedObject selected(memory, image);
        if (selected.ok())
            StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, description.bmWidth,
                       description.bmHeight, SRCCOPY);
    }
    DeleteDC(memory);
}

void BmpButton_Paint(HWND window, HDC dc, const ButtonData& button)
{
    // A pressed face moves one pixel right and down at 96 DPI; the focus
    // rectangle stands two pixels in.
    const UINT dpi = KwWindowDpi(window);
    RECT whole;
    GetClientRect(window, &whole);
    RECT inner = whole;
    inner.left += KwScale(1, dpi);
    inner.top += KwScale(1, dpi);
    const bool focused = button.hasFocus != 0;
    const RECT* last = &whole;

    switch (button.state) {
    case kIdle:
        if (focused) {
            DrawImage(dc, button.normalImage, whole);
            DrawEdge(dc, whole, kRaised);
        } else {
            DrawEdge(dc, whole, kFlat);
            DrawImage(dc, button.normalImage, whole);
        }
        break;
    case kHot:
        DrawImage(dc, button.normalImage, whole);
        DrawEdge(dc, whole, kRaised);
        break;
    case kPressed:
        DrawEdge(dc, whole, kFlat);
        DrawImage(dc, button.normalImage, inner);
        DrawEdge(dc, inner, kSunken);
        last = &inner;
        break;
    case kDisabled:
        DrawImage(dc, button.disabledImage, whole);
        break;
    case kLatched:
    case kLatchedHot:
        DrawEdge(dc, whole, kFlat);
        DrawImage(dc, button.highlightImage, inner);
        DrawEdge(dc, inner, kSunken);
        last = &inner;
        break;
    }

    // Keyboard users see where the focus is; mouse users, until they use
    // the keyboard, only where the system shows focus cues for them.
    if (focused && !(SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        RECT focus = *last;
        InflateRect(&focus, -KwScale(2, dpi), -KwScale(2, dpi));
        DrawFocusRect(dc, &focus);
    }
}

// ----- Message handlers -------------------------------------------------

LRESULT BmpButton_Create(HWND window)
{
    // A button whose record cannot be made still exists; it ignores its
    // messages, as every button does without a record.
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(ButtonData));
    SetWindowLongPtrA(window, kDataIndex, reinterpret_cast<LONG_PTR>(block));
    return 1;
}

LRESULT BmpButton_Destroy(HWND window)
{
    const HGLOBAL block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(window, kDataIndex));
    if (!block) return 0;
    {
        LockedButton button(window);
        if (button) DeleteImages(*button);
    }
    // No later message may reach the freed block.
    SetWindowLongPtrA(window, kDataIndex, 0);
    GlobalFree(block);
    return 0;
}

LRESULT BmpButton_OnPaint(HWND window)
{
    // Validated even without a record, or WM_PAINT would come back forever.
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    if (dc) {
        LockedButton button(window);
        if (button) BmpButton_Paint(window, dc, *button);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT BmpButton_SetFocus(HWND window)
{
    LockedButton button(window);
    if (!button) return 0;
    button->hasFocus = 1;
    // Focus shows a greyed or latched button as it is.
    if (button->state != kDisabled && !IsLatched(button->state)) button->state = kHot;
    Repaint(window);
    return 0;
}

LRESULT BmpButton_KillFocus(HWND window)
{
    LockedButton button(window);
    if (!button) return 0;
    button->hasFocus = 0;
    if (IsLatched(button->state))
        button->state = kLatched;
    else if (button->state != kDisabled)
        button->state = kIdle;
    Repaint(window);
    return 0;
}

LRESULT BmpButton_Enable(HWND window, WPARAM enable)
{
    {
        LockedButton button(window);
        if (!button) return 0;
        if (!enable) {
            button->state = kDisabled;
            // A press cut short by disabling must not count once enabled again.
            button->mouseDown = 0;
            ReleaseOwnCapture(window);
        } else if (button->state == kDisabled) {
            button->state = kIdle;
        }
    }
    Repaint(window);
    KwRaiseEvent(window, EVENT_OBJECT_STATECHANGE);
    return 0;
}

LRESULT BmpButton_SetLatch(HWND window, WPARAM latch)
{
    {
        LockedButton button(window);
        if (!button) return 0;
        // Only enabling leaves the disabled state.
        if (button->state == kDisabled) return 0;
        button->state = latch == 1 ? kLatched : kIdle;
    }
    Repaint(window);
    KwRaiseEvent(window, EVENT_OBJECT_STATECHANGE);
    return 0;
}

// The three faces from the button's image source, its key colour turned
// into the system colours of the moment.
void LoadFaces(ButtonData& button)
{
    const KwImageSource& source = button.source;
    const LPCSTR name = MAKEINTRESOURCEA(LOWORD(source.resourceId));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);

    // New faces replace the old ones, which would otherwise be lost.
    DeleteImages(button);
    button.normalImage = LoadTransparentBitmap(source.instance, name, face);
    button.highlightImage = LoadTransparentBitmap(source.instance, name, highlight);
    const HBITMAP etchSource = LoadTransparentBitmap(source.instance, name, face);
    if (etchSource) {
        button.disabledImage = CreateDisabledBitmap(etchSource);
        DeleteObject(etchSource);
    }
}

LRESULT BmpButton_SetImages(HWND window, LPARAM sourceAddress)
{
    const KwImageSource* source = reinterpret_cast<const KwImageSource*>(sourceAddress);
    LockedButton button(window);
    if (!button || !source) return 0;
    button->source = *source;
    LoadFaces(*button);
    Repaint(window);
    return 0;
}

// The system colours changed: faces made from them are made again.
LRESULT BmpButton_ColoursChanged(HWND window)
{
    LockedButton button(window);
    if (button && button->normalImage) LoadFaces(*button);
    Repaint(window);
    return 0;
}

LRESULT BmpButton_KeyDown(HWND window, WPARAM key)
{
    if (!IsPressKey(key)) return 0;
    LockedButton button(window);
    if (!button) return 0;
    if (button->state == kDisabled) return 1;
    if (!IsLatched(button->state)) button->state = kPressed;
    Repaint(window);
    return 0;
}

LRESULT BmpButton_KeyUp(HWND window, WPARAM key)
{
    if (!IsPressKey(key)) return 0;
    {
        LockedButton button(window);
        if (!button) return 0;
        if (button->state == kDisabled) return 1;
        if (!IsLatched(button->state)) button->state = kHot;
    }
    Repaint(window);
    BmpButton_Notify(window);
    return 0;
}

LRESULT BmpButton_LButtonDown(HWND window)
{
    {
        LockedButton button(window);
        if (!button) return 0;
        if (button->state == kDisabled) return 1;
    }
    // A click gives the button the focus, as it does a system push button.
    SetFocus(window);
    LockedButton button(window);
    if (!button) return 0;
    button->mouseDown = 1;
    button->state = IsLatched(button->state) ? kLatchedHot : kPressed;
    SetCapture(window);
    Repaint(window);
    return 0;
}

LRESULT BmpButton_LButtonUp(HWND window, LPARAM point)
{
    const bool over = PointOver(window, point);
    {
        LockedButton button(window);
        if (!button) return 0;
        if (button->state == kDisabled) return 1;
        button->mouseDown = 0;
        if (over) {
            button->state = IsLatched(button->state) ? kLatchedHot : kHot;
        } else {
            // Released elsewhere: no click.
            button->state = IsLatched(button->state) ? kLatched : kIdle;
            ReleaseOwnCapture(window);
        }
    }
    Repaint(window);
    if (!over) return 0;

    BmpButton_Notify(window);
    // The parent's handler may have run a dialog and the cursor moved on,
    // or it may have destroyed the button (then there is no record left).
    if (CursorOver(window)) return 0;
    LockedButton button(window);
    if (!button) return 0;
    if (!IsLatched(button->state)) button->state = kIdle;
    ReleaseOwnCapture(window);
    Repaint(window);
    return 0;
}

LRESULT BmpButton_MouseMove(HWND window, LPARAM point)
{
    const bool over = PointOver(window, point);
    LockedButton button(window);
    if (!button) return 0;
    const LONG old = button->state;
    if (old == kDisabled) {
        ReleaseOwnCapture(window);
        return 1;
    }
    const bool latched = IsLatched(old);
    const bool pressing = button->mouseDown != 0;
    bool repaint;
    if (over) {
        const LONG look = pressing ? kPressed : kHot;
        button->state = latched ? kLatchedHot : look;
        repaint = !latched && old != look;
        // Keeps the mouse, so that leaving the button is seen.
        SetCapture(window);
    } else {
        // A press dragged off shows raised until it comes back or ends.
        const LONG look = pressing ? kHot : kIdle;
        button->state = latched ? kLatched : look;
        repaint = !latched && old != look;
        if (!pressing) ReleaseOwnCapture(window);
    }
    if (repaint) Repaint(window);
    return 0;
}

// Enter reaches the button instead of pressing the dialog's default button.
LRESULT BmpButton_DialogCode(LPARAM message)
{
    const MSG* m = reinterpret_cast<const MSG*>(message);
    return m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
}

// ----- Accessibility ----------------------------------------------------

LONG BmpButton_AccessState(HWND window, LONG, LONG standard)
{
    LockedButton button(window);
    if (!button) return standard;
    if (button->state == kDisabled) standard = (standard & ~STATE_SYSTEM_FOCUSABLE) | STATE_SYSTEM_UNAVAILABLE;
    if (IsLatched(button->state)) standard |= STATE_SYSTEM_PRESSED;
    return standard;
}

// "Press" does what a click does: a disabled button does nothing.
void BmpButton_Press(HWND window, LONG)
{
    {
        LockedButton button(window);
        if (!button || button->state == kDisabled || !IsWindowEnabled(window)) return;
    }
    BmpButton_Notify(window);
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_PUSHBUTTON, KwWindowTextName, nullptr, BmpButton_AccessState, "Press",
                                  BmpButton_Press};

LRESULT CALLBACK BmpButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:      return BmpButton_Create(window);
    case WM_DESTROY:     return BmpButton_Destroy(window);
    case WM_NCDESTROY:   KwForgetAccessible(window); return 0;
    case WM_GETOBJECT:   return KwAnswerGetObject(window, wParam, lParam, kAccess);
    case WM_GETDLGCODE:  return BmpButton_DialogCode(lParam);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: return BmpButton_ColoursChanged(window);
    case WM_UPDATEUISTATE:
        DefWindowProcA(window, message, wParam, lParam);
        Repaint(window);
        return 0;
    case WM_SETFOCUS:    return BmpButton_SetFocus(window);
    case WM_KILLFOCUS:   return BmpButton_KillFocus(window);
    case WM_ENABLE:      return BmpButton_Enable(window, wParam);
    case WM_PAINT:       return BmpButton_OnPaint(window);
    case WM_ERASEBKGND:  return 0;
    case WM_KEYDOWN:     return BmpButton_KeyDown(window, wParam);
    case WM_KEYUP:       return BmpButton_KeyUp(window, wParam);
    case WM_LBUTTONDOWN: return BmpButton_LButtonDown(window);
    case WM_LBUTTONUP:   return BmpButton_LButtonUp(window, lParam);
    case WM_MOUSEMOVE:   return BmpButton_MouseMove(window, lParam);
    case BBM_SETIMAGES:  return BmpButton_SetImages(window, lParam);
    case BBM_ENABLE:     return BmpButton_Enable(window, wParam);
    case BBM_SETLATCH:   return BmpButton_SetLatch(window, wParam);
    default:             return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

ATOM WINAPI InitBMPButtons(HINSTANCE instance)
{
    // The first window long holds the handle of the button's data record;
    // the 10 extra bytes have room for it on x64 as well.
    return RegisterKwClass(instance, {KW_BMPBUTTON_CLASS, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      BmpButtonProc, 10, 10, LoadCursorA(nullptr, IDC_ARROW),
                                      VersionRuleBrush()});
}
