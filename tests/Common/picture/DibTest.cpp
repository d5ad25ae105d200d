// Packed DIB helpers: layout, creation and the conversion to 32 bits, the
// conversion checked against GDI's own on seeded random pictures.
#include <gtest/gtest.h>

#include <string.h>

#include "PictureTestUtil.h"
#include "bDib.h"

using namespace pictest;

namespace {

Dib32 Convert(const Bytes& dib) {
    Dib32 out;
    HGLOBAL h = ConvertPackedDib32Checked(dib.data(), dib.size());
    EXPECT_TRUE(h != nullptr);
    if (h) {
        EXPECT_TRUE(picfix::ReadDib32(h, &out));
        const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h));
        EXPECT_LT(bih->biHeight, 0);  // always top-down
        EXPECT_EQ(bih->biSizeImage, (DWORD)(out.width * out.height * 4));
        GlobalUnlock(h);
        GlobalFree(h);
    }
    return out;
}

TEST(DibLayout, ColourCountAndPaletteSize) {
    struct Case {
        int headerSize, bits;
        DWORD clrUsed;
        UINT colours;
        DWORD paletteBytes;
    } cases[] = {
        {40, 24, 0, 0, 0}, {40, 32, 0, 0, 0}, {40, 8, 0, 256, 1024}, {40, 4, 0, 16, 64},
        {40, 1, 0, 2, 8},  {40, 8, 5, 5, 20}, {40, 24, 3, 3, 12},    {12, 8, 0, 256, 768},
        {12, 1, 0, 2, 6},  {12, 24, 0, 0, 0}, {40, 16, 0, 0, 0},
    };
    for (const Case& c : cases) {
        DibSpec s;
        s.headerSize = c.headerSize;
        s.bits = c.bits;
        s.clrUsed = c.clrUsed;
        Bytes dib = MakeDib(s);
        EXPECT_EQ(DibColorCount(dib.data()), c.colours) << c.headerSize << "/" << c.bits;
        EXPECT_EQ(DibPaletteSize(dib.data()), c.paletteBytes) << c.headerSize << "/" << c.bits;
        EXPECT_EQ(DibBitsPointer(dib.data()) - dib.data(),
                  (ptrdiff_t)(c.headerSize + c.paletteBytes));
    }
}

TEST(DibLayout, RowsFollowThePaletteSizeTakenToItsLow16Bits) {
    struct Case {
        DWORD clrUsed;
        DWORD paletteBytes;
        ptrdiff_t rowsOffset;
    } cases[] = {
        {16383, 65532, 40 + 65532},
        {16384, 65536, 40},       // 0x10000: nothing left in the low 16 bits
        {16400, 65600, 40 + 64},  // 0x10040
    };
    for (const Case& c : cases) {
        DibSpec s;
        s.bits = 8;
        s.clrUsed = c.clrUsed;
        Bytes dib = MakeDib(s);
        EXPECT_EQ(DibColorCount(dib.data()), c.clrUsed) << c.clrUsed;
        EXPECT_EQ(DibPaletteSize(dib.data()), c.paletteBytes) << c.clrUsed;
        EXPECT_EQ(DibBitsPointer(dib.data()) - dib.data(), c.rowsOffset) << c.clrUsed;
        // Such a picture is refused rather than read from its palette.
        if (c.rowsOffset < 1064) {
            dib.resize(40 + 1024 + 4);
            EXPECT_EQ(ConvertPackedDib32Checked(dib.data(), dib.size()), nullptr) << c.clrUsed;
        }
    }
}

TEST(DibLayout, BitfieldsRowsFollowTheMasksWhateverTheColourCount) {
    DibSpec s;
    s.bits = 16;
    s.compression = BI_BITFIELDS;
    s.clrUsed = 7;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.rows = {0x00, 0xF8, 0, 0};  // one pure red 565 pixel
    Bytes dib = MakeDib(s);
    EXPECT_EQ(DibBitsPointer(dib.data()) - dib.data(), 52);
    Dib32 out = Convert(dib);
    EXPECT_EQ(out.At(0, 0), Px(255, 0, 0));
}

