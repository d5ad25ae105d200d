// MovieObject: a frame animation of the project's media (FLC/FLI, animated
// GIF or a Flash movie) played in the object's rectangle by an animation
// control. The object decides on every clock tick which frame is due, keeps
// the play range, loops and counts repeats, fires the four play events and
// forwards input to a Flash movie.
#pragma once

#include "aMFrame.h"
#include "aMediaPlay.h"
#include "aObjClass.h"

class IInvalidateTarget;

// Flag bits of the movie object.
enum MovieFlags : DWORD {
    MOVFLAG_AUTOREPEAT = 0x01,
    MOVFLAG_NOLIMIT = 0x02,
    MOVFLAG_KEEPSIZE = 0x04,  // scale to fit off
    MOVFLAG_EXITONEND = 0x08,
    MOVFLAG_MOUSEEVENTS = 0x10,
    MOVFLAG_FLASHINPUT = 0x20,
    MOVFLAG_FLASHFRAMES = 0x40,
    MOVFLAG_DEFAULT = 0x73,
};
// Kinds of movie.
enum { MOVIE_NONE = 0, MOVIE_FLIC = 1, MOVIE_GIF = 2, MOVIE_FLASH = 3 };
// The shortest time a frame is shown, in milliseconds.
enum { MOVIE_MIN_DELAY = 50 };

class MovieObject : public MovieObjectClass<MovieObject> {
public:
    MovieObject();
    ~MovieObject() override;
    HRESULT SetUp();
    STDMETHOD(Init)(ObjectCreationRecord* record) override;

    // ---- IMovieDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(get_ObjStartPosition)(LONG* out) override { return Get(out, m_start); }
    STDMETHOD(put_ObjStartPosition)(LONG v) override;
    STDMETHOD(get_ObjEndPosition)(LONG* out) override { return Get(out, m_end); }
    STDMETHOD(put_ObjEndPosition)(LONG v) override;
    STDMETHOD(get_ObjCurPosition)(LONG* out) override { return Get(out, m_cur); }
    STDMETHOD(put_ObjCurPosition)(LONG v) override;
    STDMETHOD(get_ObjLength)(LONG* out) override { return Get(out, m_length); }
    STDMETHOD(get_ObjMediaWidth)(LONG* out) override { return Get(out, m_mediaWidth); }
    STDMETHOD(get_ObjMediaHeight)(LONG* out) override { return Get(out, m_mediaHeight); }
    STDMETHOD(PlayMedia)() override;
    STDMETHOD(StopMedia)() override;
    STDMETHOD(PauseMedia)() override;
    STDMETHOD(ContinueMedia)() override;
    STDMETHOD(PlayPauseMedia)() override;
    STDMETHOD(RewindMedia)() override;
    STDMETHOD(ForewardMedia)() override;
    STDMETHOD(BackwardMedia)() override;
    STDMETHOD(SeekMedia)(LONG position) override;
    STDMETHOD(get_ObjExitOnEnd)(LONG* out) override { return GetFlag(out, MOVFLAG_EXITONEND); }
    STDMETHOD(put_ObjExitOnEnd)(LONG v) override { return SetFlag(MOVFLAG_EXITONEND, v); }
    STDMETHOD(get_ObjAutoRepeat)(LONG* out) override { return GetFlag(out, MOVFLAG_AUTOREPEAT); }
    STDMETHOD(put_ObjAutoRepeat)(LONG v) override { return SetFlag(MOVFLAG_AUTOREPEAT, v); }
    STDMETHOD(get_ObjRepeatTimes)(LONG* out) override { return Get(out, m_repeatTimes); }
    STDMETHOD(put_ObjRepeatTimes)(LONG v) override;
    STDMETHOD(get_ObjNotLimitRepeatTime)(LONG* out) override {
        return GetFlag(out, MOVFLAG_NOLIMIT);
    }
    STDMETHOD(put_ObjNotLimitRepeatTime)(LONG v) override { return SetFlag(MOVFLAG_NOLIMIT, v); }
    STDMETHOD(get_ObjMavroMsgEnabled)(LONG* out) override {
        return GetFlag(out, MOVFLAG_MOUSEEVENTS);
    }
    STDMETHOD(put_ObjMavroMsgEnabled)(LONG v) override { return SetFlag(MOVFLAG_MOUSEEVENTS, v); }
    STDMETHOD(get_ObjFlashMsgEnabled)(LONG* out) override {
        return GetFlag(out, MOVFLAG_FLASHINPUT);
    }
    STDMETHOD(put_ObjFlashMsgEnabled)(LONG v) override { return SetFlag(MOVFLAG_FLASHINPUT, v); }
    STDMETHOD(get_ObjFlashFrmCtlEnabled)(LONG* out) override {
        return GetFlag(out, MOVFLAG_FLASHFRAMES);
    }
    STDMETHOD(put_ObjFlashFrmCtlEnabled)(LONG v) override {
        return SetFlag(MOVFLAG_FLASHFRAMES, v);
    }
    // The editing side's three: the length refreshed from the control, and
    // scale to fit off (flag bit 2).
    LONG RefreshLength();
    LONG GetKeepSize() const { return (m_flags & MOVFLAG_KEEPSIZE) ? 1 : 0; }
    HRESULT SetKeepSize(LONG on);

