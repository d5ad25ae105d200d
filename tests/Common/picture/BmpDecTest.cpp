// BMP codec: file header checks, both header kinds, rows found after the
// palette, and exact pixels.
#include <gtest/gtest.h>

#include "PictureTestUtil.h"
#include "bPicCodec.h"

using namespace pictest;

namespace {

TEST(BmpDecoder, EightBitPictureDecodesToExactPixels) {
    DibSpec s;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.clrUsed = 3;
    s.palette = {0x102030, 0x405060, 0x708090};
    s.rows = {2, 1, 0, 0,   // bottom row
              0, 1, 2, 0};  // top row
    Decoded d = DecodeWith(kBmp, BmpFile(MakeDib(s), 14 + 40 + 12));
    ASSERT_EQ(d.hr, S_OK);
    ASSERT_TRUE(d.haveDib);
    EXPECT_TRUE(d.dib.topDown);
    EXPECT_EQ(d.dib.pixels,
              (std::vector<uint32_t>{0x102030, 0x405060, 0x708090, 0x708090, 0x405060, 0x102030}));
    EXPECT_EQ(d.alpha, 0);
    EXPECT_EQ(d.width, 3);
    EXPECT_EQ(d.height, 2);
}

TEST(BmpDecoder, CoreHeaderPictureDecodes) {
    // 12-byte header: size, 16-bit width 2, height 1, planes 1, 24 bits.
    DibSpec s;
    s.headerSize = 12;
    s.width = 2;
    s.bits = 24;
    s.rows = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0};
    PictureCodec* codec = nullptr;
    ASSERT_EQ(CreateBmpCodec(&codec), S_OK);
    Bytes file = BmpFile(MakeDib(s), 26);
    ASSERT_EQ(codec->ReadInfo(file.data(), (DWORD)file.size()), S_OK);
    EXPECT_EQ(codec->GetWidth(), 2);
    EXPECT_EQ(codec->GetHeight(), 1);
    HGLOBAL dib = nullptr;
    ASSERT_EQ(codec->Decode(file.data(), (DWORD)file.size(), &dib), S_OK);
    Dib32 out;
    ASSERT_TRUE(picfix::ReadDib32(dib, &out));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{0x030201, 0x060504}));
    GlobalFree(dib);
    codec->Release();
}

TEST(BmpDecoder, DataOffsetFieldIsNotUsed) {
    DibSpec s;
    s.rows = {9, 8, 7, 0};
    // The offset points at nothing sensible; the rows follow the header.
    Decoded d = DecodeWith(kBmp, BmpFile(MakeDib(s), 0xFFFFFF));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{0x070809}));
}

TEST(BmpDecoder, RunLengthPictureDecodes) {
    DibSpec s;
    s.width = 4;
    s.height = 2;
    s.bits = 8;
    s.compression = BI_RLE8;
    s.clrUsed = 2;
    s.palette = {0x000000, 0x00FF00};
    s.rows = {4, 1, 0, 0, 2, 0, 2, 1, 0, 1};  // bottom: 4 green; top: 2 black, 2 green
    Decoded d = DecodeWith(kBmp, BmpFile(MakeDib(s), 0));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels,
              (std::vector<uint32_t>{0, 0, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00, 0xFF00}));
}

TEST(BmpDecoder, FilesThatAreNotWin30DibsAreRefused) {
    DibSpec s;
    s.rows = {1, 2, 3, 0};
    Bytes good = BmpFile(MakeDib(s), 54);
    Bytes notBm = good;
    notBm[0] = 'X';
    Bytes v4 = good;
    v4[14] = 108;  // a 108-byte header
    Bytes tiny = {'B', 'M', 0, 0};
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
    } cases[] = {
        {"not BM", notBm, "Not a bitmap file"},
        {"108-byte header", v4, "Not a win30-dib file"},
        {"file header only", tiny, "Not a win30-dib file"},
        {"empty", Bytes(), "Not a bitmap file"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Decoded d = DecodeWith(kBmp, c.file);
        EXPECT_EQ(d.hr, E_FAIL) << c.name;
        EXPECT_FALSE(d.haveDib) << c.name;
        EXPECT_LOGGED(log, c.message);
    }
    // Decode alone checks the header too.
    PictureCodec* codec = nullptr;
    ASSERT_EQ(CreateBmpCodec(&codec), S_OK);
    HGLOBAL dib = (HGLOBAL)1;
    EXPECT_EQ(codec->Decode(v4.data(), (DWORD)v4.size(), &dib), E_FAIL);
    EXPECT_EQ(dib, nullptr);
    codec->Release();
}

}  // namespace
