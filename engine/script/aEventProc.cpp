#include "aEventProc.h"

#include <stdio.h>
#include <string.h>

#include "aExprEval.h"
#include "aRoutineTable.h"
#include "bExprOp.h"
#include "bExprScan.h"
#include "bStrConv.h"
#include "bTextCut.h"
#include "bTraceLog.h"
#include "bVarMgr.h"

namespace {

enum {
    ACT_IF = 1,
    ACT_ELSE = 2,
    ACT_ENDIF = 3,
    ACT_LOOP = 4,
    ACT_ENDLOOP = 5,
    ACT_WAIT = 6,
    ACT_NOP = 7,
    ACT_ASSIGN = 8,
    ACT_RETURN = 9,
    ACT_INVOKE = 403,
    ACT_PROCESS = 404,
};

const VARTYPE kDeclTypes[6] = {VT_I4, VT_R8, VT_BOOL, VT_BSTR, VT_DATE, VT_CY};

// The action after the one that closes the block opened at `from`: nesting
// raised by `raise`, lowered by `lower`. -1 when the list ends first.
int FindMatch(const std::vector<CActionItem>& items, int from, DWORD raise, DWORD lower) {
    int nest = 0;
    for (int i = from; i < (int)items.size(); ++i) {
        DWORD k = items[(size_t)i].kind;
        if (k == raise) {
            ++nest;
        } else if (k == lower) {
            if (--nest == 0)
                return i;
        }
    }
    return -1;
}

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

CEventProcessor::CEventProcessor()
    : m_site(nullptr),
      m_expr(nullptr),
      m_vars(nullptr),
      m_routines(nullptr),
      m_context(nullptr),
      m_current(nullptr),
      m_suspend(false),
      m_running(false),
      m_waitRefused(false),
      m_functionDepth(0),
      m_dispatchDepth(0),
      m_deadlineSet(false),
      m_deadline(0),
      m_past(false),
      m_late(0),
      m_stopped(false),
      m_page(1),
      m_now(GetTickCount) {}

CEventProcessor::~CEventProcessor() {
    for (CActionRun* run : m_pending) delete run;
    if (m_vars)
        m_vars->SetLocalList(nullptr);
}

void CEventProcessor::Attach(HWND window) {
    AttachSender(new CCmdSender(window));
}

void CEventProcessor::AttachSender(CCmdSender* sender) {
    m_sender.reset(sender);
    if (m_sender)
        m_sender->SetVariables(m_vars);
    if (m_expr) {
        m_expr->SetVariables(m_vars);
        m_expr->SetCommandSender(m_sender.get());
    }
}

void CEventProcessor::Detach() {
    if (m_expr)
        m_expr->SetCommandSender(nullptr);
    m_sender.reset();
}

void CEventProcessor::QueueActionList(CActionRun* run) {
    if (run)
        m_pending.push_back(run);
}

void CEventProcessor::BeginDispatch() {
    if (m_dispatchDepth++ > 0)
        return;
    m_deadlineSet = false;
    m_past = false;
    m_late = 0;
    m_stopped = false;
}

void CEventProcessor::EndDispatch() {
    if (m_dispatchDepth > 0 && --m_dispatchDepth == 0)
        m_stopped = false;
}

void CEventProcessor::StopDispatch() {
    if (m_stopped)
        return;
    m_stopped = true;
    LOG_MSG("ExecuteActionList: timeout: %d ms, potential deadlock?", (int)WATCHDOG_MS);
}

static bool IsRestartedList(const CActionRun* run) {
    // Timers start again whenever their object enters; keys repeat.
    return run->eventId == 1000 || (run->eventId >= 1008 && run->eventId <= 1010);
}

bool CEventProcessor::StoppedOnThisPage(const CActionRun* outer) const {
    return IsRestartedList(outer) && outer->pList && outer->pList->StoppedOnPage() == m_page;
}

void CEventProcessor::KeepStopped(const CActionRun* outer) {
    if (!IsRestartedList(outer) || !outer->pList)
        return;
    outer->pList->SetStoppedOnPage(m_page);
    std::string name = m_context ? m_context->GetOwnerName(outer->ownerKind, outer->pOwner) : "";
    LOG_MSG(
        "ExecuteActionList: list of event %lu of '%s' stopped by the watchdog -- not started "
        "again on this page",
        (unsigned long)outer->eventId, name.c_str());
}

void CEventProcessor::DropChain(CActionRun* outer) {
    while (outer) {
        CActionRun* callee = outer->pCallee;
        delete outer;
        outer = callee;
    }
}

HRESULT CEventProcessor::RunPending() {
    // A run fired from inside a running list waits for the outer loop.
    if (m_running)
        return S_OK;
    Dispatch dispatch(this);
    m_running = true;
    while (!m_pending.empty()) {
        CActionRun* outer = m_pending.front();
        m_pending.pop_front();
        // What is left of an event the watchdog ended is not run.
        if (m_stopped || StoppedOnThisPage(outer)) {
            DropChain(outer);
            continue;
        }
        CActionRun* run = outer;
        while (run->pCallee) run = run->pCallee;
        for (;;) {
            m_suspend = false;
            HRESULT r = ExecuteActionList(run);
            if (r == 1)
                break;  // its wait queues the chain again
            CActionRun* caller = run->pCaller;
            if (caller) {
                caller->pCallee = nullptr;
                delete run;
                run = caller;
                continue;
            }
            if (m_stopped)
                KeepStopped(run);
            delete run;
            if (m_vars)
                m_vars->SetLocalList(nullptr);
            break;
        }
    }
    m_running = false;
    return S_OK;
}

void CEventProcessor::Bind(CActionRun* run) {
    if (!run)
        return;
    if (m_vars) {
        m_vars->SetLocalList(&run->locals);
        if (m_context)
            m_vars->SetCanvasList(m_context->GetCanvasVariables(run->ownerKind, run->pOwner));
    }
    if (m_sender)
        m_sender->SetThisName(
            m_context ? m_context->GetOwnerName(run->ownerKind, run->pOwner).c_str() : "");
    if (m_routines)
        m_routines->SetOwner(run->ownerKind, run->pOwner);
}

bool CEventProcessor::Eval(const std::string& text, VARIANT* out) {
    ExprOp::InitValue(*out);
    return m_expr && SUCCEEDED(m_expr->Evaluate(text.c_str(), out));
}

bool CEventProcessor::EvalBool(const CActionItem& item, bool* value) {
    VARIANT v;
    if (!item.has1 || !Eval(item.text1, &v))
        return false;
    bool ok = SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BOOL));
    *value = ok && V_BOOL(&v) != VARIANT_FALSE;
    VariantClear(&v);
    return ok;
}

