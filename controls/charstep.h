/*
 * Where whole characters begin in 8-bit text of an ANSI code page: single
 * bytes, double-byte code pages (lead byte and trail byte) and UTF-8 (one
 * to four bytes). Every cut, trim and step through text that a user sees
 * asks here, so that no character is ever split, whatever code page the
 * process runs in. Malformed bytes count as characters of one byte, and a
 * character never reaches past the terminating zero.
 */
#ifndef KW_CHARSTEP_H
#define KW_CHARSTEP_H

#include <windows.h>

// Bytes of the whole character at text in codePage; 0 at the end of text.
int KwCharLength(UINT codePage, const char* text);

// The same in the process's ANSI code page (CP_ACP, which is UTF-8 in a
// process whose manifest asks for it).
int KwCharLength(const char* text);

// Start of the character after the one at text (text itself at the end).
const char* KwNextChar(const char* text);

// Length of the longest start of text, of at most limit bytes, that ends
// between whole characters.
int KwWholeLength(UINT codePage, const char* text, int limit);
int KwWholeLength(const char* text, int limit);

// Copies text into out (size bytes, always terminated when size > 0),
// cutting between whole characters; the bounded copy that replaces
// lstrcpynA for text that is shown. Returns the length copied.
int KwCopyWhole(char* out, const char* text, int size);

#endif
