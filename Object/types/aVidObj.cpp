#include "aVidObj.h"

#include <ddraw.h>
#include <mmstream.h>
#include <amstream.h>
#include <ddstream.h>
#include <dshow.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "aDXBuf.h"
#include "aUtil.h"
#include "bMediaManager.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

const char kVideoNotifyClass[] = "szVideoNotifyClass";

namespace {

// IDirectDraw and IDirectDrawSurface4, without the DirectX GUID library.
const IID kIDirectDrawSurface4 = {
    0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID kIDirectDraw = {
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

enum { VIDEO_POLL_MESSAGE = 1037, VIDEO_WINDOW_STYLE = 0x46000000 };

// The DirectDraw object of a site that displays through DirectDraw. The
// stream renders on it there, so that its surface can be blitted into the
// display's buffers (surfaces of two DirectDraw objects do not blit).
IDirectDraw* DisplayDirectDraw(IPlayerSite* site) {
    void* record = nullptr;
    if (!site || !site->UsesDirectDraw() || FAILED(site->GetDirectDraw(&record)) || !record)
        return nullptr;
    IDirectDraw4* display = static_cast<DXOwner*>(record)->pDirectDraw;
    IDirectDraw* out = nullptr;
    if (!display || FAILED(display->QueryInterface(kIDirectDraw, reinterpret_cast<void**>(&out))))
        return nullptr;
    return out;
}

template <class T>
void ReleaseOf(T*& p) {
    if (p)
        p->Release();
    p = nullptr;
}

}  // namespace

// The notify window: the control's notices, polling and the mouse.
static LRESULT CALLBACK VideoNotifyWndProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    VideoObject* owner = reinterpret_cast<VideoObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    static bool s_activated = false;
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_MOUSEACTIVATE:
            s_activated = true;
            return 0;
        case WM_CONTEXTMENU:
            ForwardContextMenu(window, lParam);
            return 0;
        case WM_TIMER:
            if (owner)
                SendMessageA(window, VIDEO_POLL_MESSAGE, 0, (LPARAM)owner);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return ForwardMouseToParent(window, message, wParam, lParam);
        case WM_LBUTTONDOWN:
            ForwardMouseToParent(window, message, wParam, lParam);
            if (s_activated) {
                // The parent sees a whole click.
                s_activated = false;
                SendMessageA(window, WM_LBUTTONUP, wParam, lParam);
            }
            return 0;
        case VIDEO_POLL_MESSAGE:
            if (lParam && owner && !owner->InPage() && owner->Opened()) {
                long ended = 0;
                owner->Control()->HandleEvents(wParam, lParam, &ended);
                if (ended)
                    owner->OnPlayEnded();
            }
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

VideoObject::VideoObject()
    : m_control(nullptr),
      m_frame(nullptr),
      m_rate(1.0),
      m_mediaWidth(0),
      m_mediaHeight(0),
      m_volume(MEDIA_VOLUME_MAX),
      m_balance(0),
      m_repeatTimes(1),
      m_flags(VIDFLAG_AUDIO),
      m_still(nullptr),
      m_lastDrawn(-1),
      m_ddraw(nullptr),
      m_stream(nullptr),
      m_sample(nullptr),
      m_surface(nullptr),
      m_basicVideo(nullptr),
      m_audio(nullptr),
      m_seeking(nullptr),
      m_running(false),
      m_videoRect{0, 0, 0, 0},
      m_parent(nullptr),
      m_notify(nullptr),
      m_playCount(0),
      m_layoutGuard(1),
      m_mouseActivated(false) {}

VideoObject::~VideoObject() {
    CloseMedia();
    if (m_control)
        m_control->Release();
    if (m_notify && IsWindow(m_notify)) {
        SetWindowLongPtrA(m_notify, GWLP_USERDATA, 0);
        DestroyWindow(m_notify);
    }
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
}

HRESULT VideoObject::SetUp() {
    char name[64];
    LoadResString(STRING_MEDIA_POSITION_ROW, name, sizeof(name));
    AddRow(name);
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame)
        return E_FAIL;
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    return S_OK;
}

STDMETHODIMP VideoObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr) || m_control)
        return hr;
    IPlayerSite* site = ClassSite();
    hr = MakeMediaControl(MEDIA_CONTROL_VIDEO, site, &m_control);
    if (FAILED(hr))
        return hr;
    if (site)
        m_parent = site->GetViewWindow();
    RegisterNotifyClass(kVideoNotifyClass, VideoNotifyWndProc);
    return S_OK;
}

HRESULT VideoObject::LoadAttachedPart(ITeskStream* stream) {
    return m_frame ? m_frame->Load(stream) : ClassBase::LoadAttachedPart(stream);
}

