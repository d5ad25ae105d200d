// What the movie, sound and video objects share: their four play events, the
// repeat rule, the play-position row and the seam through which they make
// their media controls.
#pragma once

#include <vector>

#include "aObjItf.h"
#include "aablbase.h"
#include "bMediaBase.h"

struct IMediaManager;

// Custom events of the media objects, fired without arguments.
enum MediaPlayEvent {
    MEDIAEVT_PLAYSTART = 2100,
    MEDIAEVT_PLAYSTOP = 2101,
    MEDIAEVT_PLAYLOOP = 2102,
    MEDIAEVT_PLAYEND = 2103,
};

enum {
    STRING_MEDIA_POSITION_ROW = 22003,
    STRING_VOLUME_OUT_OF_RANGE = 20026,
    MEDIA_REPEAT_MAX = 32767,
    MEDIA_NAME_FIELD = 33,  // the sound's and video's stored media name
    MEDIA_VOLUME_MAX = 1000,
    MEDIA_BALANCE_LIMIT = 10000,
};

// Arguments of the position row's notices: what moved.
enum { MEDIAROW_END = 1, MEDIAROW_START = 2, MEDIAROW_BOTH = 3, MEDIAROW_CURRENT = 16 };

// Repeat times as stored: 1 .. 32767.
LONG ClampRepeatTimes(LONG times);

// What follows the end of one pass through the play range.
enum RepeatOutcome { REPEAT_ENDED, REPEAT_LOOP, REPEAT_STOPPED };
// Counts the pass: with limited repeats the count reaching the times ends
// the media; otherwise auto repeat loops and no repeat stops.
RepeatOutcome CountRepeat(LONG* counter, LONG times, bool limited, bool autoRepeat);
// Whether another start is allowed by the count.
inline bool MayStartAgain(LONG counter, LONG times, bool limited) {
    return !limited || counter < times;
}

// Makes the media objects' controls; tests put a recording fake here.
typedef HRESULT (*MediaControlFactory)(int type, IPlayerSite* site, IMediaObjectBase** out);
extern MediaControlFactory g_mediaControlFactory;
// The play range and transport that the sound and video objects share:
// positions in milliseconds, the position row over the range, and playing
// from the start and stopping with their events. K, the object, answers
// WHOLE_END_BEFORE_LENGTH (how far before the length new media ends),
// SetRate, Opened, PlaysRemain, the current position, Start, Pause, Resume
// and Stop.
template <class Base, class K>
class MediaPlayObject : public Base {
public:
    STDMETHOD(get_ObjStartPosition)(LONG* out) override { return this->Get(out, m_start); }
    STDMETHOD(get_ObjEndPosition)(LONG* out) override { return this->Get(out, m_end); }
    STDMETHOD(get_ObjLength)(LONG* out) override { return this->Get(out, m_length); }
    STDMETHOD(PlayMedia)() override {
        Self()->SetRate(1.0);
        Self()->put_ObjCurPosition(m_start);
        if (this->CAbility::GetState() != ABILITY_RUNNING)
            Self()->Start();
        else if (Self()->Opened() && Self()->PlaysRemain())
            this->FireNoArgs(MEDIAEVT_PLAYSTART);
        return S_OK;
    }
    STDMETHOD(StopMedia)() override {
        HRESULT hr = Self()->Stop();
        this->FireNoArgs(MEDIAEVT_PLAYSTOP);
        return hr;
    }
    STDMETHOD(PauseMedia)() override { return Self()->Pause(); }
    STDMETHOD(ContinueMedia)() override { return Self()->Resume(); }
    STDMETHOD(RewindMedia)() override { return Self()->put_ObjCurPosition(m_start); }
    STDMETHOD(SeekMedia)(LONG position) override { return Self()->put_ObjCurPosition(position); }

    // Row 0: the current position within the play range, a line of 200 ms,
    // a page of a fiftieth of the length (at least 200 ms).
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) override {
        return row ? this->CEventSinkTable::GetRowMaximum(row, out) : this->Get(out, m_end);
    }
    STDMETHOD(GetRowMinimum)(LONG row, LONG* out) override {
        return row ? this->CEventSinkTable::GetRowMinimum(row, out) : this->Get(out, m_start);
    }
    STDMETHOD(GetRowLineStep)(LONG row, LONG* out) override {
        return row ? this->CEventSinkTable::GetRowLineStep(row, out) : this->Get(out, 200);
    }
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) override {
        return row ? this->CEventSinkTable::GetRowPageStep(row, out)
                   : this->Get(out, m_length / 50 > 200 ? m_length / 50 : 200);
    }
    STDMETHOD(GetRowValue)(LONG row, LONG* out) override {
        return row ? this->CEventSinkTable::GetRowValue(row, out) : Self()->get_ObjCurPosition(out);
    }
    STDMETHOD(SetRowValue)(LONG row, LONG value) override {
        return row ? this->CEventSinkTable::SetRowValue(row, value)
                   : Self()->put_ObjCurPosition(value);
    }

    // New media from the database link or by name plays whole.
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void*, int) override {
        HRESULT hr = this->SetMedia(mediaFlag ? TRUE : FALSE, text, nullptr, 0);
        return Whole(hr);
    }

protected:
    // Bound without a link field: the media by its name again.
    HRESULT ReloadByName() {
        return Whole(this->MediaName()[0] ? Self()->LoadMediaData(this->MediaName()) : S_OK);
    }

    LONG m_length = 0, m_start = 0, m_end = 0, m_cur = 0;

private:
    K* Self() { return static_cast<K*>(this); }
    HRESULT Whole(HRESULT hr) {
        if (Self()->Opened())
            m_end = m_length - K::WHOLE_END_BEFORE_LENGTH;
        this->InvalidateObject(nullptr);
        return hr;
    }
};

// Makes the object's control through the factory and takes its media-control
// interface.
HRESULT MakeMediaControl(int type, IPlayerSite* site, IMediaObjectBase** out);

// The sound's and video's notify windows: registered once per class; their
// mouse and context-menu messages go on to the parent window, a point in the
// parent's client area.
void RegisterNotifyClass(const char* name, WNDPROC procedure);
LRESULT ForwardMouseToParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ForwardContextMenu(HWND window, LPARAM lParam);

// An embedded item's bytes read from the manager into `bytes` (*count read),
// and the item's name with its default extension, which tells a control the
// format.
HRESULT ReadEmbeddedMedia(IMediaManager* manager, const char* name, std::vector<BYTE>* bytes,
                          DWORD* count, char* item, size_t itemSize);

// The stored media-name field: a count of at most 33 bytes, then the bytes;
// a name without its NUL ends within its count. False, logged with `record`,
// for a larger count or one past the stream.
bool ReadMediaNameField(ITeskStream* stream, char (&name)[MEDIA_NAME_FIELD + 1],
                        const char* record);
// Stored volume and balance within their ranges.
LONG ClampVolume(LONG volume);
LONG ClampBalance(LONG balance);
