// The curve half of the geometry: hit tests, Bezier conversions, flattening,
// bounds, drawing and arc length.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "bGrphLib.h"
#include "bTraceLog.h"

namespace {

const double kPi = 3.14159265358979323846;
// Halving a segment more often than this cannot bring it nearer its chord in
// integer coordinates.
const int kMaxDepth = 32;
// Simpson passes: 2^24 evaluations at the last one.
const int kMaxPasses = 24;

double ClampCos(double c) {
    if (c > 1.0)
        return 1.0;
    if (c < -1.0)
        return -1.0;
    return c;
}

}  // namespace

// Angles between vectors

void VectorAngle(POINT a, POINT v, POINT b, float* degrees) {
    if (!degrees)
        return;
    if ((a.x == v.x && a.y == v.y) || (b.x == v.x && b.y == v.y)) {
        *degrees = 0.0f;
        return;
    }
    const double ax = (double)a.x - v.x, ay = (double)a.y - v.y;
    const double bx = (double)b.x - v.x, by = (double)b.y - v.y;
    // Rounding can carry the cosine of (anti)parallel vectors past 1.
    const double c =
        ClampCos((bx * ax + by * ay) / (sqrt(ax * ax + ay * ay) * sqrt(bx * bx + by * by)));
    *degrees = (float)(acos(c) * 180.0 / kPi);
}

void VectorAngleF(float ax, float ay, float vx, float vy, float bx, float by, float* degrees) {
    if (!degrees)
        return;
    const double x1 = (double)ax - vx, y1 = (double)ay - vy, x2 = (double)bx - vx,
                 y2 = (double)by - vy;
    if ((x1 == 0 && y1 == 0) || (x2 == 0 && y2 == 0)) {
        *degrees = 0.0f;
        return;
    }
    const double c =
        ClampCos((x1 * x2 + y1 * y2) / (sqrt(x1 * x1 + y1 * y1) * sqrt(x2 * x2 + y2 * y2)));
    *degrees = (float)(acos(c) * 180.0 / kPi);
}

bool PointInTriangle(float px, float py, float ax, float ay, float bx, float by, float cx,
                     float cy) {
    float apb = 0, apc = 0, bpc = 0;
    VectorAngleF(ax, ay, px, py, bx, by, &apb);
    VectorAngleF(ax, ay, px, py, cx, cy, &apc);
    VectorAngleF(bx, by, px, py, cx, cy, &bpc);
    return fabs(360.0 - ((double)apb + apc + bpc)) <= 5.0;
}

// Hit tests

int IsPointNearLine(int px, int py, int x1, int y1, int x2, int y2, float tolerance) {
    TRACE_POINT();
    if (x1 != x2) {
        const long double k = ((long double)y2 - y1) / ((long double)x2 - x1);
        const long double d = fabsl(k * px - py + y1 - k * x1) / sqrtl(k * k + 1);
        const int lo = x1 < x2 ? x1 : x2, hi = x1 < x2 ? x2 : x1;
        return d <= tolerance && px >= lo && px <= hi ? 1 : 0;
    }
    const int lo = y1 < y2 ? y1 : y2, hi = y1 < y2 ? y2 : y1;
    return fabsl((long double)x1 - px) <= tolerance && py >= lo && py <= hi ? 1 : 0;
}

int HitTestLine(int x1, int y1, int px, int py, int x2, int y2) {
    TRACE_POINT();
    return IsPointNearLine(px, py, x1, y1, x2, y2, 0.6f);
}

int HitTestPolyline(int px, int py, const POINT* points, int count, BOOL closed, int width) {
    TRACE_POINT();
    if (!points || count < 2)
        return 0;
    for (int i = 0; i + 1 < count; ++i) {
        if (IsPointNearLine(px, py, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y,
                            (float)width))
            return 1;
    }
    if (closed && IsPointNearLine(px, py, points[count - 1].x, points[count - 1].y, points[0].x,
                                  points[0].y, (float)width))
        return 1;
    return 0;
}

