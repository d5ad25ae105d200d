#include "aAxHost.h"

#include <olectl.h>

#include "bOleSite.h"
#include "bTraceLog.h"

namespace {

const wchar_t kHostClass[] = L"MavroAxHost";

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kHostClass;
        return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

class CAxHost : public CComObjectRootBase,
                public IAxWinHostWindow,
                public IAxWinAmbientDispatch,
                public IAxHostControl,
                public COleWindowlessSite,
                public IOleControlSite {
public:
    BEGIN_COM_MAP(CAxHost)
    COM_INTERFACE_ENTRY(IAxWinHostWindow)
    COM_INTERFACE_ENTRY(IAxWinAmbientDispatch)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IAxHostControl)
    COM_INTERFACE_ENTRY(IOleClientSite)
    COM_INTERFACE_ENTRY(IOleWindow)
    COM_INTERFACE_ENTRY(IOleInPlaceSite)
    COM_INTERFACE_ENTRY(IOleInPlaceSiteEx)
    COM_INTERFACE_ENTRY(IOleInPlaceSiteWindowless)
    COM_INTERFACE_ENTRY(IOleControlSite)
    END_COM_MAP()

    virtual ~CAxHost() { CloseHosted(true); }

    // ---- IAxWinHostWindow ----
    STDMETHOD(CreateControl)(LPCOLESTR clsidText, HWND parent, IStream* state) override {
        return CreateControlEx(clsidText, parent, state, nullptr, IID_NULL, nullptr);
    }
    STDMETHOD(CreateControlEx)
    (LPCOLESTR clsidText, HWND parent, IStream* state, IUnknown** control, REFIID,
     IUnknown*) override {
        if (control)
            *control = nullptr;
        if (!clsidText)
            return E_INVALIDARG;
        CLSID clsid;
        HRESULT hr = CLSIDFromString(const_cast<LPOLESTR>(clsidText), &clsid);
        if (FAILED(hr))
            hr = CLSIDFromProgID(clsidText, &clsid);
        if (FAILED(hr))
            return hr;
        CloseHosted(false);
        if (!m_window && RegisterHostClass())
            m_window =
                CreateWindowExW(0, kHostClass, L"", parent ? WS_CHILD | WS_CLIPCHILDREN : WS_POPUP,
                                0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&m_control));
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "CreateControlEx FAILED");
            return hr;
        }
        m_control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&m_ole));
        if (m_ole)
            m_ole->SetClientSite(static_cast<IOleClientSite*>(this));
        CComPtr<IPersistStreamInit> init;
        m_control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&init));
        CComPtr<IPersistStream> persist;
        m_control->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
        if (state && init)
            hr = init->Load(state);
        else if (state && persist)
            hr = persist->Load(state);
        else if (init)
            hr = init->InitNew();
        else
            hr = S_OK;
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "CreateControlEx FAILED");
            CloseHosted(false);
            return hr;
        }
        LPOLESTR name = nullptr;
        if (SUCCEEDED(OleRegGetUserType(clsid, USERCLASSTYPE_FULL, &name)) && name) {
            if (m_window)
                SetWindowTextW(m_window, name);
            CoTaskMemFree(name);
        }
        if (control) {
            *control = m_control;
            m_control->AddRef();
        }
        return S_OK;
    }
    STDMETHOD(AttachControl)(IUnknown*, HWND) override { return E_NOTIMPL; }
    STDMETHOD(QueryControl)(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return m_control ? m_control->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHOD(SetExternalDispatch)(IDispatch*) override { return E_NOTIMPL; }
    STDMETHOD(SetExternalUIHandler)(IUnknown*) override { return E_NOTIMPL; }

    // ---- IDispatch: the ambient properties the control asks for ----
    STDMETHOD(GetTypeInfoCount)(UINT* out) override {
        if (!out)
            return E_POINTER;
        *out = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
     UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET) || !result)
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(result);
        if (id == DISPID_AMBIENT_USERMODE) {
            result->vt = VT_BOOL;
            result->boolVal = m_userMode;
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    STDMETHOD(put_AllowWindowlessActivation)(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHOD(get_AllowWindowlessActivation)(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHOD(put_BackColor)(OLE_COLOR) override { return E_NOTIMPL; }
    STDMETHOD(get_BackColor)(OLE_COLOR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ForeColor)(OLE_COLOR) override { return E_NOTIMPL; }
    STDMETHOD(get_ForeColor)(OLE_COLOR*) override { return E_NOTIMPL; }
    STDMETHOD(put_LocaleID)(LCID) override { return E_NOTIMPL; }
    STDMETHOD(get_LocaleID)(LCID*) override { return E_NOTIMPL; }
    STDMETHOD(put_UserMode)(VARIANT_BOOL on) override {
        m_userMode = on ? VARIANT_TRUE : VARIANT_FALSE;
        CComPtr<IOleControl> control;
        if (m_control && SUCCEEDED(m_control->QueryInterface(IID_IOleControl,
                                                             reinterpret_cast<void**>(&control))))
            control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
        return S_OK;
    }
    STDMETHOD(get_UserMode)(VARIANT_BOOL* out) override {
        if (!out)
            return E_POINTER;
        *out = m_userMode;
        return S_OK;
    }

    // ---- IAxHostControl ----
    STDMETHOD(GetControlRect)(RECT* out) override {
        if (!out)
            return E_POINTER;
        *out = m_rect;
        return S_OK;
    }
    STDMETHOD(SetControlRect)(const RECT* rect) override {
        if (!rect)
            return E_POINTER;
        m_rect = *rect;
        CComPtr<IOleInPlaceObject> inPlace;
        if (m_active && m_control &&
            SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject,
                                                reinterpret_cast<void**>(&inPlace))))
            inPlace->SetObjectRects(&m_rect, &m_rect);
        if (m_window)
            MoveWindow(m_window, m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                       m_rect.bottom - m_rect.top, FALSE);
        return S_OK;
    }
    STDMETHOD(IsWindowless)() override { return m_windowless ? S_OK : S_FALSE; }
    STDMETHOD(DoVerb)(LONG verb) override {
        if (!m_ole)
            return E_UNEXPECTED;
        HWND parent = m_window ? GetParent(m_window) : nullptr;
        return m_ole->DoVerb(verb, nullptr, static_cast<IOleClientSite*>(this), 0, parent, &m_rect);
    }
    STDMETHOD_(HWND, GetHostWindow)() override { return m_window; }
    STDMETHOD(SetInvalidateTarget)(HWND window) override {
        m_target = window;
        return S_OK;
    }
    STDMETHOD(SendControlMessage)
    (UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        CComPtr<IOleInPlaceObjectWindowless> windowless;
        if (!m_windowless || !m_control ||
            FAILED(m_control->QueryInterface(IID_IOleInPlaceObjectWindowless,
                                             reinterpret_cast<void**>(&windowless))))
            return S_FALSE;
        LRESULT ignored = 0;
        return windowless->OnWindowMessage(message, wParam, lParam, result ? result : &ignored);
    }
    STDMETHOD(CloseControl)() override {
        CloseHosted(false);
        return S_OK;
    }

    // ---- IOleClientSite ----
    STDMETHOD(SaveObject)() override { return S_OK; }
    STDMETHOD(GetContainer)(IOleContainer** out) override {
        if (out)
            *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD(ShowObject)() override { return S_OK; }

    // ---- IOleWindow, IOleInPlaceSite(Ex, Windowless) ----
    STDMETHOD(GetWindow)(HWND* out) override {
        if (!out)
            return E_POINTER;
        *out = SiteWindow();
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(OnInPlaceActivate)() override {
        m_active = true;
        m_windowless = false;
        return S_OK;
    }
    STDMETHOD(OnUIActivate)() override { return S_OK; }
    STDMETHOD(GetWindowContext)
    (IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
     LPOLEINPLACEFRAMEINFO) override {
        if (frame)
            *frame = nullptr;
        if (doc)
            *doc = nullptr;
        if (pos)
            *pos = m_rect;
        if (clip)
            *clip = m_rect;
        return S_OK;
    }
    STDMETHOD(OnUIDeactivate)(BOOL) override { return S_OK; }
    STDMETHOD(OnInPlaceDeactivate)() override {
        m_active = false;
        m_windowless = false;
        return S_OK;
    }
    STDMETHOD(DiscardUndoState)() override { return S_OK; }
    STDMETHOD(DeactivateAndUndo)() override { return S_OK; }
    STDMETHOD(OnPosRectChange)(LPCRECT rect) override {
        return rect ? SetControlRect(rect) : E_POINTER;
    }
    STDMETHOD(OnInPlaceActivateEx)(BOOL* noRedraw, DWORD flags) override {
        if (noRedraw)
            *noRedraw = FALSE;
        m_active = true;
        m_windowless = (flags & ACTIVATE_WINDOWLESS) != 0;
        return S_OK;
    }
    STDMETHOD(OnInPlaceDeactivateEx)(BOOL) override { return OnInPlaceDeactivate(); }
    STDMETHOD(RequestUIActivate)() override { return S_OK; }
    STDMETHOD(GetFocus)() override { return S_OK; }
    STDMETHOD(InvalidateRect)(LPCRECT rect, BOOL erase) override {
        HWND target = m_target ? m_target : m_window;
        if (target)
            ::InvalidateRect(target, rect ? rect : &m_rect, erase);
        return S_OK;
    }
    STDMETHOD(InvalidateRgn)(HRGN region, BOOL erase) override {
        HWND target = m_target ? m_target : m_window;
        if (target)
            ::InvalidateRgn(target, region, erase);
        return S_OK;
    }
    STDMETHOD(AdjustRect)(LPRECT) override { return S_OK; }
    STDMETHOD(OnDefWindowMessage)(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

    // ---- IOleControlSite ----
    STDMETHOD(OnControlInfoChanged)() override { return S_OK; }
    STDMETHOD(LockInPlaceActive)(BOOL) override { return S_OK; }
    STDMETHOD(GetExtendedControl)(IDispatch** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(TransformCoords)(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG*, DWORD) override { return S_FALSE; }
    STDMETHOD(OnFocus)(BOOL) override { return S_OK; }
    STDMETHOD(ShowPropertyFrame)() override { return E_NOTIMPL; }

private:
    // A windowed control lives in the host's parent, over the page; a
    // window-less one draws into it.
    HWND SiteWindow() override {
        HWND parent = m_window ? GetParent(m_window) : nullptr;
        return parent ? parent : m_window;
    }
    // Closes the control; with the window too when `all`.
    void CloseHosted(bool all) {
        if (m_control) {
            CComPtr<IOleInPlaceObject> inPlace;
            if (m_active && SUCCEEDED(m_control->QueryInterface(
                                IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
                inPlace->InPlaceDeactivate();
            if (m_ole) {
                m_ole->Close(OLECLOSE_NOSAVE);
                m_ole->SetClientSite(nullptr);
                m_ole->Release();
                m_ole = nullptr;
            }
            m_control->Release();
            m_control = nullptr;
        }
        m_active = m_windowless = false;
        if (all && m_window) {
            DestroyWindow(m_window);
            m_window = nullptr;
        }
    }

    IUnknown* m_control = nullptr;
    IOleObject* m_ole = nullptr;
    HWND m_window = nullptr;
    HWND m_target = nullptr;
    RECT m_rect = {0, 0, 0, 0};
    VARIANT_BOOL m_userMode = VARIANT_FALSE;
    bool m_active = false;
    bool m_windowless = false;
};

HRESULT AxCreateInstance(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CAxHost>* host = nullptr;
    HRESULT hr = CComObject<CAxHost>::CreateInstance(&host);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "AxCreateInstance FAILED");
        return hr;
    }
    host->AddRef();
    hr = host->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
    host->Release();
    return hr;
}
