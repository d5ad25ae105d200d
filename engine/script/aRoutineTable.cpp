#include "aRoutineTable.h"

#include <string.h>

#include "aExprEval.h"
#include "aPrjUtil.h"
#include "bStorage.h"
#include "bTraceLog.h"
#include "bVarMgr.h"

namespace {

// u32 length then that many bytes (the text ends at its first NUL); a length
// of 0 or below is no text. False when the bytes pass the stream's end.
bool ReadName(ITeskStream* s, std::string* out, const char* what) {
    DWORD n = 0;
    if (!StreamReadValue(s, &n))
        return false;
    out->clear();
    if ((LONG)n <= 0)
        return true;
    if (n > StreamRemaining(s)) {
        LOG_MSG("RoutineTable: %s of %lu bytes past the stream's end", what, (unsigned long)n);
        return false;
    }
    std::string bytes(n, '\0');
    if (s->Read(&bytes[0], n) != n)
        return false;
    *out = bytes.substr(0, bytes.find('\0'));
    return true;
}

// The variable scopes, "this" and the routine owner of a caller, put back
// after a call.
struct SavedContext {
    CVarList* local = nullptr;
    CVarList* canvas = nullptr;
    std::string thisName;
};

}  // namespace

namespace {

// The length of a name without its trailing "_1"s, and their number.
size_t StemLength(const char* name, size_t length, size_t* suffixes) {
    *suffixes = 0;
    while (length >= 2 && name[length - 2] == '_' && name[length - 1] == '1') {
        length -= 2;
        ++*suffixes;
    }
    return length;
}

}  // namespace

CRoutineEntry* CRoutineTable::Find(const char* name) {
    if (!name)
        return nullptr;
    size_t suffixes;
    size_t stem = StemLength(name, strlen(name), &suffixes);
    auto s = m_index.find(std::string(name, stem));
    if (s == m_index.end())
        return nullptr;
    auto e = s->second.bySuffixes.find(suffixes);
    return e == s->second.bySuffixes.end() ? nullptr : e->second;
}

void CRoutineTable::Add(std::unique_ptr<CRoutineEntry> entry) {
    size_t first;
    size_t stemLength = StemLength(entry->name.c_str(), entry->name.size(), &first);
    Stem& stem = m_index[entry->name.substr(0, stemLength)];
    // Walk the names first, first_1, first_1_1, ... to the first free one,
    // jumping over runs already walked.
    auto next = [&stem](size_t k) {
        auto jump = stem.lastTaken.find(k);
        return jump != stem.lastTaken.end() && jump->second > k ? jump->second : k + 1;
    };
    size_t k = first;
    while (stem.bySuffixes.count(k)) k = next(k);
    // Every count walked over now leads straight to the new one.
    for (size_t w = first; w != k;) {
        size_t after = next(w);
        stem.lastTaken[w] = k;
        w = after;
    }
    if (k != first) {
        while (m_ones.size() < 2 * k) m_ones += m_ones.empty() ? "_1" : m_ones;
        entry->name.resize(stemLength);
        entry->name.append(m_ones, 0, 2 * k);
    }
    stem.bySuffixes[k] = entry.get();
    m_entries.push_back(std::move(entry));
}

void CRoutineTable::Clear() {
    m_index.clear();
    while (!m_entries.empty()) m_entries.pop_back();
}

CRoutineTables::CRoutineTables()
    : m_processor(nullptr), m_functions(nullptr), m_ownerKind(0), m_owner(nullptr) {}

CRoutineTables::~CRoutineTables() {
    m_processes.Clear();
    m_functions_.Clear();
}

HRESULT CRoutineTables::Load(ITeskStorage* storage) {
    HRESULT hr = ReadStream(storage, "FunctionTable");
    if (FAILED(hr))
        LOG_HRESULT(hr, "Load routine table %s", "FunctionTable");
    hr = ReadStream(storage, "ProcessTable");
    if (FAILED(hr))
        LOG_HRESULT(hr, "Load routine table %s", "ProcessTable");
    return hr;
}

