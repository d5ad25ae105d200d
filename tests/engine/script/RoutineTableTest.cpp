// Routine tables: stored tables with renaming and damaged counts, process
// calls that wait with their caller, functions called from expressions with
// converted arguments, return values and the nesting limit.
#include <gtest/gtest.h>

#include "RoutineTableWriter.h"
#include "ScriptRig.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aStorage.h"
#include "bStorage.h"

namespace {

class RoutineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.functionsLoaded);
        rig.Global("n", 0);
    }
    HRESULT Load(CRoutineTable& table, const std::vector<RoutineSpec>& specs) {
        CComPtr<ITeskStream> s = MemStreamOf(RoutineTableBytes(specs));
        return rig.routines.ReadTable(s, table, "FunctionTable");
    }
    std::string Eval(const char* text) {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(rig.expr.Evaluate(text, &v)))
            return "FAIL";
        std::string s = VariantText(v);
        VariantClear(&v);
        return s;
    }
    ScriptRig rig;
};

TEST_F(RoutineTest, ZeroCountLoadsEmptyWithoutReadingTheBody) {
    std::string bytes(32, '\0');
    bytes += "garbage that is never read";
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    EXPECT_EQ(S_OK, rig.routines.ReadTable(s, rig.routines.Processes(), "ProcessTable"));
    EXPECT_EQ(0, rig.routines.Processes().GetCount());
    CComPtr<ITeskStream> shortHeader = MemStreamOf(std::string(31, '\0'));
    EXPECT_EQ(TESK_E_STREAMHEADER,
              rig.routines.ReadTable(shortHeader, rig.routines.Processes(), "ProcessTable"));
}

TEST_F(RoutineTest, DuplicateNamesAreRenamed) {
    std::vector<RoutineSpec> specs = {{"calc", {}, {{9, "1", nullptr}}},
                                      {"calc", {}, {{9, "2", nullptr}}},
                                      {"calc", {}, {{9, "3", nullptr}}}};
    ASSERT_EQ(S_OK, Load(rig.routines.Functions(), specs));
    ASSERT_EQ(3, rig.routines.Functions().GetCount());
    EXPECT_EQ("calc_1", rig.routines.Functions().GetAt(1)->name);
    EXPECT_EQ("calc_1_1", rig.routines.Functions().GetAt(2)->name);
    EXPECT_EQ("I4:1", Eval("calc()"));
    EXPECT_EQ("I4:2", Eval("calc_1()"));
    EXPECT_EQ("I4:3", Eval("calc_1_1()"));
}

TEST_F(RoutineTest, RenamingFollowsTheNamesAlreadyTaken) {
    // Stored names mixing repeats with names that already end in "_1".
    const char* stored[] = {"calc", "calc_1",   "calc", "calc_1", "x_1", "x",
                            "x_1",  "calc_1_1", "",     "",       "_1"};
    const char* given[] = {"calc",  "calc_1",       "calc_1_1", "calc_1_1_1", "x_1", "x",
                           "x_1_1", "calc_1_1_1_1", "",         "_1",         "_1_1"};
    std::vector<RoutineSpec> specs;
    for (const char* name : stored) specs.push_back({name, {}, {{9, "1", nullptr}}});
    CRoutineTable table;
    ASSERT_EQ(S_OK, Load(table, specs));
    ASSERT_EQ(11, table.GetCount());
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(given[i], table.GetAt(i)->name) << i;
        EXPECT_EQ(table.GetAt(i), table.Find(given[i])) << i;
    }
    EXPECT_EQ(nullptr, table.Find("calc_1_1_1_1_1"));
    EXPECT_EQ(nullptr, table.Find("x_2"));

    // Thousands of routines of one name load at once; the last is found by
    // its full name.
    const int n = 3000;
    CRoutineTable same;
    ASSERT_EQ(S_OK, Load(same, std::vector<RoutineSpec>(n, {"calc", {}, {{9, "1", nullptr}}})));
    ASSERT_EQ(n, same.GetCount());
    std::string last = "calc";
    for (int i = 1; i < n; ++i) last += "_1";
    EXPECT_EQ(last, same.GetAt(n - 1)->name);
    EXPECT_EQ(same.GetAt(n - 1), same.Find(last.c_str()));
    same.Clear();
    EXPECT_EQ(nullptr, same.Find("calc"));
}

