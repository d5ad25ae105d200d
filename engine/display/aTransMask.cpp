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
            } catch (const std::bad_alloc&) {
                m_w = m_h = 0;
                return E_OUTOFMEMORY;
            }
            MakeBase(m_base.data(), w, h, key);
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

// Mask 6: linear ramps.

class CTransRamp : public CKindReverseMask {
public:
    CTransRamp() : CKindReverseMask(CLSID_TransRamp, 5, S_FALSE) {}

protected:
    void MakeBase(short* base, int w, int h, int reverse) override {
        const int kind = (int)m_params.U32(0);
        const long long W = w, H = h;
        for (int y = 0; y < h; ++y) {
            short* row = base + (size_t)y * w;
            for (int x = 0; x < w; ++x) {
                long long u;
                switch (kind) {
                    case 0:
                        u = y * 256 / H;
                        break;
                    case 1:
                        u = x * 256 / W;
                        break;
                    case 2:
                        u = y * 128 / H + x * 128 / W;
                        break;
                    case 3:
                        u = (H - y) * 128 / H + x * 128 / W;
                        break;
                    case 4:
                        u = 255 - llabs(W * 256 - (long long)x * 512) / W;
                        break;
                    default:
                        u = 255 - llabs(H * 256 - (long long)y * 512) / H;
                        break;
                }
                // Kinds 4 and 5 read k - d + 255, reversed d - k.
                row[x] = (short)(reverse ? 255 - u : u);
            }
        }
    }
};

// Mask 7: shape ramps.
class CTransShapeRamp : public CKindReverseMask {
public:
    CTransShapeRamp() : CKindReverseMask(CLSID_TransShapeRamp, 5, S_FALSE) {}

protected:
    void MakeBase(short* base, int w, int h, int reverse) override {
        const int kind = (int)m_params.U32(0);
        const long long W = w, H = h;
        for (int y = 0; y < h; ++y) {
            short* row = base + (size_t)y * w;
            const long long Y = llabs(2LL * y - H);
            for (int x = 0; x < w; ++x) {
                const long long X = llabs(2LL * x - W);
                long long u;
                switch (kind) {
                    case 0:
                        u = Y * W < H * X ? Y * 256 / H : X * 256 / W;
                        break;
                    case 3:
                        u = H * X < Y * W ? Y * 256 / H : X * 256 / W;
                        break;
                    case 1: {
                        const double a = (double)(Y * 256) / H, b = (double)(X * 256) / W;
                        u = (long long)sqrt(a * a + b * b);
                        break;
                    }
                    case 2:
                        u = Y * 256 / (W + H) + X * 256 / (W + H);
                        break;
                    case 4:
                        u = (long long)((double)Y / H * 64 + (double)(W - x) * 191 / W);
                        break;
                    default:
                        u = (long long)((double)(H - y) * 191 / H + (double)X / W * 64);
                        break;
                }
                row[x] = Clip16(reverse ? 255 - u : u);
            }
        }
    }
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
        const DWORD kind = m_params.U32(0);
        const bool bit0 = (m_params.U32(4) & 1) != 0;
        const double count = (double)m_params.U32(1);
        double start = (double)m_params.U32(2);
        if (bit0)
            start = 360.0 - start;
        const long long twist = m_params.U32(3);
        const double D = sqrt((double)w * w + (double)h * h);
        for (int y = 0; y < h; ++y) {
            short* row = base + (size_t)y * w;
            const double ry = 1.0 - 2.0 * (y + 0.5) / h;
            for (int x = 0; x < w; ++x) {
                const double rx = 1.0 - 2.0 * (x + 0.5) / w;
                double m = start + atan2(ry, rx) * 57.29577951289617;
                if (m < 0)
                    m += 360.0;
                if (kind == 0) {
                    const double u = fmod(m * count, 360.0) * 256.0 / 360.0;
                    const long long ui = (long long)u;
                    row[x] = (short)(bit0 ? 255 - ui : ui);
                } else {
                    m = floor(m + 0.9);
                    double tt = fmod(m * count, 360.0);
                    if (bit0)
                        tt = 360.0 - tt;
                    const double dx = x + 0.5 - w / 2.0, dy = y + 0.5 - h / 2.0;
                    const double d = sqrt(dx * dx + dy * dy);
                    const long long v = (long long)((1.0 - d / D) * tt * 256.0 / 360.0);
                    row[x] = (short)((twist * v) % 256);
                }
            }
        }
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
                    b = reverse ? floor(d) + 255 : floor(-d);
                } else if (kind == 1) {
                    const double e = (ss + 1) * 127.95;  // k - e + 255, reversed e - k
                    b = reverse ? floor(e) : floor(255 - e);
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
