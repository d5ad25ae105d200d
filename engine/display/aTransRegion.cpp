// Region plug-ins: straight and diagonal wipes, shapes from the centre and
// the clock wipe. Each region shows the new content; the caller owns it.
#include <math.h>

#include "aTransPlugin.h"
#include "bGrphLib.h"

namespace {

HRGN RectRegion(long long l, long long t, long long r, long long b, const RECT& clip) {
    RECT rc = {(LONG)l, (LONG)t, (LONG)r, (LONG)b}, out;
    if (l > r || t > b || !IntersectRects(&out, rc, clip))
        return CreateRectRgn(0, 0, 0, 0);
    return CreateRectRgnIndirect(&out);
}

// region AND clip; the region is consumed.
HRGN AndClip(HRGN region, const RECT& clip) {
    if (!region)
        return nullptr;
    HRGN c = CreateRectRgnIndirect(&clip);
    if (c) {
        CombineRgn(region, region, c, RGN_AND);
        DeleteObject(c);
    }
    return region;
}

HRGN Polygon(const POINT* points, int count, const RECT& clip) {
    return AndClip(CreatePolygonRgn(points, count, ALTERNATE), clip);
}

// a OR b into a; b consumed.
HRGN Unite(HRGN a, HRGN b) {
    if (!a)
        return b;
    if (b) {
        CombineRgn(a, a, b, RGN_OR);
        DeleteObject(b);
    }
    return a;
}

// clip minus shape (the shape consumed); the whole clip for no shape.
HRGN ClipMinus(HRGN shape, const RECT& clip) {
    HRGN c = CreateRectRgnIndirect(&clip);
    if (c && shape)
        CombineRgn(c, c, shape, RGN_DIFF);
    if (shape)
        DeleteObject(shape);
    return c;
}

// Region 2: straight and diagonal wipes.
const ParamDef kWipeParams[] = {{PF_U32, 0, PCHK_FAIL, 0, 7}};

class CTransWipe : public CRegionPlugin {
public:
    CTransWipe() : CRegionPlugin(CLSID_TransWipe, kWipeParams, 1) {}
    HRESULT Region(HRGN* out, double x, const RECT& R, const RECT& clip) override {
        const long long L = R.left, T = R.top, Rt = R.right, B = R.bottom;
        const double W = (double)(Rt - L), H = (double)(B - T);
        const long long e = (long long)(x * (W + H));
        HRGN rgn = nullptr;
        switch (m_params.Int(0)) {
            case 0:
                rgn = RectRegion(L, T, (long long)(x * W + L), B, clip);
                break;
            case 2:
                rgn = RectRegion(L, T, Rt, (long long)(x * H + T), clip);
                break;
            case 4:
                rgn = RectRegion((long long)(Rt - x * W), T, Rt, B, clip);
                break;
            case 6:
                rgn = RectRegion(L, (long long)(B - x * H), Rt, B, clip);
                break;
            case 1: {
                POINT p[3] = {
                    {(LONG)L, (LONG)T}, {(LONG)(L + e), (LONG)T}, {(LONG)L, (LONG)(T + e)}};
                rgn = Polygon(p, 3, clip);
                break;
            }
            case 3: {
                POINT p[3] = {
                    {(LONG)Rt, (LONG)T}, {(LONG)(Rt - e), (LONG)T}, {(LONG)Rt, (LONG)(T + e)}};
                rgn = Polygon(p, 3, clip);
                break;
            }
            case 5: {
                POINT p[3] = {
                    {(LONG)Rt, (LONG)B}, {(LONG)(Rt - e), (LONG)B}, {(LONG)Rt, (LONG)(B - e)}};
                rgn = Polygon(p, 3, clip);
                break;
            }
            case 7: {
                POINT p[3] = {
                    {(LONG)L, (LONG)B}, {(LONG)(L + e), (LONG)B}, {(LONG)L, (LONG)(B - e)}};
                rgn = Polygon(p, 3, clip);
                break;
            }
            default:
                return S_OK;
        }
        *out = rgn;
        return rgn ? S_OK : E_OUTOFMEMORY;
    }
};

// Region 3: shapes from the centre.
const ParamDef kShapeParams[] = {{PF_U32, 0, PCHK_CLAMP, 0, 11}, {PF_U32, 0, PCHK_NONE, 0, 0}};
const double kCircle = 0.7072135785007072;

class CTransShape : public CRegionPlugin {
public:
    CTransShape() : CRegionPlugin(CLSID_TransShape, kShapeParams, 2) {}

