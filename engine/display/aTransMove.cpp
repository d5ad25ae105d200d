// Move plug-in: the content slides in from a side or corner, or grows from
// an edge, a corner or the centre.
#include <math.h>

#include "aTransPlugin.h"

namespace {

const ParamDef kMoveParams[] = {{PF_U32, 0, PCHK_FAIL, 0, 16}};

// trunc(x * n + 0.5) for x clamped to 0..1, in 64 bits.
long long Part(double x, long long n) {
    return (long long)(ClampProgress(x) * (double)n + 0.5);
}

class CTransMove : public CComObjectRootBase, public ITransitionParams, public ITransitionMove {
public:
    BEGIN_COM_MAP(CTransMove)
    COM_INTERFACE_ENTRY(ITransitionParams)
    COM_INTERFACE_ENTRY(ITransitionMove)
    END_COM_MAP()

    CTransMove() : m_params(kMoveParams, 1), m_count(0) {}

    STDMETHOD(SetParam)(int index, double value) override { return m_params.Set(index, value); }
    STDMETHOD(GetParam)(int index, double* value) override { return m_params.Get(index, value); }

    STDMETHOD(GetClassID)(CLSID* clsid) override {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_TransMove;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream* stream) override { return m_params.LoadFields(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return m_params.SaveFields(stream); }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(Reserved9)() override { return S_OK; }

    STDMETHOD(MoveRect)(const RECT* rect, double x, RECT* out) override {
        if (!rect || !out)
            return E_POINTER;
        const long long L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
        const long long W = R - L, H = B - T;
        const long long a = Part(x, W), b = Part(x, H);
        long long l = L, t = T, r = R, bo = B, dx = 0, dy = 0;
        const int kind = m_params.Int(0);
        switch (kind) {
            case 0:
                dx = a - W;
                break;
            case 1:
                dx = W - a;
                break;
            case 2:
                dy = b - H;
                break;
            case 3:
                dy = H - b;
                break;
            case 4:
                dx = a - W;
                dy = b - H;
                break;
            case 5:
                dx = W - a;
                dy = b - H;
                break;
            case 6:
                dx = a - W;
                dy = H - b;
                break;
            case 7:
                dx = W - a;
                dy = H - b;
                break;
            case 8:
                r = L + a;
                break;
            case 9:
                l = R - a;
                break;
            case 10:
                bo = T + b;
                break;
            case 11:
                t = B - b;
                break;
            case 12:
                bo = T + b;
                r = L + a;
                break;
            case 13:
                bo = T + b;
                l = R - a;
                break;
            case 14:
                t = B - b;
                r = L + a;
                break;
            case 15:
                t = B - b;
                l = R - a;
                break;
            default:
                if (kind < 0)
                    break;
                t = (T + B - b) / 2;
                l = (R + L - a) / 2;
                bo = t + b;
                r = l + a;
                break;
        }
        out->left = (LONG)(l + dx);
        out->right = (LONG)(r + dx);
        out->top = (LONG)(t + dy);
        out->bottom = (LONG)(bo + dy);
        return S_OK;
    }

    STDMETHOD(GetUncoveredRects)
    (const RECT* rect, double x, int* count, const RECT** rects) override {
        if (!rect || !count || !rects)
            return E_POINTER;
        const LONG L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
        const LONG e = (LONG)Part(x, (long long)R - L), h = (LONG)Part(x, (long long)B - T);
        m_count = 0;
        switch (m_params.Int(0)) {
            case 0:
            case 8:
                Add(L + e, T, R, B);
                break;
            case 1:
            case 9:
                Add(L, T, R - e, B);
                break;
            case 2:
            case 10:
                Add(L, T + h, R, B);
                break;
            case 3:
            case 11:
                Add(L, T, R, B - h);
                break;
            case 4:
            case 12:
                Add(L + e, T, R, T + h);
                Add(L, T + h, R, B);
                break;
            case 5:
            case 13:
                Add(L, T, R - e, T + h);
                Add(L, T + h, R, B);
                break;
            case 6:
            case 14:
                Add(L, T, R, B - h);
                Add(L + e, B - h, R, B);
                break;
            case 7:
            case 15:
                Add(L, T, R, B - h);
                Add(L, B - h, R - e, B);
                break;
            default: {
                if (m_params.Int(0) < 0)
                    break;
                const LONG l = (LONG)(((long long)B - T - h + 1) / 2);
                const LONG o = (LONG)(((long long)R - L - e + 1) / 2);
                Add(L, T, R, T + l);
                Add(L, B - l, R, B);
                Add(L, T + l, L + o, B - l);
                Add(R - o, T + l, R, B - l);
                break;
            }
        }
        *count = m_count;
        *rects = m_rects;
        return S_OK;
    }

private:
    void Add(LONG l, LONG t, LONG r, LONG b) { m_rects[m_count++] = RECT{l, t, r, b}; }

    CParamSet m_params;
    RECT m_rects[4];
    int m_count;
};

}  // namespace

HRESULT CreateTransMove(REFIID iid, void** out) {
    return CreatePluginObject<CTransMove>(iid, out);
}
