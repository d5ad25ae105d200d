#include "aCreator.h"

#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// One record of the stored class table: type id, class identifier, value.
const ULONGLONG kPoctRecordSize = 24;

}  // namespace

ObjectCreator::ObjectCreator() : m_registry(nullptr), m_eventProcFactory(nullptr) {}

ObjectCreator::~ObjectCreator() {}

HRESULT ObjectCreator::Init(IModuleRegistry* registry, ITeskStream* stream) {
    TRACE_POINT();
    m_registry = registry;
    m_objects.clear();
    m_abilities.clear();
    HRESULT hr = InitPOCT(stream);
    if (FAILED(hr))
        return hr;
    if (!m_registry)
        return S_OK;
    ModuleSearch search = {};
    for (ModuleEntry* e = m_registry->FindFirst(MODULE_ABILITY, 0, &search); e;
         e = m_registry->FindNext(&search)) {
        ClassEntry entry = {e->clsid, e->iid, e->pCreator,
                            static_cast<ObjectModuleEntry*>(e)->dwObjectType, 0};
        m_abilities.push_back(entry);
    }
    return S_OK;
}

HRESULT ObjectCreator::InitPOCT(ITeskStream* stream) {
    if (stream) {
        DWORD n = 0;
        if (!StreamReadValue(stream, &n) || !StreamHas(stream, (ULONGLONG)n * kPoctRecordSize)) {
            LOG_MSG("InitPOCT: class table count %u past the stream's end", (unsigned)n);
            return E_FAIL;
        }
        for (DWORD i = 0; i < n; ++i) {
            DWORD typeId = 0, value = 0;
            CLSID clsid;
            stream->Read(&typeId, 4);
            stream->Read(&clsid, sizeof(clsid));
            stream->Read(&value, 4);
            ModuleEntry* found = nullptr;
            if (m_registry) {
                ModuleSearch search = {};
                search.clsid = clsid;
                found = m_registry->FindFirst(MODULE_OBJECT, MODULE_MATCH_CLSID, &search);
            }
            if (!found) {
                LOG_MSG("Object does not exist on this environment!");
                continue;
            }
            ClassEntry entry = {clsid, found->iid, found->pCreator, typeId, value};
            m_objects.push_back(entry);
        }
    }
    if (!m_registry)
        return S_OK;
    ModuleSearch search = {};
    for (ModuleEntry* e = m_registry->FindFirst(MODULE_OBJECT, 0, &search); e;
         e = m_registry->FindNext(&search)) {
        DWORD typeId = static_cast<ObjectModuleEntry*>(e)->dwObjectType;
        bool duplicate = false;
        for (const ClassEntry& c : m_objects)
            if (IsEqualCLSID(c.clsid, e->clsid)) {
                duplicate = true;
                break;
            }
        if (duplicate) {
            LOG_MSG(
                "InitPOCT: duplicate CLSID for different objType(%08X) -- ignored currently, "
                "should be changed later",
                (unsigned)typeId);
            continue;
        }
        ClassEntry entry = {e->clsid, e->iid, e->pCreator, typeId, 0};
        m_objects.push_back(entry);
    }
    return S_OK;
}

STDMETHODIMP ObjectCreator::CreateObject(DWORD typeId, ObjectCreationRecord* record, REFIID iid,
                                         void** out) {
    TRACE_POINT();
    if (!out || *out)
        return E_FAIL;
    const ClassEntry* entry = nullptr;
    for (const ClassEntry& c : m_objects)
        if (c.dwId == typeId) {
            entry = &c;
            break;
        }
    if (!entry) {
        LOG_MSG("CreateObject: objID not found: %08X", (unsigned)typeId);
        return E_FAIL;
    }
    IUnknown* unknown = nullptr;
    HRESULT hr = CreateFromModule(entry->clsid, entry->pModule, &unknown);
    if (FAILED(hr) || !unknown) {
        LOG_MSG("CreateFromModule: FAILD: %08X", (unsigned)typeId);
        return FAILED(hr) ? hr : E_FAIL;
    }
    IObjectBase* base = nullptr;
    hr = unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    if (FAILED(hr) || !base) {
        LOG_MSG("Query IObjectBase FAILD: %08X", (unsigned)typeId);
        unknown->Release();
        return FAILED(hr) ? hr : E_FAIL;
    }
    if (record && record->pRecord)
        record->pRecord->dwTypeId = typeId;
    hr = base->Init(record);
    base->Release();
    if (FAILED(hr)) {
        // Nothing is made half: an object that cannot bind goes.
        unknown->Release();
        return hr;
    }
    hr = unknown->QueryInterface(iid, out);
    if (FAILED(hr))
        LOG_MSG("Query iid FAILD: %08X", (unsigned)typeId);
    unknown->Release();
    return hr;
}

