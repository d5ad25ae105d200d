// Works whose lists never end, played on a real view window: the window
// gets back to answering its messages within the watchdog's time, however
// the lists nest their calls and however many timers loop; a key or timer
// list that the watchdog stopped does not start again on that page.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PlayerFixture.h"
#include "RoutineTableWriter.h"
#include "aCanvas.h"
#include "aEventProc.h"
#include "aObjWrap.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "aScriptHost.h"
#include "bVarMgr.h"

namespace {

// The watchdog's clock here runs 50 times as fast as the real one: its 10 s
// pass in 200 ms.
const DWORD kSpeed = 50;
DWORD WINAPI FastClock() {
    return GetTickCount() * kSpeed;
}

// What a message may take beyond the watchdog's time, on its clock.
const DWORD kMargin = CEventProcessor::WATCHDOG_MS;

const char kTimeout[] = "ExecuteActionList: timeout: 10000 ms, potential deadlock?";
const char kKept[] = "stopped by the watchdog -- not started again on this page";

size_t Count(const std::string& text, const char* line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

class WatchdogTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        ASSERT_TRUE(LoadTypeLib());
        work.prjInfo.options = 0;  // no hold timer
        work.prjInfo.flags |= 0x20;
        work.pages = {{"A", "", "Bkg", "", "", "B"}, {"B", "", "Bkg", "", "", ""}};
        work.processes = {
            {"spin", {}, {{4, nullptr, "1"}, {8, "spins", "spins + 1"}, {5, nullptr, nullptr}}}};
        PutGreenBackground(work);
    }
    void Play() {
        ASSERT_EQ(OpenWork("loops.mrt"), S_OK);
        ASSERT_TRUE(ShowView("loops"));
        doc->GetScript()->GetProcessor()->SetTimeSource(FastClock);
        doc->StartPresentation();
        DrainMessages();
    }
    // How long the message kept the thread, on the watchdog's clock.
    DWORD Took(UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD start = FastClock();
        SendMessageA(view->m_hWnd, message, wParam, lParam);
        return FastClock() - start;
    }
    LONG Global(const char* name) {
        VariableManager* vars = doc->GetProject()->GetVariableManager();
        int id = vars->Find(name);
        const VARIANT* v = id >= 0 ? vars->PeekValue(id) : nullptr;
        return v && V_VT(v) == VT_I4 ? V_I4(v) : -12345;
    }
};

// A key list that loops calling a looping process: the key's message ends
// within the watchdog's time; the same key does nothing more on that page,
// and runs its list again on the next.
TEST_F(WatchdogTest, KeyListLoopingOnAProcess) {
    work.prjInfo.tail = AppKeyPressRecord('x', {{8, "hits", "hits + 1"},
                                                {4, nullptr, "1"},
                                                {404, "spin", nullptr},
                                                {5, nullptr, nullptr}}) +
                        IntVariableListBytes({{"hits", 0}, {"spins", 0}});
    Play();
    LogCapture log;
    EXPECT_LE(Took(WM_CHAR, 'x', 0), CEventProcessor::WATCHDOG_MS + kMargin);
    EXPECT_EQ(Global("hits"), 1);
    EXPECT_GT(Global("spins"), 0);
    EXPECT_LT(Took(WM_CHAR, 'x', 0), kMargin);
    EXPECT_EQ(Global("hits"), 1);
    doc->OnNavigate(32813);  // the next page
    DrainMessages();
    EXPECT_LE(Took(WM_CHAR, 'x', 0), CEventProcessor::WATCHDOG_MS + kMargin);
    EXPECT_EQ(Global("hits"), 2);
    std::string text = log.Text();
    EXPECT_EQ(Count(text, kTimeout), 2u) << text;
    EXPECT_EQ(Count(text, kKept), 2u) << text;
}

// Twenty objects whose timers loop for ever: no tick keeps the window
// longer than the watchdog's time, each list is stopped once, and timers
// started again on the page stay quiet.
TEST_F(WatchdogTest, TwentyLoopingTimers) {
    const int kTimers = 20;
    CanvasSpec a;
    for (int i = 0; i < kTimers; ++i) {
        CanvasObjectSpec o = PlacedSolid("t" + std::to_string(i), 20 + 30 * i, 100, 20, 20);
        ObjectPrefix p;
        p.x = 20 + 30 * i;
        p.y = 100;
        p.width = p.height = 20;
        std::string record = ObjectTimerRecord(
            50, {{8, "runs", "runs + 1"}, {4, nullptr, "1"}, {5, nullptr, nullptr}});
        p.eventProc.assign(record.begin(), record.end());
        std::vector<uint8_t> bytes = WriteObjectPrefix(p);
        o.record.assign(bytes.begin(), bytes.end());
        a.objects.push_back(o);
    }
    PutCanvas(work, "A", a);
    work.prjInfo.tail = std::string(4, '\0') + IntVariableListBytes({{"runs", 0}});
    Play();
    LogCapture log;
    // Ticks until every timer has run, then 20 more; bounded by wall time,
    // not a tick count, so a loaded machine still lets every timer run.
    DWORD longest = 0;
    int after = -1;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 60000 && after != 0;) {
        Sleep(5);
        DWORD took = Took(WM_TIMER, 0, 0);
        longest = took > longest ? took : longest;
        if (after > 0)
            --after;
        else if (after < 0 && Global("runs") == kTimers)
            after = 20;
    }
    EXPECT_LE(longest, CEventProcessor::WATCHDOG_MS + kMargin);
    EXPECT_EQ(Global("runs"), kTimers);
    // The objects enter again and start their timers: none of them runs.
    for (int i = 0; i < kTimers; ++i) {
        CObjWrapper* o = doc->GetCanvasSet()->page->GetList()->FindByName(
            ("t" + std::to_string(i)).c_str(), nullptr);
        ASSERT_NE(o, nullptr);
        o->m_base->Enter();
    }
    longest = 0;
    for (int tick = 0; tick < 30; ++tick) {
        Sleep(5);
        DWORD took = Took(WM_TIMER, 0, 0);
        longest = took > longest ? took : longest;
    }
    EXPECT_LT(longest, kMargin);
    EXPECT_EQ(Global("runs"), kTimers);
    std::string text = log.Text();
    EXPECT_EQ(Count(text, kTimeout), (size_t)kTimers);
    EXPECT_EQ(Count(text, kKept), (size_t)kTimers);
}

}  // namespace
