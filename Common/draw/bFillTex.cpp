// The texture fill (see bFillTex.h).
#include "bFillTex.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "aPixBuf.h"
#include "bFillInner.h"
#include "bGrphLib.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

inline int RoundHalfUp(double v) {
    return (int)floor(v + 0.5);
}

inline DWORD Entry(int blue, int green, int red, BYTE alpha) {
    return ((DWORD)alpha << 24) | ((DWORD)(red & 0xFF) << 16) | ((DWORD)(green & 0xFF) << 8) |
           (DWORD)(blue & 0xFF);
}

// The generator every field starts from, so that a size always gives the
// same field.
class FieldRandom {
public:
    FieldRandom() : m_x(1) {}
    int Next() {
        m_x = m_x * 214013u + 2531011u;
        return (int)((m_x >> 16) & 0x7FFF);
    }

private:
    unsigned m_x;
};

class FieldBuilder {
public:
    FieldBuilder(BYTE* field, int width) : m_field(field), m_width(width) {}

    void Corners(int w, int h) {
        At(0, 0) = (BYTE)(m_rand.Next() % 254 + 1);
        At(w - 1, 0) = (BYTE)(m_rand.Next() % 254 + 1);
        At(w - 1, h - 1) = (BYTE)(m_rand.Next() % 254 + 1);
        At(0, h - 1) = (BYTE)(m_rand.Next() % 254 + 1);
    }

    void Subdivide(int x0, int y0, int x1, int y1) {
        while (x1 - x0 > 1 || y1 - y0 > 1) {
            // The midpoints without the sum, which may not fit.
            int mx = x0 + (x1 - x0) / 2, my = y0 + (y1 - y0) / 2;
            // The corners are set and no midpoint falls on one while the
            // loop runs, so they are read once.
            BYTE* top = Row(y0);
            BYTE* bottom = Row(y1);
            int c00 = top[x0], c10 = top[x1], c11 = bottom[x1], c01 = bottom[x0];
            Edge(top[mx], c00, c10, x1 - x0, m_across);
            Edge(Row(my)[x1], c10, c11, y1 - y0, m_down);
            Edge(bottom[mx], c01, c11, x1 - x0, m_across);
            Edge(Row(my)[x0], c00, c01, y1 - y0, m_down);
            Row(my)[mx] = (BYTE)((c00 + c10 + c11 + c01 + 2) / 4);
            // A quadrant equal to one already done would change nothing (its
            // edges are set and its corners unchanged): it is skipped, so a
            // one-pixel-wide field costs no more than its size.
            // Quadrants of no more than one pixel's span have nothing to
            // set: not called at all.
            if (mx - x0 > 1 || my - y0 > 1)
                Subdivide(x0, y0, mx, my);
            if (x0 != x1 && (x1 - mx > 1 || my - y0 > 1))
                Subdivide(mx, y0, x1, my);
            if (y0 != y1 && (x1 - mx > 1 || y1 - my > 1))
                Subdivide(mx, my, x1, y1);
            if (x0 == x1 || y0 == y1)
                return;
            x1 = mx;
            y0 = my;
        }
    }

private:
    // rand mod 2d without a division: d (16-bit) belongs to the spans of
    // one direction, which change only between levels, so its reciprocal
    // is kept. A value below 2^15 times the reciprocal rounded up gives the
    // exact quotient for divisors up to 2^16.
    struct Divisor {
        int span = -1;
        int d = 0;
        unsigned m = 0;
        unsigned long long inverse = 0;
        void Set(int s) {
            span = s;
            d = (short)s;
            m = (unsigned)std::abs(2 * d);
            inverse = m ? (1ULL << 32) / m + 1 : 0;
        }
        // The C remainder r % (2d) for 0 <= r < 2^15: the sign of 2d does
        // not matter.
        int Remainder(unsigned r) const {
            unsigned q = (unsigned)((r * inverse) >> 32);
            return (int)(r - q * m);
        }
    };

