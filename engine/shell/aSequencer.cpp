#include "aSequencer.h"

#include <mmsystem.h>

#include "aEventSet.h"
#include "bTraceLog.h"

namespace {

DWORD SystemTime() {
    return timeGetTime();
}

IClockClient* AsClient(IUnknown* u) {
    // Clients are called through the IUnknown they were added with.
    return reinterpret_cast<IClockClient*>(u);
}

}  // namespace

CSequencer::CSequencer(IPlayerSite* site, ISequencerOwner* owner)
    : m_site(site),
      m_owner(owner),
      m_active(&m_normal),
      m_activeClients(&m_normalClients),
      m_transition(false),
      m_lastTick(0),
      m_clock(0),
      m_now(SystemTime) {
    m_lastTick = m_now();
}

CSequencer::~CSequencer() {
    ReleaseClients(m_normalClients);
    ReleaseClients(m_transitionClients);
    EmptySchedule(m_normal);
    EmptySchedule(m_transitionList);
}

HRESULT CSequencer::Insert(DWORD time, const SequencerEntry* entry) {
    if (!entry)
        return E_POINTER;
    ScheduleList& list = *m_active;
    // Descending due times, the soonest last: a new entry goes after every
    // later one and before those due at the same time, so equal times run in
    // the order scheduled.
    size_t pos = 0;
    while (pos < list.size() && list[pos].due > time) ++pos;
    try {
        list.insert(list.begin() + (ptrdiff_t)pos, Entry{*entry, time});
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CSequencer::Schedule(DWORD time, const SequencerEntry* entry) {
    if (!entry)
        return E_POINTER;
    ScheduleList& list = *m_active;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].e.pTarget == entry->pTarget &&
            ((list[i].e.dwKind ^ entry->dwKind) & 0x00FF0000) == 0) {
            if (!list[i].e.pTarget)
                delete reinterpret_cast<CActionRun*>(list[i].e.dwParam);
            list.erase(list.begin() + (ptrdiff_t)i);
            break;
        }
    return Insert(time, entry);
}

STDMETHODIMP CSequencer::ScheduleFor(DWORD time, const SequencerEntry* entry) {
    return Insert(time, entry);
}

STDMETHODIMP CSequencer::Unschedule(IObjectEvent* target) {
    if (!target)
        return E_POINTER;
    ScheduleList& list = *m_active;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].e.pTarget == target) {
            list.erase(list.begin() + (ptrdiff_t)i);
            return S_OK;
        }
    return E_UNEXPECTED;
}

STDMETHODIMP CSequencer::AddClockClient(IUnknown* client, IUnknown** out) {
    if (out)
        *out = nullptr;
    if (!client)
        return S_OK;
    client->AddRef();
    ClientList& list = *m_activeClients;
    for (IUnknown*& place : list)
        if (!place) {
            place = client;
            if (out)
                *out = client;
            return S_OK;
        }
    list.push_back(client);
    if (out)
        *out = client;
    return S_OK;
}

STDMETHODIMP CSequencer::RemoveClockClient(IUnknown* client) {
    for (ClientList* list : {m_activeClients, &m_normalClients, &m_transitionClients})
        for (IUnknown*& place : *list)
            if (place && place == client) {
                place = nullptr;
                client->Release();
                return 0;
            }
    return 1;
}

STDMETHODIMP CSequencer::AddDeferredCall(IUnknown* object, DWORD_PTR argument) {
    m_deferred.emplace_back(object, argument);
    return S_OK;
}

STDMETHODIMP_(void) CSequencer::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

void CSequencer::EmptySchedule(ScheduleList& list) {
    ScheduleList old;
    old.swap(list);
    for (Entry& e : old)
        if (!e.e.pTarget)
            delete reinterpret_cast<CActionRun*>(e.e.dwParam);
}

void CSequencer::ReleaseClients(ClientList& list) {
    ClientList old;
    old.swap(list);
    for (IUnknown* c : old)
        if (c)
            c->Release();
}

