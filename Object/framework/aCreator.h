// The object factory: object type ids to live objects through the class
// table (registered classes and a stored "POCT" table), abilities by module
// id, plug-ins by class identifier, and event procedures through the event
// sets' factory. The play site owns the root creator; its AddRef and Release
// count nothing.
#pragma once

#include <vector>

#include "aEffectRender.h"
#include "aModuleRec.h"
#include "aObjItf.h"
#include "bPicBase.h"

// Also the plug-in creation of the renders (IModuleCreator) and of the
// picture codec list (ICodecModuleCreator).
class ObjectCreator : public IObjectCreator, public ICodecModuleCreator, public IModuleCreator {
public:
    ObjectCreator();
    virtual ~ObjectCreator();
    ObjectCreator(const ObjectCreator&) = delete;
    ObjectCreator& operator=(const ObjectCreator&) = delete;

    // Fills the class tables: the stored table (when a stream is given), the
    // registry's object classes, then its abilities.
    HRESULT Init(IModuleRegistry* registry, ITeskStream* stream);
    HRESULT InitPOCT(ITeskStream* stream);
    // The event sets' factory behind operation 7 (borrowed).
    void SetEventProcFactory(IEventProcFactory* factory) { m_eventProcFactory = factory; }

    // Owned by the play site; answers IUnknown only.
    BEGIN_COM_MAP(ObjectCreator)
    COM_INTERFACE_ENTRY_IID(IID_IUnknown, IObjectCreator)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()
    // IObjectCreator
    STDMETHOD(CreateObject)
    (DWORD typeId, ObjectCreationRecord* record, REFIID iid, void** out) override;
    STDMETHOD(CreateAbilityById)(LONG id, IUnknown* object, REFIID iid, void** out) override;
    STDMETHOD(CreatePlugin)(REFCLSID clsid, REFIID iid, void** out) override;
    STDMETHOD(CoCreate)(REFCLSID clsid, REFIID iid, void** out) override;
    STDMETHOD(CreateEventProc)(int type, IUnknown* object, IDispatch** out) override;
    STDMETHOD(FindAbilityModule)(REFIID iid, LONG* id) override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;
    // ICodecModuleCreator: the registry's codec plug-ins.
    int GetCodecModuleCount() override;
    bool GetCodecModuleClassId(int index, CLSID* clsid) override;
    HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** object) override;

    // A copy of a registry entry.
    struct ClassEntry {
        CLSID clsid;
        IID iid;
        ModuleCreator* pModule;  // the registry's record
        DWORD dwId;              // object type id or ability module id
        DWORD dwValue;           // the stored table's last value
    };
    const std::vector<ClassEntry>& Objects() const { return m_objects; }
    const std::vector<ClassEntry>& Abilities() const { return m_abilities; }
    // The interface identifier of the ability module `id` (false when none).
    bool GetAbilityIid(LONG id, IID* iid) const;

private:
    IModuleRegistry* m_registry;
    IEventProcFactory* m_eventProcFactory;
    std::vector<ClassEntry> m_objects;
    std::vector<ClassEntry> m_abilities;
};
