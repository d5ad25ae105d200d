// Multibyte texts in the ANSI code page, cut and compared without splitting
// a double-byte character. Plain code without the C++ library, so that the
// launcher can link it.
#pragma once

#include <windows.h>

#include <stddef.h>

// Length of the longest prefix of a NUL-terminated text within `limit` bytes
// that does not end inside a double-byte character (a lead byte without its
// trail byte is left out). Null text has none.
size_t MbCutLength(const char* text, size_t limit);
// Copies text into dest (size bytes with the NUL), cut before a character
// that would not fit. Null text gives an empty dest; nothing for size 0.
void MbCopyCut(char* dest, size_t size, const char* text);
// The same for the first `length` bytes of text (a character they cut is
// left out).
void MbCopyCutN(char* dest, size_t size, const char* text, size_t length);

// The one case rule of names and keys: ASCII letters fold, the bytes of a
// double-byte character stay as they are (their trail bytes may look like
// letters). Null counts as empty.
inline bool MbIsLeadByte(unsigned char c) {
    return c >= 0x80 && IsDBCSLeadByte(c);
}
inline unsigned char MbFoldByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c;
}
// Order of two texts under the case rule: below 0, 0 or above 0.
int MbsICmp(const char* a, const char* b);
// The same over the first n bytes (a character cut by n compares its bytes).
int MbsNICmp(const char* a, const char* b, size_t n);
inline bool MbIEqual(const char* a, const char* b) {
    return MbsICmp(a, b) == 0;
}
// Byte-exact equality, inline: lookups on hot paths compare short names,
// where a library call per comparison costs more than the comparison.
inline bool SameText(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}
