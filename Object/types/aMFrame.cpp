#include "aMFrame.h"

#include <new>

#include "bStorage.h"
#include "aPixBuf.h"
#include "bFillShd.h"
#include "bTraceLog.h"

namespace {

// Band kinds of PaintBand.
enum BandKind { BAND_TOPLEFT = 0, BAND_BOTTOMRIGHT = 1, BAND_RING = 2 };

const COLORREF kDefaultFillColor = 0xD2FFFF;

// Paints a band of width w on r in colour c with the selected (null) pen;
// r becomes the inner rectangle.
void PaintBand(HDC dc, RECT* r, int w, COLORREF c, int kind) {
    int halfW = (r->right - r->left) / 2, halfH = (r->bottom - r->top) / 2;
    if (w > halfW)
        w = halfW;
    if (w > halfH)
        w = halfH;
    RECT in = {r->left + w, r->top + w, r->right - w, r->bottom - w};
    HBRUSH brush = CreateSolidBrush(c);
    HGDIOBJ old = SelectObject(dc, brush);
    if (kind == BAND_TOPLEFT) {
        POINT p[6] = {{r->left, r->bottom}, {r->left, r->top}, {r->right, r->top},
                      {in.right, in.top},   {in.left, in.top}, {in.left, in.bottom}};
        Polygon(dc, p, 6);
    } else if (kind == BAND_BOTTOMRIGHT) {
        POINT p[6] = {{r->right, r->top},   {r->right, r->bottom}, {r->left, r->bottom},
                      {in.left, in.bottom}, {in.right, in.bottom}, {in.right, in.top}};
        Polygon(dc, p, 6);
    } else {
        POINT p[8] = {{r->left, r->top},     {r->right, r->top},  {r->right, r->bottom},
                      {r->left, r->bottom},  {in.left, in.top},   {in.right, in.top},
                      {in.right, in.bottom}, {in.left, in.bottom}};
        INT counts[2] = {4, 4};
        int oldMode = SetPolyFillMode(dc, ALTERNATE);
        PolyPolygon(dc, p, counts, 2);
        SetPolyFillMode(dc, oldMode);
    }
    SelectObject(dc, old);
    DeleteObject(brush);
    *r = in;
}

class MediaFrame : public CComObjectRootBase, public IMediaFrame {
public:
    BEGIN_COM_MAP(MediaFrame)
    COM_INTERFACE_ENTRY(IMediaFrame)
    END_COM_MAP()

    MediaFrame()
        : m_outerLight(0xFFFFFF),
          m_outerDark(0x7F7F7F),
          m_middle(0xBFBFBF),
          m_innerFirst(0x7F7F7F),
          m_innerSecond(0xFFFFFF),
          m_outline(0),
          m_outerWidth(0),
          m_middleWidth(0),
          m_innerWidth(0),
          m_flags(MFFLAG_OUTLINE | MFFLAG_SHOWN),
          m_upperFlags(0),
          m_fill(nullptr),
          m_owner(nullptr) {}
    HRESULT FinalConstruct() {
        m_fill = CreateFillObject();
        if (!m_fill)
            return E_FAIL;
        m_fill->SetMode(FILLMODE_NONE);
        SetFillColor(kDefaultFillColor);
        return S_OK;
    }
    void FinalRelease() { Destroy(0); }

