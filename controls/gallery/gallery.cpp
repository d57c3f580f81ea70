/*
 * KWGallery: one window that shows every window class of KWCTRL32, each
 * beside the few inputs that drive it, so that a developer of the family can
 * see the library and try it. Every section is an etched frame with a title,
 * painted by the gallery itself, holding a control and its inputs; what the
 * controls report back (calendar notices, header notifications, clicks of
 * the bitmap button) is shown in the gallery.
 *
 * The gallery window has no WS_CLIPCHILDREN, as a dialog has none: the 3-D
 * frame, the bumps panel, the hyperlink and the status bar's texts never
 * erase their background and rely on the parent having painted beneath them.
 *
 * Every position below is a pixel count at 96 DPI, scaled to the window's
 * DPI where it is used, with the dialog font made for that DPI: at 150% or
 * 200% the gallery is the same picture, 1.5 or 2 times the size. When the
 * window moves to a monitor of another DPI it takes the size the system
 * suggests and lays its children out again.
 *
 * "High contrast" in the window menu, or Ctrl+H, shows the library as a
 * user of a high-contrast scheme sees it: the gallery puts a black
 * high-contrast palette in force for the session and turns on the
 * library's high-contrast switch; the second time, and when the gallery
 * closes, the colours the session had come back.
 */
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "contrast.h"
#include "dpimetrics.h"
#include "kwctrl32.h"
#include "resource.h"
#include "widetext.h"

namespace {

const char kGalleryClass[] = "KWGalleryWindow";
const char kGalleryTitle[] = "KWCTRL32 Control Gallery";
constexpr DWORD kGalleryStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kClientWidth = 760;
constexpr int kClientHeight = 530;

// Control identifiers. They stay below the calendar's notice code
// (CALN_DATECHANGED, 2524), which arrives as a WM_COMMAND identifier too,
// and above IDOK and IDCANCEL, which the dialog keys send.
enum ControlId {
    IDC_GAUGE = 100,
    IDC_GAUGE_POSITION,
    IDC_GAUGE_RANGE,
    IDC_GAUGE_APPLY,
    IDC_CALENDAR = 110,
    IDC_CALENDAR_DAY,
    IDC_CALENDAR_MONTH,
    IDC_CALENDAR_YEAR,
    IDC_CALENDAR_SET,
    IDC_CALENDAR_TODAY,
    IDC_CALENDAR_NOTICE,
    IDC_LINK = 120,
    IDC_LINK_TEXT,
    IDC_LINK_SET,
    IDC_TIME = 130,
    IDC_TIME_NOW,
    IDC_HEADER = 140,
    IDC_HEADER_LOG,
    IDC_HEADER_CLEAR,
    IDC_STATUS = 150,
    IDC_STATUS_TEXT,
    IDC_STATUS_COUNT,
    IDC_STATUS_APPLY,
    IDC_BUMPS = 160,
    IDC_BMPBUTTON,
    IDC_BMPBUTTON_ENABLED,
    IDC_BMPBUTTON_STATE,
    IDC_DIPS = 170,
    IDC_TIPS_ON,
};

// Refreshes the status bar's clock, which the bar reads only when painted.
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kClockPeriodMs = 20000;

// The header log keeps the newest entries only.
constexpr int kMaxLogEntries = 500;

struct Section {
    RECT frame;
    const char* title;
};

// Two columns of four sections; the controls below are placed inside them.
const Section kSections[] = {
    {{8, 4, 376, 92}, "Gauge (KWGasGauge)"},
    {{8, 98, 376, 300}, "Calendar (KWCalendarWindow, KWCalendarWindowChanger)"},
    {{8, 306, 376, 392}, "Hyperlink (KWURLWindow)"},
    {{8, 398, 376, 522}, "Time display (KWTimeDisplay)"},
    {{384, 4, 752, 238}, "Header slider (KWPSS_SLIDER) and its notifications"},
    {{384, 244, 752, 330}, "Status bar (KWStatusClass, SText)"},
    {{384, 336, 752, 422}, "Bitmap button on bumps (KWBMPButton, KWBumpsWindow)"},
    {{384, 428, 752, 522}, "Tool tips (KWtipclass) in a 3-D frame (KWDipsWindow)"},
};

// Wide enough for the longest date line, "Wednesday 30 September 2026".
const RECT kTimeDisplayRect = {20, 418, 364, 482};

struct HeaderColumn {
    const char* caption;
    int align;
};
const HeaderColumn kHeaderColumns[] = {
    {"Name", 0},
    {"Size", HDR_ALIGN_RIGHT},
    {"Date", HDR_ALIGN_CENTER},
};
constexpr int kHeaderColumnCount = sizeof kHeaderColumns / sizeof kHeaderColumns[0];

struct ButtonTip {
    int id;
    const char* text;
};
const ButtonTip kButtonTips[] = {
    {IDC_GAUGE_APPLY, "Sets the gauge's range, then its position"},
    {IDC_CALENDAR_SET, "Shows the typed date in the calendar and its bar"},
    {IDC_CALENDAR_TODAY, "Jumps the calendar to today"},
    {IDC_LINK_SET, "Gives the hyperlink the typed link"},
    {IDC_TIME_NOW, "Makes a new time display, which shows this moment"},
    {IDC_HEADER_CLEAR, "Empties the notification log"},
    {IDC_STATUS_APPLY, "Puts the texts into the status bar; an empty count hides Total"},
};

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

HINSTANCE instance;
UINT galleryDpi = kKwBaseDpi; // the DPI the children are laid out and their font made for
HFONT guiFont;       // the dialog font at galleryDpi: the font of the children and the titles
bool latched;        // the bitmap button's latch, kept here: the button has no getter
bool lastLogWasMove; // the log's last line is a divider move, which the next one replaces

// Where each child lies at 96 DPI, so that a change of DPI places it anew
// from its own numbers rather than from rounded ones.
struct Placement {
    HWND child;
    RECT at96;
};
std::vector<Placement> placements;

int Scaled(int value)
{
    return KwScale(value, galleryDpi);
}

RECT Scaled(const RECT& r)
{
    return {Scaled(r.left), Scaled(r.top), Scaled(r.right), Scaled(r.bottom)};
}

// The dialog font (the stock GUI font, which the system makes for the
// screen's DPI) at dpi.
HFONT CreateGalleryFont(UINT dpi)
{
    LOGFONTA record = {};
    if (!GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof record, &record)) return nullptr;
    record.lfHeight = MulDiv(record.lfHeight, static_cast<int>(dpi), static_cast<int>(KwScreenDpi()));
    record.lfWidth = MulDiv(record.lfWidth, static_cast<int>(dpi), static_cast<int>(KwScreenDpi()));
    return CreateFontIndirectA(&record);
}

