// The test control: a coloured rectangle with a note, window-less unless its
// Windowed property is set, that fires Clicked(x, y) from its default source
// when the left button goes down on it. The player's tests and the sample
// work host it; it registers for the current user.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <string>
#include <vector>

// The control's own identifiers are defined here.
#include <initguid.h>

#include "TestAxControl_h.h"
#include "bByteReader.h"

namespace {

HINSTANCE g_instance;
LONG g_objects;
LONG g_locks;

const wchar_t kWindowClass[] = L"TestAxControlWindow";
const wchar_t kProgId[] = L"Mavro.TestAxControl.1";
// Persisted state: colour, windowed flag, note length; the note's
// characters follow.
const size_t kStateHead = 12;
const DWORD kNoteLimit = 1 << 20;
const DWORD kConnectionCookie = 0x1000;

ITypeLib* TypeLib() {
    static ITypeLib* lib = [] {
        ITypeLib* l = nullptr;
        wchar_t path[MAX_PATH + 4];
        DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
        if (n && n < MAX_PATH)
            LoadTypeLibEx(path, REGKIND_NONE, &l);
        return l;
    }();
    return lib;
}

HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** out) {
    *out = nullptr;
    ITypeLib* lib = TypeLib();
    return lib ? lib->GetTypeInfoOfGuid(guid, out) : TYPE_E_CANTLOADLIBRARY;
}

