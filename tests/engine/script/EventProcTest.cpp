// Action-list interpreter and event processor: loops, conditions, waits
// through the sequencer, assignments, declarations, commands, process
// calls with suspension, and the malformed lists it ends safely.
#include <gtest/gtest.h>

#include "ScriptRig.h"
#include "TestFiles.h"

namespace {

class EventProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.functionsLoaded);
        rig.Global("n", 0);
    }
    ScriptRig rig;
    CActionItemList list;
};

TEST_F(EventProcTest, CountedLoopRunsItsBodyCountTimes) {
    const struct {
        const char* count;
        LONG runs;
    } cases[] = {{"3", 3}, {"1", 1}, {"0", 0}, {"-2", 0}, {"x", 0}};
    for (const auto& c : cases) {
        rig.globals.GetValue(rig.globals.Find("n"))->lVal = 0;
        MakeList(list, {{4, c.count, nullptr}, {8, "n", "n + 1"}, {5, nullptr, nullptr}});
        rig.Run(list);
        EXPECT_EQ(c.runs, rig.GlobalInt("n")) << c.count;
    }
}

TEST_F(EventProcTest, NestedLoopsAndWhileLoop) {
    rig.Global("k", 0);
    MakeList(list, {{4, "2", nullptr},
                    {4, "3", nullptr},
                    {8, "n", "n + 1"},
                    {5, nullptr, nullptr},
                    {5, nullptr, nullptr},
                    {4, nullptr, "k < 5"},
                    {8, "k", "k + 1"},
                    {5, nullptr, nullptr}});
    rig.Run(list);
    EXPECT_EQ(6, rig.GlobalInt("n"));
    EXPECT_EQ(5, rig.GlobalInt("k"));
}

TEST_F(EventProcTest, IfElseAndInvalidCondition) {
    const struct {
        const char* cond;
        LONG n;
    } cases[] = {{"1 == 1", 1}, {"1 == 2", 2}, {"nosuchvar > 0", 3}};
    for (const auto& c : cases) {
        rig.globals.GetValue(rig.globals.Find("n"))->lVal = 0;
        // true: n = 1; false: n = 2; invalid: skips both, n = 3 after end if.
        MakeList(list, {{1, nullptr, c.cond},
                        {8, "n", "1"},
                        {2, nullptr, nullptr},
                        {8, "n", "2"},
                        {3, nullptr, nullptr},
                        {1, nullptr, "n == 0"},
                        {8, "n", "3"},
                        {2, nullptr, nullptr},
                        {3, nullptr, nullptr}});
        rig.Run(list);
        EXPECT_EQ(c.n, rig.GlobalInt("n")) << c.cond;
    }
}

TEST_F(EventProcTest, MalformedBlocksEndTheRunWithALogLine) {
    TempFolder dir;
    LogCapture log(dir.File("p.lg0"));
    MakeList(list, {{5, nullptr, nullptr}, {8, "n", "9"}});
    rig.Run(list);
    EXPECT_EQ(0, rig.GlobalInt("n"));
    MakeList(list, {{1, nullptr, "0"}, {8, "n", "9"}, {3, nullptr, nullptr}, {8, "n", "8"}});
    rig.Run(list);
    EXPECT_EQ(0, rig.GlobalInt("n"));
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("end loop without loop")) << text;
    EXPECT_NE(std::string::npos, text.find("if without else")) << text;
}

