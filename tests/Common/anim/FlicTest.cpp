// FLC and FLI animations written by the test writer: every chunk kind
// decodes to the pixels it was made from, speeds and palettes convert,
// going back rewinds, and damaged files fail clearly or show what they hold.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "FlicWriter.h"
#include "TestFiles.h"
#include "bFlic.h"

using namespace flicfix;

namespace {

const int kW = 64, kH = 48;

Pixels Pattern(int width, int height, int seed) {
    Pixels p((size_t)width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[(size_t)y * width + x] = (uint8_t)(((x / 4 + y / 3) * 7 + seed * 13) & 0xFF);
    return p;
}

// A copy of `p` with the block [x0, x1) x [y0, y1) set to v.
Pixels WithBlock(Pixels p, int width, int x0, int y0, int x1, int y1, uint8_t v) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) p[(size_t)y * width + x] = v;
    return p;
}

Chunk GreyPalette() {
    PalettePacket all;
    for (int i = 0; i < 256; ++i) all.rgb.insert(all.rgb.end(), {(uint8_t)i, (uint8_t)i, 0});
    return PaletteChunk({all}, false);
}

Frame FrameOf(std::vector<Chunk> chunks) {
    Frame f;
    f.chunks = std::move(chunks);
    return f;
}

// Palette indexes of the DIB, FLIC rows (top first).
Pixels ReadDib(HGLOBAL dib, int width, int height, BITMAPINFOHEADER* header = nullptr,
               RGBQUAD* colours = nullptr) {
    Pixels out;
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(dib));
    if (!p)
        return out;
    const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(p);
    if (header)
        *header = *h;
    if (colours)
        memcpy(colours, p + 40, 1024);
    const DWORD stride = (width + 3) & ~3;
    const BYTE* bits = p + 40 + 1024;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(bits[(size_t)(height - 1 - y) * stride + x]);
    GlobalUnlock(dib);
    return out;
}

HRESULT LoadBytes(FlicReader& r, const Bytes& b) {
    return r.Load(b.empty() ? nullptr : b.data(), (DWORD)b.size());
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// Frames 0..5 of distinct pictures through every chunk kind, then a ring frame.
struct Clip {
    FlicSpec spec;
    std::vector<Pixels> expected;
};

Clip EveryChunkKind(bool fli, int width) {
    Clip c;
    c.spec.fli = fli;
    c.spec.width = width;
    c.spec.height = kH;
    std::vector<Pixels>& e = c.expected;
    e.push_back(Pattern(width, kH, 1));
    e.push_back(WithBlock(WithBlock(e[0], width, 3, 5, width, 9, 200), width, 10, 20, 30, 21, 9));
    e.push_back(Pattern(width, kH, 2));
    e.push_back(Pixels((size_t)width * kH, 0));
    e.push_back(Pattern(width, kH, 3));
    e.push_back(WithBlock(e[4], width, width - 1, 40, width, 47, 77));
    auto delta = [&](const Pixels& a, const Pixels& b) {
        return fli ? ByteDeltaChunk(a, b, width, kH) : WordDeltaChunk(a, b, width, kH);
    };
    std::vector<Frame>& f = c.spec.frames;
    f.push_back(FrameOf({GreyPalette(), ByteRunChunk(e[0], width, kH)}));
    f.push_back(FrameOf({delta(e[0], e[1]), RawChunk(18, Bytes(10, 1))}));
    f.push_back(FrameOf({CopyChunk(e[2], width, kH)}));
    f.push_back(FrameOf({BlackChunk()}));
    f.push_back(FrameOf({ByteRunChunk(e[4], width, kH)}));
    f.push_back(FrameOf({delta(e[4], e[5])}));
    f.push_back(FrameOf({delta(e[5], e[0])}));  // ring frame
    return c;
}

}  // namespace

