#include "bMemSource.h"

#include "bListEnumerator.h"

#include <string.h>

// The text functions this code uses are bounded by hand.
#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <deque>
#include <new>

CMemSourceStream::CMemSourceStream(const BYTE* data, LONGLONG length, DWORD rate)
    : m_data(data), m_length(length), m_position(0), m_rate(rate), m_start(timeGetTime()) {
    InitializeCriticalSection(&m_lock);
}

CMemSourceStream::~CMemSourceStream() {
    DeleteCriticalSection(&m_lock);
}

HRESULT CMemSourceStream::SetPointer(LONGLONG position) {
    if (position < 0 || position > m_length)
        return S_FALSE;
    m_position = position;
    return S_OK;
}

HRESULT CMemSourceStream::Read(BYTE* buffer, DWORD count, BOOL, DWORD* read) {
    Lock();
    if ((LONGLONG)count > m_length - m_position)
        count = (DWORD)(m_length - m_position);
    if (m_rate != INFINITE && m_rate != 0) {
        // Due (position + count) / rate ms after the start; 64-bit, so a
        // long stream's times do not wrap.
        const ULONGLONG due = (ULONGLONG)(m_position + count) / m_rate;
        const ULONGLONG now = (DWORD)(timeGetTime() - m_start);
        if (due > now)
            Sleep((DWORD)(due - now));
    }
    memcpy(buffer, m_data + m_position, count);
    m_position += count;
    if (read)
        *read = count;
    Unlock();
    return S_OK;
}

LONGLONG CMemSourceStream::Size(LONGLONG* available) {
    if (available) {
        if (m_rate == INFINITE || m_rate == 0) {
            *available = m_length;
        } else {
            const ULONGLONG due = (ULONGLONG)(DWORD)(timeGetTime() - m_start) * m_rate;
            *available = (ULONGLONG)m_length < due ? m_length : (LONGLONG)due;
        }
    }
    return m_length;
}

namespace {

// The output pin with the reader interface; counted with its filter.
class COutputPin final : public IPin, public IAsyncReader {
public:
    BEGIN_COM_MAP(COutputPin)
    COM_INTERFACE_ENTRY(IPin)
    COM_INTERFACE_ENTRY(IAsyncReader)
    END_COM_MAP()

    COutputPin(IBaseFilter* filter, CMemSourceStream* stream, const AM_MEDIA_TYPE& mt)
        : m_filter(filter), m_stream(stream), m_mt(mt), m_connected(nullptr), m_flushing(false) {
        InitializeCriticalSection(&m_lock);
        m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~COutputPin() {
        if (m_connected)
            m_connected->Release();
        CloseHandle(m_ready);
        DeleteCriticalSection(&m_lock);
    }

    DECLARE_PART_IUNKNOWN(m_filter)

    // IPin
    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* mt) override {
        if (!receiver)
            return E_POINTER;
        if (m_connected)
            return VFW_E_ALREADY_CONNECTED;
        if (mt && !IsPartial(mt) && CheckType(mt) != S_OK)
            return VFW_E_TYPE_NOT_ACCEPTED;
        HRESULT hr = receiver->ReceiveConnection(static_cast<IPin*>(this), &m_mt);
        if (FAILED(hr))
            return hr;
        m_connected = receiver;
        m_connected->AddRef();
        return S_OK;
    }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override {
        if (!m_connected)
            return S_FALSE;
        m_connected->Release();
        m_connected = nullptr;
        return S_OK;
    }
    STDMETHODIMP ConnectedTo(IPin** pin) override {
        if (!pin)
            return E_POINTER;
        *pin = m_connected;
        if (!m_connected)
            return VFW_E_NOT_CONNECTED;
        m_connected->AddRef();
        return S_OK;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override {
        if (!mt)
            return E_POINTER;
        if (!m_connected) {
            memset(mt, 0, sizeof(*mt));
            return VFW_E_NOT_CONNECTED;
        }
        *mt = m_mt;
        return S_OK;
    }
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
        if (!dir)
            return E_POINTER;
        *dir = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR* id) override {
        if (!id)
            return E_POINTER;
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(L"Output")));
        if (!*id)
            return E_OUTOFMEMORY;
        memcpy(*id, L"Output", sizeof(L"Output"));
        return S_OK;
    }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override { return CheckType(mt); }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override {
        if (!out)
            return E_POINTER;
        return CMediaTypeEnumerator::Create(&m_mt, 1, out);
    }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    // Serves IPin and IAsyncReader alike: a flush ends every wait.
    STDMETHODIMP BeginFlush() override {
        EnterCriticalSection(&m_lock);
        m_flushing = true;
        for (const Done& d : m_done) d.sample->Release();
        m_done.clear();
        SetEvent(m_ready);
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    STDMETHODIMP EndFlush() override {
        EnterCriticalSection(&m_lock);
        m_flushing = false;
        ResetEvent(m_ready);
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IAsyncReader
    STDMETHODIMP RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* props,
                                  IMemAllocator** actual) override {
        if (!props || !actual)
            return E_POINTER;
        *actual = nullptr;
        ALLOCATOR_PROPERTIES want = *props;
        if (want.cbAlign < 1)
            want.cbAlign = 1;
        ALLOCATOR_PROPERTIES got;
        if (preferred && SUCCEEDED(preferred->SetProperties(&want, &got))) {
            preferred->AddRef();
            *actual = preferred;
            return S_OK;
        }
        IMemAllocator* mine = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IMemAllocator, reinterpret_cast<void**>(&mine));
        if (FAILED(hr))
            return hr;
        hr = mine->SetProperties(&want, &got);
        if (FAILED(hr)) {
            mine->Release();
            return hr;
        }
        *actual = mine;
        return S_OK;
    }
    STDMETHODIMP Request(IMediaSample* sample, DWORD_PTR user) override {
        if (!sample)
            return E_POINTER;
        EnterCriticalSection(&m_lock);
        const bool flushing = m_flushing;
        LeaveCriticalSection(&m_lock);
        if (flushing)
            return VFW_E_WRONG_STATE;
        HRESULT hr = ReadSample(sample);
        if (FAILED(hr))
            return hr;
        sample->AddRef();
        EnterCriticalSection(&m_lock);
        m_done.push_back({sample, user, hr});
        SetEvent(m_ready);
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    STDMETHODIMP WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) override {
        if (!sample || !user)
            return E_POINTER;
        *sample = nullptr;
        *user = 0;
        for (;;) {
            EnterCriticalSection(&m_lock);
            if (!m_done.empty()) {
                Done d = m_done.front();
                m_done.pop_front();
                if (m_done.empty() && !m_flushing)
                    ResetEvent(m_ready);
                LeaveCriticalSection(&m_lock);
                *sample = d.sample;
                *user = d.user;
                // The request's reference goes to the caller's pointer.
                d.sample->Release();
                return d.hr;
            }
            const bool flushing = m_flushing;
            LeaveCriticalSection(&m_lock);
            if (flushing)
                return VFW_E_WRONG_STATE;
            if (WaitForSingleObject(m_ready, timeout) == WAIT_TIMEOUT)
                return VFW_E_TIMEOUT;
        }
    }
    STDMETHODIMP SyncReadAligned(IMediaSample* sample) override {
        if (!sample)
            return E_POINTER;
        return ReadSample(sample);
    }
    STDMETHODIMP SyncRead(LONGLONG position, LONG length, BYTE* buffer) override {
        if (!buffer)
            return E_POINTER;
        if (position < 0 || length < 0)
            return E_INVALIDARG;
        return ReadAt(position, (DWORD)length, buffer, nullptr);
    }
    STDMETHODIMP Length(LONGLONG* total, LONGLONG* available) override {
        if (!total || !available)
            return E_POINTER;
        *total = m_stream->Size(available);
        return *available < *total ? VFW_S_ESTIMATED : S_OK;
    }

