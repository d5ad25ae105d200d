// Mask plug-ins: dissolve, linear ramps, shape ramps, clock and spiral
// ramps, uniform fade and sine patterns. A mask byte of 255 keeps the
// target (the new content), 0 takes the source.
//
// Most masks are a per-pixel base value plus a per-frame term k, clamped:
// the base depends only on the size and the parameters and is built once
// per size (the first frame at a new size pays for it), a frame is one
// saturating add.
#include <math.h>
#include <string.h>

#include <vector>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "aTransPlugin.h"

namespace {

const double kPi = 3.14159265358979323846;

int K(double p) {
    return (int)(p * 510.0 - 255.0);
}

// A mask class with a cached base table.
class CBaseMask : public CMaskPlugin {
public:
    CBaseMask(const CLSID& clsid, const ParamDef* defs, int count)
        : CMaskPlugin(clsid, defs, count), m_w(0), m_h(0), m_version(~0u), m_key(0) {}

    HRESULT Fill(BYTE* out, double x, int w, int h) override {
        int key = 0, t = 0;
        HRESULT hr = Term(x, &key, &t);
        const size_t n = (size_t)w * (size_t)h;
        if (hr == S_FALSE) {
            memset(out, 0, n);
            return S_OK;
        }
        if (hr != S_OK)
            return hr;
        if (w != m_w || h != m_h || m_version != m_params.Version() || key != m_key) {
            m_base.clear();
            try {
                m_base.resize(n);
                MakeBase(m_base.data(), w, h, key);
            } catch (const std::bad_alloc&) {
                m_base.clear();
                m_w = m_h = 0;
                return E_OUTOFMEMORY;
            }
            m_w = w;
            m_h = h;
            m_version = m_params.Version();
            m_key = key;
        }
        AddClampBytes(m_base.data(), out, n, t);
        return S_OK;
    }

protected:
    // The per-frame term and the key of the base it needs (the reverse
    // flag mostly). S_FALSE: kind without values (mask left zero);
    // E_NOTIMPL: kind outside the table.
    virtual HRESULT Term(double x, int* key, int* t) = 0;
    virtual void MakeBase(short* base, int w, int h, int key) = 0;

    std::vector<short> m_base;
    int m_w, m_h;
    unsigned m_version;
    int m_key;
};

short Clip16(double v) {
    if (!(v > -30000.0))
        return -30000;
    if (v > 30000.0)
        return 30000;
    return (short)v;
}

// Mask 5: 8 x 8 dissolve.
const BYTE kDissolveOrder[64] = {47, 15, 39, 3,  45, 10, 37, 1,  29, 63, 20, 55, 27, 61, 26, 53,
                                 35, 7,  43, 12, 33, 5,  41, 11, 24, 52, 17, 59, 19, 49, 28, 57,
                                 44, 8,  36, 0,  46, 13, 38, 2,  23, 60, 16, 52, 18, 62, 21, 54,
                                 32, 4,  40, 9,  34, 6,  42, 14, 31, 48, 22, 56, 25, 50, 30, 58};
const ParamDef kDissolveParams[] = {{PF_U32, 0, PCHK_FAIL, 0, 1}, {PF_DBL, 0.0, PCHK_FAIL, 0, 1}};

class CTransDissolve : public CMaskPlugin {
public:
    CTransDissolve() : CMaskPlugin(CLSID_TransDissolve, kDissolveParams, 2), m_shuffled(false) {
        memcpy(m_order, kDissolveOrder, sizeof(m_order));
    }

