// Every decoder over many truncated and corrupted copies of valid pictures:
// no crash, no hang, and either a failure code or a well-formed picture of
// the size the picture object reports; never success without a picture.
#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>

#include "PictureTestUtil.h"

using namespace pictest;

namespace {

struct Fixture {
    const char* name;
    int codec;
    Bytes file;
    bool strict;  // every truncation must fail (all rows are required)
};

std::vector<Fixture> MakeFixtures() {
    picfix::Rng rng(1234);
    std::vector<Fixture> f;
    auto randomBytes = [&](size_t n) {
        Bytes b(n);
        for (uint8_t& v : b) v = (uint8_t)rng.Next();
        return b;
    };
    {
        DibSpec s;
        s.width = 13;
        s.height = 7;
        s.bits = 8;
        s.clrUsed = 40;
        for (int i = 0; i < 40; ++i) s.palette.push_back(rng.Next() & 0xFFFFFF);
        s.rows = randomBytes(16 * 7);
        for (uint8_t& b : s.rows) b %= 40;
        f.push_back({"bmp 8-bit", kBmp, BmpFile(MakeDib(s), 0), true});
        s.bits = 24;
        s.clrUsed = 0;
        s.palette.clear();
        s.rows = randomBytes(40 * 7);
        f.push_back({"bmp 24-bit", kBmp, BmpFile(MakeDib(s), 0), true});
        s.headerSize = 12;
        f.push_back({"bmp core", kBmp, BmpFile(MakeDib(s), 0), true});
        DibSpec r;
        r.width = 13;
        r.height = 7;
        r.bits = 8;
        r.compression = BI_RLE8;
        r.clrUsed = 4;
        r.palette = {1, 2, 3, 4};
        for (int y = 0; y < 7; ++y) {
            r.rows.insert(r.rows.end(), {5, 1, 0, 4, 2, 3, 1, 2, 4, 3, 0, 0});
        }
        r.rows.insert(r.rows.end(), {0, 1});
        f.push_back({"bmp rle8", kBmp, BmpFile(MakeDib(r), 0), false});
    }
    {
        picfix::GifSpec g;
        g.width = 23;
        g.height = 17;
        g.colourBits = 5;
        g.palette = randomBytes(96);
        g.interlaced = true;
        for (int i = 0; i < 23 * 17; ++i) g.indexes.push_back((uint8_t)rng.Below(32));
        CByteWriter e;
        e.U8(0x21).U8(0xF9).U8(4).U8(1).U16(10).U8(1).U8(0);
        e.U8(0x21).U8(0xFE).U8(5).Text("hello").U8(0);
        g.extensions = e.Vector();
        f.push_back({"gif interlaced", kGif, picfix::WriteGif(g), false});
    }
    {
        CByteWriter t;
        t.U8(0).U8(1).U8(1).Fill(0, 9).U16(9).U16(5).U8(8).U8(0);
        t.Bytes(randomBytes(768 + 45));
        f.push_back({"tga 8-bit mapped", kTga, t.Vector(), true});
        for (int depth : {16, 24, 32}) {
            CByteWriter v;
            v.U8(2).U8(0).U8(2).Fill(0, 9).U16(9).U16(5).U8(depth).U8(0).U16(0);
            v.Bytes(randomBytes(9 * 5 * depth / 8));
            f.push_back({"tga true colour", kTga, v.Vector(), true});
        }
    }
    {
        CByteWriter m;
        m.Text("DanM").U16(24).U16(6).Fill(0, 24).Bytes(randomBytes(18));
        f.push_back({"msp", kPic, m.Vector(), true});
        CByteWriter p;
        p.Fill(0, 512).U16(0xC004).U16(0).U16(16).U16(5).Fill(0, 14).U8(0x18).Fill(0, 9);
        p.Bytes(randomBytes(10));
        f.push_back({"pic prefixed", kPic, p.Vector(), false});
    }
    {
        std::vector<uint8_t> px(40 * 24 * 3);
        for (uint8_t& b : px) b = (uint8_t)rng.Next();
        f.push_back({"jpeg colour", kJpeg, picfix::WriteJpeg(40, 24, 3, px.data(), 80), false});
        std::vector<uint8_t> cmyk(16 * 16 * 4);
        for (uint8_t& b : cmyk) b = (uint8_t)rng.Next();
        f.push_back({"jpeg cmyk", kJpeg, picfix::WriteJpeg(16, 16, 4, cmyk.data(), 80), false});
    }
    {
        picfix::PngSpec s;
        s.width = 19;
        s.height = 11;
        s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.interlaced = true;
        s.rows = randomBytes(19 * 11 * 4);
        f.push_back({"png rgba interlaced", kPng, picfix::WritePng(s), false});
        picfix::PngSpec p;
        p.width = 19;
        p.height = 11;
        p.colourType = PNG_COLOR_TYPE_PALETTE;
        p.bitDepth = 4;
        p.palette = randomBytes(48);
        p.trnsAlpha = {0, 50, 100};
        p.rows = randomBytes(10 * 11);
        f.push_back({"png palette", kPng, picfix::WritePng(p), false});
    }
    {
        picfix::TiffSpec s;
        s.width = 21;
        s.height = 9;
        s.compression = COMPRESSION_LZW;
        s.rowsPerStrip = 4;
        s.pixels = randomBytes(21 * 9 * 3);
        f.push_back({"tiff lzw", kTiff, picfix::WriteTiff(s), false});
    }
    return f;
}

// The outcome of one decode must be a failure without a picture, or a
// well-formed picture whose size is the one reported.
void CheckOutcome(const Decoded& d, const char* what) {
    if (FAILED(d.hr)) {
        EXPECT_FALSE(d.haveDib) << what;
        return;
    }
    ASSERT_TRUE(d.haveDib) << what << ": success without a picture";
    EXPECT_EQ(d.dib.width, d.width) << what;
    EXPECT_EQ(d.dib.height, d.height) << what;
}

TEST(CorruptInput, ValidFixturesDecode) {
    for (const Fixture& f : MakeFixtures()) {
        Decoded d = DecodeWith(f.codec, f.file);
        EXPECT_EQ(d.hr, S_OK) << f.name;
        CheckOutcome(d, f.name);
    }
}

TEST(CorruptInput, TruncatedCopiesFailOrDecodeWhatIsThere) {
    for (const Fixture& f : MakeFixtures()) {
        std::vector<size_t> lengths;
        for (size_t n = 0; n < f.file.size() && n < 96; ++n) lengths.push_back(n);
        for (size_t n = 96; n < f.file.size(); n += 1 + f.file.size() / 48) lengths.push_back(n);
        for (size_t back = 1; back <= 8 && back < f.file.size(); ++back)
            lengths.push_back(f.file.size() - back);
        for (size_t n : lengths) {
            Bytes cut(f.file.begin(), f.file.begin() + n);
            std::string what = std::string(f.name) + " cut to " + std::to_string(n);
            Decoded d = DecodeWith(f.codec, cut);
            CheckOutcome(d, what.c_str());
            if (f.strict || n < 8) {
                EXPECT_TRUE(FAILED(d.hr)) << what;
            }
        }
    }
}

TEST(CorruptInput, CorruptedCopiesFailOrDecode) {
    picfix::Rng rng(99);
    for (const Fixture& f : MakeFixtures()) {
        for (int round = 0; round < 300; ++round) {
            Bytes bad = f.file;
            int changes = 1 + (int)rng.Below(4);
            for (int i = 0; i < changes; ++i) {
                // Half of the damage goes to the first 64 bytes, where the
                // sizes and counts live.
                size_t at = rng.Below(2) ? rng.Below((uint32_t)std::min<size_t>(64, bad.size()))
                                         : rng.Below((uint32_t)bad.size());
                switch (rng.Below(4)) {
                    case 0:
                        bad[at] = (uint8_t)rng.Next();
                        break;
                    case 1:
                        bad[at] = 0;
                        break;
                    case 2:
                        bad[at] = 0xFF;
                        break;
                    default:
                        bad[at] ^= (uint8_t)(1u << rng.Below(8));
                        break;
                }
            }
            std::string what = std::string(f.name) + " round " + std::to_string(round);
            CheckOutcome(DecodeWith(f.codec, bad), what.c_str());
        }
    }
}

TEST(CorruptInput, EveryCodecGivenEveryOtherFormat) {
    std::vector<Fixture> fixtures = MakeFixtures();
    for (const Fixture& f : fixtures) {
        for (int codec = kBmp; codec <= kPng; ++codec) {
            std::string what = std::string(f.name) + " as codec " + std::to_string(codec);
            Decoded d = DecodeWith(codec, f.file);
            CheckOutcome(d, what.c_str());
            if (codec == kGrh) {
                EXPECT_EQ(d.hr, E_FAIL);
            }
        }
    }
    // And random noise of several lengths.
    picfix::Rng rng(5);
    for (size_t n : {1u, 7u, 18u, 33u, 600u, 5000u}) {
        Bytes noise(n);
        for (uint8_t& b : noise) b = (uint8_t)rng.Next();
        for (int codec = kBmp; codec <= kPng; ++codec)
            CheckOutcome(DecodeWith(codec, noise), "noise");
    }
}

}  // namespace
