#include "bVideoCtrl.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <new>

#include "aGDIBuf.h"
#include "aPixBuf.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bDib.h"
#include "bHandles.h"
#include "bMemSource.h"
#include "bPlayerSite.h"
#include "bSoundCtrl.h"
#include "bTraceLog.h"

namespace {

const char* MciTypeOf(long kind) {
    switch (kind) {
        case VIDEO_KIND_AVI:
            return "AVIVideo";
        case VIDEO_KIND_MPEG:
            return "MpegVideo";
        case VIDEO_KIND_MOV:
            return "QTWVideo";
        default:
            return "";
    }
}

const GUID* SubtypeOf(long kind) {
    switch (kind) {
        case VIDEO_KIND_AVI:
            return &MEDIASUBTYPE_Avi;
        case VIDEO_KIND_MPEG:
            return &MEDIASUBTYPE_MPEG1System;
        case VIDEO_KIND_MOV:
            return &MEDIASUBTYPE_QTMovie;
        default:
            return &GUID_NULL;
    }
}

const ExtensionKind kVideoKinds[] = {{".avi", VIDEO_KIND_AVI},   {".mpg", VIDEO_KIND_MPEG},
                                     {".mpeg", VIDEO_KIND_MPEG}, {".dat", VIDEO_KIND_MPEG},
                                     {".asf", VIDEO_KIND_MPEG},  {".asx", VIDEO_KIND_MPEG},
                                     {".mov", VIDEO_KIND_MOV}};

// Two videos of one file need two aliases.
LONG g_aliasCounter = 0;

// The most a renderer writes for a frame: a 40-byte header, three masks and
// 32-bit pixels.
long LargestImage(long width, long height) {
    return 52 + 4 * width * height;
}

}  // namespace

VideoControl::VideoControl(IPlayerSite* site)
    : MediaObjectBase(site),
      m_graph(nullptr),
      m_control(nullptr),
      m_videoWindow(nullptr),
      m_event(nullptr),
      m_basicVideo(nullptr),
      m_audio(nullptr),
      m_seeking(nullptr),
      m_mci(new (std::nothrow) MciVideoDevice),
      m_reader(nullptr),
      m_visible(1),
      m_soundOn(1),
      m_grabBlock(nullptr),
      m_grabSize(0) {}

VideoControl::~VideoControl() {
    Close();
    delete m_mci;
    ReleaseInterface(m_reader);
}

STDMETHODIMP VideoControl::SetKindFromFileName(const char* name, char* mciType) {
    m_kind = KindByExtension(name, kVideoKinds, MATCH_DOT_PREFIX, VIDEO_KIND_NONE);
    if (mciType && m_useMCI)
        strcpy(mciType, MciTypeOf(m_kind));
    return S_OK;
}

STDMETHODIMP VideoControl::GetMCIDeviceType(char* buffer) {
    if (!buffer)
        return E_POINTER;
    strcpy(buffer, MciTypeOf(m_kind));
    return S_OK;
}

STDMETHODIMP VideoControl::IsClosed() {
    if (m_useMCI)
        return (m_mci && m_mci->DeviceId() != 0) ? S_OK : S_FALSE;
    return (m_graph && m_control) ? S_OK : S_FALSE;
}

HRESULT VideoControl::OpenMci(const char* name, const char* type) {
    Close();
    if (!type[0])
        return E_FAIL;
    if (!m_mci) {
        m_mci = new (std::nothrow) MciVideoDevice;
        if (!m_mci)
            return E_OUTOFMEMORY;
    }
    char alias[kMediaNameSize + 16];
    if (m_alias[0])
        snprintf(alias, sizeof(alias), "%s", m_alias);
    else
        snprintf(alias, sizeof(alias), "video#%ld", (long)InterlockedIncrement(&g_aliasCounter));
    if (!m_mci->OpenVideo(type, name, alias, m_ownerWindow, nullptr, (DWORD)m_windowStyle))
        return E_FAIL;
    RECT source = {};
    if (m_mci->GetVideoWindow(&source, 0)) {
        m_videoWidth = source.right - source.left;
        m_videoHeight = source.bottom - source.top;
    }
    m_playState = MEDIA_STOPPED;
    m_duration = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_LENGTH);
    return S_OK;
}