HRESULT CRoutineTables::ReadStream(ITeskStorage* storage, const char* streamName) {
    if (!storage)
        return E_POINTER;
    CComPtr<ITeskStream> stream;
    HRESULT hr = storage->OpenStream(streamName, TESK_MODE_READ, &stream);
    if (FAILED(hr) || !stream) {
        LOG_MSG("Reading %s failed -- ignored", streamName);
        return FAILED(hr) ? hr : E_FAIL;
    }
    stream->SetMode(0);
    CRoutineTable& table = strcmp(streamName, "FunctionTable") == 0 ? m_functions_ : m_processes;
    return ReadTable(stream, table, streamName);
}

HRESULT CRoutineTables::ReadTable(ITeskStream* stream, CRoutineTable& table,
                                  const char* streamName) {
    BYTE header[32];
    if (!ReadExact(stream, header, sizeof(header)))
        return TESK_E_STREAMHEADER;
    DWORD count, mode;
    memcpy(&count, header + 20, 4);
    memcpy(&mode, header + 24, 4);
    if (count == 0)
        return S_OK;
    CComPtr<ITeskStream> body;
    if (FAILED(CacheRestOfStream(stream, (int)mode, &body)) || !body)
        return TESK_E_STREAMHEADER;
    // Each entry takes at least 12 bytes before its list and 4 in it.
    if (count > StreamRemaining(body) / 16) {
        LOG_MSG("RoutineTable %s: %lu entries past the stream's end", streamName,
                (unsigned long)count);
        return TESK_E_STREAMHEADER;
    }
    std::vector<std::unique_ptr<CRoutineEntry>> entries;
    entries.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::unique_ptr<CRoutineEntry> e(new CRoutineEntry);
        DWORD params = 0;
        if (!StreamReadValue(body, &e->unused) || !StreamReadValue(body, &params) ||
            !ReadName(body, &e->name, "name")) {
            LOG_MSG("RoutineTable %s: entry %lu damaged", streamName, (unsigned long)i);
            return TESK_E_STREAMHEADER;
        }
        if (params > StreamRemaining(body) / 8) {
            LOG_MSG("RoutineTable %s: %lu parameters past the stream's end", streamName,
                    (unsigned long)params);
            return TESK_E_STREAMHEADER;
        }
        for (DWORD p = 0; p < params; ++p) {
            CParamDesc d;
            DWORD vt = 0;
            if (!StreamReadValue(body, &vt) || !ReadName(body, &d.name, "parameter name")) {
                LOG_MSG("RoutineTable %s: entry %lu damaged", streamName, (unsigned long)i);
                return TESK_E_STREAMHEADER;
            }
            d.vt = (VARTYPE)(vt & 0xFFFF);
            e->params.push_back(d);
        }
        entries.push_back(std::move(e));
    }
    for (auto& e : entries) {
        // A list cut short inside an item makes the stream throw.
        HRESULT hr;
        try {
            hr = e->list.Load(body);
        } catch (CTeskExcept&) {
            hr = E_FAIL;
        }
        if (FAILED(hr)) {
            LOG_MSG("RoutineTable %s: action list of %s damaged", streamName, e->name.c_str());
            return TESK_E_STREAMHEADER;
        }
    }
    for (auto& e : entries) table.Add(std::move(e));
    return S_OK;
}