// Array declarations are kinds 100-105, variable declarations 200-205 (the
// low word; the high word adds type flags).
static bool IsDeclaration(DWORD kind) {
    const DWORD low = kind & 0xFFFF;
    return (low >= 100 && low <= 105) || (low >= 200 && low <= 205);
}

void CEventProcessor::ExecDeclaration(const CActionItem& item) {
    const DWORD kind = item.kind;
    const DWORD low = kind & 0xFFFF;
    if (low >= 100 && low <= 105) {
        std::string name = item.has0 ? item.text0 : std::string();
        size_t open = name.find('[');
        size_t close = name.rfind(']');
        std::vector<int> sizes;
        if (open == std::string::npos || close == std::string::npos || close < open ||
            IsBlank(name.substr(0, open))) {
            LOG_HRESULT(E_EXPR_EMPTYPARAM, "Declare array: %s", name.c_str());
        } else if (SUCCEEDED(GetDimensionOffset(name.substr(open + 1, close - open - 1).c_str(),
                                                sizes))) {
            std::string base = name.substr(0, open);
            if (m_vars && m_vars->FindLocal(base.c_str()) < 0)
                m_vars->DeclareArray(base.c_str(), (VARTYPE)(kDeclTypes[low - 100] | (kind >> 16)),
                                     sizes.data(), (int)sizes.size(),
                                     item.has1 ? item.text1.c_str() : "");
        }
        return;
    }
    if (!item.has0 || IsBlank(item.text0)) {
        LOG_HRESULT(E_EXPR_EMPTYPARAM, "Declare variable: blank name");
    } else if (m_vars && m_vars->FindLocal(item.text0.c_str()) < 0) {
        m_vars->Declare(item.text0.c_str(), (VARTYPE)(kDeclTypes[low - 200] | (kind >> 16)),
                        item.has1 ? item.text1.c_str() : "", -1);
    }
}

