#include "aPackage.h"

#include "aMediaIdx.h"
#include "aProject.h"
#include "bTraceLog.h"

#include <new>

CPackage::CPackage() : m_pSite(nullptr), m_pRoot(nullptr), m_pDocument(nullptr) {}

CPackage::~CPackage() {
    Close();
}

HRESULT CPackage::CreateInstance(CPackage** out) {
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) CPackage;
    if (!*out)
        return E_OUTOFMEMORY;
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CPackage::Release() {
    ULONG n = InternalRelease();
    if (n == 0)
        delete this;  // the destructor closes
    return n;
}

void CPackage::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

STDMETHODIMP CPackage::Close() {
    if (m_pRoot) {
        ITeskStorage* root = m_pRoot;
        m_pRoot = nullptr;
        root->Close();
        root->Release();
    }
    return S_OK;
}

STDMETHODIMP CPackage::Create(const char* name, int kind) {
    Close();
    return CreateTeskStorage(name, kind, &m_pRoot);
}

STDMETHODIMP CPackage::Open(const char* path, int kind) {
    TRACE_POINT();
    Close();
    return OpenTeskStorage(path, TESK_MODE_READ, kind, &m_pRoot);
}

STDMETHODIMP CPackage::PreLoad(IProjectDocument* document) {
    TRACE_POINT();
    if (!document || !document->GetProject())
        return E_INVALIDARG;
    if (!m_pRoot)
        return E_UNEXPECTED;
    m_pDocument = document;
    CProject* project = document->GetProject();
    // A stream that ends inside a record fails the pre-load with the code of
    // a body not read; nothing of the storage layer escapes it.
    try {
        return ReadIndexes(project);
    } catch (const CTeskExcept& e) {
        LOG_MSG("PreLoad: a stream ended inside its records (%d)", e.GetCode());
        return TESK_E_STREAMHEADER;
    } catch (const std::bad_alloc&) {
        LOG_MSG("PreLoad: out of memory");
        return E_OUTOFMEMORY;
    }
}

HRESULT CPackage::ReadIndexes(CProject* project) {
    // A damaged project header leaves the defaults; loading goes on.
    try {
        project->ReadPrjInfo(m_pRoot);
    } catch (const CTeskExcept& e) {
        LOG_MSG("PrjInfo: a stream ended inside its records (%d)", e.GetCode());
    }

    CComPtr<ITeskStream> stream;
    HRESULT hr = m_pRoot->OpenStream("frgindex", TESK_MODE_READ, &stream);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "open %s failed", "frgindex");
        return hr;
    }
    stream->SetMode(0);
    // A page index or canvas list whose body cannot be read fails the
    // pre-load with its code, rather than going on with a work that lacks
    // pages or canvases.
    hr = project->GetStructMan()->Read(stream);
    stream.Release();
    if (FAILED(hr))
        return hr;

    hr = m_pRoot->OpenStream("bkgindex", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    hr = project->GetCanvasLists()->ReadList(stream, TRUE);
    stream.Release();
    if (FAILED(hr))
        return hr;

    hr = m_pRoot->OpenStream("frmindex", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    hr = project->GetCanvasLists()->ReadList(stream, FALSE);
    stream.Release();
    if (FAILED(hr))
        return hr;

    project->GetStructMan()->Link(project->GetCanvasLists());

    if (m_pDocument->IsRuntime()) {
        hr = ReadMediaInfoFromExe(project->GetMediaManager(), m_pRoot);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

STDMETHODIMP CPackage::LoadCanvasData(ICanvasData* canvas) {
    TRACE_POINT();
    if (!canvas)
        return E_INVALIDARG;
    if (!m_pRoot)
        return E_UNEXPECTED;
    const char* dataName;
    switch (canvas->GetCanvasKind()) {
        case 1:
            dataName = "frgdata";
            break;
        case 2:
            dataName = "bkgdata";
            break;
        case 3:
            dataName = "frmdata";
            break;
        default:
            return E_INVALIDARG;
    }
    const char* name = canvas->GetStubName();
    if (!name)
        name = "";
    CComPtr<ITeskStorage> data;
    HRESULT hr = m_pRoot->OpenStorage(dataName, TESK_MODE_READ, &data);
    if (FAILED(hr)) {
        // A missing data storage fails the load rather than being used.
        LOG_HRESULT(hr, "Cannot open %s", dataName);
        return hr;
    }
    CComPtr<ITeskStorage> storage;
    hr = data->OpenStorage(name, TESK_MODE_READ, &storage);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Cannot open %s", name);
        return hr;
    }
    storage->SetMode(0);
    if (!canvas->LoadFromStorage(storage)) {
        LOG_MSG("Read canvas for %s failed", name);
        return E_FAIL;
    }
    return S_OK;
}