int HitTestOvalBound(int px, int py, const RECT* rect, int width) {
    TRACE_POINT();
    if (!rect)
        return 0;
    HRGN outer = CreateEllipticRgn(rect->left - width, rect->top - width, rect->right + width,
                                   rect->bottom + width);
    if (!outer) {
        LOG_WIN32_ERROR(0, "In HitTestOvalBound func:  create elliptic region failed.");
        return 0;
    }
    HRGN inner = CreateEllipticRgn(rect->left + width, rect->top + width, rect->right - width,
                                   rect->bottom - width);
    if (!inner) {
        LOG_WIN32_ERROR(0, "In HitTestOvalBound func: create inner region failed.");
        DeleteObject(outer);
        return 0;
    }
    const int hit = PtInRegion(outer, px, py) && !PtInRegion(inner, px, py) ? 1 : 0;
    DeleteObject(inner);
    DeleteObject(outer);
    return hit;
}

int RoundRectEllipseSize(const RECT* rect, int percent, int* width, int* height) {
    if (!rect || !width || !height)
        return -1;
    const long long w = (long long)rect->right - rect->left,
                    h = (long long)rect->bottom - rect->top;
    const long long size = (long long)percent * (w < h ? w : h) / 100;
    *width = *height = (int)size;
    return 0;
}

int HitTestRoundRectBound(int px, int py, const RECT* rect, int percent, int width) {
    TRACE_POINT();
    int w = 0, h = 0;
    if (RoundRectEllipseSize(rect, percent, &w, &h) != 0) {
        LOG_MSG(" HitTestRoundRectBound func: get RectRound size failed.");
        return 0;
    }
    const int hx = w / 2, hy = h / 2;
    const float tol = (float)width;
    const LONG L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
    if (L + hx < R - hx) {
        if (IsPointNearLine(px, py, L + hx, T, R - hx, T, tol) ||
            IsPointNearLine(px, py, L + hx, B, R - hx, B, tol))
            return 1;
    }
    if (T + hy < B - hy) {
        if (IsPointNearLine(px, py, L, T + hy, L, B - hy, tol) ||
            IsPointNearLine(px, py, R, T + hy, R, B - hy, tol))
            return 1;
    }
    const POINT centres[4] = {
        {R - hx, T + hy}, {L + hx, T + hy}, {L + hx, B - hy}, {R - hx, B - hy}};
    for (int k = 0; k < 4; ++k) {
        POINT prev = {0, 0};
        for (int j = 0; j <= 10; ++j) {
            const double theta = k * kPi / 2 + j * 0.1 * kPi / 2;
            const POINT p = {(LONG)(centres[k].x + cos(theta) * hx),
                             (LONG)(centres[k].y - sin(theta) * hy)};
            if (j > 0 && IsPointNearLine(px, py, prev.x, prev.y, p.x, p.y, tol))
                return 1;
            prev = p;
        }
    }
    return 0;
}

long double PointLineDistance(int px, int py, int x1, int y1, int x2, int y2) {
    if (x1 == x2 && y1 == y2) {
        const long double dx = (long double)px - x1, dy = (long double)py - y1;
        return sqrtl(dx * dx + dy * dy);
    }
    if (x1 == x2)
        return fabsl((long double)px - x1);
    if (y1 == y2)
        return fabsl((long double)py - y1);
    const long double k = ((long double)y2 - y1) / ((long double)x2 - x1);
    return fabsl(y1 - k * x1 + k * px - py) / sqrtl(k * k + 1);
}

