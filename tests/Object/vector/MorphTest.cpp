#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "VectorFixtures.h"
#include "aGrphMta.h"
#include "aTxtMeta.h"
#include "aVecFrm.h"
#include "bLinStyl.h"

namespace {

typedef std::vector<POINT> Points;

Points PointsOf(const CGraphMeta* m) {
    return Points(m->GetData(), m->GetData() + m->GetCount());
}

::testing::AssertionResult Same(const Points& got, const Points& want) {
    std::string text;
    bool same = got.size() == want.size();
    for (size_t i = 0; i < got.size(); ++i) {
        text += "(" + std::to_string(got[i].x) + "," + std::to_string(got[i].y) + ")";
        if (i < want.size() && (got[i].x != want[i].x || got[i].y != want[i].y))
            same = false;
    }
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "points " << text;
}

CGraphMeta* Shape(IMetaEnv* env, int kind, const Points& points, bool closed = false, int id = 0) {
    CGraphMeta* m = new CGraphMeta(env);
    m->SetKind(kind);
    for (const POINT& p : points) m->AddPoint(p.x, p.y);
    m->SetClosed(closed);
    m->SetMetaId(id);
    m->CalcBoundRect();
    return m;
}

CGraphMeta* Rect(IMetaEnv* env, int l, int t, int r, int b, int id = 0) {
    return Shape(env, GRAPH_RECT, {{l, t}, {r, b}}, false, id);
}

// A frame of polylines: each given by its points; ids from 1 unless given.
void Fill(CVecFrame* frame, IMetaEnv* env, const std::vector<Points>& shapes, bool closed,
          std::vector<int> ids = {}) {
    for (size_t i = 0; i < shapes.size(); ++i)
        frame->AddMeta(
            Shape(env, GRAPH_POLYLINE, shapes[i], closed, ids.empty() ? (int)i + 1 : ids[i]),
            METATYPE_GRAPH);
}

const MorphMapping kMapping = {{1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f}};

}  // namespace

TEST(GraphConvert, CurvesBecomePolylinesAndBack) {
    FakeOwner env;
    // An ellipse as a Bezier: 24 closed points from the right end of the
    // horizontal axis towards smaller y.
    std::unique_ptr<CGraphMeta> e(Rect(&env, 0, 0, 200, 100));
    e->SetKind(GRAPH_ELLIPSE);
    ASSERT_EQ(e->Convert2Bezier(), S_OK);
    EXPECT_EQ(e->GetKind(), GRAPH_BEZIER);
    EXPECT_TRUE(e->IsClosed());
    const Points p = PointsOf(e.get());
    ASSERT_EQ(p.size(), 24u);
    EXPECT_TRUE(Same(Points(p.begin(), p.begin() + 2), {{200, 50}, {196, 37}}));
    EXPECT_EQ(p[6].x, 100);  // the top at 90 degrees
    EXPECT_EQ(p[6].y, 0);
    EXPECT_EQ(e->Convert2Bezier(), S_OK);  // already a curve: unchanged
    EXPECT_EQ(e->GetCount(), 24);

    // A rectangle: its four corners, closed.
    std::unique_ptr<CGraphMeta> r(Rect(&env, 10, 20, 110, 70));
    ASSERT_EQ(r->Convert2Polyline(), S_OK);
    EXPECT_EQ(r->GetKind(), GRAPH_POLYLINE);
    EXPECT_TRUE(r->IsClosed());
    EXPECT_TRUE(Same(PointsOf(r.get()), {{10, 20}, {110, 20}, {110, 70}, {10, 70}}));

    // An ellipse as a polyline: closed, every point on its outline.
    std::unique_ptr<CGraphMeta> o(Rect(&env, 0, 0, 200, 100));
    o->SetKind(GRAPH_ELLIPSE);
    ASSERT_EQ(o->Convert2Polyline(), S_OK);
    EXPECT_TRUE(o->IsClosed());
    ASSERT_GT(o->GetCount(), 16);
    for (const POINT& q : PointsOf(o.get())) {
        const double x = (q.x - 100) / 100.0, y = (q.y - 50) / 50.0;
        EXPECT_NEAR(x * x + y * y, 1.0, 0.05) << q.x << "," << q.y;
    }

    // A line only changes its kind; nothing for a shape without kind.
    std::unique_ptr<CGraphMeta> l(Shape(&env, GRAPH_LINE, {{0, 0}, {5, 5}}));
    EXPECT_EQ(l->Convert2Polyline(), S_OK);
    EXPECT_EQ(l->GetKind(), GRAPH_POLYLINE);
    EXPECT_TRUE(Same(PointsOf(l.get()), {{0, 0}, {5, 5}}));
    std::unique_ptr<CGraphMeta> none(Shape(&env, GRAPH_NONE, {{1, 1}}));
    EXPECT_EQ(none->Convert2Polyline(), S_OK);
    EXPECT_EQ(none->Convert2Bezier(), S_OK);
    EXPECT_EQ(none->GetKind(), GRAPH_NONE);

    // A rounded rectangle stays inside its bounds and keeps the corners off.
    std::unique_ptr<CGraphMeta> rr(Rect(&env, 0, 0, 100, 100));
    rr->SetKind(GRAPH_ROUNDRECT);
    rr->SetCornerPercent(40);
    ASSERT_EQ(rr->Convert2Polyline(), S_OK);
    for (const POINT& q : PointsOf(rr.get())) {
        EXPECT_TRUE(q.x >= 0 && q.x <= 100 && q.y >= 0 && q.y <= 100);
        EXPECT_FALSE(q.x == 0 && q.y == 0);
    }
}