HRESULT CEventProcessor::ExecuteActionList(CActionRun* run) {
    if (!run || !run->pList)
        return 0;
    // A called routine runs on its caller's deadline: the budget is the
    // event's, however the work nests its calls.
    Dispatch dispatch(this);
    if (m_stopped)
        return 0;
    if (!m_deadlineSet) {
        m_deadlineSet = true;
        m_deadline = m_now() + WATCHDOG_MS;
    }
    CActionRun* outer = m_current;
    m_current = run;
    Bind(run);
    const std::vector<CActionItem>& items = run->pList->Items();
    const int n = (int)items.size();
    // The clock costs as much as a short action: it is read every few
    // actions until the deadline has passed; from then on every action counts.
    unsigned steps = CLOCK_EVERY;
    HRESULT result = 0;
    bool done = false;
    const CActionItem* const data = items.data();
    // The position lives in a register; the run learns it after every
    // action, and before any call that may look at it.
    int pc = run->pc;
    while (!done && pc >= 0 && pc < n) {
        if (!m_past && --steps == 0) {
            steps = CLOCK_EVERY;
            m_past = (LONG)(m_now() - m_deadline) > 0;
        }
        // A routine called by the last action may have ended the event.
        if (m_stopped || (m_past && ++m_late > WATCHDOG_STEPS)) {
            StopDispatch();
            break;
        }
        int next = pc;
        const CActionItem& item = data[pc];
        const DWORD kind = item.kind;
        switch (kind) {
            case ACT_IF: {
                bool value = false;
                if (EvalBool(item, &value)) {
                    if (value) {
                        next = pc + 1;
                        break;
                    }
                    int e = FindMatch(items, pc, ACT_IF, ACT_ELSE);
                    if (e < 0) {
                        LOG_MSG("ExecuteActionList: if without else at %d -- run ended", pc);
                        done = true;
                        break;
                    }
                    next = e + 1;
                } else {
                    int e = FindMatch(items, pc, ACT_IF, ACT_ENDIF);
                    if (e < 0) {
                        LOG_MSG("ExecuteActionList: if without end if at %d -- run ended", pc);
                        done = true;
                        break;
                    }
                    next = e + 1;
                }
                break;
            }
            case ACT_ELSE: {
                int e = FindMatch(items, pc, ACT_ELSE, ACT_ENDIF);
                if (e < 0) {
                    LOG_MSG("ExecuteActionList: else without end if at %d -- run ended", pc);
                    done = true;
                    break;
                }
                next = e + 1;
                break;
            }
            case ACT_LOOP: {
                bool first = run->loopStarts.empty() || run->loopStarts.back() != pc;
                if (first)
                    run->loopStarts.push_back(pc);
                bool stay;
                if (item.has0) {
                    if (first) {
                        LONG count = ScriptAtoi(item.text0.c_str());
                        // A count of 0 or below runs the body no time at all.
                        stay = count > 0;
                        if (stay)
                            run->loopCounters.push_back(std::make_pair((int)count - 1, pc));
                    } else if (!run->loopCounters.empty() &&
                               run->loopCounters.back().second == pc &&
                               run->loopCounters.back().first != 0) {
                        --run->loopCounters.back().first;
                        stay = true;
                    } else {
                        if (!run->loopCounters.empty() && run->loopCounters.back().second == pc)
                            run->loopCounters.pop_back();
                        stay = false;
                    }
                } else {
                    bool value = false;
                    stay = EvalBool(item, &value) && value;
                }
                if (stay) {
                    next = pc + 1;
                    break;
                }
                run->loopStarts.pop_back();
                int e = FindMatch(items, pc, ACT_LOOP, ACT_ENDLOOP);
                if (e < 0) {
                    LOG_MSG("ExecuteActionList: loop without end loop at %d -- run ended", pc);
                    done = true;
                    break;
                }
                next = e + 1;
                break;
            }
            case ACT_ENDLOOP:
                if (run->loopStarts.empty()) {
                    LOG_MSG("ExecuteActionList: end loop without loop at %d -- run ended", pc);
                    done = true;
                    break;
                }
                {
                    // A counted loop with turns left goes straight back into
                    // its body: its head would only count down.
                    const int start = run->loopStarts.back();
                    if (start >= 0 && start < n && items[(size_t)start].has0 &&
                        !run->loopCounters.empty() && run->loopCounters.back().second == start &&
                        run->loopCounters.back().first != 0) {
                        --run->loopCounters.back().first;
                        next = start + 1;
                    } else {
                        next = start;
                    }
                }
                break;
            case ACT_WAIT:
                run->pc = next = pc + 1;
                result = Wait(run, item);
                done = true;
                break;
            case ACT_ASSIGN:
                ExecAssignment(item);
                next = pc + 1;
                break;
            case ACT_RETURN:
                VariantClear(&run->result);
                // A value that cannot be computed fails a function's call.
                if (item.has0 && !Eval(item.text0, &run->result)) {
                    LOG_MSG("Expression %s has an error", item.text0.c_str());
                    result = E_FAIL;
                }
                done = true;
                break;
            case ACT_PROCESS: {
                run->pc = next = pc + 1;
                DISPPARAMS* args =
                    item.has1 && !item.text1.empty() ? ParseArgs(item.text1.c_str()) : NewArgs(0);
                if (!args)
                    break;
                if (m_routines && item.has0)
                    m_routines->CallProcess(item.text0.c_str(), args->rgvarg, (int)args->cArgs);
                FreeArgs(args);
                m_current = run;
                if (m_suspend) {
                    result = 1;
                    done = true;
                }
                break;
            }
            default:
                run->pc = next = pc + 1;
                if (IsDeclaration(kind)) {
                    ExecDeclaration(item);
                } else if (kind >= 400) {
                    HRESULT hr = ExecCommand(run, item);
                    if (hr == E_INVALIDARG) {
                        result = hr;
                        done = true;
                    }
                }
                break;
        }
        run->pc = pc = next;
    }
    m_current = outer;
    return result;
}