bool VideoObject::Opened() const {
    if (InPage())
        return m_stream != nullptr;
    return m_control && m_control->IsClosed() == S_OK;
}

int VideoObject::DisplayMode() const {
    // A signed 4-bit field.
    int mode = (m_flags & VIDFLAG_DISPLAY) >> VIDFLAG_DISPLAY_SHIFT;
    return mode >= 8 ? mode - 16 : mode;
}

LONGLONG VideoObject::ToControl(LONG ms) const {
    LONGLONG t = ms;
    MsToRefTime(&t, ms, ToRefTime());
    return t;
}

LONG VideoObject::FromControl(LONGLONG t) const {
    LONGLONG ms = t;
    RefTimeToMs(t, &ms, ToRefTime());
    return (LONG)ms;
}

LONG VideoObject::FrameBorder() const {
    WORD t = 0;
    if (m_frame && !m_frame->IsHidden())
        m_frame->GetThickness(&t);
    return t;
}

// ---- opening and closing ----

void VideoObject::PrepareWindows() {
    if (!m_parent) {
        IPlayerSite* site = ClassSite();
        if (site)
            m_parent = site->GetViewWindow();
    }
    if (!m_notify) {
        RECT r;
        this->GetBoundsRect(&r);
        // Without a view the notices still need a window.
        m_notify = CreateWindowExA(
            0, kVideoNotifyClass, "", WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top,
            m_parent ? m_parent : HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (m_notify)
            SetWindowLongPtrA(m_notify, GWLP_USERDATA, (LONG_PTR)this);
    }
}

void VideoObject::ScalePositions(LONG newLength) {
    // The bit asks the positions to follow a changed length; nothing to
    // follow from or to a length of 0.
    if (!(m_flags & VIDFLAG_SCALE))
        return;
    m_flags &= ~VIDFLAG_SCALE;
    if (m_length <= 0 || newLength <= 0)
        return;
    m_start = (LONG)((long long)m_start * newLength / m_length);
    m_end = (LONG)((long long)m_end * newLength / m_length);
    m_cur = (LONG)((long long)m_cur * newLength / m_length);
}

HRESULT VideoObject::OpenWindowed(const char* path, const void* bytes, DWORD count,
                                  const char* item) {
    if (!m_control)
        return E_FAIL;
    char objectName[32] = {};
    LinkObjectName(objectName);
    m_control->put_UseMCI((m_flags & VIDFLAG_MCI) ? 1 : 0);
    m_control->put_OwnerWindow(m_parent);
    m_control->put_NotifyWindow(m_notify);
    m_control->put_WindowStyle(VIDEO_WINDOW_STYLE);
    m_control->put_FileName(path ? path : "");
    m_control->put_NotifyCookie((LONG_PTR)this);
    m_control->put_Alias(objectName);
    HRESULT hr =
        path ? m_control->Open(path, 0) : m_control->OpenFromMemory(bytes, count, item ? item : "");
    if (FAILED(hr) || m_control->IsClosed() != S_OK)
        return E_FAIL;
    m_control->put_SoundOn((m_flags & VIDFLAG_AUDIO) ? 1 : 0);
    long w = 0, h = 0;
    m_control->get_VideoWidth(&w);
    m_control->get_VideoHeight(&h);
    m_mediaWidth = w;
    m_mediaHeight = h;
    LONGLONG duration = 0;
    m_control->get_Duration(&duration);
    const LONG length = FromControl(duration);
    ScalePositions(length);
    m_length = length;
    if (m_end > m_length)
        m_end = m_length;
    if (m_start > m_length)
        m_start = 0;
    m_cur = m_start;
    m_control->put_EndPos(ToControl(m_end));
    m_control->put_StartPos(ToControl(m_start));
    m_control->put_CurPos(ToControl(m_start));
    m_control->put_Volume(m_volume);
    m_control->put_Balance(m_balance);
    Layout();
    if (m_flags & VIDFLAG_MCI)
        PlaceWindow();
    return S_OK;
}

HRESULT VideoObject::OpenInPage(const char* path) {
    HRESULT hr = S_OK;
    if (!m_ddraw)
        m_ddraw = DisplayDirectDraw(ClassSite());
    if (!m_ddraw) {
        hr = DirectDrawCreate(nullptr, &m_ddraw, nullptr);
        if (SUCCEEDED(hr))
            hr = m_ddraw->SetCooperativeLevel(m_parent, DDSCL_NORMAL);
        if (FAILED(hr)) {
            LOG_HRESULT(hr, "InitDirectDraw");
            ReleaseOf(m_ddraw);
            return hr;
        }
    }
    hr = CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IAMMultiMediaStream, reinterpret_cast<void**>(&m_stream));
    if (SUCCEEDED(hr))
        hr = m_stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, nullptr);
    if (SUCCEEDED(hr))
        hr = m_stream->AddMediaStream(m_ddraw, &MSPID_PrimaryVideo, 0, nullptr);
    if (SUCCEEDED(hr) && FAILED(m_stream->AddMediaStream(nullptr, &MSPID_PrimaryAudio,
                                                         AMMSF_ADDDEFAULTRENDERER, nullptr)))
        LOG_MSG("Cannot add audio stream -- ignored");
    if (SUCCEEDED(hr)) {
        std::wstring wide = WideFromMultibyte(path);
        hr = m_stream->OpenFile(wide.c_str(), 0);
    }
    IGraphBuilder* graph = nullptr;
    if (SUCCEEDED(hr))
        hr = m_stream->GetFilterGraph(&graph);
    if (SUCCEEDED(hr) && graph) {
        graph->QueryInterface(IID_IBasicVideo, reinterpret_cast<void**>(&m_basicVideo));
        graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&m_seeking));
        graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&m_audio));
        graph->Release();
    }
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "RenderFileToMMStream:");
        CloseMedia();
        return hr;
    }
    IMediaStream* primary = nullptr;
    IDirectDrawMediaStream* video = nullptr;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof(desc);
    hr = m_stream->GetMediaStream(MSPID_PrimaryVideo, &primary);
    const char* step = "GetMediaStream:";
    if (SUCCEEDED(hr)) {
        step = "QueryInterface  IID_IDirectDrawMediaStream:";
        hr = primary->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&video));
    }
    if (SUCCEEDED(hr)) {
        step = "GetFormat:";
        hr = video->GetFormat(&desc, nullptr, nullptr, nullptr);
    }
    if (SUCCEEDED(hr)) {
        step = "CreateSurface:";
        m_mediaWidth = (LONG)desc.dwWidth;
        m_mediaHeight = (LONG)desc.dwHeight;
        desc.dwFlags |= DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        hr = m_ddraw->CreateSurface(&desc, &m_surface, nullptr);
    }
    if (SUCCEEDED(hr)) {
        step = "CreateSample:";
        hr = video->CreateSample(m_surface, nullptr, 0, &m_sample);
    }
    ReleaseOf(video);
    ReleaseOf(primary);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "InitRenderToSurface: %s", step);
        CloseMedia();
        return hr;
    }
    LONGLONG duration = 0;
    if (m_seeking) {
        m_seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
        m_seeking->GetDuration(&duration);
    }
    const LONG length = (LONG)(duration / 10000);
    ScalePositions(length);
    m_length = length;
    if (m_end > m_length)
        m_end = m_length;
    if (m_start > m_end)
        m_start = m_end;
    m_cur = m_start;
    if (m_seeking) {
        LONGLONG start = (LONGLONG)m_start * 10000, end = (LONGLONG)m_end * 10000;
        m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end,
                                AM_SEEKING_AbsolutePositioning);
    }
    Layout();
    // The first frame shows before play.
    UpdateOnce();
    return S_OK;
}

