#include "aSndObj.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "aUtil.h"
#include "bMediaManager.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

const char kSoundNotifyClass[] = "szSoundNotifyClass";

namespace {

const char kCdDevice[] = "cdaudio";

LRESULT CALLBACK SoundNotifyWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SoundObject* owner = reinterpret_cast<SoundObject*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        case WM_CONTEXTMENU:
            ForwardContextMenu(window, lParam);
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return ForwardMouseToParent(window, message, wParam, lParam);
        case MM_MCINOTIFY:
        case SOUND_POLL_MESSAGE:
            if (owner) {
                if (owner->Opened()) {
                    long ended = 0;
                    owner->Control()->HandleEvents(wParam, lParam, &ended);
                    if (ended)
                        owner->OnPlayEnded();
                }
                return 0;
            }
            if (message == MM_MCINOTIFY)
                return 0;
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

SoundObject::SoundObject()
    : m_control(nullptr),
      m_volume(MEDIA_VOLUME_MAX),
      m_balance(0),
      m_repeatTimes(1),
      m_flags(0),
      m_reserved(0),
      m_track(0),
      m_parent(nullptr),
      m_notify(nullptr),
      m_playCount(0) {}

SoundObject::~SoundObject() {
    CAbility::Stop();
    if (m_control) {
        m_control->Close();
        m_control->Release();
    }
    if (m_notify && IsWindow(m_notify)) {
        SetWindowLongPtrA(m_notify, GWLP_USERDATA, 0);
        DestroyWindow(m_notify);
    }
}

HRESULT SoundObject::SetUp() {
    char name[64];
    LoadResString(STRING_MEDIA_POSITION_ROW, name, sizeof(name));
    AddRow(name);
    return S_OK;
}

STDMETHODIMP SoundObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr) || m_control)
        return hr;
    IPlayerSite* site = ClassSite();
    if (site)
        m_parent = site->GetViewWindow();
    RegisterNotifyClass(kSoundNotifyClass, SoundNotifyWndProc);
    return MakeMediaControl(MEDIA_CONTROL_SOUND, site, &m_control);
}

LONGLONG SoundObject::ToControl(LONG ms) const {
    LONGLONG t = ms;
    MsToRefTime(&t, ms, Mci() ? FALSE : TRUE);
    return t;
}

LONG SoundObject::FromControl(LONGLONG t) const {
    LONGLONG ms = t;
    RefTimeToMs(t, &ms, Mci() ? FALSE : TRUE);
    return (LONG)ms;
}

// ---- loading ----

