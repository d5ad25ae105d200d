// The gradient fill (see bFillGrd.h).
#include "bFillGrd.h"

#include <math.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <string.h>

#include <algorithm>

#include "aPixBuf.h"
#include "bFillInner.h"
#include "bPropertyAccess.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// floor(v + 0.5) for values within int range, without the library call
// that floor costs on processors before SSE4.1.
inline int RoundHalfUp(double v) {
    double h = v + 0.5;
    int t = (int)h;
    return t > h ? t - 1 : t;
}

// round(v), halves up, capped to 0..L-1 (also for values far outside int
// range, and NaN).
inline long long CapIndex(double v, long long L) {
    double h = v + 0.5;
    if (!(h >= 1))
        return 0;
    if (h >= (double)L)
        return L - 1;
    return (long long)h;
}

inline int Mod(long long a, long long c) {
    long long m = a % c;
    return (int)(m < 0 ? m + c : m);
}

}  // namespace

GradientRamp::GradientRamp(int repeat, int balance, int offset, long long longest)
    : m_repeat(repeat), m_balance(balance), m_offset(offset) {
    m_period = (repeat + std::max(longest, 1LL) - 1) / repeat;
    m_rising = (m_period - 1) * (balance + 100) / 200;
    m_falling = m_period - m_rising - 1;
    m_start = Mod(m_period + m_period * offset / 200, m_period);
}

int GradientRamp::Weight(long long index) const {
    if (m_period == 1)
        // Weights stay within 0..255 whatever the offset.
        return std::max(0, std::min(255, (int)((long long)m_offset * 255 / 200)));
    // The place of the entry counted from the period's start: the rising
    // entries, the peak, then the falling ones counted back from the end.
    long long k = Mod(index % m_period - m_start, m_period);
    if (k < m_rising)
        return std::min(255, RoundHalfUp((double)k * 255.0 / m_rising));
    if (k == m_rising)
        return m_falling == 0 ? 0 : 255;
    return std::min(255, RoundHalfUp((double)(m_period - 1 - k) * 255.0 / m_falling));
}

void BuildGradientRamp(int repeat, int balance, int offset, int longest, std::vector<int>& ramp) {
    int c = (repeat + std::max(longest, 1) - 1) / repeat;
    ramp.assign((size_t)repeat * c, 0);
    if (c == 1) {
        // Weights stay within 0..255 whatever the offset.
        int w = std::max(0, std::min(255, (int)((long long)offset * 255 / 200)));
        std::fill(ramp.begin(), ramp.end(), w);
        return;
    }
    int r = (c - 1) * (balance + 100) / 200;
    int f = c - r - 1;
    long long s = c + (long long)c * offset / 200;
    if (r == 0)
        ramp[Mod(s, c)] = 0;
    for (int i = 0; i < r; ++i) ramp[Mod(s + i, c)] = std::min(255, RoundHalfUp(i * 255.0 / r));
    ramp[Mod(s + r, c)] = 255;
    if (f == 0)
        ramp[Mod(s + c - 1, c)] = 0;
    for (int j = 0; j < f; ++j)
        ramp[Mod(s + c - 1 - j, c)] = std::min(255, RoundHalfUp(j * 255.0 / f));
    for (int k = 1; k < repeat; ++k)
        std::copy(ramp.begin(), ramp.begin() + c, ramp.begin() + (size_t)k * c);
}

namespace {

// The angular profile's index round(a / 2pi * L) of a = atan2f(dv, du)
// (plus 2pi when a <= 0), all in single precision, capped to the ramp. The
// system's atan2f is slow and within half an ulp of the true angle, so an
// approximation within 1e-8 places the index, and only a value too near an
// index boundary for the error of the single precision steps (at most two
// ulps of the angle and one of each product, several times over) takes the
// plain path.
class AngleIndexer {
public:
    explicit AngleIndexer(long long L) : m_L(L), m_Lf((float)L) {
        // atan about the points k/256 of 0..1, to the second power of the
        // distance: within 3e-9.
        for (int k = 0; k <= 256; ++k) {
            double c = k / 256.0, d = 1 / (1 + c * c);
            m_table[k][0] = atan(c);
            m_table[k][1] = d;
            m_table[k][2] = -c * d * d;
        }
        m_margin = (double)L * 1e-6 + 1e-6;
        m_scale = (double)L / (double)kTwoPi;
    }

