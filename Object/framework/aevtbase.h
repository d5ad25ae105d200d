// The event part of objects: the listener list, the event-procedure holder
// (the script dispatch object and the argument array of its calls) and the
// object variant's stock reactions (tooltip, cursor) and notices.
#pragma once

#include <vector>

#include "aObjItf.h"

// Keeps an object's event procedure and calls it with the stock arguments.
class EventProcHolder {
public:
    EventProcHolder();
    virtual ~EventProcHolder();
    EventProcHolder(const EventProcHolder&) = delete;
    EventProcHolder& operator=(const EventProcHolder&) = delete;

    virtual IPlayerSite* GetOwner() { return m_owner; }
    virtual void SetOwner(IPlayerSite* site) { m_owner = site; }

    // Has the root creator make the event procedure of this event type for
    // the object. Logs "InitEventProc (type:%d) failed" on failure.
    HRESULT InitEventProc(int type, IUnknown* object);
    // The procedure's own record, through its store interface.
    HRESULT LoadEventProcRecord(ITeskStream* stream);
    HRESULT SaveEventProcRecord(ITeskStream* stream);
    // Schedules the procedure's Timer entries for the event interface.
    HRESULT StartTimers(IObjectEvent* target);

    // The calls of the stock events. Without a procedure nothing is called
    // (S_FALSE).
    HRESULT FireTimer(int value);
    HRESULT FireKey(DWORD id, UINT keyCode, WORD keyFlags);
    HRESULT FireChar(UINT character);
    HRESULT FireMouse(DWORD id, LONG x, LONG y);
    HRESULT FireNoArgs(DWORD id);
    // OnControlEvent: n, then the caller's values from the last to the first.
    HRESULT FireControlEvent(int n, const VARIANT* values, int count);

    // The key word of KeyDown/KeyUp: the key's low byte and the Shift (1),
    // Ctrl (2), Alt (4) and extended-key (8, not for Return) bits above it.
    static int KeyWord(UINT keyCode, WORD keyFlags);

    IDispatch* m_pEventProc;  // bound to the built-in ability "_EventProc"

protected:
    void ResetArgs(int count);
    void PushArg(const VARIANT& v);
    HRESULT Invoke(DWORD id);

private:
    VARIANT* m_args;
    int m_capacity;
    int m_reset;  // the count the arguments were reset to
    int m_count;  // arguments pushed
    IPlayerSite* m_owner;
};

// The listener list and the plain notify handling of every event interface.
class CObjectEvent : public IObjectEvent {
public:
    CObjectEvent();
    virtual ~CObjectEvent();

    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) override;
    STDMETHOD(GetSite)(IUnknown** out) override;
    STDMETHOD(AddListener)(IUnknown* listener) override;
    STDMETHOD(RemoveListener)(IUnknown* listener) override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // The site GetSite answers (held).
    void SetEventSiteObject(IUnknown* site);
    // Passes the event to every listener in order; always 1.
    HRESULT FireListeners(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2);
    int ListenerCount() const { return (int)m_listeners.size(); }
    void ReleaseListeners();

private:
    IUnknown* m_site;
    std::vector<IUnknown*> m_listeners;   // as given (identity) ...
    std::vector<IEventListener*> m_itfs;  // ... and their listener interfaces
};

// The object variant: the holder, the stock reactions and the notices. The
// object supplies itself, its tooltip properties and cursor, and its
// IObjectBase (for the life-cycle notices).
class CObjectEventA : public CObjectEvent, public EventProcHolder {
public:
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) override;

protected:
    virtual IUnknown* EventObject() = 0;
    virtual IObjectBase* EventObjectBase() = 0;
    virtual IToolTipProp* EventToolTip() = 0;
    virtual ICursorAbility* EventCursor() = 0;
};

// The page and application variant: keys first, then the listeners; 1 only
// when both the procedure and the listeners answered non-zero.
class CObjectEventB : public CObjectEvent, public EventProcHolder {
public:
    explicit CObjectEventB(bool keysOnly = false) : m_keysOnly(keysOnly) {}
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) override;

private:
    bool m_keysOnly;
};
