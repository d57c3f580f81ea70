/*
 * "KWDipsWindow": a child window that draws a one-pixel sunken frame around
 * its client area and nothing else. Its inside is never painted, not even
 * with the class brush, so what the parent draws under it stays visible.
 * Commands from controls placed inside it go on to its parent.
 */
#include "chores.h"
#include "accessible.h"
#include "classes.h"
#include "kwctrl32.h"

namespace {

// Shadow along the left and top edges, highlight along the right and
// bottom ones, so the panel looks pressed into its parent. Each LineTo
// leaves out its end point: the highlight's corner at the top right covers
// the shadow's last pixel, the shadow keeps the bottom-left corner.
void Dips_Paint(HWND window, HDC dc)
{
    RECT r;
    GetClientRect(window, &r);
    const HGDIOBJ keptPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    {
        // The pens are deleted at the end of this block, after the kept pen
        // is back in the context.
        SystemPen highlight(COLOR_BTNHIGHLIGHT);
        SystemPen face(COLOR_BTNFACE);  // made and deleted with the others, never drawn with
        SystemPen shadow(COLOR_BTNSHADOW);

        SelectObject(dc, shadow.get());
        MoveToEx(dc, r.left, r.bottom, nullptr);
        LineTo(dc, r.left, r.top);
        LineTo(dc, r.right, r.top);

        SelectObject(dc, highlight.get());
        MoveToEx(dc, r.right - 1, r.top, nullptr);
        LineTo(dc, r.right - 1, r.bottom - 1);
        LineTo(dc, r.left, r.bottom - 1);

        SelectObject(dc, keptPen);
    }
}

// Messages pass on with their parameters unchanged: the parent sees the
// child's identifier, notification code and handle as if sent to it.
void Dips_ForwardCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    SendMessageA(GetParent(window), WM_COMMAND, wParam, lParam);
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_GROUPING, KwWindowTextName};

LRESULT CALLBACK DipsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:        return 1;
    case WM_PAINT:         PaintWindow(window, Dips_Paint); return 0;
    case WM_ERASEBKGND:    return 0;
    case WM_NCDESTROY:     KwForgetAccessible(window); return 0;
    case WM_GETOBJECT:     return KwAnswerGetObject(window, wParam, lParam, kAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_COMMAND:       Dips_ForwardCommand(window, wParam, lParam); return 0;
    default:               return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

ATOM WINAPI InitDips(HINSTANCE instance)
{
    // The extra bytes are reserved; the frame keeps no data of its own.
    return RegisterKwClass(instance, {KW_DIPS_CLASS, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      DipsProc, 10, 14, LoadCursorA(nullptr, IDC_ARROW),
                                      VersionRuleBrush()});
}