TEST(GraphConvert, BezierSamplesTenPointsAPieceThenSimplifies) {
    Points out;
    const Points controls = {{0, 0}, {0, 300}, {300, 300}, {300, 0}};
    ASSERT_EQ(CGraphMeta::SampleBezier(controls.data(), 4, &out), S_OK);
    ASSERT_EQ(out.size(), 11u);
    EXPECT_TRUE(Same({out[0], out[5], out[10]}, {{0, 0}, {150, 225}, {300, 0}}));

    // A straight two-point curve: the 11 samples lie on its line, so only
    // the ends are left.
    FakeOwner env;
    std::unique_ptr<CGraphMeta> b(Shape(&env, GRAPH_BEZIER, {{0, 0}, {300, 0}}));
    ASSERT_EQ(b->Convert2Polyline(), S_OK);
    EXPECT_EQ(b->GetKind(), GRAPH_POLYLINE);
    EXPECT_TRUE(Same(PointsOf(b.get()), {{0, 0}, {300, 0}}));

    // A polyline as a Bezier: the chain through its points.
    std::unique_ptr<CGraphMeta> pl(Shape(&env, GRAPH_POLYLINE, {{0, 0}, {30, 0}, {30, 30}}));
    ASSERT_EQ(pl->Convert2Bezier(), S_OK);
    EXPECT_EQ(pl->GetKind(), GRAPH_BEZIER);
    EXPECT_TRUE(Same(PointsOf(pl.get()),
                     {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 10}, {30, 20}, {30, 30}}));
}

