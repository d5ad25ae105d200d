#include <gtest/gtest.h>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorRecords.h"
#include "aVector.h"

namespace {

std::vector<POINT> PointsOf(const CVecPath& path) {
    return std::vector<POINT>(path.GetData(), path.GetData() + path.GetCount());
}

bool Same(const std::vector<POINT>& a, const std::vector<POINT>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    return true;
}

}  // namespace

TEST(VecPath, NewPathIndexChecksAndCopy) {
    CVecPath path;
    EXPECT_EQ(path.GetKind(), GRAPH_NONE);
    EXPECT_EQ(path.GetCount(), 0);
    {
        LogCapture log;
        POINT p = path.GetPoint(0);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
        EXPECT_TRUE(Logged(log.Text(), "Parameter invalid,index is 0."));
    }
    ASSERT_EQ(path.AddPoint(1, 2), S_OK);
    ASSERT_EQ(path.AddPoint(3, 4), S_OK);
    // One past the end is refused and changes nothing.
    EXPECT_EQ(path.SetPoint(2, POINT{9, 9}), E_INVALIDARG);
    EXPECT_EQ(path.SetPoint(-1, POINT{9, 9}), E_INVALIDARG);
    EXPECT_TRUE(Same(PointsOf(path), {{1, 2}, {3, 4}}));
    EXPECT_EQ(path.SetPoint(1, POINT{5, 6}), S_OK);
    {
        LogCapture log;
        EXPECT_EQ(path.RemovePoint(2), E_INVALIDARG);
        EXPECT_TRUE(Logged(log.Text(), "Parameter invalid,index is 2."));
    }
    POINT out[3] = {};
    EXPECT_EQ(path.GetPoints(out, 3), 2);
    EXPECT_EQ(out[1].y, 6);
    EXPECT_EQ(path.GetPoints(out, 1), 1);

    path.SetKind(GRAPH_POLYLINE);
    path.SetCornerPercent(25);
    path.SetEditValue(-3);
    EXPECT_TRUE(path.IsKind1());
    EXPECT_FALSE(path.IsKind2());
    CVecPath copy;
    ASSERT_EQ(copy.CopyFrom(path), S_OK);
    EXPECT_EQ(copy.GetKind(), 1);
    EXPECT_EQ(copy.GetCornerPercent(), 25);
    EXPECT_EQ(copy.GetEditValue(), -3);
    EXPECT_TRUE(Same(PointsOf(copy), {{1, 2}, {5, 6}}));
    // Clearing keeps the kind and attributes.
    copy.Clear();
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.GetKind(), 1);
    EXPECT_EQ(copy.GetCornerPercent(), 25);
}

TEST(VecPath, RotateTurnsTheOtherWay) {
    CVecPath path;
    path.AddPoint(110, 50);
    path.AddPoint(100, 50);
    ASSERT_EQ(path.Rotate(9000, POINT{100, 50}), S_OK);
    const POINT expected = RotatePoint(110, 50, 100, 50, -9000);
    const POINT other = RotatePoint(110, 50, 100, 50, 9000);
    ASSERT_FALSE(expected.x == other.x && expected.y == other.y);
    EXPECT_EQ(path.GetPoint(0).x, expected.x);
    EXPECT_EQ(path.GetPoint(0).y, expected.y);
    // The centre stays.
    EXPECT_EQ(path.GetPoint(1).x, 100);
    EXPECT_EQ(path.GetPoint(1).y, 50);
}

