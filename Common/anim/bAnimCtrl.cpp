#include "bAnimCtrl.h"

#include <string.h>

#include <exception>
#include <new>

#include "aPixBuf.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bFileUtil.h"
#include "bFlic.h"
#include "bGifAnim.h"
#include "bPlayerSite.h"
#include "bSwfContainer.h"
#include "bSoundCtrl.h"
#include "bVideoCtrl.h"
#include "bTraceLog.h"

namespace {

const UINT_PTR kPlayTimer = 1;
const UINT kPlayTimerMs = 50;

const ExtensionKind kAnimKinds[] = {
    {".flc", ANIM_FLIC}, {".fli", ANIM_FLIC}, {".gif", ANIM_GIF}, {".swf", ANIM_FLASH}};

int KindOfName(const char* name) {
    return (int)KindByExtension(name, kAnimKinds, MATCH_LAST_FOUR, ANIM_NONE);
}

}  // namespace

CAnimCtrl::CAnimCtrl(IPlayerSite* site)
    : MediaObjectBase(site),
      m_opened(0),
      m_view(nullptr),
      m_frameRect{0, 0, 300, 300},
      m_flashSize{0, 0, 0, 0},
      m_flic(new FlicReader),
      m_gif(new GifAnimation(site)),
      m_container(nullptr),
      m_drawBuffer(nullptr),
      m_timer(0),
      m_useTimer(0) {
    m_movieName[0] = 0;
}

CAnimCtrl::~CAnimCtrl() {
    Close();
    delete m_flic;
    delete m_gif;
    if (m_drawBuffer)
        m_drawBuffer->Release();
    CloseFlash();
}

STDMETHODIMP CAnimCtrl::get_VideoWidth(long* value) {
    if (!value)
        return E_POINTER;
    switch (m_kind) {
        case ANIM_FLIC:
        case ANIM_GIF:
            *value = m_videoWidth;
            return S_OK;
        case ANIM_FLASH:
            *value = m_flashSize.right - m_flashSize.left;
            return S_OK;
    }
    *value = 0;
    return E_FAIL;
}

STDMETHODIMP CAnimCtrl::get_VideoHeight(long* value) {
    if (!value)
        return E_POINTER;
    switch (m_kind) {
        case ANIM_FLIC:
        case ANIM_GIF:
            *value = m_videoHeight;
            return S_OK;
        case ANIM_FLASH:
            *value = m_flashSize.bottom - m_flashSize.top;
            return S_OK;
    }
    *value = 0;
    return E_FAIL;
}

STDMETHODIMP CAnimCtrl::Open(const void* nameOrData, DWORD size) {
    TRACE_POINT();
    if (m_opened)
        CloseMedia();
    const void* data = nameOrData;
    DWORD dataSize = size;
    const char* name = nullptr;
    if (size == 0 && nameOrData) {
        name = static_cast<const char*>(nameOrData);
        char mciType[64] = "";
        SetKindFromFileName(name, mciType);
        m_view = m_kind == ANIM_FLASH ? nullptr : MapFileView(name, &dataSize);
        data = m_view;
    }
    bool ok = false;
    if (data || (name && m_kind == ANIM_FLASH)) {
        switch (m_kind) {
            case ANIM_FLIC:
                if (m_flic->Load(data, dataSize) == S_OK) {
                    int w = 0, h = 0;
                    m_flic->GetSize(&w, &h);
                    m_videoWidth = w;
                    m_videoHeight = h;
                    m_duration = m_flic->GetFrameCount();
                    ok = true;
                }
                break;
            case ANIM_GIF:
                if (m_gif->Load(data, dataSize, nullptr, 1) && m_gif->CreateCache()) {
                    int w = 0, h = 0;
                    m_gif->GetSize(&w, &h);
                    m_videoWidth = w;
                    m_videoHeight = h;
                    m_duration = m_gif->GetFrameCount();
                    ok = true;
                }
                break;
            case ANIM_FLASH: {
                // Flash movies open by name only: the control loads them itself.
                if (!name || strlen(name) >= sizeof(m_movieName) ||
                    FAILED(CreateSWFContainer(&m_container)))
                    break;
                strcpy(m_movieName, name);
                ReadSwfFrameSize(name, &m_flashSize);
                HWND host = m_ownerWindow;
                if (!host && m_site)
                    host = m_site->GetViewWindow();
                m_container->SetHostWindow(host);
                m_container->SetControlRect(&m_frameRect);
                if (!LoadFlashName(name)) {
                    LOG_MSG("m_pMvrFlashPlayer->putSWFName(%s) FAILED", name);
                    CloseFlash();
                    break;
                }
                if (m_drawBuffer)
                    m_drawBuffer->Release();
                m_drawBuffer = CreateSiteBuffer(m_frameRect.right, m_frameRect.bottom, m_site);
                long frames = 0;
                HRESULT hr = m_container->IsMovieLoaded(&frames);
                if (FAILED(hr))
                    LOG_HRESULT(hr, "m_pMvrFlashPlayer->GetTotalFrameNum FAILED");
                m_duration = frames;
                // Again with the stored name: an empty one would unload the movie.
                LoadFlashName(nullptr);
                ok = true;
                break;
            }
            default:
                break;
        }
    }
    if (!ok) {
        if (m_view) {
            UnmapViewOfFile(m_view);
            m_view = nullptr;
        }
        LOG_MSG("Load Movie failed");
        return E_FAIL;
    }
    m_opened = 1;
    m_playState = MEDIA_STOPPED;
    if (m_fileChanged)
        ResetPositions();
    else
        ApplyPositions(0);
    return S_OK;
}

