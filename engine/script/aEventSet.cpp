#include "aEventSet.h"

#include <ocidl.h>

#include "aStorage.h"
#include "aUtil.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

const IID DIID_EventsTableObjectStock = {
    0xD5738CD0, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID DIID_EventsTablePageStock = {
    0xD5738CD1, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
const IID DIID_EventsTableAppStock = {
    0xD5738CD2, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};

namespace {

// A short read is the stream's to report: it throws.
bool ReadU32(ITeskStream* s, DWORD* v) {
    return s->Read(v, 4) == 4;
}

// u32 length (NUL included; 0 for none), then the bytes.
bool ReadText(ITeskStream* s, std::string* text, bool* present) {
    DWORD n = 0;
    if (!ReadU32(s, &n))
        return false;
    *present = n != 0;
    text->clear();
    if (!n)
        return true;
    if (n > StreamRemaining(s)) {
        LOG_MSG("EventSet: text of %lu bytes past the stream's end", (unsigned long)n);
        return false;
    }
    std::string bytes(n, '\0');
    if (s->Read(&bytes[0], n) != n)
        return false;
    size_t end = bytes.find('\0');
    *text = bytes.substr(0, end);
    return true;
}

void WriteText(ITeskStream* s, const std::string& text, bool present) {
    if (!present) {
        StreamWriteValue<DWORD>(s, 0);
        return;
    }
    StreamWriteValue<DWORD>(s, (DWORD)text.size() + 1);
    s->Write(text.c_str(), (ULONG)text.size() + 1);
}

std::string Narrow(BSTR b) {
    return b ? MultibyteFromWide(b) : std::string();
}

}  // namespace

// ---- CActionItemList ----

HRESULT CActionItemList::Load(ITeskStream* stream) {
    m_items.clear();
    DWORD count = 0;
    if (!ReadU32(stream, &count))
        return E_FAIL;
    // Each item takes at least 12 bytes.
    if (count > StreamRemaining(stream) / 12) {
        LOG_MSG("ActionList: %lu items past the stream's end", (unsigned long)count);
        return E_FAIL;
    }
    m_items.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        CActionItem item;
        if (!ReadU32(stream, &item.kind) || !ReadText(stream, &item.text0, &item.has0) ||
            !ReadText(stream, &item.text1, &item.has1)) {
            m_items.clear();
            return E_FAIL;
        }
        m_items.push_back(std::move(item));
    }
    return S_OK;
}

HRESULT CActionItemList::Save(ITeskStream* stream) const {
    StreamWriteValue<DWORD>(stream, (DWORD)m_items.size());
    for (const CActionItem& item : m_items) {
        StreamWriteValue<DWORD>(stream, item.kind);
        WriteText(stream, item.text0, item.has0);
        WriteText(stream, item.text1, item.has1);
    }
    return S_OK;
}

// ---- CEventEntry ----

CEventEntry* CEventEntry::FindSub(DWORD id) {
    for (auto& s : m_subs)
        if (s->m_id == id)
            return s.get();
    return nullptr;
}

CEventEntry* CEventEntry::AddSub(DWORD id, const std::string& name,
                                 const std::vector<CParamDesc>* params) {
    std::unique_ptr<CEventEntry> sub(new CEventEntry(id, name, false));
    sub->m_params = params ? *params : m_params;
    m_subs.push_back(std::move(sub));
    return m_subs.back().get();
}

HRESULT CEventEntry::Load(ITeskStream* stream) {
    if (!m_stock)
        return m_list.Load(stream);
    DWORD head = 0;
    if (!ReadU32(stream, &head))
        return E_FAIL;
    DWORD count = head & 0xFFFF;
    bool described = (head & 0x10000) != 0;
    // A sub-entry takes at least 12 bytes (identifier, name length, list).
    if (count > StreamRemaining(stream) / 12) {
        LOG_MSG("EventSet: %lu sub-entries of %lu past the stream's end", (unsigned long)count,
                (unsigned long)m_id);
        return E_FAIL;
    }
    for (DWORD i = 0; i < count; ++i) {
        DWORD id = 0;
        std::string name;
        bool present = false;
        if (!ReadU32(stream, &id) || !ReadText(stream, &name, &present))
            return E_FAIL;
        std::vector<CParamDesc> params;
        if (described) {
            DWORD n = 0;
            if (!ReadU32(stream, &n))
                return E_FAIL;
            if (n > StreamRemaining(stream) / 8) {
                LOG_MSG("EventSet: %lu parameters past the stream's end", (unsigned long)n);
                return E_FAIL;
            }
            for (DWORD p = 0; p < n; ++p) {
                CParamDesc d;
                bool has = false;
                DWORD vt = 0;
                if (!ReadText(stream, &d.name, &has) || !ReadU32(stream, &vt))
                    return E_FAIL;
                d.vt = (VARTYPE)(vt & 0xFFFF);
                params.push_back(d);
            }
        }
        CEventEntry* sub = AddSub(id, name, described ? &params : nullptr);
        HRESULT hr = sub->m_list.Load(stream);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CEventEntry::Save(ITeskStream* stream) const {
    if (!m_stock)
        return m_list.Save(stream);
    StreamWriteValue<DWORD>(stream, 0x10000 | ((DWORD)m_subs.size() & 0xFFFF));
    for (const auto& sub : m_subs) {
        StreamWriteValue<DWORD>(stream, sub->m_id);
        WriteText(stream, sub->m_name, !sub->m_name.empty());
        StreamWriteValue<DWORD>(stream, (DWORD)sub->m_params.size());
        for (const CParamDesc& d : sub->m_params) {
            WriteText(stream, d.name, !d.name.empty());
            StreamWriteValue<DWORD>(stream, d.vt);
        }
        sub->m_list.Save(stream);
    }
    return S_OK;
}

CActionRun* CEventEntry::MakeRun(const VARIANT* args, UINT count) const {
    if (m_stock) {
        if (m_subs.empty() || count < 1)
            return nullptr;
        VARIANT sel;
        VariantInit(&sel);
        if (FAILED(VariantChangeType(&sel, const_cast<VARIANT*>(&args[0]), 0, VT_I4)))
            return nullptr;
        for (const auto& sub : m_subs)
            if (sub->m_id == (DWORD)sel.lVal)
                return sub->MakeRun(args + 1, count - 1);
        return nullptr;
    }
    if (count != m_params.size() || m_list.IsEmpty())
        return nullptr;
    CActionRun* run = new CActionRun;
    run->pList = &m_list;
    for (UINT i = 0; i < count; ++i) {
        VARIANT v;
        VariantInit(&v);
        VariantCopy(&v, const_cast<VARIANT*>(&args[i]));
        run->locals.Insert(-1, m_params[i].name.c_str(), v, v);
        VariantClear(&v);
    }
    return run;
}

HRESULT CEventEntry::ScheduleTimers(IPlayerSite* site, IObjectEvent* target) const {
    if (!site)
        return E_FAIL;
    HRESULT result = S_OK;
    for (const auto& sub : m_subs) {
        DWORD clock = 0;
        ISequencer* seq = nullptr;
        if (FAILED(site->GetPageClock(&clock)) || FAILED(site->GetSequencer(&seq)) || !seq)
            return E_FAIL;
        SequencerEntry e = {target, 0, 0x20000, sub->m_id};
        // Every timer keeps its own entry.
        HRESULT hr = seq->ScheduleFor(clock + sub->m_id, &e);
        if (FAILED(hr))
            result = hr;
    }
    return result;
}

// ---- CEventSet ----

CEventEntry* CEventSet::Find(DWORD id) {
    for (auto& e : m_entries)
        if (e->GetId() == id)
            return e.get();
    return nullptr;
}

HRESULT CEventSet::SaveLists(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    try {
        StreamWriteValue<DWORD>(stream, (DWORD)m_entries.size());
        for (auto& e : m_entries) e->Save(stream);
    } catch (CTeskExcept&) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CEventSet::LoadLists(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    try {
        DWORD count = 0;
        if (!ReadU32(stream, &count))
            return E_FAIL;
        // Stored sets are positional: more lists than entries cannot belong.
        if (count > m_entries.size()) {
            LOG_MSG("EventSet: %lu stored lists for %lu entries", (unsigned long)count,
                    (unsigned long)m_entries.size());
            return E_FAIL;
        }
        for (DWORD i = 0; i < count; ++i) {
            HRESULT hr = m_entries[i]->Load(stream);
            if (FAILED(hr))
                return hr;
        }
    } catch (CTeskExcept&) {
        LOG_MSG("EventSet: lists cut short");
        return E_FAIL;
    }
    return S_OK;
}

namespace {

// Parameter descriptors and the display name of function `i`.
bool DescribeFunc(ITypeInfo* info, UINT i, MEMBERID* id, std::string* name,
                  std::vector<CParamDesc>* params) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f)) || !f) {
        LOG_MSG("InitInstanceEventSet::GetFuncDesc failed");
        return false;
    }
    *id = f->memid;
    std::vector<BSTR> names((size_t)f->cParams + 1, nullptr);
    UINT got = 0;
    info->GetNames(f->memid, names.data(), (UINT)names.size(), &got);
    BSTR doc = nullptr;
    info->GetDocumentation(f->memid, nullptr, &doc, nullptr, nullptr);
    *name = (doc && *doc) ? Narrow(doc) : (got ? Narrow(names[0]) : std::string());
    params->clear();
    for (SHORT p = 0; p < f->cParams; ++p) {
        CParamDesc d;
        if ((UINT)p + 1 < got)
            d.name = Narrow(names[(size_t)p + 1]);
        d.vt = f->lprgelemdescParam[p].tdesc.vt;
        params->push_back(d);
    }
    for (UINT k = 0; k < got; ++k) SysFreeString(names[k]);
    SysFreeString(doc);
    info->ReleaseFuncDesc(f);
    return true;
}

}  // namespace