private:
    struct Done {
        IMediaSample* sample;
        DWORD_PTR user;
        HRESULT hr;
    };

    static bool IsPartial(const AM_MEDIA_TYPE* mt) {
        return mt->majortype == GUID_NULL || mt->subtype == GUID_NULL;
    }
    HRESULT CheckType(const AM_MEDIA_TYPE* mt) const {
        if (!mt)
            return E_POINTER;
        if (mt->majortype != m_mt.majortype)
            return S_FALSE;
        if (m_mt.subtype != GUID_NULL && mt->subtype != m_mt.subtype)
            return S_FALSE;
        return S_OK;
    }
    // Bytes from the position; a request past the block is cut to it and
    // answers S_FALSE with the count read.
    HRESULT ReadAt(LONGLONG position, DWORD count, BYTE* buffer, DWORD* read) {
        DWORD got = 0;
        m_stream->Lock();
        HRESULT hr = m_stream->SetPointer(position);
        if (hr == S_OK)
            hr = m_stream->Read(buffer, count, FALSE, &got);
        else
            hr = S_FALSE;
        m_stream->Unlock();
        if (read)
            *read = got;
        return hr == S_OK && got == count ? S_OK : S_FALSE;
    }
    // Sample times are byte positions scaled by ten million.
    HRESULT ReadSample(IMediaSample* sample) {
        REFERENCE_TIME start = 0, stop = 0;
        HRESULT hr = sample->GetTime(&start, &stop);
        if (FAILED(hr))
            return hr;
        BYTE* buffer = nullptr;
        hr = sample->GetPointer(&buffer);
        if (FAILED(hr))
            return hr;
        const LONGLONG position = start / 10000000;
        LONGLONG length = (stop - start) / 10000000;
        if (position < 0 || length < 0)
            return E_INVALIDARG;
        if (length > sample->GetSize())
            length = sample->GetSize();
        DWORD read = 0;
        hr = ReadAt(position, (DWORD)length, buffer, &read);
        sample->SetActualDataLength((LONG)read);
        if (read < length) {
            REFERENCE_TIME end = start + (REFERENCE_TIME)read * 10000000;
            sample->SetTime(&start, &end);
        }
        return hr;
    }

    IBaseFilter* m_filter;  // the owner, not counted
    CMemSourceStream* m_stream;
    AM_MEDIA_TYPE m_mt;
    IPin* m_connected;
    bool m_flushing;
    std::deque<Done> m_done;
    CRITICAL_SECTION m_lock;
    HANDLE m_ready;
};

