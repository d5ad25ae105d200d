#include "aPlayerDoc.h"

#include <string.h>

#include <string>

#include "aCnvStub.h"
#include "aPackage.h"
#include "aPageStruct.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "aUtil.h"
#include "bTraceLog.h"

CPlayerDoc::CPlayerDoc() : m_site(this), m_pProject(nullptr), m_pPackage(nullptr), m_opened(false) {
    m_path[0] = 0;
    TRACE_POINT();
    m_pProject = new CProject(this);
}

CPlayerDoc::~CPlayerDoc() {
    TRACE_POINT();
    if (m_pPackage) {
        m_pPackage->Close();
        m_pPackage->Release();
        m_pPackage = nullptr;
    }
    delete m_pProject;
}

HWND CPlayerDoc::GetViewWindow() {
    CPlayerView* view = GetView();
    return view ? view->m_hWnd : nullptr;
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

    // The entry page's canvas loads on demand through its stub.
    StructMan* pages = m_pProject->GetStructMan();
    if (!pages || !pages->GetStartPage())
        return E_FAIL;
    // Canvases do not load from their stubs yet: nothing can be shown.
    return E_FAIL;
}

BOOL CPlayerDoc::StartPresentation() {
    TRACE_POINT();
    if (CPlayerView* view = GetView()) {
        view->AttachWindow();
        InvalidateRect(view->m_hWnd, nullptr, TRUE);
    }
    return TRUE;
}

void CPlayerDoc::StartRun() {
    TRACE_POINT();
}

void CPlayerDoc::StopRun() {
    TRACE_POINT();
}