HRESULT CEventSet::InitInstanceEventSet(ITypeInfo* info) {
    if (!info)
        return E_POINTER;
    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    UINT n = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < n; ++i) {
        MEMBERID id = 0;
        std::string name;
        std::vector<CParamDesc> params;
        if (!DescribeFunc(info, i, &id, &name, &params))
            continue;
        std::unique_ptr<CEventEntry> e(
            new CEventEntry((DWORD)id, name, CEventEntry::IsStockId((DWORD)id)));
        e->Params() = params;
        m_entries.push_back(std::move(e));
    }
    return S_OK;
}

void CEventSet::AddTypeInfo(ITypeInfo* info) {
    if (!info)
        return;
    m_infos.push_back(CComPtr<ITypeInfo>(info));
    InitInstanceEventSet(info);
}

HRESULT CEventSet::AddSubEvents(DWORD key, ITypeInfo* info) {
    CEventEntry* e = Find(key);
    if (!e)
        return E_FAIL;
    if (!info)
        return 1;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return 1;
    UINT n = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    HRESULT result = 0;
    for (UINT i = 0; i < n; ++i) {
        MEMBERID id = 0;
        std::string name;
        std::vector<CParamDesc> params;
        if (!DescribeFunc(info, i, &id, &name, &params)) {
            result = 1;
            continue;
        }
        if (!e->FindSub((DWORD)id))
            e->AddSub((DWORD)id, e->GetName() + name, &params);
    }
    return result;
}