void CSequencer::CallClients(int op) {
    // A client may remove itself (or others) while being called: walk by
    // index and skip holes.
    ClientList& list = *m_activeClients;
    for (size_t i = 0; i < list.size(); ++i) {
        IUnknown* c = list[i];
        if (!c)
            continue;
        if (op == 3)
            AsClient(c)->OnPause();
        else if (op == 4)
            AsClient(c)->OnResume();
        else
            AsClient(c)->OnTick();
    }
}

void CSequencer::GiveClock() {
    if (m_owner)
        m_owner->GivePageClock(m_clock);
}

void CSequencer::RunDue() {
    ScheduleList& list = *m_active;
    void* p = nullptr;
    IActionQueue* queue = nullptr;
    if (m_site && SUCCEEDED(m_site->GetEventProcessor(&p)))
        queue = static_cast<IActionQueue*>(p);
    while (!list.empty()) {
        // Once the watchdog has ended this tick's work, what else is due
        // waits for the next tick: the window answers in between.
        if (queue && queue->DispatchStopped())
            break;
        Entry e = list.back();
        if (m_clock < e.due || e.due == 0xFFFFFFFF)
            break;
        list.pop_back();
        if (e.e.pTarget) {
            e.e.pTarget->Notify(e.e.dwKind, e.e.dwParam);
        } else {
            CActionRun* run = reinterpret_cast<CActionRun*>(e.e.dwParam);
            if (queue && run) {
                queue->QueueActionList(run);
                queue->RunPending();
            } else {
                delete run;
            }
        }
        // A notice may switch the active lists.
        if (&list != m_active)
            break;
    }
}

void CSequencer::Tick() {
    if (m_site && m_site->IsPaused())
        return;
    DWORD now = m_now();
    m_clock += now - m_lastTick;
    m_lastTick = now;
    GiveClock();
    RunDue();
    std::vector<std::pair<IUnknown*, DWORD_PTR>> calls;
    calls.swap(m_deferred);
    for (auto& c : calls)
        if (c.first)
            static_cast<IDeferredTarget*>(c.first)->RunDeferred(c.second);
    CallClients(5);
}

void CSequencer::SetClock(DWORD ms) {
    m_clock = ms;
    GiveClock();
    if (m_owner)
        m_owner->NotifyCanvases(0x10000);
    RunDue();
    CallClients(5);
}

void CSequencer::ResetClock() {
    m_clock = 0;
    GiveClock();
    if (m_owner)
        m_owner->ResetCanvasObjects();
}

void CSequencer::Rewind() {
    if (m_owner)
        m_owner->ResetCanvasObjects();
    SetClock(0);
}

void CSequencer::Pause() {
    if (m_site)
        m_site->SetPlayState(1);
    CallClients(3);
}

void CSequencer::Resume() {
    if (m_site)
        m_site->SetPlayState(0);
    // The paused time does not count.
    m_lastTick = m_now();
    CallClients(4);
}

void CSequencer::Reset() {
    TRACE_POINT();
    EmptySchedule(*m_active);
    ReleaseClients(*m_activeClients);
    m_lastTick = m_now();
    m_clock = 0;
    if (m_site)
        m_site->SetPlayState(0);
}

void CSequencer::Clear() {
    TRACE_POINT();
    ReleaseClients(m_normalClients);
    ReleaseClients(m_transitionClients);
    EmptySchedule(m_normal);
    EmptySchedule(m_transitionList);
    m_deferred.clear();
}

void CSequencer::SetTransitionMode(bool on) {
    if (on) {
        m_transition = true;
        m_active = &m_transitionList;
        m_activeClients = &m_transitionClients;
        ReleaseClients(m_transitionClients);
        EmptySchedule(m_transitionList);
        m_deferred.clear();
    } else {
        m_transition = false;
        m_active = &m_normal;
        m_activeClients = &m_normalClients;
        m_lastTick = m_now();
        m_clock = 0;
        GiveClock();
    }
}

