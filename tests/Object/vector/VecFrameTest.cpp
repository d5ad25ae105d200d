#include <gtest/gtest.h>

#include <functional>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorFixtures.h"
#include "VectorRecords.h"
#include "aGrphMta.h"

namespace {

std::vector<uint8_t> SavedBy(std::function<void(ITeskStream*)> save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s);
    return ContentBytes(s);
}

// A graph meta's body as the frame stores it: a rectangle from (x, x) to
// (x + 10, x + 10).
std::vector<uint8_t> RectBody(int x) {
    CGraphMeta m(nullptr);
    m.SetKind(GRAPH_RECT);
    m.AddPoint(x, x);
    m.AddPoint(x + 10, x + 10);
    m.FinishShape();
    return SavedBy([&](ITeskStream* s) { m.Save(s); });
}

// Head of a frame record: flags (16 bits), next meta id, count.
RecordWriter FrameHead(WORD flags, int nextId, int count) {
    RecordWriter w;
    w.Bytes({(uint8_t)flags, (uint8_t)(flags >> 8)});
    w.I32(nextId).I32(count);
    return w;
}

void Length(RecordWriter& w, size_t n) {
    w.I32((int32_t)n).I32(0);
}

int FirstX(const CVecFrame& f, int i) {
    return f.GetGraphMeta(i) ? f.GetGraphMeta(i)->GetPoint(0).x : -1;
}

}  // namespace

TEST(VecFrame, UnknownTypesAreSkippedByTheirLength) {
    const std::vector<uint8_t> a = RectBody(1), b = RectBody(2);
    RecordWriter w = FrameHead(VECFRAME_LENGTHS, 7, 3);
    w.I32(METATYPE_GRAPH);
    Length(w, a.size());
    w.Bytes(a);
    w.I32(9);  // a type no reader knows, 40 bytes
    Length(w, 40);
    w.Bytes(std::vector<uint8_t>(40, 0xEE));
    w.I32(METATYPE_GRAPH);
    Length(w, b.size());
    w.Bytes(b);
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    CComPtr<ITeskStream> in = MemStreamOf(w.Get());
    ASSERT_EQ(frame.Load(in, &owner), S_OK);
    EXPECT_EQ(in->GetPosition(), w.Get().size());
    ASSERT_EQ(frame.GetCount(), 2);
    EXPECT_EQ(FirstX(frame, 0), 1);
    EXPECT_EQ(FirstX(frame, 1), 2);
    EXPECT_EQ(frame.GetFlags(), VECFRAME_LENGTHS);  // the stored flags
    EXPECT_EQ(frame.GetMeta(0)->GetFrame(), &frame);
    EXPECT_EQ(frame.GetGraphMeta(1)->GetEnv(), &owner);
    EXPECT_EQ(frame.GetMeta(-1), nullptr);
    EXPECT_EQ(frame.GetMeta(2), nullptr);
}

TEST(VecFrame, FlagsWithoutLengthsAndSavingHiddenMetas) {
    RecordWriter w = FrameHead(0, 3, 3);
    for (int x : {1, 2, 3}) w.I32(METATYPE_GRAPH).Bytes(RectBody(x));
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    ASSERT_EQ(frame.Load(MemStreamOf(w.Get()), &owner), S_OK);
    ASSERT_EQ(frame.GetCount(), 3);
    EXPECT_EQ(frame.GetFlags(), 0);
    EXPECT_EQ(frame.SetMetaRemoved(3), E_INVALIDARG);
    ASSERT_EQ(frame.SetMetaRemoved(1), S_OK);
    const std::vector<uint8_t> saved = SavedBy([&](ITeskStream* s) { frame.Save(s); });

    // Saving sets the lengths bit and leaves the hidden meta out.
    RecordWriter expected = FrameHead(VECFRAME_LENGTHS, 3, 2);
    for (int x : {1, 3}) {
        expected.I32(METATYPE_GRAPH);
        Length(expected, RectBody(x).size());
        expected.Bytes(RectBody(x));
    }
    EXPECT_EQ(saved, expected.Get());
    EXPECT_EQ(frame.GetCount(), 2);
    EXPECT_EQ(FirstX(frame, 1), 3);
}

