// GDI pixel buffers: information by mask, pixels and their mapping, fill,
// dirty region, resize, scroll, device contexts, the view mapping, the
// packed-DIB constructor, and bad input to each.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <vector>

#include "ByteWriter.h"
#include "bByteOrder.h"
#include "PixelTestUtil.h"
#include "TestFiles.h"
#include "bDib.h"
#include "bTraceLog.h"

using namespace pixtest;

namespace {

bool RegionIs(HRGN region, std::initializer_list<RECT> rects) {
    HRGN expected = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : rects) {
        HRGN part = CreateRectRgnIndirect(&r);
        CombineRgn(expected, expected, part, RGN_OR);
        DeleteObject(part);
    }
    const bool same = region ? EqualRgn(region, expected) != 0 : rects.size() == 0;
    DeleteObject(expected);
    return same;
}

TEST(GDIBuffer, MappingAndPitch) {
    DWORD size = 0;
    ASSERT_TRUE(GDIMappingSize(100, 50, &size));
    EXPECT_EQ(20856u, size);
    EXPECT_FALSE(GDIMappingSize(0, 50, &size));
    EXPECT_FALSE(GDIMappingSize(100000, 100000, &size));  // above 2 GB

    CComPtr<IPixelBuffer> buffer;
    buffer.Attach(CreateGDIBuffer(100, 50));
    ASSERT_TRUE(buffer);
    BufferInfo info = Info(buffer);
    EXPECT_EQ(100, info.nWidth);
    EXPECT_EQ(50, info.nHeight);
    EXPECT_EQ(400, info.nPitch);
    ASSERT_TRUE(info.pPixels);
    // The two spare rows after the last row are there.
    memset(info.pPixels, 0x5A, 400 * 52);
    EXPECT_EQ(0x5A5A5A5Au, Row(buffer, 51)[99]);
}

TEST(GDIBuffer, CreateRefusesBadSizes) {
    EXPECT_EQ(nullptr, CreateGDIBuffer(0, 5));
    EXPECT_EQ(nullptr, CreateGDIBuffer(5, 0));
    EXPECT_EQ(nullptr, CreateGDIBuffer(-1, 5));
    EXPECT_EQ(nullptr, CreateGDIBuffer(5, -7));
    EXPECT_EQ(nullptr, CreateGDIBuffer(INT_MAX, INT_MAX));
    EXPECT_EQ(nullptr, CreateGDIBuffer(60000, 60000));

    auto base = Make<CGDIBuffer>();
    EXPECT_EQ(E_INVALIDARG, base->Create(-1, 4));
    ASSERT_EQ(S_OK, base->Create(4, 4));
    // Size 0 on the base class frees the pixels and succeeds.
    EXPECT_EQ(S_OK, base->Create(0, 0));
    EXPECT_EQ(nullptr, Info(base, BIM_PIXELS).pPixels);
    EXPECT_EQ(BIM_NEW, Info(base, BIM_FLAGS).wMask);

    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(0, 0));  // becomes 1 x 1
    EXPECT_EQ(1, Info(bitmap).nWidth);
    EXPECT_EQ(1, Info(bitmap).nHeight);
    ASSERT_EQ(S_OK, bitmap->Create(-5, 3));
    EXPECT_EQ(1, Info(bitmap).nWidth);
    EXPECT_EQ(3, Info(bitmap).nHeight);
}

TEST(GDIBuffer, BufferInfoByMask) {
    auto buffer = Make<CGDIBuffer>();
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    // Before Create: 0x7EF asks for fields the buffer does not have; the
    // fields it has are still filled.
    info.wMask = BIM_ALL & ~BIM_FLAGS;
    info.nOffsetX = 99;
    EXPECT_EQ(E_INVALIDARG, buffer->GetBufferInfo(&info));
    EXPECT_EQ(0, info.nOffsetX);
    ASSERT_EQ(S_OK, buffer->Create(8, 6));
    info.wMask = BIM_ALL;
    EXPECT_EQ(S_OK, buffer->GetBufferInfo(&info));
    // With 0x400 the flag word replaces the mask word and the 16 bits after.
    EXPECT_EQ(0x07EF, info.wMask);
    EXPECT_EQ(0, info.wReserved);
    buffer->EnableColorKey(TRUE);
    buffer->EnableConstAlpha(TRUE);
    buffer->EnablePixelAlpha(TRUE);
    info.wMask = BIM_FLAGS;
    EXPECT_EQ(S_OK, buffer->GetBufferInfo(&info));
    EXPECT_EQ(0x0700, info.wReserved);
    buffer->EnableConstAlpha(FALSE);
    info.wMask = BIM_FLAGS;
    buffer->GetBufferInfo(&info);
    EXPECT_EQ(0x0300, info.wReserved);
    // Bit 0x010 is never served.
    info.wMask = 0x010;
    EXPECT_EQ(E_INVALIDARG, buffer->GetBufferInfo(&info));
    EXPECT_EQ(E_POINTER, buffer->GetBufferInfo(nullptr));
}

