// Event sets: one entry per event an object, page or the application can
// fire, each owning the action lists the work binds to it. Firing an event
// makes an action-list run and hands it to the event processor's queue.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "aPlaySite.h"
#include "bVarMgr.h"

struct ITeskStream;

// One action: a kind and two optional multibyte texts.
struct CActionItem {
    DWORD kind = 0;
    bool has0 = false, has1 = false;
    std::string text0, text1;
};

// An ordered list of actions with its stored form: u32 count; per item u32
// kind, u32 length (NUL included, 0 for none) and bytes of each text.
class CActionItemList {
public:
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;
    bool IsEmpty() const { return m_items.empty(); }
    void Clear() { m_items.clear(); }
    std::vector<CActionItem>& Items() { return m_items; }
    const std::vector<CActionItem>& Items() const { return m_items; }
    // The page (the event processor's count) on which the watchdog stopped
    // this list; 0 for none.
    unsigned StoppedOnPage() const { return m_stoppedOn; }
    void SetStoppedOnPage(unsigned page) const { m_stoppedOn = page; }

private:
    std::vector<CActionItem> m_items;
    mutable unsigned m_stoppedOn = 0;
};

// One firing of an action list: the list (borrowed from its entry), the
// event's arguments as local variables named after the parameters, and the
// owner of the set that fired.
struct CActionRun {
    CActionRun() { VariantInit(&result); }
    ~CActionRun() { VariantClear(&result); }
    CActionRun(const CActionRun&) = delete;
    CActionRun& operator=(const CActionRun&) = delete;

    const CActionItemList* pList = nullptr;
    CVarList locals;
    int ownerKind = 0;
    IUnknown* pOwner = nullptr;  // not counted
    // Interpreter state: the next action, the loop starts and counters
    // (remaining, loop index), the process this run called and the run that
    // called it, the return value and the depth of routine calls.
    int pc = 0;
    std::vector<int> loopStarts;
    std::vector<std::pair<int, int>> loopCounters;
    CActionRun* pCallee = nullptr;
    CActionRun* pCaller = nullptr;
    VARIANT result;
    int depth = 0;
    // The event that fired the list; 0 for routine calls.
    DWORD eventId = 0;
};

// The event processor's queue as the event sets see it; reached through
// play site slot 10.
class IActionQueue {
public:
    // Takes the run.
    virtual void QueueActionList(CActionRun* run) = 0;
    virtual HRESULT RunPending() = 0;
    // True once the watchdog has ended the event being handled: what is left
    // of it is not run.
    virtual bool DispatchStopped() const = 0;

protected:
    ~IActionQueue() {}
};

struct CParamDesc {
    std::string name;
    VARTYPE vt = VT_EMPTY;
};

class CEventEntry {
public:
    CEventEntry(DWORD id, const std::string& name, bool stock)
        : m_id(id), m_name(name), m_stock(stock) {}

    DWORD GetId() const { return m_id; }
    const std::string& GetName() const { return m_name; }
    // 1 stock, 2 custom.
    int GetKind() const { return m_stock ? 1 : 2; }
    std::vector<CParamDesc>& Params() { return m_params; }
    CActionItemList& List() { return m_list; }
    std::vector<std::unique_ptr<CEventEntry>>& Subs() { return m_subs; }
    CEventEntry* FindSub(DWORD id);
    CEventEntry* AddSub(DWORD id, const std::string& name, const std::vector<CParamDesc>* params);

    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;
    // The run for these arguments (argument 0 first), or none.
    CActionRun* MakeRun(const VARIANT* args, UINT count) const;
    // Timer entry: each sub-entry is scheduled at the page clock plus its
    // identifier (ms) for the event interface.
    HRESULT ScheduleTimers(IPlayerSite* site, IObjectEvent* target) const;

    static bool IsStockId(DWORD id) {
        return (id >= 1000 && id <= 1098) || (id >= 2000 && id <= 2098);
    }

private:
    DWORD m_id;
    std::string m_name;
    bool m_stock;
    std::vector<CParamDesc> m_params;
    CActionItemList m_list;
    std::vector<std::unique_ptr<CEventEntry>> m_subs;
};

