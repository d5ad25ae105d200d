// The thirteen transition plug-ins: moves, regions, masks, tiling,
// decorations, the shadow; setters, records and corrupted records.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <limits>
#include <vector>

#include "PixelTestUtil.h"
#include "StreamFixtures.h"
#include "aStorage.h"
#include "aFrameCompose.h"
#include "aTransPlugin.h"

using namespace pixtest;

namespace {

template <class T>
CComPtr<T> Make(int number) {
    CComPtr<T> p;
    EXPECT_EQ(CreateTransitionPlugin(number, __uuidof(T), (void**)&p), S_OK) << number;
    return p;
}

CComPtr<ITransitionParams> Params(IUnknown* p) {
    CComPtr<ITransitionParams> params;
    p->QueryInterface(__uuidof(ITransitionParams), (void**)&params);
    return params;
}

bool RegionIs(HRGN rgn, const RECT& r) {
    HRGN want = CreateRectRgnIndirect(&r);
    bool same = rgn && EqualRgn(rgn, want);
    DeleteObject(want);
    return same;
}

bool RegionEmpty(HRGN rgn) {
    RECT box;
    return !rgn || GetRgnBox(rgn, &box) == NULLREGION;
}

TEST(TransitionMove, KindsPlaceTheContent) {
    CComPtr<ITransitionMove> move = Make<ITransitionMove>(1);
    const RECT R = {10, 20, 110, 70};
    struct {
        int kind;
        double x;
        RECT want;
    } rows[] = {
        {0, 0.0, {-90, 20, 10, 70}},  {0, 1.0, {10, 20, 110, 70}},   {1, 0.25, {85, 20, 185, 70}},
        {3, 0.5, {10, 45, 110, 95}},  {7, 0.0, {110, 70, 210, 120}}, {8, 0.5, {10, 20, 60, 70}},
        {15, 0.5, {60, 45, 110, 70}}, {16, 0.5, {35, 32, 85, 57}},   {16, 1.0, {10, 20, 110, 70}},
        {16, 0.0, {60, 45, 60, 45}},
    };
    for (const auto& r : rows) {
        ASSERT_EQ(Params(move)->SetParam(0, r.kind), S_OK);
        RECT out;
        ASSERT_EQ(move->MoveRect(&R, r.x, &out), S_OK);
        EXPECT_TRUE(EqualRect(&out, &r.want)) << r.kind << " " << r.x << ": " << out.left << ","
                                              << out.top << "," << out.right << "," << out.bottom;
    }
}

TEST(TransitionMove, UncoveredRectsCompleteTheContent) {
    CComPtr<ITransitionMove> move = Make<ITransitionMove>(1);
    const RECT R = {0, 0, 64, 48};
    for (int kind = 0; kind <= 16; ++kind) {
        Params(move)->SetParam(0, kind);
        for (double x : {0.0, 0.3, 0.5, 0.77, 1.0}) {
            RECT content;
            move->MoveRect(&R, x, &content);
            int n = 0;
            const RECT* rs = nullptr;
            ASSERT_EQ(move->GetUncoveredRects(&R, x, &n, &rs), S_OK);
            // Every pixel of R is covered by the content or by an uncovered
            // rectangle (the centred box's strips may overlap it by a pixel).
            std::vector<int> hit(64 * 48, 0);
            auto mark = [&](const RECT& r) {
                for (int y = r.top < 0 ? 0 : r.top; y < r.bottom && y < 48; ++y)
                    for (int xx = r.left < 0 ? 0 : r.left; xx < r.right && xx < 64; ++xx)
                        hit[y * 64 + xx] = 1;
            };
            mark(content);
            for (int i = 0; i < n; ++i) mark(rs[i]);
            int area = 0, covered = 0;
            for (int v : hit) area += v;
            EXPECT_EQ(area + covered, 64 * 48) << kind << " " << x;
        }
    }
}

TEST(TransitionSetters, RangesAreChecked) {
    struct {
        int number, index;
        double value;
        HRESULT hr;
        double stored;  // NAN: unchanged default
    } rows[] = {
        {1, 0, 17, E_FAIL, NAN},  {1, 0, -1, E_FAIL, NAN},  {1, 0, 16, S_OK, 16},
        {2, 0, 8, E_FAIL, NAN},   {2, 0, 7, S_OK, 7},       {3, 0, -4, S_OK, 0},
        {3, 0, 40, S_OK, 11},     {4, 1, 725, S_OK, 5},     {4, 0, -1, E_FAIL, NAN},
        {4, 0, 0, S_OK, 0},       {5, 0, 2, E_FAIL, NAN},   {5, 1, 1.5, E_FAIL, NAN},
        {5, 1, NAN, E_FAIL, NAN}, {5, 1, 0.25, S_OK, 0.25}, {11, 0, 4, E_FAIL, NAN},
        {12, 0, -1, E_FAIL, NAN}, {12, 0, 3, S_OK, 3},      {13, 2, -1, S_FALSE, NAN},
        {13, 1, 90, S_OK, 90},
    };
    for (const auto& r : rows) {
        CComPtr<IUnknown> p;
        ASSERT_EQ(CreateTransitionPlugin(r.number, IID_IUnknown, (void**)&p), S_OK);
        CComPtr<ITransitionParams> params = Params(p);
        double before = 0;
        params->GetParam(r.index, &before);
        EXPECT_EQ(params->SetParam(r.index, r.value), r.hr) << r.number << "/" << r.index;
        double after = 0;
        params->GetParam(r.index, &after);
        if (isnan(r.stored))
            EXPECT_EQ(after, before) << r.number << "/" << r.index;
        else
            EXPECT_EQ(after, r.stored) << r.number << "/" << r.index;
    }
}

TEST(TransitionRegion, WipeAndShapeExamples) {
    CComPtr<ITransitionRegion> wipe = Make<ITransitionRegion>(2);
    CComPtr<ITransitionRegionRole> role;
    ASSERT_EQ(wipe->GetRole(&role), S_OK);
    const RECT R = {0, 0, 100, 50};
    HRGN rgn = nullptr;
    ASSERT_EQ(role->BuildRegion(&rgn, 0.25, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionIs(rgn, RECT{0, 0, 25, 50}));
    DeleteObject(rgn);
    // The tiled form with one tile is the same region.
    ASSERT_EQ(wipe->BuildTiledRegion(&rgn, 0.25, &R, &R), S_OK);
    EXPECT_TRUE(RegionIs(rgn, RECT{0, 0, 25, 50}));
    DeleteObject(rgn);
    // An empty clip gives no region.
    RECT away = {200, 200, 300, 300};
    rgn = (HRGN)1;
    ASSERT_EQ(role->BuildRegion(&rgn, 0.5, &R, &away), S_OK);
    EXPECT_EQ(rgn, nullptr);

    CComPtr<ITransitionRegion> shape = Make<ITransitionRegion>(3);
    Params(shape)->SetParam(0, 0);
    Params(shape)->SetParam(1, 1);
    const RECT clip = {10, 5, 90, 45};
    ASSERT_EQ(shape->BuildTiledRegion(&rgn, 0.0, &R, &clip), S_OK);
    EXPECT_TRUE(RegionEmpty(rgn));
    if (rgn)
        DeleteObject(rgn);
    ASSERT_EQ(shape->BuildTiledRegion(&rgn, 1.0, &R, &clip), S_OK);
    EXPECT_TRUE(RegionIs(rgn, clip));
    DeleteObject(rgn);
}

TEST(TransitionRegion, ClockWithoutSectorsAndWithTooMany) {
    CComPtr<ITransitionRegion> clock = Make<ITransitionRegion>(4);
    const RECT R = {0, 0, 40, 30};
    HRGN rgn = nullptr;
    ASSERT_EQ(Params(clock)->SetParam(0, 0), S_OK);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 0.5, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionEmpty(rgn));
    if (rgn)
        DeleteObject(rgn);
    // One sector at p = 1 covers R; 4e9 sectors are bounded and end.
    Params(clock)->SetParam(0, 1);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 1.0, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionIs(rgn, R));
    DeleteObject(rgn);
    Params(clock)->SetParam(0, 4000000000.0);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 0.5, &R, nullptr), S_OK);
    if (rgn)
        DeleteObject(rgn);
}

