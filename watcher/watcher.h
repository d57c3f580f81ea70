/*
 * The mail watcher's window class, messages and the helpers its modules
 * share.
 */
#ifndef WATCHER_H
#define WATCHER_H

#include <windows.h>

// Window class of the hidden tray window; other programs of the family and
// a second copy of this program find the running copy by it.
#define MAIL_WINDOW_CLASS "KWMailNotification"

// Posted by a second copy to the running one: put the tray icon back.
constexpr UINT WM_RESETTRAYICON = WM_APP + 0x6A;

// The watcher's notification-area icon.
constexpr UINT TRAY_ICON_ID = 0x8065;
constexpr UINT WM_TRAYNOTIFY = WM_APP + 0x64;
constexpr UINT IDT_SCAN = 999;
// One-shot scan on the tray window, started when a burst of changes in a
// mail directory has settled or a scan is wanted soon.
constexpr UINT IDT_CHANGE = 997;

extern HINSTANCE appInstance;
// The tray window's handle, recorded by its creation handler once the
// settings are loaded; null before that.
extern HWND trayWindow;

LRESULT CALLBACK MailWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One round of the program's message loop: waits up to timeoutMs for a
// message or a change signal of any mailbox's directory (the handles are
// asked for anew each round, since a watch is set up again when its
// directory moves), tells the watcher of each signal, and dispatches every
// waiting message. False once the quit message came, its code in exitCode.
bool PumpWatcherMessages(DWORD timeoutMs, WPARAM* exitCode);

// Adds, changes or removes the tray icon. A given icon is destroyed once
// the shell has it; the tip is cut to 63 characters.
BOOL SetTrayIcon(HWND window, DWORD operation, UINT id, HICON icon, const char* tip);
// One of the watcher's icons with its size x size image (or the nearest,
// scaled), loaded afresh: the caller destroys it.
HICON LoadIconAtSize(int resourceId, int size);
// One of the tray icons (the idle or the new-mail picture), loaded afresh
// at the small-icon size for the screen's DPI.
HICON LoadTrayIcon(int resourceId);
// Sets the watcher's own icon (NIM_ADD or NIM_MODIFY) to one of its
// pictures and a tip, and remembers both in the tray window's state, so the
// icon can be put back as it was when the shell's taskbar is created anew.
void ShowTrayIcon(HWND window, DWORD operation, int iconId, const char* tip);
// The tip the shell holds: at most 63 characters, as its oldest tips hold.
constexpr int kTipSize = 64;

// An icon (the application's unless told) as a dialog's small and big
// caption icon, at the sizes for the dialog's DPI. The dialog owns them:
// ReleaseDialogIcons, when it is destroyed, takes them back and frees them.
void SetDialogIcons(HWND dialog);
void SetDialogIcons(HWND dialog, int iconId);
void ReleaseDialogIcons(HWND dialog);

// Plays the common new-mail sound unless the sound setting says "None".
void PlayNewMailSound();
// Plays a mailbox's sound: its own file unless that says "None", or the
// common new-mail sound when it names none.
void PlayMailboxSound(const char* sound);
// Plays a sound file unless the text says "None" (in any letter case).
void PlaySoundFile(const char* sound);
// Plays a sound file; tests put a recorder in its place.
extern BOOL(WINAPI* playSound)(LPCSTR sound, HMODULE module, DWORD flags);

// The About box's dialog procedure, exported as "_AboutProc@16" (as
// "AboutProc" by the 64-bit program, which has no decorated names).
extern "C" INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
#ifndef _WIN64
    __asm__("__AboutProc@16")
#endif
    ;

// Brings up the mail client: restores its window if minimised (and, when
// asked, brings it to the foreground), or starts its program file when no
// client window exists.
void BringUpClient(HWND owner, bool toForeground);
// Starts the client's program file without looking for its window.
void StartClient(HWND owner);

#endif
