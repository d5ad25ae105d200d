// JPEG, PNG and TIFF codecs over the image libraries, with fixtures written
// by the libraries' own writers.
#include <gtest/gtest.h>

#include <string.h>

#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include "PictureTestUtil.h"
#include "bPicCodec.h"

using namespace pictest;
using picfix::PngSpec;
using picfix::TiffSpec;

namespace {

// ---- JPEG ----

// Flat 8x8 blocks at quality 100 survive the transform exactly.
std::vector<uint8_t> Blocks(int blocksX, int blocksY, int components,
                            const std::vector<std::vector<uint8_t>>& colours) {
    const int w = blocksX * 8, h = blocksY * 8;
    std::vector<uint8_t> px((size_t)w * h * components);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::vector<uint8_t>& c = colours[((y / 8) * blocksX + x / 8) % colours.size()];
            memcpy(&px[((size_t)y * w + x) * components], c.data(), components);
        }
    return px;
}

TEST(JpegDecoder, GreyPictureDecodesToExactGreyPixels) {
    std::vector<uint8_t> px = Blocks(2, 2, 1, {{0}, {77}, {200}, {255}});
    Bytes file = picfix::WriteJpeg(16, 16, 1, px.data(), 100);
    Decoded d = DecodeWith(kJpeg, file);
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_FALSE(d.dib.topDown);
    EXPECT_EQ(d.width, 16);
    EXPECT_EQ(d.height, 16);
    EXPECT_EQ(d.alpha, 0);
    EXPECT_EQ(d.dib.At(0, 0), Px(0, 0, 0));
    EXPECT_EQ(d.dib.At(15, 0), Px(77, 77, 77));
    EXPECT_EQ(d.dib.At(0, 15), Px(200, 200, 200));
    EXPECT_EQ(d.dib.At(15, 15), Px(255, 255, 255));
}

TEST(JpegDecoder, ColourPictureMatchesThePlainLibraryDecode) {
    picfix::Rng rng(3);
    for (int round = 0; round < 4; ++round) {
        const int w = 5 + (int)rng.Below(60), h = 3 + (int)rng.Below(40);
        std::vector<uint8_t> px((size_t)w * h * 3);
        for (uint8_t& b : px) b = (uint8_t)rng.Next();
        Bytes file = picfix::WriteJpeg(w, h, 3, px.data(), 85);
        int rw = 0, rh = 0;
        std::vector<uint32_t> reference;
        ASSERT_TRUE(picfix::DecodeJpegReference(file, &rw, &rh, &reference));
        Decoded d = DecodeWith(kJpeg, file);
        ASSERT_EQ(d.hr, S_OK);
        EXPECT_EQ(d.dib.pixels, reference) << w << "x" << h;
    }
}

TEST(JpegDecoder, OutputHeaderIsBottomUpWithoutImageSize) {
    std::vector<uint8_t> px(24 * 8, 128);
    Bytes file = picfix::WriteJpeg(24, 8, 1, px.data(), 100);
    HGLOBAL dib = JpegToDib(file.data(), (DWORD)file.size(), 32);
    ASSERT_TRUE(dib);
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(bih->biSize, 40u);
    EXPECT_EQ(bih->biWidth, 24);
    EXPECT_EQ(bih->biHeight, 8);
    EXPECT_EQ(bih->biPlanes, 1);
    EXPECT_EQ(bih->biBitCount, 32);
    EXPECT_EQ(bih->biSizeImage, 0u);
    EXPECT_EQ(GlobalSize(dib), 40u + 24 * 8 * 4);
    GlobalUnlock(dib);
    GlobalFree(dib);

    // 24 bits: rows padded to 4 bytes, blue, green, red; anything else is 24.
    std::vector<uint8_t> rgb = Blocks(1, 1, 3, {{250, 10, 20}});
    file = picfix::WriteJpeg(5, 1, 3, rgb.data(), 100);
    for (int request : {24, 16}) {
        dib = JpegToDib(file.data(), (DWORD)file.size(), request);
        ASSERT_TRUE(dib);
        const BYTE* p = static_cast<const BYTE*>(GlobalLock(dib));
        EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(p)->biBitCount, 24);
        EXPECT_EQ(GlobalSize(dib), 40u + 16);
        int w = 0, h = 0;
        std::vector<uint32_t> ref;
        picfix::DecodeJpegReference(file, &w, &h, &ref);
        EXPECT_EQ(p[40 + 12], ref[4] & 0xFF);          // blue of the last pixel
        EXPECT_EQ(p[40 + 14], (ref[4] >> 16) & 0xFF);  // red
        GlobalUnlock(dib);
        GlobalFree(dib);
    }
    int w = 0, h = 0;
    EXPECT_EQ(JpegGetSize(file.data(), (DWORD)file.size(), &w, &h), 1);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 1);
}

