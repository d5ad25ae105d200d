// The fill object: solid fill, modes, the pattern overlay, alpha, the
// stored form and its corrupted inputs, interpolation.
#include <gtest/gtest.h>

#include "DrawTestUtil.h"
#include "bFillGrd.h"
#include "bFillPic.h"
#include "bFillShd.h"

using namespace drawtest;

namespace {

CComPtr<FillObject> NewFill() {
    CComPtr<FillObject> fill;
    fill.Attach(CreateFillObject());
    EXPECT_TRUE(fill != nullptr);
    return fill;
}

ISolidFillParams* Solid(FillObject* fill) {
    void* p = nullptr;
    EXPECT_EQ(S_OK, fill->GetFillParams(&p));
    return static_cast<ISolidFillParams*>(p);
}

bool Inside(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

TEST(FillObject, NewFillPaintsOpaqueWhiteOverTheClip) {
    CComPtr<FillObject> fill = NewFill();
    int type = -1, mode = -1;
    BYTE alpha = 0;
    fill->GetFillType(&type);
    fill->GetMode(&mode);
    fill->GetAlpha(&alpha);
    EXPECT_EQ(0, type);
    EXPECT_EQ(1, mode);
    EXPECT_EQ(255, alpha);
    CComPtr<IPixelBuffer> buffer = MakeBuffer(40, 30, 0x12345678);
    RECT bounds = {0, 0, 40, 30}, clip = {5, 6, 25, 20};
    EXPECT_EQ(S_OK, fill->Render(&bounds, buffer, &clip, nullptr));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(Inside(clip, x, y) ? 0xFFFFFFFFu : 0x12345678u, Pixel(buffer, x, y));

    // A colour in COLORREF order lands as 0xAARRGGBB; logical units follow
    // the buffer's offset.
    Solid(fill)->SetColor(RGB(0x11, 0x22, 0x33));
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_OFFSET;
    info.nOffsetX = 10;
    info.nOffsetY = 7;
    buffer->SetBufferInfo(&info);
    RECT logical = {0, 0, 4, 4};
    fill->Render(&logical, buffer, nullptr, nullptr);
    EXPECT_EQ(0xFF112233u, Pixel(buffer, 10, 7));
    EXPECT_EQ(0xFF112233u, Pixel(buffer, 13, 10));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(buffer, 9, 7));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(buffer, 14, 7));
    BufferInfo back = Info(buffer);
    EXPECT_EQ(10, back.nOffsetX);  // restored after drawing
    EXPECT_EQ(7, back.nOffsetY);
}

TEST(FillObject, ModeZeroDrawsNothing) {
    CComPtr<FillObject> fill = NewFill();
    fill->SetMode(0);
    CComPtr<IPixelBuffer> buffer = MakeBuffer(8, 8, 0x00ABCDEF);
    RECT r = {0, 0, 8, 8};
    EXPECT_EQ(S_OK, fill->Render(&r, buffer, nullptr, nullptr));
    EXPECT_EQ(S_OK, fill->Render(nullptr, buffer, nullptr, nullptr));
    for (DWORD p : Pixels(buffer)) ASSERT_EQ(0x00ABCDEFu, p);
}

TEST(FillObject, PatternOverlay) {
    CComPtr<FillObject> fill = NewFill();
    EXPECT_EQ(E_INVALIDARG, fill->SetPattern(0x0100 | (4 << 3)));  // mode 1
    EXPECT_EQ(E_INVALIDARG, fill->SetPatternColor(0));
    fill->SetMode(2);
    // Mode 2 with no pattern paints the fill alone.
    CComPtr<IPixelBuffer> plain = MakeBuffer(16, 16, 0);
    fill->Render(nullptr, plain, nullptr, nullptr);
    for (DWORD p : Pixels(plain)) ASSERT_EQ(0xFFFFFFFFu, p);

    EXPECT_EQ(S_OK, fill->SetPatternColor(RGB(0, 0, 0x80)));
    COLORREF color = 0;
    EXPECT_EQ(S_OK, fill->GetPatternColor(&color));
    EXPECT_EQ(S_OK, fill->SetPattern(0x0100 | (4 << 3)));  // base row 3: 99 in every row
    CComPtr<IPixelBuffer> buffer = MakeBuffer(16, 16, 0);
    fill->Render(nullptr, buffer, nullptr, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool set = (0x99 & (0x80 >> (x & 7))) != 0;
            ASSERT_EQ(set ? 0xFF000080u : 0xFFFFFFFFu, Pixel(buffer, x, y)) << x << "," << y;
        }
    // Without bit 8 the stripes turn: whole rows 0, 3, 4 and 7 of each cell.
    fill->SetPattern(4 << 3);
    fill->Render(nullptr, buffer, nullptr, nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool set = (0x99 & (1 << (y & 7))) != 0;
            ASSERT_EQ(set ? 0xFF000080u : 0xFFFFFFFFu, Pixel(buffer, x, y)) << x << "," << y;
        }
    // An overlay OR-ed onto the base: row 32 is a sparse diagonal.
    fill->SetPattern(0x0100 | 1);
    fill->Render(nullptr, buffer, nullptr, nullptr);
    const BYTE diag[8] = {0x80, 0x02, 0x10, 0x04, 0x20, 0x08, 0x40, 0x01};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool set = (diag[y & 7] & (0x80 >> (x & 7))) != 0;
            ASSERT_EQ(set ? 0xFF000080u : 0xFFFFFFFFu, Pixel(buffer, x, y));
        }
}

