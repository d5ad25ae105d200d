#include "bSwfContainer.h"

#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>
#include <urlmon.h>

#include <string>

#include "bOleSite.h"
#include "bStrConv.h"
#include "bTraceLog.h"

// {E5BE5489-E638-11D4-9420-00104B04BA28} The container's own dispatch
// interface: no members of its own, its type information from library
// {E5BE5487-E638-11D4-9420-00104B04BA28} 1.0 as registered.
struct ISWFContainerDispatch : public IDispatch {};
DECLARE_IID(ISWFContainerDispatch, 0xE5BE5489, 0xE638, 0x11D4, 0x94, 0x20, 0x00, 0x10, 0x4B, 0x04,
            0xBA, 0x28);

namespace {

const GUID kLibId = {0xE5BE5487, 0xE638, 0x11D4, {0x94, 0x20, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID kFlashClass = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kIShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kEventSinkId = {
    0x0C8C329A, 0xEB07, 0x11D4, {0x94, 0x20, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const GUID kBindHostService = {
    0xFC4801A1, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};

// Accepts the control's events and ignores them.
class CSWFEventSink : public CComObjectRootBase, public IDispatch {
public:
    BEGIN_COM_MAP(CSWFEventSink)
    COM_INTERFACE_ENTRY_IID(kEventSinkId, IDispatch)
    COM_INTERFACE_ENTRY_IID(kFlashEvents, IDispatch)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

// A member of the control by name: a method call, or a property read or write.
HRESULT CallByName(IDispatch* control, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                   VARIANT* result) {
    if (!control)
        return E_FAIL;
    DISPID id = 0;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args, nullptr, count, 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    return control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                           nullptr);
}

HRESULT CallMethod(IDispatch* control, const wchar_t* name) {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = CallByName(control, name, DISPATCH_METHOD, nullptr, 0, &result);
    VariantClear(&result);
    return hr;
}

HRESULT GetLong(IDispatch* control, const wchar_t* name, long* out) {
    VARIANT result;
    VariantInit(&result);
    HRESULT hr =
        CallByName(control, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0, &result);
    if (SUCCEEDED(hr))
        hr = VariantChangeType(&result, &result, 0, VT_I4);
    *out = SUCCEEDED(hr) ? result.lVal : 0;
    VariantClear(&result);
    return hr;
}

HRESULT PutValue(IDispatch* control, const wchar_t* name, VARIANT value) {
    return CallByName(control, name, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

HRESULT PutText(IDispatch* control, const wchar_t* name, const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    HRESULT hr = PutValue(control, name, v);
    SysFreeString(v.bstrVal);
    return hr;
}

HRESULT PutBool(IDispatch* control, const wchar_t* name, BOOL on) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
    return PutValue(control, name, v);
}

class CSWFContainer : public CComObjectRootBase,
                      public ISWFContainerDispatch,
                      public ISupportErrorInfo,
                      public IConnectionPointContainer,
                      public COleWindowlessSite,
                      public IPropertyNotifySink,
                      public IBindHost,
                      public IServiceProvider,
                      public ISWFContainer {
public:
    BEGIN_COM_MAP(CSWFContainer)
    COM_INTERFACE_ENTRY(ISWFContainerDispatch)
    COM_INTERFACE_ENTRY2(IDispatch, ISWFContainerDispatch)
    COM_INTERFACE_ENTRY(ISupportErrorInfo)
    COM_INTERFACE_ENTRY(IConnectionPointContainer)
    COM_INTERFACE_ENTRY2(IOleWindow, IOleInPlaceSiteWindowless)
    COM_INTERFACE_ENTRY2(IOleInPlaceSite, IOleInPlaceSiteWindowless)
    COM_INTERFACE_ENTRY2(IOleInPlaceSiteEx, IOleInPlaceSiteWindowless)
    COM_INTERFACE_ENTRY(IOleInPlaceSiteWindowless)
    COM_INTERFACE_ENTRY(IOleClientSite)
    COM_INTERFACE_ENTRY(IPropertyNotifySink)
    COM_INTERFACE_ENTRY(IBindHost)
    COM_INTERFACE_ENTRY(IServiceProvider)
    COM_INTERFACE_ENTRY(ISWFContainer)
    END_COM_MAP()

    ~CSWFContainer() { Close(); }

    void SetOwner(IInvalidateTarget* owner) { m_owner = owner; }

    // IDispatch, through the registered type library.
    STDMETHOD(GetTypeInfoCount)(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT index, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        ITypeLib* lib = nullptr;
        HRESULT hr = LoadRegTypeLib(kLibId, 1, 0, LOCALE_NEUTRAL, &lib);
        if (SUCCEEDED(hr)) {
            hr = lib->GetTypeInfoOfGuid(__uuidof(ISWFContainerDispatch), out);
            lib->Release();
        }
        if (SUCCEEDED(hr))
            return hr;
        // Wine registers a library of a module without its resource index:
        // the registered file then holds it as library 3.
        BSTR path = nullptr;
        if (FAILED(QueryPathOfRegTypeLib(kLibId, 1, 0, LOCALE_NEUTRAL, &path)))
            return hr;
        std::wstring indexed = std::wstring(path) + L"\\3";
        SysFreeString(path);
        if (FAILED(LoadTypeLibEx(indexed.c_str(), REGKIND_NONE, &lib)))
            return hr;
        hr = lib->GetTypeInfoOfGuid(__uuidof(ISWFContainerDispatch), out);
        lib->Release();
        return hr;
    }
    STDMETHOD(GetIDsOfNames)
    (REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = GetTypeInfo(0, lcid, &info);
        if (FAILED(hr))
            return hr;
        hr = info->GetIDsOfNames(names, count, ids);
        info->Release();
        return hr;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* exception, UINT* argError) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = GetTypeInfo(0, lcid, &info);
        if (FAILED(hr))
            return hr;
        hr = info->Invoke(static_cast<ISWFContainerDispatch*>(this), id, flags, params, result,
                          exception, argError);
        info->Release();
        return hr;
    }

    // ISupportErrorInfo
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override {
        return iid == __uuidof(ISWFContainerDispatch) ? S_OK : S_FALSE;
    }

    // IConnectionPointContainer: none.
    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(FindConnectionPoint)(REFIID, IConnectionPoint** out) override {
        if (out)
            *out = nullptr;
        return CONNECT_E_NOCONNECTION;
    }

    // IOleWindow
    STDMETHOD(GetWindow)(HWND*) override { return E_FAIL; }
    // IOleInPlaceSite
    STDMETHOD(OnInPlaceActivate)() override { return S_OK; }
    STDMETHOD(OnUIActivate)() override { return E_NOTIMPL; }
    STDMETHOD(GetWindowContext)
    (IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT, LPRECT,
     LPOLEINPLACEFRAMEINFO) override {
        if (frame)
            *frame = nullptr;
        if (document)
            *document = nullptr;
        return S_OK;
    }
    STDMETHOD(OnUIDeactivate)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(OnInPlaceDeactivate)() override { return S_OK; }
    STDMETHOD(DiscardUndoState)() override { return E_NOTIMPL; }
    STDMETHOD(DeactivateAndUndo)() override { return E_NOTIMPL; }
    STDMETHOD(OnPosRectChange)(LPCRECT rect) override {
        if (!rect)
            return E_POINTER;
        IOleInPlaceObject* inPlace = nullptr;
        if (m_control &&
            SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject, (void**)&inPlace))) {
            inPlace->SetObjectRects(rect, rect);
            inPlace->Release();
        }
        m_positionChanged = true;
        return S_OK;
    }
    // IOleInPlaceSiteEx
    STDMETHOD(OnInPlaceActivateEx)(BOOL*, DWORD) override {
        if (m_host)
            GetClientRect(m_host, &m_rect);
        return OnPosRectChange(&m_rect);
    }
    STDMETHOD(OnInPlaceDeactivateEx)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(RequestUIActivate)() override { return E_NOTIMPL; }
    // IOleInPlaceSiteWindowless
    STDMETHOD(GetFocus)() override { return E_NOTIMPL; }
    STDMETHOD(InvalidateRect)(LPCRECT, BOOL) override {
        if (m_positionChanged) {
            m_positionChanged = false;
            if (m_owner)
                m_owner->Invalidate(nullptr);
        }
        return S_OK;
    }
    STDMETHOD(InvalidateRgn)(HRGN, BOOL) override { return E_NOTIMPL; }
    STDMETHOD(AdjustRect)(LPRECT) override { return E_NOTIMPL; }
    STDMETHOD(OnDefWindowMessage)(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
        IOleInPlaceObjectWindowless* windowless = nullptr;
        if (!m_control ||
            FAILED(m_control->QueryInterface(IID_IOleInPlaceObjectWindowless, (void**)&windowless)))
            return 1;
        LRESULT ignored = 0;
        HRESULT hr = windowless->OnWindowMessage(msg, w, l, result ? result : &ignored);
        windowless->Release();
        return hr;
    }

    // IOleClientSite
    STDMETHOD(SaveObject)() override { return E_NOTIMPL; }
    STDMETHOD(GetContainer)(IOleContainer** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(ShowObject)() override {
        SIZEL extent = {0, 0};
        if (m_oleObject)
            m_oleObject->GetExtent(DVASPECT_CONTENT, &extent);
        return S_OK;
    }

    // IPropertyNotifySink
    STDMETHOD(OnChanged)(DISPID) override { return S_OK; }
    STDMETHOD(OnRequestEdit)(DISPID) override { return S_OK; }

    // IBindHost
    STDMETHOD(CreateMoniker)(LPOLESTR name, IBindCtx*, IMoniker** out, DWORD) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!name)
            return E_INVALIDARG;
        return CreateURLMoniker(nullptr, name, out);
    }
    STDMETHOD(MonikerBindToStorage)
    (IMoniker* moniker, IBindCtx* context, IBindStatusCallback* callback, REFIID iid,
     void** out) override {
        if (!moniker || !out)
            return E_POINTER;
        *out = nullptr;
        HRESULT hr = S_OK;
        IBindCtx* made = nullptr;
        if (context) {
            if (callback)
                hr = RegisterBindStatusCallback(context, callback, nullptr, 0);
        } else if (callback) {
            hr = CreateAsyncBindCtx(0, callback, nullptr, &made);
        } else {
            hr = CreateBindCtx(0, &made);
        }
        if (SUCCEEDED(hr))
            hr = moniker->BindToStorage(context ? context : made, nullptr, iid, out);
        if (made)
            made->Release();
        return hr;
    }
    STDMETHOD(MonikerBindToObject)
    (IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID, void** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    // IServiceProvider: the bind host only.
    STDMETHOD(QueryService)(REFGUID service, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (service == kBindHostService)
            return _InternalQueryInterface(iid, out);
        return E_NOINTERFACE;
    }

    // ISWFContainer
    STDMETHOD(SetHostWindow)(HWND window) override {
        m_host = window;
        return S_OK;
    }
    STDMETHOD(SetControlRect)(const RECT* rect) override {
        if (!rect)
            return E_POINTER;
        m_rect = *rect;
        return S_OK;
    }
    STDMETHOD_(BOOL, QuickActivate)(const char* movie) override;
    STDMETHOD(Close)() override {
        if (m_sink) {
            m_sink->Release();
            m_sink = nullptr;
        }
        if (m_oleObject) {
            m_oleObject->Close(OLECLOSE_NOSAVE);
            m_oleObject->Release();
            m_oleObject = nullptr;
        }
        if (m_control) {
            m_control->Release();
            m_control = nullptr;
        }
        m_activated = false;
        m_drawn = false;
        return S_OK;
    }
    STDMETHOD_(BOOL, IsActivated)() override { return m_activated; }
    STDMETHOD(Draw)(HDC dc) override {
        try {
            IViewObject* view = nullptr;
            if (m_control && SUCCEEDED(m_control->QueryInterface(IID_IViewObject, (void**)&view))) {
                DVASPECTINFO aspect = {sizeof(DVASPECTINFO), DVASPECTINFOFLAG_CANOPTIMIZE};
                view->Draw(DVASPECT_OPAQUE, 0, &aspect, nullptr, nullptr, dc, nullptr, nullptr,
                           nullptr, 0);
                view->Release();
            }
            m_drawn = true;
        } catch (...) {
        }
        return S_OK;
    }
    STDMETHOD(ForwardMessage)(const MSG* message) override {
        if (!m_drawn || !message)
            return S_OK;
        LRESULT result = 0;
        return OnDefWindowMessage(message->message, message->wParam, message->lParam, &result);
    }
    STDMETHOD(SetControlSize)(int width, int height) override {
        m_rect.right = m_rect.left + width;
        m_rect.bottom = m_rect.top + height;
        return OnPosRectChange(&m_rect);
    }
    STDMETHOD(Play)() override {
        if (!FullyLoaded())
            return E_FAIL;
        return IsStopped() ? CallMethod(m_control, L"Play") : S_OK;
    }
    STDMETHOD(Stop)() override {
        if (!FullyLoaded())
            return E_FAIL;
        return IsStopped() ? S_OK : CallMethod(m_control, L"Stop");
    }
    STDMETHOD(StopPlaying)() override { return Stop(); }
    STDMETHOD(Rewind)() override {
        if (!FullyLoaded())
            return E_FAIL;
        return CallMethod(m_control, L"Rewind");
    }
    STDMETHOD_(long, IsStopped)() override {
        if (!FullyLoaded())
            return 1;
        VARIANT playing;
        VariantInit(&playing);
        HRESULT hr = CallByName(m_control, L"Playing", DISPATCH_PROPERTYGET, nullptr, 0, &playing);
        const bool on = SUCCEEDED(hr) && playing.vt == VT_BOOL && playing.boolVal == VARIANT_TRUE;
        VariantClear(&playing);
        return on ? 0 : 1;
    }
    STDMETHOD(SetLoop)(BOOL loop) override {
        if (!FullyLoaded())
            return E_FAIL;
        return PutBool(m_control, L"Loop", loop);
    }
    STDMETHOD(IsMovieLoaded)(long* frames) override {
        if (!frames)
            return E_POINTER;
        *frames = 0;
        if (!FullyLoaded()) {
            LOG_MSG("CSWFContainer::IsMovieLoaded failed");
            return E_FAIL;
        }
        return GetLong(m_control, L"TotalFrames", frames);
    }
    STDMETHOD(GetCurrentFrame)(long* frame) override {
        if (!frame)
            return E_POINTER;
        *frame = 0;
        if (!FullyLoaded())
            return E_FAIL;
        return GetLong(m_control, L"FrameNum", frame);
    }
    STDMETHOD(GotoFrame)(long frame) override {
        if (!FullyLoaded())
            return E_FAIL;
        VARIANT arg;
        arg.vt = VT_I4;
        arg.lVal = frame;
        VARIANT result;
        VariantInit(&result);
        CallByName(m_control, L"GotoFrame", DISPATCH_METHOD, &arg, 1, &result);
        VariantClear(&result);
        VARIANT playing;
        VariantInit(&playing);
        HRESULT hr = CallByName(m_control, L"Playing", DISPATCH_PROPERTYGET, nullptr, 0, &playing);
        VariantClear(&playing);
        return hr;
    }
    STDMETHOD(SetMenu)(BOOL on) override {
        if (!m_activated)
            return E_FAIL;
        return PutBool(m_control, L"Menu", on);
    }

private:
    HWND SiteWindow() override { return m_host; }
    bool FullyLoaded() {
        if (!m_control)
            return false;
        long percent = 0;
        HRESULT hr = GetLong(m_control, L"PercentLoaded", &percent);
        if (FAILED(hr)) {
            LOG_MSG("PercentLoaded FAILED , lPercent= %d", (int)percent);
            return false;
        }
        return percent == 100;
    }
    bool CreateControl(IOleClientSite* site);

    HWND m_host = nullptr;
    IDispatch* m_sink = nullptr;
    IOleObject* m_oleObject = nullptr;
    IDispatch* m_control = nullptr;
    IInvalidateTarget* m_owner = nullptr;
    RECT m_rect = {0, 0, 0, 0};
    bool m_positionChanged = false;
    bool m_activated = false;
    bool m_drawn = false;
};

bool CSWFContainer::CreateControl(IOleClientSite* site) {
    HRESULT hr =
        CoCreateInstance(kFlashClass, nullptr, CLSCTX_ALL, kIShockwaveFlash, (void**)&m_control);
    if (FAILED(hr)) {
        m_control = nullptr;
        LOG_HRESULT(hr, "CreateInstance IID_IShockwaveFlash Failed!");
        return false;
    }
    hr = m_control->QueryInterface(IID_IOleObject, (void**)&m_oleObject);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "QueryInterface(IID_IOleObject) Failed!");
        return false;
    }
    IQuickActivate* quick = nullptr;
    hr = m_control->QueryInterface(IID_IQuickActivate, (void**)&quick);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "QueryInterface(IID_IQuickActivate) Failed!");
        return false;
    }
    QACONTAINER qa;
    memset(&qa, 0, sizeof(qa));
    qa.cbSize = sizeof(qa);
    qa.pClientSite = site;
    qa.pPropertyNotifySink = static_cast<IPropertyNotifySink*>(this);
    CComObject<CSWFEventSink>* sink = new (std::nothrow) CComObject<CSWFEventSink>();
    if (sink) {
        sink->AddRef();
        m_sink = sink;
    }
    qa.pUnkEventSink = m_sink;
    IBindHost* bindHost = nullptr;
    hr = _InternalQueryInterface(IID_IBindHost, (void**)&bindHost);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "QueryInterface(IID_IBindHost) Failed!");
        quick->Release();
        return false;
    }
    qa.pBindHost = bindHost;
    QACONTROL control;
    memset(&control, 0, sizeof(control));
    control.cbSize = sizeof(control);
    hr = quick->QuickActivate(&qa, &control);
    bindHost->Release();
    quick->Release();
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "pQActivate->QuickActivate Failed!");
        return false;
    }
    m_activated = true;
    return true;
}

