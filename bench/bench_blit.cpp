// Blit speed against references measured in the same run: memcpy of the
// same bytes for copies, pixman (SRC, OVER, bilinear scaling) for the rest.
// Each line gives megapixels per second for the blit (vector path and plain
// path), for the reference, and the time ratio blit / reference: below 1 the
// blit is faster.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <random>
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

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)freq.QuadPart;
}

// Megapixels per second of the best of five runs of about 0.15 s each.
template <class F>
double Measure(F&& op, double pixelsPerCall) {
    op();  // warm up
    int calls = 1;
    for (;;) {
        const double t0 = Now();
        for (int i = 0; i < calls; ++i) op();
        if (Now() - t0 > 0.03 || calls > (1 << 24)) break;
        calls *= 2;
    }
    calls = calls * 5 + 1;
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        const double t0 = Now();
        for (int i = 0; i < calls; ++i) op();
        const double t = (Now() - t0) / calls;
        if (t < best) best = t;
    }
    return pixelsPerCall / best / 1e6;
}

struct Buffer {
    CComPtr<IPixelBuffer> p;
    BufferInfo info;
    explicit Buffer(int w, int h) {
        p.Attach(CreateGDIBuffer(w, h));
        memset(&info, 0, sizeof(info));
        info.dwSize = sizeof(info);
        info.wMask = BIM_ALL;
        if (p) p->GetBufferInfo(&info);
    }
    DWORD* Row(int y) const { return reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch); }
};

void Randomise(const Buffer& b, uint32_t seed) {
    std::mt19937 gen(seed);
    for (int y = 0; y < b.info.nHeight; ++y)
        for (int x = 0; x < b.info.nWidth; ++x) b.Row(y)[x] = gen();
}

#if HAVE_PIXMAN
pixman_image_t* Wrap(const Buffer& b, pixman_format_code_t format) {
    return pixman_image_create_bits(format, b.info.nWidth, b.info.nHeight, reinterpret_cast<uint32_t*>(b.info.pPixels),
                                    b.info.nPitch);
}
#endif

void Line(const char* name, double vec, double plain, const char* refName, double ref) {
    printf("%-40s %9.1f %9.1f  %-30s %9.1f   %5.2f\n", name, vec, plain, refName, ref, ref > 0 ? ref / vec : 0.0);
}

// Runs op on the vector path and on the plain path.
template <class F>
void Ours(F&& op, double pixels, double* vec, double* plain) {
    SetBlitKernelVector(true);
    *vec = Measure(op, pixels);
    SetBlitKernelVector(false);
    *plain = Measure(op, pixels);
    SetBlitKernelVector(true);
}

}  // namespace

