#include <gtest/gtest.h>

#include <math.h>

#include <memory>

#include "FigureFixtures.h"
#include "aMthMta.h"
#include "aOptMta.h"

namespace {

template <class T>
std::unique_ptr<T> Figure(int kind, std::initializer_list<int> params, int option = 0,
                          IMetaEnv* env = nullptr) {
    std::unique_ptr<T> m(new T(env));
    m->SetKind(kind);
    int i = 0;
    for (int v : params) m->Params1().Set(i++, v);
    if (option)
        m->Params3().Set(0, option);
    m->Rebuild();
    return m;
}

}  // namespace

TEST(MathFigures, OutlinesOfTheKinds) {
    struct Case {
        int kind;
        std::initializer_list<int> params;
        std::vector<POINT> points;
    } cases[] = {
        {28, {0, 0, 2560, 5120}, {{0, 5120}, {-2560, 0}, {2560, 0}, {0, 5120}}},
        {29, {0, 0, 10, 20}, {{0, 20}, {0, 0}, {10, 0}, {0, 20}}},
        {30, {0, 0, 1, 2, 3, 4, 5, 6}, {{1, 2}, {3, 4}, {5, 6}, {1, 2}}},
        {31, {0, 0, 5, 10, 20}, {{10, 20}, {15, 0}, {5, 0}, {0, 20}, {10, 20}}},
        // Halves truncate.
        {32, {0, 0, 5, 7}, {{5, 3}, {2, 0}, {0, 3}, {2, 7}, {5, 3}}},
        {33, {0, 0, 9, 1, 2, 3, 4}, {{1, 9}, {2, 0}, {3, 0}, {4, 9}, {1, 9}}},
        {34, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4}, {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 1}}},
        {35,
         {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5},
         {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {1, 1}}},
        // A circle of radius 0: the sampler gives only the centre.
        {36, {0, 0, 0, 0}, {{0, 0}}},
    };
    for (const Case& c : cases) {
        auto m = Figure<CMathMeta>(c.kind, c.params);
        EXPECT_EQ(m->GetPathCount(), 1) << c.kind;
        EXPECT_EQ(PathPoints(*m, 0), c.points) << c.kind;
    }
    // Any other kind builds nothing and has no handles.
    for (int kind : {27, 41, 83}) {
        auto m = Figure<CMathMeta>(kind, {0, 0, 2560, 2560});
        EXPECT_EQ(m->GetPathCount(), 0) << kind;
        EXPECT_EQ(m->GetCount(), 0) << kind;
    }
    const int handles[] = {3, 3, 4, 4, 3, 6, 5, 6, 2, 4, 4, 2, 4};
    for (int kind = 28; kind <= 40; ++kind)
        EXPECT_EQ(Figure<CMathMeta>(kind, {})->GetCount(), handles[kind - 28]) << kind;
}

TEST(MathFigures, PositionMovesEveryPointAfterScaling) {
    auto at0 = Figure<CMathMeta>(28, {0, 0, 2560, 5120}, 0);
    CMathMeta m(nullptr);
    m.SetKind(28);
    for (int v : {25600, 0, 2560, 5120}) m.Params1().Append(v);
    m.SetScale(200);
    m.Rebuild();
    EXPECT_EQ(PathPoints(m, 0), Pts({{25600, 10240}, {20480, 0}, {30720, 0}, {25600, 10240}}));
    // Rebuilding keeps the one sub-path and replaces its points.
    m.Rebuild();
    EXPECT_EQ(m.GetPathCount(), 1);
    EXPECT_EQ(PathPoints(m, 0).size(), 4u);
    EXPECT_EQ(m.GetBaseValue(), METATYPE_MATH);
}

