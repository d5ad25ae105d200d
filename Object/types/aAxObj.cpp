#include "aAxObj.h"

#include <string.h>

#include <algorithm>
#include <new>
#include <string>

#include "aAxEvnt.h"
#include "aUtil.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

LONG Width(const RECT& r) {
    return r.right - r.left;
}
LONG Height(const RECT& r) {
    return r.bottom - r.top;
}

// The logical rectangle of a buffer's context in device pixels.
RECT DeviceRectOf(HDC dc, const RECT& logical) {
    POINT corners[2] = {{logical.left, logical.top}, {logical.right, logical.bottom}};
    LPtoDP(dc, corners, 2);
    RECT r = {std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
              std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
    return r;
}

// Device units from here on, the origin at 0, 0.
void PlainMapping(HDC dc) {
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

}  // namespace

ActiveXObject::ActiveXObject()
    : m_objFlags(AXFLAG_STOCK_EVENTS),
      m_hostUnknown(nullptr),
      m_host(nullptr),
      m_hostControl(nullptr),
      m_sink(nullptr),
      m_state(nullptr),
      m_drawBuffer(nullptr),
      m_picture(nullptr),
      m_frame(nullptr),
      m_view(nullptr),
      m_activated(false),
      m_startedByActivation(false),
      m_oleInitialized(false) {
    Reset();
}

ActiveXObject::~ActiveXObject() {
    ReleaseControl();
    if (m_hostControl)
        m_hostControl->Release();
    if (m_host)
        m_host->Release();
    if (m_hostUnknown)
        m_hostUnknown->Release();
    if (m_state)
        m_state->Release();
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
    if (m_oleInitialized)
        OleUninitialize();
}

void ActiveXObject::Reset() {
    memset(&m_header, 0, sizeof(m_header));
    m_name[0] = 0;
    ReleaseBuffers();
    m_activated = false;
    m_startedByActivation = false;
}

void ActiveXObject::ReleaseBuffers() {
    if (m_drawBuffer)
        m_drawBuffer->Release();
    if (m_picture)
        m_picture->Release();
    m_drawBuffer = m_picture = nullptr;
}

bool ActiveXObject::HasControl() const {
    CComPtr<IUnknown> control;
    return m_host &&
           SUCCEEDED(m_host->QueryControl(IID_IUnknown, reinterpret_cast<void**>(&control))) &&
           control;
}

bool ActiveXObject::Playing() {
    IPlayerSite* site = ClassSite();
    return site && site->IsPlaying();
}

// ---- creation ----

STDMETHODIMP ActiveXObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    if (!m_frame) {
        if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame) {
            m_frame = nullptr;
            LOG_MSG("AxObj CreateMediaFrame FAILED");
            return E_FAIL;
        }
        m_frame->SetOwner(static_cast<II_IRender*>(this));
        AttachPart(m_frame);
    }
    if (!m_oleInitialized) {
        // S_FALSE too: every successful call is paired with an uninitialise.
        m_oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    }
    if (!m_hostUnknown && SUCCEEDED(AxCreateInstance(&m_hostUnknown)) && m_hostUnknown) {
        m_hostUnknown->QueryInterface(__uuidof(IAxWinHostWindow),
                                      reinterpret_cast<void**>(&m_host));
        m_hostUnknown->QueryInterface(__uuidof(IAxHostControl),
                                      reinterpret_cast<void**>(&m_hostControl));
        if (m_hostControl)
            if (IPlayerSite* site = ClassSite())
                m_hostControl->SetInvalidateTarget(site->GetViewWindow());
    }
    return S_OK;
}

HRESULT ActiveXObject::LoadAttachedPart(ITeskStream* stream) {
    if (!m_frame)
        return ClassBase::LoadAttachedPart(stream);
    HRESULT hr = m_frame->Load(stream);
    if (FAILED(hr))
        LOG_MSG("AxObj record: frame not read");
    return hr;
}