    HRESULT Fill(BYTE* out, double x, int w, int h) override {
        if (m_params.Int(0) == 1 && !m_shuffled) {
            srand(GetTickCount());
            for (int i = 0; i < 64; ++i) {
                int j = rand() % 64;
                BYTE t = m_order[i];
                m_order[i] = m_order[j];
                m_order[j] = t;
            }
            m_shuffled = true;
        }
        const BYTE* order = m_params.Int(0) == 1 ? m_order : kDissolveOrder;
        double s = m_params.Dbl(1);
        if (!(s >= 0.0))
            s = 0.0;
        if (s > 1.0)
            s = 1.0;
        const int b = s == 1.0 ? 64 : (int)(x * 64.0 / (1.0 - s) + 0.5);
        const int c = s == 0.0 ? b : (int)((x - (1.0 - s)) * 64.0 / s);
        BYTE value[64];
        for (int v = 0; v < 64; ++v) {
            if (v < c)
                value[v] = 255;
            else if (v >= b)
                value[v] = 0;
            else
                value[v] = (BYTE)((b - v) * 255 / (b - c));
        }
        // Eight pattern rows across the width, then every mask row copies one.
        std::vector<BYTE> rows;
        rows.resize((size_t)w * (h < 8 ? h : 8));
        for (int py = 0; py < 8 && py < h; ++py) {
            BYTE* row = &rows[(size_t)py * w];
            for (int px = 0; px < w; ++px) row[px] = value[order[py * 8 + (px & 7)]];
        }
        for (int y = 0; y < h; ++y)
            memcpy(out + (size_t)y * w, &rows[(size_t)(y & 7) * w], (size_t)w);
        return S_OK;
    }

private:
    BYTE m_order[64];
    bool m_shuffled;
};

const ParamDef kKindReverse[] = {{PF_U32, 0, PCHK_NONE, 0, 0}, {PF_U32, 0, PCHK_NONE, 0, 0}};

// A base-table mask on the parameters kind and reverse: the base is keyed
// on the reverse flag, the term runs backwards when it is set.
class CKindReverseMask : public CBaseMask {
public:
    // lastKind: the highest kind with values; outside: the answer past it.
    CKindReverseMask(const CLSID& clsid, DWORD lastKind, HRESULT outside)
        : CBaseMask(clsid, kKindReverse, 2), m_lastKind(lastKind), m_outside(outside) {}

protected:
    HRESULT Term(double x, int* key, int* t) override {
        const bool reverse = m_params.Int(1) != 0;
        const int k = K(reverse ? 1.0 - x : x);
        if (m_params.U32(0) > m_lastKind)
            return m_outside;
        *key = reverse;
        *t = reverse ? -k : k;
        return S_OK;
    }

private:
    const DWORD m_lastKind;
    const HRESULT m_outside;
};

// Mask 6: linear ramps. Each ramp is a row term plus a column term, so the
// divisions run once per row and column, not per pixel.

class CTransRamp : public CKindReverseMask {
public:
    CTransRamp() : CKindReverseMask(CLSID_TransRamp, 5, S_FALSE) {}

protected:
    void MakeBase(short* base, int w, int h, int reverse) override {
        const int kind = (int)m_params.U32(0);
        const long long W = w, H = h;
        // Row 0 holds the column terms until it is written itself, last.
        short* cols = base;
        for (int x = 0; x < w; ++x) {
            long long c = 0;
            if (kind == 1)
                c = x * 256 / W;
            else if (kind == 2 || kind == 3)
                c = x * 128 / W;
            else if (kind == 4)
                c = 255 - llabs(W * 256 - (long long)x * 512) / W;
            cols[x] = (short)(reverse ? -c : c);
        }
        for (int y = h; y-- > 0;) {
            long long r = 0;
            if (kind == 0)
                r = y * 256 / H;
            else if (kind == 2)
                r = y * 128 / H;
            else if (kind == 3)
                r = (H - y) * 128 / H;
            else if (kind == 5)
                r = 255 - llabs(H * 256 - (long long)y * 512) / H;
            // Kinds 4 and 5 read k - d + 255, reversed d - k.
            const int start = (int)(reverse ? 255 - r : r);
            short* row = base + (size_t)y * w;
            for (int x = 0; x < w; ++x) row[x] = (short)(start + cols[x]);
        }
    }
};

// Mask 7: shape ramps. The divisions and square terms of a row or a column
// are computed once; a pixel compares, adds or takes one square root.
class CTransShapeRamp : public CKindReverseMask {
public:
    CTransShapeRamp() : CKindReverseMask(CLSID_TransShapeRamp, 5, S_FALSE) {}

protected:
    void MakeBase(short* base, int w, int h, int reverse) override {
        const int kind = (int)m_params.U32(0);
        const long long W = w, H = h;
        std::vector<long long> colX((size_t)w), colDiv((size_t)w);
        std::vector<double> colD((size_t)w);
        for (int x = 0; x < w; ++x) {
            const long long X = llabs(2LL * x - W);
            colX[x] = H * X;
            colDiv[x] = kind == 2 ? X * 256 / (W + H) : X * 256 / W;
            if (kind == 1) {
                const double b = (double)(X * 256) / W;
                colD[x] = b * b;
            } else if (kind == 4) {
                colD[x] = (double)(W - x) * 191 / W;
            } else {
                colD[x] = (double)X / W * 64;
            }
        }
        for (int y = 0; y < h; ++y) {
            short* row = base + (size_t)y * w;
            const long long Y = llabs(2LL * y - H), YW = Y * W, rowDiv = Y * 256 / H;
            switch (kind) {
                case 0:
                case 3:
                    for (int x = 0; x < w; ++x) {
                        const bool rowWins = kind == 0 ? YW < colX[x] : colX[x] < YW;
                        const long long u = rowWins ? rowDiv : colDiv[x];
                        row[x] = (short)(reverse ? 255 - u : u);
                    }
                    break;
                case 1: {
                    const double a = (double)(Y * 256) / H, aa = a * a;
                    for (int x = 0; x < w; ++x) {
                        const long long u = (long long)sqrt(aa + colD[x]);
                        row[x] = Clip16(reverse ? 255 - u : u);
                    }
                    break;
                }
                case 2: {
                    const long long r = Y * 256 / (W + H);
                    for (int x = 0; x < w; ++x) {
                        const long long u = r + colDiv[x];
                        row[x] = (short)(reverse ? 255 - u : u);
                    }
                    break;
                }
                default: {
                    const double r = kind == 4 ? (double)Y / H * 64 : (double)(H - y) * 191 / H;
                    for (int x = 0; x < w; ++x) {
                        const long long u = (long long)(r + colD[x]);
                        row[x] = Clip16(reverse ? 255 - u : u);
                    }
                    break;
                }
            }
        }
    }
};

// floor() of a value that is then clipped: without the library call, and
// +0 where floor gives -0.
inline double FloorOf(double v) {
    if (!(v > -1e15 && v < 1e15))
        return floor(v);
    const double t = (double)(long long)v;
    return t > v ? t - 1.0 : t;
}

// The angle of (b, a) in radians, within kAtanError, for a, b >= 0 and not
// both 0: the octant's tangent z from one division (with atan(z) = pi/4 +
// atan((z - 1)/(z + 1)) above tan(pi/8)), then the series of atan to z^13,
// whose first left-out term is below 1.3e-7 there.
const double kAtanError = 1e-6;

inline double ApproxAngle(double a, double b) {
    const double lo = a < b ? a : b, hi = a < b ? b : a;
    double z, t;
    if (lo <= 0.41421356237309503 * hi) {
        z = lo / hi;
        t = 0.0;
    } else {
        z = (lo - hi) / (lo + hi);
        t = kPi / 4;
    }
    const double z2 = z * z;
    const double series =
        z *
        (1.0 + z2 * (-1.0 / 3 +
                     z2 * (1.0 / 5 +
                           z2 * (-1.0 / 7 + z2 * (1.0 / 9 + z2 * (-1.0 / 11 + z2 * (1.0 / 13)))))));
    t += series;
    return a > b ? kPi / 2 - t : t;
}

// Mask 8's base. A pixel's value is a step of its angle around the centre:
// the formula runs with the library's atan2 only where a step lies within
// the error bound of the approximate angle; elsewhere the approximate angle
// decides the same step. The four pixels mirrored about the centre lines
// share one approximate angle.
class SpiralBase {
public:
    SpiralBase(const CParamSet& params, int w, int h)
        : m_w(w),
          m_h(h),
          m_kind(params.U32(0)),
          m_bit0((params.U32(4) & 1) != 0),
          m_count((double)params.U32(1)),
          m_start((double)params.U32(2)),
          m_twist(params.U32(3)),
          m_D(sqrt((double)w * w + (double)h * h)),
          m_rx((size_t)w),
          m_dx((size_t)w),
          m_degrees((size_t)w),
          m_near(params.U32(0) == 1 ? (size_t)w : 0) {
        if (m_bit0)
            m_start = 360.0 - m_start;
        for (int x = 0; x < w; ++x) {
            m_rx[x] = 1.0 - 2.0 * (x + 0.5) / w;
            m_dx[x] = x + 0.5 - w / 2.0;
        }
        // Bounds of the approximate angle in degrees, and of the step value
        // (kind 0) after the count and the turn; beyond them no shortcut.
        const double magnitude = fabs(m_start) + 540.0;
        m_epsDegrees = 57.3 * kAtanError + 1e-15 * magnitude;
        m_epsStep = 2.0 * (256.0 / 360.0) * m_count * (m_epsDegrees + 1e-15 * magnitude) + 1e-9;
        m_fast = magnitude * m_count < 1e15 && m_epsStep < 0.25 && m_epsDegrees < 0.25;
        m_steps = m_count * 256.0 / 360.0;
        // Two pixels a step where every whole number on the way fits 32 bits:
        // the clock's steps, or the spiral's angle and angle * count / 360.
        m_pairs = m_fast && m_start >= 0 && m_kind <= 1 &&
                  (m_kind == 0 ? magnitude * m_steps < 2e9
                               : magnitude < 2e9 && magnitude * m_count < 7e11);
    }

