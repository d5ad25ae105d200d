// Still GIF codec: the first image of the file that fits its logical screen,
// LZW-decoded (with interlacing) into 32 bits, top-down.
//
// Everything in the file is checked: the colour tables, sub-block lengths and
// codes are read through a CByteReader, the LZW table is bounded at 4096
// entries, a code that is not yet in the table ends the data, and pixels past
// the image are dropped. Data that ends early leaves the rest of the picture
// in colour 0.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "bByteReader.h"
#include "bDib.h"
#include "bGifLzw.h"
#include "bHandles.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

// Used when the file has no colour table and 4 bits per pixel (R, G, B).
const uint8_t kDefaultPalette16[16][3] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},   {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {128, 128, 128}, {192, 192, 192}, {0, 0, 255},     {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};

inline uint32_t PixelWord(uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t)b | ((uint32_t)g << 8) | ((uint32_t)r << 16);
}

struct GifImage {
    BITMAPINFOHEADER header;
    uint32_t palette[256];  // output words; entries no pixel should reach are black
    bool interlaced;
    size_t dataOffset;  // of the LZW minimum code size byte
};

// Finds the first image no larger than the logical screen and fills its
// header and palette. False when the file has none.
bool GifScan(const BYTE* data, size_t size, GifImage* image) {
    CByteReader r(data, size);
    const uint8_t* signature = r.Take(6);
    if (!signature || !GifSameLetters(signature, "GIF", 3) ||
        !(GifSameLetters(signature + 3, "87A", 3) || GifSameLetters(signature + 3, "89A", 3)))
        return false;
    unsigned screenWidth = r.U16LE();
    unsigned screenHeight = r.U16LE();
    uint8_t packed = r.U8();
    r.Skip(2);  // background index, aspect
    if (r.Failed())
        return false;

    uint8_t table[768];
    memset(table, 0, sizeof(table));
    int colourBits = (packed & 7) + 1;
    int tableEntries = 0;
    if (packed & 0x80) {
        tableEntries = 1 << colourBits;
        if (!r.ReadBytes(table, 3 * tableEntries))
            return false;
    }

    unsigned width = 0, height = 0;
    uint8_t imagePacked = 0;
    for (;;) {
        uint8_t block = r.U8();
        if (r.Failed() || block == 0x3B)
            return false;
        if (block == 0x2C) {
            r.Skip(4);  // left, top
            width = r.U16LE();
            height = r.U16LE();
            imagePacked = r.U8();
            if (r.Failed())
                return false;
            if (screenWidth >= width && screenHeight >= height)
                break;
            continue;  // too large for its screen: scan on after the descriptor
        }
        if (block == 0x21) {
            uint8_t label = r.U8();
            if (r.Failed())
                return false;
            switch (label) {
                case 0xF9:  // graphic control: not used for a still picture
                    if (!r.Skip(6))
                        return false;
                    break;
                case 0x01:
                case 0xFE:
                case 0xFF:
                    if (!GifSkipSubBlocks(r))
                        return false;
                    break;
                case 0x00:
                    break;
                default:
                    LOG_MSG("Unknown GIF extension Label: %d", label);
                    break;
            }
        }
    }
    if (width == 0 || height == 0)
        return false;
    if (imagePacked & 0x80) {
        colourBits = (imagePacked & 7) + 1;
        tableEntries = 1 << colourBits;
        if (!r.ReadBytes(table, 3 * tableEntries))
            return false;
    }
    image->interlaced = (imagePacked & 0x40) != 0;
    image->dataOffset = r.Position();

    int bits = colourBits == 1 ? 1 : colourBits <= 4 ? 4 : 8;
    BITMAPINFOHEADER& h = image->header;
    DibInitHeader(&h, (LONG)width, (LONG)height, bits);
    h.biClrUsed = 1u << bits;

    memset(image->palette, 0, sizeof(image->palette));
    const int entries = 1 << bits;
    if (tableEntries) {
        for (int i = 0; i < entries && i < tableEntries; ++i)
            image->palette[i] = PixelWord(table[3 * i], table[3 * i + 1], table[3 * i + 2]);
    } else if (entries == 2) {
        image->palette[1] = PixelWord(255, 255, 255);
    } else if (entries == 16) {
        for (int i = 0; i < 16; ++i)
            image->palette[i] = PixelWord(kDefaultPalette16[i][0], kDefaultPalette16[i][1],
                                          kDefaultPalette16[i][2]);
    } else {
        PALETTEENTRY system[256];
        memset(system, 0, sizeof(system));
        CClientDC dc(GetActiveWindow());
        if (dc.Get())
            GetSystemPaletteEntries(dc.Get(), 0, 256, system);
        for (int i = 0; i < 256; ++i)
            image->palette[i] = PixelWord(system[i].peRed, system[i].peGreen, system[i].peBlue);
    }
    return true;
}

HGLOBAL GifDecodePixels(const BYTE* data, size_t size, const GifImage& image) {
    const LONG width = image.header.biWidth, height = image.header.biHeight;
    size_t count;
    if (!CheckedMul((size_t)width, (size_t)height, &count))
        return nullptr;
    uint8_t* indexes = static_cast<uint8_t*>(calloc(count, 1));
    if (!indexes)
        return nullptr;
    CByteReader r(data, size);
    r.Seek(image.dataOffset);
    ptrdiff_t decoded = GifLzwDecode(r, indexes, count);
    HGLOBAL dib = decoded > 0 ? DibAlloc32(width, -height, true) : nullptr;
    if (dib) {
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(GlobalLock(dib)) +
                                                    sizeof(BITMAPINFOHEADER));
        // Rows arrive in the order of the four interlace passes, or top down.
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        LONG k = 0;
        for (int pass = 0; pass < (image.interlaced ? 4 : 1); ++pass) {
            const int start = image.interlaced ? kStart[pass] : 0;
            const int step = image.interlaced ? kStep[pass] : 1;
            for (LONG y = start; y < height; y += step, ++k) {
                const uint8_t* s = indexes + (size_t)k * width;
                uint32_t* d = out + (size_t)y * width;
                for (LONG x = 0; x < width; ++x) d[x] = image.palette[s[x]];
            }
        }
        GlobalUnlock(dib);
    }
    free(indexes);
    return dib;
}

class CGifCodec : public CPictureCodecBase {
public:
    CGifCodec() { SetExtensionList("gif"); }

    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        GifImage* image = new (std::nothrow) GifImage;
        bool ok = image && GifScan(data, size, image);
        if (ok)
            m_header = image->header;
        delete image;
        if (!ok) {
            LOG_MSG("Unable load gif file");
            return E_FAIL;
        }
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        GifImage* image = new (std::nothrow) GifImage;
        if (image && GifScan(data, size, image))
            *dib = GifDecodePixels(data, size, *image);
        delete image;
        if (!*dib) {
            LOG_MSG("LoadGif failed");
            return E_FAIL;
        }
        return S_OK;
    }
};

}  // namespace

HRESULT CreateGifCodec(PictureCodec** codec) {
    return CreateCodec<CGifCodec>(codec);
}
