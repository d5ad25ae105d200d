#include "bRecorder.h"

#include <string.h>

#include <dsound.h>

#include <new>

#include "aUtil.h"
#include "bHandles.h"
#include "bFileUtil.h"
#include "bPlayerSite.h"
#include "bSoundCtrl.h"
#include "bTraceLog.h"

namespace {

// The capture formats; a capability bit of 0 matches every device.
struct FormatRow {
    DWORD rate;
    WORD bits;
    WORD channels;
    DWORD capability;
};
const FormatRow kFormats[16] = {
    {8000, 8, 1, 0},    {8000, 8, 2, 0},    {8000, 16, 1, 0},     {8000, 16, 2, 0},
    {11025, 8, 1, 1},   {11025, 8, 2, 2},   {11025, 16, 1, 4},    {11025, 16, 2, 8},
    {22050, 8, 1, 16},  {22050, 8, 2, 32},  {22050, 16, 1, 64},   {22050, 16, 2, 128},
    {44100, 8, 1, 256}, {44100, 8, 2, 512}, {44100, 16, 1, 1024}, {44100, 16, 2, 2048},
};
const int kNotifyCount = 16;
// IID_IDirectSoundNotify, without the dxguid library.
const IID kIDirectSoundNotify = {
    0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
const UINT kCaptionId = 130;
const char kWindowClass[] = "_SoundRecorderWnd";

WAVEFORMATEX FormatOf(int row) {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = kFormats[row].channels;
    f.nSamplesPerSec = kFormats[row].rate;
    f.wBitsPerSample = kFormats[row].bits;
    f.nBlockAlign = (WORD)(f.nChannels * f.wBitsPerSample / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

BOOL CALLBACK AddDevice(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
    RecorderDevice d = {};
    d.guid = guid ? *guid : GUID_NULL;
    lstrcpynA(d.description, description ? description : "", sizeof(d.description));
    lstrcpynA(d.module, module ? module : "", sizeof(d.module));
    static_cast<std::vector<RecorderDevice>*>(context)->push_back(d);
    return TRUE;
}

LRESULT CALLBACK RecorderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RECORDER_MESSAGE) {
        auto* recorder =
            reinterpret_cast<CSoundRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (recorder)
            recorder->ShowMessage((UINT)wParam, MB_ICONINFORMATION);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterRecorderClass() {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = RecorderWindowProc;
    wc.cbWndExtra = 4;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);  // a second recorder finds it registered
}

const SoundCaptureCalls kSystemCapture = {DirectSoundCaptureEnumerateA, DirectSoundCaptureCreate};
const SoundCaptureCalls* g_capture = &kSystemCapture;

}  // namespace

void SetSoundCaptureCalls(const SoundCaptureCalls* calls) {
    g_capture = calls ? calls : &kSystemCapture;
}

bool WaveFileWriter::Open(const char* path, const WAVEFORMATEX& format) {
    Close();
    m_file = mmioOpenA(const_cast<char*>(path), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
    if (!m_file)
        return false;
    m_riff = MMCKINFO();
    m_riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO fmt = {};
    fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
    fmt.cksize = sizeof(PCMWAVEFORMAT);
    m_data = MMCKINFO();
    m_data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioCreateChunk(m_file, &m_riff, MMIO_CREATERIFF) != MMSYSERR_NOERROR ||
        mmioCreateChunk(m_file, &fmt, 0) != MMSYSERR_NOERROR ||
        mmioWrite(m_file, reinterpret_cast<const char*>(&format), sizeof(PCMWAVEFORMAT)) !=
            (LONG)sizeof(PCMWAVEFORMAT) ||
        mmioAscend(m_file, &fmt, 0) != MMSYSERR_NOERROR ||
        mmioCreateChunk(m_file, &m_data, 0) != MMSYSERR_NOERROR) {
        mmioClose(m_file, 0);
        m_file = nullptr;
        return false;
    }
    return true;
}

bool WaveFileWriter::Write(const void* data, DWORD size) {
    return m_file && mmioWrite(m_file, static_cast<const char*>(data), (LONG)size) == (LONG)size;
}

bool WaveFileWriter::Close() {
    if (!m_file)
        return true;
    const bool ok = mmioAscend(m_file, &m_data, 0) == MMSYSERR_NOERROR &&
                    mmioAscend(m_file, &m_riff, 0) == MMSYSERR_NOERROR;
    const bool closed = mmioClose(m_file, 0) == MMSYSERR_NOERROR;
    m_file = nullptr;
    return ok && closed;
}

CSoundRecorder::CSoundRecorder(HWND owner, IPlayerSite* site)
    : m_site(site),
      m_owner(owner),
      m_window(nullptr),
      m_device(GUID_NULL),
      m_deviceChosen(false),
      m_format(FormatOf(0)),
      m_capture(nullptr),
      m_captureBuffer(nullptr),
      m_notifySize(0),
      m_bufferSize(0),
      m_readOffset(0),
      m_block(new (std::nothrow) BYTE[kRecorderBlockSize]),
      m_recorded(0),
      m_mode(RECORD_TO_MEMORY),
      m_state(RECORDER_IDLE),
      m_limit(-1),
      m_startTick(0),
      m_pauseTick(0),
      m_pausedTime(0),
      m_thread(nullptr),
      m_notifyEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_stopEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_sound(nullptr),
      m_directSound(nullptr),
      m_primary(nullptr),
      m_playBuffer(nullptr),
      m_messageDepth(0),
      m_full(0) {
    m_fileName[0] = 0;
    InitializeCriticalSection(&m_lock);
}

CSoundRecorder::~CSoundRecorder() {
    Stop();
    WaitForWorker();
    ReleaseCapture();
    ReleasePlayback();
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
    if (m_notifyEvent)
        CloseHandle(m_notifyEvent);
    if (m_stopEvent)
        CloseHandle(m_stopEvent);
    delete[] m_block;
    DeleteCriticalSection(&m_lock);
}

STDMETHODIMP_(void) CSoundRecorder::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

void CSoundRecorder::ShowMessage(UINT textId, UINT type) {
    InterlockedIncrement(&m_messageDepth);
    ShowResourceMessage(m_owner, kCaptionId, textId, type);
    InterlockedDecrement(&m_messageDepth);
    if (m_owner) {
        InvalidateRect(m_owner, nullptr, TRUE);
        UpdateWindow(m_owner);
    }
}

void CSoundRecorder::Post(UINT textId) {
    if (m_window)
        PostMessageA(m_window, WM_RECORDER_MESSAGE, textId, 0);
}

HWND CSoundRecorder::OwnerForStart() {
    if (m_site)
        m_owner = m_site->GetViewWindow();
    return m_owner;
}

const GUID* CSoundRecorder::SelectedGuid() const {
    return m_deviceChosen && m_device != GUID_NULL ? &m_device : nullptr;
}

STDMETHODIMP CSoundRecorder::Init() {
    m_devices.clear();
    if (FAILED(g_capture->enumerate(AddDevice, &m_devices)))
        ShowMessage(12135, MB_ICONWARNING);
    ScanAvailableInputFormats();
    if (!m_window) {
        // A pop-up: an overlapped window would get a caption and a size.
        RegisterRecorderClass();
        m_window = CreateWindowExA(0, kWindowClass, "", WS_POPUP | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                   m_owner, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (m_window)
            SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    return S_OK;
}

void CSoundRecorder::ScanAvailableInputFormats() {
    m_rows.clear();
    IDirectSoundCapture* capture = nullptr;
    HRESULT hr = g_capture->create(SelectedGuid(), &capture, nullptr);
    if (FAILED(hr)) {
        LOG_HRESULT(hr,
                    "CSoundRecorder::ScanAvailableInputFormats:DirectSoundCaptureCreate FAILED!");
        return;
    }
    DSCCAPS caps = {};
    caps.dwSize = sizeof(caps);
    capture->GetCaps(&caps);
    for (int row = 0; row < 16; ++row) {
        if (kFormats[row].capability && !(caps.dwFormats & kFormats[row].capability))
            continue;
        WAVEFORMATEX format = FormatOf(row);
        DSCBUFFERDESC desc = {};
        desc.dwSize = sizeof(desc);
        desc.dwBufferBytes = format.nAvgBytesPerSec;
        desc.lpwfxFormat = &format;
        IDirectSoundCaptureBuffer* buffer = nullptr;
        if (SUCCEEDED(capture->CreateCaptureBuffer(&desc, &buffer, nullptr)) && buffer) {
            m_rows.push_back(row);
            buffer->Release();
        }
    }
    capture->Release();
    if (!m_rows.empty())
        m_format = FormatOf(m_rows[0]);
}

STDMETHODIMP CSoundRecorder::SelectInputFormat(int row) {
    if (row < 0 || m_rows.empty())
        return E_FAIL;
    if ((size_t)row >= m_rows.size())
        row = (int)m_rows.size() - 1;
    m_format = FormatOf(m_rows[row]);
    return S_OK;
}

STDMETHODIMP CSoundRecorder::SelectDevice(int index) {
    if (index < 0 || m_devices.empty())
        return E_FAIL;
    if ((size_t)index >= m_devices.size())
        index = (int)m_devices.size() - 1;
    m_device = m_devices[index].guid;
    m_deviceChosen = true;
    return S_OK;
}

bool CSoundRecorder::CheckFileName(const char* file) {
    if (!file || !IsValidFileName(file)) {
        ShowMessage(12209, MB_ICONHAND);
        return false;
    }
    char folder[MAX_PATH] = "";
    if (!PathDirectory(file, folder, sizeof(folder)) || !CreateDirectoryPath(folder)) {
        LOG_MSG("CSoundRecorder::CheckFileInfo:GetFileDirName FAILED!");
        ShowMessage(12208, MB_ICONINFORMATION);
        return false;
    }
    char name[MAX_PATH] = "";
    PathFileName(file, name, sizeof(name));
    const bool plain = !strchr(name, '.');
    if (strlen(file) + (plain ? 4 : 0) >= sizeof(m_fileName)) {
        ShowMessage(12209, MB_ICONHAND);
        return false;
    }
    strcpy(m_fileName, file);
    if (plain)
        strcat(m_fileName, ".wav");
    return true;
}

STDMETHODIMP CSoundRecorder::StartRecordInMem(LONG milliseconds) {
    OwnerForStart();
    if (m_state == RECORDER_RECORDING) {
        ShowMessage(12134, MB_ICONINFORMATION);
        return S_FALSE;
    }
    Stop();
    if (milliseconds <= 0) {
        ShowMessage(12210, MB_ICONINFORMATION);
        return E_FAIL;
    }
    m_limit = milliseconds;
    m_mode = RECORD_TO_MEMORY;
    m_pausedTime = 0;
    return StartRecording("CSoundRecorder::StartRecordInMem:RecordData FAILED!");
}

STDMETHODIMP CSoundRecorder::StartRecordInFile(const char* file, LONG milliseconds) {
    OwnerForStart();
    if (m_state == RECORDER_RECORDING) {
        ShowMessage(12134, MB_ICONINFORMATION);
        return S_FALSE;
    }
    Stop();
    if (!CheckFileName(file))
        return E_FAIL;
    if (milliseconds <= 0) {
        ShowMessage(12210, MB_ICONINFORMATION);
        return E_FAIL;
    }
    m_limit = milliseconds;
    m_mode = RECORD_TO_FILE;
    m_pausedTime = 0;
    return StartRecording("CSoundRecorder::StartRecordInFile:RecordData FAILED!");
}

HRESULT CSoundRecorder::StartRecording(const char* failure) {
    HRESULT hr = RecordData();
    if (FAILED(hr)) {
        LOG_MSG("%s", failure);
        m_state = RECORDER_IDLE;
    }
    return hr;
}

HRESULT CSoundRecorder::RecordData() {
    WaitForWorker();
    ReleaseCapture();
    ReleasePlayback();
    HRESULT hr = g_capture->create(SelectedGuid(), &m_capture, nullptr);
    if (FAILED(hr)) {
        m_capture = nullptr;
        LOG_HRESULT(hr, "DirectSoundCaptureCreate FAILED!");
        ShowMessage(12109, MB_ICONINFORMATION);
        return E_FAIL;
    }
    const DWORD perSecond = m_format.nAvgBytesPerSec;
    m_notifySize = (perSecond & ~7u) > 8191 ? perSecond / 8 : 1024;
    m_notifySize -= m_notifySize % m_format.nBlockAlign;
    m_bufferSize = kNotifyCount * m_notifySize;
    DSCBUFFERDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwBufferBytes = m_bufferSize;
    desc.lpwfxFormat = &m_format;
    hr = m_capture->CreateCaptureBuffer(&desc, &m_captureBuffer, nullptr);
    if (FAILED(hr)) {
        m_captureBuffer = nullptr;
        ShowMessage(12130, MB_ICONINFORMATION);
        ReleaseCapture();
        return E_FAIL;
    }
    IDirectSoundNotify* notify = nullptr;
    hr = m_captureBuffer->QueryInterface(kIDirectSoundNotify, reinterpret_cast<void**>(&notify));
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CSoundRecorder::InitNotifications:QueryInterface FAILED!");
    } else {
        DSBPOSITIONNOTIFY positions[kNotifyCount];
        for (int i = 0; i < kNotifyCount; ++i) {
            positions[i].dwOffset = m_notifySize * (i + 1) - 1;
            positions[i].hEventNotify = m_notifyEvent;
        }
        hr = notify->SetNotificationPositions(kNotifyCount, positions);
        if (FAILED(hr))
            LOG_HRESULT(hr, "CSoundRecorder::InitNotifications:SetNotificationPositions FAILED!");
        notify->Release();
    }
    m_readOffset = 0;
    if (m_mode == RECORD_TO_FILE) {
        WAVEFORMATEX format = m_format;
        m_captureBuffer->GetFormat(&format, sizeof(format), nullptr);
        if (!m_writer.Open(m_fileName, format)) {
            ShowMessage(12168, MB_ICONINFORMATION);
            ReleaseCapture();
            return E_FAIL;
        }
    } else {
        m_recorded = 0;
    }
    m_full = 0;
    ResetEvent(m_stopEvent);
    ResetEvent(m_notifyEvent);
    if (FAILED(m_captureBuffer->Start(DSCBSTART_LOOPING))) {
        ShowMessage(12131, MB_ICONINFORMATION);
        ReleaseCapture();
        return E_FAIL;
    }
    m_state = RECORDER_RECORDING;
    m_startTick = GetTickCount();
    m_thread = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
    if (!m_thread)
        ShowMessage(12133, MB_ICONINFORMATION);
    return S_OK;
}

DWORD WINAPI CSoundRecorder::WorkerMain(void* self) {
    return static_cast<CSoundRecorder*>(self)->Work();
}

DWORD CSoundRecorder::Work() {
    HANDLE events[2] = {m_notifyEvent, m_stopEvent};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, 100);
        if (woken == WAIT_OBJECT_0 + 1) {
            if (!MoveData())
                Post(12106);
            return 0;
        }
        if (woken == WAIT_OBJECT_0 && !MoveData()) {
            Post(12106);
            return 1;
        }
        // The limit is checked at every wake-up: notifications may come so
        // often that the wait never times out.
        if (m_state != RECORDER_RECORDING)
            continue;
        const DWORD elapsed = GetTickCount() - m_startTick - m_pausedTime;
        if (elapsed > (DWORD)m_limit || m_full) {
            MoveData();
            EnterCriticalSection(&m_lock);
            m_state = RECORDER_IDLE;
            HRESULT hr = m_captureBuffer->Stop();
            if (FAILED(hr))
                LOG_HRESULT(hr, "Sounder recorder stop failed!");
            ReleaseCapture();
            LeaveCriticalSection(&m_lock);
            Post(12108);
            return 0;
        }
    }
}

bool CSoundRecorder::MoveData() {
    if (!m_captureBuffer || !m_bufferSize)
        return true;
    DWORD capture = 0, safe = 0;
    if (FAILED(m_captureBuffer->GetCurrentPosition(&capture, &safe)))
        return false;
    DWORD available = (safe + m_bufferSize - m_readOffset) % m_bufferSize;
    available -= available % m_notifySize;
    if (m_mode == RECORD_TO_MEMORY) {
        // The block is filled to its last byte, never past it.
        const DWORD room = m_block ? kRecorderBlockSize - m_recorded : 0;
        if (available >= room) {
            available = room;
            m_full = 1;
        }
    }
    if (!available)
        return true;
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstSize = 0, secondSize = 0;
    if (FAILED(m_captureBuffer->Lock(m_readOffset, available, &first, &firstSize, &second,
                                     &secondSize, 0)))
        return false;
    bool ok = true;
    if (m_mode == RECORD_TO_MEMORY) {
        memcpy(m_block + m_recorded, first, firstSize);
        m_recorded += firstSize;
        if (second && secondSize) {
            memcpy(m_block + m_recorded, second, secondSize);
            m_recorded += secondSize;
        }
    } else {
        ok = m_writer.Write(first, firstSize) && (!second || m_writer.Write(second, secondSize));
    }
    m_readOffset = (m_readOffset + firstSize + secondSize) % m_bufferSize;
    m_captureBuffer->Unlock(first, firstSize, second, secondSize);
    return ok;
}

void CSoundRecorder::ReleaseCapture() {
    ReleaseInterface(m_captureBuffer);
    ReleaseInterface(m_capture);
    m_writer.Close();
}

void CSoundRecorder::ReleasePlayback() {
    if (m_sound) {
        m_sound->Release();
        m_sound = nullptr;
    }
    ReleaseInterface(m_playBuffer);
    ReleaseInterface(m_primary);
    ReleaseInterface(m_directSound);
}

void CSoundRecorder::WaitForWorker() {
    if (!m_thread)
        return;
    SetEvent(m_stopEvent);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
}

STDMETHODIMP CSoundRecorder::Stop() {
    const LONG state = m_state;
    WaitForWorker();
    m_state = RECORDER_IDLE;
    if (state == RECORDER_RECORDING || state == RECORDER_RECORDING_PAUSED) {
        // A worker that reached the limit has released the buffer itself.
        if (m_captureBuffer && FAILED(m_captureBuffer->Stop())) {
            ShowMessage(12132, MB_ICONINFORMATION);
            ReleaseCapture();
            return E_FAIL;
        }
        ReleaseCapture();
    } else if (state == RECORDER_PLAYING || state == RECORDER_PLAYING_PAUSED) {
        if (m_mode == RECORD_TO_FILE) {
            if (m_sound)
                m_sound->Stop();
            else
                LOG_MSG("CSoundRecorder::Stop:m_pSound == NULL!");
        } else if (m_playBuffer) {
            m_playBuffer->Stop();
            m_playBuffer->SetCurrentPosition(0);
        } else {
            LOG_MSG(m_directSound ? "CSoundRecorder::Stop:NULL == m_pDSBCapture!"
                                  : "CSoundRecorder::Stop:m_pSoundMem == NULL!");
        }
    }
    return S_OK;
}

STDMETHODIMP CSoundRecorder::Pause() {
    CCriticalSectionLock hold(&m_lock);
    if (m_state == RECORDER_RECORDING) {
        if (m_captureBuffer)
            m_captureBuffer->Stop();
        m_pauseTick = GetTickCount();
        m_state = RECORDER_RECORDING_PAUSED;
    } else if (m_state == RECORDER_PLAYING) {
        if (m_mode == RECORD_TO_FILE) {
            if (m_sound)
                m_sound->Pause();
            else
                LOG_MSG("CSoundRecorder::Pause:m_pSound == NULL!");
        } else if (m_playBuffer) {
            m_playBuffer->Stop();
        } else {
            LOG_MSG("CSoundRecorder::Pause:m_pSoundMem == NULL!");
        }
        m_state = RECORDER_PLAYING_PAUSED;
    }
    return S_OK;
}

STDMETHODIMP CSoundRecorder::Continue() {
    CCriticalSectionLock hold(&m_lock);
    if (m_state == RECORDER_RECORDING_PAUSED) {
        if (m_captureBuffer)
            m_captureBuffer->Start(DSCBSTART_LOOPING);
        // Every pause counts, not only the last.
        m_pausedTime += GetTickCount() - m_pauseTick;
        m_state = RECORDER_RECORDING;
    } else if (m_state == RECORDER_PLAYING_PAUSED) {
        if (m_mode == RECORD_TO_FILE) {
            if (m_sound)
                m_sound->Play();
            else
                LOG_MSG("CSoundRecorder::Continue:m_pSound == NULL!");
        } else if (m_playBuffer) {
            m_playBuffer->Play(0, 0, 0);
        } else {
            LOG_MSG("CSoundRecorder::Continue:m_pSoundMem == NULL!");
        }
        m_state = RECORDER_PLAYING;
    }
    return S_OK;
}

STDMETHODIMP_(int) CSoundRecorder::GetState() {
    return (int)m_state;
}

STDMETHODIMP_(BOOL) CSoundRecorder::IsShowingMessage() {
    return m_messageDepth > 0;
}

STDMETHODIMP CSoundRecorder::Play(LONG from, LONG to) {
    if (m_state == RECORDER_RECORDING) {
        ShowMessage(12134, MB_ICONINFORMATION);
        return S_FALSE;
    }
    if (m_state == RECORDER_RECORDING_PAUSED) {
        ShowMessage(12212, MB_ICONINFORMATION);
        return E_FAIL;
    }
    Stop();
    if (to != -1 && to < from) {
        ShowMessage(12138, MB_ICONINFORMATION);
        return E_FAIL;
    }
    if (m_limit == -1)
        return S_FALSE;
    if (from >= m_limit) {
        ShowMessage(12137, MB_ICONINFORMATION);
        return E_FAIL;
    }
    HRESULT hr =
        (m_mode == RECORD_TO_FILE && m_fileName[0]) ? PlayFile(from, to) : PlayMemory(from, to);
    if (FAILED(hr))
        return hr;
    m_state = RECORDER_PLAYING;
    return S_OK;
}

HRESULT CSoundRecorder::PlayFile(LONG from, LONG to) {
    ReleasePlayback();
    m_sound = new (std::nothrow) SoundControl(m_site);
    if (!m_sound)
        return E_OUTOFMEMORY;
    m_sound->AddRef();
    if (FAILED(m_sound->Open(m_fileName, 0))) {
        LOG_MSG("CSoundRecorder::Play:Open FAILED!");
        return E_FAIL;
    }
    if (FAILED(m_sound->put_StartPos((LONGLONG)from * 10000)))
        LOG_MSG("CSoundRecorder::Play:put_StartPos FAILED!");
    LONGLONG duration = 0;
    if (FAILED(m_sound->get_Duration(&duration)))
        LOG_MSG("CSoundRecorder::Play:get_TotalLength FAILED!");
    m_sound->put_EndPos(to == -1 ? duration : (LONGLONG)to * 10000);
    return m_sound->Play();
}

HRESULT CSoundRecorder::PlayMemory(LONG from, LONG to) {
    ReleasePlayback();
    const DWORD perSecond =
        (DWORD)m_format.nChannels * m_format.wBitsPerSample * m_format.nSamplesPerSec / 8;
    const LONG seconds = perSecond ? (LONG)(m_recorded / perSecond) : 0;
    LONG first = from / 1000;
    LONG last = to == -1 ? -1 : to / 1000;
    if (first < 0)
        first = 0;
    if (first >= seconds) {
        ShowMessage(12137, MB_ICONINFORMATION);
        return E_FAIL;
    }
    if (last == -1 || last > seconds)
        last = seconds;
    if (last < first) {
        ShowMessage(12138, MB_ICONINFORMATION);
        return E_FAIL;
    }
    HWND focus = m_owner ? m_owner : m_window;
    HRESULT hr = DirectSoundCreate(nullptr, &m_directSound, nullptr);
    if (SUCCEEDED(hr))
        hr = m_directSound->SetCooperativeLevel(focus, DSSCL_PRIORITY);
    if (SUCCEEDED(hr)) {
        DSBUFFERDESC primary = {};
        primary.dwSize = sizeof(primary);
        primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
        if (SUCCEEDED(m_directSound->CreateSoundBuffer(&primary, &m_primary, nullptr)))
            m_primary->SetFormat(&m_format);
        const DWORD size = (DWORD)(last - first) * perSecond;
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
        desc.dwBufferBytes = size;
        desc.lpwfxFormat = &m_format;
        hr = m_directSound->CreateSoundBuffer(&desc, &m_playBuffer, nullptr);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (SUCCEEDED(hr))
            hr = m_playBuffer->Lock(0, size, &p1, &n1, &p2, &n2, 0);
        if (SUCCEEDED(hr)) {
            const BYTE* source = m_block + (size_t)first * perSecond;
            memcpy(p1, source, n1);
            if (p2)
                memcpy(p2, source + n1, n2);
            m_playBuffer->Unlock(p1, n1, p2, n2);
            m_playBuffer->SetCurrentPosition(0);
            hr = m_playBuffer->Play(0, 0, 0);
        }
    }
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "CSoundRecorder::Play:CreateSoundFromMem FAILED!");
        ShowMessage(12206, MB_ICONINFORMATION);
        ReleasePlayback();
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP CSoundRecorder::SaveToFile(const char* file) {
    if (m_mode != RECORD_TO_MEMORY)
        return S_OK;
    if (m_state == RECORDER_RECORDING) {
        ShowMessage(12134, MB_ICONINFORMATION);
        return S_FALSE;
    }
    if (!CheckFileName(file))
        return E_FAIL;
    WaveFileWriter writer;
    if (!writer.Open(m_fileName, m_format)) {
        ShowMessage(12204, MB_ICONINFORMATION);
        return E_FAIL;
    }
    if (!writer.Write(m_block, m_recorded) || !writer.Close()) {
        writer.Close();
        ShowMessage(12205, MB_ICONINFORMATION);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CreateSoundRecorder(HWND owner, IPlayerSite* site, ISoundRecorder** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CSoundRecorder* recorder = new (std::nothrow) CComObject<CSoundRecorder>(owner, site);
    if (!recorder)
        return E_OUTOFMEMORY;
    recorder->AddRef();
    recorder->Init();
    *out = recorder;
    return S_OK;
}
