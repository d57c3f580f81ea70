/*
 * KWCTRL32: the family's common control library.
 *
 * One call of InitControls registers every window class below under the
 * caller's instance; after that any module of the process can create the
 * controls by class name. Fixed-arity exports use the standard calling
 * convention (WINAPI), variadic ones the C convention.
 */
#ifndef KWCTRL32_H
#define KWCTRL32_H

#include <windows.h>

/* The module definition file alone decides the exported names; callers
   reach every export through its import library. */
#define KWAPI

/* A few 32-bit exports keep the decorated names "_Name@N" that callers
   link against. They are declared under their plain names here and bound to
   the decorated symbol: by an assembler label with GCC, by a name with the
   leading underscore elsewhere. The 64-bit library exports every function
   by its plain name, which is what the declarations say. */
#if defined(_WIN64)
#define KW_DECORATED(symbol)
#elif defined(__GNUC__)
#define KW_DECORATED(symbol) __asm__(symbol)
#else
#define KW_DECORATED(symbol)
#define MyYield _MyYield
#define GetPrivateProfileBool _GetPrivateProfileBool
#define GetProfileBool _GetProfileBool
#define HelpFileName _HelpFileName
#define IniFileName _IniFileName
#define CopyTextToClipboard _CopyTextToClipboard
#define GetFont _GetFont
#define CopyBitmap _CopyBitmap
#define LoadTransparentBitmap1 LoadTransparentBitmap_1
#define ClipCopy _ClipCopy
#define statusWndProc _statusWndProc
#define fnText _fnText
#define PaintText _PaintText
#endif

/* Window classes of the library. */
#define KW_URL_CLASS           "KWURLWindow"
#define KW_DIPS_CLASS          "KWDipsWindow"
#define KW_BUMPS_CLASS         "KWBumpsWindow"
#define KW_BMPBUTTON_CLASS     "KWBMPButton"
#define KW_GASGAUGE_CLASS      "KWGasGauge"
#define KW_HEADER_CLASS        "KWPSS_SLIDER"
#define KW_STATUS_CLASS        "KWStatusClass"
#define KW_STATUSTEXT_CLASS    "SText"
#define KW_TIP_CLASS           "KWtipclass"
#define KW_TIMEDISPLAY_CLASS   "KWTimeDisplay"
#define KW_CALENDAR_CLASS      "KWCalendarWindow"
#define KW_CALENDARBAR_CLASS   "KWCalendarWindowChanger"

/* Message of the hyperlink control: lParam points at the new link (cut to
   254 characters; null changes nothing), shown from the next paint on.
   Returns 0. */
#define URLM_SETLINK           (WM_USER + 100)

/* Messages of the bitmap push button (all return 0). BBM_SETIMAGES:
   lParam points at a KwImageSource, read only during the call; the button
   loads its normal, highlighted and disabled faces from that bitmap and
   owns them. BBM_ENABLE: wParam 0 greys the button, nonzero un-greys it
   (the window's own enabled state is untouched). BBM_SETLATCH: wParam 1
   latches the button down, any other value releases it. */
#define BBM_SETIMAGES          (WM_USER + 1)
#define BBM_ENABLE             (WM_USER + 2)
#define BBM_SETLATCH           (WM_USER + 3)

/* Messages of the header slider. A column index in wParam is 0-based (its
   low 16 bits); positions are percentages of the header's width, the left
   edges of the columns. Setters return 1, or 0 for an invalid index;
   HDRM_GETALIGN answers -1 and HDRM_GETPOS 65535 for an invalid index.
   HDRM_SETTEXT: lParam points at the caption (cut to 255 characters); a
   column without caption is not drawn. HDRM_SETALIGN: HDR_ALIGN_RIGHT,
   HDR_ALIGN_CENTER or any other value for left. HDRM_SETNOTIFY: wParam is
   the window that receives the HDRN_ notifications below. */
