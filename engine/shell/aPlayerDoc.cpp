#include "aPlayerDoc.h"

#include <string.h>

#include <algorithm>
#include <string>

#include "aCnvStub.h"
#include "aExtMgr.h"
#include "aFrameCompose.h"
#include "aGDIBuf.h"
#include "aGlobal.h"
#include "aPackage.h"
#include "aPageStruct.h"
#include "aScriptHost.h"
#include "aPlayerView.h"
#include "aPrjUtil.h"
#include "aProject.h"
#include "aUtil.h"
#include "bDBCore.h"
#include "bMsgBox.h"
#include "bSysSoundPlayer.h"
#include "bTraceLog.h"

namespace {

// The player's type library 1, registered at start.
ITypeLib* LoadPlayerTypeLib() {
    const GUID lib = {0xD5738C00, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    ITypeLib* t = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(lib, 1, 0, 0, &t)))
        return t;
    // The registered identity can differ from the one compiled in: the
    // program's own resource is the library either way.
    WCHAR self[MAX_PATH + 4] = L"";
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    lstrcatW(self, L"\\1");
    if (SUCCEEDED(LoadTypeLibEx(self, REGKIND_NONE, &t)))
        return t;
    return nullptr;
}

// A page buffer: a GDI bitmap buffer (with its own DC and origin).
IPixelBuffer* NewPageBuffer(int width, int height) {
    CComObject<CGDIBitmapBuffer>* b = nullptr;
    if (FAILED(CComObject<CGDIBitmapBuffer>::CreateInstance(&b)) || !b)
        return nullptr;
    b->AddRef();
    if (FAILED(b->Create(width, height))) {
        b->Release();
        return nullptr;
    }
    return b;
}

}  // namespace

// Gives the set's canvases back to their stubs and deletes the set.
static void ReleaseCanvasSet(CCanvasSet* set) {
    CCanvas* canvases[] = {set->page, set->background, set->foreground};
    for (CCanvas* c : canvases)
        if (c && c->GetStub())
            c->GetStub()->ReleaseCanvas();
    delete set;
}

CPlayerDoc::CPlayerDoc(IModuleRegistry* registry, ITypeLib* typeLib)
    : m_pSite(nullptr),
      m_topics(this),
      m_pProject(nullptr),
      m_pPackage(nullptr),
      m_opened(false),
      m_clock(0),
      m_dirty(nullptr),
      m_pBack(nullptr),
      m_pSnapshot(nullptr),
      m_pFillImage(nullptr),
      m_pPageImage(nullptr),
      m_pTransition(nullptr),
      m_pCurrent(nullptr),
      m_pSet(nullptr),
      m_pSequencer(nullptr),
      m_pDatabase(nullptr),
      m_pScript(nullptr) {
    m_path[0] = 0;
    TRACE_POINT();
    m_dirty = CreateRectRgn(0, 0, 0, 0);
    m_pSite = new CComObject<CPlayerSite>();
    m_pSite->AddRef();
    m_pSite->SetDocument(this, this);
    CGlobal* global = GetAppGlobal();
    if (!registry && global)
        registry = global->GetExtensionManager();
    ITypeLib* lib = typeLib;
    if (lib)
        lib->AddRef();
    else
        lib = LoadPlayerTypeLib();
    m_pSite->CreateRoot(registry, lib);
    if (lib)
        lib->Release();
    m_pSequencer = new CSequencer(m_pSite, this);
    m_pProject = new CProject(this);
    m_pProject->SetSite(m_pSite);
    // The work's own sound lives with the project; the site hands it out.
    CSysSound* sound = new CComObject<CSysSound>(m_pSite);
    sound->AddRef();
    m_pProject->SetSysSound(sound);
    m_pSite->SetMediaServices(static_cast<ISysSoundPlayer*>(sound), nullptr, nullptr);
    sound->Release();
    m_pScript = new CScriptHost(this);
    m_pProject->SetParts(m_pScript);
    m_pScript->Init();
    m_pSite->SetEventProcessor(m_pScript->GetProcessor());
    CanvasStub::SetCanvasHost(this);
    RECT desk = {0, 0, 0, 0};
    GetWindowRect(GetDesktopWindow(), &desk);
    m_pBack = NewPageBuffer(desk.right - desk.left, desk.bottom - desk.top);
}

