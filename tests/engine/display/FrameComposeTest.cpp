// Transition frames composed from the page image and the fill image.
#include <gtest/gtest.h>

#include "PixelTestUtil.h"
#include "aFrameCompose.h"
#include "aTransPlugin.h"

using namespace pixtest;

namespace {

const int kW = 1920, kH = 1080;

// Page pixels name their column and row; the fill is one colour.
DWORD PagePixel(int x, int y) {
    return 0x00000000u | (DWORD)(y << 11) | (DWORD)x;
}
const DWORD kFill = 0x00F0F0F0;

struct Frame {
    CComPtr<IPixelBuffer> back, fill, page;
    CComPtr<IEffectRender> effect;
    // Bitmap buffers keep an origin.
    static CComPtr<IPixelBuffer> Bitmap(DWORD value) {
        CComPtr<IPixelBuffer> b;
        EXPECT_EQ(ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&b), S_OK);
        EXPECT_EQ(b->Create(kW, kH), S_OK);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) Pixel(b, x, y) = value;
        return b;
    }
    Frame() {
        back = Bitmap(0x11111111);
        fill = Bitmap(kFill);
        page = Bitmap(0);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) Pixel(page, x, y) = PagePixel(x, y);
        EXPECT_EQ(CreateEffectRender(&effect, nullptr), S_OK);
        back->SetOrigin(-7, -9);  // restored after the frame
    }
    // Runs the effect to progress p (entering).
    void At(double p) {
        effect->SetDuration(1000);
        CComPtr<IRenderClockClient> client;
        effect->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
        CRenderClock* clock = static_cast<CRenderClock*>(client->GetClock());
        clock->Stop();
        clock->Start();
        clock->Advance((DWORD)(p * 1000));
    }
    HRESULT Compose() { return ComposeTransitionFrame(back, fill, page, effect); }
    bool IsPage(int x, int y, int px) { return Pixel(back, x, y) == PagePixel(px, y); }
    bool IsFill(int x, int y) { return Pixel(back, x, y) == kFill; }
};

TEST(FrameCompose, ProgressOneGivesThePageIdleBelowOneTheFill) {
    Frame f;
    ASSERT_EQ(f.Compose(), S_OK);  // duration 0: progress 1
    for (int y = 0; y < kH; y += 97)
        for (int x = 0; x < kW; x += 89) ASSERT_TRUE(f.IsPage(x, y, x)) << x << "," << y;
    f.effect->SetEntering(FALSE);  // progress 0, idle
    ASSERT_EQ(f.Compose(), S_OK);
    for (int y = 0; y < kH; y += 97)
        for (int x = 0; x < kW; x += 89) ASSERT_TRUE(f.IsFill(x, y));
    BufferInfo info = Info(f.back, BIM_OFFSET);
    EXPECT_EQ(info.nOffsetX, 7);
    EXPECT_EQ(info.nOffsetY, 9);
    EXPECT_EQ(Info(f.page, BIM_OFFSET).nOffsetX, 7);
}

TEST(FrameCompose, MoveKindZeroAtHalf) {
    Frame f;
    CComPtr<ITransitionMove> move;
    ASSERT_EQ(CreateTransitionPlugin(1, __uuidof(ITransitionMove), (void**)&move), S_OK);
    f.effect->SetMove(move);
    f.At(0.5);
    ASSERT_EQ(f.Compose(), S_OK);
    for (int y = 0; y < kH; y += 53) {
        for (int x = 0; x < 960; x += 7) ASSERT_TRUE(f.IsPage(x, y, x + 960)) << x << "," << y;
        for (int x = 960; x < kW; x += 7) ASSERT_TRUE(f.IsFill(x, y)) << x << "," << y;
    }
}

TEST(FrameCompose, RegionWipeAtAQuarter) {
    Frame f;
    CComPtr<ITransitionRegion> region;
    ASSERT_EQ(CreateTransitionPlugin(2, __uuidof(ITransitionRegion), (void**)&region), S_OK);
    f.effect->SetRegion(region);
    f.At(0.25);
    ASSERT_EQ(f.Compose(), S_OK);
    for (int y = 0; y < kH; y += 53) {
        for (int x = 0; x < 480; x += 7) ASSERT_TRUE(f.IsPage(x, y, x)) << x << "," << y;
        for (int x = 480; x < kW; x += 7) ASSERT_TRUE(f.IsFill(x, y)) << x << "," << y;
    }
}