#define HDRM_SETCOUNT          (WM_USER + 0x1000)
#define HDRM_SETTEXT           (WM_USER + 0x1001)
#define HDRM_SETALIGN          (WM_USER + 0x1002)
#define HDRM_SETTEXTCOLOR      (WM_USER + 0x1003)
#define HDRM_SETBKCOLOR        (WM_USER + 0x1004)
#define HDRM_SETPOS            (WM_USER + 0x1005)
#define HDRM_SETNOTIFY         (WM_USER + 0x1006)
#define HDRM_GETCOUNT          (WM_USER + 0x1007)
#define HDRM_GETALIGN          (WM_USER + 0x1009)
#define HDRM_GETPOS            (WM_USER + 0x100A)
#define HDR_ALIGN_RIGHT        1
#define HDR_ALIGN_CENTER       2
/* Notifications of the header slider. HDRN_CLICK: wParam the column,
   lParam the header. HDRN_RCLICK, HDRN_DBLCLK: the mouse message's wParam
   and lParam. HDRN_DRAGBEGIN, HDRN_DRAGMOVE: wParam the header; the new
   positions are read with HDRM_GETPOS. */
#define HDRN_CLICK             (WM_USER + 0x100C)
#define HDRN_RCLICK            (WM_USER + 0x100D)
#define HDRN_DBLCLK            (WM_USER + 0x100E)
#define HDRN_DRAGBEGIN         (WM_USER + 0x2000)
#define HDRN_DRAGMOVE          (WM_USER + 0x2001)

/* Tool tips. TIPM_SHOW goes from a control's tip hook to its tip window:
   wParam nonzero shows the tip near the screen point in lParam (x in the
   low word, y in the high word), 0 hides it. A hooked control keeps its
   tip in four properties named by integer atoms (MAKEINTATOM): the low and
   high 16 bits of its replaced window procedure, the hover flag and the
   tip window; in a 64-bit process two more keep bits 32 to 47 and 48 to 63
   of the procedure. It runs timers 1 and 2, so its own timers must use
   others. */
#define TIPM_SHOW              (WM_USER + 1024)
#define TIPPROP_PROCLO         10000
#define TIPPROP_PROCHI         10001
#define TIPPROP_HOVER          10002
#define TIPPROP_TIPWND         10003
#define TIPPROP_PROC32         10004
#define TIPPROP_PROC48         10005
#define TIP_TIMER_DELAY        1
#define TIP_TIMER_HIDE         2

/* Gas gauge messages (all return 1). GGM_SETRANGE: the high word of lParam
   is the new range; GGM_SETPOS: the low word of wParam is the position;
   GGM_ADVANCE and GGM_ADDRANGE add lParam (unsigned, wrapping) to the
   position or the range; GGM_SETFLAGS: lParam is the flags, shown at the
   next paint. The position never passes the range. */
#define GGM_SETRANGE           (WM_USER + 1)
#define GGM_SETPOS             (WM_USER + 2)
#define GGM_ADVANCE            (WM_USER + 3)
#define GGM_SETFLAGS           (WM_USER + 9)
#define GGM_ADDRANGE           (WM_USER + 10)
/* The same through WM_COMMAND: the command in the low word of wParam, the
   value in lParam. GGC_SETRANGE takes the high word of lParam, GGC_SETPOS
   all of it. Colours set here paint the lit and the unlit blocks; until
   then they follow the system highlight and button-face colours. */
#define GGC_SETBARCOLOR        100
#define GGC_SETBKCOLOR         101
#define GGC_SETRANGE           102
#define GGC_SETPOS             103
#define GGC_SETFLAGS           104
/* Gauge flag: print the percentage at the right. */
#define GGF_PERCENT            2

/* Control identifiers of the status bar's two "SText" children. */
#define IDC_STATUSTEXT         1
#define IDC_STATUSCOUNT        2

/* Messages of the month calendar (all return 0, or 1 when the calendar
   has no data or a date pointer is null). A number in wParam counts by its
   low 16 bits. CALM_SETDAY, CALM_SETDAYCOUNT and CALM_SETFIRSTDAY store
   the value unchecked; CALM_SETMONTH (0..11) and CALM_SETYEAR (full year)
   act only on a change and lower the selected day to the new month's last
   day where needed, as CALM_SETDAYCOUNT does. CALM_GETDATE and
   CALM_SETDATE take a CalendarDate in lParam; CALM_SETDATE also sets the
   month/year bar. Every change of the date but CALM_SETDAYCOUNT and
   CALM_SETDATE is posted to the calendar's parent as WM_COMMAND with
   wParam CALN_DATECHANGED and lParam the address of a CalendarDate with
   the new date. That record belongs to the calendar and stays readable
   after it is destroyed, but the calendar's next notice rewrites it. */
