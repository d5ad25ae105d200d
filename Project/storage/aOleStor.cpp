// OLE compound-file adaptors.
#include "aOleStor.h"

#include "bStrConv.h"
#include "bTraceLog.h"

#include <string.h>

DWORD OleOpenMode(int mode) {
    switch (mode) {
        case TESK_MODE_READ:
            return OLE_MODE_READ;
        case TESK_MODE_READWRITE:
            return OLE_MODE_READWRITE;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- CStrStream

CStrStream::CStrStream() : m_stream(nullptr), m_closed(0), m_position(0), m_tag(10) {}

void CStrStream::Attach(IStream* stream) {
    if (stream)
        stream->AddRef();
    if (m_stream)
        m_stream->Release();
    m_stream = stream;
    m_closed = 0;
    m_position = 0;
}

STDMETHODIMP CStrStream::Close() {
    if (m_closed)
        return S_OK;
    m_closed = 1;
    if (m_stream) {
        m_stream->Release();
        m_stream = nullptr;
    }
    m_position = 0;
    return S_OK;
}

STDMETHODIMP_(ULONGLONG) CStrStream::RawGetSize() {
    if (!m_stream)
        return 0;
    STATSTG stat;
    memset(&stat, 0, sizeof(stat));
    if (FAILED(m_stream->Stat(&stat, STATFLAG_NONAME)))
        return 0;
    return stat.cbSize.QuadPart;
}

STDMETHODIMP_(ULONG) CStrStream::RawRead(void* buffer, ULONG n) {
    ULONG got = 0;
    if (m_stream && n)
        m_stream->Read(buffer, n, &got);
    m_position += got;
    if (got < n)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    return got;
}

STDMETHODIMP_(ULONG) CStrStream::RawWrite(const void* buffer, ULONG n) {
    ULONG put = 0;
    if (m_stream && n)
        m_stream->Write(buffer, n, &put);
    m_position += put;
    if (put < n)
        ThrowTeskStreamExcept(TESK_EXC_SHORTWRITE, "not enough room to write , throw a exception!");
    return put;
}

STDMETHODIMP CStrStream::RawSeek(LONGLONG offset, int origin) {
    DWORD how;
    switch (origin) {
        case TESK_SEEK_SET:
            how = STREAM_SEEK_SET;
            break;
        case TESK_SEEK_CUR:
            how = STREAM_SEEK_CUR;
            break;
        case TESK_SEEK_END:
            how = STREAM_SEEK_END;
            break;
        default:
            m_position = (ULONGLONG)offset;
            return S_OK;
    }
    if (!m_stream)
        return S_OK;
    LARGE_INTEGER move;
    move.QuadPart = offset;
    ULARGE_INTEGER now;
    now.QuadPart = m_position;
    if (SUCCEEDED(m_stream->Seek(move, how, &now)))
        m_position = now.QuadPart;
    return S_OK;
}

// ---------------------------------------------------------------- CStrStorage

CStrStorage::CStrStorage() : m_mode(1), m_storage(nullptr), m_closed(0), m_grfMode(0), m_tag(0) {
    m_name[0] = 0;
}

void CStrStorage::Attach(IStorage* storage, DWORD grfMode, const char* name) {
    if (storage)
        storage->AddRef();
    if (m_storage)
        m_storage->Release();
    m_storage = storage;
    m_grfMode = grfMode;
    m_closed = 0;
    lstrcpynA(m_name, name ? name : "", sizeof(m_name));
}

STDMETHODIMP_(void) CStrStorage::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
    else
        this->~CStrStorage();
}

HRESULT WrapOleStorage(IStorage* storage, DWORD grfMode, const char* name,
                       CComObject<CStrStorage>** out) {
    if (FAILED(CComObject<CStrStorage>::CreateInstance(out)))
        return E_OUTOFMEMORY;
    (*out)->AddRef();
    (*out)->Attach(storage, grfMode, name);
    return S_OK;
}

HRESULT WrapOleStream(IStream* stream, CComObject<CStrStream>** out) {
    if (FAILED(CComObject<CStrStream>::CreateInstance(out)))
        return E_OUTOFMEMORY;
    (*out)->AddRef();
    (*out)->Attach(stream);
    return S_OK;
}

namespace {

// The checks every child call starts with: a place for the answer, an open storage.
template <class T>
HRESULT BeginChild(T** out, IStorage* storage) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return storage ? S_OK : E_UNEXPECTED;
}

// The adaptor over an element an OLE call handed out; the call's reference
// is dropped whether or not an adaptor could be made.
HRESULT AdoptOleStorage(IStorage* sub, DWORD grfMode, const char* name,
                        CComObject<CStrStorage>** out) {
    HRESULT hr = WrapOleStorage(sub, grfMode, name, out);
    sub->Release();
    return hr;
}

HRESULT AdoptOleStream(IStream* sub, CComObject<CStrStream>** out) {
    HRESULT hr = WrapOleStream(sub, out);
    sub->Release();
    return hr;
}

}  // namespace

