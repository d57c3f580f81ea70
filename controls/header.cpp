/*
 * "KWPSS_SLIDER": a strip of captioned columns drawn as raised buttons. The
 * columns' left edges are kept in percent of the strip's width, so they
 * stretch with the window. The user presses a column (a click) or drags the
 * dividers between columns; both are reported to a notification window.
 * The header never sorts its positions and never draws a column that has no
 * caption or starts at 100 % or beyond. Until its owner sets them, its
 * colours follow the system's; in a high-contrast scheme it paints in the
 * system's colours only. A screen reader reads it as a list of column
 * headers named by their captions.
 */
#include <windowsx.h>

#include <cstring>

#include "accessible.h"
#include "chores.h"
#include "classes.h"
#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "widetext.h"

namespace {

// Every new header loads its "MOVING" cursor from the registering module.
HINSTANCE headerInstance;

// Longest caption a column keeps, in bytes; a longer text is cut there,
// between whole characters.
const int kMaxCaption = 255;

// Pixels at 96 DPI: how far either side of a divider the pointer grabs it
// (and columns overlap), the width of a dragged divider's bar, a caption's
// margin from the left and right ends of its button, and how far a raised
// caption sits up and left of a pressed one.
constexpr int kDividerReach = 2;
constexpr int kDividerBar = 2;
constexpr int kCaptionLeft = 5;
constexpr int kCaptionRight = 3;
constexpr int kRaisedShift = 2;

struct HeaderColumn {
    LONG position; // left edge in percent of the client width
    WORD align;    // HDR_ALIGN_RIGHT, HDR_ALIGN_CENTER, anything else left
    HLOCAL text;   // NUL-terminated caption; null: the column is not drawn
};

// Everything a header owns; one movable local block whose handle lives at
// index 0 of the window's extra bytes.
struct HeaderData {
    LONG count;        // number of columns in `columns`
    LONG pressed;      // 1-based column the left button holds down; 0 none
    LONG dragIndex;    // divider being dragged (1 ... count - 1)
    LONG dragging;     // 1 while a divider is dragged
    LONG singleMove;   // 1 when the drag moves only the grabbed divider
    HLOCAL columns;    // array of `count` HeaderColumn; null when none
    HCURSOR moveCursor;
    HDC dc;            // the window's own device context
    HFONT font;        // last WM_SETFONT font; the caller's, never deleted
    HWND notifyWindow; // receives the HDRN_* notifications; null: nobody
    COLORREF textColor; // the owner's, once coloursSet says so
    COLORREF backColor;
    LONG coloursSet;    // kTextColourSet, kBackColourSet
};

constexpr LONG kTextColourSet = 1;
constexpr LONG kBackColourSet = 2;

HLOCAL DataHandle(HWND hwnd)
{
    return reinterpret_cast<HLOCAL>(GetWindowLongPtrA(hwnd, 0));
}

// One message's hold on a header: its data block and column array stay
// locked while the guard lives. A notification can re-enter the header (the
// notified window may give it new columns or destroy it), so the guard only
// unlocks blocks that still belong to the window when it ends.
class HeaderLock {
public:
    explicit HeaderLock(HWND window) : hwnd(window), handle_(DataHandle(window))
    {
        data = handle_ ? static_cast<HeaderData*>(LocalLock(handle_)) : nullptr;
        LockColumns();
    }
    ~HeaderLock()
    {
        if (!data || DataHandle(hwnd) != handle_) return;
        UnlockColumns();
        LocalUnlock(handle_);
    }
    HeaderLock(const HeaderLock&) = delete;
    HeaderLock& operator=(const HeaderLock&) = delete;

    void LockColumns()
    {
        columnsHandle_ = data ? data->columns : nullptr;
        columns = columnsHandle_ ? static_cast<HeaderColumn*>(LocalLock(columnsHandle_)) : nullptr;
        count = columns ? LOWORD(data->count) : 0;
    }
    void UnlockColumns()
    {
        if (columns && data->columns == columnsHandle_) LocalUnlock(columnsHandle_);
        columns = nullptr;
        count = 0;
    }