HRESULT ActiveXObject::CreateControl(REFCLSID clsid, IStream* state) {
    m_header.clsid = clsid;
    m_header.noControl = 0;
    if (!state)
        Layout();
    LPOLESTR userType = nullptr;
    HRESULT hr = OleRegGetUserType(clsid, USERCLASSTYPE_FULL, &userType);
    if (SUCCEEDED(hr) && userType) {
        MbCopyCut(m_name, sizeof(m_name), MultibyteFromWide(userType).c_str());
        CoTaskMemFree(userType);
    } else {
        LOG_HRESULT(hr, "OleRegGetUserType FAILED");
    }
    if (!m_host)
        return E_UNEXPECTED;
    LPOLESTR text = nullptr;
    hr = StringFromCLSID(clsid, &text);
    if (FAILED(hr))
        return hr;
    IPlayerSite* site = ClassSite();
    IUnknown* control = nullptr;
    hr = m_host->CreateControlEx(text, site ? site->GetViewWindow() : nullptr, state, &control,
                                 IID_NULL, nullptr);
    CoTaskMemFree(text);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CreateControl FAILED (%s)", m_name);
        return hr;
    }
    if (control)
        control->Release();
    m_host->QueryControl(IID_IViewObject, reinterpret_cast<void**>(&m_view));
    const bool frozen = SUCCEEDED(InitializeEventSink());
    if (!frozen)
        LOG_MSG("InitializeEventSink FAILED (%s)", m_name);
    Layout();
    CComPtr<IAxWinAmbientDispatch> ambient;
    if (SUCCEEDED(m_hostUnknown->QueryInterface(__uuidof(IAxWinAmbientDispatch),
                                                reinterpret_cast<void**>(&ambient))))
        ambient->put_UserMode(VARIANT_TRUE);
    CComPtr<IOleControl> oleControl;
    if (frozen &&
        SUCCEEDED(m_host->QueryControl(IID_IOleControl, reinterpret_cast<void**>(&oleControl))))
        oleControl->FreezeEvents(FALSE);
    return S_OK;
}

HRESULT ActiveXObject::InitializeEventSink() {
    if (m_sink)
        return E_OUTOFMEMORY;
    CComPtr<IUnknown> control;
    HRESULT hr = GetControlUnknown(&control);
    if (FAILED(hr))
        return hr;
    CAxEventSink* sink = new (std::nothrow) CAxEventSink(control, this);
    if (!sink)
        return E_OUTOFMEMORY;
    hr = sink->Init();
    if (SUCCEEDED(hr))
        hr = sink->Advise();
    if (FAILED(hr)) {
        sink->Detach();
        sink->Release();
        return hr;
    }
    m_sink = sink;
    return S_OK;
}

void ActiveXObject::ReleaseControl() {
    if (CAbility::GetState() != ABILITY_STOPPED)
        CAbility::Stop();
    if (m_sink) {
        m_sink->Detach();
        m_sink->Unadvise();
        m_sink->Release();
        m_sink = nullptr;
    }
    if (m_host) {
        CComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(
                m_host->QueryControl(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->UIDeactivate();
            inPlace->InPlaceDeactivate();
        }
        if (m_hostControl)
            m_hostControl->CloseControl();
    }
    if (m_view)
        m_view->Release();
    m_view = nullptr;
    Reset();
}

HRESULT ActiveXObject::GetControlUnknown(IUnknown** out) {
    if (!out || *out)
        return E_INVALIDARG;
    if (!m_host)
        return E_UNEXPECTED;
    return m_host->QueryControl(IID_IUnknown, reinterpret_cast<void**>(out));
}

HRESULT ActiveXObject::GetControlDispatch(IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HRESULT hr =
        m_host ? m_host->QueryControl(IID_IDispatch, reinterpret_cast<void**>(out)) : E_UNEXPECTED;
    if (FAILED(hr))
        LOG_HRESULT(hr, "AxObj Failed To Get Object's Primary IDispatch Interface");
    return hr;
}

// ---- the record ----

HRESULT ActiveXObject::LoadKind(ITeskStream* stream) {
    ReleaseControl();
    if (m_state)
        m_state->Release();
    m_state = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &m_state);
    if (FAILED(hr)) {
        m_state = nullptr;
        LOG_HRESULT(hr, "CreateStreamOnHGlobal() failed");
        return hr;
    }
    AxControlHeader header;
    memset(&header, 0, sizeof(header));
    bool ok = StreamHas(stream, sizeof(header));
    if (ok) {
        stream->Read(&header, sizeof(header));
        m_header = header;
        if (header.noControl == 1) {
            m_state->Release();
            m_state = nullptr;
            return S_OK;
        }
    }
    LONG length = 0;
    ok = ok && StreamReadValue(stream, &length) && length >= 0 && StreamHas(stream, length);
    BYTE piece[AX_STATE_PIECE];
    for (LONG left = ok ? length : 0; ok && left > 0;) {
        const ULONG n = (ULONG)std::min<LONG>(left, AX_STATE_PIECE);
        stream->Read(piece, n);
        ULONG written = 0;
        ok = SUCCEEDED(m_state->Write(piece, n, &written)) && written == n;
        left -= (LONG)n;
    }
    LONG flags = 0;
    ok = ok && StreamReadValue(stream, &flags);
    if (!ok) {
        LOG_MSG("some error occur while read axobj");
        m_state->Release();
        m_state = nullptr;
        if (!IsEqualCLSID(header.clsid, CLSID_NULL))
            CreateControl(header.clsid, nullptr);
        return E_FAIL;
    }
    m_objFlags = flags;
    LARGE_INTEGER zero = {};
    m_state->Seek(zero, STREAM_SEEK_SET, nullptr);
    CLSID clsid = CLSID_NULL;
    if (FAILED(ReadClassStm(m_state, &clsid))) {
        LOG_MSG("ReadClassStm err");
        clsid = header.clsid;
        m_state->Release();
        m_state = nullptr;
    }
    try {
        CreateControl(clsid, m_state);
    } catch (...) {
        LOG_MSG("Create or load err");
    }
    if (m_state)
        m_state->Seek(zero, STREAM_SEEK_SET, nullptr);
    return S_OK;
}

