#include "aMediaPlay.h"

MediaControlFactory g_mediaControlFactory = CreateMediaControl;

LONG ClampRepeatTimes(LONG times) {
    if (times < 1)
        return 1;
    return times > MEDIA_REPEAT_MAX ? (LONG)MEDIA_REPEAT_MAX : times;
}

RepeatOutcome CountRepeat(LONG* counter, LONG times, bool limited, bool autoRepeat) {
    if (*counter < MEDIA_REPEAT_MAX)
        ++*counter;
    if (limited && *counter >= times)
        return REPEAT_ENDED;
    return autoRepeat ? REPEAT_LOOP : REPEAT_STOPPED;
}