    // The column named by a message's wParam, or null for an invalid index.
    HeaderColumn* Column(WPARAM index) const
    {
        return columns && LOWORD(index) < count ? &columns[LOWORD(index)] : nullptr;
    }

    HWND hwnd;
    HeaderData* data;
    HeaderColumn* columns;
    int count; // columns usable in this message: 0 unless the array is locked

private:
    HLOCAL handle_;
    HLOCAL columnsHandle_ = nullptr;
};

int ClientWidth(HWND hwnd)
{
    RECT client;
    GetClientRect(hwnd, &client);
    return client.right - client.left;
}

// Pixels from the client's left edge at which a percentage lies.
int PixelOf(LONG percent, int width)
{
    return static_cast<int>(static_cast<long long>(percent) * width / 100);
}

// ---------------------------------------------------------------------------
// Columns
// ---------------------------------------------------------------------------

void FreeColumns(HeaderData* data)
{
    if (data->columns) {
        if (auto* columns = static_cast<HeaderColumn*>(LocalLock(data->columns))) {
            for (int i = 0; i < LOWORD(data->count); ++i)
                if (columns[i].text) LocalFree(columns[i].text);
            LocalUnlock(data->columns);
        }
        LocalFree(data->columns);
    }
    data->columns = nullptr;
    data->count = 0;
}

// A fresh array spreads its columns evenly: three start at 0, 33 and 66.
HLOCAL NewColumns(int count)
{
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, count * sizeof(HeaderColumn));
    if (!block) return nullptr;
    auto* columns = static_cast<HeaderColumn*>(LocalLock(block));
    if (!columns) {
        LocalFree(block);
        return nullptr;
    }
    for (int i = 0; i < count; ++i) columns[i].position = i * 100 / count;
    LocalUnlock(block);
    return block;
}

// A press or a drag in progress ends when its columns go away: the cursor
// is freed and no later mouse message refers to the old array.
void ForgetMouse(HeaderData* data)
{
    if (data->dragging) ClipCursor(nullptr);
    data->dragging = 0;
    data->pressed = 0;
}

LRESULT Header_SetCount(HeaderLock& h, int count)
{
    ForgetMouse(h.data);
    h.UnlockColumns();
    FreeColumns(h.data);
    LRESULT result = 1;
    if (count) {
        h.data->columns = NewColumns(count);
        if (h.data->columns)
            h.data->count = count;
        else
            result = 0;
    }
    h.LockColumns();
    InvalidateRect(h.hwnd, nullptr, TRUE);
    UpdateWindow(h.hwnd);
    return result;
}

// A null caption is taken as an empty one: the column shows as a blank
// button.
LRESULT Header_SetText(HeaderLock& h, WPARAM index, LPCSTR text)
{
    HeaderColumn* column = h.Column(index);
    if (!column) return 0;
    if (column->text) LocalFree(column->text);
    column->text = nullptr;

    const size_t length = text ? static_cast<size_t>(KwWholeLength(text, kMaxCaption)) : 0;
    // Zero-filled, so the copy is terminated after `length` characters.
    HLOCAL copy = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, length + 1);
    if (copy) {
        if (char* target = static_cast<char*>(LocalLock(copy))) {
            if (length) memcpy(target, text, length);
            LocalUnlock(copy);
            column->text = copy;
        } else {
            LocalFree(copy);
        }
    }
    InvalidateRect(h.hwnd, nullptr, FALSE);
    return column->text ? 1 : 0;
}

LRESULT Header_SetAlign(HeaderLock& h, WPARAM index, WORD align)
{
    HeaderColumn* column = h.Column(index);
    if (!column) return 0;
    column->align = align;
    InvalidateRect(h.hwnd, nullptr, FALSE);
    return 1;
}

LRESULT Header_SetPos(HeaderLock& h, WPARAM index, WORD position)
{
    HeaderColumn* column = h.Column(index);
    if (!column) return 0;
    column->position = position;
    InvalidateRect(h.hwnd, nullptr, FALSE);
    return 1;
}

