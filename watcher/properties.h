/*
 * The Properties dialog's browsers for files and folders. The dialog
 * procedure itself, PropertiesProc, is declared with the settings it edits
 * (settings.h).
 */
#ifndef PROPERTIES_H
#define PROPERTIES_H

#include <windows.h>

// Runs the open-file dialog, starting in the directory part of `text` (a
// buffer of kSettingSize characters). `filter` is one name/pattern pair
// ended by an empty text; a typed name without extension gets the pattern's
// extension. Returns 1 and puts the chosen path into `text`, or returns 0
// and leaves it.
int BrowseForFile(HWND owner, char* text, const char* filter, const char* title);

// Runs the folder browser. Returns 0 when the user cancels, otherwise 1,
// with the chosen folder's path in `text` (kSettingSize characters). When
// the choice has no file-system path a plain box says so and `text` keeps
// what it held.
int BrowseForFolder(HWND owner, char* text);

#endif
