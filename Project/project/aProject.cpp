#include "aProject.h"

#include <string.h>

#include <vector>

#include "aPrjUtil.h"
#include "bTraceLog.h"

CProject::CProject(IProjectDocument* document)
    : m_pDocument(document),
      m_pSite(nullptr),
      m_pParts(nullptr),
      m_options(171),
      m_holdTime(10000),
      m_backgroundColor(0),
      m_flags(PRJ_EXTRA_TEXT),
      m_pSysSound(nullptr) {
    ZeroMemory(&m_header, sizeof(m_header));
    m_databasePath[0] = m_databasePassword[0] = m_workgroupPath[0] = 0;
    ZeroMemory(m_tables, sizeof(m_tables));
    m_pStructMan = new StructMan;
    m_pCanvasLists = new CCanvasLists;
    m_pMediaManager = new CMediaManager(this);
    m_pMediaManager->AddRef();
    m_pMediaManager->SetDocument(document);
    m_variables.SetGlobalList(&m_globals);
}

CProject::~CProject() {
    ReleaseMembers();
}

void CProject::ReleaseMembers() {
    if (m_pMediaManager) {
        m_pMediaManager->Release();
        m_pMediaManager = nullptr;
    }
    // Pages go before the backgrounds and foregrounds they use.
    delete m_pStructMan;
    m_pStructMan = nullptr;
    delete m_pCanvasLists;
    m_pCanvasLists = nullptr;
    if (m_pSysSound) {
        m_pSysSound->Release();
        m_pSysSound = nullptr;
    }
}

void CProject::SetSysSound(IUnknown* sound) {
    if (sound)
        sound->AddRef();
    if (m_pSysSound)
        m_pSysSound->Release();
    m_pSysSound = sound;
}

void CProject::SetSite(IUnknown* site) {
    m_pSite = site;
    if (m_pStructMan)
        m_pStructMan->SetSite(site);
    if (m_pCanvasLists)
        m_pCanvasLists->SetSite(site);
}

STDMETHODIMP CProject::GetWorkgroupPath(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_INVALIDARG;
    MbCopyCut(buffer, (size_t)size, m_workgroupPath);
    return S_OK;
}

STDMETHODIMP CProject::SetWorkgroupPath(const char* path) {
    MbCopyCut(m_workgroupPath, sizeof(m_workgroupPath), path);
    return S_OK;
}

void CProject::SetDatabasePath(const char* path) {
    MbCopyCut(m_databasePath, sizeof(m_databasePath), path);
}

void CProject::InitNew(ULONGLONG programVersion) {
    for (std::string& t : m_texts) t.clear();
    ZeroMemory(&m_header, sizeof(m_header));
    m_header.size = sizeof(m_header);
    m_header.magic = PRJINFO_MAGIC;
    m_header.created.fileVersion = programVersion;
    m_header.saved.fileVersion = programVersion;
}

namespace {

// A text of the project body: a signed 16-bit count n, then 2n bytes of
// UTF-16. A negative count is refused; a text longer than `size` - 1 bytes
// is read whole and cut.
bool ReadCountedText(ITeskStream* body, std::string* out) {
    SHORT n = 0;
    body->Read(&n, sizeof(n));
    if (n < 0) {
        LOG_MSG("PrjInfo: text count %d refused", (int)n);
        return false;
    }
    out->clear();
    if (n == 0)
        return true;
    std::vector<char> text((size_t)n + 1, 0);
    body->ReadWideString(text.data(), (ULONG)n);
    text[(size_t)n] = 0;
    *out = text.data();
    return true;
}

bool ReadFixedText(ITeskStream* body, char* dest, size_t size) {
    std::string text;
    if (!ReadCountedText(body, &text))
        return false;
    MbCopyCut(dest, size, text.c_str());
    return true;
}

}  // namespace