// ---------------------------------------------------------------------------
// Children
// ---------------------------------------------------------------------------

HWND Item(HWND gallery, int id)
{
    return GetDlgItem(gallery, id);
}

// A child at r, given in 96-DPI pixels of its parent.
HWND AddChild(HWND parent, const char* className, const char* text, DWORD style, const RECT& r, int id,
              DWORD exStyle = 0)
{
    const RECT at = Scaled(r);
    HWND child = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                                 at.right - at.left, at.bottom - at.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (child) {
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont), FALSE);
        placements.push_back({child, r});
    }
    return child;
}

void Forget(HWND child)
{
    for (auto p = placements.begin(); p != placements.end(); ++p)
        if (p->child == child) {
            placements.erase(p);
            return;
        }
}

RECT At(int x, int y, int w, int h)
{
    return {x, y, x + w, y + h};
}

void AddLabel(HWND gallery, const char* text, int x, int y, int w, int id = -1)
{
    AddChild(gallery, "STATIC", text, SS_LEFT | SS_NOPREFIX, At(x, y + 3, w, 16), id);
}

void AddEdit(HWND gallery, int id, const char* text, int x, int y, int w, DWORD style = 0)
{
    AddChild(gallery, "EDIT", text, ES_AUTOHSCROLL | WS_TABSTOP | style, At(x, y, w, 21), id, WS_EX_CLIENTEDGE);
}

void AddButton(HWND gallery, int id, const char* text, int x, int y, int w)
{
    AddChild(gallery, "BUTTON", text, BS_PUSHBUTTON | WS_TABSTOP, At(x, y - 1, w, 23), id);
}

// A number typed into an edit, held to [low, high] and written back as
// used: empty text counts as low, too many digits as high.
int ReadNumber(HWND gallery, int id, int low, int high)
{
    char text[16];
    GetDlgItemTextA(gallery, id, text, sizeof text);
    const unsigned long typed = strtoul(text, nullptr, 10);
    int value = text[0] ? (typed > static_cast<unsigned long>(high) ? high : static_cast<int>(typed)) : low;
    if (value < low) value = low;
    SetDlgItemInt(gallery, id, static_cast<UINT>(value), FALSE);
    return value;
}

// ---------------------------------------------------------------------------
// Gauge
// ---------------------------------------------------------------------------

