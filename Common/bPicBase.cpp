// The picture object: chooses a codec by the file extension, reads the
// picture's header, refuses pictures of too many pixels and decodes into a
// packed DIB that it holds until detached or released.
#include "bPicBase.h"

#include <string.h>

#include "bTraceLog.h"

namespace {

// The extension of a path with its dot ("" when none); DBCS-aware, so a
// trail byte equal to '\\' or '.' is not taken for one.
void PathExtensionOf(const char* path, char* dest, int size) {
    const char* dot = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' || *p == '/' || *p == ':') dot = nullptr;
        else if (*p == '.') dot = p;
    }
    dest[0] = 0;
    if (dot) lstrcpynA(dest, dot, size);
}

class CPicBase : public CComObjectRootBase, public PicBase {
public:
    BEGIN_COM_MAP(CPicBase)
        COM_INTERFACE_ENTRY(PicBase)
    END_COM_MAP()

    CPicBase() : m_hDib(nullptr), m_alpha(0), m_width(0), m_height(0), m_site(nullptr) {}
    virtual ~CPicBase() { FreeDib(); }

    void SetSite(IPictureCodecSite* site) { m_site = site; }

    STDMETHOD_(LONG, GetHeight)() override { return m_height; }
    STDMETHOD_(LONG, GetWidth)() override { return m_width; }
    STDMETHOD_(HGLOBAL, GetDIB)() override { return m_hDib; }
    STDMETHOD_(int, GetAlphaFlag)() override { return m_alpha; }
    STDMETHOD(DetachDIB)(HGLOBAL* dib) override;
    STDMETHOD_(int, GetExtensionListLength)() override;
    STDMETHOD(GetExtensionList)(char* buffer, int size) override;
    STDMETHOD(IsKnownExtension)(const char* text) override;
    STDMETHOD(FindCodec)(const char* extension, int* index) override;
    STDMETHOD(LoadFile)(const char* path) override;
    STDMETHOD(DecodeMemory)(const BYTE* data, DWORD size, int codecIndex) override;
    STDMETHOD_(void, DeleteThis)() override { delete this; }

private:
    PictureCodecManager* Manager();
    void FreeDib() {
        if (m_hDib) GlobalFree(m_hDib);
        m_hDib = nullptr;
        m_width = 0;
        m_height = 0;
    }

    HGLOBAL m_hDib;
    int m_alpha;
    LONG m_width;
    LONG m_height;
    IPictureCodecSite* m_site;
};

PictureCodecManager* CPicBase::Manager() {
    PictureCodecManager* manager = nullptr;
    if (!m_site || FAILED(m_site->GetCodecManager(&manager))) return nullptr;
    return manager;
}

HRESULT CPicBase::DetachDIB(HGLOBAL* dib) {
    if (!dib) return E_POINTER;
    *dib = m_hDib;
    if (!m_hDib) return E_FAIL;
    m_hDib = nullptr;
    m_width = 0;
    m_height = 0;
    return S_OK;
}

int CPicBase::GetExtensionListLength() {
    PictureCodecManager* manager = Manager();
    return manager ? manager->GetExtensionListLength() : 0;
}

HRESULT CPicBase::GetExtensionList(char* buffer, int size) {
    PictureCodecManager* manager = Manager();
    return manager ? manager->GetExtensionList(buffer, size) : E_FAIL;
}

HRESULT CPicBase::IsKnownExtension(const char* text) {
    PictureCodecManager* manager = Manager();
    return manager ? manager->IsKnownExtension(text) : E_FAIL;
}

HRESULT CPicBase::FindCodec(const char* extension, int* index) {
    PictureCodecManager* manager = Manager();
    return manager ? manager->FindCodec(extension, index) : E_FAIL;
}

HRESULT CPicBase::LoadFile(const char* path) {
    TRACE_POINT();
    if (!path) return E_POINTER;
    char extension[256];
    PathExtensionOf(path, extension, sizeof(extension));
    int index = 0;
    HRESULT hr = FindCodec(extension, &index);
    if (hr != S_OK) {
        LOG_MSG("Cannot load pic: %s -- unknown file type", path);
        return hr;
    }
    if (lstrlenA(path) >= MAX_PATH) {
        LOG_MSG("Cannot load pic: %s -- path too long", path);
        return E_FAIL;
    }

    // The whole file, mapped read-only.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        LOG_WIN32_ERROR(0, "Cannot open file: %s", path);
        return E_FAIL;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (high != 0 || size == INVALID_FILE_SIZE) {
        LOG_MSG("Cannot open file: %s -- too large", path);
        CloseHandle(file);
        return E_FAIL;
    }
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    if (!mapping) {
        LOG_WIN32_ERROR(0, "CreateFileMapping failed: %s", path);
        return E_FAIL;
    }
    const BYTE* view = static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);
    if (!view) {
        LOG_WIN32_ERROR(0, "MapViewOfFile failed: %s", path);
        return E_FAIL;
    }

    lstrcpynA(m_szFileName, path, sizeof(m_szFileName));
    hr = DecodeMemory(view, size, index);
    UnmapViewOfFile(view);
    return hr;
}

HRESULT CPicBase::DecodeMemory(const BYTE* data, DWORD size, int codecIndex) {
    TRACE_POINT();
    FreeDib();
    PictureCodecManager* manager = Manager();
    if (!manager) return E_FAIL;
    PictureCodec* codec = manager->GetCodec(codecIndex - 1);
    if (!codec) return E_INVALIDARG;

    HRESULT hr = E_FAIL;
    try {
        codec->SetAlphaFlag(0);
        hr = codec->ReadInfo(data, size);
        if (FAILED(hr)) {
            m_alpha = codec->GetAlphaFlag();
            return hr;
        }
        // Counted by absolute sizes and without overflow: a top-down picture
        // has a negative height.
        LONGLONG width = codec->GetWidth(), height = codec->GetHeight();
        if (width < 0) width = -width;
        if (height < 0) height = -height;
        if (width * height > PICTURE_MAX_PIXELS) {
            LOG_MSG("Picture's pixels is exceed 4096*4096,do not display it\n");
            return E_FAIL;
        }
        hr = codec->Decode(data, size, &m_hDib);
        m_alpha = codec->GetAlphaFlag();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        hr = E_FAIL;
    }
    // A codec that reports success without a picture has failed.
    if (SUCCEEDED(hr) && !m_hDib) hr = E_FAIL;
    if (FAILED(hr)) {
        FreeDib();
        return hr;
    }
    LONG height = codec->GetHeight();
    m_height = height < 0 ? -height : height;
    m_width = codec->GetWidth();
    return S_OK;
}

}  // namespace

HRESULT CreatePicBaseInterface(PicBase** picture, IPictureCodecSite* site) {
    if (!picture) return E_POINTER;
    *picture = nullptr;
    CComObject<CPicBase>* object = nullptr;
    HRESULT hr = CComObject<CPicBase>::CreateInstance(&object);
    if (FAILED(hr)) return hr;
    object->SetSite(site);
    object->AddRef();
    hr = object->QueryInterface(__uuidof(PicBase), reinterpret_cast<void**>(picture));
    object->Release();
    return hr;
}
