// Ability objects: StaticAbility, the base of abilities an object's record
// names (an event-procedure holder plus the common ability interface), and
// CAbility, the base of clock-driven abilities, which the page sequencer
// ticks as its clock client (IAbility slots 3, 4, 5: pause, resume, tick).
#pragma once

#include "aObjItf.h"
#include "aevtbase.h"

class StaticAbility : public EventProcHolder, public IAbilityCreate {
public:
    StaticAbility();
    virtual ~StaticAbility();

    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(Attach)(IUnknown* object) override;
    STDMETHOD(GetTwoValues)(LONG* a, LONG* b) override;
    STDMETHOD(GetObject)(IUnknown** out) override;
    STDMETHOD(LoadOwn)(ITeskStream* stream) override;
    STDMETHOD(Reserved9)() override;
    STDMETHOD(SaveOwn)(ITeskStream* stream) override;
    STDMETHOD(GetEventProc)(IDispatch** out) override;
    STDMETHOD(CopyFrom)(IAbilityCreate* source, DWORD flags) override;
    STDMETHOD_(WORD, GetFlags)() override { return m_flags; }
    STDMETHOD(SetFlags)(WORD flags) override;

protected:
    IUnknown* m_object;  // attached object (held)
    WORD m_flags;        // bit 0 enabled
};

enum AbilityState { ABILITY_STOPPED = 0, ABILITY_RUNNING = 1, ABILITY_PAUSED = 2 };

class CAbility : public IAbility {
public:
    CAbility();
    virtual ~CAbility();

    STDMETHOD(Reserved3)() override;  // clock client: pause
    STDMETHOD(Reserved4)() override;  // clock client: resume
    STDMETHOD(OnClock)() override;    // clock client: tick
    STDMETHOD(Start)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Resume)() override;
    STDMETHOD(Stop)() override;
    STDMETHOD(OnEvent)(LONG code) override;
    STDMETHOD(SetStartCode)(LONG code) override;
    STDMETHOD_(LONG, GetStartCode)() override { return m_startCode; }
    STDMETHOD(SetPauseCode)(LONG code) override;
    STDMETHOD_(LONG, GetPauseCode)() override { return m_pauseCode; }
    STDMETHOD_(int, GetState)() override { return m_state; }
    STDMETHOD(GetSite)(IPlayerSite** out) override;
    STDMETHOD(SetSite)(IPlayerSite* site) override;

    // The two trigger codes in an object's record.
    HRESULT LoadCodes(ITeskStream* stream);
    HRESULT SaveCodes(ITeskStream* stream);

    DWORD TotalTime() const { return m_total; }
    DWORD LastStep() const { return m_lastStep; }

protected:
    bool ReadClock(DWORD* now);
    HRESULT Register();
    void Unregister();

    DWORD m_total;
    DWORD m_lastStep;
    DWORD m_lastReading;
    LONG m_startCode;
    LONG m_pauseCode;
    int m_state;
    IUnknown* m_cookie;
    IPlayerSite* m_site;
};
