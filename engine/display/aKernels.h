// The software pixel kernels behind IPixelBuffer::Blit: copies, mirrors,
// bilinear stretches in 10-bit fixed point, the colour-key range, constant
// and per-pixel alpha and their combinations. Kernel number F*10 + V runs
// the walk of variant V with the pixel rule of family F (code bits 5..7).
#pragma once

#include <float.h>
#include <windows.h>

// Sample tables and clipping are computed in double precision. The 32-bit
// build computes on the x87 unit, which the runtime leaves at 64-bit
// mantissas; this scope rounds every operation to double as the 64-bit
// build does, so that both builds cut and sample alike.
class CDoublePrecision {
public:
#if defined(__i386__)
    CDoublePrecision() : m_old(_controlfp(0, 0)) {
        _controlfp(_PC_53, _MCW_PC);
    }
    ~CDoublePrecision() {
        _controlfp(m_old, _MCW_PC);
    }

private:
    unsigned int m_old;
#else
    CDoublePrecision() {}
#endif
    CDoublePrecision(const CDoublePrecision&) = delete;
    CDoublePrecision& operator=(const CDoublePrecision&) = delete;
};

// One entry of a sample table: the source pixel and its weight out of 1024;
// the neighbour index + 1 carries 1024 - weight.
struct StretchPoint {
    int index;
    int weight;
};

// Fills destExtent entries mapping a destination axis onto the source axis.
void MapStretchPoints(StretchPoint* table, int srcExtent, int destExtent);

// entry 0 = 0, entry i = i * step.
void BuildBlendTable(int* table, int count, int step);

// True when red, green and blue each lie within the key pair's bytes.
bool IsColorKeyed(const DWORD* pixel, DWORD keyLow, DWORD keyHigh);
bool IsColorKeyed(int red, int green, int blue, DWORD keyLow, DWORD keyHigh);

// What a kernel reads: the clipped rectangles' corners, sizes and pitches.
struct BlitKernelArgs {
    const BYTE* src;  // top-left pixel of the clipped source rectangle
    BYTE* dst;        // top-left pixel of the clipped destination rectangle
    int ws, hs;       // clipped source size
    int wd, hd;       // clipped destination size
    int ps, pd;       // source and destination pitch in bytes
    // Pixels and rows that exist in the source buffer from the clipped
    // top-left corner on: a stretch neighbour outside them is never read.
    int srcSpanX, srcSpanY;
    DWORD keyLow, keyHigh;  // families with a colour key
    DWORD alpha;            // families with constant alpha: low byte, 1..254
};

enum { BLIT_KERNEL_COUNT = 80 };

// Kernel number for a blit code, or -1 when the code has none.
int BlitKernelIndex(UINT code);

// Runs kernel F*10 + V. Nothing happens for an unknown number or empty sizes.
void RunBlitKernel(int kernel, const BlitKernelArgs& args);

// The straightforward per-pixel path, always available; RunBlitKernel uses
// the vector path instead when the processor has SSE2 and it is enabled.
void RunBlitKernelPlain(int kernel, const BlitKernelArgs& args);

// Test and benchmark hook: false forces the plain path. Returns the old value.
bool SetBlitKernelVector(bool enable);
// True when RunBlitKernel takes the vector path.
bool IsBlitKernelVector();

// Test and benchmark hook: false keeps the vector path to SSE2 where it has
// AVX2 code as well (the per-pixel alpha rule). Returns the old value.
bool SetBlitKernelAvx2(bool enable);
// True when the vector path uses its AVX2 code (processor and switch).
bool IsBlitKernelAvx2();
