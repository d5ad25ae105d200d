// DirectDraw pixel buffers on a real DirectDraw object, with owner records
// whose capabilities the tests set (zero: every blit in software).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "DirectDrawFixture.h"
#include "PixelTestUtil.h"
#include "aDXBuf.h"
#include "aFrameCompose.h"
#include "aTransPlugin.h"

using namespace pixtest;

namespace {

class DirectDraw : public DirectDrawFixture {
protected:
    template <class T>
    CComPtr<IPixelBuffer> New(int w, int h, DXOwner* o = nullptr) {
        CComPtr<IPixelBuffer> b;
        EXPECT_EQ(ComCreateInstance<T>(__uuidof(IPixelBuffer), (void**)&b), S_OK);
        b->SetOwner(o ? o : &owner);
        EXPECT_EQ(b->Create(w, h), S_OK);
        return b;
    }
    static void Write(IPixelBuffer* b, int w, int h, const std::vector<DWORD>& px) {
        ASSERT_EQ(b->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY), S_OK);
        BufferInfo info = Info(b, BIM_GEOMETRY);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ((DWORD*)(info.pPixels + (size_t)y * info.nPitch))[x] = px[(size_t)y * w + x];
        b->Unlock();
    }
};

TEST_F(DirectDraw, CreateSizesAndAlignment) {
    CComPtr<IPixelBuffer> plain;
    ASSERT_EQ(ComCreateInstance<CDXBuffer>(__uuidof(IPixelBuffer), (void**)&plain), S_OK);
    EXPECT_EQ(plain->Create(4, 4), E_UNEXPECTED);  // no owner yet
    plain->SetOwner(&owner);
    EXPECT_EQ(plain->Create(0, 10), E_INVALIDARG);
    EXPECT_EQ(plain->HasSurface(), 0);
    CComPtr<IPixelBuffer> back = New<CDXBackBuffer>(0, 10);
    BufferInfo info = Info(back, BIM_WIDTH | BIM_HEIGHT);
    EXPECT_EQ(info.nWidth, 1);
    EXPECT_EQ(info.nHeight, 10);
    // Alignment 8 with caps 0x4: 13 becomes 16, and the surface has them.
    DXOwner aligned = owner;
    aligned.caps.dwCaps = 0x4;
    aligned.caps.dwAlignSizeDest = 8;
    CComPtr<IPixelBuffer> b = New<CDXBuffer>(13, 3, &aligned);
    info = Info(b, BIM_WIDTH | BIM_PITCH);
    EXPECT_EQ(info.nWidth, 16);
    EXPECT_GE(info.nPitch, 64);
    // The pixel pointer exists only under a lock.
    info = Info(b, BIM_PIXELS);
    EXPECT_EQ(info.pPixels, nullptr);
    EXPECT_EQ(b->GetBufferInfo(&info), S_OK);
    ASSERT_EQ(b->Lock(DDLOCK_WAIT), S_OK);
    EXPECT_NE(Info(b, BIM_PIXELS).pPixels, nullptr);
    b->Unlock();
    EXPECT_EQ(CreateDXBuffer(&owner, 0, 5), nullptr);
    CComPtr<IPixelBuffer> huge;
    huge.Attach(CreateDXBuffer(&owner, 0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_EQ(huge, nullptr);
}

TEST_F(DirectDraw, FillRectTakesThePixelValue) {
    CComPtr<IPixelBuffer> b = New<CDXBuffer>(5, 4);
    ASSERT_EQ(b->FillRect(nullptr, 0x00FF0000), DD_OK);
    for (DWORD p : Read(b, 5, 4)) ASSERT_EQ(p & 0xFFFFFF, 0xFF0000u);
}

TEST_F(DirectDraw, StretchInSoftwareAndWithWinesCapabilities) {
    CComPtr<IPixelBuffer> src = New<CDXBuffer>(2, 1), dst = New<CDXBuffer>(4, 1);
    Write(src, 2, 1, {0, 255});
    const RECT s = {0, 0, 2, 1}, d = {0, 0, 4, 1};
    ASSERT_EQ(dst->Blit(&d, src, &s, 0), S_OK);
    std::vector<DWORD> soft = Read(dst, 4, 1);
    EXPECT_EQ(soft, (std::vector<DWORD>{0, 127, 255, 255}));
    // The driver's own capabilities: its stretch is nearest-neighbour.
    DXOwner hw = owner;
    ASSERT_EQ(owner.pDirectDraw->GetCaps(&hw.caps, nullptr), DD_OK);
    ASSERT_TRUE(hw.caps.dwFXCaps & 0x4000);
    CComPtr<IPixelBuffer> hsrc = New<CDXBuffer>(2, 1, &hw), hdst = New<CDXBuffer>(4, 1, &hw);
    Write(hsrc, 2, 1, {0, 255});
    ASSERT_EQ(hdst->Blit(&d, hsrc, &s, 0), S_OK);
    std::vector<DWORD> hard = Read(hdst, 4, 1);
    EXPECT_EQ(hard[0] & 0xFF, 0u);
    EXPECT_EQ(hard[1] & 0xFF, 0u);
    EXPECT_EQ(hard[2] & 0xFF, 255u);
    EXPECT_EQ(hard[3] & 0xFF, 255u);
}

TEST_F(DirectDraw, GdiSourceFallsBackToSoftware) {
    DXOwner hw = owner;
    ASSERT_EQ(owner.pDirectDraw->GetCaps(&hw.caps, nullptr), DD_OK);
    CComPtr<IPixelBuffer> gdi = MakeBuffer(3, 2, {1, 2, 3, 4, 5, 6});
    CComPtr<IPixelBuffer> dst = New<CDXBuffer>(3, 2, &hw);
    const RECT r = {0, 0, 3, 2};
    ASSERT_EQ(dst->Blit(&r, gdi, &r, 0), S_OK);
    EXPECT_EQ(Read(dst, 3, 2), (std::vector<DWORD>{1, 2, 3, 4, 5, 6}));
}

TEST_F(DirectDraw, SeededRandomBlitsMatchTheGdiBuffers) {
    srand(2024);
    for (int trial = 0; trial < 300; ++trial) {
        const int sw = 1 + rand() % 24, sh = 1 + rand() % 16, dw = 1 + rand() % 24,
                  dh = 1 + rand() % 16;
        std::vector<DWORD> sp((size_t)sw * sh), dp((size_t)dw * dh);
        for (DWORD& p : sp) p = ((DWORD)rand() << 16) ^ (DWORD)rand();
        for (DWORD& p : dp) p = ((DWORD)rand() << 16) ^ (DWORD)rand();
        CComPtr<IPixelBuffer> gs = MakeBuffer(sw, sh), gd = MakeBuffer(dw, dh);
        for (int i = 0; i < sw * sh; ++i) Pixel(gs, i % sw, i / sw) = sp[(size_t)i];
        for (int i = 0; i < dw * dh; ++i) Pixel(gd, i % dw, i / dw) = dp[(size_t)i];
        CComPtr<IPixelBuffer> xs = New<CDXBuffer>(sw, sh), xd = New<CDXBuffer>(dw, dh);
        Write(xs, sw, sh, sp);
        Write(xd, dw, dh, dp);
        // Source switches alike on both.
        BufferInfo set = {};
        set.dwSize = sizeof(set);
        set.wMask = BIM_COLORKEY | BIM_CONSTALPHA;
        set.dwKeyLow = sp[0] & 0x7F7F7F;
        set.dwKeyHigh = set.dwKeyLow | 0x202020;
        set.bConstAlpha = (BYTE)(1 + rand() % 254);
        const int switches = rand() % 8;  // key, constant alpha, per-pixel alpha
        for (IPixelBuffer* b : {gs.p, xs.p}) {
            b->SetBufferInfo(&set);
            b->EnableColorKey(switches & 1);
            b->EnableConstAlpha((switches >> 1) & 1);
            b->EnablePixelAlpha((switches >> 2) & 1);
        }
        RECT s = {rand() % sw, rand() % sh, 0, 0}, d = {rand() % dw - 3, rand() % dh - 3, 0, 0};
        s.right = s.left + 1 + rand() % sw;
        s.bottom = s.top + 1 + rand() % sh;
        d.right = d.left + 1 + rand() % (dw + 4);
        d.bottom = d.top + 1 + rand() % (dh + 4);
        if (rand() % 4 == 0)
            std::swap(d.left, d.right);
        if (rand() % 4 == 0)
            std::swap(d.top, d.bottom);
        const HRESULT hg = gd->Blit(&d, gs, &s, 0), hx = xd->Blit(&d, xs, &s, 0);
        ASSERT_EQ(hg, hx) << trial;
        ASSERT_EQ(Read(xd, dw, dh), Pixels(gd)) << trial;
    }
}

TEST_F(DirectDraw, ResizeKeepsTheOverlapAndScrollLocksItself) {
    CComPtr<IPixelBuffer> b = New<CDXBackBuffer>(4, 3);
    Write(b, 4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    ASSERT_EQ(b->Resize(6, 2), S_OK);
    BufferInfo info = Info(b, BIM_WIDTH | BIM_HEIGHT);
    EXPECT_EQ(info.nWidth, 6);
    std::vector<DWORD> px = Read(b, 6, 2);
    EXPECT_EQ(px[0], 1u);
    EXPECT_EQ(px[3], 4u);
    EXPECT_EQ(px[6], 5u);
    // dx 1: the pixel (x, y) goes to (x + 1, y).
    ASSERT_EQ(b->Scroll(1, 0), S_OK);
    px = Read(b, 6, 2);
    EXPECT_EQ(px[1], 1u);
    EXPECT_EQ(px[7], 5u);
}

TEST_F(DirectDraw, BufferLikeAndFromDib) {
    CComPtr<IPixelBuffer> gdi = MakeBuffer(2, 2), dx = New<CDXBuffer>(2, 2);
    CComPtr<IPixelBuffer> a, b;
    a.Attach(CreateBufferLike(5, 6, gdi));
    b.Attach(CreateBufferLike(5, 6, dx));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->HasSurface(), 0);
    EXPECT_EQ(b->HasSurface(), 1);
    DXOwner* o = nullptr;
    b->GetOwner(&o);
    EXPECT_EQ(o, &owner);
    // A 2 x 2 bottom-up 32-bit DIB: header (40 bytes), rows bottom first.
    HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 16);
    BYTE* p = (BYTE*)GlobalLock(dib);
    BITMAPINFOHEADER h = {};
    h.biSize = 40;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biPlanes = 1;
    h.biBitCount = 32;
    memcpy(p, &h, 40);
    const DWORD rows[4] = {0xFF000003, 0x04, 0x01, 0x80000002};  // bottom row first
    memcpy(p + 40, rows, 16);
    GlobalUnlock(dib);
    CComPtr<IPixelBuffer> pic;
    pic.Attach(CreateDXBufferFromDIB(&owner, dib));
    ASSERT_TRUE(pic);
    EXPECT_EQ(Read(pic, 2, 2), (std::vector<DWORD>{0x01, 0x80000002, 0xFF000003, 0x04}));
    // Cut short: no buffer.
    HGLOBAL cut = GlobalAlloc(GMEM_MOVEABLE, 40 + 8);
    memcpy(GlobalLock(cut), p, 40);
    GlobalUnlock(cut);
    CComPtr<IPixelBuffer> none;
    none.Attach(CreateDXBufferFromDIB(&owner, cut));
    EXPECT_EQ(none, nullptr);
    GlobalFree(cut);
    GlobalFree(dib);
}

TEST_F(DirectDraw, TransitionFramesMatchTheGdiFrames) {
    const int w = 320, h = 200;
    std::vector<DWORD> fillPx((size_t)w * h), pagePx((size_t)w * h);
    srand(5);
    for (size_t i = 0; i < fillPx.size(); ++i) {
        fillPx[i] = ((DWORD)rand() << 16) ^ (DWORD)rand();
        pagePx[i] = ((DWORD)rand() << 16) ^ (DWORD)rand();
    }
    for (int number : {1, 2, 4, 5, 8}) {
        CComPtr<IPixelBuffer> frames[2];
        for (int kind = 0; kind < 2; ++kind) {
            CComPtr<IPixelBuffer> back, fill, page;
            if (kind == 0) {
                ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&back);
                ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&fill);
                ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&page);
                back->Create(w, h);
                fill->Create(w, h);
                page->Create(w, h);
                for (int i = 0; i < w * h; ++i) {
                    Pixel(fill, i % w, i / w) = fillPx[(size_t)i];
                    Pixel(page, i % w, i / w) = pagePx[(size_t)i];
                }
            } else {
                back = New<CDXBackBuffer>(w, h);
                fill = New<CDXBackBuffer>(w, h);
                page = New<CDXBackBuffer>(w, h);
                Write(fill, w, h, fillPx);
                Write(page, w, h, pagePx);
            }
            CComPtr<IEffectRender> effect;
            ASSERT_EQ(CreateEffectRender(&effect, nullptr), S_OK);
            CComPtr<IUnknown> plugin;
            ASSERT_EQ(CreateTransitionPlugin(number, IID_IUnknown, (void**)&plugin), S_OK);
            CComPtr<ITransitionMove> mv;
            CComPtr<ITransitionRegion> rg;
            CComPtr<ITransitionMask> mk;
            if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionMove), (void**)&mv))) {
                CComPtr<ITransitionParams> params;
                plugin->QueryInterface(__uuidof(ITransitionParams), (void**)&params);
                params->SetParam(0, 16);  // a stretched box
                effect->SetMove(mv);
            }
            if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionRegion), (void**)&rg)))
                effect->SetRegion(rg);
            if (SUCCEEDED(plugin->QueryInterface(__uuidof(ITransitionMask), (void**)&mk)))
                effect->SetMask(mk);
            effect->SetDuration(1000);
            CComPtr<IRenderClockClient> client;
            effect->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
            CRenderClock* clock = static_cast<CRenderClock*>(client->GetClock());
            clock->Start();
            clock->Advance(370);
            ASSERT_EQ(ComposeTransitionFrame(back, fill, page, effect), S_OK) << number;
            frames[kind] = back;
        }
        ASSERT_EQ(Read(frames[1], w, h), Pixels(frames[0])) << number;
    }
}

