#include "aFlyph.h"

#include <math.h>

#include "bByteReader.h"
#include "bTraceLog.h"

FIXED DoubleToFixed(double value) {
    const LONG v = (LONG)trunc(value * 65536);
    FIXED f;
    memcpy(&f, &v, sizeof(f));
    return f;
}

namespace {

FIXED FixedOf(LONG v) {
    FIXED f;
    memcpy(&f, &v, sizeof(f));
    return f;
}

LONG RawOf(FIXED f) {
    LONG v;
    memcpy(&v, &f, sizeof(v));
    return v;
}

POINTFX ReadPointFx(CByteReader& r) {
    POINTFX p;
    p.x = FixedOf(r.I32LE());
    p.y = FixedOf(r.I32LE());
    return p;
}

// Adds the point `times` times; false when one could not be stored.
bool AddRepeated(HGLOBAL* block, POINT** locked, int* capacity, int* index, int x, int y,
                 int times) {
    for (int i = 0; i < times; ++i) {
        if (FAILED(CFlyph::AddPointToPolygon(block, locked, capacity, *index, x, y)))
            return false;
        ++*index;
    }
    return true;
}

}  // namespace

HRESULT CFlyph::GetGlyph(HDC dc, UINT code, std::vector<BYTE>* outline) {
    if (!outline)
        return E_POINTER;
    outline->clear();
    MAT2 identity = {};
    identity.eM11 = FixedOf(0x10000);
    identity.eM22 = FixedOf(0x10000);
    GLYPHMETRICS metrics;
    const DWORD size = GetGlyphOutlineA(dc, code, GGO_NATIVE, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) {
        LOG_WIN32_ERROR(0, "GetGlyphOutline API func Failed.\n");
        return E_FAIL;
    }
    if (size == 0)
        return S_OK;
    try {
        outline->resize(size);
    } catch (const std::bad_alloc&) {
        LOG_MSG("can not allocate memory of size:%d.", (int)size);
        return E_OUTOFMEMORY;
    }
    const DWORD got =
        GetGlyphOutlineA(dc, code, GGO_NATIVE, &metrics, size, outline->data(), &identity);
    if (got != size) {
        LOG_WIN32_ERROR(0, "GetGlyphOutline API func Failed.\n");
        outline->clear();
        return E_FAIL;
    }
    return S_OK;
}

BOOL CFlyph::DrawT2Outline(const BYTE* buffer, DWORD size, HGLOBAL* block,
                           std::vector<int>* counts) {
    if (!block || !counts)
        return FALSE;
    *block = nullptr;
    try {
        counts->assign(INITIAL_CONTOURS, 0);
    } catch (const std::bad_alloc&) {
        LOG_MSG("alloc mem func Failed.Size is %d.\n", (int)(INITIAL_CONTOURS * sizeof(int)));
        return FALSE;
    }
    int capacity = INITIAL_POINTS;
    const int contours = WalkCurves(buffer, size, block, &capacity, counts);
    if (!*block || contours <= 0) {
        LOG_MSG("DrawT2Outline Failed.");
        if (*block)
            GlobalFree(*block);
        *block = nullptr;
        counts->clear();
        return FALSE;
    }
    counts->resize((size_t)contours);
    return TRUE;
}