void CAnimCtrl::KillPlayTimer() {
    // Also a timer started before the flag was cleared.
    if ((m_useTimer || m_timer) && m_notifyWindow)
        KillTimer(m_notifyWindow, kPlayTimer);
    m_timer = 0;
}

STDMETHODIMP CAnimCtrl::Stop() {
    KillPlayTimer();
    m_playState = MEDIA_STOPPED;
    if (m_kind == ANIM_FLASH && m_container)
        m_container->Stop();
    return S_OK;
}

STDMETHODIMP CAnimCtrl::Pause() {
    KillPlayTimer();
    m_playState = MEDIA_PAUSED;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::Play() {
    Update();
    if (m_useTimer)
        m_timer = SetTimer(m_notifyWindow, kPlayTimer, kPlayTimerMs, nullptr);
    m_playState = MEDIA_PLAYING;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::HandleEvents(WPARAM, LPARAM, long* ended) {
    if (ended)
        *ended = m_curPos == m_endPos - 1 ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::GrabFrame(IPixelBuffer** picture) {
    if (!picture)
        return E_POINTER;
    *picture = nullptr;
    LONGLONG position = 0;
    get_CurPos(&position);
    if (!m_opened)
        return E_FAIL;
    switch (m_kind) {
        case ANIM_FLIC: {
            HGLOBAL dib = m_flic->GetFrame(position, nullptr);
            if (dib)
                *picture = CreateBitmapForTarget(dib, m_site);
            break;
        }
        case ANIM_GIF:
            *picture = m_gif->GetFrame(position);
            break;
        case ANIM_FLASH:
            if (m_drawBuffer && m_container) {
                HDC dc = nullptr;
                if (SUCCEEDED(m_drawBuffer->GetDC(&dc)) && dc) {
                    m_container->Draw(dc);
                    m_drawBuffer->ReleaseDC(dc);
                }
                m_drawBuffer->AddRef();
                *picture = m_drawBuffer;
            }
            break;
    }
    return *picture ? S_OK : E_FAIL;
}

STDMETHODIMP CAnimCtrl::Close() {
    KillPlayTimer();
    m_opened = 0;
    m_gif->Clear();
    m_flic->Close();
    if (m_drawBuffer) {
        m_drawBuffer->Release();
        m_drawBuffer = nullptr;
    }
    CloseFlash();
    if (m_view) {
        UnmapViewOfFile(m_view);
        m_view = nullptr;
    }
    ResetProperties();
    return S_OK;
}

STDMETHODIMP CAnimCtrl::put_UseTimer(long value) {
    m_useTimer = value;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::get_UseTimer(long* value) {
    if (value)
        *value = m_useTimer;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::GetFrameDelay(long* milliseconds, LONGLONG frame) {
    if (milliseconds)
        *milliseconds = 0;
    if (!m_opened)
        return E_FAIL;
    DWORD ms = 0;
    HRESULT hr = E_FAIL;
    switch (m_kind) {
        case ANIM_FLIC:
            m_flic->GetDelay(&ms);
            hr = S_OK;
            break;
        case ANIM_GIF:
            hr = m_gif->GetFrameDelay(&ms, frame) ? S_OK : E_FAIL;
            break;
        case ANIM_FLASH:
            hr = S_OK;
            break;
    }
    if (milliseconds)
        *milliseconds = (long)ms;
    return hr;
}

STDMETHODIMP CAnimCtrl::put_FrameRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    m_frameRect = *rect;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::GetMCIDeviceType(char* buffer) {
    if (buffer)
        strcpy(buffer, m_kind == ANIM_FLIC ? "Animation1" : "");
    return S_OK;
}

STDMETHODIMP CAnimCtrl::ApplyPositions(LONGLONG position) {
    m_timeBaseChanged = 0;
    return MediaObjectBase::ApplyPositions(position);
}

STDMETHODIMP CAnimCtrl::Update() {
    switch (m_kind) {
        case ANIM_FLIC:
        case ANIM_GIF: {
            int w = 0, h = 0;
            LONGLONG frames = 0;
            if (m_kind == ANIM_FLIC) {
                m_flic->GetSize(&w, &h);
                frames = m_flic->GetFrameCount();
            } else {
                m_gif->GetSize(&w, &h);
                frames = m_gif->GetFrameCount();
            }
            if (m_duration == 0)
                m_duration = frames;
            if (m_videoWidth == 0 || m_videoHeight == 0) {
                m_videoWidth = w;
                m_videoHeight = h;
            }
            break;
        }
        case ANIM_FLASH:
            if (m_duration == 0 && m_container) {
                long frames = 0;
                if (SUCCEEDED(m_container->IsMovieLoaded(&frames)))
                    m_duration = frames;
            }
            if (m_videoWidth == 0 || m_videoHeight == 0) {
                m_videoWidth = m_flashSize.right - m_flashSize.left;
                m_videoHeight = m_flashSize.bottom - m_flashSize.top;
            }
            break;
        default:
            m_startPos = m_endPos = m_curPos = m_duration = 0;
            return E_FAIL;
    }
    if (m_endPos > m_duration)
        m_endPos = m_duration;
    if (m_endPos < 0)
        m_endPos = 0;
    if (m_startPos < 0)
        m_startPos = 0;
    if (m_startPos > m_endPos)
        m_startPos = 0;
    if (m_playState != MEDIA_PAUSED)
        m_curPos = m_startPos;
    return S_OK;
}

STDMETHODIMP CAnimCtrl::SetKindFromFileName(const char* name, char* mciType) {
    m_kind = KindOfName(name);
    if (m_useMCI && mciType)
        GetMCIDeviceType(mciType);
    return S_OK;
}

BYTE CAnimCtrl::LoadFlashName(const char* name) {
    if (m_kind != ANIM_FLASH || !m_container)
        return 0;
    try {
        return m_container->QuickActivate(name ? name : m_movieName) ? 1 : 0;
    } catch (const std::exception&) {
        LOG_MSG("CAnimCtrl::LoadFlashName() FAILED.");
        return 0;
    }
}

void CAnimCtrl::CloseFlash() {
    if (!m_container)
        return;
    try {
        m_container->Close();
    } catch (const std::exception&) {
        LOG_MSG("m_pMvrFlashPlayer->Close() FAILED.");
    }
    m_container->Release();
    m_container = nullptr;
}

HRESULT CAnimCtrl::FlashPlay() {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    return m_container->Play();
}

HRESULT CAnimCtrl::FlashStop() {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    return m_container->Stop();
}

HRESULT CAnimCtrl::FlashGotoFrame(long frame) {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    return m_container->GotoFrame(frame);
}

HRESULT CAnimCtrl::ForwardMessageToFlash(const MSG* message) {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    return m_container->ForwardMessage(message);
}

HRESULT CAnimCtrl::SetFlashSize(int width, int height, IInvalidateTarget* owner) {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    if (m_drawBuffer) {
        m_drawBuffer->Release();
        m_drawBuffer = nullptr;
    }
    m_drawBuffer = CreateSiteBuffer(width, height, m_site);
    m_container->SetControlSize(width, height);
    SetSWFContainerOwner(m_container, owner);
    return m_drawBuffer ? S_OK : E_FAIL;
}

HRESULT CAnimCtrl::GetFlashFrame(LONGLONG* frame) {
    if (m_kind != ANIM_FLASH || !m_container)
        return E_FAIL;
    long current = 0;
    HRESULT hr = m_container->GetCurrentFrame(&current);
    if (SUCCEEDED(hr)) {
        m_curPos = current;
        if (frame)
            *frame = current;
    }
    return hr;
}

void CAnimCtrl::SwfFrameSizeOf(const BYTE* header, size_t size, RECT* rect) {
    if (!rect)
        return;
    CByteReader r(header, size);
    if (!r.Skip(8))
        return;
    const uint8_t b = r.U8();
    if (r.Failed())
        return;
    int w = 400, h = 320;
    switch (b) {
        case 0x50:
            w = 18, h = 18;
            break;
        case 0x58:
            w = 36, h = 18;
            break;
        case 0x60:
            w = 100, h = 48;
            break;
        case 0x68:
            w = 160, h = 100;
            break;
        case 0x78:
            w = 550, h = 400;
            break;
        case 0x80:
            w = 1600, h = 1200;
            break;
        case 0x88:
            w = 2880, h = 2880;
            break;
    }
    SetRect(rect, 0, 0, w, h);
}

void CAnimCtrl::ReadSwfFrameSize(const char* name, RECT* rect) {
    DWORD size = 0;
    void* view = MapFileView(name, &size);
    if (!view)
        return;
    SwfFrameSizeOf(static_cast<const BYTE*>(view), size, rect);
    UnmapViewOfFile(view);
}

HRESULT CreateMediaControl(int type, IPlayerSite* site, IMediaObjectBase** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    MediaObjectBase* control = nullptr;
    if (type == MEDIA_CONTROL_ANIMATION)
        control = new (std::nothrow) CAnimCtrl(site);
    else if (type == MEDIA_CONTROL_SOUND)
        control = new (std::nothrow) SoundControl(site);
    else if (type == MEDIA_CONTROL_VIDEO)
        control = new (std::nothrow) VideoControl(site);
    else
        return E_NOTIMPL;
    if (!control)
        return E_OUTOFMEMORY;
    control->AddRef();
    *out = control;
    return S_OK;
}