HRESULT VideoControl::CreateGraph() {
    if (m_graph) {
        Close();
        if (m_graph)
            return E_FAIL;
    }
    return CreateFilterGraph(&m_graph, "Video::Open: Create IGraphBuilder failed");
}

void VideoControl::QueryGraph() {
    m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control));
    m_graph->QueryInterface(IID_IBasicVideo, reinterpret_cast<void**>(&m_basicVideo));
    m_graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&m_audio));
    m_graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&m_event));
    m_graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&m_seeking));
}

HRESULT VideoControl::ReadDuration() {
    if (!m_seeking)
        return E_FAIL;
    LONGLONG duration = 0;
    HRESULT hr = m_seeking->GetDuration(&duration);
    if (SUCCEEDED(hr))
        m_duration = duration;
    return hr;
}

void VideoControl::PrepareWindow() {
    if (m_seeking)
        m_seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
    m_videoWindow->put_WindowStyle(m_windowStyle);
    m_videoWindow->put_Owner(reinterpret_cast<OAHWND>(m_ownerWindow));
    m_videoWindow->put_AutoShow(OAFALSE);
    if (m_basicVideo) {
        long width = 0, height = 0;
        if (SUCCEEDED(m_basicVideo->GetVideoSize(&width, &height))) {
            m_videoWidth = width;
            m_videoHeight = height;
        }
    }
    m_videoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(m_notifyWindow));
    if (m_event)
        m_event->SetNotifyWindow(reinterpret_cast<OAHWND>(m_notifyWindow), WM_GRAPHNOTIFY,
                                 m_notifyCookie);
    ReadDuration();
}

void VideoControl::ReleaseGraph() {
    if (m_videoWindow) {
        m_videoWindow->put_Visible(OAFALSE);
        m_videoWindow->put_Owner(0);
        ReleaseInterface(m_videoWindow);
    }
    if (m_event)
        m_event->SetNotifyWindow(0, WM_GRAPHNOTIFY, 0);
    ReleaseInterface(m_event);
    ReleaseInterface(m_control);
    ReleaseInterface(m_basicVideo);
    ReleaseInterface(m_audio);
    ReleaseInterface(m_seeking);
    ReleaseInterface(m_graph);
}

STDMETHODIMP VideoControl::Open(const void* nameOrData, DWORD size) {
    if (size)
        return OpenFromMemory(nameOrData, size, m_fileName);
    const char* name = static_cast<const char*>(nameOrData);
    if (!name || !*name) {
        LOG_MSG("Video::Open: invalid file name");
        return E_FAIL;
    }
    char type[64] = "";
    SetKindFromFileName(name, type);
    HRESULT hr;
    if (m_useMCI) {
        hr = OpenMci(name, type);
        if (FAILED(hr))
            return hr;
    } else {
        hr = CreateGraph();
        if (FAILED(hr))
            return hr;
        WCHAR wide[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_PATH))
            wide[0] = 0;
        hr = m_graph->RenderFile(wide, nullptr);
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "Video::Open: IGraphBuilder::RenderFile (%s) failed", name);
            ReleaseInterface(m_graph);
            return hr;
        }
        m_playState = MEDIA_STOPPED;
        hr = m_graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&m_videoWindow));
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "Video::Open: IVideoWindow not support");
            m_videoWindow = nullptr;
            ReleaseInterface(m_graph);
            return hr;
        }
        QueryGraph();
        PrepareWindow();
    }
    if (m_fileChanged)
        ResetPositions();
    else
        ApplyPositions(0);
    m_neverOpened = 0;
    return S_OK;
}

