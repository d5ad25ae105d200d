#include "aScriptHost.h"

#include "aCanvas.h"
#include "aMediaMgr.h"
#include "aPageStruct.h"
#include "aPlayerDoc.h"
#include "bDBCore.h"
#include "bStrConv.h"
#include "bTraceLog.h"

CScriptHost::CScriptHost(CPlayerDoc* doc) : m_doc(doc), m_executor(this) {
    m_devices.SetMixer(&m_mixer);
}

CScriptHost::~CScriptHost() {
    m_devices.ReleaseDevices();
    m_processor.Detach();
    m_functions.SetSystemHost(nullptr);
    if (CPlayerSite* site = m_doc->GetSite())
        site->SetScriptServices(nullptr, nullptr, nullptr, nullptr);
}

void CScriptHost::Init() {
    VariableManager* vars = GetVariables();
    m_context.variables = vars;
    m_expr.SetVariables(vars);
    m_expr.SetFunctions(&m_functions);
    m_functions.SetRoutineTables(&m_routines);
    m_routines.SetEventProcessor(&m_processor);
    m_routines.SetFunctions(&m_functions);
    m_processor.SetSite(GetSite());
    m_processor.SetExpression(&m_expr);
    m_processor.SetVariables(vars);
    m_processor.SetRoutineTables(&m_routines);
    m_processor.SetContext(this);
    m_functions.SetSystemHost(this);
    m_functions.LoadLibraries();
    m_devices.SetSite(GetSite());
    m_devices.SetDeviceSite(m_doc->GetSite());
    if (CPlayerSite* site = m_doc->GetSite()) {
        site->SetScriptServices(&m_context, &m_functions, &m_routines, &m_expr);
        m_app.Init(site);
    }
}

void CScriptHost::SetCurrentOwner(IUnknown* owner) {
    m_context.ownerKind = 0;
    m_context.owner = owner;
}

HRESULT CScriptHost::LoadEventRecord(ITeskStream* body) {
    if (m_app.HasProcedure()) {
        HRESULT hr = m_app.LoadEventProcRecord(body);
        if (FAILED(hr))
            LOG_HRESULT(hr, "PrjInfo: project event record not read");
        return hr;
    }
    // Without the event procedure only an empty record can be passed over.
    DWORD entries = 0;
    body->Read(&entries, sizeof(entries));
    if (entries) {
        LOG_MSG("PrjInfo: %u project event entries left unread", (unsigned)entries);
        return S_FALSE;
    }
    return S_OK;
}

HRESULT CScriptHost::LoadRoutineTables(ITeskStorage* storage) {
    m_routines.Processes().Clear();
    m_routines.Functions().Clear();
    return m_routines.Load(storage);
}

IPlayerSite* CScriptHost::GetSite() {
    return m_doc->GetSite();
}

void CScriptHost::PlaybackCommand(UINT id) {
    m_doc->OnCommand(id);
}

bool CScriptHost::GoHistory(UINT pageCommand) {
    m_doc->GoHistory(pageCommand);
    return true;
}

bool CScriptHost::ShowPageByName(const char* name) {
    CProject* project = m_doc->GetProject();
    StructMan* pages = project ? project->GetStructMan() : nullptr;
    CPageStub* target = pages && name && *name ? pages->FindPage(name) : nullptr;
    if (!target)
        return false;
    m_doc->ShowPage(target, true);
    return true;
}

std::string CScriptHost::GetCurrentPageName() {
    CCanvasSet* set = m_doc->GetCanvasSet();
    return set && set->page ? set->page->GetStubName() : "";
}

void CScriptHost::OnPageAction() {
    m_doc->OnPageAction();
}

bool CScriptHost::GetPageHoldFlag() {
    return m_doc->GetTopics()->IsHoldTimerArmed();
}

void CScriptHost::ArmPageTimer(bool on) {
    m_doc->GetTopics()->ArmPageTimer(on);
}

IUnknown* CScriptHost::FindObject(const char* name) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    CObjWrapper* o = set && name ? set->FindObjectByName(name, nullptr) : nullptr;
    if (!o || !o->m_base)
        return nullptr;
    IUnknown* unknown = nullptr;
    o->m_base->QueryInterface(IID_IUnknown, (void**)&unknown);
    return unknown;
}

// COM identity: both answer the same IUnknown.
static bool IsSameObject(IUnknown* a, IUnknown* b) {
    if (!a || !b)
        return false;
    CComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, (void**)&ua);
    b->QueryInterface(IID_IUnknown, (void**)&ub);
    return ua && ua == ub;
}

DWORD CScriptHost::GetObjectTypeId(IUnknown* object) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    CCanvas* order[3] = {set ? set->page : nullptr, set ? set->background : nullptr,
                         set ? set->foreground : nullptr};
    for (CCanvas* c : order)
        if (c)
            for (int i = 0; i < c->GetObjectCount(); ++i)
                if (IsSameObject(c->GetObjectAt(i)->m_base, object))
                    return c->GetObjectAt(i)->m_record.dwTypeId;
    return 0;
}