TEST(GraphConvert, SimplifyAndDuplicates) {
    FakeOwner env;
    const struct {
        const char* name;
        int kind;
        Points in;
        Points simplified;
        Points unique;
    } cases[] = {
        {"near and straight points go",
         GRAPH_POLYLINE,
         {{0, 0}, {1, 1}, {10, 0}, {20, 0}, {30, 5}},
         {{0, 0}, {20, 0}, {30, 5}},
         {{0, 0}, {1, 1}, {10, 0}, {20, 0}, {30, 5}}},
        {"repeats",
         GRAPH_POLYLINE,
         {{0, 0}, {0, 0}, {50, 50}, {50, 50}, {0, 100}},
         {{0, 0}, {50, 50}, {0, 100}},
         {{0, 0}, {50, 50}, {0, 100}}},
        {"two points are kept",
         GRAPH_POLYLINE,
         {{0, 0}, {0, 0}},
         {{0, 0}, {0, 0}},
         {{0, 0}, {0, 0}}},
        {"other kinds are left",
         GRAPH_BEZIER,
         {{0, 0}, {0, 0}, {1, 0}},
         {{0, 0}, {0, 0}, {1, 0}},
         {{0, 0}, {0, 0}, {1, 0}}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CGraphMeta> s(Shape(&env, c.kind, c.in));
        s->Simplify(2);
        EXPECT_TRUE(Same(PointsOf(s.get()), c.simplified)) << c.name;
        std::unique_ptr<CGraphMeta> u(Shape(&env, c.kind, c.in));
        u->RemoveDuplicates();
        EXPECT_TRUE(Same(PointsOf(u.get()), c.unique)) << c.name;
    }
}

TEST(GraphMorph, PartsOfAnOutline) {
    FakeOwner env;
    const Points square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const struct {
        const char* name;
        bool closed;
        int count;
        std::vector<Points> parts;
    } cases[] = {
        {"closed in 2", true, 2, {{{0, 0}, {10, 0}, {10, 10}}, {{10, 10}, {0, 10}, {0, 0}}}},
        {"closed in 3: the first longer",
         true,
         3,
         {{{0, 0}, {10, 0}, {10, 10}}, {{10, 10}, {0, 10}}, {{0, 10}, {0, 0}}}},
        {"closed in 6: a piece each, then the end point",
         true,
         6,
         {{{0, 0}, {10, 0}},
          {{10, 0}, {10, 10}},
          {{10, 10}, {0, 10}},
          {{0, 10}, {0, 0}},
          {{0, 0}},
          {{0, 0}}}},
        {"open in 4",
         false,
         4,
         {{{0, 0}, {10, 0}}, {{10, 0}, {10, 10}}, {{10, 10}, {0, 10}}, {{0, 10}}}},
        {"open in 1", false, 1, {square}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CGraphMeta> m(Shape(&env, GRAPH_POLYLINE, square, c.closed));
        m->SetCornerPercent(33);
        for (int j = 0; j < c.count; ++j) {
            std::unique_ptr<CGraphMeta> part(m->GetPart(c.count, j));
            ASSERT_TRUE(part) << c.name << j;
            EXPECT_TRUE(Same(PointsOf(part.get()), c.parts[(size_t)j])) << c.name << " part " << j;
            EXPECT_FALSE(part->IsClosed());
            EXPECT_EQ(part->GetEnv(), &env);
            EXPECT_EQ(part->GetCornerPercent(), 33) << "a copy of the shape's attributes";
        }
    }
    std::unique_ptr<CGraphMeta> m(Shape(&env, GRAPH_POLYLINE, square, true));
    std::unique_ptr<CGraphMeta> empty(Shape(&env, GRAPH_POLYLINE, {}, true));
    for (int count : {0, -1}) EXPECT_EQ(m->GetPart(count, 0), nullptr);
    EXPECT_EQ(m->GetPart(2, 2), nullptr);
    EXPECT_EQ(empty->GetPart(2, 0), nullptr);
}

TEST(GraphMorph, EqualizeSpreadsPointsOverSegments) {
    FakeOwner env;
    const struct {
        Points few;
        int target;
        Points want;
    } cases[] = {
        {{{0, 0}, {30, 0}, {30, 60}},
         7,
         {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 20}, {30, 40}, {30, 60}}},
        // 5 = 2 segments with 2 and 1 sub-steps: the first gets the extra.
        {{{0, 0}, {30, 0}, {30, 60}}, 4, {{0, 0}, {15, 0}, {30, 0}, {30, 60}}},
        {{{7, 8}}, 3, {{7, 8}, {7, 8}, {7, 8}}},
        {{{0, 0}, {-10, -10}}, 3, {{0, 0}, {-5, -5}, {-10, -10}}},
    };
    for (const auto& c : cases) {
        Points many((size_t)c.target, POINT{1, 1});
        std::unique_ptr<CGraphMeta> a(Shape(&env, GRAPH_POLYLINE, c.few, true));
        std::unique_ptr<CGraphMeta> b(Shape(&env, GRAPH_POLYLINE, many));
        ASSERT_EQ(CGraphMeta::EqualizePointCount(a.get(), b.get()), S_OK);
        EXPECT_TRUE(Same(PointsOf(a.get()), c.want));
        EXPECT_TRUE(a->IsClosed());
        EXPECT_TRUE(Same(PointsOf(b.get()), many));
        // Either order.
        std::unique_ptr<CGraphMeta> a2(Shape(&env, GRAPH_POLYLINE, c.few));
        std::unique_ptr<CGraphMeta> b2(Shape(&env, GRAPH_POLYLINE, many));
        CGraphMeta::EqualizePointCount(b2.get(), a2.get());
        EXPECT_TRUE(Same(PointsOf(a2.get()), c.want));
    }
    std::unique_ptr<CGraphMeta> a(Shape(&env, GRAPH_POLYLINE, {}));
    std::unique_ptr<CGraphMeta> b(Shape(&env, GRAPH_POLYLINE, {{1, 2}, {3, 4}}));
    EXPECT_EQ(CGraphMeta::EqualizePointCount(a.get(), b.get()), S_FALSE);
    EXPECT_EQ(a->GetCount(), 0);
    EXPECT_EQ(b->GetCount(), 2);
}

TEST(GraphMorph, AttributesBetweenOpenAndClosed) {
    FakeOwner env;
    const struct {
        bool aClosed, bClosed;
        float factor;
        bool closed;
    } cases[] = {
        {false, true, 0.4f, false}, {false, true, 0.5f, true}, {true, false, 0.4f, true},
        {true, false, 0.5f, false}, {true, true, 0.0f, true},  {false, false, 1.0f, false},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CGraphMeta> a(Shape(&env, GRAPH_POLYLINE, {{0, 0}, {9, 9}}, c.aClosed));
        std::unique_ptr<CGraphMeta> b(Shape(&env, GRAPH_POLYLINE, {{0, 0}, {9, 9}}, c.bClosed));
        CGraphMeta out(&env);
        out.SetHidden(true);
        out.SetEdit0(true);
        out.SetEdit3(true);
        out.SetSelection(2);
        out.SetBaseValue(4);
        out.AddPoint(3, 4);
        out.AddPoint(5, 7);
        CMetaBase::InterpolateAttributes(*a, *b, &out, c.factor);
        EXPECT_EQ(out.IsClosed(), c.closed) << c.aClosed << c.bClosed << c.factor;
        EXPECT_FALSE(out.IsHidden() || out.GetEdit0() || out.GetEdit3());
        EXPECT_EQ(out.GetSelection(), 0);
        EXPECT_EQ(out.GetBaseValue(), 1);
        EXPECT_EQ(out.Bounds().right, 5);
        EXPECT_EQ(out.Bounds().bottom, 7);
    }
}

TEST(GraphMorph, OutlinesTakeTheNearerShapesFlags) {
    FakeOwner env;
    // Widths blend; smoothing and gaps are the nearer shape's, never a new
    // shape's defaults (smooth).
    const struct {
        int aSmooth, bSmooth;
        float factor;
        int smooth;
    } cases[] = {{0, 0, 0.5f, 0}, {0, 1, 0.4f, 0}, {0, 1, 0.5f, 1}, {1, 0, 0.4f, 1}};
    for (const auto& c : cases) {
        std::unique_ptr<CGraphMeta> a(Shape(&env, GRAPH_POLYLINE, {{0, 0}, {9, 9}}));
        std::unique_ptr<CGraphMeta> b(Shape(&env, GRAPH_POLYLINE, {{0, 0}, {9, 9}}));
        ASSERT_TRUE(a->LineStyle::Get() && b->LineStyle::Get());
        a->LineStyle::Get()->SetSmooth(c.aSmooth);
        b->LineStyle::Get()->SetSmooth(c.bSmooth);
        a->LineStyle::Get()->SetTransparent(c.aSmooth);
        b->LineStyle::Get()->SetTransparent(c.bSmooth);
        a->SetLineWidth(2);
        b->SetLineWidth(6);
        CGraphMeta out(&env);
        ASSERT_EQ(CGraphMeta::InterpolateMeta(a.get(), b.get(), &out, c.factor, true), S_OK);
        int smooth = -1, transparent = -1;
        WORD width = 0;
        out.LineStyle::Get()->GetSmooth(&smooth);
        out.LineStyle::Get()->GetTransparent(&transparent);
        out.LineStyle::Get()->GetWidth(&width);
        EXPECT_EQ(smooth, c.smooth) << c.factor;
        EXPECT_EQ(transparent, c.smooth) << c.factor;
        EXPECT_EQ(width, 4) << c.factor;
    }
}

TEST(GraphMorph, MappingMatchesPoints) {
    const Points square = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}};
    std::vector<std::pair<int, int>> pairs;
    int cost = -1;
    // Identical shapes: point for point.
    ASSERT_EQ(CGraphMeta::CalcMapping(square.data(), 5, square.data(), 5, kMapping, &pairs, &cost),
              S_OK);
    ASSERT_EQ(pairs.size(), 5u);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(pairs[(size_t)k], std::make_pair(k, k));

    // A shape with points added on its sides: every point of both is
    // matched, in order, from the first pair to the last.
    const Points more = {{0, 0}, {50, 0}, {100, 0}, {100, 50}, {100, 100}, {0, 100}, {0, 0}};
    ASSERT_EQ(CGraphMeta::CalcMapping(square.data(), 5, more.data(), 7, kMapping, &pairs, &cost),
              S_OK);
    EXPECT_EQ(pairs.front(), std::make_pair(0, 0));
    EXPECT_EQ(pairs.back(), std::make_pair(4, 6));
    for (size_t k = 1; k < pairs.size(); ++k) {
        const int di = pairs[k].first - pairs[k - 1].first,
                  dj = pairs[k].second - pairs[k - 1].second;
        EXPECT_TRUE((di == 1 || di == 0) && (dj == 1 || dj == 0) && di + dj > 0) << k;
    }

    // Equal costs: the diagonal first, so two repeated points pair straight.
    const Points same = {{5, 5}, {5, 5}};
    ASSERT_EQ(CGraphMeta::CalcMapping(same.data(), 2, same.data(), 2, kMapping, &pairs, &cost),
              S_OK);
    EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}}));

    // The table is sized in 64 bits and bounded.
    LogCapture log;
    Points big(65536 * 2, POINT{0, 0});
    EXPECT_EQ(CGraphMeta::CalcMapping(big.data(), 65536 * 2, big.data(), 65536 * 2, kMapping,
                                      &pairs, &cost),
              E_OUTOFMEMORY);
    EXPECT_EQ(CGraphMeta::CalcMapping(big.data(), 2049, big.data(), 2048, kMapping, &pairs, &cost),
              E_OUTOFMEMORY);
    EXPECT_TRUE(Logged(log.Text(), "can not allocate memory,num is"));
}

