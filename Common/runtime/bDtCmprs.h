// zlib bodies between two streams: a 16-byte header (16, level -1, raw
// length, packed length) followed by exactly packed-length bytes of zlib data.
#pragma once

#include <windows.h>

struct ITeskStream;

// Compresses from the source's position to its end into the destination at
// its position. An empty source writes nothing.
HRESULT CompressBuffer(ITeskStream* source, ITeskStream* dest);
// Reads one body from the source and writes the raw bytes to the destination.
// A damaged zlib stream, or one that inflates past its raw length (never
// believed beyond what the packed length can inflate to), is E_FAIL; a header
// or packed length passing what is left of the source throws 12000 before
// reading it.
HRESULT UncompressBuffer(ITeskStream* source, ITeskStream* dest);
