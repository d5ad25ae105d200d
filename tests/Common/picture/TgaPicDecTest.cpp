// TGA, PIC and MSP codecs: byte fixtures with their layout spelled out.
#include <gtest/gtest.h>

#include "PictureTestUtil.h"

using namespace pictest;

namespace {

// TGA header: id length, colour map type, image type, colour map spec and
// origin (9 bytes, not read), width, height, depth, descriptor.
CByteWriter TgaHeader(int idLength, int mapType, int imageType, int width, int height, int depth) {
    CByteWriter w;
    w.U8(idLength).U8(mapType).U8(imageType).Fill(0, 9).U16(width).U16(height).U8(depth).U8(0);
    return w;
}

TEST(TgaDecoder, SixteenBitPixelsSpreadFiveBitsPerChannel) {
    CByteWriter w = TgaHeader(0, 0, 2, 4, 1, 16);
    w.U16(0x7FFF).U16(0x001F).U16(0x03E0).U16(0x7C00);
    Decoded d = DecodeWith(kTga, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_FALSE(d.dib.topDown);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(248, 248, 248, 255), Px(0, 0, 248, 255),
                                                   Px(0, 248, 0, 255), Px(248, 0, 0, 255)}));
    EXPECT_EQ(d.alpha, 0);
}

TEST(TgaDecoder, TrueColourRowsAreTakenBottomRowFirst) {
    // 24 bits: two rows of one pixel (blue, green, red); the first is the bottom.
    CByteWriter w = TgaHeader(3, 0, 2, 1, 2, 24);
    w.Text("ID!");
    w.U8(1).U8(2).U8(3).U8(4).U8(5).U8(6);
    Decoded d = DecodeWith(kTga, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(6, 5, 4, 255), Px(3, 2, 1, 255)}));
    EXPECT_EQ(d.alpha, 1);

    // 32 bits: copied as stored, alpha included.
    CByteWriter v = TgaHeader(0, 0, 2, 2, 1, 32);
    v.U8(1).U8(2).U8(3).U8(0).U8(4).U8(5).U8(6).U8(128);
    d = DecodeWith(kTga, v.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(3, 2, 1, 0), Px(6, 5, 4, 128)}));
    EXPECT_EQ(d.alpha, 1);
}

TEST(TgaDecoder, RowsStoredFromTheTopAreShownUpright) {
    // The same 2 x 2 picture, rows stored bottom first (descriptor 0) and top
    // first (descriptor bit 5), in 24, 32 and 8 bits.
    const struct {
        int depth, imageType;
        std::vector<uint8_t> bottomRow, topRow;
    } cases[] = {
        {24, 2, {1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}},
        {32, 2, {1, 2, 3, 255, 4, 5, 6, 255}, {7, 8, 9, 255, 10, 11, 12, 255}},
        {8, 3, {10, 20}, {30, 40}},
    };
    for (const auto& c : cases) {
        Decoded decoded[2];
        for (int top = 0; top < 2; ++top) {
            CByteWriter w = TgaHeader(0, 0, c.imageType, 2, 2, c.depth);
            std::vector<uint8_t> bytes = w.Vector();
            bytes[17] = top ? 0x20 : 0;  // descriptor
            const auto& first = top ? c.topRow : c.bottomRow;
            const auto& second = top ? c.bottomRow : c.topRow;
            bytes.insert(bytes.end(), first.begin(), first.end());
            bytes.insert(bytes.end(), second.begin(), second.end());
            decoded[top] = DecodeWith(kTga, bytes);
            ASSERT_EQ(decoded[top].hr, S_OK) << c.depth << " " << top;
        }
        // Compared as shown: top row first.
        std::vector<uint32_t> shown[2];
        for (int k = 0; k < 2; ++k) {
            const picfix::Dib32& d = decoded[k].dib;
            for (int y = 0; y < d.height; ++y) {
                int row = d.topDown ? y : d.height - 1 - y;
                for (int x = 0; x < d.width; ++x) shown[k].push_back(d.At(x, row));
            }
        }
        EXPECT_EQ(shown[0], shown[1]) << c.depth;
        EXPECT_NE(shown[0][0], shown[0][2]) << "the two rows differ";
    }
}

