#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "TestFiles.h"
#include "aSequencer.h"

namespace {

DWORD g_now = 0;
DWORD FakeNow() {
    return g_now;
}

// Records the notices it gets, in order, into a shared log.
class Target : public IObjectEvent {
public:
    Target(std::vector<std::string>* log, const char* name) : m_log(log), m_name(name) {}
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(FireEvent)(DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR) override { return S_OK; }
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) override {
        m_log->push_back(m_name + ":" + std::to_string(code) + ":" + std::to_string(arg));
        return S_OK;
    }
    STDMETHOD(GetSite)(IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(AddListener)(IUnknown*) override { return E_NOTIMPL; }
    STDMETHOD(RemoveListener)(IUnknown*) override { return E_NOTIMPL; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

private:
    std::vector<std::string>* m_log;
    std::string m_name;
};

class Client : public IClockClient {
public:
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return (ULONG)++refs; }
    STDMETHOD_(ULONG, Release)() override { return (ULONG)--refs; }
    STDMETHOD(OnPause)() override {
        ++pauses;
        return S_OK;
    }
    STDMETHOD(OnResume)() override {
        ++resumes;
        return S_OK;
    }
    STDMETHOD(OnTick)() override {
        ++ticks;
        return S_OK;
    }
    int refs = 0, pauses = 0, resumes = 0, ticks = 0;
};

class PauseSite : public TestPlayerSite {
public:
    STDMETHOD(SetPlayState)(DWORD s) override {
        state = s;
        return S_OK;
    }
    STDMETHOD_(BOOL, IsPaused)() override { return state == 1; }
    DWORD state = 0;
};

class Owner : public ISequencerOwner {
public:
    void GivePageClock(DWORD ms) override { clocks.push_back(ms); }
    void NotifyCanvases(DWORD code) override { notices.push_back(code); }
    void ResetCanvasObjects() override { ++resets; }
    std::vector<DWORD> clocks, notices;
    int resets = 0;
};

class SequencerTest : public ::testing::Test {
protected:
    SequencerTest() : seq(&site, &owner) {
        g_now = 1000;
        seq.SetTimeSource(FakeNow);
        seq.Reset();
    }
    void Advance(DWORD ms) {
        g_now += ms;
        seq.Tick();
    }
    PauseSite site;
    Owner owner;
    CSequencer seq;
    std::vector<std::string> log;
};

// Due entries run soonest first; equal due times in the order scheduled;
// an entry due at 0xFFFFFFFF never runs.
TEST_F(SequencerTest, DueOrderTable) {
    Target a(&log, "a"), b(&log, "b"), c(&log, "c"), d(&log, "d"), never(&log, "n");
    struct {
        Target* t;
        DWORD time;
        DWORD kind;
    } rows[] = {{&a, 300, 1}, {&b, 100, 2}, {&c, 300, 3}, {&d, 100, 4}, {&never, 0xFFFFFFFF, 5}};
    for (auto& r : rows) {
        SequencerEntry e = {r.t, 0, r.kind, r.kind * 10};
        ASSERT_EQ(seq.ScheduleFor(r.time, &e), S_OK);
    }
    Advance(99);
    EXPECT_TRUE(log.empty());
    Advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"b:2:20", "d:4:40"}));
    seq.SetClock(0xFFFFFFFE);
    EXPECT_EQ(log, (std::vector<std::string>{"b:2:20", "d:4:40", "a:1:10", "c:3:30"}));
    EXPECT_EQ(seq.PendingCount(), 1u);
    EXPECT_EQ(owner.notices, (std::vector<DWORD>{0x10000}));
}

// Schedule replaces the target's entry of the same kind bits 16 to 23;
// ScheduleFor keeps both; Unschedule answers per its argument.
TEST_F(SequencerTest, ReplacementRule) {
    Target a(&log, "a");
    SequencerEntry e1 = {&a, 0, 0x20001, 1}, e2 = {&a, 0, 0x20002, 2}, e3 = {&a, 0, 0x30000, 3};
    seq.Schedule(50, &e1);
    seq.Schedule(60, &e2);  // replaces e1 (same bits 16 to 23)
    seq.Schedule(70, &e3);
    EXPECT_EQ(seq.PendingCount(), 2u);
    seq.ScheduleFor(80, &e2);
    EXPECT_EQ(seq.PendingCount(), 3u);
    EXPECT_EQ(seq.Unschedule(nullptr), E_POINTER);
    EXPECT_EQ(seq.Unschedule(&a), S_OK);
    Target other(&log, "o");
    EXPECT_EQ(seq.Unschedule(&other), E_UNEXPECTED);
    seq.SetClock(1000);
    EXPECT_EQ(log.size(), 2u);
}

