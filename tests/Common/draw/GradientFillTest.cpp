// The gradient fill: ramp shapes, the profiles against a plain evaluation of
// their formulas, interpolation and the clamped parameters.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>

#include "DrawTestUtil.h"
#include "ProcessMemory.h"
#include "TestFiles.h"
#include "bFillGrd.h"
#include "bFillShd.h"

using namespace drawtest;

namespace {

struct Gradient {
    Gradient() {
        fill.Attach(CreateFillObject());
        fill->SetFillType(1);
        void* p = nullptr;
        fill->GetFillParams(&p);
        params = static_cast<IGradientFillParams*>(p);
    }
    CComPtr<FillObject> fill;
    IGradientFillParams* params = nullptr;
};

int RoundUp(double v) {
    return (int)floor(v + 0.5);
}

// The ramp written out plainly, step by step.
std::vector<int> PlainRamp(int repeat, int balance, int offset, int longest) {
    int c = (repeat + longest - 1) / repeat;
    std::vector<int> period(c, 0);
    auto at = [c](long long i) { return (int)(((i % c) + c) % c); };
    if (c == 1) {
        period[0] = std::min(255, std::max(0, offset * 255 / 200));
    } else {
        int r = (c - 1) * (balance + 100) / 200, f = c - r - 1;
        long long s = c + (long long)c * offset / 200;
        if (r == 0)
            period[at(s)] = 0;
        for (int i = 0; i < r; ++i) period[at(s + i)] = std::min(255, RoundUp(255.0 * i / r));
        period[at(s + r)] = 255;
        if (f == 0)
            period[at(s + c - 1)] = 0;
        for (int j = 0; j < f; ++j)
            period[at(s + c - 1 - j)] = std::min(255, RoundUp(255.0 * j / f));
    }
    std::vector<int> ramp;
    for (int k = 0; k < repeat; ++k) ramp.insert(ramp.end(), period.begin(), period.end());
    return ramp;
}

// Entry `index` of the same ramp, worked out for that entry alone: the
// period's rising entries, its peak, then its falling entries.
int PlainWeight(int repeat, int balance, int offset, long long longest, long long index) {
    long long c = (repeat + longest - 1) / repeat;
    if (c == 1)
        return std::min(255, std::max(0, offset * 255 / 200));
    long long r = (c - 1) * (balance + 100) / 200, f = c - r - 1;
    long long s = ((c + c * offset / 200) % c + c) % c;
    long long k = ((index % c - s) % c + c) % c;
    if (k < r)
        return std::min(255, RoundUp(255.0 * k / r));
    if (k == r)
        return f == 0 ? 0 : 255;
    return std::min(255, RoundUp(255.0 * (c - 1 - k) / f));
}

DWORD PlainPixel(int w, COLORREF c1, COLORREF c2) {
    DWORD out = 0xFF000000;
    for (int k = 0; k < 3; ++k) {
        int a = (c1 >> (8 * k)) & 0xFF, b = (c2 >> (8 * k)) & 0xFF;
        int v = b + (int)floor(w * (a - b) / 256.0);
        out |= (DWORD)v << (16 - 8 * k);
    }
    return out;
}

// The index of the ramp for pixel (x, y) of a W x H bounds; -1 draws nothing.
long long PlainIndex(int type, long long x, long long y, long long W, long long H, long long L) {
    auto cap = [L](double v) {
        double r = floor(v + 0.5);
        return r < 0 ? 0 : r >= (double)L ? L - 1 : (long long)r;
    };
    switch (type) {
        case 0:
            return W == 1 ? -1 : cap(((double)L * x / (W - 1)));
        case 1:
            return H == 1 ? -1 : cap(((double)L * y / (H - 1)));
        case 2:
            return cap(
                L * std::max((double)std::llabs(2 * x - W) / W, (double)std::llabs(2 * y - H) / H));
        case 3: {
            if (W == 1 || H == 1)
                return -1;
            double u = (double)x / (W - 1), v = (double)y / (H - 1);
            return cap((L * ((1 - v) * (1 - u) + v * u)));
        }
        case 4: {
            if (W == 1 || H == 1)
                return -1;
            double u = (double)x / (W - 1), v = (double)y / (H - 1);
            double t = std::min(1.0, std::max(0.0, 0.95 * (1 - v * (1 - u))));
            return cap((t * (L - 1)));
        }
        case 5: {
            if (W == 1 || H == 1)
                return -1;
            double u = 2.0 * x / (W - 1) - 1, v = 2.0 * y / (H - 1) - 1;
            double q = (u * u + v * v) / 2;
            int k = q > 1 ? 32767 : (int)(q * 32767);
            return cap((sqrt(k / 32767.0) * (L - 1)));
        }
        case 6: {
            if (W == 1 || H == 1)
                return -1;
            float du = (float)x / (W - 1) - 0.5f, dv = (float)y / (H - 1) - 0.5f;
            const float twoPi = 6.28318530717958647692f;
            float a = atan2f(dv, du);
            if (a <= 0)
                a += twoPi;
            return cap((a / twoPi * L));
        }
    }
    return -1;
}

}  // namespace