namespace {

int HitSegment(int px, int py, const POINT* q, int width, int depth) {
    const bool flat = PointLineDistance(q[1].x, q[1].y, q[0].x, q[0].y, q[3].x, q[3].y) <= 1 &&
                      PointLineDistance(q[2].x, q[2].y, q[0].x, q[0].y, q[3].x, q[3].y) <= 1;
    if (flat || depth >= kMaxDepth) {
        for (int i = 0; i < 3; ++i)
            if (IsPointNearLine(px, py, q[i].x, q[i].y, q[i + 1].x, q[i + 1].y, (float)width))
                return 1;
        return 0;
    }
    auto at = [&](double a, double b, double c, double d) { return (LONG)(a + b + c + d); };
    POINT left[4], right[4];
    const POINT m = {at(q[0].x / 8.0, 3 * q[1].x / 8.0, 3 * q[2].x / 8.0, q[3].x / 8.0),
                     at(q[0].y / 8.0, 3 * q[1].y / 8.0, 3 * q[2].y / 8.0, q[3].y / 8.0)};
    left[0] = q[0];
    left[1] = POINT{(LONG)((q[0].x + (double)q[1].x) / 2), (LONG)((q[0].y + (double)q[1].y) / 2)};
    left[2] = POINT{(LONG)((q[0].x + 2.0 * q[1].x + q[2].x) / 4),
                    (LONG)((q[0].y + 2.0 * q[1].y + q[2].y) / 4)};
    left[3] = m;
    right[0] = m;
    right[1] = POINT{(LONG)((q[1].x + 2.0 * q[2].x + q[3].x) / 4),
                     (LONG)((q[1].y + 2.0 * q[2].y + q[3].y) / 4)};
    right[2] = POINT{(LONG)((q[2].x + (double)q[3].x) / 2), (LONG)((q[2].y + (double)q[3].y) / 2)};
    right[3] = q[3];
    return HitSegment(px, py, left, width, depth + 1) || HitSegment(px, py, right, width, depth + 1)
               ? 1
               : 0;
}

}  // namespace

int HitTestBezierSegment(int px, int py, const POINT* four, int width) {
    TRACE_POINT();
    if (!four)
        return 0;
    return HitSegment(px, py, four, width, 0);
}

int HitTestPolyBezier(int px, int py, const POINT* points, int count, int width) {
    TRACE_POINT();
    if (!points || count < 4)
        return 0;
    for (int s = 0; s < (count - 1) / 3; ++s)
        if (HitTestBezierSegment(px, py, points + 3 * s, width))
            return 1;
    return 0;
}

int BezierControlCount(int count) {
    if (count < 2)
        return 0;
    return (count - 1) % 3 ? (count - 1) / 3 * 3 + 4 : (count - 1) / 3 * 3 + 1;
}

namespace {

// The control points of a curve through `count` points (closed: through the
// first again) in a new C-heap array.
POINT* ControlPointsOf(const POINT* points, int count, BOOL closed, int* n) {
    *n = 0;
    if (!points || count < 2 || count > 0x10000000)
        return nullptr;
    POINT* through = (POINT*)malloc(((size_t)count + 1) * sizeof(POINT));
    if (!through)
        return nullptr;
    memcpy(through, points, (size_t)count * sizeof(POINT));
    int m = count;
    if (closed)
        through[m++] = points[0];
    const int c = BezierControlCount(m);
    POINT* ctrl = (POINT*)malloc((size_t)c * sizeof(POINT));
    if (!ctrl || FAILED(BezierBoundPtToCtrlPt(through, m, ctrl))) {
        free(through);
        free(ctrl);
        return nullptr;
    }
    free(through);
    *n = c;
    return ctrl;
}

}  // namespace

int HitTestBezierBound(int px, int py, const POINT* points, int count, BOOL closed, int width) {
    TRACE_POINT();
    int n = 0;
    POINT* ctrl = ControlPointsOf(points, count, closed, &n);
    if (!ctrl) {
        LOG_MSG("BezierBoundPtToCtrlPt func failed.:num is %d.", count);
        return 0;
    }
    const int hit = HitTestPolyBezier(px, py, ctrl, n, width);
    free(ctrl);
    return hit;
}