    long long Index(float du, float dv) const {
        if (du != 0 && dv != 0 && m_L < (1LL << 40)) {
            double v = Angle(du, dv);
            if (dv < 0)
                v += (double)kTwoPi;
            v = v * m_scale + 0.5;
            long long i = (long long)v;
            double f = v - (double)i;
            if (f > m_margin && f < 1 - m_margin)
                return i < m_L ? i : m_L - 1;
        }
        return Plain(du, dv);
    }

    // The indices of a row: du of each pixel (single precision values),
    // dv of the row.
    void Row(const double* du, int n, float dv, long long* out) const {
        int i = 0;
#if defined(__SSE2__)
        // Two pixels at a time; the same steps as Index.
        if (dv != 0 && m_L < (1LL << 30)) {
            const __m128d sign = _mm_set1_pd(-0.0), zero = _mm_setzero_pd();
            const __m128d ay = _mm_set1_pd(fabs((double)dv));
            const __m128d k256 = _mm_set1_pd(256.0), inv256 = _mm_set1_pd(1 / 256.0);
            const __m128d half = _mm_set1_pd(0.5), one = _mm_set1_pd(1.0);
            const __m128d halfPi = _mm_set1_pd(1.57079632679489661923);
            const __m128d pi = _mm_set1_pd(3.14159265358979323846);
            const __m128d scale = _mm_set1_pd(m_scale), margin = _mm_set1_pd(m_margin);
            const __m128d add = _mm_set1_pd(dv < 0 ? (double)kTwoPi : 0.0);
            const __m128d negate = dv < 0 ? sign : zero;
            alignas(16) int k[4];
            for (; i + 1 < n; i += 2) {
                __m128d x = _mm_loadu_pd(du + i);
                __m128d ax = _mm_andnot_pd(sign, x);
                __m128d steep = _mm_cmpgt_pd(ay, ax);
                __m128d r = _mm_div_pd(_mm_min_pd(ax, ay), _mm_max_pd(ax, ay));
                __m128i ki = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(r, k256), half));
                _mm_store_si128(reinterpret_cast<__m128i*>(k), ki);
                __m128d h = _mm_sub_pd(r, _mm_mul_pd(_mm_cvtepi32_pd(ki), inv256));
                const double *t0 = m_table[k[0]], *t1 = m_table[k[1]];
                __m128d a =
                    _mm_add_pd(_mm_set_pd(t1[0], t0[0]),
                               _mm_mul_pd(h, _mm_add_pd(_mm_set_pd(t1[1], t0[1]),
                                                        _mm_mul_pd(h, _mm_set_pd(t1[2], t0[2])))));
                a = _mm_or_pd(_mm_and_pd(steep, _mm_sub_pd(halfPi, a)), _mm_andnot_pd(steep, a));
                __m128d left = _mm_cmplt_pd(x, zero);
                a = _mm_or_pd(_mm_and_pd(left, _mm_sub_pd(pi, a)), _mm_andnot_pd(left, a));
                a = _mm_add_pd(_mm_xor_pd(a, negate), add);
                __m128d w = _mm_add_pd(_mm_mul_pd(a, scale), half);
                __m128i wi = _mm_cvttpd_epi32(w);
                __m128d f = _mm_sub_pd(w, _mm_cvtepi32_pd(wi));
                __m128d sure =
                    _mm_and_pd(_mm_cmpgt_pd(f, margin), _mm_cmplt_pd(f, _mm_sub_pd(one, margin)));
                // A column at du = 0 takes the plain path too.
                sure = _mm_andnot_pd(_mm_cmpeq_pd(x, zero), sure);
                int ok = _mm_movemask_pd(sure);
                _mm_store_si128(reinterpret_cast<__m128i*>(k), wi);
                for (int j = 0; j < 2; ++j)
                    out[i + j] = (ok >> j) & 1 ? std::min<long long>(k[j], m_L - 1)
                                               : Plain((float)du[i + j], dv);
            }
        }
#endif
        for (; i < n; ++i) out[i] = Index((float)du[i], dv);
    }

    long long Plain(float du, float dv) const {
        float a = atan2f(dv, du);
        if (a <= 0)
            a += kTwoPi;
        return CapIndex(a / kTwoPi * m_Lf, m_L);
    }