LRESULT Header_GetAlign(const HeaderLock& h, WPARAM index)
{
    const HeaderColumn* column = h.Column(index);
    return column ? column->align : -1;
}

LRESULT Header_GetPos(const HeaderLock& h, WPARAM index)
{
    const HeaderColumn* column = h.Column(index);
    return column ? LOWORD(column->position) : 0xFFFF;
}

// ---------------------------------------------------------------------------
// Colours and font: they live in the window's own device context
// ---------------------------------------------------------------------------

LRESULT Header_SetTextColor(HeaderLock& h, COLORREF color)
{
    h.data->textColor = color;
    h.data->coloursSet |= kTextColourSet;
    SetTextColor(h.data->dc, color);
    InvalidateRect(h.hwnd, nullptr, FALSE);
    return 1;
}

LRESULT Header_SetBkColor(HeaderLock& h, COLORREF color)
{
    h.data->backColor = color;
    h.data->coloursSet |= kBackColourSet;
    SetBkColor(h.data->dc, color);
    InvalidateRect(h.hwnd, nullptr, TRUE);
    return 1;
}

// The caption and background colours to paint with: the owner's where set,
// else the system's of the moment; in a high-contrast scheme always the
// system's.
COLORREF TextColour(const HeaderData* data)
{
    const bool own = (data->coloursSet & kTextColourSet) && !KwHighContrast();
    return own ? data->textColor : GetSysColor(COLOR_BTNTEXT);
}

COLORREF BackColour(const HeaderData* data)
{
    const bool own = (data->coloursSet & kBackColourSet) && !KwHighContrast();
    return own ? data->backColor : GetSysColor(COLOR_BTNFACE);
}

