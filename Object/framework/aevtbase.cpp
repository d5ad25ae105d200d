#include "aevtbase.h"

#include <algorithm>

#include "bTraceLog.h"

// ---- EventProcHolder ----

EventProcHolder::EventProcHolder()
    : m_pEventProc(nullptr),
      m_args(nullptr),
      m_capacity(0),
      m_reset(0),
      m_count(0),
      m_owner(nullptr) {}

EventProcHolder::~EventProcHolder() {
    ResetArgs(0);
    delete[] m_args;
    if (m_pEventProc)
        m_pEventProc->Release();
}

HRESULT EventProcHolder::InitEventProc(int type, IUnknown* object) {
    HRESULT hr = E_FAIL;
    IObjectCreator* creator = nullptr;
    if (m_owner)
        hr = m_owner->GetRootCreator(&creator);
    if (SUCCEEDED(hr) && !creator)
        hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        IDispatch* proc = nullptr;
        hr = creator->CreateEventProc(type, object, &proc);
        if (SUCCEEDED(hr)) {
            if (m_pEventProc)
                m_pEventProc->Release();
            m_pEventProc = proc;
        }
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "InitEventProc (type:%d) failed", type);
    return hr;
}

namespace {

// The record and timer side of an event procedure; null when it has none.
CComPtr<IEventProcStore> StoreOf(IDispatch* proc) {
    CComPtr<IEventProcStore> store;
    proc->QueryInterface(__uuidof(IEventProcStore), reinterpret_cast<void**>(&store));
    return store;
}

}  // namespace

HRESULT EventProcHolder::LoadEventProcRecord(ITeskStream* stream) {
    if (!m_pEventProc)
        return S_OK;
    CComPtr<IEventProcStore> store = StoreOf(m_pEventProc);
    return store ? store->LoadRecord(stream) : E_FAIL;
}

HRESULT EventProcHolder::SaveEventProcRecord(ITeskStream* stream) {
    if (!m_pEventProc)
        return S_OK;
    CComPtr<IEventProcStore> store = StoreOf(m_pEventProc);
    return store ? store->SaveRecord(stream) : E_FAIL;
}

HRESULT EventProcHolder::StartTimers(IObjectEvent* target) {
    if (!m_pEventProc)
        return S_FALSE;
    CComPtr<IEventProcStore> store = StoreOf(m_pEventProc);
    return store ? store->StartTimers(target) : S_FALSE;
}

void EventProcHolder::ResetArgs(int count) {
    for (int i = 0; i < m_count; ++i) VariantClear(&m_args[i]);
    m_count = 0;
    m_reset = count;
    if (count > m_capacity) {
        delete[] m_args;
        m_args = new VARIANT[count];
        m_capacity = count;
    }
    for (int i = 0; i < m_capacity; ++i) VariantInit(&m_args[i]);
}

void EventProcHolder::PushArg(const VARIANT& v) {
    if (m_count >= m_reset) {
        // One more than announced: the whole array goes.
        for (int i = 0; i < m_count; ++i) VariantClear(&m_args[i]);
        m_count = 0;
        m_reset = 0;
        return;
    }
    VariantInit(&m_args[m_count]);
    VariantCopyInd(&m_args[m_count], const_cast<VARIANT*>(&v));
    ++m_count;
}

HRESULT EventProcHolder::Invoke(DWORD id) {
    if (!m_pEventProc) {
        ResetArgs(0);
        return S_FALSE;
    }
    DISPPARAMS params = {m_count ? m_args : nullptr, nullptr, (UINT)m_count, 0};
    HRESULT hr = m_pEventProc->Invoke((DISPID)id, IID_NULL, 0x400, DISPATCH_METHOD, &params,
                                      nullptr, nullptr, nullptr);
    ResetArgs(0);
    return hr;
}

namespace {

VARIANT MakeVariant(VARTYPE vt, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    if (vt == VT_I2)
        v.iVal = (SHORT)value;
    else if (vt == VT_INT)
        v.intVal = (INT)value;
    else
        v.lVal = value;
    return v;
}

}  // namespace