TEST_F(DirectDraw, ViewBufferCopiesTheAreaInsideBoth) {
    // A GDI target wider than the view: each buffer stepped with its own pitch.
    CComPtr<IPixelBuffer> target = MakeBuffer(9, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) Pixel(target, x, y) = (DWORD)(y * 16 + x);
    CComPtr<IPixelBuffer> view;
    ASSERT_EQ(ComCreateInstance<CDXSurfaceBuffer>(__uuidof(IPixelBuffer), (void**)&view), S_OK);
    view->SetOwner(&owner);
    ASSERT_EQ(view->Create(5, 6), S_OK);
    CComPtr<IBufferView> bv;
    ASSERT_EQ(view->QueryInterface(__uuidof(IBufferView), (void**)&bv), S_OK);
    const RECT all = {0, 0, 100, 100};
    bv->SetLogicalRect(&all);
    bv->SetDeviceRect(&all);
    ASSERT_EQ(bv->CopyViewRect(target, TRUE), S_OK);
    std::vector<DWORD> px = Read(view, 5, 6);
    EXPECT_EQ(px[0], 0u);
    EXPECT_EQ(px[4], 4u);
    EXPECT_EQ(px[5 * 3 + 2], 50u);  // row 3, column 2
    // CreateLike takes the other's size, offset and owner.
    CComPtr<IPixelBuffer> model = New<CDXBackBuffer>(7, 3);
    model->SetOrigin(-2, -1);
    ASSERT_EQ(bv->CreateLike(model), S_OK);
    BufferInfo info = Info(view, BIM_WIDTH | BIM_HEIGHT | BIM_OFFSET);
    EXPECT_EQ(info.nWidth, 7);
    EXPECT_EQ(info.nHeight, 3);
    EXPECT_EQ(info.nOffsetX, 2);
    DXOwner* o = nullptr;
    view->GetOwner(&o);
    EXPECT_EQ(o, &owner);
}

TEST_F(DirectDraw, AFailedLockIsReported) {
    CComPtr<IPixelBuffer> src = New<CDXBuffer>(4, 4), dst = New<CDXBuffer>(4, 4);
    const RECT r = {0, 0, 4, 4};
    ASSERT_EQ(dst->Blit(&r, src, &r, 0), S_OK);
    // A source whose surface is gone cannot be locked: the blit says so.
    src->ReleaseSurface();
    EXPECT_TRUE(FAILED(dst->Blit(&r, src, &r, 0)));
    EXPECT_EQ(src->Lock(DDLOCK_WAIT), E_FAIL);
    // Locks nest: the pixels stay until the last unlock.
    ASSERT_EQ(dst->Lock(DDLOCK_WAIT), S_OK);
    ASSERT_EQ(dst->Lock(DDLOCK_WAIT), S_OK);
    dst->Unlock();
    EXPECT_NE(Info(dst, BIM_PIXELS).pPixels, nullptr);
    dst->Unlock();
    EXPECT_EQ(Info(dst, BIM_PIXELS).pPixels, nullptr);
}

}  // namespace
