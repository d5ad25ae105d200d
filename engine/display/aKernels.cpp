#include "aKernels.h"

#include "aKernelsImpl.h"
#include "aKernelsVector.h"

void MapStretchPoints(StretchPoint* table, int srcExtent, int destExtent) {
    // An empty source has no pixel to point at: the table stays as it is.
    if (!table || destExtent <= 0 || srcExtent <= 0)
        return;
    if (srcExtent == destExtent) {
        for (int i = 0; i < destExtent; ++i) table[i] = {i, 1024};
        return;
    }
    // Accumulated step by step, never i * step: the rounding is part of the
    // result. Destination pixel 0 takes source pixel 0 whole (no centring).
    CDoublePrecision precision;
    const double step = (double)srcExtent / (double)destExtent;
    double s = 0.0;
    for (int i = 0; i < destExtent; ++i) {
        int index = (int)s;
        int weight = (int)((1.0 - (s - index)) * 1024.0);
        // The sum can never reach the end, but a table entry past the last
        // source pixel would be read as one.
        if (index >= srcExtent - 1) {
            index = srcExtent - 1;
            weight = 1024;
        }
        table[i] = {index, weight};
        s += step;
    }
}

void BuildBlendTable(int* table, int count, int step) {
    if (!table || count <= 0)
        return;
    table[0] = 0;
    for (int i = 1; i < count; ++i) table[i] = i * step;
}

bool IsColorKeyed(int red, int green, int blue, DWORD keyLow, DWORD keyHigh) {
    return red >= (int)((keyLow >> 16) & 0xFF) && red <= (int)((keyHigh >> 16) & 0xFF) &&
           green >= (int)((keyLow >> 8) & 0xFF) && green <= (int)((keyHigh >> 8) & 0xFF) &&
           blue >= (int)(keyLow & 0xFF) && blue <= (int)(keyHigh & 0xFF);
}

bool IsColorKeyed(const DWORD* pixel, DWORD keyLow, DWORD keyHigh) {
    return pixel && KeyedPixel(*pixel, keyLow, keyHigh);
}

int BlitKernelIndex(UINT code) {
    if (code & ~0xEFu)
        return -1;  // bit 4 and anything above bit 7
    // Low four bits to variant. A stretch in one axis with a mirror goes to
    // the four-tap mirrored kernels in every family.
    static const signed char kVariant[16] = {0, 1, 2, 3, 4, 7, 8, 9, 5, 7, 8, 9, 6, 7, 8, 9};
    const int family = (int)((code >> 5) & 7);
    return family * 10 + kVariant[code & 15];
}