STDMETHODIMP VideoObject::LoadMediaData(const char* name) {
    TRACE_POINT();
    CloseMedia();
    PrepareWindows();
    IPlayerSite* site = ClassSite();
    IMediaManager* manager = nullptr;
    if (!name || !site || FAILED(site->GetMediaManager(&manager)) || !manager)
        return E_FAIL;
    BYTE external = 0;
    HRESULT hr = manager->IsFileMedia(name, &external);
    if (FAILED(hr))
        return hr;
    char path[MAX_PATH] = {};
    if (external) {
        hr = manager->GetMediaFilePath(name, 0, path, MAX_PATH);
        if (FAILED(hr))
            return hr;
        path[MAX_PATH - 1] = 0;
    } else {
        // Embedded video plays windowed through DirectShow.
        m_flags &= ~(VIDFLAG_MCI | VIDFLAG_INPAGE);
    }
    if (InPage()) {
        hr = OpenInPage(path);
    } else if (external) {
        hr = OpenWindowed(path, nullptr, 0, nullptr);
    } else {
        DWORD count = 0;
        char item[256] = {};
        hr = ReadEmbeddedMedia(manager, name, &m_bytes, &count, item, sizeof(item));
        if (FAILED(hr))
            return hr;
        hr = OpenWindowed(nullptr, m_bytes.data(), count, item);
    }
    if (m_parent) {
        SetActiveWindow(m_parent);
        SetFocus(m_parent);
    }
    return hr;
}

