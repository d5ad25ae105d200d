#include "bSoundCtrl.h"

#include <stdio.h>
#include <string.h>

// The text functions this code uses are bounded by hand.
#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <new>

#include "bMemSource.h"
#include "bTraceLog.h"

namespace {

const ExtensionKind kSoundKinds[] = {{".wav", SOUND_KIND_WAVE}, {".mid", SOUND_KIND_MIDI},
                                     {".mp3", SOUND_KIND_MPEG}, {".asf", SOUND_KIND_MPEG},
                                     {".asx", SOUND_KIND_MPEG}, {".mp2", SOUND_KIND_MP2}};

const char* MciTypeOf(long kind) {
    switch (kind) {
        case SOUND_KIND_WAVE:
            return "waveaudio";
        case SOUND_KIND_MIDI:
            return "sequencer";
        case SOUND_KIND_MPEG:
        case SOUND_KIND_MP2:
            return "MPEGVideo";
        case SOUND_KIND_CD:
            return "cdaudio";
        default:
            return "";
    }
}

const GUID* SubtypeOf(long kind) {
    switch (kind) {
        case SOUND_KIND_WAVE:
            return &MEDIASUBTYPE_WAVE;
        case SOUND_KIND_MPEG:
        case SOUND_KIND_MP2:
            return &MEDIASUBTYPE_MPEG1Audio;
        default:
            return &GUID_NULL;
    }
}

// MCI aliases must differ between controls: two sounds of one file would
// otherwise refuse the second open.
LONG g_aliasCounter = 0;

}  // namespace

SoundControl::SoundControl(IPlayerSite* site)
    : MediaObjectBase(site),
      m_graph(nullptr),
      m_control(nullptr),
      m_videoWindow(nullptr),
      m_event(nullptr),
      m_audio(nullptr),
      m_seeking(nullptr),
      m_mci(new (std::nothrow) MciSoundDevice),
      m_reader(nullptr),
      m_track(0),
      m_trackCount(0),
      m_trackSelected(0) {}

SoundControl::~SoundControl() {
    Close();
    delete m_mci;
    ReleaseInterface(m_reader);
}

STDMETHODIMP SoundControl::SetKindFromFileName(const char* name, char* mciType) {
    m_kind = 0;
    if (m_cdAudio) {
        m_kind = SOUND_KIND_CD;
        m_useMCI = 1;
    } else {
        m_kind = KindByExtension(name, kSoundKinds, MATCH_LAST_FOUR, SOUND_KIND_OTHER);
    }
    if (mciType && m_useMCI)
        strcpy(mciType, MciTypeOf(m_kind));
    return S_OK;
}

STDMETHODIMP SoundControl::GetMCIDeviceType(char* buffer) {
    if (!buffer)
        return E_POINTER;
    strcpy(buffer, MciTypeOf(m_kind));
    return S_OK;
}

STDMETHODIMP SoundControl::IsClosed() {
    if (m_useMCI)
        return (m_mci && m_mci->DeviceId() != 0) ? S_OK : S_FALSE;
    return m_graph ? S_OK : S_FALSE;
}

HRESULT SoundControl::CreateGraph() {
    if (m_graph) {
        Close();
        if (m_graph)
            return E_FAIL;
    }
    return FAILED(CreateFilterGraph(&m_graph, "CoCreateInstance FilterGraph failed!")) ? E_FAIL
                                                                                       : S_OK;
}

void SoundControl::QueryGraph() {
    m_playState = MEDIA_STOPPED;
    m_graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&m_videoWindow));
    m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control));
    m_graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&m_audio));
    m_graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&m_event));
    m_graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&m_seeking));
}

void SoundControl::ReadDuration() {
    LONGLONG duration = 0;
    if (m_seeking && SUCCEEDED(m_seeking->GetDuration(&duration)))
        m_duration = duration;
}

