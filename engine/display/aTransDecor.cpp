// Decoration plug-ins: twinkling corner stars and a moving patterned edge,
// drawn with GDI into the target buffer from the play time.
#include "aTransPlugin.h"

namespace {

const ParamDef kDecorParams[] = {{PF_U32, 0, PCHK_FAIL, 0, 3}, {PF_U32, 255, PCHK_NONE, 0, 0}};

class CDecorBase : public CComObjectRootBase, public ITransitionParams, public ITransitionDecor {
public:
    BEGIN_COM_MAP(CDecorBase)
    COM_INTERFACE_ENTRY(ITransitionParams)
    COM_INTERFACE_ENTRY(ITransitionDecor)
    END_COM_MAP()

    explicit CDecorBase(const CLSID& clsid) : m_clsid(clsid), m_params(kDecorParams, 2) {}
    virtual ~CDecorBase() {}

    STDMETHOD(SetParam)(int index, double value) override { return m_params.Set(index, value); }
    STDMETHOD(GetParam)(int index, double* value) override { return m_params.Get(index, value); }
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        if (!clsid)
            return E_POINTER;
        *clsid = m_clsid;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream* stream) override { return m_params.LoadFields(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return m_params.SaveFields(stream); }
    STDMETHOD(Reserved6)() override { return S_OK; }

protected:
    const CLSID& m_clsid;
    CParamSet m_params;
};

// Decoration 11: a star per phase at the corners of the shrunk rectangle.
class CTransStars : public CDecorBase {
public:
    CTransStars() : CDecorBase(CLSID_TransStars) {}

    STDMETHOD(Draw)(IPixelBuffer* target, const RECT* rect, DWORD t) override {
        if (!target || !rect)
            return E_POINTER;
        const long long W = (long long)rect->right - rect->left;
        const long long H = (long long)rect->bottom - rect->top;
        const long long s = (W < H ? W : H) / 8;
        const DWORD corner = m_params.U32(0);
        if (s <= 0 || corner > 3)
            return S_OK;
        const RECT r = {(LONG)(rect->left + s), (LONG)(rect->top + s), (LONG)(rect->right - s),
                        (LONG)(rect->bottom - s)};
        const long long c = (long long)(t % 1000) * 6;
        const int phase = (int)(c / 2000);
        const long long g = llabs(1000 - c % 2000);
        const POINT TL = {r.left, r.top}, TR = {r.right, r.top}, BL = {r.left, r.bottom},
                    BR = {r.right, r.bottom};
        // Corner table: per corner setting, the stars of phases 0, 1 (two), 2.
        const POINT* stars[4][4] = {
            {&TR, &TL, &BR, &BL}, {&TL, &BL, &TR, &BR}, {&BR, &BL, &TR, &TL}, {&BL, &TL, &BR, &TR}};
        HDC dc = nullptr;
        HRESULT hr = target->GetDC(&dc);
        if (FAILED(hr) || !dc)
            return FAILED(hr) ? hr : E_FAIL;
        HPEN pen = CreatePen(PS_SOLID, 1, (COLORREF)m_params.U32(1));
        HGDIOBJ old = SelectObject(dc, pen);
        const long long a = g * s / 1000;
        if (phase == 1) {
            Star(dc, *stars[corner][1], a, s);
            Star(dc, *stars[corner][2], a, s);
        } else {
            Star(dc, *stars[corner][phase == 0 ? 0 : 3], a, s);
        }
        SelectObject(dc, old);
        DeleteObject(pen);
        target->ReleaseDC(dc);
        return S_OK;
    }

private:
    static void Star(HDC dc, POINT p, long long a, long long s) {
        if (a > 0) {
            MoveToEx(dc, (int)(p.x - a), p.y, nullptr);
            LineTo(dc, (int)(p.x + a), p.y);
            MoveToEx(dc, p.x, (int)(p.y - a), nullptr);
            LineTo(dc, p.x, (int)(p.y + a));
        }
        if (a != s) {
            const long long d = s - a;
            MoveToEx(dc, (int)(p.x - d), (int)(p.y - d), nullptr);
            LineTo(dc, (int)(p.x + d), (int)(p.y + d));
            MoveToEx(dc, (int)(p.x - d), (int)(p.y + d), nullptr);
            LineTo(dc, (int)(p.x + d), (int)(p.y - d));
        }
    }
};

// Decoration 12: a column or row of the pattern bitmap moving across.
class CTransEdge : public CDecorBase {
public:
    CTransEdge() : CDecorBase(CLSID_TransEdge) {}

