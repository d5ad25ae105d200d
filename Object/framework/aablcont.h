// The ability container of every object: named entries that either hold an
// ability object or are bound to an interface-pointer member of the object
// ("_EventProc", "PathAnimate"). The first entries are built in and cannot
// be removed.
#pragma once

#include <string>
#include <vector>

#include "aObjItf.h"

struct AbilityEntry {
    LONG nId;  // module id of the ability's class; -1 for "_EventProc"
    std::wstring name;
    bool bHasIid;  // the interface the entry answers (bound slots, made abilities)
    IID iid;
    IUnknown** pSlot;  // bound: the member holding the pointer; else null
    IUnknown* pHeld;   // held: the ability, counted

    IUnknown* Get() const { return pSlot ? *pSlot : pHeld; }
    // Held: store with a reference. Bound: the slot's interface of the new
    // ability replaces the old pointer; a failing query is returned.
    HRESULT Set(IUnknown* ability);
};

class AbilityContainer : public IObjectContainer {
public:
    AbilityContainer();
    virtual ~AbilityContainer();

    STDMETHOD(QueryAbility)(REFIID iid, IUnknown** out) override;
    STDMETHOD(AddAbility)(const wchar_t* name) override;
    STDMETHOD(SetAbility)(const wchar_t* name, LONG id, IUnknown* ability) override;
    STDMETHOD(RemoveAbility)(const wchar_t* name) override;
    STDMETHOD(GetAbility)(const wchar_t* name, REFIID iid, void** out) override;
    STDMETHOD(SetValue)(LONG value) override;
    STDMETHOD(CopyAbility)(REFIID iid, IAbilityContainer* source, DWORD flags) override;
    STDMETHOD(QueryAbilityHook)(REFIID iid, IUnknown** out) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;
    STDMETHOD(Reserved14)() override;

    // Makes the ability of `iid` through the root creator for this object
    // and sets it into its entry.
    HRESULT CreateAbility(REFIID iid, IUnknown** out);
    // Adds a built-in entry bound to a member; call before any other entry.
    void AddBuiltin(const wchar_t* name, LONG id, REFIID iid, IUnknown** slot);
    // Loads the static abilities of the object's record.
    HRESULT LoadStaticAbilities(ITeskStream* stream);
    // Render flag 8 without flag 16 asks for path motion: enables (making
    // it when needed) the "PathAnimate" ability.
    HRESULT LoadPathMotion();

    AbilityEntry* FindEntry(const wchar_t* name);
    int EntryCount() const { return (int)m_entries.size(); }
    int BuiltinCount() const { return m_builtin; }
    const AbilityEntry& Entry(int i) const { return *m_entries[i]; }
    LONG Value() const { return m_value; }

protected:
    // What the container needs of its object.
    virtual IObjectCreator* ContainerCreator() = 0;
    virtual IUnknown* ContainerObject() = 0;
    virtual II_IRender* ContainerRender() = 0;

private:
    int FindIndex(const wchar_t* name) const;
    std::vector<AbilityEntry*> m_entries;
    int m_builtin;
    LONG m_value;
};