TEST(VecPath, InterpolationInStepsOf256Truncating) {
    const struct {
        POINT a, b;
        float x;
        POINT out;
    } cases[] = {
        {{0, 0}, {10, 11}, 0.5f, {5, 5}},          // 128 * 11 / 256 = 5.5
        {{0, 0}, {256, 256}, 0.999f, {255, 255}},  // a = 255: not yet b
        {{-1, 0}, {0, 0}, 0.5f, {0, 0}},           // -128 / 256 toward zero
        {{-10, -20}, {10, 20}, 0.0f, {-10, -20}}, {{-10, -20}, {10, 20}, 1.0f, {10, 20}},
        {{100, 0}, {0, 100}, 0.25f, {75, 25}},
    };
    for (const auto& c : cases) {
        CVecPath a, b, out;
        a.SetKind(GRAPH_BEZIER);
        a.SetCornerPercent(7);
        a.SetEditValue(8);
        a.AddPoint(c.a.x, c.a.y);
        b.AddPoint(c.b.x, c.b.y);
        out.AddPoint(1, 1);
        out.AddPoint(2, 2);
        ASSERT_EQ(CVecPath::Interpolate(a, b, &out, c.x), S_OK);
        ASSERT_EQ(out.GetCount(), 1) << c.x;
        EXPECT_EQ(out.GetPoint(0).x, c.out.x) << c.x;
        EXPECT_EQ(out.GetPoint(0).y, c.out.y) << c.x;
        EXPECT_EQ(out.GetKind(), GRAPH_BEZIER);
        EXPECT_EQ(out.GetCornerPercent(), 7);
        EXPECT_EQ(out.GetEditValue(), 8);
    }
    // b shorter than a: its missing points count as (0, 0), logged.
    CVecPath a, b, out;
    a.AddPoint(10, 10);
    a.AddPoint(20, 20);
    b.AddPoint(30, 30);
    LogCapture log;
    ASSERT_EQ(CVecPath::Interpolate(a, b, &out, 0.5f), S_OK);
    EXPECT_TRUE(Same(PointsOf(out), {{20, 20}, {10, 10}}));
    EXPECT_TRUE(Logged(log.Text(), "Parameter invalid,index is 1."));
}

TEST(VecPath, RecordReadAndWrittenFieldByField) {
    const std::vector<uint8_t> record = {
        0x05, 0x00, 0x00, 0x00,  // graph kind 5, a rounded rectangle
        0x14, 0x00, 0x00, 0x00,  // corner percent 20
        0xFF, 0xFF, 0xFF, 0xFF,  // edit value -1
        0x02, 0x00, 0x00, 0x00,  // two points
        0x0A, 0x00, 0x00, 0x00,  // (10,
        0xF6, 0xFF, 0xFF, 0xFF,  //  -10)
        0x00, 0x01, 0x00, 0x00,  // (256,
        0x00, 0x00, 0x01, 0x00,  //  65536)
    };
    ASSERT_EQ(record, PathRecord(5, 20, -1, {{10, -10}, {256, 65536}}));
    CVecPath path;
    path.AddPoint(1, 1);
    CComPtr<ITeskStream> in = MemStreamOf(record);
    ASSERT_EQ(path.Load(in), S_OK);
    EXPECT_EQ(in->GetPosition(), record.size());
    EXPECT_EQ(path.GetKind(), 5);
    EXPECT_EQ(path.GetCornerPercent(), 20);
    EXPECT_EQ(path.GetEditValue(), -1);
    EXPECT_TRUE(Same(PointsOf(path), {{10, -10}, {256, 65536}}));

    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(path.Save(out), S_OK);
    EXPECT_EQ(ContentBytes(out), record);

    // An empty path is the head alone.
    CVecPath empty;
    CComPtr<ITeskStream> out2 = NewMemStream();
    ASSERT_EQ(empty.Save(out2), S_OK);
    EXPECT_EQ(ContentBytes(out2), PathRecord(GRAPH_NONE, 0, 0, {}));
}

TEST(VecPath, ShortAndCorruptRecordsLeaveThePathAlone) {
    const std::vector<uint8_t> good = PathRecord(1, 0, 0, {{1, 2}, {3, 4}, {5, 6}});
    std::vector<std::vector<uint8_t>> bad;
    for (size_t n = 0; n < good.size(); ++n) bad.push_back(Cut(good, n));
    bad.push_back(PathRecord(1, 0, 0, {}));
    bad.back()[12] = 0xFF;  // count -1
    bad.back()[13] = 0xFF;
    bad.back()[14] = 0xFF;
    bad.back()[15] = 0xFF;
    bad.push_back(PathRecord(1, 0, 0, {{1, 2}}));
    bad.back()[15] = 0x40;  // count 0x40000001: 8n wraps in 32 bits
    bad.push_back(PathRecord(1, 0, 0, {{1, 2}}));
    bad.back()[12] = 2;  // one point more than the stream holds
    for (const auto& bytes : bad) {
        CVecPath path;
        path.SetKind(3);
        path.AddPoint(7, 8);
        EXPECT_EQ(path.Load(MemStreamOf(bytes)), E_FAIL) << bytes.size();
        EXPECT_EQ(path.GetKind(), 3);
        EXPECT_TRUE(Same(PointsOf(path), {{7, 8}}));
    }
}