STDMETHODIMP VideoObject::TakeData(const void* bytes, DWORD count, const char* name) {
    if (!bytes || !count)
        return E_FAIL;
    CloseMedia();
    PrepareWindows();
    m_flags &= ~(VIDFLAG_MCI | VIDFLAG_INPAGE);
    if (m_control)
        m_control->put_UseMCI(0);
    try {
        m_bytes.assign(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + count);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return OpenWindowed(nullptr, m_bytes.data(), count, name);
}

void VideoObject::CloseMedia() {
    if (CAbility::GetState() != ABILITY_STOPPED)
        CAbility::Stop();
    if (m_stream) {
        if (m_running)
            m_stream->SetState(STREAMSTATE_STOP);
        m_running = false;
    }
    ReleaseOf(m_sample);
    ReleaseOf(m_surface);
    ReleaseOf(m_basicVideo);
    ReleaseOf(m_seeking);
    ReleaseOf(m_audio);
    ReleaseOf(m_stream);
    ReleaseOf(m_ddraw);
    if (m_control && m_control->IsClosed() == S_OK)
        m_control->CloseMedia();
    ReleaseOf(m_still);
    m_lastDrawn = -1;
}

HRESULT VideoObject::Reload() {
    if (Linked())
        return DbRefresh(DB_REFRESH_NOTICE);
    return MediaName()[0] ? LoadMediaData(MediaName()) : E_FAIL;
}

STDMETHODIMP VideoObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(MediaName());
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP VideoObject::put_ObjMediaName(BSTR name) {
    std::string text = MultibyteFromBstr(name);
    if (!StoreName(text.c_str()))
        return S_OK;
    HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
    if (SUCCEEDED(hr) && Opened()) {
        m_end = m_length - 1;
        m_start = 0;
        if (m_control && !InPage())
            m_control->put_EndPos(ToControl(m_end));
        if (m_seeking && InPage()) {
            LONGLONG start = 0, end = (LONGLONG)m_end * 10000;
            m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end,
                                    AM_SEEKING_AbsolutePositioning);
        }
        const LONG border = 2 * FrameBorder();
        m_layoutGuard = 0;
        this->SetWidth(m_mediaWidth + border);
        this->SetHeight(m_mediaHeight + border);
        m_layoutGuard = 1;
        Layout();
    }
    Redraw();
    return hr;
}

HRESULT VideoObject::DbRefresh(int code) {
    if (code == DB_REFRESH_BIND && !Linked())
        return ReloadByName();
    HRESULT hr = DbLinkAbility::DbRefresh(code);
    if (FAILED(hr) && Linked() && Opened())
        CloseMedia();
    return hr;
}

// ---- layout ----

void VideoObject::Layout() {
    RECT b;
    this->GetTransformedBounds(&b);
    const LONG border = FrameBorder();
    InflateRect(&b, -border, -border);
    const LONG W = b.right - b.left, H = b.bottom - b.top;
    const LONG cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    LONG w = W, h = H;
    if (m_mediaWidth > 0 && m_mediaHeight > 0) {
        switch (DisplayMode()) {
            case VIDEO_SHOW_MEDIA:
                w = m_mediaWidth, h = m_mediaHeight;
                break;
            case VIDEO_SHOW_OBJECT:
                break;
            case VIDEO_SHOW_FIT:
                w = std::min(m_mediaWidth, W), h = std::min(m_mediaHeight, H);
                break;
            default:
                return;
        }
    }
    m_videoRect = {cx - w / 2, cy - h / 2, cx - w / 2 + w, cy - h / 2 + h};
    if (DisplayMode() != VIDEO_SHOW_FIT && m_layoutGuard && (w != W || h != H)) {
        m_layoutGuard = 0;
        this->SetWidth(w + 2 * border);
        this->SetHeight(h + 2 * border);
        m_layoutGuard = 1;
        this->GetTransformedBounds(&b);
        InflateRect(&b, -border, -border);
        m_videoRect = b;
    }
}