private:
    static constexpr float kTwoPi = 6.28318530717958647692f;

    double Angle(double du, double dv) const {
        const double pi = 3.14159265358979323846, halfPi = 1.57079632679489661923;
        double ax = fabs(du), ay = fabs(dv);
        bool steep = ay > ax;
        double r = steep ? ax / ay : ay / ax;
        int k = (int)(r * 256 + 0.5);
        double h = r - k / 256.0;
        const double* t = m_table[k];
        double a = t[0] + h * (t[1] + h * t[2]);
        if (steep)
            a = halfPi - a;
        if (du < 0)
            a = pi - a;
        return dv < 0 ? -a : a;
    }

    long long m_L;
    float m_Lf;
    double m_margin;
    double m_scale;
    double m_table[257][3];
};

// The ramp as pixels: a table while it is small; past that each entry is
// computed when a pixel needs it, so a fill over a huge bounds costs what
// its clip shows.
class RampPixels {
public:
    enum { TABLE_LIMIT = 1 << 16 };

    RampPixels(const GradientRamp& ramp, const DWORD lut[256]) : m_ramp(ramp), m_lut(lut) {
        L = ramp.Size();
        if (L <= TABLE_LIMIT) {
            m_table.resize((size_t)L);
            for (long long i = 0; i < L; ++i) m_table[(size_t)i] = lut[ramp.Weight(i)];
        }
    }
    bool HasTable() const { return !m_table.empty(); }
    const std::vector<DWORD>& Table() const { return m_table; }
    DWORD At(long long i) const {
        return HasTable() ? m_table[(size_t)i] : m_lut[m_ramp.Weight(i)];
    }
    // The entry for round(v), capped to the ramp.
    DWORD Near(double v) const { return At(CapIndex(v, L)); }

    long long L;

private:
    const GradientRamp& m_ramp;
    const DWORD* m_lut;
    std::vector<DWORD> m_table;
};

class GradientFill : public FillBase, public IGradientFillParams {
public:
    GradientFill()
        : m_gradType(0), m_offset(0), m_balance(0), m_repeat(1), m_color1(0xFFFFFF), m_color2(0) {}

