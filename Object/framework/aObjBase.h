// ObjectBase, the body every presentation object class instantiates: the
// ability container, the render part, the identity part with the creation
// record, the event part with the event-procedure holder, the tooltip
// properties and the cursor. Kind is the object class built on it; it draws
// its content (DrawContent) and reads its own record after the shared one
// (LoadKind).
#pragma once

#include "aCursor.h"
#include "aObjItf.h"
#include "aTTProp.h"
#include "aPixBuf.h"
#include "aablcont.h"
#include "aevtbase.h"
#include "arendimp.h"
#include "bComBase.h"
#include "bStorage.h"
#include "bTraceLog.h"

// IObjectBase's QueryAbility kept apart from the container's slot of the
// same name, which answers 1 (not E_FAIL) for none; its Refresh (int) apart
// from the database link's, which has the same signature.
class ObjectBaseItf : public IObjectBase {
public:
    STDMETHOD(QueryAbility)(REFIID iid, IUnknown** out) override {
        return QueryObjectAbility(iid, out);
    }
    STDMETHOD(Refresh)(int code) final { return RenderRefresh(code); }

protected:
    virtual HRESULT QueryObjectAbility(REFIID iid, IUnknown** out) = 0;
    virtual HRESULT RenderRefresh(int code) = 0;
};

