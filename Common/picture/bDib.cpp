// Packed DIB helpers and the conversion of any DIB to 32 bits per pixel.
//
// The conversion is done here rather than through a screen-compatible device
// bitmap: the result is the same on a true-colour display, it does not depend
// on the display, and it can check every size against the block it reads.
#include "bDib.h"

#include <stdint.h>
#include <string.h>

#include <new>

#include "bByteReader.h"
#include "bHandles.h"
#include "bTraceLog.h"

namespace {

const DWORD kCoreHeaderSize = sizeof(BITMAPCOREHEADER);  // 12
const DWORD kInfoHeaderSize = sizeof(BITMAPINFOHEADER);  // 40
const size_t kUnbounded = ((size_t)-1) >> 2;

bool IsCoreHeader(const void* header) {
    return *static_cast<const DWORD*>(header) == kCoreHeaderSize;
}

uint64_t ColorCount64(const void* header) {
    int bits;
    if (IsCoreHeader(header)) {
        bits = static_cast<const BITMAPCOREHEADER*>(header)->bcBitCount;
    } else {
        const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(header);
        if (bih->biClrUsed)
            return bih->biClrUsed;
        bits = bih->biBitCount;
    }
    switch (bits) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}

uint64_t PaletteSize64(const void* header) {
    return ColorCount64(header) * (IsCoreHeader(header) ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD));
}

// Offset of the first row from the header start.
uint64_t BitsOffset64(const void* header) {
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(header);
    if (bih->biSize == kInfoHeaderSize && bih->biCompression == BI_BITFIELDS)
        return kInfoHeaderSize + 3 * sizeof(DWORD);
    // The palette size counts here only in its low 16 bits.
    return (uint64_t)bih->biSize + (PaletteSize64(header) & 0xFFFF);
}

// One colour channel of a BI_BITFIELDS or 16-bit picture.
struct MaskChannel {
    uint32_t mask;
    int shift;
    int width;
    uint8_t lut[256];  // widths up to 8 bits: value to 8 bits, high bits repeated

    void Init(uint32_t m) {
        mask = m;
        shift = 0;
        width = 0;
        if (!m)
            return;
        while (!((m >> shift) & 1)) ++shift;
        uint32_t v = m >> shift;
        while (v) {
            ++width;
            v >>= 1;
        }
        if (width <= 8) {
            for (int i = 0; i < (1 << width); ++i) {
                // Repeat the value's bits below itself until 8 bits are filled.
                int out = 0, filled = 0;
                while (filled < 8) {
                    out = (out << width) | i;
                    filled += width;
                }
                lut[i] = (uint8_t)(out >> (filled - 8));
            }
        }
    }
    uint32_t Get(uint32_t pixel) const {
        if (!mask)
            return 0;
        uint32_t v = (pixel & mask) >> shift;
        return width <= 8 ? lut[v] : (v >> (width - 8)) & 0xFF;
    }
};

// What the conversion needs to know of a source picture.
struct DibSource {
    LONG width;
    LONG height;  // absolute
    bool topDown;
    int bits;
    DWORD compression;
    uint32_t palette[256];  // as output words; entries past the palette are black
    MaskChannel red, green, blue;
    CByteReader rows;
    DWORD stride;
};

bool RefuseDib(const char* why) {
    LOG_MSG("ConvertFormat32: %s", why);
    return false;
}

// Fills the source from a checked layout: masks and palette from the block,
// rows from `rows` (the layout's own rows when null).
bool ParseDib(const BYTE* block, size_t size, const BYTE* rows, DibSource* src) {
    DibLayout layout;
    const char* why = nullptr;
    if (!DibCheckLayout(block, size, &layout, &why))
        return RefuseDib(why);
    src->width = layout.width;
    src->topDown = layout.height < 0;
    src->height = layout.height < 0 ? -layout.height : layout.height;
    src->bits = layout.bitCount;
    src->compression = layout.compression;
    src->stride = layout.stride;

    memset(src->palette, 0, sizeof(src->palette));
    if (src->compression == BI_BITFIELDS) {
        CByteReader masks(block + layout.masksOffset, 12);
        src->red.Init(masks.U32LE());
        src->green.Init(masks.U32LE());
        src->blue.Init(masks.U32LE());
    } else if (src->bits == 16) {
        src->red.Init(0x7C00);
        src->green.Init(0x03E0);
        src->blue.Init(0x001F);
    }
    const BYTE* entry = block + layout.paletteOffset;
    for (size_t i = 0; i < layout.paletteEntries; ++i, entry += layout.entrySize)
        src->palette[i] =
            (uint32_t)entry[0] | ((uint32_t)entry[1] << 8) | ((uint32_t)entry[2] << 16);
    src->rows = CByteReader(rows ? rows : block + layout.bitsOffset, layout.bitsSize);
    return true;
}