TEST_F(EventProcTest, WaitsAtLeastTenMsThenContinues) {
    const struct {
        const char* ms;
        DWORD due;
    } cases[] = {{"0", 10}, {"5", 10}, {"50", 50}};
    for (const auto& c : cases) {
        rig.globals.GetValue(rig.globals.Find("n"))->lVal = 0;
        rig.site.clock = 1000;
        MakeList(list, {{8, "n", "1"}, {6, nullptr, c.ms}, {8, "n", "2"}});
        rig.Run(list);
        EXPECT_EQ(1, rig.GlobalInt("n"));
        ASSERT_EQ(1u, rig.site.sequencer.entries.size());
        EXPECT_EQ(1000 + c.due, rig.site.sequencer.entries[0].time);
        EXPECT_EQ(0x30000u, rig.site.sequencer.entries[0].entry.dwKind);
        rig.Advance(c.due - 1);
        EXPECT_EQ(1, rig.GlobalInt("n"));
        rig.Advance(1);
        EXPECT_EQ(2, rig.GlobalInt("n")) << c.ms;
        EXPECT_TRUE(rig.site.sequencer.entries.empty());
    }
}

// A wait inside a counted loop: the run resumes in the body and the loop
// keeps its count across the pauses.
TEST_F(EventProcTest, CountedLoopKeepsItsCountAcrossWaits) {
    rig.site.clock = 1000;
    MakeList(list, {{4, "3", nullptr},
                    {8, "n", "n + 1"},
                    {6, nullptr, "20"},
                    {8, "n", "n + 10"},
                    {5, nullptr, nullptr},
                    {8, "n", "n + 100"}});
    rig.Run(list);
    const LONG seen[] = {1, 12, 23, 133};
    for (LONG n : seen) {
        EXPECT_EQ(n, rig.GlobalInt("n"));
        rig.Advance(20);
    }
    EXPECT_EQ(133, rig.GlobalInt("n"));
    EXPECT_TRUE(rig.site.sequencer.entries.empty());
}

TEST_F(EventProcTest, AssignmentTargets) {
    TempFolder dir;
    LogCapture log(dir.File("p.lg0"));
    MakeList(list, {{201, "x", "2.5"},
                    {101, "a[2, 3]", "0"},
                    {8, "a[1, 2]", "x * 2"},
                    {8, "n", "a[1, 2] + 1"},
                    {8, "pic.Left", "n"},
                    {8, "this.Text[1, 2]", "\"t\""},
                    {8, "undeclared", "1"},
                    {8, "n[0]", "1"},
                    {8, "n", nullptr}});
    rig.Run(list, 0);
    EXPECT_EQ(6, rig.GlobalInt("n"));
    ASSERT_EQ(2u, rig.sender->sent.size());
    const auto& put = rig.sender->sent[0];
    EXPECT_EQ(402u, put.command);
    EXPECT_EQ("pic", put.object);
    EXPECT_EQ("Left", put.member);
    ASSERT_EQ(1u, put.named.size());
    EXPECT_EQ(DISPID_PROPERTYPUT, put.named[0]);
    // The value is the first element, the index arguments after it.
    EXPECT_EQ(std::vector<std::string>{"I4:6"}, put.args);
    const auto& indexed = rig.sender->sent[1];
    EXPECT_EQ("self", indexed.object);
    EXPECT_EQ("Text", indexed.member);
    EXPECT_EQ((std::vector<std::string>{"I4:1", "I4:2", "S:t"}), indexed.args);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("80045031")) << text;
    EXPECT_NE(std::string::npos, text.find("Exec: Assignment failed: null expression"));
}

TEST_F(EventProcTest, UndeclaredTargetAnswersItsCode) {
    CActionItem item;
    item.kind = 8;
    item.has0 = item.has1 = true;
    item.text0 = "nothing";
    item.text1 = "1";
    EXPECT_EQ(E_SCRIPT_UNDECLARED, rig.processor.ExecAssignment(item));
    item.has1 = false;
    EXPECT_EQ(E_SCRIPT_NULLEXPR, rig.processor.ExecAssignment(item));
}