    HRESULT Load(ITeskStream* stream) override {
        int v[6];
        stream->Read(v, sizeof(v));
        m_gradType = v[0];
        m_offset = v[1];
        m_balance = v[2];
        m_repeat = v[3];
        m_color1 = (COLORREF)v[4];
        m_color2 = (COLORREF)v[5];
        return S_OK;
    }
    HRESULT Save(ITeskStream* stream) override {
        int v[6] = {m_gradType, m_offset, m_balance, m_repeat, (int)m_color1, (int)m_color2};
        stream->Write(v, sizeof(v));
        return S_OK;
    }
    HRESULT Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                   IPlayerSite* site) override;
    HRESULT CopyFrom(FillObject* other) override {
        IGradientFillParams* p = nullptr;
        if (FAILED(other->GetFillParams(reinterpret_cast<void**>(&p))) || !p)
            return E_FAIL;
        p->GetGradType(&m_gradType);
        p->GetColor1(&m_color1);
        p->GetColor2(&m_color2);
        p->GetRepeat(&m_repeat);
        p->GetBalance(&m_balance);
        p->GetOffset(&m_offset);
        return S_OK;
    }
    HRESULT Interpolate(FillObject* a, FillObject* b, int percent) override;
    void* GetParams() override { return static_cast<IGradientFillParams*>(this); }

    STDMETHOD(SetGradType)(int v) override { return SetProperty(m_gradType, v); }
    STDMETHOD(GetGradType)(int* v) override { return GetProperty(m_gradType, v); }
    STDMETHOD(SetColor1)(COLORREF v) override { return SetProperty(m_color1, v); }
    STDMETHOD(GetColor1)(COLORREF* v) override { return GetProperty(m_color1, v); }
    STDMETHOD(SetColor2)(COLORREF v) override { return SetProperty(m_color2, v); }
    STDMETHOD(GetColor2)(COLORREF* v) override { return GetProperty(m_color2, v); }
    STDMETHOD(SetRepeat)(int v) override { return SetProperty(m_repeat, v); }
    STDMETHOD(GetRepeat)(int* v) override { return GetProperty(m_repeat, v); }
    STDMETHOD(SetBalance)(int v) override { return SetProperty(m_balance, v); }
    STDMETHOD(GetBalance)(int* v) override { return GetProperty(m_balance, v); }
    STDMETHOD(SetOffset)(int v) override { return SetProperty(m_offset, v); }
    STDMETHOD(GetOffset)(int* v) override { return GetProperty(m_offset, v); }

private:
    void Paint(const RECT& b, const RECT& c, BYTE* pixels, int pitch, const RampPixels& ramp);

    int m_gradType;
    int m_offset;
    int m_balance;
    int m_repeat;
    COLORREF m_color1;
    COLORREF m_color2;
};

