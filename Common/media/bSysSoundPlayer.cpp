#include "bSysSoundPlayer.h"

#include <string.h>
#include <windowsx.h>

#include <new>

#include "bMediaManager.h"
#include "bPlayerSite.h"
#include "bSoundCtrl.h"
#include "bTraceLog.h"

namespace {

const char kNotifyClass[] = "szSysSoundNotifyClass";

// Embedded subtypes the graph cannot take from memory: played from a file.
bool PlaysFromFile(int subtype) {
    return subtype == 1024 || subtype == 1027;
}

}  // namespace

CSysSound::CSysSound(IPlayerSite* site)
    : m_site(site),
      m_start(0),
      m_current(0),
      m_end(0),
      m_volume(1000),
      m_balance(0),
      m_track(0),
      m_owner(nullptr),
      m_active(1),
      m_flags(0),
      m_control(nullptr),
      m_state(MEDIA_STOPPED),
      m_block(nullptr),
      m_ends(0),
      m_recordFirst(0) {
    m_name[0] = 0;
    memset(m_recordValues, 0, sizeof(m_recordValues));
    RegisterWndClass(kNotifyClass, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), nullptr);
    SoundControl* control = new (std::nothrow) SoundControl(site);
    if (control) {
        m_control = control;
        m_control->AddRef();
    }
}

CSysSound::~CSysSound() {
    if (m_control) {
        m_control->Release();
        m_control = nullptr;
    }
    DestroyWindow();
    delete[] m_block;
}

bool CSysSound::IsOpen() {
    return m_control && m_control->IsClosed() == S_OK;
}

HRESULT CSysSound::put_StartPos(long ms) {
    m_start = ms;
    if (!m_control)
        return E_FAIL;
    LONGLONG value = 0;
    MsToRefTime(&value, ms, Converts());
    return m_control->put_StartPos(value);
}

HRESULT CSysSound::get_StartPos(long* ms) {
    if (!ms)
        return E_POINTER;
    *ms = m_start;
    return S_OK;
}

HRESULT CSysSound::put_CurPos(long ms) {
    m_current = ms;
    if (!m_control)
        return E_FAIL;
    LONGLONG value = 0;
    MsToRefTime(&value, ms, Converts());
    return m_control->put_CurPos(value);
}

HRESULT CSysSound::get_CurPos(long* ms) {
    if (!ms)
        return E_POINTER;
    if (!m_control)
        return E_FAIL;
    LONGLONG value = 0;
    HRESULT hr = m_control->get_CurPos(&value);
    if (FAILED(hr))
        return hr;
    RefTimeToMs(value, &value, Converts());
    m_current = (LONG)value;
    *ms = m_current;
    return S_OK;
}

HRESULT CSysSound::put_EndPos(long ms) {
    m_end = ms;
    if (!m_control)
        return E_FAIL;
    LONGLONG value = 0;
    MsToRefTime(&value, ms, Converts());
    return m_control->put_EndPos(value);
}

HRESULT CSysSound::get_EndPos(long* ms) {
    if (!ms)
        return E_POINTER;
    *ms = m_end;
    return S_OK;
}

HRESULT CSysSound::put_Loop(long on) {
    if (on)
        m_flags |= SYSSOUND_LOOP;
    else
        m_flags &= ~(DWORD)SYSSOUND_LOOP;
    return S_OK;
}

HRESULT CSysSound::get_Loop(long* on) {
    if (!on)
        return E_POINTER;
    *on = (m_flags & SYSSOUND_LOOP) ? 1 : 0;
    return S_OK;
}

HRESULT CSysSound::put_CDAudio(long on) {
    if (on)
        m_flags |= SYSSOUND_CD | SYSSOUND_MCI;
    else
        m_flags &= ~(DWORD)(SYSSOUND_CD | SYSSOUND_MCI);
    return S_OK;
}