void VideoObject::PlaceWindow() {
    if (!m_control)
        return;
    RECT r = m_videoRect;
    if (IPlayerSite* site = ClassSite())
        if (IViewService* view = site->GetView())
            view->LPtoDPRect(&r);
    m_control->SetWindowPosition(r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (m_notify)
        MoveWindow(m_notify, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

STDMETHODIMP VideoObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    HRESULT hr = ClassBase::OnGeometryChanged(before, after, code);
    if (m_layoutGuard)
        Layout();
    return hr;
}

STDMETHODIMP VideoObject::get_ObjDisplayFlag(SHORT* out) {
    if (!out)
        return E_POINTER;
    *out = (SHORT)DisplayMode();
    return S_OK;
}

STDMETHODIMP VideoObject::put_ObjDisplayFlag(SHORT v) {
    m_flags = (WORD)((m_flags & ~VIDFLAG_DISPLAY) | ((v & 0xF) << VIDFLAG_DISPLAY_SHIFT));
    Layout();
    Redraw();
    return S_OK;
}

// ---- positions, volume, balance, switches ----

HRESULT VideoObject::UpdateOnce() {
    if (!m_stream || !m_sample)
        return E_FAIL;
    if (m_running)
        return m_sample->Update(0, nullptr, nullptr, 0);
    m_stream->SetState(STREAMSTATE_RUN);
    HRESULT hr = m_sample->Update(0, nullptr, nullptr, 0);
    m_stream->SetState(STREAMSTATE_STOP);
    return hr;
}

STDMETHODIMP VideoObject::put_ObjStartPosition(LONG v) {
    if (v == m_start)
        return S_OK;
    if (v < 0 || v > m_length)
        return E_INVALIDARG;
    m_start = v;
    const bool both = m_end < v;
    if (both)
        m_end = v;
    if (InPage()) {
        if (m_seeking) {
            LONGLONG start = (LONGLONG)m_start * 10000, end = (LONGLONG)m_end * 10000;
            m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end,
                                    AM_SEEKING_AbsolutePositioning);
        }
    } else if (m_control) {
        m_control->put_StartPos(ToControl(m_start));
        if (both)
            m_control->put_EndPos(ToControl(m_end));
    }
    CEventSinkTable::FireEvent(0, both ? MEDIAROW_BOTH : MEDIAROW_START);
    if (m_cur < m_start)
        put_ObjCurPosition(m_start);
    return S_OK;
}

STDMETHODIMP VideoObject::put_ObjEndPosition(LONG v) {
    if (v == m_end)
        return S_OK;
    if (v < 0 || v > m_length)
        return E_INVALIDARG;
    m_end = v;
    const bool both = m_start > v;
    if (both)
        m_start = v;
    if (InPage()) {
        if (m_seeking) {
            LONGLONG start = (LONGLONG)m_start * 10000, end = (LONGLONG)m_end * 10000;
            m_seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &end,
                                    AM_SEEKING_AbsolutePositioning);
        }
    } else if (m_control) {
        m_control->put_EndPos(ToControl(m_end));
        if (both)
            m_control->put_StartPos(ToControl(m_start));
    }
    CEventSinkTable::FireEvent(0, both ? MEDIAROW_BOTH : MEDIAROW_END);
    if (m_cur > m_end)
        put_ObjCurPosition(m_end);
    return S_OK;
}

void VideoObject::RefreshPosition() {
    if (InPage()) {
        LONGLONG t = 0;
        if (m_seeking && SUCCEEDED(m_seeking->GetCurrentPosition(&t)))
            m_cur = (LONG)(t / 10000);
    } else if (Opened()) {
        LONGLONG t = 0;
        if (SUCCEEDED(m_control->get_CurPos(&t)))
            m_cur = FromControl(t);
    }
}

STDMETHODIMP VideoObject::get_ObjCurPosition(LONG* out) {
    RefreshPosition();
    return Get(out, m_cur);
}

STDMETHODIMP VideoObject::put_ObjCurPosition(LONG v) {
    m_cur = v;
    if (InPage()) {
        if (!m_seeking)
            return E_FAIL;
        LONGLONG cur = (LONGLONG)v * 10000, end = (LONGLONG)m_end * 10000;
        m_seeking->SetPositions(&cur, AM_SEEKING_AbsolutePositioning, &end,
                                AM_SEEKING_AbsolutePositioning);
        UpdateOnce();
    } else if (m_control) {
        m_control->put_CurPos(ToControl(v));
    }
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    if (!IsPlaying() && m_lastDrawn != v) {
        CaptureStill();
        m_lastDrawn = v;
    }
    Redraw();
    return S_OK;
}

void VideoObject::ApplyAudio() {
    if (!m_audio)
        return;
    m_audio->put_Volume((m_flags & VIDFLAG_AUDIO) ? m_volume * 10 - 10000 : -10000);
    m_audio->put_Balance(m_balance);
}

STDMETHODIMP VideoObject::put_ObjVolume(LONG v) {
    if (v != ClampVolume(v))
        return S_FALSE;
    if (InPage()) {
        if (m_audio && v != m_volume)
            m_audio->put_Volume(v * 10 - 10000);
    } else if (m_control) {
        m_control->put_Volume(v);
    }
    m_volume = v;
    return S_OK;
}

STDMETHODIMP VideoObject::get_ObjBalance(LONG* out) {
    long v = m_balance;
    if (InPage()) {
        if (m_audio && SUCCEEDED(m_audio->get_Balance(&v)))
            m_balance = v;
    } else if (Opened() && SUCCEEDED(m_control->get_Balance(&v))) {
        m_balance = v;
    }
    return Get(out, m_balance);
}

