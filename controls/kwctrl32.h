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