TEST(TransitionTilingTest, LocalProgressOfOrders) {
    // Order 1, 2 x 2, overlap 0.5: tile 3 runs from 0.375 to 0.875.
    TransitionTiling t = {2, 2, 0.5, 1, 0};
    EXPECT_DOUBLE_EQ(TileProgress(t, 1, 1, 0.375, nullptr), 0.0);
    EXPECT_DOUBLE_EQ(TileProgress(t, 1, 1, 0.625, nullptr), 0.5);
    EXPECT_DOUBLE_EQ(TileProgress(t, 1, 1, 0.875, nullptr), 1.0);
    EXPECT_DOUBLE_EQ(TileProgress(t, 0, 0, 0.25, nullptr), 0.5);
    // Start order of a 3 x 3 grid under each order: h such that with no
    // overlap the tile turns at x > h / 9.
    struct {
        DWORD order, reverse;
        int h[9];  // by row, then column
    } rows[] = {
        {1, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}}, {2, 0, {2, 1, 0, 5, 4, 3, 8, 7, 6}},
        {3, 0, {0, 3, 6, 1, 4, 7, 2, 5, 8}}, {4, 0, {2, 5, 8, 1, 4, 7, 0, 3, 6}},
        {5, 0, {0, 1, 2, 5, 4, 3, 6, 7, 8}}, {6, 0, {0, 5, 6, 1, 4, 7, 2, 3, 8}},
        {7, 0, {0, 1, 2, 7, 8, 3, 6, 5, 4}}, {8, 0, {2, 1, 0, 3, 8, 7, 4, 5, 6}},
        {1, 1, {8, 7, 6, 5, 4, 3, 2, 1, 0}}, {12, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& r : rows) {
        TransitionTiling tt = {3, 3, 0.0, r.order, r.reverse};
        for (int j = 0; j < 3; ++j) {
            for (int i = 0; i < 3; ++i) {
                const int h = r.h[j * 3 + i];
                const double s = h / 9.0;
                EXPECT_EQ(TileProgress(tt, i, j, s, nullptr), 0.0) << r.order << " " << i << j;
                EXPECT_EQ(TileProgress(tt, i, j, s + 1e-9, nullptr), 1.0)
                    << r.order << " " << i << j;
            }
        }
    }
}

TEST(TransitionTilingTest, TiledRegionGivesEachTileItsProgress) {
    CComPtr<ITransitionRegion> wipe = Make<ITransitionRegion>(2);
    CComPtr<ITransitionTiling> tiling;
    ASSERT_EQ(wipe->QueryInterface(__uuidof(ITransitionTiling), (void**)&tiling), S_OK);
    TransitionTiling t = {2, 1, 0.0, 1, 0};
    tiling->SetTiling(&t);
    const RECT R = {0, 0, 100, 50};
    HRGN rgn = nullptr;
    // x = 0.4: the left tile is done (whole), the right one not started.
    ASSERT_EQ(wipe->BuildTiledRegion(&rgn, 0.4, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionIs(rgn, RECT{0, 0, 50, 50}));
    DeleteObject(rgn);
    // With overlap 1 both tiles run together: each at 0.5 of its own width.
    t.overlap = 1.0;
    tiling->SetTiling(&t);
    ASSERT_EQ(wipe->BuildTiledRegion(&rgn, 0.5, &R, nullptr), S_OK);
    HRGN want = CreateRectRgn(0, 0, 25, 50), second = CreateRectRgn(50, 0, 75, 50);
    CombineRgn(want, want, second, RGN_OR);
    EXPECT_TRUE(EqualRgn(rgn, want));
    DeleteObject(want);
    DeleteObject(second);
    DeleteObject(rgn);
}

TEST(TransitionMaskTest, DissolveAndRampExamples) {
    CComPtr<ITransitionMask> dissolve = Make<ITransitionMask>(5);
    const RECT R = {0, 0, 19, 11};
    BYTE* m = nullptr;
    ASSERT_EQ(dissolve->BuildTiledMask(&m, 0.5, &R, &R), S_OK);
    static const BYTE order[64] = {47, 15, 39, 3,  45, 10, 37, 1,  29, 63, 20, 55, 27, 61, 26, 53,
                                   35, 7,  43, 12, 33, 5,  41, 11, 24, 52, 17, 59, 19, 49, 28, 57,
                                   44, 8,  36, 0,  46, 13, 38, 2,  23, 60, 16, 52, 18, 62, 21, 54,
                                   32, 4,  40, 9,  34, 6,  42, 14, 31, 48, 22, 56, 25, 50, 30, 58};
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 19; ++x)
            ASSERT_EQ(m[y * 19 + x], order[(y % 8) * 8 + x % 8] < 32 ? 255 : 0) << x << "," << y;
    FreeTransitionMask(m);

    CComPtr<ITransitionMask> ramp = Make<ITransitionMask>(6);
    Params(ramp)->SetParam(0, 1);
    const RECT W = {5, 7, 261, 10};
    ASSERT_EQ(ramp->BuildTiledMask(&m, 0.5, &W, nullptr), S_OK);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x) ASSERT_EQ(m[y * 256 + x], x);
    FreeTransitionMask(m);
}

