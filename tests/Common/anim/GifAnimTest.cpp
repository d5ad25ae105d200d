// Animated GIF: frames at their places with local tables, transparency,
// disposal, the composition cache, and damaged files.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "PictureFixtures.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "bComBase.h"
#include "bGifAnim.h"

using picfix::Bytes;
using picfix::GifAnimSpec;
using picfix::GifFrameSpec;

namespace {

const DWORD kOpaque = 0xFF000000u;

// Global entry i is (i, 2i, 255 - i).
DWORD Global(int i) {
    return ((DWORD)i << 16) | ((DWORD)(2 * i & 0xFF) << 8) | (DWORD)(255 - i);
}

GifAnimSpec Screen(int width, int height, int background = 0) {
    GifAnimSpec s;
    s.width = width;
    s.height = height;
    s.background = background;
    for (int i = 0; i < 256; ++i)
        s.palette.insert(s.palette.end(), {(uint8_t)i, (uint8_t)(2 * i), (uint8_t)(255 - i)});
    return s;
}

GifFrameSpec Block(int left, int top, int width, int height, uint8_t index) {
    GifFrameSpec f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.indexes.assign((size_t)width * height, index);
    return f;
}

// Every pixel of the buffer with its alpha byte, top row first.
std::vector<DWORD> Read(IPixelBuffer* b) {
    std::vector<DWORD> out;
    if (!b || FAILED(b->Lock(PIXLOCK_READ)))
        return out;
    BufferInfo info = ReadBufferInfo(b, BIM_GEOMETRY);
    for (int y = 0; y < info.nHeight; ++y)
        for (int x = 0; x < info.nWidth; ++x)
            out.push_back(reinterpret_cast<DWORD*>(info.pPixels + (size_t)y * info.nPitch)[x]);
    b->Unlock();
    return out;
}

bool PixelAlpha(IPixelBuffer* b) {
    BufferInfo info = ReadBufferInfo(b, BIM_FLAGS);
    return ((info.wMask | ((DWORD)info.wReserved << 16)) & BUFFLAG_PIXELALPHA) != 0;
}

struct Loaded {
    explicit Loaded(const Bytes& b) : bytes(b), gif(nullptr) {
        first = gif.Load(bytes.data(), (DWORD)bytes.size(), &header, 1);
        if (first)
            gif.CreateCache();
    }
    std::vector<DWORD> Frame(LONGLONG n, bool* alpha = nullptr) {
        CComPtr<IPixelBuffer> b;
        b.Attach(gif.GetFrame(n));
        EXPECT_TRUE(b != nullptr);
        if (alpha && b)
            *alpha = PixelAlpha(b);
        return Read(b);
    }
    Bytes bytes;
    GifAnimation gif;
    GifHeader header;
    const BITMAPINFOHEADER* first;
};

// A w x h picture of `fill` with the block [x0, x1) x [y0, y1) of `v`.
std::vector<DWORD> Picture(int w, int h, DWORD fill, int x0 = 0, int y0 = 0, int x1 = 0, int y1 = 0,
                           DWORD v = 0) {
    std::vector<DWORD> p((size_t)w * h, fill);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) p[(size_t)y * w + x] = v;
    return p;
}

}  // namespace

TEST(GifAnim, TwelveFramesWithDelaysAndPlaces) {
    GifAnimSpec s = Screen(24, 12, 3);
    for (int k = 0; k < 12; ++k) {
        GifFrameSpec f = Block(2 * k, k, 2, 1, (uint8_t)(10 + k));
        f.control = true;
        f.delay = k + 1;
        s.frames.push_back(f);
    }
    Loaded l(WriteGifAnimation(s));
    ASSERT_TRUE(l.first);
    EXPECT_EQ(l.gif.GetFrameCount(), 12);
    int w = 0, h = 0;
    l.gif.GetSize(&w, &h);
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 12);
    DWORD ms = 0;
    EXPECT_EQ(l.gif.GetFrameDelay(&ms, 6), 1);
    EXPECT_EQ(ms, 70u);
    // Frame 11 holds all twelve blocks over the background (alpha 0).
    std::vector<DWORD> want((size_t)24 * 12, Global(3));
    for (int k = 0; k < 12; ++k)
        for (int x = 2 * k; x < 2 * k + 2; ++x) want[(size_t)k * 24 + x] = kOpaque | Global(10 + k);
    EXPECT_EQ(l.Frame(11), want);
    EXPECT_EQ(l.gif.CachedFrame(), 11);
    // Beyond the end is the last frame; backwards recomposes from frame 0.
    EXPECT_EQ(l.Frame(40), want);
    std::vector<DWORD> two = l.Frame(1);
    EXPECT_EQ(two[0], kOpaque | Global(10));
    EXPECT_EQ(two[24 + 2], kOpaque | Global(11));
    EXPECT_EQ(two[2 * 24 + 4], Global(3));
}