// Range first, so that the new position is measured against the new range.
// Both travel in 16-bit words.
void Gauge_Apply(HWND gallery)
{
    const int range = ReadNumber(gallery, IDC_GAUGE_RANGE, 0, 65535);
    const int position = ReadNumber(gallery, IDC_GAUGE_POSITION, 0, 65535);
    HWND gauge = Item(gallery, IDC_GAUGE);
    SendMessageA(gauge, GGM_SETRANGE, 0, MAKELPARAM(0, range));
    SendMessageA(gauge, GGM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Gauge_Create(HWND gallery)
{
    // The percentage is printed in three quarters of the gauge's height, into
    // 20 pixels at the right: a low gauge keeps "100%" close to that width.
    AddChild(gallery, KW_GASGAUGE_CLASS, "", 0, At(20, 30, 344, 16), IDC_GAUGE);
    AddLabel(gallery, "Position", 20, 58, 48);
    AddEdit(gallery, IDC_GAUGE_POSITION, "40", 70, 58, 54, ES_NUMBER);
    AddLabel(gallery, "Range", 136, 58, 38);
    AddEdit(gallery, IDC_GAUGE_RANGE, "100", 176, 58, 54, ES_NUMBER);
    AddButton(gallery, IDC_GAUGE_APPLY, "Apply", 290, 58, 74);
    Gauge_Apply(gallery);
}

// ---------------------------------------------------------------------------
// Month calendar
// ---------------------------------------------------------------------------

void Calendar_ShowInInputs(HWND gallery, const CalendarDate& date)
{
    SetDlgItemInt(gallery, IDC_CALENDAR_DAY, static_cast<UINT>(date.day), FALSE);
    SetDlgItemInt(gallery, IDC_CALENDAR_MONTH, static_cast<UINT>(date.month), FALSE);
    SetDlgItemInt(gallery, IDC_CALENDAR_YEAR, static_cast<UINT>(date.year), FALSE);
}

// The whole date at once: CALM_SETDATE also moves the month/year bar and
// posts no notice.
void Calendar_SetFromInputs(HWND gallery)
{
    CalendarDate date = {};
    date.day = ReadNumber(gallery, IDC_CALENDAR_DAY, 1, 31);
    date.month = ReadNumber(gallery, IDC_CALENDAR_MONTH, 1, 12);
    date.year = ReadNumber(gallery, IDC_CALENDAR_YEAR, 1, 9999);
    SendMessageA(Item(gallery, IDC_CALENDAR), CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&date));
}

// CALM_TODAY moves the calendar but leaves its bar on the month it showed;
// setting the calendar's own date again brings the bar into line.
void Calendar_Today(HWND gallery)
{
    HWND calendar = Item(gallery, IDC_CALENDAR);
    SendMessageA(calendar, CALM_TODAY, 0, 0);
    CalendarDate date = {};
    SendMessageA(calendar, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&date));
    SendMessageA(calendar, CALM_SETDATE, 0, reinterpret_cast<LPARAM>(&date));
}

// A posted notice: the record belongs to the calendar and holds the date of
// its latest change.
void Calendar_Noticed(HWND gallery, const CalendarDate* date)
{
    Calendar_ShowInInputs(gallery, *date);
    const char* month = date->month >= 1 && date->month <= 12 ? kMonthNames[date->month - 1] : "?";
    char text[64];
    snprintf(text, sizeof text, "Last notice:\n%d %s %d", date->day, month, date->year);
    SetDlgItemTextA(gallery, IDC_CALENDAR_NOTICE, text);
}

void Calendar_Create(HWND gallery)
{
    // The calendar lays out its grid and sizes its fonts from this size.
    HWND calendar = AddChild(gallery, KW_CALENDAR_CLASS, "", 0, At(20, 118, 224, 172), IDC_CALENDAR);
    AddLabel(gallery, "Day", 256, 118, 44);
    AddEdit(gallery, IDC_CALENDAR_DAY, "", 304, 118, 60, ES_NUMBER);
    AddLabel(gallery, "Month", 256, 144, 44);
    AddEdit(gallery, IDC_CALENDAR_MONTH, "", 304, 144, 60, ES_NUMBER);
    AddLabel(gallery, "Year", 256, 170, 44);
    AddEdit(gallery, IDC_CALENDAR_YEAR, "", 304, 170, 60, ES_NUMBER);
    AddButton(gallery, IDC_CALENDAR_SET, "Set date", 256, 198, 108);
    AddButton(gallery, IDC_CALENDAR_TODAY, "Today", 256, 226, 108);
    AddChild(gallery, "STATIC", "Last notice:\nnone yet", SS_LEFT | SS_NOPREFIX, At(256, 256, 108, 32),
             IDC_CALENDAR_NOTICE);

    CalendarDate date = {};
    SendMessageA(calendar, CALM_GETDATE, 0, reinterpret_cast<LPARAM>(&date));
    Calendar_ShowInInputs(gallery, date);
}

