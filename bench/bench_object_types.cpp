// Object types drawing against plain blits, in the same run:
// - the picture object drawing a 1024 x 768 picture at 1:1 and stretched to
//   1920 x 1080 (through its frame and render part), against the bare Blit of
//   the same buffers (goal 1.1);
// - a draw of a 200 x 60 ellipse button with caption, against a plain fill
//   and per-pixel alpha blit of that size (goal 30), and a draw that
//   composes the face anew (reported).
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "ObjectDoubles.h"
#include "PictureFixtures.h"
#include "ServiceFakes.h"
#include "aBtnObj.h"
#include "aGDIBuf.h"
#include "aPicObj.h"

namespace {

// Every embedded item is a PNG picture.
class BenchMedia : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char*, int* type, int* subtype) override {
        *type = 1000;
        *subtype = 1018;
        return S_OK;
    }
    STDMETHOD(GetDefaultExtension)(const char*, char* buffer, int) override {
        strcpy(buffer, ".png");
        return S_OK;
    }
};

std::string Png(int w, int h) {
    picfix::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colourType = 2;
    spec.compression = 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            spec.rows.push_back((uint8_t)x);
            spec.rows.push_back((uint8_t)y);
            spec.rows.push_back((uint8_t)(x ^ y));
        }
    picfix::Bytes png = picfix::WritePng(spec);
    return std::string(png.begin(), png.end());
}

void PictureRun(TestPlayerSite& site) {
    IUnknown* unknown = nullptr;
    if (FAILED(CreatePictureObject(&unknown)) || !unknown) {
        printf("picture object not made\n");
        return;
    }
    IObjectBase* base = nullptr;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    PictureObject* p = static_cast<PictureObject*>(base);
    base->SetEventSite(&site);
    std::string bytes = Png(1024, 768);
    if (FAILED(p->TakeData(bytes.data(), (DWORD)bytes.size(), "Photo")) || !p->PictureBuffer()) {
        printf("picture not loaded\n");
        return;
    }
    IPixelBuffer* target = CreateGDIBuffer(1920 + 8, 1080 + 8);
    const struct {
        const char* name;
        LONG width, height;
    } runs[] = {{"1:1", 1024, 768}, {"stretched to 1920 x 1080", 1920, 1080}};
    for (const auto& run : runs) {
        p->SetWidth(run.width + 2);
        p->SetHeight(run.height + 2);
        p->MoveTo(run.width / 2 + 3, run.height / 2 + 3);
        RECT bounds;
        p->GetBoundsRect(&bounds);
        RECT inner = bounds;
        InflateRect(&inner, -1, -1);
        RECT src = {0, 0, 1024, 768};
        double draw = BestOf([&] { p->Draw(target); }, 10);
        double blit = BestOf([&] { target->Blit(&inner, p->PictureBuffer(), &src, 0); }, 10);
        printf("picture %-26s draw %.3f ms, blit %.3f ms, ratio %.2f (goal 1.1)\n", run.name,
               draw * 1000, blit * 1000, draw / blit);
    }
    target->Release();
    base->Release();
    unknown->Release();
}

void ButtonRun(TestPlayerSite& site) {
    IUnknown* unknown = nullptr;
    if (FAILED(CreateButtonObject(&unknown)) || !unknown) {
        printf("button not made\n");
        return;
    }
    IObjectBase* base = nullptr;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    ButtonObject* b = static_cast<ButtonObject*>(base);
    base->SetEventSite(&site);
    b->SetMaxValue(0);
    b->put_ObjStyle(2);
    BSTR caption = SysAllocString(L"Start the show");
    b->put_ObjTextContent(caption);
    SysFreeString(caption);
    b->SetWidth(200);
    b->SetHeight(60);
    b->MoveTo(150, 100);
    IPixelBuffer* target = CreateGDIBuffer(400, 300);
    RECT bounds;
    b->GetBoundsRect(&bounds);
    const int n = 200;
    auto draws = [&] {
        return BestOf(
                   [&] {
                       for (int i = 0; i < n; ++i) b->DrawContent(target, &bounds);
                   },
                   5) /
               n;
    };
    const double draw = draws();
    const bool reuse = SetButtonFaceReuse(false);
    const double anew = draws();
    SetButtonFaceReuse(reuse);
    IPixelBuffer* plain = CreateGDIBuffer(200, 60);
    RECT tile = {0, 0, 200, 60};
    plain->EnablePixelAlpha(TRUE);
    const double blit = BestOf(
                            [&] {
                                for (int i = 0; i < n; ++i) {
                                    plain->FillRect(&tile, RGB(131, 152, 177));
                                    target->Blit(&bounds, plain, &tile, 0);
                                }
                            },
                            5) /
                        n;
    printf(
        "button 200 x 60 ellipse with caption, against a fill and per-pixel alpha blit of its "
        "size: %.1f us a draw (composed anew %.1f us), fill and blit %.1f us: now %.2f x, goal "
        "30 x\n",
        draw * 1e6, anew * 1e6, blit * 1e6, draw / blit);
    plain->Release();
    target->Release();
    base->Release();
    unknown->Release();
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    TestPlayerSite site;
    BenchMedia media;
    PictureCodecManager codecs;
    codecs.Init(nullptr);
    site.media = static_cast<IMediaManager*>(&media);
    site.codecs = &codecs;
    PictureRun(site);
    ButtonRun(site);
    CoUninitialize();
    return 0;
}
