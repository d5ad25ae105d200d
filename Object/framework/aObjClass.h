// The object classes: every kind of presentation object is one COM class, a
// reference-counted object around its dual automation interface, the optional
// parts it mixes in (database link, event-sink table, clock-driven ability,
// media data, window-message part, group child list) and the object base of
// its kind. What each class answers to QueryInterface is a table of rows
// (first match wins; IUnknown is the first row's part). A kind derives from
// its class template and supplies its set-up step (SetUp) and behaviour.
#pragma once

#include <new>
#include <type_traits>

#include "MavroRT_h.h"
#include "aDispDefaults.h"
#include "aEventSinkTable.h"
#include "aMediaData.h"
#include "aObjBase.h"
#include "aObjWrap.h"
#include "aScriptAccess.h"
#include "aablbase.h"
#include "adblink.h"

// What the view hands an object when the object takes its window over: the
// window and a device context mapped to page units.
struct WndHookRecord {
    DWORD cbSize;
    HWND hWnd;
    HDC hDC;
};

// {C0BC2637-...} The window messages of an object that takes over the player
// window's messages while it is edited.
struct IWndMsgHandler : public IUnknown {
    STDMETHOD(BeginHook)(void* hookRecord) = 0;  // 3 focus gained
    STDMETHOD(FocusLost)() = 0;                  // 4
    STDMETHOD(EndHook)() = 0;                    // 5
    STDMETHOD(Reserved6)() = 0;                  // 6
    STDMETHOD(Reserved7)() = 0;                  // 7
    // 0 handled; 1 when the view should process it too.
    STDMETHOD(HandleMessage)
    (HWND window, HDC dc, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;  // 8
};
TESK_IID(IWndMsgHandler, 0x37);

// The window-message part until the kind gives its own: nothing handled.
class CWndMsgPart : public IWndMsgHandler {
public:
    STDMETHOD(BeginHook)(void*) override { return S_OK; }
    STDMETHOD(FocusLost)() override { return S_OK; }
    STDMETHOD(EndHook)() override { return S_OK; }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(Reserved7)() override { return S_OK; }
    STDMETHOD(HandleMessage)(HWND, HDC, UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }
};

// The group's child list until the group gives its own: no children.
class CGroupChildrenPart : public IGroupChildren {
public:
    STDMETHOD(Reserved3)() override { return S_OK; }
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(SetWrapperList)(IObjWrapperList*, CObjWrapper*) override { return S_OK; }
    STDMETHOD_(int, GetChildCount)() override { return 0; }
    STDMETHOD_(int, GetDescendantCount)() override { return 0; }
    STDMETHOD_(CObjWrapper*, GetChild)(int) override { return nullptr; }
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(OnDelete)(CObjWrapper*) override { return S_OK; }
    STDMETHOD(Reserved11)() override { return S_OK; }
    STDMETHOD(AddChild)(CObjWrapper*) override { return S_OK; }
    STDMETHOD(Reserved13)() override { return S_OK; }
    STDMETHOD(OnChildMoved)(CObjWrapper*) override { return S_OK; }
};

// Parts of their own that hold no interface: the vector object's and the
// ActiveX object's first part.
class CVectorPart {};
class CActiveXPart {};

// The part a row of an interface table names.
enum ClassPart : BYTE {
    CPART_NONE,
    CPART_DISPATCH,  // the dual interface (also the private identifier)
    CPART_ERRORINFO,
    CPART_OBJECTBASE,
    CPART_RENDER,
    CPART_EVENT,
    CPART_CLASSINFO,
    CPART_DBLINK,
    CPART_MEDIADATA,
    CPART_SINKTABLE,
    CPART_TOOLTIP,
    CPART_CURSOR,
    CPART_ABILITY,
    CPART_CONTAINER,
    CPART_GROUPCHILDREN,
    CPART_WNDMSG,
    CPART_ABILITYCREATE,
    CPART_LISTENER,
};

struct ClassRow {
    const IID* iid;
    ClassPart part;
};

enum { CLASS_ROW_MAX = 16 };

// Identity and interface table of one class.
struct ObjectClassInfo {
    const char* name;  // the coclass
    const CLSID* clsid;
    const IID* dispIid;
    const IID* eventsIid;
    const IID* privateIid;
    DWORD typeId;  // 0: subtypes carry theirs; -1: an ability
    LONG mediaKind;
    ClassRow rows[CLASS_ROW_MAX];  // ends at a null iid
};

enum ObjectClassIndex {
    OBJCLASS_GROUP,
    OBJCLASS_VECTOR,
    OBJCLASS_ACTIVEX,
    OBJCLASS_TEXT,
    OBJCLASS_RTF,
    OBJCLASS_PICTURE,
    OBJCLASS_SOUND,
    OBJCLASS_MOVIE,
    OBJCLASS_VIDEO,
    OBJCLASS_GRAPH,
    OBJCLASS_DRAWBOARD,
    OBJCLASS_GRID,
    OBJCLASS_SCROLLBAR,
    OBJCLASS_BUTTON,
    OBJCLASS_MENU,
    OBJCLASS_PATHANIMATE,
    OBJCLASS_COUNT
};

extern const ObjectClassInfo g_objectClasses[OBJCLASS_COUNT];

// One registration record: a class identifier with its type id.
struct ObjectClassRegistration {
    const CLSID* clsid;
    DWORD typeId;
    ObjectClassIndex index;
};
// Registration order: group, vector, ActiveX, text, RTF, picture, sound,
// movie, video, graph, draw board, grid, the scroll bars, the buttons, the
// menus.
extern const ObjectClassRegistration g_objectClassRegistrations[];
extern const int g_objectClassRegistrationCount;

// The row's part of a class, or null.
const ClassRow* FindClassRow(const ObjectClassInfo& info, REFIID iid);

// The class template. Index selects the class's identity and table, Disp is
// its dual interface, Mixins its parts in front of the object base.
template <class Kind, int Index, class Disp, class... Mixins>
class CObjectClass : public Disp,
                     public ISupportErrorInfo,
                     public Mixins...,
                     public IProvideClassInfo,
                     public ObjectBase<Kind> {
    template <class Part>
    static constexpr bool Has = (std::is_same_v<Part, Mixins> || ...);

public:
    typedef CObjectClass ClassBase;
    static const ObjectClassInfo& Info() { return g_objectClasses[Index]; }

    CObjectClass() {
        if constexpr (Has<MediaDataHolder>)
            this->m_kind = Info().mediaKind;
    }
    virtual ~CObjectClass() {}

    // The kind's set-up step, run by the creator with the count held at 1.
    HRESULT SetUp() { return S_OK; }

    // ---- IUnknown: one count and one table for every part ----
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        const ClassRow* row =
            IsEqualIID(iid, IID_IUnknown) ? &Info().rows[0] : FindClassRow(Info(), iid);
        IUnknown* part = row ? Part(row->part) : nullptr;
        if (!part)
            return E_NOINTERFACE;
        part->AddRef();
        *ppv = part;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
        ULONG n = this->InternalRelease();
        if (n == 0) {
            // Tear-down may take and drop references: it must not end twice.
            this->m_dwRef = 1;
            delete this;
        }
        return n;
    }