template <class Kind>
class ObjectBase : public CComObjectRootBase,
                   public ObjectBaseItf,
                   public AbilityContainer,
                   public CRenderBase,
                   public CObjectEventA {
public:
    BEGIN_COM_MAP(ObjectBase)
    COM_INTERFACE_ENTRY(IObjectBase)
    COM_INTERFACE_ENTRY(II_IRender)
    COM_INTERFACE_ENTRY(IAbilityContainer)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()

    ObjectBase()
        : m_record(nullptr),
          m_site(nullptr),
          m_parent(nullptr),
          m_toolTip(nullptr),
          m_cursor(nullptr) {
        CreateToolTipProp(&m_toolTip);
        CreateCursorAbility(nullptr, &m_cursor);
    }
    virtual ~ObjectBase() {
        if (m_cursor)
            m_cursor->Release();
        if (m_toolTip)
            m_toolTip->Release();
        if (m_parent)
            m_parent->Release();
    }

    // ---- IObjectBase ----
    STDMETHOD(Load)(ITeskStream* stream) override {
        TRACE_POINT();
        if (!stream)
            return E_FAIL;
        try {
            HRESULT hr = LoadShared(stream);
            if (FAILED(hr))
                return hr;
            return static_cast<Kind*>(this)->LoadKind(stream);
        } catch (const CTeskStreamExcept&) {
            LOG_MSG("Object load: short read");
            return E_FAIL;
        }
    }
    STDMETHOD(Save)(ITeskStream*) override { return S_OK; }
    STDMETHOD(SetEventSite)(IPlayerSite* site) override {
        SetOwner(site);
        SetCursorSite(m_cursor, site);
        return S_OK;
    }
    STDMETHOD(Init)(ObjectCreationRecord* record) override {
        if (!record || !record->pSite)
            return E_INVALIDARG;
        IPlayerSite* play = nullptr;
        HRESULT hr = record->pSite->GetPlaySite(&play);
        if (SUCCEEDED(hr))
            hr = SetEventSite(play);
        if (FAILED(hr))
            return hr;
        m_site = record->pSite;
        hr = CreateParts(record);
        if (FAILED(hr))
            return hr;
        if (EntryCount() == 0) {
            AddBuiltin(L"_EventProc", -1, IID_IDispatch,
                       reinterpret_cast<IUnknown**>(&m_pEventProc));
            IObjectCreator* creator = nullptr;
            if (play && SUCCEEDED(play->GetRootCreator(&creator)) && creator) {
                LONG id = -1;
                creator->FindAbilityModule(__uuidof(IPathAnimate), &id);
                AddBuiltin(L"PathAnimate", id, __uuidof(IPathAnimate), PathMotionSlot());
            }
        }
        // Without its procedure the object's stored record would be read
        // out of step: no procedure, no object (the failure is logged).
        hr = InitEventProc(0, GetUnknown());
        if (FAILED(hr))
            return hr;
        m_record = record->pRecord;
        return S_OK;
    }
    STDMETHOD(Enter)() override {
        HRESULT hr = OnEnter();
        StartTimers(static_cast<IObjectEvent*>(this));
        return hr;
    }
    STDMETHOD(Hold)() override { return OnHold(); }
    STDMETHOD(Leave)() override { return OnLeave(); }
    STDMETHOD(Exit)() override { return OnExit(); }
    STDMETHOD(Tick)(int arg) override { return OnTick(arg); }
    STDMETHOD(Notify)(int code, int) override { return OnNotify(code); }
    STDMETHOD(GetObjectSite)(IObjectSite** out) override {
        if (!out)
            return E_POINTER;
        *out = m_site;
        return S_OK;
    }
    STDMETHOD(ObjName)(BSTR* out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!m_record)
            return E_FAIL;
        char name[33];
        memcpy(name, m_record->szName, 32);
        name[32] = 0;
        WCHAR wide[33];
        int n = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 33);
        *out = SysAllocString(n > 0 ? wide : L"");
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHOD(ObjID)(DWORD* out) override {
        if (!out)
            return E_POINTER;
        if (!m_record)
            return E_FAIL;
        *out = m_record->dwTypeId;
        return S_OK;
    }
    STDMETHOD(GetParent)(IUnknown** out) override {
        if (!out)
            return E_POINTER;
        *out = m_parent;
        return S_OK;
    }
    STDMETHOD(SetParent)(IUnknown* parent) override {
        if (parent)
            parent->AddRef();
        if (m_parent)
            m_parent->Release();
        m_parent = parent;
        return S_OK;
    }
    STDMETHOD(GetSchedule1)(LONG* out) override { return Schedule(0, out); }
    STDMETHOD(GetSchedule2)(LONG* out) override { return Schedule(1, out); }
    STDMETHOD(GetSchedule3)(LONG* out) override { return Schedule(2, out); }
    STDMETHOD(GetSchedule4)(LONG* out) override { return Schedule(3, out); }
    STDMETHOD(CollectFiles)(IFileCollector* collector) override {
        return CRenderBase::CollectFiles(collector);
    }
    STDMETHOD(Reserved24)() override { return E_NOTIMPL; }
    HRESULT RenderRefresh(int) override { return CRenderBase::Refresh(); }
    HRESULT QueryObjectAbility(REFIID iid, IUnknown** out) override {
        if (!out)
            return E_INVALIDARG;
        return AbilityContainer::QueryAbility(iid, out) == S_OK ? S_OK : E_FAIL;
    }
    STDMETHOD(NotifySite)(DWORD_PTR arg) override {
        if (!m_site)
            return E_FAIL;
        return m_site->InvalidateRect(reinterpret_cast<const RECT*>(arg));
    }
    STDMETHOD(Reserved27)() override { return E_NOTIMPL; }

    // ---- the container's extension ----
    STDMETHOD(GetPlaySite)(IPlayerSite** out) override {
        if (!out)
            return E_POINTER;
        *out = GetOwner();
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(GetBounds)(RECT* out) override { return GetBoundsRect(out); }
    STDMETHOD(SetBounds)(const RECT* rect, LONG angle) override {
        if (!rect || (angle != 0 && angle != 36000))
            return E_FAIL;
        m_storedX = (rect->left + rect->right) / 2;
        m_storedY = (rect->top + rect->bottom) / 2;
        m_storedWidth = labs(rect->right - rect->left);
        m_storedHeight = labs(rect->bottom - rect->top);
        m_storedAngle = 0;
        return ResetLayout();
    }
    STDMETHOD(InvalidateObject)(const RECT* rect) override {
        RECT bounds;
        if (!rect) {
            GetBoundsRect(&bounds);
            rect = &bounds;
        }
        return CRenderBase::Invalidate(rect);
    }

    // The kind's own record after the shared one; none by default.
    HRESULT LoadKind(ITeskStream*) { return S_OK; }
    HRESULT DrawContent(IPixelBuffer*, const RECT*) override { return S_OK; }

    // The shared record of every object.
    HRESULT LoadShared(ITeskStream* stream) {
        HRESULT hr = LoadRender(stream);
        if (FAILED(hr))
            return hr;
        hr = LoadEventProcRecord(stream);
        if (FAILED(hr))
            return hr;
        hr = LoadExtension(stream);
        if (FAILED(hr))
            return hr;
        return LoadStaticAbilities(stream);
    }

    IToolTipProp* ToolTip() const { return m_toolTip; }
    ICursorAbility* Cursor() const { return m_cursor; }
    ObjectRecord* Record() const { return m_record; }

protected:
    HRESULT Schedule(int i, LONG* out) {
        if (!out)
            return E_POINTER;
        if (!m_record)
            return E_FAIL;
        *out = m_record->nSchedule[i];
        return S_OK;
    }

    // AbilityContainer
    IObjectCreator* ContainerCreator() override {
        IObjectCreator* creator = nullptr;
        if (m_site && SUCCEEDED(m_site->GetRootCreator(&creator)))
            return creator;
        IPlayerSite* play = GetOwner();
        if (play && SUCCEEDED(play->GetRootCreator(&creator)))
            return creator;
        return nullptr;
    }
    IUnknown* ContainerObject() override { return GetUnknown(); }
    II_IRender* ContainerRender() override { return static_cast<II_IRender*>(this); }
    // CRenderBase
    IObjectSite* RenderObjectSite() override { return m_site; }
    IObjectEvent* RenderEvent() override { return static_cast<IObjectEvent*>(this); }
    IUnknown* RenderSelf() override { return GetUnknown(); }
    IUnknown* RenderParent() override { return m_parent; }
    LONG RenderSchedule(int which) override {
        if (!m_record)
            return which == 3 ? -1 : 0;
        return m_record->nSchedule[which - 1];
    }
    ICursorAbility* RenderCursor() override { return m_cursor; }
    IToolTipProp* RenderToolTip() override { return m_toolTip; }
    // CObjectEventA
    IUnknown* EventObject() override { return GetUnknown(); }
    IObjectBase* EventObjectBase() override { return static_cast<IObjectBase*>(this); }
    IToolTipProp* EventToolTip() override { return m_toolTip; }
    ICursorAbility* EventCursor() override { return m_cursor; }

    ObjectRecord* m_record;
    IObjectSite* m_site;
    IUnknown* m_parent;
    IToolTipProp* m_toolTip;
    ICursorAbility* m_cursor;
};