HRESULT CEventProcessor::Wait(CActionRun* run, const CActionItem& item) {
    LONG ms = 0;
    VARIANT v;
    if (item.has1 && Eval(item.text1, &v)) {
        if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
            ms = V_I4(&v);
        VariantClear(&v);
    } else {
        LOG_MSG("Expression %s has an error", item.has1 ? item.text1.c_str() : "");
    }
    if (ms < MIN_WAIT_MS)
        ms = MIN_WAIT_MS;
    // A function returns to an expression that cannot wait: its run ends
    // and the call fails, nothing of it stays scheduled.
    if (m_functionDepth > 0) {
        LOG_MSG("ExecuteActionList: wait inside a function -- call failed");
        m_waitRefused = true;
        return E_FAIL;
    }
    CActionRun* outer = run;
    while (outer->pCaller) outer = outer->pCaller;
    ISequencer* seq = nullptr;
    DWORD clock = 0;
    SequencerEntry entry = {nullptr, 0, 0x30000, (DWORD_PTR)outer};
    if (!m_site || FAILED(m_site->GetSequencer(&seq)) || !seq ||
        FAILED(m_site->GetPageClock(&clock)) ||
        FAILED(seq->ScheduleFor(clock + (DWORD)ms, &entry))) {
        LOG_MSG("Cannot add actionlist to seqence");
        return E_FAIL;
    }
    return 1;
}

