#include "TestCamera.h"

#include <string.h>

#include <algorithm>
#include <new>

namespace {

// {7C3E29A1-52F4-4D0B-9A61-0E8D4F3B6C21}
const CLSID kTestCameraClass = {
    0x7C3E29A1, 0x52F4, 0x4D0B, {0x9A, 0x61, 0x0E, 0x8D, 0x4F, 0x3B, 0x6C, 0x21}};

class Camera;

// The one format, with a freshly allocated block.
void CopyType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
    *to = from;
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
    to->pUnk = nullptr;
}

AM_MEDIA_TYPE* NewType(const AM_MEDIA_TYPE& from) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    CopyType(from, type);
    return type;
}

class TypeList final : public IEnumMediaTypes {
public:
    TypeList(const AM_MEDIA_TYPE& type, ULONG at) : m_type(type), m_at(at) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return InterlockedIncrement(&m_ref); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = InterlockedDecrement(&m_ref);
        if (!left)
            delete this;
        return left;
    }
    STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
        ULONG n = 0;
        if (count && m_at == 0) {
            types[0] = NewType(m_type);
            m_at = n = 1;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override {
        m_at += count;
        return m_at <= 1 ? S_OK : S_FALSE;
    }
    STDMETHOD(Reset)() override {
        m_at = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(IEnumMediaTypes** out) override {
        *out = new TypeList(m_type, m_at);
        return S_OK;
    }

private:
    AM_MEDIA_TYPE m_type;  // borrowed from the pin
    ULONG m_at;
    LONG m_ref = 1;
};

class Pin final : public IPin, public IKsPropertySet, public IAMStreamConfig {
public:
    Pin(Camera* owner, int width, int height);
    ~Pin() { CoTaskMemFree(m_type.pbFormat); }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // IPin.
    STDMETHOD(Connect)(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    STDMETHOD(ReceiveConnection)(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHOD(Disconnect)() override {
        if (!m_peer)
            return S_FALSE;
        ReleaseConnection();
        return S_OK;
    }
    STDMETHOD(ConnectedTo)(IPin** out) override {
        *out = m_peer;
        if (!m_peer)
            return VFW_E_NOT_CONNECTED;
        m_peer->AddRef();
        return S_OK;
    }
    STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* type) override {
        if (!m_peer)
            return VFW_E_NOT_CONNECTED;
        CopyType(m_type, type);
        return S_OK;
    }
    STDMETHOD(QueryPinInfo)(PIN_INFO* info) override;
    STDMETHOD(QueryDirection)(PIN_DIRECTION* direction) override {
        *direction = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHOD(QueryId)(LPWSTR* id) override {
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(L"Capture")));
        memcpy(*id, L"Capture", sizeof(L"Capture"));
        return S_OK;
    }
    STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* type) override {
        return Matches(type) ? S_OK : S_FALSE;
    }
    STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** out) override {
        *out = new TypeList(m_type, 0);
        return S_OK;
    }
    STDMETHOD(QueryInternalConnections)(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHOD(EndOfStream)() override { return E_UNEXPECTED; }
    STDMETHOD(BeginFlush)() override { return E_UNEXPECTED; }
    STDMETHOD(EndFlush)() override { return E_UNEXPECTED; }
    STDMETHOD(NewSegment)(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    // IKsPropertySet: the pin's category.
    STDMETHOD(Set)(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Get)
    (REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD size, DWORD* returned) override {
        if (set != AMPROPSETID_Pin || id != AMPROPERTY_PIN_CATEGORY)
            return E_PROP_ID_UNSUPPORTED;
        if (returned)
            *returned = sizeof(GUID);
        if (!data)
            return S_OK;
        if (size < sizeof(GUID))
            return E_UNEXPECTED;
        *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
        return S_OK;
    }
    STDMETHOD(QuerySupported)(REFGUID set, DWORD id, DWORD* support) override {
        if (set != AMPROPSETID_Pin || id != AMPROPERTY_PIN_CATEGORY)
            return E_PROP_ID_UNSUPPORTED;
        if (support)
            *support = KSPROPERTY_SUPPORT_GET;
        return S_OK;
    }
    // IAMStreamConfig: the one format; a set keeps its frame time.
    STDMETHOD(SetFormat)(AM_MEDIA_TYPE* type) override {
        if (!type || type->formattype != FORMAT_VideoInfo ||
            type->cbFormat < sizeof(VIDEOINFOHEADER))
            return E_INVALIDARG;
        Format()->AvgTimePerFrame =
            reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame;
        return S_OK;
    }
    STDMETHOD(GetFormat)(AM_MEDIA_TYPE** type) override {
        *type = NewType(m_type);
        return S_OK;
    }
    STDMETHOD(GetNumberOfCapabilities)(int* count, int* size) override {
        *count = 1;
        *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    STDMETHOD(GetStreamCaps)(int index, AM_MEDIA_TYPE** type, BYTE* caps) override {
        if (index != 0)
            return S_FALSE;
        *type = NewType(m_type);
        memset(caps, 0, sizeof(VIDEO_STREAM_CONFIG_CAPS));
        return S_OK;
    }

    VIDEOINFOHEADER* Format() { return reinterpret_cast<VIDEOINFOHEADER*>(m_type.pbFormat); }
    // Commits the allocator and starts delivering, or stops.
    HRESULT Start(DWORD colour);
    void Halt();
    LONG Frames() const { return m_frames; }

private:
    bool Matches(const AM_MEDIA_TYPE* type) const {
        return type && type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_RGB32;
    }
    void ReleaseConnection();
    static DWORD WINAPI Deliver(void* self);

    Camera* m_owner;
    AM_MEDIA_TYPE m_type;
    IPin* m_peer = nullptr;
    IMemInputPin* m_input = nullptr;
    IMemAllocator* m_allocator = nullptr;
    HANDLE m_thread = nullptr;
    volatile LONG m_running = 0;
    volatile LONG m_frames = 0;
    DWORD m_colour = 0;
};

class Camera final : public IBaseFilter {
public:
    Camera(int width, int height, DWORD colour) : m_pin(this, width, height), m_colour(colour) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter ||
            iid == IID_IBaseFilter) {
            *ppv = static_cast<IBaseFilter*>(this);
            AddRef();
            return S_OK;
        }
        if (iid == kTestCameraClass) {  // for the helpers: not counted
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return InterlockedIncrement(&m_ref); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = InterlockedDecrement(&m_ref);
        if (!left) {
            m_pin.Halt();
            delete this;
        }
        return left;
    }
    STDMETHOD(GetClassID)(CLSID* id) override {
        *id = kTestCameraClass;
        return S_OK;
    }
    STDMETHOD(Stop)() override {
        m_pin.Halt();
        m_state = State_Stopped;
        return S_OK;
    }
    STDMETHOD(Pause)() override {
        m_state = State_Paused;
        return S_OK;
    }
    STDMETHOD(Run)(REFERENCE_TIME) override {
        m_state = State_Running;
        return m_pin.Start(m_colour);
    }
    // A live source: nothing to cue while paused.
    STDMETHOD(GetState)(DWORD, FILTER_STATE* state) override {
        *state = m_state;
        return m_state == State_Paused ? VFW_S_CANT_CUE : S_OK;
    }
    STDMETHOD(SetSyncSource)(IReferenceClock*) override { return S_OK; }
    STDMETHOD(GetSyncSource)(IReferenceClock** clock) override {
        *clock = nullptr;
        return S_OK;
    }
    STDMETHOD(EnumPins)(IEnumPins** out) override;
    STDMETHOD(FindPin)(LPCWSTR id, IPin** out) override {
        *out = nullptr;
        if (wcscmp(id, L"Capture") != 0)
            return VFW_E_NOT_FOUND;
        *out = &m_pin;
        m_pin.AddRef();
        return S_OK;
    }
    STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) override {
        wcscpy(info->achName, L"Test camera");
        info->pGraph = m_graph;
        if (m_graph)
            m_graph->AddRef();
        return S_OK;
    }
    STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR) override {
        m_graph = graph;  // not counted: the graph holds the filter
        return S_OK;
    }
    STDMETHOD(QueryVendorInfo)(LPWSTR*) override { return E_NOTIMPL; }

    Pin* GetPin() { return &m_pin; }