TEST_F(EventProcTest, CommandsCarryTheirTextsAndArguments) {
    std::string longName(40, 'o'), longMember(200, 'm');
    std::string target = longName + "." + longMember;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"pic");
    rig.globals.Insert(-1, "who", v, v);
    VariantClear(&v);
    MakeList(list, {{1105, nullptr, "\"Part2\""},
                    {1804, nullptr, "\"visits\""},
                    {1401, "\"obj\" + \".x\"", "100, n + 2"},
                    {1401, "5", nullptr},
                    {420, target.c_str(), nullptr},
                    {403, "who.Play", "1,"},
                    {410, "this.Show", nullptr}});
    TempFolder dir;
    LogCapture log(dir.File("p.lg0"));
    rig.Run(list, 0);
    const auto& s = rig.sender->sent;
    ASSERT_EQ(5u, s.size());
    EXPECT_EQ(1105u, s[0].command);
    EXPECT_TRUE(s[0].posted);
    EXPECT_EQ(std::vector<std::string>{"S:Part2"}, s[0].args);
    EXPECT_EQ(1804u, s[1].command);
    EXPECT_FALSE(s[1].posted);
    EXPECT_EQ("obj", s[2].object);
    EXPECT_EQ("x", s[2].member);
    EXPECT_EQ((std::vector<std::string>{"I4:100", "I4:2"}), s[2].args);
    EXPECT_EQ(std::string(31, 'o'), s[3].object);
    EXPECT_EQ(std::string(127, 'm'), s[3].member);
    // The string variable names the object; a bad argument list stops 403.
    EXPECT_EQ("self", s[4].object);
    EXPECT_EQ("Show", s[4].member);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("Invalid LVal for act: 1401")) << text;
}

TEST_F(EventProcTest, StringVariableNamesTheObject) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"pic");
    rig.globals.Insert(-1, "who", v, v);
    VariantClear(&v);
    MakeList(list, {{403, "who.Play", "1"}});
    rig.Run(list, 0);
    ASSERT_EQ(1u, rig.sender->sent.size());
    EXPECT_EQ("pic", rig.sender->sent[0].object);
    EXPECT_EQ("Play", rig.sender->sent[0].member);
}

TEST_F(EventProcTest, CurveVariableLivesAroundTheCommand) {
    std::vector<std::string> seen;
    rig.sender->onDeliver = [&](UINT) {
        VARIANT v;
        VariantInit(&v);
        seen.push_back(rig.vars.GetValueByName("t", &v) ? VariantText(v) : "none");
        VariantClear(&v);
    };
    MakeList(list, {{420, "board.DrawLineCurve", "\"y, t, 0, 10\", 7"}});
    rig.Run(list);
    EXPECT_EQ(std::vector<std::string>{"I4:7"}, seen);
    VARIANT v;
    VariantInit(&v);
    rig.vars.SetLocalList(nullptr);
    EXPECT_FALSE(rig.vars.GetValueByName("t", &v));
    // An empty value item ends the run.
    TempFolder dir;
    LogCapture log(dir.File("p.lg0"));
    rig.Global("after", 0);
    MakeList(list, {{420, "board.DrawPixelCurve", "\"y, t\""}, {8, "after", "1"}});
    rig.Run(list);
    EXPECT_EQ(0, rig.GlobalInt("after"));
    EXPECT_NE(std::string::npos, log.Text().find("Expression error ("));
}

TEST_F(EventProcTest, ReturnEndsTheRunWithItsValue) {
    MakeList(list, {{9, "n + 41", nullptr}, {8, "n", "5"}});
    CActionRun run;
    run.pList = &list;
    EXPECT_EQ(0, rig.processor.ExecuteActionList(&run));
    EXPECT_EQ("I4:41", VariantText(run.result));
    EXPECT_EQ(0, rig.GlobalInt("n"));
}

