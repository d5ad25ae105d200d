// Blit speed against references measured in the same run: memcpy of the
// same bytes for copies, pixman (SRC, OVER, bilinear scaling) for the rest.
// Each line gives megapixels per second for the blit (vector path and plain
// path), for the reference, and the time ratio blit / reference: below 1 the
// blit is faster.
#include "BenchClock.h"
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "aGDIBuf.h"
#include "aKernels.h"

#if __has_include(<pixman.h>)
#include <pixman.h>
#define HAVE_PIXMAN 1
#else
#define HAVE_PIXMAN 0
#endif

namespace {

// Calls per timed run so that one run takes about kRunSeconds. Short runs,
// many of them: on a busy machine the best run is then one that nothing
// interrupted.
const double kRunSeconds = 0.004;
const int kRounds = 40;

template <class F>
int CallsPerRun(F& op) {
    op();  // warm up
    int calls = 1;
    for (;;) {
        const double t0 = Now();
        for (int i = 0; i < calls; ++i) op();
        const double t = Now() - t0;
        if (t > kRunSeconds || calls > (1 << 24))
            return calls;
        calls = t > kRunSeconds / 10 ? (int)(calls * kRunSeconds / t) + 1 : calls * 4;
    }
}

template <class F>
double TimeRun(F& op, int calls) {
    const double t0 = Now();
    for (int i = 0; i < calls; ++i) op();
    return (Now() - t0) / calls;
}

// Megapixels per second of the fastest run of each of a set of operations.
// The runs alternate, so that a busy machine slows all of them alike.
std::vector<double> Measure(std::vector<std::function<void()>> ops, double pixelsPerCall) {
    std::vector<int> calls;
    for (auto& op : ops) calls.push_back(CallsPerRun(op));
    std::vector<double> best(ops.size(), 1e30);
    for (int round = 0; round < kRounds; ++round)
        for (size_t i = 0; i < ops.size(); ++i) {
            const double t = TimeRun(ops[i], calls[i]);
            if (t < best[i])
                best[i] = t;
        }
    for (double& b : best) b = pixelsPerCall / b / 1e6;
    return best;
}

struct Buffer {
    CComPtr<IPixelBuffer> p;
    BufferInfo info;
    explicit Buffer(int w, int h) {
        p.Attach(CreateGDIBuffer(w, h));
        info = p ? ReadBufferInfo(p) : BufferInfo{};
    }
    DWORD* Row(int y) const {
        return reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch);
    }
};

void Randomise(const Buffer& b, uint32_t seed) {
    std::mt19937 gen(seed);
    for (int y = 0; y < b.info.nHeight; ++y)
        for (int x = 0; x < b.info.nWidth; ++x) b.Row(y)[x] = gen();
}

#if HAVE_PIXMAN
pixman_image_t* Wrap(const Buffer& b, pixman_format_code_t format) {
    return pixman_image_create_bits(format, b.info.nWidth, b.info.nHeight,
                                    reinterpret_cast<uint32_t*>(b.info.pPixels), b.info.nPitch);
}
#endif

void Header() {
    printf("%-44s %9s %9s %9s  %-30s %9s  %6s\n", "case", "MP/s", "plain", "SSE2", "reference",
           "MP/s", "ratio");
}

// Cases where the path chosen at run time came out slower than another.
std::vector<std::string> g_slowerChoice;

// One case: the blit on the vector and the plain path against references.
void Case(const char* name, const std::function<void()>& blit, double pixels,
          std::vector<std::pair<const char*, std::function<void()>>> refs) {
    std::vector<std::function<void()>> ops = {[&] {
                                                  SetBlitKernelVector(true);
                                                  blit();
                                              },
                                              [&] {
                                                  SetBlitKernelVector(false);
                                                  blit();
                                              },
                                              [&] {
                                                  SetBlitKernelVector(true);
                                                  SetBlitKernelAvx2(false);
                                                  blit();
                                                  SetBlitKernelAvx2(true);
                                              }};
    for (auto& r : refs) ops.push_back(r.second);
    const std::vector<double> mps = Measure(ops, pixels);
    SetBlitKernelVector(true);
    // Ten percent for the noise of a shared machine: the columns of a case
    // that runs the same code on two paths differ by that much at times.
    if (mps[0] < 0.9 * std::max(mps[1], mps[2]))
        g_slowerChoice.push_back(name);
    if (refs.empty())
        printf("%-44s %9.1f %9.1f %9.1f\n", name, mps[0], mps[1], mps[2]);
    for (size_t i = 0; i < refs.size(); ++i)
        printf("%-44s %9.1f %9.1f %9.1f  %-30s %9.1f  %6.2f\n", i == 0 ? name : "", mps[0], mps[1],
               mps[2], refs[i].first, mps[3 + i], mps[3 + i] / mps[0]);
}

