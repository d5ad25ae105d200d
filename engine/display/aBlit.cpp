#include "aBlit.h"

#include <string.h>

#include "bTraceLog.h"

namespace {

// Sizes and coordinates are taken as 64-bit numbers until the clip has
// brought them inside a buffer: extreme rectangles and offsets must not wrap.
struct Span {
    long long lo, hi;
    long long Size() const { return hi - lo; }
};

long long TruncCut(double v) {
    if (!(v < 4e18))
        return 4000000000000000000LL;  // also NaN: cut everything
    return v <= 0.0 ? 0 : (long long)v;
}

// One axis of the clip: destination low and high end against 0..dLimit,
// then source against 0..sLimit. k is destination pixels per source pixel,
// from the sizes before clipping; each cut is truncated toward zero.
bool ClipAxis(Span& d, Span& s, long long dLimit, long long sLimit, bool flip) {
    const double k = (double)d.Size() / (double)s.Size();
    if (d.lo < 0) {
        const long long cut = TruncCut((double)(-d.lo) / k);
        d.lo = 0;
        if (flip)
            s.hi -= cut;
        else
            s.lo += cut;
        if (d.Size() <= 0 || s.Size() <= 0)
            return false;
    }
    if (d.hi > dLimit) {
        const long long cut = TruncCut((double)(d.hi - dLimit) / k);
        d.hi = dLimit;
        if (flip)
            s.lo += cut;
        else
            s.hi -= cut;
        if (d.Size() <= 0 || s.Size() <= 0)
            return false;
    }
    if (s.lo < 0) {
        const long long cut = TruncCut((double)(-s.lo) * k);
        s.lo = 0;
        if (flip)
            d.hi -= cut;
        else
            d.lo += cut;
        if (d.Size() <= 0 || s.Size() <= 0)
            return false;
    }
    if (s.hi > sLimit) {
        const long long cut = TruncCut((double)(s.hi - sLimit) * k);
        s.hi = sLimit;
        if (flip)
            d.lo += cut;
        else
            d.hi -= cut;
    }
    return d.Size() > 0 && s.Size() > 0;
}

bool ClipSpans(Span& dx, Span& dy, Span& sx, Span& sy, int dstWidth, int dstHeight, int srcWidth,
               int srcHeight, bool hflip, bool vflip) {
    CDoublePrecision precision;
    if (dx.Size() <= 0 || dy.Size() <= 0 || sx.Size() <= 0 || sy.Size() <= 0)
        return false;
    return ClipAxis(dx, sx, dstWidth, srcWidth, hflip) &&
           ClipAxis(dy, sy, dstHeight, srcHeight, vflip);
}

// Orders a span low to high; true when it had to be swapped.
bool Normalise(long long a, long long b, Span* span) {
    if (b < a) {
        *span = {b, a};
        return true;
    }
    *span = {a, b};
    return false;
}

}  // namespace

bool ClipBlitRects(RECT* dst, RECT* src, int dstWidth, int dstHeight, int srcWidth, int srcHeight,
                   bool hflip, bool vflip) {
    if (!dst || !src)
        return false;
    Span dx = {dst->left, dst->right}, dy = {dst->top, dst->bottom};
    Span sx = {src->left, src->right}, sy = {src->top, src->bottom};
    if (!ClipSpans(dx, dy, sx, sy, dstWidth, dstHeight, srcWidth, srcHeight, hflip, vflip))
        return false;
    SetRect(dst, (int)dx.lo, (int)dy.lo, (int)dx.hi, (int)dy.hi);
    SetRect(src, (int)sx.lo, (int)sy.lo, (int)sx.hi, (int)sy.hi);
    return true;
}

