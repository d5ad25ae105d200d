#include <gtest/gtest.h>

#include <memory>

#include "FigureFixtures.h"
#include "aCheMeta.h"
#include "aPhyMeta.h"

namespace {

template <class T>
std::unique_ptr<T> Figure(int kind, std::vector<int> params, int option = 0) {
    std::unique_ptr<T> m(new T(nullptr));
    m->SetKind(kind);
    for (size_t i = 0; i < params.size(); ++i) m->Params1().Set((int)i, params[i]);
    if (option)
        m->Params3().Set(0, option);
    m->Rebuild();
    return m;
}

int PointCount(const CGraphMetaEx& m) {
    int n = 0;
    for (int i = 0; i < m.GetPathCount(); ++i) n += m.GetPath(i)->points.GetCount();
    return n;
}

}  // namespace

TEST(PhysicsFigures, TellingKinds) {
    // A block before its position is added.
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(83, {0, 0, 2560, 1280}), 0),
              Pts({{0, 0}, {2560, 0}, {2560, 1280}, {0, 1280}, {0, 0}}));
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(84, {0, 0, 2560, 1280}), 0),
              Pts({{0, 0}, {0, 1280}, {2560, 1280}, {2560, 0}, {0, 0}}));
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(81, {0, 0, 30, 20}), 0),
              Pts({{0, -20}, {0, 0}, {30, 0}, {0, -20}}));

    // The ruler: 11 ticks, full ones at 0 and 10, 3/4 at 5, half between.
    auto ruler = PathPoints(*Figure<CPhysMeta>(105, {0, 0, 20480, 2560}), 0);
    ASSERT_EQ(ruler.size(), 33u);
    EXPECT_EQ(ruler[1], (POINT{0, -2560}));
    EXPECT_EQ(ruler[3 * 5 + 1], (POINT{10240, -1920}));
    EXPECT_EQ(ruler[3 * 1 + 1], (POINT{2048, -1280}));
    EXPECT_EQ(ruler[3 * 10 + 1], (POINT{20480, -2560}));

    // Hatches: marks every P4, each stroke back by P4 and down by P3; the
    // end when the last mark is not there.
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(79, {0, 0, 25, 4, 10}), 0),
              Pts({{0, 0}, {10, 0}, {0, 4}, {10, 0}, {20, 0}, {10, 4}, {20, 0}, {25, 0}}));
    // A step of 0 or less emits no marks.
    for (int step : {0, -5}) {
        EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(79, {0, 0, 25, 4, step}), 0),
                  Pts({{0, 0}, {25, 0}}))
            << step;
        EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(80, {0, 0, 100, 0, 0, 100, 5, step}), 0),
                  Pts({{0, 0}, {100, 0}, {0, 0}, {0, 100}}))
            << step;
    }
    // A huge count stops after 10,000 marks.
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(79, {0, 0, 0x7FFFFFFF, 4, 1}), 0).size(),
              1u + 3u * 10000u + 1u);

    // Two balls: the second not outlined, filled by painter 1.
    auto balls = Figure<CPhysMeta>(78, {0, 0, 2560, 1280, 5120});
    EXPECT_EQ(PathPoints(*balls, 0).front(), (POINT{0, -2560}));
    EXPECT_EQ(PathPoints(*balls, 1).front(), (POINT{5120, -1280}));
    EXPECT_FALSE(balls->GetPath(1)->stroke);

    // The meter scale ignores its parameters; its 32nd sub-path stays empty.
    auto scale = Figure<CPhysMeta>(106, {});
    auto scaleP = Figure<CPhysMeta>(106, {0, 0, 99999, 88888, 7777});
    for (int i = 0; i < 32; ++i) EXPECT_EQ(PathPoints(*scale, i), PathPoints(*scaleP, i)) << i;
    EXPECT_EQ(scale->GetPath(31)->points.GetCount(), 0);
    EXPECT_GT(scale->GetPath(30)->points.GetCount(), 2);
    // The first tick is a long one, at 30 degrees above the centre.
    EXPECT_EQ(PathPoints(*scale, 0)[0],
              (POINT{5632 * CosCent(3000) / 10000, -5632 * SinCent(3000) / 10000}));

    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(161, {0, 0, 100, 10}), 1),
              Pts({{10, 110}, {0, 100}, {-10, 110}}));
    EXPECT_EQ(PathPoints(*Figure<CPhysMeta>(165, {0, 0, 100, 10}), 2),
              Pts({{10, 90}, {0, 100}, {-10, 90}}));
    auto half = PathPoints(*Figure<CPhysMeta>(159, {0, 0, 2560, 5120}), 0);
    EXPECT_EQ(half.front(), (POINT{0, -5120}));
    EXPECT_EQ(half.back(), (POINT{0, -5120}));

    // Kind 88's items are held to 0..64.
    EXPECT_EQ(Figure<CPhysMeta>(88, {0, 0, 0, 0, 0, 0, 0, 0, 1000})->GetPathCount(), 70);
    EXPECT_EQ(Figure<CPhysMeta>(88, {0, 0, 0, 0, 0, 0, 0, 0, -3})->GetPathCount(), 6);

    // Between the ranges nothing is built and there are no handles.
    for (int kind : {77, 108, 112, 117, 154, 157, 169}) {
        auto m = Figure<CPhysMeta>(kind, {0, 0, 2560, 2560});
        EXPECT_EQ(m->GetPathCount(), 0) << kind;
        EXPECT_EQ(m->GetCount(), 0) << kind;
    }
}

