// The player's one document: the runtime file, the package and project, the
// canvases shown, the sequencer and topic manager, the back buffer and its
// dirty region, and the database object; with its play site.
#pragma once

#include <windows.h>

#include <vector>

#include "aCanvas.h"
#include "aPlayerSite.h"
#include "aPrjDoc.h"
#include "aSequencer.h"
#include "aTopicMgr.h"

class CProject;
struct IDBCore;
struct IPackage;
struct IPixelBuffer;
class CPlayerView;
class CScriptHost;

class CPlayerDoc : public IProjectDocument,
                   public ICanvasHost,
                   public ISequencerOwner,
                   public ISiteDocument {
public:
    // The registry of object classes and the player's type library 1; by
    // default the application's and the registered one.
    explicit CPlayerDoc(IModuleRegistry* registry = nullptr, ITypeLib* typeLib = nullptr);
    virtual ~CPlayerDoc();
    CPlayerDoc(const CPlayerDoc&) = delete;
    CPlayerDoc& operator=(const CPlayerDoc&) = delete;

    // IProjectDocument
    CProject* GetProject() override { return m_pProject; }
    const char* GetRuntimePath() override { return m_path; }
    HWND GetViewWindow() override;
    BOOL IsRuntime() override { return TRUE; }
    // ICanvasHost
    IStubCanvas* MakeCanvas(CanvasStub* stub) override;
    HRESULT LoadCanvasData(ICanvasData* canvas) override;
    // ISequencerOwner
    void GivePageClock(DWORD ms) override { m_clock = ms; }
    void NotifyCanvases(DWORD code) override;
    void ResetCanvasObjects() override;
    // ISiteDocument
    DWORD GetPageClockValue() override { return m_clock; }
    void* GetCurrentCanvasObject() override { return m_pCurrent; }
    void* GetProjectObject() override { return m_pProject; }
    void* GetMediaManagerObject() override;
    void* GetDatabaseObject() override { return m_pDatabase; }
    ISequencer* GetSequencerObject() override { return m_pSequencer; }
    bool FindShownObject(const char* name, DWORD* typeId, IUnknown** object) override;
    void InvalidateLogical(const RECT* rect) override;
    HWND GetViewHandle() override { return GetViewWindow(); }

    // Opens the runtime package and prepares the entry page.
    HRESULT Open(const char* path);
    BOOL StartPresentation();
    void StartRun();
    void StopRun();
    void OnCommand(UINT id);
    void OnNavigate(UINT id);
    void GoHistory(UINT id);
    CanvasStub* FindPageFor(UINT id, CanvasStub* stub);
    void ShowPage(CanvasStub* stub, bool record);
    void OnPageAction();
    bool ChangeCanvasTo(CanvasStub* stub);
    void SetCurrentCanvas(CCanvas* canvas);
    void SetPageClock(DWORD ms) { m_clock = ms; }
    // The update region in logical units: objects (or the transition
    // frame) drawn into the back buffer.
    void InvalidateRegion(HRGN region);
    void RedrawRegion(const RECT* rect);
    void OnDatabaseNotice(WPARAM wParam, LPARAM lParam);
    HRESULT InitDatabase(bool allowDisable);
    HRESULT InitialDatabase(const char* path, const char* password, const char* systemPath,
                            DWORD flags);
    HRESULT ReRegistryMavroDBIfNot();
    HRESULT ReRegistryMavroDBIfErr();

    CPlayerSite* GetSite() { return m_pSite; }
    CPlayerSite* GetPlaySite() { return m_pSite; }
    CPlayerView* GetView() const;
    void SetView(CPlayerView* view);
    const char* GetPath() const { return m_path; }
    bool IsOpened() const { return m_opened; }
    CCanvasSet* GetCanvasSet() const { return m_pSet; }
    CCanvas* GetCurrentCanvas() const { return m_pCurrent; }
    CSequencer* GetSequencer() const { return m_pSequencer; }
    CTopicManager* GetTopics() { return &m_topics; }
    IPixelBuffer* GetBackBuffer() const { return m_pBack; }
    // The running page transition (its presence makes a redraw compose the
    // frame) and the two page images it composes from.
    IEffectRender* GetTransition() const { return m_pTransition; }
    IPixelBuffer* GetFillImage() const { return m_pFillImage; }
    IPixelBuffer* GetPageImage() const { return m_pPageImage; }
    // Makes a back buffer for the logical rectangle (origin at its corner).
    void CreateBackBuffer(const RECT* logical);
    // Device to logical through the view (unchanged without one).
    void DPtoLP(POINT* pt);
    // The event processor, evaluator, functions, routines and commands.
    CScriptHost* GetScript() const { return m_pScript; }
    // Message 2047: the executor runs the packet's command.
    LRESULT ExecuteCommand(HWND window, WPARAM command, LPARAM packet);

    // The shown objects of a canvas the dirty region touches, topmost first.
    static void CollectShown(CCanvas* canvas, HRGN dirty, std::vector<CObjWrapper*>* out);

private:
    friend class CTopicManager;
    // A buffer of the back buffer's size and origin.
    IPixelBuffer* NewBufferLikeBack();
    void SetTransition(IEffectRender* effect);
    void ReleasePageImages();
    void ReleaseSnapshot();
    void DrawSnapshot(const RECT* box);
    bool MakeSnapshot();
    CBackground* ShownBackground() const;

    CPlayerSite* m_pSite;
    CTopicManager m_topics;
    CProject* m_pProject;
    IPackage* m_pPackage;  // open for the document's whole life
    char m_path[MAX_PATH];
    bool m_opened;
    DWORD m_clock;
    HRGN m_dirty;
    IPixelBuffer* m_pBack;
    IPixelBuffer* m_pSnapshot;
    IPixelBuffer* m_pFillImage;
    IPixelBuffer* m_pPageImage;
    IEffectRender* m_pTransition;
    CCanvas* m_pCurrent;
    CCanvasSet* m_pSet;
    CSequencer* m_pSequencer;
    IDBCore* m_pDatabase;
    CScriptHost* m_pScript;
};