TEST_F(RoutineTest, DamagedTablesAreRefusedWithALogLine) {
    std::string good = RoutineTableBytes({{"f", {{VT_I4, "a"}}, {{9, "a", nullptr}}}});
    // Offsets in the body (after the 32-byte header): 0 unused, 4 parameter
    // count, 8 name length, 12 "f\0", 14 parameter type, 18 parameter name
    // length, 22 "a\0", 24 the list's item count, 28 kind, 32 first text
    // length.
    struct Cut {
        int at;
        DWORD value;
        const char* why;
    } cuts[] = {{20 - 32, 0x10000000, "entry count"}, {4, 0x10000000, "parameter count"},
                {8, 0x7FFFFFF0, "name length"},       {18, 5000, "parameter name length"},
                {24, 0x01000000, "item count"},       {32, 100000, "text length"}};
    for (const Cut& c : cuts) {
        std::string bytes = good;
        memcpy(&bytes[(size_t)(32 + c.at)], &c.value, 4);
        TempFolder dir;
        LogCapture log(dir.File("r.lg0"));
        CRoutineTable table;
        CComPtr<ITeskStream> s = MemStreamOf(bytes);
        EXPECT_EQ(TESK_E_STREAMHEADER, rig.routines.ReadTable(s, table, "FunctionTable")) << c.why;
        EXPECT_EQ(0, table.GetCount()) << c.why;
        EXPECT_FALSE(log.Text().empty()) << c.why;
    }
    CRoutineTable table;
    CComPtr<ITeskStream> s = MemStreamOf(good);
    EXPECT_EQ(S_OK, rig.routines.ReadTable(s, table, "FunctionTable"));
    EXPECT_EQ(1, table.GetCount());
    // Cut anywhere after the header, the table is refused, never thrown out.
    for (size_t n = 32; n < good.size(); ++n) {
        CRoutineTable cut;
        CComPtr<ITeskStream> t = MemStreamOf(good.substr(0, n));
        EXPECT_EQ(TESK_E_STREAMHEADER, rig.routines.ReadTable(t, cut, "FunctionTable")) << n;
        EXPECT_EQ(0, cut.GetCount()) << n;
    }
}

// A function's body is compiled once and kept with the caller's forms: a
// second call finds it there.
TEST_F(RoutineTest, FunctionBodyKeptWithTheCallersForms) {
    ASSERT_EQ(S_OK,
              Load(rig.routines.Functions(), {{"twice", {{VT_I4, "v"}}, {{9, "v * 2", nullptr}}}}));
    EXPECT_EQ("I4:6", Eval("twice(1) + twice(2)"));
    ASSERT_NE(rig.expr.GetCache(), nullptr);
    CExprCache* cache = const_cast<CExprCache*>(rig.expr.GetCache());
    EXPECT_NE(cache->Find("v * 2", 5), nullptr);
}

TEST_F(RoutineTest, FunctionArgumentsAreConverted) {
    ASSERT_EQ(S_OK, Load(rig.routines.Functions(),
                         {{"twice", {{VT_I4, "v"}}, {{9, "v * 2", nullptr}}},
                          {"join", {{VT_BSTR, "a"}, {VT_I4, "b"}}, {{9, "a + \"-\"", nullptr}}},
                          {"nothing", {}, {{7, nullptr, nullptr}}},
                          {"sleepy", {}, {{6, nullptr, "100"}, {9, "1", nullptr}}}}));
    EXPECT_EQ("I4:24", Eval("twice(\"12\")"));
    EXPECT_EQ("FAIL", Eval("twice(\"x\")"));
    EXPECT_EQ("FAIL", Eval("twice(1, 2)"));
    EXPECT_EQ("S:p-", Eval("join(\"p\", 3)"));
    EXPECT_EQ("I4:12", Eval("twice(twice(3))"));
    VARIANT v;
    VariantInit(&v);
    EXPECT_TRUE(rig.functions.Execute("nothing", nullptr, 0, &v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));
    // A wait inside a function fails the call and leaves nothing scheduled.
    EXPECT_EQ("FAIL", Eval("sleepy()"));
    EXPECT_TRUE(rig.site.sequencer.entries.empty());
}