    HRESULT Region(HRGN* out, double x, const RECT& R, const RECT& clip) override {
        const bool reverse = m_params.Int(1) != 0;
        const double p = reverse ? 1.0 - x : x;
        HRGN shape = Shape(p, R, clip);
        *out = reverse ? ClipMinus(shape, clip) : shape;
        return S_OK;
    }

private:
    // Low and high edge of a band of half size s around the middle of lo..hi.
    static long long Low(long long c, double s) { return (long long)(c / 2.0 - s + 0.5); }
    static long long High(long long c, double s) { return (long long)(s + (c + 1) / 2.0); }

    HRGN Shape(double p, const RECT& R, const RECT& clip) {
        const long long L = R.left, T = R.top, Rt = R.right, B = R.bottom;
        const double W = (double)(Rt - L), H = (double)(B - T);
        const long long cv = T + B, ch = L + Rt;
        const double M = W > H ? W : H;
        const long long midY = (T + B) / 2, midX = (L + Rt) / 2;
        int type = m_params.Int(0);
        if (type < 0)
            type = 0;
        if (type > 11)
            type = 11;
        switch (type) {
            case 0:
                return RectRegion(L, Low(cv, H * p / 2), Rt, High(cv, H * p / 2), clip);
            case 1:
                return RectRegion(Low(ch, W * p / 2), T, High(ch, W * p / 2), B, clip);
            case 2:
                return RectRegion(Low(ch, M * p / 2), Low(cv, M * p / 2), High(ch, M * p / 2),
                                  High(cv, M * p / 2), clip);
            case 3:
                return RectRegion(Low(ch, W * p / 2), Low(cv, H * p / 2), High(ch, W * p / 2),
                                  High(cv, H * p / 2), clip);
            case 4:
            case 5: {
                const double sv = (type == 4 ? M : H) * p * kCircle;
                const double sh = (type == 4 ? M : W) * p * kCircle;
                const long long l = Low(ch, sh), t = Low(cv, sv), r = High(ch, sh),
                                b = High(cv, sv);
                // An ellipse without width or height covers nothing.
                if (r <= l || b <= t)
                    return CreateRectRgn(0, 0, 0, 0);
                return AndClip(CreateEllipticRgn((int)l, (int)t, (int)r, (int)b), clip);
            }
            case 6: {
                const long long dy = (long long)((H + 1) * p), dx = (long long)((W + 1) * p);
                POINT pt[4] = {{(LONG)midX, (LONG)(midY - dy)},
                               {(LONG)(midX + dx), (LONG)midY},
                               {(LONG)midX, (LONG)(midY + dy)},
                               {(LONG)(midX - dx), (LONG)midY}};
                return Polygon(pt, 4, clip);
            }
            case 7:
                return Unite(RectRegion(L, Low(cv, H * p / 2), Rt, High(cv, H * p / 2), clip),
                             RectRegion(Low(ch, W * p / 2), T, High(ch, W * p / 2), B, clip));
            case 8:
                if (p <= 0.5)
                    return RectRegion(L, T, L + (long long)(2 * p * W), midY, clip);
                return Unite(RectRegion(L, T, Rt, midY, clip),
                             RectRegion(L, midY, L + (long long)((p - 0.5) * 2 * W), B, clip));
            case 9:
                return Unite(RectRegion(L, T, L + (long long)(p * W), midY, clip),
                             RectRegion(L + (long long)(W * (1 - p)), midY, Rt, B, clip));
            case 10:
                if (p <= 0.5)
                    return RectRegion(L, T, midX, T + (long long)(2 * p * H), clip);
                return Unite(RectRegion(L, T, midX, B, clip),
                             RectRegion(midX, T, Rt, T + (long long)((p - 0.5) * 2 * H), clip));
            default:
                return Unite(RectRegion(L, T, midX, T + (long long)(p * H), clip),
                             RectRegion(midX, T + (long long)(H * (1 - p)), Rt, B, clip));
        }
    }
};

// Region 4: clock wipe, one fan per sector.
const ParamDef kClockParams[] = {
    {PF_U32, 1, PCHK_FAILNEG, 0, 0}, {PF_U32, 0, PCHK_MOD360, 0, 0}, {PF_U32, 0, PCHK_NONE, 0, 0}};

class CTransClock : public CRegionPlugin {
public:
    CTransClock() : CRegionPlugin(CLSID_TransClock, kClockParams, 3) {}

