// The sound recorder: records from a DirectSoundCapture device into a 2 MB
// memory block or straight into a WAV file, with a time limit, and plays the
// recording back between two positions (memory through a DirectSound buffer,
// a file through a sound control). A worker thread moves the captured data
// out of the capture buffer; its messages reach the UI thread as message
// 1408 to the recorder's window.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <vector>

#include "bMediaDevices.h"

struct IPlayerSite;
struct IDirectSoundCapture;
struct IDirectSoundCaptureBuffer;
struct IDirectSound;
struct IDirectSoundBuffer;
class SoundControl;

// Every DirectSoundCapture entry goes through this table, one seam for tests.
typedef BOOL(CALLBACK* RecorderEnumCallback)(LPGUID guid, LPCSTR description, LPCSTR module,
                                             LPVOID context);
struct SoundCaptureCalls {
    HRESULT(WINAPI* enumerate)(RecorderEnumCallback callback, LPVOID context);
    HRESULT(WINAPI* create)(LPCGUID device, IDirectSoundCapture** out, LPUNKNOWN outer);
};
// Null restores the system's.
void SetSoundCaptureCalls(const SoundCaptureCalls* calls);

// The worker's message to the recorder's window: wParam the text's id.
const UINT WM_RECORDER_MESSAGE = 1408;
// The memory block.
const DWORD kRecorderBlockSize = 0x200000;

// A PCM WAV file written through mmio: the header at Open, the sizes at Close.
class WaveFileWriter {
public:
    WaveFileWriter() : m_file(nullptr), m_riff(), m_data() {}
    ~WaveFileWriter() { Close(); }
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;
    bool Open(const char* path, const WAVEFORMATEX& format);
    bool Write(const void* data, DWORD size);
    // Fixes the chunk sizes; false when they could not be written.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }

private:
    HMMIO m_file;
    MMCKINFO m_riff;
    MMCKINFO m_data;
};

// One capture device as enumeration reports it (272 bytes).
struct RecorderDevice {
    GUID guid;
    char description[128];
    char module[128];
};
static_assert(sizeof(RecorderDevice) == 272, "a device record is 272 bytes");

// Made as a CComObject (CreateSoundRecorder).
class CSoundRecorder : public CComObjectRootBase, public ISoundRecorder {
public:
    BEGIN_COM_MAP(CSoundRecorder)
    COM_INTERFACE_ENTRY(ISoundRecorder)
    END_COM_MAP()

    CSoundRecorder(HWND owner, IPlayerSite* site);
    virtual ~CSoundRecorder();
    CSoundRecorder(const CSoundRecorder&) = delete;
    CSoundRecorder& operator=(const CSoundRecorder&) = delete;

    STDMETHOD(Init)() override;
    STDMETHOD(SelectInputFormat)(int row) override;
    STDMETHOD(SelectDevice)(int index) override;
    STDMETHOD(StartRecordInMem)(LONG milliseconds) override;
    STDMETHOD(StartRecordInFile)(const char* file, LONG milliseconds) override;
    STDMETHOD(SaveToFile)(const char* file) override;
    STDMETHOD(Play)(LONG from, LONG to) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Continue)() override;
    STDMETHOD_(int, GetState)() override;
    STDMETHOD_(BOOL, IsShowingMessage)() override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // For tests: the devices found, the table rows the device offers, the
    // recording format, the capture geometry of the last start, the bytes
    // in the memory block, the file recorded into, the message window and
    // the memory playback buffer (not counted).
    const std::vector<RecorderDevice>& Devices() const { return m_devices; }
    const std::vector<int>& AvailableRows() const { return m_rows; }
    const WAVEFORMATEX& Format() const { return m_format; }
    DWORD NotifySize() const { return m_notifySize; }
    DWORD BufferSize() const { return m_bufferSize; }
    DWORD RecordedBytes() const { return m_recorded; }
    const char* Block() const { return reinterpret_cast<const char*>(m_block); }
    const char* FileName() const { return m_fileName; }
    HWND MessageWindow() const { return m_window; }
    IDirectSoundBuffer* PlaybackBuffer() const { return m_playBuffer; }

    // The message box of a text id on the owner window (the message window's
    // 1408 handler and the UI thread's own failures).
    void ShowMessage(UINT textId, UINT type);

private:
    static DWORD WINAPI WorkerMain(void* self);
    DWORD Work();
    const GUID* SelectedGuid() const;
    void ScanAvailableInputFormats();
    void SetFormatRow(int row);
    bool CheckFileName(const char* file);
    HRESULT StartRecording(const char* failure);
    HRESULT RecordData();
    // Moves the whole notify sizes captured out of the capture buffer;
    // false on failure.
    bool MoveData();
    void ReleaseCapture();
    void ReleasePlayback();
    void CloseWriter();
    void WaitForWorker();
    void Post(UINT textId);
    HRESULT PlayMemory(LONG from, LONG to);
    HRESULT PlayFile(LONG from, LONG to);
    HWND OwnerForStart();

    IPlayerSite* m_site;
    HWND m_owner;
    HWND m_window;
    std::vector<RecorderDevice> m_devices;
    GUID m_device;
    bool m_deviceChosen;
    std::vector<int> m_rows;
    WAVEFORMATEX m_format;
    IDirectSoundCapture* m_capture;
    IDirectSoundCaptureBuffer* m_captureBuffer;
    DWORD m_notifySize;
    DWORD m_bufferSize;
    DWORD m_readOffset;
    BYTE* m_block;
    DWORD m_recorded;
    WaveFileWriter m_writer;
    char m_fileName[MAX_PATH];
    int m_mode;
    volatile LONG m_state;
    LONG m_limit;
    DWORD m_startTick;
    DWORD m_pauseTick;
    DWORD m_pausedTime;
    HANDLE m_thread;
    HANDLE m_notifyEvent;
    HANDLE m_stopEvent;
    SoundControl* m_sound;
    IDirectSound* m_directSound;
    IDirectSoundBuffer* m_primary;
    IDirectSoundBuffer* m_playBuffer;
    LONG m_messageDepth;
    volatile LONG m_full;
    // Held while the worker ends a recording at its limit and while the UI
    // thread pauses or continues one: both touch the capture buffer.
    CRITICAL_SECTION m_lock;
};

// Modes and states.
enum { RECORD_TO_FILE = 1, RECORD_TO_MEMORY = 2 };
enum {
    RECORDER_IDLE = 0,
    RECORDER_RECORDING = 1,
    RECORDER_PLAYING = 2,
    RECORDER_RECORDING_PAUSED = 3,
    RECORDER_PLAYING_PAUSED = 4
};

// A new initialised recorder over the site (one reference in *out).
HRESULT CreateSoundRecorder(HWND owner, IPlayerSite* site, ISoundRecorder** out);