STDMETHODIMP VideoControl::OpenFromMemory(const void* data, DWORD size, const char* name) {
    SetKindFromFileName(name, nullptr);
    if (!data || !size)
        return E_FAIL;
    HRESULT hr = CreateGraph();
    if (FAILED(hr))
        return hr;
    m_graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&m_videoWindow));
    QueryGraph();
    ReleaseInterface(m_reader);
    hr = RenderMemReader(m_graph, data, size, SubtypeOf(m_kind), &m_reader);
    if (SUCCEEDED(hr) && !m_videoWindow)
        hr = E_NOINTERFACE;
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Video::OpenFromMemory: %s does not render", name ? name : "");
        ReleaseGraph();
        ReleaseInterface(m_reader);
        m_playState = MEDIA_STOPPED;
        return E_FAIL;
    }
    m_playState = MEDIA_STOPPED;
    PrepareWindow();
    if (m_fileChanged)
        ResetPositions();
    else
        ApplyPositions(0);
    m_neverOpened = 0;
    return S_OK;
}

STDMETHODIMP VideoControl::Play() {
    try {
        Update();
    } catch (...) {
        return E_FAIL;
    }
    if (m_useMCI) {
        if (!m_mci || !m_mci->Play(-1, (long)m_endPos, m_notifyWindow))
            return E_FAIL;
        m_playState = MEDIA_PLAYING;
        return S_OK;
    }
    if (!m_control)
        return E_FAIL;
    HRESULT hr = m_control->Run();
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "PlayVideo: failed");
        return hr;
    }
    m_playState = MEDIA_PLAYING;
    return m_videoWindow ? m_videoWindow->put_Visible(m_hidden ? OAFALSE : OATRUE) : E_FAIL;
}

STDMETHODIMP VideoControl::Stop() {
    if (m_useMCI) {
        if (m_mci && m_playState != MEDIA_STOPPED) {
            m_mci->Stop();
            m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
            m_playState = MEDIA_STOPPED;
        }
        return S_OK;
    }
    if (!m_control)
        return E_FAIL;
    if (m_playState != MEDIA_STOPPED) {
        try {
            m_control->Stop();
        } catch (...) {
            return E_FAIL;
        }
        m_playState = MEDIA_STOPPED;
        if (m_seeking)
            m_seeking->GetCurrentPosition(&m_curPos);
    }
    return S_OK;
}

STDMETHODIMP VideoControl::Pause() {
    if (m_useMCI) {
        if (m_mci) {
            m_mci->Pause();
            m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
        }
    } else {
        if (!m_control)
            return E_FAIL;
        try {
            m_control->Pause();
        } catch (...) {
            return E_FAIL;
        }
        if (m_seeking)
            m_seeking->GetCurrentPosition(&m_curPos);
    }
    m_playState = MEDIA_PAUSED;
    return S_OK;
}

STDMETHODIMP VideoControl::HandleEvents(WPARAM, LPARAM, long* ended) {
    if (ended)
        *ended = 0;
    if (m_useMCI) {
        long end = 0;
        if (m_mci)
            m_mci->CheckEnd((long)m_endPos, &end);
        if (ended)
            *ended = end;
        return S_OK;
    }
    if (!m_graph || !m_control || !m_videoWindow || !m_event || !m_basicVideo || !m_audio ||
        !m_seeking)
        return E_FAIL;
    if (DrainGraphEvents(m_event, m_control, m_videoWindow) && ended)
        *ended = 1;
    return S_OK;
}

