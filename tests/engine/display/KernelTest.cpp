// The kernels' building blocks and the exact pixels of their edge cases,
// each on the vector path and on the plain path.
#include <gtest/gtest.h>

#include <vector>

#include "PixelTestUtil.h"
#include "aBlit.h"
#include "aKernels.h"
#include "aKernelsAvx2.h"

using namespace pixtest;

namespace {

// The path chosen at run time is the fastest there is: the vector kernels
// whenever the processor has SSE2, with their AVX2 forms (per-pixel alpha,
// four-tap stretch) whenever it has AVX2.
TEST(KernelDispatch, RunTimePathIsTheFastestAvailable) {
    const bool oldVector = SetBlitKernelVector(true), oldAvx2 = SetBlitKernelAvx2(true);
#if defined(__x86_64__)
    EXPECT_TRUE(IsBlitKernelVector());
#endif
    EXPECT_EQ(IsBlitKernelAvx2(), IsBlitKernelVector() && CpuHasAvx2());
    SetBlitKernelVector(oldVector);
    SetBlitKernelAvx2(oldAvx2);
}

TEST(MapStretchPoints, SampleTables) {
    struct Case {
        int ns, nd;
        std::vector<StretchPoint> expected;
    };
    const Case cases[] = {
        {3, 3, {{0, 1024}, {1, 1024}, {2, 1024}}},
        {2, 4, {{0, 1024}, {0, 512}, {1, 1024}, {1, 1024}}},
        {2, 5, {{0, 1024}, {0, 614}, {0, 204}, {1, 1024}, {1, 1024}}},
        {5, 3, {{0, 1024}, {1, 341}, {3, 682}}},
        {4, 2, {{0, 1024}, {2, 1024}}},
        {1, 4, {{0, 1024}, {0, 1024}, {0, 1024}, {0, 1024}}},
    };
    for (const Case& c : cases) {
        std::vector<StretchPoint> table(c.nd);
        MapStretchPoints(table.data(), c.ns, c.nd);
        for (int i = 0; i < c.nd; ++i) {
            EXPECT_EQ(c.expected[i].index, table[i].index)
                << c.ns << "->" << c.nd << " entry " << i;
            EXPECT_EQ(c.expected[i].weight, table[i].weight)
                << c.ns << "->" << c.nd << " entry " << i;
        }
    }
}

TEST(MapStretchPoints, NeverPointsPastTheLastSourcePixel) {
    for (int ns = 1; ns < 40; ++ns)
        for (int nd = 1; nd < 300; nd += 7) {
            std::vector<StretchPoint> table(nd);
            MapStretchPoints(table.data(), ns, nd);
            for (const StretchPoint& p : table) {
                ASSERT_GE(p.index, 0);
                ASSERT_LT(p.index, ns);
                ASSERT_GE(p.weight, 0);
                ASSERT_LE(p.weight, 1024);
                if (p.index == ns - 1) {
                    ASSERT_EQ(1024, p.weight);
                }
            }
        }
}

TEST(MapStretchPoints, EmptySourceLeavesTheTable) {
    for (int ns : {0, -1, -1000}) {
        std::vector<StretchPoint> table(8, StretchPoint{7, 77});
        MapStretchPoints(table.data(), ns, 8);
        for (const StretchPoint& p : table) {
            EXPECT_EQ(7, p.index) << ns;
            EXPECT_EQ(77, p.weight) << ns;
        }
    }
}

TEST(BuildBlendTable, EntryIsIndexTimesStep) {
    int table[256];
    BuildBlendTable(table, 256, 255);
    EXPECT_EQ(0, table[0]);
    EXPECT_EQ(255, table[1]);
    EXPECT_EQ(255 * 255, table[255]);
    BuildBlendTable(table, 256, 77);
    EXPECT_EQ(77 * 200, table[200]);
}

TEST(IsColorKeyed, RangeBoundsIncludedTopByteIgnored) {
    const DWORD lo = 0x00102030, hi = 0x00405060;
    struct Case {
        DWORD pixel;
        bool keyed;
    } cases[] = {
        {0x00102030, true},  {0x00405060, true},
        {0xFF2A3A4A, true},  // both ends, top byte ignored
        {0x000F2030, false}, {0x00101F30, false},
        {0x0010202F, false},  // one step below
        {0x00415060, false}, {0x00405160, false},
        {0x00405061, false},  // one step above
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.keyed, IsColorKeyed(&c.pixel, lo, hi)) << std::hex << c.pixel;
        EXPECT_EQ(c.keyed, IsColorKeyed((c.pixel >> 16) & 0xFF, (c.pixel >> 8) & 0xFF,
                                        c.pixel & 0xFF, lo, hi));
    }
    EXPECT_FALSE(IsColorKeyed(nullptr, lo, hi));
}