HRESULT CSysSound::get_CDAudio(long* on) {
    if (!on)
        return E_POINTER;
    *on = (m_flags & SYSSOUND_CD) ? 1 : 0;
    return S_OK;
}

HRESULT CSysSound::put_Track(long track) {
    if (!m_control)
        return E_FAIL;
    HRESULT hr = m_control->put_Track(track);
    if (SUCCEEDED(hr)) {
        // The open CD limits the number to its tracks.
        long chosen = track;
        m_control->get_Track(&chosen);
        m_track = chosen;
    }
    return hr;
}

HRESULT CSysSound::get_Track(long* track) {
    if (!track)
        return E_POINTER;
    *track = m_track;
    return S_OK;
}

HRESULT CSysSound::put_Volume(long volume) {
    if (m_flags & SYSSOUND_CD)
        return E_FAIL;
    m_volume = volume;
    return m_control ? m_control->put_Volume(volume) : E_FAIL;
}

HRESULT CSysSound::get_Volume(long* volume) {
    if (m_flags & SYSSOUND_CD)
        return E_FAIL;
    if (!volume)
        return E_POINTER;
    *volume = m_volume;
    return S_OK;
}

HRESULT CSysSound::put_Balance(long balance) {
    if ((m_flags & SYSSOUND_CD) || !m_control)
        return E_FAIL;
    HRESULT hr = m_control->put_Balance(balance);
    if (SUCCEEDED(hr))
        m_balance = balance;
    return hr;
}

HRESULT CSysSound::get_Balance(long* balance) {
    if (m_flags & SYSSOUND_CD)
        return E_FAIL;
    if (!balance)
        return E_POINTER;
    *balance = m_balance;
    return S_OK;
}

HRESULT CSysSound::get_Active(long* on) {
    if (!on)
        return E_POINTER;
    *on = m_active;
    return S_OK;
}

HRESULT CSysSound::get_MediaName(char* buffer, int size) {
    if (!buffer || size < (int)strlen(m_name) + 1)
        return E_FAIL;
    strcpy(buffer, m_name);
    return S_OK;
}

HRESULT CSysSound::put_MediaName(const char* name) {
    if (!name || !*name)
        return E_FAIL;
    if (strlen(name) >= sizeof(m_name))
        return E_INVALIDARG;
    if (strcmp(name, m_name) == 0)
        return S_OK;
    strcpy(m_name, name);
    return S_OK;
}

HRESULT CSysSound::put_PlayState(long state) {
    return m_control ? m_control->put_PlayState(state) : E_FAIL;
}

HRESULT CSysSound::get_PlayState(long* state) {
    if (!state)
        return E_POINTER;
    return m_control ? m_control->get_PlayState(state) : E_FAIL;
}

HRESULT CSysSound::Close() {
    if (!IsOpen())
        return E_FAIL;
    HRESULT hr = m_control->CloseMedia();
    m_state = MEDIA_STOPPED;
    return hr;
}

HRESULT CSysSound::Pause() {
    if (!IsOpen())
        return E_FAIL;
    m_state = MEDIA_PAUSED;
    try {
        return m_control->Pause();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return E_FAIL;
    }
}

HRESULT CSysSound::Stop() {
    m_state = MEDIA_STOPPED;
    if (!IsOpen())
        return E_FAIL;
    try {
        return m_control->Stop();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return E_FAIL;
    }
}

HRESULT CSysSound::Play() {
    m_state = MEDIA_PLAYING;
    if (!IsOpen())
        return E_FAIL;
    try {
        return m_control->Play();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return E_FAIL;
    }
}

bool CSysSound::MakeNotifyWindow() {
    if (m_hWnd)
        return true;
    RECT r = {0, 0, 200, 200};
    if (!Create(kNotifyClass, m_owner, &r, "", WS_CHILD | WS_CLIPSIBLINGS, 0)) {
        LOG_WIN32_ERROR(0, "CreateWindow FAILED!");
        return false;
    }
    return true;
}