TEST(Flic, EveryChunkKindDecodesToItsPicture) {
    struct Case {
        const char* name;
        bool fli;
        int width;
    } cases[] = {{"FLI byte deltas", true, kW},
                 {"FLC word deltas", false, kW},
                 {"FLC odd width: last-pixel words", false, 63}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Clip clip = EveryChunkKind(k.fli, k.width);
        LogCapture log;
        FlicReader r;
        ASSERT_EQ(LoadBytes(r, WriteFlic(clip.spec)), S_OK);
        int w = 0, h = 0;
        r.GetSize(&w, &h);
        EXPECT_EQ(w, k.width);
        EXPECT_EQ(h, kH);
        EXPECT_EQ(r.GetFrameCount(), 7);
        for (int n = 0; n < 6; ++n) {
            SCOPED_TRACE(n);
            HGLOBAL dib = r.GetFrame(n, nullptr);
            ASSERT_TRUE(dib);
            EXPECT_EQ(ReadDib(dib, k.width, kH), clip.expected[n]);
        }
        EXPECT_LOGGED(log, "Unknown chunck type for FLIC: 18");
    }
}

TEST(Flic, FlicRowZeroIsTheDibsLastRow) {
    FlicSpec s;
    s.width = kW;
    s.height = kH;
    s.frames.push_back(FrameOf(
        {GreyPalette(), CopyChunk(WithBlock(Pixels(kW * kH, 0), kW, 0, 0, kW, 1, 5), kW, kH)}));
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(r.GetFrame(0, nullptr)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p[40 + 1024 + 47 * kW], 5);
    EXPECT_EQ(p[40 + 1024 + 46 * kW], 0);
    EXPECT_EQ(p[40 + 1024], 0);
    GlobalUnlock(r.GetFrame(0, nullptr));
}

TEST(Flic, SpeedsBecomeMilliseconds) {
    struct Case {
        bool fli;
        uint32_t speed;
        DWORD ms;
    } cases[] = {{true, 5, 71}, {true, 0, 50}, {false, 33, 33}, {false, 0, 50}, {true, 70, 1000}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.fli) + " speed " + std::to_string(k.speed));
        FlicSpec s;
        s.fli = k.fli;
        s.speed = k.speed;
        s.width = 8;
        s.height = 2;
        s.frames.push_back(FrameOf({BlackChunk()}));
        FlicReader r;
        ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
        DWORD ms = 0;
        EXPECT_EQ(r.GetDelay(&ms), 1);
        EXPECT_EQ(ms, k.ms);
    }
    FlicReader empty;
    DWORD ms = 7;
    EXPECT_EQ(empty.GetDelay(&ms), 0);
    EXPECT_EQ(empty.GetFrameCount(), 0);
}

// Packets land at their running index; 64 levels are scaled; the colour
// table keeps all 256 entries whatever the packets add up to.
TEST(Flic, PalettePacketsAndLevels) {
    PalettePacket low, high;
    low.skip = 1;
    low.rgb = {63, 0, 32, 1, 2, 3};  // entries 1, 2
    high.skip = 197;                 // 2 + 1 + 197: entry 200
    high.rgb = {10, 20, 30};
    FlicSpec s;
    s.width = 8;
    s.height = 2;
    s.frames.push_back(FrameOf({PaletteChunk({low, high}, true), BlackChunk()}));
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
    BITMAPINFOHEADER h;
    RGBQUAD colours[256];
    ReadDib(r.GetFrame(0, nullptr), 8, 2, &h, colours);
    EXPECT_EQ(h.biClrUsed, 256u);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(colours[1].rgbRed, 252);
    EXPECT_EQ(colours[1].rgbBlue, 128);
    EXPECT_EQ(colours[2].rgbBlue, 12);
    EXPECT_EQ(colours[200].rgbRed, 40);
    EXPECT_EQ(colours[200].rgbBlue, 120);
    EXPECT_EQ(colours[3].rgbRed, 0);
    PALETTEENTRY e;
    ASSERT_EQ(GetPaletteEntries(r.Palette(), 200, 1, &e), 1u);
    EXPECT_EQ(e.peGreen, 80);
}