TEST(JpegDecoder, CmykPictureMultipliesEachInkByBlack) {
    // Stored as the Adobe applications write it (inverted): 255 is no ink.
    std::vector<uint8_t> px =
        Blocks(3, 1, 4, {{255, 255, 255, 255}, {200, 100, 50, 128}, {0, 90, 255, 255}});
    Bytes file = picfix::WriteJpeg(24, 8, 4, px.data(), 100);
    Decoded d = DecodeWith(kJpeg, file);
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.At(0, 0), Px(255, 255, 255));
    EXPECT_EQ(d.dib.At(8, 0), Px(200 * 128 / 255, 100 * 128 / 255, 50 * 128 / 255));
    EXPECT_EQ(d.dib.At(16, 7), Px(0, 90, 255));
}

TEST(JpegDecoder, TruncatedPictureStillDecodes) {
    picfix::Rng rng(4);
    std::vector<uint8_t> px(64 * 64 * 3);
    for (uint8_t& b : px) b = (uint8_t)rng.Next();
    Bytes file = picfix::WriteJpeg(64, 64, 3, px.data(), 90);
    file.resize(file.size() * 2 / 3);
    Decoded d = DecodeWith(kJpeg, file);
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.width, 64);
    EXPECT_EQ(d.dib.height, 64);
}

TEST(JpegDecoder, LibraryErrorsEndInFailureWithTheLibraryText) {
    {
        LogCapture log;
        Decoded d = DecodeWith(kJpeg, Bytes());
        EXPECT_EQ(d.hr, E_FAIL);
        EXPECT_FALSE(d.haveDib);
        char text[200];
        JpegGetLastError(text, sizeof(text));
        EXPECT_STREQ(text, "Empty input file");
        EXPECT_LOGGED(log, "unable decode JPG file(");
        EXPECT_LOGGED(log, "Empty input file");
    }
    Bytes garbage(300, 0x5A);
    EXPECT_EQ(DecodeWith(kJpeg, garbage).hr, E_FAIL);
    EXPECT_EQ(JpegToDib(garbage.data(), (DWORD)garbage.size(), 32), nullptr);
    EXPECT_EQ(JpegGetSize(garbage.data(), (DWORD)garbage.size(), nullptr, nullptr), 0);
    char small[6];
    int code = JpegGetLastError(small, sizeof(small));
    EXPECT_NE(code, 0);
    EXPECT_EQ(strlen(small), 5u);  // cut to the buffer
    EXPECT_EQ(JpegGetLastError(nullptr, 0), code);
    // A header read succeeds, then the data is damaged past repair.
    std::vector<uint8_t> px(16 * 16 * 3, 9);
    Bytes file = picfix::WriteJpeg(16, 16, 3, px.data(), 90);
    Bytes noFrame(file.begin(), file.begin() + 20);
    EXPECT_EQ(DecodeWith(kJpeg, noFrame).hr, E_FAIL);
}

// ---- PNG ----

TEST(PngDecoder, RgbAndRgbaPicturesDecodeToBlueGreenRedAlpha) {
    PngSpec s;
    s.width = 2;
    s.height = 2;
    s.colourType = PNG_COLOR_TYPE_RGB;
    s.rows = {255, 0, 0, 0, 255, 0, /**/ 0, 0, 255, 1, 2, 3};
    Decoded d = DecodeWith(kPng, picfix::WritePng(s));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_FALSE(d.dib.topDown);
    EXPECT_EQ(d.alpha, 1);  // set for every PNG
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(255, 0, 0, 255), Px(0, 255, 0, 255),
                                                   Px(0, 0, 255, 255), Px(1, 2, 3, 255)}));
    s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = {255, 0, 0, 0, 0, 255, 0, 128, /**/ 0, 0, 255, 255, 1, 2, 3, 4};
    d = DecodeWith(kPng, picfix::WritePng(s));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(255, 0, 0, 0), Px(0, 255, 0, 128),
                                                   Px(0, 0, 255, 255), Px(1, 2, 3, 4)}));
}

