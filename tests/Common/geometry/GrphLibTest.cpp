// Angles, rotation, the point array, arcs and polyline offsetting.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "bGrphLib.h"

namespace {

TEST(Angles, SineAndCosineTable) {
    struct {
        int angle, sine, cosine;
    } rows[] = {
        {0, 0, 10000},         {9050, 9998, -175},   {-9000, -10000, 0},       {18000, 0, -10000},
        {9000, 10000, 0},      {27000, -10000, 0},   {36000, 0, 10000},        {4500, 7071, 7071},
        {3099, 5000, 8660},    {35999, 0, 10000},    {-36000, 0, 10000},       {13500, 7071, -7071},
        {22500, -7071, -7071}, {31500, -7071, 7071}, {72000 + 100, 175, 9998},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(SinCent(r.angle), r.sine) << r.angle;
        EXPECT_EQ(CosCent(r.angle), r.cosine) << r.angle;
    }
}

TEST(Angles, AngleOfVectorExamplesAndQuadrantEdges) {
    struct {
        int dx, dy, angle;
    } rows[] = {
        {100, 100, 4500}, {-100, 100, 13500},  {-100, -100, 22500}, {100, -100, 31500},
        {3, 4, 5300},     {1000, 577, 3000},   {0, 5, 9000},        {-3, 0, 18000},
        {1, 1, 9000},     {0, 0, 0},           {0, -7, 27000},      {9, 0, 0},
        {100000, 1, 0},   {-100000, 1, 18000}, {1, -100000, 27000},
    };
    for (const auto& r : rows) EXPECT_EQ(AngleOfVector(r.dx, r.dy), r.angle) << r.dx << "," << r.dy;
}

TEST(Angles, IntSqrt64NearestRoot) {
    struct {
        unsigned long long value;
        int root;
    } rows[] = {
        {8, 3},
        {2, 1},
        {0, 0},
        {0x8000000000000000ULL, 0},
        {~0ULL, 0},
        {1, 1},
        {3, 2},
        {4, 2},
        {6, 2},
        {7, 2},
        {1000000, 1000},
        {1332929, 1154},
        {1ULL << 62, (int)2147483648u},
    };
    for (const auto& r : rows) EXPECT_EQ(IntSqrt64(r.value), r.root) << r.value;
    // Newton's last two iterates stay within one of the real root.
    srand(7);
    for (int i = 0; i < 2000; ++i) {
        unsigned long long v = ((unsigned long long)rand() << 30) ^ (unsigned long long)rand();
        long long r = IntSqrt64(v);
        EXPECT_LE((r - 1) * (r - 1), (long long)v) << v;
        EXPECT_GE((r + 1) * (r + 1), (long long)v) << v;
    }
}

TEST(Angles, RotatePointTruncatesTowardZero) {
    POINT p = RotatePoint(100, 0, 0, 0, 9000);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 100);
    p = RotatePoint(10, 10, 5, 5, 4500);  // (5,5) turned: cos=sin=7071
    EXPECT_EQ(p.x, 5);                    // 5 + (35355 - 35355) / 10000
    EXPECT_EQ(p.y, 12);                   // 5 + 70710 / 10000 = 5 + 7
    POINT four[4];
    RECT r = {0, 0, 10, 20};
    RectToPoints(&r, 0, 0, 0, four);
    EXPECT_EQ(four[1].x, 0);
    EXPECT_EQ(four[1].y, 20);
    EXPECT_EQ(four[3].x, 10);
    EXPECT_EQ(four[3].y, 0);
    POINT pts[2] = {{3, -4}, {-1000, 7}};
    RotatePoints(2, pts, 1, 1, 18000);
    EXPECT_EQ(pts[0].x, -1);
    EXPECT_EQ(pts[0].y, 6);
    EXPECT_EQ(pts[1].x, 1002);
    EXPECT_EQ(pts[1].y, -5);
}