TEST(GradientFill, DefaultProfileEdgesAndMiddle) {
    Gradient g;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(101, 3, 0);
    RECT r = {0, 0, 101, 3};
    EXPECT_EQ(S_OK, g.fill->Render(&r, buffer, nullptr, nullptr));
    EXPECT_EQ(0xFF000000u, Pixel(buffer, 0, 1));  // colour 2 at both edges
    EXPECT_EQ(0xFF000000u, Pixel(buffer, 100, 1));
    EXPECT_EQ(0xFFF9F9F9u, Pixel(buffer, 50, 1));  // weight 250: 250 * 255 >> 8
    std::vector<int> ramp;
    BuildGradientRamp(1, 0, 0, 101, ramp);
    EXPECT_EQ(250, ramp[51]);
    EXPECT_EQ(255, ramp[50]);
}

TEST(GradientFill, BalanceShapesTheRamp) {
    std::vector<int> ramp;
    BuildGradientRamp(1, -100, 0, 50, ramp);  // falling: colour 1 to colour 2
    EXPECT_EQ(255, ramp.front());
    EXPECT_EQ(0, ramp.back());
    for (size_t i = 1; i < ramp.size(); ++i) EXPECT_LE(ramp[i], ramp[i - 1]);
    BuildGradientRamp(2, 100, 0, 100, ramp);  // rising, each period ending in 0
    ASSERT_EQ(100u, ramp.size());
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(0, ramp[k * 50]);
        EXPECT_EQ(0, ramp[k * 50 + 49]);
        for (int i = 1; i < 49; ++i) EXPECT_GT(ramp[k * 50 + i], ramp[k * 50 + i - 1]);
    }
}

TEST(GradientFill, RepeatGivesIdenticalPeriods) {
    std::vector<int> ramp;
    BuildGradientRamp(3, 0, 0, 300, ramp);
    ASSERT_EQ(300u, ramp.size());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(ramp[i], ramp[100 + i]);
        EXPECT_EQ(ramp[i], ramp[200 + i]);
    }
    EXPECT_EQ(0, ramp[0]);
    EXPECT_EQ(255, ramp[49]);
}

TEST(GradientFill, OffsetsFarBelowStayInsideThePeriod) {
    std::vector<int> base, shifted;
    BuildGradientRamp(1, 20, 0, 50, base);
    for (int offset : {-450, -201, -1000000, 250, 1000000}) {
        BuildGradientRamp(1, 20, offset, 50, shifted);
        ASSERT_EQ(base.size(), shifted.size());
        long long s = 50 + 50LL * offset / 200;
        int shift = (int)(((s % 50) + 50) % 50);
        for (int i = 0; i < 50; ++i) EXPECT_EQ(base[(i - shift + 50) % 50], shifted[i]) << offset;
    }
}

