// The play clock of the shown page: timed entries sorted by due time, clock
// clients ticked with the page, calls deferred to the end of a tick. The
// view's WM_TIMER drives it; a page transition switches it to a second pair
// of lists.
#pragma once

#include <vector>

#include "aObjItf.h"

// What the sequencer needs of its document: the page clock handed on to the
// document and the canvas set, and the canvas set's notices.
class ISequencerOwner {
public:
    // Given to the document (site slot 17) and the background, page and
    // foreground canvases in that order.
    virtual void GivePageClock(DWORD ms) = 0;
    // The tick notice (0x10000) to the background, page and foreground.
    virtual void NotifyCanvases(DWORD code) = 0;
    // Stops and resets the canvas set's active objects.
    virtual void ResetCanvasObjects() = 0;

protected:
    ~ISequencerOwner() {}
};

// The object of a deferred call: its operation 6 takes the argument.
struct IDeferredTarget : public IUnknown {
    STDMETHOD(Reserved3)() = 0;
    STDMETHOD(Reserved4)() = 0;
    STDMETHOD(Reserved5)() = 0;
    STDMETHOD(RunDeferred)(DWORD_PTR argument) = 0;  // 6
};

class CSequencer : public ISequencer {
public:
    CSequencer(IPlayerSite* site, ISequencerOwner* owner);
    virtual ~CSequencer();
    CSequencer(const CSequencer&) = delete;
    CSequencer& operator=(const CSequencer&) = delete;

    // Owned by the document.
    BEGIN_COM_MAP(CSequencer)
    COM_INTERFACE_ENTRY(ISequencer)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()
    STDMETHOD(Schedule)(DWORD time, const SequencerEntry* entry) override;
    STDMETHOD(ScheduleFor)(DWORD time, const SequencerEntry* entry) override;
    STDMETHOD(Unschedule)(IObjectEvent* target) override;
    STDMETHOD(AddClockClient)(IUnknown* client, IUnknown** out) override;
    STDMETHOD(RemoveClockClient)(IUnknown* client) override;
    STDMETHOD(AddDeferredCall)(IUnknown* object, DWORD_PTR argument) override;
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    void Tick();
    void Pause();
    void Resume();
    void Reset();
    void Rewind();
    void SetClock(DWORD ms);
    void ResetClock();
    void Clear();
    void SetTransitionMode(bool on);
    void RunDue();

    DWORD GetClock() const { return m_clock; }
    bool InTransition() const { return m_transition; }
    size_t PendingCount() const { return m_active->size(); }

    // Milliseconds of the play clock (timeGetTime); tests give their own.
    typedef DWORD (*TimeSource)();
    void SetTimeSource(TimeSource source) { m_now = source; }

private:
    struct Entry {
        SequencerEntry e;
        DWORD due;
    };
    typedef std::vector<Entry> ScheduleList;
    typedef std::vector<IUnknown*> ClientList;  // holes are null

    HRESULT Insert(DWORD time, const SequencerEntry* entry);
    void EmptySchedule(ScheduleList& list);
    void ReleaseClients(ClientList& list);
    void CallClients(int op);
    void GiveClock();

    IPlayerSite* m_site;       // not counted
    ISequencerOwner* m_owner;  // not owned
    ScheduleList m_normal, m_transitionList;
    ScheduleList* m_active;
    ClientList m_normalClients, m_transitionClients;
    ClientList* m_activeClients;
    std::vector<std::pair<IUnknown*, DWORD_PTR>> m_deferred;
    bool m_transition;
    DWORD m_lastTick;
    DWORD m_clock;
    TimeSource m_now;
};

// The idle-priority thread that posts WM_TIMER to the view, at most one tick
// outstanding: after a tick it waits 20 ms, then for the UI thread's idle
// acknowledgement (or 2000 ms).
class TickThread {
public:
    TickThread();
    ~TickThread();
    TickThread(const TickThread&) = delete;
    TickThread& operator=(const TickThread&) = delete;

    void SetOwner(IUnknown* owner) { m_owner = owner; }
    void Start();
    void SetTicking(HWND window, BOOL enable, DWORD interval);
    void Acknowledge();
    // Ticks per second times 100.
    DWORD MeasuredRate();

private:
    static DWORD WINAPI ThreadProc(void* self);
    DWORD Run();

    DWORD m_rate;
    CRITICAL_SECTION m_cs;
    bool m_csReady;
    BOOL m_stop, m_enable;
    HWND m_window;
    DWORD m_interval;
    HANDLE m_thread;
    HANDLE m_control, m_ack;
    IUnknown* m_owner;  // the site, not counted
};