// The mask formulas per pixel, straight from their definitions.
int ReferenceMask(int number, int kind, bool reverse, double x, int px, int py, int w, int h) {
    const double p = reverse ? 1 - x : x;
    const int k = (int)(p * 510 - 255);
    long long v = 0;
    const long long W = w, H = h;
    if (number == 6) {
        long long u = 0, d = 0;
        switch (kind) {
            case 0:
                u = py * 256 / H;
                break;
            case 1:
                u = px * 256 / W;
                break;
            case 2:
                u = py * 128 / H + px * 128 / W;
                break;
            case 3:
                u = (H - py) * 128 / H + px * 128 / W;
                break;
            case 4:
                d = llabs(W * 256 - px * 512LL) / W;
                break;
            default:
                d = llabs(H * 256 - py * 512LL) / H;
                break;
        }
        if (kind >= 4)
            v = reverse ? d - k : k - d + 255;
        else
            v = reverse ? 255 - k - u : k + u;
    } else {
        const long long Y = llabs(2LL * py - H), X = llabs(2LL * px - W);
        long long u = 0;
        switch (kind) {
            case 0:
                u = Y * W < H * X ? Y * 256 / H : X * 256 / W;
                break;
            case 3:
                u = H * X < Y * W ? Y * 256 / H : X * 256 / W;
                break;
            case 1:
                u = (long long)sqrt(pow((double)(Y * 256) / H, 2) + pow((double)(X * 256) / W, 2));
                break;
            case 2:
                u = Y * 256 / (W + H) + X * 256 / (W + H);
                break;
            case 4:
                u = (long long)((double)Y / H * 64 + (double)(W - px) * 191 / W);
                break;
            default:
                u = (long long)((double)(H - py) * 191 / H + (double)X / W * 64);
                break;
        }
        v = reverse ? 255 - (u + k) : u + k;
    }
    return v < 0 ? 0 : v > 255 ? 255 : (int)v;
}

TEST(TransitionMaskTest, CachedMasksAgreeWithThePlainFormulas) {
    srand(1234);
    for (int number : {6, 7}) {
        CComPtr<ITransitionMask> mask = Make<ITransitionMask>(number);
        for (int trial = 0; trial < 60; ++trial) {
            const int kind = rand() % 6, reverse = rand() % 2;
            const int w = 1 + rand() % 70, h = 1 + rand() % 50;
            const double x = (rand() % 1001) / 1000.0;
            Params(mask)->SetParam(0, kind);
            Params(mask)->SetParam(1, reverse);
            const RECT R = {rand() % 20 - 10, rand() % 20 - 10, 0, 0};
            RECT r = {R.left, R.top, R.left + w, R.top + h};
            BYTE* m = nullptr;
            ASSERT_EQ(mask->BuildTiledMask(&m, x, &r, nullptr), S_OK);
            for (int py = 0; py < h; ++py)
                for (int px = 0; px < w; ++px)
                    ASSERT_EQ(m[py * w + px], ReferenceMask(number, kind, reverse, x, px, py, w, h))
                        << number << " kind " << kind << " rev " << reverse << " x " << x << " at "
                        << px << "," << py << " of " << w << "x" << h;
            FreeTransitionMask(m);
        }
    }
}

// Masks 8 and 10 per pixel, straight from their definitions: with the
// library's atan2, fmod, floor and sin at every pixel.
int ReferenceAngleMask(int number, const double* p, double x, int px, int py, int w, int h) {
    const double kPi = 3.14159265358979323846;
    double base;
    int t;
    if (number == 8) {
        const DWORD kind = (DWORD)p[0], count = (DWORD)p[1], flags = (DWORD)p[4];
        const bool bit0 = flags & 1;
        double start = (DWORD)p[2];
        if (bit0)
            start = 360.0 - start;
        const double ry = 1.0 - 2.0 * (py + 0.5) / h, rx = 1.0 - 2.0 * (px + 0.5) / w;
        double m = start + atan2(ry, rx) * 57.29577951289617;
        if (m < 0)
            m += 360.0;
        if (kind == 0) {
            const long long ui = (long long)(fmod(m * count, 360.0) * 256.0 / 360.0);
            base = (short)(bit0 ? 255 - ui : ui);
            t = bit0 ? -(int)((1 - x) * 510 - 255) : (int)(x * 510 - 255);
        } else {
            m = floor(m + 0.9);
            double tt = fmod(m * count, 360.0);
            if (bit0)
                tt = 360.0 - tt;
            const double D = sqrt((double)w * w + (double)h * h);
            const double dx = px + 0.5 - w / 2.0, dy = py + 0.5 - h / 2.0;
            const double d = sqrt(dx * dx + dy * dy);
            const long long v = (long long)((1.0 - d / D) * tt * 256.0 / 360.0);
            base = (short)(((long long)(DWORD)p[3] * v) % 256);
            t = (int)(x * 510 - 255);
        }
    } else {
        const int kind = (int)p[0];
        const bool reverse = p[1] != 0;
        const int k = (int)((reverse ? 1 - x : x) * 510 - 255);
        const double from = kind == 2 ? 0.0 : -kPi;
        const double sx = kind == 0 ? kPi / w : 2 * kPi / w, sy = kind == 0 ? kPi / h : 2 * kPi / h;
        const double ss = sin(from + px * sx) * sin(from + py * sy);
        if (kind == 0) {
            const double d = -255.9 * ss;
            base = reverse ? floor(d) + 255 : floor(-d);
        } else if (kind == 1) {
            const double e = (ss + 1) * 127.95;
            base = reverse ? floor(e) : floor(255 - e);
        } else {
            const int e = (BYTE)(int)(ss * 255.9);
            base = reverse ? 255 - e : e;
        }
        t = reverse ? -k : k;
    }
    const double v = base + t;
    return v < 0 ? 0 : v > 255 ? 255 : (int)v;
}

