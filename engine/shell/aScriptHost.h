// The document's script parts: the event processor with its interpreter, the
// evaluator, the function libraries, the routine tables and the command
// executor, and what they ask of the document.
#pragma once

#include <windows.h>

#include "aAppEvents.h"
#include "aCmdDevices.h"
#include "aCmdExec.h"
#include "aEventProc.h"
#include "aExprEval.h"
#include "aFuncMgr.h"
#include "aProject.h"
#include "aRoutineTable.h"
#include "bMixer.h"

class CPlayerDoc;

class CScriptHost : public ICmdHost,
                    public ISystemFuncHost,
                    public IRunContext,
                    public IProjectParts {
public:
    explicit CScriptHost(CPlayerDoc* doc);
    virtual ~CScriptHost();
    CScriptHost(const CScriptHost&) = delete;
    CScriptHost& operator=(const CScriptHost&) = delete;

    // Wires the parts to the project's variables and loads the libraries.
    void Init();
    CEventProcessor* GetProcessor() { return &m_processor; }
    CExpression* GetExpression() { return &m_expr; }
    CFunctionManager* GetFunctions() { return &m_functions; }
    CRoutineTables* GetRoutines() { return &m_routines; }
    CCmdExecutor* GetExecutor() { return &m_executor; }
    CCmdDevices* GetDeviceParts() { return &m_devices; }
    CScriptContext* GetContext() { return &m_context; }
    // The script context's owner: the shown canvas's event part (kind 0).
    void SetCurrentOwner(IUnknown* owner);
    // The application's event part (the project's event record).
    CAppEvents* GetAppEvents() { return &m_app; }
    // The document's StartRun and StopRun.
    void Attach(HWND window) { m_processor.Attach(window); }
    void Detach() { m_processor.Detach(); }

    // IProjectParts
    HRESULT LoadEventRecord(ITeskStream* body) override;
    HRESULT LoadRoutineTables(ITeskStorage* storage) override;
    // ICmdHost
    IPlayerSite* GetSite() override;
    void PlaybackCommand(UINT id) override;
    bool GoHistory(UINT pageCommand) override;
    bool ShowPageByName(const char* name) override;
    std::string GetCurrentPageName() override;
    void OnPageAction() override;
    bool GetPageHoldFlag() override;
    void ArmPageTimer(bool on) override;
    IUnknown* FindObject(const char* name) override;
    DWORD GetObjectTypeId(IUnknown* object) override;
    bool ScheduleObject(IUnknown* object, UINT command, LONG time) override;
    ULONGLONG GetProjectId() override;
    VariableManager* GetVariables() override;
    IDBCore* GetDatabase() override;
    ICmdDevices* GetDevices() override { return &m_devices; }
    // ISystemFuncHost
    bool GetCurrentPageText(bool title, std::string& out) override;
    DWORD GetPageClock() override;
    std::string GetRuntimePath() override;
    bool IsAutoPlay() override { return GetPageHoldFlag(); }
    bool GetObjectState(const char* name, int* renderState, bool* visible) override;
    bool QueryPageObject(const char* name, REFIID iid, void** out) override;
    bool IsPageVisited(const char* pageName) override;
    HRESULT IsSysSoundEnabled(bool* on) override;
    HRESULT GetRecorderState(LONG* state) override;
    std::string GetProjectText(int which) override;
    bool GetMediaFileName(const char* name, bool external, std::string& out) override;
    HWND GetPlayerWindow() override;
    // IRunContext
    CVarList* GetCanvasVariables(int ownerKind, IUnknown* owner) override;
    std::string GetOwnerName(int ownerKind, IUnknown* owner) override;

private:
    CPlayerDoc* m_doc;
    CExpression m_expr;
    CFunctionManager m_functions;
    CRoutineTables m_routines;
    CEventProcessor m_processor;
    CCmdExecutor m_executor;
    CCmdDevices m_devices;
    CMixerDevice m_mixer;
    CScriptContext m_context;
    CAppEvents m_app;
};
