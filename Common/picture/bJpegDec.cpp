// JPEG codec over libjpeg: the program's own memory data source and error
// handler. A library error jumps back to the decoder's recovery point, which
// releases what it took and returns null; nothing with a destructor lives
// between setjmp and longjmp.
#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bPicCodec.h"
#include "bTraceLog.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace {

const size_t kSourceBufferSize = 4096;

// The data source: the library's manager, then the block being read.
struct JpegSource {
    jpeg_source_mgr pub;
    CByteReader* data;
    JOCTET* buffer;
    boolean startOfFile;
};

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf recovery;
};

// The last library message and its code (UI thread only).
char g_jpegMessage[200];
int g_jpegCode;

void JpegErrorExit(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    lstrcpynA(g_jpegMessage, text, sizeof(g_jpegMessage));
    g_jpegCode = cinfo->err->msg_code;
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

void JpegOutputMessage(j_common_ptr) {
    // Warnings are not printed; a truncated picture still decodes.
}

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    JpegSource* src = reinterpret_cast<JpegSource*>(cinfo->src);
    size_t n = src->data->Remaining();
    if (n > kSourceBufferSize)
        n = kSourceBufferSize;
    if (n == 0) {
        if (src->startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An end-of-image marker lets the library finish what it has.
        src->buffer[0] = (JOCTET)0xFF;
        src->buffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    } else {
        src->data->ReadBytes(src->buffer, n);
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    JpegSource* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (count <= 0)
        return;
    while (count > (long)src->pub.bytes_in_buffer) {
        count -= (long)src->pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= count;
}

void TermSource(j_decompress_ptr) {}

void JpegSetSource(j_decompress_ptr cinfo, CByteReader* data) {
    JpegSource* src = static_cast<JpegSource*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegSource)));
    src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kSourceBufferSize));
    src->data = data;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    cinfo->src = &src->pub;
}

void SetupErrors(jpeg_decompress_struct* cinfo, JpegErrorManager* err) {
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = JpegErrorExit;
    err->pub.output_message = JpegOutputMessage;
    g_jpegMessage[0] = 0;
    g_jpegCode = 0;
}

// Converts one scanline of the sample buffer into a DIB row.
void ConvertCmykRow(const JSAMPLE* s, BYTE* d, JDIMENSION width, int bytesPerPixel) {
    for (JDIMENSION x = 0; x < width; ++x, s += 4, d += bytesPerPixel) {
        unsigned k = s[3];
        d[0] = (BYTE)(s[2] * k / 255);
        d[1] = (BYTE)(s[1] * k / 255);
        d[2] = (BYTE)(s[0] * k / 255);
        if (bytesPerPixel == 4)
            d[3] = 0;
    }
}

}  // namespace

int JpegGetLastError(char* buffer, int size) {
    if (buffer && size > 0)
        lstrcpynA(buffer, g_jpegMessage, size);
    return g_jpegCode;
}

namespace {

// One decode: everything the recovery path needs lives here, in memory. The
// work after setjmp runs in functions of their own (not inlined), so no local
// of the function that called setjmp changes before a longjmp.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    CByteReader reader;
    HGLOBAL volatile dib;
};

__attribute__((noinline)) void JpegBegin(JpegJob* job, const void* data, DWORD length) {
    job->reader = CByteReader(data, length);
    jpeg_create_decompress(&job->cinfo);
    JpegSetSource(&job->cinfo, &job->reader);
    jpeg_read_header(&job->cinfo, TRUE);
}

