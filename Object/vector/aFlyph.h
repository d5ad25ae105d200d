// CFlyph: a character's TrueType outline (GDI's native form: polygon headers
// with line and quadratic B-spline records in 16.16 fixed point) reduced to
// rough point polygons in a movable global memory block, with one point
// count per contour. Y grows downwards in the polygons.
#pragma once

#include <windows.h>

#include <string.h>

#include <vector>

// Rounds half up: 2.5 gives 3, -2.5 gives -2.
inline int FixedToInt(FIXED f) {
    LONG v;
    memcpy(&v, &f, sizeof(v));
    return (v >> 16) + ((v >> 15) & 1);
}
inline double FixedToDouble(FIXED f) {
    LONG v;
    memcpy(&v, &f, sizeof(v));
    return v * (1.0 / 65536);
}
FIXED DoubleToFixed(double value);

class CFlyph {
public:
    enum { INITIAL_POINTS = 500, GROW_POINTS = 100, INITIAL_CONTOURS = 50 };

    CFlyph() {}
    virtual ~CFlyph() {}
    CFlyph(const CFlyph&) = delete;
    CFlyph& operator=(const CFlyph&) = delete;

    // The native outline of the character code in the context's font. A
    // blank has an empty outline and is no failure; E_FAIL (logged) when
    // GDI cannot give it.
    static HRESULT GetGlyph(HDC dc, UINT code, std::vector<BYTE>* outline);
    // The polygons of an outline: a block the caller frees with GlobalFree
    // and the count of each contour. False (nothing made) for an empty or
    // damaged outline.
    static BOOL DrawT2Outline(const BYTE* buffer, DWORD size, HGLOBAL* block,
                              std::vector<int>* counts);
    // The contour count; 0 with no block when the outline is damaged (a
    // record running past its polygon or the buffer) or memory fails.
    static int WalkCurves(const BYTE* buffer, DWORD size, HGLOBAL* block, int* capacity,
                          std::vector<int>* counts);
    // Stores the point at the index, growing the block by GROW_POINTS first
    // when the index reaches the capacity; *locked follows the block.
    static HRESULT AddPointToPolygon(HGLOBAL* block, POINT** locked, int* capacity, int index,
                                     int x, int y);
    // The quadratic piece a, b, c as its cubic control points c1, c2, c3,
    // c3, c3; the number of points added (5).
    static int QSplineToPoints(HGLOBAL* block, POINT** locked, int* capacity, int index,
                               const POINTFX* piece);
};
