#include "aPlayerSite.h"

#include "aCanvas.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aProject.h"
#include "aToolTip.h"
#include "bTraceLog.h"

// ---- the object site ----

namespace {

class CObjectSiteForwarder : public CComObjectRootBase, public IObjectSite {
public:
    CObjectSiteForwarder(IPlayerSite* play, CCanvas* canvas) : m_play(play), m_canvas(canvas) {
        m_play->AddRef();
    }
    virtual ~CObjectSiteForwarder() { m_play->Release(); }

    BEGIN_COM_MAP(CObjectSiteForwarder)
    COM_INTERFACE_ENTRY(IObjectSite)
    END_COM_MAP()
    STDMETHOD(InvalidateRect)(const RECT* rect) override { return m_play->InvalidateRect(rect); }
    STDMETHOD(InvalidateRgn)(HRGN region) override { return m_play->InvalidateRgn(region); }
    STDMETHOD(GetMediaManager)(void** out) override {
        return m_play->GetMediaManager(reinterpret_cast<IMediaManager**>(out));
    }
    STDMETHOD(GetSequencer)(ISequencer** out) override { return m_play->GetSequencer(out); }
    STDMETHOD(GetRootCreator)(IObjectCreator** out) override { return m_play->GetRootCreator(out); }
    STDMETHOD(GetDatabase)(void** out) override { return m_play->GetDatabase(out); }
    STDMETHOD(Stub29)(DWORD_PTR a) override {
        return m_play->Stub29(reinterpret_cast<void*>(a), nullptr);
    }
    STDMETHOD(GetPageClock)(DWORD* out) override { return m_play->GetPageClock(out); }
    STDMETHOD(AdjustTime)(DWORD* time) override {
        if (!time)
            return E_POINTER;
        DWORD clock = 0;
        m_play->GetPageClock(&clock);
        if (*time == clock)
            ++*time;
        return S_OK;
    }
    STDMETHOD(GetTypeIdByName)(const char* name, DWORD* typeId) override {
        CObjWrapper* o = m_canvas ? m_canvas->FindByName(name) : nullptr;
        if (!o)
            return E_FAIL;
        if (typeId)
            *typeId = o->m_record.dwTypeId;
        return S_OK;
    }
    STDMETHOD(GetCanvasObject)(IUnknown** out) override {
        if (!out)
            return E_POINTER;
        *out = m_canvas ? static_cast<IObjectEvent*>(m_canvas) : nullptr;
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(GetPlaySite)(IPlayerSite** out) override {
        if (!out)
            return E_POINTER;
        *out = m_play;
        return S_OK;
    }

private:
    IPlayerSite* m_play;
    CCanvas* m_canvas;
};

HRESULT Give(void** out, void* value) {
    if (!out)
        return E_POINTER;
    *out = value;
    return value ? S_OK : E_FAIL;
}

}  // namespace

IObjectSite* CreateObjectSite(IPlayerSite* play, void* canvas, IUnknown*) {
    if (!play)
        return nullptr;
    auto* site = new CComObject<CObjectSiteForwarder>(play, static_cast<CCanvas*>(canvas));
    site->AddRef();
    return site;
}

// ---- CPlayerSite ----

CPlayerSite::CPlayerSite()
    : m_pDoc(nullptr),
      m_pDocObject(nullptr),
      m_pView(nullptr),
      m_pCreator(nullptr),
      m_pCodecs(nullptr),
      m_pToolTip(nullptr),
      m_pTicks(nullptr),
      m_pDirectDraw(nullptr),
      m_pQueue(nullptr),
      m_pContext(nullptr),
      m_pFunctions(nullptr),
      m_pService(nullptr),
      m_pExpression(nullptr),
      m_pMediaService(nullptr),
      m_pRecorder(nullptr),
      m_pCapture(nullptr),
      m_services(this),
      m_spare(0),
      m_playState(0) {
    m_procs.SetSite(this);
}

CPlayerSite::~CPlayerSite() {
    if (GetModuleCreator() == &m_services)
        SetModuleCreator(nullptr);
    delete m_pTicks;
    if (m_pToolTip)
        m_pToolTip->Release();
    delete m_pCodecs;
    delete m_pCreator;
}

HRESULT CPlayerSite::CreateRoot(IModuleRegistry* registry, ITypeLib* typeLib) {
    m_pCreator = new ObjectCreator;
    if (registry)
        m_pCreator->Init(registry, nullptr);
    m_procs.SetTypeLib(typeLib);
    m_pCreator->SetEventProcFactory(&m_procs);
    // Renders make their plug-ins through the root creator.
    SetModuleCreator(&m_services);
    m_pCodecs = new PictureCodecManager;
    m_pCodecs->Init(m_pCreator);
    CreateToolTipWnd(&m_pToolTip);
    m_pTicks = new TickThread;
    m_pTicks->SetOwner(this);
    m_pTicks->Start();
    return S_OK;
}

STDMETHODIMP_(void) CPlayerSite::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

STDMETHODIMP CPlayerSite::InvalidateRect(const RECT* rect) {
    if (m_pDoc && rect)
        m_pDoc->InvalidateLogical(rect);
    return S_OK;
}

STDMETHODIMP CPlayerSite::InvalidateRgn(HRGN region) {
    RECT box;
    if (region && GetRgnBox(region, &box) != ERROR)
        return InvalidateRect(&box);
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetMediaManager(IMediaManager** out) {
    return Give(reinterpret_cast<void**>(out), m_pDoc ? m_pDoc->GetMediaManagerObject() : nullptr);
}

STDMETHODIMP CPlayerSite::GetDocument(void** out) {
    return Give(out, m_pDocObject);
}

STDMETHODIMP CPlayerSite::GetTickThread(void** out) {
    return Give(out, m_pTicks);
}

STDMETHODIMP CPlayerSite::GetSequencer(ISequencer** out) {
    return Give(reinterpret_cast<void**>(out), m_pDoc ? m_pDoc->GetSequencerObject() : nullptr);
}

STDMETHODIMP CPlayerSite::GetRootCreator(IObjectCreator** out) {
    return Give(reinterpret_cast<void**>(out), static_cast<IObjectCreator*>(m_pCreator));
}

STDMETHODIMP CPlayerSite::GetEventProcessor(void** out) {
    return Give(out, m_pQueue);
}

STDMETHODIMP CPlayerSite::GetScriptContext(void** out) {
    return Give(out, m_pContext);
}

STDMETHODIMP CPlayerSite::GetFunctionManager(void** out) {
    return Give(out, m_pFunctions);
}

STDMETHODIMP CPlayerSite::GetProjectService(void** out) {
    return Give(out, m_pService);
}

STDMETHODIMP CPlayerSite::GetCodecManager(void** out) {
    return Give(out, m_pCodecs);
}

STDMETHODIMP CPlayerSite::GetExpression(IExpression** out) {
    return Give(reinterpret_cast<void**>(out), m_pExpression);
}

STDMETHODIMP CPlayerSite::GetExpression2(IExpression** out) {
    return GetExpression(out);
}

STDMETHODIMP CPlayerSite::GetPageClock(DWORD* out) {
    if (!out)
        return E_POINTER;
    *out = m_pDoc ? m_pDoc->GetPageClockValue() : 0;
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetCurrentCanvas(void** out) {
    return Give(out, m_pDoc ? m_pDoc->GetCurrentCanvasObject() : nullptr);
}

STDMETHODIMP CPlayerSite::GetDatabase(void** out) {
    return Give(out, m_pDoc ? m_pDoc->GetDatabaseObject() : nullptr);
}

STDMETHODIMP CPlayerSite::GetProject(void** out) {
    return Give(out, m_pDoc ? m_pDoc->GetProjectObject() : nullptr);
}

STDMETHODIMP CPlayerSite::GetMediaService(void** out) {
    if (out)
        *out = m_pMediaService;
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetSoundRecorder(void** out) {
    if (out)
        *out = m_pRecorder;
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetVideoCapture(void** out) {
    if (out)
        *out = m_pCapture;
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetDirectDraw(void** out) {
    if (!out)
        return E_POINTER;
    *out = m_pDirectDraw;
    return S_OK;
}

STDMETHODIMP CPlayerSite::SetDirectDraw(void* object) {
    m_pDirectDraw = object;
    return S_OK;
}

STDMETHODIMP CPlayerSite::GetToolTipWindow(IUnknown** out) {
    return Give(reinterpret_cast<void**>(out), static_cast<IUnknown*>(m_pToolTip));
}

STDMETHODIMP CPlayerSite::CreateForwarder(void* canvas, IUnknown* target, IUnknown** out) {
    if (!out)
        return E_POINTER;
    IPlayerSite* play = nullptr;
    if (target)
        target->QueryInterface(__uuidof(IPlayerSite), reinterpret_cast<void**>(&play));
    if (!play) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = CreateObjectSite(play, canvas, target);
    play->Release();
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CPlayerSite::GetTraceLog(ITraceLog** out) {
    return Give(reinterpret_cast<void**>(out), ::GetTraceLog());
}

STDMETHODIMP CPlayerSite::FindObject(const char* name, DWORD* typeId) {
    if (m_pDoc && m_pDoc->FindShownObject(name, typeId, nullptr))
        return S_OK;
    return E_FAIL;
}

HRESULT CPlayerSite::FindObjectByName(const char* name, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (m_pDoc && m_pDoc->FindShownObject(name, nullptr, out) && *out)
        return S_OK;
    return E_FAIL;
}

STDMETHODIMP_(HWND) CPlayerSite::GetViewWindow() {
    return m_pDoc ? m_pDoc->GetViewHandle() : nullptr;
}

STDMETHODIMP_(int) CPlayerSite::GetProjectMinorVersion() {
    CProject* project = nullptr;
    if (FAILED(GetProject(reinterpret_cast<void**>(&project))) || !project)
        return -1;
    return project->GetMinorVersion();
}

STDMETHODIMP_(BOOL) CPlayerSite::GetProjectFlag7() {
    CProject* project = nullptr;
    GetProject(reinterpret_cast<void**>(&project));
    return project && (project->GetOptions() & 0x80) ? TRUE : FALSE;
}

STDMETHODIMP CPlayerSite::SetProjectFlag7(BOOL on) {
    CProject* project = nullptr;
    GetProject(reinterpret_cast<void**>(&project));
    if (!project)
        return E_FAIL;
    DWORD o = project->GetOptions();
    project->SetOptions(on ? (o | 0x80) : (o & ~0x80u));
    return S_OK;
}

// ---- CSiteServices ----

STDMETHODIMP CSiteServices::FindObjectByName(const char* name, IUnknown** out) {
    return m_site->FindObjectByName(name, out);
}

STDMETHODIMP CSiteServices::QueryInterface(REFIID iid, void** ppv) {
    return m_site->QueryInterface(iid, ppv);
}

STDMETHODIMP_(ULONG) CSiteServices::AddRef() {
    return m_site->AddRef();
}

STDMETHODIMP_(ULONG) CSiteServices::Release() {
    return m_site->Release();
}

STDMETHODIMP CSiteServices::GetMediaManager(IMediaManager** manager) {
    return m_site->GetMediaManager(manager);
}

STDMETHODIMP CSiteServices::GetCodecSite(IPictureCodecSite** codecs) {
    if (!codecs)
        return E_POINTER;
    *codecs = this;
    return S_OK;
}

STDMETHODIMP CSiteServices::GetCodecManager(PictureCodecManager** manager) {
    if (!manager)
        return E_POINTER;
    *manager = m_site->GetCodecs();
    return *manager ? S_OK : E_FAIL;
}

HRESULT CSiteServices::CreateModuleInstance(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ObjectCreator* creator = m_site->GetCreator();
    return creator ? creator->CreateModuleInstance(clsid, iid, out) : E_FAIL;
}