int CFlyph::WalkCurves(const BYTE* buffer, DWORD size, HGLOBAL* block, int* capacity,
                       std::vector<int>* counts) {
    *block = nullptr;
    if (!buffer || size == 0 || *capacity <= 0)
        return 0;
    *block = GlobalAlloc(GMEM_ZEROINIT | GMEM_MOVEABLE, (SIZE_T)*capacity * sizeof(POINT));
    if (!*block) {
        LOG_MSG("GlobalAlloc Failed size:%d.\n", *capacity * (int)sizeof(POINT));
        return 0;
    }
    POINT* locked = static_cast<POINT*>(GlobalLock(*block));
    if (!locked) {
        LOG_MSG("GlobalLock Failed.\n");
        GlobalFree(*block);
        *block = nullptr;
        return 0;
    }
    auto refuse = [&](const char* why) {
        LOG_MSG("%s", why);
        GlobalUnlock(*block);
        GlobalFree(*block);
        *block = nullptr;
        return 0;
    };

    CByteReader all(buffer, size);
    int contours = 0;
    int index = 0;
    while (!all.AtEnd()) {
        // TTPOLYGONHEADER: cb, dwType, pfxStart; cb counts the header too.
        CByteReader head = all;
        const DWORD cb = head.U32LE();
        const DWORD type = head.U32LE();
        const POINTFX start = ReadPointFx(head);
        if (head.Failed() || cb < sizeof(TTPOLYGONHEADER) || cb > all.Remaining())
            return refuse("Glyph outline record runs past its buffer.");
        CByteReader polygon = all.Sub(cb);
        polygon.Skip(sizeof(TTPOLYGONHEADER));
        if (type != TT_POLYGON_TYPE)
            LOG_MSG("Unknown font polygon header type.");

        const int first = index;
        POINTFX a = start;
        bool stored = false;
        while (!polygon.AtEnd()) {
            // TTPOLYCURVE: wType, cpfx, apfx[cpfx].
            const WORD kind = polygon.U16LE();
            const WORD cpfx = polygon.U16LE();
            if (polygon.Failed() || !polygon.Has((size_t)cpfx * sizeof(POINTFX)))
                return refuse("Glyph outline record runs past its buffer.");
            std::vector<POINTFX> pts(cpfx);
            for (WORD i = 0; i < cpfx; ++i) pts[i] = ReadPointFx(polygon);
            if (kind == TT_PRIM_LINE) {
                for (const POINTFX& p : pts) {
                    if (!AddRepeated(block, &locked, capacity, &index, FixedToInt(p.x),
                                     FixedToInt(p.y), 5))
                        return refuse("AddPointToPolygon func Failed.");
                }
                stored = stored || cpfx > 0;
            } else if (kind == TT_PRIM_QSPLINE) {
                for (int u = 0; u + 1 < (int)cpfx; ++u) {
                    POINTFX piece[3];
                    piece[0] = a;
                    piece[1] = pts[(size_t)u];
                    if (u + 2 < (int)cpfx) {
                        const POINTFX& n = pts[(size_t)u + 1];
                        piece[2].x = FixedOf((RawOf(piece[1].x) + RawOf(n.x) + 1) >> 1);
                        piece[2].y = FixedOf((RawOf(piece[1].y) + RawOf(n.y) + 1) >> 1);
                    } else {
                        piece[2] = pts[(size_t)u + 1];
                    }
                    index += QSplineToPoints(block, &locked, capacity, index, piece);
                    if (index > *capacity)
                        return refuse("AddPointToPolygon func Failed.");
                    stored = true;
                    a = piece[2];
                }
            } else {
                LOG_MSG("Unknown FontCurve type!");
            }
            if (cpfx > 0)
                a = pts[cpfx - 1];
        }
        // Close the contour when its last point is not its start.
        const POINT s = {FixedToInt(start.x), FixedToInt(start.y)};
        if (!stored || locked[index - 1].x != s.x || locked[index - 1].y != s.y) {
            if (!AddRepeated(block, &locked, capacity, &index, s.x, s.y, 5))
                return refuse("AddPointToPolygon func Failed.");
        }
        try {
            if ((size_t)contours >= counts->size())
                counts->resize((size_t)contours + INITIAL_CONTOURS, 0);
        } catch (const std::bad_alloc&) {
            return refuse("alloc mem func Failed.");
        }
        (*counts)[(size_t)contours++] = index - first;
    }

    // Rotate each contour by one point and flip it: GDI's y grows upwards.
    int at = 0;
    for (int c = 0; c < contours; ++c) {
        const int n = (*counts)[(size_t)c];
        POINT* p = locked + at;
        const POINT head = p[0];
        for (int i = 0; i + 1 < n; ++i) p[i] = POINT{p[i + 1].x, -p[i + 1].y};
        if (n > 0)
            p[n - 1] = POINT{head.x, -head.y};
        at += n;
    }
    GlobalUnlock(*block);
    return contours;
}

HRESULT CFlyph::AddPointToPolygon(HGLOBAL* block, POINT** locked, int* capacity, int index, int x,
                                  int y) {
    if (!block || !*block || !locked || !*locked || index < 0)
        return E_INVALIDARG;
    if (index >= *capacity) {
        const SIZE_T bytes = GlobalSize(*block);
        GlobalUnlock(*block);
        const SIZE_T grown = (bytes / sizeof(POINT) + GROW_POINTS + 1) * sizeof(POINT);
        HGLOBAL moved = GlobalReAlloc(*block, grown, GMEM_MOVEABLE | GMEM_ZEROINIT);
        if (!moved) {
            LOG_MSG("GlobalRealloc func Failed.size is %d.", (int)grown);
            *locked = static_cast<POINT*>(GlobalLock(*block));
            if (!*locked) {
                LOG_MSG("GlobalLock API func Failed.");
                return E_UNEXPECTED;
            }
            return E_OUTOFMEMORY;
        }
        *block = moved;
        *locked = static_cast<POINT*>(GlobalLock(*block));
        if (!*locked) {
            LOG_MSG("GlobalLock API func Failed. hPolygon is %d.\n", (int)(INT_PTR)*block);
            return E_UNEXPECTED;
        }
        *capacity += GROW_POINTS;
    }
    (*locked)[index] = POINT{x, y};
    return S_OK;
}

int CFlyph::QSplineToPoints(HGLOBAL* block, POINT** locked, int* capacity, int index,
                            const POINTFX* piece) {
    const double ax = FixedToDouble(piece[0].x), ay = FixedToDouble(piece[0].y);
    const double bx = FixedToDouble(piece[1].x), by = FixedToDouble(piece[1].y);
    const double cx = FixedToDouble(piece[2].x), cy = FixedToDouble(piece[2].y);
    // The same curve as a cubic piece: c1 = a + 2/3 (b - a), c2 = c + 2/3 (b - c).
    const double c1x = ax + 2.0 / 3 * (bx - ax), c1y = ay + 2.0 / 3 * (by - ay);
    const double c2x = cx + 2.0 / 3 * (bx - cx), c2y = cy + 2.0 / 3 * (by - cy);
    const double xs[5] = {c1x, c2x, cx, cx, cx};
    const double ys[5] = {c1y, c2y, cy, cy, cy};
    for (int i = 0; i < 5; ++i) {
        if (FAILED(AddPointToPolygon(block, locked, capacity, index + i, (int)trunc(xs[i] + 0.5),
                                     (int)trunc(ys[i] + 0.5))))
            LOG_MSG("AddPointToPolygon func Failed.");
    }
    return 5;
}