    STDMETHOD(GetThickness)(WORD* out) override {
        if (!out)
            return E_POINTER;
        *out = Thickness();
        return S_OK;
    }
    STDMETHOD(SetWidth)(int part, WORD width) override {
        WORD* field = WidthField(part);
        if (!field)
            return E_FAIL;
        *field = width;
        RefreshOwner();
        return S_OK;
    }
    STDMETHOD(GetWidth)(int part, WORD* out) override {
        WORD* field = WidthField(part);
        if (!field)
            return E_FAIL;
        if (!out)
            return E_POINTER;
        *out = *field;
        return S_OK;
    }
    STDMETHOD(SetColor)(int part, int shade, COLORREF color) override {
        COLORREF *first = nullptr, *second = nullptr;
        if (part == MFPART_OUTER)
            first = &m_outerLight, second = &m_outerDark;
        else if (part == MFPART_INNER)
            first = &m_innerFirst, second = &m_innerSecond;
        if (part == MFPART_MIDDLE && shade == MFSHADE_BOTH)
            m_middle = color;
        else if (first && shade == MFSHADE_FIRST)
            *first = color;
        else if (first && shade == MFSHADE_SECOND)
            *second = color;
        else if (first && shade == MFSHADE_BOTH)
            *first = *second = color;
        else
            return E_INVALIDARG;
        InvalidateOwner();
        return S_OK;
    }
    STDMETHOD(GetColor)(int part, int shade, COLORREF* out) override {
        const COLORREF* field = nullptr;
        if (part == MFPART_MIDDLE && shade >= 0 && shade <= 2)
            field = &m_middle;
        else if (part == MFPART_OUTER && (shade == 0 || shade == 1))
            field = shade ? &m_outerDark : &m_outerLight;
        else if (part == MFPART_INNER && (shade == 0 || shade == 1))
            field = shade ? &m_innerSecond : &m_innerFirst;
        if (!field)
            return E_INVALIDARG;
        if (!out)
            return E_POINTER;
        *out = *field;
        return S_OK;
    }
    STDMETHOD_(int, GetInnerRect)(const RECT* rect, RECT* out) override {
        if (!rect || !out)
            return 0;
        *out = *rect;
        if (!(m_flags & MFFLAG_SHOWN))
            return 0;
        LONG t = Thickness();
        LONG w = rect->right - rect->left, h = rect->bottom - rect->top;
        LONG c = (w < h ? w : h) / 2;
        int answer = 0;
        if (t >= c) {
            t = c;
            answer = 1;
        }
        InflateRect(out, -t, -t);
        return answer;
    }
    STDMETHOD_(int, IsHidden)() override { return (m_flags & MFFLAG_SHOWN) ? 0 : 1; }
    STDMETHOD(SetShown)(BOOL on) override {
        SetFlag(MFFLAG_SHOWN, on & 1);
        RefreshOwner();
        return S_OK;
    }
    STDMETHOD(GetOutline)(BOOL* out) override {
        if (!out)
            return E_POINTER;
        *out = m_flags & MFFLAG_OUTLINE;
        return S_OK;
    }
    STDMETHOD(SetOutline)(BOOL on) override {
        SetFlag(MFFLAG_OUTLINE, on & 1);
        RefreshOwner();
        return S_OK;
    }
    STDMETHOD(SetOutlineColor)(COLORREF color) override {
        m_outline = color;
        InvalidateOwner();
        return S_OK;
    }
    STDMETHOD(GetOutlineColor)(COLORREF* out) override {
        if (!out)
            return E_POINTER;
        *out = m_outline;
        return S_OK;
    }
    STDMETHOD(GetFill)(FillObject** out) override {
        if (!out)
            return E_POINTER;
        *out = m_fill;
        if (m_fill)
            m_fill->AddRef();
        return S_OK;
    }
    STDMETHOD(SetOwner)(II_IRender* owner) override {
        m_owner = owner;
        return S_OK;
    }
    STDMETHOD(GetOwner)(II_IRender** out) override {
        if (!out)
            return E_POINTER;
        *out = m_owner;
        return S_OK;
    }
    STDMETHOD(Draw)
    (IPixelBuffer* target, const RECT* rect, const RECT* clip, IPlayerSite* site) override;
    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(CopyFrom)(IMediaFrame* other) override;
    STDMETHOD(LoadAlternative)(ITeskStream* stream) override;
    STDMETHOD_(void, Destroy)(UINT) override {
        if (m_fill)
            m_fill->Release();
        m_fill = nullptr;
    }

private:
    WORD Thickness() const {
        return (WORD)((m_flags & MFFLAG_OUTLINE) + m_outerWidth + m_middleWidth + m_innerWidth);
    }
    WORD* WidthField(int part) {
        switch (part) {
            case MFPART_OUTER:
                return &m_outerWidth;
            case MFPART_MIDDLE:
                return &m_middleWidth;
            case MFPART_INNER:
                return &m_innerWidth;
        }
        return nullptr;
    }
    void SetFlag(WORD bit, BOOL on) { m_flags = (WORD)(on ? (m_flags | bit) : (m_flags & ~bit)); }
    void SetFillColor(COLORREF color) {
        void* params = nullptr;
        if (m_fill && SUCCEEDED(m_fill->SetFillType(FILL_SOLID)) &&
            SUCCEEDED(m_fill->GetFillParams(&params)) && params)
            static_cast<ISolidFillParams*>(params)->SetColor(color);
    }
    void RefreshOwner() {
        if (m_owner) {
            m_owner->Reserved38();
            m_owner->UnionInvalid();
        }
    }
    void InvalidateOwner() {
        if (m_owner)
            m_owner->UnionInvalid();
    }