namespace {

template <int F, int V>
void KernelPlain(const BlitKernelArgs& a) {
    PixelRuleCtx ctx;
    ctx.Init(F, a);
    const bool vflip = VariantVFlip(V), hflip = VariantHFlip(V);
    const bool pixelAlpha = (F & FAM_PIXEL) != 0;

    if (V <= 3) {
        // Walks the destination pair; the two pairs agree without a stretch.
        const int w = a.wd < a.ws ? a.wd : a.ws, h = a.hd < a.hs ? a.hd : a.hs;
        for (int i = 0; i < h; ++i) {
            const DWORD* s = PixelRow(a.src, a.ps, i);
            DWORD* d = PixelRow(a.dst, a.pd, vflip ? h - 1 - i : i);
            if (F == 0 && !hflip) {
                memcpy(d, s, (size_t)w * 4);
                continue;
            }
            for (int j = 0; j < w; ++j) PutPixel<F>(d + (hflip ? w - 1 - j : j), s[j], ctx);
        }
        return;
    }

    if (V == 4) {  // stretch across, two taps
        StretchTable cols;
        if (!cols.Build(a.ws, a.wd))
            return;
        const int h = a.hd < a.hs ? a.hd : a.hs;
        // A one-pixel-wide source repeats its pixel; no neighbour is named.
        const bool single = a.ws == 1;
        for (int i = 0; i < h; ++i) {
            const DWORD* s = PixelRow(a.src, a.ps, i);
            DWORD* d = PixelRow(a.dst, a.pd, i);
            for (int j = 0; j < a.wd; ++j) {
                const int c = cols[j].index;
                const bool n = !single && c + 1 < a.srcSpanX;
                const DWORD p0 = s[c], p1 = n ? s[c + 1] : p0;
                if (pixelAlpha && (AlphaZero(p0) || (n && AlphaZero(p1))))
                    continue;
                PutPixel<F>(d + j, Lerp2(p0, p1, cols[j].weight), ctx);
            }
        }
        return;
    }

    if (V == 5) {  // stretch down, two taps
        StretchTable rows;
        if (!rows.Build(a.hs, a.hd))
            return;
        const int w = a.wd < a.ws ? a.wd : a.ws;
        const bool single = a.hs == 1;
        for (int i = 0; i < a.hd; ++i) {
            const int r = rows[i].index;
            const bool n = !single && r + 1 < a.srcSpanY;
            const DWORD* s0 = PixelRow(a.src, a.ps, r);
            const DWORD* s1 = n ? PixelRow(a.src, a.ps, r + 1) : s0;
            DWORD* d = PixelRow(a.dst, a.pd, i);
            for (int j = 0; j < w; ++j) {
                if (pixelAlpha && (AlphaZero(s0[j]) || (n && AlphaZero(s1[j]))))
                    continue;
                PutPixel<F>(d + j, Lerp2(s0[j], s1[j], rows[i].weight), ctx);
            }
        }
        return;
    }

    // Variants 6 to 9: four taps, the destination written in mirror order.
    StretchTable cols, rows;
    if (!cols.Build(a.ws, a.wd) || !rows.Build(a.hs, a.hd))
        return;
    for (int i = 0; i < a.hd; ++i) {
        const int r = rows[i].index, wy = rows[i].weight;
        const bool nr = r + 1 < a.srcSpanY;
        const DWORD* s0 = PixelRow(a.src, a.ps, r);
        const DWORD* s1 = nr ? PixelRow(a.src, a.ps, r + 1) : s0;
        DWORD* d = PixelRow(a.dst, a.pd, vflip ? a.hd - 1 - i : i);
        for (int j = 0; j < a.wd; ++j) {
            const int c = cols[j].index;
            const int c1 = c + 1 < a.srcSpanX ? c + 1 : c;
            const DWORD p00 = s0[c], p01 = s0[c1], p10 = s1[c], p11 = s1[c1];
            if (pixelAlpha) {
                // Every named sample counts, whatever its weight.
                bool zero = AlphaZero(p00) || (c1 != c && AlphaZero(p01));
                if (nr)
                    zero = zero || AlphaZero(p10) || (c1 != c && AlphaZero(p11));
                if (zero)
                    continue;
            }
            PutPixel<F>(d + (hflip ? a.wd - 1 - j : j),
                        Lerp4(p00, p01, p10, p11, cols[j].weight, wy), ctx);
        }
    }
}

typedef void (*KernelFn)(const BlitKernelArgs&);

template <int F>
struct FamilyKernels {
    static constexpr KernelFn fns[10] = {KernelPlain<F, 0>, KernelPlain<F, 1>, KernelPlain<F, 2>,
                                         KernelPlain<F, 3>, KernelPlain<F, 4>, KernelPlain<F, 5>,
                                         KernelPlain<F, 6>, KernelPlain<F, 7>, KernelPlain<F, 8>,
                                         KernelPlain<F, 9>};
};
const KernelFn* const kPlainFamilies[8] = {
    FamilyKernels<0>::fns, FamilyKernels<1>::fns, FamilyKernels<2>::fns, FamilyKernels<3>::fns,
    FamilyKernels<4>::fns, FamilyKernels<5>::fns, FamilyKernels<6>::fns, FamilyKernels<7>::fns};

bool CpuHasSse2() {
#if defined(__x86_64__)
    return true;
#elif defined(__i386__)
    return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
#else
    return false;
#endif
}

bool g_vectorEnabled = true;
const bool g_vectorAvailable = CpuHasSse2();

bool ArgsUsable(int kernel, const BlitKernelArgs& a) {
    return kernel >= 0 && kernel < BLIT_KERNEL_COUNT && a.src && a.dst && a.ws > 0 && a.hs > 0 &&
           a.wd > 0 && a.hd > 0 && a.srcSpanX >= a.ws && a.srcSpanY >= a.hs;
}

}  // namespace

void RunBlitKernelPlain(int kernel, const BlitKernelArgs& args) {
    if (!ArgsUsable(kernel, args))
        return;
    kPlainFamilies[kernel / 10][kernel % 10](args);
}

void RunBlitKernel(int kernel, const BlitKernelArgs& args) {
    if (!ArgsUsable(kernel, args))
        return;
    // A plain copy is a memcpy per row on either path: the vector path only
    // adds its set-up.
    if (kernel != 0 && g_vectorEnabled && g_vectorAvailable && RunBlitKernelVector(kernel, args))
        return;
    kPlainFamilies[kernel / 10][kernel % 10](args);
}

bool SetBlitKernelVector(bool enable) {
    bool old = g_vectorEnabled;
    g_vectorEnabled = enable;
    return old;
}

bool IsBlitKernelVector() {
    return g_vectorEnabled && g_vectorAvailable;
}