TEST(MathFigures, CirclesAndArcs) {
    // A negative radius draws the same circle; it starts and ends at (r, 0).
    auto pos = Figure<CMathMeta>(39, {0, 0, 2560});
    auto neg = Figure<CMathMeta>(39, {0, 0, -2560});
    EXPECT_EQ(PathPoints(*neg, 0), PathPoints(*pos, 0));
    EXPECT_EQ(PathPoints(*pos, 0).front(), (POINT{2560, 0}));
    EXPECT_EQ(PathPoints(*pos, 0).back(), (POINT{2560, 0}));
    EXPECT_GT(PathPoints(*pos, 0).size(), 30u);

    // Kind 37 by its option: sector, segment, open arc.
    const std::initializer_list<int> arc = {0, 0, 0, 5120, 5120, 0, 0, 5120};
    auto sector = PathPoints(*Figure<CMathMeta>(37, arc, 1), 0);
    auto segment = PathPoints(*Figure<CMathMeta>(37, arc, 2), 0);
    auto open = PathPoints(*Figure<CMathMeta>(37, arc, 0), 0);
    ASSERT_GE(open.size(), 3u);
    EXPECT_EQ(open.front(), (POINT{5120, 0}));
    EXPECT_EQ(open.back(), (POINT{0, 5120}));
    EXPECT_EQ(segment.size(), open.size() + 1);
    EXPECT_EQ(segment.back(), (POINT{5120, 0}));
    ASSERT_EQ(sector.size(), open.size() + 2);
    EXPECT_EQ(sector[sector.size() - 2], (POINT{0, 0}));
    EXPECT_EQ(sector.back(), (POINT{5120, 0}));
    // A circle through a point starts and ends there, once.
    auto through = PathPoints(*Figure<CMathMeta>(36, {0, 0, 3000, 4000}), 0);
    EXPECT_EQ(through.front(), (POINT{3000, 4000}));
    EXPECT_EQ(through.back(), (POINT{3000, 4000}));
    EXPECT_NE(through[through.size() - 2], through.back());
    // Its option is a segment count.
    EXPECT_EQ(PathPoints(*Figure<CMathMeta>(36, {0, 0, 5000, 0}, 6), 0).size(), 7u);
}

TEST(MathFigures, HandlesMoveOnlyWhenAnEditorSaysSo) {
    EditingOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    CMathMeta* m = new CMathMeta(&owner);
    frame.AddMeta(m, METATYPE_MATH);
    m->SetKind(28);
    for (int v : {2560, 0, 2560, 5120}) m->Params1().Append(v);
    m->Rebuild();
    // The player's state: nothing changes.
    EXPECT_EQ(m->SetPointAt(1, POINT{40, 0}), S_OK);
    EXPECT_EQ(m->Params1().Get(2), 2560);
    // Editing handles: handle 1 sets the half base from x relative to the
    // position, at the scale.
    owner.edit = MetaEditState{FALSE, 2, 0};
    m->SetScale(200);
    EXPECT_EQ(m->SetPointAt(1, POINT{30, 0}), S_OK);
    EXPECT_EQ(m->Params1().Get(2), (30 * 256 - 2560) * 100 / 200);
    // A half base of 0 is stored as 1.
    m->SetPointAt(1, POINT{10, 0});
    EXPECT_EQ(m->Params1().Get(2), 1);
    // While being created the point becomes the path part's point 1.
    owner.edit = MetaEditState{TRUE, 0, 0};
    m->SetPointAt(0, POINT{7, 9});
    EXPECT_EQ(m->CVecPath::GetCount(), 2);
    EXPECT_EQ(m->GetPoint(1), (POINT{7, 9}));
    EXPECT_EQ(m->GetScale(), 100);
    // A handle reports nothing for a selector other than 0.
    POINT p = {-1, -1};
    EXPECT_EQ(m->GetPointAt(&p, 1, 0), 0);
    EXPECT_EQ(p, (POINT{-1, -1}));
}