TEST(FrameCompose, DissolveMaskAtHalf) {
    Frame f;
    CComPtr<ITransitionMask> mask;
    ASSERT_EQ(CreateTransitionPlugin(5, __uuidof(ITransitionMask), (void**)&mask), S_OK);
    f.effect->SetMask(mask);
    f.At(0.5);
    ASSERT_EQ(f.Compose(), S_OK);
    // A cell of 255 keeps the page but one step down: (p * 255 + f) >> 8.
    static const BYTE order[64] = {47, 15, 39, 3,  45, 10, 37, 1,  29, 63, 20, 55, 27, 61, 26, 53,
                                   35, 7,  43, 12, 33, 5,  41, 11, 24, 52, 17, 59, 19, 49, 28, 57,
                                   44, 8,  36, 0,  46, 13, 38, 2,  23, 60, 16, 52, 18, 62, 21, 54,
                                   32, 4,  40, 9,  34, 6,  42, 14, 31, 48, 22, 56, 25, 50, 30, 58};
    for (int y = 0; y < kH; y += 37) {
        for (int x = 0; x < kW; x += 11) {
            const DWORD got = Pixel(f.back, x, y);
            if (order[(y % 8) * 8 + x % 8] >= 32) {
                ASSERT_EQ(got, kFill) << x << "," << y;
            } else {
                const DWORD p = PagePixel(x, y);
                DWORD want = 0;
                for (int sh = 0; sh < 24; sh += 8)
                    want |= (((p >> sh & 0xFF) * 255 + (kFill >> sh & 0xFF)) >> 8) << sh;
                ASSERT_EQ(got, want) << x << "," << y;
            }
        }
    }
}

}  // namespace

namespace {

TEST(FrameCompose, MaskFramesEqualThePageCopyThenTheCompose) {
    const int w = 200, h = 120;
    srand(11);
    auto buffer = [&](bool random) {
        CComPtr<IPixelBuffer> b = MakeBuffer(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Pixel(b, x, y) = random ? ((DWORD)rand() << 16) ^ (DWORD)rand() : 0;
        return b;
    };
    CComPtr<IPixelBuffer> fill = buffer(true), page = buffer(true);
    CComPtr<IPixelBuffer> smallFill = MakeBuffer(150, 100, {}, 0x00123456);
    for (int number = 5; number <= 10; ++number) {
        for (int kind = 0; kind < 3; ++kind) {
            for (IPixelBuffer* f : {fill.p, smallFill.p}) {
                CComPtr<ITransitionMask> mask;
                ASSERT_EQ(CreateTransitionPlugin(number, __uuidof(ITransitionMask), (void**)&mask),
                          S_OK);
                CComPtr<ITransitionParams> params;
                mask->QueryInterface(__uuidof(ITransitionParams), (void**)&params);
                params->SetParam(0, kind);
                CComPtr<IEffectRender> effect;
                ASSERT_EQ(CreateEffectRender(&effect, nullptr), S_OK);
                effect->SetMask(mask);
                effect->SetDuration(1000);
                CComPtr<IRenderClockClient> client;
                effect->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
                client->GetClock()->Start();
                static_cast<CRenderClock*>(client->GetClock())->Advance(630);
                CComPtr<IPixelBuffer> back = buffer(false), expected = buffer(false);
                const HRESULT hr = ComposeTransitionFrame(back, f, page, effect);
                // The same by the steps: the page copied, then the compose.
                const RECT full = {0, 0, w, h};
                expected->Blit(&full, page, &full, 0);
                BYTE* m = nullptr;
                ASSERT_EQ(mask->BuildTiledMask(&m, 0.63, &full, &full), S_OK);
                const HRESULT want = mask->ApplyTiledMask(expected, f, m, 0.63, &full, &full);
                FreeTransitionMask(m);
                ASSERT_EQ(hr, want) << number << " kind " << kind;
                if (SUCCEEDED(hr)) {
                    ASSERT_EQ(Pixels(back), Pixels(expected)) << number << " kind " << kind;
                }
            }
        }
    }
}

}  // namespace
