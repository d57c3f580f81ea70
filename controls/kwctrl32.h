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

/* A few exports keep the decorated names "_Name@N" that callers link
   against. They are declared under their plain names here and bound to the
   decorated symbol: by an assembler label with GCC, by a name with the
   leading underscore elsewhere. */
#if defined(__GNUC__)
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
/* Adds text to the clipboard as CF_TEXT without emptying it first; 1 when
   the text was placed. */
KWAPI int  WINAPI CopyTextToClipboard(HWND window, LPCSTR text) KW_DECORATED("__CopyTextToClipboard@8");

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

#ifdef __cplusplus
}
#endif

#endif /* KWCTRL32_H */