TEST(PhysicsFigures, EveryKindHasItsSubPathsAndHandles) {
    struct Row {
        int kind, paths, handles;
    } rows[] = {
        {78, 2, 1},   {79, 1, 2},  {80, 1, 3},   {81, 1, 3},  {82, 1, 2},   {83, 1, 2},
        {84, 1, 2},   {85, 2, 3},  {86, 1, 4},   {87, 3, 2},  {88, 6, 2},   {89, 5, 3},
        {90, 7, 3},   {91, 9, 4},  {92, 3, 3},   {93, 2, 4},  {94, 1, 3},   {95, 4, 3},
        {96, 8, 3},   {97, 1, 4},  {98, 1, 5},   {99, 1, 1},  {100, 3, 1},  {101, 1, 1},
        {102, 1, 5},  {103, 1, 5}, {104, 2, 4},  {105, 1, 2}, {106, 32, 1}, {107, 10, 1},
        {118, 1, 3},  {119, 1, 2}, {120, 3, 2},  {121, 4, 7}, {122, 4, 2},  {123, 5, 3},
        {124, 4, 3},  {125, 5, 3}, {126, 5, 3},  {127, 4, 4}, {128, 9, 5},  {129, 3, 4},
        {130, 4, 4},  {131, 3, 1}, {132, 3, 1},  {133, 5, 4}, {134, 4, 4},  {135, 3, 5},
        {136, 4, 4},  {137, 1, 4}, {138, 3, 3},  {139, 2, 3}, {140, 1, 5},  {141, 4, 4},
        {142, 4, 5},  {143, 4, 4}, {144, 3, 2},  {145, 4, 3}, {146, 2, 3},  {147, 2, 3},
        {148, 2, 2},  {149, 7, 1}, {150, 1, 5},  {151, 8, 4}, {152, 4, 4},  {153, 1, 1},
        {158, 1, 3},  {159, 1, 3}, {160, 15, 3}, {161, 3, 3}, {162, 1, 4},  {163, 1, 4},
        {164, 15, 3}, {165, 3, 3}, {166, 1, 2},  {167, 2, 2}, {168, 1, 2},
    };
    ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), 77u);
    for (const Row& r : rows) {
        // Sizes of 20 and 10 units where a kind reads them; missing ones 0.
        auto m = Figure<CPhysMeta>(r.kind, {0, 0, 5120, 2560, 1280, 640, 1280, 2560, 0, 512});
        EXPECT_EQ(m->GetPathCount(), r.paths) << r.kind;
        EXPECT_EQ(m->GetCount(), r.handles) << r.kind;
        EXPECT_GT(PointCount(*m), 0) << r.kind;
        // Rebuilding keeps the sub-paths and their points.
        const int points = PointCount(*m);
        m->Rebuild();
        EXPECT_EQ(m->GetPathCount(), r.paths) << r.kind;
        EXPECT_EQ(PointCount(*m), points) << r.kind;
        EXPECT_EQ(m->CanMovePoint(1, 1, 0), 1);
    }
}

TEST(ChemistryFigures, KindsCountsAndRebuilds) {
    const int paths[] = {1, 1, 1, 1, 1, 3, 2, 1, 3, 3, 2, 1, 1, 3, 1, 1,
                         2, 2, 6, 9, 2, 2, 1, 1, 2, 1, 2, 1, 1, 3, 9, 7};
    for (int kind = 178; kind <= 209; ++kind) {
        int handles = 3;
        if (kind == 178 || kind == 179)
            handles = 6;
        else if (kind == 209)
            handles = 5;
        else if ((kind >= 188 && kind <= 191) || kind == 201 || kind == 208)
            handles = 4;
        else if ((kind >= 198 && kind <= 200) || (kind >= 202 && kind <= 205) || kind == 207)
            handles = 2;
        // Short parameter lists draw with the builders' defaults.
        auto m = Figure<CChemMeta>(kind, {0, 0});
        EXPECT_EQ(m->GetCount(), handles) << kind;
        EXPECT_EQ(m->GetPathCount(), paths[kind - 178]) << kind;
        EXPECT_GT(PathPoints(*m, 0).size(), 2u) << kind;
        const int first = (int)PathPoints(*m, 0).size();
        m->Rebuild();
        EXPECT_EQ(m->GetPathCount(), paths[kind - 178]) << kind;
        EXPECT_EQ((int)PathPoints(*m, 0).size(), first) << kind;
        EXPECT_EQ(m->GetBaseValue(), METATYPE_CHEM);
    }
    for (int kind : {177, 210}) {
        auto m = Figure<CChemMeta>(kind, {0, 0});
        EXPECT_EQ(m->GetPathCount(), 0);
    }
}

TEST(ChemistryFigures, RoundFlaskWallsMeetTheBulb) {
    // Width 40 units: bulb radius 20; neck 12 units: its walls at +-6 meet
    // the circle sqrt(20^2 - 6^2) = 19.08 units above its centre.
    auto m = Figure<CChemMeta>(178, {0, 0, 10240, 20480, 5120, 3072});
    auto p = PathPoints(*m, 0);
    ASSERT_GT(p.size(), 6u);
    EXPECT_EQ(p[1], (POINT{-1536, -5120 - 4884}));
    EXPECT_EQ(p.back(), p.front());
    // The liquid's level anchors its fill: filled below it only.
    EXPECT_EQ(m->GetPath(0)->holder, -1);  // no holder yet: no painter
    CChemMeta filled(nullptr);
    filled.SetKind(178);
    for (int v : {0, 0, 10240, 20480, 5120, 3072}) filled.Params1().Append(v);
    filled.SetFillType(0);
    ASSERT_EQ(filled.AddHolder(), 0);
    filled.Rebuild();
    EXPECT_EQ(filled.GetPath(0)->holder, 0);
    EXPECT_TRUE(filled.GetPath(0)->anchored);
    EXPECT_EQ(filled.GetPath(0)->anchor.y, -5120);
}
