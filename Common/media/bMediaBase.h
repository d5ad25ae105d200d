// The common base of the media controls (animation, sound, video): every
// playback property with a "changed" flag beside it, so that a script may
// set properties before or after the media is opened and the control applies
// them to the playing device in one step (Update). Positions are kept in the
// engine's unit: milliseconds under MCI, 100-nanosecond units under
// DirectShow.
#pragma once

#include "bComBase.h"

struct IPlayerSite;
struct IPixelBuffer;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaEventEx;
struct IVideoWindow;

// {C0BC262E-1049-11D4-9EEB-00104B04B807} A media control. Slot numbers count
// IUnknown's three as 0 to 2; the movie, sound and video objects call it.
struct IMediaObjectBase : public IUnknown {
    STDMETHOD(put_UseMCI)(long value) = 0;                          // 3
    STDMETHOD(get_UseMCI)(long* value) = 0;                         // 4
    STDMETHOD(put_CDAudio)(long value) = 0;                         // 5
    STDMETHOD(get_CDAudio)(long* value) = 0;                        // 6
    STDMETHOD(put_FileName)(const char* name) = 0;                  // 7
    STDMETHOD(get_FileName)(char* buffer, int length) = 0;          // 8
    STDMETHOD(put_Kind)(long kind) = 0;                             // 9
    STDMETHOD(get_Kind)(short* kind) = 0;                           // 10
    STDMETHOD(put_StartPos)(LONGLONG value) = 0;                    // 11
    STDMETHOD(get_StartPos)(LONGLONG* value) = 0;                   // 12
    STDMETHOD(put_EndPos)(LONGLONG value) = 0;                      // 13
    STDMETHOD(get_EndPos)(LONGLONG* value) = 0;                     // 14
    STDMETHOD(put_CurPos)(LONGLONG value) = 0;                      // 15
    STDMETHOD(get_CurPos)(LONGLONG* value) = 0;                     // 16
    STDMETHOD(put_PlayState)(long state) = 0;                       // 17
    STDMETHOD(get_PlayState)(long* state) = 0;                      // 18
    STDMETHOD(get_VideoWidth)(long* value) = 0;                     // 19
    STDMETHOD(get_VideoHeight)(long* value) = 0;                    // 20
    STDMETHOD(get_Rate)(double* value) = 0;                         // 21
    STDMETHOD(put_Rate)(double value) = 0;                          // 22
    STDMETHOD(get_Volume)(long* value) = 0;                         // 23
    STDMETHOD(put_Volume)(long value) = 0;                          // 24
    STDMETHOD(get_Balance)(long* value) = 0;                        // 25
    STDMETHOD(put_Balance)(long value) = 0;                         // 26
    STDMETHOD(get_OwnerWindow)(HWND* window) = 0;                   // 27
    STDMETHOD(put_OwnerWindow)(HWND window) = 0;                    // 28
    STDMETHOD(get_NotifyWindow)(HWND* window) = 0;                  // 29
    STDMETHOD(put_NotifyWindow)(HWND window) = 0;                   // 30
    STDMETHOD(put_WindowStyle)(long style) = 0;                     // 31
    STDMETHOD(get_WindowStyle)(long* style) = 0;                    // 32
    STDMETHOD(put_WindowRect)(long a, long b, long c, long d) = 0;  // 33
    STDMETHOD(get_WindowRect)(RECT* rect) = 0;                      // 34
    STDMETHOD(get_Duration)(LONGLONG* value) = 0;                   // 35
    STDMETHOD(get_Track)(long* track) = 0;                          // 36
    STDMETHOD(put_Track)(long track) = 0;                           // 37
    STDMETHOD(GetTrackLength)(long track, LONGLONG* length) = 0;    // 38
    // size 0: nameOrData is a file name; else size bytes of media.
    STDMETHOD(Open)(const void* nameOrData, DWORD size) = 0;                        // 39
    STDMETHOD(OpenFromMemory)(const void* data, DWORD size, const char* name) = 0;  // 40
    STDMETHOD(CloseMedia)() = 0;                                                    // 41
    STDMETHOD(Stop)() = 0;                                                          // 42
    STDMETHOD(Pause)() = 0;                                                         // 43
    STDMETHOD(Play)() = 0;                                                          // 44
    STDMETHOD(HandleEvents)(WPARAM unused1, LPARAM unused2, long* ended) = 0;       // 45
    STDMETHOD(SetWindowPosition)(int x, int y, int width, int height) = 0;          // 46
    // A new buffer of the current frame (one reference).
    STDMETHOD(GrabFrame)(IPixelBuffer** picture) = 0;             // 47
    STDMETHOD(Close)() = 0;                                       // 48
    STDMETHOD(GetMediaPresent)(long* present) = 0;                // 49
    STDMETHOD(GetTrackCount)(long* count) = 0;                    // 50
    STDMETHOD(GetTrackLengthMs)(long* length, long track) = 0;    // 51
    STDMETHOD(GetTrackPosition)(long* position, long track) = 0;  // 52
    STDMETHOD(put_UseTimer)(long value) = 0;                      // 53
    STDMETHOD(get_UseTimer)(long* value) = 0;                     // 54
    STDMETHOD(put_SoundOn)(long value) = 0;                       // 55
    STDMETHOD(get_SoundOn)(long* value) = 0;                      // 56
    STDMETHOD(put_Visible)(long value) = 0;                       // 57
    STDMETHOD(get_Visible)(long* value) = 0;                      // 58
    STDMETHOD(HasAudio)(long* value) = 0;                         // 59
    // S_OK (0) when open; any other value means closed.
    STDMETHOD(IsClosed)() = 0;                                            // 60
    STDMETHOD(put_NotifyCookie)(LONG_PTR cookie) = 0;                     // 61
    STDMETHOD(put_Alias)(const char* alias) = 0;                          // 62
    STDMETHOD(GetFrameDelay)(long* milliseconds, LONGLONG frame) = 0;     // 63
    STDMETHOD(put_Hidden)(long value) = 0;                                // 64
    STDMETHOD(put_FrameRect)(const RECT* rect) = 0;                       // 65
    STDMETHOD(Reserved66)() = 0;                                          // 66
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                         // 67
    STDMETHOD(GetMCIDeviceType)(char* buffer) = 0;                        // 68
    STDMETHOD(ApplyPositions)(LONGLONG position) = 0;                     // 69
    STDMETHOD(ResetPositions)() = 0;                                      // 70
    STDMETHOD(Update)() = 0;                                              // 71
    STDMETHOD(SetKindFromFileName)(const char* name, char* mciType) = 0;  // 72
};
DECLARE_IID(IMediaObjectBase, 0xC0BC262E, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// Milliseconds to 100-nanosecond units when `convert` is set; 1.
int MsToRefTime(LONGLONG* out, LONGLONG value, BOOL convert);
// 100-nanosecond units to milliseconds, rounded, when `convert` is set; 1.
int RefTimeToMs(LONGLONG value, LONGLONG* out, BOOL convert);

// Play states.
enum { MEDIA_STOPPED = 0, MEDIA_PLAYING = 1, MEDIA_PAUSED = 2 };

// The graph's notification message to the notify window; the parameter is
// the notify cookie.
const UINT WM_GRAPHNOTIFY = 1037;

// A media kind by a file name's extension, compared without regard to case:
// the first entry that matches gives the kind, else `otherwise`.
struct ExtensionKind {
    const char* extension;
    long kind;
};
enum ExtensionMatch {
    MATCH_LAST_FOUR,   // the name's last four characters are the extension
    MATCH_DOT_PREFIX,  // the text from the name's last "." begins with it
};
long KindByExtension(const char* name, const ExtensionKind* table, size_t count,
                     ExtensionMatch match, long otherwise);
template <size_t N>
long KindByExtension(const char* name, const ExtensionKind (&table)[N], ExtensionMatch match,
                     long otherwise) {
    return KindByExtension(name, table, N, match, otherwise);
}

// A new DirectShow filter graph manager; a failure is logged with `what`.
HRESULT CreateFilterGraph(IGraphBuilder** graph, const char* what);
// Takes a graph's pending events: an abort stops the graph and hides its
// window (when there is one). True when one of them ends the play.
bool DrainGraphEvents(IMediaEventEx* events, IMediaControl* control, IVideoWindow* window);

// Names, file names and aliases are kept in buffers of this size.
const int kMediaNameSize = 260;

class MediaObjectBase : public IMediaObjectBase {
public:
    explicit MediaObjectBase(IPlayerSite* site);
    virtual ~MediaObjectBase();

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(put_UseMCI)(long value) override;
    STDMETHOD(get_UseMCI)(long* value) override;
    STDMETHOD(put_CDAudio)(long value) override;
    STDMETHOD(get_CDAudio)(long* value) override;
    STDMETHOD(put_FileName)(const char* name) override;
    STDMETHOD(get_FileName)(char* buffer, int length) override;
    STDMETHOD(put_Kind)(long kind) override;
    STDMETHOD(get_Kind)(short* kind) override;
    STDMETHOD(put_StartPos)(LONGLONG value) override;
    STDMETHOD(get_StartPos)(LONGLONG* value) override;
    STDMETHOD(put_EndPos)(LONGLONG value) override;
    STDMETHOD(get_EndPos)(LONGLONG* value) override;
    STDMETHOD(put_CurPos)(LONGLONG value) override;
    STDMETHOD(get_CurPos)(LONGLONG* value) override;
    STDMETHOD(put_PlayState)(long state) override;
    STDMETHOD(get_PlayState)(long* state) override;
    STDMETHOD(get_VideoWidth)(long* value) override;
    STDMETHOD(get_VideoHeight)(long* value) override;
    STDMETHOD(get_Rate)(double* value) override;
    STDMETHOD(put_Rate)(double value) override;
    STDMETHOD(get_Volume)(long* value) override;
    STDMETHOD(put_Volume)(long value) override;
    STDMETHOD(get_Balance)(long* value) override;
    STDMETHOD(put_Balance)(long value) override;
    STDMETHOD(get_OwnerWindow)(HWND* window) override;
    STDMETHOD(put_OwnerWindow)(HWND window) override;
    STDMETHOD(get_NotifyWindow)(HWND* window) override;
    STDMETHOD(put_NotifyWindow)(HWND window) override;
    STDMETHOD(put_WindowStyle)(long style) override;
    STDMETHOD(get_WindowStyle)(long* style) override;
    STDMETHOD(put_WindowRect)(long a, long b, long c, long d) override;
    STDMETHOD(get_WindowRect)(RECT* rect) override;
    STDMETHOD(get_Duration)(LONGLONG* value) override;
    STDMETHOD(get_Track)(long*) override { return S_OK; }
    STDMETHOD(put_Track)(long) override { return S_OK; }
    STDMETHOD(GetTrackLength)(long, LONGLONG*) override { return S_OK; }
    STDMETHOD(Open)(const void*, DWORD) override { return S_OK; }
    STDMETHOD(OpenFromMemory)(const void*, DWORD, const char*) override { return S_OK; }
    STDMETHOD(CloseMedia)() override;
    STDMETHOD(Stop)() override { return S_OK; }
    STDMETHOD(Pause)() override { return S_OK; }
    STDMETHOD(Play)() override { return S_OK; }
    STDMETHOD(HandleEvents)(WPARAM, LPARAM, long*) override { return S_OK; }
    STDMETHOD(SetWindowPosition)(int, int, int, int) override { return S_OK; }
    STDMETHOD(GrabFrame)(IPixelBuffer** picture) override;
    STDMETHOD(Close)() override { return S_OK; }
    STDMETHOD(GetMediaPresent)(long*) override { return S_OK; }
    STDMETHOD(GetTrackCount)(long*) override { return S_OK; }
    STDMETHOD(GetTrackLengthMs)(long*, long) override { return S_OK; }
    STDMETHOD(GetTrackPosition)(long*, long) override { return S_OK; }
    STDMETHOD(put_UseTimer)(long) override { return S_OK; }
    STDMETHOD(get_UseTimer)(long*) override { return S_OK; }
    STDMETHOD(put_SoundOn)(long) override { return S_OK; }
    STDMETHOD(get_SoundOn)(long*) override { return S_OK; }
    STDMETHOD(put_Visible)(long) override { return S_OK; }
    STDMETHOD(get_Visible)(long*) override { return S_OK; }
    STDMETHOD(HasAudio)(long*) override { return S_OK; }
    STDMETHOD(IsClosed)() override { return 1; }
    STDMETHOD(put_NotifyCookie)(LONG_PTR cookie) override;
    STDMETHOD(put_Alias)(const char* alias) override;
    STDMETHOD(GetFrameDelay)(long*, LONGLONG) override { return S_OK; }
    STDMETHOD(put_Hidden)(long value) override;
    STDMETHOD(put_FrameRect)(const RECT*) override { return E_NOTIMPL; }
    STDMETHOD(Reserved66)() override { return E_NOTIMPL; }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;
    STDMETHOD(ApplyPositions)(LONGLONG position) override;
    STDMETHOD(ResetPositions)() override;
    STDMETHOD(Update)() override { return S_OK; }

    // What the changed flags say, for the subclasses and tests.
    bool VolumeChanged() const { return m_volumeChanged != 0; }
    bool BalanceChanged() const { return m_balanceChanged != 0; }
    bool RateChanged() const { return m_rateChanged != 0; }
    bool StartChanged() const { return m_startChanged != 0; }
    bool EndChanged() const { return m_endChanged != 0; }
    bool FileChanged() const { return m_fileChanged != 0; }
    bool TimeBaseChanged() const { return m_timeBaseChanged != 0; }

protected:
    // The subclasses' Close: forgets a file's positions when the file was
    // renamed and marks every property for the next Update.
    void ResetProperties();
    void SetBoundPosition(LONGLONG value, LONGLONG* pos, int* changed);

    LONG m_ref;
    IPlayerSite* m_site;
    LONG_PTR m_notifyCookie;
    char m_fileName[kMediaNameSize];
    int m_fileChanged;
    char m_alias[kMediaNameSize];
    LONG m_kind;
    LONGLONG m_startPos;
    int m_startChanged;
    LONGLONG m_endPos;
    int m_endChanged;
    LONGLONG m_curPos;
    LONGLONG m_duration;
    LONG m_playState;
    LONG m_videoWidth;
    LONG m_videoHeight;
    double m_rate;
    int m_rateChanged;
    LONG m_volume;
    int m_volumeChanged;
    LONG m_balance;
    int m_balanceChanged;
    HWND m_ownerWindow;
    int m_ownerChanged;
    HWND m_notifyWindow;
    int m_notifyChanged;
    LONG m_useMCI;
    int m_timeBaseChanged;
    LONG m_cdAudio;
    LONG m_windowStyle;
    int m_styleChanged;
    LONG m_windowRect[4];
    int m_rectChanged;
    BYTE m_hidden;
    int m_soundChanged;
    int m_neverOpened;
    int m_trackChanged;
};

// Kinds of media control that CreateMediaControl makes.
enum MediaControlType {
    MEDIA_CONTROL_ANIMATION = 1,
    MEDIA_CONTROL_SOUND = 2,
    MEDIA_CONTROL_VIDEO = 3
};

// A new control of the type over the play site (one reference in *out);
// E_NOTIMPL for a type this library does not make, E_POINTER without out.
HRESULT CreateMediaControl(int type, IPlayerSite* site, IMediaObjectBase** out);
