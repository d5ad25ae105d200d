// The blit shared by every IPixelBuffer implementation: checks, normalising
// of reversed rectangles into mirror bits, the blit code, clipping against
// both buffers, and the kernel that the code selects.
#pragma once

#include "aKernels.h"
#include "aPixBuf.h"

// The blit working values that a destination buffer keeps for its kernels.
struct BlitWork {
    int srcLeft, srcRight, srcTop, srcBottom, srcWidth, srcHeight, srcPitch;
    int dstLeft, dstRight, dstTop, dstBottom, dstWidth, dstHeight;
};

// What a blit will do once its checks and clipping are done.
struct BlitPlan {
    UINT code;          // the blit code from the unclipped sizes
    int kernel;         // kernel number, or -1: nothing to draw
    RECT src;           // clipped source, source buffer coordinates
    RECT dst;           // clipped destination, own buffer coordinates
    BufferInfo source;  // the source's information (mask 0x7EF)
    DWORD keyLow, keyHigh;
    DWORD alpha;  // constant alpha 1..254 when the code has bit 6
};

// Steps of IPixelBuffer::Blit up to the kernel, for a destination buffer of
// the given size and offset. S_OK with kernel -1 when nothing is to be drawn;
// E_POINTER for null arguments; the source's own failure when it cannot give
// its information; E_FAIL for an inconsistent source or a code without kernel.
HRESULT PlanBlit(const RECT* dest, IPixelBuffer* source, const RECT* src, int width, int height,
                 int offsetX, int offsetY, BlitPlan* plan);

// Clips normalised rectangles (buffer coordinates) against a destination of
// dstWidth x dstHeight and a source of srcWidth x srcHeight, cutting the
// other rectangle by the same share (the scale taken before any cut). False
// when nothing is left.
bool ClipBlitRects(RECT* dst, RECT* src, int dstWidth, int dstHeight, int srcWidth, int srcHeight,
                   bool hflip, bool vflip);

// The working values and kernel arguments of a plan, for the given own pixels.
void MakeBlitWork(const BlitPlan& plan, BlitWork* work);
void MakeKernelArgs(const BlitPlan& plan, BYTE* dstPixels, int dstPitch, BlitKernelArgs* args);