// A null font puts the system font back, so the context never keeps a font
// the caller may since have deleted.
LRESULT Header_SetFont(HeaderLock& h, HFONT font, LPARAM redraw)
{
    h.data->font = font;
    SelectObject(h.data->dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    if (redraw > 0) {
        InvalidateRect(h.hwnd, nullptr, TRUE);
        UpdateWindow(h.hwnd);
    }
    return 1;
}

// The default erase fills with the class brush; for the length of one erase
// that brush is the header's own background colour. Every header of the
// process runs on this thread, so no other header sees the swap.
LRESULT Header_EraseBackground(HeaderLock& h, WPARAM wParam, LPARAM lParam)
{
    HBRUSH brush = CreateSolidBrush(BackColour(h.data));
    const ULONG_PTR classBrush = SetClassLongPtrA(h.hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
    const LRESULT result = DefWindowProcA(h.hwnd, WM_ERASEBKGND, wParam, lParam);
    SetClassLongPtrA(h.hwnd, GCLP_HBRBACKGROUND, classBrush);
    DeleteObject(brush);
    return result;
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

// One straight edge line, both ends included; color -1 means the pen the
// context already holds (the black default pen of the header's context).
struct EdgeLine {
    int color;
    int x0, y0, x1, y1;
};

void DrawEdgeLine(HDC dc, const EdgeLine& line)
{
    // LineTo stops one pixel short of its end: go one pixel further.
    const int x1 = line.x1 + (line.y0 == line.y1 ? 1 : 0);
    const int y1 = line.y1 + (line.y0 == line.y1 ? 0 : 1);
    const bool contrast = KwHighContrast();
    if (line.color < 0 && !contrast) {
        MoveToEx(dc, line.x0, line.y0, nullptr);
        LineTo(dc, x1, y1);
        return;
    }
    // In a high-contrast scheme the black lines take the text colour.
    SelectedPen pen(dc, GetSysColor(line.color < 0 ? COLOR_BTNTEXT : line.color));
    MoveToEx(dc, line.x0, line.y0, nullptr);
    LineTo(dc, x1, y1);
}

// Fills the button face and draws 2-pixel edges around it: light top-left
// and dark bottom-right when raised, a dark top-left when pressed.
void DrawColumnButton(HDC dc, const RECT& rect, bool pressed)
{
    if (!RectVisible(dc, &rect)) return;
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &rect, face);
    DeleteObject(face);

    const int l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    const int black = -1;
    const EdgeLine raised[] = {
        {COLOR_BTNFACE, l, t - 1, r + 1, t - 1},      {COLOR_BTNHIGHLIGHT, l, t - 2, r + 1, t - 2},
        {COLOR_BTNSHADOW, r + 1, t - 1, r + 1, b + 1}, {black, r + 2, t - 2, r + 2, b + 3},
        {COLOR_BTNSHADOW, l, b, r, b},                 {black, l - 2, b + 1, r + 2, b + 1},
        {COLOR_BTNHIGHLIGHT, l, t - 1, l, b - 1},
    };
    const EdgeLine sunk[] = {
        {COLOR_BTNFACE, l, t - 1, r + 1, t - 1}, {COLOR_BTNSHADOW, l, t - 2, r + 1, t - 2},
        {black, r + 2, t - 2, r + 2, b + 3},     {black, l - 2, b + 1, r + 1, b + 1},
        {COLOR_BTNSHADOW, l, t - 1, l, b + 1},
    };
    if (pressed)
        for (const EdgeLine& line : sunk) DrawEdgeLine(dc, line);
    else
        for (const EdgeLine& line : raised) DrawEdgeLine(dc, line);
}

// Where a caption of width textWidth starts inside a button x0 ... x1.
int CaptionOffset(WORD align, int x0, int x1, int textWidth, UINT dpi)
{
    int offset;
    if (align == HDR_ALIGN_RIGHT)
        offset = (x1 - x0) - textWidth - KwScale(kCaptionRight, dpi);
    else if (align == HDR_ALIGN_CENTER)
        offset = ((x1 - x0) - textWidth) / 2;
    else
        offset = KwScale(kCaptionLeft, dpi);
    return offset - 1 > 0 ? offset - 1 : 0;
}

// The face of column i's button: from its left edge to 3 pixels before the
// next column's (or the strip's end), 2 pixels in from the top and bottom.
RECT ColumnButton(const HeaderLock& h, const RECT& client, int i)
{
    const int width = client.right - client.left;
    const int x0 = client.left + PixelOf(h.columns[i].position, width);
    const int x1 = i == h.count - 1 ? client.right - 3 : client.left + PixelOf(h.columns[i + 1].position, width) - 3;
    return {x0, client.top + 2, x1, client.bottom - 2};
}

void PaintColumn(const HeaderLock& h, HDC dc, const RECT& client, int i)
{
    const HeaderColumn& column = h.columns[i];
    RECT button = ColumnButton(h, client, i);
    const int x0 = button.left, x1 = button.right;

    const char* text = static_cast<const char*>(LocalLock(column.text));
    if (!text) return;
    const int length = lstrlenA(text);
    SIZE extent = {};
    KwTextExtent(dc, text, length, &extent);
    const UINT dpi = KwWindowDpi(h.hwnd);
    const int offset = CaptionOffset(column.align, x0, x1, extent.cx, dpi);

    const bool pressed = i + 1 == h.data->pressed;
    DrawColumnButton(dc, button, pressed);
    InflateRect(&button, -1, -1);
    // A pressed caption sits 2 pixels right and 2 down of a raised one.
    const int shift = pressed ? 0 : KwScale(kRaisedShift, dpi);
    SetTextColor(dc, TextColour(h.data));
    SetBkColor(dc, BackColour(h.data));
    KwTextOut(dc, button.left + offset - shift, button.top - shift, ETO_OPAQUE | ETO_CLIPPED, &button, text, length);
    LocalUnlock(column.text);
}

LRESULT Header_Paint(const HeaderLock& h)
{
    PAINTSTRUCT ps;
    // The class owns its context: BeginPaint hands back `dc`, with the
    // colours, alignment and font set into it earlier.
    HDC dc = BeginPaint(h.hwnd, &ps);
    RECT client;
    GetClientRect(h.hwnd, &client);
    for (int i = 0; i < h.count; ++i)
        if (h.columns[i].text && h.columns[i].position < 100) PaintColumn(h, dc, client, i);
    EndPaint(h.hwnd, &ps);
    return 1;
}

// Inverts a 2-pixel bar across the client height at a percentage; doing it
// twice restores the picture, which is how a drag moves its bar.
void InvertDivider(HWND hwnd, LONG percent)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const int x = PixelOf(percent, client.right - client.left);
    RECT bar = {x, client.top, x + KwScale(kDividerBar, KwWindowDpi(hwnd)), client.bottom};
    // The class's own context: GetDC returns it with its visible area
    // brought up to date.
    HDC dc = GetDC(hwnd);
    InvertRect(dc, &bar);
    ReleaseDC(hwnd, dc);
}

// ---------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------

void Notify(const HeaderLock& h, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (h.data->notifyWindow) SendMessageA(h.data->notifyWindow, message, wParam, lParam);
}

// Hit tests take the pointer one pixel to the right and down. The divider
// hit from the right end of the strip wins.
int DividerAt(const HeaderLock& h, int x)
{
    const int width = ClientWidth(h.hwnd);
    const int reach = KwScale(kDividerReach, KwWindowDpi(h.hwnd));
    for (int k = h.count - 1; k >= 1; --k) {
        const int c = PixelOf(h.columns[k].position, width);
        if (c - reach <= x && x <= c + reach) return k;
    }
    return 0;
}

// Columns overlap by 2 pixels on either side of a divider; scanning from the
// last column gives the overlap to the column on the right.
int ColumnAt(const HeaderLock& h, int x)
{
    const int width = ClientWidth(h.hwnd);
    const int reach = KwScale(kDividerReach, KwWindowDpi(h.hwnd));
    for (int j = h.count; j >= 1; --j) {
        const int s = PixelOf(h.columns[j - 1].position, width);
        const int e = j == h.count ? width : PixelOf(h.columns[j].position, width);
        if (s - reach <= x && x <= e + reach) return j;
    }
    return 0;
}

int PointerX(LPARAM point)
{
    return GET_X_LPARAM(point) + 1;
}

void ChooseCursor(const HeaderLock& h, LPARAM point)
{
    SetCursor(DividerAt(h, PointerX(point)) ? h.data->moveCursor : LoadCursorA(nullptr, IDC_ARROW));
}

void BeginDrag(HeaderLock& h, int divider, bool shift)
{
    h.data->dragging = 1;
    h.data->singleMove = shift ? 1 : 0;
    h.data->dragIndex = divider;
    SetCursor(h.data->moveCursor);
    RECT client;
    GetClientRect(h.hwnd, &client);
    MapWindowPoints(h.hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ClipCursor(&client);
    InvertDivider(h.hwnd, h.columns[divider].position);
    Notify(h, HDRN_DRAGBEGIN, reinterpret_cast<WPARAM>(h.hwnd), 0);
}

LRESULT Header_Press(HeaderLock& h, WPARAM keys, LPARAM point)
{
    SetCapture(h.hwnd);
    const int x = PointerX(point);
    if (const int divider = DividerAt(h, x)) {
        BeginDrag(h, divider, (keys & MK_SHIFT) != 0);
        return 1;
    }
    h.data->dragging = 0;
    if (const int column = ColumnAt(h, x)) {
        h.data->pressed = column;
        InvalidateRect(h.hwnd, nullptr, TRUE);
    }
    return 1;
}

// Moves the grabbed divider to the pointer. Without Shift every divider to
// its right travels along (and may be pushed to 100 % and beyond); with
// Shift it moves alone and stops at its right neighbour. It never passes
// its left neighbour.
LRESULT Header_DragStep(HeaderLock& h, LPARAM point)
{
    HeaderData* data = h.data;
    const int k = data->dragIndex;
    const int width = ClientWidth(h.hwnd);
    // A strip without width has no percentages: the divider stays put.
    if (width <= 0 || k < 1 || k >= h.count) return 1;

    const LONG p = static_cast<LONG>(static_cast<long long>(PointerX(point)) * 100 / width);
    const LONG old = h.columns[k].position;
    LONG d = p - old;
    if (d < 0) {
        if (p <= h.columns[k - 1].position) d = h.columns[k - 1].position - old;
    } else if (d > 0 && data->singleMove && k < h.count - 1) {
        if (p >= h.columns[k + 1].position) d = h.columns[k + 1].position - old;
    }
    if (d != 0) {
        const int last = data->singleMove ? k : h.count - 1;
        for (int i = k; i <= last; ++i) h.columns[i].position += d;
        InvertDivider(h.hwnd, old);
        InvertDivider(h.hwnd, h.columns[k].position);
    }
    // Without anyone to tell, the captions follow only at the release.
    if (data->notifyWindow) {
        PostMessageA(data->notifyWindow, HDRN_DRAGMOVE, reinterpret_cast<WPARAM>(h.hwnd), 0);
        InvalidateRect(h.hwnd, nullptr, FALSE);
    }
    return 1;
}

void EndDrag(HeaderLock& h)
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ClipCursor(nullptr);
    h.data->dragging = 0;
    InvertDivider(h.hwnd, h.columns[h.data->dragIndex].position);
    InvalidateRect(h.hwnd, nullptr, FALSE);
    UpdateWindow(h.hwnd);
    Notify(h, HDRN_DRAGMOVE, reinterpret_cast<WPARAM>(h.hwnd), 0);
}

// A click needs the release over the column that was pressed, inside the
// strip's height. The column is raised again before the click is reported,
// since the notified window may change or destroy the header.
void FinishPress(HeaderLock& h, LPARAM point)
{
    RECT client;
    GetClientRect(h.hwnd, &client);
    const int y = GET_Y_LPARAM(point) + 1;
    const int column = client.top < y && y < client.bottom ? ColumnAt(h, PointerX(point)) : 0;
    const bool click = column != 0 && column == h.data->pressed;
    h.data->pressed = 0;
    InvalidateRect(h.hwnd, nullptr, TRUE);
    if (click) Notify(h, HDRN_CLICK, column - 1, reinterpret_cast<LPARAM>(h.hwnd));
}

LRESULT Header_Release(HeaderLock& h, LPARAM point)
{
    if (h.data->dragging)
        EndDrag(h);
    else
        FinishPress(h, point);
    // Both end with a notification that may have ended the header: nothing
    // of its data is touched after it.
    ReleaseCapture();
    return 1;
}

// ---------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------

LRESULT Header_Create(HWND hwnd, const CREATESTRUCTA* create)
{
    HLOCAL block = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(HeaderData));
    if (!block) return -1;
    auto* data = static_cast<HeaderData*>(LocalLock(block));
    if (!data) {
        LocalFree(block);
        return -1;
    }
    data->moveCursor = LoadCursorA(headerInstance, "MOVING");
    data->textColor = GetSysColor(COLOR_BTNTEXT);
    data->backColor = GetSysColor(COLOR_BTNFACE);
    // What is set into the class's own context stays for every later paint.
    data->dc = GetDC(hwnd);
    SetBkColor(data->dc, data->backColor);
    SetTextColor(data->dc, data->textColor);
    SetTextAlign(data->dc, TA_LEFT | TA_TOP);
    SetBkMode(data->dc, TRANSPARENT);
    LocalUnlock(block);
    SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(block));

    // The buttons' outer edges reach 2 pixels above and 1 right of the
    // area the owner asked for.
    MoveWindow(hwnd, create->x, create->y - 2, create->cx + 1, create->cy + 2, FALSE);
    return 0;
}

