#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "FigureFixtures.h"
#include "FigureRecords.h"
#include "StreamFixtures.h"
#include "VectorRecords.h"
#include "aMetaFil.h"
#include "aMtaEx.h"
#include "bFillShd.h"
#include "bLinStyl.h"

namespace {

// A block of P2 x P3 at the origin, filled by holder 0; list 3 entry 0, when
// set, anchors the fill at that height.
class TestBlock : public CGraphMetaEx {
public:
    explicit TestBlock(IMetaEnv* env) : CGraphMetaEx(env) { SetKind(83); }
    HRESULT Rebuild() override {
        ClearPaths();
        CreatePaths(1);
        AddRectPath(0, 0, 0, Params1().Get(2), Params1().Get(3));
        CalcPathBounds();
        const POINT anchor = {0, Params3().Get(0)};
        PlacePath(0, 0, Params3().Get(0) ? &anchor : nullptr, TRUE, TRUE);
        return S_OK;
    }
    HRESULT Clone(CMetaBase** out) override { return CloneFigure(*this, out); }
    HRESULT GetPointAt(POINT* out, int selector, int index) override {
        return selector ? S_OK : GetRotatedPointAt(out, 0, index);
    }
};

std::vector<uint8_t> SavedBy(std::function<void(ITeskStream*)> save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s);
    return ContentBytes(s);
}

std::vector<uint8_t> LineRecord() {
    CComPtr<LineStyleObject> line;
    line.Attach(CreateLineStyObj());
    return SavedBy([&](ITeskStream* s) { line->Save(s); });
}

void SetSolid(CGraphMetaEx& m, COLORREF color) {
    m.SetFillType(FILL_SOLID);
    m.SetFillMode(FILLMODE_FILL);
    m.SetColor(color);
}

}  // namespace

TEST(FigureMeta, ScaleFromSizeIsHeldTo50To1500) {
    struct Case {
        int x1, y1, w0, h0, before, result, scale;
    } cases[] = {
        {30, 40, 100, 100, 100, 0, 50},        // 30 % and 40 %: raised to 50
        {2000, 1800, 100, 100, 100, 0, 1500},  // 2000 % and 1800 %: lowered to 1500
        {-300, 200, 100, 100, 100, 0, 200},    // the smaller of the absolute ratios
        {300, 200, 0, 100, 77, 1, 77},         // no width: nothing changes
        {300, 200, 100, 0, 77, 1, 77},         // no height
    };
    for (const Case& c : cases) {
        CGraphMetaEx m(nullptr);
        m.SetScale(c.before);
        EXPECT_EQ(m.SetScaleFromSize(c.x1, c.y1, 0, 0, c.w0, c.h0), c.result) << c.x1;
        EXPECT_EQ(m.GetScale(), c.scale) << c.x1;
    }
}

TEST(FigureMeta, PathBuildersAppendInOrder) {
    CGraphMetaEx m(nullptr);
    m.CreatePaths(2);
    m.CreatePaths(5);  // only the first call creates
    ASSERT_EQ(m.GetPathCount(), 2);
    m.AddPoint(0, 0, 0);
    for (int i = 1; i <= 3; ++i) m.AddPoint(1, i, i);
    m.AppendPath(0, 1, TRUE);
    EXPECT_EQ(PathPoints(m, 0), Pts({{0, 0}, {3, 3}, {2, 2}, {1, 1}}));
    m.AppendPath(0, 1, FALSE);
    EXPECT_EQ(PathPoints(m, 0).back(), (POINT{3, 3}));

    // Each start quadrant begins and ends the whole ellipse at its point.
    struct Case {
        int start;
        POINT at;
    } cases[] = {{1, {5000, 3000}}, {2, {2000, 4000}}, {3, {5000, 5000}}, {0, {8000, 4000}}};
    for (const Case& c : cases) {
        CGraphMetaEx e(nullptr);
        e.CreatePaths(1);
        e.AddEllipsePath(0, 5000, 4000, 3000, 1000, c.start);
        const std::vector<POINT> p = PathPoints(e, 0);
        ASSERT_GT(p.size(), 8u) << c.start;
        EXPECT_EQ(p.front(), c.at) << c.start;
        EXPECT_EQ(p.back(), c.at) << c.start;
    }

    CGraphMetaEx r(nullptr);
    r.CreatePaths(1);
    r.AddRectPath(0, 10, 20, 30, 40);
    EXPECT_EQ(PathPoints(r, 0), Pts({{10, 20}, {40, 20}, {40, 60}, {10, 60}, {10, 20}}));
}