void SoundControl::FinishGraphOpen() {
    if (m_seeking)
        m_seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
    if (m_videoWindow)
        m_videoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(m_notifyWindow));
    if (m_event)
        m_event->SetNotifyWindow(reinterpret_cast<OAHWND>(m_notifyWindow), WM_GRAPHNOTIFY,
                                 m_notifyCookie);
    ReadDuration();
    if (m_fileChanged)
        ResetPositions();
    else
        ApplyPositions(0);
    m_neverOpened = 0;
}

void SoundControl::ReleaseGraph() {
    if (m_videoWindow) {
        m_videoWindow->put_Owner(0);
        ReleaseInterface(m_videoWindow);
    }
    ReleaseInterface(m_control);
    if (m_event) {
        m_event->SetNotifyWindow(0, WM_GRAPHNOTIFY, 0);
        ReleaseInterface(m_event);
    }
    ReleaseInterface(m_audio);
    ReleaseInterface(m_seeking);
    ReleaseInterface(m_graph);
}

STDMETHODIMP SoundControl::Open(const void* nameOrData, DWORD size) {
    if (size)
        return OpenFromMemory(nameOrData, size, m_fileName);
    const char* name = static_cast<const char*>(nameOrData);
    if (!name)
        name = "";
    char type[64] = "";
    SetKindFromFileName(name, type);
    if (m_useMCI) {
        if (!type[0])
            return E_FAIL;
        if (!m_mci) {
            m_mci = new (std::nothrow) MciSoundDevice;
            if (!m_mci)
                return E_OUTOFMEMORY;
        }
        char alias[kMediaNameSize + 16];
        snprintf(alias, sizeof(alias), "%s#%ld", m_kind == SOUND_KIND_CD ? "cdaudio" : name,
                 (long)InterlockedIncrement(&g_aliasCounter));
        if (!m_mci->OpenSound(type, name, alias, nullptr))
            return E_FAIL;
        m_playState = MEDIA_STOPPED;
        m_duration = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_LENGTH);
        if (m_kind == SOUND_KIND_CD) {
            m_trackCount = (long)m_mci->MediaStatus(MCI_ITEM_TRACKS);
            if (m_track == 0) {
                m_track = (WORD)m_mci->MediaStatus(MCI_ITEM_CURRENT_TRACK);
                m_startPos = m_mci->TrackPosition(m_track);
                m_curPos = m_startPos;
                m_endPos = m_startPos + m_mci->TrackLength(m_track);
                m_trackChanged = 0;
            } else if (m_trackChanged && m_trackSelected) {
                m_startPos = m_mci->TrackPosition(m_track);
                m_curPos = m_startPos;
                m_endPos = m_startPos + m_mci->TrackLength(m_track) - 2;
                m_timeBaseChanged = 0;
            } else {
                ApplyPositions(m_mci->TrackPosition(1));
            }
            m_neverOpened = 0;
            return S_OK;
        }
        if (m_fileChanged)
            ResetPositions();
        else
            ApplyPositions(0);
        m_neverOpened = 0;
        return S_OK;
    }
    HRESULT hr = CreateGraph();
    if (FAILED(hr))
        return hr;
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_PATH) ||
        FAILED(m_graph->RenderFile(wide, nullptr))) {
        ReleaseInterface(m_graph);
        return E_FAIL;
    }
    QueryGraph();
    FinishGraphOpen();
    return S_OK;
}

STDMETHODIMP SoundControl::OpenFromMemory(const void* data, DWORD size, const char* name) {
    SetKindFromFileName(name, nullptr);
    if (m_useMCI || !data || !size)
        return E_FAIL;
    HRESULT hr = CreateGraph();
    if (FAILED(hr))
        return hr;
    QueryGraph();
    ReleaseInterface(m_reader);
    hr = RenderMemReader(m_graph, data, size, SubtypeOf(m_kind), &m_reader);
    if (FAILED(hr)) {
        ReleaseGraph();
        ReleaseInterface(m_reader);
        m_playState = MEDIA_STOPPED;
        return E_FAIL;
    }
    FinishGraphOpen();
    return S_OK;
}

