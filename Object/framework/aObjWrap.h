// The objects of a canvas: each is held by a wrapper (its record on the
// canvas with the object's four interfaces); the list keeps them in drawing
// order, hit-tests from the top, finds them by name, keeps groups followed
// by their descendants and reorders sibling blocks.
#pragma once

#include <vector>

#include "aObjItf.h"
#include "bDBRecords.h"

class CObjWrapper;
struct IObjWrapperList;

// The canvas holds at most this many objects.
enum { OBJWRAPPER_LIMIT = 4000 };
#define OBJLIST_E_FULL ((HRESULT)0x80045012L)

// The type id that makes a plain wrapper a group.
const DWORD GROUP_OBJECT_TYPE = 0x00F00000;

// {C0BC264A-...} The child list of a group object, as the wrappers reach it.
struct IGroupChildren : public IUnknown {
    STDMETHOD(Reserved3)() = 0;                                                  // 3
    STDMETHOD(Reserved4)() = 0;                                                  // 4
    STDMETHOD(SetWrapperList)(IObjWrapperList* list, CObjWrapper* wrapper) = 0;  // 5
    STDMETHOD_(int, GetChildCount)() = 0;                                        // 6
    STDMETHOD_(int, GetDescendantCount)() = 0;                                   // 7
    STDMETHOD_(CObjWrapper*, GetChild)(int index) = 0;                           // 8
    STDMETHOD(Reserved9)() = 0;                                                  // 9
    STDMETHOD(OnDelete)(CObjWrapper* wrapper) = 0;                               // 10
    STDMETHOD(Reserved11)() = 0;                                                 // 11
    STDMETHOD(AddChild)(CObjWrapper* child) = 0;                                 // 12
    STDMETHOD(Reserved13)() = 0;                                                 // 13
    STDMETHOD(OnChildMoved)(CObjWrapper* child) = 0;                             // 14
};
TESK_IID(IGroupChildren, 0x4A);

class CObjWrapper {
public:
    // The record: type id, the four schedule values (the third -1), name.
    CObjWrapper(DWORD typeId, const char* name);
    virtual ~CObjWrapper();
    CObjWrapper(const CObjWrapper&) = delete;
    CObjWrapper& operator=(const CObjWrapper&) = delete;

    // Takes the object's interfaces; those it lacks stay null.
    virtual HRESULT Attach(IUnknown* object);
    // Also the group's child list, registering this wrapper with the group.
    virtual HRESULT AttachWithSink(IUnknown* object, IObjWrapperList* list);
    // On a group: makes this the child's parent and hands the child over. A
    // group never takes itself or one of its ancestors.
    HRESULT AddChild(CObjWrapper* child);

    virtual bool IsGroup() const { return m_record.dwTypeId == GROUP_OBJECT_TYPE; }
    virtual IGroupChildren* Children() const { return nullptr; }
    // Descendants after this wrapper in the list (0 for plain objects).
    int DescendantCount() const;

    HRESULT Draw(IPixelBuffer* target);
    bool TestRegion(HRGN region);
    bool IsActive() const { return m_render && m_render->IsActive() == 0; }
    bool IsVisible() const { return m_render && m_render->IsVisible() == 0; }
    bool HasParent() const { return m_parent != nullptr; }
    CObjWrapper* GetOwner() const { return m_parent; }
    bool IsAncestorOf(const CObjWrapper* other) const;

    // Show (1), hide (3) and refresh (4) requests on the page sequencer.
    HRESULT ScheduleShow(DWORD time) { return Schedule(time, 1); }
    HRESULT ScheduleHide(DWORD time) { return Schedule(time, 3); }
    HRESULT ShowAfter(DWORD delay) { return ScheduleAfter(delay, 1); }
    HRESULT HideAfter(DWORD delay) { return ScheduleAfter(delay, 3); }
    HRESULT RefreshAfter(DWORD delay) { return ScheduleAfter(delay, 4); }

    ObjectRecord m_record;
    CObjWrapper* m_parent;
    IObjectEvent* m_event;
    IDispatch* m_dispatch;
    IObjectBase* m_base;
    II_IRender* m_render;

protected:
    void ReleaseObject();

private:
    IObjectSite* Site() const;
    HRESULT Schedule(DWORD time, DWORD argument);
    HRESULT ScheduleAfter(DWORD delay, DWORD argument);
};

class CObjGroupWrapper : public CObjWrapper {
public:
    CObjGroupWrapper(DWORD typeId, const char* name) : CObjWrapper(typeId, name) {}
    ~CObjGroupWrapper() override;
    HRESULT AttachWithSink(IUnknown* object, IObjWrapperList* list) override;
    bool IsGroup() const override { return true; }
    IGroupChildren* Children() const override { return m_children; }

private:
    IGroupChildren* m_children = nullptr;
};