TEST(Flic, ChangedRectanglesAndPaletteMarks) {
    const Pixels base = Pattern(kW, kH, 1);
    const Pixels cols = WithBlock(base, kW, 2, 3, 6, 4, 250);
    PalettePacket one;
    one.skip = 9;
    one.rgb = {1, 2, 3};
    FlicSpec s;
    s.fli = true;
    s.width = kW;
    s.height = kH;
    s.frames.push_back(FrameOf({GreyPalette(), ByteRunChunk(base, kW, kH)}));
    s.frames.push_back(FrameOf({ByteDeltaChunk(base, cols, kW, kH)}));
    s.frames.push_back(FrameOf({PaletteChunk({one}, false)}));
    s.frames.push_back(FrameOf({PaletteChunk({one}, false), ByteDeltaChunk(cols, base, kW, kH)}));
    s.frames.push_back(FrameOf({}));
    s.frames.push_back(FrameOf({}));
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
    RECT rc;
    r.GetFrame(0, &rc);
    EXPECT_EQ(RectText(rc), "0,0,64,48");
    r.GetFrame(1, &rc);
    EXPECT_EQ(RectText(rc), "2,3,6,4");
    EXPECT_EQ(r.PaletteMark(), FLIC_PALETTE_NONE);
    r.GetFrame(2, &rc);
    EXPECT_EQ(RectText(rc), "0,0,0,0");
    EXPECT_EQ(r.PaletteMark(), FLIC_PALETTE_ONLY);
    r.GetFrame(3, &rc);
    EXPECT_EQ(RectText(rc), "2,3,6,4");
    EXPECT_EQ(r.PaletteMark(), FLIC_PALETTE_AMONG);
    r.GetFrame(4, &rc);
    EXPECT_EQ(RectText(rc), "0,0,0,0");
}

TEST(Flic, GoingBackRewindsAndUnitesTheFramesDecodedAgain) {
    Pixels p = Pattern(kW, kH, 4);
    FlicSpec s;
    s.width = kW;
    s.height = kH;
    s.frames.push_back(FrameOf({GreyPalette(), ByteRunChunk(p, kW, kH)}));
    std::vector<Pixels> pictures{p};
    // Frame k changes one 4 x 2 block of its own.
    for (int k = 1; k <= 6; ++k) {
        Pixels next = WithBlock(p, kW, 8 * k, 4 * k, 8 * k + 4, 4 * k + 2, (uint8_t)(100 + k));
        s.frames.push_back(FrameOf({WordDeltaChunk(p, next, kW, kH)}));
        pictures.push_back(next);
        p = next;
    }
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
    RECT rc;
    r.GetFrame(5, &rc);
    EXPECT_EQ(RectText(rc), "8,4,44,22");  // frames 1 to 5
    HGLOBAL dib = r.GetFrame(3, &rc);
    EXPECT_EQ(r.CurrentFrame(), 3);
    EXPECT_EQ(RectText(rc), "8,4,28,14");  // frames 1 to 3
    EXPECT_EQ(ReadDib(dib, kW, kH), pictures[3]);
    r.GetFrame(3, &rc);
    EXPECT_EQ(r.CurrentFrame(), 3);
    r.GetFrame(0, &rc);
    EXPECT_EQ(ReadDib(r.GetFrame(0, nullptr), kW, kH), pictures[0]);
    EXPECT_EQ(RectText(rc), "0,0,64,48");
    // Beyond the end: the last frame but one (the ring frame is never shown).
    EXPECT_EQ(r.GotoFrame(1000), 1);
    EXPECT_EQ(r.CurrentFrame(), 6);
    EXPECT_EQ(r.GotoFrame(-4), 1);
    EXPECT_EQ(r.CurrentFrame(), 0);
}