CPlayerDoc::~CPlayerDoc() {
    TRACE_POINT();
    // Objects stop (their clocks leave the sequencer) before the canvases go.
    if (m_pSet)
        m_pSet->StopObjects();
    m_pSequencer->Clear();
    SetTransition(nullptr);
    ReleasePageImages();
    if (m_pSet) {
        CCanvasSet* set = m_pSet;
        m_pSet = nullptr;
        ReleaseCanvasSet(set);
    }
    m_pCurrent = nullptr;
    if (m_pScript) {
        m_pSite->SetEventProcessor(nullptr);
        delete m_pScript;
        m_pScript = nullptr;
    }
    // The project releases the system sound the site hands out.
    m_pSite->SetMediaServices(nullptr, nullptr, nullptr);
    delete m_pProject;
    m_pProject = nullptr;
    if (CanvasStub::GetCanvasHost() == this)
        CanvasStub::SetCanvasHost(nullptr);
    delete m_pSequencer;
    m_pSequencer = nullptr;
    if (m_pBack)
        m_pBack->Release();
    if (m_pSnapshot)
        m_pSnapshot->Release();
    if (m_dirty)
        DeleteObject(m_dirty);
    if (m_pDatabase)
        m_pDatabase->Release();
    if (m_pPackage) {
        m_pPackage->Close();
        m_pPackage->Release();
        m_pPackage = nullptr;
    }
    m_pSite->SetDocument(nullptr, nullptr);
    m_pSite->Release();
}

HWND CPlayerDoc::GetViewWindow() {
    CPlayerView* view = GetView();
    return view ? view->m_hWnd : nullptr;
}

CPlayerView* CPlayerDoc::GetView() const {
    return static_cast<CPlayerView*>(m_pSite->GetView());
}

void CPlayerDoc::SetView(CPlayerView* view) {
    m_pSite->SetView(view);
}

void* CPlayerDoc::GetMediaManagerObject() {
    return m_pProject ? m_pProject->GetMediaManager() : nullptr;
}

IStubCanvas* CPlayerDoc::MakeCanvas(CanvasStub* stub) {
    if (!stub)
        return nullptr;
    switch (stub->GetKind()) {
        case STUB_PAGE:
            return new CPageCanvas(m_pSite, stub);
        case STUB_BACKGROUND:
            return new CBackground(m_pSite, stub);
        case STUB_FOREGROUND:
            return new CForeground(m_pSite, stub);
        default:
            return nullptr;
    }
}

HRESULT CPlayerDoc::LoadCanvasData(ICanvasData* canvas) {
    if (!m_pPackage)
        return E_FAIL;
    return m_pPackage->LoadCanvasData(canvas);
}

void CPlayerDoc::NotifyCanvases(DWORD code) {
    if (m_pSet)
        m_pSet->Notify(code, 0);
}

void CPlayerDoc::ResetCanvasObjects() {
    if (m_pSet)
        m_pSet->StopObjects();
}

bool CPlayerDoc::FindShownObject(const char* name, DWORD* typeId, IUnknown** object) {
    if (!m_pSet || !name)
        return false;
    CCanvas* order[3] = {m_pSet->page, m_pSet->background, m_pSet->foreground};
    for (CCanvas* c : order)
        if (c)
            if (CObjWrapper* o = c->FindByName(name)) {
                if (typeId)
                    *typeId = o->m_record.dwTypeId;
                if (object && o->m_base)
                    o->m_base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(object));
                return true;
            }
    return false;
}

void CPlayerDoc::DPtoLP(POINT* pt) {
    if (CPlayerView* v = GetView())
        v->DPtoLPPoint(pt);
}

void CPlayerDoc::InvalidateLogical(const RECT* rect) {
    CPlayerView* v = GetView();
    if (!v || !v->m_hWnd || !rect)
        return;
    RECT r = *rect;
    v->LPtoDPRect(&r);
    ::InvalidateRect(v->m_hWnd, &r, TRUE);
}