TEST(FillObject, PatternStaysInsideTheClipInItsPhase) {
    CComPtr<FillObject> fill = NewFill();
    fill->SetMode(2);
    fill->SetPatternColor(0);
    fill->SetPattern(0x0100 | (1 << 3));  // row 0: 99 33 66 CC ...
    const BYTE row0[8] = {0x99, 0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC};
    CComPtr<IPixelBuffer> buffer = MakeBuffer(24, 24, 0x00112233);
    RECT clip = {3, 5, 19, 13};
    RECT bounds = {0, 0, 24, 24};
    fill->Render(&bounds, buffer, &clip, nullptr);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            DWORD want = 0x00112233;
            if (Inside(clip, x, y))
                want = (row0[y & 7] & (0x80 >> (x & 7))) ? 0xFF000000u : 0xFFFFFFFFu;
            ASSERT_EQ(want, Pixel(buffer, x, y)) << x << "," << y;
        }
    // Transparent: the set pixels lose their alpha only.
    fill->SetPatternTransparent(1);
    int transparent = 0;
    EXPECT_EQ(S_OK, fill->GetPatternTransparent(&transparent));
    EXPECT_EQ(1, transparent);
    EXPECT_EQ(E_INVALIDARG, fill->SetPatternColor(0));
    fill->Render(&bounds, buffer, &clip, nullptr);
    for (int y = clip.top; y < clip.bottom; ++y)
        for (int x = clip.left; x < clip.right; ++x) {
            DWORD want = (row0[y & 7] & (0x80 >> (x & 7))) ? 0x00FFFFFFu : 0xFFFFFFFFu;
            ASSERT_EQ(want, Pixel(buffer, x, y));
        }
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_FLAGS;
    buffer->GetBufferInfo(&info);
    DWORD flags = info.wMask | ((DWORD)info.wReserved << 16);
    EXPECT_TRUE(flags & BUFFLAG_PIXELALPHA);
}

TEST(FillObject, AlphaBelowOpaqueBlendsOverTheBounds) {
    CComPtr<FillObject> fill = NewFill();
    fill->SetAlpha(128);
    CComPtr<IPixelBuffer> buffer = MakeBuffer(10, 10, 0);
    RECT bounds = {0, 0, 10, 10}, clip = {2, 2, 8, 8};
    EXPECT_EQ(S_OK, fill->Render(&bounds, buffer, &clip, nullptr));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            DWORD p = Pixel(buffer, x, y) & 0xFFFFFF;
            if (!Inside(clip, x, y)) {
                ASSERT_EQ(0u, p);
                continue;
            }
            for (int s = 0; s < 24; s += 8) {
                int c = (p >> s) & 0xFF;
                ASSERT_GE(c, 120);
                ASSERT_LE(c, 136);
            }
        }
}

TEST(FillObject, ScaleAlpha) {
    CComPtr<FillObject> fill = NewFill();
    CComPtr<IPixelBuffer> buffer = MakeBuffer(4, 4, 0);
    for (int i = 0; i < 16; ++i) Pixel(buffer, i % 4, i / 4) = ((DWORD)(i * 17) << 24) | 0x123456;
    RECT all = {0, 0, 4, 4};
    fill->ScaleAlpha(&all, buffer, 255);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(((DWORD)(i * 17) << 24) | 0x123456, Pixel(buffer, i % 4, i / 4));
    RECT part = {0, 0, 2, 4};
    fill->ScaleAlpha(&part, buffer, 0);
    for (int i = 0; i < 16; ++i) {
        DWORD alpha = (i % 4) < 2 ? 0 : (DWORD)(i * 17);
        EXPECT_EQ((alpha << 24) | 0x123456, Pixel(buffer, i % 4, i / 4));
    }
    fill->ScaleAlpha(&all, buffer, 128);
    EXPECT_EQ((DWORD)((128 + 255 * 128) / 255) << 24 | 0x123456, Pixel(buffer, 3, 3));
}