    COLORREF m_outerLight, m_outerDark, m_middle, m_innerFirst, m_innerSecond, m_outline;
    WORD m_outerWidth, m_middleWidth, m_innerWidth;
    WORD m_flags;
    WORD m_upperFlags;  // carried from Load to Save
    FillObject* m_fill;
    II_IRender* m_owner;  // not counted
};

STDMETHODIMP MediaFrame::Draw(IPixelBuffer* target, const RECT* rect, const RECT* clip,
                              IPlayerSite* site) {
    if (!target || !rect)
        return S_OK;
    if (Thickness() == 0 && !m_fill)
        return S_OK;
    RECT r = *rect;
    LONG w = r.right - r.left, h = r.bottom - r.top;
    LONG m = w < h ? w : h;
    if (m_flags & MFFLAG_SHOWN) {
        if (m_flags & MFFLAG_OUTLINE) {
            // The one-pixel rectangle a pen of width 1 draws, without a DC.
            RECT edges[4] = {{r.left, r.top, r.right, r.top + 1},
                             {r.left, r.bottom - 1, r.right, r.bottom},
                             {r.left, r.top, r.left + 1, r.bottom},
                             {r.right - 1, r.top, r.right, r.bottom}};
            // FillRect takes buffer coordinates; the bands and the fill
            // below are logical, like the rectangle.
            const BufferInfo info = ReadBufferInfo(target, BIM_OFFSET);
            for (RECT& e : edges) {
                OffsetRect(&e, info.nOffsetX, info.nOffsetY);
                if (e.right > e.left && e.bottom > e.top)
                    target->FillRect(&e, m_outline);
            }
            InflateRect(&r, -1, -1);
            m -= 2;
            if (m <= 0)
                return S_OK;
        }
        if (m_outerWidth > 0 || m_middleWidth > 0 || m_innerWidth > 0) {
            HDC dc = nullptr;
            if (FAILED(target->GetDC(&dc)) || !dc)
                return S_OK;
            bool stopped = false;
            HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
            if (m_outerWidth > 0) {
                RECT copy = r;
                PaintBand(dc, &copy, m_outerWidth, m_outerLight, BAND_TOPLEFT);
                PaintBand(dc, &r, m_outerWidth, m_outerDark, BAND_BOTTOMRIGHT);
                m -= 2 * m_outerWidth;
                stopped = m <= 0;
            }
            if (!stopped && m_middleWidth > 0) {
                PaintBand(dc, &r, m_middleWidth, m_middle, BAND_RING);
                m -= 2 * m_middleWidth;
                stopped = m <= 0;
            }
            if (!stopped && m_innerWidth > 0) {
                RECT copy = r;
                PaintBand(dc, &copy, m_innerWidth, m_innerFirst, BAND_TOPLEFT);
                PaintBand(dc, &r, m_innerWidth, m_innerSecond, BAND_BOTTOMRIGHT);
                m -= 2 * m_innerWidth;
            }
            SelectObject(dc, oldPen);
            target->ReleaseDC(dc);
            if (stopped)
                return S_OK;
        }
    }
    if (m < 0 || !m_fill)
        return S_OK;
    int mode = FILLMODE_NONE;
    m_fill->GetMode(&mode);
    if (mode == FILLMODE_NONE)
        return S_OK;
    RECT area = r;
    if (clip && !IntersectRect(&area, &r, clip))
        return S_OK;
    m_fill->Render(&r, target, &area, site);
    return S_OK;
}

STDMETHODIMP MediaFrame::Load(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    BYTE head[MEDIAFRAME_RECORD_SIZE];
    if (!StreamHas(stream, sizeof(head))) {
        LOG_MSG("MediaFrame Load: short record");
        return E_FAIL;
    }
    stream->Read(head, sizeof(head));
    DWORD v[10];
    memcpy(v, head, sizeof(v));
    m_flags = LOWORD(v[0]);
    m_upperFlags = HIWORD(v[0]);
    m_outline = v[1];
    m_outerLight = v[2];
    m_outerDark = v[3];
    m_middle = v[4];
    m_innerFirst = v[5];
    m_innerSecond = v[6];
    m_outerWidth = LOWORD(v[7]);
    m_middleWidth = LOWORD(v[8]);
    m_innerWidth = LOWORD(v[9]);
    if (!m_fill)
        return E_FAIL;
    try {
        return m_fill->Load(stream);
    } catch (const CTeskStreamExcept&) {
        LOG_MSG("MediaFrame Load: fill record cut short");
        return E_FAIL;
    }
}

STDMETHODIMP MediaFrame::Save(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    DWORD v[10] = {MAKELONG(m_flags, m_upperFlags),
                   m_outline,
                   m_outerLight,
                   m_outerDark,
                   m_middle,
                   m_innerFirst,
                   m_innerSecond,
                   m_outerWidth,
                   m_middleWidth,
                   m_innerWidth};
    stream->Write(v, sizeof(v));
    return m_fill ? m_fill->Save(stream) : E_FAIL;
}

STDMETHODIMP MediaFrame::CopyFrom(IMediaFrame* other) {
    if (!other)
        return E_INVALIDARG;
    MediaFrame* o = static_cast<MediaFrame*>(other);
    m_flags = o->m_flags;
    m_outline = o->m_outline;
    m_outerLight = o->m_outerLight;
    m_outerDark = o->m_outerDark;
    m_middle = o->m_middle;
    m_innerFirst = o->m_innerFirst;
    m_innerSecond = o->m_innerSecond;
    m_outerWidth = o->m_outerWidth;
    m_middleWidth = o->m_middleWidth;
    m_innerWidth = o->m_innerWidth;
    if (m_fill && o->m_fill)
        m_fill->CopyFrom(o->m_fill);
    RefreshOwner();
    return S_OK;
}

STDMETHODIMP MediaFrame::LoadAlternative(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    BYTE rec[MEDIAFRAME_ALT_RECORD_SIZE];
    if (!StreamHas(stream, sizeof(rec))) {
        LOG_MSG("MediaFrame LoadAlternative: short record");
        return E_FAIL;
    }
    stream->Read(rec, sizeof(rec));
    WORD v;
    LONG twips[3];
    COLORREF color;
    memcpy(&v, rec, 2);
    memcpy(twips, rec + 2, 12);
    memcpy(&color, rec + 14, 4);
    SetFlag(MFFLAG_OUTLINE, v & 1);
    SetFlag(MFFLAG_SHOWN, (v & 0xF0) != 0);
    if (m_fill) {
        m_fill->SetMode(((m_flags & MFFLAG_SHOWN) && (v & 4)) ? FILLMODE_FILL : FILLMODE_NONE);
        m_fill->SetPatternTransparent(!(v & 8));
        if (!(v & 8))
            m_fill->SetFlagByte(0x80);
        SetFillColor(color);
    }
    // Twips to pixels, rounding up: outer, inner, middle in that order.
    m_outerWidth = (WORD)((twips[0] + 14) / 15);
    m_innerWidth = (WORD)((twips[1] + 14) / 15);
    m_middleWidth = (WORD)((twips[2] + 14) / 15);
    m_outerLight = 0xFFFFFF;
    m_outerDark = 0x808080;
    m_middle = 0xC0C0C0;
    m_innerFirst = 0x808080;
    m_innerSecond = 0xFFFFFF;
    return S_OK;
}

}  // namespace

HRESULT CreateMediaFrame(IMediaFrame** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<MediaFrame>* frame = nullptr;
    if (FAILED(CComObject<MediaFrame>::CreateInstance(&frame)) || !frame)
        return E_FAIL;
    frame->AddRef();
    HRESULT hr = frame->QueryInterface(__uuidof(IMediaFrame), reinterpret_cast<void**>(out));
    frame->Release();
    return SUCCEEDED(hr) ? S_OK : E_FAIL;
}