TEST(Flic, WrongSecondFrameOffsetIsLoggedAndCorrected) {
    Clip clip = EveryChunkKind(false, kW);
    clip.spec.frame2 = 999;
    const size_t real = LayoutOf(clip.spec).frames[1];
    LogCapture log;
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(clip.spec)), S_OK);
    EXPECT_EQ(ReadDib(r.GetFrame(2, nullptr), kW, kH), clip.expected[2]);
    r.GetFrame(1, nullptr);  // through a rewind to the corrected offset
    EXPECT_EQ(ReadDib(r.GetFrame(1, nullptr), kW, kH), clip.expected[1]);
    EXPECT_LOGGED(log, "Error for flcHead::oframe2:  999 --> correct to " + std::to_string(real));
}

// A copy chunk that ends the file is read without the two bytes beyond it.
TEST(Flic, CopyChunkAtTheEndOfTheFile) {
    FlicSpec s;
    s.width = kW;
    s.height = kH;
    const Pixels p = Pattern(kW, kH, 9);
    s.frames.push_back(FrameOf({GreyPalette(), CopyChunk(p, kW, kH)}));
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, WriteFlic(s)), S_OK);
    EXPECT_EQ(ReadDib(r.GetFrame(0, nullptr), kW, kH), p);
}

TEST(Flic, RefusedFilesSayWhy) {
    struct Case {
        const char* name;
        FlicSpec spec;
        size_t cut;
        const char* message;
    };
    FlicSpec good;
    good.width = kW;
    good.height = kH;
    good.frames.push_back(FrameOf({BlackChunk()}));
    auto with = [&](auto change) {
        FlicSpec s = good;
        change(s);
        return s;
    };
    Case cases[] = {
        {"short head", good, 100, "ReadFlicHead failed(-1)"},
        {"width 0", with([](FlicSpec& s) { s.width = 0; }), 0, "ReadFlicHead failed(-1)"},
        {"height 4097", with([](FlicSpec& s) { s.height = 4097; }), 0, "ReadFlicHead failed(-1)"},
        {"no frames", with([](FlicSpec& s) { s.frameCount = 0; }), 0, "ReadFlicHead failed(-1)"},
        {"frame size 15", with([](FlicSpec& s) { s.frames[0].sizeField = 15; }), 0,
         "ReadFrameImage(-5)"},
        {"frame past the file", with([](FlicSpec& s) { s.frames[0].sizeField = 40; }), 0,
         "ReadFrameImage(-5)"},
        {"no frame at all", good, 128, "ReadFrameImage(-5)"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Bytes b = WriteFlic(k.spec);
        if (k.cut)
            b.resize(k.cut);
        LogCapture log;
        FlicReader r;
        EXPECT_EQ(LoadBytes(r, b), E_FAIL);
        EXPECT_EQ(r.GetFrameCount(), 0);
        EXPECT_EQ(r.GetFrame(0, nullptr), nullptr);
        EXPECT_LOGGED(log, std::string("FLIC-Error: ") + k.message);
    }
}

TEST(Flic, FilesByNameAndEmptyFiles) {
    TempFolder folder;
    Clip clip = EveryChunkKind(true, kW);
    ASSERT_TRUE(WriteFileBytes(folder.File("a.fli"), WriteFlic(clip.spec)));
    ASSERT_TRUE(WriteFileBytes(folder.File("empty.flc"), std::string()));
    FlicReader r;
    ASSERT_EQ(r.Load(folder.File("a.fli").c_str(), 0), S_OK);
    EXPECT_EQ(ReadDib(r.GetFrame(4, nullptr), kW, kH), clip.expected[4]);
    LogCapture log;
    EXPECT_EQ(r.Load(folder.File("empty.flc").c_str(), 0), E_FAIL);
    EXPECT_EQ(r.Load(folder.File("none.flc").c_str(), 0), E_FAIL);
    const std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "FLIC-Error: Zero size file(-8)"));
    EXPECT_TRUE(Logged(text, "FLIC-Error: LoadFlc(-8)"));
}

