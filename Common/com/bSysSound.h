// The project's system-sound player (one sound outside any page object) as
// page canvases use it when a page enters. The play site hands it out
// through its media-side service (slot 21); a site without one gives none.
#pragma once

#include <windows.h>

// The stored properties of a page's sound: a first value, the media name or
// path, and ten values (start and end positions, volume, balance...).
struct SysSoundProperties {
    DWORD first;
    const char* path;
    DWORD values[10];
};

struct ISysSoundPlayer {
    // Media name, CD flag, volume, balance, start and end from the record.
    virtual HRESULT CopyProperties(const SysSoundProperties* record) = 0;
    virtual HRESULT Open(HWND owner) = 0;
    virtual HRESULT Play() = 0;
    virtual HRESULT Stop() = 0;
    // State and levels for the application's sound commands; a player
    // without them refuses.
    virtual int GetPlayState() { return 0; }               // 0 stopped, 1 playing, 2 paused
    virtual HRESULT GetVolume(int*) { return E_NOTIMPL; }  // 0 to 1000
    virtual HRESULT SetVolume(int) { return E_NOTIMPL; }
    virtual HRESULT SetBalance(int) { return E_NOTIMPL; }  // -10000 to 10000
    // The active flag: whether the work's sound is on.
    virtual bool IsActive() { return false; }

protected:
    ~ISysSoundPlayer() {}
};
