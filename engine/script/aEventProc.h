// The event processor: runs the action lists of fired events one at a time
// on the UI thread, and the interpreter of their actions (conditions,
// loops, waits, assignments, declarations, process calls and commands).
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "aCmdPacket.h"
#include "aEventSet.h"
#include "bScriptCtx.h"

class CExpression;
class CRoutineTables;
class VariableManager;

// The run as the interpreter calls it.
typedef CActionRun CActionList;

// Where a run's owner lives: the document answers.
class IRunContext {
public:
    // Variables of the canvas that holds the owner (the current page's
    // canvas unless the owner names another); null for none.
    virtual CVarList* GetCanvasVariables(int ownerKind, IUnknown* owner) = 0;
    // The object's name, which "this" stands for (empty for pages and the
    // application).
    virtual std::string GetOwnerName(int ownerKind, IUnknown* owner) = 0;

protected:
    ~IRunContext() {}
};

// Failure codes of the interpreter.
#define E_SCRIPT_NULLEXPR ((HRESULT)0x80045030L)    // assignment without expression
#define E_SCRIPT_UNDECLARED ((HRESULT)0x80045031L)  // undeclared variable or not an array

class CEventProcessor : public IActionQueue {
public:
    CEventProcessor();
    virtual ~CEventProcessor();
    CEventProcessor(const CEventProcessor&) = delete;
    CEventProcessor& operator=(const CEventProcessor&) = delete;

    // Borrowed parts.
    void SetSite(IPlayerSite* site) { m_site = site; }
    void SetExpression(CExpression* expr) { m_expr = expr; }
    CExpression* GetExpression() const { return m_expr; }
    void SetVariables(VariableManager* vars) { m_vars = vars; }
    VariableManager* GetVariables() const { return m_vars; }
    void SetRoutineTables(CRoutineTables* tables) { m_routines = tables; }
    void SetContext(IRunContext* context) { m_context = context; }

    // Makes the command sender for the player window and wires the
    // evaluator to the variables and the sender.
    void Attach(HWND window);
    // The same with a given sender (taken).
    void AttachSender(CCmdSender* sender);
    void Detach();
    CCmdSender* GetSender() const { return m_sender.get(); }

    void QueueActionList(CActionRun* run) override;
    HRESULT RunPending() override;
    bool DispatchStopped() const override { return m_stopped; }

    // One event handled on the UI thread: the lists it runs and the routines
    // they call share one watchdog deadline, which starts with its first
    // list. Dispatches nest into the outermost one; a list run outside any
    // is a dispatch of its own.
    void BeginDispatch();
    void EndDispatch();
    class Dispatch {
    public:
        explicit Dispatch(CEventProcessor* processor) : m_processor(processor) {
            if (m_processor)
                m_processor->BeginDispatch();
        }
        ~Dispatch() {
            if (m_processor)
                m_processor->EndDispatch();
        }
        Dispatch(const Dispatch&) = delete;
        Dispatch& operator=(const Dispatch&) = delete;

    private:
        CEventProcessor* m_processor;
    };
    // A new page: timer and key lists that the watchdog stopped on the
    // previous one may start again.
    void NewPage() { ++m_page; }
    // The clock of the watchdog (GetTickCount unless a test sets another).
    typedef DWORD(WINAPI* TimeSource)();
    void SetTimeSource(TimeSource source) { m_now = source ? source : GetTickCount; }
    // 0 ended, 1 suspended, E_FAIL a wait could not be scheduled,
    // E_INVALIDARG a bad curve argument.
    HRESULT ExecuteActionList(CActionRun* run);
    HRESULT ExecAssignment(const CActionItem& item);
    // Replaces the name by the text of a string variable of that name.
    void GetStringVariable(std::string& name);
    // The evaluated list in call order (last first) or null (logged).
    DISPPARAMS* ParseArgs(const char* text);
    // Integer dimensions in source order; E_FAIL for an empty text.
    HRESULT GetDimensionOffset(const char* text, std::vector<int>& out);

    // The context of a run: variable scopes, "this", the routine owner.
    void Bind(CActionRun* run);

    CActionRun* GetCurrentRun() const { return m_current; }
    void SetCurrentRun(CActionRun* run) { m_current = run; }
    void SetSuspend(bool on) { m_suspend = on; }
    bool IsSuspended() const { return m_suspend; }
    // Set when a wait was refused inside a function (the call fails).
    bool TakeWaitRefused() {
        bool r = m_waitRefused;
        m_waitRefused = false;
        return r;
    }
    void EnterFunction() { ++m_functionDepth; }
    void LeaveFunction() { --m_functionDepth; }
    size_t GetPendingCount() const { return m_pending.size(); }

    // Deadline of a run and the actions allowed past it.
    enum { WATCHDOG_MS = 10000, WATCHDOG_STEPS = 10000, MIN_WAIT_MS = 10 };
    // Actions between two readings of the clock before the deadline.
    enum { CLOCK_EVERY = 16 };

private:
    HRESULT ExecCommand(CActionRun* run, const CActionItem& item);
    // The watchdog ends the event being handled (logged once).
    void StopDispatch();
    // A timer or key list that the watchdog stopped on this page.
    bool StoppedOnThisPage(const CActionRun* outer) const;
    // Keeps a timer or key list stopped by the watchdog from starting again
    // on this page.
    void KeepStopped(const CActionRun* outer);
    // Destroys a run with the processes it called.
    static void DropChain(CActionRun* outer);
    // Declares the local variable or array of a declaration action.
    void ExecDeclaration(const CActionItem& item);
    HRESULT Wait(CActionRun* run, const CActionItem& item);
    bool Eval(const std::string& text, VARIANT* out);
    bool EvalBool(const CActionItem& item, bool* value);

    IPlayerSite* m_site;
    CExpression* m_expr;
    VariableManager* m_vars;
    CRoutineTables* m_routines;
    IRunContext* m_context;
    std::unique_ptr<CCmdSender> m_sender;
    CActionRun* m_current;
    bool m_suspend;
    bool m_running;
    bool m_waitRefused;
    int m_functionDepth;
    std::deque<CActionRun*> m_pending;  // owned
    // The event being handled: nesting, its deadline once a list started,
    // whether the clock is past it, the actions run since, and whether the
    // watchdog ended it.
    int m_dispatchDepth;
    bool m_deadlineSet;
    DWORD m_deadline;
    bool m_past;
    int m_late;
    bool m_stopped;
    unsigned m_page;
    TimeSource m_now;
};