TEST(DibConvert, BottomUpBecomesTopDownWithTheTopRowFirst) {
    DibSpec s;
    s.width = 1;
    s.height = 10;
    s.bits = 8;
    s.palette.resize(256);
    for (int i = 0; i < 10; ++i) s.palette[i] = 0x010101 * (i * 20);
    for (int y = 0; y < 10; ++y) s.rows.insert(s.rows.end(), {(uint8_t)y, 0, 0, 0});
    Bytes dib = MakeDib(s);
    HGLOBAL h = ConvertPackedDib32(dib.data());
    ASSERT_TRUE(h);
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h));
    EXPECT_EQ(bih->biSize, 40u);
    EXPECT_EQ(bih->biWidth, 1);
    EXPECT_EQ(bih->biHeight, -10);
    EXPECT_EQ(bih->biPlanes, 1);
    EXPECT_EQ(bih->biBitCount, 32);
    EXPECT_EQ(bih->biCompression, (DWORD)BI_RGB);
    EXPECT_EQ(bih->biSizeImage, 40u);
    const uint32_t* px = reinterpret_cast<const uint32_t*>(bih + 1);
    EXPECT_EQ(px[0], 0x010101u * 180);  // the last stored row is the top one
    EXPECT_EQ(px[9], 0u);
    GlobalUnlock(h);
    GlobalFree(h);
    EXPECT_EQ(GlobalSize(h), 0u);
}