TEST(PngDecoder, PaletteWithTransparencyGivesPerPixelAlpha) {
    PngSpec s;
    s.width = 3;
    s.height = 1;
    s.colourType = PNG_COLOR_TYPE_PALETTE;
    s.bitDepth = 4;
    s.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    s.trnsAlpha = {0, 100};  // entry 2 stays opaque
    s.rows = {0x01, 0x20};
    Decoded d = DecodeWith(kPng, picfix::WritePng(s));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels,
              (std::vector<uint32_t>{Px(10, 20, 30, 0), Px(40, 50, 60, 100), Px(70, 80, 90, 255)}));
}

TEST(PngDecoder, GreyPicturesBecomeGreyRgb) {
    struct Case {
        const char* name;
        int colourType, depth;
        std::vector<uint8_t> row;
        int trnsGrey;
        std::vector<uint32_t> expected;
    } cases[] = {
        {"16-bit grey keeps the high byte",
         PNG_COLOR_TYPE_GRAY,
         16,
         {0x12, 0x34, 0xFF, 0x00},
         -1,
         {Px(0x12, 0x12, 0x12, 255), Px(255, 255, 255, 255)}},
        {"2-bit grey is scaled",
         PNG_COLOR_TYPE_GRAY,
         2,
         {0x1B},
         -1,
         {Px(0, 0, 0, 255), Px(85, 85, 85, 255), Px(170, 170, 170, 255), Px(255, 255, 255, 255)}},
        {"grey with a transparent value",
         PNG_COLOR_TYPE_GRAY,
         8,
         {5, 6},
         6,
         {Px(5, 5, 5, 255), Px(6, 6, 6, 0)}},
        {"grey and alpha",
         PNG_COLOR_TYPE_GRAY_ALPHA,
         8,
         {9, 10, 11, 12},
         -1,
         {Px(9, 9, 9, 10), Px(11, 11, 11, 12)}},
    };
    for (const Case& c : cases) {
        PngSpec s;
        s.width = (int)c.expected.size();
        s.height = 1;
        s.colourType = c.colourType;
        s.bitDepth = c.depth;
        s.rows = c.row;
        s.trnsGrey = c.trnsGrey;
        Decoded d = DecodeWith(kPng, picfix::WritePng(s));
        ASSERT_EQ(d.hr, S_OK) << c.name;
        EXPECT_EQ(d.dib.pixels, c.expected) << c.name;
    }
}

TEST(PngDecoder, BackgroundChunkIsComposited) {
    PngSpec s;
    s.width = 2;
    s.height = 1;
    s.colourType = PNG_COLOR_TYPE_PALETTE;
    s.palette = {200, 0, 0, 0, 0, 200};
    s.trnsAlpha = {0};  // entry 0 fully transparent
    s.background = true;
    s.backgroundIndex = 1;
    s.rows = {0, 1};
    Decoded d = DecodeWith(kPng, picfix::WritePng(s));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(0, 0, 200, 255), Px(0, 0, 200, 255)}));
}

TEST(PngDecoder, InterlacedPictureEqualsItsPlainTwin) {
    picfix::Rng rng(11);
    PngSpec s;
    s.width = 13;
    s.height = 11;
    s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int i = 0; i < 13 * 11 * 4; ++i) s.rows.push_back((uint8_t)rng.Next());
    std::vector<uint32_t> expected;
    for (int i = 0; i < 13 * 11; ++i)
        expected.push_back(
            Px(s.rows[4 * i], s.rows[4 * i + 1], s.rows[4 * i + 2], s.rows[4 * i + 3]));
    Decoded plain = DecodeWith(kPng, picfix::WritePng(s));
    s.interlaced = true;
    Decoded interlaced = DecodeWith(kPng, picfix::WritePng(s));
    ASSERT_EQ(plain.hr, S_OK);
    ASSERT_EQ(interlaced.hr, S_OK);
    EXPECT_EQ(plain.dib.pixels, expected);
    EXPECT_EQ(interlaced.dib.pixels, expected);
}