TEST_F(EventProcTest, ParseArgsAndDimensions) {
    DISPPARAMS* args = rig.processor.ParseArgs("1,\"a\",(2,3)");
    ASSERT_NE(nullptr, args);
    ASSERT_EQ(4u, args->cArgs);
    EXPECT_EQ("I4:3", VariantText(args->rgvarg[0]));
    EXPECT_EQ("I4:1", VariantText(args->rgvarg[3]));
    FreeArgs(args);
    EXPECT_EQ(nullptr, rig.processor.ParseArgs("1,,2"));
    EXPECT_EQ(nullptr, rig.processor.ParseArgs("nosuch"));
    std::vector<int> dims;
    EXPECT_EQ(S_OK, rig.processor.GetDimensionOffset("2, 1 + 2, bad", dims));
    EXPECT_EQ((std::vector<int>{2, 3, 0}), dims);
    EXPECT_EQ(E_FAIL, rig.processor.GetDimensionOffset("", dims));
}

// Ten seconds by design: the deadline, then 10000 more actions.
TEST_F(EventProcTest, EndlessLoopStopsAtTheWatchdog) {
    TempFolder dir;
    LogCapture log(dir.File("p.lg0"));
    MakeList(list, {{4, nullptr, "1"}, {8, "n", "n + 1"}, {5, nullptr, nullptr}});
    DWORD start = GetTickCount();
    rig.Run(list);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 9900u);
    EXPECT_LT(took, 30000u);
    EXPECT_NE(std::string::npos,
              log.Text().find("ExecuteActionList: timeout: 10000 ms, potential deadlock?"));
}

TEST_F(EventProcTest, RunsFiredInsideARunWaitForIt) {
    CActionItemList inner;
    MakeList(inner, {{8, "n", "n * 10"}});
    rig.sender->onDeliver = [&](UINT) { rig.Run(inner); };
    MakeList(list, {{8, "n", "1"}, {1001, nullptr, nullptr}, {8, "n", "n + 1"}});
    rig.Run(list);
    // The inner run went after the outer one: (1 + 1) * 10.
    EXPECT_EQ(20, rig.GlobalInt("n"));
}

TEST(CmdSender, PacketTextsAreCut) {
    RecordingSender s;
    char object[32], member[128];
    std::string text = std::string(40, 'a') + "." + std::string(200, 'b');
    s.SplitObjectMember(text.c_str(), object, member);
    EXPECT_EQ(std::string(31, 'a'), object);
    EXPECT_EQ(std::string(127, 'b'), member);
    s.SplitObjectMember(std::string(40, 'c').c_str(), object, member);
    EXPECT_EQ(std::string(31, 'c'), object);
    EXPECT_EQ("", std::string(member));
    s.SetThisName("me");
    s.SplitObjectMember("this.x", object, member);
    EXPECT_EQ("me", std::string(object));
}

TEST(CmdSender, PostedAndSentCommands) {
    for (UINT c : {1003u, 1101u, 1110u, 1806u}) EXPECT_TRUE(IsPostedCommand(c)) << c;
    for (UINT c : {1001u, 1100u, 1111u, 1805u, 1807u, 401u}) EXPECT_FALSE(IsPostedCommand(c)) << c;
}

// A sender whose window is gone: the packet cannot be delivered.
struct GoneWindowSender : CCmdSender {
    GoneWindowSender() : CCmdSender((HWND)(UINT_PTR)0x7FFF0) {}
    int failures = 0;
    bool Deliver(UINT command, CCmdPacket* p, bool post) override {
        bool ok = CCmdSender::Deliver(command, p, post);
        if (!ok)
            ++failures;
        return ok;
    }
};

TEST(CmdSender, UndeliveredPacketsAreReleased) {
    GoneWindowSender s;
    EXPECT_EQ(1, s.PostCommand(1003, "a", "b", NewArgs(2)));
    EXPECT_EQ(1, s.PostCommand(1001, "a", "b", nullptr));
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(1, s.GetObjectProperty("a", "b", 0, nullptr, &r));
    EXPECT_EQ(VT_EMPTY, V_VT(&r));
    EXPECT_EQ(3, s.failures);
}

}  // namespace
