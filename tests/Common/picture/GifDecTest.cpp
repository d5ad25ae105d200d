// Still GIF codec: the image scan, palettes, LZW decoding (against an
// independent encoder on seeded random pictures) and interlacing.
#include <gtest/gtest.h>

#include <string.h>

#include "PictureTestUtil.h"
#include "bPicCodec.h"

using namespace pictest;
using picfix::GifSpec;

namespace {

uint32_t Rgb(const std::vector<uint8_t>& palette, int index) {
    if ((size_t)index * 3 + 2 >= palette.size())
        return 0;
    return Px(palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]);
}

GifSpec RandomGif(picfix::Rng& rng, int width, int height, int colourBits) {
    GifSpec g;
    g.width = width;
    g.height = height;
    g.colourBits = colourBits;
    for (int i = 0; i < 3 << colourBits; ++i) g.palette.push_back((uint8_t)rng.Next());
    // Runs of repeated indexes make long LZW strings.
    g.indexes.resize((size_t)width * height);
    for (size_t i = 0; i < g.indexes.size(); ++i)
        g.indexes[i] =
            (i && rng.Below(3)) ? g.indexes[i - 1] : (uint8_t)rng.Below(1u << colourBits);
    return g;
}

std::vector<uint32_t> Expected(const GifSpec& g) {
    std::vector<uint32_t> out;
    for (uint8_t i : g.indexes) out.push_back(Rgb(g.palette, i));
    return out;
}

// A 3x2 picture by hand: header, screen, 2-colour table, image, data.
TEST(GifDecoder, HandMadeFileDecodesToExactPixels) {
    CByteWriter w;
    w.Text("GIF87a");
    w.U16(3).U16(2).U8(0x80).U8(0).U8(0);          // screen 3x2, global table of 2
    w.U8(255).U8(0).U8(0).U8(0).U8(0).U8(255);     // red, blue
    w.U8(0x2C).U16(0).U16(0).U16(3).U16(2).U8(0);  // image descriptor
    // Minimum code size 2: clear 4, end 5, first free code 6. Codes 4 0 1 0
    // take 3 bits; after the third data code the table reaches 8 entries and
    // codes take 4 bits: 1, 6 (= "0 1"), 5. Indexes 0 1 0 1 0 1 give
    // red blue red / blue red blue.
    const int codes[][2] = {{4, 3}, {0, 3}, {1, 3}, {0, 3}, {1, 4}, {6, 4}, {5, 4}};
    uint32_t bits = 0;
    int count = 0;
    Bytes data;
    for (const auto& c : codes) {
        bits |= (uint32_t)c[0] << count;
        count += c[1];
        while (count >= 8) {
            data.push_back((uint8_t)bits);
            bits >>= 8;
            count -= 8;
        }
    }
    if (count)
        data.push_back((uint8_t)bits);
    w.U8(2).U8((unsigned)data.size()).Bytes(data).U8(0).U8(0x3B);
    Decoded d = DecodeWith(kGif, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_TRUE(d.dib.topDown);
    const uint32_t red = Px(255, 0, 0), blue = Px(0, 0, 255);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{red, blue, red, blue, red, blue}));
    EXPECT_EQ(d.alpha, 0);
}

// The decoder against an independent encoder: random sizes, code sizes and
// clear codes, pictures large enough to fill the 4096-entry table.
TEST(GifDecoder, RandomPicturesDecodeToTheirIndexes) {
    picfix::Rng rng(77);
    for (int round = 0; round < 24; ++round) {
        int bits = 1 + (int)rng.Below(8);
        int width = 1 + (int)rng.Below(round < 12 ? 40 : 300);
        int height = 1 + (int)rng.Below(round < 12 ? 40 : 200);
        GifSpec g = RandomGif(rng, width, height, bits);
        SCOPED_TRACE(testing::Message() << width << "x" << height << " bits " << bits);
        Decoded d = DecodeWith(kGif, picfix::WriteGif(g));
        ASSERT_EQ(d.hr, S_OK);
        EXPECT_EQ(d.dib.pixels, Expected(g));
        // And with clear codes in the middle of the data.
        Bytes file = picfix::WriteGif(g);
        CByteWriter w;
        Bytes head(file.begin(), file.begin() + 13 + (3 << bits) + 10);
        w.Bytes(head);
        w.Bytes(picfix::GifLzwEncode(g.indexes.data(), g.indexes.size(), std::max(2, bits),
                                     1 + (int)rng.Below(600)));
        w.U8(0x3B);
        Decoded c = DecodeWith(kGif, w.Vector());
        ASSERT_EQ(c.hr, S_OK);
        EXPECT_EQ(c.dib.pixels, Expected(g));
    }
}

