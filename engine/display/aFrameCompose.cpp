#include "aFrameCompose.h"

#include <vector>

#include "aTransPlugin.h"

namespace {

HRESULT Copy(IPixelBuffer* back, IPixelBuffer* source, const RECT& rect) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return S_OK;
    return back->Blit(&rect, source, &rect, 0);
}

// Copies the fill image into the back buffer inside clip minus the region,
// rectangle by rectangle of the difference.
HRESULT CopyOutsideRegion(IPixelBuffer* back, IPixelBuffer* fill, const RECT& clip, HRGN region) {
    HRGN rest = CreateRectRgnIndirect(&clip);
    if (!rest)
        return E_OUTOFMEMORY;
    if (region)
        CombineRgn(rest, rest, region, RGN_DIFF);
    DWORD bytes = GetRegionData(rest, 0, nullptr);
    std::vector<BYTE> data(bytes ? bytes : sizeof(RGNDATAHEADER));
    HRESULT hr = S_OK;
    if (bytes && GetRegionData(rest, bytes, (RGNDATA*)data.data()) == bytes) {
        const RGNDATA* rd = (const RGNDATA*)data.data();
        const RECT* rects = (const RECT*)rd->Buffer;
        for (DWORD i = 0; i < rd->rdh.nCount && SUCCEEDED(hr); ++i) hr = Copy(back, fill, rects[i]);
    }
    DeleteObject(rest);
    return hr;
}

HRESULT Compose(IPixelBuffer* back, IPixelBuffer* fill, IPixelBuffer* page, IEffectRender* effect,
                int width, int height) {
    double p = 1.0;
    if (FAILED(effect->GetProgress(&p)))
        p = 1.0;
    CComPtr<ITransitionMove> move;
    CComPtr<ITransitionRegion> region;
    CComPtr<ITransitionMask> mask;
    effect->GetMove(&move);
    effect->GetRegion(&region);
    effect->GetMask(&mask);
    const RECT full = {0, 0, width, height};
    BufferInfo pi = {};
    pi.dwSize = sizeof(pi);
    pi.wMask = BIM_WIDTH | BIM_HEIGHT;
    HRESULT hr = page->GetBufferInfo(&pi);
    if (FAILED(hr))
        return hr;
    const RECT pageRect = {0, 0, pi.nWidth, pi.nHeight};

    if (effect->IsIdle() || p == 1.0)
        return p == 1.0 ? back->Blit(&full, page, &pageRect, 0) : Copy(back, fill, full);
    if (move) {
        int count = 0;
        const RECT* rects = nullptr;
        hr = move->GetUncoveredRects(&full, p, &count, &rects);
        for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
            RECT r;
            if (IntersectRects(&r, rects[i], full))
                hr = Copy(back, fill, r);
        }
        if (FAILED(hr))
            return hr;
    } else if (!region && !mask) {
        return Copy(back, fill, full);
    }
    RECT target = full;
    if (move && FAILED(move->MoveRect(&full, p, &target)))
        target = full;
    const bool any = target.right > target.left && target.bottom > target.top;
    BYTE* bytes = nullptr;
    if (mask && any) {
        hr = mask->BuildTiledMask(&bytes, p, &target, &full);
        if (FAILED(hr))
            return hr;
    }
    // A page of the back buffer's size under a standard mask: page and fill
    // blend straight into the back buffer, without the page's copy first.
    bool composed = false;
    BufferInfo fi = {};
    fi.dwSize = sizeof(fi);
    fi.wMask = BIM_WIDTH | BIM_HEIGHT;
    if (bytes && !move && EqualRect(&pageRect, &full) && SUCCEEDED(fill->GetBufferInfo(&fi)) &&
        fi.nWidth >= width && fi.nHeight >= height) {
        CComPtr<ITransitionMaskCompose> direct;
        if (SUCCEEDED(mask->QueryInterface(__uuidof(ITransitionMaskCompose), (void**)&direct)))
            composed = direct->ComposeFrom(back, page, fill, bytes, p, &target, &full) == S_OK;
    }
    if (!composed && any) {
        hr = back->Blit(&target, page, &pageRect, 0);
        if (SUCCEEDED(hr) && bytes)
            hr = mask->ApplyTiledMask(back, fill, bytes, p, &target, &full);
    }
    FreeTransitionMask(bytes);
    if (FAILED(hr))
        return hr;
    if (region) {
        HRGN rgn = nullptr;
        hr = region->BuildTiledRegion(&rgn, p, &target, &full);
        if (SUCCEEDED(hr)) {
            RECT clip;
            if (IntersectRects(&clip, target, full))
                hr = CopyOutsideRegion(back, fill, clip, rgn);
        }
        if (rgn)
            DeleteObject(rgn);
    }
    return hr;
}

}  // namespace

HRESULT ComposeTransitionFrame(IPixelBuffer* back, IPixelBuffer* fill, IPixelBuffer* page,
                               IEffectRender* effect) {
    if (!back || !fill || !page || !effect)
        return E_POINTER;
    BufferInfo bi = {};
    bi.dwSize = sizeof(bi);
    bi.wMask = BIM_WIDTH | BIM_HEIGHT | BIM_OFFSET;
    HRESULT hr = back->GetBufferInfo(&bi);
    if (FAILED(hr))
        return hr;
    back->SetOrigin(0, 0);
    fill->SetOrigin(0, 0);
    page->SetOrigin(0, 0);
    // One lock of each surface for the whole frame: the blits and the
    // mask inside nest their own locks in it instead of each taking one.
    IPixelBuffer* held[3] = {back, fill, page};
    bool locked[3] = {false, false, false};
    for (int i = 0; i < 3; ++i) locked[i] = SUCCEEDED(ScopedUseBegin(held[i], DDLOCK_WAIT));
    hr = Compose(back, fill, page, effect, bi.nWidth, bi.nHeight);
    for (int i = 2; i >= 0; --i)
        if (locked[i])
            ScopedUseEnd(held[i]);
    // The back buffer's origin for all three again.
    const int ox = -bi.nOffsetX, oy = -bi.nOffsetY;
    back->SetOrigin(ox, oy);
    fill->SetOrigin(ox, oy);
    page->SetOrigin(ox, oy);
    bi.wMask = BIM_ALL;
    back->GetBufferInfo(&bi);
    return hr;
}