HRESULT CPlayerDoc::Open(const char* path) {
    TRACE_POINT();
    if (!path)
        return E_INVALIDARG;
    std::string full;
    SetCanonicalPath(full, path);
    lstrcpynA(m_path, full.c_str(), sizeof(m_path));

    CPackage* package = nullptr;
    HRESULT hr = CPackage::CreateInstance(&package);
    if (FAILED(hr))
        return hr;
    package->SetSite(m_pSite);
    package->QueryInterface(__uuidof(IPackage), reinterpret_cast<void**>(&m_pPackage));
    package->Release();
    if (!m_pPackage)
        return E_NOINTERFACE;
    hr = m_pPackage->Open(m_path, 1);
    if (FAILED(hr)) {
        m_pPackage->Release();
        m_pPackage = nullptr;
        LOG_HRESULT(hr, "Cannot open rtFile: %s", m_path);
        return hr;
    }
    hr = m_pPackage->PreLoad(this);
    if (FAILED(hr)) {
        m_pPackage->Close();
        m_pPackage->Release();
        m_pPackage = nullptr;
        LOG_HRESULT(hr, "PreLoad PackedFile failed: %s", m_path);
        return hr;
    }

    StructMan* pages = m_pProject->GetStructMan();
    CPageStub* start = pages ? pages->GetStartPage() : nullptr;
    CCanvas* canvas = start ? CanvasOf(start->GetCanvas()) : nullptr;
    if (!canvas)
        return E_FAIL;
    SetCurrentCanvas(canvas);
    if (!m_pSet)
        m_pSet = new CCanvasSet(static_cast<CPageCanvas*>(canvas));

    DWORD flags = m_pProject->GetFlags();
    if ((flags & PRJ_USES_DATABASE) && !(flags & PRJ_MULTIUSER_DATABASE))
        m_pProject->SetDatabasePath(PathWithExtension(m_path, ".mvb").c_str());
    if (FAILED(InitDatabase(false))) {
        std::string caption = LoadResText(31495, "Mavro");
        std::string text = LoadResText(34500, "");
        int answer = SysMessageBox(GetViewWindow(), text.c_str(), caption.c_str(),
                                   MB_YESNO | MB_ICONEXCLAMATION);
        if (answer == IDYES) {
            m_pProject->ClearDatabaseFlags();
            if (m_pDatabase) {
                m_pDatabase->Release();
                m_pDatabase = nullptr;
            }
        } else if (answer == IDNO) {
            return E_FAIL;
        }
    }
    m_opened = true;
    return S_OK;
}

HRESULT CPlayerDoc::InitDatabase(bool allowDisable) {
    TRACE_POINT();
    if (!(m_pProject->GetFlags() & PRJ_USES_DATABASE))
        return S_OK;
    DWORD flags = ((m_pProject->GetFlags() & PRJ_MULTIUSER_DATABASE) ? 2 : 0);
    HRESULT hr = E_FAIL;
    try {
        hr = InitialDatabase(m_pProject->GetDatabasePath(), m_pProject->GetDatabasePassword(),
                             m_pProject->GetWorkgroup(), flags);
    } catch (CSE_Exception& e) {
        LOG_MSG("InitDatabase failed");
        LOG_EXCEPTION(e);
        hr = E_FAIL;
    } catch (...) {
        LOG_MSG("InitDatabase failed -- unknown exception");
        hr = E_FAIL;
    }
    if (SUCCEEDED(hr))
        return hr;
    LOG_MSG("InitDatabase failed -- diabled");
    if (m_pDatabase) {
        m_pDatabase->Release();
        m_pDatabase = nullptr;
    }
    if (!allowDisable)
        return hr;
    m_pProject->ClearDatabaseFlags();
    return S_OK;
}

namespace {

HRESULT CreateDatabaseObject(IDBCore** db) {
    const DWORD ctx = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
    return CoCreateInstance(CLSID_MavroBase, nullptr, ctx, __uuidof(IDBCore),
                            reinterpret_cast<void**>(db));
}

}  // namespace

