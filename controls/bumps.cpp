/*
 * "KWBumpsWindow": a decorative grip panel, a raised frame with two raised
 * ridges along its left edge. It keeps no state, takes no input and never
 * fills its interior (the parent's drawing shows through); command messages
 * go on to the parent, so buttons placed on it report to the panel's owner.
 */
#include <initializer_list>

#include "accessible.h"
#include "classes.h"
#include "kwctrl32.h"

namespace {

// The three one-pixel pens of a raised edge, selected in turn; the
// context's own pen is back and the pens are gone when the guard ends.
class EdgePens {
public:
    explicit EdgePens(HDC dc)
        : dc_(dc),
          highlight_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT))),
          face_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE))),
          shadow_(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW))),
          old_(GetCurrentObject(dc, OBJ_PEN)) {}
    ~EdgePens()
    {
        SelectObject(dc_, old_);
        DeleteObject(highlight_);
        DeleteObject(face_);
        DeleteObject(shadow_);
    }
    EdgePens(const EdgePens&) = delete;
    EdgePens& operator=(const EdgePens&) = delete;

    void Highlight() const { SelectObject(dc_, highlight_); }
    void Face() const { SelectObject(dc_, face_); }
    void Shadow() const { SelectObject(dc_, shadow_); }

private:
    HDC dc_;
    HPEN highlight_, face_, shadow_;
    HGDIOBJ old_;
};

// A polyline through the points; like every LineTo, it stops one pixel short
// of its last point.
void Trace(HDC dc, std::initializer_list<POINT> points)
{
    const POINT* p = points.begin();
    MoveToEx(dc, p->x, p->y, nullptr);
    for (++p; p != points.end(); ++p) LineTo(dc, p->x, p->y);
}

// Light top and left lines, dark right and bottom lines on the client's edge.
void DrawRaisedFrame(HDC dc, const RECT& r)
{
    EdgePens pens(dc);
    pens.Highlight();
    Trace(dc, {{r.left, r.bottom}, {r.left, r.top}, {r.right, r.top}});
    pens.Shadow();
    Trace(dc, {{r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}});
}

// Two ridges 4 pixels apart just inside the frame (l, t, r, b): each a
// light top-left edge, a face-coloured middle and a dark bottom-right edge,
// spanning columns l + 1 to l + 7 and rows t + 1 to b - 2.
void DrawRidges(HDC dc, const RECT& inner)
{
    EdgePens pens(dc);
    const int l = inner.left, t = inner.top, b = inner.bottom;
    for (int d : {0, 4}) {
        pens.Highlight();
        Trace(dc, {{l + d + 3, t + 1}, {l + d + 1, t + 1}, {l + d + 1, b - 2}});
        pens.Face();
        Trace(dc, {{l + d + 2, t + 2}, {l + d + 2, b - 3}});
        pens.Shadow();
        Trace(dc, {{l + d + 3, t + 1}, {l + d + 3, b - 2}, {l + d, b - 2}});
    }
}

LRESULT Bumps_Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    DrawRaisedFrame(dc, client);
    InflateRect(&client, -1, -1);
    DrawRidges(dc, client);
    EndPaint(hwnd, &ps);
    return 0;
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_GRIP};

LRESULT CALLBACK BumpsProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return 1;
    case WM_PAINT: return Bumps_Paint(hwnd);
    case WM_ERASEBKGND: return 0; // the interior is never filled
    case WM_GETOBJECT: return KwAnswerGetObject(hwnd, wParam, lParam, kAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_COMMAND: SendMessageA(GetParent(hwnd), WM_COMMAND, wParam, lParam); return 0;
    case WM_NCDESTROY: KwForgetAccessible(hwnd); return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

ATOM WINAPI InitBumps(HINSTANCE instance)
{
    // The extra bytes are reserved; the panel keeps no data of its own.
    return RegisterKwClass(instance, {KW_BUMPS_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS,
                                      BumpsProc, 10, 14, LoadCursorA(nullptr, IDC_ARROW), VersionRuleBrush()});
}