// The decode proper; a library error leaves it through longjmp.
__attribute__((noinline)) HGLOBAL JpegDecodeRows(JpegJob* job, int bits) {
    jpeg_decompress_struct& cinfo = job->cinfo;
    // Grey, YCbCr and RGB pictures come out of the library in DIB order;
    // CMYK ones are mixed here; anything else leaves the rows black.
    bool direct = false;
    switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            cinfo.out_color_space = bits == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
            direct = true;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo.out_color_space = JCS_CMYK;
            break;
        default:
            break;
    }
    jpeg_start_decompress(&cinfo);

    const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
    DWORD stride = 0;
    size_t image = 0, total = 0;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || !DibRowStride((LONG)width, bits, &stride) ||
        !CheckedMul(stride, height, &image) || !CheckedAdd(image, sizeof(BITMAPINFOHEADER), &total))
        ERREXIT(&cinfo, JERR_WIDTH_OVERFLOW);
    job->dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total);
    if (!job->dib)
        ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
    BYTE* block = static_cast<BYTE*>(GlobalLock(job->dib));
    BITMAPINFOHEADER* bih = reinterpret_cast<BITMAPINFOHEADER*>(block);
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = (LONG)width;
    bih->biHeight = (LONG)height;
    bih->biPlanes = 1;
    bih->biBitCount = (WORD)bits;
    BYTE* rows = block + sizeof(BITMAPINFOHEADER);

    JSAMPARRAY sample = nullptr;
    if (!direct)
        sample = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                            width * cinfo.output_components, 1);
    // The first scanline is the last DIB row.
    while (cinfo.output_scanline < height) {
        BYTE* row = rows + (size_t)(height - 1 - cinfo.output_scanline) * stride;
        if (direct) {
            JSAMPROW target = row;
            jpeg_read_scanlines(&cinfo, &target, 1);
            if (bits == 32) {
                // The library fills the fourth byte with 255; DIB pixels carry 0.
                uint32_t* pixel = reinterpret_cast<uint32_t*>(row);
                for (JDIMENSION x = 0; x < width; ++x) pixel[x] &= 0x00FFFFFFu;
            }
        } else {
            jpeg_read_scanlines(&cinfo, sample, 1);
            if (cinfo.out_color_space == JCS_CMYK && cinfo.output_components == 4)
                ConvertCmykRow(sample[0], row, width, bits / 8);
        }
    }
    jpeg_finish_decompress(&cinfo);
    GlobalUnlock(job->dib);
    return job->dib;
}

}  // namespace

int JpegGetSize(const void* data, DWORD length, int* width, int* height) {
    JpegJob job;
    job.dib = nullptr;
    SetupErrors(&job.cinfo, &job.err);
    if (setjmp(job.err.recovery)) {
        jpeg_destroy_decompress(&job.cinfo);
        return 0;
    }
    JpegBegin(&job, data, length);
    if (width)
        *width = (int)job.cinfo.image_width;
    if (height)
        *height = (int)job.cinfo.image_height;
    jpeg_destroy_decompress(&job.cinfo);
    return 1;
}

HGLOBAL JpegToDib(const void* data, DWORD length, int bitCount) {
    JpegJob job;
    job.dib = nullptr;
    SetupErrors(&job.cinfo, &job.err);
    if (setjmp(job.err.recovery)) {
        jpeg_destroy_decompress(&job.cinfo);
        if (job.dib) {
            GlobalUnlock(job.dib);
            GlobalFree(job.dib);
        }
        return nullptr;
    }
    JpegBegin(&job, data, length);
    HGLOBAL dib = JpegDecodeRows(&job, bitCount == 32 ? 32 : 24);
    jpeg_destroy_decompress(&job.cinfo);
    return dib;
}

namespace {

class CJpegCodec : public CPictureCodecBase {
public:
    CJpegCodec() { SetExtensionList("jpg;jpeg"); }

    STDMETHOD(ReadInfo)(const BYTE* data, DWORD size) override {
        int width = 0, height = 0;
        if (!JpegGetSize(data, size, &width, &height)) {
            LogFailure();
            return E_FAIL;
        }
        SetHeaderSize(width, height);
        return S_OK;
    }

    STDMETHOD(Decode)(const BYTE* data, DWORD size, HGLOBAL* dib) override {
        if (!dib)
            return E_POINTER;
        *dib = nullptr;
        HGLOBAL picture = JpegToDib(data, size, 32);
        if (!picture) {
            LogFailure();
            return E_FAIL;
        }
        return HandOverDib(picture, dib);
    }

private:
    void LogFailure() {
        char text[200];
        int code = JpegGetLastError(text, sizeof(text));
        LOG_MSG("unable decode JPG file(%d): %s", code, text);
    }
};

}  // namespace

HRESULT CreateJpegCodec(PictureCodec** codec) {
    return CreateCodec<CJpegCodec>(codec);
}
