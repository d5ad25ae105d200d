// VideoObject: one video item of the work inside the object's rectangle:
// in the page through a DirectShow multimedia stream rendering into an
// off-screen DirectDraw surface that the object draws itself, or in a window
// over the rectangle through the video control (DirectShow or MCI). It
// shares the sound object's transport, repeats and events.
#pragma once

#include <vector>

#include "aMFrame.h"
#include "aMediaPlay.h"
#include "aObjClass.h"

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawStreamSample;
struct IAMMultiMediaStream;
struct IBasicVideo;
struct IBasicAudio;
struct IMediaSeeking;

// Flag bits of the video object.
enum VideoFlags : WORD {
    VIDFLAG_AUDIO = 0x0001,
    VIDFLAG_HASAUDIO = 0x0002,
    VIDFLAG_AUTOREPEAT = 0x0004,
    VIDFLAG_MCI = 0x0008,
    VIDFLAG_INPAGE = 0x0010,  // ObjNotInWindow
    VIDFLAG_NOLIMIT = 0x0020,
    VIDFLAG_EXITONEND = 0x0040,
    VIDFLAG_SCALE = 0x0080,  // scale the positions to the next opened length
    VIDFLAG_DISPLAY = 0x0F00,
};
enum { VIDFLAG_DISPLAY_SHIFT = 8 };
// Display modes: the media's size, the object's size, the smaller of both.
enum { VIDEO_SHOW_MEDIA = 0, VIDEO_SHOW_OBJECT = 1, VIDEO_SHOW_FIT = 2 };
extern const char kVideoNotifyClass[];  // "szVideoNotifyClass"

class VideoObject : public MediaPlayObject<VideoObjectClass<VideoObject>, VideoObject> {
public:
    // New media ends one millisecond before its length.
    enum { WHOLE_END_BEFORE_LENGTH = 1 };
    VideoObject();
    ~VideoObject() override;
    HRESULT SetUp();
    STDMETHOD(Init)(ObjectCreationRecord* record) override;

    // ---- IVideoDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(put_ObjStartPosition)(LONG v) override;
    STDMETHOD(put_ObjEndPosition)(LONG v) override;
    STDMETHOD(get_ObjCurPosition)(LONG* out) override;
    STDMETHOD(put_ObjCurPosition)(LONG v) override;
    STDMETHOD(get_ObjVolume)(LONG* out) override { return Get(out, m_volume); }
    STDMETHOD(put_ObjVolume)(LONG v) override;
    STDMETHOD(get_ObjBalance)(LONG* out) override;
    STDMETHOD(put_ObjBalance)(LONG v) override;
    STDMETHOD(get_ObjMediaWidth)(LONG* out) override { return Get(out, m_mediaWidth); }
    STDMETHOD(get_ObjMediaHeight)(LONG* out) override { return Get(out, m_mediaHeight); }
    STDMETHOD(PlayPauseMedia)() override;
    STDMETHOD(ForewardMedia)() override;
    STDMETHOD(get_ObjExitOnEnd)(LONG* out) override { return GetFlag(out, VIDFLAG_EXITONEND); }
    STDMETHOD(put_ObjExitOnEnd)(LONG v) override { return SetFlag(VIDFLAG_EXITONEND, v); }
    STDMETHOD(get_ObjNotInWindow)(LONG* out) override { return GetFlag(out, VIDFLAG_INPAGE); }
    STDMETHOD(put_ObjNotInWindow)(LONG v) override;
    STDMETHOD(get_ObjMCI)(LONG* out) override;
    STDMETHOD(put_ObjMCI)(LONG v) override;
    STDMETHOD(get_ObjAutoRepeat)(LONG* out) override { return GetFlag(out, VIDFLAG_AUTOREPEAT); }
    STDMETHOD(put_ObjAutoRepeat)(LONG v) override { return SetFlag(VIDFLAG_AUTOREPEAT, v); }
    STDMETHOD(get_ObjAudioOn)(LONG* out) override;
    STDMETHOD(put_ObjAudioOn)(LONG v) override;
    STDMETHOD(get_ObjRepeatTimes)(LONG* out) override { return Get(out, m_repeatTimes); }
    STDMETHOD(put_ObjRepeatTimes)(LONG v) override;
    STDMETHOD(get_ObjDisplayFlag)(SHORT* out) override;
    STDMETHOD(put_ObjDisplayFlag)(SHORT v) override;
    STDMETHOD(get_ObjNotLimitRepeatTimes)(LONG* out) override {
        return GetFlag(out, VIDFLAG_NOLIMIT);
    }
    STDMETHOD(put_ObjNotLimitRepeatTimes)(LONG v) override { return SetFlag(VIDFLAG_NOLIMIT, v); }

