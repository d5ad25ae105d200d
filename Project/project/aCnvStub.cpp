#include "aCnvStub.h"

#include <algorithm>

#include "aPrjUtil.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {
ICanvasHost* g_canvasHost = nullptr;
}

void CanvasStub::SetCanvasHost(ICanvasHost* host) {
    g_canvasHost = host;
}

ICanvasHost* CanvasStub::GetCanvasHost() {
    return g_canvasHost;
}

CanvasStub::CanvasStub()
    : m_pSite(nullptr),
      m_pCanvas(nullptr),
      m_temporary(0),
      m_modified(0),
      m_refCount(0),
      m_number(-1) {
    m_name[0] = 0;
}

CanvasStub::~CanvasStub() {
    if (m_pCanvas) {
        UnloadCanvas();
    } else if (m_refCount != 0) {
        if (ITraceLog* log = GetTraceLog())
            log->FormatOnly(0, 0, "CanvasStub::~CanvasStub(%s): refCount = %d", m_name, m_refCount);
    }
}

HRESULT CanvasStub::LoadCommon() {
    HRESULT hr = E_FAIL;
    if (!g_canvasHost || !m_pCanvas)
        return hr;
    try {
        hr = g_canvasHost->LoadCanvasData(m_pCanvas->GetCanvasData());
    } catch (CTeskExcept&) {
        LOG_MSG("LoadCanvas failed: %s", m_name);
        hr = E_FAIL;
    }
    return hr;
}

HRESULT CanvasStub::EnsureCanvas() {
    if (m_pCanvas)
        return S_OK;
    if (!g_canvasHost)
        return E_FAIL;
    m_pCanvas = g_canvasHost->MakeCanvas(this);
    return m_pCanvas ? S_OK : E_OUTOFMEMORY;
}

HRESULT CanvasStub::LoadCanvas() {
    HRESULT hr = EnsureCanvas();
    return FAILED(hr) ? hr : LoadCommon();
}

HRESULT CPageStub::LoadCanvas() {
    HRESULT hr = EnsureCanvas();
    if (FAILED(hr))
        return hr;
    m_pCanvas->SetLayerStubs(m_pBackground, m_pForeground);
    if (FAILED(LoadCommon())) {
        SetTemporary(TRUE);
        LOG_MSG("Load Page %s Failed,Create a temp page for opening", m_name);
    }
    return S_OK;
}

void CanvasStub::UnloadCanvas() {
    IStubCanvas* c = m_pCanvas;
    m_pCanvas = nullptr;
    if (c)
        c->DeleteCanvas();
}

IStubCanvas* CanvasStub::GetCanvas() {
    AddRef();
    if (!m_pCanvas && FAILED(LoadCanvas())) {
        // A canvas made but not loaded goes too: it must not be handed out
        // as loaded the next time.
        ReleaseCanvas();
        return nullptr;
    }
    return m_pCanvas;
}

IStubCanvas* CBackgroundStub::GetCanvas() {
    AddRef();
    if (!m_pCanvas)
        LoadCanvas();
    // Nobody releases a background that could not be made.
    if (!m_pCanvas)
        Release();
    return m_pCanvas;
}

void CanvasStub::ReleaseCanvas() {
    if (Release() == 0)
        UnloadCanvas();
}

void CanvasStub::SetName(const char* name) {
    MbCopyCut(m_name, sizeof(m_name), name);
}

void CanvasStub::SetModified(BOOL on) {
    m_modified = on ? 1 : 0;
    if (!on)
        m_temporary = 0;
}

void CanvasStub::SetTemporary(BOOL on) {
    m_temporary = on ? 1 : 0;
    if (on)
        m_modified = 1;
}

CUsedStub::~CUsedStub() {
    std::vector<CPageStub*> users;
    users.swap(m_users);
    for (CPageStub* page : users) page->DetachStub(this);
}

void CUsedStub::AddUser(CPageStub* page) {
    if (!page)
        return;
    m_users.push_back(page);
    ++m_userCount;
}

void CUsedStub::RemoveUser(CPageStub* page) {
    auto end = std::remove(m_users.begin(), m_users.end(), page);
    if (end == m_users.end())
        return;
    m_users.erase(end, m_users.end());
    --m_userCount;
}

void CUsedStub::RemoveUsers(const std::unordered_set<CPageStub*>& pages) {
    std::unordered_set<CPageStub*> removed;
    size_t kept = 0;
    for (CPageStub* page : m_users) {
        if (pages.count(page)) {
            removed.insert(page);
            page->DetachStub(this);
        } else {
            m_users[kept++] = page;
        }
    }
    m_users.resize(kept);
    m_userCount -= (int)removed.size();
}

CPageStub::CPageStub()
    : m_pBackground(nullptr), m_pForeground(nullptr), m_pNode(nullptr), m_flag(1) {
    m_title[0] = 0;
}

CPageStub::~CPageStub() {
    if (m_pBackground)
        m_pBackground->RemoveUser(this);
    if (m_pForeground)
        m_pForeground->RemoveUser(this);
}

void CPageStub::SetTitle(const char* title) {
    MbCopyCut(m_title, sizeof(m_title), title);
}

namespace {

// Moves a page's use from the stub in a layer slot to another; false when
// the slot already holds it.
template <class Stub>
bool ReplaceLayer(Stub** slot, Stub* stub, CPageStub* page) {
    if (stub == *slot)
        return false;
    if (*slot)
        (*slot)->RemoveUser(page);
    *slot = stub;
    if (stub)
        stub->AddUser(page);
    return true;
}

}  // namespace

void CPageStub::SetBackground(CBackgroundStub* stub) {
    if (ReplaceLayer(&m_pBackground, stub, this) && m_pCanvas)
        m_pCanvas->SetLayerStubs(m_pBackground, m_pForeground);
}

void CPageStub::SetForeground(CForegroundStub* stub) {
    if (ReplaceLayer(&m_pForeground, stub, this) && m_pCanvas)
        m_pCanvas->SetLayerStubs(m_pBackground, m_pForeground);
}

void CPageStub::DetachStub(const CanvasStub* stub) {
    if (m_pBackground == stub)
        m_pBackground = nullptr;
    if (m_pForeground == stub)
        m_pForeground = nullptr;
}
