// Grabbing a frame of a 640 x 480 32-bit AVI through MCI and through
// DirectShow, each against making a pixel buffer of a ready 32-bit DIB of
// that size (the step both grabs end with; goal: at most 2 times it); and
// moving one second of 44100 Hz 16-bit stereo capture into the recorder's
// memory, from the scripted capture device without pauses, against memcpy
// of as many bytes (reported).
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "AviWriter.h"
#include "BenchClock.h"
#include "ObjectDoubles.h"
#include "ScriptedCapture.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "aUtil.h"
#include "bRecorder.h"
#include "bVideoCtrl.h"

namespace {

const int kWidth = 640, kHeight = 480;

HGLOBAL ReadyDib() {
    const size_t bits = (size_t)kWidth * kHeight * 4;
    HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + bits);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = kWidth;
    h->biHeight = kHeight;
    h->biPlanes = 1;
    h->biBitCount = 32;
    h->biCompression = BI_RGB;
    memset(h + 1, 0x5A, bits);
    GlobalUnlock(dib);
    return dib;
}

double GrabSeconds(VideoControl* c) {
    return BestOf(
        [&] {
            IPixelBuffer* b = nullptr;
            if (SUCCEEDED(c->GrabFrame(&b)) && b)
                b->Release();
        },
        20);
}

void Report(const char* what, double seconds, double reference, double goal) {
    printf("%-44s %8.3f ms  reference %7.3f ms  ratio %5.2f", what, seconds * 1000,
           reference * 1000, seconds / reference);
    if (goal > 0)
        printf("  (goal: at most %.0f)", goal);
    printf("\n");
    fflush(stdout);
}

void VideoGrabs(const std::string& path) {
    TestPlayerSite site;
    HGLOBAL dib = ReadyDib();
    const double reference = BestOf(
        [&] {
            if (IPixelBuffer* b = CreateBitmapForTarget(dib, &site))
                b->Release();
        },
        20);
    GlobalFree(dib);
    HWND owner = CreateWindowA("STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 560,
                               nullptr, nullptr, nullptr, nullptr);
    for (int mci = 1; mci >= 0; --mci) {
        VideoControl* c = new VideoControl(&site);
        c->AddRef();
        c->put_UseMCI(mci);
        c->put_OwnerWindow(owner);
        c->put_WindowStyle(WS_CHILD);
        const char* what = mci ? "grab through MCI (AVIVideo)" : "grab through DirectShow";
        IPixelBuffer* first = nullptr;
        if (FAILED(c->Open(path.c_str(), 0)) || (!mci && FAILED(c->Pause())) ||
            FAILED(c->GrabFrame(&first))) {
            printf("%-44s (not measured: the video does not open or grab here)\n", what);
        } else {
            first->Release();
            Report(what, GrabSeconds(c), reference, 2);
        }
        c->Release();
    }
    DestroyWindow(owner);
}

void CaptureIntoMemory() {
    ScriptedCapture device;
    device.pauseMs = 0;
    ISoundRecorder* r = nullptr;
    CreateSoundRecorder(nullptr, nullptr, &r);
    CSoundRecorder* recorder = static_cast<CSoundRecorder*>(r);
    recorder->SelectInputFormat(15);
    const DWORD second = 176400;
    const double seconds = BestOf(
        [&] {
            recorder->StartRecordInMem(60000);
            while (recorder->RecordedBytes() < second) Sleep(0);
            recorder->Stop();
        },
        5);
    std::vector<char> from(second, 1), to(second);
    const double copy = BestOf([&] { memcpy(to.data(), from.data(), second); }, 50);
    Report("one second of 44100/16/2 capture into memory", seconds, copy, 0);
    r->Release();
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    TempFolder folder;
    AviSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.frames = 3;
    const std::string path = folder.File("large.avi");
    WriteFileBytes(path, AviFile(spec));
    VideoGrabs(path);
    CaptureIntoMemory();
    CoUninitialize();
    return 0;
}
