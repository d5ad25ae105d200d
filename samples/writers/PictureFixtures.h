// Fixture writers for picture tests and benchmarks: little-endian byte
// building, a GIF writer with its own LZW encoder, and JPEG, PNG and TIFF
// files written with the libraries' own writers, plus plain reference
// decoders through the same libraries.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "ByteWriter.h"

namespace picfix {

typedef std::vector<uint8_t> Bytes;

// A deterministic generator for seeded random inputs.
class Rng {
public:
    explicit Rng(uint32_t seed) : m_state(seed ? seed : 1) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }

private:
    uint32_t m_state;
};

// GIF image data: the minimum code size byte, LZW codes in sub-blocks of at
// most 255 bytes, the zero terminator. clearEvery > 0 puts a clear code
// after that many codes (to exercise table resets).
Bytes GifLzwEncode(const uint8_t* indexes, size_t count, int minCodeSize, int clearEvery = 0);

struct GifSpec {
    int width = 0, height = 0;
    int screenWidth = -1, screenHeight = -1;  // -1: the image size
    int colourBits = 8;                       // table size exponent + 1
    bool globalTable = true;
    bool localTable = false;
    bool interlaced = false;
    int minCodeSize = -1;          // -1: max(2, colourBits)
    std::vector<uint8_t> palette;  // R, G, B per entry; padded with zeros
    std::vector<uint8_t> indexes;  // width x height, top row first
    Bytes extensions;              // raw bytes placed before the image
};
// A complete GIF87a/89a file; for an interlaced one the rows are stored in
// pass order.
Bytes WriteGif(const GifSpec& spec);

// One image of an animated GIF: its place, an optional local table and an
// optional graphic control extension before it.
struct GifFrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    bool localTable = false;
    int localBits = 8;
    std::vector<uint8_t> localPalette;  // R, G, B per entry; padded with zeros
    bool interlaced = false;
    bool control = false;
    int disposal = 0;
    int delay = 0;                 // hundredths of a second
    int transparent = -1;          // index, or -1 for none
    std::vector<uint8_t> indexes;  // width x height, top row first
    Bytes before;                  // raw bytes placed before the extension
};
struct GifAnimSpec {
    int width = 0, height = 0;
    int colourBits = 8;
    bool globalTable = true;
    std::vector<uint8_t> palette;
    int background = 0;
    std::vector<GifFrameSpec> frames;
};
Bytes WriteGifAnimation(const GifAnimSpec& spec);

// JPEG through libjpeg: components 1 (grey), 3 (RGB in, YCbCr stored) or 4
// (CMYK stored as is, with the Adobe marker).
Bytes WriteJpeg(int width, int height, int components, const uint8_t* pixels, int quality = 90);

struct PngSpec {
    int width = 0, height = 0;
    int colourType = 2;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;       // packed rows exactly as libpng takes them
    std::vector<uint8_t> palette;    // R, G, B per entry
    std::vector<uint8_t> trnsAlpha;  // palette alphas
    int trnsGrey = -1;               // grey value made transparent
    bool background = false;         // write a bKGD chunk...
    uint16_t backgroundGrey = 0;     // ...with this grey (grey pictures)
    uint8_t backgroundIndex = 0;     // ...or palette index
    int compression = 6;
};
Bytes WritePng(const PngSpec& spec);

struct TiffSpec {
    int width = 0, height = 0;
    int samplesPerPixel = 3;
    int bitsPerSample = 8;
    int photometric = 2;  // PHOTOMETRIC_RGB
    int compression = 1;  // COMPRESSION_NONE
    bool extraAlpha = false;
    int rowsPerStrip = 0;         // 0: the whole picture in one strip
    std::vector<uint8_t> pixels;  // contiguous samples, top row first
};
Bytes WriteTiff(const TiffSpec& spec);

// A plain decode through libjpeg (RGB output, packed here) for expected
// pixels: 32-bit words 0xAARRGGBB, top row first.
bool DecodeJpegReference(const Bytes& file, int* width, int* height, std::vector<uint32_t>* pixels,
                         uint8_t alpha = 0);

// Reads a 32-bit packed DIB into top-row-first words; false when the block
// is not one.
struct Dib32 {
    int width = 0, height = 0;  // absolute
    bool topDown = false;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};
bool ReadDib32(HGLOBAL dib, Dib32* out);

struct DibSpec {
    int headerSize = 40;
    int width = 1, height = 1;
    int bits = 24;
    DWORD compression = BI_RGB;
    DWORD clrUsed = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> masks;    // BI_BITFIELDS: red, green, blue
    Bytes rows;
};

// A packed DIB: header, masks or palette, rows.
inline Bytes MakeDib(const DibSpec& s) {
    CByteWriter w;
    if (s.headerSize == 12) {
        w.U32(12).U16(s.width).U16(s.height).U16(1).U16(s.bits);
        for (uint32_t c : s.palette) w.U8(c & 0xFF).U8((c >> 8) & 0xFF).U8(c >> 16);
    } else {
        w.U32(40).U32(s.width).U32(s.height).U16(1).U16(s.bits).U32(s.compression);
        w.U32(0).U32(0).U32(0).U32(s.clrUsed).U32(0);
        for (uint32_t m : s.masks) w.U32(m);
        for (uint32_t c : s.palette) w.U32(c);
    }
    w.Bytes(s.rows);
    return w.Vector();
}

// A BMP file: the 14-byte file header ("BM", file size, two reserved
// words, data offset), then the packed DIB.
inline Bytes BmpFile(const Bytes& dib, uint32_t dataOffset) {
    CByteWriter w;
    w.U8('B').U8('M').U32((uint32_t)(14 + dib.size())).U16(0).U16(0).U32(dataOffset);
    w.Bytes(dib);
    return w.Vector();
}

// A 24-bit bottom-up BMP file whose pixel (x, y) is colour(x, y)
// (0x00RRGGBB), top row y = 0; rows padded to 4 bytes.
template <class F>
std::string Bmp24(int width, int height, F colour) {
    DibSpec spec;
    spec.width = width;
    spec.height = height;
    CByteWriter rows;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            rows.U8(c & 0xFF).U8((c >> 8) & 0xFF).U8((c >> 16) & 0xFF);
        }
        rows.Zeros((4 - width * 3 % 4) % 4);
    }
    spec.rows = rows.Vector();
    const Bytes file = BmpFile(MakeDib(spec), 14 + 40);
    return std::string(file.begin(), file.end());
}

}  // namespace picfix