// ---------------------------------------------------------------------------
// Hyperlink
// ---------------------------------------------------------------------------

// The link never erases behind its text, so the gallery erases its area:
// a shorter link must not leave the end of the longer one behind.
void Link_Set(HWND gallery)
{
    char link[255]; // the control keeps 254 characters
    GetDlgItemTextA(gallery, IDC_LINK_TEXT, link, sizeof link);
    HWND control = Item(gallery, IDC_LINK);
    SendMessageA(control, URLM_SETLINK, 0, reinterpret_cast<LPARAM>(link));
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, gallery, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(gallery, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Link_Create(HWND gallery)
{
    // The control shows its built-in link until it is given another.
    AddChild(gallery, KW_URL_CLASS, "", 0, At(20, 326, 344, 22), IDC_LINK);
    AddEdit(gallery, IDC_LINK_TEXT, "http://www.example.com/gallery", 20, 356, 262);
    SendMessageA(Item(gallery, IDC_LINK_TEXT), EM_LIMITTEXT, 254, 0);
    AddButton(gallery, IDC_LINK_SET, "Set link", 290, 356, 74);
}

// ---------------------------------------------------------------------------
// Time display
// ---------------------------------------------------------------------------

// The panel shows the moment it was made and never changes it: a new
// moment takes a new panel.
void Time_Renew(HWND gallery)
{
    if (HWND old = Item(gallery, IDC_TIME)) {
        Forget(old);
        DestroyWindow(old);
    }
    AddChild(gallery, KW_TIMEDISPLAY_CLASS, "", 0, kTimeDisplayRect, IDC_TIME);
}

void Time_Create(HWND gallery)
{
    Time_Renew(gallery);
    AddLabel(gallery, "It keeps the moment at which it was made.", 20, 492, 262);
    AddButton(gallery, IDC_TIME_NOW, "Now", 290, 492, 74);
}

// ---------------------------------------------------------------------------
// Header slider and its log
// ---------------------------------------------------------------------------

void Log_Add(HWND gallery, const char* text, bool dividerMove)
{
    HWND log = Item(gallery, IDC_HEADER_LOG);
    // A drag reports every step; consecutive steps share one line.
    const LRESULT count = SendMessageA(log, LB_GETCOUNT, 0, 0);
    if (dividerMove && lastLogWasMove && count > 0) SendMessageA(log, LB_DELETESTRING, count - 1, 0);
    if (SendMessageA(log, LB_GETCOUNT, 0, 0) >= kMaxLogEntries) SendMessageA(log, LB_DELETESTRING, 0, 0);
    const LRESULT index = SendMessageA(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index >= 0) SendMessageA(log, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    lastLogWasMove = dividerMove;
}

// "33%, 66%": where the dividers (the left edges of columns 1 and up) are.
void DividerPositions(HWND header, char* text, size_t size)
{
    text[0] = '\0';
    const int count = static_cast<int>(SendMessageA(header, HDRM_GETCOUNT, 0, 0));
    size_t used = 0;
    for (int i = 1; i < count && used < size; ++i) {
        const int position = static_cast<int>(SendMessageA(header, HDRM_GETPOS, static_cast<WPARAM>(i), 0));
        const int written = snprintf(text + used, size - used, "%s%d%%", i > 1 ? ", " : "", position);
        if (written < 0) break;
        used += static_cast<size_t>(written);
    }
}

void Header_Noticed(HWND gallery, UINT message, WPARAM wParam, LPARAM lParam)
{
    char text[128];
    char positions[64];
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (message) {
    case HDRN_CLICK: {
        const int column = static_cast<int>(wParam);
        const char* caption = column >= 0 && column < kHeaderColumnCount ? kHeaderColumns[column].caption : "?";
        snprintf(text, sizeof text, "HDRN_CLICK: column %d (%s)", column, caption);
        break;
    }
    case HDRN_RCLICK: snprintf(text, sizeof text, "HDRN_RCLICK at (%d, %d)", x, y); break;
    case HDRN_DBLCLK: snprintf(text, sizeof text, "HDRN_DBLCLK at (%d, %d)", x, y); break;
    case HDRN_DRAGBEGIN:
        DividerPositions(Item(gallery, IDC_HEADER), positions, sizeof positions);
        snprintf(text, sizeof text, "HDRN_DRAGBEGIN: dividers at %s", positions);
        break;
    default:
        DividerPositions(Item(gallery, IDC_HEADER), positions, sizeof positions);
        snprintf(text, sizeof text, "HDRN_DRAGMOVE: dividers at %s", positions);
        Log_Add(gallery, text, true);
        return;
    }
    Log_Add(gallery, text, false);
}

void Header_Create(HWND gallery)
{
    // The header grows 2 pixels upwards and 1 to the right of what it is
    // given, to make room for its buttons' outer edges: this lands it on
    // (396, 26) with 344 x 22.
    HWND header = AddChild(gallery, KW_HEADER_CLASS, "", 0, At(396, 28, 343, 20), IDC_HEADER);
    SendMessageA(header, HDRM_SETCOUNT, kHeaderColumnCount, 0);
    for (int i = 0; i < kHeaderColumnCount; ++i) {
        SendMessageA(header, HDRM_SETTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(kHeaderColumns[i].caption));
        SendMessageA(header, HDRM_SETALIGN, static_cast<WPARAM>(i), kHeaderColumns[i].align);
    }
    SendMessageA(header, HDRM_SETNOTIFY, reinterpret_cast<WPARAM>(gallery), 0);

    AddChild(gallery, "LISTBOX", "", WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, At(396, 54, 344, 146),
             IDC_HEADER_LOG, WS_EX_CLIENTEDGE);
    AddLabel(gallery, "Click a column, drag a divider (Shift: alone)", 396, 208, 262);
    AddButton(gallery, IDC_HEADER_CLEAR, "Clear log", 666, 208, 74);
}

// ---------------------------------------------------------------------------
// Status bar
// ---------------------------------------------------------------------------

// The bar is as high as the library's status tools say (in pixels at the
// DPI they were made for) plus the panes' margins.
void Status_Place(HWND gallery)
{
    HWND bar = Item(gallery, IDC_STATUS);
    SetWindowPos(bar, nullptr, 0, 0, Scaled(344), statusGetHeight() + Scaled(6), SWP_NOMOVE | SWP_NOZORDER);
}

// An empty count hides the "Total" pane.
void Status_Apply(HWND gallery)
{
    char status[128];
    char count[128];
    GetDlgItemTextA(gallery, IDC_STATUS_TEXT, status, sizeof status);
    GetDlgItemTextA(gallery, IDC_STATUS_COUNT, count, sizeof count);
    HWND bar = Item(gallery, IDC_STATUS);
    statusUpdateStatus(bar, "%s", status);
    statusUpdateCount(bar, "%s", count);
}

void Status_Create(HWND gallery)
{
    // The panes run from 3 pixels below the top to 4 above the bottom.
    AddChild(gallery, KW_STATUS_CLASS, "", 0, At(396, 264, 344, 0), IDC_STATUS);
    Status_Place(gallery);
    AddLabel(gallery, "Status", 396, 298, 40);
    AddEdit(gallery, IDC_STATUS_TEXT, "Ready", 438, 298, 150);
    AddLabel(gallery, "Count", 598, 298, 34);
    AddEdit(gallery, IDC_STATUS_COUNT, "3", 634, 298, 40);
    // The bar shows 127 characters of each text.
    SendMessageA(Item(gallery, IDC_STATUS_TEXT), EM_LIMITTEXT, 127, 0);
    SendMessageA(Item(gallery, IDC_STATUS_COUNT), EM_LIMITTEXT, 127, 0);
    AddButton(gallery, IDC_STATUS_APPLY, "Apply", 682, 298, 58);
    Status_Apply(gallery);
}

// ---------------------------------------------------------------------------
// Bitmap button on a bumps panel
// ---------------------------------------------------------------------------

HWND BitmapButton(HWND gallery)
{
    return GetDlgItem(Item(gallery, IDC_BUMPS), IDC_BMPBUTTON);
}

void BitmapButton_ShowState(HWND gallery)
{
    const bool enabled = IsDlgButtonChecked(gallery, IDC_BMPBUTTON_ENABLED) == BST_CHECKED;
    const char* text = !enabled ? "Greyed: tick Enabled to use it"
                       : latched ? "Latched: click the folder to release it"
                                 : "Released: click the folder to latch it";
    SetDlgItemTextA(gallery, IDC_BMPBUTTON_STATE, text);
}

// The button only reports clicks; latching it is its owner's business.
void BitmapButton_Clicked(HWND gallery)
{
    latched = !latched;
    SendMessageA(BitmapButton(gallery), BBM_SETLATCH, latched ? 1 : 0, 0);
    BitmapButton_ShowState(gallery);
}

// Greying forgets the latch inside the button, so it is set again when the
// button comes back.
void BitmapButton_EnableChanged(HWND gallery)
{
    const bool enabled = IsDlgButtonChecked(gallery, IDC_BMPBUTTON_ENABLED) == BST_CHECKED;
    HWND button = BitmapButton(gallery);
    SendMessageA(button, BBM_ENABLE, enabled ? 1 : 0, 0);
    if (enabled && latched) SendMessageA(button, BBM_SETLATCH, 1, 0);
    BitmapButton_ShowState(gallery);
}

void BitmapButton_Create(HWND gallery)
{
    // The panel is the grip of a small tool bar; the button's clicks reach
    // the gallery through it.
    HWND bumps = AddChild(gallery, KW_BUMPS_CLASS, "", 0, At(396, 356, 52, 36), IDC_BUMPS);
    HWND button = AddChild(bumps, KW_BMPBUTTON_CLASS, "", 0, At(16, 6, 24, 24), IDC_BMPBUTTON);
    KwImageSource source = {instance, IDB_FOLDER};
    SendMessageA(button, BBM_SETIMAGES, 0, reinterpret_cast<LPARAM>(&source));

    AddChild(gallery, "BUTTON", "Enabled", BS_AUTOCHECKBOX | WS_TABSTOP, At(464, 356, 120, 17),
             IDC_BMPBUTTON_ENABLED);
    CheckDlgButton(gallery, IDC_BMPBUTTON_ENABLED, BST_CHECKED);
    AddLabel(gallery, "", 464, 376, 276, IDC_BMPBUTTON_STATE);
    BitmapButton_ShowState(gallery);
}

// ---------------------------------------------------------------------------
// Tool tips in a 3-D frame
// ---------------------------------------------------------------------------

// DestroyTip keeps each tip window, so ticking the box again hooks the
// same tips back on.
void Tips_Enable(HWND gallery, bool on)
{
    for (const ButtonTip& tip : kButtonTips) {
        if (on)
            CreateTip(instance, gallery, tip.id, tip.text);
        else
            DestroyTip(gallery, tip.id);
    }
}

void Tips_Create(HWND gallery)
{
    // A recessed panel that groups the text and the box lying on it.
    AddChild(gallery, KW_DIPS_CLASS, "", 0, At(396, 448, 344, 64), IDC_DIPS);
    AddChild(gallery, "STATIC", "Rest the pointer on a push button of the gallery to see its tip.",
             SS_LEFT | SS_NOPREFIX, At(406, 456, 324, 30), -1);
    AddChild(gallery, "BUTTON", "Tips on the buttons", BS_AUTOCHECKBOX | WS_TABSTOP, At(406, 488, 200, 17),
             IDC_TIPS_ON);
    CheckDlgButton(gallery, IDC_TIPS_ON, BST_CHECKED);
    Tips_Enable(gallery, true);
}

// ---------------------------------------------------------------------------
// High contrast
// ---------------------------------------------------------------------------

// The window menu's item; system commands keep their low four bits clear.
constexpr UINT IDM_HIGHCONTRAST = 0x0100;

// A black high-contrast palette, as the system's own scheme of that kind.
struct SchemeColour {
    int index;
    COLORREF colour;
};
const SchemeColour kHighContrastBlack[] = {
    {COLOR_WINDOW, RGB(0, 0, 0)},           {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
    {COLOR_BTNFACE, RGB(0, 0, 0)},          {COLOR_BTNTEXT, RGB(255, 255, 255)},
    {COLOR_BTNSHADOW, RGB(128, 128, 128)},  {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},
    {COLOR_3DLIGHT, RGB(0, 0, 0)},          {COLOR_3DDKSHADOW, RGB(255, 255, 255)},
    {COLOR_HIGHLIGHT, RGB(26, 235, 255)},   {COLOR_HIGHLIGHTTEXT, RGB(0, 0, 0)},
    {COLOR_HOTLIGHT, RGB(255, 255, 0)},     {COLOR_GRAYTEXT, RGB(63, 242, 63)},
    {COLOR_INFOBK, RGB(0, 0, 0)},           {COLOR_INFOTEXT, RGB(255, 255, 255)},
    {COLOR_WINDOWFRAME, RGB(255, 255, 255)}, {COLOR_MENU, RGB(0, 0, 0)},
    {COLOR_MENUTEXT, RGB(255, 255, 255)},
};
constexpr int kSchemeSize = sizeof kHighContrastBlack / sizeof kHighContrastBlack[0];

// While the palette is in force: the session's own colours, and the atom
// that turns on the library's switch.
COLORREF sessionColours[kSchemeSize];
ATOM highContrastAtom = 0;

void SetColours(const COLORREF (&colours)[kSchemeSize])
{
    int indices[kSchemeSize];
    for (int i = 0; i < kSchemeSize; ++i) indices[i] = kHighContrastBlack[i].index;
    SetSysColors(kSchemeSize, indices, colours);
}

void HighContrast_Toggle(HWND gallery)
{
    if (highContrastAtom) {
        DeleteAtom(highContrastAtom);
        highContrastAtom = 0;
        SetColours(sessionColours);
    } else {
        COLORREF scheme[kSchemeSize];
        for (int i = 0; i < kSchemeSize; ++i) {
            sessionColours[i] = GetSysColor(kHighContrastBlack[i].index);
            scheme[i] = kHighContrastBlack[i].colour;
        }
        highContrastAtom = AddAtomA(kKwHighContrastAtom);
        SetColours(scheme);
    }
    CheckMenuItem(GetSystemMenu(gallery, FALSE), IDM_HIGHCONTRAST, highContrastAtom ? MF_CHECKED : MF_UNCHECKED);
}

// Only top-level windows hear of new system colours; the gallery passes
// the news on to the controls, as a dialog of common controls does.
void Gallery_ColoursChanged(HWND gallery, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND child = GetWindow(gallery, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, message, wParam, lParam);
    InvalidateRect(gallery, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// The gallery window
// ---------------------------------------------------------------------------

LRESULT Gallery_Create(HWND gallery)
{
    galleryDpi = KwWindowDpi(gallery);
    guiFont = CreateGalleryFont(galleryDpi);
    if (!guiFont) return -1;
    Gauge_Create(gallery);
    Calendar_Create(gallery);
    Link_Create(gallery);
    Time_Create(gallery);
    Header_Create(gallery);
    Status_Create(gallery);
    BitmapButton_Create(gallery);
    Tips_Create(gallery); // last: it hooks the push buttons made above
    SetTimer(gallery, kClockTimer, kClockPeriodMs, nullptr);
    const HMENU windowMenu = GetSystemMenu(gallery, FALSE);
    AppendMenuA(windowMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(windowMenu, MF_STRING, IDM_HIGHCONTRAST, "&High contrast\tCtrl+H");
    return 0;
}

// Each section: an etched frame whose top line runs through the middle of
// the title. The titles are measured and drawn through the Unicode calls,
// converted once from the ANSI code page.
void Gallery_Paint(HWND gallery)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(gallery, &ps);
    if (!dc) return;
    const HGDIOBJ oldFont = SelectObject(dc, guiFont);
    const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (const Section& section : kSections) {
        SIZE extent = {};
        KwTextExtent(dc, section.title, -1, &extent);
        const RECT outer = Scaled(section.frame);
        RECT frame = outer;
        frame.top += extent.cy / 2;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        const RECT behind = {outer.left + Scaled(6), outer.top, outer.left + Scaled(14) + extent.cx,
                             outer.top + extent.cy};
        KwTextOut(dc, outer.left + Scaled(10), outer.top, ETO_OPAQUE | ETO_CLIPPED, &behind, section.title);
    }
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SelectObject(dc, oldFont);
    EndPaint(gallery, &ps);
}

// The gallery's client size at its DPI as a window size.
SIZE Gallery_WindowSize()
{
    RECT outer = {0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
    AdjustWindowRect(&outer, kGalleryStyle, FALSE);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Moved to a monitor of another DPI: the window takes the rectangle the
// system suggests, makes its font for the new DPI and places every child
// from its 96-DPI numbers. The children that scale themselves hear of the
// change from the system (WM_DPICHANGED_AFTERPARENT).
void Gallery_DpiChanged(HWND gallery, UINT dpi, const RECT* suggested)
{
    const HFONT font = CreateGalleryFont(dpi);
    if (font) {
        const HFONT old = guiFont;
        guiFont = font;
        galleryDpi = dpi;
        for (const Placement& p : placements) {
            const RECT at = Scaled(p.at96);
            SetWindowPos(p.child, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageA(p.child, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont), FALSE);
        }
        Status_Place(gallery);
        DeleteObject(old);
    }
    KwTakeSuggestedRect(gallery, suggested);
    InvalidateRect(gallery, nullptr, TRUE);
}

// Enter in an input applies the section it belongs to.
void Gallery_ApplyFocusedSection(HWND gallery)
{
    switch (GetDlgCtrlID(GetFocus())) {
    case IDC_GAUGE_POSITION:
    case IDC_GAUGE_RANGE: Gauge_Apply(gallery); break;
    case IDC_CALENDAR_DAY:
    case IDC_CALENDAR_MONTH:
    case IDC_CALENDAR_YEAR: Calendar_SetFromInputs(gallery); break;
    case IDC_LINK_TEXT: Link_Set(gallery); break;
    case IDC_STATUS_TEXT:
    case IDC_STATUS_COUNT: Status_Apply(gallery); break;
    default: break;
    }
}

void Gallery_Command(HWND gallery, WPARAM wParam, LPARAM lParam)
{
    if (wParam == CALN_DATECHANGED && lParam) {
        Calendar_Noticed(gallery, reinterpret_cast<const CalendarDate*>(lParam));
        return;
    }
    // Only clicks: the edits' notifications carry other codes.
    if (HIWORD(wParam) != BN_CLICKED) return;
    switch (LOWORD(wParam)) {
    case IDOK: Gallery_ApplyFocusedSection(gallery); break;
    case IDC_GAUGE_APPLY: Gauge_Apply(gallery); break;
    case IDC_CALENDAR_SET: Calendar_SetFromInputs(gallery); break;
    case IDC_CALENDAR_TODAY: Calendar_Today(gallery); break;
    case IDC_LINK_SET: Link_Set(gallery); break;
    case IDC_TIME_NOW: Time_Renew(gallery); break;
    case IDC_HEADER_CLEAR:
        SendMessageA(Item(gallery, IDC_HEADER_LOG), LB_RESETCONTENT, 0, 0);
        lastLogWasMove = false;
        break;
    case IDC_STATUS_APPLY: Status_Apply(gallery); break;
    case IDC_BMPBUTTON: BitmapButton_Clicked(gallery); break;
    case IDC_BMPBUTTON_ENABLED: BitmapButton_EnableChanged(gallery); break;
    case IDC_TIPS_ON: Tips_Enable(gallery, IsDlgButtonChecked(gallery, IDC_TIPS_ON) == BST_CHECKED); break;
    default: break;
    }
}

void Gallery_Destroy(HWND gallery)
{
    KillTimer(gallery, kClockTimer);
    if (highContrastAtom) HighContrast_Toggle(gallery);
    placements.clear();
    PostQuitMessage(0);
}

// The font outlives the children that use it.
void Gallery_NcDestroy()
{
    if (guiFont) DeleteObject(guiFont);
    guiFont = nullptr;
}

LRESULT CALLBACK GalleryProc(HWND gallery, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return Gallery_Create(gallery);
    case WM_PAINT: Gallery_Paint(gallery); return 0;
    // The gauge makes its percentage font from its parent's font.
    case WM_GETFONT: return reinterpret_cast<LRESULT>(guiFont);
    case WM_COMMAND: Gallery_Command(gallery, wParam, lParam); return 0;
    case WM_TIMER:
        if (wParam == kClockTimer) MsgTimer(Item(gallery, IDC_STATUS));
        return 0;
    case HDRN_CLICK:
    case HDRN_RCLICK:
    case HDRN_DBLCLK:
    case HDRN_DRAGBEGIN:
    case HDRN_DRAGMOVE: Header_Noticed(gallery, message, wParam, lParam); return 0;
    case WM_DPICHANGED:
        Gallery_DpiChanged(gallery, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_HIGHCONTRAST) return DefWindowProcA(gallery, message, wParam, lParam);
        HighContrast_Toggle(gallery);
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: Gallery_ColoursChanged(gallery, message, wParam, lParam); return 0;
    case WM_DESTROY: Gallery_Destroy(gallery); return 0;
    case WM_NCDESTROY:
        Gallery_NcDestroy();
        return DefWindowProcA(gallery, message, wParam, lParam);
    default: return DefWindowProcA(gallery, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE thisInstance, HINSTANCE, LPSTR, int showCommand)
{
    instance = thisInstance;
    // The library's classes load their cursors from this instance, which
    // therefore carries them. A failure has been reported to the user.
    if (!InitControls(instance)) return 1;

    WNDCLASSA cls = {};
    cls.lpfnWndProc = GalleryProc;
    cls.hInstance = instance;
    cls.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kGalleryClass;
    if (!RegisterClassA(&cls)) return 1;

    // Made at its 96-DPI size, then sized for the DPI its window has.
    HWND gallery = CreateWindowExA(0, kGalleryClass, kGalleryTitle, kGalleryStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                   kClientWidth, kClientHeight, nullptr, nullptr, instance, nullptr);
    if (!gallery) return 1;
    const SIZE size = Gallery_WindowSize();
    SetWindowPos(gallery, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    winCenter(gallery);
    ShowWindow(gallery, showCommand);
    UpdateWindow(gallery);
    SetFocus(GetDlgItem(gallery, IDC_GAUGE_POSITION));

    // The dialog keys work here too: Tab between the inputs, Enter applies.
    MSG msg = {};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.wParam == 'H' && (GetKeyState(VK_CONTROL) & 0x8000)) {
            PostMessageA(gallery, WM_SYSCOMMAND, IDM_HIGHCONTRAST, 0);
            continue;
        }
        if (IsDialogMessageA(gallery, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