HRESULT ActiveXObject::SaveKind(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    CComPtr<IOleObject> ole;
    if (!m_host || FAILED(m_host->QueryControl(IID_IOleObject, reinterpret_cast<void**>(&ole))) ||
        !ole) {
        m_header.noControl = 1;
        stream->Write(&m_header, sizeof(m_header));
        return S_FALSE;
    }
    CComPtr<IStream> memory;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Create global stream failed. (%s)", m_name);
        return hr;
    }
    CLSID clsid = CLSID_NULL;
    CComPtr<IPersist> persist;
    CComPtr<IPersistStorage> storage;
    if (SUCCEEDED(ole->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist))) && persist)
        hr = persist->GetClassID(&clsid);
    else if (SUCCEEDED(
                 ole->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&storage))) &&
             storage)
        hr = storage->GetClassID(&clsid);
    else {
        // Without a class the state could not be read back: written as an
        // object without a control, which reads back as one.
        LOG_MSG("(%s) doesn't support IPersistStorage", m_name);
        m_header.noControl = 1;
        stream->Write(&m_header, sizeof(m_header));
        return S_FALSE;
    }
    if (FAILED(hr) || IsEqualCLSID(clsid, CLSID_NULL))
        clsid = m_header.clsid;
    m_header.clsid = clsid;
    m_header.noControl = 0;
    try {
        stream->Write(&m_header, sizeof(m_header));
        bool saved = false;
        hr = WriteClassStm(memory, clsid);
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "(%s) WriteClassStm failed", m_name);
        } else {
            CComPtr<IPersistStream> persistStream;
            CComPtr<IPersistStreamInit> persistInit;
            if (SUCCEEDED(ole->QueryInterface(IID_IPersistStream,
                                              reinterpret_cast<void**>(&persistStream))) &&
                persistStream)
                hr = persistStream->Save(memory, TRUE);
            else if (SUCCEEDED(ole->QueryInterface(IID_IPersistStreamInit,
                                                   reinterpret_cast<void**>(&persistInit))) &&
                     persistInit)
                hr = persistInit->Save(memory, TRUE);
            else {
                hr = E_NOINTERFACE;
                LOG_MSG("(%s) doesn't support spPersistStream or IPersistStreamInit", m_name);
            }
            if (FAILED(hr) && hr != E_NOINTERFACE)
                LOG_HRESULT(hr, "Save (%s) failed", m_name);
            saved = SUCCEEDED(hr);
        }
        if (!saved) {
            StreamWriteValue(stream, (LONG)0);
            StreamWriteValue(stream, m_objFlags);
            return S_FALSE;
        }
        STATSTG stat = {};
        hr = memory->Stat(&stat, STATFLAG_NONAME);
        if (FAILED(hr) || stat.cbSize.QuadPart > 0x7FFFFFFF)
            return FAILED(hr) ? hr : E_FAIL;
        const LONG length = (LONG)stat.cbSize.QuadPart;
        StreamWriteValue(stream, length);
        LARGE_INTEGER zero = {};
        memory->Seek(zero, STREAM_SEEK_SET, nullptr);
        BYTE piece[AX_STATE_PIECE];
        for (LONG left = length; left > 0;) {
            const ULONG n = (ULONG)std::min<LONG>(left, AX_STATE_PIECE);
            ULONG got = 0;
            if (FAILED(memory->Read(piece, n, &got)) || got != n)
                return E_FAIL;
            stream->Write(piece, n);
            left -= (LONG)n;
        }
        StreamWriteValue(stream, m_objFlags);
    } catch (const CTeskStreamExcept&) {
        LOG_MSG("Error while writting (%s)", m_name);
        return E_FAIL;
    }
    return S_OK;
}

