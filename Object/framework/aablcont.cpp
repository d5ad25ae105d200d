#include "aablcont.h"

#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

bool SameObject(IUnknown* a, IUnknown* b) {
    CComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    return ua && ua == ub;
}

}  // namespace

HRESULT AbilityEntry::Set(IUnknown* ability) {
    if (pSlot) {
        IUnknown* itf = nullptr;
        if (ability) {
            HRESULT hr = ability->QueryInterface(iid, reinterpret_cast<void**>(&itf));
            if (FAILED(hr))
                return hr;
        }
        if (*pSlot)
            (*pSlot)->Release();
        *pSlot = itf;
        return S_OK;
    }
    if (ability)
        ability->AddRef();
    if (pHeld)
        pHeld->Release();
    pHeld = ability;
    return S_OK;
}

AbilityContainer::AbilityContainer() : m_builtin(0), m_value(0) {}

AbilityContainer::~AbilityContainer() {
    for (AbilityEntry* e : m_entries) {
        if (e->pHeld)
            e->pHeld->Release();
        delete e;
    }
}

void AbilityContainer::AddBuiltin(const wchar_t* name, LONG id, REFIID iid, IUnknown** slot) {
    AbilityEntry* e = new AbilityEntry{id, name, true, iid, slot, nullptr};
    m_entries.push_back(e);
    m_builtin = (int)m_entries.size();
}

int AbilityContainer::FindIndex(const wchar_t* name) const {
    if (!name)
        return -1;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i]->name == name)
            return (int)i;
    return -1;
}

AbilityEntry* AbilityContainer::FindEntry(const wchar_t* name) {
    int i = FindIndex(name);
    return i < 0 ? nullptr : m_entries[i];
}

STDMETHODIMP AbilityContainer::QueryAbility(REFIID iid, IUnknown** out) {
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (QueryAbilityHook(iid, out) == S_OK)
        return S_OK;
    LONG id = -1;
    bool known = false;
    if (IObjectCreator* creator = ContainerCreator())
        known = creator->FindAbilityModule(iid, &id) == S_OK;
    // An entry is matched by its interface first: module ids may repeat (-1
    // is "_EventProc" and may also be a module's id).
    const AbilityEntry* found = nullptr;
    for (const AbilityEntry* e : m_entries)
        if (e->bHasIid && IsEqualIID(e->iid, iid)) {
            found = e;
            break;
        }
    if (!found && known)
        for (const AbilityEntry* e : m_entries)
            if (!e->bHasIid && e->nId == id) {
                found = e;
                break;
            }
    if (!found)
        return 1;
    *out = found->Get();
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP AbilityContainer::AddAbility(const wchar_t* name) {
    if (!name || !*name)
        return E_INVALIDARG;
    int i = FindIndex(name);
    if (i >= 0)
        return i < m_builtin ? S_OK : E_FAIL;
    m_entries.push_back(new AbilityEntry{-1, name, false, IID_NULL, nullptr, nullptr});
    return S_OK;
}

STDMETHODIMP AbilityContainer::SetAbility(const wchar_t* name, LONG id, IUnknown* ability) {
    AbilityEntry* e = FindEntry(name);
    if (!e)
        return E_FAIL;
    HRESULT hr = e->Set(ability);
    if (SUCCEEDED(hr))
        e->nId = id;
    return hr;
}

STDMETHODIMP AbilityContainer::RemoveAbility(const wchar_t* name) {
    int i = FindIndex(name);
    if (i < 0)
        return E_FAIL;
    m_entries[i]->Set(nullptr);
    if (i >= m_builtin) {
        delete m_entries[i];
        m_entries.erase(m_entries.begin() + i);
    }
    return S_OK;
}

STDMETHODIMP AbilityContainer::GetAbility(const wchar_t* name, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    AbilityEntry* e = FindEntry(name);
    if (!e)
        return E_FAIL;
    IUnknown* ability = e->Get();
    if (!ability || FAILED(ability->QueryInterface(iid, out)) || !*out)
        return 1;
    return S_OK;
}

STDMETHODIMP AbilityContainer::SetValue(LONG value) {
    m_value = value;
    return S_OK;
}

STDMETHODIMP AbilityContainer::QueryAbilityHook(REFIID, IUnknown**) {
    return S_FALSE;
}

STDMETHODIMP AbilityContainer::LoadExtension(ITeskStream*) {
    return S_OK;
}

STDMETHODIMP AbilityContainer::SaveExtension(ITeskStream*) {
    return S_OK;
}

STDMETHODIMP AbilityContainer::Reserved14() {
    return S_OK;
}

HRESULT AbilityContainer::CreateAbility(REFIID iid, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    char text[64];
    GuidToString(iid, text, sizeof(text));
    IObjectCreator* creator = ContainerCreator();
    LONG id = -1;
    AbilityEntry* entry = nullptr;
    if (creator && creator->FindAbilityModule(iid, &id) == S_OK) {
        for (AbilityEntry* e : m_entries)
            if (e->bHasIid ? IsEqualIID(e->iid, iid) : e->nId == id) {
                entry = e;
                break;
            }
    }
    if (!entry) {
        LOG_MSG("CreateAbility: unsupported iid: %s", text);
        return E_FAIL;
    }
    CComPtr<IUnknown> ability;
    HRESULT hr = creator->CreateAbilityById(id, ContainerObject(), IID_IUnknown,
                                            reinterpret_cast<void**>(&ability));
    if (FAILED(hr) || !ability) {
        LOG_MSG("CreateAbility: failed: %s", MultibyteFromWide(entry->name.c_str()).c_str());
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = SetAbility(entry->name.c_str(), id, ability);
    if (FAILED(hr))
        return hr;
    entry->bHasIid = true;
    entry->iid = iid;
    *out = ability.Detach();
    return S_OK;
}

STDMETHODIMP AbilityContainer::CopyAbility(REFIID iid, IAbilityContainer* source, DWORD flags) {
    if (!source)
        return E_POINTER;
    CComPtr<IUnknown> mine, theirs;
    if (AbilityContainer::QueryAbility(iid, &mine) != S_OK ||
        source->QueryAbility(iid, &theirs) != S_OK) {
        LOG_MSG("CopyAbility ignored since either dst or src does not support this feature");
        return S_OK;
    }
    if (theirs) {
        HRESULT hr = S_OK;
        if (!mine)
            hr = CreateAbility(iid, &mine);
        CComPtr<IAbilityCreate> to, from;
        if (SUCCEEDED(hr))
            hr = mine->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&to));
        if (SUCCEEDED(hr))
            hr = theirs->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&from));
        if (FAILED(hr)) {
            LOG_MSG("CopyAbility failed");
            return hr;
        }
        return to->CopyFrom(from, flags);
    }
    if (mine) {
        for (AbilityEntry* e : m_entries)
            if (e->Get() && SameObject(e->Get(), mine))
                return RemoveAbility(std::wstring(e->name).c_str());
    }
    return S_OK;
}