HRESULT CEventSet::AddSubEvent(DWORD key, DWORD subId, const char* nameSuffix) {
    CEventEntry* e = Find(key);
    if (!e)
        return E_FAIL;
    if (!e->FindSub(subId))
        e->AddSub(subId, e->GetName() + (nameSuffix ? nameSuffix : ""), nullptr);
    return 0;
}

HRESULT CEventSet::RemoveSubEvent(DWORD key, DWORD subId) {
    CEventEntry* e = Find(key);
    if (!e)
        return E_FAIL;
    auto& subs = e->Subs();
    for (size_t i = 0; i < subs.size(); ++i)
        if (subs[i]->GetId() == subId) {
            subs.erase(subs.begin() + (ptrdiff_t)i);
            return 0;
        }
    return E_FAIL;
}

HRESULT CEventSet::RemoveSubEvents(DWORD key) {
    CEventEntry* e = Find(key);
    if (!e)
        return E_FAIL;
    e->Subs().clear();
    return 0;
}

CEventEntry* CEventSet::ResetEnum(EventEnumCursor* cursor) {
    if (!cursor || m_entries.empty())
        return nullptr;
    cursor->index = 0;
    cursor->sub = -2;  // the entry itself comes first
    return NextEntry(cursor);
}

CEventEntry* CEventSet::NextEntry(EventEnumCursor* cursor) {
    if (!cursor)
        return nullptr;
    while (cursor->index >= 0 && (size_t)cursor->index < m_entries.size()) {
        CEventEntry* e = m_entries[(size_t)cursor->index].get();
        if (cursor->sub == -2) {
            cursor->sub = -1;
            return e;
        }
        if (!cursor->entriesOnly && e->GetKind() == 1) {
            int next = cursor->sub + 1;
            if ((size_t)next < e->Subs().size()) {
                cursor->sub = next;
                return e->Subs()[(size_t)next].get();
            }
        }
        ++cursor->index;
        cursor->sub = -2;
    }
    return nullptr;
}