CActionRun* CRoutineTables::MakeRun(CRoutineTable& table, const char* name, VARIANT* args,
                                    int count) {
    CRoutineEntry* e = name ? table.Find(name) : nullptr;
    if (!e || count != (int)e->params.size() || e->list.IsEmpty())
        return nullptr;
    if (count && !args)
        return nullptr;
    std::unique_ptr<CActionRun> run(new CActionRun);
    run->pList = &e->list;
    run->ownerKind = m_ownerKind;
    run->pOwner = m_owner;
    for (int p = 0; p < count; ++p) {
        const CParamDesc& d = e->params[(size_t)p];
        VARIANT& arg = args[count - 1 - p];
        VARIANT v;
        VariantInit(&v);
        HRESULT hr;
        if (V_VT(&arg) == d.vt || (d.vt == 100 && V_VT(&arg) == VT_BSTR))
            hr = VariantCopy(&v, &arg);
        else
            hr = VariantChangeType(&v, &arg, 0, d.vt);
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "Call %s: parameter %s does not fit", name, d.name.c_str());
            return nullptr;
        }
        run->locals.Insert(-1, d.name.c_str(), v, v);
        VariantClear(&v);
    }
    return run.release();
}

int CRoutineTables::CallProcess(const char* name, VARIANT* args, int count) {
    CEventProcessor* proc = m_processor;
    if (!proc)
        return 0;
    CActionRun* caller = proc->GetCurrentRun();
    int depth = caller ? caller->depth + 1 : 1;
    if (depth > MAX_CALL_DEPTH) {
        LOG_MSG("Call %s: nesting deeper than %d -- refused", name ? name : "", MAX_CALL_DEPTH);
        return 0;
    }
    CActionRun* run = MakeRun(m_processes, name, args, count);
    if (!run)
        return 0;
    run->depth = depth;
    if (caller) {
        caller->pCallee = run;
        run->pCaller = caller;
    }
    HRESULT r = proc->ExecuteActionList(run);
    if (r == 1) {
        proc->SetSuspend(true);
        return 0;
    }
    if (caller) {
        caller->pCallee = nullptr;
        proc->Bind(caller);
    }
    delete run;
    return 1;
}

bool CRoutineTables::CallFunction(const char* name, VARIANT* args, int count, VARIANT* result) {
    CEventProcessor* proc = m_processor;
    if (!proc)
        return false;
    CActionRun* saved = proc->GetCurrentRun();
    int depth = saved ? saved->depth + 1 : 1;
    if (depth > MAX_CALL_DEPTH) {
        LOG_MSG("Call %s: nesting deeper than %d -- refused", name ? name : "", MAX_CALL_DEPTH);
        return false;
    }
    CActionRun* run = MakeRun(m_functions_, name, args, count);
    if (!run)
        return false;
    run->depth = depth;
    VariableManager* vars = proc->GetVariables();
    SavedContext ctx;
    if (vars) {
        ctx.local = vars->GetLocalList();
        ctx.canvas = vars->GetCanvasList();
    }
    if (proc->GetSender())
        ctx.thisName = proc->GetSender()->GetThisName();
    int ownerKind = m_ownerKind;
    IUnknown* owner = m_owner;

    // The caller's evaluator is in the middle of its own evaluation: the
    // function's runs on a fresh one that keeps the caller's compiled forms,
    // so a function called in a loop is not compiled again on every call.
    CExpression* old = proc->GetExpression();
    CExpression* fresh = old ? old->NewNested() : new CExpression;
    fresh->SetVariables(vars);
    fresh->SetCommandSender(proc->GetSender());
    fresh->SetFunctions(m_functions);
    proc->SetExpression(fresh);
    proc->EnterFunction();
    HRESULT r = proc->ExecuteActionList(run);
    proc->LeaveFunction();
    bool refused = proc->TakeWaitRefused();
    proc->SetExpression(old);
    delete fresh;

    if (result) {
        VariantClear(result);
        VariantCopy(result, &run->result);
    }
    proc->SetCurrentRun(saved);
    if (vars) {
        vars->SetLocalList(ctx.local);
        vars->SetCanvasList(ctx.canvas);
    }
    if (proc->GetSender())
        proc->GetSender()->SetThisName(ctx.thisName.c_str());
    SetOwner(ownerKind, owner);
    delete run;
    // A function the watchdog stopped has no value to give.
    return r == 0 && !refused && !proc->DispatchStopped();
}
