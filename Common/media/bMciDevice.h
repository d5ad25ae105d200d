// One opened MCI device (the command-message interface) for the sound and
// video controls and the system sound. Every operation sends one command,
// logs a failure with the device's error text and answers 1 or 0; positions
// and lengths are in milliseconds, the time format every open sets.
#pragma once

#include <windows.h>

#include <mmsystem.h>

// Every MCI call goes through this table, one seam for tests.
struct MciCalls {
    MCIERROR(WINAPI* send)(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR params);
    BOOL(WINAPI* errorText)(MCIERROR error, LPSTR buffer, UINT size);
};
// Null restores the system's.
void SetMciCalls(const MciCalls* calls);
const MciCalls* GetMciCalls();

// Status items the controls ask for.
enum {
    MCI_ITEM_LENGTH = 1,
    MCI_ITEM_POSITION = 2,
    MCI_ITEM_TRACKS = 3,
    MCI_ITEM_MODE = 4,
    MCI_ITEM_MEDIA_PRESENT = 5,
    MCI_ITEM_CURRENT_TRACK = 8,
    MCI_ITEM_WINDOW = 0x4001
};

class MciDevice {
public:
    MciDevice() : m_device(0) {}
    virtual ~MciDevice() {}
    MciDevice(const MciDevice&) = delete;
    MciDevice& operator=(const MciDevice&) = delete;

    // From or to -1: the current position or the end; a callback window
    // gets MM_MCINOTIFY.
    virtual int Play(long from, long to, HWND callback);
    virtual int Stop();
    virtual int Pause();
    // 1 also when nothing is open.
    virtual int Close();

    // The device number in the low 16 bits, 0 on failure. A type beginning
    // with "cdaudio" opens the CD device by its type number, without element.
    int OpenSound(const char* type, const char* element, const char* alias, HWND callback);
    int OpenVideo(const char* type, const char* element, const char* alias, HWND parent,
                  HWND callback, DWORD style);
    int SetTimeFormat(DWORD format);
    // 0 seeks to the start, -1 to the end.
    int MediaSetPos(long position);
    // The status value, 0 on failure.
    DWORD_PTR MediaStatus(DWORD item);
    DWORD TrackLength(int track);
    DWORD TrackPosition(int track);
    int SetAudio(BOOL leftOn, BOOL rightOn);
    // Thousandths: 1000 is the normal speed.
    int SetSpeed(DWORD speed);
    // destination 0: the source rectangle, 1: the destination.
    int GetVideoWindow(RECT* rect, int destination);
    int MoveVideoWindow(const RECT* rect);
    int UpdateVideo(HDC dc, const RECT* rect);
    int ShowVideoWindow(int show);
    // MCI has no volume: nothing changes.
    int SetVolume(long) { return 1; }
    // -1 without a device; else 0, `ended` 1 when the device stopped within
    // 120 ms of the desired end.
    int CheckEnd(long desiredEnd, long* ended);

    MCIDEVICEID DeviceId() const { return m_device; }

protected:
    int PlayAs(long from, long to, HWND callback, const char* name);
    // Sends, logging a failure under `name` (null: no log); true on success.
    bool Send(UINT message, DWORD_PTR flags, void* params, const char* name, int line);

    WORD m_device;
};

class MciSoundDevice : public MciDevice {
public:
    MciSoundDevice() : m_reserved(500) {}
    ~MciSoundDevice() override { Close(); }

private:
    LONG m_reserved;
};

class MciVideoDevice : public MciDevice {
public:
    ~MciVideoDevice() override { Close(); }
    int Play(long from, long to, HWND callback) override;
};