int EventProcHolder::KeyWord(UINT keyCode, WORD keyFlags) {
    int bits = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        bits |= 1;
    if (GetKeyState(VK_CONTROL) < 0)
        bits |= 2;
    if (GetKeyState(VK_MENU) < 0)
        bits |= 4;
    if ((keyFlags & 0x100) && keyCode != 13)
        bits |= 8;
    return (int)(keyCode & 0xFF) | (bits << 8);
}

HRESULT EventProcHolder::FireTimer(int value) {
    ResetArgs(2);
    PushArg(MakeVariant(VT_INT, value));
    PushArg(MakeVariant(VT_INT, value));
    return Invoke(EVT_TIMER);
}

HRESULT EventProcHolder::FireKey(DWORD id, UINT keyCode, WORD keyFlags) {
    int k = KeyWord(keyCode, keyFlags);
    ResetArgs(3);
    PushArg(MakeVariant(VT_INT, k));
    PushArg(MakeVariant(VT_I2, k));
    PushArg(MakeVariant(VT_I2, (SHORT)keyFlags));
    return Invoke(id);
}

HRESULT EventProcHolder::FireChar(UINT character) {
    SHORT c = (SHORT)character;
    ResetArgs(2);
    PushArg(MakeVariant(VT_INT, c));
    PushArg(MakeVariant(VT_I2, c));
    return Invoke(EVT_GETCHAR);
}

HRESULT EventProcHolder::FireMouse(DWORD id, LONG x, LONG y) {
    ResetArgs(2);
    PushArg(MakeVariant(VT_I4, x));
    PushArg(MakeVariant(VT_I4, y));
    return Invoke(id);
}

HRESULT EventProcHolder::FireNoArgs(DWORD id) {
    ResetArgs(0);
    return Invoke(id);
}

HRESULT EventProcHolder::FireControlEvent(int n, const VARIANT* values, int count) {
    if (count < 0 || (count && !values))
        count = 0;
    ResetArgs(count + 1);
    PushArg(MakeVariant(VT_INT, n));
    for (int i = count - 1; i >= 0; --i) PushArg(values[i]);
    return Invoke(EVT_CONTROLEVENT);
}

// ---- CObjectEvent ----

CObjectEvent::CObjectEvent() : m_site(nullptr) {}

CObjectEvent::~CObjectEvent() {
    ReleaseListeners();
    if (m_site)
        m_site->Release();
}

void CObjectEvent::ReleaseListeners() {
    for (IEventListener* l : m_itfs) l->Release();
    m_itfs.clear();
    m_listeners.clear();
}

void CObjectEvent::SetEventSiteObject(IUnknown* site) {
    if (site)
        site->AddRef();
    if (m_site)
        m_site->Release();
    m_site = site;
}

STDMETHODIMP CObjectEvent::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR) {
    return FireListeners(id, arg1, arg2);
}

STDMETHODIMP CObjectEvent::Notify(DWORD, DWORD_PTR) {
    return S_OK;
}

STDMETHODIMP CObjectEvent::GetSite(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_site;
    if (!m_site)
        return E_FAIL;
    m_site->AddRef();
    return S_OK;
}

STDMETHODIMP CObjectEvent::AddListener(IUnknown* listener) {
    if (!listener)
        return E_POINTER;
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
        return S_OK;
    IEventListener* itf = nullptr;
    HRESULT hr = listener->QueryInterface(__uuidof(IEventListener), reinterpret_cast<void**>(&itf));
    if (FAILED(hr))
        return hr;
    if (!itf)
        return E_NOINTERFACE;
    m_listeners.push_back(listener);
    m_itfs.push_back(itf);
    return S_OK;
}

STDMETHODIMP CObjectEvent::RemoveListener(IUnknown* listener) {
    for (size_t i = 0; i < m_listeners.size(); ++i)
        if (m_listeners[i] == listener || m_itfs[i] == listener) {
            IEventListener* itf = m_itfs[i];
            m_listeners.erase(m_listeners.begin() + i);
            m_itfs.erase(m_itfs.begin() + i);
            itf->Release();
            return S_OK;
        }
    return S_OK;
}

STDMETHODIMP_(void) CObjectEvent::DeleteThis(UINT) {
    ReleaseListeners();
    SetEventSiteObject(nullptr);
}