STDMETHODIMP SoundControl::Play() {
    Update();
    if (m_useMCI) {
        if (!m_mci || !m_mci->Play((long)m_curPos, (long)m_endPos, m_notifyWindow))
            return E_FAIL;
        m_playState = MEDIA_PLAYING;
        return S_OK;
    }
    if (!m_control)
        return E_FAIL;
    HRESULT hr = m_control->Run();
    m_playState = MEDIA_PLAYING;
    return hr;
}

STDMETHODIMP SoundControl::Stop() {
    if (m_useMCI) {
        int ok = m_mci ? m_mci->Stop() : 0;
        m_playState = MEDIA_STOPPED;
        if (!ok)
            return E_FAIL;
        m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
        return S_OK;
    }
    if (!m_control)
        return E_FAIL;
    if (m_playState == MEDIA_STOPPED)
        return S_OK;
    m_control->Stop();
    HRESULT hr = m_seeking ? m_seeking->GetCurrentPosition(&m_curPos) : E_FAIL;
    m_playState = MEDIA_STOPPED;
    return hr;
}

STDMETHODIMP SoundControl::Pause() {
    HRESULT hr = S_OK;
    if (m_useMCI) {
        if (!m_mci)
            return E_FAIL;
        if (m_mci->MediaStatus(MCI_ITEM_MODE) == MCI_MODE_PLAY && !m_mci->Pause())
            hr = E_FAIL;
        m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
    } else {
        if (!m_control)
            return E_FAIL;
        hr = m_control->Pause();
        LONGLONG position = 0;
        if (m_seeking && m_seeking->GetCurrentPosition(&position) == S_OK)
            m_curPos = position;
    }
    m_playState = MEDIA_PAUSED;
    return hr;
}

STDMETHODIMP SoundControl::HandleEvents(WPARAM, LPARAM, long* ended) {
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
    // An audio graph has no video window: it is not asked for here.
    if (!m_graph || !m_control || !m_event)
        return E_FAIL;
    if (DrainGraphEvents(m_event, m_control, m_videoWindow) && ended)
        *ended = 1;
    return S_OK;
}

STDMETHODIMP SoundControl::Close() {
    if (m_playState != MEDIA_STOPPED) {
        if (m_useMCI && m_mci)
            m_mci->Stop();
        else if (m_control)
            m_control->Stop();
    }
    ResetProperties();
    m_playState = MEDIA_STOPPED;
    ReleaseGraph();
    // A device opened before the time base switched is closed too.
    if (m_mci && m_mci->DeviceId())
        return m_mci->Close() ? S_OK : E_FAIL;
    return S_OK;
}