// Bezier curves

int BezierSegmentThroughPoints(POINT p0, POINT p1, POINT p2, POINT p3, POINT* c1, POINT* c2) {
    auto dist = [](POINT a, POINT b) {
        const long long dx = (long long)a.x - b.x, dy = (long long)a.y - b.y;
        return sqrt((double)(dx * dx + dy * dy));
    };
    const double d1 = dist(p1, p0), d2 = dist(p2, p1), d3 = dist(p3, p2);
    const double total = d1 + d2 + d3;
    *c1 = p1;
    *c2 = p2;
    if (FloatNearlyEqual((float)total, 0.0f))
        return 0;
    double u = d1 / total, v = (d1 + d2) / total;
    if (u < 1e-6)
        u = 1e-6;
    if (v < 1e-6)
        v = 1e-6;
    const double a1 = 3 * u * (1 - u) * (1 - u), b1 = 3 * u * u * (1 - u);
    const double a2 = 3 * v * (1 - v) * (1 - v), b2 = 3 * v * v * (1 - v);
    const double det = a1 * b2 - a2 * b1;
    if (fabs(det) < 1e-6)
        return 0;
    auto solve = [&](double q0, double q1, double q2, double q3, LONG* o1, LONG* o2) {
        const double r1 = q1 - (1 - u) * (1 - u) * (1 - u) * q0 - u * u * u * q3;
        const double r2 = q2 - (1 - v) * (1 - v) * (1 - v) * q0 - v * v * v * q3;
        *o1 = (LONG)((r1 * b2 - r2 * b1) / det);
        *o2 = (LONG)((a1 * r2 - a2 * r1) / det);
    };
    solve(p0.x, p1.x, p2.x, p3.x, &c1->x, &c2->x);
    solve(p0.y, p1.y, p2.y, p3.y, &c1->y, &c2->y);
    return 0;
}

HRESULT BezierBoundPtToCtrlPt(const POINT* q, int n, POINT* out) {
    if (!q || !out)
        return E_POINTER;
    if (n < 2)
        return E_INVALIDARG;
    int o = 0;
    out[o++] = q[0];
    const int groups = (n - 1) / 3;
    for (int k = 0; k < groups; ++k) {
        POINT c1, c2;
        BezierSegmentThroughPoints(q[3 * k], q[3 * k + 1], q[3 * k + 2], q[3 * k + 3], &c1, &c2);
        out[o++] = c1;
        out[o++] = c2;
        out[o++] = q[3 * k + 3];
    }
    const int rest = (n - 1) % 3;
    const POINT a = q[3 * groups];
    if (rest == 1) {
        const POINT b = q[n - 1];
        out[o++] = POINT{(LONG)((2.0 * a.x + b.x) / 3), (LONG)((2.0 * a.y + b.y) / 3)};
        out[o++] = POINT{(LONG)((a.x + 2.0 * b.x) / 3), (LONG)((a.y + 2.0 * b.y) / 3)};
        out[o++] = b;
    } else if (rest == 2) {
        const POINT b = q[n - 2], c = q[n - 1];
        const POINT mid = {(LONG)(((long long)a.x + b.x) / 2), (LONG)(((long long)a.y + b.y) / 2)};
        POINT c1, c2;
        BezierSegmentThroughPoints(a, mid, b, c, &c1, &c2);
        out[o++] = c1;
        out[o++] = c2;
        out[o++] = c;
    }
    return S_OK;
}