void SoundObject::PrepareWindows() {
    if (!m_parent) {
        IPlayerSite* site = ClassSite();
        if (site)
            m_parent = site->GetViewWindow();
    }
    if (!m_notify) {
        // Without a view the notices still need a window.
        m_notify = CreateWindowExA(0, kSoundNotifyClass, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 200,
                                   200, m_parent ? m_parent : HWND_MESSAGE, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        if (m_notify)
            SetWindowLongPtrA(m_notify, GWLP_USERDATA, (LONG_PTR)this);
    }
    m_control->put_NotifyWindow(m_notify);
    m_control->put_OwnerWindow(m_parent);
}

HRESULT SoundObject::OpenPrepared(const char* path, const void* bytes, DWORD count,
                                  const char* itemName) {
    char objectName[32] = {};
    LinkObjectName(objectName);
    m_control->put_CDAudio((m_flags & SNDFLAG_CDAUDIO) ? 1 : 0);
    m_control->put_UseMCI(Mci() ? 1 : 0);
    m_control->put_FileName(path ? path : "");
    m_control->put_NotifyCookie((LONG_PTR)this);
    m_control->put_Alias(objectName);
    HRESULT hr = path ? m_control->Open(path, 0)
                      : m_control->OpenFromMemory(bytes, count, itemName ? itemName : "");
    if (FAILED(hr) || !Opened())
        return E_FAIL;
    LONGLONG duration = 0;
    m_control->get_Duration(&duration);
    m_length = FromControl(duration);
    const LONG limit = Limit();
    if (m_end > limit)
        m_end = m_length;
    if (m_start > limit)
        m_start = m_length;
    m_cur = m_start;
    m_control->put_EndPos(ToControl(m_end));
    m_control->put_StartPos(ToControl(m_start));
    m_control->put_CurPos(ToControl(m_start));
    m_control->put_Balance(m_balance);
    m_control->put_Volume(m_volume);
    return S_OK;
}

STDMETHODIMP SoundObject::LoadMediaData(const char* name) {
    TRACE_POINT();
    if (!m_control)
        return E_FAIL;
    if (CAbility::GetState() != ABILITY_STOPPED)
        Stop();
    if (Opened())
        m_control->CloseMedia();
    PrepareWindows();
    if (!name)
        name = "";
    char path[MAX_PATH] = {};
    IMediaManager* manager = nullptr;
    bool fromPath = true;
    if (m_flags & SNDFLAG_CDAUDIO) {
        strcpy(path, kCdDevice);
    } else {
        IPlayerSite* site = ClassSite();
        if (!site || FAILED(site->GetMediaManager(&manager)) || !manager)
            return E_FAIL;
        BYTE external = 0;
        HRESULT hr = manager->IsFileMedia(name, &external);
        if (FAILED(hr))
            return hr;
        if (external) {
            hr = manager->GetMediaFilePath(name, 0, path, MAX_PATH);
        } else {
            int type = 0, subtype = 0;
            hr = manager->GetMediaType(name, &type, &subtype);
            // Embedded media plays without MCI.
            m_flags &= ~SNDFLAG_MCI;
            if (SUCCEEDED(hr) && (subtype == 1024 || subtype == 1027))
                hr = manager->ExtractMediaToTempFile(name, path, MAX_PATH);
            else
                fromPath = false;
        }
        if (FAILED(hr))
            return hr;
        path[MAX_PATH - 1] = 0;
    }
    if (fromPath)
        return OpenPrepared(path, nullptr, 0, nullptr);
    DWORD count = 0;
    char item[256] = {};
    HRESULT hr = ReadEmbeddedMedia(manager, name, &m_bytes, &count, item, sizeof(item));
    if (FAILED(hr))
        return hr;
    return OpenPrepared(nullptr, m_bytes.data(), count, item);
}

STDMETHODIMP SoundObject::TakeData(const void* bytes, DWORD count, const char* name) {
    if (!m_control || !bytes || !count)
        return E_FAIL;
    if (CAbility::GetState() != ABILITY_STOPPED)
        Stop();
    if (Opened())
        m_control->CloseMedia();
    PrepareWindows();
    m_flags &= ~SNDFLAG_MCI;
    try {
        m_bytes.assign(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + count);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return OpenPrepared(nullptr, m_bytes.data(), count, name);
}

HRESULT SoundObject::Reload() {
    if (Linked())
        return DbRefresh(DB_REFRESH_NOTICE);
    // A CD plays without a media name.
    if (!MediaName()[0] && !(m_flags & SNDFLAG_CDAUDIO))
        return E_FAIL;
    return LoadMediaData(MediaName());
}

STDMETHODIMP SoundObject::SetName(const char* name) {
    HRESULT hr = MediaDataHolder::SetName(name);
    m_end = m_length;
    this->SetWidth(120);
    this->SetHeight(80);
    Redraw();
    return hr;
}

STDMETHODIMP SoundObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(MediaName());
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SoundObject::put_ObjMediaName(BSTR name) {
    std::string text = MultibyteFromBstr(name);
    if (!StoreName(text.c_str()))
        return S_OK;
    HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
    // A new sound plays whole.
    if (SUCCEEDED(hr) && Opened() && MediaName()[0]) {
        m_start = 0;
        m_end = m_length;
        m_cur = 0;
        m_control->put_StartPos(ToControl(0));
        m_control->put_EndPos(ToControl(m_end));
    }
    Redraw();
    return hr;
}

HRESULT SoundObject::DbRefresh(int code) {
    if (code == DB_REFRESH_BIND && !Linked())
        return ReloadByName();
    HRESULT hr = DbLinkAbility::DbRefresh(code);
    if (FAILED(hr) && Linked() && Opened()) {
        Stop();
        m_control->CloseMedia();
    }
    return hr;
}

// ---- positions, volume, balance ----

STDMETHODIMP SoundObject::put_ObjStartPosition(LONG v) {
    if (v == m_start)
        return S_OK;
    if (v < 0 || v > Limit())
        return E_INVALIDARG;
    m_start = v;
    const bool both = m_end < v;
    if (both)
        m_end = v;
    if (m_control) {
        m_control->put_StartPos(ToControl(m_start));
        if (both)
            m_control->put_EndPos(ToControl(m_end));
    }
    CEventSinkTable::FireEvent(0, both ? MEDIAROW_BOTH : MEDIAROW_START);
    if (m_cur < m_start)
        put_ObjCurPosition(m_start);
    RedrawIfVisible();
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjEndPosition(LONG v) {
    if (v == m_end)
        return S_OK;
    if (v < 0 || v > Limit())
        return E_INVALIDARG;
    m_end = v;
    const bool both = m_start > v;
    if (both)
        m_start = v;
    if (m_control) {
        m_control->put_EndPos(ToControl(m_end));
        if (both)
            m_control->put_StartPos(ToControl(m_start));
    }
    CEventSinkTable::FireEvent(0, both ? MEDIAROW_BOTH : MEDIAROW_END);
    if (m_cur > m_end)
        put_ObjCurPosition(m_end);
    RedrawIfVisible();
    return S_OK;
}

STDMETHODIMP SoundObject::get_ObjCurPosition(LONG* out) {
    LONGLONG t = 0;
    if (Opened() && SUCCEEDED(m_control->get_CurPos(&t)))
        m_cur = FromControl(t);
    return Get(out, m_cur);
}

STDMETHODIMP SoundObject::put_ObjCurPosition(LONG v) {
    if (v == m_cur)
        return S_OK;
    if (v < m_start || v > m_end)
        return E_INVALIDARG;
    if (m_control)
        m_control->put_CurPos(ToControl(v));
    m_cur = v;
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    RedrawIfVisible();
    return S_OK;
}

STDMETHODIMP SoundObject::get_ObjVolume(LONG* out) {
    long v = m_volume;
    if (Opened() && SUCCEEDED(m_control->get_Volume(&v)))
        m_volume = v;
    return Get(out, m_volume);
}

STDMETHODIMP SoundObject::put_ObjVolume(LONG v) {
    if (v != ClampVolume(v)) {
        char format[128] = {};
        LoadResString(STRING_VOLUME_OUT_OF_RANGE, format, sizeof(format));
        char text[160];
        snprintf(text, sizeof(text), format, (int)v);
        LOG_MSG("%s", text);
        return S_FALSE;
    }
    m_volume = v;
    if (m_control)
        m_control->put_Volume(v);
    return S_OK;
}

STDMETHODIMP SoundObject::get_ObjBalance(LONG* out) {
    long v = m_balance;
    if (Opened() && SUCCEEDED(m_control->get_Balance(&v)))
        m_balance = v;
    return Get(out, m_balance);
}

STDMETHODIMP SoundObject::put_ObjBalance(LONG v) {
    if (v != ClampBalance(v))
        return S_FALSE;
    m_balance = v;
    if (m_control)
        m_control->put_Balance(v);
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjRepeatTimes(LONG v) {
    m_repeatTimes = ClampRepeatTimes(v);
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjRunVisible(LONG v) {
    SetFlag(SNDFLAG_RUNVISIBLE, v);
    Redraw();
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjMCI(LONG v) {
    if (!m_control)
        return E_FAIL;
    if (Opened())
        m_control->CloseMedia();
    m_control->put_UseMCI(v);
    SetFlag(SNDFLAG_MCI, v != 0);
    Reload();
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjCDAudio(LONG v) {
    if (((m_flags & SNDFLAG_CDAUDIO) != 0) == (v != 0))
        return S_OK;
    if (!m_control)
        return E_FAIL;
    if (Opened())
        m_control->CloseMedia();
    HRESULT hr = m_control->put_CDAudio(v);
    if (SUCCEEDED(hr)) {
        SetFlag(SNDFLAG_CDAUDIO, v != 0);
        if (m_flags & SNDFLAG_CDAUDIO)
            m_flags |= SNDFLAG_MCI;
    }
    Reload();
    Redraw();
    return hr;
}

STDMETHODIMP SoundObject::get_ObjCurSelTrack(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = 0;
    if (!Mci() || !(m_flags & SNDFLAG_CDAUDIO) || !m_control)
        return S_FALSE;
    long track = 0;
    if (SUCCEEDED(m_control->get_Track(&track)))
        m_track = track;
    *out = m_track;
    return S_OK;
}

STDMETHODIMP SoundObject::put_ObjCurSelTrack(LONG v) {
    if (!m_control)
        return E_FAIL;
    HRESULT hr = m_control->put_Track(v);
    if (SUCCEEDED(hr))
        m_track = v;
    return hr;
}

LONG SoundObject::PlayState() {
    long state = MEDIA_STOPPED;
    if (m_control)
        m_control->get_PlayState(&state);
    return state;
}

HRESULT SoundObject::CdTrackStart(LONG track, LONG* ms) {
    if (!ms)
        return E_POINTER;
    *ms = 0;
    if (!Mci() || !(m_flags & SNDFLAG_CDAUDIO) || !m_control)
        return E_FAIL;
    long position = 0;
    HRESULT hr = m_control->GetTrackPosition(&position, track);
    *ms = position;
    return hr;
}

// ---- transport ----

HRESULT SoundObject::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    if ((m_flags & SNDFLAG_CDAUDIO) || !m_control)
        return E_FAIL;
    return m_control->get_Rate(rate);
}

HRESULT SoundObject::SetRate(double rate) {
    if ((m_flags & SNDFLAG_CDAUDIO) || !m_control)
        return E_FAIL;
    return m_control->put_Rate(rate);
}

STDMETHODIMP SoundObject::PlayPauseMedia() {
    if (!Opened())
        return E_FAIL;
    switch (CAbility::GetState()) {
        case ABILITY_STOPPED:
            return Start();
        case ABILITY_RUNNING:
            return Pause();
        default:
            return Resume();
    }
}

void SoundObject::PrepareFast() {
    LONG cur = 0;
    get_ObjCurPosition(&cur);
    if (cur == m_end)
        put_ObjCurPosition(m_start);
    if (CAbility::GetState() == ABILITY_PAUSED)
        Resume();
    else if (CAbility::GetState() == ABILITY_STOPPED)
        Start();
}

STDMETHODIMP SoundObject::ForewardMedia() {
    if (!Opened())
        return S_OK;
    PrepareFast();
    SetRate(2.0);
    return S_OK;
}

HRESULT SoundObject::ToggleFastPlay() {
    if (!Opened())
        return S_OK;
    PrepareFast();
    double rate = 0;
    if (FAILED(GetRate(&rate)))
        return E_FAIL;
    if (rate > 0.99 && rate < 1.01)
        return SetRate(2.0);
    if (rate > 1.99 && rate < 2.01)
        return SetRate(1.0);
    return S_OK;
}

void SoundObject::OnPlayEnded() {
    switch (CountRepeat(&m_playCount, m_repeatTimes, !(m_flags & SNDFLAG_NOLIMIT),
                        (m_flags & SNDFLAG_AUTOREPEAT) != 0)) {
        case REPEAT_ENDED:
            Stop();
            if (m_flags & SNDFLAG_EXITONEND)
                this->OnExit();
            Fire(MEDIAEVT_PLAYEND);
            break;
        case REPEAT_LOOP:
            // The control plays on from the start.
            m_cur = -1;
            put_ObjCurPosition(m_start);
            if (Opened() && PlayState() != MEDIA_PLAYING)
                m_control->Play();
            Fire(MEDIAEVT_PLAYLOOP);
            break;
        case REPEAT_STOPPED:
            Stop();
            Fire(MEDIAEVT_PLAYSTOP);
            break;
    }
}

// ---- the ability ----

STDMETHODIMP SoundObject::Start() {
    if (Mci() && !Opened()) {
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
    m_control->Play();
    Fire(MEDIAEVT_PLAYSTART);
    return S_OK;
}

STDMETHODIMP SoundObject::Pause() {
    HRESULT hr = CAbility::Pause();
    if (Opened())
        m_control->Pause();
    return hr;
}

STDMETHODIMP SoundObject::Resume() {
    if (CAbility::GetState() != ABILITY_PAUSED)
        return S_OK;
    HRESULT hr = CAbility::Resume();
    if (Opened())
        m_control->Play();
    return hr;
}

STDMETHODIMP SoundObject::Stop() {
    if (CAbility::GetState() == ABILITY_STOPPED)
        return S_OK;
    HRESULT hr = CAbility::Stop();
    if (Opened())
        m_control->Stop();
    return hr;
}

STDMETHODIMP SoundObject::Reserved3() {
    if (Opened() && PlayState() == MEDIA_PLAYING && CAbility::GetState() == ABILITY_RUNNING)
        m_control->Pause();
    return S_OK;
}

STDMETHODIMP SoundObject::Reserved4() {
    if (Opened() && PlayState() != MEDIA_PLAYING && CAbility::GetState() == ABILITY_RUNNING)
        m_control->Play();
    return S_OK;
}

STDMETHODIMP SoundObject::OnClock() {
    CAbility::OnClock();
    if (Mci() && m_notify)
        SendMessageA(m_notify, SOUND_POLL_MESSAGE, 0, 0);
    LONG cur = 0;
    get_ObjCurPosition(&cur);
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    RedrawIfVisible();
    return S_OK;
}

// ---- render and event parts ----

STDMETHODIMP SoundObject::BeforeEnter() {
    if (!Opened())
        Reload();
    m_playCount = 0;
    put_ObjCurPosition(m_start);
    SetRate(1.0);
    return S_OK;
}

STDMETHODIMP SoundObject::BeforeExit() {
    m_playCount = 0;
    if (CAbility::GetState() == ABILITY_RUNNING)
        Stop();
    if (Mci() && Opened())
        m_control->CloseMedia();
    return S_OK;
}

STDMETHODIMP SoundObject::OnChange(int) {
    if (Opened())
        m_control->CloseMedia();
    if (m_notify) {
        DestroyWindow(m_notify);
        m_notify = nullptr;
    }
    return S_OK;
}

STDMETHODIMP SoundObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    HRESULT hr = ObjectBase<SoundObject>::FireEvent(id, arg1, arg2, prev);
    CAbility::OnEvent((LONG)id);
    return hr;
}

std::string SoundObject::StatusText() {
    char objectName[32] = {};
    LinkObjectName(objectName);
    LONG cur = 0;
    get_ObjCurPosition(&cur);
    char text[160];
    snprintf(text, sizeof(text), "%s\n%s\n%d/%dms", objectName,
             (m_flags & SNDFLAG_CDAUDIO) ? "CDAudio" : MediaName(), (int)cur, (int)m_end);
    return text;
}

HRESULT SoundObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect || !(m_flags & SNDFLAG_RUNVISIBLE))
        return S_OK;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    RECT box = *rect;
    FillRect(dc, &box, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    const int mode = SetBkMode(dc, TRANSPARENT);
    std::string text = StatusText();
    DrawTextA(dc, text.c_str(), -1, &box, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SetBkMode(dc, mode);
    target->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP SoundObject::InvalidateBounds(IPixelBuffer* target) {
    RECT bounds;
    this->GetTransformedBounds(&bounds);
    return DrawContent(target, &bounds);
}

// ---- the record ----

HRESULT SoundObject::LoadKind(ITeskStream* stream) {
    DWORD flags = 0;
    char name[MEDIA_NAME_FIELD + 1];
    if (!StreamReadValue(stream, &flags) || !ReadMediaNameField(stream, name, "Sound"))
        return E_FAIL;
    LONG v[10];
    if (!StreamHas(stream, sizeof(v)))
        return E_FAIL;
    stream->Read(v, sizeof(v));
    m_flags = (WORD)flags;
    StoreName(name);
    m_repeatTimes = ClampRepeatTimes(v[0]);
    m_length = v[2];
    m_start = v[3];
    m_end = v[4];
    m_cur = v[5];
    m_volume = ClampVolume(v[6]);
    m_balance = ClampBalance(v[7]);
    m_reserved = v[8];
    m_track = v[9];
    HRESULT hr = DbLinkAbility::Load(stream);
    if (FAILED(hr))
        return hr;
    return CAbility::LoadCodes(stream);
}

HRESULT CreateSoundObject(IUnknown** out) {
    return CreateObjectOfClass<SoundObject>(out);
}