TEST(GifDecoder, InterlacedPictureEqualsItsPlainTwin) {
    picfix::Rng rng(5);
    for (int height : {1, 2, 3, 5, 8, 9, 17, 31}) {
        GifSpec g = RandomGif(rng, 7, height, 4);
        Decoded plain = DecodeWith(kGif, picfix::WriteGif(g));
        g.interlaced = true;
        Bytes interlacedFile = picfix::WriteGif(g);
        Decoded interlaced = DecodeWith(kGif, interlacedFile);
        ASSERT_EQ(plain.hr, S_OK);
        ASSERT_EQ(interlaced.hr, S_OK);
        EXPECT_EQ(interlaced.dib.pixels, plain.dib.pixels) << height;
        EXPECT_EQ(interlaced.dib.pixels, Expected(g)) << height;
    }
}

TEST(GifDecoder, PaletteEntriesPastTheTableAreBlack) {
    // 5 colour bits: an 8-bit picture whose entries 32 to 255 are black.
    GifSpec g;
    g.width = 4;
    g.height = 1;
    g.colourBits = 5;
    for (int i = 0; i < 32 * 3; ++i) g.palette.push_back((uint8_t)(i + 1));
    g.minCodeSize = 8;
    g.indexes = {0, 31, 32, 255};
    Decoded d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(1, 2, 3), Px(94, 95, 96), 0, 0}));
    // 2 colour bits make a 4-bit picture: indexes past 15 are black too.
    g.colourBits = 2;
    g.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    g.indexes = {3, 4, 15, 200};
    d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(100, 110, 120), 0, 0, 0}));
}

TEST(GifDecoder, LocalTableReplacesTheGlobalOne) {
    GifSpec g;
    g.width = 2;
    g.height = 1;
    g.colourBits = 1;
    g.palette = {1, 2, 3, 4, 5, 6};
    g.localTable = true;
    g.indexes = {1, 0};
    Bytes file = picfix::WriteGif(g);
    // Make the global table differ from the local one.
    file[13] = 99;
    Decoded d = DecodeWith(kGif, file);
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(4, 5, 6), Px(1, 2, 3)}));
}

TEST(GifDecoder, WithoutColourTablesDefaultPalettesAreUsed) {
    GifSpec g;
    g.width = 4;
    g.height = 1;
    g.globalTable = false;
    g.minCodeSize = 8;

    g.colourBits = 1;  // black and white
    g.indexes = {0, 1, 2, 1};
    Decoded d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{0, 0xFFFFFF, 0, 0xFFFFFF}));

    g.colourBits = 3;  // 4 bits: the fixed 16-colour table
    g.indexes = {1, 8, 9, 14};
    d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(0, 0, 128), Px(192, 192, 192), Px(0, 0, 255),
                                                   Px(255, 255, 0)}));

    g.colourBits = 8;  // 8 bits: the system palette
    g.indexes = {0, 7, 128, 255};
    d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    PALETTEENTRY system[256];
    memset(system, 0, sizeof(system));
    HDC dc = GetDC(GetActiveWindow());
    GetSystemPaletteEntries(dc, 0, 256, system);
    ReleaseDC(GetActiveWindow(), dc);
    for (int i = 0; i < 4; ++i) {
        const PALETTEENTRY& e = system[g.indexes[i]];
        EXPECT_EQ(d.dib.pixels[i], Px(e.peRed, e.peGreen, e.peBlue)) << i;
    }
}

TEST(GifDecoder, ExtensionsAreSkippedAndUnknownLabelsLogged) {
    LogCapture log;
    GifSpec g;
    g.width = 2;
    g.height = 2;
    g.colourBits = 2;
    g.palette = {0, 0, 0, 255, 255, 255};
    g.indexes = {0, 1, 1, 0};
    CByteWriter e;
    e.U8(0x21).U8(0xF9).U8(4).U8(1).U16(10).U8(1).U8(0);  // graphic control
    e.U8(0x21).U8(0xFE).U8(3).Text(",;!").U8(0);          // comment holding block bytes
    e.U8(0x21).U8(0xFF).U8(11).Text("NETSCAPE2.0").U8(3).U8(1).U16(0).U8(0);
    e.U8(0x21).U8(0x01).U8(2).U8(0x2C).U8(0x3B).U8(0);  // plain text
    e.U8(0x21).U8(0x00);                                // label 0
    e.U8(0x21).U8(0x99);                                // unknown label
    g.extensions = e.Vector();
    Decoded d = DecodeWith(kGif, picfix::WriteGif(g));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{0, 0xFFFFFF, 0xFFFFFF, 0}));
    EXPECT_LOGGED(log, "Unknown GIF extension Label: 153");
}

