// The AVX2 forms of the per-pixel alpha rule and of the four-tap stretch
// (internal to the kernels), for processors that have it; the SSE2 kernels
// call them when they are enabled.
#pragma once

#include <windows.h>

#include "aKernels.h"

// True when the processor and the system run AVX2 code.
bool CpuHasAvx2();

// Per-pixel alpha of source row s onto destination row d, n pixels, with
// exactly the bytes of the SSE2 and plain rules.
void PixelAlphaRowAvx2(DWORD* d, const DWORD* s, int n);

// The same over h rows; vflip writes source row i onto destination row h-1-i.
void PixelAlphaRectAvx2(BYTE* d, int pd, const BYTE* s, int ps, int w, int h, bool vflip);

// The two halves of the four-tap stretch for one destination row, with the
// bytes of the SSE2 form. The vertical half blends source rows row0 and
// row1 with row weight wy for count columns into pairs (32 bytes a column:
// the high parts of columns c and c + 1 interleaved, then the low parts;
// the last column pairs with itself). The horizontal half gives out[j] from
// the pairs of column cols[j].index and the weight pair (w, 1024 - w) in
// every 32-bit lane of weights[j] (16 bytes each).
void StretchVerticalAvx2(void* pairs, const DWORD* row0, const DWORD* row1, int count, int wy);
void StretchHorizontalAvx2(DWORD* out, const void* pairs, const StretchPoint* cols,
                           const void* weights, int wd);

// Two taps across one row as the SSE2 form: out[j] from row[c] and its
// neighbour row[c + 1] (c itself where c + 1 reaches span) with the weight
// pair of weights[j] (16 bytes each), c = cols[j].index.
void StretchAcrossAvx2(DWORD* out, const DWORD* row, const StretchPoint* cols, const void* weights,
                       int wd, int span);
