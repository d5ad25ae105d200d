// PNG codec over libpng: the program's own read function over the block and
// an error function that jumps back to the decoder, which frees what it took
// and returns null. Pictures come out 32-bit, bottom-up, blue, green, red,
// alpha (255 where the picture has none).
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <png.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

const size_t kSignatureSize = 8;

struct PngMemorySource {
    CByteReader data;  // positioned after the signature
    int isMemory;
};

// The decoder's state (UI thread only): what the error path must release.
struct PngState {
    PngMemorySource source;
    png_structp png;
    png_infop info;
    png_bytep* rows;
    HGLOBAL volatile dib;
    jmp_buf recovery;
    char message[256];
};
PngState g_png;

void PngErrorThrow(png_structp, png_const_charp message) {
    fprintf(stderr, "libpng error: %s\n", message);
    lstrcpynA(g_png.message, message ? message : "", sizeof(g_png.message));
    longjmp(g_png.recovery, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngReadData(png_structp png, png_bytep out, size_t length) {
    PngMemorySource* src = static_cast<PngMemorySource*>(png_get_io_ptr(png));
    if (!src->data.ReadBytes(out, length))
        png_error(png, "Read Error");
}

void PngRelease() {
    free(g_png.rows);
    g_png.rows = nullptr;
    if (g_png.png)
        png_destroy_read_struct(&g_png.png, g_png.info ? &g_png.info : nullptr, nullptr);
    g_png.png = nullptr;
    g_png.info = nullptr;
}

bool PngStart(const void* data, DWORD length) {
    g_png.rows = nullptr;
    g_png.dib = nullptr;
    g_png.message[0] = 0;
    if (!data || length < kSignatureSize || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8)) {
        lstrcpynA(g_png.message, "not a PNG signature", sizeof(g_png.message));
        return false;
    }
    g_png.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorThrow, PngWarning);
    if (!g_png.png)
        return false;
    g_png.info = png_create_info_struct(g_png.png);
    if (!g_png.info) {
        PngRelease();
        return false;
    }
    g_png.source.data = CByteReader(data, length);
    g_png.source.data.Skip(kSignatureSize);
    g_png.source.isMemory = 1;
    return true;
}

// Reads the header; a library error leaves through longjmp.
__attribute__((noinline)) void PngReadHeader(png_uint_32* width, png_uint_32* height) {
    png_set_read_fn(g_png.png, &g_png.source, PngReadData);
    png_set_sig_bytes(g_png.png, kSignatureSize);
    png_read_info(g_png.png, g_png.info);
    int depth, colourType;
    png_get_IHDR(g_png.png, g_png.info, width, height, &depth, &colourType, nullptr, nullptr,
                 nullptr);
}

// The decode proper, after the header; a library error leaves through
// longjmp. Rows are read straight into the DIB, bottom row last.
__attribute__((noinline)) void PngReadPixels(png_uint_32 width, png_uint_32 height) {
    png_structp png = g_png.png;
    png_infop info = g_png.info;
    int depth, colourType;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    size_t pixels, total;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || !CheckedMul(width, height, &pixels) ||
        !CheckedMul(pixels, 4, &total) || !CheckedAdd(total, sizeof(BITMAPINFOHEADER), &total))
        png_error(png, "Visual PNG: image too large");

    if (depth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE || depth < 8 ||
        png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_color_16p background;
    if (png_get_bKGD(png, info, &background))
        png_set_background(png, background, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    double gamma;
    if (png_get_gAMA(png, info, &gamma))
        png_set_gamma(png, 2.2, gamma);
    // Blue, green, red, then alpha or 255.
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 4 || png_get_rowbytes(png, info) != (size_t)width * 4)
        png_error(png, "Visual PNG: unexpected row layout");

    g_png.dib = DibAlloc32((LONG)width, (LONG)height, false);
    if (!g_png.dib)
        png_error(png, "Visual PNG: out of memory");
    g_png.rows = static_cast<png_bytep*>(malloc(height * sizeof(png_bytep)));
    if (!g_png.rows)
        png_error(png, "Visual PNG: out of memory");
    BYTE* bits = static_cast<BYTE*>(GlobalLock(g_png.dib)) + sizeof(BITMAPINFOHEADER);
    for (png_uint_32 i = 0; i < height; ++i)
        g_png.rows[i] = bits + (size_t)(height - 1 - i) * width * 4;
    png_read_image(png, g_png.rows);
    GlobalUnlock(g_png.dib);
}

}  // namespace

const char* PngGetLastError() {
    return g_png.message;
}

bool PngGetSize(const void* data, DWORD length, int* width, int* height) {
    if (!PngStart(data, length))
        return false;
    if (setjmp(g_png.recovery)) {
        PngRelease();
        return false;
    }
    png_uint_32 w = 0, h = 0;
    PngReadHeader(&w, &h);
    PngRelease();
    if (width)
        *width = (int)w;
    if (height)
        *height = (int)h;
    return true;
}

HGLOBAL PngToDib(const void* data, int* width, int* height, DWORD length) {
    if (!PngStart(data, length))
        return nullptr;
    if (setjmp(g_png.recovery)) {
        PngRelease();
        if (g_png.dib) {
            GlobalUnlock(g_png.dib);
            GlobalFree(g_png.dib);
            g_png.dib = nullptr;
        }
        return nullptr;
    }
    png_uint_32 w = 0, h = 0;
    PngReadHeader(&w, &h);
    PngReadPixels(w, h);
    PngRelease();
    HGLOBAL dib = g_png.dib;
    g_png.dib = nullptr;
    if (width)
        *width = (int)w;
    if (height)
        *height = (int)h;
    return dib;
}

namespace {

class CPngCodec : public CPictureCodecBase {
public:
    CPngCodec() { SetExtensionList("png"); }

    // The whole picture is decoded here and kept for Decode; a picture of
    // more pixels than a picture may have is only measured, so the size
    // test refuses it before anything large is allocated.
    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        FreeHeaderBlock();
        int width = 0, height = 0;
        bool ok = PngGetSize(data, size, &width, &height);
        if (ok && (LONGLONG)width * height <= PICTURE_MAX_PIXELS) {
            m_hHeader = PngToDib(data, &width, &height, size);
            ok = m_hHeader != nullptr;
        }
        if (!ok) {
            LOG_MSG("unable decode Png file: %s", PngGetLastError());
            return E_FAIL;
        }
        m_alpha = 1;
        SetHeaderSize(width, height);
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE*, DWORD, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        HGLOBAL picture = m_hHeader;
        m_hHeader = nullptr;
        if (!picture)
            return E_FAIL;
        return HandOverDib(picture, dib);
    }
};

}  // namespace

HRESULT CreatePngCodec(PictureCodec** codec) {
    return CreateCodec<CPngCodec>(codec);
}