STDMETHODIMP VideoControl::Update() {
    if (m_useMCI) {
        if (m_duration <= 0 && m_mci)
            m_duration = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_LENGTH);
    } else if (m_duration <= 0) {
        if (FAILED(ReadDuration()))
            return E_FAIL;
    }
    if (m_endPos > m_duration)
        m_endPos = m_duration;
    if (m_endPos < 0)
        m_endPos = 0;
    if (m_startPos < 0)
        m_startPos = 0;
    if (m_startPos > m_endPos)
        m_startPos = m_endPos;
    if (m_useMCI) {
        if (m_soundChanged && m_mci && m_mci->SetAudio(m_soundOn, m_soundOn))
            m_soundChanged = 0;
        if (m_soundOn && m_volumeChanged)
            m_volumeChanged = 0;
        if (m_rateChanged && m_mci && m_mci->SetSpeed((DWORD)lround(m_rate * 1000)))
            m_rateChanged = 0;
        return S_OK;
    }
    HRESULT hr = S_OK;
    if (m_seeking && (m_playState != MEDIA_PAUSED || m_startChanged || m_endChanged)) {
        LONGLONG current = m_curPos, stop = m_endPos;
        hr = m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &stop,
                                     AM_SEEKING_AbsolutePositioning | AM_SEEKING_Segment);
        if (SUCCEEDED(hr)) {
            m_startChanged = 0;
            m_endChanged = 0;
        }
    }
    if ((m_videoWidth <= 0 || m_videoHeight <= 0) && m_basicVideo) {
        long width = 0, height = 0;
        if (SUCCEEDED(m_basicVideo->GetVideoSize(&width, &height))) {
            m_videoWidth = width;
            m_videoHeight = height;
        }
    }
    if (m_soundOn) {
        if (m_volumeChanged) {
            hr = m_audio ? m_audio->put_Volume(m_volume * 10 - 10000) : E_FAIL;
            if (SUCCEEDED(hr))
                m_volumeChanged = 0;
        }
        if (m_balanceChanged) {
            hr = m_audio ? m_audio->put_Balance(m_balance) : E_FAIL;
            if (SUCCEEDED(hr))
                m_balanceChanged = 0;
        }
    } else if (m_soundChanged) {
        hr = m_audio ? m_audio->put_Volume(-10000) : E_FAIL;
        if (SUCCEEDED(hr)) {
            m_volumeChanged = 0;
            m_soundChanged = 0;
        }
    }
    if (m_rateChanged) {
        hr = m_seeking ? m_seeking->SetRate(m_rate) : E_FAIL;
        if (SUCCEEDED(hr))
            m_rateChanged = 0;
    }
    return hr;
}

STDMETHODIMP VideoControl::get_CurPos(LONGLONG* value) {
    if (m_useMCI) {
        if (m_mci && m_mci->DeviceId())
            m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
    } else if (m_seeking) {
        try {
            LONGLONG position = 0;
            if (SUCCEEDED(m_seeking->GetCurrentPosition(&position)))
                m_curPos = position;
        } catch (...) {
            return E_FAIL;
        }
    }
    return MediaObjectBase::get_CurPos(value);
}

STDMETHODIMP VideoControl::put_CurPos(LONGLONG value) {
    const bool playing = m_playState == MEDIA_PLAYING;
    if (playing)
        Pause();
    MediaObjectBase::put_CurPos(value);
    HRESULT hr;
    if (m_useMCI) {
        hr = (m_mci && m_mci->MediaSetPos((long)m_curPos)) ? S_OK : E_FAIL;
    } else if (m_seeking) {
        LONGLONG current = m_curPos;
        hr = m_seeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, nullptr,
                                     AM_SEEKING_NoPositioning);
    } else {
        hr = E_FAIL;
    }
    if (playing)
        Play();
    return hr;
}

STDMETHODIMP VideoControl::put_Rate(double value) {
    if (m_useMCI) {
        if (!m_mci || !m_mci->DeviceId())
            return MediaObjectBase::put_Rate(value);
        m_rate = value;
        m_rateChanged = 1;
        if (!m_mci->SetSpeed((DWORD)lround(value * 1000)))
            return E_FAIL;
        m_rateChanged = 0;
        return S_OK;
    }
    if (!m_seeking)
        return MediaObjectBase::put_Rate(value);
    m_rate = value;
    HRESULT hr = m_seeking->SetRate(value);
    m_rateChanged = FAILED(hr);
    return hr;
}