TEST(TransitionMaskTest, AngleMasksAgreeWithThePlainFormulas) {
    // Mask 8 takes most pixels' steps from an approximate angle: sizes odd
    // and even (pixels on the centre lines), many turns (steps close
    // together) and starts far out of range (no shortcut at all).
    srand(4321);
    const DWORD counts[] = {0, 1, 1, 2, 3, 7, 36, 1000, 4000000000u};
    const DWORD starts[] = {0, 0, 45, 90, 181, 359, 4000000000u};
    for (int number : {8, 10}) {
        CComPtr<ITransitionMask> mask = Make<ITransitionMask>(number);
        for (int trial = 0; trial < 90; ++trial) {
            double p[5];
            if (number == 8) {
                p[0] = rand() % 2;
                p[1] = counts[rand() % 9];
                p[2] = rand() % 3 ? rand() % 360 : starts[rand() % 7];
                p[3] = rand() % 5;
                p[4] = rand() % 4;
            } else {
                p[0] = rand() % 3;
                p[1] = rand() % 2;
            }
            const bool large = trial % 10 == 0;
            int w = 1 + rand() % (large ? 400 : 60), h = 1 + rand() % (large ? 300 : 40);
            if (number == 8 && trial < 2) {
                // A thousand turns: steps 0.0014 degrees apart, the
                // closest the shortcut still takes.
                const double dense[5] = {(double)trial, 1000, 0, 3, 0};
                memcpy(p, dense, sizeof(p));
                w = 401;
                h = 300;
            }
            const double x = (rand() % 1001) / 1000.0;
            for (int i = 0; i < (number == 8 ? 5 : 2); ++i) Params(mask)->SetParam(i, p[i]);
            const RECT r = {7, -3, 7 + w, -3 + h};
            BYTE* m = nullptr;
            ASSERT_EQ(mask->BuildTiledMask(&m, x, &r, nullptr), S_OK);
            for (int py = 0; py < h; ++py)
                for (int px = 0; px < w; ++px)
                    ASSERT_EQ(m[py * w + px], ReferenceAngleMask(number, p, x, px, py, w, h))
                        << number << " kind " << p[0] << " count " << p[1] << " start " << p[2]
                        << " twist " << p[3] << " flags " << p[4] << " x " << x << " at " << px
                        << "," << py << " of " << w << "x" << h;
            FreeTransitionMask(m);
        }
    }
}