STDMETHODIMP SoundControl::Update() {
    if (m_useMCI) {
        if (m_duration <= 0 && m_mci)
            m_duration = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_LENGTH);
        bool cd = m_cdAudio && m_mci;
        if (m_endPos <= 0 || m_endPos > m_duration) {
            if (cd) {
                WORD track = (WORD)m_mci->MediaStatus(MCI_ITEM_CURRENT_TRACK);
                m_endPos = m_startPos + m_mci->TrackLength(track);
            } else {
                m_endPos = m_duration;
            }
        }
        if (m_startPos < 0 || m_startPos > m_endPos)
            m_startPos = cd ? m_mci->TrackPosition(1) : 0;
        if (!m_cdAudio) {
            m_volumeChanged = 0;
            m_balanceChanged = 0;
        }
        return S_OK;
    }
    HRESULT hr = S_OK;
    if (m_duration <= 0)
        ReadDuration();
    // An end of 0 means the end of the media, as under MCI.
    if (m_endPos > m_duration || m_endPos <= 0)
        m_endPos = m_duration;
    if (m_startPos < 0)
        m_startPos = 0;
    if (m_startPos > m_endPos)
        m_startPos = m_endPos;
    if (m_curPos >= m_endPos || m_curPos < m_startPos)
        m_curPos = m_startPos;
    if (m_seeking && (m_playState != MEDIA_PAUSED || m_startChanged || m_endChanged)) {
        IMediaPosition* position = nullptr;
        hr = m_seeking->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position));
        if (SUCCEEDED(hr)) {
            hr = position->put_CurrentPosition(m_curPos * 1e-7);
            HRESULT stop = position->put_StopTime(m_endPos * 1e-7);
            if (SUCCEEDED(hr) && SUCCEEDED(stop)) {
                m_startChanged = 0;
                m_endChanged = 0;
            }
            if (SUCCEEDED(hr))
                hr = stop;
            position->Release();
        }
    }
    if (m_audio) {
        if (m_balanceChanged) {
            hr = m_audio->put_Balance(m_balance);
            if (SUCCEEDED(hr)) {
                m_balanceChanged = 0;
                m_volumeChanged = 1;
            }
        }
        if (m_volumeChanged) {
            hr = m_audio->put_Volume(m_volume * 10 - 10000);
            if (SUCCEEDED(hr))
                m_volumeChanged = 0;
        }
    }
    if (m_rateChanged) {
        hr = m_seeking ? m_seeking->SetRate(m_rate) : E_FAIL;
        if (SUCCEEDED(hr))
            m_rateChanged = 0;
    }
    return hr;
}

STDMETHODIMP SoundControl::get_CurPos(LONGLONG* value) {
    if (m_useMCI) {
        if (m_mci && IsClosed() == S_OK)
            m_curPos = (LONGLONG)m_mci->MediaStatus(MCI_ITEM_POSITION);
    } else if (m_seeking) {
        LONGLONG position = 0;
        if (SUCCEEDED(m_seeking->GetCurrentPosition(&position)))
            m_curPos = position;
    }
    return MediaObjectBase::get_CurPos(value);
}

HRESULT SoundControl::SeekGraph(LONGLONG value) {
    if (!m_seeking)
        return E_FAIL;
    IMediaPosition* position = nullptr;
    HRESULT hr = m_seeking->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position));
    if (FAILED(hr))
        return hr;
    hr = position->put_CurrentPosition(value * 1e-7);
    position->Release();
    return hr;
}

STDMETHODIMP SoundControl::put_CurPos(LONGLONG value) {
    const bool playing = m_playState == MEDIA_PLAYING;
    if (playing)
        Pause();
    MediaObjectBase::put_CurPos(value);
    HRESULT hr;
    if (m_useMCI)
        hr = (m_mci && m_mci->MediaSetPos((long)m_curPos)) ? S_OK : E_FAIL;
    else
        hr = SeekGraph(m_curPos);
    if (playing)
        Play();
    return hr;
}

STDMETHODIMP SoundControl::get_Rate(double* value) {
    if (!m_useMCI && m_seeking) {
        double rate = 0;
        if (SUCCEEDED(m_seeking->GetRate(&rate)))
            m_rate = rate;
    }
    return MediaObjectBase::get_Rate(value);
}

STDMETHODIMP SoundControl::put_Rate(double value) {
    if (m_useMCI) {
        m_rate = value;
        return S_OK;
    }
    if (m_seeking) {
        m_rate = value;
        return m_seeking->SetRate(value);
    }
    return MediaObjectBase::put_Rate(value);
}

STDMETHODIMP SoundControl::put_Volume(long value) {
    if (m_useMCI && m_mci && m_mci->DeviceId()) {
        m_volume = value;
        return S_OK;
    }
    if (!m_useMCI && m_audio) {
        HRESULT hr = m_audio->put_Volume(value * 10 - 10000);
        if (SUCCEEDED(hr))
            m_volume = value;
        long check = 0;
        return m_audio->get_Volume(&check);
    }
    return MediaObjectBase::put_Volume(value);
}