// Cut at every frame and chunk, and sizes and counts damaged: a clear
// failure or the frames that are sound, and the DIB's header untouched.
TEST(Flic, CorruptedInputFailsOrPlaysWhatIsSound) {
    std::vector<Bytes> inputs;
    for (bool fli : {true, false}) {
        Clip clip = EveryChunkKind(fli, fli ? kW : 63);
        const Bytes file = WriteFlic(clip.spec);
        const Layout l = LayoutOf(clip.spec);
        std::vector<size_t> cuts;
        for (size_t at : l.frames) cuts.insert(cuts.end(), {at, at + 3, at + 16});
        for (size_t at : l.chunks) cuts.insert(cuts.end(), {at, at + 5, at + 6, at + 9, at + 40});
        for (size_t at : cuts)
            if (at < file.size())
                inputs.push_back(Bytes(file.begin(), file.begin() + at));
        // Chunk sizes, then the first words of each payload (counts, lines).
        for (size_t at : l.chunks) {
            for (uint32_t v : {0u, 5u, 0xFFFFu, 0xFFFFFFFFu, 7u}) {
                Bytes b = file;
                memcpy(&b[at], &v, 4);
                inputs.push_back(b);
            }
            for (size_t off : {6u, 8u, 10u})
                for (uint16_t v : {0, 0xFFFF, 0x7FFF, 0xC000, 0x8001}) {
                    Bytes b = file;
                    if (at + off + 2 <= b.size()) {
                        memcpy(&b[at + off], &v, 2);
                        inputs.push_back(b);
                    }
                }
        }
        for (size_t at : l.frames)
            for (uint16_t v : {0, 0xFFFF}) {
                Bytes b = file;
                memcpy(&b[at + 6], &v, 2);
                inputs.push_back(b);
            }
        // Every packet byte of the deltas flipped.
        for (size_t i = l.chunks[2] + 6; i < l.chunks[3] && i < file.size(); ++i) {
            Bytes b = file;
            b[i] ^= 0xA5;
            inputs.push_back(b);
        }
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        FlicReader r;
        if (LoadBytes(r, inputs[i]) != S_OK)
            continue;
        int w = 0, h = 0;
        r.GetSize(&w, &h);
        for (int n = 0; n < 8; ++n) {
            HGLOBAL dib = r.GetFrame(n, nullptr);
            ASSERT_TRUE(dib) << i;
            BITMAPINFOHEADER header;
            ReadDib(dib, w, h, &header);
            ASSERT_EQ(header.biWidth, w) << i;
            ASSERT_EQ(header.biHeight, h) << i;
            ASSERT_EQ(header.biClrUsed, 256u) << i;
        }
        r.GetFrame(0, nullptr);
    }
}

// The first frame's offset counts from the file start.
TEST(Flic, FirstFrameOffsetFromTheFileStart) {
    Clip clip = EveryChunkKind(false, kW);
    Bytes file = WriteFlic(clip.spec);
    const Bytes gap(20, 0xEE);
    file.insert(file.begin() + 128, gap.begin(), gap.end());
    const uint32_t frame1 = 148, frame2 = (uint32_t)LayoutOf(clip.spec).frames[1] + 20;
    memcpy(&file[80], &frame1, 4);
    memcpy(&file[84], &frame2, 4);
    LogCapture log;
    FlicReader r;
    ASSERT_EQ(LoadBytes(r, file), S_OK);
    EXPECT_EQ(ReadDib(r.GetFrame(0, nullptr), kW, kH), clip.expected[0]);
    EXPECT_EQ(ReadDib(r.GetFrame(2, nullptr), kW, kH), clip.expected[2]);
    EXPECT_EQ(ReadDib(r.GetFrame(1, nullptr), kW, kH), clip.expected[1]);
    EXPECT_EQ(log.Text().find("oframe2"), std::string::npos);
}