TEST(PngDecoder, LibraryErrorsEndInFailure) {
    PngSpec s;
    s.width = 8;
    s.height = 8;
    s.colourType = PNG_COLOR_TYPE_GRAY;
    s.rows.assign(64, 3);
    Bytes good = picfix::WritePng(s);
    Bytes notPng = good;
    notPng[1] = 'X';
    Bytes cut(good.begin(), good.begin() + 40);
    Bytes badCrc = good;
    badCrc[29] ^= 1;  // IHDR's CRC
    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {{"signature", notPng},
                 {"cut in the data", cut},
                 {"header CRC", badCrc},
                 {"empty", Bytes()}};
    for (const Case& c : cases) {
        LogCapture log;
        Decoded d = DecodeWith(kPng, c.file);
        EXPECT_EQ(d.hr, E_FAIL) << c.name;
        EXPECT_FALSE(d.haveDib) << c.name;
        EXPECT_LOGGED(log, "unable decode Png file: ");
    }
    int w = 0, h = 0;
    EXPECT_EQ(PngToDib(cut.data(), &w, &h, (DWORD)cut.size()), nullptr);
    EXPECT_EQ(PngToDib(nullptr, &w, &h, 100), nullptr);
}

TEST(PngDecoder, OversizedPictureIsRefusedBeforeItsPixelsAreRead) {
    // The header announces 4097 x 4096; the data would be far too short to
    // decode, so only the size test can end this.
    PngSpec s;
    s.width = 16;
    s.height = 1;
    s.colourType = PNG_COLOR_TYPE_GRAY;
    s.rows.assign(16, 0);
    Bytes file = picfix::WritePng(s);
    // IHDR data at 16: width, height (big-endian); then fix its CRC.
    auto put32 = [&](size_t at, uint32_t v) {
        file[at] = v >> 24;
        file[at + 1] = (v >> 16) & 0xFF;
        file[at + 2] = (v >> 8) & 0xFF;
        file[at + 3] = v & 0xFF;
    };
    put32(16, 4097);
    put32(20, 4096);
    put32(29, (uint32_t)crc32(crc32(0, nullptr, 0), &file[12], 17));
    LogCapture log;
    Decoded d = DecodeWith(kPng, file);
    EXPECT_EQ(d.hr, E_FAIL);
    EXPECT_LOGGED(log, "Picture's pixels is exceed 4096*4096,do not display it");
    int w = 0, h = 0;
    EXPECT_TRUE(PngGetSize(file.data(), (DWORD)file.size(), &w, &h));
    EXPECT_EQ(w, 4097);
    EXPECT_EQ(h, 4096);
}

// ---- TIFF ----

TEST(TiffDecoder, RgbPictureComesOutBlueFirstAndBottomUp) {
    TiffSpec s;
    s.width = 2;
    s.height = 2;
    s.pixels = {255, 0, 0, 0, 255, 0, /**/ 0, 0, 255, 10, 20, 30};
    Decoded d = DecodeWith(kTiff, picfix::WriteTiff(s));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_FALSE(d.dib.topDown);
    EXPECT_EQ(d.alpha, 0);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(255, 0, 0, 255), Px(0, 255, 0, 255),
                                                   Px(0, 0, 255, 255), Px(10, 20, 30, 255)}));
}

