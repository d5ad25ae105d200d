// The GIF data layer shared by the still-picture codec and the animation:
// sub-blocks and LZW codes read through the checked reader, one index byte
// per pixel.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "bByteReader.h"

// True when the three letters match the upper-case text, ignoring case.
bool GifSameLetters(const uint8_t* p, const char* upper, int n);

// Skips data sub-blocks up to and including their terminator.
bool GifSkipSubBlocks(CByteReader& r);

// Decodes the image data at the reader (minimum code size, then sub-blocks)
// into one index byte per pixel. Returns the count of pixels written, or -1
// when the minimum code size is not one a GIF can have (2 to 8: indexes are
// bytes, and with 1 the first free code would not fit the first code width).
// `terminated` (when given) tells whether the sub-blocks' terminator was read.
ptrdiff_t GifLzwDecode(CByteReader& r, uint8_t* out, size_t total, bool* terminated = nullptr);
