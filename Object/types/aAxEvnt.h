// The event sink of the ActiveX control object: one dispatch object advised
// on the control's default source interface. The control's events become
// sub-events of OnControlEvent (2001) in the object's event procedure and
// are fired there with the control's DISPID first.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "aevtbase.h"

class CAxEventSink final : public IDispatch {
public:
    // `owner` is lent: the object detaches it before it goes.
    CAxEventSink(IUnknown* control, EventProcHolder* owner);

    // Finds the default source interface, keeps its type information and
    // registers its events under OnControlEvent.
    HRESULT Init();
    // Connects to the control's connection point, then freezes its events.
    HRESULT Advise();
    // Uses the kept cookie once.
    void Unadvise();
    void Detach() { m_owner = nullptr; }
    REFIID SourceIid() const { return m_source; }

    // ---- IUnknown ----
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // ---- IDispatch ----
    STDMETHOD(GetTypeInfoCount)(UINT* out) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** out) override;
    STDMETHOD(GetIDsOfNames)
    (REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHOD(Invoke)
    (DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* exception, UINT* argError) override;

private:
    ~CAxEventSink();
    HRESULT FindSourceInterface();

    LONG m_refs;
    IUnknown* m_control;
    EventProcHolder* m_owner;
    IID m_source;
    ITypeInfo* m_info;
    IConnectionPoint* m_point;
    DWORD m_cookie;
};

// The default source interface of a control: IProvideClassInfo2 first,
// else the class's type information (the implemented type that is exactly
// default and source). Its type information when `info` is given.
HRESULT GetControlSourceInterface(IUnknown* control, IID* out, ITypeInfo** info);
