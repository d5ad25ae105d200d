// The project's own sound player, outside any page object: one named media
// of the work (a file, or embedded media played from memory or from a
// temporary file) or the audio CD, with start, end, volume, balance, track
// and loop kept in milliseconds. It wraps one sound control and a hidden
// child window that turns the engines' notices into end-of-play handling.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include "bComBase.h"
#include "bMediaBase.h"
#include "bSysSound.h"
#include "bWindow.h"

struct IPlayerSite;

// Media names are kept in this many bytes with their NUL.
const int kSysSoundNameSize = 36;

// Flag bits.
enum {
    SYSSOUND_LOOP = 0x1,
    SYSSOUND_CD = 0x2,
    SYSSOUND_MCI = 0x4,  // set and cleared with SYSSOUND_CD
};

// Made as a CComObject; the project holds it by its IUnknown.
class CSysSound : public CComObjectRootBase,
                  public IUnknown,
                  public ISysSoundPlayer,
                  public CWindowImplBase {
public:
    BEGIN_COM_MAP(CSysSound)
    COM_INTERFACE_ENTRY_IID(IID_IUnknown, IUnknown)
    END_COM_MAP()

    // Borrows the site; makes its sound control and registers the notify
    // window class. The count starts at 0.
    explicit CSysSound(IPlayerSite* site);
    ~CSysSound() override;
    CSysSound(const CSysSound&) = delete;
    CSysSound& operator=(const CSysSound&) = delete;

    IPlayerSite* GetSite() const { return m_site; }

    // Positions in milliseconds.
    HRESULT put_StartPos(long ms);
    HRESULT get_StartPos(long* ms);
    HRESULT put_CurPos(long ms);
    HRESULT get_CurPos(long* ms);
    HRESULT put_EndPos(long ms);
    HRESULT get_EndPos(long* ms);
    HRESULT put_Loop(long on);
    HRESULT get_Loop(long* on);
    HRESULT put_CDAudio(long on);
    HRESULT get_CDAudio(long* on);
    HRESULT put_Track(long track);
    HRESULT get_Track(long* track);
    // Volume 0 to 1000, balance -10000 to 10000; refused for CD audio.
    HRESULT put_Volume(long volume);
    HRESULT get_Volume(long* volume);
    HRESULT put_Balance(long balance);
    HRESULT get_Balance(long* balance);
    HRESULT get_Active(long* on);
    // E_FAIL when the buffer is missing or shorter than the name and its NUL.
    HRESULT get_MediaName(char* buffer, int size);
    // Empty: E_FAIL; longer than 35 bytes: E_INVALIDARG.
    HRESULT put_MediaName(const char* name);
    HRESULT put_PlayState(long state);
    HRESULT get_PlayState(long* state);
    HRESULT Close();
    HRESULT Pause();
    HRESULT Stop() override;
    HRESULT Play() override;
    // The owner window is remembered on the first open (the given one, or
    // the site's view window); a media that does not open fails.
    HRESULT Open(HWND owner) override;
    HRESULT Rewind();
    HRESULT SetBalance(int balance) override;
    HRESULT StepVolume(BOOL up);
    HRESULT SetVolume(int volume) override;
    // S_FALSE when the flag already has that value.
    HRESULT SetActive(BOOL on);
    HRESULT OnEnd();
    // The control's notices, then OnEnd at the end of the media.
    HRESULT HandleEvents();

    // ISysSoundPlayer
    HRESULT CopyProperties(const SysSoundProperties* record) override;
    int GetPlayState() override;
    HRESULT GetVolume(int* volume) override;
    bool IsActive() override { return m_active != 0; }

    // The notices' cookie: this object's address, compared, never followed.
    LONG_PTR Cookie() const { return reinterpret_cast<LONG_PTR>(this); }
    HWND NotifyWindow() const { return m_hWnd; }
    // For tests: the inner control (not counted), the ends seen and the
    // stored record.
    IMediaObjectBase* Control() const { return m_control; }
    int Ends() const { return m_ends; }
    DWORD RecordFirst() const { return m_recordFirst; }
    const DWORD* RecordValues() const { return m_recordValues; }

    BEGIN_MSG_MAP(CSysSound)
    MESSAGE_HANDLER(WM_CONTEXTMENU, OnContextMenu)
    MESSAGE_RANGE_HANDLER(WM_MOUSEMOVE, WM_LBUTTONDBLCLK, OnMouse)
    MESSAGE_HANDLER(MM_MCINOTIFY, OnNotify)
    MESSAGE_HANDLER(kGraphNotify, OnNotify)
    END_MSG_MAP()

private:
    static const UINT kGraphNotify = 1037;

    bool IsOpen();
    bool Converts() const { return !(m_flags & SYSSOUND_MCI); }
    bool MakeNotifyWindow();
    HRESULT OpenMedia();
    void ApplyStoredPositions();
    LRESULT OnContextMenu(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnMouse(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnNotify(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);

    IPlayerSite* m_site;
    LONG m_start, m_current, m_end;
    char m_name[kSysSoundNameSize];
    LONG m_volume;
    LONG m_balance;
    LONG m_track;
    HWND m_owner;
    LONG m_active;
    DWORD m_flags;
    IMediaObjectBase* m_control;
    LONG m_state;
    BYTE* m_block;
    int m_ends;
    DWORD m_recordFirst;
    DWORD m_recordValues[10];
};