// Decodes BI_RLE8 or BI_RLE4 rows (bottom-up) into the top-down output.
// Runs, deltas and literal counts are clipped to the picture; the end of the
// data ends the picture like an end-of-bitmap code.
void ExpandRle(DibSource& src, uint32_t* out) {
    CByteReader& r = src.rows;
    const bool rle4 = src.compression == BI_RLE4;
    const LONG w = src.width, h = src.height;
    LONG x = 0, y = 0;  // y counts from the bottom row
    auto put = [&](unsigned index) {
        if (x < w && y < h)
            out[(size_t)(h - 1 - y) * w + x] = src.palette[index & 0xFF];
        ++x;
    };
    while (y < h && r.Has(2)) {
        unsigned count = r.U8();
        unsigned code = r.U8();
        if (count) {
            for (unsigned i = 0; i < count && x < w; ++i)
                put(rle4 ? ((i & 1) ? (code & 0x0F) : (code >> 4)) : code);
            continue;
        }
        if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // delta
            if (!r.Has(2))
                break;
            x += r.U8();
            y += r.U8();
        } else {  // literal run of 'code' pixels, padded to a 16-bit boundary
            size_t bytes = rle4 ? (code + 1) / 2 : code;
            const uint8_t* p = r.Take(bytes);
            if (!p)
                break;
            if (bytes & 1)
                r.Skip(1);
            for (unsigned i = 0; i < code && x < w; ++i)
                put(rle4 ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
        }
    }
}

void ExpandRows(DibSource& src, uint32_t* out) {
    const LONG w = src.width, h = src.height;
    const uint8_t* base = src.rows.Data();
    for (LONG y = 0; y < h; ++y) {
        const uint8_t* s = base + (size_t)(src.topDown ? y : h - 1 - y) * src.stride;
        uint32_t* d = out + (size_t)y * w;
        switch (src.bits) {
            case 1:
                for (LONG x = 0; x < w; ++x) d[x] = src.palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                for (LONG x = 0; x < w; ++x)
                    d[x] = src.palette[(x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)];
                break;
            case 8:
                for (LONG x = 0; x < w; ++x) d[x] = src.palette[s[x]];
                break;
            case 16:
                for (LONG x = 0; x < w; ++x) {
                    uint32_t v = s[2 * x] | (s[2 * x + 1] << 8);
                    d[x] = src.blue.Get(v) | (src.green.Get(v) << 8) | (src.red.Get(v) << 16);
                }
                break;
            case 24:
                for (LONG x = 0; x < w; ++x, s += 3)
                    d[x] = (uint32_t)s[0] | ((uint32_t)s[1] << 8) | ((uint32_t)s[2] << 16);
                break;
            case 32:
                if (src.compression == BI_BITFIELDS) {
                    for (LONG x = 0; x < w; ++x, s += 4) {
                        uint32_t v = (uint32_t)s[0] | ((uint32_t)s[1] << 8) |
                                     ((uint32_t)s[2] << 16) | ((uint32_t)s[3] << 24);
                        d[x] = src.blue.Get(v) | (src.green.Get(v) << 8) | (src.red.Get(v) << 16);
                    }
                } else {
                    for (LONG x = 0; x < w; ++x, s += 4)
                        d[x] = (uint32_t)s[0] | ((uint32_t)s[1] << 8) | ((uint32_t)s[2] << 16);
                }
                break;
        }
    }
}

HGLOBAL Convert(const BYTE* block, size_t size, const BYTE* rows) {
    DibSource* src = new (std::nothrow) DibSource;
    if (!src)
        return nullptr;
    HGLOBAL result = nullptr;
    if (ParseDib(block, size, rows, src)) {
        result = DibAlloc32(src->width, -src->height, true);
        if (!result) {
            LOG_WIN32_ERROR(0, "ConvertFormat32::GlobalAlloc failed");
        } else {
            CGlobalLock<BYTE> dib(result);
            uint32_t* out = reinterpret_cast<uint32_t*>(dib.Get() + kInfoHeaderSize);
            if (src->compression == BI_RLE8 || src->compression == BI_RLE4)
                ExpandRle(*src, out);
            else
                ExpandRows(*src, out);
        }
    }
    delete src;
    return result;
}

}  // namespace

UINT DibColorCount(const void* header) {
    return (UINT)ColorCount64(header);
}

DWORD DibPaletteSize(const void* header) {
    uint64_t size = PaletteSize64(header);
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)size;
}