TEST(PointArrayTest, GrowsByEightAndReadsSpareOutside) {
    PointArray a;
    EXPECT_EQ(a.GetCapacity(), 0);
    int seen[4] = {0, 0, 0, 0};
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(a.Push(i, -i), 1);
        if (i == 0)
            seen[1] = a.GetCapacity();
        if (i == 8)
            seen[2] = a.GetCapacity();
        if (i == 16)
            seen[3] = a.GetCapacity();
    }
    EXPECT_EQ(seen[1], 8);
    EXPECT_EQ(seen[2], 16);
    EXPECT_EQ(seen[3], 24);
    EXPECT_EQ(a[-1].x, 0);
    EXPECT_EQ(a[24].y, 0);
    EXPECT_EQ(a[5].y, -5);
    EXPECT_EQ(a.RemoveAt(0), 1);
    EXPECT_EQ(a.RemoveAt(23), 0);
    EXPECT_EQ(a.GetCount(), 23);
    EXPECT_EQ(a[0].x, 1);
    POINT run[3] = {{1, 1}, {2, 2}, {3, 3}};
    ASSERT_EQ(a.Append(run, 3), 1);
    EXPECT_EQ(a.GetCapacity(), 24 + 3);  // grown by exactly the run's count
    EXPECT_EQ(a[25].x, 3);
}

TEST(Arcs, EqualAnglesGiveTheFullEllipse) {
    PointArray a;
    POINT c = {0, 0}, s = {100, 0};
    ASSERT_EQ(ArcToPoints(s, s, c, 100, 100, &a, 36, 100), S_OK);
    // 36 steps of 1000 from 0 to 36000, the start on the ellipse, the end
    // equal to the last... the last point is angle 35000, so the end follows.
    ASSERT_EQ(a.GetCount(), 37);
    EXPECT_EQ(a[0].x, 100);
    EXPECT_EQ(a[9].x, 0);
    EXPECT_EQ(a[9].y, 100);
    EXPECT_EQ(a[36].x, 100);
    EXPECT_EQ(a[36].y, 0);
}

TEST(Arcs, StartOffTheEllipseComesFirst) {
    PointArray a;
    POINT c = {0, 0}, s = {50, 0}, e = {0, 100};
    ASSERT_EQ(ArcToPoints(s, e, c, 100, 100, &a, 4, 100), S_OK);
    ASSERT_GE(a.GetCount(), 3);
    EXPECT_EQ(a[0].x, 50);
    EXPECT_EQ(a[1].x, 100);
    EXPECT_EQ(a[a.GetCount() - 1].y, 100);
}

TEST(Arcs, DegenerateRadiiAndStepCountsEnd) {
    PointArray a;
    POINT c = {5, 6}, s = {0, 0};
    ASSERT_EQ(ArcToPoints(s, s, c, -1, 10, &a, 0, 100), S_OK);
    ASSERT_EQ(a.GetCount(), 1);
    EXPECT_EQ(a[0].x, 5);
    // A count beyond 36000 would make a step of 0; negative counts likewise.
    for (int steps : {100000, -5, 0x7FFFFFFF}) {
        PointArray b;
        ASSERT_EQ(ArcToPoints(POINT{10, 0}, POINT{0, 10}, POINT{0, 0}, 10, 10, &b, steps, 100),
                  S_OK);
        EXPECT_LE(b.GetCount(), 9002) << steps;
        EXPECT_GE(b.GetCount(), 2) << steps;
    }
}