void CSysSound::ApplyStoredPositions() {
    put_EndPos(m_end);
    put_StartPos(m_start);
    put_CurPos(m_current);
}

HRESULT CSysSound::Open(HWND owner) {
    if (!m_name[0] && !(m_flags & SYSSOUND_CD))
        return E_FAIL;
    if (!m_owner)
        m_owner = owner ? owner : (m_site ? m_site->GetViewWindow() : nullptr);
    if (IsOpen())
        m_control->CloseMedia();
    m_state = MEDIA_STOPPED;
    MakeNotifyWindow();
    if (!m_control)
        return E_FAIL;
    if (!(m_flags & SYSSOUND_CD))
        return OpenMedia();
    m_control->put_NotifyWindow(m_hWnd);
    m_control->put_FileName("cdaudio");
    m_control->put_NotifyCookie(Cookie());
    m_control->put_Alias("cdaudio");
    m_control->put_CDAudio(1);
    m_control->put_UseMCI(1);
    HRESULT hr = m_control->Open("cdaudio", 0);
    if (SUCCEEDED(hr)) {
        // Without a stored range the chosen track's own range stays.
        if (m_end != 0)
            ApplyStoredPositions();
        m_control->put_Balance(m_balance);
    }
    return hr;
}

HRESULT CSysSound::OpenMedia() {
    IMediaManager* media = nullptr;
    if (!m_site || FAILED(m_site->GetMediaManager(&media)) || !media)
        return E_FAIL;
    BYTE isFile = 0;
    HRESULT hr = media->IsFileMedia(m_name, &isFile);
    if (FAILED(hr))
        return hr;
    char path[MAX_PATH] = "";
    bool fromFile = isFile != 0;
    if (fromFile) {
        hr = media->GetMediaFilePath(m_name, 0, path, MAX_PATH);
    } else {
        int type = -1, subtype = -1;
        hr = media->GetMediaType(m_name, &type, &subtype);
        if (SUCCEEDED(hr) && PlaysFromFile(subtype)) {
            fromFile = true;
            hr = media->ExtractMediaToTempFile(m_name, path, MAX_PATH);
        }
    }
    if (FAILED(hr))
        return hr;
    path[MAX_PATH - 1] = 0;
    m_control->put_NotifyWindow(m_hWnd);
    m_control->put_OwnerWindow(m_owner);
    m_control->put_FileName(fromFile ? path : m_name);
    m_control->put_NotifyCookie(Cookie());
    m_control->put_UseMCI(0);
    m_control->put_CDAudio(0);
    if (fromFile) {
        hr = m_control->Open(path, 0);
        if (FAILED(hr))
            return hr;
    } else {
        DWORD size = 0;
        hr = media->ReadMediaData(m_name, 0, 0, nullptr, &size);
        if (FAILED(hr))
            return hr;
        if (size == 0)
            return E_FAIL;
        BYTE* block = new (std::nothrow) BYTE[size];
        if (!block)
            return E_OUTOFMEMORY;
        DWORD got = size;
        hr = media->ReadMediaData(m_name, 0, 0, block, &got);
        char extension[16] = "";
        if (SUCCEEDED(hr) && got != size)
            hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = media->GetDefaultExtension(m_name, extension, sizeof(extension));
        if (FAILED(hr)) {
            delete[] block;
            return hr;
        }
        // The old block goes only after the control let go of its reader.
        BYTE* old = m_block;
        m_block = block;
        hr = m_control->OpenFromMemory(m_block, size, extension);
        delete[] old;
        if (FAILED(hr))
            return hr;
        LOG_MSG("SysSound: %s from memory (%lu bytes)", m_name, (unsigned long)size);
    }
    ApplyStoredPositions();
    m_control->put_Volume(m_volume);
    m_control->put_Balance(m_balance);
    return S_OK;
}