#define CALM_SETDAY            (WM_USER + 1500)
#define CALM_SETDAYCOUNT       (WM_USER + 1501)
#define CALM_SETMONTH          (WM_USER + 1502)
#define CALM_SETYEAR           (WM_USER + 1503)
#define CALM_SETFIRSTDAY       (WM_USER + 1504)
#define CALM_TODAY             (WM_USER + 1505)
#define CALM_GETDATE           (WM_USER + 1506)
#define CALM_SETDATE           (WM_USER + 1507)
#define CALN_DATECHANGED       CALM_SETDAY

/* A date as the calendar and its parent exchange it, laid out as the C
   run-time's broken-down time. Only day (1..31), month (1..12) and year
   (the full number) are read or written; the others are left alone. */
typedef struct CalendarDate {
    int second;
    int minute;
    int hour;
    int day;
    int month;
    int year;
    int weekday;
    int yearDay;
    int daylightSaving;
} CalendarDate;

/* Registered window message sent by DisplayStatusMessage; lParam is the text. */
#define KW_STATUS_MESSAGE_NAME "MarlLibraryStatus"

#ifdef __cplusplus
extern "C" {
#endif

/* Settings store in the registry: below the root key (HKEY_CURRENT_USER)
   and base path ("Software\Kestrel Apps"), the section names a key and the
   key a value. The file argument is accepted and never used. */
KWAPI void WINAPI SetRootKey(HKEY root);
KWAPI void WINAPI SetRegBase(LPCSTR basePath);
KWAPI int  WINAPI KwGetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer,
                                            int size, LPCSTR file);
KWAPI int  WINAPI KwWritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR file);
KWAPI int  WINAPI KwGetPrivateProfileInt(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR file);
KWAPI int  WINAPI KwWritePrivateProfileInt(LPCSTR section, LPCSTR key, int value, LPCSTR file);
KWAPI int  WINAPI KwGetPrivateProfileBool(LPCSTR section, LPCSTR key, int defaultFlag, LPCSTR file);
KWAPI int  WINAPI KwWritePrivateProfileBool(LPCSTR section, LPCSTR key, int flag, LPCSTR file);
KWAPI int  __cdecl KwWritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR file, LPCSTR format, ...);
/* Deletes a section with every value and section below it; 1 when it is
   gone (or was never there), 0 for an empty section name or a failure. */
KWAPI int  WINAPI KwDeletePrivateProfileSection(LPCSTR section, LPCSTR file);

/* Settings in INI files. The boolean readers take "", "0", "N", "NO",
   "OFF", "F" and "FALSE" (any letter case) as 0 and every other text as 1. */
KWAPI int  WINAPI GetPrivateProfileBool(LPCSTR section, LPCSTR key, int defaultFlag, LPCSTR iniFile)
    KW_DECORATED("__GetPrivateProfileBool@16");
KWAPI int  WINAPI GetProfileBool(LPCSTR section, LPCSTR key, int defaultFlag) KW_DECORATED("__GetProfileBool@12");
KWAPI int  WINAPI WritePrivateProfileInt(LPCSTR section, LPCSTR key, int value, LPCSTR iniFile);
KWAPI int  __cdecl WritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR iniFile, LPCSTR format, ...);

/* Names built next to a module (null: the program's executable): its help
   file (extension replaced by .HLP) and the mail client's CMSETUP.INI in its
   directory. The buffer must hold 256 characters; a name that would not
   fit is not cut: the buffer is made empty. Result: length of the name. */
KWAPI int  WINAPI HelpFileName(HMODULE module, LPSTR buffer) KW_DECORATED("__HelpFileName@8");
KWAPI int  WINAPI IniFileName(HMODULE module, LPSTR buffer) KW_DECORATED("__IniFileName@8");

/* Strings and clipboard. trim turns every run of white space into one
   blank and drops it at both ends, in place; returns text (null for null). */
KWAPI LPSTR WINAPI trim(LPSTR text);
/* Copies field `field` (from 0) of the separated list into buffer, which
   must be large enough for it; 1 if that field is not empty, else 0. */