HRESULT PlanBlit(const RECT* dest, IPixelBuffer* source, const RECT* src, int width, int height,
                 int offsetX, int offsetY, BlitPlan* plan) {
    if (!plan)
        return E_POINTER;
    memset(plan, 0, sizeof(*plan));
    plan->kernel = -1;
    if (!dest || !source || !src)
        return E_POINTER;

    // An empty destination draws nothing: mirrors come from the source.
    if (dest->right <= dest->left || dest->bottom <= dest->top)
        return S_OK;

    bool hflip = false, vflip = false;
    Span sx, sy, dx, dy;
    if (Normalise(src->top, src->bottom, &sy))
        vflip = !vflip;
    if (Normalise(src->left, src->right, &sx))
        hflip = !hflip;
    if (Normalise(dest->top, dest->bottom, &dy))
        vflip = !vflip;
    if (Normalise(dest->left, dest->right, &dx))
        hflip = !hflip;
    if (sx.Size() == 0 || sy.Size() == 0)
        return S_OK;

    BufferInfo& info = plan->source;
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    HRESULT hr = source->GetBufferInfo(&info);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Blit: GetBufferInfo of the source failed");
        return hr;
    }
    const DWORD flags = (DWORD)info.wMask | ((DWORD)info.wReserved << 16);
    if (info.nWidth < 0 || info.nHeight < 0 || (long long)info.nPitch < 4LL * info.nWidth) {
        LOG_MSG("Blit: source buffer %d x %d with pitch %d", (int)info.nWidth, (int)info.nHeight,
                (int)info.nPitch);
        return E_FAIL;
    }

    UINT code = 0;
    if (flags & BUFFLAG_COLORKEY) {
        code |= BLIT_COLORKEY;
        plan->keyLow = info.dwKeyLow;
        plan->keyHigh = info.dwKeyHigh;
    }
    if (flags & BUFFLAG_CONSTALPHA) {
        if (info.bConstAlpha == 0)
            return S_OK;
        if (info.bConstAlpha != 255) {
            code |= BLIT_CONSTALPHA;
            plan->alpha = info.bConstAlpha;
        }
    }
    if (vflip)
        code |= BLIT_VFLIP;
    if (hflip)
        code |= BLIT_HFLIP;
    if (sx.Size() != dx.Size())
        code |= BLIT_STRETCHX;
    if (sy.Size() != dy.Size())
        code |= BLIT_STRETCHY;
    if (flags & BUFFLAG_PIXELALPHA)
        code |= BLIT_PIXELALPHA;
    plan->code = code;

    sx.lo += info.nOffsetX;
    sx.hi += info.nOffsetX;
    sy.lo += info.nOffsetY;
    sy.hi += info.nOffsetY;
    dx.lo += offsetX;
    dx.hi += offsetX;
    dy.lo += offsetY;
    dy.hi += offsetY;

    if (!ClipSpans(dx, dy, sx, sy, width, height, info.nWidth, info.nHeight, hflip, vflip))
        return S_OK;

    const int kernel = BlitKernelIndex(code);
    if (kernel < 0)
        return E_FAIL;
    SetRect(&plan->src, (int)sx.lo, (int)sy.lo, (int)sx.hi, (int)sy.hi);
    SetRect(&plan->dst, (int)dx.lo, (int)dy.lo, (int)dx.hi, (int)dy.hi);
    plan->kernel = kernel;
    return S_OK;
}

void MakeBlitWork(const BlitPlan& plan, BlitWork* work) {
    if (!work)
        return;
    work->srcLeft = plan.src.left;
    work->srcRight = plan.src.right;
    work->srcTop = plan.src.top;
    work->srcBottom = plan.src.bottom;
    work->srcWidth = plan.src.right - plan.src.left;
    work->srcHeight = plan.src.bottom - plan.src.top;
    work->srcPitch = plan.source.nPitch;
    work->dstLeft = plan.dst.left;
    work->dstRight = plan.dst.right;
    work->dstTop = plan.dst.top;
    work->dstBottom = plan.dst.bottom;
    work->dstWidth = plan.dst.right - plan.dst.left;
    work->dstHeight = plan.dst.bottom - plan.dst.top;
}

void MakeKernelArgs(const BlitPlan& plan, BYTE* dstPixels, int dstPitch, BlitKernelArgs* args) {
    if (!args)
        return;
    memset(args, 0, sizeof(*args));
    const BufferInfo& s = plan.source;
    args->src = s.pPixels
                    ? s.pPixels + (ptrdiff_t)plan.src.top * s.nPitch + 4 * (ptrdiff_t)plan.src.left
                    : nullptr;
    args->dst = dstPixels
                    ? dstPixels + (ptrdiff_t)plan.dst.top * dstPitch + 4 * (ptrdiff_t)plan.dst.left
                    : nullptr;
    args->ws = plan.src.right - plan.src.left;
    args->hs = plan.src.bottom - plan.src.top;
    args->wd = plan.dst.right - plan.dst.left;
    args->hd = plan.dst.bottom - plan.dst.top;
    args->ps = s.nPitch;
    args->pd = dstPitch;
    args->srcSpanX = s.nWidth - plan.src.left;
    args->srcSpanY = s.nHeight - plan.src.top;
    args->keyLow = plan.keyLow;
    args->keyHigh = plan.keyHigh;
    args->alpha = plan.alpha;
}