HRESULT GradientFill::Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                             IPlayerSite*) {
    m_alpha = alpha;
    if (!bounds || !buffer || !clip)
        return E_POINTER;
    if (m_color1 == m_color2)
        return FillBufferRect(buffer, clip, FillPixel(m_color1, alpha));
    if (m_gradType < GRAD_HORIZONTAL || m_gradType > GRAD_ANGULAR) {
        LOG_MSG("GradFill render failed -- unknown type!");
        return E_INVALIDARG;
    }
    if (m_repeat == 0)
        return E_OUTOFMEMORY;
    m_repeat = std::max(1, std::min(20, m_repeat));
    m_balance = std::max(-100, std::min(100, m_balance));
    const long long W = (long long)bounds->right - bounds->left,
                    H = (long long)bounds->bottom - bounds->top;
    if (W <= 0 || H <= 0)
        return S_OK;

    HRESULT hr = ScopedUseBegin(buffer, PIXLOCK_WRITE);
    if (FAILED(hr))
        return hr;
    BufferInfo info = ReadBufferInfo(buffer);
    RECT c = *clip;
    if (info.pPixels && ClipToBuffer(&c, info)) {
        // Weight to pixel once per weight.
        DWORD lut[256];
        int c1[3] = {(int)(m_color1 & 0xFF), (int)((m_color1 >> 8) & 0xFF),
                     (int)((m_color1 >> 16) & 0xFF)};
        int c2[3] = {(int)(m_color2 & 0xFF), (int)((m_color2 >> 8) & 0xFF),
                     (int)((m_color2 >> 16) & 0xFF)};
        for (int w = 0; w < 256; ++w) {
            int ch[3];
            for (int k = 0; k < 3; ++k) ch[k] = c2[k] + ((w * (c1[k] - c2[k])) >> 8);
            lut[w] = ((DWORD)alpha << 24) | ((DWORD)ch[0] << 16) | ((DWORD)ch[1] << 8) | ch[2];
        }
        GradientRamp weights(m_repeat, m_balance, m_offset, std::max(W, H));
        try {
            RampPixels ramp(weights, lut);
            Paint(*bounds, c, info.pPixels, info.nPitch, ramp);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
    }
    ScopedUseEnd(buffer);
    return SUCCEEDED(hr) ? S_OK : hr;
}

void GradientFill::Paint(const RECT& b, const RECT& c, BYTE* pixels, int pitch,
                         const RampPixels& ramp) {
    const long long W = (long long)b.right - b.left, H = (long long)b.bottom - b.top;
    const long long L = ramp.L;
    const int cw = c.right - c.left;
    auto row = [&](int y) {
        return reinterpret_cast<DWORD*>(pixels + (ptrdiff_t)y * pitch) + c.left;
    };
    // x and y relative to the bounds' left and top.
    auto xAt = [&](int i) { return (long long)c.left + i - b.left; };
    auto yAt = [&](int y) { return (long long)y - b.top; };
    // Per-column terms of the profiles.
    std::vector<double> us(cw);
    switch (m_gradType) {
        case GRAD_HORIZONTAL: {
            if (W == 1)
                return;
            DWORD* first = row(c.top);
            for (int i = 0; i < cw; ++i) first[i] = ramp.Near((double)L * xAt(i) / (W - 1));
            for (int y = c.top + 1; y < c.bottom; ++y) memcpy(row(y), first, cw * sizeof(DWORD));
            return;
        }
        case GRAD_VERTICAL: {
            if (H == 1)
                return;
            for (int y = c.top; y < c.bottom; ++y)
                FillPixels(row(y), cw, ramp.Near((double)L * yAt(y) / (H - 1)));
            return;
        }
        case GRAD_BOX: {
            // Rounding keeps order, so the index of the larger term is the
            // larger index of the two terms.
            std::vector<long long> ix(cw);
            for (int i = 0; i < cw; ++i)
                ix[i] = CapIndex(L * ((double)std::llabs(2 * xAt(i) - W) / W), L);
            for (int y = c.top; y < c.bottom; ++y) {
                long long iy = CapIndex(L * ((double)std::llabs(2 * yAt(y) - H) / H), L);
                DWORD* d = row(y);
                for (int i = 0; i < cw; ++i) d[i] = ramp.At(std::max(ix[i], iy));
            }
            return;
        }
        case GRAD_CORNERS:
        case GRAD_CORNER: {
            if (W == 1 || H == 1)
                return;
            std::vector<double> oneMinus(cw);
            for (int i = 0; i < cw; ++i) {
                us[i] = (double)xAt(i) / (W - 1);
                oneMinus[i] = 1 - us[i];
            }
            // Inside the bounds every index lies in 0..L: truncation is the
            // floor, and a ramp with its last entry doubled needs no cap.
            [[maybe_unused]] const bool inside = ramp.HasTable() && c.left >= b.left &&
                                                 c.top >= b.top && c.right <= b.right &&
                                                 c.bottom <= b.bottom;
            std::vector<DWORD> padded;
            if (inside) {
                padded = ramp.Table();
                padded.push_back(padded.back());
            }
            for (int y = c.top; y < c.bottom; ++y) {
                double v = (double)yAt(y) / (H - 1);
                DWORD* d = row(y);
                int i = 0;
#if defined(__SSE2__)
                // Four pixels at a time with the same double operations as the
                // plain loops below, so the indices are identical.
                if (inside) {
                    const __m128d one = _mm_set1_pd(1.0), half = _mm_set1_pd(0.5);
                    const __m128d V = _mm_set1_pd(v), A = _mm_set1_pd(1 - v);
                    const __m128d LL = _mm_set1_pd((double)L);
                    const __m128d L1 = _mm_set1_pd((double)(L - 1));
                    const __m128d k95 = _mm_set1_pd(0.95), zero = _mm_setzero_pd();
                    const bool corners = m_gradType == GRAD_CORNERS;
                    alignas(16) int idx[4];
                    for (; i + 3 < cw; i += 4) {
                        __m128d f[2];
                        for (int k = 0; k < 2; ++k) {
                            __m128d u = _mm_loadu_pd(&us[i + 2 * k]);
                            __m128d m = _mm_loadu_pd(&oneMinus[i + 2 * k]);
                            if (corners) {
                                f[k] =
                                    _mm_mul_pd(LL, _mm_add_pd(_mm_mul_pd(A, m), _mm_mul_pd(V, u)));
                            } else {
                                __m128d t = _mm_mul_pd(k95, _mm_sub_pd(one, _mm_mul_pd(V, m)));
                                t = _mm_min_pd(_mm_max_pd(t, zero), one);
                                f[k] = _mm_mul_pd(t, L1);
                            }
                        }
                        __m128i n = _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_add_pd(f[0], half)),
                                                       _mm_cvttpd_epi32(_mm_add_pd(f[1], half)));
                        _mm_store_si128(reinterpret_cast<__m128i*>(idx), n);
                        d[i] = padded[idx[0]];
                        d[i + 1] = padded[idx[1]];
                        d[i + 2] = padded[idx[2]];
                        d[i + 3] = padded[idx[3]];
                    }
                }
#endif
                if (m_gradType == GRAD_CORNERS) {
                    for (; i < cw; ++i) d[i] = ramp.Near(L * ((1 - v) * oneMinus[i] + v * us[i]));
                } else {
                    for (; i < cw; ++i) {
                        double t = 0.95 * (1 - v * oneMinus[i]);
                        t = t < 0 ? 0 : t > 1 ? 1 : t;
                        d[i] = ramp.Near(t * (L - 1));
                    }
                }
            }
            return;
        }
        case GRAD_RADIAL: {
            if (W == 1 || H == 1)
                return;
            // The square-root table, already turned into ramp pixels.
            std::vector<DWORD> root(32768);
            for (int k = 0; k < 32768; ++k) root[k] = ramp.Near(sqrt(k / 32767.0) * (L - 1));
            for (int i = 0; i < cw; ++i) {
                double u = 2.0 * xAt(i) / (W - 1) - 1;
                us[i] = u * u;
            }
            for (int y = c.top; y < c.bottom; ++y) {
                double v = 2.0 * yAt(y) / (H - 1) - 1;
                double v2 = v * v;
                DWORD* d = row(y);
                int i = 0;
#if defined(__SSE2__)
                // q is never negative; q above 1 and q = 1 both give 32767.
                const __m128d V2 = _mm_set1_pd(v2), two = _mm_set1_pd(2.0);
                const __m128d one = _mm_set1_pd(1.0), top = _mm_set1_pd(32767.0);
                alignas(16) int idx[4];
                for (; i + 3 < cw; i += 4) {
                    __m128d q0 = _mm_div_pd(_mm_add_pd(_mm_loadu_pd(&us[i]), V2), two);
                    __m128d q1 = _mm_div_pd(_mm_add_pd(_mm_loadu_pd(&us[i + 2]), V2), two);
                    q0 = _mm_mul_pd(_mm_min_pd(q0, one), top);
                    q1 = _mm_mul_pd(_mm_min_pd(q1, one), top);
                    _mm_store_si128(reinterpret_cast<__m128i*>(idx),
                                    _mm_unpacklo_epi64(_mm_cvttpd_epi32(q0), _mm_cvttpd_epi32(q1)));
                    d[i] = root[idx[0]];
                    d[i + 1] = root[idx[1]];
                    d[i + 2] = root[idx[2]];
                    d[i + 3] = root[idx[3]];
                }
#endif
                for (; i < cw; ++i) {
                    double q = (us[i] + v2) / 2;
                    int k = q > 1 ? 32767 : (int)(q * 32767);
                    d[i] = root[k];
                }
            }
            return;
        }
        case GRAD_ANGULAR: {
            // A one-pixel side has no direction to measure.
            if (W == 1 || H == 1)
                return;
            for (int i = 0; i < cw; ++i) us[i] = (float)xAt(i) / (W - 1) - 0.5f;
            AngleIndexer angles(L);
            std::vector<long long> index(cw);
            for (int y = c.top; y < c.bottom; ++y) {
                float dv = (float)yAt(y) / (H - 1) - 0.5f;
                angles.Row(us.data(), cw, dv, index.data());
                DWORD* d = row(y);
                if (ramp.HasTable()) {
                    const DWORD* t = ramp.Table().data();
                    for (int i = 0; i < cw; ++i) d[i] = t[index[i]];
                } else {
                    for (int i = 0; i < cw; ++i) d[i] = ramp.At(index[i]);
                }
            }
            return;
        }
    }
}

