#include "aMediaData.h"

#include <string.h>

#include <vector>

#include "bFileUtil.h"
#include "bMediaManager.h"
#include "bStrConv.h"
#include "bTraceLog.h"

MediaDataHolder::MediaDataHolder(LONG kind) : m_kind(kind) {
    memset(m_name, 0, sizeof(m_name));
}

bool MediaDataHolder::StoreName(const char* name) {
    if (!name)
        name = "";
    if (lstrcmpiA(name, m_name) == 0)
        return false;
    // A double-byte character at the cut is left out whole.
    size_t n = MbCutLength(name, sizeof(m_name) - 1);
    memset(m_name, 0, sizeof(m_name));
    memcpy(m_name, name, n);
    return true;
}

STDMETHODIMP MediaDataHolder::SetName(const char* name) {
    if (!StoreName(name))
        return S_OK;
    return LoadMediaData(m_name);
}

STDMETHODIMP MediaDataHolder::GetMediaName(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    size_t n = strnlen(m_name, sizeof(m_name));
    if (n > (size_t)size - 1)
        n = size - 1;
    memcpy(buffer, m_name, n);
    buffer[n] = 0;
    return m_name[0] ? S_OK : S_FALSE;
}

STDMETHODIMP MediaDataHolder::GetMediaType(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_kind;
    return S_OK;
}

STDMETHODIMP MediaDataHolder::SetMedia(BOOL byName, const char* name, const void* bytes,
                                       DWORD count) {
    StoreName(name);
    if (byName)
        return LoadMediaData(name);
    return TakeData(bytes, count, name);
}

STDMETHODIMP MediaDataHolder::LoadMediaData(const char* name) {
    TRACE_POINT();
    IPlayerSite* site = GetSite();
    if (!site)
        return E_FAIL;
    void* media = nullptr;
    HRESULT hr = site->GetMediaManager(&media);
    if (FAILED(hr))
        return hr;
    IMediaManager* manager = static_cast<IMediaManager*>(media);
    if (!manager)
        return E_FAIL;
    BYTE external = 1;
    hr = manager->IsFileMedia(name, &external);
    if (FAILED(hr))
        return hr;
    if (!external) {
        DWORD size = 0;
        hr = manager->ReadMediaData(name, 0, 0, nullptr, &size);
        if (FAILED(hr) || size == 0)
            return hr;
        std::vector<BYTE> buffer;
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            LOG_MSG("Media %s: no memory for %lu bytes", name, (unsigned long)size);
            return E_OUTOFMEMORY;
        }
        DWORD got = size;
        hr = manager->ReadMediaData(name, 0, 0, buffer.data(), &got);
        if (SUCCEEDED(hr))
            hr = TakeData(buffer.data(), got < size ? got : size, name);
        return hr;
    }
    char path[MAX_PATH] = {};
    hr = manager->GetMediaFilePath(name, 2, path, MAX_PATH);
    if (FAILED(hr))
        return hr;
    path[MAX_PATH - 1] = 0;
    DWORD size = 0;
    void* view = MapFileView(path, &size);
    if (!view)
        return E_FAIL;
    if (size == 0) {
        UnmapViewOfFile(view);
        return E_FAIL;
    }
    void* copy = VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (copy) {
        memcpy(copy, view, size);
        UnmapViewOfFile(view);
        hr = TakeData(copy, size, name);
        VirtualFree(copy, 0, MEM_RELEASE);
        return hr;
    }
    hr = TakeData(view, size, name);
    UnmapViewOfFile(view);
    return hr;
}