    // ---- ISupportErrorInfo, IProvideClassInfo ----
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override {
        return IsEqualIID(iid, *Info().dispIid) ? S_OK : S_FALSE;
    }
    STDMETHOD(GetClassInfo)(ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        return GetObjectTypeInfo(*Info().clsid, out);
    }

    // ---- IDispatch ----
    STDMETHOD(GetTypeInfoCount)(UINT* out) override {
        if (!out)
            return E_POINTER;
        *out = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        return GetObjectTypeInfo(*Info().dispIid, out);
    }
    STDMETHOD(GetIDsOfNames)
    (REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
        return ObjectGetIDsOfNames(TypeInfo(), this, iid, names, count, locale, ids);
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
     EXCEPINFO* exception, UINT* argError) override {
        return ObjectInvoke(TypeInfo(), static_cast<Disp*>(this), this, id, iid, locale, flags,
                            params, result, exception, argError);
    }

    // ---- the common members (each kind's interface has its share) ----
    STDMETHOD(get_ObjName)(BSTR* out) { return ObjectBase<Kind>::ObjName(out); }
    STDMETHOD(get_ObjID)(LONG* out) {
        return ObjectBase<Kind>::ObjID(reinterpret_cast<DWORD*>(out));
    }
    STDMETHOD(get_ObjWidth)(LONG* out) { return Get(out, this->GetWidth()); }
    STDMETHOD(put_ObjWidth)(LONG v) { return this->SetWidth(v); }
    STDMETHOD(get_ObjHeight)(LONG* out) { return Get(out, this->GetHeight()); }
    STDMETHOD(put_ObjHeight)(LONG v) { return this->SetHeight(v); }
    STDMETHOD(get_ObjXCenter)(LONG* out) { return Get(out, this->GetXCenter()); }
    STDMETHOD(put_ObjXCenter)(LONG v) { return this->SetXCenter(v); }
    STDMETHOD(get_ObjYCenter)(LONG* out) { return Get(out, this->GetYCenter()); }
    STDMETHOD(put_ObjYCenter)(LONG v) { return this->SetYCenter(v); }
    STDMETHOD(get_ObjTransparency)(LONG* out) { return Get(out, this->GetAlpha()); }
    STDMETHOD(put_ObjTransparency)(LONG v) { return this->SetAlpha(v); }
    STDMETHOD(get_ObjDegree)(LONG* out) { return Get(out, this->GetRotation()); }
    STDMETHOD(put_ObjDegree)(LONG v) { return this->SetRotation(v); }
    // Also the render part's MoveTo: the same move.
    STDMETHOD(MoveTo)(LONG x, LONG y) override { return CRenderBase::MoveTo(x, y); }
    STDMETHOD(Offset)(LONG x, LONG y) { return this->MoveBy(x, y); }
    // Also the database link's bind (its slot 22).
    STDMETHOD(BindToDatabase)(BSTR table, BSTR field, LONG relative) {
        if constexpr (Has<DbLinkAbility>)
            return DbLinkAbility::BindToDatabase(table, field, relative);
        else
            return E_NOTIMPL;
    }
    STDMETHOD(UnbindToDatabase)() {
        if constexpr (Has<DbLinkAbility>)
            return DbLinkAbility::UnbindToDatabase();
        else
            return E_NOTIMPL;
    }
    STDMETHOD(get_ObjRecordPos)(LONG* out) {
        if constexpr (Has<DbLinkAbility>)
            return DbLinkAbility::GetObjRecordPos(out);
        else
            return E_NOTIMPL;
    }
    STDMETHOD(put_ObjRecordPos)(LONG v) {
        if constexpr (Has<DbLinkAbility>)
            return DbLinkAbility::PutObjRecordPos(v);
        else
            return E_NOTIMPL;
    }

