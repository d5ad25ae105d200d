#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorFixtures.h"
#include "VectorRecords.h"
#include "aGrphMta.h"
#include "bFillShd.h"
#include "bLinStyl.h"

namespace {

std::unique_ptr<CGraphMeta> Shape(int kind, std::initializer_list<POINT> points) {
    std::unique_ptr<CGraphMeta> m(new CGraphMeta(nullptr));
    m->SetKind(kind);
    for (const POINT& p : points) m->AddPoint(p.x, p.y);
    m->FinishShape();
    return m;
}

std::vector<uint8_t> SavedBy(std::function<void(ITeskStream*)> save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s);
    return ContentBytes(s);
}

}  // namespace

TEST(GraphMeta, HandlesTruncateTowardZero) {
    const struct {
        RECT bounds;
        int index;
        POINT at;
    } cases[] = {{{0, 0, 7, 7}, 3, {7, 3}},    {{-7, -7, 0, 0}, 7, {-7, -3}},
                 {{0, 0, 7, 7}, 0, {0, 0}},    {{0, 0, 7, 7}, 1, {3, 0}},
                 {{0, 0, 7, 7}, 4, {7, 7}},    {{-7, -7, 0, 0}, 5, {-3, 0}},
                 {{-7, -7, 0, 0}, 6, {-7, 0}}, {{-7, -7, 0, 0}, 2, {0, -7}}};
    for (const auto& c : cases) {
        auto m =
            Shape(GRAPH_RECT, {{c.bounds.left, c.bounds.top}, {c.bounds.right, c.bounds.bottom}});
        POINT p = {99, 99};
        ASSERT_EQ(m->GetPointAt(&p, 0, c.index), S_OK);
        EXPECT_EQ(p.x, c.at.x) << c.index;
        EXPECT_EQ(p.y, c.at.y) << c.index;
    }
    auto m = Shape(GRAPH_RECT, {{0, 0}, {7, 7}});
    POINT p;
    EXPECT_EQ(m->GetPointAt(&p, 0, 8), E_INVALIDARG);
}

TEST(GraphMeta, FinishShapeFixesClosingAndBounds) {
    // Squared distance 5 closes and drops the last point; 8 stays open.
    auto closing = Shape(GRAPH_POLYLINE, {{0, 0}, {50, 0}, {50, 50}, {2, 1}});
    EXPECT_TRUE(closing->IsClosed());
    EXPECT_EQ(closing->GetCount(), 3);
    auto open = Shape(GRAPH_POLYLINE, {{0, 0}, {50, 0}, {50, 50}, {2, 2}});
    EXPECT_FALSE(open->IsClosed());
    EXPECT_EQ(open->GetCount(), 4);
    EXPECT_EQ(open->Bounds().right, 50);

    std::unique_ptr<CGraphMeta> line(new CGraphMeta(nullptr));
    line->SetKind(GRAPH_LINE);
    line->AddPoint(0, 0);
    line->AddPoint(0, 1);
    line->SetFlags(META_CLOSED | META_EDIT0 | META_EDIT3 | META_HIDDEN);
    line->SetEditValue(5);
    line->FinishShape();
    EXPECT_EQ(line->GetFlags(), META_HIDDEN);
    EXPECT_EQ(line->GetEditValue(), 0);

    auto ellipse = Shape(GRAPH_ELLIPSE, {{0, 0}, {10, 10}});
    EXPECT_TRUE(ellipse->IsClosed());
    EXPECT_TRUE(ellipse->IsClosedShape());
}