STDMETHODIMP ObjectCreator::CreateAbilityById(LONG id, IUnknown* object, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = nullptr;
    for (const ClassEntry& c : m_abilities)
        if ((LONG)c.dwId == id) {
            entry = &c;
            break;
        }
    if (!entry)
        return E_FAIL;
    CComPtr<IUnknown> unknown;
    HRESULT hr = CreateFromModule(entry->clsid, entry->pModule, &unknown);
    if (FAILED(hr))
        return hr;
    if (!unknown)
        return E_FAIL;
    CComPtr<IAbilityCreate> ability;
    hr = unknown->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&ability));
    if (FAILED(hr))
        return hr;
    hr = ability->Attach(object);
    if (FAILED(hr))
        return hr;
    return unknown->QueryInterface(iid, out);
}

STDMETHODIMP ObjectCreator::CreatePlugin(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_registry)
        return E_FAIL;
    ModuleSearch search = {};
    search.iid = iid;
    for (ModuleEntry* e = m_registry->FindFirst(MODULE_PLUGIN, MODULE_MATCH_IID, &search); e;
         e = m_registry->FindNext(&search)) {
        if (!IsEqualCLSID(e->clsid, clsid))
            continue;
        if (!e->pCreator)
            return E_FAIL;
        CComPtr<IUnknown> unknown;
        HRESULT hr = CreateFromModule(clsid, e->pCreator, &unknown);
        if (FAILED(hr))
            return hr;
        if (!unknown)
            return E_FAIL;
        return unknown->QueryInterface(iid, out);
    }
    return E_FAIL;
}

STDMETHODIMP ObjectCreator::CoCreate(REFCLSID clsid, REFIID iid, void** out) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, out);
}

STDMETHODIMP ObjectCreator::CreateEventProc(int type, IUnknown* object, IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!m_eventProcFactory)
        return E_NOTIMPL;
    return m_eventProcFactory->CreateEventProc(type, object, out);
}

STDMETHODIMP ObjectCreator::FindAbilityModule(REFIID iid, LONG* id) {
    if (id)
        *id = -1;
    for (const ClassEntry& c : m_abilities)
        if (IsEqualIID(c.iid, iid)) {
            if (id)
                *id = (LONG)c.dwId;
            return S_OK;
        }
    return S_FALSE;
}

bool ObjectCreator::GetAbilityIid(LONG id, IID* iid) const {
    for (const ClassEntry& c : m_abilities)
        if ((LONG)c.dwId == id) {
            if (iid)
                *iid = c.iid;
            return true;
        }
    return false;
}

STDMETHODIMP_(void) ObjectCreator::DeleteThis(UINT flags) {
    m_objects.clear();
    m_abilities.clear();
    if (flags & 1)
        delete this;
}

int ObjectCreator::GetCodecModuleCount() {
    int n = 0;
    if (!m_registry)
        return 0;
    ModuleSearch search = {};
    search.iid = __uuidof(PictureCodec);
    for (ModuleEntry* e = m_registry->FindFirst(MODULE_PLUGIN, MODULE_MATCH_IID, &search); e;
         e = m_registry->FindNext(&search))
        ++n;
    return n;
}

bool ObjectCreator::GetCodecModuleClassId(int index, CLSID* clsid) {
    if (!m_registry || index < 0)
        return false;
    ModuleSearch search = {};
    search.iid = __uuidof(PictureCodec);
    int i = 0;
    for (ModuleEntry* e = m_registry->FindFirst(MODULE_PLUGIN, MODULE_MATCH_IID, &search); e;
         e = m_registry->FindNext(&search), ++i)
        if (i == index) {
            if (clsid)
                *clsid = e->clsid;
            return true;
        }
    return false;
}

HRESULT ObjectCreator::CreateModuleInstance(REFCLSID clsid, REFIID iid, void** object) {
    return CreatePlugin(clsid, iid, object);
}