class TestControl : public ITestAxControl,
                    public IOleObject,
                    public IOleInPlaceObjectWindowless,
                    public IOleControl,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IConnectionPointContainer,
                    public IConnectionPoint,
                    public IProvideClassInfo2 {
public:
    TestControl() { InterlockedIncrement(&g_objects); }
    virtual ~TestControl() {
        DestroyOwnWindow();
        for (IDispatch* s : m_sinks)
            if (s)
                s->Release();
        if (m_site)
            m_site->Release();
        if (m_viewSink)
            m_viewSink->Release();
        InterlockedDecrement(&g_objects);
    }

    // ---- IUnknown ----
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ITestAxControl)
            *ppv = static_cast<ITestAxControl*>(this);
        else if (iid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (iid == IID_IOleInPlaceObjectWindowless || iid == IID_IOleInPlaceObject ||
                 iid == IID_IOleWindow)
            *ppv = static_cast<IOleInPlaceObjectWindowless*>(this);
        else if (iid == IID_IOleControl)
            *ppv = static_cast<IOleControl*>(this);
        else if (iid == IID_IViewObject || iid == IID_IViewObject2)
            *ppv = static_cast<IViewObject2*>(this);
        else if (iid == IID_IPersistStreamInit || iid == IID_IPersist)
            *ppv = static_cast<IPersistStreamInit*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
            *ppv = static_cast<IProvideClassInfo2*>(this);
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG n = InterlockedDecrement(&m_ref);
        if (n == 0)
            delete this;
        return (ULONG)n;
    }

    // ---- IDispatch, ITestAxControl ----
    STDMETHODIMP GetTypeInfoCount(UINT* out) override {
        if (!out)
            return E_POINTER;
        *out = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        return TypeInfoOf(IID_ITestAxControl, out);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = TypeInfoOf(IID_ITestAxControl, &info);
        if (FAILED(hr))
            return hr;
        hr = DispGetIDsOfNames(info, names, count, ids);
        info->Release();
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* ex, UINT* argError) override {
        ITypeInfo* info = nullptr;
        HRESULT hr = TypeInfoOf(IID_ITestAxControl, &info);
        if (FAILED(hr))
            return hr;
        hr = DispInvoke(static_cast<ITestAxControl*>(this), info, id, flags, params, result, ex,
                        argError);
        info->Release();
        return hr;
    }
    STDMETHODIMP get_Color(LONG* out) override {
        if (!out)
            return E_POINTER;
        *out = (LONG)m_color;
        return S_OK;
    }
    STDMETHODIMP put_Color(LONG value) override {
        m_color = (COLORREF)value & 0xFFFFFF;
        m_dirty = true;
        Redraw();
        return S_OK;
    }
    STDMETHODIMP get_Note(BSTR* out) override {
        if (!out)
            return E_POINTER;
        *out = SysAllocStringLen(m_note.data(), (UINT)m_note.size());
        return *out || m_note.empty() ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP put_Note(BSTR value) override {
        m_note.assign(value ? value : L"", value ? SysStringLen(value) : 0);
        m_dirty = true;
        return S_OK;
    }
    STDMETHODIMP get_Windowed(LONG* out) override {
        if (!out)
            return E_POINTER;
        *out = m_windowed ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP put_Windowed(LONG value) override {
        // Takes effect at the next activation.
        m_windowed = value != 0;
        m_dirty = true;
        return S_OK;
    }

    // ---- IOleObject ----
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        if (site)
            site->AddRef();
        if (m_site)
            m_site->Release();
        m_site = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** out) override {
        if (!out)
            return E_POINTER;
        *out = m_site;
        if (m_site)
            m_site->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD) override {
        InPlaceDeactivate();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT rect) override {
        if (site && site != m_site)
            SetClientSite(site);
        switch (verb) {
            case OLEIVERB_SHOW:
            case OLEIVERB_INPLACEACTIVATE:
            case OLEIVERB_UIACTIVATE:
            case OLEIVERB_PRIMARY:
                return Activate(rect);
            case OLEIVERB_HIDE:
                if (m_window)
                    ShowWindow(m_window, SW_HIDE);
                return S_OK;
            default:
                return OLEOBJ_S_INVALIDVERB;
        }
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* out) override { return GetClassID(out); }
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override {
        return OleRegGetUserType(CLSID_TestAxControl, form, out);
    }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT || !size)
            return E_INVALIDARG;
        m_extent = *size;
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT || !size)
            return E_INVALIDARG;
        *size = m_extent;
        return S_OK;
    }
    STDMETHODIMP Advise(IAdviseSink*, DWORD* cookie) override {
        if (cookie)
            *cookie = 0;
        return E_NOTIMPL;
    }
    // Both the OLE advise and the connection point's: connection cookies
    // start at kConnectionCookie.
    STDMETHODIMP Unadvise(DWORD cookie) override {
        const size_t i = cookie - kConnectionCookie;
        if (cookie < kConnectionCookie || i >= m_sinks.size() || !m_sinks[i])
            return CONNECT_E_NOCONNECTION;
        m_sinks[i]->Release();
        m_sinks[i] = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
        if (!status)
            return E_POINTER;
        *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                  OLEMISC_SETCLIENTSITEFIRST;
        return S_OK;
    }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // ---- IOleWindow, IOleInPlaceObject(Windowless) ----
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out)
            return E_POINTER;
        *out = m_window;
        return m_window ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        if (!m_active)
            return S_OK;
        DestroyOwnWindow();
        m_active = false;
        if (m_inPlace) {
            m_inPlace->OnInPlaceDeactivate();
            m_inPlace->Release();
            m_inPlace = nullptr;
        }
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT) override {
        if (!pos)
            return E_POINTER;
        m_rect = *pos;
        if (m_window)
            MoveWindow(m_window, pos->left, pos->top, pos->right - pos->left,
                       pos->bottom - pos->top, TRUE);
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnWindowMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) override {
        if (result)
            *result = 0;
        if (message == WM_LBUTTONDOWN) {
            FireClicked((short)LOWORD(lParam), (short)HIWORD(lParam));
            return S_OK;
        }
        return S_FALSE;
    }
    STDMETHODIMP GetDropTarget(IDropTarget** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    // ---- IOleControl ----
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override {
        if (!info)
            return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    STDMETHODIMP OnMnemonic(MSG*) override { return S_OK; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
    STDMETHODIMP FreezeEvents(BOOL freeze) override {
        m_frozen += freeze ? 1 : -1;
        if (m_frozen < 0)
            m_frozen = 0;
        return S_OK;
    }

    // ---- IViewObject2 ----
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!dc)
            return E_INVALIDARG;
        RECT r = m_rect;
        if (bounds)
            r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
        HBRUSH brush = CreateSolidBrush(m_color);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        return S_OK;
    }
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) override {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD* cookie) override {
        if (cookie)
            *cookie = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD, DWORD, IAdviseSink* sink) override {
        if (sink)
            sink->AddRef();
        if (m_viewSink)
            m_viewSink->Release();
        m_viewSink = sink;
        return S_OK;
    }
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override {
        if (aspects)
            *aspects = DVASPECT_CONTENT;
        if (flags)
            *flags = 0;
        if (sink) {
            *sink = m_viewSink;
            if (m_viewSink)
                m_viewSink->AddRef();
        }
        return S_OK;
    }
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
        return GetExtent(aspect, size);
    }

    // ---- IPersistStreamInit ----
    STDMETHODIMP GetClassID(CLSID* out) override {
        if (!out)
            return E_POINTER;
        *out = CLSID_TestAxControl;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return m_dirty ? S_OK : S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override {
        if (!stream)
            return E_POINTER;
        BYTE head[kStateHead];
        ULONG got = 0;
        if (FAILED(stream->Read(head, sizeof(head), &got)) || got != sizeof(head))
            return E_FAIL;
        CByteReader r(head, sizeof(head));
        const DWORD color = r.U32LE(), windowed = r.U32LE(), chars = r.U32LE();
        if (chars > kNoteLimit)
            return E_FAIL;
        std::vector<BYTE> text((size_t)chars * 2);
        if (chars &&
            (FAILED(stream->Read(text.data(), (ULONG)text.size(), &got)) || got != text.size()))
            return E_FAIL;
        CByteReader t(text.data(), text.size());
        std::wstring note;
        for (DWORD i = 0; i < chars; ++i) note.push_back((wchar_t)t.U16LE());
        m_color = color & 0xFFFFFF;
        m_windowed = windowed != 0;
        m_note.swap(note);
        m_dirty = false;
        return S_OK;
    }
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override {
        if (!stream)
            return E_POINTER;
        std::vector<BYTE> out;
        auto u32 = [&](DWORD v) {
            for (int i = 0; i < 4; ++i) out.push_back((BYTE)(v >> (8 * i)));
        };
        u32(m_color);
        u32(m_windowed ? 1 : 0);
        u32((DWORD)m_note.size());
        for (wchar_t c : m_note) {
            out.push_back((BYTE)(c & 0xFF));
            out.push_back((BYTE)(c >> 8));
        }
        ULONG written = 0;
        HRESULT hr = stream->Write(out.data(), (ULONG)out.size(), &written);
        if (FAILED(hr))
            return hr;
        if (written != out.size())
            return STG_E_MEDIUMFULL;
        if (clearDirty)
            m_dirty = false;
        return S_OK;
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override {
        if (!size)
            return E_POINTER;
        size->QuadPart = kStateHead + m_note.size() * 2;
        return S_OK;
    }
    STDMETHODIMP InitNew() override {
        m_color = RGB(0, 128, 255);
        m_note.clear();
        m_windowed = false;
        m_dirty = false;
        return S_OK;
    }

    // ---- IConnectionPointContainer, IConnectionPoint ----
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != DIID__ITestAxControlEvents)
            return CONNECT_E_NOCONNECTION;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetConnectionInterface(IID* out) override {
        if (!out)
            return E_POINTER;
        *out = DIID__ITestAxControlEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out)
            return E_POINTER;
        *out = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        IDispatch* disp = nullptr;
        if (FAILED(sink->QueryInterface(DIID__ITestAxControlEvents,
                                        reinterpret_cast<void**>(&disp))) &&
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))))
            return CONNECT_E_CANNOTCONNECT;
        m_sinks.push_back(disp);
        *cookie = kConnectionCookie + (DWORD)(m_sinks.size() - 1);
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** out) override {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    // ---- IProvideClassInfo2 ----
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        return TypeInfoOf(CLSID_TestAxControl, out);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* out) override {
        if (!out)
            return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
            return E_INVALIDARG;
        *out = DIID__ITestAxControlEvents;
        return S_OK;
    }

    void FireClicked(LONG x, LONG y) {
        if (m_frozen)
            return;
        for (size_t i = 0; i < m_sinks.size(); ++i) {
            IDispatch* sink = m_sinks[i];
            if (!sink)
                continue;
            VARIANT args[2];
            VariantInit(&args[0]);
            VariantInit(&args[1]);
            // Arguments go last first.
            args[0].vt = VT_I4;
            args[0].lVal = y;
            args[1].vt = VT_I4;
            args[1].lVal = x;
            DISPPARAMS params = {args, nullptr, 2, 0};
            sink->AddRef();
            sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            sink->Release();
        }
    }
    void PaintOwn(HDC dc) {
        RECT r;
        GetClientRect(m_window, &r);
        HBRUSH brush = CreateSolidBrush(m_color);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }

private:
    HRESULT Activate(LPCRECT rect) {
        if (m_active)
            return S_OK;
        if (!m_site)
            return E_UNEXPECTED;
        IOleInPlaceSite* site = nullptr;
        IOleInPlaceSiteWindowless* windowless = nullptr;
        if (!m_windowed)
            m_site->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                   reinterpret_cast<void**>(&windowless));
        if (windowless && windowless->CanWindowlessActivate() == S_OK) {
            BOOL noRedraw = FALSE;
            windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
            site = windowless;
        } else {
            if (windowless)
                windowless->Release();
            windowless = nullptr;
            if (FAILED(
                    m_site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site))))
                return E_NOINTERFACE;
            if (site->CanInPlaceActivate() != S_OK) {
                site->Release();
                return E_FAIL;
            }
            site->OnInPlaceActivate();
        }
        RECT pos = rect ? *rect : m_rect, clip = pos;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* doc = nullptr;
        OLEINPLACEFRAMEINFO info = {sizeof(info), FALSE, nullptr, nullptr, 0};
        if (SUCCEEDED(site->GetWindowContext(&frame, &doc, &pos, &clip, &info))) {
            if (frame)
                frame->Release();
            if (doc)
                doc->Release();
        }
        m_rect = pos;
        if (!windowless || m_windowed) {
            HWND parent = nullptr;
            site->GetWindow(&parent);
            m_window = CreateWindowExW(
                0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pos.left, pos.top,
                pos.right - pos.left, pos.bottom - pos.top, parent, nullptr, g_instance, this);
        }
        m_inPlace = site;
        m_active = true;
        return S_OK;
    }
    void DestroyOwnWindow() {
        if (m_window) {
            SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
            DestroyWindow(m_window);
            m_window = nullptr;
        }
    }
    void Redraw() {
        if (m_window)
            InvalidateRect(m_window, nullptr, TRUE);
        else if (m_active && m_inPlace) {
            IOleInPlaceSiteWindowless* w = nullptr;
            if (SUCCEEDED(m_inPlace->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                    reinterpret_cast<void**>(&w)))) {
                w->InvalidateRect(&m_rect, TRUE);
                w->Release();
            }
        }
    }

    LONG m_ref = 0;
    COLORREF m_color = RGB(0, 128, 255);
    std::wstring m_note;
    bool m_windowed = false;
    bool m_dirty = false;
    bool m_active = false;
    int m_frozen = 0;
    SIZEL m_extent = {2540, 2540};
    RECT m_rect = {0, 0, 96, 96};
    HWND m_window = nullptr;
    IOleClientSite* m_site = nullptr;
    IOleInPlaceSite* m_inPlace = nullptr;
    IAdviseSink* m_viewSink = nullptr;
    std::vector<IDispatch*> m_sinks;
};

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)cs->lpCreateParams);
    }
    auto* control = reinterpret_cast<TestControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (control)
                control->PaintOwn(dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
            if (control)
                control->FireClicked((short)LOWORD(lParam), (short)HIWORD(lParam));
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

class ClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        TestControl* control = new (std::nothrow) TestControl();
        if (!control)
            return E_OUTOFMEMORY;
        control->AddRef();
        HRESULT hr = control->QueryInterface(iid, ppv);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

ClassFactory g_factory;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = L"";
    StringFromGUID2(guid, text, 40);
    return text;
}