TEST(GraphMorph, MappingMeasuresTurnsOneWayRound) {
    // Only the angle between the two steps costs (parameter 1 times its
    // first power); one step of 100 along x in A against B's step.
    const MorphMapping angleOnly = {{0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f}};
    const Points a = {{0, 0}, {100, 0}};
    const struct {
        POINT end;
        int cost;
    } cases[] = {
        {{100, 0}, 0},     // the same direction
        {{0, -100}, 90},   // a quarter turn up the page
        {{0, 100}, 270},   // a quarter turn down the page (clockwise): mirrored
        {{-100, 0}, 180},  // reversed
        {{71, 71}, 315},   // 45 degrees clockwise: mirrored
        {{71, -71}, 45},   // 45 degrees the other way
        {{100, 3}, 1},     // nearly parallel on either side: never mirrored
        {{100, -3}, 1},
    };
    for (const auto& c : cases) {
        const Points b = {{0, 0}, c.end};
        std::vector<std::pair<int, int>> pairs;
        int cost = -1;
        ASSERT_EQ(CGraphMeta::CalcMapping(a.data(), 2, b.data(), 2, angleOnly, &pairs, &cost), S_OK)
            << c.end.x << "," << c.end.y;
        EXPECT_EQ(cost, c.cost) << c.end.x << "," << c.end.y;
    }
}

