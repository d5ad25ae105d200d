// What the movie, sound and video objects share: their four play events, the
// repeat rule, the play-position row and the seam through which they make
// their media controls.
#pragma once

#include "aObjItf.h"
#include "bMediaBase.h"

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
