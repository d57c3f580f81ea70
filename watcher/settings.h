/*
 * The watcher's settings: one running copy that every module reads
 * directly, loaded once when the tray window is created and changed and
 * saved only by the Properties dialog. Besides the common settings it holds
 * the mailboxes, up to kMaxMailboxes of them, in order; the first is the
 * one the watcher has always had ("MailDir", "MailExt" and the common
 * new-mail sound).
 */
#ifndef SETTINGS_H
#define SETTINGS_H

#include <windows.h>

#include "mail.h"

constexpr int kSettingSize = 256;

// One mailbox: its name, the directory its client leaves new mail in, the
// extension of the mail files, and its own sound (empty: the common
// new-mail sound; the first mailbox always uses the common one).
struct MailboxSettings {
    char name[kSettingSize];
    char directory[kSettingSize];
    char extension[kSettingSize];
    char sound[kSettingSize];
};

extern MailboxSettings mailboxSettings[kMaxMailboxes];
extern int mailboxCount;                 // 1 to kMaxMailboxes

extern char (&mailDir)[kSettingSize];    // the first mailbox's directory
extern char (&mailExt)[kSettingSize];    // the first mailbox's extension
extern char clientProgram[kSettingSize]; // the client's program file
extern char viewerProgram[kSettingSize]; // program that "Quick View" starts
extern char newMailSound[kSettingSize];  // the common sound file, or "None"
extern int scanInterval;                 // seconds between scans
extern int popupNotification;            // 1: a scan with new mail opens the popup
extern int windowsNotification;          // 1: with the popup off, new mail shows a notification

// Section of the settings store that holds the new-mail sound.
extern const char kSoundSection[];
// Size with which the sound is read when it is about to play.
constexpr int kSoundPlayReadSize = kSettingSize - 1;
// Name a mailbox has until it is given one: "Mail" for the first,
// "Mailbox <n>" for the n-th.
void DefaultMailboxName(int index, char (&name)[kSettingSize]);
// Drops one trailing backslash from a directory setting.
void DropTrailingBackslash(char* directory);

// Loads every setting; when the client program, the first mailbox's
// directory or the viewer does not exist, opens the Properties dialog and
// returns once the user has closed it.
void LoadSettings();
void SaveSettings();

// Counts the changes of the running copy: the loading and every time the
// Properties dialog puts its fields in force. Whoever keeps something made
// from the settings compares it with what it saw last.
unsigned SettingsRevision();
void SettingsChanged();

// The served mail client's main window.
#define CLIENT_WINDOW_CLASS "FRAME"
#define CLIENT_WINDOW_TITLE "Corvid Mail"

INT_PTR CALLBACK PropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
