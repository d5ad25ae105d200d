// A page on screen: a full 1024 x 768 redraw of the back buffer from the
// background snapshot through the document, and a 1920 x 1080 transition
// frame composed through a fake move plug-in (the page slides in from the
// left). Each in ms and as the ratio to memcpy of the bytes it copies.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "FakeMove.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aEffectRender.h"
#include "aExtMgr.h"
#include "aFrameCompose.h"
#include "aGDIBuf.h"
#include "aPlayerDoc.h"
#include "aTransition.h"

namespace {

template <class F>
double BestMs(F op, int runs) {
    return FastestRun(op, runs) * 1000;
}

double MemcpyMs(size_t bytes) {
    std::vector<char> a(bytes, 1), b(bytes, 2);
    return BestMs([&] { memcpy(b.data(), a.data(), bytes); }, 30);
}

CComPtr<IPixelBuffer> Bitmap(int w, int h, DWORD seed) {
    CComPtr<IPixelBuffer> b;
    ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer), (void**)&b);
    b->Create(w, h);
    b->FillRect(nullptr, seed);
    return b;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    // The redraw: a work whose first page lies on a green 800 x 600
    // background, in a 1024 x 768 window.
    TempFolder folder;
    WorkSpec work;
    work.prjInfo.backgroundColor = 0x00402010;
    work.pages = {{"A", "", "Bkg", "", "", ""}};
    PutGreenBackground(work);
    std::string path = folder.File("bench.mrt");
    if (FAILED(WriteWork(path, work)))
        return 1;
    CExtensionManager registry;
    CPlayerDoc* doc = new CPlayerDoc(&registry, nullptr);
    if (FAILED(doc->Open(path.c_str()))) {
        printf("open failed\n");
        return 1;
    }
    RECT logical = {-112, -84, 912, 684};
    doc->CreateBackBuffer(&logical);
    doc->RedrawRegion(&logical);  // makes the snapshot
    const double redraw = BestMs([&] { doc->RedrawRegion(&logical); }, 50);
    const double redrawRef = MemcpyMs((size_t)1024 * 768 * 4);
    printf("full 1024 x 768 redraw from the snapshot: %.3f ms, memcpy %.3f ms, ratio %.2f\n",
           redraw, redrawRef, redraw / redrawRef);
    delete doc;

    // The frame: at progress 0.5 half the fill and half the page are copied.
    const int W = 1920, H = 1080;
    CComPtr<IPixelBuffer> back = Bitmap(W, H, 0), fill = Bitmap(W, H, 0x402010),
                          page = Bitmap(W, H, 0x00FF00);
    CComPtr<IEffectRender> effect;
    CreateEffectRender(&effect, nullptr);
    CComPtr<ITransitionMove> move;
    ComCreateInstance<FakeMove>(__uuidof(ITransitionMove), (void**)&move);
    effect->SetMove(move);
    effect->SetDuration(1000);
    CComPtr<IRenderClockClient> client;
    effect->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
    CRenderClock* clock = static_cast<CRenderClock*>(client->GetClock());
    clock->Start();
    clock->Advance(500);
    const double frame = BestMs([&] { ComposeTransitionFrame(back, fill, page, effect); }, 30);
    const double frameRef = MemcpyMs((size_t)W * H * 4);
    printf(
        "1920 x 1080 frame with a move at 0.5, against memcpy: %.3f ms, memcpy %.3f ms: now %.2f "
        "x, goal 1.5 x\n",
        frame, frameRef, frame / frameRef);
    CoUninitialize();
    return 0;
}