TEST(FigureMeta, PlacingMovesScalesAndTurns) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    TestBlock* b = new TestBlock(&owner);
    frame.AddMeta(b, METATYPE_PHYS);
    b->Params1().Set(0, 2560);
    b->Params1().Set(1, -2560);
    b->Params1().Set(2, 5120);
    b->Params1().Set(3, 2560);
    b->SetScale(200);
    b->Rebuild();
    // Scaled first, then moved by the (unscaled) origin.
    EXPECT_EQ(PathPoints(*b, 0),
              Pts({{2560, -2560}, {12800, -2560}, {12800, 2560}, {2560, 2560}, {2560, -2560}}));
    // Bounds: (origin + extent) / 256 inflated by half the pen width + 2.
    const int d = b->GetEffectiveWidth() / 2 + 2;
    EXPECT_EQ(b->Bounds().left, 10 - d);
    EXPECT_EQ(b->Bounds().right, 50 + d);
    EXPECT_EQ(b->Bounds().top, -10 - d);
    EXPECT_EQ(b->Bounds().bottom, 10 + d);
    // No holders: the figure is open, though its path is closed.
    EXPECT_FALSE(b->IsClosedShape());

    // The owner's rotation turns about (0, 0), after the figure's own.
    owner.degree = 9000;
    b->RotateObj(0, POINT{0, 0});
    EXPECT_EQ(PathPoints(*b, 0)[1], RotatePoint(12800, -2560, 0, 0, 9000));
    owner.degree = 0;
    b->SetEditValue(90);
    b->Rebuild();
    EXPECT_EQ(PathPoints(*b, 0)[1], RotatePoint(12800, -2560, 2560, -2560, -9000));

    // Points pushed beyond 32 bits by the origin are dropped.
    b->SetEditValue(0);
    b->Params1().Set(0, 0x7FFFF000);
    b->Rebuild();
    EXPECT_EQ(PathPoints(*b, 0).size(), 3u);
}

TEST(FigureMeta, CopiesOwnTheirPathsAndHolders) {
    FakeOwner owner;
    for (int order = 0; order < 2; ++order) {
        CVecFrame frame(&owner, VECFRAME_LENGTHS);
        TestBlock* a = new TestBlock(&owner);
        frame.AddMeta(a, METATYPE_PHYS);
        a->Params1().Set(2, 10240);
        a->Params1().Set(3, 5120);
        SetSolid(*a, RGB(255, 0, 0));
        ASSERT_EQ(a->AddHolder(), 0);
        EXPECT_TRUE(a->IsClosedShape());
        CMetaBase* clone = nullptr;
        ASSERT_EQ(a->Clone(&clone), S_OK);
        ASSERT_NE(clone, nullptr);
        frame.AddMeta(clone, METATYPE_PHYS);
        TestBlock* b = static_cast<TestBlock*>(clone);
        EXPECT_EQ(PathPoints(*b, 0), PathPoints(*a, 0));
        EXPECT_NE(b->GetPath(0), a->GetPath(0));
        EXPECT_NE(b->GetHolder(0), a->GetHolder(0));
        const std::vector<uint8_t> saved = SavedBy([&](ITeskStream* s) { a->Save(s); });
        EXPECT_EQ(SavedBy([&](ITeskStream* s) { b->Save(s); }), saved);

        // Whichever goes first, the other still draws its red block.
        frame.RemoveMeta(order == 0 ? 0 : 1);
        WhiteSurface surface(200, 200);
        frame.DrawAll(surface.dc());
        EXPECT_EQ(surface.At(120, 110), RGB(255, 0, 0)) << order;
        EXPECT_EQ(surface.At(160, 110), RGB(255, 255, 255)) << order;
    }
}

TEST(FigureMeta, HoldersFillTheirPathsEachWithItsOwnFill) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    TestBlock* b = new TestBlock(&owner);
    frame.AddMeta(b, METATYPE_PHYS);
    b->Params1().Set(2, 25600);
    b->Params1().Set(3, 25600);
    // A fill without data (no inner fill) draws nothing and answers 0.
    b->SetFillType(99);
    ASSERT_EQ(b->AddHolder(), 0);
    {
        WhiteSurface surface(300, 300);
        b->Rebuild();
        ASSERT_EQ(b->GetHolder(0)->DrawClipped(surface.dc(), *b->GetPath(0), &owner), S_OK);
        EXPECT_EQ(surface.At(150, 150), RGB(255, 255, 255));
    }

    // With the anchor half way down only the lower half is filled.
    SetSolid(*b, RGB(0, 0, 255));
    ASSERT_EQ(b->GetHolder(0)->TakeSnapshot(b->GetShadeFillPtr()), S_OK);
    b->Params3().Set(0, 12800);
    b->Rebuild();
    {
        WhiteSurface surface(300, 300);
        frame.DrawAll(surface.dc());
        EXPECT_EQ(surface.At(150, 130), RGB(255, 255, 255));
        EXPECT_EQ(surface.At(150, 170), RGB(0, 0, 255));
        EXPECT_EQ(surface.At(150, 195), RGB(0, 0, 255));
    }

    // Two holders of different fills save each its own.
    SetSolid(*b, RGB(0, 255, 0));
    ASSERT_EQ(b->AddHolder(), 1);
    FigureFields f;
    f.holders = {FigureFill(RGB(0, 0, 255)), FigureFill(RGB(0, 255, 0))};
    f.line = LineRecord();
    b->Params3().SetSize(0);
    b->Rebuild();
    f.bounds = b->Bounds();
    f.list1 = {0, 0, 25600, 25600};
    f.base = METATYPE_PHYS;
    f.metaId = b->GetMetaId();
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { b->Save(s); }), FigureRecord(f));
}