// Cursor of ResetEnum / NextEntry.
struct EventEnumCursor {
    BOOL entriesOnly = FALSE;
    int index = 0;
    int sub = -1;
};

class CEventSet {
public:
    CEventSet() : m_site(nullptr), m_ownerKind(0), m_owner(nullptr) {}

    void SetSite(IPlayerSite* site) { m_site = site; }
    IPlayerSite* GetSite() const { return m_site; }
    void SetOwner(int kind, IUnknown* owner) {
        m_ownerKind = kind;
        m_owner = owner;
    }

    HRESULT SaveLists(ITeskStream* stream);
    HRESULT LoadLists(ITeskStream* stream);
    HRESULT AddSubEvents(DWORD key, ITypeInfo* info);
    HRESULT AddSubEvent(DWORD key, DWORD subId, const char* nameSuffix);
    HRESULT RemoveSubEvent(DWORD key, DWORD subId);
    HRESULT RemoveSubEvents(DWORD key);
    CEventEntry* ResetEnum(EventEnumCursor* cursor);
    CEventEntry* NextEntry(EventEnumCursor* cursor);
    // Saves the lists, rebuilds the entries from the kept type informations
    // and loads the lists back.
    HRESULT Rebuild();
    void ClearLists();
    void ClearEvents() { m_entries.clear(); }

    // E_FAIL without entry; 1 when no run is made; else the queue ran it.
    HRESULT Fire(DWORD id, const DISPPARAMS* args);
    // Appends an entry per function of the event type information.
    HRESULT InitInstanceEventSet(ITypeInfo* info);
    // Built from these, in order; kept for Rebuild.
    void AddTypeInfo(ITypeInfo* info);

    CEventEntry* Find(DWORD id);
    int GetCount() const { return (int)m_entries.size(); }
    CEventEntry* GetAt(int i) { return m_entries[(size_t)i].get(); }

private:
    IPlayerSite* m_site;  // not counted
    int m_ownerKind;
    IUnknown* m_owner;  // not counted
    std::vector<std::unique_ptr<CEventEntry>> m_entries;
    std::vector<CComPtr<ITypeInfo>> m_infos;
};

// The event procedure of one object, page or the application: Invoke runs
// the event set's Fire with the DISPID as event id; its store interface loads
// and saves the lists and starts the timers.
class CEventProcedure : public CComObjectRootBase,
                        public IDispatch,
                        public IEventProcStore,
                        public IEventProcTable {
public:
    BEGIN_COM_MAP(CEventProcedure)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IEventProcStore)
    COM_INTERFACE_ENTRY(IEventProcTable)
    END_COM_MAP()

    STDMETHOD(GetTypeInfoCount)(UINT* n) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
     UINT*) override;
    STDMETHOD(LoadRecord)(ITeskStream* stream) override { return m_set.LoadLists(stream); }
    STDMETHOD(SaveRecord)(ITeskStream* stream) override { return m_set.SaveLists(stream); }
    STDMETHOD(StartTimers)(IObjectEvent* target) override;
    STDMETHOD(InsertSubEvents)(DWORD key, ITypeInfo* info) override {
        return m_set.AddSubEvents(key, info);
    }

    CEventSet& Set() { return m_set; }

private:
    CEventSet m_set;
};

// The factory behind ObjectCreator::CreateEventProc: type 0 the object's own
// events and the object stock table, 1 the object's own only, 2 the page
// stock table, 4 the application stock table.
class CEventProcFactory : public IEventProcFactory {
public:
    CEventProcFactory() : m_site(nullptr) {}
    // The player's type library 1 (counted).
    void SetTypeLib(ITypeLib* lib) { m_lib = lib; }
    void SetSite(IPlayerSite* site) { m_site = site; }
    HRESULT CreateEventProc(int type, IUnknown* object, IDispatch** out) override;

private:
    CComPtr<ITypeLib> m_lib;
    IPlayerSite* m_site;
};

extern const IID DIID_EventsTableObjectStock;
extern const IID DIID_EventsTablePageStock;
extern const IID DIID_EventsTableAppStock;