    BYTE& At(int x, int y) { return m_field[(size_t)y * m_width + x]; }
    BYTE* Row(int y) { return m_field + (size_t)y * m_width; }

    void Edge(BYTE& v, int a, int b, int span, Divisor& div) {
        if (v != 0)
            return;
        if (span != div.span)
            div.Set(span);
        int value = (a + b + 1) / 2;
        if (div.d == 0)
            value += 1;
        else
            value += div.Remainder((unsigned)m_rand.Next()) - div.d;
        v = (BYTE)std::max(1, std::min(255, value));
    }

    BYTE* m_field;
    int m_width;
    FieldRandom m_rand;
    Divisor m_across;
    Divisor m_down;
};

}  // namespace

void GenerateTextureField(BYTE* field, int width, int height) {
    if (!field || width <= 0 || height <= 0)
        return;
    memset(field, 0, (size_t)width * height);
    FieldBuilder builder(field, width);
    builder.Corners(width, height);
    builder.Subdivide(0, 0, width - 1, height - 1);
}

void BuildTexturePalette(int type, BYTE alpha, DWORD palette[256]) {
    int b[256] = {}, g[256] = {}, r[256] = {};
    int scale = 4;
    switch (type) {
        case 0:
            for (int i = 0; i < 256; ++i) {
                b[i] = 63;
                g[i] = r[i] = RoundHalfUp(abs(i - 127) * 63.0 / 127);
            }
            break;
        case 1:
            scale = 1;
            for (int i = 0; i < 256; ++i) {
                b[i] = 255;
                int v = SinCent(RoundHalfUp(i * 18000.0 / 255)) * 255 / 10000;
                g[i] = r[i] = std::max(0, std::min(255, v));
            }
            break;
        case 2:
            b[0] = 63;
            g[0] = 1;
            for (int k = 1; k <= 85; ++k) {
                int p = RoundHalfUp(63.0 * k / 85), q = RoundHalfUp(63.0 * (86 - k) / 85);
                b[k] = q, g[k] = p, r[k] = 0;
                b[85 + k] = 0, g[85 + k] = q, r[85 + k] = p;
                b[170 + k] = p, g[170 + k] = 0, r[170 + k] = q;
            }
            for (int i = 0; i < 256; ++i) {
                b[i] = std::min(63, b[i]);
                g[i] = std::min(63, g[i]);
                r[i] = std::min(63, r[i]);
            }
            break;
        case 3:
            for (int i = -18; i <= 0; ++i) {
                b[118 + i] = 32;
                g[118 + i] = RoundHalfUp(21.0 * -i / 18);
                r[118 + i] = RoundHalfUp(63.0 * -i / 18);
            }
            break;
        default:
            // Seven bands; entries 252-255 stay black.
            for (int band = 0; band < 7; ++band)
                for (int j = 0; j < 36; ++j) {
                    int i = band * 36 + j, v = RoundHalfUp(1.8 * j);
                    int bits = band + 1;  // 1 blue, 2 green, 4 red
                    b[i] = (bits & 1) ? v : 0;
                    g[i] = (bits & 2) ? v : 0;
                    r[i] = (bits & 4) ? v : 0;
                }
            break;
    }
    for (int i = 0; i < 256; ++i)
        palette[i] = Entry(b[i] * scale, g[i] * scale, r[i] * scale, alpha);
}

namespace {

class CTextureFill : public FillBase, public ITextureFillParams {
public:
    // Bounds of more pixels than this get a field for the part inside the
    // buffer only (a page is far smaller).
    enum { FULL_FIELD_LIMIT = 4096 * 4096 };

    CTextureFill() : m_textureType(0), m_width(0), m_height(0), m_left(0), m_top(0) {
        memset(m_palette, 0, sizeof(m_palette));
    }