HRESULT PointsToBezier(const POINT* points, int n, POINT** out, int* countOut, BOOL closed) {
    if (!out || !countOut)
        return E_POINTER;
    *out = nullptr;
    *countOut = 0;
    if (!points || n < 1 || n > 0x10000000)
        return E_INVALIDARG;
    const int count = closed ? 3 * n : 3 * n - 2;
    const size_t bytes = (size_t)count * sizeof(POINT);
    POINT* p = (POINT*)malloc(bytes);
    if (!p) {
        LOG_MSG("can not allocate memroy for size :%d.", (int)bytes);
        return E_OUTOFMEMORY;
    }
    int o = 0;
    p[o++] = points[0];
    auto segment = [&](POINT a, POINT b, bool withEnd) {
        p[o++] = POINT{(LONG)((2.0 * a.x + b.x) / 3), (LONG)((2.0 * a.y + b.y) / 3)};
        p[o++] = POINT{(LONG)((a.x + 2.0 * b.x) / 3), (LONG)((a.y + 2.0 * b.y) / 3)};
        if (withEnd)
            p[o++] = b;
    };
    for (int i = 1; i < n; ++i) segment(points[i - 1], points[i], true);
    if (closed)
        segment(points[n - 1], points[0], false);
    *out = p;
    *countOut = o;
    return S_OK;
}

HRESULT FlattenBezier(const POINT* points, int count, POINT** out, int* countOut) {
    if (!out || !countOut)
        return E_POINTER;
    *out = nullptr;
    *countOut = 0;
    // Whole segments only: (count - 1) / 3 of them, never a read past the
    // last control point.
    if (!points || count < 2)
        return E_INVALIDARG;
    const int segments = (count - 1) / 3;
    const size_t bytes = (size_t)segments * 51 * sizeof(POINT);
    POINT* p = (POINT*)malloc(bytes ? bytes : 1);
    if (!p) {
        LOG_MSG("can not allocate memroy for size :%d.\n", (int)bytes);
        return E_OUTOFMEMORY;
    }
    int o = 0;
    for (int s = 0; s < segments; ++s) {
        const POINT* q = points + 3 * s;
        p[o++] = q[0];
        for (int i = 1; i <= 49; ++i) {
            const double t = 0.02 * i, u = 1 - t;
            const double b[4] = {u * u * u, 3 * t * u * u, 3 * t * t * u, t * t * t};
            int x = 0, y = 0;
            for (int k = 0; k < 4; ++k) {
                x = (int)(x + b[k] * q[k].x);
                y = (int)(y + b[k] * q[k].y);
            }
            p[o++] = POINT{x, y};
        }
        p[o++] = q[3];
    }
    *out = p;
    *countOut = o;
    return S_OK;
}

namespace {

void SegmentBounds(const POINT* q, POINT* minPt, POINT* maxPt, int depth) {
    const bool flat = PointLineDistance(q[1].x, q[1].y, q[0].x, q[0].y, q[3].x, q[3].y) <= 1 &&
                      PointLineDistance(q[2].x, q[2].y, q[0].x, q[0].y, q[3].x, q[3].y) <= 1;
    if (flat || depth >= kMaxDepth) {
        for (int i = 0; i < 4; ++i) ExtendBounds(minPt, maxPt, q[i].x, q[i].y);
        return;
    }
    auto half = [](POINT a, POINT b) {
        return POINT{(LONG)(((long long)a.x + b.x) / 2), (LONG)(((long long)a.y + b.y) / 2)};
    };
    const POINT ab = half(q[0], q[1]), bc = half(q[1], q[2]), cd = half(q[2], q[3]);
    const POINT abc = half(ab, bc), bcd = half(bc, cd), m = half(abc, bcd);
    const POINT left[4] = {q[0], ab, abc, m}, right[4] = {m, bcd, cd, q[3]};
    SegmentBounds(left, minPt, maxPt, depth + 1);
    SegmentBounds(right, minPt, maxPt, depth + 1);
}

}  // namespace

int BezierSegmentBounds(const POINT* four, POINT* minPt, POINT* maxPt) {
    TRACE_POINT();
    if (!four || !minPt || !maxPt)
        return -1;
    SegmentBounds(four, minPt, maxPt, 0);
    return 0;
}

