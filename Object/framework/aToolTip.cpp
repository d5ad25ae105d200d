#include "aToolTip.h"

#include "aPixBuf.h"
#include "bFillShd.h"
#include "bTraceLog.h"
#include "bdrawtxt.h"

namespace {

enum { CODE_SHOW = 4096, CODE_HIDE = 8192 };

class CToolTipWnd : public CComObjectRootBase, public IToolTipWnd, public IObjectEvent {
public:
    BEGIN_COM_MAP(CToolTipWnd)
    COM_INTERFACE_ENTRY(IToolTipWnd)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()

    CToolTipWnd()
        : m_prepared(false),
          m_shown(false),
          m_enabled(false),
          m_border(false),
          m_stay(false),
          m_showDelay(500),
          m_hideDelay(5000),
          m_borderColor(0),
          m_fill(nullptr),
          m_text(nullptr),
          m_object(nullptr),
          m_site(nullptr) {
        m_last = {0, 0, 0, 0};
        m_rect = {0, 0, 70, 20};
    }
    void FinalRelease() { TakeParts(nullptr, nullptr); }

    // IToolTipWnd
    STDMETHOD(Draw)(IPixelBuffer* target) override {
        if (!target || !m_enabled || !m_shown || !m_text)
            return S_OK;
        int length = 0;
        if (FAILED(m_text->GetTextLength(&length)) || length <= 0)
            return S_OK;
        RECT rect = m_rect;
        if (m_border) {
            HDC dc = nullptr;
            if (SUCCEEDED(target->GetDC(&dc)) && dc) {
                HPEN pen = CreatePen(PS_SOLID, 1, m_borderColor);
                HGDIOBJ oldPen = SelectObject(dc, pen);
                HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
                Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
                SelectObject(dc, oldBrush);
                SelectObject(dc, oldPen);
                DeleteObject(pen);
                target->ReleaseDC(dc);
            }
            InflateRect(&rect, -1, -1);
        }
        if (m_fill)
            m_fill->Render(&rect, target, &rect, m_site);
        m_text->DrawToBuffer(target, &rect);
        return S_OK;
    }
    STDMETHOD(Begin)(IUnknown* object) override {
        m_prepared = false;
        m_object = object;
        return S_OK;
    }
    STDMETHOD(Update)(IToolTipProp* props) override {
        if (!props)
            return E_POINTER;
        if (!m_prepared) {
            m_prepared = true;
            m_enabled = props->IsEnabled() == 0;
            if (!m_enabled)
                return S_OK;
            m_showDelay = props->GetShowDelay();
            m_hideDelay = props->GetHideDelay();
            TakeParts(props->GetFill(), props->GetText());
            m_border = props->HasBorder() == 0;
            m_stay = props->IsStay() == 0;
            m_borderColor = props->GetBorderColor();
        }
        if (!m_enabled)
            return S_OK;
        RECT old = m_rect;
        props->GetRect(&m_rect);
        if (!m_shown) {
            if (m_showDelay == 0)
                return Show();
            return ScheduleCode(CODE_SHOW, m_showDelay);
        }
        Invalidate(&old);
        Invalidate(&m_rect);
        m_last = m_rect;
        return S_OK;
    }
    STDMETHOD(Hide)() override {
        if (!m_enabled)
            return S_OK;
        m_enabled = false;
        m_shown = false;
        Invalidate(&m_last);
        return S_OK;
    }
    STDMETHOD(Drop)(IUnknown* object) override {
        if (m_shown && object == m_object)
            Hide();
        return S_OK;
    }

    // IObjectEvent: the window's own sequencer entries.
    STDMETHOD(FireEvent)(DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR) override { return 1; }
    STDMETHOD(Notify)(DWORD code, DWORD_PTR) override {
        if (code == CODE_SHOW && m_enabled && !m_shown)
            return Show();
        if (code == CODE_HIDE && m_enabled)
            return Hide();
        return S_OK;
    }
    STDMETHOD(GetSite)(IUnknown** out) override {
        if (out)
            *out = nullptr;
        return E_FAIL;
    }
    STDMETHOD(AddListener)(IUnknown*) override { return E_NOTIMPL; }
    STDMETHOD(RemoveListener)(IUnknown*) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

    void SetSite(IPlayerSite* site) { m_site = site; }

private:
    HRESULT Show() {
        m_shown = true;
        Invalidate(&m_rect);
        m_last = m_rect;
        if (m_hideDelay != 0 && !m_stay)
            ScheduleCode(CODE_HIDE, m_hideDelay);
        return S_OK;
    }
    void Invalidate(const RECT* rect) {
        if (m_site && rect && rect->right > rect->left && rect->bottom > rect->top)
            m_site->InvalidateRect(rect);
    }
    HRESULT ScheduleCode(DWORD code, LONG delay) {
        ISequencer* sequencer = nullptr;
        DWORD now = 0;
        if (!m_site || FAILED(m_site->GetSequencer(&sequencer)) || !sequencer)
            return E_UNEXPECTED;
        m_site->GetPageClock(&now);
        SequencerEntry entry = {static_cast<IObjectEvent*>(this), 0, code, 0};
        return sequencer->Schedule(now + (DWORD)delay, &entry);
    }
    void TakeParts(FillObject* fill, FontObject* text) {
        if (fill)
            fill->AddRef();
        if (text)
            text->AddRef();
        if (m_fill)
            m_fill->Release();
        if (m_text)
            m_text->Release();
        m_fill = fill;
        m_text = text;
    }

    bool m_prepared;
    bool m_shown;
    RECT m_last;
    bool m_enabled;
    bool m_border;
    bool m_stay;
    RECT m_rect;
    LONG m_showDelay;
    LONG m_hideDelay;
    COLORREF m_borderColor;
    FillObject* m_fill;
    FontObject* m_text;
    IUnknown* m_object;  // compared only
    IPlayerSite* m_site;
};

}  // namespace

HRESULT CreateToolTipWnd(IToolTipWnd** out) {
    return ComCreateInstance<CToolTipWnd>(__uuidof(IToolTipWnd), reinterpret_cast<void**>(out));
}

void SetToolTipWndSite(IToolTipWnd* window, IPlayerSite* site) {
    if (window)
        static_cast<CToolTipWnd*>(window)->SetSite(site);
}
