#include <gtest/gtest.h>
#include <math.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "TestFiles.h"

namespace {

using ObjectBaseTest = ObjectFixture;

TEST_F(ObjectBaseTest, AccessorsBeforeInitFail) {
    CComPtr<IUnknown> unknown;
    ASSERT_EQ(CreateSolidObject(&unknown), S_OK);
    CComPtr<IObjectBase> base;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    BSTR name = nullptr;
    DWORD id = 0;
    LONG s = 0;
    EXPECT_EQ(base->ObjName(&name), E_FAIL);
    EXPECT_EQ(base->ObjID(&id), E_FAIL);
    EXPECT_EQ(base->GetSchedule3(&s), E_FAIL);
    EXPECT_EQ(base->Reserved24(), E_NOTIMPL);
    // Save writes nothing.
    CComPtr<ITeskStream> stream = NewMemStream();
    EXPECT_EQ(base->Save(stream), S_OK);
    EXPECT_EQ(stream->GetSize(), 0u);
}

TEST_F(ObjectBaseTest, InitBindsRecordSiteAndBuiltins) {
    auto* obj = Make();
    ASSERT_NE(obj, nullptr);
    BSTR name = nullptr;
    ASSERT_EQ(obj->ObjName(&name), S_OK);
    EXPECT_STREQ(name, L"Solid1");
    SysFreeString(name);
    DWORD id = 0;
    EXPECT_EQ(obj->ObjID(&id), S_OK);
    EXPECT_EQ(id, kSolidType);
    EXPECT_EQ(record.dwTypeId, kSolidType);
    // "_EventProc" and "PathAnimate" (no path-motion class: empty slot).
    ASSERT_EQ(obj->BuiltinCount(), 2);
    EXPECT_EQ(obj->Entry(0).name, L"_EventProc");
    EXPECT_EQ(obj->Entry(0).nId, -1);
    EXPECT_EQ(obj->Entry(1).name, L"PathAnimate");
    EXPECT_EQ(obj->Entry(1).Get(), nullptr);
    // The event procedure of type 0 was made and bound.
    ASSERT_EQ(procs.types.size(), 1u);
    EXPECT_EQ(procs.types[0], 0);
    EXPECT_EQ(obj->Entry(0).Get(), static_cast<IDispatch*>(procs.last));
}

TEST_F(ObjectBaseTest, SetBoundsOnlyUnturned) {
    auto* obj = Make();
    RECT before;
    obj->GetBounds(&before);
    RECT r = {10, 20, 110, 70};
    EXPECT_EQ(obj->SetBounds(&r, 9000), E_FAIL);
    RECT after;
    obj->GetBounds(&after);
    EXPECT_TRUE(EqualRect(&before, &after));
    obj->SetAngle(4500);
    EXPECT_EQ(obj->SetBounds(&r, 36000), S_OK);
    EXPECT_EQ(obj->GetAngle(), 0);
    EXPECT_EQ(obj->GetXCenter(), 60);
    EXPECT_EQ(obj->GetYCenter(), 45);
    EXPECT_EQ(obj->GetWidth(), 100);
    EXPECT_EQ(obj->GetHeight(), 50);
}

TEST_F(ObjectBaseTest, AnglesAlphaAndTable) {
    auto* obj = Make();
    struct {
        LONG start;
        int op;  // 0 SetAngle, 1 RotateBy, 2 AddAngle
        LONG arg, angle;
    } rows[] = {
        {0, 0, -100, -100},   {0, 0, 36100, 100},      {1, 1, 35999, 0},
        {100, 1, -200, -100}, {35000, 2, 2000, 37000},
    };
    for (auto& row : rows) {
        obj->SetAngle(row.start);
        if (row.op == 0)
            obj->SetAngle(row.arg);
        else if (row.op == 1)
            obj->RotateBy(row.arg);
        else
            obj->AddAngle(row.arg);
        EXPECT_EQ(obj->GetAngle(), row.angle) << row.start << " op " << row.op << " " << row.arg;
    }
    obj->SetAlpha(300);
    EXPECT_EQ(obj->GetAlpha(), 255);
    obj->SetAlpha(-5);
    EXPECT_EQ(obj->GetAlpha(), 0);
    obj->SetRotation(45);
    EXPECT_EQ(obj->GetAngle(), 4500);
    EXPECT_EQ(obj->GetRotation(), 45);
}

TEST_F(ObjectBaseTest, HitTestsTurnedAndEdges) {
    auto* obj = Make();
    obj->SetWidth(200);
    obj->SetHeight(100);
    obj->MoveTo(0, 0);
    obj->SetAngle(9000);
    EXPECT_EQ(obj->HitTestPoint(0, 90), 0);
    EXPECT_EQ(obj->HitTestPoint(90, 0), 1);
    obj->SetAngle(0);
    // Box -100..100 x -50..50: right and bottom edges are outside.
    EXPECT_EQ(obj->HitTestPoint(-100, -50), 0);
    EXPECT_EQ(obj->HitTestPoint(99, 49), 0);
    EXPECT_EQ(obj->HitTestPoint(100, 0), 1);
    EXPECT_EQ(obj->HitTestPoint(0, 50), 1);
}

// The unturned test against the plain comparisons on seeded random boxes,
// mirrored ones (negative sizes) and whole turns among them.
TEST_F(ObjectBaseTest, UnturnedHitTestsMatchThePlainCompare) {
    auto* obj = Make();
    srand(4711);
    for (int round = 0; round < 300; ++round) {
        const LONG w = rand() % 61 - 20, h = rand() % 41 - 10;
        const LONG cx = rand() % 200 - 100, cy = rand() % 200 - 100;
        obj->SetAngle(0);
        obj->AddAngle(36000 * (rand() % 3));
        obj->SetWidth(w);
        obj->SetHeight(h);
        obj->MoveTo(cx, cy);
        const LONG aw = labs(w), ah = labs(h), left = cx - aw / 2, top = cy - ah / 2;
        for (int probe = 0; probe < 40; ++probe) {
            const LONG x = left + rand() % 70 - 25, y = top + rand() % 50 - 15;
            const bool hit = x >= left && x < left + aw && y >= top && y < top + ah;
            ASSERT_EQ(obj->HitTestPoint(x, y), hit ? 0 : 1)
                << w << "x" << h << " at " << cx << "," << cy << " probe " << x << "," << y;
        }
    }
}

// The polygon tests against a plain reference on seeded random inputs.
TEST_F(ObjectBaseTest, PolygonTestsMatchGdiRegions) {
    srand(1234);
    for (int round = 0; round < 200; ++round) {
        POINT p[4];
        LONG cx = rand() % 200, cy = rand() % 200, w = 20 + rand() % 100, h = 20 + rand() % 100;
        double a = (rand() % 36000) * 3.14159265358979 / 18000.0;
        POINT c[4] = {{-w / 2, -h / 2}, {-w / 2, h / 2}, {w / 2, h / 2}, {w / 2, -h / 2}};
        for (int i = 0; i < 4; ++i) {
            p[i].x = cx + (LONG)lround(c[i].x * cos(a) - c[i].y * sin(a));
            p[i].y = cy + (LONG)lround(c[i].x * sin(a) + c[i].y * cos(a));
        }
        HRGN rgn = CreatePolygonRgn(p, 4, WINDING);
        RECT r = {rand() % 250 - 25, rand() % 250 - 25, 0, 0};
        r.right = r.left + 1 + rand() % 40;
        r.bottom = r.top + 1 + rand() % 40;
        // Points well inside or outside (one pixel off the edge GDI and the
        // exact test may differ).
        for (int k = 0; k < 20; ++k) {
            LONG x = rand() % 250 - 25, y = rand() % 250 - 25;
            bool inside = PointInPolygonWinding(p, 4, x, y);
            bool edge = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    edge |= (PtInRegion(rgn, x + dx, y + dy) != 0) != inside;
            if (!edge) {
                EXPECT_EQ(inside, PtInRegion(rgn, x, y) != 0) << x << "," << y;
            }
        }
        RECT grown = {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
        RECT shrunk = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        bool exact = PolygonTouchesRect(p, 4, r);
        if (RectInRegion(rgn, &shrunk) && shrunk.right > shrunk.left &&
            shrunk.bottom > shrunk.top) {
            EXPECT_TRUE(exact);
        }
        if (!RectInRegion(rgn, &grown)) {
            EXPECT_FALSE(exact);
        }
        DeleteObject(rgn);
    }
}

TEST_F(ObjectBaseTest, RegionTest) {
    auto* obj = Make();
    obj->SetWidth(20);
    obj->SetHeight(20);
    obj->MoveTo(50, 50);
    HRGN away = CreateRectRgn(100, 100, 120, 120);
    HRGN touching = CreateRectRgn(55, 55, 120, 120);
    EXPECT_EQ(obj->TestRegion(away), 1);
    EXPECT_EQ(obj->TestRegion(touching), 0);
    obj->SetVisible(FALSE);
    EXPECT_EQ(obj->TestRegion(touching), 1);
    DeleteObject(away);
    DeleteObject(touching);
}

TEST_F(ObjectBaseTest, LoadSetsVisibleAndEndsAtStreamEnd) {
    auto* obj = Make();
    ObjectPrefix p;
    p.flags = 0x08;
    p.alpha = 0xFFFFFF80;  // only the low byte counts
    std::vector<uint8_t> bytes = WriteObjectPrefix(p);
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    LogCapture log;
    ASSERT_EQ(obj->Load(s), S_OK) << log.Text();
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(obj->IsVisible(), 0);
    EXPECT_EQ(obj->IsFlag8(), 0);
    EXPECT_EQ(obj->GetAlpha(), 0x80);
    EXPECT_EQ(obj->GetXCenter(), 100);
    EXPECT_EQ(obj->GetWidth(), 200);
}

TEST_F(ObjectBaseTest, TruncatedRecordsFail) {
    ObjectPrefix p;
    p.abilityCount = 2;
    p.abilities = StaticAbilityRecord(5, L"Nope", {1, 2, 3, 4});
    std::vector<uint8_t> whole = WriteObjectPrefix(p);
    for (size_t cut :
         {0u, 10u, 27u, 31u, 60u, 100u, 130u, 135u, 140u, 150u, (unsigned)whole.size() - 1}) {
        auto* obj = Make();
        std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
        CComPtr<ITeskStream> s = MemStreamOf(part);
        EXPECT_EQ(obj->Load(s), E_FAIL) << cut;
        EXPECT_LE(s->GetPosition(), s->GetSize());
    }
    EXPECT_EQ(Make()->Load(nullptr), E_FAIL);
}

// Life cycle through the sequencer double.
TEST_F(ObjectBaseTest, HoldForeverKeepsHolding) {
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    obj->Enter();
    EXPECT_EQ(obj->GetState(), RS_ENTERED);
    EXPECT_EQ(procs.last->timersStarted, 1);
    const TestSequencer::Entry* hold = site.sequencer.Find(ev, NOTIFY_HOLD);
    ASSERT_NE(hold, nullptr);
    EXPECT_EQ(hold->time, 100u);
    site.clock = 100;
    site.sequencer.RunDue(100);
    EXPECT_EQ(obj->GetState(), RS_HOLDING);
    EXPECT_EQ(site.sequencer.Find(ev, NOTIFY_LEAVE), nullptr);
    site.clock = 100000;
    site.sequencer.RunDue(100000);
    EXPECT_EQ(obj->GetState(), RS_HOLDING);
    std::vector<DISPID> ids;
    for (auto& c : procs.last->calls) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<DISPID>{1200, 1201}));
}