TEST(GraphMorph, MappedMetaBetweenShapes) {
    FakeOwner env;
    std::unique_ptr<CGraphMeta> a(
        Shape(&env, GRAPH_POLYLINE, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true));
    std::unique_ptr<CGraphMeta> b(
        Shape(&env, GRAPH_POLYLINE, {{50, 50}, {250, 50}, {250, 150}, {50, 150}}, false));
    CGraphMeta* out = nullptr;
    ASSERT_EQ(CGraphMeta::BuildMappedMeta(a.get(), b.get(), kMapping, &out, 0.5f), S_OK);
    std::unique_ptr<CGraphMeta> hold(out);
    ASSERT_TRUE(out);
    EXPECT_TRUE(Same(PointsOf(out), {{25, 25}, {175, 25}, {175, 125}, {25, 125}}));
    EXPECT_TRUE(out->IsClosed()) << "closed as the first shape";
    EXPECT_EQ(out->GetKind(), GRAPH_POLYLINE);
    EXPECT_EQ(out->Motion().values[4], 1);
    EXPECT_EQ(out->Motion().values[15], 10000);

    // A pair too large to match keeps the old meta.
    Points big(2100, POINT{0, 0});
    std::unique_ptr<CGraphMeta> huge(Shape(&env, GRAPH_POLYLINE, big));
    LogCapture log;
    CGraphMeta* kept = out;
    EXPECT_EQ(CGraphMeta::BuildMappedMeta(huge.get(), huge.get(), kMapping, &out, 0.5f),
              E_OUTOFMEMORY);
    EXPECT_EQ(out, kept);
    EXPECT_TRUE(Logged(log.Text(), "CalcMapping func faield."));
}