// Tiny pictures of every layout, with their pixels worked out by hand.
TEST(DibConvert, EveryLayoutGivesTheExpectedPixels) {
    const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
    struct Case {
        const char* name;
        DibSpec spec;
        std::vector<uint32_t> expected;  // top row first
    };
    std::vector<Case> cases;
    {
        Case c{"1-bit, 9 wide", {}, {}};
        c.spec.width = 9;
        c.spec.height = 2;
        c.spec.bits = 1;
        c.spec.palette = {kBlue, kWhite};
        // Bottom row: 1000 0000 1; top row: 0101 0101 0.
        c.spec.rows = {0x80, 0x80, 0, 0, 0x55, 0x00, 0, 0};
        for (int x = 0; x < 9; ++x) c.expected.push_back(x < 8 && (x & 1) ? kWhite : kBlue);
        for (int x = 0; x < 9; ++x) c.expected.push_back(x == 0 || x == 8 ? kWhite : kBlue);
        cases.push_back(c);
    }
    {
        Case c{"4-bit, index past a 3-colour palette is black", {}, {}};
        c.spec.width = 3;
        c.spec.bits = 4;
        c.spec.clrUsed = 3;
        c.spec.palette = {kRed, kGreen, kBlue};
        c.spec.rows = {0x12, 0x50, 0, 0};  // 1, 2, 5
        c.expected = {kGreen, kBlue, 0};
        cases.push_back(c);
    }
    {
        Case c{"8-bit top-down", {}, {}};
        c.spec.width = 2;
        c.spec.height = -2;
        c.spec.bits = 8;
        c.spec.palette.assign(256, 0);
        c.spec.palette[7] = 0x123456;
        c.spec.palette[255] = kWhite;
        c.spec.rows = {7, 255, 0, 0, 255, 7, 0, 0};
        c.expected = {0x123456, kWhite, kWhite, 0x123456};
        cases.push_back(c);
    }
    {
        Case c{"16-bit 5-5-5, high bits repeated", {}, {}};
        c.spec.width = 3;
        c.spec.bits = 16;
        c.spec.rows = {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x7C, 0, 0};  // 0x7FFF, 0x0001, 0x7C00
        c.expected = {kWhite, 0x000008, kRed};
        cases.push_back(c);
    }
    {
        Case c{"16-bit 5-6-5 bit fields", {}, {}};
        c.spec.width = 2;
        c.spec.bits = 16;
        c.spec.compression = BI_BITFIELDS;
        c.spec.masks = {0xF800, 0x07E0, 0x001F};
        c.spec.rows = {0xE0, 0x07, 0x10, 0x84};  // 0x07E0 green, 0x8410 grey
        c.expected = {kGreen, 0x848284};
        cases.push_back(c);
    }
    {
        Case c{"24-bit, rows padded", {}, {}};
        c.spec.width = 1;
        c.spec.height = 2;
        c.spec.rows = {1, 2, 3, 0, 4, 5, 6, 0};  // bottom (B,G,R), top
        c.expected = {0x060504, 0x030201};
        cases.push_back(c);
    }
    {
        Case c{"32-bit, fourth byte dropped", {}, {}};
        c.spec.bits = 32;
        c.spec.rows = {1, 2, 3, 0x80};
        c.expected = {0x030201};
        cases.push_back(c);
    }
    {
        Case c{"32-bit bit fields, red in the low byte", {}, {}};
        c.spec.bits = 32;
        c.spec.compression = BI_BITFIELDS;
        c.spec.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
        c.spec.rows = {0x11, 0x22, 0x33, 0x44};
        c.expected = {0x112233};
        cases.push_back(c);
    }
    {
        Case c{"12-byte header, 8-bit with a 3-byte palette", {}, {}};
        c.spec.headerSize = 12;
        c.spec.width = 2;
        c.spec.bits = 8;
        c.spec.palette.assign(256, 0);
        c.spec.palette[1] = 0xABCDEF;
        c.spec.rows = {1, 0, 0, 0};
        c.expected = {0xABCDEF, 0};
        cases.push_back(c);
    }
    {
        Case c{"RLE8: run, literal, delta, end of line, end of bitmap", {}, {}};
        c.spec.width = 4;
        c.spec.height = 3;
        c.spec.bits = 8;
        c.spec.compression = BI_RLE8;
        c.spec.clrUsed = 4;
        c.spec.palette = {0, kRed, kGreen, kBlue};
        c.spec.rows = {
            3, 1,              // bottom row: 3 x red
            0, 0,              // end of line
            0, 3, 2, 3, 2, 0,  // literal 2, 3, 2 (padded to a word)
            0, 2, 0, 1,        // delta: one row up
            1, 3,              // top row, x 3: blue
            0, 1,              // end of bitmap
        };
        c.expected = {0, 0, 0, kBlue, kGreen, kBlue, kGreen, 0, kRed, kRed, kRed, 0};
        cases.push_back(c);
    }
    {
        Case c{"RLE4: run of alternating nibbles and a literal", {}, {}};
        c.spec.width = 5;
        c.spec.height = 1;
        c.spec.bits = 4;
        c.spec.compression = BI_RLE4;
        c.spec.clrUsed = 4;
        c.spec.palette = {0, kRed, kGreen, kBlue};
        c.spec.rows = {3, 0x12, 0, 3, 0x31, 0x20, 0, 1};  // 1 2 1, then 3 1 2 (literal)
        c.expected = {kRed, kGreen, kRed, kBlue, kRed};   // clipped at the width
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib32 out = Convert(MakeDib(c.spec));
        EXPECT_EQ(out.pixels, c.expected);
    }
}