// ---- layout, activation ----

RECT ActiveXObject::DeviceBounds() {
    RECT r = {0, 0, 0, 0};
    this->GetTransformedBounds(&r);
    if (IPlayerSite* site = ClassSite())
        if (IViewService* view = site->GetView())
            view->LPtoDPRect(&r);
    return r;
}

void ActiveXObject::Layout() {
    if (!m_hostControl)
        return;
    RECT now = {0, 0, 0, 0};
    m_hostControl->GetControlRect(&now);
    const RECT want = DeviceBounds();
    if (EqualRect(&now, &want))
        return;
    m_hostControl->SetControlRect(&want);
    if ((Width(now) != Width(want) || Height(now) != Height(want)) && OwnWindow()) {
        if (m_drawBuffer) {
            m_drawBuffer->Release();
            m_drawBuffer = CreateSiteBuffer(std::max<LONG>(1, labs(GetWidth())),
                                            std::max<LONG>(1, labs(GetHeight())), ClassSite());
        }
        CComPtr<IOleInPlaceSiteWindowless> site;
        if (SUCCEEDED(m_hostUnknown->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                    reinterpret_cast<void**>(&site))))
            site->InvalidateRect(nullptr, TRUE);
    }
}

STDMETHODIMP ActiveXObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    HRESULT hr = ClassBase::OnGeometryChanged(before, after, code);
    Layout();
    return hr;
}

HRESULT ActiveXObject::Activate(LONG verb) {
    if (!m_hostControl || !HasControl())
        return E_UNEXPECTED;
    if (verb == OLEIVERB_SHOW) {
        IPlayerSite* site = ClassSite();
        if (!site || !site->IsRunning())
            verb = OLEIVERB_INPLACEACTIVATE;
        else if (!OwnWindow() || CRenderBase::GetState() == RS_HOLDING)
            verb = OLEIVERB_SHOW;
        else
            verb = OLEIVERB_HIDE;
    }
    HRESULT hr;
    try {
        hr = m_hostControl->DoVerb(verb);
    } catch (...) {
        LOG_MSG("InPlaceActiveObject failed");
        return E_FAIL;
    }
    if (SUCCEEDED(hr) && !m_activated) {
        m_activated = true;
        if (!OwnWindow()) {
            if (!CAbility::m_site)
                CAbility::SetSite(ClassSite());
            HRESULT started = CAbility::Start();
            if (FAILED(started))
                LOG_HRESULT(started, "CSyncImp::Start failed");
            else
                m_startedByActivation = true;
        }
    }
    return hr;
}

// ---- the control's window ----

STDMETHODIMP ActiveXObject::GetControlWindow(HWND* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_hostControl || !HasControl())
        return E_FAIL;
    if (m_hostControl->IsWindowless() == S_OK)
        return S_OK;
    try {
        CComPtr<IOleWindow> window;
        CComPtr<IOleInPlaceActiveObject> active;
        if (SUCCEEDED(m_host->QueryControl(IID_IOleWindow, reinterpret_cast<void**>(&window))))
            window->GetWindow(out);
        else if (SUCCEEDED(m_host->QueryControl(IID_IOleInPlaceActiveObject,
                                                reinterpret_cast<void**>(&active))))
            active->GetWindow(out);
    } catch (...) {
        LOG_MSG("GetWindow FAILED");
        *out = nullptr;
        return E_FAIL;
    }
    return S_FALSE;
}

HWND ActiveXObject::OwnWindow() {
    HWND window = nullptr;
    return GetControlWindow(&window) == S_FALSE ? window : nullptr;
}