STDMETHODIMP VideoObject::put_ObjBalance(LONG v) {
    if (v != ClampBalance(v))
        return S_FALSE;
    m_balance = v;
    if (InPage()) {
        if (m_audio)
            m_audio->put_Balance(v);
    } else if (m_control) {
        m_control->put_Balance(v);
    }
    return S_OK;
}

STDMETHODIMP VideoObject::put_ObjRepeatTimes(LONG v) {
    m_repeatTimes = ClampRepeatTimes(v);
    return S_OK;
}

STDMETHODIMP VideoObject::put_ObjNotInWindow(LONG v) {
    if (((m_flags & VIDFLAG_INPAGE) != 0) == (v != 0))
        return E_FAIL;
    CloseMedia();
    SetFlag(VIDFLAG_INPAGE, v);
    if (MediaName()[0] || Linked())
        Reload();
    Redraw();
    return S_OK;
}

STDMETHODIMP VideoObject::get_ObjMCI(LONG* out) {
    if (InPage())
        m_flags &= ~VIDFLAG_MCI;
    return GetFlag(out, VIDFLAG_MCI);
}

STDMETHODIMP VideoObject::put_ObjMCI(LONG v) {
    if (InPage()) {
        m_flags &= ~VIDFLAG_MCI;
        return S_OK;
    }
    if (((m_flags & VIDFLAG_MCI) != 0) == (v != 0))
        return S_OK;
    CloseMedia();
    SetFlag(VIDFLAG_MCI, v);
    if (MediaName()[0] || Linked())
        Reload();
    Redraw();
    return S_OK;
}

STDMETHODIMP VideoObject::get_ObjAudioOn(LONG* out) {
    if (!InPage() && Opened()) {
        long on = 0;
        if (SUCCEEDED(m_control->get_SoundOn(&on)))
            SetFlag(VIDFLAG_AUDIO, on);
    }
    return GetFlag(out, VIDFLAG_AUDIO);
}

STDMETHODIMP VideoObject::put_ObjAudioOn(LONG v) {
    HRESULT hr = S_OK;
    if (InPage()) {
        if (!m_audio)
            return E_FAIL;
        hr = m_audio->put_Volume(v ? m_volume * 10 - 10000 : -10000);
    } else if (m_control) {
        hr = m_control->put_SoundOn(v ? 1 : 0);
    }
    if (SUCCEEDED(hr))
        SetFlag(VIDFLAG_AUDIO, v);
    return hr;
}

LONG VideoObject::HasSound() {
    long has = 0;
    if (m_control && SUCCEEDED(m_control->HasAudio(&has)))
        SetFlag(VIDFLAG_HASAUDIO, has);
    return (m_flags & VIDFLAG_HASAUDIO) ? 1 : 0;
}

// ---- transport ----

bool VideoObject::IsPlaying() {
    if (InPage())
        return m_stream && m_running;
    long state = MEDIA_STOPPED;
    if (Opened())
        m_control->get_PlayState(&state);
    return state == MEDIA_PLAYING;
}

HRESULT VideoObject::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    if (InPage())
        return m_seeking ? m_seeking->GetRate(rate) : E_FAIL;
    return m_control ? m_control->get_Rate(rate) : E_FAIL;
}

HRESULT VideoObject::SetRate(double rate) {
    HRESULT hr = S_OK;
    if (InPage()) {
        if (!m_seeking)
            return S_OK;
        hr = m_seeking->SetRate(rate);
    } else if (m_control) {
        hr = m_control->put_Rate(rate);
    }
    if (SUCCEEDED(hr))
        m_rate = rate;
    return hr;
}

STDMETHODIMP VideoObject::PlayPauseMedia() {
    if (!Opened())
        return E_FAIL;
    switch (CAbility::GetState()) {
        case ABILITY_STOPPED:
            return PlayMedia();
        case ABILITY_RUNNING:
            return Pause();
        default:
            return Resume();
    }
}

STDMETHODIMP VideoObject::ForewardMedia() {
    if (!Opened())
        return S_OK;
    RefreshPosition();
    if (m_cur + 1 >= m_end)
        put_ObjCurPosition(m_start);
    if (CAbility::GetState() == ABILITY_PAUSED)
        Resume();
    else if (CAbility::GetState() == ABILITY_STOPPED)
        Start();
    SetRate(2.0);
    return S_OK;
}

void VideoObject::Play() {
    if (InPage()) {
        if (!m_stream)
            return;
        if (m_seeking) {
            LONGLONG cur = (LONGLONG)m_cur * 10000, end = (LONGLONG)m_end * 10000;
            m_seeking->SetPositions(&cur, AM_SEEKING_AbsolutePositioning, &end,
                                    AM_SEEKING_AbsolutePositioning);
        }
        ApplyAudio();
        m_stream->SetState(STREAMSTATE_RUN);
        m_running = true;
        Redraw();
        return;
    }
    PlaceWindow();
    if (Opened())
        m_control->Play();
}