TEST_F(RoutineTest, ProcessWaitsTogetherWithItsCaller) {
    ASSERT_EQ(S_OK, Load(rig.routines.Processes(),
                         {{"step",
                           {{VT_I4, "by"}},
                           {{8, "n", "n + by"}, {6, nullptr, "20"}, {8, "n", "n * 10"}}}}));
    CActionItemList list;
    MakeList(list, {{404, "step", "2"}, {8, "n", "n + 1"}, {404, "missing", "1"}});
    rig.Run(list);
    EXPECT_EQ(2, rig.GlobalInt("n"));
    ASSERT_EQ(1u, rig.site.sequencer.entries.size());
    rig.Advance(20);
    // The process finished, then its caller went on after the call.
    EXPECT_EQ(21, rig.GlobalInt("n"));
    EXPECT_TRUE(rig.site.sequencer.entries.empty());
}

// The watchdog's clock here: every reading is 100 ms after the last, so its
// real 10 s deadline passes after a hundred readings.
DWORD g_clock = 0;
DWORD WINAPI SteppingClock() {
    return g_clock += 100;
}

size_t Count(const std::string& text, const char* line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

const char kTimeout[] = "ExecuteActionList: timeout: 10000 ms, potential deadlock?";

class RoutineWatchdogTest : public RoutineTest {
protected:
    void SetUp() override {
        RoutineTest::SetUp();
        rig.Global("m", 0);
        rig.processor.SetTimeSource(SteppingClock);
        ASSERT_EQ(
            S_OK,
            Load(rig.routines.Processes(),
                 {{"spin", {}, {{4, nullptr, "1"}, {8, "n", "n + 1"}, {5, nullptr, nullptr}}},
                  {"self", {}, {{4, nullptr, "1"}, {404, "self", nullptr}, {5, nullptr, nullptr}}},
                  {"wait", {}, {{6, nullptr, "10"}, {404, "spin", nullptr}}}}));
        ASSERT_EQ(
            S_OK,
            Load(rig.routines.Functions(),
                 {{"fspin", {}, {{4, nullptr, "1"}, {8, "n", "n + 1"}, {5, nullptr, nullptr}}},
                  {"fself", {}, {{4, nullptr, "1"}, {8, "m", "fself()"}, {5, nullptr, nullptr}}}}));
    }
    // Runs one event's list; the time it took on the watchdog's clock.
    DWORD Fire(const CActionItemList& list, DWORD eventId = 0) {
        DWORD start = g_clock;
        CActionRun* run = new CActionRun;
        run->pList = &list;
        run->ownerKind = 1;
        run->eventId = eventId;
        rig.processor.QueueActionList(run);
        rig.processor.RunPending();
        return g_clock - start;
    }
};

// Loops that call looping routines and routines that loop calling
// themselves: every call runs on the event's deadline, so the event ends
// 10 s after it began, logged once, and leaves nothing behind.
TEST_F(RoutineWatchdogTest, CalledRoutinesRunOnTheCallersDeadline) {
    const struct {
        const char* what;
        std::vector<ActRow> rows;
    } shapes[] = {
        {"loop calling a looping process",
         {{4, nullptr, "1"}, {404, "spin", nullptr}, {5, nullptr, nullptr}}},
        {"loop calling a looping function",
         {{4, nullptr, "1"}, {8, "m", "fspin()"}, {5, nullptr, nullptr}}},
        {"process looping on itself", {{404, "self", nullptr}}},
        {"function looping on itself", {{8, "m", "fself()"}}},
        {"looping process after a wait", {{404, "wait", nullptr}}},
    };
    for (const auto& shape : shapes) {
        TempFolder dir;
        LogCapture log(dir.File("w.lg0"));
        CActionItemList list;
        MakeList(list, shape.rows);
        DWORD took = Fire(list);
        if (!rig.site.sequencer.entries.empty()) {
            // The end of the wait is an event of its own.
            DWORD start = g_clock;
            rig.Advance(10);
            took = g_clock - start;
        }
        EXPECT_LE(took, (DWORD)CEventProcessor::WATCHDOG_MS + 1000) << shape.what;
        // Logged once, not once and then repeated.
        std::string text = log.Text();
        EXPECT_EQ(1u, Count(text, kTimeout)) << shape.what;
        EXPECT_EQ(std::string::npos, text.find(">>REPEAT<<", text.find(kTimeout))) << shape.what;
        EXPECT_EQ(0u, rig.processor.GetPendingCount()) << shape.what;
        EXPECT_EQ(nullptr, rig.processor.GetCurrentRun()) << shape.what;
        EXPECT_TRUE(rig.site.sequencer.entries.empty()) << shape.what;
    }
}

// The lists one event runs share its deadline: once the watchdog stops one,
// the rest of the event is not run. The next event has a deadline of its own.
TEST_F(RoutineWatchdogTest, AListStoppedByTheWatchdogEndsItsEvent) {
    CActionItemList loop, set;
    MakeList(loop, {{4, nullptr, "1"}, {5, nullptr, nullptr}});
    MakeList(set, {{8, "m", "m + 1"}});
    TempFolder dir;
    LogCapture log(dir.File("w.lg0"));
    {
        CEventProcessor::Dispatch event(&rig.processor);
        Fire(loop);
        EXPECT_TRUE(rig.processor.DispatchStopped());
        EXPECT_EQ(0u, Fire(set));
        // Two lists queued together: the second goes with the first.
        for (const CActionItemList* l : {&loop, &set}) {
            CActionRun* run = new CActionRun;
            run->pList = l;
            rig.processor.QueueActionList(run);
        }
        rig.processor.RunPending();
    }
    EXPECT_EQ(0, rig.GlobalInt("m"));
    EXPECT_FALSE(rig.processor.DispatchStopped());
    Fire(set);
    EXPECT_EQ(1, rig.GlobalInt("m"));
    std::string text = log.Text();
    EXPECT_EQ(1u, Count(text, kTimeout));
    EXPECT_EQ(0u, Count(text, ">>REPEAT<<"));
}

// Timer and key lists that the watchdog stopped do not start again until
// the next page; lists of other events do.
TEST_F(RoutineWatchdogTest, StoppedTimerAndKeyListsWaitForTheNextPage) {
    const struct {
        DWORD event;
        bool kept;
    } cases[] = {{1000, true}, {1008, true}, {1009, true}, {1010, true}, {1103, false}};
    for (const auto& c : cases) {
        CActionItemList loop;
        MakeList(loop, {{8, "m", "m + 1"}, {4, nullptr, "1"}, {5, nullptr, nullptr}});
        rig.globals.GetValue(rig.globals.Find("m"))->lVal = 0;
        TempFolder dir;
        LogCapture log(dir.File("w.lg0"));
        Fire(loop, c.event);
        DWORD again = Fire(loop, c.event);
        EXPECT_EQ(c.kept ? 1 : 2, rig.GlobalInt("m")) << c.event;
        if (c.kept) {
            EXPECT_EQ(0u, again) << c.event;
        }
        rig.processor.NewPage();
        Fire(loop, c.event);
        EXPECT_EQ(c.kept ? 2 : 3, rig.GlobalInt("m")) << c.event;
        std::string text = log.Text();
        EXPECT_EQ(c.kept ? 2u : 0u, Count(text,
                                          "stopped by the watchdog -- not started again on "
                                          "this page"))
            << c.event;
    }
}

TEST_F(RoutineTest, EndlessRecursionFailsAtTheNestingLimit) {
    ASSERT_EQ(S_OK, Load(rig.routines.Functions(), {{"down", {}, {{9, "down()", nullptr}}}}));
    ASSERT_EQ(S_OK, Load(rig.routines.Processes(),
                         {{"again", {}, {{8, "n", "n + 1"}, {404, "again", nullptr}}}}));
    TempFolder dir;
    LogCapture log(dir.File("r.lg0"));
    EXPECT_EQ("FAIL", Eval("down()"));
    CActionItemList list;
    MakeList(list, {{404, "again", nullptr}});
    rig.Run(list);
    EXPECT_EQ((LONG)CRoutineTables::MAX_CALL_DEPTH, rig.GlobalInt("n"));
    EXPECT_NE(std::string::npos, log.Text().find("nesting deeper than 64"));
}

}  // namespace