LRESULT Header_Destroy(HWND hwnd)
{
    HLOCAL block = DataHandle(hwnd);
    if (!block) return 0;
    SetWindowLongPtrA(hwnd, 0, 0);
    if (auto* data = static_cast<HeaderData*>(LocalLock(block))) {
        ForgetMouse(data);
        ReleaseDC(hwnd, data->dc);
        FreeColumns(data);
        LocalUnlock(block);
    }
    LocalFree(block);
    return 0;
}

// ---------------------------------------------------------------------------
// Accessibility: a list of column headers, each named by its caption and
// located at its button.
// ---------------------------------------------------------------------------

LONG Header_ColumnCount(HWND hwnd)
{
    return HeaderLock(hwnd).count;
}

void Header_ColumnName(HWND hwnd, LONG part, std::string& text)
{
    const HeaderLock h(hwnd);
    const HeaderColumn* column = part >= 1 ? h.Column(static_cast<WPARAM>(part - 1)) : nullptr;
    const char* caption = column ? static_cast<const char*>(LocalLock(column->text)) : nullptr;
    if (!caption) return;
    text = caption;
    LocalUnlock(column->text);
}

bool Header_ColumnRect(HWND hwnd, LONG part, RECT* rect)
{
    const HeaderLock h(hwnd);
    if (part < 1 || part > h.count) return false;
    RECT client;
    GetClientRect(hwnd, &client);
    *rect = ColumnButton(h, client, part - 1);
    return true;
}