namespace {

struct Tween {
    FakeOwner owner;
    CVecFrame a{&owner, VECFRAME_LENGTHS};
    CVecFrame b{&owner, VECFRAME_LENGTHS};
    CVecFrame out{&owner, VECFRAME_LENGTHS};

    HRESULT Run(float x, int kind = 0, int split = 0, int pairing = 0,
                const MorphMapping* mapping = nullptr) {
        out.Clear();
        TweenParams p;
        p.kind = kind;
        p.split = split;
        p.pairing = pairing;
        p.mapping = mapping;
        return TweenFrames(a, b, &out, x, p);
    }
    Points At(int k) const { return PointsOf(out.GetGraphMeta(k)); }
};

}  // namespace

TEST(FrameTween, RectanglesMorphPointByPoint) {
    Tween t;
    t.a.AddMeta(Rect(&t.owner, 0, 0, 100, 100), METATYPE_GRAPH);
    t.b.AddMeta(Rect(&t.owner, 50, 50, 250, 150), METATYPE_GRAPH);
    for (int kind : {0, 2}) {
        ASSERT_EQ(t.Run(0.5f, kind), S_OK);
        ASSERT_EQ(t.out.GetCount(), 1);
        EXPECT_TRUE(Same(t.At(0), {{25, 25}, {175, 25}, {175, 125}, {25, 125}})) << kind;
        EXPECT_EQ(t.out.GetMeta(0)->GetFrame(), &t.out);
        EXPECT_EQ(t.out.GetMeta(0)->GetBaseValue(), METATYPE_GRAPH);
    }
    ASSERT_EQ(t.Run(0.0f), S_OK);
    EXPECT_TRUE(Same(t.At(0), {{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
    // The key frames themselves are left as they were.
    EXPECT_EQ(t.a.GetGraphMeta(0)->GetKind(), GRAPH_RECT);
    ASSERT_EQ(t.Run(0.5f, 1, 0, 0, &kMapping), S_OK);
    EXPECT_TRUE(Same(t.At(0), {{25, 25}, {175, 25}, {175, 125}, {25, 125}}));
    // A mapping tween without its block morphs by points.
    ASSERT_EQ(t.Run(0.5f, 3), S_OK);
    EXPECT_TRUE(Same(t.At(0), {{25, 25}, {175, 25}, {175, 125}, {25, 125}}));
}

TEST(FrameTween, MoreMetasAgainstFewerByOrder) {
    const Points line = {{0, 0}, {60, 0}, {60, 60}, {0, 60}};
    for (int split : {0, 1}) {
        Tween t;
        Fill(&t.a, &t.owner, {line, line, line, line, line}, false);
        Fill(&t.b, &t.owner, {line, {{0, 0}, {60, 0}}}, false);
        CVecFrame pa(&t.owner, VECFRAME_LENGTHS), pb(&t.owner, VECFRAME_LENGTHS);
        ASSERT_EQ(MakeSameNumMetasAuto(t.a, t.b, &pa, &pb, split), S_OK);
        ASSERT_EQ(pa.GetCount(), 5);
        ASSERT_EQ(pb.GetCount(), 5);
        if (split) {
            // The first of the two cut in 3 parts, the second in 2.
            EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(0)), {{0, 0}, {60, 0}}));
            EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(1)), {{60, 0}, {60, 60}}));
            EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(2)), {{60, 60}, {0, 60}}));
            EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(3)), {{0, 0}, {60, 0}}));
            EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(4)), {{60, 0}}));
        } else {
            for (int k = 0; k < 3; ++k) EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(k)), line));
            for (int k = 3; k < 5; ++k)
                EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(k)), {{0, 0}, {60, 0}}));
        }
        ASSERT_EQ(t.Run(0.5f, 0, split), S_OK);
        EXPECT_EQ(t.out.GetCount(), 5);
        // Either way round.
        CVecFrame qa(&t.owner, VECFRAME_LENGTHS), qb(&t.owner, VECFRAME_LENGTHS);
        ASSERT_EQ(MakeSameNumMetasAuto(t.b, t.a, &qa, &qb, split), S_OK);
        EXPECT_EQ(qa.GetCount(), 5);
    }
}

