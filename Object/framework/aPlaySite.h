// The player's services as objects see them: the play site (IPlayerSite),
// the per-canvas object site (IObjectSite), the page sequencer with its clock
// clients, and the event procedure made for each object. Declared here, below
// the engine that implements them.
#pragma once

#include "bComBase.h"
#include "bPlayerSite.h"

struct ITeskStream;
struct IObjectEvent;
struct IObjectCreator;
struct IPixelBuffer;

#define TESK_IID(name, lo)                                                                         \
    DECLARE_IID(name, 0xC0BC2600 | (lo), 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, \
                0x07)

// An entry of the sequencer: delivered at its due time to target->Notify
// (code, argument). A null target runs the action list in `argument`.
struct SequencerEntry {
    IObjectEvent* pTarget;
    DWORD dwUnused;
    DWORD dwKind;  // the notify code; bits 16 to 23 take part in replacement
    DWORD_PTR dwParam;
};

// {C0BC2608-1049-11D4-9EEB-00104B04B807} The page sequencer.
struct ISequencer : public IUnknown {
    // Replaces the target's entry of the same kind bits 16 to 23, then inserts.
    STDMETHOD(Schedule)(DWORD time, const SequencerEntry* entry) = 0;      // 3
    STDMETHOD(ScheduleFor)(DWORD time, const SequencerEntry* entry) = 0;   // 4
    STDMETHOD(Unschedule)(IObjectEvent* target) = 0;                       // 5
    STDMETHOD(AddClockClient)(IUnknown* client, IUnknown** out) = 0;       // 6
    STDMETHOD(RemoveClockClient)(IUnknown* client) = 0;                    // 7
    STDMETHOD(AddDeferredCall)(IUnknown* object, DWORD_PTR argument) = 0;  // 8
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                          // 9
};
TESK_IID(ISequencer, 0x08);

// What the sequencer ticks: abilities and media (called through the
// IUnknown given to AddClockClient).
struct IClockClient : public IUnknown {
    STDMETHOD(OnPause)() = 0;   // 3
    STDMETHOD(OnResume)() = 0;  // 4
    STDMETHOD(OnTick)() = 0;    // 5
};

// IPlayerSite is the base library's (bPlayerSite.h): the database library calls it too.

// {C0BC2691-1049-11D4-9EEB-00104B04B807} The object site: the canvas's
// forwarder to the play site that every object of the canvas holds. Its
// getters lend, as the play site's do.
struct IObjectSite : public IUnknown {
    STDMETHOD(InvalidateRect)(const RECT* rect) = 0;      // 3: site 3
    STDMETHOD(InvalidateRgn)(HRGN region) = 0;            // 4: site 4
    STDMETHOD(GetMediaManager)(void** out) = 0;           // 5: site 5
    STDMETHOD(GetSequencer)(ISequencer** out) = 0;        // 6: site 8
    STDMETHOD(GetRootCreator)(IObjectCreator** out) = 0;  // 7: site 9
    STDMETHOD(GetDatabase)(void** out) = 0;               // 8: site 19
    STDMETHOD(Stub29)(DWORD_PTR a) = 0;                   // 9: site 29
    STDMETHOD(GetPageClock)(DWORD* out) = 0;              // 10
    // A time equal to the page clock moves one unit later.
    STDMETHOD(AdjustTime)(DWORD* time) = 0;                           // 11
    STDMETHOD(GetTypeIdByName)(const char* name, DWORD* typeId) = 0;  // 12
    STDMETHOD(GetCanvasObject)(IUnknown** out) = 0;                   // 13
    STDMETHOD(GetPlaySite)(IPlayerSite** out) = 0;                    // 14
};
TESK_IID(IObjectSite, 0x91);

// {C0BC2607-1049-11D4-9EEB-00104B04B807} The stored side of an event
// procedure: its record in the object stream and its timers.
struct IEventProcStore : public IUnknown {
    STDMETHOD(LoadRecord)(ITeskStream* stream) = 0;  // 3
    STDMETHOD(SaveRecord)(ITeskStream* stream) = 0;  // 4
    // Schedules the Timer (1000) entries for the event interface; S_FALSE
    // when the procedure has none.
    STDMETHOD(StartTimers)(IObjectEvent* target) = 0;  // 5
};
TESK_IID(IEventProcStore, 0x07);

// {C0BC2635-1049-11D4-9EEB-00104B04B807} The event-procedure table: the
// events of an interface become sub-events of one of the procedure's
// events (an ActiveX control's own events under OnControlEvent, 2001),
// selected by their DISPIDs.
struct IEventProcTable : public IUnknown {
    // E_FAIL when the procedure has no event `key`; 1 when some event of
    // the interface could not be described.
    STDMETHOD(InsertSubEvents)(DWORD key, ITypeInfo* info) = 0;  // 3
};
TESK_IID(IEventProcTable, 0x35);

// Makes the event procedure of an object, page or application (event types
// 0, 1, 2, 4) as an IDispatch that also answers IEventProcStore. The player's
// event sets set one on the root creator.
class IEventProcFactory {
public:
    virtual HRESULT CreateEventProc(int type, IUnknown* object, IDispatch** out) = 0;

protected:
    ~IEventProcFactory() {}
};

// {C87E1EA8-4A87-4C23-ABDA-B5AF9A36DA3E} What the play site answers besides
// its slots: the named object itself of the shown pages (page, then
// background, then foreground), for objects that link to another one.
struct IObjectFinder : public IUnknown {
    // *out is counted; E_FAIL (null) when no shown object has the name.
    STDMETHOD(FindObjectByName)(const char* name, IUnknown** out) = 0;  // 3
};
DECLARE_IID(IObjectFinder, 0xC87E1EA8, 0x4A87, 0x4C23, 0xAB, 0xDA, 0xB5, 0xAF, 0x9A, 0x36, 0xDA,
            0x3E);