HRESULT CSysSound::Rewind() {
    if (!IsOpen())
        return E_FAIL;
    LONGLONG start = 0;
    m_control->get_StartPos(&start);
    return m_control->put_CurPos(start);
}

HRESULT CSysSound::SetBalance(int balance) {
    return put_Balance(balance);
}

HRESULT CSysSound::StepVolume(BOOL up) {
    if ((m_flags & SYSSOUND_CD) || !m_control)
        return E_FAIL;
    LONG volume = m_volume + (up ? 100 : -100);
    volume = volume < 0 ? 0 : volume > 1000 ? 1000 : volume;
    HRESULT hr = m_control->put_Volume(volume);
    if (SUCCEEDED(hr))
        m_volume = volume;
    return hr;
}

HRESULT CSysSound::SetVolume(int volume) {
    if ((m_flags & SYSSOUND_CD) || !m_control)
        return E_FAIL;
    HRESULT hr = m_control->put_Volume(volume);
    if (SUCCEEDED(hr))
        m_volume = volume;
    return hr;
}

HRESULT CSysSound::SetActive(BOOL on) {
    const LONG flag = on ? 1 : 0;
    if (flag == m_active)
        return S_FALSE;
    if (!m_control)
        return E_FAIL;
    m_active = flag;
    return flag ? Play() : Stop();
}

HRESULT CSysSound::OnEnd() {
    ++m_ends;
    LOG_MSG("SysSound: end of %s", m_name[0] ? m_name : "cdaudio");
    if (m_flags & SYSSOUND_LOOP)
        return Rewind();
    return Stop();
}

HRESULT CSysSound::HandleEvents() {
    if (!IsOpen())
        return E_FAIL;
    long ended = 0;
    HRESULT hr = m_control->HandleEvents(0, 0, &ended);
    if (SUCCEEDED(hr) && ended)
        hr = OnEnd();
    return hr;
}

HRESULT CSysSound::CopyProperties(const SysSoundProperties* record) {
    if (!record)
        return E_POINTER;
    m_recordFirst = record->first;
    memcpy(m_recordValues, record->values, sizeof(m_recordValues));
    const bool cd = record->values[5] != 0;
    HRESULT named = put_MediaName(record->path);
    // A name that cannot be taken must not leave the previous sound to open.
    if (FAILED(named))
        m_name[0] = 0;
    put_CDAudio(cd ? 1 : 0);
    put_Volume((LONG)record->values[8]);
    put_Balance((LONG)record->values[9]);
    put_StartPos((LONG)record->values[0]);
    put_EndPos((LONG)record->values[1]);
    return cd || SUCCEEDED(named) ? S_OK : named;
}

int CSysSound::GetPlayState() {
    long state = MEDIA_STOPPED;
    get_PlayState(&state);
    return (int)state;
}

HRESULT CSysSound::GetVolume(int* volume) {
    long v = 0;
    HRESULT hr = get_Volume(&v);
    if (SUCCEEDED(hr) && volume)
        *volume = (int)v;
    return hr;
}

LRESULT CSysSound::OnContextMenu(UINT msg, WPARAM, LPARAM lParam, BOOL&) {
    HWND parent = GetParent(m_hWnd);
    return parent ? SendMessageA(parent, msg, (WPARAM)parent, lParam) : 0;
}

LRESULT CSysSound::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    HWND parent = GetParent(m_hWnd);
    if (!parent)
        return 0;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(m_hWnd, parent, &pt, 1);
    return SendMessageA(parent, msg, wParam, MAKELPARAM(pt.x, pt.y));
}

LRESULT CSysSound::OnNotify(UINT msg, WPARAM, LPARAM lParam, BOOL& handled) {
    // A graph notice names its sound by the cookie; another's is not ours.
    if (msg == kGraphNotify && lParam != Cookie()) {
        handled = FALSE;
        return 0;
    }
    HandleEvents();
    return 0;
}