TEST(TgaDecoder, EightBitPicturesUseTheColourMapOrAGreyRamp) {
    // Grey (type 3, no map): index i is (i, i, i); output is top-down.
    CByteWriter w = TgaHeader(0, 0, 3, 2, 2, 8);
    w.U8(10).U8(20).U8(30).U8(40);  // bottom row, then top row
    Decoded d = DecodeWith(kTga, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_TRUE(d.dib.topDown);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(30, 30, 30), Px(40, 40, 40), Px(10, 10, 10),
                                                   Px(20, 20, 20)}));
    EXPECT_EQ(d.alpha, 0);

    // Colour-mapped (type 1): a 256-entry map of blue, green, red after the id.
    CByteWriter m = TgaHeader(2, 1, 1, 2, 1, 8);
    m.U8(0xEE).U8(0xEE);
    for (int i = 0; i < 256; ++i) m.U8(i).U8(255 - i).U8(7);
    m.U8(0).U8(200);
    d = DecodeWith(kTga, m.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(7, 255, 0), Px(7, 55, 200)}));
}

TEST(TgaDecoder, UnsupportedFilesAreRefusedWithTheirReason) {
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    } cases[] = {
        {"run-length (type 10)", TgaHeader(0, 0, 10, 1, 1, 24).Fill(0, 4).Vector(),
         "Compressed TGA format is not supported"},
        {"type 0", TgaHeader(0, 0, 0, 1, 1, 24).Fill(0, 3).Vector(),
         "Compressed TGA format is not supported"},
        {"colour map type 2", TgaHeader(0, 2, 2, 1, 1, 24).Fill(0, 3).Vector(), "Not tga File"},
        {"15-bit depth", TgaHeader(0, 0, 2, 1, 1, 15).Fill(0, 2).Vector(),
         "TGA: Not 8/16/24/32-BitsPerPixel TGA file"},
        {"header cut short", Bytes{0, 0, 2, 0, 0}, "Not tga File"},
        {"zero width", TgaHeader(0, 0, 2, 0, 1, 24).Vector(), "Not tga File"},
        // A colour map on a 16-bit file is taken to hold 3 x 65536 bytes.
        {"colour map past the end", TgaHeader(0, 1, 2, 1, 1, 16).Fill(0, 800).Vector(),
         "TGA: file is shorter than its pixel rows"},
        {"rows cut short", TgaHeader(0, 0, 2, 2, 2, 24).Fill(0, 11).Vector(),
         "TGA: file is shorter than its pixel rows"},
        {"8-bit map cut short", TgaHeader(0, 1, 1, 1, 1, 8).Fill(0, 100).Vector(),
         "TGA: file is shorter than its pixel rows"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Decoded d = DecodeWith(kTga, c.file);
        EXPECT_EQ(d.hr, E_FAIL) << c.name;
        EXPECT_FALSE(d.haveDib) << c.name;
        EXPECT_LOGGED(log, c.message);
    }
}

// MSP header: "DanM", width, height, then 24 bytes; rows follow at 32.
CByteWriter MspHeader(int rawWidth, int rawHeight) {
    CByteWriter w;
    w.Text("DanM").U16(rawWidth).U16(rawHeight).Fill(0, 24);
    return w;
}

// PIC header: 0xC004, 0, width, height, bytes 8-21 unused, byte 22 the
// header kind (0x18: rows at 24, else at 16), bytes 23-31 unused.
std::vector<uint32_t> Bits(const std::vector<int>& values, uint32_t zero, uint32_t one) {
    std::vector<uint32_t> out;
    for (int v : values) out.push_back(v ? one : zero);
    return out;
}