TEST(GifAnim, OneImageIsEveryFrame) {
    GifAnimSpec s = Screen(5, 4);
    GifFrameSpec f = Block(0, 0, 5, 4, 9);
    f.indexes[7] = 200;
    s.frames.push_back(f);
    Loaded l(WriteGifAnimation(s));
    ASSERT_TRUE(l.first);
    EXPECT_EQ(l.gif.GetFrameCount(), 1);
    std::vector<DWORD> want((size_t)20, kOpaque | Global(9));
    want[7] = kOpaque | Global(200);
    for (LONGLONG n : {0LL, 3LL, -2LL, 0LL}) {
        SCOPED_TRACE(n);
        bool alpha = true;
        EXPECT_EQ(l.Frame(n, &alpha), want);
        EXPECT_FALSE(alpha);
    }
    DWORD ms = 5;
    EXPECT_EQ(l.gif.GetFrameDelay(&ms, 0), 0);
    EXPECT_EQ(ms, 0u);
}

TEST(GifAnim, TransparentPixelsShowTheFrameBelow) {
    GifAnimSpec s = Screen(4, 2);
    s.frames.push_back(Block(0, 0, 4, 2, 50));
    GifFrameSpec top = Block(0, 0, 4, 2, 60);
    top.indexes[1] = 77;
    top.indexes[6] = 77;
    top.control = true;
    top.transparent = 77;
    s.frames.push_back(top);
    Loaded l(WriteGifAnimation(s));
    bool alpha = false;
    std::vector<DWORD> p = l.Frame(1, &alpha);
    EXPECT_TRUE(alpha);
    ASSERT_EQ(p.size(), 8u);
    EXPECT_EQ(p[0], kOpaque | Global(60));
    EXPECT_EQ(p[1], kOpaque | Global(50));
    EXPECT_EQ(p[6], kOpaque | Global(50));
    const GifControlRecord* rec = l.gif.Control(1);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->transparent.rgbRed, 77);
    // Frame 0 has no control data of its own: nothing borrowed from frame 1.
    EXPECT_EQ(l.gif.Control(0), nullptr);
    l.Frame(0, &alpha);
    EXPECT_FALSE(alpha);
}

TEST(GifAnim, LocalTablesStayWithTheirFrames) {
    GifAnimSpec s = Screen(2, 1);
    GifFrameSpec local = Block(0, 0, 2, 1, 1);
    local.localTable = true;
    local.localBits = 2;
    local.localPalette = {0, 0, 0, 9, 8, 7};
    s.frames.push_back(local);
    s.frames.push_back(Block(1, 0, 1, 1, 1));
    Loaded l(WriteGifAnimation(s));
    std::vector<DWORD> p = l.Frame(1);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], kOpaque | 0x090807u);
    EXPECT_EQ(p[1], kOpaque | Global(1));
}

TEST(GifAnim, ImagesLargerThanTheScreenAreNoFrames) {
    GifAnimSpec s = Screen(4, 4);
    s.frames.push_back(Block(0, 0, 4, 4, 1));
    GifFrameSpec big = Block(0, 0, 5, 4, 2);
    big.control = true;
    big.transparent = 1;
    s.frames.push_back(big);
    s.frames.push_back(Block(1, 1, 2, 2, 3));
    Loaded l(WriteGifAnimation(s));
    EXPECT_EQ(l.gif.GetFrameCount(), 2);
    EXPECT_EQ(l.gif.Control(1), nullptr);  // the big image's control data went with it
    EXPECT_EQ(l.Frame(1), Picture(4, 4, kOpaque | Global(1), 1, 1, 3, 3, kOpaque | Global(3)));
}

// Frames hanging over the right and bottom edges are cut to the screen.
TEST(GifAnim, FramesPartlyOffTheScreenAreCut) {
    GifAnimSpec s = Screen(6, 5);
    s.frames.push_back(Block(4, 3, 4, 4, 8));
    s.frames.push_back(Block(0, 0, 2, 2, 9));
    Loaded l(WriteGifAnimation(s));
    ASSERT_EQ(l.gif.GetFrameCount(), 2);
    EXPECT_EQ(l.Frame(0), Picture(6, 5, Global(0), 4, 3, 6, 5, kOpaque | Global(8)));
}

TEST(GifAnim, DisposalTwoClearsOnlyTheFramesOwnRectangle) {
    GifAnimSpec s = Screen(4, 4, 5);
    s.frames.push_back(Block(0, 0, 4, 4, 1));
    GifFrameSpec middle = Block(1, 1, 2, 2, 2);
    middle.control = true;
    middle.disposal = 2;
    s.frames.push_back(middle);
    s.frames.push_back(Block(0, 0, 1, 1, 3));
    Loaded l(WriteGifAnimation(s));
    EXPECT_EQ(l.Frame(1), Picture(4, 4, kOpaque | Global(1), 1, 1, 3, 3, kOpaque | Global(2)));
    std::vector<DWORD> want = Picture(4, 4, kOpaque | Global(1), 1, 1, 3, 3, Global(5));
    want[0] = kOpaque | Global(3);
    EXPECT_EQ(l.Frame(2), want);  // from the cache
    Loaded fresh(l.bytes);
    EXPECT_EQ(fresh.Frame(2), want);  // composed from frame 0
}