TEST(GifDecoder, ImageLargerThanItsScreenIsPassedOver) {
    GifSpec big;
    big.width = 5;
    big.height = 2;
    big.screenWidth = 4;
    big.screenHeight = 4;
    big.colourBits = 1;
    big.palette = {0, 0, 0, 255, 255, 255};
    big.indexes.assign(10, 1);
    LogCapture log;
    Decoded d = DecodeWith(kGif, picfix::WriteGif(big));
    EXPECT_EQ(d.hr, E_FAIL);
    EXPECT_FALSE(d.haveDib);
    EXPECT_LOGGED(log, "Unable load gif file");

    // A second image that fits is taken.
    Bytes file = picfix::WriteGif(big);
    file.pop_back();  // trailer
    CByteWriter w;
    w.Bytes(file);
    w.U8(0x2C).U16(0).U16(0).U16(1).U16(1).U8(0);
    const uint8_t one = 1;
    w.Bytes(picfix::GifLzwEncode(&one, 1, 2)).U8(0x3B);
    d = DecodeWith(kGif, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.width, 1);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{0xFFFFFF}));
}

TEST(GifDecoder, SignatureIsCheckedWithoutRegardToCase) {
    GifSpec g;
    g.width = 1;
    g.height = 1;
    g.colourBits = 1;
    g.indexes = {0};
    Bytes file = picfix::WriteGif(g);
    memcpy(file.data(), "gif89A", 6);
    EXPECT_EQ(DecodeWith(kGif, file).hr, S_OK);
    for (const char* bad : {"GIF88a", "GIX89a", "PNG89a"}) {
        memcpy(file.data(), bad, 6);
        EXPECT_EQ(DecodeWith(kGif, file).hr, E_FAIL) << bad;
    }
}

TEST(GifDecoder, DataEndingEarlyLeavesTheRestInColourZero) {
    picfix::Rng rng(9);
    GifSpec g = RandomGif(rng, 60, 60, 8);
    g.palette[0] = g.palette[1] = g.palette[2] = 7;
    Bytes file = picfix::WriteGif(g);
    // Cut the data in its second sub-block and end the file there.
    file.resize(13 + 768 + 10 + 1 + 1 + 255 + 40);
    Decoded d = DecodeWith(kGif, file);
    ASSERT_EQ(d.hr, S_OK);
    std::vector<uint32_t> expected = Expected(g);
    size_t same = 0;
    while (same < expected.size() && d.dib.pixels[same] == expected[same]) ++same;
    EXPECT_GT(same, 100u);
    EXPECT_LT(same, expected.size());
    EXPECT_EQ(d.dib.pixels.back(), Px(7, 7, 7));
}

TEST(GifDecoder, BadCodeSizesAndCodesEndDecoding) {
    GifSpec g;
    g.width = 2;
    g.height = 1;
    g.colourBits = 1;
    g.palette = {0, 0, 0, 255, 255, 255};
    g.indexes = {1, 1};
    for (int size : {0, 1, 9, 12}) {
        GifSpec bad = g;
        bad.minCodeSize = size;
        LogCapture log;
        Decoded d = DecodeWith(kGif, picfix::WriteGif(bad));
        EXPECT_EQ(d.hr, E_FAIL) << size;
        EXPECT_LOGGED(log, "LoadGif failed");
    }
    // A first code that is not a colour, and a code far past the table.
    CByteWriter w;
    w.Text("GIF89a").U16(2).U16(1).U8(0x80).U8(0).U8(0).Fill(0, 6);
    w.U8(0x2C).U16(0).U16(0).U16(2).U16(1).U8(0);
    w.U8(2).U8(1).U8(0x3C).U8(0).U8(0x3B);  // codes 4 (clear), 7: nothing to start from
    EXPECT_EQ(DecodeWith(kGif, w.Vector()).hr, E_FAIL);
    CByteWriter v;
    v.Text("GIF89a").U16(2).U16(1).U8(0x80).U8(0).U8(0).U8(9).Fill(0, 5);
    v.U8(0x2C).U16(0).U16(0).U16(2).U16(1).U8(0);
    v.U8(2).U8(1).U8(0x38).U8(0).U8(0x3B);  // codes 0, 7: 7 is past the table
    Decoded d = DecodeWith(kGif, v.Vector());
    ASSERT_EQ(d.hr, S_OK);  // one pixel decoded, the damaged rest in colour 0
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(9, 0, 0), Px(9, 0, 0)}));
}

}  // namespace
