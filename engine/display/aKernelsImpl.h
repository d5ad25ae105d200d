// Pixel rules shared by the plain and the vector kernels (internal to the
// kernels). Internal linkage on purpose: the vector file is compiled for a
// different instruction set and must not share inline copies with others.
#pragma once

#include <string.h>

#include <new>

#include "aKernels.h"

namespace {

// Family bits of a kernel number's family F (code bits 5..7).
enum { FAM_KEY = 1, FAM_CONST = 2, FAM_PIXEL = 4 };

inline int VariantVFlip(int v) {
    return v == 1 || v == 3 || v == 7 || v == 9;
}
inline int VariantHFlip(int v) {
    return v == 2 || v == 3 || v == 8 || v == 9;
}

inline DWORD* PixelRow(BYTE* base, int pitch, int row) {
    return reinterpret_cast<DWORD*>(base + (ptrdiff_t)pitch * row);
}
inline const DWORD* PixelRow(const BYTE* base, int pitch, int row) {
    return reinterpret_cast<const DWORD*>(base + (ptrdiff_t)pitch * row);
}

// The blend tables and switches of one kernel call.
struct PixelRuleCtx {
    DWORD keyLow, keyHigh;
    int alpha;           // constant alpha, 1..254
    int destTerm[256];   // 255*d (families 2, 3, 6, 7) or 256*d (4, 5)
    int alphaTerm[256];  // alpha*|s - d| (families 2, 3)

    // The tables serve PutPixel only; a caller that never calls it may skip them.
    void Init(int family, const BlitKernelArgs& a, bool tables = true) {
        keyLow = a.keyLow;
        keyHigh = a.keyHigh;
        alpha = (int)(a.alpha & 0xFF);
        if (!tables)
            return;
        if (family & FAM_CONST) {
            BuildBlendTable(destTerm, 256, 255);
            if (!(family & FAM_PIXEL))
                BuildBlendTable(alphaTerm, 256, alpha);
        } else if (family & FAM_PIXEL) {
            BuildBlendTable(destTerm, 256, 256);
        }
    }
};

inline bool KeyedPixel(DWORD s, DWORD lo, DWORD hi) {
    int r = (s >> 16) & 0xFF, g = (s >> 8) & 0xFF, b = s & 0xFF;
    return r >= (int)((lo >> 16) & 0xFF) && r <= (int)((hi >> 16) & 0xFF) &&
           g >= (int)((lo >> 8) & 0xFF) && g <= (int)((hi >> 8) & 0xFF) && b >= (int)(lo & 0xFF) &&
           b <= (int)(hi & 0xFF);
}

// Writes source colour s onto destination pixel *d by the rule of family F.
template <int F>
inline void PutPixel(DWORD* d, DWORD s, const PixelRuleCtx& c) {
    if ((F & FAM_KEY) && KeyedPixel(s, c.keyLow, c.keyHigh))
        return;
    if (!(F & (FAM_CONST | FAM_PIXEL))) {
        *d = s;
        return;
    }
    const DWORD dv = *d;
    DWORD out = 0xFF000000;
    if (F & FAM_PIXEL) {
        const int A = (int)(s >> 24);
        if (A == 0)
            return;
        int w;
        if (F & FAM_CONST) {
            w = (c.alpha * A) >> 8;
        } else {
            if (A == 255) {
                *d = s;
                return;
            }
            w = A;
        }
        for (int shift = 0; shift < 24; shift += 8) {
            const int dc = (int)((dv >> shift) & 0xFF), sc = (int)((s >> shift) & 0xFF);
            out |= (DWORD)((c.destTerm[dc] + w * (sc - dc) + 128) >> 8) << shift;
        }
    } else {
        for (int shift = 0; shift < 24; shift += 8) {
            const int dc = (int)((dv >> shift) & 0xFF), sc = (int)((s >> shift) & 0xFF);
            const int v = sc < dc ? (c.destTerm[dc] - c.alphaTerm[dc - sc] + 128) >> 8
                                  : (c.alphaTerm[sc - dc] + c.destTerm[dc] + 128) >> 8;
            out |= (DWORD)v << shift;
        }
    }
    *d = out;
}

// Two taps: floor((w*p0 + (1024 - w)*p1) / 1024) on each of the four bytes.
inline DWORD Lerp2(DWORD p0, DWORD p1, int w) {
    DWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = (int)((p0 >> shift) & 0xFF), b = (int)((p1 >> shift) & 0xFF);
        out |= (DWORD)(b + (((a - b) * w) >> 10)) << shift;
    }
    return out;
}

// Four taps: row weight wy for p00/p01, column weight wx for p00/p10.
inline DWORD Lerp4(DWORD p00, DWORD p01, DWORD p10, DWORD p11, int wx, int wy) {
    const int w00 = wy * wx, w01 = wy * (1024 - wx), w10 = (1024 - wy) * wx,
              w11 = (1024 - wy) * (1024 - wx);
    DWORD out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int v = (w00 * (int)((p00 >> shift) & 0xFF) + w01 * (int)((p01 >> shift) & 0xFF) +
                       w10 * (int)((p10 >> shift) & 0xFF) + w11 * (int)((p11 >> shift) & 0xFF)) >>
                      20;
        out |= (DWORD)v << shift;
    }
    return out;
}

inline bool AlphaZero(DWORD p) {
    return (p >> 24) == 0;
}

// Heap sample tables: a wide destination must not exhaust the stack.
struct StretchTable {
    StretchPoint* points = nullptr;
    StretchTable() = default;
    StretchTable(const StretchTable&) = delete;
    StretchTable& operator=(const StretchTable&) = delete;
    ~StretchTable() { delete[] points; }
    bool Build(int srcExtent, int destExtent) {
        points = new (std::nothrow) StretchPoint[destExtent > 0 ? destExtent : 1];
        if (!points)
            return false;
        MapStretchPoints(points, srcExtent, destExtent);
        return true;
    }
    const StretchPoint& operator[](int i) const { return points[i]; }
};

}  // namespace
