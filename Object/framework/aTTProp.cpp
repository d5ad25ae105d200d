#include "aTTProp.h"

#include "bStorage.h"
#include "aStorage.h"
#include "bFillShd.h"
#include "bTraceLog.h"
#include "bdrawtxt.h"

namespace {

enum { TIP_ENABLED = 1, TIP_BORDER = 2, TIP_STAY = 4 };

// One part record: its length, then the part's own bytes. Reading resumes at
// the record's end whatever the part took.
HRESULT LoadPart(ITeskStream* stream, IUnknown* part, HRESULT (*load)(IUnknown*, ITeskStream*)) {
    DWORD length = 0;
    if (!StreamReadValue(stream, &length) || !StreamHas(stream, length)) {
        LOG_MSG("ToolTip record: part length %u past the stream's end", (unsigned)length);
        return E_FAIL;
    }
    ULONGLONG end = stream->GetPosition() + length;
    if (part && length) {
        HRESULT hr = load(part, stream);
        if (FAILED(hr))
            return hr;
    }
    return stream->Seek((LONGLONG)end, TESK_SEEK_SET);
}

HRESULT SavePart(ITeskStream* stream, IUnknown* part, HRESULT (*save)(IUnknown*, ITeskStream*)) {
    ULONGLONG at = stream->GetPosition();
    StreamWriteValue(stream, (DWORD)0);
    if (!part)
        return S_OK;
    HRESULT hr = save(part, stream);
    if (FAILED(hr))
        return hr;
    ULONGLONG end = stream->GetPosition();
    stream->Seek((LONGLONG)at, TESK_SEEK_SET);
    StreamWriteValue(stream, (DWORD)(end - at - 4));
    return stream->Seek((LONGLONG)end, TESK_SEEK_SET);
}

HRESULT LoadFill(IUnknown* p, ITeskStream* s) {
    return static_cast<FillObject*>(p)->Load(s);
}
HRESULT SaveFill(IUnknown* p, ITeskStream* s) {
    return static_cast<FillObject*>(p)->Save(s);
}
HRESULT LoadFont(IUnknown* p, ITeskStream* s) {
    return static_cast<FontObject*>(p)->Load(s);
}
HRESULT SaveFont(IUnknown* p, ITeskStream* s) {
    return static_cast<FontObject*>(p)->Save(s);
}

class CToolTipProp : public CComObjectRootBase, public IToolTipProp {
public:
    BEGIN_COM_MAP(CToolTipProp)
    COM_INTERFACE_ENTRY(IToolTipProp)
    END_COM_MAP()

    CToolTipProp()
        : m_flags(TIP_BORDER),
          m_border(0),
          m_fill(nullptr),
          m_text(nullptr),
          m_showDelay(500),
          m_hideDelay(5000) {
        m_origin = {0, 0};
        m_rect = {0, 0, 70, 30};
    }
    HRESULT FinalConstruct() {
        m_fill = CreateFillObject();
        if (m_fill) {
            SetSolidColor(m_fill, 0xC0FFFF);
            if (FAILED(CreateFontObject(&m_text)) || !m_text) {
                m_fill->Release();
                m_fill = nullptr;
                m_text = nullptr;
            }
        }
        return S_OK;
    }
    void FinalRelease() {
        if (m_fill)
            m_fill->Release();
        if (m_text)
            m_text->Release();
    }

