// TGA codec: uncompressed colour-mapped, true-colour and grey pictures of 8,
// 16, 24 or 32 bits. Rows are taken bottom row first unless the descriptor
// says they start at the top (bit 5), as many tools write them.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

const size_t kTgaHeaderSize = 18;

struct TgaLayout {
    BITMAPINFOHEADER header;
    int depth;
    RGBQUAD palette[256];  // 8-bit pictures only
    size_t dataOffset;
    size_t rowSize;  // bytes of one file row
    bool topFirst;   // descriptor bit 5: the first file row is the top one
};

// Reads and checks the header; the colour map and every row must lie inside
// the file (a colour map is taken to hold 2^depth entries of 3 bytes).
bool ParseTga(const BYTE* data, size_t size, TgaLayout* t) {
    CByteReader r(data, size);
    uint8_t idLength = r.U8();
    uint8_t mapType = r.U8();
    uint8_t imageType = r.U8();
    r.Skip(9);  // colour map fields and origin
    unsigned width = r.U16LE();
    unsigned height = r.U16LE();
    t->depth = r.U8();
    t->topFirst = (r.U8() & 0x20) != 0;  // descriptor
    if (r.Failed() || mapType > 1) {
        LOG_MSG("Not tga File");
        return false;
    }
    if (t->depth != 8 && t->depth != 16 && t->depth != 24 && t->depth != 32) {
        LOG_MSG("TGA: Not 8/16/24/32-BitsPerPixel TGA file");
        return false;
    }
    if (imageType < 1 || imageType > 3) {
        LOG_MSG("Compressed TGA format is not supported");
        return false;
    }
    if (width == 0 || height == 0) {
        LOG_MSG("Not tga File");
        return false;
    }

    const int bits = t->depth == 8 ? 8 : 32;
    DibInitHeader(&t->header, (LONG)width, (LONG)height, bits);

    uint64_t offset = kTgaHeaderSize + idLength;
    if (mapType == 1)
        offset += 3ull << t->depth;
    t->rowSize = width * t->depth / 8;
    uint64_t end = offset + (uint64_t)t->rowSize * height;
    if (end > size) {
        LOG_MSG("TGA: file is shorter than its pixel rows");
        return false;
    }
    t->dataOffset = (size_t)offset;

    if (t->depth == 8) {
        if (mapType == 1) {
            r.Seek(kTgaHeaderSize + idLength);
            for (int i = 0; i < 256; ++i) {
                t->palette[i].rgbBlue = r.U8();
                t->palette[i].rgbGreen = r.U8();
                t->palette[i].rgbRed = r.U8();
                t->palette[i].rgbReserved = 0;
            }
        } else {
            for (int i = 0; i < 256; ++i) {
                t->palette[i].rgbBlue = t->palette[i].rgbGreen = t->palette[i].rgbRed = (BYTE)i;
                t->palette[i].rgbReserved = 0;
            }
        }
    }
    return true;
}

class CTgaCodec : public CPictureCodecBase {
public:
    CTgaCodec() { SetExtensionList("tga"); }

    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        TgaLayout t;
        if (!ParseTga(data, size, &t))
            return E_FAIL;
        m_header = t.header;
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        TgaLayout t;
        if (!ParseTga(data, size, &t))
            return E_FAIL;
        const LONG width = t.header.biWidth, height = t.header.biHeight;
        const BYTE* rows = data + t.dataOffset;

        if (t.depth == 8) {
            *dib = DibFromIndexedRows(t.header, t.palette, sizeof(t.palette), rows, t.rowSize,
                                      t.topFirst);
            return *dib ? S_OK : E_FAIL;
        }

        HGLOBAL out = DibAlloc32(width, height, true);
        if (!out)
            return E_FAIL;
        uint8_t* bits = static_cast<uint8_t*>(GlobalLock(out)) + sizeof(BITMAPINFOHEADER);
        const size_t pixels = (size_t)width * height;
        const uint8_t* s = rows;
        uint8_t* d = bits;
        ConvertRows(t.depth, s, d, pixels);
        // The DIB runs bottom-up: rows stored top first are turned over.
        if (t.topFirst) {
            const size_t stride = (size_t)width * 4;
            std::vector<uint8_t> swap(stride);
            for (LONG y = 0; y < height / 2; ++y) {
                uint8_t* a = bits + stride * y;
                uint8_t* b = bits + stride * (height - 1 - y);
                memcpy(swap.data(), a, stride);
                memcpy(a, b, stride);
                memcpy(b, swap.data(), stride);
            }
        }
        GlobalUnlock(out);
        *dib = out;
        return S_OK;
    }

private:
    void ConvertRows(int depth, const uint8_t* s, uint8_t* d, size_t pixels) {
        switch (depth) {
            case 16:  // 5 bits per channel
                for (size_t i = 0; i < pixels; ++i, s += 2, d += 4) {
                    unsigned v = s[0] | (s[1] << 8);
                    d[0] = (uint8_t)(v * 8);
                    d[1] = (uint8_t)((v / 4) & 0xF8);
                    d[2] = (uint8_t)((v / 128) & 0xF8);
                    d[3] = 255;
                }
                break;
            case 24:
                for (size_t i = 0; i < pixels; ++i, s += 3, d += 4) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    d[3] = 255;
                }
                m_alpha = 1;
                break;
            case 32:
                memcpy(d, s, pixels * 4);
                m_alpha = 1;
                break;
        }
    }
};

}  // namespace

HRESULT CreateTgaCodec(PictureCodec** codec) {
    return CreateCodec<CTgaCodec>(codec);
}
