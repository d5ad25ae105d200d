#include "bVideoCap.h"

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>
#include <mmreg.h>
#include <msacm.h>

#include <new>
#include <vector>

#include "aUtil.h"
#include "bPlayerSite.h"
#include "bTraceLog.h"

namespace {

const UINT kCaptionId = 130;
const DWORD kCaptionStyle = WS_CHILD | WS_CAPTION;
const DWORD kFrameStyle = WS_CHILD | WS_THICKFRAME;

// The string table's text of a set-up failure, to the log.
void LogText(UINT id) {
    char text[256] = "";
    LoadResString(id, text, sizeof(text));
    LOG_MSG("%s", text);
}

void FreeMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return;
    if (type->cbFormat)
        CoTaskMemFree(type->pbFormat);
    if (type->pUnk)
        type->pUnk->Release();
    CoTaskMemFree(type);
}

HRESULT SystemFinder(REFCLSID category, IBaseFilter** out) {
    *out = nullptr;
    ICreateDevEnum* devices = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICreateDevEnum, reinterpret_cast<void**>(&devices));
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CoCreateInstance CLSID_SystemDeviceEnumm FAILED!");
        return hr;
    }
    IEnumMoniker* monikers = nullptr;
    hr = devices->CreateClassEnumerator(category, &monikers, 0);
    devices->Release();
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "ICreateDevEnum::CreateClassEnumerator FAILED!");
        return hr;
    }
    if (hr != S_OK || !monikers)  // S_FALSE: the category is empty
        return E_FAIL;
    IMoniker* moniker = nullptr;
    hr = E_FAIL;
    if (monikers->Next(1, &moniker, nullptr) == S_OK) {
        hr =
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(out));
        moniker->Release();
    }
    monikers->Release();
    return *out ? hr : E_FAIL;
}

CaptureDeviceFinder g_finder = SystemFinder;

}  // namespace

void SetCaptureDeviceFinder(CaptureDeviceFinder finder) {
    g_finder = finder ? finder : SystemFinder;
}

CVideoCapture::CVideoCapture(HWND window, IPlayerSite* site)
    : m_site(site),
      m_window(window),
      m_stopped(true),
      m_builder(nullptr),
      m_videoWindow(nullptr),
      m_audioConfig(nullptr),
      m_videoConfig(nullptr),
      m_videoFilter(nullptr),
      m_audioFilter(nullptr),
      m_graph(nullptr),
      m_frameRate(15),
      m_style(WS_CHILD),
      m_width(480),
      m_height(320),
      m_x(0),
      m_y(0),
      m_captionAdded(false) {
    if (!m_window && m_site)
        m_window = m_site->GetViewWindow();
}

CVideoCapture::~CVideoCapture() {
    StopCap();
    ReleaseAll();
}

STDMETHODIMP_(void) CVideoCapture::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

void CVideoCapture::ShowMessage(UINT textId) {
    ShowResourceMessage(m_window, kCaptionId, textId, MB_ICONINFORMATION);
}

void CVideoCapture::ReleaseAll() {
    if (m_videoWindow) {
        m_videoWindow->put_Visible(OAFALSE);
        m_videoWindow->put_Owner(0);
        ReleaseInterface(m_videoWindow);
    }
    ReleaseInterface(m_audioConfig);
    ReleaseInterface(m_videoConfig);
    ReleaseInterface(m_videoFilter);
    ReleaseInterface(m_audioFilter);
    ReleaseInterface(m_builder);
    ReleaseInterface(m_graph);
}

STDMETHODIMP CVideoCapture::Init() {
    HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_ICaptureGraphBuilder, reinterpret_cast<void**>(&m_builder));
    if (FAILED(hr)) {
        m_builder = nullptr;
        LogText(12139);
        return E_FAIL;
    }
    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&m_graph));
    if (FAILED(hr)) {
        m_graph = nullptr;
        LogText(12144);
        ReleaseAll();
        return E_FAIL;
    }
    if (FAILED(m_builder->SetFiltergraph(m_graph))) {
        LogText(12145);
        ReleaseAll();
        return E_FAIL;
    }
    if (FAILED(CreateVideoCap()))
        LOG_MSG("CVideoCapture::Init:CreateVideoCap FAILED!");
    CreateAudioCap();
    // The view window keeps its size: the player may fill the screen.
    if (m_window)
        BringWindowToTop(m_window);
    return S_OK;
}