TEST(GraphMeta, ShapeWithoutPointsNeitherMovesNorReports) {
    CGraphMeta m(nullptr);
    m.SetKind(GRAPH_POLYLINE);
    m.FinishShape();
    RECT b = {1, 1, 1, 1};
    m.GetBoundRect(&b);
    EXPECT_TRUE(b.left == 0 && b.top == 0 && b.right == 0 && b.bottom == 0);
    POINT pos = {7, 7};
    EXPECT_EQ(m.GetPos(&pos), S_OK);
    EXPECT_EQ(pos.x, 7);
    EXPECT_EQ(m.SetPosX(3), E_FAIL);
    EXPECT_EQ(m.SetPosY(3), E_FAIL);
    {
        LogCapture log;
        EXPECT_EQ(m.SetPointAt(0, POINT{1, 1}), E_INVALIDARG);
        EXPECT_TRUE(Logged(log.Text(), "invalid parameters,nIndex is 0."));
    }
    // One point: no region and no curve bounds.
    m.AddPoint(5, 5);
    m.SetClosed(true);
    WhiteSurface s(10, 10);
    EXPECT_EQ(m.CreateRegion(s.dc(), nullptr), nullptr);
    m.SetKind(GRAPH_BEZIER);
    EXPECT_EQ(m.CalcBoundRect(), S_OK);
    EXPECT_EQ(m.SetPointAt(0, POINT{6, 4}), S_OK);
    EXPECT_EQ(m.Bounds().left, 6);

    auto moved = Shape(GRAPH_POLYLINE, {{10, 20}, {30, 40}});
    ASSERT_EQ(moved->SetPosX(0), S_OK);
    ASSERT_EQ(moved->SetPosY(0), S_OK);
    EXPECT_EQ(moved->Bounds().right, 20);
    EXPECT_EQ(moved->Bounds().bottom, 20);
}

TEST(GraphMeta, OutlineToleranceFollowsTheEffectiveWidth) {
    const struct {
        int type, width, reach;
    } cases[] = {{LINE_SOLID, 1, 4}, {LINE_SOLID, 10, 9}, {LINE_DOUBLE, 10, 14}};
    for (const auto& c : cases) {
        auto line = Shape(GRAPH_LINE, {{0, 0}, {100, 0}});
        line->SetLineType(c.type);
        line->SetLineWidth((WORD)c.width);
        EXPECT_TRUE(line->HitTestOutline(nullptr, POINT{50, c.reach})) << c.width;
        EXPECT_FALSE(line->HitTestOutline(nullptr, POINT{50, c.reach + 1})) << c.width;
        // The same reach holds for the sides of a rectangle.
        auto rect = Shape(GRAPH_RECT, {{0, 0}, {100, 100}});
        rect->SetLineType(c.type);
        rect->SetLineWidth((WORD)c.width);
        EXPECT_TRUE(rect->HitTestOutline(nullptr, POINT{100 + c.reach, 50})) << c.width;
        EXPECT_FALSE(rect->HitTestOutline(nullptr, POINT{100 + c.reach + 1, 50})) << c.width;
    }
}