bool CScriptHost::ScheduleObject(IUnknown* object, UINT command, LONG time) {
    // The object wrapper's show, hide and refresh requests: its event part
    // notified through the page sequencer.
    CComPtr<IObjectEvent> event;
    object->QueryInterface(__uuidof(IObjectEvent), (void**)&event);
    ISequencer* seq = m_doc->GetSequencer();
    if (!event || !seq)
        return false;
    DWORD due = (DWORD)time;
    if (command == 1401 || command == 1402 || command == 1405)
        due += m_doc->GetPageClockValue();
    DWORD argument = command == 1401 || command == 1403 ? 1 : command == 1405 ? 4 : 3;
    SequencerEntry entry = {event, 0, NOTIFY_SHOWHIDE, argument};
    return SUCCEEDED(seq->Schedule(due, &entry));
}

ULONGLONG CScriptHost::GetProjectId() {
    CProject* project = m_doc->GetProject();
    return project ? project->GetProjectId() : 0;
}

VariableManager* CScriptHost::GetVariables() {
    CProject* project = m_doc->GetProject();
    return project ? project->GetVariableManager() : nullptr;
}

IDBCore* CScriptHost::GetDatabase() {
    return static_cast<IDBCore*>(m_doc->GetDatabaseObject());
}

bool CScriptHost::GetCurrentPageText(bool title, std::string& out) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    if (!set || !set->page)
        return false;
    out = title ? set->page->GetLabel() : std::string(set->page->GetStubName());
    return true;
}

DWORD CScriptHost::GetPageClock() {
    return m_doc->GetPageClockValue();
}

std::string CScriptHost::GetRuntimePath() {
    return m_doc->GetPath();
}

bool CScriptHost::GetObjectState(const char* name, int* renderState, bool* visible) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    CObjWrapper* o = set && name ? set->FindObjectByName(name, nullptr) : nullptr;
    if (!o)
        return false;
    *renderState = o->m_render ? o->m_render->GetState() : 0;
    *visible = o->IsVisible();
    return true;
}

bool CScriptHost::QueryPageObject(const char* name, REFIID iid, void** out) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    CObjWrapper* o = set && name ? set->FindObjectByName(name, nullptr) : nullptr;
    IUnknown* unknown = o ? static_cast<IUnknown*>(o->m_dispatch) : nullptr;
    return unknown && SUCCEEDED(unknown->QueryInterface(iid, out)) && *out;
}

bool CScriptHost::IsPageVisited(const char* pageName) {
    return m_doc->GetTopics()->IsPageVisited(pageName);
}

std::string CScriptHost::GetProjectText(int which) {
    CProject* project = m_doc->GetProject();
    return project ? project->GetFurtherText(which) : std::string();
}

bool CScriptHost::GetMediaFileName(const char* name, bool external, std::string& out) {
    CProject* project = m_doc->GetProject();
    CMediaManager* media = project ? project->GetMediaManager() : nullptr;
    char path[MAX_PATH] = "";
    if (!media)
        return false;
    HRESULT hr = external ? media->GetExternalFilePath(name, path, sizeof(path))
                          : media->GetMediaFilePath(name, 0, path, sizeof(path));
    if (FAILED(hr))
        return false;
    out = path;
    return true;
}

HRESULT CScriptHost::IsSysSoundEnabled(bool* on) {
    ISysSoundPlayer* sound = m_devices.GetSysSound();
    if (!sound || !on)
        return E_FAIL;
    *on = sound->IsActive();
    return S_OK;
}

HRESULT CScriptHost::GetRecorderState(LONG* state) {
    ISoundRecorder* recorder = m_devices.GetRecorder();
    if (!recorder || !state)
        return E_FAIL;
    *state = recorder->GetState();
    return S_OK;
}

HWND CScriptHost::GetPlayerWindow() {
    return m_doc->GetViewWindow();
}

CVarList* CScriptHost::GetCanvasVariables(int, IUnknown* owner) {
    CCanvasSet* set = m_doc->GetCanvasSet();
    if (!set)
        return nullptr;
    // A run of a canvas's own set uses that canvas's variables.
    CCanvas* order[3] = {set->page, set->background, set->foreground};
    for (CCanvas* c : order)
        if (c && owner && static_cast<IUnknown*>(static_cast<IObjectEvent*>(c)) == owner)
            return c->GetVariables();
    return set->page ? set->page->GetVariables() : nullptr;
}

std::string CScriptHost::GetOwnerName(int ownerKind, IUnknown* owner) {
    if (ownerKind == 1 || ownerKind == 2 || !owner)
        return "";
    CComPtr<IObjectBase> base;
    if (FAILED(owner->QueryInterface(__uuidof(IObjectBase), (void**)&base)) || !base)
        return "";
    BSTR name = nullptr;
    std::string s;
    if (SUCCEEDED(base->ObjName(&name)))
        s = MultibyteFromBstr(name);
    SysFreeString(name);
    return s;
}