TEST(GradientFill, EqualColoursPaintFlatEvenForAnUnknownType) {
    Gradient g;
    g.params->SetGradType(42);
    g.params->SetColor1(RGB(5, 6, 7));
    g.params->SetColor2(RGB(5, 6, 7));
    CComPtr<IPixelBuffer> buffer = MakeBuffer(9, 9, 0);
    RECT r = {0, 0, 9, 9};
    EXPECT_EQ(S_OK, g.fill->Render(&r, buffer, nullptr, nullptr));
    for (DWORD p : Pixels(buffer)) ASSERT_EQ(0xFF050607u, p);
    g.params->SetColor2(0);
    LogCapture log;
    EXPECT_EQ(E_INVALIDARG, g.fill->Render(&r, buffer, nullptr, nullptr));
    EXPECT_LOGGED(log, "GradFill render failed -- unknown type!");
}

TEST(GradientFill, RepeatAndBalanceAreClampedWhenDrawing) {
    Gradient g;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(8, 8, 0x01020304);
    RECT r = {0, 0, 8, 8};
    g.params->SetRepeat(0);
    EXPECT_EQ(E_OUTOFMEMORY, g.fill->Render(&r, buffer, nullptr, nullptr));
    for (DWORD p : Pixels(buffer)) ASSERT_EQ(0x01020304u, p);
    g.params->SetRepeat(50);
    g.params->SetBalance(-300);
    EXPECT_EQ(S_OK, g.fill->Render(&r, buffer, nullptr, nullptr));
    int repeat = 0, balance = 0;
    g.params->GetRepeat(&repeat);
    g.params->GetBalance(&balance);
    EXPECT_EQ(20, repeat);
    EXPECT_EQ(-100, balance);
}

TEST(GradientFill, EveryProfileEqualsThePlainFormulas) {
    unsigned seed = 99;
    auto rnd = [&]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 70; ++round) {
        int type = round % 7;
        int W = 1 + rnd() % 90, H = 1 + rnd() % 70;
        int repeat = 1 + rnd() % 4, balance = (int)(rnd() % 201) - 100;
        int offset = (int)(rnd() % 801) - 400;
        COLORREF c1 = RGB(rnd() & 255, rnd() & 255, rnd() & 255);
        COLORREF c2 = RGB(rnd() & 255, rnd() & 255, rnd() & 255);
        if (c1 == c2)
            c2 ^= 1;
        Gradient g;
        g.params->SetGradType(type);
        g.params->SetRepeat(repeat);
        g.params->SetBalance(balance);
        g.params->SetOffset(offset);
        g.params->SetColor1(c1);
        g.params->SetColor2(c2);
        // Bounds placed inside a larger buffer; a clip cutting into them.
        CComPtr<IPixelBuffer> buffer = MakeBuffer(W + 20, H + 20, 0x0BADF00D);
        RECT bounds = {7, 5, 7 + W, 5 + H};
        RECT clip = {7 + (int)(rnd() % (W / 2 + 1)), 5 + (int)(rnd() % (H / 2 + 1)), 7 + W, 5 + H};
        ASSERT_EQ(S_OK, g.fill->Render(&bounds, buffer, &clip, nullptr));
        std::vector<int> ramp = PlainRamp(repeat, balance, offset, std::max(W, H));
        int L = (int)ramp.size();
        for (int y = 0; y < H + 20; ++y)
            for (int x = 0; x < W + 20; ++x) {
                DWORD want = 0x0BADF00D;
                if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) {
                    int i = PlainIndex(type, x - bounds.left, y - bounds.top, W, H, L);
                    if (i >= 0)
                        want = PlainPixel(ramp[i], c1, c2);
                }
                ASSERT_EQ(want, Pixel(buffer, x, y))
                    << "type " << type << " W " << W << " H " << H << " at " << x << "," << y;
            }
    }
}

