#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "FigureFixtures.h"
#include "FigureRecords.h"
#include "StreamFixtures.h"
#include "aCheMeta.h"
#include "aMthMta.h"
#include "aOptMta.h"
#include "aPhyMeta.h"
#include "bLinStyl.h"

namespace {

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

struct Sample {
    int type, kind;
    std::vector<int32_t> list1;
    // A pixel the fill covers, the frame's centre at (100, 100).
    POINT inside;
};

// One figure of each class: a triangle, a beaker, a block, a star.
const Sample kSamples[] = {
    {METATYPE_MATH, 28, {0, 0, 5120, 5120}, {100, 105}},
    // Filled up to its level, 10 units above its foot at y 120.
    {METATYPE_CHEM, 180, {0, 5120, 7680, 10240, 2560}, {100, 116}},
    {METATYPE_PHYS, 83, {-5120, -2560, 10240, 5120}, {100, 100}},
    {METATYPE_OPTIC, 291, {0, 0, 7680}, {100, 100}},
};

FigureFields Fields(const Sample& s, bool file) {
    FigureFields f;
    f.kind = s.kind;
    f.base = s.type;
    f.holders = {FigureFill(RGB(255, 0, 0))};
    f.line = LineRecord();
    f.list1 = s.list1;
    f.file = file;
    return f;
}

void Put(std::vector<uint8_t>& w, int32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back((uint8_t)((uint32_t)v >> (8 * i)));
}

// A frame record of the figure: the object-stream form (lengths) or the
// vector-file form (owner rectangle, no lengths).
std::vector<uint8_t> FrameOf(int type, const std::vector<uint8_t>& body, bool file) {
    std::vector<uint8_t> w = {(uint8_t)VECFRAME_LENGTHS, 0};
    Put(w, 2);
    if (file)
        for (int v : {0, 0, 200, 200}) Put(w, v);
    Put(w, 1);
    Put(w, type);
    if (!file) {
        Put(w, (int32_t)body.size());
        Put(w, 0);
    }
    w.insert(w.end(), body.begin(), body.end());
    return w;
}

}  // namespace

TEST(FigureFrames, EveryClassLoadsDrawsAndSavesItsRecordInBothForms) {
    for (const Sample& s : kSamples) {
        for (bool file : {false, true}) {
            FakeOwner owner;
            CVecFrame frame(&owner, VECFRAME_LENGTHS);
            FigureFields f = Fields(s, file);
            const std::vector<uint8_t> in = FrameOf(s.type, FigureRecord(f), file);
            const HRESULT hr = file ? frame.LoadFile(MemStreamOf(in), "f.vec", FALSE, &owner)
                                    : frame.Load(MemStreamOf(in), &owner);
            ASSERT_EQ(hr, S_OK) << s.kind << " " << file;
            ASSERT_EQ(frame.GetCount(), 1);
            CGraphMetaEx* m = dynamic_cast<CGraphMetaEx*>(frame.GetMeta(0));
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(m->GetBaseValue(), s.type);
            EXPECT_EQ(m->GetKind(), s.kind);
            WhiteSurface surface(200, 200);
            frame.DrawAll(surface.dc());
            EXPECT_EQ(surface.At(s.inside.x, s.inside.y), RGB(255, 0, 0)) << s.kind;
            // Drawing built the bounds the record is saved with.
            f.bounds = m->Bounds();
            const std::vector<uint8_t> out = FrameOf(s.type, FigureRecord(f), file);
            EXPECT_EQ(SavedBy([&](ITeskStream* st) { file ? frame.SaveFile(st) : frame.Save(st); }),
                      out)
                << s.kind << " " << file;

            // Copies are of the same class, own their parts, draw the same.
            CVecFrame copy(&owner, VECFRAME_LENGTHS);
            ASSERT_EQ(copy.DuplicateFrom(frame), S_OK);
            frame.Clear();
            WhiteSurface again(200, 200);
            copy.DrawAll(again.dc());
            for (int y = 0; y < 200; y += 3)
                for (int x = 0; x < 200; x += 3) ASSERT_EQ(again.At(x, y), surface.At(x, y));
            EXPECT_EQ(copy.GetMeta(0)->GetBaseValue(), s.type);
        }
    }
}

TEST(FigureFrames, DamagedFigureRecordsLeaveTheFrame) {
    const Sample& s = kSamples[2];
    for (bool file : {false, true}) {
        const std::vector<uint8_t> good = FigureRecord(Fields(s, file));
        for (size_t n = 0; n < good.size(); n += (n < 40 ? 1 : 9)) {
            FakeOwner owner;
            CVecFrame frame(&owner, VECFRAME_LENGTHS);
            frame.AddMeta(new CPhysMeta(&owner), METATYPE_PHYS);
            std::vector<uint8_t> cut(good.begin(), good.begin() + (ptrdiff_t)n);
            const std::vector<uint8_t> in = FrameOf(s.type, cut, file);
            const HRESULT hr = file ? frame.LoadFile(MemStreamOf(in), "f.vec", FALSE, &owner)
                                    : frame.Load(MemStreamOf(in), &owner);
            EXPECT_EQ(hr, E_FAIL) << n;
            EXPECT_EQ(frame.GetCount(), 1) << n;
        }
        // Flipped bytes anywhere: refused or read, never more.
        for (size_t at = 0; at < good.size(); at += 5) {
            std::vector<uint8_t> bad = good;
            bad[at] ^= 0xA5;
            FakeOwner owner;
            CVecFrame frame(&owner, VECFRAME_LENGTHS);
            const std::vector<uint8_t> in = FrameOf(s.type, bad, file);
            if (SUCCEEDED(file ? frame.LoadFile(MemStreamOf(in), "f.vec", FALSE, &owner)
                               : frame.Load(MemStreamOf(in), &owner))) {
                WhiteSurface surface(50, 50);
                frame.DrawAll(surface.dc());
            }
        }
    }
}

TEST(FigureFrames, AFrameHoldingAFigureIsShownNotMorphed) {
    FakeOwner owner;
    CVecFrame a(&owner, VECFRAME_LENGTHS), b(&owner, VECFRAME_LENGTHS),
        out(&owner, VECFRAME_LENGTHS);
    CPhysMeta* block = new CPhysMeta(&owner);
    block->SetKind(83);
    for (int v : {-5120, -5120, 10240, 10240}) block->Params1().Append(v);
    block->SetFillType(0);
    block->SetFillMode(1);
    block->SetColor(RGB(255, 0, 0));
    block->AddHolder();
    a.AddMeta(block, METATYPE_PHYS);
    CMathMeta* circle = new CMathMeta(&owner);
    circle->SetKind(39);
    for (int v : {15360, 15360, 2560}) circle->Params1().Append(v);
    b.AddMeta(circle, METATYPE_MATH);
    ASSERT_EQ(TweenFrames(a, b, &out, 0.5f, TweenParams()), S_OK);
    ASSERT_EQ(out.GetCount(), 1);
    EXPECT_EQ(out.GetMeta(0)->GetBaseValue(), METATYPE_PHYS);
    EXPECT_EQ(out.GetMeta(0)->GetFrame(), &out);
    WhiteSurface surface(200, 200);
    out.DrawAll(surface.dc());
    EXPECT_EQ(surface.At(100, 100), RGB(255, 0, 0));
    EXPECT_EQ(surface.At(125, 125), RGB(255, 255, 255));
}