HRESULT CProject::ReadPrjInfo(ITeskStorage* storage) {
    TRACE_POINT();
    if (!storage)
        return E_INVALIDARG;
    CComPtr<ITeskStream> stream;
    HRESULT hr = storage->OpenStream("PrjInfo", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    ZeroMemory(&m_header, sizeof(m_header));
    if (!ReadExact(stream, &m_header, sizeof(m_header)) || m_header.size != sizeof(m_header) ||
        m_header.magic != PRJINFO_MAGIC)
        return TESK_E_NOTRUNTIMEFILE;
    if (m_header.major != 1 || m_header.minor < 0 || m_header.minor > 16) {
        LOG_MSG("Unsupported MTXFile Version: %d.%d", (int)m_header.major, (int)m_header.minor);
        return TESK_E_BADVERSION;
    }
    CComPtr<ITeskStream> body;
    try {
        hr = CacheRestOfStream(stream, m_header.mode, &body);
    } catch (const CTeskExcept&) {
        hr = TESK_E_STREAMHEADER;
    }
    stream.Release();
    if (FAILED(hr))
        return TESK_E_STREAMHEADER;
    return ReadBody(body, storage);
}

HRESULT CProject::ReadBody(ITeskStream* body, ITeskStorage* storage) {
    DWORD head[4] = {0, 0, 0, 0};  // options, hold time, background colour, flags
    char texts[3][PRJ_TEXT_SIZE];
    std::string further[4];
    try {
        body->Read(head, sizeof(head));
        const DWORD flags = head[3];
        bool ok = true;
        if (flags & PRJ_EXTRA_TEXT) {
            std::string skipped;
            ok = ReadCountedText(body, &skipped);
        }
        for (int i = 0; ok && i < 3; ++i) ok = ReadFixedText(body, texts[i], sizeof(texts[i]));
        if (ok && (flags & PRJ_FOUR_TEXTS)) {
            for (int i = 0; ok && i < 4; ++i) ok = ReadCountedText(body, &further[i]);
        }
        if (!ok)
            return TESK_E_STREAMHEADER;
    } catch (const CTeskExcept&) {
        LOG_MSG("PrjInfo: project body ends early");
        return TESK_E_STREAMHEADER;
    }
    m_options = head[0];
    m_holdTime = head[1];
    m_backgroundColor = head[2];
    m_flags = head[3];
    memcpy(m_databasePath, texts[0], sizeof(m_databasePath));
    memcpy(m_databasePassword, texts[1], sizeof(m_databasePassword));
    memcpy(m_workgroupPath, texts[2], sizeof(m_workgroupPath));
    if (m_flags & PRJ_FOUR_TEXTS)
        for (int i = 0; i < 4; ++i) m_texts[i] = further[i];

    HRESULT varResult = S_OK;
    try {
        HRESULT hr = S_OK;
        if (m_pParts) {
            hr = m_pParts->LoadEventRecord(body);
        } else {
            // Without the event-procedure reader only an empty record can be
            // passed over.
            DWORD entries = 0;
            body->Read(&entries, sizeof(entries));
            if (entries) {
                LOG_MSG("PrjInfo: %u project event entries left unread", (unsigned)entries);
                hr = S_FALSE;
            }
        }
        if (hr == S_OK) {
            m_variables.Clear(&m_globals);
            varResult = m_variables.LoadList(&m_globals, body, false) ? S_OK : TESK_E_STREAMHEADER;
        } else {
            varResult = hr;
        }
    } catch (const CTeskExcept&) {
        LOG_MSG("PrjInfo: project events end early");
        varResult = TESK_E_STREAMHEADER;
    }
    if (!(m_flags & PRJ_HAS_TABLES))
        return varResult;
    return m_pParts ? m_pParts->LoadRoutineTables(storage) : LocateRoutineTables(storage);
}

HRESULT CProject::LocateRoutineTables(ITeskStorage* storage) {
    static const char* const kNames[2] = {"FunctionTable", "ProcessTable"};
    HRESULT result = S_OK;
    for (int i = 0; i < 2; ++i) {
        ZeroMemory(&m_tables[i], sizeof(m_tables[i]));
        CComPtr<ITeskStream> stream;
        HRESULT hr = storage->OpenStream(kNames[i], TESK_MODE_READ, &stream);
        if (SUCCEEDED(hr)) {
            stream->SetMode(0);
            BYTE header[32];
            if (ReadExact(stream, header, sizeof(header))) {
                m_tables[i].present = TRUE;
                memcpy(&m_tables[i].count, header + 20, 4);
                memcpy(&m_tables[i].mode, header + 24, 4);
            } else {
                hr = TESK_E_STREAMHEADER;
            }
        }
        if (FAILED(hr))
            LOG_HRESULT(hr, "Reading %s failed -- ignored", kNames[i]);
        result = hr;
    }
    return result;
}