HRESULT CPlayerDoc::InitialDatabase(const char* path, const char* password, const char* systemPath,
                                    DWORD flags) {
    TRACE_POINT();
    IDBCore* db = nullptr;
    HRESULT hr = CreateDatabaseObject(&db);
    if (hr == REGDB_E_CLASSNOTREG) {
        LOG_MSG("Database not registed, -- try to regiter");
        ReRegistryMavroDBIfNot();
        hr = CreateDatabaseObject(&db);
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "InitialDatabase:: CreateInstance failed after ReRegistryMavroDBIfNot");
            ReRegistryMavroDBIfErr();
            Sleep(1000);
            hr = CreateDatabaseObject(&db);
            if (FAILED(hr)) {
                LOG_MSG("InitialDatabase:: CreateInstance failed after ReRegistryMavroDBIfErr");
                return hr;
            }
        }
    }
    if (FAILED(hr) || !db)
        return FAILED(hr) ? hr : E_FAIL;
    m_pDatabase = db;
    // The component takes the workgroup path before the password.
    hr = db->InitDataBase(path, systemPath, password, (int)flags, m_pSite, GetViewWindow());
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "InitDataBase failed");
        m_pDatabase->Release();
        m_pDatabase = nullptr;
    }
    return hr;
}

HRESULT CPlayerDoc::ReRegistryMavroDBIfNot() {
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof(module));
    if (n == 0 || n >= sizeof(module))
        return E_FAIL;
    std::string dll = PathDirectoryWithSlash(module) + "mavrodb.dll";
    TRACE_POINT();
    HMODULE lib = LoadLibraryA(dll.c_str());
    if (!lib) {
        LOG_WIN32_ERROR(GetLastError(), "Register DB: LoadLibrary(%s) failed", dll.c_str());
        return E_FAIL;
    }
    typedef HRESULT(STDAPICALLTYPE * RegisterProc)();
    RegisterProc reg = reinterpret_cast<RegisterProc>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DllRegisterServer")));
    if (!reg) {
        LOG_MSG("Register DB: Proc not found");
        FreeLibrary(lib);
        return E_FAIL;
    }
    HRESULT hr = reg();
    FreeLibrary(lib);
    if (FAILED(hr)) {
        LOG_MSG("Register DB: CallProc failed");
        return hr;
    }
    return S_OK;
}

HRESULT CPlayerDoc::ReRegistryMavroDBIfErr() {
    // The database library's type library is version 3.0 (win64 in 64-bit
    // builds).
#ifdef _WIN64
    const char* key = "TypeLib\\{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}\\3.0\\0\\win64";
#else
    const char* key = "TypeLib\\{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}\\3.0\\0\\win32";
#endif
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS)
        return E_FAIL;
    char path[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;
    DWORD type = 0;
    LONG r = RegQueryValueExA(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(k);
    path[MAX_PATH] = 0;
    if (r != ERROR_SUCCESS || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return E_FAIL;
    HKEY server = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT,
                        "CLSID\\{700F47F0-1C71-4E07-95BA-59F3D8EA366A}\\InprocServer32", 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &server, nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    r = RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                       (DWORD)strlen(path) + 1);
    RegCloseKey(server);
    return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r);
}

BOOL CPlayerDoc::StartPresentation() {
    TRACE_POINT();
    m_clock = 0;
    m_pSequencer->Reset();
    m_topics.Init();
    CPlayerView* view = GetView();
    if (view)
        view->AttachWindow();
    // The entry page's lists run during the enter below: commands need the
    // window already.
    if (view && view->m_hWnd)
        m_pScript->Attach(view->m_hWnd);
    if (m_pSet && m_pSet->page)
        m_topics.PushHistory(m_pSet->page->GetStub());
    m_topics.Notify(TOPIC_ENTER, 0);
    if (view && view->m_hWnd)
        ::InvalidateRect(view->m_hWnd, nullptr, TRUE);
    return TRUE;
}

void CPlayerDoc::StartRun() {
    TRACE_POINT();
    if (!m_pScript->GetProcessor()->GetSender())
        m_pScript->Attach(GetViewWindow());
}

void CPlayerDoc::StopRun() {
    TRACE_POINT();
    m_pScript->Detach();
}

LRESULT CPlayerDoc::ExecuteCommand(HWND window, WPARAM command, LPARAM packet) {
    m_pScript->GetExecutor()->ExecuteCommand(window, (UINT)command,
                                             reinterpret_cast<CCmdPacket*>(packet));
    return 0;
}

void CPlayerDoc::OnCommand(UINT id) {
    switch (id) {
        case 32950:
            if (HWND w = GetViewWindow())
                PostMessageA(w, WM_CLOSE, 0, 0);
            break;
        case 32951:
            m_pSequencer->Rewind();
            break;
        case 32954:
            m_pSequencer->Resume();
            break;
        case 32955:
            m_pSequencer->Pause();
            break;
        default:
            break;
    }
}

