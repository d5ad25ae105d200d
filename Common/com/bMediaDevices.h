// The media devices that scripts drive through numbered commands: the sound
// recorder and the video capture that the play site hands out (slots 22 and
// 23) and the output mixer. Their objects are made
// by the media library; the command executor reaches them only through these.
#pragma once

#include "bComBase.h"

// {493191B1-C626-4D50-B58B-C402E7F48F1A} Records sound into memory or a WAV
// file and plays the recording back.
struct ISoundRecorder : public IUnknown {
    STDMETHOD(Init)() = 0;                                                  // 3
    STDMETHOD(SelectInputFormat)(int row) = 0;                              // 4
    STDMETHOD(SelectDevice)(int index) = 0;                                 // 5
    STDMETHOD(StartRecordInMem)(LONG milliseconds) = 0;                     // 6
    STDMETHOD(StartRecordInFile)(const char* file, LONG milliseconds) = 0;  // 7
    STDMETHOD(SaveToFile)(const char* file) = 0;                            // 8
    STDMETHOD(Play)(LONG from, LONG to) = 0;                                // 9 to -1: the end
    STDMETHOD(Stop)() = 0;                                                  // 10
    STDMETHOD(Pause)() = 0;                                                 // 11
    STDMETHOD(Continue)() = 0;                                              // 12
    // 0 idle, 1 recording, 2 playing, 3 recording paused, 4 playing paused.
    STDMETHOD_(int, GetState)() = 0;               // 13
    STDMETHOD_(BOOL, IsShowingMessage)() = 0;      // 14
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;  // 15
};
DECLARE_IID(ISoundRecorder, 0x493191B1, 0xC626, 0x4D50, 0xB5, 0x8B, 0xC4, 0x02, 0xE7, 0xF4, 0x8F,
            0x1A);

// {660602AD-5920-4DE8-BC3F-5475EC4BEF97} Shows a capture device's live
// picture in a window of the player.
struct IVideoCapture : public IUnknown {
    STDMETHOD(Init)() = 0;                         // 3
    STDMETHOD(Reserved4)() = 0;                    // 4
    STDMETHOD(Reserved5)() = 0;                    // 5 E_NOTIMPL
    STDMETHOD(SetFrameRate)(int type) = 0;         // 6
    STDMETHOD(SetSize)(int type) = 0;              // 7
    STDMETHOD(StartCap)() = 0;                     // 8
    STDMETHOD(StopCap)() = 0;                      // 9
    STDMETHOD(SetPosition)(POINT point) = 0;       // 10
    STDMETHOD(SetWindowStyle)(int type) = 0;       // 11
    STDMETHOD(Reserved12)() = 0;                   // 12
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;  // 13
};
DECLARE_IID(IVideoCapture, 0x660602AD, 0x5920, 0x4DE8, 0xBC, 0x3F, 0x54, 0x75, 0xEC, 0x4B, 0xEF,
            0x97);

// The output mixer of the speaker and headphone lines: operation 1 a volume
// step, 3 mute, 4 mute toggled, others an absolute level.
class IMixerDevice {
public:
    virtual void SetMixerVolume(int operation, LONG value) = 0;

protected:
    ~IMixerDevice() {}
};
