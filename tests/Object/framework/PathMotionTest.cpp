#include <gtest/gtest.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aPamAbl.h"
#include "aVector.h"

namespace {

MotionPathRecord Line(POINT a, POINT b, int duration, int delay = 0) {
    MotionPathRecord m;
    m.kind = GRAPH_LINE;
    m.points = {a, b};
    m.duration = duration;
    m.delay = delay;
    return m;
}

// An ability on a solid object, on the fixture's clock.
class PathMotionTest : public ObjectFixture {
protected:
    void SetUp() override {
        obj = Make();
        ASSERT_NE(obj, nullptr);
        obj->SetAnchor(100, 50);
        CComPtr<IUnknown> unknown;
        ASSERT_EQ(CreatePathMotion(&unknown), S_OK);
        unknown->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&create));
        ASSERT_TRUE(create);
        ASSERT_EQ(create->Attach(static_cast<IObjectBase*>(obj)), S_OK);
        motion = static_cast<CPathMotion*>(static_cast<IAbilityCreate*>(create));
        proc = procs.last;
    }
    HRESULT Load(const PathMotionRecord& record) {
        return create->LoadOwn(MemStreamOf(WritePathMotionRecord(record)));
    }
    // Starts at clock 0, then ticks once at each time.
    void Run(const std::vector<DWORD>& times) {
        site.clock = 0;
        ASSERT_EQ(motion->Start(), S_OK);
        for (DWORD t : times) {
            site.clock = t;
            motion->OnClock();
        }
    }
    POINT Pos() { return POINT{obj->GetXCenter() - 100, obj->GetYCenter() - 50}; }
    std::vector<DISPID> Events() {
        std::vector<DISPID> ids;
        for (const auto& c : proc->calls) ids.push_back(c.id);
        return ids;
    }

    CComObject<SolidObject>* obj = nullptr;
    CComPtr<IAbilityCreate> create;
    CPathMotion* motion = nullptr;
    CComObject<TestEventProc>* proc = nullptr;
};

TEST_F(PathMotionTest, NewAbilityDefaultsAndTheirRecord) {
    EXPECT_EQ(motion->m_timeLimit, 10000);
    EXPECT_EQ(motion->m_startAngle, 0);
    EXPECT_EQ(motion->m_passCount, 1);
    EXPECT_EQ(motion->m_dragFlags, 0);
    EXPECT_EQ(motion->m_motionFlags, 3u);
    EXPECT_EQ(motion->m_dragIndex, -1);
    EXPECT_EQ(motion->GetStartCode(), 1200);
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(create->SaveOwn(s), S_OK);
    PathMotionRecord expected;
    expected.motionFlags = 3;
    expected.timeLimit = 10000;
    EXPECT_EQ(ContentBytes(s), WritePathMotionRecord(expected));
    // Its procedure serves its own events only.
    EXPECT_EQ(procs.types.back(), 1);
}

TEST_F(PathMotionTest, ShapesBecomeBezierChains) {
    MotionPathRecord ellipse;
    ellipse.kind = GRAPH_ELLIPSE;
    ellipse.bounds[2] = 200;
    ellipse.bounds[3] = 100;
    ellipse.points = {{0, 0}, {200, 100}};
    MotionPathRecord rect = ellipse, round = ellipse, poly = ellipse;
    rect.kind = GRAPH_RECT;
    round.kind = GRAPH_ROUNDRECT;
    poly.kind = GRAPH_POLYLINE;
    poly.flags = 0x14;  // closed
    poly.points = {{0, 0}, {90, 0}, {90, 60}};
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000), ellipse, rect, round, poly};
    ASSERT_EQ(Load(r), S_OK);
    ASSERT_EQ(motion->RebuildPaths(), S_OK);
    const auto& w = motion->m_working;
    ASSERT_EQ(w.size(), 5u);
    for (const auto& p : w) EXPECT_EQ(p.kind, GRAPH_BEZIER);
    const std::vector<POINT>& line = w[0].points;
    ASSERT_EQ(line.size(), 4u);
    const LONG xs[4] = {0, 100, 200, 300};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(line[(size_t)i].x, xs[i]);
        EXPECT_EQ(line[(size_t)i].y, 0);
    }
    EXPECT_EQ(w[1].points.size(), 25u);
    EXPECT_EQ(w[1].points[0].x, 200);  // angle 0: the right end, half way down
    EXPECT_EQ(w[1].points[0].y, 50);
    EXPECT_EQ(w[1].points[6].y, 0);  // 90 degrees: the top
    EXPECT_EQ(w[2].points.size(), 13u);
    EXPECT_EQ(w[3].points.size(), 25u);
    EXPECT_EQ(w[3].points.front().x, w[3].points.back().x);
    EXPECT_EQ(w[3].points.front().y, w[3].points.back().y);
    EXPECT_EQ(w[4].points.size(), 10u);  // 3 * 3 control points and the first again
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(w[(size_t)i].Closed()) << i;
    EXPECT_NEAR(motion->PathLength(0), 300, 0.01);
    EXPECT_NEAR(motion->PathLength(2), 600, 0.01);
    // A rounded rectangle is shorter than its bounds' outline.
    EXPECT_LT(motion->PathLength(3), 600);
    EXPECT_GT(motion->PathLength(3), 450);
}

