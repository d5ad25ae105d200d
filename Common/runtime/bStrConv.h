// Multibyte text in the ANSI code page: to and from UTF-16 (COM boundaries,
// stored wide names), and cutting without splitting a double-byte character.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <stddef.h>
#include <string>

#include "bTextCut.h"  // MbCutLength, MbCopyCut, the case rule

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

// The key of a name under the one case rule of bTextCut.h: MbIEqual(a, b)
// exactly when MbFoldCase(a) == MbFoldCase(b). Null counts as empty.
std::string MbFoldCase(const char* text);