TEST(BlitKernelIndex, CodesToKernels) {
    struct Case {
        UINT code;
        int kernel;
    } cases[] = {
        {0, 0},    {1, 1},    {2, 2},    {3, 3},   {4, 4},      {8, 5},    {12, 6},   {13, 7},
        {14, 8},   {15, 9},   {5, 7},    {9, 7},   {6, 8},      {10, 8},   {7, 9},    {11, 9},
        {32, 10},  {36, 14},  {46, 18},  {64, 20}, {96, 30},    {128, 40}, {160, 50}, {192, 60},
        {224, 70}, {239, 79}, {229, 77}, {16, -1}, {0x100, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.kernel, BlitKernelIndex(c.code)) << "code " << c.code;
}

// Blit codes come from the unclipped sizes and the source's switches.
TEST(PlanBlit, CodeFromSizesAndSwitches) {
    CComPtr<IPixelBuffer> src = MakeBuffer(40, 40), dst = MakeBuffer(40, 40);
    BlitPlan plan;
    RECT s = Rect(0, 0, 10, 10), d = Rect(0, 0, 10, 10);
    ASSERT_EQ(S_OK, PlanBlit(&d, src, &s, 40, 40, 0, 0, &plan));
    EXPECT_EQ(0u, plan.code);
    d = Rect(0, 0, 20, 10);
    ASSERT_EQ(S_OK, PlanBlit(&d, src, &s, 40, 40, 0, 0, &plan));
    EXPECT_EQ(4u, plan.code);
    src->EnableColorKey(TRUE);
    ASSERT_EQ(S_OK, PlanBlit(&d, src, &s, 40, 40, 0, 0, &plan));
    EXPECT_EQ(36u, plan.code);
    s = Rect(10, 0, 0, 10);
    d = Rect(0, 0, 20, 20);
    ASSERT_EQ(S_OK, PlanBlit(&d, src, &s, 40, 40, 0, 0, &plan));
    EXPECT_EQ(46u, plan.code);
    EXPECT_EQ(18, plan.kernel);
}

class KernelEdge : public KernelPathTest {};

enum Switch { kNone = 0, kKey = 1, kConst = 2, kPixel = 4 };

struct PixelCase {
    const char* name;
    int sw, sh;
    std::vector<DWORD> src;
    int switches;
    int alpha;
    int dw, dh;
    std::vector<DWORD> dst;
    RECT s, d;
    std::vector<DWORD> expected;
};

TEST_P(KernelEdge, ExactPixels) {
    const DWORD W = 0x00FFFFFF, B = 0x00000000;
    const PixelCase cases[] = {
        {"row 0,255 stretched 2->4",
         2,
         1,
         {0x00, 0xFF},
         kNone,
         0,
         4,
         1,
         {9, 9, 9, 9},
         Rect(0, 0, 2, 1),
         Rect(0, 0, 4, 1),
         {0x00, 0x7F, 0xFF, 0xFF}},
        {"constant alpha 128, white over black",
         1,
         1,
         {W},
         kConst,
         128,
         1,
         1,
         {B},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFF808080}},
        {"constant alpha 128, black over white",
         1,
         1,
         {B},
         kConst,
         128,
         1,
         1,
         {W},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFF7F7F7F}},
        {"constant alpha 128, white over white loses a step",
         1,
         1,
         {W},
         kConst,
         128,
         1,
         1,
         {W},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFFFEFEFE}},
        {"constant alpha 255 is a plain copy",
         2,
         1,
         {0x12345678, 0x9ABCDEF0},
         kConst,
         255,
         2,
         1,
         {W, W},
         Rect(0, 0, 2, 1),
         Rect(0, 0, 2, 1),
         {0x12345678, 0x9ABCDEF0}},
        {"constant alpha 0 draws nothing",
         1,
         1,
         {W},
         kConst,
         0,
         1,
         1,
         {0x11223344},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0x11223344}},
        {"pixel alpha 128, white over black",
         1,
         1,
         {0x80FFFFFF},
         kPixel,
         0,
         1,
         1,
         {B},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFF808080}},
        {"pixel alpha 128, black over white",
         1,
         1,
         {0x80000000},
         kPixel,
         0,
         1,
         1,
         {W},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFF808080}},
        {"pixel alpha 1, white over white stays white",
         1,
         1,
         {0x01FFFFFF},
         kPixel,
         0,
         1,
         1,
         {W},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFFFFFFFF}},
        {"pixel alpha 255 copies bit for bit, 0 leaves alone",
         2,
         1,
         {0xFF123456, 0x00ABCDEF},
         kPixel,
         0,
         2,
         1,
         {0x11223344, 0x55667788},
         Rect(0, 0, 2, 1),
         Rect(0, 0, 2, 1),
         {0xFF123456, 0x55667788}},
        {"constant 128 with pixel alpha 255 blends with 127",
         1,
         1,
         {0xFFFFFFFF},
         kConst | kPixel,
         128,
         1,
         1,
         {B},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 1, 1),
         {0xFF7F7F7F}},
        {"key range ends are skipped, one step outside is drawn",
         4,
         1,
         {0x00102030, 0x00405060, 0x000F2030, 0x00415060},
         kKey,
         0,
         4,
         1,
         {1, 2, 3, 4},
         Rect(0, 0, 4, 1),
         Rect(0, 0, 4, 1),
         {1, 2, 0x000F2030, 0x00415060}},
        {"keyed 1x1 source stretched draws nothing",
         1,
         1,
         {0x00203040},
         kKey,
         0,
         3,
         2,
         {5, 5, 5, 5, 5, 5},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 3, 2),
         {5, 5, 5, 5, 5, 5}},
        {"unkeyed 1x1 source stretched fills the rectangle",
         1,
         1,
         {0x00FF0000},
         kKey,
         0,
         3,
         2,
         {5, 5, 5, 5, 5, 5},
         Rect(0, 0, 1, 1),
         Rect(0, 0, 3, 2),
         {0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000}},
        // Destination 0 and 1 sample pixel 0 with the opaque neighbour 1;
        // 2 and 3 sample pixel 1 whole, but its neighbour 2 (outside the
        // source rectangle, inside the buffer) is transparent: not drawn.
        {"transparent sample of weight 0 stops a stretched pixel",
         3,
         1,
         {0xFF0000FF, 0xFFFF0000, 0x00000000},
         kPixel,
         0,
         4,
         1,
         {7, 7, 7, 7},
         Rect(0, 0, 2, 1),
         Rect(0, 0, 4, 1),
         {0xFF0000FF, 0xFF7F007F, 7, 7}},
        // The same without the third pixel: the neighbour would lie beyond
        // the buffer, is not read and stops nothing.
        {"neighbour beyond the source buffer stops nothing",
         2,
         1,
         {0xFF0000FF, 0xFFFF0000},
         kPixel,
         0,
         4,
         1,
         {7, 7, 7, 7},
         Rect(0, 0, 2, 1),
         Rect(0, 0, 4, 1),
         {0xFF0000FF, 0xFF7F007F, 0xFFFF0000, 0xFFFF0000}},
        // Source row 0 lands on the last row of the rectangle; rows and
        // columns around it stay as they were.
        {"vertical mirror between buffers of different widths",
         2,
         3,
         {1, 2, 3, 4, 5, 6},
         kNone,
         0,
         4,
         5,
         {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9},
         Rect(0, 3, 2, 0),
         Rect(1, 1, 3, 4),
         {9, 9, 9, 9, 9, 5, 6, 9, 9, 3, 4, 9, 9, 1, 2, 9, 9, 9, 9, 9}},
        {"reversed source rectangle mirrors horizontally",
         3,
         1,
         {1, 2, 3},
         kNone,
         0,
         3,
         1,
         {0, 0, 0},
         Rect(3, 0, 0, 1),
         Rect(0, 0, 3, 1),
         {3, 2, 1}},
        {"reversed destination rectangle draws nothing",
         3,
         1,
         {1, 2, 3},
         kNone,
         0,
         3,
         1,
         {0, 0, 0},
         Rect(0, 0, 3, 1),
         Rect(3, 0, 0, 1),
         {0, 0, 0}},
        // Code 46 (key, stretch both ways, mirrored): one pass, mirrored;
        // the keyed pixel 0x000001 leaves its samples alone.
        {"colour-keyed stretched mirror draws once",
         2,
         1,
         {0x00000001, 0x00FF00FF},
         kKey,
         0,
         4,
         2,
         {8, 8, 8, 8, 8, 8, 8, 8},
         Rect(2, 0, 0, 1),
         Rect(0, 0, 4, 2),
         {0x00FF00FF, 0x00FF00FF, 0x007F0080, 8, 0x00FF00FF, 0x00FF00FF, 0x007F0080, 8}},
    };
    for (const PixelCase& c : cases) {
        CComPtr<IPixelBuffer> src = MakeBuffer(c.sw, c.sh), dst = MakeBuffer(c.dw, c.dh);
        for (int i = 0; i < c.sw * c.sh; ++i) Pixel(src, i % c.sw, i / c.sw) = c.src[i];
        for (int i = 0; i < c.dw * c.dh; ++i) Pixel(dst, i % c.dw, i / c.dw) = c.dst[i];
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_CONSTALPHA | BIM_COLORKEY;
        info.bConstAlpha = (BYTE)c.alpha;
        info.dwKeyLow = 0x00000000;
        info.dwKeyHigh = 0x00000001;
        if (c.sw == 4 && (c.switches & kKey))
            info.dwKeyLow = 0x00102030, info.dwKeyHigh = 0x00405060;
        if (c.sw == 1 && (c.switches & kKey))
            info.dwKeyLow = 0x00203040, info.dwKeyHigh = 0x00203040;
        src->SetBufferInfo(&info);
        src->EnableColorKey(c.switches & kKey);
        src->EnableConstAlpha(c.switches & kConst);
        src->EnablePixelAlpha(c.switches & kPixel);
        FillSpareRows(dst, 0xDEADBEEF);
        EXPECT_EQ(S_OK, dst->Blit(&c.d, src, &c.s, 0)) << c.name;
        std::vector<DWORD> got = Pixels(dst);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(c.expected[i], got[i])
                << c.name << ", pixel " << i << std::hex << " got " << got[i];
        EXPECT_TRUE(SpareRowsAre(dst, 0xDEADBEEF)) << c.name;
    }
}

