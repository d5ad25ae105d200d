// CVecPlayState: what a vector object shows (the current frame, borrowed
// from a key frame or a tween it holds) and its stored setting.
#pragma once

#include "aStOfFrm.h"

class CVecFrame;

class CVecPlayState {
public:
    enum { DEFAULT_SETTING = 50 };

    void Reset() {
        state.Reset();
        setting = DEFAULT_SETTING;
    }

    CFrameState state;
    CVecFrame* current = nullptr;
    int setting = DEFAULT_SETTING;
};