void CPlayerDoc::OnNavigate(UINT id) {
    if (id >= 32808 && id <= 32820 && id != 32815)
        GoHistory(id);
}

void CPlayerDoc::GoHistory(UINT id) {
    CanvasStub* target = nullptr;
    bool record = true;
    if (id == 32817) {
        target = m_topics.Back();
        record = false;
    } else if (id == 32818) {
        target = m_topics.Forward();
        record = false;
    } else {
        target = FindPageFor(id, m_pSet && m_pSet->page ? m_pSet->page->GetStub() : nullptr);
    }
    if (target)
        ShowPage(target, record);
}

CanvasStub* CPlayerDoc::FindPageFor(UINT id, CanvasStub* stub) {
    StructMan* pages = m_pProject ? m_pProject->GetStructMan() : nullptr;
    if (!pages)
        return nullptr;
    CPageStub* page =
        stub && stub->GetKind() == STUB_PAGE ? static_cast<CPageStub*>(stub) : nullptr;
    CPageNode* node = page ? page->GetNode() : nullptr;
    CPageNode* link = nullptr;
    switch (id) {
        case 32808:
            link = node ? node->m_pPrev : nullptr;
            break;
        case 32809:
            link = node ? node->m_pNext : nullptr;
            break;
        case 32811:
            link = node ? node->m_pParent : nullptr;
            break;
        case 32816:
            link = node ? node->m_pChild : nullptr;
            break;
        case 32810:
            return pages->GetFirstPage();
        case 32812:
            return page ? pages->GetPreviousPage(page) : nullptr;
        case 32813:
            return page ? pages->GetNextPage(page) : nullptr;
        case 32814:
            return pages->GetStartPage();
        default:
            return nullptr;
    }
    return link ? link->m_pPage : nullptr;
}

void CPlayerDoc::ShowPage(CanvasStub* stub, bool record) {
    m_topics.Notify(TOPIC_LEAVE, (DWORD_PTR)stub);
    if (record)
        m_topics.PushHistory(stub);
}

void CPlayerDoc::OnPageAction() {
    DWORD action = m_pSet && m_pSet->page ? m_pSet->page->GetAutoAction() : 1108;
    static const struct {
        DWORD action;
        UINT id;
    } map[] = {{1101, 32808}, {1102, 32809}, {1103, 32811}, {1104, 32810}, {1106, 32816},
               {1107, 32812}, {1108, 32813}, {1109, 32817}, {1110, 32818}};
    if (action == 1003) {
        OnCommand(32950);
        return;
    }
    if (action == 1105) {
        // The page name of the action comes with the page's action record.
        StructMan* pages = m_pProject ? m_pProject->GetStructMan() : nullptr;
        CPageStub* target = pages && m_pSet && m_pSet->page
                                ? pages->FindPage(m_pSet->page->GetLabel().c_str())
                                : nullptr;
        if (target)
            ShowPage(target, true);
        return;
    }
    for (auto& m : map)
        if (m.action == action) {
            GoHistory(m.id);
            return;
        }
}

void CPlayerDoc::SetCurrentCanvas(CCanvas* canvas) {
    m_pCurrent = canvas;
    if (m_pScript)
        m_pScript->SetCurrentOwner(canvas ? static_cast<IObjectEvent*>(canvas) : nullptr);
}

bool CPlayerDoc::ChangeCanvasTo(CanvasStub* stub) {
    TRACE_POINT();
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    if (HWND w = GetViewWindow())
        SetClassLongPtrA(w, GCLP_HCURSOR, (LONG_PTR)arrow);
    SetCursor(arrow);
    CCanvasSet* old = m_pSet;
    CCanvas* oldCurrent = m_pCurrent;
    if (!stub || (old && old->page && old->page->GetStub() == stub))
        return false;
    CCanvas* canvas = CanvasOf(stub->GetCanvas());
    if (!canvas)
        return false;
    if (old)
        old->StopObjects();
    SetCurrentCanvas(canvas);
    m_pSet = new CCanvasSet(static_cast<CPageCanvas*>(canvas));
    if (m_pSnapshot) {
        m_pSnapshot->Release();
        m_pSnapshot = nullptr;
    }
    if (old)
        ReleaseCanvasSet(old);
    (void)oldCurrent;
    m_topics.Notify(TOPIC_ENTER, 0);
    if (CPlayerView* v = GetView())
        v->Refresh();
    LOG_MSG("ChangeCanvasTo: %s", stub->GetName());
    return true;
}

