/* The system's characters: text in the ANSI code page is a run of characters, each one byte
 * or, in a double-byte code page (932, 936, 949, 950), a lead byte and the byte after it. A
 * trail byte can have the value of "\", "[", "]", "|" or a letter, so every scan that looks
 * for such a character, cuts a text or folds case steps by character, through these helpers.
 *
 * The operations take the lead-byte test as a parameter, so that they can be tried with any
 * code page's ranges; SystemLeadByte is the running system's own. Under a single-byte code
 * page every byte is a character and each operation is the plain byte-wise one.
 *
 * Plain C, so that the host stand-in (C) and the C++ modules share it. */
#ifndef SYSTEM_CHARS_H
#define SYSTEM_CHARS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the byte starts a two-byte character. */
typedef int (*LeadByteTest)(unsigned char byte);

/* The system's test: IsDBCSLeadByte (the ANSI code page) on Windows. Elsewhere no byte is a
 * lead byte unless SetSystemLeadByteTest chose a test (native tests of double-byte text). */
int SystemLeadByte(unsigned char byte);
#ifndef _WIN32
/* Null restores the single-byte default. */
void SetSystemLeadByteTest(LeadByteTest test);
#endif

/* The bytes of the character that starts at text[at], within size: 2 for a lead byte that a
 * possible trail byte follows, else 1. Trail bytes are 0x40 or above in every double-byte code
 * page, so a NUL, a control byte, a blank, "/", ":", "*", "?", "." or "-" after a lead byte is
 * a character of its own. */
size_t CharBytes(const char* text, size_t size, size_t at, LeadByteTest isLead);
/* The offset of the first (or last) character c, a single byte below 0x80, in text[0, size);
 * size when there is none. */
size_t FindChar(const char* text, size_t size, char c, LeadByteTest isLead);
size_t FindLastChar(const char* text, size_t size, char c, LeadByteTest isLead);
/* The offset of the last character of text[0, size) that is one of the single bytes in set;
 * size when there is none. */
size_t FindLastOf(const char* text, size_t size, const char* set, LeadByteTest isLead);
/* The most bytes, at most limit, that text[0, size) can be cut to without parting a lead
 * byte from its trail byte. */
size_t CutToChars(const char* text, size_t size, size_t limit, LeadByteTest isLead);
/* Whether the last character of text[0, size) is c (see FindChar). */
int EndsWithChar(const char* text, size_t size, char c, LeadByteTest isLead);
/* Whether every lead byte of text[0, size) has a trail byte after it. A name from another
 * code page may end in a lead byte (1252's "Caf\xE9" under 932), which would take the byte
 * that follows it when joined ("\\", ".", "]") as its trail byte. */
int HasWholeChars(const char* text, size_t size, LeadByteTest isLead);
/* Whether the system's code page has a form for the text: whole characters (HasWholeChars with
 * SystemLeadByte) that, on Windows, convert to Unicode and back unchanged, as the NT family's
 * registry and file systems keep names. A name without a form is kept whole nowhere. */
int SystemHasForm(const char* text, size_t size);

#ifdef __cplusplus
}
#endif

#endif