TEST(FrameTween, ClosedPairedWithOpenMorphsOpen) {
    Tween t;
    Fill(&t.a, &t.owner, {{{0, 0}, {100, 0}, {100, 100}}}, true);
    Fill(&t.b, &t.owner, {{{0, 0}, {100, 0}}, {{0, 50}, {50, 50}}}, false);
    CVecFrame pa(&t.owner, VECFRAME_LENGTHS), pb(&t.owner, VECFRAME_LENGTHS);
    ASSERT_EQ(MakeSameNumMetasAuto(t.a, t.b, &pa, &pb, 0), S_OK);
    for (int k = 0; k < 2; ++k) {
        EXPECT_FALSE(pa.GetGraphMeta(k)->IsClosed());
        EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(k)), {{0, 0}, {100, 0}, {100, 100}, {0, 0}}));
    }
    ASSERT_EQ(t.Run(0.0f), S_OK);
    ASSERT_EQ(t.out.GetCount(), 2);
    EXPECT_FALSE(t.out.GetGraphMeta(0)->IsClosed());
    EXPECT_TRUE(Same(t.At(0), {{0, 0}, {100, 0}, {100, 100}, {0, 0}}));
}

TEST(FrameTween, SubjectFiguresAreNotMorphed) {
    SetMetaCreator(METATYPE_MATH, [](IMetaEnv* env) -> CMetaBase* { return new CGraphMeta(env); });
    Tween t;
    t.a.AddMeta(Rect(&t.owner, 0, 0, 10, 10), METATYPE_GRAPH);
    t.a.AddMeta(Rect(&t.owner, 20, 20, 30, 30), METATYPE_MATH);
    t.b.AddMeta(Rect(&t.owner, 50, 50, 90, 90), METATYPE_GRAPH);
    ASSERT_EQ(t.Run(0.5f), S_OK);
    SetMetaCreator(METATYPE_MATH, nullptr);
    ASSERT_EQ(t.out.GetCount(), 2);
    // The first frame's normalised copy: its rectangle now a polyline.
    EXPECT_TRUE(Same(t.At(0), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_EQ(t.out.GetMeta(1)->GetBaseValue(), METATYPE_MATH);
    EXPECT_EQ(t.out.GetMeta(1)->GetFrame(), &t.out);
}

TEST(FrameTween, PairingById) {
    Tween t;
    const Points p1 = {{0, 0}, {10, 0}}, p2 = {{0, 20}, {10, 20}}, q2 = {{100, 20}, {110, 20}},
                 q3 = {{100, 30}, {110, 30}};
    Fill(&t.a, &t.owner, {p1, p2}, false, {1, 2});
    Fill(&t.b, &t.owner, {q2, q3}, false, {2, 3});
    CVecFrame pa(&t.owner, VECFRAME_LENGTHS), pb(&t.owner, VECFRAME_LENGTHS);
    ASSERT_EQ(MakeSameNumMetasById(t.a, t.b, &pa, &pb, 0), S_OK);
    ASSERT_EQ(pa.GetCount(), 2);
    ASSERT_EQ(pb.GetCount(), 2);
    EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(0)), p2));
    EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(0)), q2));
    EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(1)), p1));
    EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(1)), q3));
    ASSERT_EQ(t.Run(0.5f, 0, 0, 1), S_OK);
    ASSERT_EQ(t.out.GetCount(), 2);
    EXPECT_TRUE(Same(t.At(0), {{50, 20}, {60, 20}}));
    EXPECT_TRUE(Same(t.At(1), {{50, 15}, {60, 15}}));
}