void CPlayerDoc::OnDatabaseNotice(WPARAM wParam, LPARAM lParam) {
    const DataSourceNotice* notice = reinterpret_cast<const DataSourceNotice*>(lParam);
    std::vector<CCanvas*> canvases;
    if (m_pSet) {
        canvases.push_back(m_pSet->page);
        canvases.push_back(m_pSet->background);
        if (m_pSet->foreground)
            canvases.push_back(m_pSet->foreground);
    }
    if (m_pCurrent && std::find(canvases.begin(), canvases.end(), m_pCurrent) == canvases.end())
        canvases.push_back(m_pCurrent);
    for (CCanvas* c : canvases)
        if (c && notice)
            c->GetList()->ForEachDbLink(notice);
    // The component allocated the notice: only it frees it.
    if (wParam == 1 && lParam && m_pDatabase)
        m_pDatabase->FreeDBNotice(reinterpret_cast<DataSourceNotice*>(lParam));
}

CBackground* CPlayerDoc::ShownBackground() const {
    if (m_pCurrent && m_pCurrent->GetKind() == CANVAS_BACKGROUND)
        return static_cast<CBackground*>(m_pCurrent);
    return m_pSet ? m_pSet->background : nullptr;
}

void CPlayerDoc::CreateBackBuffer(const RECT* logical) {
    if (!logical)
        return;
    if (m_pBack)
        m_pBack->Release();
    m_pBack = NewPageBuffer(logical->right - logical->left, logical->bottom - logical->top);
    if (m_pBack)
        m_pBack->SetOrigin(logical->left, logical->top);
}

bool CPlayerDoc::MakeSnapshot() {
    CBackground* bg = ShownBackground();
    if (!m_pBack || !bg || bg->GetWidth() <= 0 || bg->GetHeight() <= 0)
        return false;
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_HEIGHT | BIM_WIDTH | BIM_OFFSET;
    m_pBack->GetBufferInfo(&info);
    m_pSnapshot = NewPageBuffer(info.nWidth, info.nHeight);
    if (!m_pSnapshot) {
        LOG_MSG("Draw Background SnapShort Fail!!!,can't fill BackGroud!!!");
        return false;
    }
    m_pSnapshot->SetOrigin(-info.nOffsetX, -info.nOffsetY);
    // The bands outside the picture in the project's colour (FillRect takes
    // buffer coordinates and a COLORREF).
    COLORREF c = m_pProject ? m_pProject->GetBackgroundColor() : 0;
    LONG w = bg->GetWidth(), h = bg->GetHeight();
    LONG ox = info.nOffsetX, oy = info.nOffsetY;
    RECT bands[4] = {{0, 0, info.nWidth, oy},
                     {0, oy + h, info.nWidth, info.nHeight},
                     {0, oy, ox, oy + h},
                     {ox + w, oy, info.nWidth, oy + h}};
    for (RECT& b : bands)
        if (b.right > b.left && b.bottom > b.top)
            m_pSnapshot->FillRect(&b, c);
    RECT pic = {0, 0, w, h};
    if (FillObject* fill = bg->GetFill())
        if (FAILED(fill->Render(&pic, m_pSnapshot, nullptr, m_pSite)))
            LOG_MSG("Create BackGround Snapshort FAIL!!!");
    return true;
}

void CPlayerDoc::DrawSnapshot(const RECT* box) {
    if (!m_pSnapshot && !MakeSnapshot())
        return;
    RECT dst = *box;
    m_pBack->Blit(&dst, m_pSnapshot, &dst, 0);
}

void CPlayerDoc::InvalidateRegion(HRGN region) {
    TRACE_POINT();
    if (!m_pCurrent)
        return;
    if (region)
        CombineRgn(m_dirty, region, nullptr, RGN_COPY);
    if (m_pTransition) {
        if (m_pBack && m_pFillImage && m_pPageImage)
            ComposeTransitionFrame(m_pBack, m_pFillImage, m_pPageImage, m_pTransition);
        SetRectRgn(m_dirty, 0, 0, 0, 0);
        return;
    }
    RedrawRegion(nullptr);
}

