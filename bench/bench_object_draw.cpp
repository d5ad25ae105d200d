// Object drawing against plain blits: 200 solid-colour objects of 128 x 128
// drawn through the render part into a 1920 x 1080 GDI buffer, at alpha 255
// and 128, each against blitting the same rectangles from a ready 128 x 128
// buffer (plain, and with constant alpha 128) in the same run. The ratio is
// draw time / blit time: the goals are 1.2 at 255 and 2 at 128.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include <vector>

#include "ObjectDoubles.h"
#include "SolidObject.h"
#include "aGDIBuf.h"

namespace {

const int kObjects = 200, kSide = 128, kWidth = 1920, kHeight = 1080;

}  // namespace

int main() {
    CoInitialize(nullptr);
    TestPlayerSite site;
    TestObjectSite objectSite(&site);
    IPixelBuffer* target = CreateGDIBuffer(kWidth, kHeight);
    IPixelBuffer* source = CreateGDIBuffer(kSide, kSide);
    if (!target || !source) {
        printf("buffers not made\n");
        return 1;
    }
    RECT tile = {0, 0, kSide, kSide};
    source->FillRect(&tile, RGB(200, 120, 40));
    std::vector<CComObject<SolidObject>*> objects;
    std::vector<RECT> rects;
    for (int i = 0; i < kObjects; ++i) {
        CComObject<SolidObject>* obj = nullptr;
        CComObject<SolidObject>::CreateInstance(&obj);
        obj->AddRef();
        obj->color = RGB(200, 120, 40);
        int x = (i * 173) % (kWidth - kSide), y = (i * 97) % (kHeight - kSide);
        obj->SetWidth(kSide);
        obj->SetHeight(kSide);
        obj->MoveTo(x + kSide / 2, y + kSide / 2);
        RECT r;
        obj->GetBoundsRect(&r);
        rects.push_back(r);
        objects.push_back(obj);
    }
    for (int alpha : {255, 128}) {
        for (auto* obj : objects) obj->SetAlpha(alpha);
        double draw = BestOf(
            [&] {
                for (auto* obj : objects) obj->Draw(target);
            },
            15);
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_CONSTALPHA;
        info.bConstAlpha = (BYTE)alpha;
        source->SetBufferInfo(&info);
        source->EnableConstAlpha(alpha != 255);
        double blit = BestOf(
            [&] {
                for (const RECT& r : rects) target->Blit(&r, source, &tile, 0);
            },
            15);
        printf("alpha %3d: draw %.3f ms, blit %.3f ms, ratio %.2f (goal %.1f)\n", alpha,
               draw * 1000, blit * 1000, draw / blit, alpha == 255 ? 1.2 : 2.0);
        if (alpha != 255) {
            // Where the time goes: the per-pixel alpha blit alone, from a
            // buffer whose top bytes already hold the alpha.
            source->EnableConstAlpha(FALSE);
            BufferInfo pixels = {};
            pixels.dwSize = sizeof(pixels);
            pixels.wMask = BIM_ALL;
            source->GetBufferInfo(&pixels);
            for (int y = 0; y < kSide; ++y) {
                DWORD* row =
                    reinterpret_cast<DWORD*>(pixels.pPixels + (ptrdiff_t)y * pixels.nPitch);
                for (int x = 0; x < kSide; ++x)
                    row[x] = (row[x] & 0x00FFFFFF) | ((DWORD)alpha << 24);
            }
            source->EnablePixelAlpha(TRUE);
            double perPixel = BestOf(
                [&] {
                    for (const RECT& r : rects) target->Blit(&r, source, &tile, 0);
                },
                15);
            source->EnablePixelAlpha(FALSE);
            printf("           per-pixel alpha blit alone %.3f ms, ratio %.2f to the blit\n",
                   perPixel * 1000, perPixel / blit);
        }
    }
    for (auto* obj : objects) obj->Release();
    source->Release();
    target->Release();
    CoUninitialize();
    return 0;
}
