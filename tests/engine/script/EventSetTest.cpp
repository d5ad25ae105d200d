#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>

#include "ByteWriter.h"
#include "ObjectDoubles.h"
#include "TestFiles.h"
#include "aEventSet.h"
#include "aStorage.h"
#include "bStorage.h"
#include "PlayerBuildFiles.h"
#include "StreamFixtures.h"

namespace {

// The player's type library, built beside the player program.
// Keeps the runs it is given.
class RecordingQueue : public IActionQueue {
public:
    void QueueActionList(CActionRun* run) override { runs.emplace_back(run); }
    HRESULT RunPending() override {
        ++pendingRuns;
        return S_OK;
    }
    bool DispatchStopped() const override { return false; }
    std::vector<std::unique_ptr<CActionRun>> runs;
    int pendingRuns = 0;
};

class QueueSite : public TestPlayerSite {
public:
    STDMETHOD(GetEventProcessor)(void** out) override {
        *out = static_cast<IActionQueue*>(&queue);
        return S_OK;
    }
    RecordingQueue queue;
};

VARIANT Long(LONG v) {
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}

CActionItem Action(DWORD kind, const char* t0, const char* t1) {
    CActionItem a;
    a.kind = kind;
    a.has0 = t0 != nullptr;
    a.has1 = t1 != nullptr;
    a.text0 = t0 ? t0 : "";
    a.text1 = t1 ? t1 : "";
    return a;
}

class EventSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib = PlayerTypeLib();
        ASSERT_NE(lib, nullptr);
        factory.SetTypeLib(lib);
        factory.SetSite(&site);
    }
    void TearDown() override {
        if (lib)
            lib->Release();
    }
    // A page procedure: Timer, KeyDown, KeyUp, KeyPress, PageEnter..PageExit.
    CComPtr<IDispatch> MakeProc(int type) {
        CComPtr<IDispatch> d;
        EXPECT_EQ(factory.CreateEventProc(type, nullptr, &d), S_OK);
        return d;
    }
    static CEventSet& SetOf(IDispatch* d) { return static_cast<CEventProcedure*>(d)->Set(); }

    ITypeLib* lib = nullptr;
    QueueSite site;
    CEventProcFactory factory;
};

// Stored sets are positional: the stock tables list their events in a fixed
// order with the parameters the object base pushes after the selector.
TEST_F(EventSetTest, StockTablesInFixedOrder) {
    struct {
        int type;
        std::vector<DWORD> ids;
    } rows[] = {
        {0,
         {1000, 1008, 1009, 1010, 1100, 1101, 1102, 1103, 1111, 1112, 1117, 1118, 1200, 1201, 1202,
          1203}},
        {2, {1000, 1008, 1009, 1010, 1220, 1221, 1222, 1223}},
        {4, {1000, 1008, 1009, 1010}},
        {1, {}},
    };
    for (auto& row : rows) {
        CComPtr<IDispatch> d = MakeProc(row.type);
        CEventSet& set = SetOf(d);
        ASSERT_EQ(set.GetCount(), (int)row.ids.size()) << row.type;
        for (size_t i = 0; i < row.ids.size(); ++i) {
            EXPECT_EQ(set.GetAt((int)i)->GetId(), row.ids[i]);
            EXPECT_EQ(set.GetAt((int)i)->GetKind(), row.ids[i] < 1099 ? 1 : 2);
        }
    }
    CComPtr<IDispatch> object = MakeProc(0);
    CEventSet& set = SetOf(object);
    struct {
        DWORD id;
        size_t params;
    } params[] = {{1000, 1}, {1008, 2}, {1010, 1}, {1100, 2}, {1101, 2}, {1103, 0}, {1200, 0}};
    for (auto& p : params) EXPECT_EQ(set.Find(p.id)->Params().size(), p.params) << p.id;
}

// Firing: unknown ids fail, wrong argument counts and unmatched selectors run
// nothing, a match queues one run with the arguments as named locals.
TEST_F(EventSetTest, FireTable) {
    CComPtr<IDispatch> d = MakeProc(0);
    CEventSet& set = SetOf(d);
    set.Find(1100)->List().Items().push_back(Action(1003, nullptr, "x"));
    set.Find(1103)->List().Items().push_back(Action(1003, nullptr, nullptr));
    set.AddSubEvent(1000, 250, "_250");
    set.Find(1000)->FindSub(250)->List().Items().push_back(Action(7, nullptr, nullptr));

    VARIANT two[2] = {Long(10), Long(20)};
    VARIANT one[1] = {Long(10)};
    VARIANT timer[2] = {Long(250), Long(250)};
    VARIANT otherTimer[2] = {Long(300), Long(300)};
    struct {
        DWORD id;
        VARIANT* args;
        UINT n;
        HRESULT expect;
    } rows[] = {
        {4242, two, 2, E_FAIL},    // no entry
        {1100, one, 1, 1},         // too few arguments
        {1100, two, 2, 0},         // runs
        {1101, two, 2, 1},         // empty list
        {1103, nullptr, 0, 0},     // no parameters
        {1000, otherTimer, 2, 1},  // no timer of that delay
        {1000, timer, 2, 0},       // the timer's sub-entry
        {1008, two, 2, 1},         // a stock entry without sub-entries
    };
    size_t expectedRuns = 0;
    for (auto& row : rows) {
        DISPPARAMS p = {row.args, nullptr, row.n, 0};
        EXPECT_EQ(
            d->Invoke((DISPID)row.id, IID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr),
            row.expect)
            << row.id;
        if (row.expect == 0)
            ++expectedRuns;
        EXPECT_EQ(site.queue.runs.size(), expectedRuns) << row.id;
    }
    // The LButtonDown run: x and y as locals.
    CActionRun* run = site.queue.runs[0].get();
    EXPECT_EQ(run->pList, &set.Find(1100)->List());
    ASSERT_EQ(run->locals.GetCount(), 2);
    EXPECT_STREQ(run->locals.GetName(0), "x");
    EXPECT_EQ(run->locals.GetValue(1)->lVal, 20);
    // The timer's run got the value after the selector.
    EXPECT_EQ(site.queue.runs[2]->locals.GetCount(), 1);
    EXPECT_EQ(site.queue.pendingRuns, 3);
}