    HRESULT Region(HRGN* out, double x, const RECT& R, const RECT& clip) override {
        const bool reverse = m_params.Int(2) != 0;
        const double p = reverse ? 1.0 - x : x;
        const long long W = (long long)R.right - R.left, H = (long long)R.bottom - R.top;
        const long long r = W > H ? W : H;
        if (r <= 2) {
            *out = RectRegion(R.left, R.top, R.right, R.bottom, clip);
            return S_OK;
        }
        // No sectors, no fan (a count of 0 would divide by 0); no more fans
        // than pixels along the rectangle's edge.
        long long sectors = m_params.U32(0);
        if (sectors > 2 * (W + H))
            sectors = 2 * (W + H);
        const double cx = (R.left + R.right) / 2.0, cy = (R.top + R.bottom) / 2.0;
        const int c = AngleOfVector((int)(cx - R.left), (int)(R.bottom - cy));
        const int corner[4] = {c, 18000 - c, 18000 + c, 36000 - c};
        const POINT cornerPt[4] = {
            {R.left, R.bottom}, {R.right, R.bottom}, {R.right, R.top}, {R.left, R.top}};
        auto at = [&](long long angle) {
            return POINT{(LONG)(cx - (double)r * CosCent((int)(angle % 36000)) / 10000.0),
                         (LONG)(cy + (double)r * SinCent((int)(angle % 36000)) / 10000.0)};
        };
        HRGN fans = nullptr;
        const long long startAngle = (long long)m_params.Int(1) * 100;
        for (long long j = 0; j < sectors; ++j) {
            long long start = startAngle + j * 36000 / sectors;
            if (start > 36000)
                start %= 36000;
            if (start < 0)
                start = start % 36000 + 36000;
            const long long sweep = (long long)((double)(36000 / sectors) * p);
            POINT pts[8];
            int n = 0;
            pts[n++] = POINT{(LONG)cx, (LONG)cy};
            pts[n++] = at(start);
            // Corners inside the sweep, in angle order (each seen once or twice
            // around the turn).
            for (int lap = 0; lap < 2; ++lap) {
                for (int k = 0; k < 4; ++k) {
                    long long a = corner[k] + lap * 36000;
                    if (a > start && a < start + sweep && n < 7)
                        pts[n++] = cornerPt[k];
                }
            }
            pts[n++] = at(start + sweep);
            HRGN fan = CreatePolygonRgn(pts, n, ALTERNATE);
            fans = Unite(fans, fan);
        }
        *out = reverse ? ClipMinus(fans, clip) : (fans ? AndClip(fans, clip) : nullptr);
        return S_OK;
    }
};

}  // namespace

HRESULT CreateTransWipe(REFIID iid, void** out) {
    return CreatePluginObject<CTransWipe>(iid, out);
}
HRESULT CreateTransShape(REFIID iid, void** out) {
    return CreatePluginObject<CTransShape>(iid, out);
}
HRESULT CreateTransClock(REFIID iid, void** out) {
    return CreatePluginObject<CTransClock>(iid, out);
}