HRESULT CEventProcessor::ExecCommand(CActionRun* run, const CActionItem& item) {
    (void)run;
    const DWORD kind = item.kind;
    std::string target;
    if (kind >= 1000) {
        if (item.has0) {
            VARIANT v;
            if (!Eval(item.text0, &v) || V_VT(&v) != VT_BSTR) {
                VariantClear(&v);
                LOG_MSG("Invalid LVal for act: %d", (int)kind);
                return S_FALSE;
            }
            target = MultibyteFromBstr(V_BSTR(&v));
            VariantClear(&v);
        }
    } else if (item.has0) {
        target = item.text0;
    }
    char object[32] = "";
    char member[128] = "";
    if (m_sender)
        m_sender->SplitObjectMember(target.c_str(), object, member);
    else
        MbCopyCutN(object, sizeof(object), target.c_str(), target.size());
    DISPPARAMS* args = nullptr;
    if (item.has1 && !item.text1.empty()) {
        args = ParseArgs(item.text1.c_str());
        if (!args && kind == ACT_INVOKE)
            return S_FALSE;
    }
    bool curve = strcmp(member, "DrawLineCurve") == 0 || strcmp(member, "DrawPixelCurve") == 0;
    bool declared = false;
    if (curve && m_vars) {
        const char* t1 = item.has1 ? item.text1.c_str() : "";
        std::string item0 = GetParamListItem(t1, 0);
        std::string item1 = GetParamListItem(t1, 1);
        VARIANT list, value;
        VariantInit(&list);
        VariantInit(&value);
        bool ok = !item0.empty() && Eval(item0, &list) && V_VT(&list) == VT_BSTR;
        std::string varName;
        if (ok) {
            varName = GetParamListItem(MultibyteFromBstr(V_BSTR(&list)).c_str(), 1);
            size_t first = varName.find_first_not_of(" \t");
            size_t last = varName.find_last_not_of(" \t");
            varName = first == std::string::npos ? std::string()
                                                 : varName.substr(first, last - first + 1);
        }
        ok = ok && !item1.empty() && !varName.empty() && Eval(item1, &value) &&
             SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4));
        if (!ok) {
            LOG_MSG("Expression error (%s)", t1);
            VariantClear(&list);
            VariantClear(&value);
            FreeArgs(args);
            return E_INVALIDARG;
        }
        char text[16];
        snprintf(text, sizeof(text), "%d", (int)V_I4(&value));
        declared = m_vars->Declare(varName.c_str(), VT_I4, text, 0);
        VariantClear(&list);
        VariantClear(&value);
    }
    if (m_sender)
        m_sender->PostCommand(kind, object, member, args);
    else
        FreeArgs(args);
    if (declared && m_vars && m_vars->GetLocalList())
        m_vars->RemoveAt(m_vars->GetLocalList(), 0);
    return S_OK;
}

DISPPARAMS* CEventProcessor::ParseArgs(const char* text) {
    std::vector<std::string> parts;
    HRESULT hr = SplitParamList(text ? text : "", parts);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "ParseArgs: %s", text ? text : "");
        return nullptr;
    }
    DISPPARAMS* args = NewArgs((UINT)parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        VARIANT& v = args->rgvarg[parts.size() - 1 - i];
        if (!Eval(parts[i], &v)) {
            LOG_MSG("Expression %s has an error", parts[i].c_str());
            FreeArgs(args);
            return nullptr;
        }
    }
    return args;
}