TEST(GraphMeta, HitTestsAreaHandlesAndOutline) {
    auto rect = Shape(GRAPH_RECT, {{0, 0}, {100, 100}});
    EXPECT_EQ(rect->HitTest(nullptr, POINT{50, 50}, 2), 1);  // inside
    EXPECT_EQ(rect->HitTest(nullptr, POINT{50, 50}, 1), 0);  // handles only
    EXPECT_EQ(rect->HitTest(nullptr, POINT{53, 3}, 1), 1);   // handle 1 at (50, 0)
    EXPECT_EQ(rect->HitTest(nullptr, POINT{150, 50}, 0), 0);
    EXPECT_EQ(rect->HitTest(nullptr, POINT{50, 50}, 3), 0);
    int index = 5;
    EXPECT_EQ(rect->HitTestHandle(POINT{104, 96}, &index), 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(rect->HitTestHandle(POINT{50, 50}, &index), 0);
    EXPECT_EQ(index, -1);

    // An unfilled shape whose owner ignores unfilled areas is hit on its
    // outline only.
    FakeOwner owner;
    owner.ignoreUnfilled = TRUE;
    CGraphMeta tri(&owner);
    tri.SetKind(GRAPH_POLYLINE);
    for (POINT p : {POINT{0, 0}, POINT{100, 0}, POINT{0, 100}, POINT{1, 1}}) tri.AddPoint(p.x, p.y);
    tri.FinishShape();
    ASSERT_TRUE(tri.IsClosed());
    EXPECT_EQ(tri.HitTest(nullptr, POINT{20, 20}, 2), 0);
    EXPECT_EQ(tri.HitTest(nullptr, POINT{50, 50}, 2), 1);  // on the closing side
    tri.SetFillMode(FILLMODE_FILL);
    EXPECT_EQ(tri.HitTest(nullptr, POINT{20, 20}, 2), 1);
    EXPECT_EQ(tri.HitTest(nullptr, POINT{80, 80}, 2), 0);
}

TEST(GraphMeta, RecordFieldByFieldRoundTripAndCopies) {
    auto m = Shape(GRAPH_BEZIER, {{0, 0}, {40, 40}, {80, 0}});
    m->SetFillMode(FILLMODE_FILL);
    m->SetColor(RGB(10, 20, 30));
    m->SetLineWidth(3);
    m->SetMode(3);
    m->SetMetaId(12);
    m->Motion().values[3] = 4500;
    const std::vector<uint8_t> saved = SavedBy([&](ITeskStream* s) { m->Save(s); });

    // What the record holds, part by part.
    CComPtr<FillObject> fill;
    fill.Attach(CreateFillObject());
    fill->SetMode(FILLMODE_FILL);
    void* params = nullptr;
    fill->GetFillParams(&params);
    static_cast<ISolidFillParams*>(params)->SetColor(RGB(10, 20, 30));
    CComPtr<LineStyleObject> line;
    line.Attach(CreateLineStyObj());
    line->SetWidth(3);
    const RECT& b = m->Bounds();
    RecordWriter w;
    w.Bytes(PathRecord(GRAPH_BEZIER, 0, 0, {{0, 0}, {40, 40}, {80, 0}}))
        .Bytes(SavedBy([&](ITeskStream* s) { fill->Save(s); }))
        .Bytes(SavedBy([&](ITeskStream* s) { line->Save(s); }))
        .I32(3)  // ink mode
        .I32(0)  // state: open
        .I32(1)  // base value
        .I32(b.left)
        .I32(b.top)
        .I32(b.right)
        .I32(b.bottom)
        .I32(0)   // text flag 1
        .I32(0)   // text flag 2
        .I32(12)  // meta id
        .I32(0)   // selection
        .I32(0)
        .I32(0)
        .I32(0)                                     // roll mode, roll angle, delay
        .I32(4500)                                  // duration
        .I32(1);                                    // direction
    for (int i = 0; i <= 10; ++i) w.I32(i * 1000);  // speed curve
    EXPECT_EQ(saved, w.Get());
    // The curve's bounds reach above its middle point.
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.right, 80);
    EXPECT_GE(b.bottom, 40);

    CGraphMeta back(nullptr);
    CComPtr<ITeskStream> in = MemStreamOf(saved);
    ASSERT_EQ(back.Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), saved.size());
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { back.Save(s); }), saved);

    CMetaBase* clone = nullptr;
    ASSERT_EQ(m->Clone(&clone), S_OK);
    std::unique_ptr<CMetaBase> owned(clone);
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { static_cast<CGraphMeta*>(clone)->Save(s); }), saved);

    for (size_t n = 0; n < saved.size(); n += (n < 40 ? 1 : 5)) {
        CGraphMeta cut(nullptr);
        cut.SetKind(GRAPH_RECT);
        EXPECT_EQ(cut.Load(MemStreamOf(Cut(saved, n))), E_FAIL) << n;
        EXPECT_EQ(cut.GetKind(), GRAPH_RECT);
        EXPECT_EQ(cut.GetCount(), 0);
    }
}