int BlendNumber(int x, int y, int p) {
    return x == y ? x : x + ((y - x) * p + 50) / 100;
}

COLORREF AverageColor(COLORREF a, COLORREF b, COLORREF c, COLORREF d) {
    COLORREF out = 0;
    for (int s = 0; s < 24; s += 8) {
        int sum = ((a >> s) & 0xFF) + ((b >> s) & 0xFF) + ((c >> s) & 0xFF) + ((d >> s) & 0xFF);
        out |= (COLORREF)(sum / 4) << s;
    }
    return out;
}

HRESULT GradientFill::Interpolate(FillObject* a, FillObject* b, int p) {
    IGradientFillParams* pa = nullptr;
    if (FAILED(a->GetFillParams(reinterpret_cast<void**>(&pa))) || !pa)
        return E_FAIL;
    int tA = 0, rA = 1, balA = 0, offA = 0;
    COLORREF a1 = 0, a2 = 0;
    pa->GetGradType(&tA);
    pa->GetColor1(&a1);
    pa->GetColor2(&a2);
    pa->GetRepeat(&rA);
    pa->GetBalance(&balA);
    pa->GetOffset(&offA);
    int tB = tA, rB = rA, balB = balA, offB = offA;
    COLORREF b1 = 0, b2 = 0;
    int typeB = -1;
    b->GetFillType(&typeB);
    if (typeB == FILL_GRADIENT) {
        IGradientFillParams* pb = nullptr;
        if (FAILED(b->GetFillParams(reinterpret_cast<void**>(&pb))) || !pb)
            return E_FAIL;
        pb->GetGradType(&tB);
        pb->GetColor1(&b1);
        pb->GetColor2(&b2);
        pb->GetRepeat(&rB);
        pb->GetBalance(&balB);
        pb->GetOffset(&offB);
    } else {
        ISolidFillParams* pb = nullptr;
        if (FAILED(b->GetFillParams(reinterpret_cast<void**>(&pb))) || !pb)
            return E_FAIL;
        pb->GetColor(&b1);
        b2 = b1;
    }
    if (tA == tB) {
        m_gradType = tA;
        m_color1 = BlendColor(a1, b1, p);
        m_color2 = BlendColor(a2, b2, p);
    } else {
        COLORREF m = AverageColor(a1, a2, b1, b2);
        int p2 = 2 * p;
        if (p2 >= 100) {
            m_gradType = tB;
            m_color1 = BlendColor(m, b1, p2 - 100);
            m_color2 = BlendColor(m, b2, p2 - 100);
        } else {
            m_gradType = tA;
            m_color1 = BlendColor(a1, m, p2);
            m_color2 = BlendColor(a2, m, p2);
        }
    }
    m_repeat = BlendNumber(rA, rB, p);
    m_balance = BlendNumber(balA, balB, p);
    m_offset = BlendNumber(offA, offB, p);
    return S_OK;
}

// Inside the namespace the class hides the system's GradientFill function.
FillBase* NewGradientFill() {
    return new (std::nothrow) GradientFill();
}

}  // namespace

FillBase* CreateGradientFill() {
    return NewGradientFill();
}