STDMETHODIMP CStrStorage::CreateStorage(const char* name, int tag, ITeskStorage** out) {
    TRACE_POINT();
    HRESULT hr = BeginChild(out, m_storage);
    if (FAILED(hr))
        return hr;
    IStorage* sub = nullptr;
    hr = m_storage->CreateStorage(WideFromMultibyte(name).c_str(), OLE_MODE_CREATE, 0, 0, &sub);
    if (FAILED(hr))
        return hr;
    CComObject<CStrStorage>* node = nullptr;
    hr = AdoptOleStorage(sub, OLE_MODE_CREATE, name, &node);
    if (FAILED(hr))
        return hr;
    node->Initialize(nullptr);
    node->SetTag(tag);
    *out = node;
    return S_OK;
}

STDMETHODIMP CStrStorage::CreateStream(const char* name, int tag, ITeskStream** out) {
    TRACE_POINT();
    HRESULT hr = BeginChild(out, m_storage);
    if (FAILED(hr))
        return hr;
    IStream* sub = nullptr;
    hr = m_storage->CreateStream(WideFromMultibyte(name).c_str(), OLE_MODE_CREATE, 0, 0, &sub);
    if (FAILED(hr))
        return hr;
    CComObject<CStrStream>* stream = nullptr;
    hr = AdoptOleStream(sub, &stream);
    if (FAILED(hr))
        return hr;
    stream->ResetPosition();
    stream->SetTag(tag);
    *out = stream;
    return S_OK;
}

STDMETHODIMP CStrStorage::OpenStorage(const char* name, int mode, ITeskStorage** out) {
    TRACE_POINT();
    HRESULT hr = BeginChild(out, m_storage);
    if (FAILED(hr))
        return hr;
    IStorage* sub = nullptr;
    hr = m_storage->OpenStorage(WideFromMultibyte(name).c_str(), nullptr, OleOpenMode(mode),
                                nullptr, 0, &sub);
    if (FAILED(hr))
        return hr;
    CComObject<CStrStorage>* node = nullptr;
    hr = AdoptOleStorage(sub, m_grfMode, name, &node);
    if (FAILED(hr))
        return hr;
    node->SetMode(0);
    *out = node;
    return S_OK;
}

STDMETHODIMP CStrStorage::OpenStream(const char* name, int mode, ITeskStream** out) {
    TRACE_POINT();
    HRESULT hr = BeginChild(out, m_storage);
    if (FAILED(hr))
        return hr;
    IStream* sub = nullptr;
    hr =
        m_storage->OpenStream(WideFromMultibyte(name).c_str(), nullptr, OleOpenMode(mode), 0, &sub);
    if (hr != S_OK) {
        if (sub)
            sub->Release();
        return FAILED(hr) ? hr : E_FAIL;
    }
    CComObject<CStrStream>* stream = nullptr;
    hr = AdoptOleStream(sub, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    *out = stream;
    return S_OK;
}

STDMETHODIMP CStrStorage::Commit() {
    if (!m_storage)
        return E_UNEXPECTED;
    return m_storage->Commit(STGC_DEFAULT);
}

STDMETHODIMP CStrStorage::Close() {
    if (m_closed)
        return S_OK;
    if (m_mode && m_storage)
        Commit();
    if (m_storage) {
        m_storage->Release();
        m_storage = nullptr;
    }
    m_closed = 1;
    return S_OK;
}

STDMETHODIMP CStrStorage::DestroyElement(const char* name) {
    if (!m_storage)
        return E_UNEXPECTED;
    return m_storage->DestroyElement(WideFromMultibyte(name).c_str());
}

namespace {

// Hands each element's name to visit until it answers false.
template <class Visit>
void EachElement(IStorage* storage, Visit visit) {
    IEnumSTATSTG* e = nullptr;
    if (!storage || FAILED(storage->EnumElements(0, nullptr, 0, &e)) || !e)
        return;
    bool more = true;
    STATSTG stat;
    while (more && e->Next(1, &stat, nullptr) == S_OK) {
        more = visit(stat.pwcsName);
        CoTaskMemFree(stat.pwcsName);
    }
    e->Release();
}

}  // namespace

STDMETHODIMP_(int) CStrStorage::CountElements() {
    int count = 0;
    EachElement(m_storage, [&](const wchar_t*) {
        ++count;
        return true;
    });
    return count;
}

STDMETHODIMP_(BOOL) CStrStorage::ElementExists(const char* name) {
    if (!m_storage)
        return FALSE;
    std::wstring wide = WideFromMultibyte(name);
    BOOL found = FALSE;
    EachElement(m_storage, [&](const wchar_t* element) {
        found = element && wcscmp(element, wide.c_str()) == 0;
        return !found;
    });
    return found;
}

STDMETHODIMP CStrStorage::EnumElements(IEnumSTATSTG** out) {
    HRESULT hr = BeginChild(out, m_storage);
    if (FAILED(hr))
        return hr;
    return m_storage->EnumElements(0, nullptr, 0, out);
}

STDMETHODIMP CStrStorage::CopyElementTo(const char* name, ITeskStorage* dest, const char* newName) {
    CStrStorage* target = dynamic_cast<CStrStorage*>(dest);
    if (!m_storage || !target || !target->m_storage)
        return E_INVALIDARG;
    return m_storage->MoveElementTo(WideFromMultibyte(name).c_str(), target->m_storage,
                                    WideFromMultibyte(newName).c_str(), STGMOVE_COPY);
}