TEST_F(PathMotionTest, PointsAreRelativeToTheFirstPathsStart) {
    PathMotionRecord r;
    r.paths = {Line({40, 30}, {340, 30}, 1000), Line({340, 30}, {340, 130}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    ASSERT_EQ(motion->RebuildPaths(), S_OK);
    EXPECT_EQ(motion->m_working[1].points[0].x, 300);
    EXPECT_EQ(motion->m_working[1].points[3].y, 100);
    // Saving writes them so as well.
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(create->SaveOwn(s), S_OK);
    r.paths = {Line({0, 0}, {300, 0}, 1000), Line({300, 0}, {300, 100}, 1000)};
    EXPECT_EQ(ContentBytes(s), WritePathMotionRecord(r));
}

struct MotionCase {
    const char* name;
    DWORD flags;
    std::vector<MotionPathRecord> paths;
    std::vector<DWORD> ticks;
    POINT expected;
};

TEST_F(PathMotionTest, PositionsAgainstTheClock) {
    MotionPathRecord slow = Line({0, 0}, {300, 0}, 1000);
    for (int i = 0; i <= 10; ++i) slow.curve[i] = i <= 5 ? 0 : (i - 5) * 2000;
    MotionPathRecord still = Line({5, 5}, {5, 5}, 1000);
    const std::vector<MotionCase> cases = {
        {"uniform speed, half way", 1, {Line({0, 0}, {300, 0}, 1000)}, {500}, {150, 0}},
        {"all durations zero never move", 1, {Line({0, 0}, {300, 0}, 0)}, {0, 500, 1500}, {0, 0}},
        {"inside a delay the start holds", 1, {Line({0, 0}, {300, 0}, 1000, 1000)}, {900}, {0, 0}},
        {"after the delay it moves", 1, {Line({0, 0}, {300, 0}, 1000, 1000)}, {1500}, {150, 0}},
        {"direction 0 runs from the end",
         1,
         {[] {
             MotionPathRecord m = Line({0, 0}, {300, 0}, 1000);
             m.direction = 0;
             return m;
         }()},
         {250},
         {225, 0}},
        {"repeat starts over", 1, {Line({0, 0}, {300, 0}, 1000)}, {900, 1250}, {75, 0}},
        {"repeat and alternate run back", 9, {Line({0, 0}, {300, 0}, 1000)}, {900, 1250}, {225, 0}},
        {"second path",
         1,
         {Line({0, 0}, {300, 0}, 1000), Line({300, 0}, {300, 200}, 1000)},
         {1500},
         {300, 100}},
        {"a slot of no duration is run through",
         1,
         {Line({0, 0}, {300, 0}, 0), Line({300, 0}, {300, 200}, 1000)},
         {0},
         {300, 0}},
        {"the speed curve shapes the way", 1, {slow}, {500, 750}, {150, 0}},
        {"coinciding points sit at the start", 1, {still}, {500}, {0, 0}},
        {"no automatic motion", 3, {Line({0, 0}, {300, 0}, 1000)}, {500}, {0, 0}},
    };
    for (const MotionCase& c : cases) {
        SCOPED_TRACE(c.name);
        obj->SetAnchor(100, 50);
        PathMotionRecord r;
        r.motionFlags = c.flags;
        r.paths = c.paths;
        ASSERT_EQ(Load(r), S_OK);
        site.clock = 0;
        ASSERT_EQ(motion->Start(), S_OK);
        for (DWORD t : c.ticks) {
            site.clock = t;
            motion->OnClock();
        }
        // Positions are cut towards zero.
        EXPECT_NEAR(Pos().x, c.expected.x, 1);
        EXPECT_NEAR(Pos().y, c.expected.y, 1);
        motion->Stop();
    }
}

TEST_F(PathMotionTest, PassChangeFiresReloopBeforeChangeCurve) {
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000), Line({300, 0}, {0, 0}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    Run({500, 1500, 2500});
    ASSERT_EQ(Events(), (std::vector<DISPID>{2300, 2305, 2304, 2305}));
    EXPECT_EQ(proc->calls[1].values, (std::vector<LONG>{2}));  // the second path
    EXPECT_EQ(proc->calls[2].values, (std::vector<LONG>{2}));  // pass 2
    EXPECT_EQ(proc->calls[2].types, (std::vector<VARTYPE>{VT_INT}));
    EXPECT_EQ(proc->calls[3].values, (std::vector<LONG>{1}));
    // Back on the first path, half way along it.
    EXPECT_NEAR(Pos().x, 150, 1);
    long x = 0, y = 0;
    motion->GetCurPos(&x, &y);
    EXPECT_EQ(x, Pos().x);
}

TEST_F(PathMotionTest, RollModes) {
    struct Case {
        const char* name;
        int mode, angle;
        POINT to;
        LONG expected;
    } cases[] = {
        {"following a rightward tangent", 1, 0, {300, 0}, -18000},
        {"following a downward tangent", 1, 0, {0, 300}, -27000},
        {"steady turn, half way", 2, 90, {300, 0}, 4500},
        {"steady turn over 400 degrees is reduced", 2, 800, {300, 0}, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        obj->SetAngle(0);
        MotionPathRecord m = Line({0, 0}, c.to, 1000);
        m.rollMode = c.mode;
        m.rollAngle = c.angle;
        PathMotionRecord r;
        r.paths = {m};
        ASSERT_EQ(Load(r), S_OK);
        DrawSite site0;
        site.clock = 0;
        ASSERT_EQ(motion->Start(), S_OK);
        ASSERT_EQ(motion->GetDrawSite(500, &site0), S_OK);
        EXPECT_EQ(site0.angle, c.expected);
        motion->Stop();
    }
    // The object turns by the change.
    obj->SetAngle(0);
    MotionPathRecord m = Line({0, 0}, {300, 0}, 1000);
    m.rollMode = 2;
    m.rollAngle = 90;
    PathMotionRecord r;
    r.paths = {m};
    ASSERT_EQ(Load(r), S_OK);
    Run({500});
    EXPECT_EQ(obj->GetAngle(), 4500);
}

TEST_F(PathMotionTest, BoundedRuns) {
    struct Case {
        const char* name;
        WORD passes;
        LONG limit;
        std::vector<DWORD> ticks;
        bool ended;
        POINT at;
    } cases[] = {
        {"two passes, still running", 2, 0, {1500}, false, {150, 0}},
        {"two passes, past them", 2, 0, {2100}, true, {300, 0}},
        {"pass count and limit 0 end at once", 0, 0, {10}, true, {300, 0}},
        {"a limit ends it where it is", 1, 700, {500, 800}, true, {150, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        obj->SetAnchor(100, 50);
        proc->calls.clear();
        PathMotionRecord r;
        r.motionFlags = 5;  // repeat, bounded
        r.passCount = c.passes;
        r.timeLimit = c.limit;
        r.paths = {Line({0, 0}, {300, 0}, 1000)};
        ASSERT_EQ(Load(r), S_OK);
        Run(c.ticks);
        EXPECT_EQ(motion->GetState() == ABILITY_STOPPED, c.ended);
        EXPECT_EQ(Events().back() == 2301, c.ended);
        EXPECT_NEAR(Pos().x, c.at.x, 1);
        motion->Stop();
    }
}

TEST_F(PathMotionTest, TimeCount) {
    long n = 5;
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000, 200), Line({300, 0}, {0, 0}, 800)};
    ASSERT_EQ(Load(r), S_OK);
    ASSERT_EQ(motion->get_TimeCount(&n), S_OK);
    EXPECT_EQ(n, 0);  // before the first start
    Run({});
    motion->get_TimeCount(&n);
    EXPECT_EQ(n, -1);  // repeating without bound
    r.motionFlags = 5;
    r.passCount = 3;
    ASSERT_EQ(Load(r), S_OK);
    motion->get_TimeCount(&n);
    EXPECT_EQ(n, 6000);
    r.timeLimit = 2500;
    ASSERT_EQ(Load(r), S_OK);
    motion->get_TimeCount(&n);
    EXPECT_EQ(n, 2500);
    r.motionFlags = 0;
    ASSERT_EQ(Load(r), S_OK);
    motion->get_TimeCount(&n);
    EXPECT_EQ(n, 2000);
    motion->get_CurveCount(&n);
    EXPECT_EQ(n, 2);
}

TEST_F(PathMotionTest, ObjectExitEndsARunningMotion) {
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    CComPtr<IEventListener> listener;
    create->QueryInterface(__uuidof(IEventListener), reinterpret_cast<void**>(&listener));
    ASSERT_TRUE(listener);
    listener->OnEvent(EVT_OBJECTEXIT, 0, 0);
    EXPECT_TRUE(Events().empty());             // not running: nothing to end
    listener->OnEvent(EVT_OBJECTENTER, 0, 0);  // the start code
    EXPECT_EQ(motion->GetState(), ABILITY_RUNNING);
    motion->Pause();
    motion->Resume();
    listener->OnEvent(EVT_OBJECTEXIT, 0, 0);
    EXPECT_EQ(motion->GetState(), ABILITY_STOPPED);
    EXPECT_EQ(Events(), (std::vector<DISPID>{2300, 2302, 2303, 2301}));
}

TEST_F(PathMotionTest, RecordWithoutMarkerHasNoDragFields) {
    PathMotionRecord r;
    r.marker = false;
    r.passCount = 4;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    r.dragFlags = 0x105;  // not written without the marker
    std::vector<uint8_t> bytes = WritePathMotionRecord(r);
    RecordBytes next;
    next.U32(0xC0FFEE01);
    bytes.insert(bytes.end(), next.bytes.begin(), next.bytes.end());
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    motion->m_dragFlags = 0x105;
    ASSERT_EQ(create->LoadOwn(s), S_OK);
    EXPECT_EQ(motion->m_dragFlags, 0);
    EXPECT_EQ(motion->m_dragPath, -1);
    EXPECT_EQ(motion->m_passCount, 4);
    DWORD sentinel = 0;
    ASSERT_TRUE(StreamReadValue(s.p, &sentinel));
    EXPECT_EQ(sentinel, 0xC0FFEE01u);
}

TEST_F(PathMotionTest, StartAngleIsReadAsZero) {
    PathMotionRecord r;
    r.startAngle = 4500;
    r.dragFlags = 0x105;
    r.dragPath = 0;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    EXPECT_EQ(motion->m_startAngle, 0);
    EXPECT_EQ(motion->m_dragFlags, 0x105);
    EXPECT_EQ(motion->m_dragPath, 0);
    CComPtr<ITeskStream> s = NewMemStream();
    create->SaveOwn(s);
    r.startAngle = 0;
    EXPECT_EQ(ContentBytes(s), WritePathMotionRecord(r));
}

TEST_F(PathMotionTest, DamagedRecordsAreRefusedWhole) {
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000), Line({300, 0}, {0, 0}, 1000)};
    r.dragFlags = 1;
    const std::vector<uint8_t> good = WritePathMotionRecord(r);
    // Every cut short of the whole record is refused, the ability untouched.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + (long)cut);
        EXPECT_TRUE(FAILED(create->LoadOwn(MemStreamOf(bytes)))) << cut;
        EXPECT_TRUE(motion->m_loaded.empty()) << cut;
    }
    // Counts that the stream cannot hold.
    // 8 reserved, flags, two codes, pass word, angle, limit: the count at 32;
    // the first path's kind, corner, value B, bounds, flags, value C and
    // motion block: its point count at 36 + 100.
    const size_t pathCount = 32, firstPoints = 136;
    struct Case {
        const char* name;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"path count huge", pathCount, 0x7FFFFFFF},
        {"path count negative", pathCount, 0x80000000},
        {"path count one too many", pathCount, 3},
        {"point count huge", firstPoints, 0x20000000},
        {"point count negative", firstPoints, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i) bytes[c.offset + (size_t)i] = (uint8_t)(c.value >> (8 * i));
        EXPECT_TRUE(FAILED(create->LoadOwn(MemStreamOf(bytes)))) << c.name;
        EXPECT_TRUE(motion->m_loaded.empty()) << c.name;
    }
    EXPECT_EQ(create->LoadOwn(MemStreamOf(good)), S_OK);
    EXPECT_EQ(motion->m_loaded.size(), 2u);
}