BYTE* DibBitsPointer(void* header) {
    return static_cast<BYTE*>(header) + BitsOffset64(header);
}

const BYTE* DibBitsPointer(const void* header) {
    return static_cast<const BYTE*>(header) + BitsOffset64(header);
}

HGLOBAL DibDuplicate(HGLOBAL dib) {
    if (!dib)
        return nullptr;
    SIZE_T size = GlobalSize(dib);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!copy)
        return nullptr;
    CGlobalLock<> from(dib), to(copy);
    if (from.Get() && to.Get())
        memcpy(to.Get(), from.Get(), size);
    return copy;
}

HGLOBAL ConvertFormat32(const void* header, const void* bits) {
    if (!header || !bits)
        return nullptr;
    return Convert(static_cast<const BYTE*>(header), kUnbounded, static_cast<const BYTE*>(bits));
}

HGLOBAL ConvertPackedDib32(const void* header) {
    if (!header)
        return nullptr;
    return ConvertFormat32(header, DibBitsPointer(header));
}

HGLOBAL ConvertPackedDib32Checked(const void* dib, size_t size) {
    return Convert(static_cast<const BYTE*>(dib), size, nullptr);
}

bool DibCheckLayout(const void* block, size_t size, DibLayout* out, const char** why) {
    auto refuse = [why](const char* reason) {
        if (why)
            *why = reason;
        return false;
    };
    DibLayout l;
    memset(&l, 0, sizeof(l));
    CByteReader hdr(block, size);
    l.headerSize = hdr.U32LE();
    const bool core = l.headerSize == kCoreHeaderSize;
    if (hdr.Failed() || (!core && l.headerSize != kInfoHeaderSize))
        return refuse("unsupported DIB header");
    int64_t height;
    if (core) {
        l.width = hdr.U16LE();
        height = hdr.U16LE();
        l.planes = hdr.U16LE();
        l.bitCount = hdr.U16LE();
        l.compression = BI_RGB;
        l.entrySize = sizeof(RGBTRIPLE);
    } else {
        l.width = hdr.I32LE();
        height = hdr.I32LE();
        l.planes = hdr.U16LE();
        l.bitCount = hdr.U16LE();
        l.compression = hdr.U32LE();
        l.sizeImage = hdr.U32LE();
        hdr.Skip(8);  // resolution
        l.colorsUsed = hdr.U32LE();
        hdr.U32LE();  // colours important
        l.entrySize = sizeof(RGBQUAD);
    }
    if (hdr.Failed())
        return refuse("DIB header is cut short");
    if (l.width <= 0 || height == 0)
        return refuse("DIB has no pixels");
    if (height < -0x7FFFFFFF)
        return refuse("DIB height out of range");
    l.height = (LONG)height;
    const bool topDown = height < 0;

    switch (l.bitCount) {
        case 1:
        case 4:
        case 8:
        case 24:
            break;
        case 16:
        case 32:
            // A core header has no compression field and GDI takes none of
            // these depths with it.
            if (core)
                return refuse("unsupported bit count");
            break;
        default:
            return refuse("unsupported bit count");
    }
    switch (l.compression) {
        case BI_RGB:
            break;
        case BI_RLE8:
            if (l.bitCount != 8 || topDown)
                return refuse("bad RLE8 picture");
            break;
        case BI_RLE4:
            if (l.bitCount != 4 || topDown)
                return refuse("bad RLE4 picture");
            break;
        case BI_BITFIELDS:
            if (l.bitCount != 16 && l.bitCount != 32)
                return refuse("bad BI_BITFIELDS picture");
            break;
        default:
            return refuse("unsupported compression");
    }

    // GDI reads no more entries than the pixels reach (256 above 8 bits): a
    // larger count would put the rows elsewhere for it than for us.
    const uint64_t reach = l.bitCount <= 8 ? (1u << l.bitCount) : 256;
    if (l.colorsUsed > reach)
        return refuse("DIB colour count out of range");
    if (l.compression == BI_BITFIELDS && !core) {
        l.masksOffset = kInfoHeaderSize;
        if (size < kInfoHeaderSize + 3 * sizeof(DWORD))
            return refuse("DIB colour masks are cut short");
    }
    l.paletteOffset = l.headerSize;
    if (l.bitCount <= 8)
        l.paletteEntries = l.colorsUsed ? l.colorsUsed : (size_t)reach;
    BITMAPINFOHEADER aligned;  // the header may sit at any byte of a file image
    memset(&aligned, 0, sizeof(aligned));
    memcpy(&aligned, block, l.headerSize);
    const uint64_t bitsOffset = BitsOffset64(&aligned);
    // The palette must lie before the rows and within the block.
    if (l.paletteOffset + (uint64_t)l.paletteEntries * l.entrySize > bitsOffset ||
        bitsOffset > size)
        return refuse("DIB palette is cut short");
    l.bitsOffset = (size_t)bitsOffset;

    if (!DibRowStride(l.width, l.bitCount, &l.stride))
        return refuse("DIB too large");
    const size_t rest = size - l.bitsOffset;
    if (l.compression == BI_RLE8 || l.compression == BI_RLE4) {
        l.bitsSize = rest;
    } else {
        if (!CheckedMul(l.stride, (size_t)(topDown ? -height : height), &l.bitsSize))
            return refuse("DIB too large");
        if (l.bitsSize > rest)
            return refuse("DIB rows are cut short");
    }
    *out = l;
    return true;
}