    void Make(short* base) {
        for (int y = 0; y < m_h; ++y) {
            const int yb = m_h - 1 - y;
            if (yb < y)
                break;
            const double ry = 1.0 - 2.0 * (y + 0.5) / m_h;
            // The angles of row y (ry >= 0) in degrees, 0..180; -1: none.
            int from = 0;
#if defined(__x86_64__)
            if (m_fast)
                from = AnglePairs(ry, y + 0.5 - m_h / 2.0);
#endif
            for (int x = 0; x < m_w; ++x) {
                const int xb = m_w - 1 - x;
                if (xb < x)
                    break;
                double turn = m_degrees[x];
                if (x >= from) {
                    turn = -1.0;
                    if (m_fast && (ry != 0 || m_rx[x] != 0))
                        turn = ApproxAngle(ry, m_rx[x]) * 57.29577951289617;
                    m_degrees[x] = turn;
                }
                if (xb != x)
                    m_degrees[xb] = turn < 0 ? -1.0 : 180.0 - turn;
                if (m_kind == 1) {
                    // Offsets from the centre are halves: the mirrored
                    // pixels' are exactly negated, so their distances agree.
                    if (x >= from) {
                        const double dx = m_dx[x], dy = y + 0.5 - m_h / 2.0;
                        m_near[x] = 1.0 - sqrt(dx * dx + dy * dy) / m_D;
                    }
                    m_near[xb] = m_near[x];
                }
            }
            Row(base + (size_t)y * m_w, y, ry, 1.0);
            if (yb != y)
                Row(base + (size_t)yb * m_w, yb, 1.0 - 2.0 * (yb + 0.5) / m_h, -1.0);
        }
    }