HRESULT CEventProcessor::GetDimensionOffset(const char* text, std::vector<int>& out) {
    out.clear();
    std::vector<std::string> parts;
    if (!text || !*text || FAILED(SplitParamList(text, parts)) || parts.empty())
        return E_FAIL;
    for (const std::string& p : parts) {
        VARIANT v;
        int value = 0;
        if (Eval(p, &v) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
            value = V_I4(&v);
        else
            LOG_MSG("GetDimensionOffset:: Evaluate: %s -- assume 0", p.c_str());
        VariantClear(&v);
        out.push_back(value);
    }
    return S_OK;
}

void CEventProcessor::GetStringVariable(std::string& name) {
    if (m_vars)
        m_vars->GetStringValue(name.c_str(), &name);
}

HRESULT CEventProcessor::ExecAssignment(const CActionItem& item) {
    if (!item.has0 || !item.has1) {
        LOG_MSG("Exec: Assignment failed: null expression");
        return E_SCRIPT_NULLEXPR;
    }
    VARIANT value;
    if (!Eval(item.text1, &value)) {
        LOG_HRESULT(E_FAIL, "Exec: Assignment failed: %s = %s", item.text0.c_str(),
                    item.text1.c_str());
        return E_FAIL;
    }
    const std::string& target = item.text0;
    HRESULT hr = S_OK;
    // Where a member or an element begins (most targets are plain names).
    size_t cut = 0;
    while (cut < target.size() && target[cut] != '[' && target[cut] != '.') ++cut;
    if (cut == target.size())
        cut = std::string::npos;
    if (target.empty()) {
        hr = E_INVALIDARG;
    } else if (cut == std::string::npos) {
        int id = m_vars ? m_vars->Find(target.c_str()) : -1;
        if (id < 0)
            hr = E_SCRIPT_UNDECLARED;
        else if (!m_vars->SetValue(id, value))
            hr = E_FAIL;
    } else if (target[cut] == '.') {
        std::string object = target.substr(0, cut);
        GetStringVariable(object);
        std::string member = target.substr(cut + 1);
        DISPPARAMS* index = nullptr;
        size_t open = member.find('[');
        size_t close = member.rfind(']');
        if (open != std::string::npos && close != std::string::npos && close > open) {
            index = ParseArgs(member.substr(open + 1, close - open - 1).c_str());
            member.resize(open);
            if (!index)
                hr = E_FAIL;
        }
        if (SUCCEEDED(hr)) {
            if (m_sender)
                m_sender->PutObjectProperty(object.c_str(), member.c_str(),
                                            index ? (int)index->cArgs : 0,
                                            index ? index->rgvarg : nullptr, value);
            else
                hr = E_FAIL;
        }
        FreeArgs(index);
    } else {
        std::string name = target.substr(0, cut);
        int id = m_vars ? m_vars->Find(name.c_str()) : -1;
        const VARIANT* cur = id >= 0 ? m_vars->PeekValue(id) : nullptr;
        if (!cur || V_VT(cur) <= 0x2000 || !(V_VT(cur) & VT_ARRAY)) {
            hr = E_SCRIPT_UNDECLARED;
        } else {
            size_t close = target.rfind(']');
            std::vector<int> idx;
            VARIANT arr;
            VariantInit(&arr);
            bool ok = close != std::string::npos && close > cut &&
                      SUCCEEDED(GetDimensionOffset(target.substr(cut + 1, close - cut - 1).c_str(),
                                                   idx)) &&
                      m_vars->GetValue(id, &arr) && (V_VT(&arr) & VT_ARRAY) && V_ARRAY(&arr) &&
                      SafeArrayGetDim(V_ARRAY(&arr)) == idx.size();
            if (ok) {
                std::vector<LONG> li(idx.begin(), idx.end());
                ok = SUCCEEDED(SafeArrayPutElement(V_ARRAY(&arr), li.data(), &value)) &&
                     m_vars->SetValue(id, arr);
            }
            if (!ok) {
                LOG_MSG("ARRAY PUT VALUE FAULT: %s", target.c_str());
                hr = E_FAIL;
            }
            VariantClear(&arr);
        }
    }
    if (FAILED(hr))
        LOG_HRESULT(hr, "Exec: Assignment failed: %s = %s", item.text0.c_str(), item.text1.c_str());
    ExprOp::ClearValue(value);
    return hr;
}
