// Drop-shadow blend plug-in: the silhouette of a source buffer, displaced,
// blurred with a box filter of running sums, with the source laid over it.
#include <math.h>
#include <string.h>

#include <vector>

#include "aTransPlugin.h"

namespace {

// colour 0xAABBGGRR, angle in degrees, softness and distance in pixels,
// spread in percent; record order.
const ParamDef kShadowParams[] = {{PF_U32, (double)0xFF000000u, PCHK_NONE, 0, 0},
                                  {PF_U16, 135, PCHK_SFALSENEG, 0, 0},
                                  {PF_U16, 5, PCHK_SFALSENEG, 0, 0},
                                  {PF_U16, 5, PCHK_SFALSENEG, 0, 0},
                                  {PF_U16, 0, PCHK_SFALSENEG, 0, 0}};
enum { P_COLOR, P_ANGLE, P_SOFTNESS, P_DISTANCE, P_SPREAD };

long long AwayFromZero(double v) {
    return v < 0 ? -(long long)(-v + 0.5) : (long long)(v + 0.5);
}

class CTransShadow : public CComObjectRootBase, public ITransitionParams, public ITransitionBlend {
public:
    BEGIN_COM_MAP(CTransShadow)
    COM_INTERFACE_ENTRY(ITransitionParams)
    COM_INTERFACE_ENTRY(ITransitionBlend)
    END_COM_MAP()

    CTransShadow() : m_params(kShadowParams, 5) {}