TEST(TransitionMaskTest, FastComposeAgreesWithThePlainOne) {
    srand(99);
    for (int trial = 0; trial < 40; ++trial) {
        const int tw = 1 + rand() % 90, th = 1 + rand() % 40;
        const int sw = 1 + rand() % 90, sh = 1 + rand() % 40;
        CComPtr<IPixelBuffer> src = MakeBuffer(sw, sh), a = MakeBuffer(tw, th),
                              b = MakeBuffer(tw, th);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x) Pixel(src, x, y) = ((DWORD)rand() << 16) ^ (DWORD)rand();
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x)
                Pixel(a, x, y) = Pixel(b, x, y) = ((DWORD)rand() << 16) ^ (DWORD)rand();
        RECT r = {rand() % 30 - 10, rand() % 20 - 5, 0, 0};
        r.right = r.left + 1 + rand() % 100;
        r.bottom = r.top + 1 + rand() % 50;
        RECT clip = {rand() % 60 - 10, rand() % 30 - 5, 0, 0};
        clip.right = clip.left + rand() % 100;
        clip.bottom = clip.top + rand() % 50;
        std::vector<BYTE> m((size_t)(r.right - r.left) * (r.bottom - r.top));
        for (BYTE& v : m) v = (BYTE)rand();
        ASSERT_EQ(ApplyMaskStandard(a, src, m.data(), &r, &clip), S_OK);
        ASSERT_EQ(ApplyMaskReference(b, src, m.data(), &r, &clip), S_OK);
        ASSERT_EQ(Pixels(a), Pixels(b)) << trial;
    }
    // AddClampBytes against the plain clamp.
    std::vector<short> base(1000);
    std::vector<BYTE> out(1000);
    for (int trial = 0; trial < 20; ++trial) {
        for (short& s : base) s = (short)(rand() % 1400 - 700);
        const int t = rand() % 1100 - 550;
        AddClampBytes(base.data(), out.data(), base.size(), t);
        for (size_t i = 0; i < base.size(); ++i) {
            int v = base[i] + t;
            ASSERT_EQ(out[i], v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
}

TEST(TransitionMaskTest, ComposeStaysInsideBothBuffers) {
    // A target wider than the source: rows stepped with each one's pitch.
    CComPtr<IPixelBuffer> src = MakeBuffer(3, 2, {1, 2, 3, 4, 5, 6});
    CComPtr<IPixelBuffer> dst = MakeBuffer(7, 3, {}, 0x00FFFFFF);
    const RECT r = {0, 0, 7, 3};
    std::vector<BYTE> m(21, 0);  // all source
    ASSERT_EQ(ApplyMaskStandard(dst, src, m.data(), &r, nullptr), S_OK);
    EXPECT_EQ(Pixel(dst, 0, 1), 4u);
    EXPECT_EQ(Pixel(dst, 2, 1), 6u);
    EXPECT_EQ(Pixel(dst, 3, 0), 0x00FFFFFFu);
    EXPECT_EQ(Pixel(dst, 0, 2), 0x00FFFFFFu);
}

TEST(TransitionMaskTest, HugeRectanglesRunOutOfMemory) {
    for (int number = 5; number <= 10; ++number) {
        CComPtr<ITransitionMask> mask = Make<ITransitionMask>(number);
        CComPtr<ITransitionMaskRole> role;
        mask->GetRole(&role);
        const RECT huge = {-2147483647, -2147483647, 2147483647, 2147483647};
        BYTE* m = (BYTE*)1;
        EXPECT_EQ(role->BuildMask(&m, 0.5, &huge, 0), E_OUTOFMEMORY) << number;
        EXPECT_EQ(m, nullptr);
        const RECT wide = {0, 0, 2147483647, 1 << 20};
        EXPECT_EQ(mask->BuildTiledMask(&m, 0.5, &wide, nullptr), E_OUTOFMEMORY) << number;
    }
}

TEST(TransitionRecords, EveryPluginRoundTrips) {
    for (int number = 1; number <= TRANSITION_CLASS_COUNT; ++number) {
        CComPtr<IUnknown> p;
        ASSERT_EQ(CreateTransitionPlugin(number, IID_IUnknown, (void**)&p), S_OK);
        // Non-default values where the setters allow them.
        CComPtr<ITransitionParams> params = Params(p);
        params->SetParam(0, 1);
        params->SetParam(1, number == 5 ? 0.375 : 1);
        CComPtr<ITransitionTiling> tiling;
        if (SUCCEEDED(p->QueryInterface(__uuidof(ITransitionTiling), (void**)&tiling))) {
            TransitionTiling t = {3, 2, 0.25, 7, 1};
            tiling->SetTiling(&t);
        }
        // A save or a load through whichever record interface the plug-in has.
        auto record = [&](IUnknown* u, ITeskStream* s, bool saving) {
            auto through = [&](auto& itf) { return saving ? itf->Save(s) : itf->Load(s); };
            CComPtr<ITransitionMove> mv;
            CComPtr<ITransitionRegion> rg;
            CComPtr<ITransitionMask> mk;
            CComPtr<ITransitionDecor> dc;
            CComPtr<ITransitionBlend> bl;
            if (SUCCEEDED(u->QueryInterface(__uuidof(ITransitionMove), (void**)&mv)))
                return through(mv);
            if (SUCCEEDED(u->QueryInterface(__uuidof(ITransitionRegion), (void**)&rg)))
                return through(rg);
            if (SUCCEEDED(u->QueryInterface(__uuidof(ITransitionMask), (void**)&mk)))
                return through(mk);
            if (SUCCEEDED(u->QueryInterface(__uuidof(ITransitionDecor), (void**)&dc)))
                return through(dc);
            u->QueryInterface(__uuidof(ITransitionBlend), (void**)&bl);
            return through(bl);
        };
        auto save = [&](IUnknown* u, ITeskStream* s) { return record(u, s, true); };
        auto load = [&](IUnknown* u, ITeskStream* s) { return record(u, s, false); };
        CComPtr<ITeskStream> s1 = NewMemStream();
        ASSERT_EQ(save(p, s1), S_OK) << number;
        std::vector<BYTE> bytes = ContentBytes(s1);
        const size_t sizes[14] = {0, 4, 28, 32, 36, 36, 32, 32, 44, 28, 32, 8, 8, 12};
        EXPECT_EQ(bytes.size(), sizes[number]) << number;
        CComPtr<IUnknown> q;
        ASSERT_EQ(CreateTransitionPlugin(number, IID_IUnknown, (void**)&q), S_OK);
        ASSERT_EQ(load(q, MemStreamOf(bytes)), S_OK) << number;
        CComPtr<ITeskStream> s2 = NewMemStream();
        ASSERT_EQ(save(q, s2), S_OK);
        EXPECT_EQ(ContentBytes(s2), bytes) << number;
        // Every cut of the record is a short read, never a crash.
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            CComPtr<IUnknown> r;
            CreateTransitionPlugin(number, IID_IUnknown, (void**)&r);
            bool thrown = false;
            try {
                load(r, MemStreamOf(std::vector<BYTE>(bytes.begin(), bytes.begin() + cut)));
            } catch (const CTeskStreamExcept&) {
                thrown = true;
            }
            EXPECT_TRUE(thrown) << number << " cut " << cut;
        }
    }
}

TEST(TransitionRecords, HostileFieldsNeverCrashOrHang) {
    // Every u32 field 0, -1 or 0x7FFFFFFF, every double NaN or huge; then
    // frames at a few progress values.
    const DWORD words[] = {0, 0xFFFFFFFF, 0x7FFFFFFF};
    const double doubles[] = {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300, 0.0};
    const RECT R = {0, 0, 37, 23};
    for (int number = 2; number <= 10; ++number) {
        for (DWORD w : words) {
            for (double d : doubles) {
                // tiling (columns, rows, overlap, order, reverse), then up to
                // five role fields; a dissolve's second field is a double.
                std::vector<BYTE> rec;
                auto u32 = [&](DWORD v) { rec.insert(rec.end(), (BYTE*)&v, (BYTE*)&v + 4); };
                auto dbl = [&](double v) { rec.insert(rec.end(), (BYTE*)&v, (BYTE*)&v + 8); };
                u32(w);
                u32(w);
                dbl(d);
                u32(w);
                u32(w);
                if (number == 5) {
                    u32(w & 1);
                    dbl(d);
                } else {
                    for (int i = 0; i < 5; ++i) u32(w);
                }
                CComPtr<IUnknown> p;
                ASSERT_EQ(CreateTransitionPlugin(number, IID_IUnknown, (void**)&p), S_OK);
                CComPtr<ITransitionRegion> rg;
                CComPtr<ITransitionMask> mk;
                if (number <= 4) {
                    p->QueryInterface(__uuidof(ITransitionRegion), (void**)&rg);
                    ASSERT_EQ(rg->Load(MemStreamOf(rec)), S_OK);
                } else {
                    p->QueryInterface(__uuidof(ITransitionMask), (void**)&mk);
                    ASSERT_EQ(mk->Load(MemStreamOf(rec)), S_OK);
                }
                for (double x : {0.0, 0.5, 1.0, d}) {
                    if (rg) {
                        HRGN h = nullptr;
                        rg->BuildTiledRegion(&h, x, &R, nullptr);
                        if (h)
                            DeleteObject(h);
                    } else {
                        BYTE* m = nullptr;
                        if (SUCCEEDED(mk->BuildTiledMask(&m, x, &R, &R)) && m)
                            FreeTransitionMask(m);
                    }
                }
            }
        }
    }
}

TEST(TransitionDecor, StarsAtTimeZeroDrawOnePlus) {
    CComPtr<ITransitionDecor> stars = Make<ITransitionDecor>(11);
    Params(stars)->SetParam(1, RGB(255, 0, 0));
    CComPtr<IPixelBuffer> drawn, expected;
    drawn.Attach(CreateGDIBuffer(80, 64));
    expected.Attach(CreateGDIBuffer(80, 64));
    const RECT R = {0, 0, 80, 64};
    ASSERT_EQ(stars->Draw(drawn, &R, 0), S_OK);
    // s = 64 / 8 = 8; corner 0, phase 0: a plus at the top right (72, 8).
    HDC dc = nullptr;
    ASSERT_EQ(expected->GetDC(&dc), S_OK);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, 64, 8, nullptr);
    LineTo(dc, 80, 8);
    MoveToEx(dc, 72, 0, nullptr);
    LineTo(dc, 72, 16);
    SelectObject(dc, old);
    DeleteObject(pen);
    expected->ReleaseDC(dc);
    GdiFlush();
    EXPECT_EQ(Pixels(drawn), Pixels(expected));
    EXPECT_EQ(Pixel(drawn, 72, 8) & 0xFFFFFF, 0xFF0000u);
}