KWAPI int  WINAPI GetToken(LPCSTR text, LPSTR buffer, int field, char separator);
/* 0 when text matches pattern ("*" any run, "?" any one character), else 1
   or -1 by the first differing character, compared as signed bytes. The
   "i" flavour folds A-Z to a-z first. */
KWAPI int  WINAPI strcmpwild(LPCSTR pattern, LPCSTR text);
KWAPI int  WINAPI strcmpiwild(LPCSTR pattern, LPCSTR text);
/* Adds text to the clipboard as CF_TEXT and as CF_UNICODETEXT (converted
   from the process's code page) without emptying it first; 1 when the text
   was placed. */
KWAPI int  WINAPI CopyTextToClipboard(HWND window, LPCSTR text) KW_DECORATED("__CopyTextToClipboard@8");
/* Adds text to the clipboard as CF_TEXT and CF_UNICODETEXT, opened for
   owner, without emptying it first; an empty text is refused. 1 when the
   text was placed, else 0, silently. */
KWAPI int  WINAPI ClipCopy(HWND owner, LPCSTR text) KW_DECORATED("__ClipCopy@8");

/* Window placement. Each returns nonzero when the window was moved or
   resized, 0 when the handle is not a window. The centring routines put the
   window's centre on the centre of the screen or of reference's client area
   (offsetY lower) in screen coordinates, for top-level windows; cwCenter
   also returns 0 when reference is not a window. MoveWnd moves a child
   within its parent, a top-level window on the screen. */
KWAPI int  WINAPI winCenter(HWND window);
KWAPI int  WINAPI cwCenter(HWND window, HWND reference, int offsetY);
KWAPI int  WINAPI InflateWnd(HWND window, int widthChange, int heightChange);
KWAPI int  WINAPI MoveWnd(HWND window, int offsetX, int offsetY);

/* Fonts; every one returned is new and the caller's to delete. GetFont
   makes 12-point Arial for the window's device (the screen's when the
   window has none), weight 600 when bold, else 400. SetMyDialogFont gives
   every descendant of the dialog a normal-weight copy of the dialog's font
   (of the system font when the dialog has none) and returns it; null for
   a handle that is not a window. */
KWAPI HFONT WINAPI GetSmallFont(void);
KWAPI HFONT WINAPI GetFont(HWND window, int bold) KW_DECORATED("__GetFont@8");
KWAPI HFONT WINAPI SetMyDialogFont(HWND dialog);

/* Draws a bevelled frame (style 1, 2 or any other) of the given depth
   around and into rect, then shrinks rect by depth + 1 on every side to the
   area inside it. Leaves the black stock pen selected. Nonzero when both
   pens it made were made and deleted; 0 for a null context or rectangle. */
KWAPI int  WINAPI Create3DEffect(HDC dc, LPRECT rect, int depth, int style);

/* Initialisation and messages. */
KWAPI int  WINAPI InitControls(HINSTANCE instance);
KWAPI void __cdecl Comment(HWND owner, LPCSTR caption, LPCSTR format, ...);
KWAPI void __cdecl DummyComment(LPCSTR format, ...);
KWAPI void __cdecl DisplayDebugMessage(LPCSTR format, ...);
KWAPI void __cdecl DisplayStatusMessage(HWND window, LPCSTR format, ...);

/* Image source of BBM_SETIMAGES: the module holding the bitmap and, in the
   low 16 bits of resourceId, the bitmap's numeric resource identifier. */
typedef struct KwImageSource {
    HINSTANCE instance;
    DWORD resourceId;
} KwImageSource;

/* Bitmap utilities for device-dependent bitmaps. Every bitmap returned is
   new and the caller's to delete; the colour changers work in place.
   LoadTransparentBitmap swaps the key colour RGB(128, 0, 128) with
   background (so pixels already of the background colour turn purple);
   LoadTransparentBitmap1 is the same routine. DimBitmap stores a four-tone
   grey copy in *result; CreateDisabledBitmap makes an etched copy in the
   button face, shadow and highlight colours. The "background" of both is
   the colour of the image's top-left pixel. Palettes may be null. */