TEST(PathGeometryTest, DragPathEndsWithinSixUnitsWrap) {
    struct Case {
        LONG gap;
        int expected;
    } cases[] = {{6, 3}, {7, 0}};
    for (const Case& c : cases) {
        // A square's three sides, the last point `gap` units from the first.
        std::vector<POINT> pts = {{0, 0}, {0, 50}, {50, 50}, {50, 0}, {c.gap, 0}};
        for (POINT& p : pts) {
            p.x *= 256;
            p.y *= 256;
        }
        EXPECT_EQ(PathGeometry::NearestDragPoint(pts, 0, POINT{40 * 256, 0}), c.expected) << c.gap;
    }
}

TEST(PathGeometryTest, NearestDragPointWalksWhileNearer) {
    std::vector<POINT> pts;
    for (int i = 0; i <= 10; ++i) pts.push_back(POINT{i * 10 * 256, 0});
    struct Case {
        int from;
        POINT p;
        int expected;
    } cases[] = {
        {0, {73, 5}, 7},
        {10, {22, -5}, 2},
        {-1, {0, 0}, 0},   // no current point: from the first
        {5, {50, 40}, 5},  // already the nearest
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathGeometry::NearestDragPoint(pts, c.from, POINT{c.p.x * 256, c.p.y * 256}),
                  c.expected)
            << c.from;
    EXPECT_EQ(PathGeometry::NearestDragPoint({}, 0, POINT{0, 0}), -1);
}

