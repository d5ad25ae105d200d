// Effect and decoration renders: clock-driven holders that attach transition
// plug-ins to a presentation object. The effect render times an entering or
// leaving transition and holds one move, one region and one mask plug-in;
// the decoration render keeps redrawing one decoration plug-in while the
// object shows.
//
// The display layer sits below the objects, so three seams connect them:
//   IRenderTarget   what the render draws for: the object's rectangle and
//                   redraw requests (not referenced);
//   IRenderClock    the ability part that times the render (state, running
//                   time, trigger codes), the object layer's ability base;
//                   a render without one uses its own stand-alone clock;
//   IModuleCreator  plug-in creation by class identifier, the object
//                   factory's module creation, registered at start.
#pragma once

#include <windows.h>

#include "aPixBuf.h"
#include "aTransition.h"
#include "bStorage.h"

// The object a render draws for.
struct IRenderTarget {
    // The object's rectangle in logical units.
    virtual HRESULT GetRect(RECT* rect) = 0;
    // Asks the object to redraw the rectangle.
    virtual HRESULT Redraw(const RECT* rect) = 0;
    // Invalidates the rectangle (logical units) in the player window, erasing.
    virtual HRESULT Invalidate(const RECT* rect) = 0;

protected:
    ~IRenderTarget() {}
};

// Ability states.
enum { RENDER_STOPPED = 0, RENDER_RUNNING = 1, RENDER_PAUSED = 2 };

// The ability part that times a render.
struct IRenderClock {
    virtual int GetState() = 0;         // RENDER_STOPPED, _RUNNING, _PAUSED
    virtual DWORD GetElapsed() = 0;     // running time in milliseconds
    virtual void UpdateFromSite() = 0;  // the current time base, before each tick's look
    virtual HRESULT Start() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Resume() = 0;
    virtual HRESULT Stop() = 0;
    // The start code starts or resumes, the pause code pauses.
    virtual HRESULT OnEvent(int code) = 0;
    virtual void SetCodes(int startCode, int pauseCode) = 0;
    // The two trigger codes (signed 32-bit each).
    virtual HRESULT Load(ITeskStream* stream) = 0;
    virtual HRESULT Save(ITeskStream* stream) = 0;

protected:
    ~IRenderClock() {}
};

// A clock of its own: started, paused and stopped by the calls above and
// advanced by Advance (tests, and renders before the play clock drives them).
class CRenderClock : public IRenderClock {
public:
    CRenderClock() : m_elapsed(0), m_startCode(1200), m_pauseCode(0), m_state(RENDER_STOPPED) {}
    virtual ~CRenderClock() {}
    int GetState() override { return m_state; }
    DWORD GetElapsed() override { return m_elapsed; }
    void UpdateFromSite() override {}
    HRESULT Start() override;
    HRESULT Pause() override;
    HRESULT Resume() override;
    HRESULT Stop() override;
    HRESULT OnEvent(int code) override;
    void SetCodes(int startCode, int pauseCode) override {
        m_startCode = startCode;
        m_pauseCode = pauseCode;
    }
    HRESULT Load(ITeskStream* stream) override;
    HRESULT Save(ITeskStream* stream) override;
    // Adds running time while running.
    void Advance(DWORD ms) {
        if (m_state == RENDER_RUNNING)
            m_elapsed += ms;
    }
    int GetStartCode() const { return m_startCode; }
    int GetPauseCode() const { return m_pauseCode; }

private:
    DWORD m_elapsed;
    int m_startCode, m_pauseCode;
    int m_state;
};

// Plug-in creation by class identifier (the object factory's
// CreateModuleInstance): clears *out; E_FAIL when no module has the class.
struct IModuleCreator {
    virtual HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** out) = 0;

protected:
    ~IModuleCreator() {}
};

// The creator that renders use; null (the start) makes every creation E_FAIL.
// Returns the previous one.
IModuleCreator* SetModuleCreator(IModuleCreator* creator);
IModuleCreator* GetModuleCreator();