TEST(GifAnim, DisposalThreeShowsOnlyWhenAskedFor) {
    GifAnimSpec s = Screen(3, 1);
    s.frames.push_back(Block(0, 0, 3, 1, 1));
    s.frames.push_back(Block(0, 0, 1, 1, 2));
    GifFrameSpec restore = Block(1, 0, 1, 1, 3);
    restore.control = true;
    restore.disposal = 3;
    s.frames.push_back(restore);
    s.frames.push_back(Block(2, 0, 1, 1, 4));
    Loaded l(WriteGifAnimation(s));
    const DWORD a = kOpaque | Global(1), b = kOpaque | Global(2), c = kOpaque | Global(3),
                d = kOpaque | Global(4);
    EXPECT_EQ(l.Frame(1), (std::vector<DWORD>{b, a, a}));
    EXPECT_EQ(l.Frame(2), (std::vector<DWORD>{b, c, a}));
    EXPECT_EQ(l.gif.CachedFrame(), 1);  // the canvas before frame 2
    EXPECT_EQ(l.Frame(3), (std::vector<DWORD>{b, a, d}));
    EXPECT_EQ(l.Frame(2), (std::vector<DWORD>{b, c, a}));  // backwards, from frame 0
    Loaded fresh(l.bytes);
    EXPECT_EQ(fresh.Frame(3), (std::vector<DWORD>{b, a, d}));
}

TEST(GifAnim, RefusedFiles) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    GifAnimSpec huge = Screen(4097, 2);
    huge.frames.push_back(Block(0, 0, 1, 1, 1));
    Bytes wrongVersion = WriteGifAnimation(Screen(1, 1));
    wrongVersion[4] = '8';
    Bytes lower = WriteGifAnimation(Screen(1, 1));
    lower[0] = 'g';
    Case cases[] = {
        {"not a GIF", Bytes{'P', 'N', 'G', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0}, "Not GIF File"},
        {"version 88a", wrongVersion, "GIF File format not supported"},
        {"screen above 4096", WriteGifAnimation(huge), "too large"},
        {"no images", lower, nullptr},
        {"empty", Bytes(), "Not GIF File"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LogCapture log;
        GifAnimation gif(nullptr);
        EXPECT_EQ(gif.Load(k.bytes.data(), (DWORD)k.bytes.size(), nullptr, 1), nullptr);
        EXPECT_EQ(gif.GetFrameCount(), 0);
        EXPECT_EQ(gif.GetFrame(0), nullptr);
        EXPECT_LOGGED(log, k.message);
    }
}

// Cut at every byte and with sizes and counts damaged: a clear failure or
// the sound frames, never a crash.
TEST(GifAnim, CorruptedInputFailsOrPlaysWhatIsSound) {
    GifAnimSpec s = Screen(16, 8);
    for (int k = 0; k < 3; ++k) {
        GifFrameSpec f = Block(k, k, 10, 5, (uint8_t)(k + 1));
        for (size_t i = 0; i < f.indexes.size(); ++i) f.indexes[i] = (uint8_t)(i * 7 + k);
        f.control = true;
        f.disposal = k + 1;
        f.transparent = 3;
        f.localTable = k == 1;
        f.localPalette.assign(768, 40);
        f.interlaced = k == 2;
        f.before = {0x21, 0xFE, 2, 'h', 'i', 0};
        s.frames.push_back(f);
    }
    const Bytes file = WriteGifAnimation(s);
    std::vector<Bytes> inputs;
    for (size_t cut = 0; cut < file.size(); ++cut)
        inputs.push_back(Bytes(file.begin(), file.begin() + cut));
    for (size_t i = 6; i < file.size(); ++i)
        for (uint8_t v : {0x00, 0xFF, 0x01, 0x80}) {
            Bytes b = file;
            b[i] = v;
            inputs.push_back(b);
        }
    for (size_t i = 0; i < inputs.size(); ++i) {
        GifAnimation gif(nullptr);
        if (!gif.Load(inputs[i].data(), (DWORD)inputs[i].size(), nullptr, 1))
            continue;
        ASSERT_EQ(gif.CreateCache(), 1) << i;
        int w = 0, h = 0;
        gif.GetSize(&w, &h);
        for (LONGLONG n : {2LL, 0LL, 1LL, 2LL}) {
            CComPtr<IPixelBuffer> b;
            b.Attach(gif.GetFrame(n));
            ASSERT_TRUE(b != nullptr) << i;
            ASSERT_EQ(ReadBufferInfo(b, BIM_GEOMETRY).nWidth, w) << i;
        }
    }
}
