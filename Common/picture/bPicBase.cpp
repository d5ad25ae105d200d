// The picture object: chooses a codec by the file extension, reads the
// picture's header, refuses pictures of too many pixels and decodes into a
// packed DIB that it holds until detached or released.
#include "bPicBase.h"

#include <string.h>

#include "bFileUtil.h"
#include "bTraceLog.h"

namespace {

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
        if (m_hDib)
            GlobalFree(m_hDib);
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
    if (!m_site || FAILED(m_site->GetCodecManager(&manager)))
        return nullptr;
    return manager;
}

HRESULT CPicBase::DetachDIB(HGLOBAL* dib) {
    if (!dib)
        return E_POINTER;
    *dib = m_hDib;
    if (!m_hDib)
        return E_FAIL;
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
    if (!path)
        return E_POINTER;
    char extension[256];
    PathExtension(path, extension, sizeof(extension));
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
    DWORD size = 0;
    const BYTE* view = static_cast<const BYTE*>(MapFileView(path, &size));
    if (!view)
        return E_FAIL;

    lstrcpynA(m_szFileName, path, sizeof(m_szFileName));
    hr = DecodeMemory(view, size, index);
    UnmapViewOfFile(view);
    return hr;
}

HRESULT CPicBase::DecodeMemory(const BYTE* data, DWORD size, int codecIndex) {
    TRACE_POINT();
    FreeDib();
    PictureCodecManager* manager = Manager();
    if (!manager)
        return E_FAIL;
    PictureCodec* codec = manager->GetCodec(codecIndex - 1);
    if (!codec)
        return E_INVALIDARG;

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
        if (width < 0)
            width = -width;
        if (height < 0)
            height = -height;
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
    if (SUCCEEDED(hr) && !m_hDib)
        hr = E_FAIL;
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
    if (!picture)
        return E_POINTER;
    *picture = nullptr;
    CComObject<CPictureInterfaceQI<CPicBase>>* object = nullptr;
    HRESULT hr = CComObject<CPictureInterfaceQI<CPicBase>>::CreateInstance(&object);
    if (FAILED(hr))
        return hr;
    object->SetSite(site);
    object->AddRef();
    hr = object->QueryInterface(__uuidof(PicBase), reinterpret_cast<void**>(picture));
    object->Release();
    return hr;
}