// The failures name what went wrong in the trace log.
TEST(GDIBuffer, FailuresAreLogged) {
    LogCapture log;
    {
        auto buffer = Make<CGDIBuffer>();
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_ALL;
        EXPECT_EQ(E_INVALIDARG, buffer->GetBufferInfo(&info));
        EXPECT_EQ(E_FAIL, buffer->Create(30000, 30000));
        CComPtr<IPixelBuffer> dst = MakeBuffer(4, 4);
        RECT r = Rect(0, 0, 4, 4);
        EXPECT_EQ(E_INVALIDARG, dst->Blit(&r, buffer, &r, 0));

        // The failure's own code outlives the logging, so that a caller
        // logging it again names the same error.
        BYTE* bits = nullptr;
        HANDLE mapping = nullptr;
        SetLastError(0);
        EXPECT_EQ(nullptr, CreateDIBSectionUseMapping(nullptr, 30000, 30000, &bits, &mapping));
        EXPECT_EQ((DWORD)ERROR_ARITHMETIC_OVERFLOW, GetLastError());
        auto bitmap = Make<CGDIBitmapBuffer>();
        ASSERT_EQ(S_OK, bitmap->Create(10, 10));
        EXPECT_EQ(E_FAIL, bitmap->Resize(30000, 30000));
        EXPECT_EQ(10, Info(bitmap).nWidth);
    }
    const std::string text = log.Text();
    EXPECT_NE(text.find("GetBufferInfo failed: Invalid wMask: 07EF/0768"), std::string::npos)
        << text;
    EXPECT_NE(text.find("CreateDIBSectionUseMapping: CreateFileMapping : for (30000 x 30000)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Error(4:0x00000216) : CreateDIBSection -- "), std::string::npos) << text;
}

TEST(GDIBuffer, SetBufferInfoCopiesSuppliedFields) {
    auto buffer = Make<CGDIBuffer>();
    BufferInfo in = {};
    in.dwSize = sizeof(in);
    in.wMask = BIM_CONSTALPHA | BIM_EXTRA | BIM_COLORKEY | BIM_OFFSET | BIM_FLAGS;
    in.bConstAlpha = 77;
    in.bExtra = 5;
    in.dwKeyLow = 0x010203;
    in.dwKeyHigh = 0x040506;
    in.nOffsetX = -3;
    in.nOffsetY = 9;
    EXPECT_EQ(S_OK, buffer->SetBufferInfo(&in));
    BufferInfo out = Info(buffer, BIM_CONSTALPHA | BIM_EXTRA | BIM_COLORKEY | BIM_OFFSET);
    EXPECT_EQ(77, out.bConstAlpha);
    EXPECT_EQ(5, out.bExtra);
    EXPECT_EQ(0x010203u, out.dwKeyLow);
    EXPECT_EQ(0x040506u, out.dwKeyHigh);
    EXPECT_EQ(-3, out.nOffsetX);
    EXPECT_EQ(9, out.nOffsetY);
    EXPECT_EQ(BIM_NEW, Info(buffer, BIM_FLAGS).wMask);  // nothing new, 0x400 ignored
    in.wMask = BIM_HEIGHT;
    in.nHeight = 3;
    buffer->SetBufferInfo(&in);
    EXPECT_EQ(BIM_NEW | BIM_HEIGHT, Info(buffer, BIM_FLAGS).wMask);
}

TEST(GDIBuffer, InterfacesAndGdiSlots) {
    auto base = Make<CGDIBuffer>();
    CComPtr<IBufferView> view;
    EXPECT_EQ(E_NOINTERFACE,
              base->QueryInterface(__uuidof(IBufferView), reinterpret_cast<void**>(&view)));
    EXPECT_EQ(nullptr, view.get());
    CComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(0, base->HasSurface());
    EXPECT_EQ(nullptr, base->GetSurface());
    DXOwner* owner = reinterpret_cast<DXOwner*>(1);
    EXPECT_EQ(S_FALSE, base->GetOwner(&owner));
    EXPECT_EQ(nullptr, owner);
    EXPECT_EQ(S_FALSE, base->SetOwner(nullptr));
    EXPECT_EQ(S_FALSE, base->Lock(PIXLOCK_READ));
    EXPECT_EQ(S_FALSE, base->Unlock());
    EXPECT_EQ(S_FALSE, base->Resize(3, 3));
    EXPECT_EQ(S_FALSE, base->Scroll(1, 1));
    EXPECT_EQ(S_OK, base->Reserved10());

    // The destructor slot without bit 0 frees what the buffer holds and
    // leaves the object usable.
    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(4, 4));
    RECT r = Rect(0, 0, 2, 2);
    bitmap->AddDirtyRect(&r);
    bitmap->Destroy(0);
    EXPECT_EQ(BIM_NEW, Info(bitmap, BIM_FLAGS).wMask);
    EXPECT_EQ(nullptr, bitmap->GetDirtyRegion());
    ASSERT_EQ(S_OK, bitmap->Create(3, 3));
    EXPECT_EQ(S_OK, bitmap->FillRect(nullptr, RGB(1, 1, 1)));

    auto viewBuffer = Make<CGDIViewBuffer>();
    CComPtr<IPixelBuffer> pixels = viewBuffer.get();
    ASSERT_EQ(S_OK, pixels->QueryInterface(__uuidof(IBufferView), reinterpret_cast<void**>(&view)));
    CComPtr<IPixelBuffer> back;
    ASSERT_EQ(S_OK, view->QueryInterface(__uuidof(IPixelBuffer), reinterpret_cast<void**>(&back)));
    EXPECT_EQ(pixels.get(), back.get());
}