constexpr KwAccessInfo kAccess = {ROLE_SYSTEM_LIST, Header_ColumnName, nullptr, nullptr, nullptr, nullptr,
                                  ROLE_SYSTEM_COLUMNHEADER, Header_ColumnCount, Header_ColumnRect};

LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return Header_Create(hwnd, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY: return Header_Destroy(hwnd);
    // The header's data is gone by now; the default handling follows.
    case WM_NCDESTROY: KwForgetAccessible(hwnd); break;
    case WM_GETOBJECT: return KwAnswerGetObject(hwnd, wParam, lParam, kAccess);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    }

    HeaderLock h(hwnd);
    if (!h.data) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case HDRM_SETCOUNT: return Header_SetCount(h, LOWORD(wParam));
    case HDRM_SETTEXT: return Header_SetText(h, wParam, reinterpret_cast<LPCSTR>(lParam));
    case HDRM_SETALIGN: return Header_SetAlign(h, wParam, LOWORD(lParam));
    case HDRM_SETTEXTCOLOR: return Header_SetTextColor(h, static_cast<COLORREF>(lParam));
    case HDRM_SETBKCOLOR: return Header_SetBkColor(h, static_cast<COLORREF>(lParam));
    case HDRM_SETPOS: return Header_SetPos(h, wParam, LOWORD(lParam));
    case HDRM_SETNOTIFY: h.data->notifyWindow = reinterpret_cast<HWND>(wParam); return 1;
    case HDRM_GETCOUNT: return LOWORD(h.data->count);
    case HDRM_GETALIGN: return Header_GetAlign(h, wParam);
    case HDRM_GETPOS: return Header_GetPos(h, wParam);
    case WM_PAINT: return Header_Paint(h);
    case WM_ERASEBKGND: return Header_EraseBackground(h, wParam, lParam);
    case WM_SETFONT: return Header_SetFont(h, reinterpret_cast<HFONT>(wParam), lParam);
    }

    // Mouse messages on a header without columns get the default handling.
    const bool idle = h.count == 0;
    switch (message) {
    case WM_MOUSEMOVE:
        if (idle) break;
        if (h.data->dragging) return Header_DragStep(h, lParam);
        ChooseCursor(h, lParam);
        return 1;
    case WM_LBUTTONDOWN:
        if (idle) break;
        return Header_Press(h, wParam, lParam);
    case WM_LBUTTONUP:
        if (idle) {
            const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
            ReleaseCapture();
            return result;
        }
        return Header_Release(h, lParam);
    case WM_LBUTTONDBLCLK:
        if (idle) break;
        Notify(h, HDRN_DBLCLK, wParam, lParam);
        return 1;
    case WM_RBUTTONDOWN:
        if (idle) break;
        Notify(h, HDRN_RCLICK, wParam, lParam);
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

ATOM WINAPI RegisterHeader(HINSTANCE instance)
{
    headerInstance = instance;
    // No class cursor: the header chooses one itself on every mouse move.
    // The extra bytes hold the data block's handle at index 0: 4 bytes on
    // x86, grown to a whole pointer (8) on x64.
    return RegisterKwClass(instance, {KW_HEADER_CLASS,
                                      CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_BYTEALIGNCLIENT |
                                          CS_BYTEALIGNWINDOW | CS_GLOBALCLASS,
                                      HeaderProc, 0, sizeof(LONG_PTR), nullptr, VersionRuleBrush()});
}