TEST(TransitionDecor, EdgeKeepsTheTargetUnderOneBits) {
    CComPtr<ITransitionDecor> edge = Make<ITransitionDecor>(12);
    Params(edge)->SetParam(1, RGB(0, 0, 255));
    CComPtr<IPixelBuffer> buffer = MakeBuffer(100, 40, {}, 0x00123456);
    const RECT R = {0, 0, 100, 40};
    ASSERT_EQ(edge->Draw(buffer, &R, 500), S_OK);  // x = 50
    GdiFlush();
    int blue = 0, kept = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 42; x < 50; ++x) {
            DWORD p = Pixel(buffer, x, y) & 0xFFFFFF;
            blue += p == 0x0000FF;
            kept += p == 0x123456;
        }
    }
    EXPECT_GT(blue, 0);
    EXPECT_GT(kept, 0);
    EXPECT_EQ(blue + kept, 8 * 32);
    EXPECT_EQ(Pixel(buffer, 10, 10) & 0xFFFFFF, 0x123456u);  // elsewhere untouched
}

TEST(TransitionShadow, DefaultSizeRuleAndRefusal) {
    CComPtr<ITransitionBlend> shadow = Make<ITransitionBlend>(13);
    RECT in = {0, 0, 10, 10}, out;
    ASSERT_EQ(shadow->GetOutputRect(&in, &out), S_OK);
    const RECT want = {-1, -1, 19, 19};
    EXPECT_TRUE(EqualRect(&out, &want));
    CComPtr<IPixelBuffer> src = MakeBuffer(10, 10, {}, 0xFF336699);
    CComPtr<IPixelBuffer> small = MakeBuffer(19, 20), right = MakeBuffer(20, 20);
    EXPECT_EQ(shadow->Render(src, small), S_FALSE);
    ASSERT_EQ(shadow->Render(src, right), S_OK);
    EXPECT_EQ(Pixel(right, 1, 1), 0xFF336699u);  // the source at (1, 1)
    EXPECT_EQ(Pixel(right, 10, 10), 0xFF336699u);
    // The silhouette at (5, 5)..(14, 14) blurred over 11 x 11: one pixel
    // reaches (0, 0), 25 reach (15, 15), 64 reach (12, 12): n * 255 / 121.
    EXPECT_EQ(Pixel(right, 0, 0), 0x02000000u);
    EXPECT_EQ(Pixel(right, 15, 15), 0x35000000u);
    EXPECT_EQ(Pixel(right, 12, 12), 0x87000000u);
    // Negative values are refused with S_FALSE, the displacement rounds
    // halves away from zero.
    CComPtr<ITransitionParams> params = Params(shadow);
    EXPECT_EQ(params->SetParam(3, -2), S_FALSE);
    params->SetParam(1, 0);  // angle 0: dx = -distance
    params->SetParam(2, 0);  // no softness
    params->SetParam(3, 5);
    ASSERT_EQ(shadow->GetOutputRect(&in, &out), S_OK);
    const RECT want2 = {-5, 0, 10, 10};
    EXPECT_TRUE(EqualRect(&out, &want2));
    params->SetParam(1, 30);  // dy = sin(30) * 5 = 2.5 -> 3
    ASSERT_EQ(shadow->GetOutputRect(&in, &out), S_OK);
    EXPECT_EQ(out.bottom, 13);
}

}  // namespace

namespace {

TEST(TransitionRegion, ShapeTypesFromNothingToTheWhole) {
    CComPtr<ITransitionRegion> shape = Make<ITransitionRegion>(3);
    CComPtr<ITransitionRegionRole> role;
    ASSERT_EQ(shape->GetRole(&role), S_OK);
    const RECT R = {10, 20, 110, 71};
    for (int type = 0; type <= 11; ++type) {
        Params(shape)->SetParam(0, type);
        Params(shape)->SetParam(1, 0);
        HRGN rgn = nullptr;
        ASSERT_EQ(role->BuildRegion(&rgn, 0.0, &R, nullptr), S_OK);
        EXPECT_TRUE(RegionEmpty(rgn)) << type;
        if (rgn)
            DeleteObject(rgn);
        rgn = nullptr;
        ASSERT_EQ(role->BuildRegion(&rgn, 1.0, &R, nullptr), S_OK);
        if (type != 5) {  // an ellipse through the corners leaves them out
            EXPECT_TRUE(RegionIs(rgn, R)) << type;
        }
        if (rgn)
            DeleteObject(rgn);
        // Half way: something, but not all, and never outside R.
        ASSERT_EQ(role->BuildRegion(&rgn, 0.5, &R, nullptr), S_OK);
        ASSERT_TRUE(rgn) << type;
        RECT box;
        ASSERT_NE(GetRgnBox(rgn, &box), NULLREGION) << type;
        RECT inR;
        IntersectRect(&inR, &box, &R);
        EXPECT_TRUE(EqualRect(&inR, &box)) << type;
        EXPECT_FALSE(RegionIs(rgn, R)) << type;
        DeleteObject(rgn);
    }
}

// Plug-in creation through the display layer's own classes.
struct PluginCreator : IModuleCreator {
    HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** out) override {
        HRESULT hr = CreateTransitionPluginByClsid(clsid, iid, out);
        return hr == CLASS_E_CLASSNOTAVAILABLE ? E_FAIL : hr;
    }
};