TEST(GDIBuffer, FillRectClipsToTheBuffer) {
    CComPtr<IPixelBuffer> buffer = MakeBuffer(6, 4, {}, 7);
    FillSpareRows(buffer, 0xDEADBEEF);
    EXPECT_EQ(S_OK, buffer->FillRect(nullptr, RGB(255, 0, 0)));
    for (DWORD p : Pixels(buffer)) EXPECT_EQ(0x00FF0000u, p);
    RECT r = Rect(4, 2, 100, 100);  // hangs off the right and bottom
    EXPECT_EQ(S_OK, buffer->FillRect(&r, RGB(1, 2, 3)));
    EXPECT_EQ(0x00010203u, Pixel(buffer, 5, 3));
    EXPECT_EQ(0x00010203u, Pixel(buffer, 4, 2));
    EXPECT_EQ(0x00FF0000u, Pixel(buffer, 3, 3));
    r = Rect(-5, -5, 1, 1);
    EXPECT_EQ(S_OK, buffer->FillRect(&r, RGB(0, 0, 9)));
    EXPECT_EQ(0x00000009u, Pixel(buffer, 0, 0));
    EXPECT_EQ(0x00FF0000u, Pixel(buffer, 1, 0));
    for (RECT bad : {Rect(10, 0, 20, 4), Rect(3, 3, 1, 1), Rect(INT_MIN, INT_MIN, INT_MIN + 1, 0)})
        EXPECT_EQ(S_OK, buffer->FillRect(&bad, RGB(9, 9, 9)));
    for (DWORD p : Pixels(buffer)) EXPECT_NE(0x00090909u, p);
    EXPECT_TRUE(SpareRowsAre(buffer, 0xDEADBEEF));
    auto empty = Make<CGDIBuffer>();
    EXPECT_EQ(E_FAIL, empty->FillRect(nullptr, 0));
}

TEST(GDIBuffer, DirtyRegion) {
    auto base = Make<CGDIBuffer>();
    ASSERT_EQ(S_OK, base->Create(50, 40));
    RECT r = Rect(10, 10, 20, 20);
    base->AddDirtyRect(&r);
    r = Rect(45, 35, 70, 70);  // clipped to the buffer
    base->AddDirtyRect(&r);
    r = Rect(60, 0, 70, 10);  // outside: nothing
    base->AddDirtyRect(&r);
    EXPECT_TRUE(RegionIs(base->GetDirtyRegion(), {Rect(10, 10, 20, 20), Rect(45, 35, 50, 40)}));
    EXPECT_EQ(S_OK, base->ClearDirty());
    EXPECT_EQ(nullptr, base->GetDirtyRegion());
    EXPECT_EQ(E_POINTER, base->AddDirtyRect(nullptr));

    // The bitmap buffer moves the rectangle by its offset first.
    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(50, 40));
    bitmap->SetOrigin(100, 200);
    r = Rect(105, 210, 115, 220);
    bitmap->AddDirtyRect(&r);
    EXPECT_TRUE(RegionIs(bitmap->GetDirtyRegion(), {Rect(5, 10, 15, 20)}));
    EXPECT_EQ(-100, Info(bitmap, BIM_OFFSET).nOffsetX);
    EXPECT_EQ(-200, Info(bitmap, BIM_OFFSET).nOffsetY);
}

