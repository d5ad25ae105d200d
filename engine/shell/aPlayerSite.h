// The play site: the one object through which presentation objects, the
// project's services and the database component reach the running document;
// and the per-canvas object site it makes (slot 27).
#pragma once

#include "aEffectRender.h"
#include "aEventSet.h"
#include "aObjItf.h"
#include "aSequencer.h"
#include "bFillPic.h"
#include "bPicBase.h"

class CPlayerDoc;
class ObjectCreator;
class PictureCodecManager;
class IModuleRegistry;

// What the site asks of its document beyond the project model.
class ISiteDocument {
public:
    virtual DWORD GetPageClockValue() = 0;
    virtual void* GetCurrentCanvasObject() = 0;
    virtual void* GetProjectObject() = 0;
    virtual void* GetMediaManagerObject() = 0;
    virtual void* GetDatabaseObject() = 0;
    virtual ISequencer* GetSequencerObject() = 0;
    // The kind word of the named object of the shown pages and, when asked,
    // the object (counted); false when none.
    virtual bool FindShownObject(const char* name, DWORD* typeId, IUnknown** object) = 0;
    // Invalidates a device rectangle of the view window (with erase).
    virtual void InvalidateLogical(const RECT* rect) = 0;
    virtual HWND GetViewHandle() = 0;

protected:
    ~ISiteDocument() {}
};

class CPlayerSite;

// What layers below the site reach through their own seams: picture fills
// ask for the media manager and the codec list, effect renders create their
// plug-ins by class id through the root creator.
class CSiteServices : public IFillMediaSite,
                      public IPictureCodecSite,
                      public IModuleCreator,
                      public IObjectFinder {
public:
    explicit CSiteServices(CPlayerSite* site) : m_site(site) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetMediaManager)(IMediaManager** manager) override;
    STDMETHOD(GetCodecSite)(IPictureCodecSite** codecs) override;
    STDMETHOD(GetCodecManager)(PictureCodecManager** manager) override;
    HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** out) override;
    STDMETHOD(FindObjectByName)(const char* name, IUnknown** out) override;

private:
    CPlayerSite* m_site;
};

class CPlayerSite : public CComObjectRootBase, public IPlayerSite {
public:
    // Made as a CComObject; the fill seam and the object finder are the
    // services member.
    BEGIN_COM_MAP(CPlayerSite)
    COM_INTERFACE_ENTRY(IPlayerSite)
    COM_INTERFACE_ENTRY_MEMBER(IObjectFinder, m_services)
    COM_INTERFACE_ENTRY_MEMBER(IFillMediaSite, m_services)
    END_COM_MAP()

    CPlayerSite();
    virtual ~CPlayerSite();
    CPlayerSite(const CPlayerSite&) = delete;
    CPlayerSite& operator=(const CPlayerSite&) = delete;

    void SetDocument(ISiteDocument* doc, void* docObject) {
        m_pDoc = doc;
        m_pDocObject = docObject;
    }
    // Root creator (over the registry), codec manager, tooltip, tick thread.
    HRESULT CreateRoot(IModuleRegistry* registry, ITypeLib* typeLib);
    CEventProcFactory* GetEventProcFactory() { return &m_procs; }
    TickThread* GetTicks() { return m_pTicks; }
    void SetEventProcessor(IActionQueue* queue) { m_pQueue = queue; }
    // The project's script services (slots 11 to 13, 15 and 16) and its
    // media-side services (slots 21 to 23); borrowed.
    void SetScriptServices(void* context, void* functions, void* service, IExpression* expr) {
        m_pContext = context;
        m_pFunctions = functions;
        m_pService = service;
        m_pExpression = expr;
    }
    void SetMediaServices(void* service, void* recorder, void* capture) {
        m_pMediaService = service;
        m_pRecorder = recorder;
        m_pCapture = capture;
    }