TEST(TransitionRecords, RenderRecordsHoldWholePluginRecords) {
    PluginCreator creator;
    IModuleCreator* previous = SetModuleCreator(&creator);
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
    CComPtr<ITransitionMove> move = Make<ITransitionMove>(1);
    CComPtr<ITransitionRegion> region = Make<ITransitionRegion>(3);
    CComPtr<ITransitionMask> mask = Make<ITransitionMask>(8);
    Params(move)->SetParam(0, 5);
    Params(region)->SetParam(0, 6);
    Params(mask)->SetParam(3, 4);  // twist, saved because flags bit 1 is set
    CComPtr<ITransitionTiling> tiling;
    region->QueryInterface(__uuidof(ITransitionTiling), (void**)&tiling);
    TransitionTiling t = {4, 3, 0.5, 5, 1};
    tiling->SetTiling(&t);
    fx->SetMove(move);
    fx->SetRegion(region);
    fx->SetMask(mask);
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(fx->Save(s), S_OK);
    std::vector<BYTE> bytes = ContentBytes(s);
    // move: 16 + 4; region: 16 + 24 tiling + 8; mask: 16 + 24 tiling + 5 u32.
    ASSERT_EQ(bytes.size(), 20u + 48u + 60u);
    CComPtr<IEffectRender> copy;
    ASSERT_EQ(CreateEffectRender(&copy, nullptr), S_OK);
    ASSERT_EQ(copy->Load(MemStreamOf(bytes)), S_OK);
    CComPtr<ITeskStream> s2 = NewMemStream();
    ASSERT_EQ(copy->Save(s2), S_OK);
    EXPECT_EQ(ContentBytes(s2), bytes);
    CComPtr<ITransitionRegion> loaded;
    copy->GetRegion(&loaded);
    CComPtr<ITransitionTiling> lt;
    loaded->QueryInterface(__uuidof(ITransitionTiling), (void**)&lt);
    TransitionTiling got;
    lt->GetTiling(&got);
    EXPECT_EQ(got.columns, 4u);
    EXPECT_EQ(got.order, 5u);
    // Every cut is a short read; fields set to 0, -1, 0x7FFFFFFF and NaN
    // load and draw.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CComPtr<IEffectRender> r;
        CreateEffectRender(&r, nullptr);
        bool thrown = false;
        try {
            r->Load(MemStreamOf(std::vector<BYTE>(bytes.begin(), bytes.begin() + cut)));
        } catch (const CTeskStreamExcept&) {
            thrown = true;
        }
        EXPECT_TRUE(thrown) << cut;
    }
    const DWORD words[] = {0, 0xFFFFFFFF, 0x7FFFFFFF};
    for (DWORD w : words) {
        std::vector<BYTE> b = bytes;
        // Every field after each class identifier (region record at 36,
        // mask record at 84); the tilings' overlap doubles become NaN.
        auto put = [&](size_t at, DWORD v) { memcpy(&b[at], &v, 4); };
        put(16, w);
        for (size_t at = 36; at < 68; at += 4) put(at, w);
        for (size_t at = 84; at < 128; at += 4) put(at, w);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        memcpy(&b[36 + 8], &nan, 8);
        memcpy(&b[84 + 8], &nan, 8);
        CComPtr<IEffectRender> r;
        CreateEffectRender(&r, nullptr);
        ASSERT_EQ(r->Load(MemStreamOf(b)), S_OK) << w;
        CComPtr<IPixelBuffer> back = MakeBuffer(64, 40), fill = MakeBuffer(64, 40),
                              page = MakeBuffer(64, 40);
        CComPtr<IRenderClockClient> client;
        r->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
        r->SetDuration(100);
        client->GetClock()->Start();
        static_cast<CRenderClock*>(client->GetClock())->Advance(50);
        ComposeTransitionFrame(back, fill, page, r);
    }
    SetModuleCreator(previous);
}

}  // namespace

namespace {

TEST(TransitionMaskTest, ReusedPluginsAgreeWithFreshOnes) {
    // A plug-in that built masks of other sizes and parameters before gives
    // the same bytes as a new one: its cached tables follow every change.
    srand(77);
    for (int number = 5; number <= 10; ++number) {
        CComPtr<ITransitionMask> reused = Make<ITransitionMask>(number);
        for (int trial = 0; trial < 25; ++trial) {
            const double p[5] = {(double)(rand() % 4), (double)(rand() % 3), (double)(rand() % 360),
                                 (double)(rand() % 3), (double)(rand() % 4)};
            const int w = 1 + rand() % 40, h = 1 + rand() % 30;
            const double x = (rand() % 101) / 100.0;
            CComPtr<ITransitionMask> fresh = Make<ITransitionMask>(number);
            for (int i = 0; i < 5; ++i) {
                const double v = number == 5 && i == 1 ? p[i] / 4 : p[i];
                Params(reused)->SetParam(i, v);
                Params(fresh)->SetParam(i, v);
            }
            if (number == 5) {  // no random order: the two would differ
                Params(reused)->SetParam(0, 0);
                Params(fresh)->SetParam(0, 0);
            }
            const RECT r = {3, 4, 3 + w, 4 + h};
            BYTE *a = nullptr, *b = nullptr;
            const HRESULT ha = reused->BuildTiledMask(&a, x, &r, nullptr);
            const HRESULT hb = fresh->BuildTiledMask(&b, x, &r, nullptr);
            ASSERT_EQ(ha, hb) << number;
            if (SUCCEEDED(ha)) {
                ASSERT_EQ(memcmp(a, b, (size_t)w * h), 0) << number << " trial " << trial;
            }
            FreeTransitionMask(a);
            FreeTransitionMask(b);
        }
    }
}

TEST(TransitionMaskTest, TiledMasksTakeEachTilesLocalProgress) {
    CComPtr<ITransitionMask> ramp = Make<ITransitionMask>(6);
    Params(ramp)->SetParam(0, 1);
    CComPtr<ITransitionTiling> tiling;
    ramp->QueryInterface(__uuidof(ITransitionTiling), (void**)&tiling);
    TransitionTiling t = {3, 2, 0.5, 1, 0};
    tiling->SetTiling(&t);
    CComPtr<ITransitionMaskRole> role;
    ramp->GetRole(&role);
    const RECT R = {0, 0, 61, 25};
    const RECT clip = {5, 2, 50, 25};
    for (double x : {0.1, 0.4, 0.77}) {
        BYTE* whole = nullptr;
        ASSERT_EQ(ramp->BuildTiledMask(&whole, x, &R, &clip), S_OK);
        for (int j = 0; j < 2; ++j) {
            for (int i = 0; i < 3; ++i) {
                // Tile edges at L + (i + 1) W / columns.
                const RECT tile = {i * 61 / 3, j * 25 / 2, (i + 1) * 61 / 3, (j + 1) * 25 / 2};
                const int h = i + 3 * j;
                double local = (x - h / 6.0 * 0.5) / 0.5;
                local = local < 0 ? 0 : local > 1 ? 1 : local;
                BYTE* part = nullptr;
                if (local < 1) {
                    ASSERT_EQ(role->BuildMask(&part, local, &tile, 0), S_OK);
                }
                const int tw = tile.right - tile.left;
                for (int y = tile.top; y < tile.bottom; ++y) {
                    for (int xx = tile.left; xx < tile.right; ++xx) {
                        const bool inClip = xx >= clip.left && xx < clip.right && y >= clip.top;
                        const int want = !inClip ? 0
                                         : part  ? part[(y - tile.top) * tw + (xx - tile.left)]
                                                 : 255;
                        ASSERT_EQ(whole[y * 61 + xx], want) << x << " tile " << i << j;
                    }
                }
                FreeTransitionMask(part);
            }
        }
        FreeTransitionMask(whole);
    }
}

}  // namespace