TEST(GDIBitmapBuffer, ResizeKeepsTheOverlap) {
    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(100, 50));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) Pixel(bitmap, x, y) = (DWORD)(y * 1000 + x);
    BYTE* before = Info(bitmap).pPixels;
    EXPECT_EQ(S_OK, bitmap->Resize(100, 50));
    EXPECT_EQ(before, Info(bitmap).pPixels);
    EXPECT_EQ(nullptr, bitmap->GetDirtyRegion());

    ASSERT_EQ(S_OK, bitmap->Resize(120, 60));
    BufferInfo info = Info(bitmap);
    EXPECT_EQ(120, info.nWidth);
    EXPECT_EQ(60, info.nHeight);
    EXPECT_EQ(480, info.nPitch);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ((DWORD)(y * 1000 + x), Pixel(bitmap, x, y));
    EXPECT_TRUE(RegionIs(bitmap->GetDirtyRegion(), {Rect(100, 0, 120, 60), Rect(0, 50, 120, 60)}));

    ASSERT_EQ(S_OK, bitmap->Resize(30, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ((DWORD)(y * 1000 + x), Pixel(bitmap, x, y));
    EXPECT_EQ(E_INVALIDARG, bitmap->Resize(0, 10));
    EXPECT_EQ(E_INVALIDARG, bitmap->Resize(10, -1));
    // The DC draws into the new pixels.
    HDC dc = nullptr;
    ASSERT_EQ(S_OK, bitmap->GetDC(&dc));
    SetPixel(dc, 29, 19, RGB(1, 2, 3));
    bitmap->ReleaseDC(dc);
    EXPECT_EQ(0x00010203u, Pixel(bitmap, 29, 19) & 0x00FFFFFF);
}

TEST(GDIBitmapBuffer, Scroll) {
    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(10, 8));
    auto paint = [&] {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) Pixel(bitmap, x, y) = (DWORD)(y * 100 + x);
        bitmap->ClearDirty();
    };
    paint();
    EXPECT_EQ(S_FALSE, bitmap->Scroll(0, 0));
    EXPECT_EQ(S_OK, bitmap->Scroll(10, 0));
    EXPECT_EQ(701u, Pixel(bitmap, 1, 7));  // nothing moved
    EXPECT_TRUE(RegionIs(bitmap->GetDirtyRegion(), {Rect(0, 0, 10, 8)}));

    // (x, y) goes to (x + dx, y - dy); the stale edge becomes dirty.
    struct Case {
        int dx, dy;
        std::initializer_list<RECT> dirty;
    } cases[] = {
        {3, 2, {Rect(0, 0, 3, 8), Rect(0, 6, 10, 8)}},
        {-3, -2, {Rect(7, 0, 10, 8), Rect(0, 0, 10, 2)}},
        {4, 0, {Rect(0, 0, 4, 8)}},
        {0, -5, {Rect(0, 0, 10, 5)}},
    };
    for (const Case& c : cases) {
        paint();
        ASSERT_EQ(S_OK, bitmap->Scroll(c.dx, c.dy));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) {
                const int sx = x - c.dx, sy = y + c.dy;  // where the pixel came from
                if (sx < 0 || sx >= 10 || sy < 0 || sy >= 8)
                    continue;
                ASSERT_EQ((DWORD)(sy * 100 + sx), Pixel(bitmap, x, y))
                    << c.dx << "," << c.dy << " at " << x << "," << y;
            }
        EXPECT_TRUE(RegionIs(bitmap->GetDirtyRegion(), c.dirty)) << c.dx << "," << c.dy;
    }
    EXPECT_EQ(S_OK, bitmap->Scroll(INT_MIN, 0));  // all dirty, nothing moves
}

TEST(GDIBuffer, DeviceContextsDrawIntoThePixels) {
    auto base = Make<CGDIBuffer>();
    HDC dc = nullptr;
    EXPECT_EQ(E_FAIL, base->GetDC(&dc));  // no pixels yet
    ASSERT_EQ(S_OK, base->Create(20, 10));
    ASSERT_EQ(S_OK, base->GetDC(&dc));
    HDC second = nullptr;
    EXPECT_EQ(E_FAIL, base->GetDC(&second));  // the section is in use
    RECT r = Rect(2, 3, 5, 6);
    HBRUSH brush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(S_OK, base->ReleaseDC(dc));
    EXPECT_EQ(0x00112233u, Pixel(base, 4, 5) & 0x00FFFFFF);
    EXPECT_EQ(0u, Pixel(base, 5, 5));
    ASSERT_EQ(S_OK, base->GetDC(&dc));  // again after release
    base->ReleaseDC(dc);

    auto bitmap = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, bitmap->Create(20, 10));
    bitmap->SetOrigin(100, 50);
    ASSERT_EQ(S_OK, bitmap->GetDC(&dc));
    SetPixel(dc, 103, 52, RGB(0x44, 0x55, 0x66));  // logical = buffer + origin
    bitmap->ReleaseDC(dc);
    EXPECT_EQ(0x00445566u, Pixel(bitmap, 3, 2) & 0x00FFFFFF);
}