TEST_F(PathMotionTest, DragModesHoldTheObjectToThePath) {
    PathMotionRecord r;
    r.motionFlags = 3;
    r.dragFlags = 1 | 4;  // along the drag points
    r.dragPath = 0;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    Run({});
    ASSERT_FALSE(motion->m_dragPoints.empty());
    EXPECT_EQ(motion->m_dragIndex, 0);
    EXPECT_EQ(motion->m_dragPoints[0].x, 100 * 256);  // the owner's position added
    CComPtr<IDragControl> drag;
    create->QueryInterface(__uuidof(IDragControl), reinterpret_cast<void**>(&drag));
    ASSERT_TRUE(drag);
    EXPECT_EQ(drag->GetFlags(), 5);
    EXPECT_EQ(drag->BeginDrag(), S_OK);
    CComPtr<IEventListener> listener;
    create->QueryInterface(__uuidof(IEventListener), reinterpret_cast<void**>(&listener));
    // Pointer from (100, 50) to (220, 90): the nearest point on the line.
    DragRecord record = {0, 220, 90, 100, 50, 100, 50};
    listener->OnEvent(1119, 0, (DWORD_PTR)&record);
    EXPECT_NEAR(obj->GetXCenter(), 220, 3);
    EXPECT_EQ(obj->GetYCenter(), 50);
    // Free dragging follows the pointer.
    motion->m_dragFlags = 1;
    listener->OnEvent(1119, 0, (DWORD_PTR)&record);
    EXPECT_EQ(obj->GetXCenter(), 220);
    EXPECT_EQ(obj->GetYCenter(), 90);
}

