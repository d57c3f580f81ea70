/*
 * How header values are shown in the popup and the "Quick View" menu. The
 * records keep the bytes that the header reader stored; only the text that
 * reaches the screen is decoded, so the cost falls on display alone.
 */
#ifndef DISPLAY_H
#define DISPLAY_H

// Writes value as it is shown into out (size bytes, terminated, never cut
// inside a character) and returns the length written:
// - MIME encoded words, =?charset?B?...?= and =?charset?Q?...?=, decoded
//   through the system's charset database, with the white space between
//   two adjacent words dropped; a word that is malformed, does not decode or
//   names an unknown charset stays as it stands;
// - other text with bytes above 127 taken as UTF-8 when it is valid UTF-8,
//   else in the legacy code page: the process's own, or in a UTF-8 process
//   the ANSI code page of the user's locale;
// - the result in the ANSI code page, '?' for what a legacy one cannot show
//   (no look-alike substitutes), control characters (C0, DEL, C1) as
//   spaces, bidirectional embeddings, overrides and isolates left out.
int HeaderValueForDisplay(const char* value, char* out, int size);

// Copies text into out (size bytes, terminated) with every '&' doubled, so
// that a menu item shows it rather than taking it as a mnemonic; a cut
// never splits a doubled '&' or a character (double-byte or UTF-8).
// Returns the length.
int DoubleAmpersands(const char* text, char* out, int size);

#endif