void ActiveXObject::ShowOwnWindow(bool show) {
    if (HWND window = OwnWindow())
        ShowWindow(window, show ? SW_SHOW : SW_HIDE);
}

STDMETHODIMP ActiveXObject::GetStockEventFiring(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_objFlags & AXFLAG_STOCK_EVENTS;
    return S_OK;
}

STDMETHODIMP ActiveXObject::SetStockEventFiring(LONG on) {
    if (on)
        m_objFlags |= AXFLAG_STOCK_EVENTS;
    else
        m_objFlags &= ~AXFLAG_STOCK_EVENTS;
    return S_OK;
}

STDMETHODIMP ActiveXObject::TranslateAccelerator(MSG* message) {
    CComPtr<IOleInPlaceActiveObject> active;
    if (!m_host ||
        FAILED(
            m_host->QueryControl(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) ||
        !active)
        return S_FALSE;
    return active->TranslateAccelerator(message);
}

STDMETHODIMP ActiveXObject::HasOwnWindow() {
    if (Playing() && CRenderBase::GetState() != RS_HOLDING) {
        HWND window = nullptr;
        return GetControlWindow(&window) == S_FALSE ? S_FALSE : S_OK;
    }
    return S_OK;
}

STDMETHODIMP ActiveXObject::Invalidate(const RECT* rect) {
    return this->InvalidateObject(rect);
}

// ---- drawing ----

void ActiveXObject::DrawView(HDC dc, const RECT& logical) {
    if (!m_view)
        return;
    // A page buffer maps with its window origin alone: that origin is set
    // to 0, 0 around the draw; any other mapping is set aside whole.
    POINT origin = {0, 0}, viewport = {0, 0};
    const bool plain = GetMapMode(dc) == MM_TEXT && GetViewportOrgEx(dc, &viewport) &&
                       viewport.x == 0 && viewport.y == 0 && GetWindowOrgEx(dc, &origin);
    const RECT device = plain ? RECT{logical.left - origin.x, logical.top - origin.y,
                                     logical.right - origin.x, logical.bottom - origin.y}
                              : DeviceRectOf(dc, logical);
    const int saved = plain ? 0 : SaveDC(dc);
    if (plain)
        SetWindowOrgEx(dc, 0, 0, nullptr);
    else
        PlainMapping(dc);
    const RECTL bounds = {device.left, device.top, device.right, device.bottom};
    m_view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    if (plain)
        SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
    else
        RestoreDC(dc, saved);
}

void ActiveXObject::Capture(IPixelBuffer** buffer, bool deactivate) {
    CComPtr<IViewObject> view;
    if (!m_host || FAILED(m_host->QueryControl(IID_IViewObject, reinterpret_cast<void**>(&view))))
        return;
    const LONG w = std::max<LONG>(1, labs(GetWidth())), h = std::max<LONG>(1, labs(GetHeight()));
    if (!*buffer)
        *buffer = CreateSiteBuffer(w, h, ClassSite());
    if (!*buffer)
        return;
    HDC dc = nullptr;
    if (SUCCEEDED((*buffer)->GetDC(&dc)) && dc) {
        const RECTL bounds = {0, 0, w, h};
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr,
                   0);
        (*buffer)->ReleaseDC(dc);
    }
    if (deactivate) {
        CComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(
                m_host->QueryControl(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
            inPlace->InPlaceDeactivate();
    }
}

void ActiveXObject::CopyBuffer(IPixelBuffer* from, HDC dc, const RECT& logical) {
    HDC source = nullptr;
    if (!from || FAILED(from->GetDC(&source)) || !source)
        return;
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_WIDTH | BIM_HEIGHT;
    from->GetBufferInfo(&info);
    const RECT device = DeviceRectOf(dc, logical);
    const int saved = SaveDC(dc);
    PlainMapping(dc);
    StretchBlt(dc, device.left, device.top, Width(device), Height(device), source, 0, 0,
               info.nWidth, info.nHeight, SRCCOPY);
    RestoreDC(dc, saved);
    from->ReleaseDC(source);
}

HRESULT ActiveXObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    if (!m_view)
        return S_FALSE;
    HDC dc = nullptr;
    if (Playing()) {
        if (!m_activated) {
            Activate(OLEIVERB_INPLACEACTIVATE);
            if (OwnWindow()) {
                if (CRenderBase::GetState() == RS_HOLDING) {
                    this->InvalidateObject(nullptr);
                } else {
                    Capture(&m_drawBuffer, false);
                    ShowOwnWindow(false);
                }
            }
        }
        HWND own = m_hostControl->IsWindowless() == S_OK ? nullptr : OwnWindow();
        if (FAILED(target->GetDC(&dc)) || !dc)
            return S_OK;
        HRESULT hr = S_OK;
        try {
            if (!own)
                DrawView(dc, *rect);
            else if (m_drawBuffer && !IsWindowVisible(own))
                CopyBuffer(m_drawBuffer, dc, *rect);
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        target->ReleaseDC(dc);
        return hr;
    }
    if (!m_picture) {
        m_hostControl->DoVerb(OLEIVERB_INPLACEACTIVATE);
        Capture(&m_picture, true);
    }
    if (m_picture && SUCCEEDED(target->GetDC(&dc)) && dc) {
        CopyBuffer(m_picture, dc, *rect);
        target->ReleaseDC(dc);
    }
    return S_OK;
}

// ---- render hooks ----

STDMETHODIMP ActiveXObject::SetVisible(BOOL on) {
    HRESULT hr = ClassBase::SetVisible(on);
    if (Playing()) {
        ShowOwnWindow(on != FALSE);
        if (on && OwnWindow())
            Capture(&m_drawBuffer, false);
    }
    return hr;
}

STDMETHODIMP ActiveXObject::BeforeExit() {
    HRESULT hr = ClassBase::BeforeExit();
    if (HasControl() && !OwnWindow() && CAbility::GetState() != ABILITY_STOPPED) {
        HRESULT stopped = CAbility::Stop();
        if (FAILED(stopped))
            LOG_HRESULT(stopped, "CSyncImp::Stop failed");
    }
    m_startedByActivation = false;
    m_activated = false;
    CComPtr<IOleInPlaceObject> inPlace;
    if (m_host &&
        SUCCEEDED(m_host->QueryControl(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
        inPlace->InPlaceDeactivate();
    return hr;
}

STDMETHODIMP ActiveXObject::OnClock() {
    HRESULT hr = CAbility::OnClock();
    if (HasControl() && !OwnWindow())
        this->InvalidateObject(nullptr);
    return hr;
}

// ---- events from the player ----

void ActiveXObject::SendToControl(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hostControl)
        m_hostControl->SendControlMessage(message, wParam, lParam, nullptr);
}

STDMETHODIMP ActiveXObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    const bool control = HasControl();
    HWND own = control ? OwnWindow() : nullptr;
    if ((id == EVT_LBUTTONDOWN || id == EVT_DBCLICK) && own)
        ::SetFocus(own);
    HRESULT hr = S_OK;
    if ((m_objFlags & AXFLAG_STOCK_EVENTS) && id <= EVT_OBJECTEXIT)
        hr = ClassBase::FireEvent(id, arg1, arg2, prev);
    if (own && Playing())
        ShowOwnWindow(CRenderBase::GetState() == RS_HOLDING);
    if (control && !own) {
        UINT message = 0;
        switch (id) {
            case EVT_LBUTTONDOWN:
                message = WM_LBUTTONDOWN;
                break;
            case EVT_LBUTTONUP:
                message = WM_LBUTTONUP;
                break;
            case EVT_DBCLICK:
                message = WM_LBUTTONDBLCLK;
                break;
            case EVT_MOUSEMOVE:
                message = WM_MOUSEMOVE;
                break;
            case EVT_KEYDOWN:
                SendToControl(WM_KEYDOWN, (WPARAM)arg1, (LPARAM)arg2);
                break;
            case EVT_KEYUP:
                SendToControl(WM_KEYUP, (WPARAM)arg1, (LPARAM)arg2);
                break;
            case EVT_GETCHAR:
                SendToControl(WM_CHAR, (WPARAM)arg1, (LPARAM)arg2);
                break;
            default:
                break;
        }
        if (message) {
            POINT p = {(SHORT)LOWORD((DWORD)arg2), (SHORT)HIWORD((DWORD)arg2)};
            if (IPlayerSite* site = ClassSite())
                if (IViewService* view = site->GetView())
                    view->LPtoDPPoint(&p);
            SendToControl(message, (WPARAM)arg1, MAKELPARAM(p.x, p.y));
        }
    }
    if (id == EVT_MOUSELEAVE)
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return hr;
}

// ---- script names ----

const ActiveXObject::NameEntry* ActiveXObject::FindExternal(const std::vector<NameEntry>& map,
                                                            DISPID external) {
    for (const NameEntry& e : map)
        if (e.external == external)
            return &e;
    return nullptr;
}

namespace {

template <class Entry>
DISPID EnterName(std::vector<Entry>& map, DISPID base, DISPID member, int ability) {
    for (const Entry& e : map)
        if (e.member == member && e.ability == ability)
            return e.external;
    const DISPID external = base + (DISPID)map.size();
    map.push_back(Entry{external, member, ability});
    return external;
}

}  // namespace

STDMETHODIMP ActiveXObject::GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    HRESULT hr = ClassBase::GetTypeInfo(index, locale, out);
    if (SUCCEEDED(hr))
        return hr;
    CComPtr<IDispatch> control;
    if (FAILED(GetControlDispatch(&control)))
        return hr;
    return control->GetTypeInfo(index, locale, out);
}

STDMETHODIMP ActiveXObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) {
    if (!names || !ids || count == 0 || !names[0])
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    DISPID member = DISPID_UNKNOWN;
    ITypeInfo* info = TypeInfo();
    if (info && SUCCEEDED(info->GetIDsOfNames(names, 1, &member))) {
        ids[0] = EnterName(m_ownNames, AX_DISPID_OWN, member, -1);
        return S_OK;
    }
    const std::string name = MultibyteFromWide(names[0]);
    char prefix[260] = "", memberName[260] = "";
    DWORD kind = 0;
    if (FAILED(SplitMemberPath(name.c_str(), prefix, sizeof(prefix), memberName, sizeof(memberName),
                               &kind)) ||
        kind == 0)
        return DISP_E_UNKNOWNNAME;
    std::wstring wideMember = WideFromMultibyte(memberName);
    LPOLESTR memberText = const_cast<LPOLESTR>(wideMember.c_str());
    if (kind == MEMBER_PREFIX_AX) {
        CComPtr<IDispatch> control;
        if (FAILED(GetControlDispatch(&control)) ||
            FAILED(control->GetIDsOfNames(iid, &memberText, 1, locale, &member)))
            return DISP_E_UNKNOWNNAME;
        ids[0] = EnterName(m_controlNames, AX_DISPID_CONTROL, member, -1);
        return S_OK;
    }
    const std::wstring ability = WideFromMultibyte(prefix);
    for (int i = 0; i < EntryCount(); ++i) {
        if (Entry(i).name != ability)
            continue;
        IUnknown* held = Entry(i).Get();
        CComPtr<IDispatch> dispatch;
        if (!held ||
            FAILED(held->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
            FAILED(dispatch->GetIDsOfNames(iid, &memberText, 1, locale, &member)))
            return DISP_E_UNKNOWNNAME;
        ids[0] = EnterName(m_abilityNames, AX_DISPID_ABILITY, member, i);
        return S_OK;
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP ActiveXObject::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argError) {
    if (id < 0)
        return DISP_E_MEMBERNOTFOUND;
    if (id >= AX_DISPID_CONTROL) {
        const NameEntry* e = FindExternal(m_controlNames, id);
        CComPtr<IDispatch> control;
        if (FAILED(GetControlDispatch(&control)))
            return DISP_E_MEMBERNOTFOUND;
        return control->Invoke(e ? e->member : id, iid, locale, flags, params, result, exception,
                               argError);
    }
    if (id >= AX_DISPID_ABILITY) {
        const NameEntry* e = FindExternal(m_abilityNames, id);
        if (!e || e->ability >= EntryCount())
            return DISP_E_MEMBERNOTFOUND;
        IUnknown* held = Entry(e->ability).Get();
        CComPtr<IDispatch> dispatch;
        if (!held ||
            FAILED(held->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
            return DISP_E_MEMBERNOTFOUND;
        return dispatch->Invoke(e->member, iid, locale, flags, params, result, exception, argError);
    }
    const NameEntry* e = FindExternal(m_ownNames, id);
    ITypeInfo* info = TypeInfo();
    if (!info)
        return TYPE_E_CANTLOADLIBRARY;
    return info->Invoke(static_cast<AxObject*>(this), e ? e->member : id, flags, params, result,
                        exception, argError);
}

HRESULT CreateActiveXObject(IUnknown** out) {
    return CreateObjectOfClass<ActiveXObject>(out);
}