    HRESULT Load(ITeskStream* stream) override {
        int type;
        stream->Read(&type, 4);
        SetTextureType(type);
        return S_OK;
    }
    HRESULT Save(ITeskStream* stream) override {
        stream->Write(&m_textureType, 4);
        return S_OK;
    }
    HRESULT Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                   IPlayerSite*) override;
    HRESULT CopyFrom(FillObject* other) override {
        ITextureFillParams* p = nullptr;
        if (FAILED(other->GetFillParams(reinterpret_cast<void**>(&p))) || !p)
            return E_FAIL;
        int type = 0;
        p->GetTextureType(&type);
        return SetTextureType(type);
    }
    HRESULT Interpolate(FillObject*, FillObject*, int) override {
        LOG_MSG("CTextureFill::InterpolateFill not support now");
        return E_NOTIMPL;
    }
    void* GetParams() override { return static_cast<ITextureFillParams*>(this); }

    STDMETHOD(SetTextureType)(int type) override {
        m_textureType = type;
        m_field.clear();
        m_field.shrink_to_fit();
        m_width = m_height = 0;
        return S_OK;
    }
    STDMETHOD(GetTextureType)(int* type) override {
        if (!type)
            return E_POINTER;
        *type = m_textureType;
        return S_OK;
    }

private:
    int m_textureType;
    DWORD m_palette[256];
    std::vector<BYTE> m_field;
    // The field's size and its top-left relative to the bounds' top-left.
    int m_width;
    int m_height;
    long long m_left;
    long long m_top;
};

HRESULT CTextureFill::Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                             IPlayerSite*) {
    m_alpha = alpha;
    if (!bounds || !buffer || !clip)
        return E_POINTER;
    const long long bw = (long long)bounds->right - bounds->left,
                    bh = (long long)bounds->bottom - bounds->top;
    if (bw <= 0 || bh <= 0)
        return S_OK;
    HRESULT hr = ScopedUseBegin(buffer, PIXLOCK_WRITE);
    if (FAILED(hr))
        return hr;
    BufferInfo info = ReadBufferInfo(buffer);
    // The field covers the bounds, or for huge bounds the part of them
    // inside the buffer; positions relative to the bounds' top-left.
    long long left = 0, top = 0, w = bw, h = bh;
    if (bw > FULL_FIELD_LIMIT || bh > FULL_FIELD_LIMIT || bw * bh > FULL_FIELD_LIMIT) {
        left = std::max(0LL, -(long long)bounds->left);
        top = std::max(0LL, -(long long)bounds->top);
        w = std::min(bw, (long long)info.nWidth - bounds->left) - left;
        h = std::min(bh, (long long)info.nHeight - bounds->top) - top;
    }
    if (w <= 0 || h <= 0) {
        ScopedUseEnd(buffer);
        return S_OK;
    }
    if (m_field.empty() || m_width != w || m_height != h || m_left != left || m_top != top) {
        try {
            m_field.resize((size_t)(w * h));
        } catch (const std::bad_alloc&) {
            ScopedUseEnd(buffer);
            m_width = m_height = 0;
            return E_OUTOFMEMORY;
        }
        m_width = (int)w;
        m_height = (int)h;
        m_left = left;
        m_top = top;
        BuildTexturePalette(m_textureType, alpha, m_palette);
        GenerateTextureField(m_field.data(), m_width, m_height);
    }
    // The clip inside the field, in buffer coordinates.
    RECT c = *clip;
    const long long fx = bounds->left + left, fy = bounds->top + top;
    if (info.pPixels && ClipToBuffer(&c, info)) {
        long long x0 = std::max<long long>(c.left, fx), x1 = std::min<long long>(c.right, fx + w);
        long long y0 = std::max<long long>(c.top, fy), y1 = std::min<long long>(c.bottom, fy + h);
        for (long long y = y0; y < y1 && x0 < x1; ++y) {
            DWORD* d = reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch);
            const BYTE* f = m_field.data() + (size_t)((y - fy) * w + (x0 - fx));
            for (long long x = x0; x < x1; ++x) d[x] = m_palette[*f++];
        }
    }
    ScopedUseEnd(buffer);
    return S_OK;
}

}  // namespace

FillBase* CreateTextureFill() {
    return new (std::nothrow) CTextureFill();
}