TEST(PicMspDecoder, MspRowsTopFirstWithBlackZero) {
    // 16 x 2; width 104 in the next test.
    CByteWriter w = MspHeader(16, 2);
    w.U8(0xF0).U8(0x01).U8(0x80).U8(0x00);
    Decoded d = DecodeWith(kPic, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_TRUE(d.dib.topDown);
    const uint32_t black = 0, white = 0xFFFFFF;
    EXPECT_EQ(d.dib.pixels, Bits({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                                  1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                 black, white));
    EXPECT_EQ(d.alpha, 0);
}

TEST(PicMspDecoder, MspWidthMustBeAMultipleOfEight) {
    LogCapture log;
    EXPECT_EQ(DecodeWith(kPic, MspHeader(100, 1).Fill(0, 13).Vector()).hr, E_FAIL);
    EXPECT_LOGGED(log, "Unsupported PIC/MSP file format");
    Decoded d = DecodeWith(kPic, MspHeader(104, 1).Fill(0xFF, 13).Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.width, 104);
    EXPECT_EQ(d.dib.pixels, std::vector<uint32_t>(104, 0xFFFFFF));
}

TEST(PicMspDecoder, PicRowsStartAfterTheHeaderKind) {
    const uint32_t black = 0, white = 0xFFFFFF;
    // Kind 0x18: rows at 24. 12 pixels wide: one byte per row, the last 4
    // pixels stay index 0 (white in a PIC).
    CByteWriter a;
    a.U16(0xC004).U16(0).U16(12).U16(1).Fill(0, 14).U8(0x18).U8(0).U8(0xAA).Fill(0, 7);
    Decoded d = DecodeWith(kPic, a.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, Bits({1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0}, white, black));
    // Another kind: rows at 16, over the end of the 32-byte header.
    CByteWriter b;
    b.U16(0xC004).U16(0).U16(8).U16(2).Fill(0, 8).U8(0x0F).U8(0xF0).Fill(0, 4).U8(0).Fill(0, 9);
    d = DecodeWith(kPic, b.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, Bits({0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0}, white, black));
}

TEST(PicMspDecoder, PrefixedFilesAndMaskedSizes) {
    // A first word of 0 moves the header to offset 512.
    CByteWriter w;
    w.Fill(0, 512);
    w.Bytes(MspHeader(0xC008, 0x4001).Vector());  // masked to 8 x 1
    w.U8(0x81);
    Decoded d = DecodeWith(kPic, w.Vector());
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.width, 8);
    EXPECT_EQ(d.height, 1);
    EXPECT_EQ(d.dib.pixels, Bits({1, 0, 0, 0, 0, 0, 0, 1}, 0, 0xFFFFFF));
}

TEST(PicMspDecoder, DamagedFilesAreRefused) {
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    } cases[] = {
        {"neither kind", CByteWriter().Text("DanX").U16(8).U16(1).Fill(0, 25).Vector(),
         "Unsupported PIC/MSP file format"},
        {"header cut short", MspHeader(8, 1).Vector(),
         "PIC/MSP: file is shorter than its pixel rows"},
        {"rows cut short", MspHeader(16, 4).Fill(0, 7).Vector(),
         "PIC/MSP: file is shorter than its pixel rows"},
        {"prefix only", CByteWriter().Fill(0, 520).Vector(), "Unsupported PIC/MSP file format"},
        {"zero height", MspHeader(8, 0).Fill(0, 4).Vector(), "Unsupported PIC/MSP file format"},
        {"three bytes", Bytes{0x04, 0xC0, 0}, "Unsupported PIC/MSP file format"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Decoded d = DecodeWith(kPic, c.file);
        EXPECT_EQ(d.hr, E_FAIL) << c.name;
        EXPECT_LOGGED(log, c.message);
    }
}

}  // namespace