// Saving and loading round-trips every list and the sub-entries with their
// descriptors.
TEST_F(EventSetTest, ListsRoundTrip) {
    CComPtr<IDispatch> a = MakeProc(2);
    CEventSet& set = SetOf(a);
    set.AddSubEvent(1000, 100, "_a");
    set.AddSubEvent(1000, 2000, "_b");
    set.Find(1000)->FindSub(2000)->Params()[0].name = "renamed";
    set.Find(1000)->FindSub(2000)->List().Items() = {Action(6, nullptr, "500"),
                                                     Action(8, "v", "v+1")};
    set.Find(1220)->List().Items() = {Action(1003, nullptr, "\"Part1\""),
                                      Action(2, nullptr, nullptr)};
    set.AddSubEvent(1008, 65, "_A");
    set.Find(1008)->FindSub(65)->List().Items() = {Action(7, "", nullptr)};

    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(set.SaveLists(s), S_OK);
    SetForReading(s);
    CComPtr<IDispatch> b = MakeProc(2);
    CEventSet& back = SetOf(b);
    ASSERT_EQ(back.LoadLists(s), S_OK);
    ASSERT_EQ(back.GetCount(), set.GetCount());
    for (int i = 0; i < set.GetCount(); ++i) {
        CEventEntry* x = set.GetAt(i);
        CEventEntry* y = back.GetAt(i);
        ASSERT_EQ(x->Subs().size(), y->Subs().size()) << x->GetId();
        auto same = [](CEventEntry* p, CEventEntry* q) {
            ASSERT_EQ(p->List().Items().size(), q->List().Items().size());
            for (size_t k = 0; k < p->List().Items().size(); ++k) {
                const CActionItem& m = p->List().Items()[k];
                const CActionItem& n = q->List().Items()[k];
                EXPECT_EQ(m.kind, n.kind);
                EXPECT_EQ(m.has0, n.has0);
                EXPECT_EQ(m.has1, n.has1);
                EXPECT_EQ(m.text0, n.text0);
                EXPECT_EQ(m.text1, n.text1);
            }
            ASSERT_EQ(p->Params().size(), q->Params().size());
            for (size_t k = 0; k < p->Params().size(); ++k) {
                EXPECT_EQ(p->Params()[k].name, q->Params()[k].name);
                EXPECT_EQ(p->Params()[k].vt, q->Params()[k].vt);
            }
        };
        same(x, y);
        for (size_t k = 0; k < x->Subs().size(); ++k) {
            EXPECT_EQ(x->Subs()[k]->GetId(), y->Subs()[k]->GetId());
            EXPECT_EQ(x->Subs()[k]->GetName(), y->Subs()[k]->GetName());
            same(x->Subs()[k].get(), y->Subs()[k].get());
        }
    }
}

// Counts and lengths past the stream, and more lists than entries, are
// refused with a log line.
TEST_F(EventSetTest, CorruptListsRefused) {
    struct {
        const char* what;
        std::string bytes;
        const char* log;
    } rows[] = {
        // u32 count 9 > the 8 entries of a page set.
        {"count above entries", CByteWriter().U32(9).Str(), "9 stored lists for 8 entries"},
        // count 1; Timer: 0x10001 = one sub-entry, described; id 5; name length
        // 0x7FFFFFFF past the end.
        {"name past end", CByteWriter().U32(1).U32(0x10001).U32(5).U32(0x7FFFFFFF).Str(),
         "past the stream's end"},
        // count 1; Timer: 0xFFFF sub-entries in 4 bytes.
        {"sub count past end", CByteWriter().U32(1).U32(0x1FFFF).U32(0).Str(),
         "past the stream's end"},
        // count 5: Timer with no sub-entries, KeyDown.., then PageEnter's
        // action list with 0x10000000 items.
        {"items past end",
         CByteWriter()
             .U32(5)
             .U32(0x10000)
             .U32(0x10000)
             .U32(0x10000)
             .U32(0x10000)
             .U32(0x10000000)
             .Str(),
         "items past the stream's end"},
        // count 2, then the stream ends.
        {"cut short", CByteWriter().U32(2).U32(0x10000).Str(), "lists cut short"},
    };
    for (auto& row : rows) {
        LogCapture log;
        CComPtr<IDispatch> d = MakeProc(2);
        EXPECT_LT(SetOf(d).LoadLists(MemStreamOf(row.bytes)), 0) << row.what;
        EXPECT_TRUE(Logged(log.Text(), row.log)) << row.what;
    }
}