// Cut-out picture alpha: opaque discs with a soft edge on a clear ground.
void SpriteAlpha(const Buffer& b) {
    for (int y = 0; y < b.info.nHeight; ++y)
        for (int x = 0; x < b.info.nWidth; ++x) {
            const int dx = x % 64 - 32, dy = y % 64 - 32;
            const int r2 = dx * dx + dy * dy;
            const DWORD a = r2 < 22 * 22   ? 255
                            : r2 > 27 * 27 ? 0
                                           : (DWORD)(255 * (27 * 27 - r2) / (27 * 27 - 22 * 22));
            b.Row(y)[x] = (b.Row(y)[x] & 0x00FFFFFF) | (a << 24);
        }
}

}  // namespace

int main() {
    const int W = 1920, H = 1080, S = 64;
    Buffer src(W, H), sprite(W, H), dst(W, H), scaled(1024, 768);
    if (!src.p || !sprite.p || !dst.p || !scaled.p) {
        printf("cannot make the buffers\n");
        return 1;
    }
    Randomise(src, 1);
    Randomise(sprite, 4);
    SpriteAlpha(sprite);
    Randomise(dst, 2);
    Randomise(scaled, 3);

    printf("blit kernels: %s path available\n", IsBlitKernelAvx2()     ? "SSE2 with AVX2"
                                                : IsBlitKernelVector() ? "SSE2"
                                                                       : "plain");
    printf("pixman: %s\n", HAVE_PIXMAN ? "linked" : "not found, no pixman references");
    Header();

    const RECT full = {0, 0, W, H}, small = {64, 64, 64 + S, 64 + S};
    const double fullPx = (double)W * H, smallPx = (double)S * S;
    std::vector<std::pair<const char*, std::function<void()>>> refs;

#if HAVE_PIXMAN
    pixman_image_t* pSrcX = Wrap(src, PIXMAN_x8r8g8b8);
    pixman_image_t* pSrcA = Wrap(src, PIXMAN_a8r8g8b8);
    pixman_image_t* pSprite = Wrap(sprite, PIXMAN_a8r8g8b8);
    pixman_image_t* pDst = Wrap(dst, PIXMAN_a8r8g8b8);
    pixman_image_t* pScaled = Wrap(scaled, PIXMAN_x8r8g8b8);
    pixman_color_t half = {0x8080, 0x8080, 0x8080, 0x8080};
    pixman_image_t* pMask = pixman_image_create_solid_fill(&half);
    auto composite = [&](pixman_op_t op, pixman_image_t* s, pixman_image_t* m, const RECT& r) {
        pixman_image_composite32(op, s, m, pDst, r.left, r.top, 0, 0, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top);
    };
#endif

    // Copies: code 0.
    for (const RECT* r : {&full, &small}) {
        const bool isFull = r == &full;
        refs.clear();
        refs.push_back({"memcpy", [&] {
                            if (isFull) {
                                memcpy(dst.info.pPixels, src.info.pPixels, (size_t)W * H * 4);
                                return;
                            }
                            for (int y = r->top; y < r->bottom; ++y)
                                memcpy(dst.Row(y) + r->left, src.Row(y) + r->left,
                                       (size_t)(r->right - r->left) * 4);
                        }});
#if HAVE_PIXMAN
        refs.push_back({"pixman SRC", [&] { composite(PIXMAN_OP_SRC, pSrcX, nullptr, *r); }});
#endif
        Case(
            isFull ? "copy 1920x1080 (code 0)" : "copy 64x64 (code 0)",
            [&] { dst.p->Blit(r, src.p, r, 0); }, isFull ? fullPx : smallPx, refs);
    }

    // Constant alpha 128: code 64.
    src.p->EnableConstAlpha(TRUE);
    {
        BufferInfo alpha = {};
        alpha.dwSize = sizeof(alpha);
        alpha.wMask = BIM_CONSTALPHA;
        alpha.bConstAlpha = 128;
        src.p->SetBufferInfo(&alpha);
    }
    for (const RECT* r : {&full, &small}) {
        const bool isFull = r == &full;
        refs.clear();
#if HAVE_PIXMAN
        refs.push_back(
            {"pixman OVER, solid mask 128", [&] { composite(PIXMAN_OP_OVER, pSrcX, pMask, *r); }});
        refs.push_back(
            {"pixman OVER a8r8g8b8", [&] { composite(PIXMAN_OP_OVER, pSrcA, nullptr, *r); }});
#endif
        Case(
            isFull ? "constant alpha 128 1920x1080 (code 64)"
                   : "constant alpha 128 64x64 (code 64)",
            [&] { dst.p->Blit(r, src.p, r, 0); }, isFull ? fullPx : smallPx, refs);
    }
    src.p->EnableConstAlpha(FALSE);

    // Per-pixel alpha: code 128; random alpha values, then a cut-out picture.
    src.p->EnablePixelAlpha(TRUE);
    sprite.p->EnablePixelAlpha(TRUE);
    struct Alpha {
        const char* name;
        const Buffer* source;
        const RECT* rect;
    } alphas[] = {
        {"pixel alpha random 1920x1080 (code 128)", &src, &full},
        {"pixel alpha random 64x64 (code 128)", &src, &small},
        {"pixel alpha cut-out 1920x1080 (code 128)", &sprite, &full},
        {"pixel alpha cut-out 64x64 (code 128)", &sprite, &small},
    };
    for (const Alpha& a : alphas) {
        refs.clear();
#if HAVE_PIXMAN
        pixman_image_t* image = a.source == &src ? pSrcA : pSprite;
        refs.push_back(
            {"pixman OVER a8r8g8b8", [&] { composite(PIXMAN_OP_OVER, image, nullptr, *a.rect); }});
#endif
        Case(
            a.name, [&] { dst.p->Blit(a.rect, a.source->p, a.rect, 0); },
            a.rect == &full ? fullPx : smallPx, refs);
    }
    src.p->EnablePixelAlpha(FALSE);

    // Bilinear stretch: code 12, and one axis only: codes 4 and 8.
    struct Stretch {
        const char* name;
        RECT from, to;
    } stretches[] = {
        {"bilinear 1024x768->1920x1080 (code 12)", {0, 0, 1024, 768}, {0, 0, W, H}},
        {"bilinear 34x24->64x64 (code 12)", {0, 0, 34, 24}, {64, 64, 64 + S, 64 + S}},
        {"bilinear across 1024x768->1920x768 (code 4)", {0, 0, 1024, 768}, {0, 0, W, 768}},
        {"bilinear down 1024x768->1024x1080 (code 8)", {0, 0, 1024, 768}, {0, 0, 1024, H}},
    };
    for (const Stretch& st : stretches) {
        const int dw = st.to.right - st.to.left, dh = st.to.bottom - st.to.top;
        const int sw = st.from.right - st.from.left, sh = st.from.bottom - st.from.top;
        refs.clear();
#if HAVE_PIXMAN
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed((double)sw / dw),
                                    pixman_double_to_fixed((double)sh / dh));
        pixman_image_set_transform(pScaled, &t);
        pixman_image_set_filter(pScaled, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(pScaled, PIXMAN_REPEAT_PAD);
        refs.push_back({"pixman bilinear SRC", [&] {
                            pixman_image_composite32(PIXMAN_OP_SRC, pScaled, nullptr, pDst, 0, 0, 0,
                                                     0, st.to.left, st.to.top, dw, dh);
                        }});
#endif
        Case(
            st.name, [&] { dst.p->Blit(&st.to, scaled.p, &st.from, 0); }, (double)dw * dh, refs);
#if HAVE_PIXMAN
        pixman_image_set_transform(pScaled, nullptr);
#endif
    }

#if HAVE_PIXMAN
    for (pixman_image_t* i : {pSrcX, pSrcA, pSprite, pDst, pScaled, pMask}) pixman_image_unref(i);
#endif
    printf(
        "MP/s: megapixels per second, the best of %d alternating runs; plain: the blit without "
        "SSE2;\n"
        "SSE2: the vector path without its AVX2 code\n",
        kRounds);
    printf("ratio = blit time / reference time (below 1: the blit is faster)\n");
    if (g_slowerChoice.empty())
        printf("run-time path: the fastest of the three in every case\n");
    for (const std::string& name : g_slowerChoice)
        printf("run-time path slower than the plain or SSE2 path: %s\n", name.c_str());
    return 0;
}