// The angular profile places most indices without the single precision
// arc tangent: every pixel still equals the plain formula, over bounds up
// to page size and ramps up to 20 periods.
TEST(GradientFill, AngularProfileEqualsThePlainFormulaOnLargeBounds) {
    unsigned seed = 2024;
    auto rnd = [&]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 24; ++round) {
        int W = 2 + rnd() % 2000, H = 2 + rnd() % 1200, repeat = 1 + rnd() % 20;
        Gradient g;
        g.params->SetGradType(GRAD_ANGULAR);
        g.params->SetRepeat(repeat);
        g.params->SetColor1(RGB(255, 0, 0));
        g.params->SetColor2(RGB(0, 0, 255));
        // A window of the bounds around a random point, often the centre.
        int cx = round % 3 ? (int)(rnd() % W) : W / 2, cy = round % 3 ? (int)(rnd() % H) : H / 2;
        RECT clip = {std::max(0, cx - 120), std::max(0, cy - 90), std::min(W, cx + 120),
                     std::min(H, cy + 90)};
        RECT bounds = {-clip.left, -clip.top, W - clip.left, H - clip.top};
        int cw = clip.right - clip.left, ch = clip.bottom - clip.top;
        RECT all = {0, 0, cw, ch};
        CComPtr<IPixelBuffer> buffer = MakeBuffer(cw, ch, 0);
        ASSERT_EQ(S_OK, g.fill->Render(&bounds, buffer, &all, nullptr));
        std::vector<int> ramp = PlainRamp(repeat, 0, 0, std::max(W, H));
        long long L = (long long)ramp.size();
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                long long i = PlainIndex(GRAD_ANGULAR, x + clip.left, y + clip.top, W, H, L);
                ASSERT_EQ(PlainPixel(ramp[(size_t)i], RGB(255, 0, 0), RGB(0, 0, 255)),
                          Pixel(buffer, x, y))
                    << W << " x " << H << " repeat " << repeat << " at " << x + clip.left << ","
                    << y + clip.top;
            }
    }
}

TEST(GradientFill, RampEntriesWorkedOutAloneMatchTheWholeRamp) {
    unsigned seed = 5;
    auto rnd = [&]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 300; ++round) {
        int repeat = 1 + rnd() % 20, balance = (int)(rnd() % 201) - 100;
        int offset = (int)(rnd() % 2001) - 1000, longest = 1 + rnd() % 400;
        std::vector<int> ramp = PlainRamp(repeat, balance, offset, longest);
        GradientRamp fn(repeat, balance, offset, longest);
        ASSERT_EQ((long long)ramp.size(), fn.Size());
        for (size_t i = 0; i < ramp.size(); ++i) {
            ASSERT_EQ(ramp[i], PlainWeight(repeat, balance, offset, longest, (long long)i));
            ASSERT_EQ(ramp[i], fn.Weight((long long)i))
                << repeat << " " << balance << " " << offset << " " << longest << " " << i;
        }
    }
}