int main() {
    const int W = 1920, H = 1080, S = 64;
    Buffer src(W, H), dst(W, H), scaled(1024, 768);
    if (!src.p || !dst.p || !scaled.p) {
        printf("cannot make the buffers\n");
        return 1;
    }
    Randomise(src, 1);
    Randomise(dst, 2);
    Randomise(scaled, 3);

    printf("blit kernels: %s path available\n", IsBlitKernelVector() ? "SSE2" : "plain");
    printf("%-40s %9s %9s  %-30s %9s   %5s\n", "case", "MP/s", "plain", "reference", "MP/s", "ratio");

    const RECT full = {0, 0, W, H}, small = {64, 64, 64 + S, 64 + S};
    const double fullPx = (double)W * H, smallPx = (double)S * S;
    double vec, plain;

#if HAVE_PIXMAN
    pixman_image_t* pSrcX = Wrap(src, PIXMAN_x8r8g8b8);
    pixman_image_t* pSrcA = Wrap(src, PIXMAN_a8r8g8b8);
    pixman_image_t* pDst = Wrap(dst, PIXMAN_a8r8g8b8);
    pixman_image_t* pScaled = Wrap(scaled, PIXMAN_x8r8g8b8);
    pixman_color_t half = {0x8080, 0x8080, 0x8080, 0x8080};
    pixman_image_t* pMask = pixman_image_create_solid_fill(&half);
    auto composite = [&](pixman_op_t op, pixman_image_t* s, pixman_image_t* m, const RECT& r) {
        pixman_image_composite32(op, s, m, pDst, r.left, r.top, 0, 0, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top);
    };
#endif

    // Copies: code 0.
    for (const RECT* r : {&full, &small}) {
        const bool isFull = r == &full;
        const double px = isFull ? fullPx : smallPx;
        Ours([&] { dst.p->Blit(r, src.p, r, 0); }, px, &vec, &plain);
        const double mem = Measure(
            [&] {
                if (isFull) {
                    memcpy(dst.info.pPixels, src.info.pPixels, (size_t)W * H * 4);
                    return;
                }
                for (int y = r->top; y < r->bottom; ++y)
                    memcpy(dst.Row(y) + r->left, src.Row(y) + r->left, (size_t)(r->right - r->left) * 4);
            },
            px);
        Line(isFull ? "copy 1920x1080 (code 0)" : "copy 64x64 (code 0)", vec, plain, "memcpy", mem);
#if HAVE_PIXMAN
        const double ref = Measure([&] { composite(PIXMAN_OP_SRC, pSrcX, nullptr, *r); }, px);
        Line("", vec, plain, "pixman SRC", ref);
#endif
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
        const double px = isFull ? fullPx : smallPx;
        Ours([&] { dst.p->Blit(r, src.p, r, 0); }, px, &vec, &plain);
#if HAVE_PIXMAN
        const double masked = Measure([&] { composite(PIXMAN_OP_OVER, pSrcX, pMask, *r); }, px);
        const double over = Measure([&] { composite(PIXMAN_OP_OVER, pSrcA, nullptr, *r); }, px);
        Line(isFull ? "constant alpha 128 1920x1080 (code 64)" : "constant alpha 128 64x64 (code 64)", vec, plain,
             "pixman OVER, solid mask 128", masked);
        Line("", vec, plain, "pixman OVER a8r8g8b8", over);
#else
        Line(isFull ? "constant alpha 128 1920x1080 (code 64)" : "constant alpha 128 64x64 (code 64)", vec, plain,
             "(no pixman)", 0);
#endif
    }
    src.p->EnableConstAlpha(FALSE);

    // Per-pixel alpha, random alpha values: code 128.
    src.p->EnablePixelAlpha(TRUE);
    for (const RECT* r : {&full, &small}) {
        const bool isFull = r == &full;
        const double px = isFull ? fullPx : smallPx;
        Ours([&] { dst.p->Blit(r, src.p, r, 0); }, px, &vec, &plain);
#if HAVE_PIXMAN
        const double over = Measure([&] { composite(PIXMAN_OP_OVER, pSrcA, nullptr, *r); }, px);
        Line(isFull ? "pixel alpha 1920x1080 (code 128)" : "pixel alpha 64x64 (code 128)", vec, plain,
             "pixman OVER a8r8g8b8", over);
#else
        Line(isFull ? "pixel alpha 1920x1080 (code 128)" : "pixel alpha 64x64 (code 128)", vec, plain, "(no pixman)",
             0);
#endif
    }
    src.p->EnablePixelAlpha(FALSE);

    // Bilinear stretch: code 12.
    struct Stretch {
        const char* name;
        RECT from, to;
        const Buffer* source;
    } stretches[] = {
        {"bilinear 1024x768->1920x1080 (code 12)", {0, 0, 1024, 768}, {0, 0, W, H}, &scaled},
        {"bilinear 34x24->64x64 (code 12)", {0, 0, 34, 24}, {64, 64, 64 + S, 64 + S}, &scaled},
    };
    for (const Stretch& st : stretches) {
        const int dw = st.to.right - st.to.left, dh = st.to.bottom - st.to.top;
        const int sw = st.from.right - st.from.left, sh = st.from.bottom - st.from.top;
        Ours([&] { dst.p->Blit(&st.to, st.source->p, &st.from, 0); }, (double)dw * dh, &vec, &plain);
#if HAVE_PIXMAN
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed((double)sw / dw), pixman_double_to_fixed((double)sh / dh));
        pixman_image_set_transform(pScaled, &t);
        pixman_image_set_filter(pScaled, PIXMAN_FILTER_BILINEAR, nullptr, 0);
        pixman_image_set_repeat(pScaled, PIXMAN_REPEAT_PAD);
        const double ref = Measure(
            [&] {
                pixman_image_composite32(PIXMAN_OP_SRC, pScaled, nullptr, pDst, 0, 0, 0, 0, st.to.left, st.to.top, dw,
                                         dh);
            },
            (double)dw * dh);
        pixman_image_set_transform(pScaled, nullptr);
        Line(st.name, vec, plain, "pixman bilinear SRC", ref);
#else
        Line(st.name, vec, plain, "(no pixman)", 0);
#endif
    }

#if HAVE_PIXMAN
    for (pixman_image_t* i : {pSrcX, pSrcA, pDst, pScaled, pMask}) pixman_image_unref(i);
#endif
    printf("ratio = blit time / reference time (below 1: the blit is faster)\n");
    return 0;
}