TEST(FillObject, FillTypesAndParameters) {
    CComPtr<FillObject> fill = NewFill();
    EXPECT_EQ(S_OK, fill->SetFillType(1));
    void* params = nullptr;
    EXPECT_EQ(S_OK, fill->GetFillParams(&params));
    ASSERT_TRUE(params != nullptr);
    COLORREF c1 = 0, c2 = 1;
    static_cast<IGradientFillParams*>(params)->GetColor1(&c1);
    static_cast<IGradientFillParams*>(params)->GetColor2(&c2);
    EXPECT_EQ(0xFFFFFFu, c1);
    EXPECT_EQ(0u, c2);
    EXPECT_EQ(E_FAIL, fill->SetFillType(7));
    int type = 0;
    fill->GetFillType(&type);
    EXPECT_EQ(7, type);
    EXPECT_EQ(E_FAIL, fill->GetFillParams(&params));
    EXPECT_EQ(nullptr, params);
    EXPECT_EQ(E_NOTIMPL, fill->Reserved25());
}

TEST(FillObject, StoredForm) {
    CComPtr<FillObject> fill = NewFill();
    fill->SetAlpha(0x40);
    fill->SetMode(2);
    fill->SetPattern(0x0123);
    fill->SetPatternColor(RGB(1, 2, 3));
    Solid(fill)->SetColor(RGB(0xAA, 0xBB, 0xCC));
    std::string bytes = SavedBytes(fill.p);
    // alpha, flags (pattern colour readable), 2 reserved; type 0; mode 2;
    // pattern; pattern colour; inner size 4; the colour.
    std::string want = std::string("\x40\x02\x00\x00", 4) + U32(0) + U32(2) + U32(0x0123) +
                       U32(0x030201) + U32(4) + U32(0xCCBBAA);
    EXPECT_EQ(want, bytes);
    CComPtr<FillObject> back = NewFill();
    ULONGLONG pos = 0;
    EXPECT_EQ(S_OK, LoadFrom(back.p, bytes, &pos));
    EXPECT_EQ(28u, pos);
    EXPECT_EQ(bytes, SavedBytes(back.p));

    // Without an inner fill: 24 bytes ending in a zero size.
    CComPtr<FillObject> none = NewFill();
    none->SetFillType(9);
    std::string empty = SavedBytes(none.p);
    ASSERT_EQ(24u, empty.size());
    EXPECT_EQ(U32(0), empty.substr(20));

    // An unknown type skips exactly its s bytes.
    std::string unknown = std::string("\xFF\x00\x00\x00", 4) + U32(9) + U32(1) + U32(0) +
                          U32(0xFFFFFF) + U32(5) + "abcde" + "tail";
    CComPtr<FillObject> skip = NewFill();
    EXPECT_EQ(S_OK, LoadFrom(skip.p, unknown, &pos));
    EXPECT_EQ(29u, pos);
    int type = 0;
    skip->GetFillType(&type);
    EXPECT_EQ(9, type);

    // An inner fill shorter than its size: the stream still ends at the
    // record's end.
    std::string longer = want;
    PutU32(longer, 20, 10);
    longer += std::string(6, 'x') + "next";
    EXPECT_EQ(S_OK, LoadFrom(back.p, longer, &pos));
    EXPECT_EQ(34u, pos);

    // A gradient round trip.
    CComPtr<FillObject> grad = NewFill();
    grad->SetFillType(1);
    void* p = nullptr;
    grad->GetFillParams(&p);
    auto* gp = static_cast<IGradientFillParams*>(p);
    gp->SetGradType(5);
    gp->SetOffset(-30);
    gp->SetBalance(40);
    gp->SetRepeat(3);
    gp->SetColor1(RGB(1, 2, 3));
    gp->SetColor2(RGB(4, 5, 6));
    std::string g = SavedBytes(grad.p);
    EXPECT_EQ(U32(24), g.substr(20, 4));
    EXPECT_EQ(U32(5) + U32((DWORD)-30) + U32(40) + U32(3) + U32(0x030201) + U32(0x060504),
              g.substr(24));
    CComPtr<FillObject> g2 = NewFill();
    EXPECT_EQ(S_OK, LoadFrom(g2.p, g));
    EXPECT_EQ(g, SavedBytes(g2.p));
}

