#include "aAxEvnt.h"

#include <vector>

#include "bComBase.h"
#include "bTraceLog.h"

namespace {

// The implemented type of a class that is exactly default and source.
HRESULT SourceOfClass(ITypeInfo* cls, IID* out, ITypeInfo** info) {
    TYPEATTR* attr = nullptr;
    if (FAILED(cls->GetTypeAttr(&attr)) || !attr)
        return E_FAIL;
    const WORD count = attr->cImplTypes;
    cls->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        if (FAILED(cls->GetImplTypeFlags(i, &flags)) ||
            flags != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        CComPtr<ITypeInfo> source;
        if (FAILED(cls->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(cls->GetRefTypeInfo(ref, &source)) || !source)
            return E_FAIL;
        TYPEATTR* a = nullptr;
        if (FAILED(source->GetTypeAttr(&a)) || !a)
            return E_FAIL;
        *out = a->guid;
        source->ReleaseTypeAttr(a);
        if (info)
            *info = source.Detach();
        return S_OK;
    }
    return E_FAIL;
}

}  // namespace

HRESULT GetControlSourceInterface(IUnknown* control, IID* out, ITypeInfo** info) {
    if (!control || !out)
        return E_POINTER;
    if (info)
        *info = nullptr;
    // The library the control's own dispatch interface lives in.
    CComPtr<ITypeLib> lib;
    CComPtr<IDispatch> dispatch;
    if (SUCCEEDED(control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) &&
        dispatch) {
        CComPtr<ITypeInfo> own;
        UINT index = 0;
        if (SUCCEEDED(dispatch->GetTypeInfo(0, LOCALE_SYSTEM_DEFAULT, &own)) && own)
            own->GetContainingTypeLib(&lib, &index);
    }
    CComPtr<IProvideClassInfo2> classInfo2;
    if (SUCCEEDED(control->QueryInterface(IID_IProvideClassInfo2,
                                          reinterpret_cast<void**>(&classInfo2))) &&
        classInfo2 && SUCCEEDED(classInfo2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, out))) {
        if (info && lib)
            lib->GetTypeInfoOfGuid(*out, info);
        if (info && !*info) {
            CComPtr<ITypeInfo> cls;
            IID ignored;
            if (SUCCEEDED(classInfo2->GetClassInfo(&cls)) && cls)
                SourceOfClass(cls, &ignored, info);
        }
        return S_OK;
    }
    CComPtr<IPersist> persist;
    CLSID clsid;
    CComPtr<ITypeInfo> cls;
    if (!lib || FAILED(control->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist))) ||
        !persist || FAILED(persist->GetClassID(&clsid)) ||
        FAILED(lib->GetTypeInfoOfGuid(clsid, &cls)) || !cls)
        return E_FAIL;
    return SourceOfClass(cls, out, info);
}

CAxEventSink::CAxEventSink(IUnknown* control, EventProcHolder* owner)
    : m_refs(1),
      m_control(control),
      m_owner(owner),
      m_source(IID_NULL),
      m_info(nullptr),
      m_point(nullptr),
      m_cookie(0) {
    if (m_control)
        m_control->AddRef();
}

CAxEventSink::~CAxEventSink() {
    Unadvise();
    if (m_info)
        m_info->Release();
    if (m_control)
        m_control->Release();
}

HRESULT CAxEventSink::FindSourceInterface() {
    HRESULT hr = GetControlSourceInterface(m_control, &m_source, &m_info);
    if (FAILED(hr))
        LOG_HRESULT(hr, "AtlGetObjectSourceInterface FAILED!");
    return hr;
}

HRESULT CAxEventSink::Init() {
    HRESULT hr = FindSourceInterface();
    if (SUCCEEDED(hr) && !m_info)
        hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        CComPtr<IEventProcTable> table;
        if (!m_owner || !m_owner->m_pEventProc ||
            FAILED(m_owner->m_pEventProc->QueryInterface(__uuidof(IEventProcTable),
                                                         reinterpret_cast<void**>(&table))) ||
            !table)
            hr = E_NOINTERFACE;
        else
            hr = table->InsertSubEvents(EVT_CONTROLEVENT, m_info);
        if (FAILED(hr))
            LOG_HRESULT(hr, "InsertSubEvent FAILED!");
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "AxEvent Init FAILED");
    return hr;
}

HRESULT CAxEventSink::Advise() {
    if (m_point)
        return S_OK;
    CComPtr<IConnectionPointContainer> container;
    HRESULT hr = m_control ? m_control->QueryInterface(IID_IConnectionPointContainer,
                                                       reinterpret_cast<void**>(&container))
                           : E_UNEXPECTED;
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(m_source, &m_point);
    if (SUCCEEDED(hr) && m_point) {
        hr = m_point->Advise(static_cast<IDispatch*>(this), &m_cookie);
        if (FAILED(hr)) {
            m_point->Release();
            m_point = nullptr;
        }
    }
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "AxEvent Advise FAILED");
        return hr;
    }
    CComPtr<IOleControl> control;
    if (SUCCEEDED(m_control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control))))
        control->FreezeEvents(TRUE);
    return S_OK;
}

void CAxEventSink::Unadvise() {
    if (!m_point)
        return;
    IConnectionPoint* point = m_point;
    m_point = nullptr;
    point->Unadvise(m_cookie);
    point->Release();
    m_cookie = 0;
}

STDMETHODIMP CAxEventSink::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (!IsEqualIID(m_source, IID_NULL) && IsEqualIID(iid, m_source))) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAxEventSink::AddRef() {
    return (ULONG)InterlockedIncrement(&m_refs);
}

STDMETHODIMP_(ULONG) CAxEventSink::Release() {
    LONG n = InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return (ULONG)n;
}

STDMETHODIMP CAxEventSink::GetTypeInfoCount(UINT* out) {
    if (!out)
        return E_POINTER;
    *out = 1;
    return S_OK;
}

STDMETHODIMP CAxEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = m_info;
    if (!m_info)
        return E_FAIL;
    m_info->AddRef();
    return S_OK;
}

STDMETHODIMP CAxEventSink::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return m_info ? m_info->GetIDsOfNames(names, count, ids) : E_FAIL;
}

STDMETHODIMP CAxEventSink::Invoke(DISPID id, REFIID iid, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                  EXCEPINFO*, UINT*) {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    // Each argument by reference to the caller's own value: the procedure
    // reads through it and never writes back into the control.
    std::vector<VARIANT> args(params->cArgs);
    for (UINT i = 0; i < params->cArgs; ++i) {
        VARIANT& from = params->rgvarg[i];
        VARIANT& to = args[i];
        VariantInit(&to);
        if ((from.vt & VT_BYREF) || from.vt == VT_EMPTY || from.vt == VT_NULL) {
            to = from;
            continue;
        }
        to.vt = (VARTYPE)(from.vt | VT_BYREF);
        to.byref = from.vt == VT_DECIMAL ? static_cast<void*>(&from.decVal)
                                         : static_cast<void*>(&from.lVal);
    }
    HRESULT hr = E_UNEXPECTED;
    if (m_owner)
        hr = m_owner->FireControlEvent((int)id, args.empty() ? nullptr : args.data(),
                                       (int)args.size());
    if (FAILED(hr))
        LOG_HRESULT(hr, "FireAxControlEvent FAILED. id(%d)", (int)id);
    return hr;
}