STDMETHODIMP SoundControl::get_Balance(long* value) {
    if (!m_useMCI && m_audio) {
        long balance = 0;
        if (SUCCEEDED(m_audio->get_Balance(&balance)))
            m_balance = balance;
    }
    return MediaObjectBase::get_Balance(value);
}

STDMETHODIMP SoundControl::put_Balance(long value) {
    if (!m_useMCI && m_audio) {
        m_balance = value;
        m_audio->put_Balance(value);
        return S_OK;
    }
    return MediaObjectBase::put_Balance(value);
}

STDMETHODIMP SoundControl::get_Track(long* track) {
    if (track)
        *track = m_track;
    return S_OK;
}

STDMETHODIMP SoundControl::put_Track(long track) {
    m_trackSelected = 1;
    if (!m_mci)
        return E_FAIL;
    const bool open = IsClosed() == S_OK;
    if (open) {
        if (track > m_trackCount)
            track = m_trackCount;
        if (track < 1)
            track = 1;
    }
    m_trackChanged = track != m_track;
    m_track = (WORD)track;
    if (!open)
        return S_OK;
    const LONGLONG start = m_mci->TrackPosition(m_track);
    m_startPos = start;
    m_curPos = start;
    m_endPos = start + m_mci->TrackLength(m_track) - 2;
    m_startChanged = 1;
    m_endChanged = 1;
    put_EndPos(m_endPos);
    put_StartPos(m_startPos);
    put_CurPos(m_curPos);
    m_trackChanged = 0;
    return S_OK;
}

STDMETHODIMP SoundControl::put_StartPos(LONGLONG value) {
    if (!m_cdAudio || !CdOpen())
        return MediaObjectBase::put_StartPos(value);
    if ((value >> 32) != 0 || value != (LONGLONG)m_mci->TrackPosition(m_track)) {
        m_trackSelected = 0;
        return MediaObjectBase::put_StartPos(value);
    }
    m_trackSelected = 1;
    return S_OK;
}

STDMETHODIMP SoundControl::put_EndPos(LONGLONG value) {
    if (!m_cdAudio || !CdOpen())
        return MediaObjectBase::put_EndPos(value);
    const LONGLONG trackEnd = (LONGLONG)m_mci->TrackPosition(m_track) + m_mci->TrackLength(m_track);
    if (((value + 2) >> 32) != 0 || value + 2 != trackEnd) {
        m_trackSelected = 0;
        return MediaObjectBase::put_EndPos(value);
    }
    m_trackSelected = 1;
    return S_OK;
}

STDMETHODIMP SoundControl::GetTrackLength(long track, LONGLONG* length) {
    if (!UsesDevice() || !length)
        return E_FAIL;
    *length = m_mci->TrackLength(track);
    return S_OK;
}

STDMETHODIMP SoundControl::GetMediaPresent(long* present) {
    if (!UsesDevice() || !present)
        return E_FAIL;
    *present = (long)m_mci->MediaStatus(MCI_ITEM_MEDIA_PRESENT);
    return S_OK;
}

STDMETHODIMP SoundControl::GetTrackCount(long* count) {
    if (!UsesDevice() || !count)
        return E_FAIL;
    *count = (long)m_mci->MediaStatus(MCI_ITEM_TRACKS);
    return S_OK;
}

STDMETHODIMP SoundControl::GetTrackLengthMs(long* length, long track) {
    if (!UsesDevice() || !length)
        return E_FAIL;
    *length = (long)m_mci->TrackLength(track);
    return S_OK;
}

STDMETHODIMP SoundControl::GetTrackPosition(long* position, long track) {
    if (!UsesDevice() || !position)
        return E_FAIL;
    *position = (long)m_mci->TrackPosition(track);
    return S_OK;
}