TEST(GDIViewBuffer, MapsLogicalOntoDevice) {
    auto view = Make<CGDIViewBuffer>();
    ASSERT_EQ(S_OK, view->Create(120, 80));
    RECT logical = Rect(0, 0, 200, 100), device = Rect(0, 0, 100, 50);
    view->SetLogicalRect(&logical);
    view->SetDeviceRect(&device);
    EXPECT_EQ(1, view->GetClipToView());
    CComPtr<IPixelBuffer> src = MakeBuffer(100, 40, {}, 0x00123456);
    RECT s = Rect(0, 0, 100, 40), d = Rect(20, 20, 120, 60);
    ASSERT_EQ(S_OK, view->Blit(&d, src, &s, 0));
    const BlitWork& w = view->GetBlitWork();
    EXPECT_EQ(10, w.dstLeft);
    EXPECT_EQ(10, w.dstTop);
    EXPECT_EQ(60, w.dstRight);
    EXPECT_EQ(30, w.dstBottom);
    EXPECT_EQ(0x00123456u, Pixel(view, 10, 10));
    EXPECT_EQ(0u, Pixel(view, 60, 10));

    // Its DC maps the same way.
    HDC dc = nullptr;
    ASSERT_EQ(S_OK, view->GetDC(&dc));
    SetPixel(dc, 150, 80, RGB(7, 8, 9));
    view->ReleaseDC(dc);
    EXPECT_EQ(0x00070809u, Pixel(view, 75, 40) & 0x00FFFFFF);

    POINT origin;
    ASSERT_EQ(S_OK, view->GetViewportOrigin(&origin));
    EXPECT_EQ(0, origin.x);
    view->SetOrigin(-10, -20);  // offset (10, 20)
    ASSERT_EQ(S_OK, view->GetViewportOrigin(&origin));
    EXPECT_EQ(10 + 0 - 100 * (10 + 0) / 200, origin.x);
    EXPECT_EQ(20 + 0 - 50 * (20 + 0) / 100, origin.y);
}

TEST(GDIViewBuffer, ClipToViewShrinksTheSource) {
    auto view = Make<CGDIViewBuffer>();
    ASSERT_EQ(S_OK, view->Create(100, 20));
    RECT area = Rect(0, 0, 100, 20);
    view->SetLogicalRect(&area);
    view->SetDeviceRect(&area);
    CComPtr<IPixelBuffer> src = MakeBuffer(100, 10);
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 10; ++y) Pixel(src, x, y) = (DWORD)x;
    RECT s = Rect(0, 0, 100, 10), d = Rect(-50, 0, 50, 10);
    ASSERT_EQ(S_OK, view->Blit(&d, src, &s, 0));
    EXPECT_EQ(50, view->GetBlitWork().srcLeft);
    EXPECT_EQ(50u, Pixel(view, 0, 0));
    EXPECT_EQ(99u, Pixel(view, 49, 9));

    // A reversed source leaves an empty shrunk source: nothing is drawn.
    view->FillRect(nullptr, 0);
    s = Rect(100, 0, 0, 10);
    d = Rect(0, 0, 100, 10);
    EXPECT_EQ(S_OK, view->Blit(&d, src, &s, 0));
    EXPECT_EQ(0u, Pixel(view, 0, 0));
    // Without clip-to-view it mirrors.
    view->SetClipToView(FALSE);
    EXPECT_EQ(S_OK, view->Blit(&d, src, &s, 0));
    EXPECT_EQ(99u, Pixel(view, 0, 0));

    // An empty logical rectangle maps nothing: a clear failure.
    RECT empty = Rect(5, 5, 5, 5);
    view->SetLogicalRect(&empty);
    EXPECT_EQ(E_FAIL, view->Blit(&d, src, &s, 0));
    POINT origin;
    EXPECT_EQ(E_FAIL, view->GetViewportOrigin(&origin));
    HDC dc;
    EXPECT_EQ(E_FAIL, view->GetDC(&dc));
}

TEST(GDIViewBuffer, CreateLikeAndCopyViewRect) {
    auto other = Make<CGDIBitmapBuffer>();
    ASSERT_EQ(S_OK, other->Create(50, 20));
    other->SetOrigin(-4, -6);
    auto view = Make<CGDIViewBuffer>();
    ASSERT_EQ(S_OK, view->CreateLike(other));
    BufferInfo info = Info(view);
    EXPECT_EQ(50, info.nWidth);
    EXPECT_EQ(20, info.nHeight);
    EXPECT_EQ(4, info.nOffsetX);
    EXPECT_EQ(6, info.nOffsetY);

    // Buffers of different widths: each is stepped with its own pitch.
    auto wide = Make<CGDIViewBuffer>();
    ASSERT_EQ(S_OK, wide->Create(80, 30));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x) Pixel(other, x, y) = (DWORD)(y * 100 + x);
    RECT device = Rect(5, 5, 30, 15), logical = Rect(0, 0, 1000, 1000);
    wide->SetDeviceRect(&device);
    wide->SetLogicalRect(&logical);
    ASSERT_EQ(S_OK, wide->CopyViewRect(other, TRUE));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool inside = x >= 5 && x < 30 && y >= 5 && y < 15;
            ASSERT_EQ(inside ? (DWORD)(y * 100 + x) : 0u, Pixel(wide, x, y)) << x << "," << y;
        }
    // And back: the area only.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) Pixel(wide, x, y) = 0xABCDEF;
    ASSERT_EQ(S_OK, wide->CopyViewRect(other, FALSE));
    EXPECT_EQ(0xABCDEFu, Pixel(other, 5, 5));
    EXPECT_EQ(404u, Pixel(other, 4, 4));
    // An area beyond either buffer is cut to both.
    device = Rect(40, 10, 200, 200);
    wide->SetDeviceRect(&device);
    EXPECT_EQ(S_OK, wide->CopyViewRect(other, TRUE));
    EXPECT_EQ(1949u, Pixel(wide, 49, 19));
    EXPECT_EQ(0xABCDEFu, Pixel(wide, 50, 19));

    auto bare = Make<CGDIBuffer>();
    EXPECT_EQ(E_INVALIDARG, wide->CopyViewRect(bare, TRUE));
    EXPECT_EQ(E_POINTER, wide->CopyViewRect(nullptr, TRUE));
}