BOOL CSWFContainer::QuickActivate(const char* movie) {
    IOleClientSite* site = nullptr;
    if (FAILED(_InternalQueryInterface(IID_IOleClientSite, (void**)&site))) {
        LOG_MSG("QueryInterface(IID_IOleClientSite) Failed!");
        LOG_MSG("CSWFContainer::QuickActivate FAILED");
        return FALSE;
    }
    if (m_activated) {
        CallMethod(m_control, L"StopPlay");
    } else if (!CreateControl(site)) {
        LOG_MSG("CSWFContainer::QuickActivate FAILED");
        site->Release();
        Close();
        return FALSE;
    }
    const std::wstring name = WideFromMultibyte(movie ? movie : "");
    if (FAILED(PutText(m_control, L"Movie", name.c_str())))
        LOG_MSG("put_Movie %s failed", movie ? movie : "");
    PutText(m_control, L"WMode", L"Opaque");
    HRESULT hr = m_oleObject ? m_oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0,
                                                   m_host, &m_rect)
                             : E_FAIL;
    site->Release();
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "m_pOleObj->DoVerb failed");
        return FALSE;
    }
    PutText(m_control, L"Scale", L"ExactFit");
    VARIANT colour;
    VariantInit(&colour);
    if (SUCCEEDED(CallByName(m_control, L"BGColor", DISPATCH_PROPERTYGET, nullptr, 0, &colour)))
        PutValue(m_control, L"BGColor", colour);
    VariantClear(&colour);
    PutBool(m_control, L"Loop", FALSE);
    CallMethod(m_control, L"Stop");
    return TRUE;
}

}  // namespace

HRESULT CreateSWFContainer(ISWFContainer** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CSWFContainer>* object = new (std::nothrow) CComObject<CSWFContainer>();
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    ISWFContainerDispatch* dispatch = nullptr;
    HRESULT hr = object->QueryInterface(__uuidof(ISWFContainerDispatch), (void**)&dispatch);
    object->Release();
    if (FAILED(hr))
        return hr;
    hr = dispatch->QueryInterface(__uuidof(ISWFContainer), (void**)out);
    dispatch->Release();
    return hr;
}

void SetSWFContainerOwner(ISWFContainer* container, IInvalidateTarget* owner) {
    if (container)
        static_cast<CSWFContainer*>(container)->SetOwner(owner);
}