// Timers: each sub-entry of the Timer entry is scheduled at the page clock
// plus its delay, kind 0x20000, carrying the delay.
TEST_F(EventSetTest, StartTimersSchedulesEachTimer) {
    CComPtr<IDispatch> d = MakeProc(0);
    SetOf(d).AddSubEvent(1000, 500, "_500");
    SetOf(d).AddSubEvent(1000, 1500, "_1500");
    site.clock = 1000;
    CComPtr<IEventProcStore> store;
    ASSERT_EQ(d.QueryInterface(&store), S_OK);
    IObjectEvent* target = reinterpret_cast<IObjectEvent*>(0x1234);
    EXPECT_EQ(store->StartTimers(target), S_OK);
    ASSERT_EQ(site.sequencer.entries.size(), 2u);
    EXPECT_EQ(site.sequencer.entries[0].time, 1500u);
    EXPECT_EQ(site.sequencer.entries[1].time, 2500u);
    EXPECT_EQ(site.sequencer.entries[1].entry.dwKind, 0x20000u);
    EXPECT_EQ(site.sequencer.entries[1].entry.dwParam, 1500u);
    EXPECT_EQ(site.sequencer.entries[1].entry.pTarget, target);
}

// Enumeration: a stock entry with sub-entries comes first, then each of its
// sub-entries; with the entries-only flag, only entries.
TEST_F(EventSetTest, EnumerationOrder) {
    CComPtr<IDispatch> d = MakeProc(4);
    CEventSet& set = SetOf(d);
    set.AddSubEvent(1000, 7, "_7");
    set.AddSubEvent(1000, 9, "_9");
    std::vector<DWORD> ids, only;
    EventEnumCursor c;
    for (CEventEntry* e = set.ResetEnum(&c); e; e = set.NextEntry(&c)) ids.push_back(e->GetId());
    EventEnumCursor o;
    o.entriesOnly = TRUE;
    for (CEventEntry* e = set.ResetEnum(&o); e; e = set.NextEntry(&o)) only.push_back(e->GetId());
    EXPECT_EQ(ids, (std::vector<DWORD>{1000, 7, 9, 1008, 1009, 1010}));
    EXPECT_EQ(only, (std::vector<DWORD>{1000, 1008, 1009, 1010}));
    // Rebuild keeps the lists.
    set.Find(1000)->FindSub(9)->List().Items().push_back(Action(7, nullptr, nullptr));
    ASSERT_EQ(set.Rebuild(), S_OK);
    ASSERT_NE(set.Find(1000)->FindSub(9), nullptr);
    EXPECT_EQ(set.Find(1000)->FindSub(9)->List().Items().size(), 1u);
    EXPECT_EQ(set.RemoveSubEvent(1000, 7), 0);
    EXPECT_EQ(set.RemoveSubEvent(1000, 7), E_FAIL);
    EXPECT_EQ(set.RemoveSubEvents(4242), E_FAIL);
}

}  // namespace

namespace {

// An ActiveX control's events become sub-events of OnControlEvent through
// the procedure's event table, each under its DISPID with its parameters.
TEST_F(EventSetTest, ControlEventsBecomeSubEventsOfOnControlEvent) {
    const IID activeXEvents = {
        0xD5738C4D, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    const IID pathEvents = {
        0xD5738C0B, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    CComPtr<ITypeInfo> own, control;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(activeXEvents, &own), S_OK);
    ASSERT_EQ(lib->GetTypeInfoOfGuid(pathEvents, &control), S_OK);
    CComPtr<IDispatch> d = MakeProc(1);
    CEventSet& set = SetOf(d);
    set.InitInstanceEventSet(own);
    ASSERT_NE(set.Find(2001), nullptr);
    CComPtr<IEventProcTable> table;
    d->QueryInterface(__uuidof(IEventProcTable), reinterpret_cast<void**>(&table));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->InsertSubEvents(4242, control), E_FAIL);
    ASSERT_EQ(table->InsertSubEvents(2001, control), S_OK);
    CEventEntry* start = set.Find(2001)->FindSub(2300);
    CEventEntry* reloop = set.Find(2001)->FindSub(2304);
    ASSERT_NE(start, nullptr);
    ASSERT_NE(reloop, nullptr);
    EXPECT_EQ(reloop->GetName(), "OnControlEventPathAnimReloop");
    EXPECT_EQ(reloop->Params().size(), 1u);
    EXPECT_TRUE(start->Params().empty());
    // Inserting again adds nothing twice.
    EXPECT_EQ(table->InsertSubEvents(2001, control), S_OK);
    EXPECT_EQ(set.Find(2001)->FindSub(2304), reloop);
}

}  // namespace