HRESULT CVideoCapture::CreateVideoCap() {
    if (FAILED(g_finder(CLSID_VideoInputDeviceCategory, &m_videoFilter)) || !m_videoFilter) {
        m_videoFilter = nullptr;
        LOG_MSG("IEnumMoniker can't find video device");
        return E_FAIL;
    }
    if (FAILED(m_graph->AddFilter(m_videoFilter, nullptr))) {
        LogText(12146);
        ReleaseInterface(m_videoFilter);
        return E_FAIL;
    }
    if (FAILED(m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, m_videoFilter, IID_IAMStreamConfig,
                                        reinterpret_cast<void**>(&m_videoConfig)))) {
        m_videoConfig = nullptr;
        LogText(12147);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVideoCapture::CreateAudioCap() {
    if (FAILED(g_finder(CLSID_AudioInputDeviceCategory, &m_audioFilter)) || !m_audioFilter) {
        m_audioFilter = nullptr;
        LOG_MSG("IEnumMoniker can't find audio device");
        return E_FAIL;
    }
    if (FAILED(m_graph->AddFilter(m_audioFilter, nullptr))) {
        LogText(12146);
        ReleaseInterface(m_audioFilter);
        return E_FAIL;
    }
    if (FAILED(m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, m_audioFilter, IID_IAMStreamConfig,
                                        reinterpret_cast<void**>(&m_audioConfig)))) {
        m_audioConfig = nullptr;
        LogText(12147);
        return E_FAIL;
    }
    AM_MEDIA_TYPE* type = nullptr;
    if (FAILED(m_audioConfig->GetFormat(&type)) || !type) {
        LOG_MSG("CVideoCapture::Init:GetFormat FAILED!");
        return E_FAIL;
    }
    if (type->formattype == FORMAT_WaveFormatEx && type->cbFormat >= sizeof(WAVEFORMATEX)) {
        // A copy at least as large as any format the codecs know.
        DWORD largest = sizeof(WAVEFORMATEX);
        acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
        std::vector<BYTE> copy(std::max<size_t>(largest, type->cbFormat));
        memcpy(copy.data(), type->pbFormat, type->cbFormat);
        auto* wave = reinterpret_cast<WAVEFORMATEX*>(copy.data());
        wave->nChannels = 1;
        wave->nSamplesPerSec = 22050;
        wave->wBitsPerSample = 8;
        wave->nBlockAlign = 1;
        wave->nAvgBytesPerSec = 22050;
        AM_MEDIA_TYPE mono = *type;
        mono.pbFormat = copy.data();
        m_audioConfig->SetFormat(&mono);
    }
    FreeMediaType(type);
    return S_OK;
}

HRESULT CVideoCapture::BuildPreviewGraph() {
    if (!m_videoFilter) {
        LOG_MSG("CVideoCapture::BuildPreviewGraph:m_pVCap is NULL!");
        return E_FAIL;
    }
    if (!m_audioFilter) {
        // The picture goes on without sound.
        LOG_MSG("CVideoCapture::BuildPreviewGraph:m_pACap is NULL!");
    } else {
        IEnumPins* pins = nullptr;
        IPin* pin = nullptr;
        if (FAILED(m_audioFilter->EnumPins(&pins)) || pins->Next(1, &pin, nullptr) != S_OK)
            LOG_MSG("IEnumPins enum operator failed!");
        else if (FAILED(m_graph->Render(pin)))
            LOG_MSG("Filter Graph render failed!");
        ReleaseInterface(pin);
        ReleaseInterface(pins);
    }
    const GUID* category = &PIN_CATEGORY_PREVIEW;
    HRESULT hr = m_builder->RenderStream(category, m_videoFilter, nullptr, nullptr);
    if (hr == VFW_S_NOPREVIEWPIN) {
        category = &PIN_CATEGORY_CAPTURE;
    } else if (FAILED(hr)) {
        ShowMessage(12166);
        return hr;
    }
    hr = m_builder->FindInterface(category, m_videoFilter, IID_IVideoWindow,
                                  reinterpret_cast<void**>(&m_videoWindow));
    if (FAILED(hr)) {
        m_videoWindow = nullptr;
        ShowMessage(12166);
        return hr;
    }
    m_videoWindow->put_Owner(reinterpret_cast<OAHWND>(m_window));
    m_videoWindow->put_WindowStyle((long)m_style);
    m_videoWindow->SetWindowPosition(m_x, m_y, m_width, m_height);
    m_videoWindow->put_Visible(OATRUE);
    if (!m_videoConfig) {
        LOG_MSG("VSC is empty!");
        return S_OK;
    }
    AM_MEDIA_TYPE* type = nullptr;
    if (FAILED(m_videoConfig->GetFormat(&type)) || !type) {
        LOG_MSG("VSC GetFormat failed!");
        return S_OK;
    }
    hr = S_OK;
    if (type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat)->AvgTimePerFrame =
            10000000 / m_frameRate;
        hr = m_videoConfig->SetFormat(type);
        if (FAILED(hr))
            ShowMessage(12149);
    } else {
        LOG_MSG("FORMAT type error!");
    }
    FreeMediaType(type);
    return hr;
}

