// SoundObject: one sound item of the work (a wave, MIDI or other audio file,
// embedded bytes, or a track of an audio CD) played by a sound control. It
// keeps the control's positions, volume and balance in step with its own,
// turns the control's end notifications into repeats and the four play
// events, and shows an optional status box.
#pragma once

#include <vector>

#include "aMediaPlay.h"
#include "aObjClass.h"

// Flag bits of the sound object.
enum SoundFlags : WORD {
    SNDFLAG_MCI = 0x01,
    SNDFLAG_CDAUDIO = 0x02,
    SNDFLAG_RUNVISIBLE = 0x04,
    SNDFLAG_AUTOREPEAT = 0x08,
    SNDFLAG_NOLIMIT = 0x10,
    SNDFLAG_EXITONEND = 0x20,
};
enum {
    SOUND_CD_SLACK_MS = 2001,  // a CD's end may lie this far beyond its length
    SOUND_POLL_MESSAGE = 1037,
};
extern const char kSoundNotifyClass[];  // "szSoundNotifyClass"

class SoundObject : public MediaPlayObject<SoundObjectClass<SoundObject>, SoundObject> {
public:
    // New media plays to its length.
    enum { WHOLE_END_BEFORE_LENGTH = 0 };
    SoundObject();
    ~SoundObject() override;
    HRESULT SetUp();
    STDMETHOD(Init)(ObjectCreationRecord* record) override;

    // ---- ISoundDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(put_ObjStartPosition)(LONG v) override;
    STDMETHOD(put_ObjEndPosition)(LONG v) override;
    STDMETHOD(get_ObjCurPosition)(LONG* out) override;
    STDMETHOD(put_ObjCurPosition)(LONG v) override;
    STDMETHOD(get_ObjVolume)(LONG* out) override;
    STDMETHOD(put_ObjVolume)(LONG v) override;
    STDMETHOD(get_ObjBalance)(LONG* out) override;
    STDMETHOD(put_ObjBalance)(LONG v) override;
    STDMETHOD(PlayPauseMedia)() override;
    STDMETHOD(ForewardMedia)() override;
    STDMETHOD(get_ObjExitOnEnd)(LONG* out) override { return GetFlag(out, SNDFLAG_EXITONEND); }
    STDMETHOD(put_ObjExitOnEnd)(LONG v) override { return SetFlag(SNDFLAG_EXITONEND, v); }
    STDMETHOD(get_ObjMCI)(LONG* out) override { return GetFlag(out, SNDFLAG_MCI); }
    STDMETHOD(put_ObjMCI)(LONG v) override;
    STDMETHOD(get_ObjAutoRepeat)(LONG* out) override { return GetFlag(out, SNDFLAG_AUTOREPEAT); }
    STDMETHOD(put_ObjAutoRepeat)(LONG v) override { return SetFlag(SNDFLAG_AUTOREPEAT, v & 1); }
    STDMETHOD(get_ObjRunVisible)(LONG* out) override { return GetFlag(out, SNDFLAG_RUNVISIBLE); }
    STDMETHOD(put_ObjRunVisible)(LONG v) override;
    STDMETHOD(get_ObjNotLimitRepeatTimes)(LONG* out) override {
        return GetFlag(out, SNDFLAG_NOLIMIT);
    }
    STDMETHOD(put_ObjNotLimitRepeatTimes)(LONG v) override { return SetFlag(SNDFLAG_NOLIMIT, v); }
    STDMETHOD(get_ObjRepeatTimes)(LONG* out) override { return Get(out, m_repeatTimes); }
    STDMETHOD(put_ObjRepeatTimes)(LONG v) override;
    STDMETHOD(get_ObjCDAudio)(LONG* out) override { return GetFlag(out, SNDFLAG_CDAUDIO); }
    STDMETHOD(put_ObjCDAudio)(LONG v) override;
    STDMETHOD(get_ObjCurSelTrack)(LONG* out) override;
    STDMETHOD(put_ObjCurSelTrack)(LONG v) override;
    // The control's play state: 0 stopped, 1 playing, 2 paused.
    LONG PlayState();

    // ---- class operations ----
    HRESULT GetRate(double* rate);
    HRESULT SetRate(double rate);
    HRESULT ToggleFastPlay();
    void OnPlayEnded();
    HRESULT CdTrackStart(LONG track, LONG* ms);

    // ---- media data, database link, the position row ----
    STDMETHOD(SetName)(const char* name) override;
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
    STDMETHOD(OnChange)(int code) override;
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    // The status box, shown with RunVisible.
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The sound's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    IMediaObjectBase* Control() const { return m_control; }
    bool Opened() const { return m_control && m_control->IsClosed() == S_OK; }
    // Whether the repeat count allows another start.
    bool PlaysRemain() const {
        return MayStartAgain(m_playCount, m_repeatTimes, !(m_flags & SNDFLAG_NOLIMIT));
    }
    WORD Flags() const { return m_flags; }
    LONG PlayCount() const { return m_playCount; }
    HWND NotifyWindow() const { return m_notify; }
    // The status box's three lines.
    std::string StatusText();

protected:
    HRESULT DbRefresh(int code) override;

private:
    HRESULT GetFlag(LONG* out, WORD bit) { return Get(out, (m_flags & bit) ? 1 : 0); }
    HRESULT SetFlag(WORD bit, LONG on) {
        m_flags = (WORD)(on ? (m_flags | bit) : (m_flags & ~bit));
        return S_OK;
    }
    bool Mci() const { return (m_flags & SNDFLAG_MCI) != 0; }
    LONG Limit() const { return m_length + ((m_flags & SNDFLAG_CDAUDIO) ? SOUND_CD_SLACK_MS : 0); }
    LONGLONG ToControl(LONG ms) const;
    LONG FromControl(LONGLONG t) const;
    void Redraw() { this->InvalidateObject(nullptr); }
    void RedrawIfVisible() {
        if (m_flags & SNDFLAG_RUNVISIBLE)
            Redraw();
    }
    void Fire(DWORD id) { FireNoArgs(id); }
    void PrepareWindows();
    HRESULT OpenPrepared(const char* path, const void* bytes, DWORD count, const char* name);
    HRESULT Reload();
    void PrepareFast();

    IMediaObjectBase* m_control;
    std::vector<BYTE> m_bytes;
    LONG m_volume, m_balance, m_repeatTimes;
    WORD m_flags;
    LONG m_reserved, m_track;
    HWND m_parent, m_notify;
    LONG m_playCount;
};

HRESULT CreateSoundObject(IUnknown** out);