    // The part a row names, as the IUnknown of that part.
    IUnknown* Part(ClassPart part) {
        switch (part) {
            case CPART_DISPATCH:
                return static_cast<Disp*>(this);
            case CPART_ERRORINFO:
                return static_cast<ISupportErrorInfo*>(this);
            case CPART_OBJECTBASE:
                return static_cast<IObjectBase*>(this);
            case CPART_RENDER:
                return static_cast<II_IRender*>(this);
            case CPART_EVENT:
                return static_cast<IObjectEvent*>(this);
            case CPART_CLASSINFO:
                return static_cast<IProvideClassInfo*>(this);
            case CPART_CONTAINER:
                return static_cast<IAbilityContainer*>(this);
            case CPART_TOOLTIP:
                return this->ToolTip();
            case CPART_CURSOR:
                return this->Cursor();
            case CPART_DBLINK:
                if constexpr (Has<DbLinkAbility>)
                    return static_cast<IDbLink*>(this);
                break;
            case CPART_MEDIADATA:
                if constexpr (Has<MediaDataHolder>)
                    return static_cast<IMediaData*>(this);
                break;
            case CPART_SINKTABLE:
                if constexpr (Has<CEventSinkTable>)
                    return static_cast<IEventSinkTable*>(this);
                break;
            case CPART_ABILITY:
                if constexpr (Has<CAbility>)
                    return static_cast<IAbility*>(this);
                break;
            case CPART_GROUPCHILDREN:
                if constexpr (Has<CGroupChildrenPart>)
                    return static_cast<IGroupChildren*>(this);
                break;
            case CPART_WNDMSG:
                if constexpr (Has<CWndMsgPart>)
                    return static_cast<IWndMsgHandler*>(this);
                break;
            default:
                break;
        }
        return nullptr;
    }

protected:
    static HRESULT Get(LONG* out, LONG value) {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }
    ITypeInfo* TypeInfo() {
        // Loaded on first use and kept with the class.
        static ITypeInfo* info = nullptr;
        if (!info)
            GetObjectTypeInfo(*Info().dispIid, &info);
        return info;
    }
    // The one site query of the parts: the play site of the event part.
    IPlayerSite* ClassSite() { return EventProcHolder::GetOwner(); }
    IPlayerSite* HolderSite() { return ClassSite(); }
    STDMETHOD_(IPlayerSite*, GetPlaySiteForLink)() { return ClassSite(); }
    void LinkObjectName(char* name) {
        name[0] = 0;
        if (ObjectRecord* r = this->Record()) {
            memcpy(name, r->szName, 31);
            name[31] = 0;
        }
    }
};