    STDMETHOD(InvalidateRect)(const RECT* rect) override;
    STDMETHOD(InvalidateRgn)(HRGN region) override;
    STDMETHOD(GetMediaManager)(IMediaManager** out) override;
    STDMETHOD(GetDocument)(void** out) override;
    STDMETHOD(GetTickThread)(void** out) override;
    STDMETHOD(GetSequencer)(ISequencer** out) override;
    STDMETHOD(GetRootCreator)(IObjectCreator** out) override;
    STDMETHOD(GetEventProcessor)(void** out) override;
    STDMETHOD(GetScriptContext)(void** out) override;
    STDMETHOD(GetFunctionManager)(void** out) override;
    STDMETHOD(GetProjectService)(void** out) override;
    STDMETHOD(GetCodecManager)(void** out) override;
    STDMETHOD(GetExpression)(IExpression** out) override;
    STDMETHOD(GetExpression2)(IExpression** out) override;
    STDMETHOD(GetPageClock)(DWORD* out) override;
    STDMETHOD(GetCurrentCanvas)(void** out) override;
    STDMETHOD(GetDatabase)(void** out) override;
    STDMETHOD(GetProject)(void** out) override;
    STDMETHOD(GetMediaService)(void** out) override;
    STDMETHOD(GetSoundRecorder)(void** out) override;
    STDMETHOD(GetVideoCapture)(void** out) override;
    STDMETHOD(GetDirectDraw)(void** out) override;
    STDMETHOD(SetDirectDraw)(void* object) override;
    STDMETHOD(GetToolTipWindow)(IUnknown** out) override;
    STDMETHOD(CreateForwarder)(void* canvas, IUnknown* target, IUnknown** out) override;
    STDMETHOD(GetTraceLog)(ITraceLog** out) override;
    STDMETHOD(Stub29)(void*, void*) override { return 0; }
    STDMETHOD(SetProjectFlag)(int, void*) override { return 0; }
    STDMETHOD(ConvertTextToRtf)(const char*, int, char**, int*) override { return 0; }
    STDMETHOD(FreeConvertedText)(char*, void*) override { return 0; }
    STDMETHOD(FindObject)(const char* name, DWORD* typeId) override;
    HRESULT FindObjectByName(const char* name, IUnknown** out);
    STDMETHOD_(BOOL, UsesDirectDraw)() override { return m_pDirectDraw != nullptr; }
    STDMETHOD_(HWND, GetViewWindow)() override;
    STDMETHOD_(IViewService*, GetView)() override { return m_pView; }
    STDMETHOD(SetView)(IViewService* view) override {
        m_pView = view;
        return S_OK;
    }
    STDMETHOD_(int, GetProjectMinorVersion)() override;
    STDMETHOD_(BOOL, GetProjectFlag7)() override;
    STDMETHOD(SetProjectFlag7)(BOOL on) override;
    STDMETHOD_(BOOL, IsPlayer)() override { return TRUE; }
    STDMETHOD_(BOOL, IsRunning)() override { return TRUE; }
    STDMETHOD(SetPlayState)(DWORD state) override {
        m_playState = state;
        return S_OK;
    }
    STDMETHOD_(BOOL, IsPlaying)() override { return IsRunning() && m_playState == 0; }
    STDMETHOD_(BOOL, IsPaused)() override { return IsRunning() && m_playState == 1; }
    STDMETHOD_(BOOL, IsStateTwo)() override { return IsRunning() && m_playState == 2; }
    STDMETHOD_(DWORD, GetSpareValue)() override { return m_spare; }
    STDMETHOD(SetSpareValue)(DWORD value) override {
        m_spare = value;
        return S_OK;
    }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    ObjectCreator* GetCreator() const { return m_pCreator; }
    PictureCodecManager* GetCodecs() const { return m_pCodecs; }
    CSiteServices* GetServices() { return &m_services; }

private:
    ISiteDocument* m_pDoc;  // back pointer
    void* m_pDocObject;
    IViewService* m_pView;
    ObjectCreator* m_pCreator;
    PictureCodecManager* m_pCodecs;
    IToolTipWnd* m_pToolTip;
    TickThread* m_pTicks;
    void* m_pDirectDraw;
    IActionQueue* m_pQueue;  // not owned
    void* m_pContext;
    void* m_pFunctions;
    void* m_pService;
    IExpression* m_pExpression;
    void* m_pMediaService;
    void* m_pRecorder;
    void* m_pCapture;
    CEventProcFactory m_procs;
    CSiteServices m_services;
    DWORD m_spare;
    DWORD m_playState;
};

// The object site of one canvas (site slot 27): seven slots passed to the
// target, five answered from the canvas.
IObjectSite* CreateObjectSite(IPlayerSite* play, void* canvas, IUnknown* target);