    // The formula itself.
    short Exact(int x, int y, double ry) const {
        double m = m_start + atan2(ry, m_rx[x]) * 57.29577951289617;
        if (m < 0)
            m += 360.0;
        if (m_kind == 0) {
            const double u = fmod(m * m_count, 360.0) * 256.0 / 360.0;
            const long long ui = (long long)u;
            return (short)(m_bit0 ? 255 - ui : ui);
        }
        m = floor(m + 0.9);
        double tt = fmod(m * m_count, 360.0);
        if (m_bit0)
            tt = 360.0 - tt;
        return Spiral(x, y, tt);
    }

private:
    short Spiral(int x, int y, double tt) const {
        const double dx = m_dx[x], dy = y + 0.5 - m_h / 2.0;
        const double d = sqrt(dx * dx + dy * dy);
        return SpiralStep(1.0 - d / m_D, tt);
    }
    short SpiralStep(double closeness, double tt) const {
        const long long v = (long long)(closeness * tt * 256.0 / 360.0);
        return (short)((m_twist * v) % 256);
    }

    // One row from the angles of m_degrees, negated below the centre line.
#if defined(__x86_64__)
    // ApproxAngle in degrees for the columns of the left half, two at a
    // time (ry >= 0); -1 at the centre. Returns the first column not done.
    // For the spiral also 1 - distance / diagonal, dy the row's offset.
    int AnglePairs(double ry, double dy) {
        const int half = (m_w + 1) / 2;
        const __m128d a = _mm_set1_pd(ry), zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0),
                      tan8 = _mm_set1_pd(0.41421356237309503), quarter = _mm_set1_pd(kPi / 4),
                      right = _mm_set1_pd(kPi / 2), degrees = _mm_set1_pd(57.29577951289617),
                      none = _mm_set1_pd(-1.0), dy2 = _mm_set1_pd(dy * dy),
                      diagonal = _mm_set1_pd(m_D);
        const __m128d c3 = _mm_set1_pd(-1.0 / 3), c5 = _mm_set1_pd(1.0 / 5),
                      c7 = _mm_set1_pd(-1.0 / 7), c9 = _mm_set1_pd(1.0 / 9),
                      c11 = _mm_set1_pd(-1.0 / 11), c13 = _mm_set1_pd(1.0 / 13);
        int x = 0;
        for (; x + 2 <= half; x += 2) {
            const __m128d b = _mm_loadu_pd(&m_rx[x]);
            const __m128d lo = _mm_min_pd(a, b), hi = _mm_max_pd(a, b);
            const __m128d big = _mm_cmpgt_pd(lo, _mm_mul_pd(tan8, hi));
            const __m128d centre = _mm_cmpeq_pd(hi, zero);
            const __m128d num =
                _mm_or_pd(_mm_and_pd(big, _mm_sub_pd(lo, hi)), _mm_andnot_pd(big, lo));
            __m128d den = _mm_or_pd(_mm_and_pd(big, _mm_add_pd(lo, hi)), _mm_andnot_pd(big, hi));
            den = _mm_or_pd(_mm_and_pd(centre, one), _mm_andnot_pd(centre, den));
            const __m128d z = _mm_div_pd(num, den), z2 = _mm_mul_pd(z, z);
            __m128d series = _mm_add_pd(c11, _mm_mul_pd(z2, c13));
            series = _mm_add_pd(c9, _mm_mul_pd(z2, series));
            series = _mm_add_pd(c7, _mm_mul_pd(z2, series));
            series = _mm_add_pd(c5, _mm_mul_pd(z2, series));
            series = _mm_add_pd(c3, _mm_mul_pd(z2, series));
            series = _mm_add_pd(one, _mm_mul_pd(z2, series));
            __m128d t = _mm_add_pd(_mm_mul_pd(z, series), _mm_and_pd(big, quarter));
            const __m128d steep = _mm_cmpgt_pd(a, b);
            t = _mm_or_pd(_mm_and_pd(steep, _mm_sub_pd(right, t)), _mm_andnot_pd(steep, t));
            t = _mm_mul_pd(t, degrees);
            _mm_storeu_pd(&m_degrees[x],
                          _mm_or_pd(_mm_and_pd(centre, none), _mm_andnot_pd(centre, t)));
            if (m_kind == 1) {
                const __m128d dx = _mm_loadu_pd(&m_dx[x]);
                const __m128d d = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(dx, dx), dy2));
                _mm_storeu_pd(&m_near[x], _mm_sub_pd(one, _mm_div_pd(d, diagonal)));
            }
        }
        return x;
    }

    // Row's work on two pixels at a time, the same values step by step;
    // pixels that Row gives to the formula go to it here too.
    int RowPairs(short* row, int y, double ry, double sign) const {
        const __m128d eps = _mm_set1_pd(m_epsDegrees), low = _mm_set1_pd(-m_epsDegrees),
                      high = _mm_set1_pd(180.0 - m_epsDegrees), zero = _mm_setzero_pd(),
                      start = _mm_set1_pd(m_start), turn = _mm_set1_pd(sign * 1.0),
                      full = _mm_set1_pd(360.0), one = _mm_set1_pd(1.0);
        const __m128d stepEps = _mm_set1_pd(m_kind == 0 ? m_epsStep : m_epsDegrees);
        const __m128d stepHigh = _mm_sub_pd(one, stepEps);
        const __m128d steps = _mm_set1_pd(m_steps), count = _mm_set1_pd(m_count),
                      shift = _mm_set1_pd(0.9), inverse = _mm_set1_pd(1.0 / 360.0),
                      scale = _mm_set1_pd(256.0);
        const __m128i low8 = _mm_set1_epi32(255), twist = _mm_set1_epi32((int)(m_twist & 255));
        int x = 0;
        for (; x + 2 <= m_w; x += 2) {
            const __m128d degrees = _mm_loadu_pd(&m_degrees[x]);
            __m128d bad = _mm_or_pd(_mm_cmplt_pd(degrees, eps), _mm_cmpgt_pd(degrees, high));
            __m128d m = _mm_add_pd(start, _mm_mul_pd(turn, degrees));
            bad = _mm_or_pd(bad, _mm_and_pd(_mm_cmplt_pd(m, eps), _mm_cmpgt_pd(m, low)));
            m = _mm_add_pd(m, _mm_and_pd(_mm_cmplt_pd(m, zero), full));
            __m128i value;
            if (m_kind == 0) {
                const __m128d s = _mm_mul_pd(m, steps);
                const __m128i whole = _mm_cvttpd_epi32(s);
                const __m128d frac = _mm_sub_pd(s, _mm_cvtepi32_pd(whole));
                bad = _mm_or_pd(
                    bad, _mm_or_pd(_mm_cmplt_pd(frac, stepEps), _mm_cmpgt_pd(frac, stepHigh)));
                value = _mm_and_si128(whole, low8);
                if (m_bit0)
                    value = _mm_sub_epi32(low8, value);
            } else {
                const __m128d shifted = _mm_add_pd(m, shift);
                const __m128d whole = _mm_cvtepi32_pd(_mm_cvttpd_epi32(shifted));
                const __m128d frac = _mm_sub_pd(shifted, whole);
                bad = _mm_or_pd(
                    bad, _mm_or_pd(_mm_cmplt_pd(frac, stepEps), _mm_cmpgt_pd(frac, stepHigh)));
                // whole * count and its remainder by 360 in whole numbers below
                // 2^53, exact in doubles; the quotient's estimate is mended.
                const __m128d n = _mm_mul_pd(whole, count);
                const __m128d q = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(n, inverse)));
                __m128d tt = _mm_sub_pd(n, _mm_mul_pd(q, full));
                tt = _mm_add_pd(tt, _mm_and_pd(_mm_cmplt_pd(tt, zero), full));
                tt = _mm_sub_pd(tt, _mm_and_pd(_mm_cmpge_pd(tt, full), full));
                if (m_bit0)
                    tt = _mm_sub_pd(full, tt);
                const __m128d closeness = _mm_loadu_pd(&m_near[x]);
                const __m128i v = _mm_cvttpd_epi32(
                    _mm_div_pd(_mm_mul_pd(_mm_mul_pd(closeness, tt), scale), full));
                value = _mm_and_si128(_mm_mullo_epi16(v, twist), low8);
            }
            row[x] = (short)_mm_cvtsi128_si32(value);
            row[x + 1] = (short)_mm_cvtsi128_si32(_mm_srli_si128(value, 4));
            const int exact = _mm_movemask_pd(bad);
            if (exact & 1)
                row[x] = Exact(x, y, ry);
            if (exact & 2)
                row[x + 1] = Exact(x + 1, y, ry);
        }
        return x;
    }