// Clients: ticked, paused and resumed; removing one not in the list answers
// 1 and releases nothing; while paused the clock stands still and goes on
// from there.
TEST_F(SequencerTest, ClientsAndPause) {
    Client x, y;
    IUnknown* out = nullptr;
    seq.AddClockClient(&x, &out);
    EXPECT_EQ(out, &x);
    seq.AddClockClient(&y, &out);
    EXPECT_EQ(seq.RemoveClockClient(&x), 0);
    EXPECT_EQ(x.refs, 0);
    Client stranger;
    EXPECT_EQ(seq.RemoveClockClient(&stranger), 1);
    EXPECT_EQ(stranger.refs, 0);
    seq.AddClockClient(&x, nullptr);  // takes the hole again
    Advance(40);
    EXPECT_EQ(x.ticks, 1);
    EXPECT_EQ(y.ticks, 1);
    EXPECT_EQ(seq.GetClock(), 40u);
    seq.Pause();
    EXPECT_EQ(x.pauses, 1);
    Advance(5000);
    EXPECT_EQ(seq.GetClock(), 40u);
    EXPECT_EQ(y.ticks, 1);
    g_now += 1234;
    seq.Resume();
    EXPECT_EQ(y.resumes, 1);
    Advance(10);
    EXPECT_EQ(seq.GetClock(), 50u);
    seq.Clear();
    EXPECT_EQ(x.refs, 0);
    EXPECT_EQ(y.refs, 0);
}

// A transition runs on its own lists; switching back restarts the clock.
TEST_F(SequencerTest, TransitionModeSeparatesLists) {
    Target page(&log, "p"), move(&log, "t");
    SequencerEntry pe = {&page, 0, 1, 0}, te = {&move, 0, 2, 0};
    seq.ScheduleFor(10, &pe);
    seq.SetTransitionMode(true);
    seq.ScheduleFor(10, &te);
    Advance(20);
    EXPECT_EQ(log, (std::vector<std::string>{"t:2:0"}));
    seq.SetTransitionMode(false);
    EXPECT_EQ(seq.GetClock(), 0u);
    Advance(10);
    EXPECT_EQ(log, (std::vector<std::string>{"t:2:0", "p:1:0"}));
}

// With the UI thread busy for 5 s (no acknowledgement), the thread posts one
// tick, then one more after each 2000 ms wait: at most 3.
TEST(TickThread, BusyUIThreadGetsAtMostThreeTicks) {
    HWND w =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    {
        TickThread t;
        t.Start();
        t.SetTicking(w, TRUE, 30);
        Sleep(5000);
        int ticks = 0;
        MSG m;
        while (PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE)) ++ticks;
        EXPECT_GE(ticks, 2);
        EXPECT_LE(ticks, 3);
        // Acknowledged at once, ticks come about every 20 ms.
        t.Acknowledge();
        DWORD start = GetTickCount();
        ticks = 0;
        while (GetTickCount() - start < 500) {
            if (PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                ++ticks;
                t.Acknowledge();
            }
            Sleep(1);
        }
        EXPECT_GE(ticks, 8);
        t.SetTicking(nullptr, FALSE, 30);
    }
    DestroyWindow(w);
}

// Stopping right after a change of ticking must not lose the stop: the
// thread once reset its control event after reading the state.
TEST(TickThread, StopRightAfterDisableNeverHangs) {
    HWND w =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    struct Rounds {
        static DWORD WINAPI Run(void* window) {
            for (int i = 0; i < 400; ++i) {
                TickThread t;
                t.Start();
                t.SetTicking(static_cast<HWND>(window), TRUE, 30);
                if (i & 1)
                    Sleep(0);
                t.SetTicking(nullptr, FALSE, 30);
            }
            return 0;
        }
    };
    HANDLE runner = CreateThread(nullptr, 0, Rounds::Run, w, 0, nullptr);
    ASSERT_NE(runner, nullptr);
    EXPECT_EQ(WaitForSingleObject(runner, 30000), WAIT_OBJECT_0);
    CloseHandle(runner);
    MSG m;
    while (PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    DestroyWindow(w);
}

TEST(TickThread, SecondStartLogged) {
    LogCapture log;
    TickThread t;
    t.Start();
    t.Start();
    EXPECT_TRUE(Logged(log.Text(), "Thread is not initialized"));
}

}  // namespace