void VideoObject::PauseOrStop(bool pause) {
    if (InPage()) {
        if (m_stream)
            m_stream->SetState(STREAMSTATE_STOP);
        m_running = false;
        CaptureStill();
        Redraw();
        return;
    }
    if (Opened()) {
        if (pause)
            m_control->Pause();
        else
            m_control->Stop();
    }
}

void VideoObject::OnPlayEnded() {
    switch (CountRepeat(&m_playCount, m_repeatTimes, !(m_flags & VIDFLAG_NOLIMIT),
                        (m_flags & VIDFLAG_AUTOREPEAT) != 0)) {
        case REPEAT_ENDED:
            Stop();
            if (m_flags & VIDFLAG_EXITONEND)
                this->OnExit();
            Fire(MEDIAEVT_PLAYEND);
            break;
        case REPEAT_LOOP:
            put_ObjCurPosition(m_start);
            if (InPage() && m_stream) {
                m_stream->SetState(STREAMSTATE_RUN);
                m_running = true;
            } else if (Opened()) {
                m_control->Play();
            }
            Fire(MEDIAEVT_PLAYLOOP);
            break;
        case REPEAT_STOPPED:
            Stop();
            Fire(MEDIAEVT_PLAYSTOP);
            break;
    }
}

// ---- the ability ----

STDMETHODIMP VideoObject::Start() {
    if (!Opened()) {
        HRESULT hr = Reload();
        if (FAILED(hr))
            return hr;
    }
    if (!Opened() || !PlaysRemain())
        return S_OK;
    if (!CAbility::m_site)
        CAbility::SetSite(ClassSite());
    HRESULT hr = CAbility::Start();
    if (FAILED(hr))
        return hr;
    Play();
    Fire(MEDIAEVT_PLAYSTART);
    return S_OK;
}

STDMETHODIMP VideoObject::Pause() {
    if (CAbility::GetState() != ABILITY_RUNNING)
        return S_OK;
    HRESULT hr = CAbility::Pause();
    PauseOrStop(true);
    RefreshPosition();
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    return hr;
}

STDMETHODIMP VideoObject::Resume() {
    if (CAbility::GetState() != ABILITY_PAUSED)
        return S_OK;
    HRESULT hr = CAbility::Resume();
    Play();
    return hr;
}

STDMETHODIMP VideoObject::Stop() {
    if (CAbility::GetState() == ABILITY_STOPPED)
        return S_OK;
    HRESULT hr = CAbility::Stop();
    PauseOrStop(false);
    RefreshPosition();
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    return hr;
}

STDMETHODIMP VideoObject::Reserved3() {
    if (Opened() && CAbility::GetState() == ABILITY_RUNNING) {
        PauseOrStop(true);
        RefreshPosition();
        CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    }
    return S_OK;
}

STDMETHODIMP VideoObject::Reserved4() {
    if (Opened() && CAbility::GetState() == ABILITY_RUNNING && !IsPlaying())
        Play();
    return S_OK;
}

STDMETHODIMP VideoObject::OnClock() {
    CAbility::OnClock();
    if (m_flags & VIDFLAG_MCI) {
        if (m_notify)
            SendMessageA(m_notify, VIDEO_POLL_MESSAGE, 0, (LPARAM)this);
    } else if (InPage() && m_sample && m_running) {
        HRESULT hr = m_sample->Update(0, nullptr, nullptr, 0);
        if (hr == S_OK)
            hr = m_sample->Update(0, nullptr, nullptr, 0);
        Redraw();
        if (hr == MS_S_ENDOFSTREAM) {
            OnPlayEnded();
            return S_OK;
        }
    }
    RefreshPosition();
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    return S_OK;
}

// ---- render and event parts ----

STDMETHODIMP VideoObject::BeforeEnter() {
    if (!Opened() && (MediaName()[0] || Linked()))
        Reload();
    m_playCount = 0;
    if (Opened())
        put_ObjCurPosition(m_start);
    SetRate(1.0);
    return S_OK;
}

STDMETHODIMP VideoObject::BeforeExit() {
    m_playCount = 0;
    if (CAbility::GetState() == ABILITY_RUNNING)
        Stop();
    if ((m_flags & VIDFLAG_MCI) && Opened())
        CloseMedia();
    if (Opened() && !InPage() && m_control)
        m_control->put_Visible(0);
    return S_OK;
}

STDMETHODIMP VideoObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    HRESULT hr = ObjectBase<VideoObject>::FireEvent(id, arg1, arg2, prev);
    CAbility::OnEvent((LONG)id);
    return hr;
}