TEST(FrameTween, IdSharedBySeveralMetas) {
    // Two A metas with id 5 against one B meta: B's yields two, each A meta
    // is paired once (not again as unmatched).
    Tween t;
    const Points p = {{0, 0}, {10, 0}}, r = {{0, 10}, {10, 10}}, q = {{100, 0}, {110, 0}};
    Fill(&t.a, &t.owner, {p, r}, false, {5, 5});
    Fill(&t.b, &t.owner, {q}, false, {5});
    CVecFrame pa(&t.owner, VECFRAME_LENGTHS), pb(&t.owner, VECFRAME_LENGTHS);
    ASSERT_EQ(MakeSameNumMetasById(t.a, t.b, &pa, &pb, 0), S_OK);
    ASSERT_EQ(pa.GetCount(), 2);
    ASSERT_EQ(pb.GetCount(), 2);
    EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(1)), r));
    EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(1)), q));

    // One A meta against two B metas with its id: A's yields two parts.
    Tween u;
    Fill(&u.a, &u.owner, {{{0, 0}, {10, 0}, {20, 0}}}, false, {7});
    Fill(&u.b, &u.owner, {q, r}, false, {7, 7});
    ASSERT_EQ(MakeSameNumMetasById(u.a, u.b, &pa, &pb, 1), S_OK);
    ASSERT_EQ(pa.GetCount(), 2);
    EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(0)), {{0, 0}, {10, 0}}));
    EXPECT_TRUE(Same(PointsOf(pa.GetGraphMeta(1)), {{10, 0}, {20, 0}}));
    EXPECT_TRUE(Same(PointsOf(pb.GetGraphMeta(1)), r));

    // Unmatched on both sides: paired by order.
    Tween v;
    Fill(&v.a, &v.owner, {p}, false, {1});
    Fill(&v.b, &v.owner, {q}, false, {2});
    ASSERT_EQ(MakeSameNumMetasById(v.a, v.b, &pa, &pb, 0), S_OK);
    EXPECT_EQ(pa.GetCount(), 1);
    // Unmatched on one side only: dropped from the morph.
    Tween w;
    Fill(&w.a, &w.owner, {p, r}, false, {1, 2});
    Fill(&w.b, &w.owner, {q}, false, {1});
    ASSERT_EQ(MakeSameNumMetasById(w.a, w.b, &pa, &pb, 0), S_OK);
    EXPECT_EQ(pa.GetCount(), 1);
    EXPECT_EQ(pb.GetCount(), 1);
}

TEST(FrameTween, EmptyFramesAndTexts) {
    Tween t;
    t.a.AddMeta(Rect(&t.owner, 0, 0, 10, 10), METATYPE_GRAPH);
    ASSERT_EQ(t.Run(0.5f), S_OK);
    EXPECT_EQ(t.out.GetCount(), 0);

    // A text morphs as its outlines.
    Tween u;
    CTextMeta* text = new CTextMeta(&u.owner);
    LOGFONTA f = {};
    f.lfHeight = -60;
    strcpy(f.lfFaceName, "WenQuanYi Micro Hei");
    text->SetFont(f);
    text->SetText("O");
    u.a.AddMeta(text, METATYPE_TEXT);
    Fill(&u.b, &u.owner, {{{0, 0}, {10, 0}, {10, 10}}, {{20, 0}, {30, 0}, {30, 10}}}, true);
    ASSERT_EQ(u.Run(0.0f), S_OK);
    ASSERT_EQ(u.out.GetCount(), 2);
    EXPECT_GT(u.out.GetGraphMeta(0)->GetCount(), 10);
    EXPECT_EQ(u.a.GetCount(), 1);
    EXPECT_FALSE(text->IsHidden());
}