TEST(FigureMeta, RecordLoadsAndSavesTheSameBytes) {
    FakeOwner owner;
    FigureFields f;
    f.holders = {FigureFill(RGB(255, 0, 0)), FigureFill(RGB(0, 128, 0))};
    f.line = LineRecord();
    f.list1 = {-2560, 5120, 10240, 5120};
    f.list2 = {7};
    f.list3 = {0, 2};
    f.scale = 150;
    f.edit = 30;
    f.metaId = 4;
    const std::vector<uint8_t> bytes = FigureRecord(f);

    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    TestBlock* m = new TestBlock(&owner);
    frame.AddMeta(m, METATYPE_PHYS);
    CComPtr<ITeskStream> in = MemStreamOf(bytes);
    ASSERT_EQ(m->Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), bytes.size());
    EXPECT_EQ(m->GetHolderCount(), 2);
    EXPECT_EQ(m->GetScale(), 150);
    EXPECT_EQ(m->GetEditValue(), 30);
    EXPECT_EQ(m->Params3().Values(), (std::vector<int32_t>{0, 2}));
    WhiteSurface surface(200, 200);
    EXPECT_EQ(m->Draw(surface.dc(), TRUE), S_OK);
    // The block's middle, turned by -30 degrees about the origin (-10, 20).
    const POINT mid = RotatePoint(30, 15, 0, 0, -3000);
    EXPECT_EQ(surface.At(100 - 10 + mid.x, 100 + 20 + mid.y), RGB(255, 0, 0));
    // Drawing built the figure and its bounds.
    f.bounds = m->Bounds();
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { m->Save(s); }), FigureRecord(f));

    // The vector-file form carries a media index after the holders.
    f.file = true;
    f.mediaIndex = -2;
    const std::vector<uint8_t> fileBytes = FigureRecord(f);
    TestBlock fm(&owner);
    ASSERT_EQ(fm.LoadWithMedia(MemStreamOf(fileBytes), "x.vec", nullptr, FALSE), S_OK);
    EXPECT_EQ(SavedBy([&](ITeskStream* s) { fm.SaveWithMedia(s, -2); }), fileBytes);
}

TEST(FigureMeta, DamagedRecordsAreRefusedWhole) {
    FigureFields f;
    f.holders = {FigureFill(RGB(255, 0, 0))};
    f.line = LineRecord();
    f.list1 = {0, 0, 2560, 2560};
    const std::vector<uint8_t> good = FigureRecord(f);
    auto refused = [](const std::vector<uint8_t>& bytes) {
        TestBlock m(nullptr);
        m.Params1().Set(2, 99);
        const HRESULT hr = m.Load(MemStreamOf(bytes));
        return hr == E_FAIL && m.Params1().Get(2) == 99 && m.GetHolderCount() == 0;
    };
    for (size_t n = 0; n < good.size(); n += (n < 60 ? 1 : 7))
        EXPECT_TRUE(refused(Cut(good, n))) << n;

    // Counts that the stream cannot hold.
    const size_t holderCount = 16, list2Count = good.size() - 4 - 4 * 5 - 4 - 4;
    struct Case {
        size_t at;
        int32_t value;
    } bad[] = {{holderCount, 2},   {holderCount, -1}, {holderCount, 0x7FFFFFFF},
               {list2Count, 1000}, {list2Count, -5},  {good.size() - 4 - 4 - 4 * 5 + 0, 1 << 29}};
    for (const Case& c : bad) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[c.at + i] = (uint8_t)((uint32_t)c.value >> (8 * i));
        EXPECT_TRUE(refused(b)) << c.at << " " << c.value;
    }

    // A stored scale outside 50..1500 is held to it.
    for (int stored : {0, 20000}) {
        f.scale = stored;
        TestBlock m(nullptr);
        ASSERT_EQ(m.Load(MemStreamOf(FigureRecord(f))), S_OK);
        EXPECT_EQ(m.GetScale(), stored ? 1500 : 50);
    }
}
