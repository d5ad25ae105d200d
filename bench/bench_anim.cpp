// Animation speed. A 640 x 480 FLC (byte-run first frame, 60 word-delta
// frames each changing a quarter of the lines): the animation control's
// GrabFrame per step against CreateBitmapForTarget of a ready 32-bit DIB of
// the size (goal 1.5), and decoding alone against a memcpy of the 8-bit
// frame (reported). A 60-frame 640 x 480 GIF: Load against the still codec
// decoding the same images as single-image files (goal 1.3), and
// GetFrame(n + 1) after n against a new buffer filled with one frame's
// pixels (goal 1.5), with the step at frame 59 against the step at frame 1
// (goal 1.2).
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "FlicWriter.h"
#include "PictureFixtures.h"
#include "aGDIBuf.h"
#include "aUtil.h"
#include "bAnimCtrl.h"
#include "bDib.h"
#include "bFlic.h"
#include "bGifAnim.h"
#include "bPicBase.h"

namespace {

const int kW = 640, kH = 480, kFrames = 60;

void Report(const char* name, double t, double ref, const char* goal) {
    printf("%-40s %8.3f ms  reference %8.3f ms  ratio %5.2f%s%s\n", name, t * 1e3, ref * 1e3,
           t / ref, goal ? "  goal <= " : "", goal ? goal : "");
}

flicfix::Bytes MakeFlic() {
    flicfix::FlicSpec s;
    s.width = kW;
    s.height = kH;
    s.speed = 40;
    flicfix::Pixels p((size_t)kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) p[(size_t)y * kW + x] = (uint8_t)((x / 8 + y / 6) * 3);
    flicfix::PalettePacket all;
    for (int i = 0; i < 256; ++i)
        all.rgb.insert(all.rgb.end(), {(uint8_t)i, (uint8_t)(i * 3), (uint8_t)(255 - i)});
    flicfix::Frame first;
    first.chunks = {flicfix::PaletteChunk({all}, false), flicfix::ByteRunChunk(p, kW, kH)};
    s.frames.push_back(first);
    for (int k = 1; k <= kFrames; ++k) {
        flicfix::Pixels next = p;
        // A quarter of the lines, a different quarter each frame.
        for (int y = k % 4; y < kH; y += 4)
            for (int x = 0; x < kW; ++x)
                next[(size_t)y * kW + x] = (uint8_t)(next[(size_t)y * kW + x] + 1 + (x + k) % 5);
        flicfix::Frame f;
        f.chunks = {flicfix::WordDeltaChunk(p, next, kW, kH)};
        s.frames.push_back(f);
        p = next;
    }
    return flicfix::WriteFlic(s);
}

picfix::GifFrameSpec GifImage(int k, int left, int top, int w, int h) {
    picfix::GifFrameSpec f;
    f.left = left;
    f.top = top;
    f.width = w;
    f.height = h;
    f.control = true;
    f.delay = 4;
    picfix::Rng rng(k + 1);
    f.indexes.resize((size_t)w * h);
    for (size_t i = 0; i < f.indexes.size(); ++i)
        f.indexes[i] = (i && rng.Below(4)) ? f.indexes[i - 1] : (uint8_t)rng.Below(256);
    return f;
}

class BenchSite : public IPictureCodecSite {
public:
    BenchSite() { manager.Init(nullptr); }
    STDMETHOD(GetCodecManager)(PictureCodecManager** out) override {
        *out = &manager;
        return S_OK;
    }
    PictureCodecManager manager;
};

void BenchFlic() {
    const flicfix::Bytes file = MakeFlic();
    CAnimCtrl* control = new CAnimCtrl(nullptr);
    control->AddRef();
    control->put_Kind(ANIM_FLIC);
    if (control->Open(file.data(), (DWORD)file.size()) != S_OK) {
        fprintf(stderr, "FLC open failed\n");
        exit(1);
    }
    const int steps = kFrames - 1;  // the last frame is the ring frame
    auto grabAll = [&] {
        for (int i = 0; i < steps; ++i) {
            control->put_CurPos(i);
            IPixelBuffer* b = nullptr;
            if (control->GrabFrame(&b) != S_OK) {
                fprintf(stderr, "GrabFrame failed\n");
                exit(1);
            }
            b->Release();
        }
    };
    const double grab = BestOf(grabAll, 5) / steps;

    HGLOBAL ready = DibAlloc32(kW, kH, true);
    const double bitmap = BestOf(
        [&] {
            IPixelBuffer* b = CreateBitmapForTarget(ready, nullptr);
            b->Release();
        },
        20);
    GlobalFree(ready);
    Report("FLC GrabFrame per step", grab, bitmap, "1.5");

    FlicReader reader;
    reader.Load(file.data(), (DWORD)file.size());
    const double decode = BestOf(
                              [&] {
                                  reader.Rewind();
                                  for (int i = 1; i < steps; ++i) reader.GotoFrame(i);
                              },
                              5) /
                          (steps - 1);
    std::vector<uint8_t> a((size_t)kW * kH, 1), b((size_t)kW * kH);
    const double copy = BestOf(
        [&] {
            memcpy(b.data(), a.data(), a.size());
            a[b[7]] ^= 1;
        },
        50);
    Report("FLC decoding per step (reported)", decode, copy, nullptr);
    control->Release();
}

void BenchGif() {
    picfix::GifAnimSpec s;
    s.width = kW;
    s.height = kH;
    for (int i = 0; i < 256; ++i)
        s.palette.insert(s.palette.end(), {(uint8_t)i, (uint8_t)(i * 5), (uint8_t)(i * 7)});
    std::vector<picfix::Bytes> singles;
    for (int k = 0; k < kFrames; ++k) {
        // The first frame fills the screen, the others a quarter of it.
        picfix::GifFrameSpec f =
            k == 0 ? GifImage(k, 0, 0, kW, kH)
                   : GifImage(k, (k % 2) * kW / 2, (k / 2 % 2) * kH / 2, kW / 2, kH / 2);
        s.frames.push_back(f);
        picfix::GifAnimSpec one;
        one.width = f.width;
        one.height = f.height;
        one.palette = s.palette;
        picfix::GifFrameSpec alone = f;
        alone.left = alone.top = 0;
        one.frames.push_back(alone);
        singles.push_back(picfix::WriteGifAnimation(one));
    }
    const picfix::Bytes file = picfix::WriteGifAnimation(s);

    const double load = BestOf(
        [&] {
            GifAnimation gif(nullptr);
            if (!gif.Load(file.data(), (DWORD)file.size(), nullptr, 1)) {
                fprintf(stderr, "GIF load failed\n");
                exit(1);
            }
        },
        3);
    BenchSite site;
    const double codec = BestOf(
        [&] {
            for (const picfix::Bytes& one : singles) {
                PicBase* pic = nullptr;
                CreatePicBaseInterface(&pic, &site);
                if (FAILED(pic->DecodeMemory(one.data(), (DWORD)one.size(), 2))) {
                    fprintf(stderr, "GIF codec failed\n");
                    exit(1);
                }
                pic->Release();
            }
        },
        3);
    Report("GIF Load of 60 frames", load, codec, "1.3");

    GifAnimation gif(nullptr);
    gif.Load(file.data(), (DWORD)file.size(), nullptr, 1);
    gif.CreateCache();
    // Each run times only the step from n - 1 to n.
    auto stepTime = [&](int n) {
        double best = 1e30;
        for (int r = 0; r < 10; ++r) {
            IPixelBuffer* prev = gif.GetFrame(n - 1);
            prev->Release();
            const double t0 = Now();
            IPixelBuffer* b = gif.GetFrame(n);
            const double t = Now() - t0;
            b->Release();
            if (t < best)
                best = t;
        }
        return best;
    };
    std::vector<DWORD> pixels((size_t)kW * kH, 0x00112233);
    const double buffer = BestOf(
        [&] {
            IPixelBuffer* b = CreateGDIBuffer(kW, kH);
            b->Lock(PIXLOCK_WRITE);
            BufferInfo info = ReadBufferInfo(b, BIM_GEOMETRY);
            for (int y = 0; y < kH; ++y)
                memcpy(info.pPixels + (size_t)y * info.nPitch, pixels.data() + (size_t)y * kW,
                       (size_t)kW * 4);
            b->Unlock();
            b->Release();
        },
        20);
    const double first = stepTime(1), last = stepTime(kFrames - 1);
    Report("GIF GetFrame(n + 1) after n, n = 0", first, buffer, "1.5");
    Report("GIF GetFrame(n + 1) after n, n = 58", last, buffer, "1.5");
    Report("GIF step at frame 59 against frame 1", last, first, "1.2");
}

}  // namespace

int main() {
    BenchFlic();
    BenchGif();
    return 0;
}
