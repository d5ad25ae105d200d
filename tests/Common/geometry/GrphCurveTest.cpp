// Hit tests, Bezier conversions, flattening, bounds and arc length.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include "bGrphLib.h"

namespace {

TEST(VectorAngles, ClampedCosineAndZeroVectors) {
    float deg = -1;
    VectorAngle(POINT{5, 5}, POINT{5, 5}, POINT{9, 1}, &deg);
    EXPECT_EQ(deg, 0.0f);
    VectorAngle(POINT{1, 0}, POINT{0, 0}, POINT{0, 7}, &deg);
    EXPECT_NEAR(deg, 90.0f, 1e-4);
    // Parallel and opposite vectors whose rounded cosine passes 1.
    srand(3);
    for (int i = 0; i < 500; ++i) {
        const int x = rand() % 2000 - 1000, y = rand() % 2000 - 1000, k = 1 + rand() % 50;
        if (x == 0 && y == 0)
            continue;
        VectorAngle(POINT{x, y}, POINT{0, 0}, POINT{x * k, y * k}, &deg);
        ASSERT_FALSE(isnan(deg)) << x << "," << y << "," << k;
        EXPECT_NEAR(deg, 0.0f, 0.05f);
        VectorAngle(POINT{x, y}, POINT{0, 0}, POINT{-x * k, -y * k}, &deg);
        ASSERT_FALSE(isnan(deg));
        EXPECT_NEAR(deg, 180.0f, 0.05f);
    }
    EXPECT_TRUE(PointInTriangle(1, 1, 0, 0, 10, 0, 0, 10));
    EXPECT_FALSE(PointInTriangle(9, 9, 0, 0, 10, 0, 0, 10));
    // On a vertex one angle is 0 and the sum stays short of 360.
    EXPECT_FALSE(PointInTriangle(0, 0, 0, 0, 10, 0, 0, 10));
}

TEST(HitTests, LinesPolylinesAndOutlines) {
    struct {
        int px, py, x1, y1, x2, y2, hit;
    } lines[] = {
        {5, 3, 5, 0, 5, 10, 1},   // on a vertical segment
        {6, 3, 5, 0, 5, 10, 0},   // 1 away: beyond 0.6
        {5, 11, 5, 0, 5, 10, 0},  // past its end
        {3, 3, 0, 0, 10, 10, 1},   {3, 4, 0, 0, 10, 10, 0},
        {11, 11, 0, 0, 10, 10, 0}, {4, 0, 0, 0, 9, 0, 1},
    };
    for (const auto& l : lines)
        EXPECT_EQ(HitTestLine(l.x1, l.y1, l.px, l.py, l.x2, l.y2), l.hit) << l.px << "," << l.py;
    const POINT tri[3] = {{0, 0}, {20, 0}, {0, 20}};
    EXPECT_EQ(HitTestPolyline(10, 1, tri, 3, FALSE, 2), 1);
    EXPECT_EQ(HitTestPolyline(10, 10, tri, 3, FALSE, 1), 1);  // on the slanted edge
    EXPECT_EQ(HitTestPolyline(0, 10, tri, 3, FALSE, 1), 0);
    EXPECT_EQ(HitTestPolyline(0, 10, tri, 3, TRUE, 1), 1);  // the closing edge
    EXPECT_EQ(HitTestPolyline(0, 0, tri, 1, TRUE, 5), 0);
    const RECT r = {0, 0, 100, 60};
    EXPECT_EQ(HitTestOvalBound(50, 1, &r, 3), 1);
    EXPECT_EQ(HitTestOvalBound(50, 30, &r, 3), 0);
    EXPECT_EQ(HitTestOvalBound(150, 30, &r, 3), 0);
    EXPECT_EQ(HitTestRoundRectBound(50, 0, &r, 20, 1), 1);   // top edge
    EXPECT_EQ(HitTestRoundRectBound(0, 30, &r, 20, 1), 1);   // left edge
    EXPECT_EQ(HitTestRoundRectBound(50, 30, &r, 20, 1), 0);  // inside
    EXPECT_EQ(HitTestRoundRectBound(0, 0, &r, 40, 1), 0);    // the corner is rounded off
    int w = 0, h = 0;
    RoundRectEllipseSize(&r, 20, &w, &h);
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 12);
}