STDMETHODIMP CVideoCapture::StartCap() {
    if (!m_stopped) {
        LOG_MSG("VideoCapture is capturing");
        return S_OK;
    }
    // The missing camera, not the sound, keeps the picture away.
    if (!m_graph || !m_videoFilter) {
        ShowMessage(12167);
        return E_FAIL;
    }
    if (!m_window && m_site)
        m_window = m_site->GetViewWindow();
    StopCap();
    HRESULT hr = BuildPreviewGraph();
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CVideoCapture::StartCap:BuildPreviewGraph FAILED!");
        return hr;
    }
    IMediaControl* control = nullptr;
    hr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) {
        hr = control->Run();
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "CVideoCapture::StartCap:pMC->Run() FAILED!");
            control->Stop();
        }
        control->Release();
    }
    if (FAILED(hr)) {
        ShowMessage(12164);
        return E_FAIL;
    }
    m_stopped = false;
    return S_OK;
}

void CVideoCapture::RemoveDownstream(IBaseFilter* filter) {
    IEnumPins* pins = nullptr;
    if (!filter || FAILED(filter->EnumPins(&pins)))
        return;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        IPin* peer = nullptr;
        PIN_DIRECTION direction = PINDIR_INPUT;
        pin->QueryDirection(&direction);
        if (direction == PINDIR_OUTPUT && pin->ConnectedTo(&peer) == S_OK && peer) {
            PIN_INFO info = {};
            if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
                RemoveDownstream(info.pFilter);
                m_graph->Disconnect(peer);
                m_graph->Disconnect(pin);
                m_graph->RemoveFilter(info.pFilter);
                info.pFilter->Release();
            }
            peer->Release();
        }
        pin->Release();
    }
    pins->Release();
}

STDMETHODIMP CVideoCapture::StopCap() {
    if (m_stopped)
        return S_OK;
    if (!m_graph) {
        LOG_MSG("Filter Graph is empty!");
        return E_FAIL;
    }
    IMediaControl* control = nullptr;
    HRESULT hr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) {
        hr = control->Stop();
        control->Release();
    }
    if (FAILED(hr)) {
        ShowMessage(12165);
        return E_FAIL;
    }
    if (m_window)
        InvalidateRect(m_window, nullptr, TRUE);
    if (m_videoWindow) {
        m_videoWindow->put_Owner(0);
        m_videoWindow->put_Visible(OAFALSE);
        ReleaseInterface(m_videoWindow);
    }
    RemoveDownstream(m_videoFilter);
    RemoveDownstream(m_audioFilter);
    m_stopped = true;
    return S_OK;
}

void CVideoCapture::MoveLiveWindow() {
    if (m_videoWindow)
        m_videoWindow->SetWindowPosition(m_x, m_y, m_width, m_height);
}

STDMETHODIMP CVideoCapture::SetFrameRate(int type) {
    static const int rates[] = {5, 10, 15, 20, 25, 30};
    m_frameRate = (type >= 0 && type < 6) ? rates[type] : 15;
    return S_OK;
}

STDMETHODIMP CVideoCapture::SetSize(int type) {
    switch (type) {
        case 0:
            m_width = 80, m_height = 60;
            break;
        case 1:
            m_width = 160, m_height = 120;
            break;
        case 3:
            m_width = 480, m_height = 360;
            break;
        case 4:
            m_width = 640, m_height = 480;
            break;
        case 5:
            m_width = 800, m_height = 600;
            break;
        default:
            m_width = 320, m_height = 240;
            break;
    }
    m_captionAdded = false;
    if (m_style == kCaptionStyle) {
        m_height += GetSystemMetrics(SM_CYCAPTION);
        m_captionAdded = true;
    }
    MoveLiveWindow();
    return S_OK;
}

STDMETHODIMP CVideoCapture::SetPosition(POINT point) {
    m_x = point.x;
    m_y = point.y;
    MoveLiveWindow();
    return S_OK;
}

STDMETHODIMP CVideoCapture::SetWindowStyle(int type) {
    m_style = type == 1 ? kCaptionStyle : type == 2 ? kFrameStyle : (DWORD)WS_CHILD;
    if (m_videoWindow)
        m_videoWindow->put_WindowStyle((long)m_style);
    if (m_style == kCaptionStyle && !m_captionAdded) {
        m_height += GetSystemMetrics(SM_CYCAPTION);
        m_captionAdded = true;
        MoveLiveWindow();
    }
    return S_OK;
}

HRESULT CreateVideoCapture(HWND window, IPlayerSite* site, IVideoCapture** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CVideoCapture* capture = new (std::nothrow) CComObject<CVideoCapture>(window, site);
    if (!capture)
        return E_OUTOFMEMORY;
    capture->AddRef();
    capture->Init();
    *out = capture;
    return S_OK;
}