#endif

    void Row(short* row, int y, double ry, double sign) const {
        int x = 0;
#if defined(__x86_64__)
        if (m_pairs)
            x = RowPairs(row, y, ry, sign);
#endif
        RowFrom(row, x, y, ry, sign);
    }

    void RowFrom(short* row, int from, int y, double ry, double sign) const {
        const double eps = m_epsDegrees;
        const bool clock = m_kind == 0 && m_start >= 0;
        for (int x = from; x < m_w; ++x) {
            const double degrees = m_degrees[x];
            // Unknown, or nearly 0 or 180: the pixel may lie on either side.
            if (degrees < eps || degrees > 180.0 - eps) {
                row[x] = Exact(x, y, ry);
                continue;
            }
            double m = m_start + sign * degrees;
            if (m < eps) {
                if (m > -eps) {
                    row[x] = Exact(x, y, ry);
                    continue;
                }
                m += 360.0;
            }
            if (clock) {
                // m >= 0: the step is the whole part of m * count * 256 / 360,
                // modulo 256.
                const double steps = m * m_steps;
                const long long whole = (long long)steps;
                const double frac = steps - (double)whole;
                if (frac < m_epsStep || frac > 1.0 - m_epsStep) {
                    row[x] = Exact(x, y, ry);
                    continue;
                }
                const long long u = whole & 255;
                row[x] = (short)(m_bit0 ? 255 - u : u);
                continue;
            }
            if (m_kind == 0) {
                row[x] = Exact(x, y, ry);
                continue;
            }
            const double shifted = m + 0.9, whole = FloorOf(shifted);
            if (shifted - whole < eps || shifted - whole > 1.0 - eps) {
                row[x] = Exact(x, y, ry);
                continue;
            }
            // m * count is a whole number below 2^53 here: its remainder is
            // fmod's.
            double tt = (double)((long long)whole * (long long)m_count % 360);
            if (m_bit0)
                tt = 360.0 - tt;
            row[x] = SpiralStep(m_near[x], tt);
        }
    }

    const int m_w, m_h;
    const DWORD m_kind;
    const bool m_bit0;
    const double m_count;
    double m_start;
    const long long m_twist;
    const double m_D;
    // Per column of the present rows: the angle in degrees (row y's), and
    // for the spiral 1 - distance / diagonal.
    std::vector<double> m_rx, m_dx, m_degrees, m_near;
    double m_epsDegrees, m_epsStep, m_steps;
    bool m_fast, m_pairs;
};

