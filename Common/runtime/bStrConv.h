// Multibyte text in the ANSI code page: to and from UTF-16 (COM boundaries,
// stored wide names), and cutting without splitting a double-byte character.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <stddef.h>
#include <string>

// UTF-16 of length bytes of multibyte text (embedded NULs kept).
std::wstring WideFromMultibyte(const char* text, size_t length);
// UTF-16 of a NUL-terminated multibyte text; null is empty.
std::wstring WideFromMultibyte(const char* text);

// Multibyte text of length UTF-16 units (embedded NULs kept).
std::string MultibyteFromWide(const WCHAR* text, size_t length);
// Multibyte text of a NUL-terminated UTF-16 text; null is empty.
std::string MultibyteFromWide(const WCHAR* text);

// A BSTR of length bytes of multibyte text: an empty BSTR when there are
// none; null only when out of memory.
BSTR BstrFromMultibyte(const char* text, size_t length);
inline BSTR BstrFromMultibyte(const std::string& text) {
    return BstrFromMultibyte(text.data(), text.size());
}
// Multibyte text of a BSTR; null is empty.
std::string MultibyteFromBstr(BSTR s);

// Length of the longest prefix of a NUL-terminated text within `limit` bytes
// that does not end inside a double-byte character (a lead byte without its
// trail byte is left out). Null text has none.
size_t MbCutLength(const char* text, size_t limit);

// The one case rule of names and keys: ASCII letters fold, the bytes of a
// double-byte character stay as they are. MbsICmp(a, b) == 0 exactly when
// MbFoldCase(a) == MbFoldCase(b). Null counts as empty.
std::string MbFoldCase(const char* text);
int MbsICmp(const char* a, const char* b);
inline bool MbsIEqual(const char* a, const char* b) {
    return MbsICmp(a, b) == 0;
}
// The same over the first n bytes (a character cut by n compares its bytes).
int MbsNICmp(const char* a, const char* b, size_t n);