TEST(Bezier, FivePointsGiveSevenControlPoints) {
    const POINT q[5] = {{0, 0}, {10, 10}, {20, 10}, {30, 0}, {60, 30}};
    ASSERT_EQ(BezierControlCount(5), 7);
    POINT c[7];
    ASSERT_EQ(BezierBoundPtToCtrlPt(q, 5, c), S_OK);
    EXPECT_EQ(c[0].x, 0);
    EXPECT_EQ(c[3].x, 30);
    // The straight remainder: thirds of (30, 0)-(60, 30), then the end.
    EXPECT_EQ(c[4].x, 40);
    EXPECT_EQ(c[4].y, 10);
    EXPECT_EQ(c[5].x, 50);
    EXPECT_EQ(c[5].y, 20);
    EXPECT_EQ(c[6].x, 60);
    // The fitted segment passes through the given points at chord parameters.
    POINT* flat = nullptr;
    int n = 0;
    ASSERT_EQ(FlattenBezier(c, 4, &flat, &n), S_OK);
    EXPECT_EQ(n, 51);
    int best = 1 << 30;
    for (int i = 0; i < n; ++i)
        best = std::min(best, (int)(labs(flat[i].x - 10) + labs(flat[i].y - 10)));
    EXPECT_LE(best, 2);
    free(flat);
    EXPECT_EQ(BezierBoundPtToCtrlPt(q, 1, c), E_INVALIDARG);
    EXPECT_EQ(BezierControlCount(4), 4);
    EXPECT_EQ(BezierControlCount(6), 7);
    EXPECT_EQ(BezierControlCount(1), 0);
}

TEST(Bezier, FlatteningTakesWholeSegmentsOnly) {
    const POINT c[7] = {{0, 0}, {0, 30}, {30, 30}, {30, 0}, {30, -30}, {60, -30}, {60, 0}};
    struct {
        int count, points;
        HRESULT hr;
    } rows[] = {{7, 102, S_OK}, {6, 51, S_OK}, {5, 51, S_OK},        {4, 51, S_OK},
                {3, 0, S_OK},   {2, 0, S_OK},  {1, 0, E_INVALIDARG}, {0, 0, E_INVALIDARG}};
    for (const auto& r : rows) {
        POINT* out = nullptr;
        int n = -1;
        EXPECT_EQ(FlattenBezier(c, r.count, &out, &n), r.hr) << r.count;
        if (SUCCEEDED(r.hr)) {
            EXPECT_EQ(n, r.points) << r.count;
            if (n == 102) {
                EXPECT_EQ(out[50].x, 30);  // each joint twice
                EXPECT_EQ(out[51].x, 30);
                // t = 0.5, each term truncated: 0, 0, 11.25 -> 11, 14.75 -> 14.
                EXPECT_EQ(out[25].x, 14);
                EXPECT_EQ(out[25].y, 22);  // (0 + 90 + 90 + 0) / 8 = 22.5 truncated
            }
        }
        free(out);
    }
}

