// PIC and MSP codec: two monochrome formats with a 32-byte header (behind a
// 512-byte prefix when the file begins with a zero word), rows top first,
// one bit per pixel, width / 8 bytes per row.
#include <stdint.h>
#include <string.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

const size_t kPrefixSize = 512;
const size_t kHeaderSize = 32;

struct PicLayout {
    BITMAPINFOHEADER header;
    RGBQUAD palette[2];
    size_t rowsOffset;
    size_t rowSize;
};

bool ParsePicMsp(const BYTE* data, size_t size, PicLayout* t) {
    CByteReader r(data, size);
    size_t base = r.U32LE() == 0 && r.Ok() ? kPrefixSize : 0;
    r.Seek(base);
    CByteReader h = r.Sub(kHeaderSize);
    if (h.Failed()) {
        LOG_MSG("Unsupported PIC/MSP file format");
        return false;
    }
    const uint8_t* magic = h.Data();
    uint16_t word0 = h.U16LE(), word2 = h.U16LE();
    uint16_t rawWidth = h.U16LE(), rawHeight = h.U16LE();
    const unsigned width = rawWidth & 0x3FFF, height = rawHeight & 0x3FFF;
    bool white0;  // colour of index 0
    if (memcmp(magic, "DanM", 4) == 0 && rawWidth % 8 == 0) {
        t->rowsOffset = base + 32;
        white0 = false;
    } else if (word0 == 0xC004 && word2 == 0) {
        t->rowsOffset = base + (magic[22] == 0x18 ? 24 : 16);
        white0 = true;
    } else {
        LOG_MSG("Unsupported PIC/MSP file format");
        return false;
    }
    if (width == 0 || height == 0) {
        LOG_MSG("Unsupported PIC/MSP file format");
        return false;
    }
    t->rowSize = width / 8;
    if ((uint64_t)t->rowsOffset + (uint64_t)t->rowSize * height > size) {
        LOG_MSG("PIC/MSP: file is shorter than its pixel rows");
        return false;
    }

    DibInitHeader(&t->header, (LONG)width, (LONG)height, 1);
    const BYTE one = white0 ? 0 : 255, zero = white0 ? 255 : 0;
    t->palette[0].rgbBlue = t->palette[0].rgbGreen = t->palette[0].rgbRed = zero;
    t->palette[1].rgbBlue = t->palette[1].rgbGreen = t->palette[1].rgbRed = one;
    t->palette[0].rgbReserved = t->palette[1].rgbReserved = 0;
    return true;
}

class CPicMspCodec : public CPictureCodecBase {
public:
    CPicMspCodec() { SetExtensionList("pic"); }

    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        PicLayout t;
        if (!ParsePicMsp(data, size, &t))
            return E_FAIL;
        // The header block holds the header and the two palette entries.
        FreeHeaderBlock();
        m_hHeader =
            GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(t.header) + sizeof(t.palette));
        if (!m_hHeader)
            return E_FAIL;
        BYTE* p = static_cast<BYTE*>(GlobalLock(m_hHeader));
        memcpy(p, &t.header, sizeof(t.header));
        memcpy(p + sizeof(t.header), t.palette, sizeof(t.palette));
        GlobalUnlock(m_hHeader);
        m_header = t.header;
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        PicLayout t;
        if (!ParsePicMsp(data, size, &t))
            return E_FAIL;
        // The first file row is the top row.
        *dib = DibFromIndexedRows(t.header, t.palette, sizeof(t.palette), data + t.rowsOffset,
                                  t.rowSize, true);
        return *dib ? S_OK : E_FAIL;
    }
};

}  // namespace

HRESULT CreatePicMspCodec(PictureCodec** codec) {
    return CreateCodec<CPicMspCodec>(codec);
}
