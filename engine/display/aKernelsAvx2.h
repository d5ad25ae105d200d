// The AVX2 form of the per-pixel alpha rule (internal to the kernels), for
// processors that have it; the SSE2 kernels call it when it is enabled.
#pragma once

#include <windows.h>

// True when the processor and the system run AVX2 code.
bool CpuHasAvx2();

// Per-pixel alpha of source row s onto destination row d, n pixels, with
// exactly the bytes of the SSE2 and plain rules.
void PixelAlphaRowAvx2(DWORD* d, const DWORD* s, int n);

// The same over h rows; vflip writes source row i onto destination row h-1-i.
void PixelAlphaRectAvx2(BYTE* d, int pd, const BYTE* s, int ps, int w, int h, bool vflip);
