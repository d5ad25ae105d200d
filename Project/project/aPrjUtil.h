// Small text, path and body helpers shared by the project model: bounded
// copies that never split a double-byte character, path pieces, and the
// cached body of a stored stream. Comparison and cutting rules are those of
// bStrConv.h.
#pragma once

#include <windows.h>

#include <string>

#include "aStorage.h"
#include "bStrConv.h"

// Pointer to the last character of text (lead-byte aware), or null when empty.
const char* MbsLastChar(const char* text);
// First occurrence of a single-byte character, skipping double-byte ones.
const char* MbsChr(const char* text, char c);
// Last occurrence of a single-byte character, skipping double-byte ones.
const char* MbsRChr(const char* text, char c);
// Drops one trailing backslash (a real one, not the trail byte of a double-
// byte character); true when one was dropped.
bool DropTrailingBackslash(std::string& path);
bool DropTrailingBackslash(char* path);

// Path pieces over the file helpers (multibyte, lead-byte aware).
// Drive and directory of a path with a trailing backslash ("" when none).
std::string PathDirectoryWithSlash(const char* path);
// The path with its extension replaced (ext without the dot); "" when the
// result does not fit.
std::string PathWithExtension(const char* path, const char* ext);
// GetFullPathNameA into a string; false when it fails or needs MAX_PATH or more.
bool FullPathOf(const char* path, std::string* out);

// A stream holding `length` bytes of `source` from its position, in a body
// mode (0 plain, 2 zlib), rewound and in read mode: a plain body copied into
// memory, a zlib body inflated as it is read (its whole length checked
// first), never held inflated.
// The records of a body after a header: a zlib body whole; a plain one only
// as far as `count` records of at most `mostPerRecord` bytes after `extra`
// bytes can reach, so a count that lies costs no more than the records it
// counts.
HRESULT CacheCountedBody(ITeskStream* source, int mode, ULONGLONG count, ULONGLONG mostPerRecord,
                         ULONGLONG extra, ITeskStream** out);
HRESULT CacheStreamBody(ITeskStream* source, ULONGLONG length, int mode, ITeskStream** out);
// The same for the rest of the source (its size minus its position).
HRESULT CacheRestOfStream(ITeskStream* source, int mode, ITeskStream** out);

// Reads exactly n bytes within the stream's size; false when fewer are
// left (no exception leaves).
bool ReadExact(ITeskStream* stream, void* buffer, ULONG n);

// Reads a fixed-width UTF-16 field of `units` units into dest (size bytes),
// cut with a NUL to fit. Short reads throw as the stream does.
void ReadFixedWide(ITeskStream* stream, ULONG units, char* dest, size_t size);
// Writes text as a fixed-width UTF-16 field of `units` units, zero-padded.
void WriteFixedWide(ITeskStream* stream, ULONG units, const char* text);

// A string-table text of the program, or the fallback when it has none.
std::string LoadResText(UINT id, const char* fallback);
