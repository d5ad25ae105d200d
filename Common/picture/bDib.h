// Packed DIBs: one movable global memory block holding a bitmap information
// header (40-byte BITMAPINFOHEADER, or the 12-byte BITMAPCOREHEADER on
// input), the colour masks or palette, then rows padded to 4 bytes. Every
// decoded picture travels in this form; the receiver frees it with GlobalFree.
#pragma once

#include <windows.h>
#include <stddef.h>

// Where the parts of a packed DIB lie, each checked against the block.
struct DibLayout {
    DWORD headerSize;   // 12 (core header) or 40
    LONG width;         // above 0
    LONG height;        // as stored: negative for top-down rows, never 0
    int planes;         // as stored (not checked)
    int bitCount;       // 1, 4, 8, 16, 24 or 32; 16 and 32 not after a core header
    DWORD compression;  // BI_RGB, BI_RLE8, BI_RLE4 (bottom-up) or BI_BITFIELDS
    DWORD sizeImage;
    DWORD colorsUsed;       // biClrUsed (0 for a core header)
    size_t masksOffset;     // the three BI_BITFIELDS masks after a 40-byte header, else 0
    size_t paletteOffset;   // the palette follows the header
    size_t paletteEntries;  // entries the pixels can reach (none above 8 bits)
    size_t entrySize;       // 4 (RGBQUAD), 3 (RGBTRIPLE) after a core header
    size_t bitsOffset;      // the first row, where DibBitsPointer puts it
    DWORD stride;           // bytes of a row padded to 4
    size_t bitsSize;        // stride x rows; for RLE all bytes after bitsOffset
};
// Checks the packed DIB in `size` bytes (it may sit at any byte of a file
// image) and fills its layout. False with a short reason for the log when
// the block does not hold a picture: an unknown header, bit count or
// compression, no pixels, a colour count beyond what the bit count reaches
// (256 above 8 bits), or masks, palette or rows past the block.
bool DibCheckLayout(const void* block, size_t size, DibLayout* layout, const char** why);

// Palette entries of the DIB whose header is given.
UINT DibColorCount(const void* header);
// Palette size in bytes (4 per entry after a 40-byte header, 3 after a
// 12-byte one); 0xFFFFFFFF when the count is too large to be real.
DWORD DibPaletteSize(const void* header);
// First pixel row: after the three masks of a BI_BITFIELDS header, else after
// the palette (its size taken to its low 16 bits). The file's own data
// offset is never consulted.
BYTE* DibBitsPointer(void* header);
const BYTE* DibBitsPointer(const void* header);

// A byte copy of the block, or null.
HGLOBAL DibDuplicate(HGLOBAL dib);

// A new 32-bit top-down packed DIB (blue, green, red, 0) of the picture whose
// header and rows are given, or null. The caller vouches that the header,
// its palette and its rows are all there.
HGLOBAL ConvertFormat32(const void* header, const void* bits);
// ConvertFormat32 of a packed DIB with the rows DibBitsPointer finds.
HGLOBAL ConvertPackedDib32(const void* header);
// A 32-bit DIB of a palettised picture whose rows lie in memory rowSize
// bytes apart (firstRowIsTop: top row first, else bottom row first): a
// bottom-up working DIB of header, palette and rows, then ConvertPackedDib32.
// header is bottom-up with a positive height. Null on failure.
HGLOBAL DibFromIndexedRows(const BITMAPINFOHEADER& header, const RGBQUAD* palette,
                           size_t paletteBytes, const BYTE* rows, size_t rowSize,
                           bool firstRowIsTop);
// The same conversion of a packed DIB that came from a file: the header,
// masks, palette and rows are checked against the size first, so a damaged
// picture gives null instead of a read past the block.
HGLOBAL ConvertPackedDib32Checked(const void* dib, size_t size);

// A new zero-filled bottom-up packed DIB with its header filled in; the bit
// count is rounded up to 1, 4, 8, 24 or 32 (others become 4). Null when the
// size cannot be allocated.
HGLOBAL DibCreate(int width, int height, int bitCount);

// Row stride of a DIB row: width x bit count rounded up to 4 bytes; false
// when it does not fit in 31 bits.
bool DibRowStride(LONG width, int bitCount, DWORD* stride);
// A bottom-up BI_RGB header (planes 1, everything else 0) of the size and
// bit count; biSizeImage is the stride times the height.
void DibInitHeader(BITMAPINFOHEADER* header, LONG width, LONG height, int bitCount);
// A zero-filled 32-bit packed DIB without palette (40-byte header, BI_RGB,
// planes 1) of the given width and height (negative height: top-down);
// biSizeImage is width x height x 4 when asked for, else 0. Null when the
// size overflows or the allocation fails.
HGLOBAL DibAlloc32(LONG width, LONG height, bool setSizeImage);