TEST_F(PathMotionTest, ShownPathsHaveBoundsAndDraw) {
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    r.paths[0].lineWidth = 4;
    ASSERT_EQ(Load(r), S_OK);
    ASSERT_NE(motion->m_frame, nullptr);
    EXPECT_EQ(motion->m_frame->GetCount(), 1);
    Run({});
    RECT b;
    motion->GetBounds(&b);
    EXPECT_TRUE(IsRectEmpty(&b));  // not shown
    motion->SetShowPaths(TRUE);
    EXPECT_TRUE(motion->GetShowPaths());
    obj->SetVisible(TRUE);
    obj->Enter();
    motion->GetBounds(&b);
    // The line, inflated by half its width and 10, at the owner's place.
    EXPECT_EQ(b.left, 100 - 12);
    EXPECT_EQ(b.right, 400 + 12);
    EXPECT_EQ(b.top, 50 - 12);
    // Drawn onto a device context along the line.
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 500, -100, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all = {0, 0, 500, 100};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(motion->DrawPathsOn(dc), S_OK);
    EXPECT_NE(GetPixel(dc, 250, 50) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(GetPixel(dc, 250, 80) & 0xFFFFFF, 0xFFFFFFu);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

TEST_F(PathMotionTest, ScriptsReachTheMembersByName) {
    PathMotionRecord r;
    r.paths = {Line({0, 0}, {300, 0}, 1000)};
    ASSERT_EQ(Load(r), S_OK);
    CComPtr<IDispatch> disp;
    create->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    ASSERT_TRUE(disp);
    LPOLESTR name = const_cast<LPOLESTR>(L"CurveCount");
    DISPID id = -1;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.lVal, 1);
    CComPtr<ISupportErrorInfo> errors;
    create->QueryInterface(__uuidof(ISupportErrorInfo), reinterpret_cast<void**>(&errors));
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(__uuidof(IPathAnimateDispAbl)), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

}  // namespace