TEST(Bezier, StraightFormBoundsAndHits) {
    const POINT p[3] = {{0, 0}, {30, 0}, {30, 30}};
    POINT* out = nullptr;
    int n = 0;
    ASSERT_EQ(PointsToBezier(p, 3, &out, &n, FALSE), S_OK);
    ASSERT_EQ(n, 7);
    EXPECT_EQ(out[1].x, 10);
    EXPECT_EQ(out[2].x, 20);
    EXPECT_EQ(out[5].y, 20);
    free(out);
    ASSERT_EQ(PointsToBezier(p, 3, &out, &n, TRUE), S_OK);
    EXPECT_EQ(n, 9);
    EXPECT_EQ(out[8].x, 10);  // (30 + 2*0) / 3
    EXPECT_EQ(out[8].y, 10);
    free(out);
    const POINT arc[4] = {{0, 0}, {0, 100}, {100, 100}, {100, 0}};
    POINT lo = {1 << 30, 1 << 30}, hi = {-(1 << 30), -(1 << 30)};
    ASSERT_EQ(BezierSegmentBounds(arc, &lo, &hi), 0);
    EXPECT_EQ(lo.x, 0);
    EXPECT_EQ(hi.x, 100);
    EXPECT_GE(hi.y, 74);  // the curve peaks at 75
    EXPECT_LE(hi.y, 76);
    EXPECT_EQ(HitTestBezierSegment(50, 75, arc, 1), 1);
    EXPECT_EQ(HitTestBezierSegment(50, 50, arc, 1), 0);
    EXPECT_EQ(HitTestPolyBezier(50, 74, arc, 4, 2), 1);
    const POINT through[3] = {{0, 0}, {50, 50}, {100, 0}};
    EXPECT_EQ(HitTestBezierBound(50, 50, through, 3, FALSE, 1), 1);
    EXPECT_EQ(HitTestBezierBound(50, 50, through, 1, FALSE, 1), 0);
    // Extreme control points end (the halving is bounded).
    const POINT wild[4] = {
        {-2000000000, 5}, {2000000000, -2000000000}, {-2000000000, 2000000000}, {2000000000, 7}};
    HitTestBezierSegment(0, 0, wild, 1);
    POINT l2 = {0, 0}, h2 = {0, 0};
    BezierSegmentBounds(wild, &l2, &h2);
}

TEST(Bezier, ArcLengthBySimpson) {
    // A straight cubic from (0, 0) to (3, 0) at constant speed 3.
    double c[5];
    BezierSpeedCoefficients(POINT{0, 0}, POINT{1, 0}, POINT{2, 0}, POINT{3, 0}, c);
    double len = 0;
    ASSERT_TRUE(SimponIntergral(c, 5, 0, 1, &len));
    EXPECT_NEAR(len, 3.0, 1e-9);
    // This arch's speed is the polynomial 300 (1 - 2t + 2t^2): length 200.
    BezierSpeedCoefficients(POINT{0, 0}, POINT{0, 100}, POINT{100, 100}, POINT{100, 0}, c);
    ASSERT_TRUE(SimponIntergral(c, 5, 0, 1, &len));
    EXPECT_NEAR(len, 200.0, 1e-9);
    // An S curve against a fine polyline of it.
    BezierSpeedCoefficients(POINT{0, 0}, POINT{300, 0}, POINT{-200, 100}, POINT{100, 100}, c);
    ASSERT_TRUE(SimponIntergral(c, 5, 0, 1, &len));
    double poly = 0, px = 0, py = 0;
    for (int i = 1; i <= 100000; ++i) {
        const double t = i / 100000.0, u = 1 - t;
        const double x = 3 * t * u * u * 300 + 3 * t * t * u * -200 + t * t * t * 100;
        const double y = 3 * t * t * u * 100 + t * t * t * 100;
        poly += hypot(x - px, y - py);
        px = x;
        py = y;
    }
    EXPECT_NEAR(len, poly, poly * 1e-3);
    EXPECT_FALSE(SimponIntergral(c, 4, 0, 1, &len));
    double v = 0;
    double bad[5] = {0, 0, 0, 0, -1};
    EXPECT_FALSE(IntergraFunc(bad, 5, 0.5, &v));
    // Coefficients that never settle still end.
    double wild[5] = {1e300, -1e300, 1e300, 0, 1};
    SimponIntergral(wild, 5, 0, 1, &len);
    double nan5[5] = {NAN, 0, 0, 0, 1};
    EXPECT_FALSE(SimponIntergral(nan5, 5, 0, 1, &len));
}

}  // namespace