private:
    Pin m_pin;
    DWORD m_colour;
    LONG m_ref = 1;
    FILTER_STATE m_state = State_Stopped;
    IFilterGraph* m_graph = nullptr;
};

class PinList final : public IEnumPins {
public:
    PinList(Camera* camera, ULONG at) : m_camera(camera), m_at(at) { m_camera->AddRef(); }
    ~PinList() { m_camera->Release(); }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_IEnumPins) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return InterlockedIncrement(&m_ref); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = InterlockedDecrement(&m_ref);
        if (!left)
            delete this;
        return left;
    }
    STDMETHOD(Next)(ULONG count, IPin** pins, ULONG* fetched) override {
        ULONG n = 0;
        if (count && m_at == 0) {
            pins[0] = m_camera->GetPin();
            pins[0]->AddRef();
            m_at = n = 1;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHOD(Skip)(ULONG count) override {
        m_at += count;
        return m_at <= 1 ? S_OK : S_FALSE;
    }
    STDMETHOD(Reset)() override {
        m_at = 0;
        return S_OK;
    }
    STDMETHOD(Clone)(IEnumPins** out) override {
        *out = new PinList(m_camera, m_at);
        return S_OK;
    }

private:
    Camera* m_camera;
    ULONG m_at;
    LONG m_ref = 1;
};

STDMETHODIMP Camera::EnumPins(IEnumPins** out) {
    *out = new PinList(this, 0);
    return S_OK;
}

Pin::Pin(Camera* owner, int width, int height) : m_owner(owner), m_type() {
    m_type.majortype = MEDIATYPE_Video;
    m_type.subtype = MEDIASUBTYPE_RGB32;
    m_type.bFixedSizeSamples = TRUE;
    m_type.lSampleSize = (ULONG)(width * height * 4);
    m_type.formattype = FORMAT_VideoInfo;
    m_type.cbFormat = sizeof(VIDEOINFOHEADER);
    m_type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    memset(m_type.pbFormat, 0, sizeof(VIDEOINFOHEADER));
    VIDEOINFOHEADER* v = Format();
    v->AvgTimePerFrame = 666666;  // 15 frames a second
    v->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    v->bmiHeader.biWidth = width;
    v->bmiHeader.biHeight = height;
    v->bmiHeader.biPlanes = 1;
    v->bmiHeader.biBitCount = 32;
    v->bmiHeader.biCompression = BI_RGB;
    v->bmiHeader.biSizeImage = m_type.lSampleSize;
}

STDMETHODIMP Pin::QueryInterface(REFIID iid, void** ppv) {
    if (iid == IID_IUnknown || iid == IID_IPin)
        *ppv = static_cast<IPin*>(this);
    else if (iid == IID_IKsPropertySet)
        *ppv = static_cast<IKsPropertySet*>(this);
    else if (iid == IID_IAMStreamConfig)
        *ppv = static_cast<IAMStreamConfig*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// The pin lives as long as its camera.
STDMETHODIMP_(ULONG) Pin::AddRef() {
    return m_owner->AddRef();
}

STDMETHODIMP_(ULONG) Pin::Release() {
    return m_owner->Release();
}

STDMETHODIMP Pin::QueryPinInfo(PIN_INFO* info) {
    info->pFilter = m_owner;
    m_owner->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcscpy(info->achName, L"Capture");
    return S_OK;
}

STDMETHODIMP Pin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver)
        return E_POINTER;
    if (m_peer)
        return VFW_E_ALREADY_CONNECTED;
    if (type && type->majortype != GUID_NULL && !Matches(type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receiver->ReceiveConnection(this, &m_type);
    if (FAILED(hr))
        return VFW_E_NO_ACCEPTABLE_TYPES;
    hr = receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_input));
    if (SUCCEEDED(hr) && FAILED(m_input->GetAllocator(&m_allocator)))
        hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IMemAllocator, reinterpret_cast<void**>(&m_allocator));
    if (SUCCEEDED(hr)) {
        ALLOCATOR_PROPERTIES wanted = {2, (long)m_type.lSampleSize, 1, 0}, got = {};
        hr = m_allocator->SetProperties(&wanted, &got);
    }
    if (SUCCEEDED(hr))
        hr = m_input->NotifyAllocator(m_allocator, FALSE);
    m_peer = receiver;
    m_peer->AddRef();
    if (FAILED(hr)) {
        receiver->Disconnect();
        ReleaseConnection();
    }
    return hr;
}

