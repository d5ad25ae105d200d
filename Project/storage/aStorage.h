// Storage factories and stream strings of the project layer; the interfaces
// themselves are the base library's.
#pragma once

#include "bStorage.h"

#include <string>

// Factories (unit aTeskSt). Each returns an HRESULT; the out pointer gets an
// added reference and is null on failure.
HRESULT CreateTeskStorage(const char* name, int kind, ITeskStorage** out);
HRESULT CreateTeskDocfile(const char* name, ITeskStorage** out);
// A packed container with no file attached.
HRESULT CreatePacStorage(const char* name, ITeskStorage** out);
HRESULT OpenTeskStorage(const char* name, int mode, int kind, ITeskStorage** out);
HRESULT OpenTeskDocfile(const char* name, int mode, ITeskStorage** out);
// Opens a runtime package (read only): finds the "TESK-RT2" header on a
// 4096-byte boundary within the first 128 KB and opens the root storage.
// Failures are logged; 0x80045002 when the file is no package.
HRESULT OpenPacStorage(const char* name, ITeskStorage** out);
// A memory stream whose first block and growth step are blockSize.
HRESULT CreateMemStream(ITeskStream** out, int blockSize);
HRESULT OpenFileStream(const char* name, int mode, ITeskStream** out);

// Stream strings: a 32-bit count n of ANSI bytes, then (n != 0) 2n bytes of
// UTF-16, NUL-terminated and zero-padded when shorter. Reading stops the text
// at its first NUL. Both answer a success flag; short reads throw.
bool ReadStringFromStream(std::string& text, ITeskStream* stream);
bool WriteStringToStream(const std::string& text, ITeskStream* stream);
bool WriteStringToStream(const char* text, ITeskStream* stream);