// Makes an object of a class: allocation, the kind's set-up step with the
// count held at 1, and its IUnknown (the dual interface) with one reference.
template <class Cls>
HRESULT CreateObjectOfClass(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    Cls* p = new (std::nothrow) Cls();
    if (!p)
        return E_OUTOFMEMORY;
    p->InternalAddRef();
    HRESULT hr = p->SetUp();
    p->InternalRelease();
    if (FAILED(hr)) {
        p->AddRef();
        p->Release();
        return hr;
    }
    return p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

// The class of each kind, for the kinds to derive from.
template <class K>
using GroupObjectClass = CObjectClass<K, OBJCLASS_GROUP, GroupDispDefaults, CGroupChildrenPart>;
template <class K>
using VectorObjectClass =
    CObjectClass<K, OBJCLASS_VECTOR, VectorDispDefaults, CAbility, CVectorPart>;
template <class K>
using ActiveXObjectClass =
    CObjectClass<K, OBJCLASS_ACTIVEX, AxObjectDefaults, CActiveXPart, CAbility>;
template <class K>
using TextObjectClass =
    CObjectClass<K, OBJCLASS_TEXT, TextDispDefaults, CWndMsgPart, DbLinkAbility>;
template <class K>
using RTFObjectClass = CObjectClass<K, OBJCLASS_RTF, RTFDispDefaults, DbLinkAbility,
                                    CEventSinkTable, CAbility, MediaDataHolder>;
template <class K>
using PictureObjectClass = CObjectClass<K, OBJCLASS_PICTURE, PictureDispDefaults, DbLinkAbility,
                                        MediaDataHolder, CEventSinkTable>;
template <class K>
using SoundObjectClass = CObjectClass<K, OBJCLASS_SOUND, SoundDispDefaults, DbLinkAbility, CAbility,
                                      MediaDataHolder, CEventSinkTable>;
template <class K>
using MovieObjectClass = CObjectClass<K, OBJCLASS_MOVIE, MovieDispDefaults, DbLinkAbility, CAbility,
                                      MediaDataHolder, CEventSinkTable>;
template <class K>
using VideoObjectClass = CObjectClass<K, OBJCLASS_VIDEO, VideoDispDefaults, DbLinkAbility, CAbility,
                                      MediaDataHolder, CEventSinkTable>;
template <class K>
using GraphObjectClass =
    CObjectClass<K, OBJCLASS_GRAPH, GraphDispDefaults, DbLinkAbility, MediaDataHolder>;
template <class K>
using DrawBoardObjectClass = CObjectClass<K, OBJCLASS_DRAWBOARD, DrawBoardDispDefaults>;
template <class K>
using GridObjectClass =
    CObjectClass<K, OBJCLASS_GRID, GridDispDefaults, CWndMsgPart, DbLinkAbility, CEventSinkTable>;
template <class K>
using ScrollBarObjectClass = CObjectClass<K, OBJCLASS_SCROLLBAR, ScrollBarDispDefaults, CAbility>;
template <class K>
using ButtonObjectClass = CObjectClass<K, OBJCLASS_BUTTON, ButtonDispDefaults>;
template <class K>
using MenuObjectClass = CObjectClass<K, OBJCLASS_MENU, MenuDispDefaults, CWndMsgPart>;