HRESULT DrawBezier(HDC dc, const POINT* points, int count, BOOL closed) {
    TRACE_POINT();
    int n = 0;
    POINT* ctrl = ControlPointsOf(points, count, closed, &n);
    if (!ctrl) {
        LOG_MSG("BezierBoundPtToCtrlPt func failed.:num is %d.", count);
        return E_FAIL;
    }
    const BOOL ok = PolyBezier(dc, ctrl, (DWORD)n);
    free(ctrl);
    if (!ok) {
        LOG_MSG("PolyBezier func failed.nSInde is %d.", n);
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRGN BezierRegion(HDC dc, const POINT* points, int count) {
    TRACE_POINT();
    if (!BeginPath(dc)) {
        LOG_MSG("BeginPath API func Failed.");
        return nullptr;
    }
    if (FAILED(DrawBezier(dc, points, count, TRUE))) {
        LOG_MSG("DrawBezier func failed.");
        EndPath(dc);
        AbortPath(dc);
        return nullptr;
    }
    if (!EndPath(dc)) {
        LOG_MSG("EndPath func failed.");
        return nullptr;
    }
    HRGN rgn = PathToRegion(dc);
    if (!rgn)
        LOG_MSG("PathToRegion API func failed.");
    return rgn;
}

void BezierSpeedCoefficients(POINT p0, POINT p1, POINT p2, POINT p3, double* c) {
    const double ax = -(double)p0.x + 3.0 * p1.x - 3.0 * p2.x + p3.x;
    const double ay = -(double)p0.y + 3.0 * p1.y - 3.0 * p2.y + p3.y;
    const double bx = 3.0 * ((double)p0.x - 2.0 * p1.x + p2.x);
    const double by = 3.0 * ((double)p0.y - 2.0 * p1.y + p2.y);
    const double cx = 3.0 * ((double)p1.x - p0.x), cy = 3.0 * ((double)p1.y - p0.y);
    c[0] = 9 * (ax * ax + ay * ay);
    c[1] = 12 * (ax * bx + ay * by);
    c[2] = 4 * (bx * bx + by * by) + 6 * (ax * cx + ay * cy);
    c[3] = 4 * (bx * cx + by * cy);
    c[4] = cx * cx + cy * cy;
}

bool IntergraFunc(const double* c, int kind, double t, double* value) {
    if (!c || !value || kind != 5)
        return false;
    const double r = (((c[0] * t + c[1]) * t + c[2]) * t + c[3]) * t + c[4];
    if (!(r >= 0)) {
        LOG_MSG("InterGraFunc meet unexpected error.");
        return false;
    }
    *value = sqrt(r);
    return true;
}

bool SimponIntergral(const double* c, int kind, double a, double b, double* value) {
    if (!c || kind != 5 || !value) {
        LOG_MSG("SimponIntergral func Parameter error.");
        return false;
    }
    double fa, fb;
    if (!IntergraFunc(c, kind, a, &fa) || !IntergraFunc(c, kind, b, &fb)) {
        LOG_MSG("IntergraFunc func Failed.");
        return false;
    }
    double h = b - a, ends = fa + fb, previous = 0, s = 0;
    long long n = 1;
    // The passes are bounded: a last estimate that still moves is returned.
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        double sum = 0;
        for (long long k = 0; k < n; ++k) {
            double f;
            if (!IntergraFunc(c, kind, a + h / 2 + k * h, &f)) {
                LOG_MSG("IntergraFunc func Failed.");
                return false;
            }
            sum += f;
        }
        s = h * (4 * sum + ends) / 6;
        if (pass > 0) {
            double d = s - previous;
            if (fabs(s) >= 1)
                d /= s;
            if (fabs(d) < 0.0001)
                break;
        }
        previous = s;
        ends += 2 * sum;
        h /= 2;
        n *= 2;
    }
    *value = s;
    return true;
}
