/*
 * The watcher's eight settings: running copies that every module reads
 * directly, loaded once when the tray window is created and saved by the
 * Properties dialog.
 */
#ifndef SETTINGS_H
#define SETTINGS_H

#include <windows.h>

constexpr int kSettingSize = 256;

extern char mailExt[kSettingSize];       // extension of new-mail files
extern char mailDir[kSettingSize];       // the client's new-mail directory
extern char clientProgram[kSettingSize]; // the client's program file
extern char viewerProgram[kSettingSize]; // program that "Quick View" starts
extern char newMailSound[kSettingSize];  // sound file, or "None"
extern int scanInterval;                 // seconds between scans
extern int popupNotification;            // 1: a scan with new mail opens the popup
extern int windowsNotification;          // 1: with the popup off, new mail shows a notification

// Loads every setting; when the client program, the mail directory or the
// viewer does not exist, opens the Properties dialog and returns once the
// user has closed it.
// Section of the settings store that holds the new-mail sound.
extern const char kSoundSection[];
// Size with which the sound is read when it is about to play.
constexpr int kSoundPlayReadSize = kSettingSize - 1;

void LoadSettings();
void SaveSettings();

// The served mail client's main window.
#define CLIENT_WINDOW_CLASS "FRAME"
#define CLIENT_WINDOW_TITLE "Corvid Mail"

INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
