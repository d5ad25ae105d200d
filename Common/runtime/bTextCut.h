// Multibyte texts in the ANSI code page, cut and compared without splitting
// a double-byte character. Plain code without the C++ library, so that the
// launcher can link it.
#pragma once

#include <windows.h>

#include <stddef.h>

// Length of the longest prefix of a NUL-terminated text within `limit` bytes
// that does not end inside a double-byte character (a lead byte without its
// trail byte is left out).
size_t MbCutLength(const char* text, size_t limit);
// Copies text into dest (size bytes with the NUL), cut before a character
// that would not fit. Null text gives an empty dest; nothing for size 0.
void MbCopyCut(char* dest, size_t size, const char* text);
// Equality ignoring the case of single-byte letters; double-byte characters
// must match exactly (their trail bytes may look like letters). Null is empty.
bool MbIEqual(const char* a, const char* b);