namespace {

class CFakeShadowProps : public CComObjectRootBase, public IShadowProperties {
public:
    BEGIN_COM_MAP(CFakeShadowProps)
    COM_INTERFACE_ENTRY(IShadowProperties)
    END_COM_MAP()
    STDMETHOD(GetColor)(DWORD* c) override {
        *c = 0x80102030;
        return S_OK;
    }
    STDMETHOD(GetAngle)(int* a) override {
        *a = 90;
        return S_OK;
    }
    STDMETHOD(GetSoftness)(int* s) override {
        *s = 0;
        return S_OK;
    }
    STDMETHOD(GetDistance)(int* d) override {
        *d = 3;
        return S_OK;
    }
    STDMETHOD(GetSpread)(int* s) override {
        *s = 50;
        return S_OK;
    }
};

TEST(TransitionShadow, CopyFromShadowProperties) {
    CComPtr<ITransitionBlend> shadow = Make<ITransitionBlend>(13);
    CComPtr<IShadowProperties> props;
    ASSERT_EQ(ComCreateInstance<CFakeShadowProps>(__uuidof(IShadowProperties), (void**)&props),
              S_OK);
    ASSERT_EQ(shadow->CopyFrom(props), S_OK);
    RECT in = {0, 0, 4, 4}, out;
    shadow->GetOutputRect(&in, &out);
    // Angle 90: dx = -cos 90 * 3 rounds to 0, dy = 3; no softness.
    const RECT want = {0, 0, 4, 7};
    EXPECT_TRUE(EqualRect(&out, &want));
    CComPtr<IPixelBuffer> src = MakeBuffer(4, 4, {}, 0xFF0000FF), dst = MakeBuffer(4, 7);
    ASSERT_EQ(shadow->Render(src, dst), S_OK);
    // Below the source the shadow: colour 0x302010 with alpha 0x80 * 255 / 255.
    EXPECT_EQ(Pixel(dst, 1, 5), 0x80302010u);
    EXPECT_EQ(Pixel(dst, 1, 1), 0xFF0000FFu);
}

TEST(TransitionMaskTest, FadeComposeOfKindOne) {
    CComPtr<ITransitionMask> fade = Make<ITransitionMask>(9);
    Params(fade)->SetParam(0, 1);
    CComPtr<IPixelBuffer> target = MakeBuffer(2, 1, {0x00804020, 0x00FFFFFF});
    CComPtr<IPixelBuffer> source = MakeBuffer(2, 1, {0x00102030, 0x00000000});
    const RECT r = {0, 0, 2, 1};
    BYTE* m = nullptr;
    ASSERT_EQ(fade->BuildTiledMask(&m, 0.75, &r, nullptr), S_OK);
    EXPECT_EQ(m[0], 255);
    ASSERT_EQ(fade->ApplyTiledMask(target, source, m, 0.75, &r, nullptr), S_OK);
    FreeTransitionMask(m);
    // k = trunc(0.75 * 510 - 255) = 127; c' = clamp(c + k); m = 255:
    // ((m * c' / 256) * (c - s) + s * 256) / 256 per channel.
    auto channel = [](int c, int s) {
        int cp = c + 127 > 255 ? 255 : c + 127;
        return ((255 * cp / 256) * (c - s) + s * 256) / 256;
    };
    const DWORD want0 =
        (DWORD)(channel(0x80, 0x10) << 16 | channel(0x40, 0x20) << 8 | channel(0x20, 0x30));
    EXPECT_EQ(Pixel(target, 0, 0), want0);
    // Other kinds have no compose.
    Params(fade)->SetParam(0, 2);
    BYTE zero[2] = {0, 0};
    EXPECT_EQ(fade->ApplyMask(target, source, zero, 0.5, &r, nullptr), E_NOTIMPL);
}

}  // namespace

namespace {

TEST(TransitionRegion, ClockFansTurnFromTheLeftTowardsTheBottom) {
    CComPtr<ITransitionRegion> clock = Make<ITransitionRegion>(4);
    const RECT R = {0, 0, 100, 100};
    HRGN rgn = nullptr;
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 0.25, &R, nullptr), S_OK);
    ASSERT_TRUE(rgn);
    EXPECT_TRUE(PtInRegion(rgn, 10, 60));   // below the left ray
    EXPECT_TRUE(PtInRegion(rgn, 40, 95));   // left of the downward ray
    EXPECT_FALSE(PtInRegion(rgn, 60, 95));  // right of it
    EXPECT_FALSE(PtInRegion(rgn, 10, 40));  // above the left ray
    EXPECT_FALSE(PtInRegion(rgn, 90, 10));
    DeleteObject(rgn);
    // Start at 90 degrees, reversed: at x = 0 the clip minus the full fan
    // is nothing, at x = 1 (no fan) the whole clip.
    Params(clock)->SetParam(1, 90);
    Params(clock)->SetParam(2, 1);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 1.0, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionIs(rgn, R));
    DeleteObject(rgn);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 0.0, &R, nullptr), S_OK);
    EXPECT_TRUE(RegionEmpty(rgn));
    if (rgn)
        DeleteObject(rgn);
    // Four sectors at 0.5: half of each quadrant's fan.
    Params(clock)->SetParam(0, 4);
    Params(clock)->SetParam(1, 0);
    Params(clock)->SetParam(2, 0);
    ASSERT_EQ(clock->BuildTiledRegion(&rgn, 0.5, &R, nullptr), S_OK);
    EXPECT_TRUE(PtInRegion(rgn, 5, 55));    // just below the left ray
    EXPECT_FALSE(PtInRegion(rgn, 45, 95));  // late in the first quarter
    EXPECT_TRUE(PtInRegion(rgn, 55, 95));   // early in the second
    DeleteObject(rgn);
}

}  // namespace
