#include "ObjectDoubles.h"

#include <algorithm>

#include "bStorage.h"

STDMETHODIMP TestSequencer::QueryInterface(REFIID iid, void** ppv) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(ISequencer))) {
        *ppv = this;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestSequencer::Schedule(DWORD time, const SequencerEntry* entry) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].entry.pTarget == entry->pTarget &&
            ((entries[i].entry.dwKind ^ entry->dwKind) & 0x00FF0000) == 0) {
            entries.erase(entries.begin() + i);
            break;
        }
    return ScheduleFor(time, entry);
}

STDMETHODIMP TestSequencer::ScheduleFor(DWORD time, const SequencerEntry* entry) {
    entries.push_back({time, *entry});
    return S_OK;
}

STDMETHODIMP TestSequencer::Unschedule(IObjectEvent* target) {
    if (!target)
        return E_POINTER;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].entry.pTarget == target) {
            entries.erase(entries.begin() + i);
            return S_OK;
        }
    return E_UNEXPECTED;
}

STDMETHODIMP TestSequencer::AddClockClient(IUnknown* client, IUnknown** out) {
    client->AddRef();
    clients.push_back(client);
    if (out)
        *out = client;
    return S_OK;
}

STDMETHODIMP TestSequencer::RemoveClockClient(IUnknown* client) {
    auto it = std::find(clients.begin(), clients.end(), client);
    if (it == clients.end())
        return 1;
    clients.erase(it);
    client->Release();
    return 0;
}

void TestSequencer::RunDue(DWORD clock) {
    for (;;) {
        auto due = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (it->time <= clock && (due == entries.end() || it->time < due->time))
                due = it;
        if (due == entries.end())
            return;
        SequencerEntry e = due->entry;
        entries.erase(due);
        if (e.pTarget)
            e.pTarget->Notify(e.dwKind, e.dwParam);
    }
}

void TestSequencer::TickClients() {
    std::vector<IUnknown*> copy = clients;
    for (IUnknown* c : copy) reinterpret_cast<IClockClient*>(c)->OnTick();
}

const TestSequencer::Entry* TestSequencer::Find(IObjectEvent* target, DWORD code) const {
    for (const Entry& e : entries)
        if (e.entry.pTarget == target && e.entry.dwKind == code)
            return &e;
    return nullptr;
}

TestPlayerSite::TestPlayerSite() {}

STDMETHODIMP TestPlayerSite::QueryInterface(REFIID iid, void** ppv) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IPlayerSite))) {
        *ppv = this;
        return S_OK;
    }
    if (IsEqualIID(iid, __uuidof(IObjectFinder))) {
        finder.site = this;
        *ppv = static_cast<IObjectFinder*>(&finder);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestObjectFinder::QueryInterface(REFIID iid, void** ppv) {
    if (site)
        return site->QueryInterface(iid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestObjectFinder::FindObjectByName(const char* name, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto it = name ? objects.find(name) : objects.end();
    if (it == objects.end() || !it->second)
        return E_FAIL;
    *out = it->second;
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP TestPlayerSite::InvalidateRect(const RECT* rect) {
    if (rect)
        invalidated.push_back(*rect);
    return S_OK;
}

STDMETHODIMP TestPlayerSite::GetMediaManager(IMediaManager** out) {
    *out = media;
    return media ? S_OK : E_FAIL;
}

STDMETHODIMP TestPlayerSite::GetSequencer(ISequencer** out) {
    *out = &sequencer;
    return S_OK;
}

STDMETHODIMP TestPlayerSite::GetRootCreator(IObjectCreator** out) {
    *out = creator;
    return creator ? S_OK : E_FAIL;
}

STDMETHODIMP TestPlayerSite::GetPageClock(DWORD* out) {
    *out = clock;
    return S_OK;
}

STDMETHODIMP TestPlayerSite::GetToolTipWindow(IUnknown** out) {
    // Lent uncounted, as the player's site does.
    *out = toolTip;
    return toolTip ? S_OK : E_FAIL;
}

STDMETHODIMP TestObjectSite::QueryInterface(REFIID iid, void** ppv) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IObjectSite))) {
        *ppv = this;
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestObjectSite::AdjustTime(DWORD* time) {
    if (time && *time == play->clock)
        ++*time;
    return S_OK;
}

STDMETHODIMP TestObjectSite::GetPlaySite(IPlayerSite** out) {
    *out = play;
    return S_OK;
}

STDMETHODIMP TestEventProc::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    Call call;
    call.id = id;
    for (UINT i = 0; params && i < params->cArgs; ++i) {
        call.types.push_back(params->rgvarg[i].vt);
        call.values.push_back(params->rgvarg[i].vt == VT_I2 ? params->rgvarg[i].iVal
                                                            : params->rgvarg[i].lVal);
    }
    calls.push_back(call);
    return S_OK;
}

STDMETHODIMP TestEventProc::LoadRecord(ITeskStream* stream) {
    DWORD n = 0;
    if (!StreamReadValue(stream, &n) || !StreamHas(stream, n))
        return E_FAIL;
    return stream->Seek(n, TESK_SEEK_CUR);
}

STDMETHODIMP TestEventProc::SaveRecord(ITeskStream* stream) {
    StreamWriteValue(stream, (DWORD)0);
    return S_OK;
}

HRESULT TestEventProcFactory::CreateEventProc(int type, IUnknown*, IDispatch** out) {
    types.push_back(type);
    CComObject<TestEventProc>* proc = nullptr;
    HRESULT hr = CComObject<TestEventProc>::CreateInstance(&proc);
    if (FAILED(hr))
        return hr;
    proc->AddRef();
    last = proc;
    *out = static_cast<IDispatch*>(proc);
    return S_OK;
}