class CMemReader : public CComObjectRootBase, public IBaseFilter {
public:
    BEGIN_COM_MAP(CMemReader)
    COM_INTERFACE_ENTRY(IBaseFilter)
    COM_INTERFACE_ENTRY_IID(IID_IMediaFilter, IBaseFilter)
    COM_INTERFACE_ENTRY_IID(IID_IPersist, IBaseFilter)
    END_COM_MAP()

    CMemReader(const void* data, DWORD size, const GUID* subtype)
        : m_stream(static_cast<const BYTE*>(data), size),
          m_pin(nullptr),
          m_graph(nullptr),
          m_clock(nullptr),
          m_state(State_Stopped) {
        AM_MEDIA_TYPE mt = {};
        mt.majortype = MEDIATYPE_Stream;
        mt.subtype = subtype ? *subtype : GUID_NULL;
        mt.bFixedSizeSamples = TRUE;
        mt.lSampleSize = 1;
        mt.formattype = GUID_NULL;
        m_pin = new COutputPin(this, &m_stream, mt);
        m_name[0] = 0;
    }
    ~CMemReader() {
        delete m_pin;
        if (m_clock)
            m_clock->Release();
    }
    IPin* Pin() { return m_pin; }

    STDMETHODIMP GetClassID(CLSID* id) override {
        if (!id)
            return E_POINTER;
        *id = CLSID_AsyncReader;
        return S_OK;
    }
    STDMETHODIMP Stop() override {
        m_state = State_Stopped;
        return S_OK;
    }
    STDMETHODIMP Pause() override {
        m_state = State_Paused;
        return S_OK;
    }
    STDMETHODIMP Run(REFERENCE_TIME) override {
        m_state = State_Running;
        return S_OK;
    }
    STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
        if (!state)
            return E_POINTER;
        *state = m_state;
        return S_OK;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override {
        if (clock)
            clock->AddRef();
        if (m_clock)
            m_clock->Release();
        m_clock = clock;
        return S_OK;
    }
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
        if (!clock)
            return E_POINTER;
        *clock = m_clock;
        if (m_clock)
            m_clock->AddRef();
        return S_OK;
    }
    STDMETHODIMP EnumPins(IEnumPins** out) override {
        if (!out)
            return E_POINTER;
        CComPtr<IPin> pin(m_pin);
        return CPinEnumerator::Create(std::addressof(pin), 1, out);
    }
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override {
        if (!id || !pin)
            return E_POINTER;
        *pin = nullptr;
        if (lstrcmpW(id, L"Output") != 0)
            return VFW_E_NOT_FOUND;
        *pin = m_pin;
        m_pin->AddRef();
        return S_OK;
    }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
        if (!info)
            return E_POINTER;
        lstrcpynW(info->achName, m_name, MAX_FILTER_NAME);
        info->pGraph = m_graph;
        if (m_graph)
            m_graph->AddRef();
        return S_OK;
    }
    // The graph holds the filter; the filter does not hold the graph.
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        m_graph = graph;
        if (name)
            lstrcpynW(m_name, name, MAX_FILTER_NAME);
        else
            m_name[0] = 0;
        return S_OK;
    }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

private:
    CMemSourceStream m_stream;
    COutputPin* m_pin;
    IFilterGraph* m_graph;
    IReferenceClock* m_clock;
    FILTER_STATE m_state;
    WCHAR m_name[MAX_FILTER_NAME];
};

STDMETHODIMP COutputPin::QueryPinInfo(PIN_INFO* info) {
    if (!info)
        return E_POINTER;
    info->pFilter = m_filter;
    m_filter->AddRef();
    info->dir = PINDIR_OUTPUT;
    lstrcpynW(info->achName, L"Output", MAX_PIN_NAME);
    return S_OK;
}

}  // namespace

HRESULT CreateMemReader(const void* data, DWORD size, const GUID* subtype, IBaseFilter** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!data)
        return E_INVALIDARG;
    CComObject<CMemReader>* reader = new (std::nothrow) CComObject<CMemReader>(data, size, subtype);
    if (!reader)
        return E_OUTOFMEMORY;
    reader->AddRef();
    *out = reader;
    return S_OK;
}

HRESULT GetMemReaderPin(IBaseFilter* reader, IPin** out) {
    if (!reader || !out)
        return E_POINTER;
    return reader->FindPin(L"Output", out);
}

HRESULT RenderMemReader(IGraphBuilder* graph, const void* data, DWORD size, const GUID* subtype,
                        IBaseFilter** reader) {
    *reader = nullptr;
    HRESULT hr = CreateMemReader(data, size, subtype, reader);
    if (SUCCEEDED(hr))
        hr = graph->AddFilter(*reader, nullptr);
    IPin* pin = nullptr;
    if (SUCCEEDED(hr))
        hr = GetMemReaderPin(*reader, &pin);
    if (SUCCEEDED(hr))
        hr = graph->Render(pin);
    if (pin)
        pin->Release();
    return hr;
}
