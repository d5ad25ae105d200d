// Factories of storages and streams.
#include "aStorage.h"

#include "aFileStm.h"
#include "aMemStm.h"
#include "aOleStor.h"
#include "aPacStor.h"
#include "bStrConv.h"
#include "bTraceLog.h"

// Wraps an OLE storage in the adaptor; the out pointer gets a reference.
static HRESULT WrapDocfile(IStorage* storage, DWORD grfMode, const char* name, ITeskStorage** out) {
    CComObject<CStrStorage>* adaptor = nullptr;
    HRESULT hr = WrapOleStorage(storage, grfMode, name, &adaptor);
    if (FAILED(hr))
        return hr;
    adaptor->Initialize(nullptr);
    *out = adaptor;
    return S_OK;
}

HRESULT CreateTeskStorage(const char* name, int kind, ITeskStorage** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    switch (kind) {
        case 0:
        case 8:
            return CreateTeskDocfile(name, out);
        case TESK_STG_PACKED:
            return CreatePacStorage(name, out);
        default:
            return E_INVALIDARG;
    }
}

HRESULT CreateTeskDocfile(const char* name, ITeskStorage** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    IStorage* storage = nullptr;
    HRESULT hr = StgCreateDocfile(WideFromMultibyte(name).c_str(), OLE_MODE_CREATE, 0, &storage);
    if (FAILED(hr))
        return hr;
    hr = WrapDocfile(storage, OLE_MODE_CREATE, name, out);
    storage->Release();
    return hr;
}

HRESULT CreatePacStorage(const char* name, ITeskStorage** out) {
    TRACE_POINT();
    (void)name;
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CPacStorage>* root = nullptr;
    if (FAILED(CComObject<CPacStorage>::CreateInstance(&root)))
        return E_OUTOFMEMORY;
    root->AddRef();
    root->Initialize(nullptr);
    *out = root;
    return S_OK;
}

HRESULT OpenTeskStorage(const char* name, int mode, int kind, ITeskStorage** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    switch (kind) {
        case TESK_STG_DOCFILE:
            return OpenTeskDocfile(name, mode, out);
        case TESK_STG_PACKED:
            return OpenPacStorage(name, out);
        default:
            return E_INVALIDARG;
    }
}

HRESULT OpenTeskDocfile(const char* name, int mode, ITeskStorage** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    DWORD grfMode;
    switch (mode) {
        case TESK_MODE_READ:
            grfMode = OLE_MODE_READ;
            break;
        case TESK_MODE_READWRITE:
            grfMode = OLE_MODE_READWRITE;
            break;
        default:
            return E_INVALIDARG;
    }
    IStorage* storage = nullptr;
    HRESULT hr =
        StgOpenStorage(WideFromMultibyte(name).c_str(), nullptr, grfMode, nullptr, 0, &storage);
    if (FAILED(hr))
        return hr;
    hr = WrapDocfile(storage, grfMode, name, out);
    storage->Release();
    return hr;
}

HRESULT OpenPacStorage(const char* name, ITeskStorage** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CPacStorage>* root = nullptr;
    if (FAILED(CComObject<CPacStorage>::CreateInstance(&root)))
        return E_OUTOFMEMORY;
    root->AddRef();
    root->Initialize(nullptr);
    HRESULT hr = root->LocateRuntimeHeader(name);
    if (FAILED(hr)) {
        root->Release();
        return hr;
    }
    *out = root;
    return S_OK;
}

HRESULT CreateMemStream(ITeskStream** out, int blockSize) {
    TRACE_POINT();
    if (!out || blockSize < 1)
        return E_INVALIDARG;
    *out = nullptr;
    CComObject<CMemStream>* stream = nullptr;
    if (FAILED(CComObject<CMemStream>::CreateInstance(&stream)))
        return E_OUTOFMEMORY;
    stream->AddRef();
    try {
        stream->Init(blockSize, blockSize);
    } catch (const CTeskStreamExcept&) {
        stream->Release();
        return E_OUTOFMEMORY;
    }
    *out = stream;
    return S_OK;
}

HRESULT OpenFileStream(const char* name, int mode, ITeskStream** out) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!name || !*name)
        return E_INVALIDARG;
    CComObject<CFileStream>* stream = nullptr;
    if (FAILED(CComObject<CFileStream>::CreateInstance(&stream)))
        return E_OUTOFMEMORY;
    stream->AddRef();
    HRESULT hr = stream->Open(name, mode);
    // A stream of an unknown mode has no file: nothing to hand out.
    if (SUCCEEDED(hr) && !stream->HasFile())
        hr = E_FAIL;
    if (FAILED(hr)) {
        stream->Release();
        return hr;
    }
    *out = stream;
    return S_OK;
}