TEST(FillObject, CorruptedStoredFormsFailAndLeaveTheObject) {
    // Every inner type, truncated anywhere.
    for (int type = 0; type < 4; ++type) {
        CComPtr<FillObject> fill = NewFill();
        fill->SetFillType(type);
        if (type == 2) {
            void* p = nullptr;
            fill->GetFillParams(&p);
            static_cast<IPictureFillParams*>(p)->SetPictureName("picture");
        }
        std::string good = SavedBytes(fill.p);
        for (size_t n = 0; n < good.size(); ++n) {
            SCOPED_TRACE(testing::Message() << "type " << type << " cut at " << n);
            CComPtr<FillObject> target = NewFill();
            Solid(target)->SetColor(RGB(9, 9, 9));
            std::string before = SavedBytes(target.p);
            EXPECT_TRUE(FAILED(LoadFrom(target.p, good.substr(0, n))));
            EXPECT_EQ(before, SavedBytes(target.p));
        }
    }
    CComPtr<FillObject> grad = NewFill();
    grad->SetFillType(1);
    std::string good = SavedBytes(grad.p);
    std::vector<std::string> bad;
    for (size_t n = 0; n < good.size(); ++n) bad.push_back(good.substr(0, n));
    for (DWORD s : {0u, 3u, 25u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::string b = good;
        PutU32(b, 20, s);  // inner size shorter than the inner form or beyond the stream
        bad.push_back(b);
    }
    std::string unknown = good;
    PutU32(unknown, 4, 77);
    PutU32(unknown, 20, 0xFFFFFFFF);
    bad.push_back(unknown);
    for (const std::string& b : bad) {
        SCOPED_TRACE(b.size());
        CComPtr<FillObject> target = NewFill();
        Solid(target)->SetColor(RGB(9, 9, 9));
        std::string before = SavedBytes(target.p);
        EXPECT_TRUE(FAILED(LoadFrom(target.p, b)));
        EXPECT_EQ(before, SavedBytes(target.p));
    }
}

TEST(FillObject, CopyFrom) {
    CComPtr<FillObject> a = NewFill(), b = NewFill();
    a->SetFillType(1);
    a->SetMode(2);
    a->SetPattern(0x55);
    a->SetPatternColor(RGB(7, 8, 9));
    a->SetAlpha(99);
    void* p = nullptr;
    a->GetFillParams(&p);
    static_cast<IGradientFillParams*>(p)->SetGradType(3);
    b->CopyFrom(a);
    EXPECT_EQ(SavedBytes(a.p), SavedBytes(b.p));
}

TEST(FillObject, InterpolateSolidFills) {
    CComPtr<FillObject> a = NewFill(), b = NewFill(), out = NewFill();
    Solid(a)->SetColor(RGB(0, 100, 200));
    Solid(b)->SetColor(RGB(100, 100, 0));
    EXPECT_EQ(S_OK, out->InterpolateFill(a, b, 50));
    COLORREF c = 0;
    Solid(out)->GetColor(&c);
    EXPECT_EQ(RGB(50, 100, 100), c);
    out->InterpolateFill(a, b, 0);
    Solid(out)->GetColor(&c);
    EXPECT_EQ(RGB(0, 100, 200), c);
    // Different modes refuse.
    b->SetMode(2);
    EXPECT_EQ(E_INVALIDARG, out->InterpolateFill(a, b, 50));
    // Solid with gradient gives a gradient, whichever comes first.
    b->SetMode(1);
    b->SetFillType(1);
    EXPECT_EQ(S_OK, out->InterpolateFill(a, b, 30));
    int type = 0;
    out->GetFillType(&type);
    EXPECT_EQ(1, type);
}

TEST(FillObject, RenderToDCCopiesTheClipWithTheContextsRasterOperation) {
    CComPtr<FillObject> fill = NewFill();
    Solid(fill)->SetColor(RGB(0x10, 0x20, 0x30));
    fill->SetMode(2);
    fill->SetPatternColor(RGB(0xF0, 0, 0));
    fill->SetPattern(0x0100 | (4 << 3));
    CComPtr<IPixelBuffer> target = MakeBuffer(30, 20, 0x00010101);
    HDC dc = nullptr;
    target->GetDC(&dc);
    RECT bounds = {20, 15, 4, 2};  // not normalised
    RECT clip = {6, 3, 14, 9};
    EXPECT_EQ(S_OK, fill->RenderToDC(dc, &bounds, &clip, nullptr));
    SetROP2(dc, R2_MERGEPEN);  // OR: the source is OR-ed onto what is there
    RECT second = {0, 0, 30, 20}, band = {20, 0, 30, 2};
    EXPECT_EQ(S_OK, fill->RenderToDC(dc, &second, &band, nullptr));
    GdiFlush();
    target->ReleaseDC(dc);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            DWORD p = Pixel(target, x, y) & 0xFFFFFF, want = 0x010101;
            if (Inside(clip, x, y)) {
                // The pattern keeps its phase relative to the bounds' buffer.
                bool set = (0x99 & (0x80 >> ((x - 4) & 7))) != 0;
                want = set ? 0xF00000 : 0x102030;
            } else if (Inside(band, x, y)) {
                bool set = (0x99 & (0x80 >> (x & 7))) != 0;
                want = 0x010101 | (set ? 0xF00000 : 0x102030);
            }
            ASSERT_EQ(want, p) << x << "," << y;
        }
    fill->SetMode(0);
    EXPECT_EQ(S_OK, fill->RenderToDC(dc, &second, nullptr, nullptr));
}