// The decoration record of the prefix starts on ObjectHold (1201) and pauses
// on ObjectLeave (1202): its clock runs on the sequencer while the object holds.
TEST_F(ObjectBaseTest, EffectPartRunsWhileHolding) {
    record.nSchedule[2] = 300;
    auto* obj = Make();
    CComPtr<ITeskStream> s = MemStreamOf(WriteObjectPrefix(ObjectPrefix()));
    ASSERT_EQ(obj->Load(s), S_OK);
    obj->Enter();
    EXPECT_EQ(site.sequencer.clients.size(), 1u);  // the show transition's clock
    IUnknown* showClock = site.sequencer.clients[0];
    site.clock = 100;
    site.sequencer.RunDue(100);
    ASSERT_EQ(obj->GetState(), RS_HOLDING);
    ASSERT_EQ(site.sequencer.clients.size(), 1u);  // now the effect's
    EXPECT_NE(site.sequencer.clients[0], showClock);
    IUnknown* effectClock = site.sequencer.clients[0];
    CComPtr<IUnknown> effect;
    obj->GetEffect(&effect);
    CComPtr<IDecorRender> decor;
    effect->QueryInterface(__uuidof(IDecorRender), reinterpret_cast<void**>(&decor));
    ASSERT_NE(decor, nullptr);
    EXPECT_FALSE(decor->IsIdle());
    site.clock = 400;
    site.sequencer.RunDue(400);
    EXPECT_EQ(obj->GetState(), RS_LEAVING);
    // The effect paused; the hide transition's clock runs.
    ASSERT_EQ(site.sequencer.clients.size(), 1u);
    EXPECT_NE(site.sequencer.clients[0], effectClock);
    site.clock = 500;
    site.sequencer.RunDue(500);
    EXPECT_EQ(obj->GetState(), RS_EXITED);
    EXPECT_TRUE(decor->IsIdle());
    EXPECT_TRUE(site.sequencer.clients.empty());
}

