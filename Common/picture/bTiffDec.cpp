// TIFF codec over libtiff: the block is opened with the program's own I/O
// procedures and read with the library's RGBA reader. Library messages go to
// one process-wide buffer, so the last warning or error wins.
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <new>

#include <tiffio.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

namespace {

// The client handle of an open block.
struct TiffMemHandle {
    const BYTE* data;
    toff_t size;
    toff_t position;
    DWORD flags;  // bit 0: memory
};

char g_tiffMessage[256];

// The module name (at most 128 characters), then directly the message.
LOG_FORMAT(2, 0)
void TiffMessageHandler(const char* module, const char* format, va_list args) {
    int n = 0;
    if (module) {
        while (module[n] && n < 128) ++n;
        memcpy(g_tiffMessage, module, n);
    }
    g_tiffMessage[n] = 0;
    vsnprintf(g_tiffMessage + n, sizeof(g_tiffMessage) - n, format, args);
}

LOG_FORMAT(2, 3) void TiffReport(const char* module, const char* format, ...) {
    va_list args;
    va_start(args, format);
    TiffMessageHandler(module, format, args);
    va_end(args);
}

tmsize_t TiffRead(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemHandle* h = static_cast<TiffMemHandle*>(handle);
    if (size <= 0 || h->position >= h->size)
        return 0;
    toff_t left = h->size - h->position;
    toff_t n = (toff_t)size < left ? (toff_t)size : left;
    memcpy(buffer, h->data + h->position, (size_t)n);
    h->position += n;
    return (tmsize_t)n;
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
    TiffMemHandle* h = static_cast<TiffMemHandle*>(handle);
    if (offset == (toff_t)-1)
        return (toff_t)-1;
    // Offsets are signed relative to the current position or the end.
    int64_t base = whence == SEEK_CUR   ? (int64_t)h->position
                   : whence == SEEK_END ? (int64_t)h->size
                                        : 0;
    int64_t target = whence == SEEK_SET ? (int64_t)(offset > (toff_t)INT64_MAX ? INT64_MAX : offset)
                                        : base + (int64_t)offset;
    if (target < 0)
        target = 0;
    if ((toff_t)target > h->size)
        target = (int64_t)h->size;
    h->position = (toff_t)target;
    return h->position;
}

int TiffClose(thandle_t handle) {
    delete static_cast<TiffMemHandle*>(handle);
    return 0;
}

toff_t TiffSize(thandle_t handle) {
    return static_cast<TiffMemHandle*>(handle)->size;
}

int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}

void TiffUnmap(thandle_t, void*, toff_t) {}

}  // namespace

void TiffGetLastError(char* buffer, int size) {
    if (buffer && size > 0)
        lstrcpynA(buffer, g_tiffMessage, size);
}

TIFF* TiffOpenMemory(const void* data, DWORD size) {
    TIFFSetErrorHandler(TiffMessageHandler);
    TIFFSetWarningHandler(TiffMessageHandler);
    g_tiffMessage[0] = 0;
    if (!data) {
        TIFFErrorExt(nullptr, "TIFFOpen", "%s: Cannot open tiff", "TiffInMem");
        return nullptr;
    }
    TiffMemHandle* h = new (std::nothrow) TiffMemHandle{static_cast<const BYTE*>(data), size, 0, 1};
    if (!h)
        return nullptr;
    TIFF* tif = TIFFClientOpen("TiffInMem", "r", h, TiffRead, TiffWrite, TiffSeek, TiffClose,
                               TiffSize, TiffMap, TiffUnmap);
    // TIFFClose frees the handle through TiffClose; a failed open does not.
    if (!tif)
        delete h;
    return tif;
}

bool TiffGetSize(const void* data, DWORD size, int* width, int* height) {
    TIFF* tif = TiffOpenMemory(data, size);
    if (!tif)
        return false;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFClose(tif);
    if (w > 0x7FFFFFFF || h > 0x7FFFFFFF) {
        TiffReport("TiffInMem", ": picture size out of range");
        return false;
    }
    if (width)
        *width = (int)w;
    if (height)
        *height = (int)h;
    return true;
}

HGLOBAL TiffToDib(const void* data, DWORD size) {
    TIFF* tif = TiffOpenMemory(data, size);
    if (!tif)
        return nullptr;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    char reason[1024];
    if (!TIFFRGBAImageOK(tif, reason)) {
        TiffReport("", "%s", reason);
        TIFFClose(tif);
        return nullptr;
    }
    HGLOBAL dib = nullptr;
    if (width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF)
        dib = DibCreate((int)width, (int)height, 32);
    if (!dib) {
        TiffReport("", "Cannot CreateDIB:  %d x %d", (int)width, (int)height);
        TIFFClose(tif);
        return nullptr;
    }
    BYTE* block = static_cast<BYTE*>(GlobalLock(dib));
    uint32_t* raster = reinterpret_cast<uint32_t*>(DibBitsPointer(block));
    int ok = TIFFReadRGBAImage(tif, width, height, raster, 1);
    TIFFClose(tif);
    if (ok) {
        // The library packs red in the lowest byte; DIB words hold blue there.
        const size_t pixels = (size_t)width * height;
        for (size_t i = 0; i < pixels; ++i) {
            uint32_t v = raster[i];
            raster[i] = (v & 0xFF00FF00u) | ((v & 0xFF) << 16) | ((v >> 16) & 0xFF);
        }
    }
    GlobalUnlock(dib);
    if (!ok) {
        GlobalFree(dib);
        return nullptr;
    }
    return dib;
}

namespace {

class CTiffCodec : public CPictureCodecBase {
public:
    CTiffCodec() { SetExtensionList("tif;tiff"); }

    // The whole picture is decoded here and kept for Decode; one of more
    // pixels than a picture may have is only measured, so the size test
    // refuses it before anything large is allocated.
    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        FreeHeaderBlock();
        int width = 0, height = 0;
        bool ok = TiffGetSize(data, size, &width, &height);
        if (ok && (LONGLONG)width * height > PICTURE_MAX_PIXELS) {
            SetHeaderSize(width, height);
            return S_OK;
        }
        if (ok) {
            m_hHeader = TiffToDib(data, size);
            ok = m_hHeader != nullptr;
        }
        if (!ok) {
            char text[256];
            TiffGetLastError(text, sizeof(text));
            LOG_MSG("unable decode tiff file: %s", text);
            return E_FAIL;
        }
        const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(m_hHeader));
        m_header = *bih;
        GlobalUnlock(m_hHeader);
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE*, DWORD, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = m_hHeader;
        m_hHeader = nullptr;
        return *dib ? S_OK : E_FAIL;
    }
};

}  // namespace

HRESULT CreateTiffCodec(PictureCodec** codec) {
    return CreateCodec<CTiffCodec>(codec);
}