// {C0BC2680-1049-11D4-9EEB-00104B04B807}
struct IEffectRender : public IUnknown {
    // Three entries, move, region, mask: the class identifier and the
    // plug-in's record, or 16 zero bytes.
    STDMETHOD(Load)(ITeskStream* stream) = 0;         // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;         // 4
    STDMETHOD(CopyFrom)(IEffectRender* other) = 0;    // 5
    STDMETHOD(SetDuration)(DWORD ms) = 0;             // 6
    STDMETHOD(GetDuration)(DWORD* ms) = 0;            // 7
    STDMETHOD(SetEntering)(BOOL entering) = 0;        // 8
    STDMETHOD(GetEntering)(BOOL* entering) = 0;       // 9
    STDMETHOD(GetProgress)(double* progress) = 0;     // 10
    STDMETHOD_(BOOL, IsIdle)() = 0;                   // 11
    STDMETHOD(SetRect)(const RECT* rect) = 0;         // 12
    STDMETHOD(GetRect)(RECT* rect) = 0;               // 13
    STDMETHOD(SetTarget)(IRenderTarget* target) = 0;  // 14
    // The setters take their own reference; the getters add one.
    STDMETHOD(SetMove)(ITransitionMove* move) = 0;         // 15
    STDMETHOD(GetMove)(ITransitionMove** move) = 0;        // 16
    STDMETHOD(SetRegion)(ITransitionRegion* region) = 0;   // 17
    STDMETHOD(GetRegion)(ITransitionRegion** region) = 0;  // 18
    STDMETHOD(SetMask)(ITransitionMask* mask) = 0;         // 19
    STDMETHOD(GetMask)(ITransitionMask** mask) = 0;        // 20
    STDMETHOD(Reserved21)() = 0;                           // 21
    STDMETHOD(Reserved22)() = 0;                           // 22
};
DECLARE_IID(IEffectRender, 0xC0BC2680, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// {C0BC2661-1049-11D4-9EEB-00104B04B807}
struct IDecorRender : public IUnknown {
    // Time limit, the clock's two trigger codes, one plug-in entry.
    STDMETHOD(Load)(ITeskStream* stream) = 0;           // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;           // 4
    STDMETHOD(CopyFrom)(IDecorRender* other) = 0;       // 5
    STDMETHOD(SetTimeLimit)(int ms) = 0;                // 6 -1: none
    STDMETHOD(GetTimeLimit)(int* ms) = 0;               // 7
    STDMETHOD(SetTarget)(IRenderTarget* target) = 0;    // 8
    STDMETHOD(SetDecor)(ITransitionDecor* decor) = 0;   // 9
    STDMETHOD(GetDecor)(ITransitionDecor** decor) = 0;  // 10
    STDMETHOD_(BOOL, IsIdle)() = 0;                     // 11
    STDMETHOD(Render)(IPixelBuffer* target) = 0;        // 12
    STDMETHOD(Reserved13)() = 0;                        // 13
    STDMETHOD(Reserved14)() = 0;                        // 14
};
DECLARE_IID(IDecorRender, 0xC0BC2661, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// What the play clock and the object call on both renders.
// {5993DF6B-B479-47DA-A602-3E9ED0C49495}
struct IRenderClockClient : public IUnknown {
    // Every tick of the play clock while started.
    STDMETHOD(OnTick)() = 0;  // 3
    // Object events (start and pause codes, leave 1202, exit 1203).
    STDMETHOD(OnEvent)(int id, WPARAM wParam, LPARAM lParam) = 0;  // 4
    // Replaces the render's clock (null: back to its own); not referenced.
    STDMETHOD(SetClock)(IRenderClock* clock) = 0;  // 5
    STDMETHOD_(IRenderClock*, GetClock)() = 0;     // 6
    // Stops the clock, with the render's last redraw or invalidation.
    STDMETHOD(Stop)() = 0;  // 7
};
DECLARE_IID(IRenderClockClient, 0x5993DF6B, 0xB479, 0x47DA, 0xA6, 0x02, 0x3E, 0x9E, 0xD0, 0xC4,
            0x94, 0x95);

// Decoration events.
enum { RENDER_EVENT_HOLD = 1201, RENDER_EVENT_LEAVE = 1202, RENDER_EVENT_EXIT = 1203 };

// New renders for an object (target may be null): S_OK and the interface
// with one reference, else nothing in *out.
HRESULT CreateEffectRender(IEffectRender** out, IRenderTarget* target);
HRESULT CreateDecorRender(IDecorRender** out, IRenderTarget* target);