// Mask 8: clock and spiral ramps.
const ParamDef kSpiralParams[] = {{PF_U32, 0, PCHK_NONE, 0, 0},
                                  {PF_U32, 1, PCHK_NONE, 0, 0},
                                  {PF_U32, 0, PCHK_NONE, 0, 0},
                                  {PF_U32, 1, PCHK_NONE, 0, 0},
                                  {PF_U32, 2, PCHK_NONE, 0, 0}};

class CTransSpiral : public CBaseMask {
public:
    CTransSpiral() : CBaseMask(CLSID_TransSpiral, kSpiralParams, 5) {}

    // kind, count, start, flags, then twist only when flags bit 1 is set.
    HRESULT LoadRole(ITeskStream* stream) override {
        m_params.Set(0, (double)ReadU32(stream));
        m_params.Set(1, (double)ReadU32(stream));
        m_params.Set(2, (double)ReadU32(stream));
        DWORD flags = ReadU32(stream);
        if (flags & 2)
            m_params.Set(3, (double)ReadU32(stream));
        m_params.Set(4, (double)(flags | 2));
        return S_OK;
    }
    HRESULT SaveRole(ITeskStream* stream) override {
        WriteU32(stream, m_params.U32(0));
        WriteU32(stream, m_params.U32(1));
        WriteU32(stream, m_params.U32(2));
        DWORD flags = m_params.U32(4);
        WriteU32(stream, flags);
        if (flags & 2)
            WriteU32(stream, m_params.U32(3));
        return S_OK;
    }

protected:
    HRESULT Term(double x, int* key, int* t) override {
        const DWORD kind = m_params.U32(0);
        const bool bit0 = (m_params.U32(4) & 1) != 0;
        if (kind > 1)
            return S_FALSE;
        *key = 0;
        if (kind == 0)
            *t = bit0 ? -K(1.0 - x) : K(x);
        else
            *t = K(x);
        return S_OK;
    }
    void MakeBase(short* base, int w, int h, int) override {
        SpiralBase spiral(m_params, w, h);
        spiral.Make(base);
    }
};