TEST(TiffDecoder, CompressionsGrayAndAlphaDecode) {
    picfix::Rng rng(21);
    TiffSpec base;
    base.width = 37;
    base.height = 23;
    for (int i = 0; i < 37 * 23 * 3; ++i) base.pixels.push_back((uint8_t)(rng.Below(4) * 60));
    std::vector<uint32_t> expected;
    for (int i = 0; i < 37 * 23; ++i)
        expected.push_back(
            Px(base.pixels[3 * i], base.pixels[3 * i + 1], base.pixels[3 * i + 2], 255));
    for (int compression :
         {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_PACKBITS, COMPRESSION_ADOBE_DEFLATE}) {
        TiffSpec s = base;
        s.compression = compression;
        s.rowsPerStrip = 5;
        Decoded d = DecodeWith(kTiff, picfix::WriteTiff(s));
        ASSERT_EQ(d.hr, S_OK) << compression;
        EXPECT_EQ(d.dib.pixels, expected) << compression;
    }
    TiffSpec grey;
    grey.width = 3;
    grey.height = 1;
    grey.samplesPerPixel = 1;
    grey.photometric = PHOTOMETRIC_MINISBLACK;
    grey.pixels = {0, 99, 255};
    Decoded d = DecodeWith(kTiff, picfix::WriteTiff(grey));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.pixels, (std::vector<uint32_t>{Px(0, 0, 0, 255), Px(99, 99, 99, 255),
                                                   Px(255, 255, 255, 255)}));
    TiffSpec alpha;
    alpha.width = 2;
    alpha.height = 1;
    alpha.samplesPerPixel = 4;
    alpha.extraAlpha = true;
    alpha.pixels = {1, 2, 3, 255, 4, 5, 6, 0};
    d = DecodeWith(kTiff, picfix::WriteTiff(alpha));
    ASSERT_EQ(d.hr, S_OK);
    EXPECT_EQ(d.dib.At(0, 0), Px(1, 2, 3, 255));
    EXPECT_EQ(d.dib.At(1, 0) >> 24, 0u);
}

TEST(TiffDecoder, OutputIsMadeByDibCreate) {
    TiffSpec s;
    s.width = 3;
    s.height = 2;
    s.pixels.assign(18, 7);
    Bytes file = picfix::WriteTiff(s);
    HGLOBAL dib = TiffToDib(file.data(), (DWORD)file.size());
    ASSERT_TRUE(dib);
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(bih->biHeight, 2);
    EXPECT_EQ(bih->biBitCount, 32);
    EXPECT_EQ(bih->biSizeImage, 24u);
    EXPECT_EQ(bih->biXPelsPerMeter, 2834);
    GlobalUnlock(dib);
    GlobalFree(dib);
}

TEST(TiffDecoder, PicturesTheReaderCannotHandleFailWithItsReason) {
    TiffSpec s;
    s.width = 4;
    s.height = 1;
    s.bitsPerSample = 3;
    s.pixels.assign(5, 0);
    LogCapture log;
    Decoded d = DecodeWith(kTiff, picfix::WriteTiff(s));
    EXPECT_EQ(d.hr, E_FAIL);
    char text[256];
    TiffGetLastError(text, sizeof(text));
    EXPECT_NE(strstr(text, "3-bit samples"), nullptr) << text;
    EXPECT_LOGGED(log, "unable decode tiff file: ");
    EXPECT_LOGGED(log, "3-bit samples");
}

TEST(TiffDecoder, DamagedFilesFail) {
    TiffSpec s;
    s.width = 16;
    s.height = 16;
    s.pixels.assign(16 * 16 * 3, 1);
    Bytes good = picfix::WriteTiff(s);
    Bytes cut(good.begin(), good.begin() + good.size() / 3);  // strip data cut short
    Bytes garbage(200, 0x49);
    for (const Bytes& file : {cut, garbage, Bytes()}) {
        Decoded d = DecodeWith(kTiff, file);
        EXPECT_EQ(d.hr, E_FAIL);
        EXPECT_FALSE(d.haveDib);
    }
    EXPECT_EQ(TiffOpenMemory(nullptr, 10), nullptr);
    char text[256];
    TiffGetLastError(text, sizeof(text));
    EXPECT_STREQ(text, "TIFFOpenTiffInMem: Cannot open tiff");
}

TEST(TiffDecoder, OversizedPictureIsRefusedBeforeItIsDecoded) {
    TiffSpec s;
    s.width = 4097;
    s.height = 4096;
    s.bitsPerSample = 1;
    s.samplesPerPixel = 1;
    s.photometric = PHOTOMETRIC_MINISBLACK;
    s.compression = COMPRESSION_PACKBITS;
    s.rowsPerStrip = 4096;
    s.pixels.assign((size_t)(4097 + 7) / 8 * 4096, 0);
    Bytes file = picfix::WriteTiff(s);
    LogCapture log;
    Decoded d = DecodeWith(kTiff, file);
    EXPECT_EQ(d.hr, E_FAIL);
    EXPECT_LOGGED(log, "Picture's pixels is exceed 4096*4096,do not display it");
}

}  // namespace
