/*
 * Shutlet: closes the family's tray programs by sending WM_CLOSE to their
 * main windows, which it finds by window class.
 *
 * Every export takes one argument that it does not use (pass 0), uses the
 * standard calling convention, and can be reached by name or by ordinal
 * (the SHUTLET_ORDINAL_ values, for GetProcAddress(MAKEINTRESOURCE(n))).
 */
#ifndef SHUTLET_H
#define SHUTLET_H

#include <windows.h>

#define SHUTLET_ORDINAL_CLOSELINKBELL 1
#define SHUTLET_ORDINAL_CLOSEHORLETT  2
#define SHUTLET_ORDINAL_CLOSETIDBELL  3

/* The window classes that the exports look for. */
#define SHUTLET_LINKBELL_CLASS  "KWRASNotification"
#define SHUTLET_HORLETT_CLASS   "KWHorlett"
#define SHUTLET_HORLETT_CLASS2  "Horlett"
#define SHUTLET_TIDBELL_CLASS   "KWMailNotification"

#ifdef __cplusplus
extern "C" {
#endif

/* The type of every export, for callers that load the library themselves. */
typedef int (WINAPI *SHUTLET_CLOSE_PROC)(DWORD unused);

/* Closes the dial-up notifier. 0 if none was running, else 1. */
int WINAPI CloseLinkbell(DWORD unused);

/* Closes the time notifier, under either of its class names. Always 1. */
int WINAPI CloseHorlett(DWORD unused);

/* Closes the mail watcher. Always 1. */
int WINAPI CloseTidbell(DWORD unused);

#ifdef __cplusplus
}
#endif

#endif /* SHUTLET_H */
