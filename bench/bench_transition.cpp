// Transition frames of 1920 x 1080 over a sweep of progress, against a
// plain copy of the same pixels measured in the same run. Each line gives
// the mean and the slowest frame in milliseconds and the mean's ratio to
// the copy. A mask's first frame at a new size (its base table) is given
// apart, and for masks 8, 6 and 7 against the goal of one frame at 60 Hz. Last, the drop shadow of
// 512 x 512 at softness 32 against 2.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <vector>

#include "aDXBuf.h"
#include "aFrameCompose.h"
#include "aGDIBuf.h"
#include "aTransPlugin.h"

namespace {

const int kW = 1920, kH = 1080;

CComPtr<IPixelBuffer> Bitmap(DWORD seed) {
    CComPtr<IPixelBuffer> b;
    ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&b);
    b->Create(kW, kH);
    BufferInfo info = ReadBufferInfo(b);
    for (int y = 0; y < kH; ++y) {
        DWORD* row = (DWORD*)(info.pPixels + (size_t)y * info.nPitch);
        for (int x = 0; x < kW; ++x) row[x] = seed ^ (DWORD)(x * 2654435761u + y * 40503u);
    }
    return b;
}

// IID_IDirectDraw4, without the dxguid library.
const IID kIDirectDraw4 = {
    0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};

CComPtr<IPixelBuffer> Surface(DXOwner* owner, DWORD seed) {
    CComPtr<IPixelBuffer> b;
    ComCreateInstance<CDXBackBuffer>(__uuidof(IPixelBuffer), (void**)&b);
    b->SetOwner(owner);
    b->Create(kW, kH);
    b->Lock(DDLOCK_WAIT);
    BufferInfo info = ReadBufferInfo(b);
    for (int y = 0; y < kH; ++y) {
        DWORD* row = (DWORD*)(info.pPixels + (size_t)y * info.nPitch);
        for (int x = 0; x < kW; ++x) row[x] = seed ^ (DWORD)(x * 2654435761u + y * 40503u);
    }
    b->Unlock();
    return b;
}

struct Case {
    const char* name;
    int plugin;     // 1 move, 2..4 region, 5..10 mask
    double param0;  // kind or type
    TransitionTiling tiling;
    bool isMask;
    bool directDraw = false;
    bool goalFirst = false;  // its first frame is one of the goal's
};

}  // namespace