TEST(VecFrame, DamagedRecordsLeaveTheFrameAlone) {
    const std::vector<uint8_t> a = RectBody(1);
    RecordWriter w = FrameHead(VECFRAME_LENGTHS, 7, 2);
    w.I32(METATYPE_GRAPH);
    Length(w, a.size());
    w.Bytes(a);
    w.I32(9);
    Length(w, 8);
    w.Bytes(std::vector<uint8_t>(8, 1));
    const std::vector<uint8_t> good = w.Get();
    std::vector<std::vector<uint8_t>> bad;
    for (size_t n = 0; n < good.size(); n += (n < 30 ? 1 : 11)) bad.push_back(Cut(good, n));
    bad.push_back(Cut(good, good.size() - 1));
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> c = good;
        std::copy(bytes.begin(), bytes.end(), c.begin() + (ptrdiff_t)at);
        bad.push_back(c);
    };
    patched(6, {0xFF, 0xFF, 0xFF, 0xFF});                           // count -1
    patched(6, {0x00, 0x00, 0x00, 0x10});                           // count beyond the stream
    patched(14, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80});  // negative length
    patched(14, {0x00, 0x00, 0x01, 0x00});                          // length beyond the stream
    patched(14, {0x04, 0x00, 0x00, 0x00});                          // a body longer than its length
    RecordWriter noLength = FrameHead(0, 1, 1);
    noLength.I32(9).I32(0);  // an unknown type cannot be passed without a length
    bad.push_back(noLength.Get());
    FakeOwner owner;
    for (const auto& bytes : bad) {
        CVecFrame frame(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
        CGraphMeta* keep = new CGraphMeta(&owner);
        keep->SetKind(GRAPH_LINE);
        keep->AddPoint(42, 0);
        frame.AddMeta(keep, METATYPE_GRAPH);
        EXPECT_EQ(frame.Load(MemStreamOf(bytes), &owner), E_FAIL) << bytes.size();
        ASSERT_EQ(frame.GetCount(), 1);
        EXPECT_EQ(FirstX(frame, 0), 42);
        EXPECT_EQ(frame.GetFlags(), VECFRAME_LENGTHS | VECFRAME_BOARD);
    }
}

TEST(VecFrame, CopiesHitTestsAndRotation) {
    FakeOwner owner;
    CVecFrame frame(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    for (int x : {-30, -10}) {
        CGraphMeta* m = new CGraphMeta(&owner);
        m->SetKind(GRAPH_RECT);
        m->AddPoint(x, x);
        m->AddPoint(x + 40, x + 40);
        m->FinishShape();
        frame.AddMeta(m, METATYPE_GRAPH);
    }
    // Owner point (100, 100) is meta point (0, 0): inside both.
    int* hits = nullptr;
    int count = 0;
    ASSERT_EQ(frame.HitTest(POINT{100, 100}, nullptr, &hits, &count), S_OK);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(hits[0], 0);
    EXPECT_EQ(hits[1], 1);
    delete[] hits;
    ASSERT_EQ(frame.HitTest(POINT{125, 125}, nullptr, &hits, &count), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(hits[0], 1);
    delete[] hits;

    CVecFrame copy(&owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    ASSERT_EQ(copy.DuplicateFrom(frame), S_OK);
    ASSERT_EQ(copy.GetCount(), 2);
    EXPECT_EQ(copy.GetMeta(1)->GetFrame(), &copy);
    EXPECT_EQ(FirstX(copy, 1), -10);

    frame.SetMetaRemoved(0);
    frame.SetMetaRemoved(1);
    ASSERT_EQ(frame.HitTest(POINT{100, 100}, nullptr, &hits, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hits, nullptr);
    frame.RemoveEmptyMetas();
    EXPECT_EQ(frame.GetCount(), 0);

    // A frame turned by a turns its points by +a about the owner's centre;
    // a path holder's frame does not turn.
    CGraphMeta* p = new CGraphMeta(&owner);
    p->SetKind(GRAPH_LINE);
    p->AddPoint(30, 0);
    p->AddPoint(0, 0);
    copy.Clear();
    copy.AddMeta(p, METATYPE_GRAPH);
    ASSERT_EQ(copy.Rotate(4500), S_OK);
    const POINT expected = RotatePoint(30, 0, 0, 0, 4500);
    EXPECT_EQ(p->GetPoint(0).x, expected.x);
    EXPECT_EQ(p->GetPoint(0).y, expected.y);
    CVecFrame path(&owner, VECFRAME_LENGTHS | VECFRAME_PATH);
    CGraphMeta* q = new CGraphMeta(&owner);
    q->SetKind(GRAPH_LINE);
    q->AddPoint(30, 0);
    path.AddMeta(q, METATYPE_GRAPH);
    path.Rotate(4500);
    EXPECT_EQ(q->GetPoint(0).x, 30);
}