// {C0BC264C-...}
struct IObjWrapperList : public IUnknown {
    STDMETHOD(Append)(CObjWrapper* wrapper) = 0;                                      // 3
    STDMETHOD(AppendGroup)(CObjWrapper* group) = 0;                                   // 4
    STDMETHOD(Remove)(CObjWrapper* wrapper) = 0;                                      // 5
    STDMETHOD(RemoveTree)(CObjWrapper* wrapper) = 0;                                  // 6
    STDMETHOD(Reserved7)() = 0;                                                       // 7
    STDMETHOD(Delete)(CObjWrapper* wrapper) = 0;                                      // 8
    STDMETHOD(Reserved9)() = 0;                                                       // 9
    STDMETHOD(Reserved10)() = 0;                                                      // 10
    STDMETHOD_(void*, Reserved11)() = 0;                                              // 11
    STDMETHOD(MoveForward)(CObjWrapper* wrapper) = 0;                                 // 12
    STDMETHOD(MoveBackward)(CObjWrapper* wrapper) = 0;                                // 13
    STDMETHOD_(int, GetCount)() = 0;                                                  // 14
    STDMETHOD_(CObjWrapper*, GetAt)(int index) = 0;                                   // 15
    STDMETHOD_(CObjWrapper*, HitTest)(POINT pt, BOOL includeChildren) = 0;            // 16
    STDMETHOD(Reserved17)() = 0;                                                      // 17
    STDMETHOD_(void*, Reserved18)() = 0;                                              // 18
    STDMETHOD_(CObjWrapper*, FindByName)(const char* name, CObjWrapper* except) = 0;  // 19
    STDMETHOD_(int, IndexOf)(CObjWrapper* wrapper) = 0;                               // 20
    STDMETHOD_(IObjWrapperList*, AddUse)() = 0;                                       // 21
    STDMETHOD_(BOOL, Reserved22)() = 0;                                               // 22
    STDMETHOD_(CObjWrapper*, NextSibling)(CObjWrapper* wrapper) = 0;                  // 23
    STDMETHOD_(CObjWrapper*, PreviousSibling)(CObjWrapper* wrapper) = 0;              // 24
    STDMETHOD(Arrange)(CObjWrapper** sequence, int count) = 0;                        // 25
    STDMETHOD(ForEachDbLink)(const DataSourceNotice* notice) = 0;                     // 26
};
TESK_IID(IObjWrapperList, 0x4C);

class CObjWrapperList : public IObjWrapperList {
public:
    CObjWrapperList();
    virtual ~CObjWrapperList();

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(Append)(CObjWrapper* wrapper) override;
    STDMETHOD(AppendGroup)(CObjWrapper* group) override;
    STDMETHOD(Remove)(CObjWrapper* wrapper) override;
    STDMETHOD(RemoveTree)(CObjWrapper* wrapper) override;
    STDMETHOD(Reserved7)() override { return S_OK; }
    STDMETHOD(Delete)(CObjWrapper* wrapper) override;
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(Reserved10)() override { return S_OK; }
    STDMETHOD_(void*, Reserved11)() override { return nullptr; }
    STDMETHOD(MoveForward)(CObjWrapper* wrapper) override;
    STDMETHOD(MoveBackward)(CObjWrapper* wrapper) override;
    STDMETHOD_(int, GetCount)() override { return (int)m_items.size(); }
    STDMETHOD_(CObjWrapper*, GetAt)(int index) override;
    STDMETHOD_(CObjWrapper*, HitTest)(POINT pt, BOOL includeChildren) override;
    STDMETHOD(Reserved17)() override { return S_OK; }
    STDMETHOD_(void*, Reserved18)() override { return nullptr; }
    STDMETHOD_(CObjWrapper*, FindByName)(const char* name, CObjWrapper* except) override;
    STDMETHOD_(int, IndexOf)(CObjWrapper* wrapper) override;
    STDMETHOD_(IObjWrapperList*, AddUse)() override;
    STDMETHOD_(BOOL, Reserved22)() override { return FALSE; }
    STDMETHOD_(CObjWrapper*, NextSibling)(CObjWrapper* wrapper) override;
    STDMETHOD_(CObjWrapper*, PreviousSibling)(CObjWrapper* wrapper) override;
    STDMETHOD(Arrange)(CObjWrapper** sequence, int count) override;
    STDMETHOD(ForEachDbLink)(const DataSourceNotice* notice) override;

    int UseCount() const { return m_uses; }

private:
    HRESULT RemoveAt(int index);
    // Swaps the block of the entry at `index` with the block that follows.
    bool SwapWithNext(int index, CObjWrapper* next);

    std::vector<CObjWrapper*> m_items;
    LONG m_ref;
    int m_uses;
};