int main() {
    CComPtr<IPixelBuffer> back = Bitmap(0), fill = Bitmap(0x5A5A5A), page = Bitmap(0xA5A5A5);
    // The same frames on DirectDraw buffers with an all-software owner.
    DXOwner owner;
    memset(&owner, 0, sizeof(owner));
    owner.caps.dwSize = sizeof(owner.caps);
    CComPtr<IPixelBuffer> dxBack, dxFill, dxPage;
    IDirectDraw* dd = nullptr;
    if (DirectDrawCreate(nullptr, &dd, nullptr) == DD_OK) {
        dd->QueryInterface(kIDirectDraw4, (void**)&owner.pDirectDraw);
        dd->Release();
        if (owner.pDirectDraw) {
            owner.pDirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
            dxBack = Surface(&owner, 0);
            dxFill = Surface(&owner, 0x5A5A5A);
            dxPage = Surface(&owner, 0xA5A5A5);
        }
    }
    // The reference: a plain copy of the frame's pixels.
    const RECT full = {0, 0, kW, kH};
    const double copyMs = FastestRun([&] { back->Blit(&full, page, &full, 0); }, 30) * 1000;
    printf("plain copy of a frame: %.3f ms\n", copyMs);

    if (dxBack) {
        // What one lock of a frame's surface costs here.
        double best = FastestRun(
                          [&] {
                              dxBack->Lock(DDLOCK_WAIT);
                              dxBack->Unlock();
                          },
                          20) *
                      1000;
        printf("DirectDraw lock and unlock of a frame: %.3f ms\n", best);
        int i = 0;
        best = FastestRun(
                   [&] {
                       dxBack->Lock(DDLOCK_WAIT);
                       BufferInfo li = ReadBufferInfo(dxBack, BIM_PIXELS);
                       li.pPixels[i * 4] = (BYTE)i;
                       ++i;
                       dxBack->Unlock();
                   },
                   20) *
               1000;
        printf("DirectDraw lock, write and unlock: %.3f ms\n", best);
        dxBack->Lock(DDLOCK_WAIT);
        dxPage->Lock(DDLOCK_WAIT);
        best = FastestRun([&] { dxBack->Blit(&full, dxPage, &full, 0); }, 20) * 1000;
        dxPage->Unlock();
        dxBack->Unlock();
        printf("DirectDraw copy of a frame: %.3f ms\n", best);
    }
    const TransitionTiling one = {1, 1, 1.0, 0, 0};
    const Case cases[] = {
        {"move kind 0", 1, 0, one, false, false},
        {"move kind 16", 1, 16, one, false, false},
        {"region 2 kind 1", 2, 1, one, false, false},
        {"region 4", 4, 1, one, false, false},
        {"region 2 spiral 8x6", 2, 0, {8, 6, 0.5, 7, 0}, false, false},
        {"mask 5 dissolve", 5, 0, one, true, false},
        {"mask 8 clock", 8, 0, one, true, false, true},
        {"mask 6 ramp", 6, 2, one, true, false, true},
        {"mask 7 ellipse", 7, 1, one, true, false, true},
        {"mask 9 fade", 9, 0, one, true, false},
        {"mask 8 spiral", 8, 1, one, true, false},
        {"mask 10 sine", 10, 1, one, true, false},
        {"mask 6 random 8x6", 6, 1, {8, 6, 0.5, 9, 0}, true, false},
        {"DirectDraw move 0", 1, 0, one, false, true},
        {"DirectDraw region 2/1", 2, 1, one, false, true},
        {"DirectDraw mask 5", 5, 0, one, true, true},
    };
    std::vector<double> firsts;
    for (const Case& c : cases) {
        IPixelBuffer* b = back;
        IPixelBuffer* f = fill;
        IPixelBuffer* pg = page;
        if (c.directDraw) {
            if (!dxBack) {
                printf("%-22s DirectDraw not available\n", c.name);
                continue;
            }
            b = dxBack;
            f = dxFill;
            pg = dxPage;
        }
        CComPtr<IEffectRender> effect;
        CreateEffectRender(&effect, nullptr);
        CComPtr<IUnknown> plugin;
        CreateTransitionPlugin(c.plugin, IID_IUnknown, (void**)&plugin);
        CComPtr<ITransitionParams> params;
        plugin->QueryInterface(__uuidof(ITransitionParams), (void**)&params);
        params->SetParam(0, c.param0);
        CComPtr<ITransitionTiling> tiling;
        if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionTiling), (void**)&tiling)))
            tiling->SetTiling(&c.tiling);
        CComPtr<ITransitionMove> move;
        CComPtr<ITransitionRegion> region;
        CComPtr<ITransitionMask> mask;
        if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionMove), (void**)&move)))
            effect->SetMove(move);
        if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionRegion), (void**)&region)))
            effect->SetRegion(region);
        if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionMask), (void**)&mask)))
            effect->SetMask(mask);
        effect->SetDuration(1000);
        CComPtr<IRenderClockClient> client;
        effect->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
        CRenderClock* clock = static_cast<CRenderClock*>(client->GetClock());
        clock->Start();
        clock->Advance(1);
        double first = Now();
        ComposeTransitionFrame(b, f, pg, effect);
        first = (Now() - first) * 1000;
        double total = 0, worst = 0;
        int frames = 0;
        for (int round = 0; round < 3; ++round) {
            for (int step = 1; step < 100; ++step) {
                clock->Stop();
                clock->Start();
                clock->Advance(step * 10);
                const double t0 = Now();
                ComposeTransitionFrame(b, f, pg, effect);
                const double t = (Now() - t0) * 1000;
                total += t;
                ++frames;
                if (round > 0 && t > worst)
                    worst = t;
            }
        }
        const double mean = total / frames;
        printf("%-22s mean %6.3f ms  worst %6.3f ms  ratio %5.2f", c.name, mean, worst,
               mean / copyMs);
        if (c.isMask)
            printf("  first frame %7.3f ms", first);
        printf("\n");
        if (c.goalFirst)
            firsts.push_back(first);
    }
    printf("first frame of mask 8 (clock) / 6 (ramp) / 7 (ellipse), %d x %d: now ", kW, kH);
    for (size_t i = 0; i < firsts.size(); ++i) printf("%s%.1f", i ? " / " : "", firsts[i]);
    printf(" ms, goal 16 ms each\n");

    // Shadow: 512 x 512 at softness 32 against softness 2.
    CComPtr<ITransitionBlend> shadow;
    CreateTransitionPlugin(13, __uuidof(ITransitionBlend), (void**)&shadow);
    CComPtr<ITransitionParams> sp;
    shadow->QueryInterface(__uuidof(ITransitionParams), (void**)&sp);
    CComPtr<IPixelBuffer> src;
    src.Attach(CreateGDIBuffer(512, 512));
    double ms[2] = {0, 0};
    const int soft[2] = {2, 32};
    for (int k = 0; k < 2; ++k) {
        sp->SetParam(2, soft[k]);
        RECT in = {0, 0, 512, 512}, out;
        shadow->GetOutputRect(&in, &out);
        CComPtr<IPixelBuffer> dst;
        dst.Attach(CreateGDIBuffer(out.right - out.left, out.bottom - out.top));
        double best = 1e9;
        for (int i = 0; i < 10; ++i) {
            const double t0 = Now();
            shadow->Render(src, dst);
            const double t = (Now() - t0) * 1000;
            if (t < best)
                best = t;
        }
        ms[k] = best;
    }
    dxBack.Release();
    dxFill.Release();
    dxPage.Release();
    if (owner.pDirectDraw)
        owner.pDirectDraw->Release();
    printf("shadow 512x512: softness 2 %.3f ms, softness 32 %.3f ms, ratio %.2f\n", ms[0], ms[1],
           ms[1] / ms[0]);
    return 0;
}