// A destination hanging 10 pixels off the left edge of a 2:1 stretch loses 5
// source pixels from the source's left, or from its right when reversed.
TEST_P(KernelEdge, DestinationOffTheLeftEdgeCutsTheSource) {
    CComPtr<IPixelBuffer> src = MakeBuffer(20, 1);
    for (int x = 0; x < 20; ++x) Pixel(src, x, 0) = 0x00010000u * x + 100;
    auto dstObject = Make<CGDIBuffer>();
    ASSERT_EQ(S_OK, dstObject->Create(40, 1));
    IPixelBuffer* dst = dstObject;

    RECT s = Rect(0, 0, 20, 1), d = Rect(-10, 0, 30, 1);
    ASSERT_EQ(S_OK, dst->Blit(&d, src, &s, 0));
    EXPECT_EQ(5, dstObject->GetBlitWork().srcLeft);
    EXPECT_EQ(20, dstObject->GetBlitWork().srcRight);
    EXPECT_EQ(0, dstObject->GetBlitWork().dstLeft);
    EXPECT_EQ(30, dstObject->GetBlitWork().dstRight);
    EXPECT_EQ(0x00050064u, Pixel(dst, 0, 0));   // source pixel 5 whole
    EXPECT_EQ(0x00130064u, Pixel(dst, 29, 0));  // the last source pixel

    s = Rect(20, 0, 0, 1);
    ASSERT_EQ(S_OK, dst->Blit(&d, src, &s, 0));
    EXPECT_EQ(0, dstObject->GetBlitWork().srcLeft);
    EXPECT_EQ(15, dstObject->GetBlitWork().srcRight);
    EXPECT_EQ(0x000E0064u, Pixel(dst, 0, 0));   // mirrored: source pixel 14
    EXPECT_EQ(0x00000064u, Pixel(dst, 29, 0));  // ... down to source pixel 0
}

// The same rectangle drawn with and without mirrors gives mirror images.
TEST_P(KernelEdge, MirroredStretchIsTheMirrorImage) {
    CComPtr<IPixelBuffer> src = MakeBuffer(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            Pixel(src, x, y) = 0x01000000u * (x * 40 + y * 7) + 0x00030507u * (x * 11 + y * 29);
    CComPtr<IPixelBuffer> plain = MakeBuffer(13, 9), mirrored = MakeBuffer(13, 9);
    RECT d = Rect(0, 0, 13, 9), s = Rect(0, 0, 5, 4), r = Rect(5, 4, 0, 0);
    ASSERT_EQ(S_OK, plain->Blit(&d, src, &s, 0));
    ASSERT_EQ(S_OK, mirrored->Blit(&d, src, &r, 0));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(Pixel(plain, x, y), Pixel(mirrored, 12 - x, 8 - y)) << x << "," << y;
}

INSTANTIATE_KERNEL_PATHS(KernelEdge);

}  // namespace