HRESULT CEventSet::Rebuild() {
    ITeskStream* mem = nullptr;
    HRESULT hr = CreateMemStream(&mem, 30000);
    if (FAILED(hr) || !mem)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    mem->SetMode(1);
    hr = SaveLists(mem);
    std::vector<CComPtr<ITypeInfo>> infos;
    infos.swap(m_infos);
    m_entries.clear();
    for (auto& i : infos) AddTypeInfo(i);
    if (SUCCEEDED(hr)) {
        mem->Seek(0, TESK_SEEK_SET);
        mem->SetMode(0);
        hr = LoadLists(mem);
    }
    mem->Release();
    return hr;
}

void CEventSet::ClearLists() {
    for (auto& e : m_entries) {
        e->List().Clear();
        for (auto& s : e->Subs()) s->List().Clear();
    }
}

HRESULT CEventSet::Fire(DWORD id, const DISPPARAMS* args) {
    CEventEntry* e = Find(id);
    if (!e)
        return E_FAIL;
    UINT n = args ? args->cArgs : 0;
    const VARIANT* v = (args && n) ? args->rgvarg : nullptr;
    if (n && !v)
        n = 0;
    CActionRun* run = e->MakeRun(v, n);
    if (!run)
        return 1;
    run->ownerKind = m_ownerKind;
    run->pOwner = m_owner;
    run->eventId = id;
    IActionQueue* queue = nullptr;
    void* p = nullptr;
    if (m_site && SUCCEEDED(m_site->GetEventProcessor(&p)))
        queue = static_cast<IActionQueue*>(p);
    if (!queue) {
        delete run;
        return E_FAIL;
    }
    queue->QueueActionList(run);
    queue->RunPending();
    return 0;
}

// ---- CEventProcedure ----

STDMETHODIMP CEventProcedure::GetTypeInfoCount(UINT* n) {
    if (!n)
        return E_POINTER;
    *n = 0;
    return S_OK;
}

STDMETHODIMP CEventProcedure::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) {
    HRESULT hr = m_set.Fire((DWORD)id, params);
    if (result) {
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = hr;
    }
    return hr;
}

STDMETHODIMP CEventProcedure::StartTimers(IObjectEvent* target) {
    EventEnumCursor c;
    c.entriesOnly = TRUE;
    for (CEventEntry* e = m_set.ResetEnum(&c); e; e = m_set.NextEntry(&c))
        if (e->GetId() == 1000)
            return e->ScheduleTimers(m_set.GetSite(), target);
    return S_FALSE;
}

// ---- factory ----

HRESULT CEventProcFactory::CreateEventProc(int type, IUnknown* object, IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CEventProcedure>* proc = nullptr;
    HRESULT hr = CComObject<CEventProcedure>::CreateInstance(&proc);
    if (FAILED(hr))
        return hr;
    proc->AddRef();
    CEventSet& set = proc->Set();
    set.SetSite(m_site);
    set.SetOwner(0, object);
    const IID* stock = nullptr;
    if (type == 0)
        stock = &DIID_EventsTableObjectStock;
    else if (type == 2)
        stock = &DIID_EventsTablePageStock;
    else if (type == 4)
        stock = &DIID_EventsTableAppStock;
    if (stock && m_lib) {
        CComPtr<ITypeInfo> info;
        if (SUCCEEDED(m_lib->GetTypeInfoOfGuid(*stock, &info)))
            set.AddTypeInfo(info);
    }
    if (type == 0 || type == 1) {
        CComPtr<ITypeInfo> own;
        if (SUCCEEDED(GetObjectEventInfo(object, &own)) && own)
            set.AddTypeInfo(own);
    }
    hr = proc->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
    proc->Release();
    return hr;
}