    STDMETHOD(Load)(ITeskStream* stream) override {
        if (!stream)
            return E_FAIL;
        DWORD head[4];
        if (!StreamHas(stream, sizeof(head))) {
            LOG_MSG("ToolTip record past the stream's end");
            return E_FAIL;
        }
        stream->Read(head, sizeof(head));
        m_flags = head[0];
        m_showDelay = (LONG)head[1];
        m_hideDelay = (LONG)head[2];
        m_border = head[3];
        HRESULT hr = LoadPart(stream, m_fill, LoadFill);
        if (FAILED(hr))
            return hr;
        return LoadPart(stream, m_text, LoadFont);
    }
    STDMETHOD(Save)(ITeskStream* stream) override {
        if (!stream)
            return E_FAIL;
        DWORD head[4] = {m_flags, (DWORD)m_showDelay, (DWORD)m_hideDelay, m_border};
        stream->Write(head, sizeof(head));
        HRESULT hr = SavePart(stream, m_fill, SaveFill);
        if (FAILED(hr))
            return hr;
        return SavePart(stream, m_text, SaveFont);
    }
    STDMETHOD(CopyFrom)(IToolTipProp* source) override {
        if (!source)
            return E_POINTER;
        CComPtr<ITeskStream> stream;
        HRESULT hr = CreateMemStream(&stream, 30000);
        if (FAILED(hr))
            return hr;
        try {
            stream->SetMode(1);
            hr = source->Save(stream);
            if (FAILED(hr))
                return hr;
            stream->SetMode(0);
            stream->Seek(0, TESK_SEEK_SET);
            return Load(stream);
        } catch (const CTeskStreamExcept&) {
            return E_FAIL;
        }
    }
    STDMETHOD(SetEnabled)(BOOL on) override { return SetBit(TIP_ENABLED, on); }
    STDMETHOD_(int, IsEnabled)() override { return (m_flags & TIP_ENABLED) ? 0 : 1; }
    STDMETHOD(SetBorder)(BOOL on) override { return SetBit(TIP_BORDER, on); }
    STDMETHOD_(int, HasBorder)() override { return (m_flags & TIP_BORDER) ? 0 : 1; }
    STDMETHOD(SetBorderColor)(COLORREF color) override {
        m_border = color;
        return S_OK;
    }
    STDMETHOD_(COLORREF, GetBorderColor)() override { return m_border; }
    STDMETHOD_(FillObject*, GetFill)() override { return m_fill; }
    STDMETHOD_(FontObject*, GetText)() override { return m_text; }
    STDMETHOD(LayoutAt)(POINT pt) override {
        AdjustPoint(&pt);
        m_origin = pt;
        int width = 0, height = 0;
        if (m_text) {
            HDC dc = ::GetDC(nullptr);
            m_text->GetTextWidth(dc, &width);
            width += 2;
            m_text->GetTextHeight(dc, width, &height);
            height += 2;
            ::ReleaseDC(nullptr, dc);
        }
        m_rect = {pt.x, pt.y, pt.x + width, pt.y + height};
        return S_OK;
    }
    STDMETHOD(GetOrigin)(POINT* out) override {
        if (!out)
            return E_POINTER;
        *out = m_origin;
        return S_OK;
    }
    STDMETHOD(AdjustPoint)(POINT* pt) override {
        if (!pt)
            return E_POINTER;
        if (pt->y < 16)
            pt->x += 16;
        else
            pt->y -= 16;
        return S_OK;
    }
    STDMETHOD(SetRect)(const RECT* rect) override {
        if (!rect)
            return E_POINTER;
        m_rect = *rect;
        return S_OK;
    }
    STDMETHOD(GetRect)(RECT* out) override {
        if (!out)
            return E_POINTER;
        *out = m_rect;
        return S_OK;
    }
    STDMETHOD(SetShowDelay)(LONG ms) override {
        m_showDelay = ms;
        return S_OK;
    }
    STDMETHOD_(LONG, GetShowDelay)() override { return m_showDelay; }
    STDMETHOD(SetStay)(BOOL on) override { return SetBit(TIP_STAY, on); }
    STDMETHOD_(int, IsStay)() override { return (m_flags & TIP_STAY) ? 0 : 1; }
    STDMETHOD(SetHideDelay)(LONG ms) override {
        m_hideDelay = ms;
        return S_OK;
    }
    STDMETHOD_(LONG, GetHideDelay)() override { return m_hideDelay; }

private:
    static void SetSolidColor(FillObject* fill, COLORREF color) {
        void* params = nullptr;
        if (SUCCEEDED(fill->GetFillParams(&params)) && params)
            static_cast<ISolidFillParams*>(params)->SetColor(color);
    }
    HRESULT SetBit(DWORD bit, BOOL on) {
        if (on)
            m_flags |= bit;
        else
            m_flags &= ~bit;
        return S_OK;
    }

    DWORD m_flags;
    COLORREF m_border;
    FillObject* m_fill;
    FontObject* m_text;
    LONG m_showDelay;
    LONG m_hideDelay;
    POINT m_origin;
    RECT m_rect;
};

}  // namespace

HRESULT CreateToolTipProp(IToolTipProp** out) {
    return ComCreateInstance<CToolTipProp>(__uuidof(IToolTipProp), reinterpret_cast<void**>(out));
}
