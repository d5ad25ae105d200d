// Seeded random blits, in the manner of pixman's own checks: random buffer
// sizes and pitches, pixel values, switches and rectangles (reversed, off
// either buffer, stretched or not). The engine's Blit must give the same
// bytes as the plain reference of BlitReference.h, on the vector path and
// on the plain path, and must never touch memory outside the buffers: the
// pixels sit against inaccessible pages, and the padding between rows and
// before the first row holds a canary that must survive.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <vector>

#include "BlitReference.h"
#include "PixelTestUtil.h"
#include "aGDIBuf.h"
#include "aKernels.h"

namespace {

const DWORD kCanary = 0x00ABCDEF;  // alpha 0: read as a neighbour it would show

// Pixel memory whose last byte touches an inaccessible page, with another
// inaccessible page before the block.
class GuardedPixels {
public:
    GuardedPixels(int width, int height, int pitch)
        : width_(width), height_(height), pitch_(pitch) {
        const size_t bytes = (size_t)pitch * (height - 1) + (size_t)width * 4;
        const size_t page = 4096;
        const size_t dataPages = (bytes + page - 1) / page;
        total_ = (dataPages + 2) * page;
        region_ = static_cast<BYTE*>(
            VirtualAlloc(nullptr, total_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(region_, page, PAGE_NOACCESS, &old);
        VirtualProtect(region_ + (dataPages + 1) * page, page, PAGE_NOACCESS, &old);
        start_ = region_ + page;
        end_ = region_ + (dataPages + 1) * page;
        pixels_ = end_ - bytes;
        for (DWORD* p = reinterpret_cast<DWORD*>(start_); p < reinterpret_cast<DWORD*>(end_); ++p)
            *p = kCanary;
    }
    ~GuardedPixels() { VirtualFree(region_, 0, MEM_RELEASE); }
    GuardedPixels(const GuardedPixels&) = delete;
    GuardedPixels& operator=(const GuardedPixels&) = delete;

    BYTE* pixels() const { return pixels_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }
    // Everything between the guard pages: the pixels, row padding, slack.
    std::vector<BYTE> Snapshot() const { return std::vector<BYTE>(start_, end_); }
    // The same layout over a copy of the bytes.
    ref::Image ImageIn(std::vector<BYTE>& copy) const {
        return ref::Image{copy.data() + (pixels_ - start_), width_, height_, pitch_};
    }
    ref::Image Image() const { return ref::Image{pixels_, width_, height_, pitch_}; }

private:
    int width_, height_, pitch_;
    size_t total_;
    BYTE* region_;
    BYTE* start_;
    BYTE* end_;
    BYTE* pixels_;
};

// A CGDIBuffer whose information points at the given pixel memory.
CComPtr<IPixelBuffer> WrapPixels(const GuardedPixels& px, int offsetX, int offsetY) {
    CComPtr<IPixelBuffer> buffer;
    EXPECT_EQ(S_OK, ComCreateInstance<CGDIBuffer>(__uuidof(IPixelBuffer),
                                                  reinterpret_cast<void**>(&buffer)));
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_GEOMETRY | BIM_OFFSET;
    info.nWidth = px.width();
    info.nHeight = px.height();
    info.nPitch = px.pitch();
    info.pPixels = px.pixels();
    info.nOffsetX = offsetX;
    info.nOffsetY = offsetY;
    buffer->SetBufferInfo(&info);
    return buffer;
}

class Rng {
public:
    explicit Rng(uint32_t seed) : gen_(seed) {}
    // Round `round` of the run seeded `seed`: each round draws from its own
    // sequence, so one failing round reruns alone.
    Rng(uint32_t seed, int round) : gen_(Mix(seed, round)) {}
    int In(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
    bool Chance(int percent) { return In(0, 99) < percent; }
    uint32_t Bits() { return gen_(); }

private:
    static std::mt19937 Mix(uint32_t seed, int round) {
        std::seed_seq seq{seed, (uint32_t)round};
        return std::mt19937(seq);
    }
    std::mt19937 gen_;
};

// Pixel values that reach every branch: alpha 0, 255 and in between, and
// colours in and around the key range.
DWORD RandomPixel(Rng& rng, DWORD keyLow, DWORD keyHigh) {
    DWORD colour = rng.Bits() & 0x00FFFFFF;
    const int pick = rng.In(0, 9);
    if (pick < 2)
        colour = keyLow & 0x00FFFFFF;
    else if (pick < 4)
        colour = keyHigh & 0x00FFFFFF;
    else if (pick == 4)
        colour = 0x00FFFFFF;
    DWORD alpha;
    const int a = rng.In(0, 9);
    if (a < 2)
        alpha = 0;
    else if (a < 5)
        alpha = 255;
    else
        alpha = (DWORD)rng.In(1, 254);
    return colour | (alpha << 24);
}

int RandomSize(Rng& rng) {
    return rng.Chance(15) ? rng.In(1, 3) : rng.Chance(20) ? rng.In(30, 70) : rng.In(1, 24);
}

// A rectangle of w x h that mostly overlaps a buffer of width x height and
// sometimes hangs off any side.
RECT RandomRect(Rng& rng, int width, int height, int w, int h) {
    RECT r;
    r.left = rng.In(-w / 2 - 3, width - w / 2 + 3);
    r.top = rng.In(-h / 2 - 3, height - h / 2 + 3);
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}

// A destination extent for a source extent n: equal, double, half or any.
int RelatedExtent(Rng& rng, int n, int limit) {
    switch (rng.In(0, 4)) {
        case 0:
        case 4:
            return n;
        case 1:
            return 2 * n;
        case 2:
            return n > 1 ? n / 2 : 1;
        default:
            return rng.In(1, limit);
    }
}

// Rounds first .. first + rounds - 1 of the run seeded `seed`; a failure
// names its round, and RunRandomBlits(seed, round, 1) repeats it alone.
void RunRandomBlits(uint32_t seed, int first, int rounds) {
    for (int round = first; round < first + rounds; ++round) {
        Rng rng(seed, round);
        const int sw = RandomSize(rng), sh = RandomSize(rng), dw = RandomSize(rng),
                  dh = RandomSize(rng);
        GuardedPixels src(sw, sh, sw * 4 + 4 * (rng.Chance(50) ? 0 : rng.In(1, 3)));
        GuardedPixels dst(dw, dh, dw * 4 + 4 * (rng.Chance(50) ? 0 : rng.In(1, 3)));

        ref::Source rs;
        rs.image = src.Image();
        rs.offsetX = rng.Chance(70) ? 0 : rng.In(-5, 5);
        rs.offsetY = rng.Chance(70) ? 0 : rng.In(-5, 5);
        rs.colorKey = rng.Chance(35);
        rs.constAlpha = rng.Chance(35);
        rs.pixelAlpha = rng.Chance(45);
        static const int kAlphas[] = {0, 1, 2, 127, 128, 200, 254, 255};
        rs.alpha = rng.Chance(50) ? kAlphas[rng.In(0, 7)] : rng.In(0, 255);
        for (int n = 0; n < 3; ++n) {
            int lo = rng.In(0, 255), hi = rng.In(0, 255);
            if (lo > hi && rng.Chance(80))
                std::swap(lo, hi);
            rs.keyLow |= (uint32_t)lo << (8 * n);
            rs.keyHigh |= (uint32_t)hi << (8 * n);
        }
        rs.keyLow |= rng.Bits() & 0xFF000000;  // the top byte plays no part
        const int dox = rng.Chance(70) ? 0 : rng.In(-5, 5),
                  doy = rng.Chance(70) ? 0 : rng.In(-5, 5);

        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x)
                rs.image.Set(x, y, RandomPixel(rng, rs.keyLow, rs.keyHigh));
        ref::Image di = dst.Image();
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x) di.Set(x, y, RandomPixel(rng, rs.keyLow, rs.keyHigh));

        CComPtr<IPixelBuffer> source = WrapPixels(src, rs.offsetX, rs.offsetY);
        CComPtr<IPixelBuffer> target = WrapPixels(dst, dox, doy);
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_CONSTALPHA | BIM_COLORKEY;
        info.bConstAlpha = (BYTE)rs.alpha;
        info.dwKeyLow = rs.keyLow;
        info.dwKeyHigh = rs.keyHigh;
        source->SetBufferInfo(&info);
        source->EnableColorKey(rs.colorKey);
        source->EnableConstAlpha(rs.constAlpha);
        source->EnablePixelAlpha(rs.pixelAlpha);

        for (int blit = 0; blit < 8; ++blit) {
            // Each axis the same size, a simple ratio, or anything; sometimes
            // reversed, now and then empty.
            const int w = rng.Chance(3) ? 0 : rng.In(1, sw + 3),
                      h = rng.Chance(3) ? 0 : rng.In(1, sh + 3);
            RECT s = RandomRect(rng, sw, sh, w, h);
            RECT d = RandomRect(rng, dw, dh, RelatedExtent(rng, w, dw + 8),
                                RelatedExtent(rng, h, dh + 8));
            if (rng.Chance(25))
                std::swap(s.left, s.right);
            if (rng.Chance(25))
                std::swap(s.top, s.bottom);
            if (rng.Chance(3))
                std::swap(d.left, d.right);

            std::vector<BYTE> expected = dst.Snapshot();
            ref::Image expectedImage = dst.ImageIn(expected);
            const int code = ref::Blit(expectedImage, dox, doy, d, rs, s);
            const HRESULT hr = target->Blit(&d, source, &s, 0);
            ASSERT_EQ(S_OK, hr) << "seed " << seed << " round " << round << " blit " << blit;
            const std::vector<BYTE> actual = dst.Snapshot();
            if (actual != expected) {
                size_t at = 0;
                while (actual[at] == expected[at]) ++at;
                FAIL() << "seed " << seed << " round " << round << " blit " << blit << " code "
                       << code << " src " << sw << "x" << sh << " (" << s.left << "," << s.top
                       << ")-(" << s.right << "," << s.bottom << ") dst " << dw << "x" << dh << " ("
                       << d.left << "," << d.top << ")-(" << d.right << "," << d.bottom
                       << ") first difference at byte " << at;
            }
        }
    }
}

class BlitRandom : public pixtest::KernelPathTest {};

TEST_P(BlitRandom, AgreesWithPlainReferenceByteForByte) {
    for (uint32_t seed : {1u, 2u, 3u, 20240601u}) RunRandomBlits(seed, 0, 1500);
}

INSTANTIATE_KERNEL_PATHS(BlitRandom);

// Per-pixel alpha in runs, as in cut-out pictures: long stretches of alpha 0
// and 255 (which the vector kernels skip or copy whole), stretches whose
// alphas all lie below 128 or all at or above it without being 0 or 255
// (which look like such runs at first sight), and mixed ones, over rows of
// every length from 1 to 80 starting at any pixel, mirrored or not.
class BlitAlphaRuns : public pixtest::KernelPathTest {};

TEST_P(BlitAlphaRuns, AgreeWithPlainReferenceByteForByte) {
    Rng rng(4242);
    const int sw = 90, sh = 6, dw = 96, dh = 8;
    GuardedPixels src(sw, sh, sw * 4), dst(dw, dh, dw * 4 + 4);
    ref::Image si = src.Image(), di = dst.Image();
    for (int y = 0; y < sh; ++y) {
        int x = 0;
        while (x < sw) {
            const int kind = rng.In(0, 5), length = rng.In(1, 40);
            for (int i = 0; i < length && x < sw; ++i, ++x) {
                int a;
                switch (kind) {
                    case 0:
                        a = 0;
                        break;
                    case 1:
                        a = 255;
                        break;
                    case 2:
                        a = rng.In(0, 127);
                        break;
                    case 3:
                        a = rng.In(128, 255);
                        break;
                    case 4:
                        a = rng.Chance(50) ? 0 : 255;
                        break;
                    default:
                        a = rng.In(0, 255);
                        break;
                }
                si.Set(x, y, (rng.Bits() & 0x00FFFFFF) | ((uint32_t)a << 24));
            }
        }
    }
    ref::Source rs;
    rs.image = si;
    rs.pixelAlpha = true;
    CComPtr<IPixelBuffer> source = WrapPixels(src, 0, 0), target = WrapPixels(dst, 0, 0);
    source->EnablePixelAlpha(TRUE);
    for (int width = 1; width <= 80; ++width) {
        for (int blit = 0; blit < 4; ++blit) {
            for (int y = 0; y < dh; ++y)
                for (int x = 0; x < dw; ++x) di.Set(x, y, rng.Bits());
            const int sx = rng.In(0, sw - width), dx = rng.In(0, dw - width), rows = rng.In(1, sh);
            const int sy = rng.In(0, sh - rows), dy = rng.In(0, dh - rows);
            RECT s = {sx, sy, sx + width, sy + rows}, d = {dx, dy, dx + width, dy + rows};
            if (blit & 1)
                std::swap(s.left, s.right);
            if (blit & 2)
                std::swap(s.top, s.bottom);
            std::vector<BYTE> expected = dst.Snapshot();
            ref::Image expectedImage = dst.ImageIn(expected);
            const int code = ref::Blit(expectedImage, 0, 0, d, rs, s);
            ASSERT_EQ(S_OK, target->Blit(&d, source, &s, 0));
            ASSERT_TRUE(dst.Snapshot() == expected)
                << "width " << width << " code " << code << " from " << sx << "," << sy << " to "
                << dx << "," << dy << " rows " << rows;
        }
    }
}

INSTANTIATE_KERNEL_PATHS(BlitAlphaRuns);

// Large rows run the vector loops at length; an odd width leaves tails.
TEST(BlitRandomWide, VectorAndPlainAgreeOnLargeStretches) {
    Rng rng(77);
    const int sw = 203, sh = 61, dw = 389, dh = 117;
    GuardedPixels src(sw, sh, sw * 4 + 12), dst(dw, dh, dw * 4);
    ref::Image si = src.Image(), di = dst.Image();
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) si.Set(x, y, RandomPixel(rng, 0x101010, 0x303030));
    std::vector<BYTE> start;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) di.Set(x, y, RandomPixel(rng, 0, 0));
    start = dst.Snapshot();
    for (int family = 0; family < 8; ++family) {
        for (int low : {0, 3, 4, 8, 12, 13, 14, 15, 5, 10}) {
            BlitKernelArgs a = {};
            a.src = src.pixels() + 3 * src.pitch() + 4 * 5;
            a.ws = low & 4 ? 150 : 200 - 5;
            a.hs = low & 8 ? 40 : 58;
            a.wd = low & 4 ? 380 : a.ws;
            a.hd = low & 8 ? 110 : a.hs;
            a.dst = dst.pixels() + 2 * dst.pitch() + 4 * 3;
            a.ps = src.pitch();
            a.pd = dst.pitch();
            a.srcSpanX = sw - 5;
            a.srcSpanY = sh - 3;
            a.keyLow = 0x101010;
            a.keyHigh = 0x303030;
            a.alpha = 99;
            const int kernel = BlitKernelIndex((UINT)(family << 5 | low));
            ASSERT_GE(kernel, 0);
            std::vector<BYTE> copy = start;
            ref::Image ci = dst.ImageIn(copy);
            // The plain result first, then each vector form from the same start.
            memcpy(dst.pixels(), ci.base, (size_t)dst.pitch() * (dh - 1) + dw * 4);
            SetBlitKernelVector(false);
            RunBlitKernel(kernel, a);
            const std::vector<BYTE> plain = dst.Snapshot();
            for (bool avx2 : {false, true}) {
                memcpy(dst.pixels(), ci.base, (size_t)dst.pitch() * (dh - 1) + dw * 4);
                SetBlitKernelVector(true);
                const bool old = SetBlitKernelAvx2(avx2);
                RunBlitKernel(kernel, a);
                SetBlitKernelAvx2(old);
                EXPECT_TRUE(plain == dst.Snapshot())
                    << "kernel " << kernel << (avx2 ? " AVX2" : " SSE2");
            }
            EXPECT_TRUE(plain != start) << "kernel " << kernel << " drew nothing";
        }
    }
}

}  // namespace
