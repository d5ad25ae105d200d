// What the movie, sound and video objects share: their four play events, the
// repeat rule, the play-position row and the seam through which they make
// their media controls.
#pragma once

#include <vector>

#include "aObjItf.h"
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
