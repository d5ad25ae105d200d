// Fills paint the same pixels into DirectDraw buffers as into GDI buffers.
#include <gtest/gtest.h>

#include <string.h>

#include "DirectDrawFixture.h"
#include "DrawTestUtil.h"
#include "aDXBuf.h"
#include "bFillGrd.h"
#include "bFillShd.h"
#include "bFillTex.h"

using namespace drawtest;

namespace {

class FillDirectDraw : public DirectDrawFixture {
protected:
    static void Write(IPixelBuffer* b, int w, int h, DWORD value) {
        ASSERT_EQ(b->Lock(PIXLOCK_WRITE), S_OK);
        BufferInfo info = Info(b);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ((DWORD*)(info.pPixels + (size_t)y * info.nPitch))[x] = value;
        b->Unlock();
    }
    // Two fills set up alike, rendered into a GDI and a DirectDraw buffer
    // holding the same pixels, leave the same pixels.
    void ExpectSamePixels(FillObject* gdiFill, FillObject* dxFill) {
        const int W = 53, H = 37;
        CComPtr<IPixelBuffer> gdi = MakeBuffer(W, H, 0x00445566);
        CComPtr<IPixelBuffer> dx;
        dx.Attach(CreateDXBuffer(&owner, W, H));
        ASSERT_TRUE(dx != nullptr);
        Write(dx, W, H, 0x00445566);
        RECT bounds = {3, 2, 50, 35}, clip = {5, 4, 45, 30};
        ASSERT_EQ(S_OK, gdiFill->Render(&bounds, gdi, &clip, nullptr));
        ASSERT_EQ(S_OK, dxFill->Render(&bounds, dx, &clip, nullptr));
        std::vector<DWORD> a = Pixels(gdi), b = Read(dx, W, H);
        int differ = 0;
        for (size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
        EXPECT_EQ(0, differ);
    }
};

}  // namespace

TEST_F(FillDirectDraw, SamePixelsAsOnGdiBuffers) {
    struct Setup {
        const char* name;
        void (*apply)(FillObject*);
    } setups[] = {
        {"solid",
         [](FillObject* f) {
             void* p = nullptr;
             f->GetFillParams(&p);
             static_cast<ISolidFillParams*>(p)->SetColor(RGB(10, 200, 30));
         }},
        {"solid alpha", [](FillObject* f) { f->SetAlpha(100); }},
        {"pattern",
         [](FillObject* f) {
             f->SetMode(2);
             f->SetPatternColor(RGB(1, 2, 3));
             f->SetPattern(0x0100 | (9 << 3) | 2);
         }},
        {"texture", [](FillObject* f) { f->SetFillType(3); }},
    };
    std::vector<Setup> all(std::begin(setups), std::end(setups));
    for (int type = 0; type < 7; ++type) {
        SCOPED_TRACE(type);
        CComPtr<FillObject> gdiFill, dxFill;
        gdiFill.Attach(CreateFillObject());
        dxFill.Attach(CreateFillObject());
        for (FillObject* f : {gdiFill.p, dxFill.p}) {
            f->SetFillType(1);
            void* p = nullptr;
            f->GetFillParams(&p);
            auto* g = static_cast<IGradientFillParams*>(p);
            g->SetGradType(type);
            g->SetRepeat(2);
            g->SetColor1(RGB(250, 10, 90));
            g->SetColor2(RGB(0, 60, 200));
        }
        ExpectSamePixels(gdiFill, dxFill);
    }
    for (const Setup& s : all) {
        SCOPED_TRACE(s.name);
        CComPtr<FillObject> gdiFill, dxFill;
        gdiFill.Attach(CreateFillObject());
        dxFill.Attach(CreateFillObject());
        s.apply(gdiFill);
        s.apply(dxFill);
        ExpectSamePixels(gdiFill, dxFill);
    }
}