// ---- TickThread ----

TickThread::TickThread()
    : m_rate(0),
      m_csReady(false),
      m_stop(FALSE),
      m_enable(FALSE),
      m_window(nullptr),
      m_interval(30000),
      m_thread(nullptr),
      m_control(nullptr),
      m_ack(nullptr),
      m_owner(nullptr) {}

TickThread::~TickThread() {
    if (m_thread) {
        EnterCriticalSection(&m_cs);
        m_stop = TRUE;
        LeaveCriticalSection(&m_cs);
        SetEvent(m_control);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_control)
        CloseHandle(m_control);
    if (m_ack)
        CloseHandle(m_ack);
    if (m_csReady)
        DeleteCriticalSection(&m_cs);
}

void TickThread::Start() {
    if (m_control) {
        LOG_MSG("Thread is not initialized");
        return;
    }
    InitializeCriticalSection(&m_cs);
    m_csReady = true;
    m_control = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_ack = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    m_thread = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!m_thread) {
        LOG_WIN32_ERROR(GetLastError(), "TickThread: CreateThread failed");
        return;
    }
    SetThreadPriority(m_thread, THREAD_PRIORITY_IDLE);
    ResumeThread(m_thread);
}

void TickThread::SetTicking(HWND window, BOOL enable, DWORD interval) {
    if (!m_csReady)
        return;
    EnterCriticalSection(&m_cs);
    m_window = window;
    m_enable = enable;
    m_interval = interval;
    LeaveCriticalSection(&m_cs);
    if (m_thread)
        SetThreadPriority(m_thread, THREAD_PRIORITY_IDLE);
    SetEvent(m_control);
}

void TickThread::Acknowledge() {
    if (m_ack)
        SetEvent(m_ack);
}

DWORD TickThread::MeasuredRate() {
    if (!m_csReady)
        return 0;
    EnterCriticalSection(&m_cs);
    DWORD r = m_rate;
    LeaveCriticalSection(&m_cs);
    return r;
}

DWORD WINAPI TickThread::ThreadProc(void* self) {
    return static_cast<TickThread*>(self)->Run();
}

DWORD TickThread::Run() {
    DWORD timeout = 30000;
    BOOL enabled = FALSE;
    HWND window = nullptr;
    DWORD count = 0;
    DWORD windowStart = GetTickCount();
    HANDLE both[2] = {m_control, m_ack};
    for (;;) {
        DWORD w;
        if (!enabled) {
            w = WaitForSingleObject(m_control, timeout);
        } else {
            if (window) {
                DWORD now = GetTickCount();
                if (now - windowStart <= 1000) {
                    ++count;
                } else {
                    EnterCriticalSection(&m_cs);
                    m_rate = (DWORD)((ULONGLONG)count * 1000 / (now - windowStart) * 100);
                    LeaveCriticalSection(&m_cs);
                    count = 1;
                    windowStart = now;
                }
                PostMessageA(window, WM_TIMER, 0, 0);
            }
            w = WaitForSingleObject(m_control, 20);
            if (w == WAIT_TIMEOUT)
                w = WaitForMultipleObjects(2, both, FALSE, 2000);
        }
        if (w == WAIT_OBJECT_0) {
            // Reset before reading, so a change made after the read sets
            // the event again instead of being lost (a stop could hang).
            ResetEvent(m_control);
            EnterCriticalSection(&m_cs);
            BOOL stop = m_stop;
            enabled = m_enable;
            if (enabled) {
                window = m_window;
                timeout = m_interval;
            } else {
                window = nullptr;
            }
            LeaveCriticalSection(&m_cs);
            if (stop)
                return 0;
        } else if (w == WAIT_OBJECT_0 + 1) {
            ResetEvent(m_ack);
        }
    }
}