IPixelBuffer* CPlayerDoc::NewBufferLikeBack() {
    if (!m_pBack)
        return nullptr;
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_WIDTH | BIM_HEIGHT | BIM_OFFSET;
    if (FAILED(m_pBack->GetBufferInfo(&info)))
        return nullptr;
    IPixelBuffer* b = NewPageBuffer(info.nWidth, info.nHeight);
    if (b)
        b->SetOrigin(-info.nOffsetX, -info.nOffsetY);
    return b;
}

void CPlayerDoc::SetTransition(IEffectRender* effect) {
    if (effect == m_pTransition)
        return;
    if (effect)
        effect->AddRef();
    IEffectRender* old = m_pTransition;
    m_pTransition = effect;
    if (old) {
        // The effect belongs to its page again.
        CComPtr<IRenderClockClient> client;
        old->QueryInterface(__uuidof(IRenderClockClient), reinterpret_cast<void**>(&client));
        if (client)
            client->SetClock(nullptr);
        old->SetTarget(nullptr);
        old->Release();
    }
}

void CPlayerDoc::ReleasePageImages() {
    if (m_pFillImage) {
        m_pFillImage->Release();
        m_pFillImage = nullptr;
    }
    if (m_pPageImage) {
        m_pPageImage->Release();
        m_pPageImage = nullptr;
    }
}

void CPlayerDoc::ReleaseSnapshot() {
    if (m_pSnapshot) {
        m_pSnapshot->Release();
        m_pSnapshot = nullptr;
    }
}

namespace {

// The render's region test: the object covers the whole region.
const int REGION_COVERED = 0x45000;

// Entered (render state 1 to 3) and visible.
bool IsShown(const CObjWrapper* o) {
    return o && o->IsActive() && o->IsVisible();
}

}  // namespace

void CPlayerDoc::CollectShown(CCanvas* canvas, HRGN dirty, std::vector<CObjWrapper*>* out) {
    IObjWrapperList* list = canvas->GetList();
    // Topmost first; an object that covers the whole region hides the rest.
    for (int i = list->GetCount() - 1; i >= 0; --i) {
        CObjWrapper* o = list->GetAt(i);
        if (!o)
            continue;
        if (CObjWrapper* group = o->GetOwner(); group && !IsShown(group)) {
            // The rest of the hidden group's children lie between it and here.
            int at = list->IndexOf(group);
            if (at >= 0 && at < i)
                i = at + 1;
            continue;
        }
        if (!IsShown(o))
            continue;
        int hit = o->m_render->TestRegion(dirty);
        if (hit == 0) {
            out->push_back(o);
        } else if (hit == REGION_COVERED) {
            out->push_back(o);
            return;
        }
    }
}

void CPlayerDoc::RedrawRegion(const RECT* rect) {
    if (rect)
        SetRectRgn(m_dirty, rect->left, rect->top, rect->right, rect->bottom);
    if (!m_pBack)
        return;
    RECT box;
    int kind = GetRgnBox(m_dirty, &box);
    if (kind == NULLREGION || kind == ERROR) {
        SetRectRgn(m_dirty, 0, 0, 0, 0);
        return;
    }
    DrawSnapshot(&box);
    std::vector<CCanvas*> canvases;
    if (m_pCurrent && m_pCurrent->GetKind() == CANVAS_PAGE && m_pSet) {
        if (m_pSet->foreground)
            canvases.push_back(m_pSet->foreground);
        canvases.push_back(m_pSet->page);
        if (m_pSet->background)
            canvases.push_back(m_pSet->background);
    } else if (m_pCurrent) {
        canvases.push_back(m_pCurrent);
    }
    std::vector<CObjWrapper*> collected;
    for (CCanvas* c : canvases) CollectShown(c, m_dirty, &collected);
    // Bottom to top.
    for (size_t i = collected.size(); i-- > 0;) collected[i]->m_render->Draw(m_pBack);
    IUnknown* tip = nullptr;
    if (SUCCEEDED(m_pSite->GetToolTipWindow(&tip)) && tip)
        static_cast<IToolTipWnd*>(tip)->Draw(m_pBack);
    SetRectRgn(m_dirty, 0, 0, 0, 0);
}