TEST(GraphMeta, GeometryRecordCarriesTheLineModeOnlyWithBit4) {
    CComPtr<LineStyleObject> line;
    line.Attach(CreateLineStyObj());
    line->SetWidth(9);
    const std::vector<uint8_t> lineMode = SavedBy([&](ITeskStream* s) { line->Save(s); });
    for (bool withLine : {false, true}) {
        RecordWriter w;
        w.I32(GRAPH_POLYLINE)  // kind
            .I32(0)            // corner percent
            .I32(4)            // meta id
            .I32(0)
            .I32(0)
            .I32(0)
            .I32(0)                                             // bounds, recomputed
            .I32(withLine ? 0x10 : 0)                           // state flags
            .I32(1);                                            // base value
        for (int i = 0; i < 16; ++i) w.I32(i == 3 ? 2000 : 0);  // motion block
        w.I32(2).I32(-5).I32(6).I32(15).I32(26);                // two points
        if (withLine)
            w.Bytes(lineMode);
        std::vector<uint8_t> bytes = w.Get();
        bytes.push_back(0xAB);  // whatever follows
        CGraphMeta m(nullptr);
        CComPtr<ITeskStream> in = MemStreamOf(bytes);
        ASSERT_EQ(m.LoadGeometry(in), S_OK) << withLine;
        EXPECT_EQ(in->GetPosition(), bytes.size() - 1) << withLine;
        EXPECT_EQ(m.GetEffectiveWidth(), withLine ? 9 : 1);
        EXPECT_EQ(m.Motion().values[3], 2000);
        EXPECT_EQ(m.GetMetaId(), 4);
        EXPECT_EQ(m.Bounds().left, -5);
        EXPECT_EQ(m.Bounds().bottom, 26);
        // Short copies are refused.
        for (size_t n = 0; n + 1 < bytes.size(); n += 3) {
            CGraphMeta cut(nullptr);
            EXPECT_EQ(cut.LoadGeometry(MemStreamOf(Cut(bytes, n))), E_FAIL) << n;
            EXPECT_EQ(cut.GetKind(), GRAPH_NONE);
        }
    }
}

TEST(GraphMeta, DrawsThroughItsFrameAndIntoARectangle) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    CGraphMeta* m = new CGraphMeta(&owner);
    m->SetKind(GRAPH_RECT);
    m->AddPoint(-20, -20);
    m->AddPoint(20, 20);
    m->FinishShape();
    m->SetFillMode(FILLMODE_FILL);
    m->SetColor(RGB(255, 0, 0));
    m->SetMainColor(RGB(0, 0, 255));
    ASSERT_EQ(frame.AddMeta(m, METATYPE_GRAPH), S_OK);
    WhiteSurface s(200, 200);
    ASSERT_EQ(frame.DrawAll(s.dc()), S_OK);
    EXPECT_EQ(s.At(100, 100), RGB(255, 0, 0));
    EXPECT_EQ(s.At(80, 100), RGB(0, 0, 255));
    EXPECT_EQ(s.At(70, 100), RGB(255, 255, 255));
    EXPECT_EQ(s.At(130, 100), RGB(255, 255, 255));

    // Fitted: the reference rectangle of 40 drawn into 80 doubles it.
    WhiteSurface t(200, 200);
    m->SetReferenceRect(RECT{0, 0, 40, 40});
    const RECT fit = {0, 0, 80, 80};
    ASSERT_EQ(m->DrawInRect(t.dc(), &fit), S_OK);
    EXPECT_EQ(t.At(40, 40), RGB(255, 0, 0));
    EXPECT_EQ(t.At(0, 40), RGB(0, 0, 255));
    EXPECT_EQ(t.At(90, 40), RGB(255, 255, 255));

    // Hidden shapes draw nothing.
    WhiteSurface u(200, 200);
    m->SetHidden(true);
    frame.DrawAll(u.dc());
    EXPECT_EQ(u.At(100, 100), RGB(255, 255, 255));
}