LONG SetKey(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc;
}

// The class's keys below root (the user's classes or the merged view).
LONG WriteClassKeys(HKEY root, const std::wstring& classes, const wchar_t* path) {
    const std::wstring clsid = classes + L"CLSID\\" + GuidText(CLSID_TestAxControl);
    const std::wstring libid = GuidText(LIBID_TestAxControlLib);
    LONG rc = SetKey(root, clsid, nullptr, L"TestAxControl Class");
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\InprocServer32", nullptr, path);
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\ProgID", nullptr, kProgId);
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\Control", nullptr, L"");
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\TypeLib", nullptr, libid);
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, clsid + L"\\Version", nullptr, L"1.0");
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, classes + kProgId, nullptr, L"TestAxControl Class");
    if (rc == ERROR_SUCCESS)
        rc = SetKey(root, classes + kProgId + L"\\CLSID", nullptr, GuidText(CLSID_TestAxControl));
    return rc;
}

bool ClassVisible() {
    HKEY h = nullptr;
    const std::wstring key = L"CLSID\\" + GuidText(CLSID_TestAxControl) + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ControlWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);
    } else if (reason == DLL_PROCESS_DETACH) {
        UnregisterClassW(kWindowClass, instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_TestAxControl)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Registers the class, its program id and its type library for the current
// user (no administrator rights needed).
extern "C" HRESULT WINAPI DllRegisterServer() {
    wchar_t path[MAX_PATH + 4];
    DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (!n || n >= MAX_PATH)
        return SELFREG_E_CLASS;
    LONG rc = WriteClassKeys(HKEY_CURRENT_USER, L"Software\\Classes\\", path);
    // A system that does not merge the user's classes into the classes root
    // (Wine) finds the class only there.
    if (rc == ERROR_SUCCESS && !ClassVisible())
        rc = WriteClassKeys(HKEY_CLASSES_ROOT, L"", path);
    if (rc != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    ITypeLib* lib = TypeLib();
    if (!lib)
        return SELFREG_E_TYPELIB;
    typedef HRESULT(WINAPI * RegisterForUser)(ITypeLib*, OLECHAR*, OLECHAR*);
    auto reg = reinterpret_cast<RegisterForUser>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "RegisterTypeLibForUser")));
    HRESULT hr = reg ? reg(lib, path, nullptr) : E_NOTIMPL;
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_TestAxControl);
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + clsid).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + kProgId).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    typedef HRESULT(WINAPI * UnregisterForUser)(REFGUID, WORD, WORD, LCID, SYSKIND);
    auto unreg = reinterpret_cast<UnregisterForUser>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "UnRegisterTypeLibForUser")));
    if (unreg)
        unreg(LIBID_TestAxControlLib, 1, 0, LOCALE_NEUTRAL,
              sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
}