bool DibRowStride(LONG width, int bitCount, DWORD* stride) {
    if (width < 0 || bitCount < 0)
        return false;
    uint64_t s = (((uint64_t)width * (uint64_t)bitCount + 31) / 32) * 4;
    if (s > 0x7FFFFFFF)
        return false;
    *stride = (DWORD)s;
    return true;
}

HGLOBAL DibFromIndexedRows(const BITMAPINFOHEADER& header, const RGBQUAD* palette,
                           size_t paletteBytes, const BYTE* rows, size_t rowSize,
                           bool firstRowIsTop) {
    const LONG height = header.biHeight;
    DWORD stride = 0;
    if (height < 0 || !DibRowStride(header.biWidth, header.biBitCount, &stride))
        return nullptr;
    CGlobalBlock work(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                  sizeof(header) + paletteBytes + (size_t)stride * height));
    if (!work.Get())
        return nullptr;
    CGlobalLock<BYTE> locked(work.Get());
    BYTE* p = locked.Get();
    memcpy(p, &header, sizeof(header));
    memcpy(p + sizeof(header), palette, paletteBytes);
    BYTE* bits = DibBitsPointer(p);
    for (LONG y = 0; y < height; ++y) {
        LONG to = firstRowIsTop ? height - 1 - y : y;
        memcpy(bits + (size_t)to * stride, rows + (size_t)y * rowSize, rowSize);
    }
    return ConvertPackedDib32(p);
}

void DibInitHeader(BITMAPINFOHEADER* header, LONG width, LONG height, int bitCount) {
    DWORD stride = 0;
    DibRowStride(width, bitCount, &stride);
    memset(header, 0, sizeof(*header));
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = (WORD)bitCount;
    header->biSizeImage = stride * (DWORD)height;
}

HGLOBAL DibAlloc32(LONG width, LONG height, bool setSizeImage) {
    if (width < 0 || height < -0x7FFFFFFF)
        return nullptr;
    size_t absHeight = (size_t)(height < 0 ? -(int64_t)height : height);
    size_t image, total;
    if (!CheckedMul((size_t)width, absHeight, &image) || !CheckedMul(image, 4, &image) ||
        !CheckedAdd(image, kInfoHeaderSize, &total))
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
    if (!block)
        return nullptr;
    CGlobalLock<BITMAPINFOHEADER> locked(block);
    BITMAPINFOHEADER* bih = locked.Get();
    bih->biSize = kInfoHeaderSize;
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biPlanes = 1;
    bih->biBitCount = 32;
    bih->biCompression = BI_RGB;
    bih->biSizeImage = setSizeImage ? (DWORD)image : 0;
    return block;
}

HGLOBAL DibCreate(int width, int height, int bitCount) {
    int bits;
    if (bitCount < 2)
        bits = 1;
    else if (bitCount < 5)
        bits = 4;
    else if (bitCount < 9)
        bits = 8;
    else if (bitCount < 25)
        bits = 24;
    else if (bitCount == 32)
        bits = 32;
    else
        bits = 4;
    if (width < 0 || height < 0)
        return nullptr;

    BITMAPINFOHEADER bih;
    memset(&bih, 0, sizeof(bih));
    bih.biSize = kInfoHeaderSize;
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = (WORD)bits;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = (DWORD)(((uint64_t)width * bits * height) / 8);
    bih.biXPelsPerMeter = 2834;
    bih.biYPelsPerMeter = 2834;

    DWORD stride;
    size_t rows, total;
    if (!DibRowStride(width, bits, &stride) || !CheckedMul(stride, (size_t)height, &rows) ||
        !CheckedAdd(rows, kInfoHeaderSize + DibPaletteSize(&bih), &total))
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
    if (!block)
        return nullptr;
    memcpy(CGlobalLock<>(block).Get(), &bih, sizeof(bih));
    return block;
}