TEST_F(ObjectBaseTest, HoldZeroAndLeaveZeroReachExit) {
    record.nSchedule[2] = 0;
    record.nSchedule[3] = 0;
    auto* obj = Make();
    obj->Enter();
    site.clock = 100;
    site.sequencer.RunDue(100);
    EXPECT_EQ(obj->GetState(), RS_EXITED);
    std::vector<DISPID> ids;
    for (auto& c : procs.last->calls) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<DISPID>{1200, 1201, 1202, 1203}));
    EXPECT_TRUE(site.sequencer.entries.empty());
}

TEST_F(ObjectBaseTest, TickBringsTheStateTheClockCallsFor) {
    record.nSchedule[0] = 1000;
    record.nSchedule[1] = 100;
    record.nSchedule[2] = 500;
    record.nSchedule[3] = 100;
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    struct {
        DWORD clock;
        int state;  // before
        int after;
        DWORD step;
        DWORD due;
    } rows[] = {
        {0, RS_IDLE, RS_IDLE, 1, 1000},           // before its time: enter at s1
        {1050, RS_IDLE, RS_IDLE, 1, 1051},        // due: enters now (moved one unit)
        {1050, RS_HOLDING, RS_ENTERED, 2, 1100},  // wrong state is corrected
        {1300, RS_ENTERED, RS_HOLDING, 3, 1600}, {1650, RS_HOLDING, RS_LEAVING, 4, 1700},
    };
    for (auto& row : rows) {
        site.sequencer.entries.clear();
        site.clock = row.clock;
        obj->SetState(row.state);
        obj->Tick(0);
        EXPECT_EQ(obj->GetState(), row.after) << row.clock;
        ASSERT_EQ(site.sequencer.entries.size(), 1u) << row.clock;
        EXPECT_EQ(site.sequencer.entries[0].entry.pTarget, ev);
        EXPECT_EQ(site.sequencer.entries[0].entry.dwKind, row.step) << row.clock;
        EXPECT_EQ(site.sequencer.entries[0].time, row.due) << row.clock;
    }
    // Past its time: an idle object becomes exited, nothing scheduled.
    site.sequencer.entries.clear();
    site.clock = 5000;
    obj->SetState(RS_IDLE);
    obj->Tick(0);
    EXPECT_EQ(obj->GetState(), RS_EXITED);
    EXPECT_TRUE(site.sequencer.entries.empty());
}

}  // namespace
