// The host of the Shockwave Flash control: windowless in-place site, client
// site, property sink, bind host and service provider of the control, and
// one interface of its own through which the animation control activates a
// movie, draws it into a device context, forwards window messages and drives
// playback. The control is created by class and driven by member name
// through IDispatch; no vtable layout of it is assumed.
#pragma once

#include "bComBase.h"

// The owner whose area the container invalidates when the control asks
// for a redraw.
class IInvalidateTarget {
public:
    // Null: the whole area.
    virtual void Invalidate(const RECT* rect) = 0;

protected:
    ~IInvalidateTarget() {}
};

// {515DAD60-EBC7-11D4-9420-00104B04BA28} The container interface.
struct ISWFContainer : public IUnknown {
    STDMETHOD(SetHostWindow)(HWND window) = 0;        // 3
    STDMETHOD(SetControlRect)(const RECT* rect) = 0;  // 4
    // True when the control took the movie.
    STDMETHOD_(BOOL, QuickActivate)(const char* movie) = 0;  // 5
    STDMETHOD(Close)() = 0;                                  // 6
    STDMETHOD_(BOOL, IsActivated)() = 0;                     // 7
    STDMETHOD(Draw)(HDC dc) = 0;                             // 8
    STDMETHOD(ForwardMessage)(const MSG* message) = 0;       // 9
    STDMETHOD(SetControlSize)(int width, int height) = 0;    // 10
    STDMETHOD(Play)() = 0;                                   // 11
    STDMETHOD(Stop)() = 0;                                   // 12
    STDMETHOD(StopPlaying)() = 0;                            // 13 the same
    STDMETHOD(Rewind)() = 0;                                 // 14
    STDMETHOD_(long, IsStopped)() = 0;                       // 15
    STDMETHOD(SetLoop)(BOOL loop) = 0;                       // 16
    STDMETHOD(IsMovieLoaded)(long* frames) = 0;              // 17
    STDMETHOD(GetCurrentFrame)(long* frame) = 0;             // 18
    STDMETHOD(GotoFrame)(long frame) = 0;                    // 19
    STDMETHOD(SetMenu)(BOOL on) = 0;                         // 20
};
DECLARE_IID(ISWFContainer, 0x515DAD60, 0xEBC7, 0x11D4, 0x94, 0x20, 0x00, 0x10, 0x4B, 0x04, 0xBA,
            0x28);

// A new container (one reference), asked through its dispatch interface for
// the container interface; the QueryInterface result.
HRESULT CreateSWFContainer(ISWFContainer** out);
// The owner that a container made by CreateSWFContainer invalidates.
void SetSWFContainerOwner(ISWFContainer* container, IInvalidateTarget* owner);