    STDMETHOD(SetParam)(int index, double value) override { return m_params.Set(index, value); }
    STDMETHOD(GetParam)(int index, double* value) override { return m_params.Get(index, value); }
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_TransShadow;
        return S_OK;
    }
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(Load)(ITeskStream* stream) override { return m_params.LoadFields(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return m_params.SaveFields(stream); }

    STDMETHOD(CopyFrom)(IUnknown* other) override {
        if (!other)
            return E_POINTER;
        CComPtr<IShadowProperties> props;
        HRESULT hr = other->QueryInterface(__uuidof(IShadowProperties), (void**)&props);
        if (FAILED(hr))
            return hr;
        DWORD colour = 0;
        int angle = 0, softness = 0, distance = 0, spread = 0;
        props->GetColor(&colour);
        props->GetAngle(&angle);
        props->GetSoftness(&softness);
        props->GetDistance(&distance);
        props->GetSpread(&spread);
        m_params.Set(P_COLOR, (double)colour);
        m_params.Set(P_ANGLE, angle);
        m_params.Set(P_SOFTNESS, softness);
        m_params.Set(P_DISTANCE, distance);
        m_params.Set(P_SPREAD, spread);
        return S_OK;
    }

    STDMETHOD(GetOutputRect)(const RECT* in, RECT* out) override {
        if (!in || !out)
            return E_POINTER;
        long long dx, dy;
        Displacement(&dx, &dy);
        const long long r = m_params.U32(P_SOFTNESS);
        const long long l = in->left + dx - r, t = in->top + dy - r;
        const long long rr = in->right + dx + r, b = in->bottom + dy + r;
        out->left = (LONG)(l < in->left ? l : in->left);
        out->top = (LONG)(t < in->top ? t : in->top);
        out->right = (LONG)(rr > in->right ? rr : in->right);
        out->bottom = (LONG)(b > in->bottom ? b : in->bottom);
        return S_OK;
    }

    STDMETHOD(Render)(IPixelBuffer* source, IPixelBuffer* target) override {
        if (!source || !target)
            return E_POINTER;
        BufferInfo si = {}, ti = {};
        si.dwSize = ti.dwSize = sizeof(BufferInfo);
        si.wMask = ti.wMask = BIM_HEIGHT | BIM_WIDTH;
        if (FAILED(source->GetBufferInfo(&si)) || FAILED(target->GetBufferInfo(&ti)))
            return E_FAIL;
        if (si.nWidth <= 0 || si.nHeight <= 0 || ti.nWidth <= 0 || ti.nHeight <= 0)
            return S_FALSE;
        RECT src = {0, 0, si.nWidth, si.nHeight}, outRect;
        GetOutputRect(&src, &outRect);
        if ((long long)outRect.right - outRect.left != ti.nWidth ||
            (long long)outRect.bottom - outRect.top != ti.nHeight)
            return S_FALSE;
        long long dx, dy;
        Displacement(&dx, &dy);
        const int sx = -outRect.left, sy = -outRect.top;     // source in the output
        const int hx = (int)(dx + sx), hy = (int)(dy + sy);  // shadow in the output

        HRESULT hr = ScopedUseBegin(target, PIXLOCK_WRITE);
        if (FAILED(hr))
            return hr;
        hr = ScopedUseBegin(source, PIXLOCK_READ);
        if (FAILED(hr)) {
            ScopedUseEnd(target);
            return hr;
        }
        si.wMask = ti.wMask = BIM_GEOMETRY;
        if (FAILED(source->GetBufferInfo(&si)) || FAILED(target->GetBufferInfo(&ti)) ||
            !si.pPixels || !ti.pPixels) {
            ScopedUseEnd(source);
            ScopedUseEnd(target);
            return E_FAIL;
        }
        const int W = ti.nWidth, H = ti.nHeight;
        auto T = [&](int x, int y) -> DWORD& {
            return ((DWORD*)(ti.pPixels + (size_t)y * ti.nPitch))[x];
        };
        auto S = [&](int x, int y) -> DWORD {
            return ((const DWORD*)(si.pPixels + (size_t)y * si.nPitch))[x];
        };
        for (int y = 0; y < H; ++y) memset(&T(0, y), 0, (size_t)W * 4);

        const DWORD cref = m_params.U32(P_COLOR);
        const DWORD rgb = ((cref & 0xFF) << 16) | (cref & 0xFF00) | ((cref >> 16) & 0xFF);
        const DWORD ca = cref >> 24;
        // Silhouette.
        for (int y = 0; y < si.nHeight; ++y) {
            for (int x = 0; x < si.nWidth; ++x) {
                const DWORD a = S(x, y) >> 24;
                if (a)
                    T(x + hx, y + hy) = rgb | ((ca * a / 255) << 24);
            }
        }
        // Blur of the alpha channel over (2r + 1)^2 with running sums.
        const int r = (int)m_params.U32(P_SOFTNESS);
        if (r > 0) {
            const double spread = 1.0 + m_params.U32(P_SPREAD) * 0.01;
            const double area = (double)(2 * r + 1) * (2 * r + 1);
            std::vector<long long> rowSum((size_t)W * H);
            for (int y = 0; y < H; ++y) {
                long long sum = 0;
                for (int x = 0; x <= r && x < W; ++x) sum += T(x, y) >> 24;
                for (int x = 0; x < W; ++x) {
                    rowSum[(size_t)y * W + x] = sum;
                    if (x + r + 1 < W)
                        sum += T(x + r + 1, y) >> 24;
                    if (x - r >= 0)
                        sum -= T(x - r, y) >> 24;
                }
            }
            std::vector<long long> col((size_t)W, 0);
            for (int y = 0; y <= r && y < H; ++y)
                for (int x = 0; x < W; ++x) col[(size_t)x] += rowSum[(size_t)y * W + x];
            for (int y = 0; y < H; ++y) {
                for (int x = 0; x < W; ++x) {
                    long long v = (long long)floor((double)col[(size_t)x] * spread / area + 0.5);
                    if (v > (long long)ca)
                        v = ca;
                    T(x, y) = v ? (rgb | ((DWORD)v << 24)) : (T(x, y) & 0x00FFFFFFu);
                }
                for (int x = 0; x < W; ++x) {
                    if (y + r + 1 < H)
                        col[(size_t)x] += rowSum[(size_t)(y + r + 1) * W + x];
                    if (y - r >= 0)
                        col[(size_t)x] -= rowSum[(size_t)(y - r) * W + x];
                }
            }
        }
        // The source over the shadow.
        for (int y = 0; y < si.nHeight; ++y) {
            for (int x = 0; x < si.nWidth; ++x) {
                const DWORD s = S(x, y);
                DWORD& t = T(x + sx, y + sy);
                const DWORD sa = s >> 24;
                if (sa == 255) {
                    t = s;
                    continue;
                }
                const DWORD ta = t >> 24;
                DWORD out = (ta + sa - ta * sa / 255) << 24;
                for (int sh = 0; sh < 24; sh += 8) {
                    const DWORD sc = (s >> sh) & 0xFF, tc = (t >> sh) & 0xFF;
                    out |= ((sa * sc + (255 - sa) * tc + 128) / 255) << sh;
                }
                t = out;
            }
        }
        ScopedUseEnd(source);
        ScopedUseEnd(target);
        return S_OK;
    }

private:
    void Displacement(long long* dx, long long* dy) const {
        const double a = (double)m_params.U32(P_ANGLE) * 0.01745329252;
        const double d = (double)m_params.U32(P_DISTANCE);
        *dx = AwayFromZero(-cos(a) * d);
        *dy = AwayFromZero(sin(a) * d);
    }

    CParamSet m_params;
};

}  // namespace

HRESULT CreateTransShadow(REFIID iid, void** out) {
    return CreatePluginObject<CTransShadow>(iid, out);
}