// Mask 9: uniform fade, with its own compose for kind 1.
const ParamDef kFadeParams[] = {{PF_U32, 0, PCHK_NONE, 0, 0}};

class CTransFade : public CMaskPlugin {
public:
    CTransFade() : CMaskPlugin(CLSID_TransFade, kFadeParams, 1) {}

    HRESULT Fill(BYTE* out, double x, int w, int h) override {
        const size_t n = (size_t)w * (size_t)h;
        switch (m_params.U32(0)) {
            case 0:
                memset(out, (int)(x * 255.0), n);
                break;
            case 1:
                memset(out, 255, n);
                break;
            default:
                memset(out, 0, n);
                break;
        }
        return S_OK;
    }
    bool ApplyUsesProgress() const override { return m_params.U32(0) == 1; }
    bool IsStandardCompose() const override { return m_params.U32(0) == 0; }

    HRESULT Apply(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
                  const RECT* rect, const RECT* clip) override {
        const DWORD kind = m_params.U32(0);
        if (kind == 0)
            return ApplyMaskStandard(target, source, mask, rect, clip);
        if (kind != 1)
            return E_NOTIMPL;
        if (!target || !source || !mask || !rect)
            return E_POINTER;
        RECT area;
        if (!IntersectRects(&area, *rect, clip ? *clip : *rect))
            return S_OK;
        const long long mw = (long long)rect->right - rect->left;
        const int m = mask[(size_t)((area.top - rect->top) * mw) + (area.left - rect->left)];
        const int k = K(ClampProgress(progress));
        HRESULT hr = ScopedUseBegin(target, PIXLOCK_WRITE);
        if (FAILED(hr))
            return hr;
        hr = ScopedUseBegin(source, PIXLOCK_READ);
        if (FAILED(hr)) {
            ScopedUseEnd(target);
            return hr;
        }
        BufferInfo ti = {}, si = {};
        ti.dwSize = si.dwSize = sizeof(BufferInfo);
        ti.wMask = si.wMask = BIM_GEOMETRY | BIM_OFFSET;
        hr = target->GetBufferInfo(&ti);
        if (SUCCEEDED(hr))
            hr = source->GetBufferInfo(&si);
        if (SUCCEEDED(hr) && (!ti.pPixels || !si.pPixels))
            hr = E_FAIL;
        RECT sExt = {-si.nOffsetX, -si.nOffsetY, si.nWidth - si.nOffsetX, si.nHeight - si.nOffsetY};
        RECT tExt = {-ti.nOffsetX, -ti.nOffsetY, ti.nWidth - ti.nOffsetX, ti.nHeight - ti.nOffsetY};
        if (SUCCEEDED(hr) && IntersectRects(&area, area, sExt) &&
            IntersectRects(&area, area, tExt)) {
            for (LONG y = area.top; y < area.bottom; ++y) {
                DWORD* d = (DWORD*)(ti.pPixels + (size_t)(y + ti.nOffsetY) * ti.nPitch) +
                           (area.left + ti.nOffsetX);
                const DWORD* s =
                    (const DWORD*)(si.pPixels + (size_t)(y + si.nOffsetY) * si.nPitch) +
                    (area.left + si.nOffsetX);
                for (LONG x = 0; x < area.right - area.left; ++x) {
                    DWORD r = d[x] & 0xFF000000u;
                    for (int sh = 0; sh < 24; sh += 8) {
                        const int c = (int)((d[x] >> sh) & 0xFF), sc = (int)((s[x] >> sh) & 0xFF);
                        int cp = c + k;
                        cp = cp < 0 ? 0 : cp > 255 ? 255 : cp;
                        int v = ((m * cp / 256) * (c - sc) + sc * 256) / 256;
                        v = v < 0 ? 0 : v > 255 ? 255 : v;
                        r |= (DWORD)v << sh;
                    }
                    d[x] = r;
                }
            }
        }
        ScopedUseEnd(source);
        ScopedUseEnd(target);
        return hr;
    }
};