TEST(Offsetting, SegmentNormalsAndIntersections) {
    POINT a = {0, 0}, b = {0, 10};
    OffsetSegment(&a, &b, 3);  // runs towards +y: +3 in x
    EXPECT_EQ(a.x, 3);
    EXPECT_EQ(b.x, 3);
    a = {0, 0}, b = {10, 0};
    OffsetSegment(&a, &b, 3);  // towards +x: -3 in y
    EXPECT_EQ(a.y, -3);
    POINT out;
    // Parallel vertical lines meet at the midpoint of B and C.
    LineIntersection(POINT{0, 0}, POINT{0, 10}, POINT{4, 10}, POINT{4, 20}, &out);
    EXPECT_EQ(out.x, 2);
    EXPECT_EQ(out.y, 10);
    LineIntersection(POINT{0, 0}, POINT{10, 0}, POINT{10, 6}, POINT{0, 6}, &out);
    EXPECT_EQ(out.x, 10);
    EXPECT_EQ(out.y, 3);
    // Crossing slopes.
    LineIntersection(POINT{0, 0}, POINT{10, 10}, POINT{0, 10}, POINT{10, 0}, &out);
    EXPECT_EQ(out.x, 5);
    EXPECT_EQ(out.y, 5);
}

TEST(Offsetting, PolylinesAndTooShortOnes) {
    POINT one[1] = {{7, 7}};
    EXPECT_EQ(OffsetPolyline(one, 5, 1), S_OK);
    EXPECT_EQ(one[0].x, 7);
    EXPECT_EQ(OffsetClosedPolyline(one, 5, 1), S_OK);
    EXPECT_EQ(one[0].y, 7);
    EXPECT_EQ(OffsetPolyline(nullptr, 5, 0), S_OK);
    // An L: right along y = 0, then down along x = 10.
    POINT l[3] = {{0, 0}, {10, 0}, {10, 10}};
    ASSERT_EQ(OffsetPolyline(l, 2, 3), S_OK);
    EXPECT_EQ(l[0].x, 0);
    EXPECT_EQ(l[0].y, -2);
    EXPECT_EQ(l[1].x, 12);
    EXPECT_EQ(l[1].y, -2);
    EXPECT_EQ(l[2].x, 12);
    EXPECT_EQ(l[2].y, 10);
    // A closed square grows outwards (clockwise on screen).
    POINT sq[5] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    ASSERT_EQ(OffsetClosedPolyline(sq, 1, 5), S_OK);
    EXPECT_EQ(sq[0].x, -1);
    EXPECT_EQ(sq[0].y, -1);
    EXPECT_EQ(sq[4].x, -1);
    EXPECT_EQ(sq[2].x, 11);
    EXPECT_EQ(sq[2].y, 11);
}

TEST(Points, DistancesAndSmallHelpers) {
    EXPECT_EQ(PointDistance(0, 0, 3, 4), 5);
    EXPECT_EQ(PointDistanceSquared(-1000000000, 0, 1000000000, 7), 4000000000000000049LL);
    POINT p;
    PointAtDistance(0, 0, 0, 0, 5, &p);
    EXPECT_EQ(p.x, 0);
    PointAtDistance(0, 0, 30, 40, 10, &p);
    EXPECT_EQ(p.y, 8);
    EXPECT_EQ(p.x, 6);
    EXPECT_EQ(Factorial(0), 1);
    EXPECT_EQ(Factorial(5), 120);
    EXPECT_EQ(RasterOpFromROP2(13), 0x00CC0020u);
    EXPECT_EQ(RasterOpFromROP2(1), 0x00000042u);
    EXPECT_EQ(RasterOpFromROP2(16), 0x00FF0062u);
    EXPECT_EQ(RasterOpFromROP2(0), 0x00CC0020u);
    POINT pts[2] = {{-300, 513}, {1, -1}};
    ScalePointsUp(pts, 2);
    EXPECT_EQ(pts[0].x, -76800);
    ScalePointsDown(pts, 2);
    EXPECT_EQ(pts[0].x, -300);
    EXPECT_EQ(pts[1].y, -1);
    POINT* arr = nullptr;
    int n = 0;
    ASSERT_EQ(AppendPointToArray(&arr, &n, 4, 5), S_OK);
    ASSERT_EQ(AppendPointToArray(&arr, &n, 6, 7), S_OK);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(arr[1].y, 7);
    free(arr);
}

}  // namespace