bool VideoObject::BlitStillSurface() {
    IDirectDrawSurface4* to = m_still->GetSurface();
    IDirectDrawSurface4* from = nullptr;
    if (!to ||
        FAILED(m_surface->QueryInterface(kIDirectDrawSurface4, reinterpret_cast<void**>(&from))))
        return false;
    RECT r = {0, 0, m_mediaWidth, m_mediaHeight};
    const HRESULT hr = to->Blt(&r, from, &r, DDBLT_WAIT, nullptr);
    from->Release();
    return SUCCEEDED(hr);
}

HRESULT VideoObject::CaptureStill() {
    if (!Opened())
        return S_OK;
    if (InPage()) {
        if (!m_surface)
            return E_FAIL;
        if (!m_still) {
            m_still = CreateSiteBuffer(m_mediaWidth, m_mediaHeight, ClassSite());
            if (!m_still)
                return E_OUTOFMEMORY;
        }
        IPlayerSite* site = ClassSite();
        if (site && site->UsesDirectDraw() && BlitStillSurface())
            return S_OK;
        HDC from = nullptr, to = nullptr;
        if (FAILED(m_surface->GetDC(&from)))
            return E_FAIL;
        if (SUCCEEDED(m_still->GetDC(&to)) && to) {
            BitBlt(to, 0, 0, m_mediaWidth, m_mediaHeight, from, 0, 0, SRCCOPY);
            m_still->ReleaseDC(to);
        }
        m_surface->ReleaseDC(from);
        return S_OK;
    }
    IPixelBuffer* frame = nullptr;
    if (SUCCEEDED(m_control->GrabFrame(&frame)) && frame) {
        ReleaseOf(m_still);
        m_still = frame;
    }
    return S_OK;
}

HRESULT VideoObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    if (!Opened())
        return S_OK;
    RECT inner = *rect;
    if (m_frame)
        m_frame->GetInnerRect(rect, &inner);
    const bool fit = DisplayMode() == VIDEO_SHOW_FIT;
    RECT dest = fit ? m_videoRect : inner;
    // The fitted rectangle shows the middle of the picture 1:1.
    const LONG dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    RECT src = {0, 0, m_mediaWidth, m_mediaHeight};
    if (fit)
        src = {(m_mediaWidth - dw) / 2, (m_mediaHeight - dh) / 2, (m_mediaWidth - dw) / 2 + dw,
               (m_mediaHeight - dh) / 2 + dh};
    if (dw <= 0 || dh <= 0)
        return S_OK;
    if (!InPage() || !m_running) {
        if (!m_still)
            CaptureStill();
        if (!m_still)
            return S_OK;
        if (!InPage()) {
            BufferInfo info = {};
            info.dwSize = sizeof(info);
            info.wMask = BIM_ALL;
            m_still->GetBufferInfo(&info);
            if (!fit)
                src = {0, 0, (LONG)info.nWidth, (LONG)info.nHeight};
        }
        return target->Blit(&dest, m_still, &src, 0);
    }
    HDC to = nullptr, from = nullptr;
    if (FAILED(target->GetDC(&to)) || !to)
        return S_OK;
    if (SUCCEEDED(m_surface->GetDC(&from))) {
        SetStretchBltMode(to, HALFTONE);
        StretchBlt(to, dest.left, dest.top, dw, dh, from, src.left, src.top, src.right - src.left,
                   src.bottom - src.top, SRCCOPY);
        m_surface->ReleaseDC(from);
    }
    target->ReleaseDC(to);
    return S_OK;
}

// ---- the record ----

HRESULT VideoObject::LoadKind(ITeskStream* stream) {
    DWORD flags = 0;
    char name[MEDIA_NAME_FIELD + 1];
    if (!StreamReadValue(stream, &flags) || !ReadMediaNameField(stream, name, "Video"))
        return E_FAIL;
    LONG v[11];
    if (!StreamHas(stream, sizeof(v)))
        return E_FAIL;
    stream->Read(v, sizeof(v));
    m_flags = (WORD)flags;
    StoreName(name);
    m_repeatTimes = ClampRepeatTimes(v[1]);
    m_mediaWidth = v[2];
    m_mediaHeight = v[3];
    m_length = v[5];
    m_start = v[6];
    m_end = v[7];
    m_cur = v[8];
    m_volume = ClampVolume(v[9]);
    m_balance = ClampBalance(v[10]);
    HRESULT hr = DbLinkAbility::Load(stream);
    if (FAILED(hr))
        return hr;
    return CAbility::LoadCodes(stream);
}

HRESULT CreateVideoObject(IUnknown** out) {
    return CreateObjectOfClass<VideoObject>(out);
}