// Mask 10: sine patterns.
class CTransSine : public CKindReverseMask {
public:
    CTransSine() : CKindReverseMask(CLSID_TransSine, 2, E_NOTIMPL) {}

protected:
    void MakeBase(short* base, int w, int h, int reverse) override {
        const DWORD kind = m_params.U32(0);
        const double from = kind == 2 ? 0.0 : -kPi;
        const double sx = kind == 0 ? kPi / w : 2 * kPi / w;
        const double sy = kind == 0 ? kPi / h : 2 * kPi / h;
        std::vector<double> sinX((size_t)w);
        for (int x = 0; x < w; ++x) sinX[(size_t)x] = sin(from + x * sx);
        for (int y = 0; y < h; ++y) {
            short* row = base + (size_t)y * w;
            const double sv = sin(from + y * sy);
            for (int x = 0; x < w; ++x) {
                const double ss = sinX[(size_t)x] * sv;
                double b;
                if (kind == 0) {
                    const double d = -255.9 * ss;  // value k - d, reversed d - k + 255
                    b = reverse ? FloorOf(d) + 255 : FloorOf(-d);
                } else if (kind == 1) {
                    const double e = (ss + 1) * 127.95;  // k - e + 255, reversed e - k
                    b = reverse ? FloorOf(e) : FloorOf(255 - e);
                } else {
                    const int e = (BYTE)(int)(ss * 255.9);  // k + e, reversed 255 - k - e
                    b = reverse ? 255 - e : e;
                }
                row[x] = Clip16(b);
            }
        }
    }
};

}  // namespace

HRESULT CreateTransDissolve(REFIID iid, void** out) {
    return CreatePluginObject<CTransDissolve>(iid, out);
}
HRESULT CreateTransRamp(REFIID iid, void** out) {
    return CreatePluginObject<CTransRamp>(iid, out);
}
HRESULT CreateTransShapeRamp(REFIID iid, void** out) {
    return CreatePluginObject<CTransShapeRamp>(iid, out);
}
HRESULT CreateTransSpiral(REFIID iid, void** out) {
    return CreatePluginObject<CTransSpiral>(iid, out);
}
HRESULT CreateTransFade(REFIID iid, void** out) {
    return CreatePluginObject<CTransFade>(iid, out);
}
HRESULT CreateTransSine(REFIID iid, void** out) {
    return CreatePluginObject<CTransSine>(iid, out);
}