// Bounds of 2^31 - 1 pixels along one side: the ramp is not made for the
// bounds, only the clip's pixels are worked out, exactly as for small ones.
TEST(GradientFill, HugeBoundsPaintTheClipFromTheFormulas) {
    const int kMax = 0x7FFFFFFF;
    PeakMemoryGrowth memory;
    struct Shape {
        RECT bounds;
        RECT clip;
    } shapes[] = {{{0, 0, 1, kMax}, {0, 0, 1, 40}},
                  {{0, 0, kMax, 1}, {0, 0, 40, 1}},
                  {{3, -1073741823, 4, 1073741824}, {0, 0, 8, 40}},
                  {{-1073741823, 2, 1073741824, 3}, {0, 0, 40, 8}},
                  {{-kMax + 20, -kMax + 30, 20, 30}, {0, 0, 40, 40}}};
    for (const Shape& shape : shapes)
        for (int type = 0; type < 7; ++type)
            for (int repeat : {1, 7, 20}) {
                Gradient g;
                g.params->SetGradType(type);
                g.params->SetRepeat(repeat);
                g.params->SetBalance(30);
                g.params->SetOffset(-150);
                COLORREF c1 = RGB(250, 10, 40), c2 = RGB(5, 200, 90);
                g.params->SetColor1(c1);
                g.params->SetColor2(c2);
                CComPtr<IPixelBuffer> buffer = MakeBuffer(40, 40, 0x0BADF00D);
                ASSERT_EQ(S_OK, g.fill->Render(&shape.bounds, buffer, &shape.clip, nullptr));
                const RECT& b = shape.bounds;
                long long W = (long long)b.right - b.left, H = (long long)b.bottom - b.top;
                long long longest = std::max(W, H);
                long long L = repeat * ((repeat + longest - 1) / repeat);
                for (int y = 0; y < 40; ++y)
                    for (int x = 0; x < 40; ++x) {
                        DWORD want = 0x0BADF00D;
                        // The profiles cover the clip, also where it
                        // passes the bounds.
                        POINT p = {x, y};
                        if (PtInRect(&shape.clip, p)) {
                            long long i = PlainIndex(type, x - (long long)b.left,
                                                     y - (long long)b.top, W, H, L);
                            if (i >= 0)
                                want =
                                    PlainPixel(PlainWeight(repeat, 30, -150, longest, i), c1, c2);
                        }
                        ASSERT_EQ(want, Pixel(buffer, x, y))
                            << "type " << type << " repeat " << repeat << " at " << x << "," << y;
                    }
            }
    EXPECT_LT(memory.Bytes(), 64u << 20);
}

TEST(GradientFill, Interpolation) {
    Gradient a, b, out;
    a.params->SetGradType(0);
    a.params->SetColor1(RGB(0, 0, 0));
    a.params->SetColor2(RGB(100, 100, 100));
    a.params->SetRepeat(1);
    b.params->SetGradType(5);
    b.params->SetColor1(RGB(200, 200, 200));
    b.params->SetColor2(RGB(100, 20, 0));
    b.params->SetRepeat(4);
    EXPECT_EQ(S_OK, out.fill->InterpolateFill(a.fill, b.fill, 50));
    int type = -1, repeat = 0;
    COLORREF c1 = 0, c2 = 0;
    out.params->GetGradType(&type);
    out.params->GetColor1(&c1);
    out.params->GetColor2(&c2);
    out.params->GetRepeat(&repeat);
    // Average of the four colours: (0+100+200+100)/4, (0+100+200+20)/4, (0+100+200+0)/4.
    EXPECT_EQ(5, type);
    EXPECT_EQ(RGB(100, 80, 75), c1);
    EXPECT_EQ(RGB(100, 80, 75), c2);
    EXPECT_EQ(1 + (3 * 50 + 50) / 100, repeat);
    out.fill->InterpolateFill(a.fill, b.fill, 49);
    out.params->GetGradType(&type);
    out.params->GetColor1(&c1);
    EXPECT_EQ(0, type);
    EXPECT_EQ(RGB(98, 78, 73), c1);  // trunc(0.98 * M)

    // A solid second fill: same type, both colours its colour.
    CComPtr<FillObject> solid;
    solid.Attach(CreateFillObject());
    void* p = nullptr;
    solid->GetFillParams(&p);
    static_cast<ISolidFillParams*>(p)->SetColor(RGB(50, 50, 50));
    EXPECT_EQ(S_OK, out.fill->InterpolateFill(a.fill, solid, 100));
    out.params->GetGradType(&type);
    out.params->GetColor1(&c1);
    out.params->GetColor2(&c2);
    EXPECT_EQ(0, type);
    EXPECT_EQ(RGB(50, 50, 50), c1);
    EXPECT_EQ(RGB(50, 50, 50), c2);
    // The solid fill first: the result is still the gradient's, reversed.
    EXPECT_EQ(S_OK, out.fill->InterpolateFill(solid, a.fill, 0));
    out.params->GetColor2(&c2);
    EXPECT_EQ(RGB(50, 50, 50), c2);
}