HRESULT CObjectEvent::FireListeners(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2) {
    // A listener may remove itself: walk a counted copy.
    std::vector<IEventListener*> copy = m_itfs;
    for (IEventListener* l : copy) l->AddRef();
    for (IEventListener* l : copy) {
        l->OnEvent(id, arg1, arg2);
        l->Release();
    }
    return 1;
}

// ---- CObjectEventA ----

STDMETHODIMP CObjectEventA::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR) {
    HRESULT result = FireListeners(id, arg1, arg2);
    LONG x = (SHORT)LOWORD((DWORD)arg2);
    LONG y = (SHORT)HIWORD((DWORD)arg2);
    CComPtr<IToolTipWnd> tip;
    if (IPlayerSite* site = GetOwner()) {
        // The site lends its tooltip window uncounted: not ours to release.
        IUnknown* unknown = nullptr;
        if (SUCCEEDED(site->GetToolTipWindow(&unknown)) && unknown)
            unknown->QueryInterface(__uuidof(IToolTipWnd), reinterpret_cast<void**>(&tip));
    }
    switch (id) {
        case EVT_LBUTTONDOWN:
        case EVT_LBUTTONUP:
            FireMouse(id, x, y);
            break;
        case EVT_DBCLICK:
        case EVT_CLICK:
        case EVT_BEGINDRAG:
        case EVT_ENDDRAG:
        case EVT_OBJECTENTER:
        case EVT_OBJECTHOLD:
        case EVT_OBJECTLEAVE:
            FireNoArgs(id);
            break;
        case EVT_MOUSEENTER:
            if (tip)
                tip->Begin(EventObject());
            if (ICursorAbility* cursor = EventCursor()) {
                cursor->LoadCursorHandle();
                cursor->Apply();
            }
            FireNoArgs(id);
            break;
        case EVT_MOUSELEAVE:
            if (tip)
                tip->Hide();
            if (ICursorAbility* cursor = EventCursor())
                cursor->Restore();
            FireNoArgs(id);
            break;
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER: {
            IToolTipProp* props = EventToolTip();
            if (props && props->IsEnabled() == 0) {
                POINT pt = {x, y};
                props->LayoutAt(pt);
                if (tip)
                    tip->Update(props);
            }
            break;
        }
        case EVT_OBJECTEXIT:
            if (tip)
                tip->Drop(EventObject());
            FireNoArgs(id);
            break;
        default:
            break;
    }
    return result;
}

STDMETHODIMP CObjectEventA::Notify(DWORD code, DWORD_PTR arg) {
    IObjectBase* base = EventObjectBase();
    if (base) {
        switch (code) {
            case NOTIFY_ENTER:
                base->Enter();
                break;
            case NOTIFY_HOLD:
                base->Hold();
                break;
            case NOTIFY_LEAVE:
                base->Leave();
                break;
            case NOTIFY_EXIT:
                base->Exit();
                break;
            case NOTIFY_TICK:
                base->Tick((int)arg);
                break;
            case NOTIFY_SHOWHIDE:
                base->Notify((int)arg, 0);
                break;
            default:
                break;
        }
    }
    if (code == NOTIFY_TIMER)
        FireTimer((int)arg);
    return S_OK;
}

// ---- CObjectEventB ----

STDMETHODIMP CObjectEventB::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR) {
    HRESULT call = 1;
    switch (id) {
        case EVT_KEYDOWN:
        case EVT_KEYUP:
            call = FireKey(id, (UINT)arg1, HIWORD((DWORD)arg2));
            break;
        case EVT_GETCHAR:
            call = FireChar((UINT)arg1);
            break;
        case EVT_LBUTTONDOWN:
        case EVT_LBUTTONUP:
            if (!m_keysOnly)
                call = FireMouse(id, (SHORT)LOWORD((DWORD)arg2), (SHORT)HIWORD((DWORD)arg2));
            break;
        case EVT_DBCLICK:
        case EVT_CLICK:
            if (!m_keysOnly)
                call = FireNoArgs(id);
            break;
        default:
            break;
    }
    HRESULT listeners = m_keysOnly ? 1 : FireListeners(id, arg1, arg2);
    return (call != 0 && listeners != 0) ? 1 : 0;
}

STDMETHODIMP CObjectEventB::Notify(DWORD code, DWORD_PTR arg) {
    if (code == NOTIFY_TIMER)
        FireTimer((int)arg);
    return S_OK;
}