    STDMETHOD(Draw)(IPixelBuffer* target, const RECT* rect, DWORD t) override {
        if (!target || !rect)
            return E_POINTER;
        const DWORD direction = m_params.U32(0);
        if (direction > 3)
            return S_OK;
        const long long L = rect->left, T = rect->top, R = rect->right, B = rect->bottom;
        const long long W = R - L, H = B - T;
        const long long q = t % 1000;
        HBITMAP bmp = LoadEdgeBitmap(direction < 2 ? 6112 : 6111);
        if (!bmp)
            return E_OUTOFMEMORY;
        BITMAP bm = {};
        GetObject(bmp, sizeof(bm), &bm);
        HDC dc = nullptr;
        HRESULT hr = target->GetDC(&dc);
        if (FAILED(hr) || !dc) {
            DeleteObject(bmp);
            return FAILED(hr) ? hr : E_FAIL;
        }
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ oldBmp = SelectObject(mem, bmp);
        const COLORREF oldText = GetTextColor(dc), oldBk = GetBkColor(dc);
        const long long bw = bm.bmWidth, bh = bm.bmHeight;
        auto copy = [&](long long x, long long y) {
            // OR makes the 0 bits white, AND then gives them the colour;
            // the 1 bits leave the target as it was.
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkColor(dc, RGB(0, 0, 0));
            BitBlt(dc, (int)x, (int)y, (int)bw, (int)bh, mem, 0, 0, SRCPAINT);
            SetTextColor(dc, (COLORREF)m_params.U32(1));
            SetBkColor(dc, RGB(255, 255, 255));
            BitBlt(dc, (int)x, (int)y, (int)bw, (int)bh, mem, 0, 0, SRCAND);
        };
        if (direction < 2) {
            const long long x = direction == 0 ? L + q * W / 1000 : R - q * W / 1000;
            if (x - bw / 2 >= L && x + bw / 2 <= R) {
                for (long long y = T; bh > 0 && y + bh <= B; y += bh) copy(x - bw, y);
            }
        } else {
            const long long y = direction == 2 ? T + q * H / 1000 : B - q * H / 1000;
            if (y - bh / 2 >= T && y + bh / 2 <= B) {
                for (long long x = L; bw > 0 && x + bw <= R; x += bw) copy(x, y - bh);
            }
        }
        SetTextColor(dc, oldText);
        SetBkColor(dc, oldBk);
        SelectObject(mem, oldBmp);
        DeleteDC(mem);
        DeleteObject(bmp);
        target->ReleaseDC(dc);
        return S_OK;
    }
};

}  // namespace

HBITMAP LoadEdgeBitmap(int id) {
    // The program's own resources first; the same patterns in memory where
    // the module has none (the tests).
    if (id == 6111 || id == 6112) {
        HBITMAP res = (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                          IMAGE_BITMAP, 0, 0, LR_MONOCHROME);
        if (res)
            return res;
    }
    // Our own patterns: a column 8 wide and 16 high (6112) and its row form
    // 16 wide and 8 high (6111): a thin solid edge with a dotted fringe.
    // Rows are 16 bits; 0 bits take the colour.
    static const WORD kColumn[16] = {0xFC00, 0xFA00, 0xFC00, 0xFA00, 0xFC00, 0xFA00,
                                     0xFC00, 0xFA00, 0xFC00, 0xFA00, 0xFC00, 0xFA00,
                                     0xFC00, 0xFA00, 0xFC00, 0xFA00};
    static const WORD kRow[8] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x5555, 0x0000, 0x0000};
    // Monochrome bitmap rows are little-endian words read from the high bit:
    // swap bytes so that the pattern reads as written.
    WORD bits[16];
    const WORD* src = id == 6112 ? kColumn : kRow;
    const int rows = id == 6112 ? 16 : 8;
    for (int i = 0; i < rows; ++i) bits[i] = (WORD)((src[i] >> 8) | (src[i] << 8));
    if (id == 6112)
        return CreateBitmap(8, 16, 1, 1, bits);
    if (id == 6111)
        return CreateBitmap(16, 8, 1, 1, bits);
    return nullptr;
}

HRESULT CreateTransStars(REFIID iid, void** out) {
    return CreatePluginObject<CTransStars>(iid, out);
}
HRESULT CreateTransEdge(REFIID iid, void** out) {
    return CreatePluginObject<CTransEdge>(iid, out);
}