TEST(DibConvert, DamagedPicturesAreRefusedWithoutReadingPastTheBlock) {
    DibSpec good;
    good.width = 3;
    good.height = 2;
    good.rows.assign(24, 0x40);
    ASSERT_TRUE(ConvertPackedDib32Checked(MakeDib(good).data(), MakeDib(good).size()) != nullptr);

    struct Case {
        const char* name;
        DibSpec spec;
        int cut;  // bytes removed from the end
    };
    std::vector<Case> cases;
    cases.push_back({"rows cut short", good, 1});
    cases.push_back({"header only", good, 24});
    DibSpec s = good;
    s.width = 0;
    cases.push_back({"zero width", s, 0});
    s = good;
    s.width = -3;
    cases.push_back({"negative width", s, 0});
    s = good;
    s.height = 0;
    cases.push_back({"zero height", s, 0});
    s = good;
    s.bits = 7;
    cases.push_back({"bit count 7", s, 0});
    s = good;
    s.compression = BI_JPEG;
    cases.push_back({"embedded JPEG", s, 0});
    s = good;
    s.bits = 8;
    s.compression = BI_RLE8;
    s.height = -2;
    cases.push_back({"top-down RLE", s, 0});
    s = good;
    s.bits = 8;
    s.clrUsed = 200;  // announces 800 palette bytes, has 24
    cases.push_back({"palette cut short", s, 0});
    s = good;
    s.bits = 8;
    s.clrUsed = 0x40000001;  // palette size past 4 GB
    cases.push_back({"absurd colour count", s, 0});
    s = good;
    s.width = 0x7FFFFFFF;
    s.height = 0x7FFFFFFF;
    cases.push_back({"size overflows", s, 0});
    s = good;
    s.headerSize = 40;
    s.compression = BI_BITFIELDS;
    s.bits = 24;
    cases.push_back({"bit fields at 24 bits", s, 0});
    for (const Case& c : cases) {
        Bytes dib = MakeDib(c.spec);
        dib.resize(dib.size() - c.cut);
        EXPECT_EQ(ConvertPackedDib32Checked(dib.data(), dib.size()), nullptr) << c.name;
    }
    // Headers that are not 40 or 12 bytes, and blocks shorter than a header.
    Bytes v4 = MakeDib(good);
    v4[0] = 108;
    EXPECT_EQ(ConvertPackedDib32Checked(v4.data(), v4.size()), nullptr);
    EXPECT_EQ(ConvertPackedDib32Checked(v4.data(), 3), nullptr);
    Bytes dib = MakeDib(good);
    EXPECT_EQ(ConvertPackedDib32Checked(dib.data(), 39), nullptr);
}

TEST(DibConvert, RleRunsPastThePictureAreClipped) {
    DibSpec s;
    s.width = 2;
    s.height = 2;
    s.bits = 8;
    s.compression = BI_RLE8;
    s.clrUsed = 2;
    s.palette = {0, 0xFF0000};
    s.rows = {
        255, 1,                        // a run far past the row
        0,   2, 200, 200,              // a delta far outside
        0,   5, 1,   1,   1, 1, 1, 0,  // a literal that runs past the row
        1,                             // cut in the middle of a code
    };
    Dib32 out = Convert(MakeDib(s));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{0, 0, 0xFF0000, 0xFF0000}));
}

TEST(DibCreate, RoundsTheBitCountAndFillsTheHeader) {
    struct Case {
        int request, bits;
        DWORD palette;
    } cases[] = {{0, 1, 8},   {1, 1, 8},   {2, 4, 64},  {4, 4, 64},  {5, 8, 1024}, {8, 8, 1024},
                 {16, 24, 0}, {24, 24, 0}, {32, 32, 0}, {30, 4, 64}, {48, 4, 64}};
    for (const Case& c : cases) {
        HGLOBAL h = DibCreate(5, 3, c.request);
        ASSERT_TRUE(h);
        const BYTE* p = static_cast<const BYTE*>(GlobalLock(h));
        const BITMAPINFOHEADER* bih = reinterpret_cast<const BITMAPINFOHEADER*>(p);
        EXPECT_EQ(bih->biBitCount, c.bits) << c.request;
        EXPECT_EQ(bih->biSize, 40u);
        EXPECT_EQ(bih->biWidth, 5);
        EXPECT_EQ(bih->biHeight, 3);
        EXPECT_EQ(bih->biPlanes, 1);
        EXPECT_EQ(bih->biSizeImage, (DWORD)(5 * c.bits * 3 / 8));
        EXPECT_EQ(bih->biXPelsPerMeter, 2834);
        EXPECT_EQ(bih->biYPelsPerMeter, 2834);
        EXPECT_EQ(bih->biClrUsed, 0u);
        const DWORD stride = ((5 * c.bits + 31) / 32) * 4;
        EXPECT_EQ(GlobalSize(h), 40 + c.palette + 3 * stride) << c.request;
        for (DWORD i = 40; i < 40 + c.palette + 3 * stride; ++i) ASSERT_EQ(p[i], 0) << i;
        GlobalUnlock(h);
        GlobalFree(h);
    }
    EXPECT_EQ(DibCreate(-1, 3, 32), nullptr);
    EXPECT_EQ(DibCreate(0x7FFFFFFF, 0x7FFFFFFF, 32), nullptr);
}