TEST(OpticFigures, OutlinesOfTheKinds) {
    struct Case {
        int kind, option;
        std::initializer_list<int> params;
        std::vector<POINT> points;
    } cases[] = {
        {287, 1, {0, 0, 10, 20}, {{-10, 0}, {0, 0}, {0, 20}, {-10, 20}}},
        {287, 0, {0, 0, 10, 20}, {{10, 0}, {0, 0}, {0, 20}, {10, 20}}},
        {289, 0, {0, 0, 10, 20}, {{0, -20}, {-10, 0}, {0, 20}}},
        {283, 2, {0, 0, 10, 0, 4, 6}, {{0, 0}, {-14, 0}, {-10, -6}}},
        {280, 0, {0, 0, 10, 2, 4, 6}, {{-10, -2}, {4, 0}, {0, -6}, {4, 0}, {0, 6}}},
        // The tip inside the box matches no zone: the plain rectangle.
        {284, 0, {0, 0, 160, 80, 50, 40}, {{0, 0}, {160, 0}, {160, 80}, {0, 80}, {0, 0}}},
        // At (a + 1, b / 2) zone 4 replaces zone 3: the lower half of the right edge.
        {284,
         0,
         {0, 0, 160, 80, 161, 40},
         {{0, 0}, {160, 0}, {160, 45}, {161, 40}, {160, 65}, {160, 80}, {0, 80}, {0, 0}}},
        // No divisor: the shoulders on the axis.
        {290,
         0,
         {0, 0, 30, 20, 10},
         {{30, 0}, {10, 0}, {0, -20}, {-10, 0}, {-30, 0}, {-10, 0}, {0, 20}, {10, 0}, {30, 0}}},
    };
    for (const Case& c : cases) {
        auto m = Figure<COpticMeta>(c.kind, c.params, c.option);
        EXPECT_EQ(PathPoints(*m, 0), c.points) << c.kind << " " << c.option;
    }

    auto arrow = PathPoints(*Figure<COpticMeta>(278, {0, 0, 100, 10, 30, 20}), 0);
    auto twoHeads = PathPoints(*Figure<COpticMeta>(278, {0, 0, 100, 10, 30, 20}, 1), 0);
    EXPECT_EQ(arrow.size(), 8u);
    ASSERT_EQ(twoHeads.size(), 11u);
    EXPECT_EQ(twoHeads.back(), twoHeads.front());

    // The mirror bulges to the left; only option 1 mirrors it.
    for (int option : {0, 1, 2}) {
        auto p = PathPoints(*Figure<COpticMeta>(288, {0, 0, 2560, 5120}, option), 0);
        ASSERT_FALSE(p.empty());
        int sign = 0;
        for (const POINT& q : p) sign += q.x > 0 ? 1 : q.x < 0 ? -1 : 0;
        EXPECT_EQ(sign > 0, option == 1) << option;
        EXPECT_EQ(p.front(), (POINT{0, 5120}));
    }

    auto star = PathPoints(*Figure<COpticMeta>(291, {0, 0, 25600}), 0);
    ASSERT_EQ(star.size(), 11u);
    EXPECT_EQ(star.front(), (POINT{0, -25600}));
    EXPECT_EQ(star.back(), (POINT{0, -25600}));
    // The inner points lie at about 0.382 of the outer radius.
    EXPECT_NEAR(sqrt((double)star[1].x * star[1].x + (double)star[1].y * star[1].y), 9778, 3);

    // The light ray: a chain of cubic segments, arrowheads of 12 points each.
    auto ray = Figure<COpticMeta>(281, {0, 0, 0, 0, 5120, -2560, 10240, 2560, 15360, 0});
    auto rayBoth = Figure<COpticMeta>(281, {0, 0, 0, 0, 5120, -2560, 10240, 2560, 15360, 0}, 1);
    EXPECT_EQ(PathPoints(*ray, 0).size(), 16u);
    EXPECT_EQ(PathPoints(*rayBoth, 0).size(), 28u);
    EXPECT_EQ(PathPoints(*ray, 0).back(), (POINT{15360, 0}));

    auto wedge = Figure<COpticMeta>(282, {0, 0, 10, 0, 20, 30});
    ASSERT_EQ(wedge->GetPathCount(), 2);
    EXPECT_FALSE(wedge->GetPath(1)->stroke);
    EXPECT_EQ(PathPoints(*wedge, 1), Pts({{20, 1280}, {-10, 1280}, {10, 1310}}));

    for (int kind : {277, 292}) {
        auto m = Figure<COpticMeta>(kind, {0, 0, 2560, 2560});
        EXPECT_EQ(m->GetPathCount(), 0);
        EXPECT_EQ(m->GetCount(), 0);
    }
    const int handles[] = {5, 4, 4, 5, 4, 4, 4, 4, 5, 3, 3, 3, 4, 1};
    for (int kind = 278; kind <= 291; ++kind)
        EXPECT_EQ(Figure<COpticMeta>(kind, {})->GetCount(), handles[kind - 278]) << kind;
}

TEST(OpticFigures, HandleMovesAreHeldToLimits) {
    auto m = Figure<COpticMeta>(278, {0, 0, 25600, 2560, 7680, 5120});
    struct Case {
        int x, y, index, param, value;
    } cases[] = {
        {-300000, 0, 0, 2, 256000},  // shaft length at most 1000 units
        {500, 0, 0, 2, 0},           // not to the right of the position
        {0, 100000, 1, 3, 5120},     // shaft half-width up to the head's
        {0, 10, 1, 3, 256},          // at least one unit
        {0, 9000, 2, 5, 9000},       // head half-width from the y distance
        {0, 100, 2, 5, 2560},        // not below the shaft's
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m->CanMovePoint(c.x, c.y, c.index), 1);
        EXPECT_EQ(m->Params1().Get(c.param), c.value) << c.index << " " << c.x << " " << c.y;
        if (c.param == 3)
            m->Params1().Set(3, 2560);
    }
    // The size handle of the callout sets the scale from its box.
    auto callout = Figure<COpticMeta>(284, {0, 0, 10000, 5000, 0, 0});
    EXPECT_EQ(callout->CanMovePoint(20000, 20000, 3), 1);
    EXPECT_EQ(callout->GetScale(), 200);
}