    // ---- media data, database link, the position row ----
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override;
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void* extra, int type) override;
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowMinimum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) override;
    STDMETHOD(GetRowValue)(LONG row, LONG* out) override;
    STDMETHOD(SetRowValue)(LONG row, LONG value) override;

    // ---- the clock-driven ability ----
    STDMETHOD(OnClock)() override;
    STDMETHOD(Start)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Resume)() override;
    STDMETHOD(Stop)() override;

    // ---- render and event parts ----
    STDMETHOD(OnEnter)() override;
    STDMETHOD(OnLeave)() override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The movie's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    IMediaObjectBase* Control() const { return m_control; }
    bool Opened() const { return m_control && m_control->IsClosed() == S_OK; }
    int Kind() const { return m_kind; }
    DWORD Flags() const { return m_flags; }
    LONG RepeatCount() const { return m_repeatCount; }
    bool Backward() const { return m_backward; }
    LONG Step() const { return m_step; }
    IPixelBuffer* FrameBuffer() const { return m_buffer; }
    IMediaFrame* Frame() const { return m_frame; }
    // Zooms the object to the media size times `factor` (above 0.001).
    void Zoom(double factor);

protected:
    HRESULT DbRefresh(int code) override;
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

    // The animation control's Flash operations, which a test's fake takes.
    virtual HRESULT FlashOpen(const char* path);
    virtual HRESULT FlashPlay();
    virtual HRESULT FlashStop();
    virtual HRESULT FlashGotoFrame(LONG frame);
    virtual HRESULT FlashFrame(LONGLONG* frame);
    virtual HRESULT FlashForward(const MSG* message);
    virtual HRESULT FlashSize(int width, int height);
    // The window the player shows the page in.
    HWND ViewWindow();

private:
    HRESULT GetFlag(LONG* out, DWORD bit) { return Get(out, (m_flags & bit) ? 1 : 0); }
    HRESULT SetFlag(DWORD bit, LONG on);
    void Fire(DWORD id) { FireNoArgs(id); }
    void Redraw() { this->InvalidateObject(nullptr); }
    LONG LastFrame() const;
    LONG FrameWidth() const;
    void SetCurrent(LONG position);
    void TakePositions();
    void ApplyToControl();
    void EndOfPass(bool flash, LONG* position, bool* stopTicking);
    void TickFlash();
    void TickFrames();
    void ScaleToFit();
    void ResizeToMedia(bool loaded);
    void ReleaseBuffer();
    void CloseControl();
    struct FlashInvalidate;

    DWORD m_flags;
    LONG m_repeatTimes, m_repeatCount;
    LONG m_cur, m_end, m_start, m_length;
    LONG m_mediaWidth, m_mediaHeight;
    IMediaObjectBase* m_control;
    int m_kind;
    bool m_frameChanged;
    bool m_backward;
    LONG m_step;
    DWORD m_accum;
    bool m_cursorReset;
    IPixelBuffer* m_buffer;
    IMediaFrame* m_frame;
    FlashInvalidate* m_flashTarget;
};

HRESULT CreateMovieObject(IUnknown** out);