void Pin::ReleaseConnection() {
    Halt();
    if (m_input) {
        m_input->Release();
        m_input = nullptr;
    }
    if (m_allocator) {
        m_allocator->Release();
        m_allocator = nullptr;
    }
    if (m_peer) {
        m_peer->Release();
        m_peer = nullptr;
    }
}

HRESULT Pin::Start(DWORD colour) {
    if (!m_allocator || m_thread)
        return S_OK;
    m_colour = colour;
    HRESULT hr = m_allocator->Commit();
    if (FAILED(hr))
        return hr;
    m_running = 1;
    m_thread = CreateThread(nullptr, 0, Deliver, this, 0, nullptr);
    return m_thread ? S_OK : E_FAIL;
}

void Pin::Halt() {
    if (!m_thread)
        return;
    m_running = 0;
    if (m_allocator)
        m_allocator->Decommit();  // a thread waiting for a buffer gives up
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
}

DWORD WINAPI Pin::Deliver(void* self) {
    Pin* pin = static_cast<Pin*>(self);
    while (pin->m_running) {
        IMediaSample* sample = nullptr;
        if (FAILED(pin->m_allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample)
            break;
        BYTE* bytes = nullptr;
        sample->GetPointer(&bytes);
        const long size = std::min<long>(sample->GetSize(), (long)pin->m_type.lSampleSize);
        for (long i = 0; i + 4 <= size; i += 4) memcpy(bytes + i, &pin->m_colour, 4);
        sample->SetActualDataLength(size);
        sample->SetTime(nullptr, nullptr);
        sample->SetSyncPoint(TRUE);
        const HRESULT hr = pin->m_input->Receive(sample);
        sample->Release();
        if (FAILED(hr))
            break;
        InterlockedIncrement(&pin->m_frames);
        Sleep(20);
    }
    return 0;
}

Camera* AsCamera(IBaseFilter* filter) {
    void* camera = nullptr;
    if (!filter || FAILED(filter->QueryInterface(kTestCameraClass, &camera)))
        return nullptr;
    return static_cast<Camera*>(camera);
}

}  // namespace

IBaseFilter* CreateTestCamera(int width, int height, DWORD colour) {
    return new (std::nothrow) Camera(width, height, colour);
}

bool TestCameraFormat(IBaseFilter* camera, VIDEOINFOHEADER* format) {
    Camera* c = AsCamera(camera);
    if (!c)
        return false;
    *format = *c->GetPin()->Format();
    return true;
}

LONG TestCameraFrames(IBaseFilter* camera) {
    Camera* c = AsCamera(camera);
    return c ? c->GetPin()->Frames() : 0;
}
