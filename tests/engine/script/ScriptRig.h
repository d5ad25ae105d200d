// A script engine on test doubles: variables, evaluator, function manager,
// routine tables and the event processor, with a sender that records the
// packets and a site whose sequencer keeps the waits.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "FuncTestUtil.h"
#include "ObjectDoubles.h"
#include "aEventProc.h"
#include "aExprEval.h"
#include "aFuncMgr.h"
#include "aRoutineTable.h"
#include "bVarMgr.h"

// Keeps every packet's texts and arguments (first parameter first) and
// releases it as the executor would. Property reads answer "object.member".
struct RecordingSender : CCmdSender {
    struct Sent {
        UINT command;
        std::string object, member;
        std::vector<std::string> args;  // source order
        std::vector<DISPID> named;
        bool posted;
    };
    RecordingSender() : CCmdSender(nullptr) {}
    bool Deliver(UINT command, CCmdPacket* p, bool post) override {
        Sent s{command, p->m_objectName, p->m_member, {}, {}, post};
        if (p->m_args) {
            for (UINT i = p->m_args->cArgs; i-- > 0;)
                s.args.push_back(VariantText(p->m_args->rgvarg[i]));
            for (UINT i = 0; i < p->m_args->cNamedArgs; ++i)
                s.named.push_back(p->m_args->rgdispidNamedArgs[i]);
        }
        if (command == 401) {
            V_VT(&p->m_result) = VT_BSTR;
            V_BSTR(&p->m_result) = BstrFromMultibyte(s.object + "." + s.member);
        }
        sent.push_back(s);
        if (onDeliver)
            onDeliver(command);
        p->Release();
        return true;
    }
    std::vector<Sent> sent;
    std::function<void(UINT)> onDeliver;
};

struct RigSite : TestPlayerSite {
    CEventProcessor* processor = nullptr;
    STDMETHOD(GetEventProcessor)(void** out) override {
        *out = static_cast<IActionQueue*>(processor);
        return S_OK;
    }
};

struct RigContext : IRunContext {
    CVarList canvas;
    CVarList* GetCanvasVariables(int, IUnknown*) override { return &canvas; }
    std::string GetOwnerName(int kind, IUnknown*) override { return kind == 0 ? "self" : ""; }
};

struct ScriptRig {
    ScriptRig() {
        vars.SetGlobalList(&globals);
        expr.SetVariables(&vars);
        functionsLoaded = functions.LoadLibraries(FuncLibPath().c_str());
        functions.SetRoutineTables(&routines);
        expr.SetFunctions(&functions);
        routines.SetEventProcessor(&processor);
        routines.SetFunctions(&functions);
        processor.SetSite(&site);
        processor.SetExpression(&expr);
        processor.SetVariables(&vars);
        processor.SetRoutineTables(&routines);
        processor.SetContext(&context);
        sender = new RecordingSender;
        processor.AttachSender(sender);
        site.processor = &processor;
    }
    ~ScriptRig() {
        for (auto& e : site.sequencer.entries)
            if (!e.entry.pTarget)
                delete reinterpret_cast<CActionRun*>(e.entry.dwParam);
    }
    void Global(const char* name, LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        globals.Insert(-1, name, v, v);
    }
    LONG GlobalInt(const char* name) {
        int i = globals.Find(name);
        return i < 0 ? -999999 : V_I4(globals.GetValue(i));
    }
    // Queues a run of the list and runs the queue.
    void Run(const CActionItemList& list, int ownerKind = 1) {
        CActionRun* run = new CActionRun;
        run->pList = &list;
        run->ownerKind = ownerKind;
        processor.QueueActionList(run);
        processor.RunPending();
    }
    // Moves the page clock on and runs the waits due by then.
    void Advance(DWORD ms) {
        site.clock += ms;
        for (;;) {
            auto& list = site.sequencer.entries;
            auto due = list.end();
            for (auto it = list.begin(); it != list.end(); ++it)
                if (it->time <= site.clock && (due == list.end() || it->time < due->time))
                    due = it;
            if (due == list.end())
                return;
            CActionRun* run = reinterpret_cast<CActionRun*>(due->entry.dwParam);
            list.erase(due);
            processor.QueueActionList(run);
            processor.RunPending();
        }
    }

    CVarList globals;
    VariableManager vars;
    CExpression expr;
    CFunctionManager functions;
    bool functionsLoaded = false;
    CRoutineTables routines;
    CEventProcessor processor;
    RigSite site;
    RigContext context;
    RecordingSender* sender;  // owned by the processor
};

// A list from (kind, text, text) rows; null is no text.
struct ActRow {
    DWORD kind;
    const char* t0;
    const char* t1;
};
inline void MakeList(CActionItemList& list, const std::vector<ActRow>& rows) {
    list.Clear();
    for (const ActRow& r : rows) {
        CActionItem item;
        item.kind = r.kind;
        item.has0 = r.t0 != nullptr;
        item.has1 = r.t1 != nullptr;
        if (r.t0)
            item.text0 = r.t0;
        if (r.t1)
            item.text1 = r.t1;
        list.Items().push_back(item);
    }
}