// ---------------------------------------------------------------------------
// Blit: bad input ends in a clear failure or a clipped blit.

TEST(GDIBufferBlit, BadInput) {
    CComPtr<IPixelBuffer> src = MakeBuffer(8, 8, {}, 0x00FF00FF);
    CComPtr<IPixelBuffer> dst = MakeBuffer(8, 8, {}, 1);
    FillSpareRows(dst, 0xDEADBEEF);
    RECT s = Rect(0, 0, 8, 8), d = Rect(0, 0, 8, 8);
    EXPECT_EQ(E_POINTER, dst->Blit(nullptr, src, &s, 0));
    EXPECT_EQ(E_POINTER, dst->Blit(&d, nullptr, &s, 0));
    EXPECT_EQ(E_POINTER, dst->Blit(&d, src, nullptr, 0));

    // A source that never made pixels, or one whose pixel pointer is null.
    auto bare = Make<CGDIBuffer>();
    EXPECT_EQ(E_INVALIDARG, dst->Blit(&d, bare, &s, 0));
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_GEOMETRY;
    info.nWidth = 8;
    info.nHeight = 8;
    info.nPitch = 32;
    info.pPixels = nullptr;
    bare->SetBufferInfo(&info);
    EXPECT_EQ(E_FAIL, dst->Blit(&d, bare, &s, 0));
    // A pitch too short for the width.
    std::vector<DWORD> memory(64);
    info.nPitch = 16;
    info.pPixels = reinterpret_cast<BYTE*>(memory.data());
    bare->SetBufferInfo(&info);
    EXPECT_EQ(E_FAIL, dst->Blit(&d, bare, &s, 0));
    for (DWORD p : Pixels(dst)) ASSERT_EQ(1u, p);

    // Empty, inverted, zero-sized and far-away rectangles draw nothing.
    const RECT nothing[][2] = {
        {Rect(0, 0, 8, 8), Rect(3, 3, 3, 8)},      // empty destination
        {Rect(0, 0, 8, 8), Rect(5, 0, 2, 8)},      // inverted destination
        {Rect(4, 0, 4, 8), Rect(0, 0, 8, 8)},      // zero-wide source
        {Rect(0, 6, 8, 6), Rect(0, 0, 8, 8)},      // zero-high source
        {Rect(0, 0, 8, 8), Rect(8, 0, 16, 8)},     // right of the destination
        {Rect(0, 0, 8, 8), Rect(-8, -8, 0, 0)},    // above and left of it
        {Rect(20, 20, 28, 28), Rect(0, 0, 8, 8)},  // outside the source
        {Rect(-30, 0, -22, 8), Rect(0, 0, 8, 8)},  // outside the source, left
        {Rect(INT_MIN, INT_MIN, INT_MIN + 8, INT_MIN + 8), Rect(0, 0, 8, 8)},
        {Rect(0, 0, 8, 8), Rect(INT_MAX - 8, 0, INT_MAX, 8)},
    };
    for (const auto& pair : nothing) {
        RECT ss = pair[0], dd = pair[1];
        EXPECT_EQ(S_OK, dst->Blit(&dd, src, &ss, 0));
    }
    for (DWORD p : Pixels(dst)) ASSERT_EQ(1u, p);

    // Extreme rectangles are clipped, not wrapped.
    RECT ss = Rect(0, 0, 1, 1), dd = Rect(INT_MIN, 0, INT_MAX, 1);
    EXPECT_EQ(S_OK, dst->Blit(&dd, src, &ss, 0));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(0x00FF00FFu, Pixel(dst, x, 0));
    EXPECT_EQ(1u, Pixel(dst, 0, 1));
    ss = Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    dd = Rect(0, 0, 8, 8);
    EXPECT_EQ(S_OK, dst->Blit(&dd, src, &ss, 0));
    ss = Rect(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    EXPECT_EQ(S_OK, dst->Blit(&dd, src, &ss, 0));
    EXPECT_TRUE(SpareRowsAre(dst, 0xDEADBEEF));

    // Offsets move both rectangles into buffer coordinates.
    dst->FillRect(nullptr, RGB(0, 0, 1));
    BufferInfo offset = {};
    offset.dwSize = sizeof(offset);
    offset.wMask = BIM_OFFSET;
    offset.nOffsetX = 6;
    offset.nOffsetY = 6;
    dst->SetBufferInfo(&offset);
    ss = Rect(0, 0, 4, 4);
    dd = Rect(0, 0, 4, 4);
    EXPECT_EQ(S_OK, dst->Blit(&dd, src, &ss, 0));
    EXPECT_EQ(0x00FF00FFu, Pixel(dst, 7, 7));
    EXPECT_EQ(1u, Pixel(dst, 5, 5));
    EXPECT_TRUE(SpareRowsAre(dst, 0xDEADBEEF));
}

// ---------------------------------------------------------------------------
// CreateGDIBufferFromDIB

HGLOBAL MakeBlock(const std::vector<BYTE>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
    void* p = GlobalLock(block);
    if (!bytes.empty())
        memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

// BITMAPINFOHEADER (40 bytes): size, width, height, planes, bit count,
// compression, image size, x and y resolution, colours used, important.
std::vector<BYTE> DibHeader(int width, int height, int bits, DWORD compression = BI_RGB,
                            DWORD used = 0) {
    return CByteWriter()
        .U32(40)
        .U32((uint32_t)width)
        .U32((uint32_t)height)
        .U16(1)
        .U16((uint16_t)bits)
        .U32(compression)
        .Zeros(12)
        .U32(used)
        .U32(0)
        .Vector();
}

CComPtr<IPixelBuffer> FromDib(const std::vector<BYTE>& bytes) {
    HGLOBAL block = MakeBlock(bytes);
    CComPtr<IPixelBuffer> buffer;
    buffer.Attach(CreateGDIBufferFromDIB(block));
    GlobalFree(block);
    return buffer;
}

TEST(CreateGDIBufferFromDIB, ThirtyTwoBitsTopDownAndBottomUp) {
    // 2 x 2, pixels in file order.
    std::vector<BYTE> top = DibHeader(2, -2, 32);
    for (DWORD p : {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u})
        for (int i = 0; i < 4; ++i) top.push_back((BYTE)(p >> (8 * i)));
    CComPtr<IPixelBuffer> buffer = FromDib(top);
    ASSERT_TRUE(buffer);
    EXPECT_EQ((std::vector<DWORD>{0x11111111, 0x22222222, 0x33333333, 0x44444444}), Pixels(buffer));

    std::vector<BYTE> bottom = top;
    PutU32LE(&bottom[8], 2);  // rows run bottom-up
    CComPtr<IPixelBuffer> flipped = FromDib(bottom);
    ASSERT_TRUE(flipped);
    EXPECT_EQ((std::vector<DWORD>{0x33333333, 0x44444444, 0x11111111, 0x22222222}),
              Pixels(flipped));
}

TEST(CreateGDIBufferFromDIB, OtherDepthsGoThroughGdi) {
    // 24 bits, 2 x 2 bottom-up: rows of 6 bytes padded to 8, blue first.
    std::vector<BYTE> dib = DibHeader(2, 2, 24);
    const BYTE rows[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0,   // bottom row
                         0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 0};  // top row
    dib.insert(dib.end(), rows, rows + sizeof(rows));
    CComPtr<IPixelBuffer> buffer = FromDib(dib);
    ASSERT_TRUE(buffer);
    std::vector<DWORD> px = Pixels(buffer);
    ASSERT_EQ(4u, px.size());
    EXPECT_EQ(0x302010u, px[0] & 0xFFFFFF);
    EXPECT_EQ(0x605040u, px[1] & 0xFFFFFF);
    EXPECT_EQ(0x030201u, px[2] & 0xFFFFFF);
    EXPECT_EQ(0x060504u, px[3] & 0xFFFFFF);

    // 8 bits with a two-entry palette (B, G, R, 0), 3 x 1, row padded to 4.
    std::vector<BYTE> pal = DibHeader(3, 1, 8, BI_RGB, 2);
    const BYTE palette[] = {0x00, 0x00, 0xFF, 0, 0xFF, 0x00, 0x00, 0};
    pal.insert(pal.end(), palette, palette + sizeof(palette));
    const BYTE indexes[] = {0, 1, 0, 0};
    pal.insert(pal.end(), indexes, indexes + sizeof(indexes));
    CComPtr<IPixelBuffer> indexed = FromDib(pal);
    ASSERT_TRUE(indexed);
    px = Pixels(indexed);
    EXPECT_EQ(0xFF0000u, px[0] & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, px[1] & 0xFFFFFF);
}

// BITMAPCOREHEADER (12 bytes): size, then 16-bit width, height, planes and
// bit count; a palette of 3-byte entries follows.
std::vector<BYTE> CoreHeader(int width, int height, int bits) {
    return CByteWriter()
        .U32(12)
        .U16((uint16_t)width)
        .U16((uint16_t)height)
        .U16(1)
        .U16((uint16_t)bits)
        .Vector();
}

// The buffer and the 32-bit conversion read a packed DIB through one layout:
// they take and refuse the same blocks, the core header's 16- and 32-bit
// cases (which GDI does not take) and larger headers among them.
TEST(CreateGDIBufferFromDIB, TakesWhatTheConversionTakes) {
    struct Case {
        const char* name;
        std::vector<BYTE> dib;
        bool usable;
    };
    std::vector<Case> cases;
    auto rows = [](std::vector<BYTE> b, size_t n) {
        b.resize(b.size() + n, 0x5A);
        return b;
    };
    cases.push_back({"core, 24 bits", rows(CoreHeader(2, 2, 24), 16), true});
    // 256 entries of 3 bytes, then one row of 2 indexes padded to 4.
    cases.push_back({"core, 8 bits", rows(CoreHeader(2, 1, 8), 768 + 4), true});
    cases.push_back({"core, 8 bits, palette cut", rows(CoreHeader(2, 1, 8), 700), false});
    cases.push_back({"core, 16 bits", rows(CoreHeader(2, 2, 16), 16), false});
    cases.push_back({"core, 32 bits", rows(CoreHeader(2, 2, 32), 16), false});
    cases.push_back({"info, 32 bits", rows(DibHeader(2, 2, 32), 16), true});
    cases.push_back({"info, 16 bits", rows(DibHeader(2, 2, 16), 8), true});
    // Masks, then 7 colours that are not read: the rows start right after the masks.
    std::vector<BYTE> fields = DibHeader(2, 1, 16, BI_BITFIELDS, 7);
    fields.resize(52, 0);
    PutU32LE(&fields[40], 0xF800);
    PutU32LE(&fields[44], 0x07E0);
    PutU32LE(&fields[48], 0x001F);
    cases.push_back({"bit fields, colours used ignored", rows(fields, 4), true});
    std::vector<BYTE> v4 = rows(DibHeader(2, 2, 32), 68 + 16);
    PutU32LE(&v4[0], 108);
    cases.push_back({"108-byte header", v4, false});
    cases.push_back(
        {"8 bits, 257 colours", rows(DibHeader(1, 1, 8, BI_RGB, 257), 1028 + 4), false});
    cases.push_back(
        {"24 bits, 300 colours", rows(DibHeader(1, 1, 24, BI_RGB, 300), 1200 + 4), false});
    for (const Case& c : cases) {
        EXPECT_EQ(c.usable, !!FromDib(c.dib)) << c.name;
        HGLOBAL converted = ConvertPackedDib32Checked(c.dib.data(), c.dib.size());
        EXPECT_EQ(c.usable, converted != nullptr) << c.name;
        if (converted)
            GlobalFree(converted);
    }
}

TEST(CreateGDIBufferFromDIB, CorruptBlocksGiveNull) {
    const std::vector<BYTE> good = [] {
        std::vector<BYTE> b = DibHeader(2, 2, 32);
        b.resize(40 + 16, 0x7F);
        return b;
    }();
    ASSERT_TRUE(FromDib(good));
    struct Case {
        const char* name;
        size_t at;
        int bytes;  // 2 or 4; 0: cut the block to `at` bytes
        long long value;
    } cases[] = {
        {"header size 0", 0, 4, 0},
        {"header size 39", 0, 4, 39},
        {"header size beyond the block", 0, 4, 4000},
        {"width 0", 4, 4, 0},
        {"negative width", 4, 4, -2},
        {"height 0", 8, 4, 0},
        {"height INT_MIN", 8, 4, INT_MIN},
        {"two planes", 12, 2, 2},
        {"7 bits per pixel", 14, 2, 7},
        {"JPEG compression", 16, 4, BI_JPEG},
        {"RLE8 on 32 bits", 16, 4, BI_RLE8},
        {"300 palette entries", 32, 4, 300},
        {"rows beyond the block", 4, 4, 3},
        {"huge width", 4, 4, 0x7FFFFFFF},
        {"huge height", 8, 4, 0x7FFFFFFF},
        {"pixels cut short", 40 + 15, 0, 0},
        {"header cut short", 20, 0, 0},
        {"empty block", 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> b = good;
        if (c.bytes == 0)
            b.resize(c.at);
        else if (c.bytes == 2)
            PutU16LE(&b[c.at], (uint16_t)c.value);
        else
            PutU32LE(&b[c.at], (uint32_t)c.value);
        EXPECT_FALSE(FromDib(b)) << c.name;
    }
    EXPECT_EQ(nullptr, CreateGDIBufferFromDIB(nullptr));
}

}  // namespace