TEST(DibDuplicate, CopiesTheBlockAndPassesNullThrough) {
    EXPECT_EQ(DibDuplicate(nullptr), nullptr);
    HGLOBAL h = DibCreate(3, 3, 8);
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    for (SIZE_T i = 40; i < GlobalSize(h); ++i) p[i] = (BYTE)i;
    GlobalUnlock(h);
    HGLOBAL copy = DibDuplicate(h);
    ASSERT_TRUE(copy);
    ASSERT_EQ(GlobalSize(copy), GlobalSize(h));
    EXPECT_EQ(memcmp(GlobalLock(copy), GlobalLock(h), GlobalSize(h)), 0);
    GlobalUnlock(copy);
    GlobalUnlock(h);
    GlobalFree(copy);
    GlobalFree(h);
}

// The direct conversion against GDI drawing the same DIB into a 32-bit DIB
// section: the two must agree on seeded random pictures of every layout.
TEST(DibConvert, MatchesGdiOnRandomPictures) {
    picfix::Rng rng(20240611);
    struct Layout {
        int bits;
        DWORD compression;
    } layouts[] = {{1, BI_RGB},  {4, BI_RGB},  {8, BI_RGB},        {16, BI_RGB},
                   {24, BI_RGB}, {32, BI_RGB}, {16, BI_BITFIELDS}, {32, BI_BITFIELDS}};
    HDC dc = CreateCompatibleDC(nullptr);
    for (int round = 0; round < 40; ++round) {
        const Layout& l = layouts[round % 8];
        DibSpec s;
        s.bits = l.bits;
        s.compression = l.compression;
        s.width = 1 + (int)rng.Below(37);
        int h = 1 + (int)rng.Below(9);
        s.height = rng.Below(2) ? h : -h;
        if (l.bits <= 8) {
            s.clrUsed = 1 + rng.Below(1u << l.bits);
            for (DWORD i = 0; i < s.clrUsed; ++i) s.palette.push_back(rng.Next() & 0xFFFFFF);
        }
        if (l.compression == BI_BITFIELDS)
            s.masks = l.bits == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                                   : std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF};
        DWORD stride = ((s.width * l.bits + 31) / 32) * 4;
        for (DWORD i = 0; i < stride * h; ++i) {
            uint8_t b = (uint8_t)rng.Next();
            // Keep palette indexes inside the palette: GDI's choice for
            // others is its own.
            if (l.bits == 8)
                b = (uint8_t)(b % s.clrUsed);
            if (l.bits == 4)
                b = (uint8_t)(((b >> 4) % s.clrUsed) << 4 | ((b & 15) % s.clrUsed));
            if (l.bits == 1 && s.clrUsed == 1)
                b = 0;
            s.rows.push_back(b);
        }
        Bytes dib = MakeDib(s);
        SCOPED_TRACE(testing::Message() << "bits " << l.bits << " comp " << l.compression << " "
                                        << s.width << "x" << s.height);
        Dib32 mine = Convert(dib);

        BITMAPINFO target;
        memset(&target, 0, sizeof(target));
        target.bmiHeader.biSize = 40;
        target.bmiHeader.biWidth = s.width;
        target.bmiHeader.biHeight = -h;
        target.bmiHeader.biPlanes = 1;
        target.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP section = CreateDIBSection(dc, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_TRUE(section);
        HGDIOBJ old = SelectObject(dc, section);
        const BITMAPINFO* source = reinterpret_cast<const BITMAPINFO*>(dib.data());
        SetDIBitsToDevice(dc, 0, 0, s.width, h, 0, 0, 0, h, DibBitsPointer(dib.data()), source,
                          DIB_RGB_COLORS);
        GdiFlush();
        const uint32_t* gdi = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < mine.pixels.size(); ++i)
            ASSERT_EQ(mine.pixels[i], gdi[i] & 0xFFFFFF) << "pixel " << i;
        SelectObject(dc, old);
        DeleteObject(section);
    }
    DeleteDC(dc);
}

}  // namespace