KWAPI HBITMAP WINAPI CopyBitmap(HBITMAP bitmap) KW_DECORATED("__CopyBitmap@4");
KWAPI void    WINAPI ChangeBitmapColorDC(HDC dc, BITMAP* description, COLORREF oldColor, COLORREF newColor);
KWAPI int     WINAPI ChangeBitmapColor(HBITMAP bitmap, COLORREF oldColor, COLORREF newColor, HPALETTE palette);
KWAPI int     WINAPI SwapBitmapColors(HBITMAP bitmap, COLORREF first, COLORREF second, HPALETTE palette);
KWAPI HBITMAP WINAPI LoadTransparentBitmap(HINSTANCE instance, LPCSTR name, COLORREF background);
/* The linker orders the export names by these symbols, so the second name
   is bound to one that sorts after LoadTransparentBitmap@12. */
KWAPI HBITMAP WINAPI LoadTransparentBitmap1(HINSTANCE instance, LPCSTR name, COLORREF background)
    KW_DECORATED("_LoadTransparentBitmap_1@12");
KWAPI void    WINAPI DimBitmap(HBITMAP bitmap, HBITMAP* result);
KWAPI HBITMAP WINAPI CreateDisabledBitmap(HBITMAP bitmap);

/* Message yield. */
KWAPI void WINAPI MyDialogYield(int maxMessages);
KWAPI void WINAPI MyYield(HWND window, int maxMessages) KW_DECORATED("__MyYield@8");

/* Class registration; each returns the class atom or 0 unless noted. */
KWAPI ATOM WINAPI InitURL(HINSTANCE instance);
KWAPI ATOM WINAPI InitDips(HINSTANCE instance);
KWAPI ATOM WINAPI InitBumps(HINSTANCE instance);
KWAPI ATOM WINAPI InitBMPButtons(HINSTANCE instance);
KWAPI ATOM WINAPI RegisterGasGauge(HINSTANCE instance);
KWAPI ATOM WINAPI RegisterHeader(HINSTANCE instance);
/* Creates the status tools; unless toolsOnly, also registers the status
   bar and text classes. 1 on success, 0 when a registration fails. */
KWAPI int  WINAPI statusInit(HINSTANCE instance, int toolsOnly);
/* Always 1, also when the class could not be registered. */
KWAPI int  WINAPI InitializeTips(HINSTANCE instance);
KWAPI ATOM WINAPI InitTimeDisplay(HINSTANCE instance);

/* Tool tips for dialog controls. CreateTip: 0 when the dialog has no such
   control, else 1 (a control with a tip keeps its first text). DestroyTip
   unhooks the control but keeps its tip for a later CreateTip; returns 1.
   SetTipsStatus stores a value that nothing reads and returns it. */
KWAPI int      WINAPI CreateTip(HINSTANCE instance, HWND dialog, int controlId, LPCSTR text);
KWAPI int      WINAPI DestroyTip(HWND dialog, int controlId);
KWAPI LONG_PTR WINAPI SetTipsStatus(LONG_PTR status);

/* Status bar. The tools (brushes, font, bar height) are shared by every bar
   of the process; statusCreateTools returns the bar height, statusGetHeight
   the last one measured. The updates format at most 254 characters into
   the bar's status or count text and let the bar repaint. MsgTimer paints
   every pane now, the clock with the current time; returns 0. */
KWAPI int     WINAPI statusCreateTools(void);
KWAPI BOOL    WINAPI statusDeleteTools(void);
KWAPI int     WINAPI statusGetHeight(void);
KWAPI void    __cdecl statusUpdateStatus(HWND statusBar, LPCSTR format, ...);
KWAPI void    __cdecl statusUpdateCount(HWND statusBar, LPCSTR format, ...);
KWAPI int     WINAPI MsgTimer(HWND statusBar);
KWAPI LRESULT WINAPI statusWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    KW_DECORATED("__statusWndProc@16");
KWAPI LRESULT WINAPI fnText(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) KW_DECORATED("__fnText@16");
/* Paints an "SText" window's raised frame into dc. */
KWAPI void    WINAPI PaintText(HWND window, HDC dc) KW_DECORATED("__PaintText@8");

#ifdef __cplusplus
}
#endif

#endif /* KWCTRL32_H */