STDMETHODIMP VideoControl::put_Volume(long value) {
    if (m_useMCI) {
        if (!m_mci || !m_mci->DeviceId())
            return MediaObjectBase::put_Volume(value);
        m_volume = value;
        m_volumeChanged = 0;
        return S_OK;
    }
    if (!m_audio)
        return MediaObjectBase::put_Volume(value);
    m_volume = value;
    try {
        if (m_soundOn)
            m_volumeChanged = FAILED(m_audio->put_Volume(value * 10 - 10000));
        else
            m_audio->put_Volume(-10000);
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP VideoControl::get_Balance(long* value) {
    if (!m_useMCI && m_audio) {
        long balance = 0;
        if (SUCCEEDED(m_audio->get_Balance(&balance)))
            m_balance = balance;
    }
    return MediaObjectBase::get_Balance(value);
}

STDMETHODIMP VideoControl::put_Balance(long value) {
    if (!m_useMCI && m_audio) {
        m_balance = value;
        m_balanceChanged = FAILED(m_audio->put_Balance(value));
        return S_OK;
    }
    return MediaObjectBase::put_Balance(value);
}

STDMETHODIMP VideoControl::put_SoundOn(long value) {
    if (m_useMCI) {
        const bool switched = m_mci && m_mci->DeviceId() && m_mci->SetAudio(value, value);
        m_soundOn = value;
        m_soundChanged = !switched;
        return S_OK;
    }
    if (!m_audio) {
        m_soundOn = value;
        m_soundChanged = 1;
        return S_OK;
    }
    HRESULT hr = m_audio->put_Volume(value ? m_volume * 10 - 10000 : -10000);
    m_soundOn = value;
    m_volumeChanged = FAILED(hr);
    m_soundChanged = FAILED(hr);
    return hr;
}

STDMETHODIMP VideoControl::get_SoundOn(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_soundOn;
    return S_OK;
}

STDMETHODIMP VideoControl::put_Visible(long value) {
    if (IsClosed() != S_OK)
        return E_FAIL;
    if (m_useMCI) {
        m_visible = value;
        return S_OK;
    }
    HRESULT hr = m_videoWindow ? m_videoWindow->put_Visible(value ? OATRUE : OAFALSE) : E_FAIL;
    if (SUCCEEDED(hr))
        m_visible = value;
    return hr;
}

STDMETHODIMP VideoControl::get_Visible(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_visible;
    return S_OK;
}

STDMETHODIMP VideoControl::HasAudio(long* value) {
    if (!value)
        return E_POINTER;
    // Every graph offers IBasicAudio; only one with a sound renderer answers.
    long volume = 0;
    *value = (!m_useMCI && m_audio && SUCCEEDED(m_audio->get_Volume(&volume))) ? 1 : 0;
    return S_OK;
}

STDMETHODIMP VideoControl::SetWindowPosition(int x, int y, int width, int height) {
    if (m_useMCI) {
        if (!m_mci || !m_mci->DeviceId())
            return E_FAIL;
        if (width || height) {
            RECT rect = {x, y, x + width, y + height};
            m_mci->MoveVideoWindow(&rect);
            m_mci->ShowVideoWindow(SW_SHOW);
        } else {
            m_mci->ShowVideoWindow(SW_HIDE);
        }
        return S_OK;
    }
    if (!m_videoWindow)
        return E_FAIL;
    HRESULT hr = m_videoWindow->SetWindowPosition(x, y, width, height);
    if (SUCCEEDED(hr)) {
        m_windowRect[0] = x;
        m_windowRect[1] = y;
        m_windowRect[2] = x + width;
        m_windowRect[3] = y + height;
    }
    return hr;
}

HRESULT VideoControl::GrabMci(IPixelBuffer** picture) {
    RECT rect = {};
    if (!m_mci || !m_mci->GetVideoWindow(&rect, 1))
        return E_FAIL;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    IPixelBuffer* gdi = CreateGDIBuffer(width, height);
    if (!gdi)
        return E_FAIL;
    HDC dc = nullptr;
    if (SUCCEEDED(gdi->GetDC(&dc)) && dc) {
        RECT target = {0, 0, width, height};
        m_mci->UpdateVideo(dc, &target);
        gdi->ReleaseDC(dc);
    }
    if (m_site && m_site->UsesDirectDraw()) {
        IPixelBuffer* surface = CreateSiteBuffer(width, height, m_site);
        HDC from = nullptr, to = nullptr;
        if (surface && SUCCEEDED(gdi->GetDC(&from)) && from) {
            if (SUCCEEDED(surface->GetDC(&to)) && to) {
                BitBlt(to, 0, 0, width, height, from, 0, 0, SRCCOPY);
                surface->ReleaseDC(to);
            }
            gdi->ReleaseDC(from);
        }
        gdi->Release();
        gdi = surface;
    }
    *picture = gdi;
    return gdi ? S_OK : E_FAIL;
}

HRESULT VideoControl::GrabGraph(IPixelBuffer** picture) {
    if (!m_basicVideo)
        return E_FAIL;
    // A graph on its way to paused or running has no picture yet.
    OAFilterState state = State_Stopped;
    if (m_control)
        m_control->GetState(500, &state);
    long size = 0;
    if (FAILED(m_basicVideo->GetCurrentImage(&size, nullptr)) || size <= 0) {
        long width = 0, height = 0;
        if (FAILED(m_basicVideo->GetVideoSize(&width, &height)) || width <= 0 || height <= 0)
            return E_FAIL;
        size = LargestImage(width, height);
    }
    // One block for every grab of a size: fresh pages cost more than the copy.
    if (m_grabBlock && m_grabSize != size) {
        GlobalFree(m_grabBlock);
        m_grabBlock = nullptr;
    }
    if (!m_grabBlock) {
        m_grabBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)size);
        if (!m_grabBlock)
            return E_OUTOFMEMORY;
        m_grabSize = size;
    }
    HGLOBAL block = m_grabBlock;
    HRESULT hr = E_FAIL;
    if (CGlobalLock<long> locked(block); void* p = locked.Get()) {
        long filled = size;
        hr = m_basicVideo->GetCurrentImage(&filled, locked.Get());
        if (SUCCEEDED(hr)) {
            CByteReader header(p, (size_t)size);
            header.Skip(14);
            const uint16_t bits = header.U16LE();
            const uint32_t compression = header.U32LE();
            DibLayout layout;
            const char* why = "";
            if (header.Failed() || (compression != BI_RGB && compression != BI_BITFIELDS) ||
                (bits != 16 && bits != 24 && bits != 32)) {
                LOG_MSG("GrabFrame: format %.4s is not RGB",
                        reinterpret_cast<const char*>(&compression));
                hr = E_FAIL;
            } else if (!DibCheckLayout(p, (size_t)size, &layout, &why)) {
                LOG_MSG("GrabFrame: %s", why);
                hr = E_FAIL;
            }
        } else {
            LOG_HRESULT(hr, "GrabFrame: GetCurrentImage failed");
        }
    }
    if (SUCCEEDED(hr)) {
        *picture = CreateBitmapForTarget(block, m_site);
        hr = *picture ? S_OK : E_FAIL;
    }
    return hr;
}

STDMETHODIMP VideoControl::GrabFrame(IPixelBuffer** picture) {
    if (!picture)
        return E_POINTER;
    *picture = nullptr;
    try {
        return m_useMCI ? GrabMci(picture) : GrabGraph(picture);
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP VideoControl::Close() {
    if (m_playState != MEDIA_STOPPED) {
        if (m_useMCI) {
            if (m_mci)
                m_mci->Stop();
        } else if (m_control) {
            try {
                m_control->Stop();
            } catch (...) {
                ReleaseGraph();
                ResetProperties();
                return E_FAIL;
            }
        }
    }
    ResetProperties();
    ReleaseGraph();
    if (m_grabBlock) {
        GlobalFree(m_grabBlock);
        m_grabBlock = nullptr;
    }
    m_playState = MEDIA_STOPPED;
    if (m_mci && m_mci->DeviceId())
        m_mci->Close();
    return S_OK;
}