    // ---- class operations ----
    bool IsPlaying();
    HRESULT GetRate(double* rate);
    HRESULT SetRate(double rate);
    LONG HasSound();
    void OnPlayEnded();

    // ---- media data, database link, the position row ----
    STDMETHOD(LoadMediaData)(const char* name) override;
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override;

    // ---- the clock-driven ability ----
    STDMETHOD(Reserved3)() override;  // suspend
    STDMETHOD(Reserved4)() override;  // resume
    STDMETHOD(OnClock)() override;
    STDMETHOD(Start)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Resume)() override;
    STDMETHOD(Stop)() override;

    // ---- render and event parts ----
    STDMETHOD(BeforeEnter)() override;
    STDMETHOD(BeforeExit)() override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The video's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    bool Opened() const;
    // Whether the repeat count allows another start.
    bool PlaysRemain() const {
        return MayStartAgain(m_playCount, m_repeatTimes, !(m_flags & VIDFLAG_NOLIMIT));
    }
    bool InPage() const { return (m_flags & VIDFLAG_INPAGE) != 0; }
    WORD Flags() const { return m_flags; }
    IMediaObjectBase* Control() const { return m_control; }
    IMediaFrame* Frame() const { return m_frame; }
    const RECT& VideoRect() const { return m_videoRect; }
    LONG PlayCount() const { return m_playCount; }
    HWND NotifyWindow() const { return m_notify; }
    IPixelBuffer* StillFrame() const { return m_still; }

protected:
    HRESULT DbRefresh(int code) override;
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    HRESULT GetFlag(LONG* out, WORD bit) { return Get(out, (m_flags & bit) ? 1 : 0); }
    HRESULT SetFlag(WORD bit, LONG on) {
        m_flags = (WORD)(on ? (m_flags | bit) : (m_flags & ~bit));
        return S_OK;
    }
    int DisplayMode() const;
    BOOL ToRefTime() const { return (m_flags & VIDFLAG_MCI) ? FALSE : TRUE; }
    LONGLONG ToControl(LONG ms) const;
    LONG FromControl(LONGLONG t) const;
    void Redraw() { this->InvalidateObject(nullptr); }
    void Fire(DWORD id) { FireNoArgs(id); }
    LONG FrameBorder() const;
    void PrepareWindows();
    void ScalePositions(LONG newLength);
    HRESULT OpenWindowed(const char* path, const void* bytes, DWORD count, const char* item);
    HRESULT OpenInPage(const char* path);
    HRESULT Reload();
    void CloseMedia();
    void Layout();
    void PlaceWindow();
    void Play();
    void PauseOrStop(bool pause);
    void RefreshPosition();
    HRESULT UpdateOnce();
    HRESULT CaptureStill();
    // The still frame straight from the stream's surface into the buffer's
    // own; false where either has no DirectDraw surface or the blit fails.
    bool BlitStillSurface();
    void ApplyAudio();

    IMediaObjectBase* m_control;
    IMediaFrame* m_frame;
    std::vector<BYTE> m_bytes;
    double m_rate;
    LONG m_mediaWidth, m_mediaHeight;
    LONG m_volume, m_balance, m_repeatTimes;
    WORD m_flags;
    IPixelBuffer* m_still;
    LONG m_lastDrawn;
    IDirectDraw* m_ddraw;
    IAMMultiMediaStream* m_stream;
    IDirectDrawStreamSample* m_sample;
    IDirectDrawSurface* m_surface;
    IBasicVideo* m_basicVideo;
    IBasicAudio* m_audio;
    IMediaSeeking* m_seeking;
    bool m_running;
    RECT m_videoRect;
    HWND m_parent, m_notify;
    LONG m_playCount;
    int m_layoutGuard;
    bool m_mouseActivated;
};

HRESULT CreateVideoObject(IUnknown** out);
