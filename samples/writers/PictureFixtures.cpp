// Fixture writers for picture tests and benchmarks.
#include "PictureFixtures.h"

#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

extern "C" {
#include <jpeglib.h>
}
#include <png.h>
#include <tiffio.h>

namespace picfix {

namespace {

// Packs codes least significant bit first and cuts them into sub-blocks.
class BitPacker {
public:
    void Put(int code, int width) {
        m_acc |= (uint32_t)code << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes.push_back((uint8_t)m_acc);
            m_acc >>= 8;
            m_count -= 8;
        }
    }
    Bytes Finish(int minCodeSize) {
        if (m_count)
            m_bytes.push_back((uint8_t)m_acc);
        Bytes out;
        out.push_back((uint8_t)minCodeSize);
        for (size_t i = 0; i < m_bytes.size(); i += 255) {
            size_t n = std::min<size_t>(255, m_bytes.size() - i);
            out.push_back((uint8_t)n);
            out.insert(out.end(), m_bytes.begin() + i, m_bytes.begin() + i + n);
        }
        out.push_back(0);
        return out;
    }

private:
    Bytes m_bytes;
    uint32_t m_acc = 0;
    int m_count = 0;
};

}  // namespace

Bytes GifLzwEncode(const uint8_t* indexes, size_t count, int s, int clearEvery) {
    const int clear = 1 << s, end = clear + 1;
    // Dictionary of (prefix code, byte) -> code; a generation stamp empties
    // it at each clear without refilling.
    std::vector<uint16_t> dict(4096 * 256), stamp(4096 * 256);
    uint16_t generation = 1;
    int emitted = 0;  // codes since the last clear
    int next = clear + 2;
    BitPacker out;
    // The width the decoder reads the next code with: it adds an entry for
    // every code after the first and widens when its next entry reaches 2^w.
    auto width = [&]() {
        int decoderNext = std::min(4096, clear + 2 + std::max(0, emitted - 1));
        int w = s + 1;
        while (w < 12 && decoderNext >= (1 << w)) ++w;
        return w;
    };
    auto emit = [&](int code) {
        out.Put(code, width());
        ++emitted;
    };
    out.Put(clear, s + 1);
    if (count) {
        int prefix = indexes[0];
        for (size_t i = 1; i < count; ++i) {
            int c = indexes[i];
            size_t key = (size_t)prefix * 256 + c;
            if (stamp[key] == generation) {
                prefix = dict[key];
                continue;
            }
            emit(prefix);
            if (next < 4096) {
                dict[key] = (uint16_t)next++;
                stamp[key] = generation;
            }
            prefix = c;
            if (clearEvery > 0 && emitted >= clearEvery) {
                out.Put(clear, width());
                emitted = 0;
                next = clear + 2;
                ++generation;
            }
        }
        emit(prefix);
    }
    out.Put(end, width());
    return out.Finish(s);
}

Bytes WriteGif(const GifSpec& spec) {
    CByteWriter w;
    const int entries = 1 << spec.colourBits;
    std::vector<uint8_t> table(spec.palette);
    table.resize(3 * entries, 0);
    // Header and logical screen descriptor.
    w.Text("GIF89a");
    w.U16(spec.screenWidth < 0 ? spec.width : spec.screenWidth);
    w.U16(spec.screenHeight < 0 ? spec.height : spec.screenHeight);
    w.U8((spec.globalTable ? 0x80 : 0) | (spec.colourBits - 1)).U8(0).U8(0);
    if (spec.globalTable)
        w.Bytes(table.data(), table.size());
    w.Bytes(spec.extensions);
    // Image descriptor: left, top, width, height, packed.
    w.U8(0x2C).U16(0).U16(0).U16(spec.width).U16(spec.height);
    w.U8((spec.localTable ? 0x80 : 0) | (spec.interlaced ? 0x40 : 0) |
         (spec.localTable ? spec.colourBits - 1 : 0));
    if (spec.localTable)
        w.Bytes(table.data(), table.size());
    // Rows in storage order.
    std::vector<uint8_t> stored;
    stored.reserve(spec.indexes.size());
    if (spec.interlaced) {
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < spec.height; y += step[pass])
                stored.insert(stored.end(), spec.indexes.begin() + (size_t)y * spec.width,
                              spec.indexes.begin() + (size_t)(y + 1) * spec.width);
    } else {
        stored = spec.indexes;
    }
    int minCode = spec.minCodeSize >= 0 ? spec.minCodeSize : std::max(2, spec.colourBits);
    w.Bytes(GifLzwEncode(stored.data(), stored.size(), minCode));
    w.U8(0x3B);
    return w.Vector();
}

Bytes WriteGifAnimation(const GifAnimSpec& spec) {
    CByteWriter w;
    auto table = [](const std::vector<uint8_t>& palette, int bits) {
        std::vector<uint8_t> t(palette);
        t.resize((size_t)3 << bits, 0);
        return t;
    };
    w.Text("GIF89a").U16(spec.width).U16(spec.height);
    w.U8((spec.globalTable ? 0x80 : 0) | (spec.colourBits - 1)).U8(spec.background).U8(0);
    if (spec.globalTable)
        w.Bytes(table(spec.palette, spec.colourBits));
    for (const GifFrameSpec& f : spec.frames) {
        w.Bytes(f.before);
        if (f.control) {
            w.U8(0x21).U8(0xF9).U8(4);
            w.U8((uint8_t)((f.disposal & 7) << 2 | (f.transparent >= 0 ? 1 : 0)));
            w.U16((uint16_t)f.delay).U8((uint8_t)(f.transparent >= 0 ? f.transparent : 0)).U8(0);
        }
        w.U8(0x2C).U16(f.left).U16(f.top).U16(f.width).U16(f.height);
        w.U8((f.localTable ? 0x80 | (f.localBits - 1) : 0) | (f.interlaced ? 0x40 : 0));
        if (f.localTable)
            w.Bytes(table(f.localPalette, f.localBits));
        std::vector<uint8_t> stored;
        if (f.interlaced) {
            static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < f.height; y += step[pass])
                    stored.insert(stored.end(), f.indexes.begin() + (size_t)y * f.width,
                                  f.indexes.begin() + (size_t)(y + 1) * f.width);
        } else {
            stored = f.indexes;
        }
        const int bits = f.localTable ? f.localBits : spec.colourBits;
        w.Bytes(GifLzwEncode(stored.data(), stored.size(), std::max(2, bits)));
    }
    w.U8(0x3B);
    return w.Vector();
}

Bytes WriteJpeg(int width, int height, int components, const uint8_t* pixels, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (components == 4)
        jpeg_set_colorspace(&cinfo, JCS_CMYK);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels + (size_t)cinfo.next_scanline * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

bool DecodeJpegReference(const Bytes& file, int* width, int* height, std::vector<uint32_t>* pixels,
                         uint8_t alpha) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *width = cinfo.output_width;
    *height = cinfo.output_height;
    pixels->assign((size_t)*width * *height, 0);
    std::vector<uint8_t> row((size_t)*width * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        size_t y = cinfo.output_scanline;
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (int x = 0; x < *width; ++x)
            (*pixels)[y * *width + x] = ((uint32_t)alpha << 24) | ((uint32_t)row[3 * x] << 16) |
                                        ((uint32_t)row[3 * x + 1] << 8) | row[3 * x + 2];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

namespace {

void PngWriteToVector(png_structp png, png_bytep data, size_t length) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void PngFlushNothing(png_structp) {}

}  // namespace

Bytes WritePng(const PngSpec& spec) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Bytes();
    }
    png_set_write_fn(png, &out, PngWriteToVector, PngFlushNothing);
    png_set_compression_level(png, spec.compression);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (!spec.palette.empty()) {
        for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
            palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    }
    png_color_16 trnsColour;
    memset(&trnsColour, 0, sizeof(trnsColour));
    if (!spec.trnsAlpha.empty()) {
        png_set_tRNS(png, info, spec.trnsAlpha.data(), (int)spec.trnsAlpha.size(), nullptr);
    } else if (spec.trnsGrey >= 0) {
        trnsColour.gray = (png_uint_16)spec.trnsGrey;
        png_set_tRNS(png, info, nullptr, 0, &trnsColour);
    }
    png_color_16 background;
    memset(&background, 0, sizeof(background));
    if (spec.background) {
        background.gray = spec.backgroundGrey;
        background.index = spec.backgroundIndex;
        png_set_bKGD(png, info, &background);
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(spec.height);
    for (int y = 0; y < spec.height; ++y)
        rows[y] = const_cast<png_bytep>(spec.rows.data() + (size_t)y * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

struct TiffWriteStream {
    Bytes bytes;
    toff_t position = 0;
};

tmsize_t TiffStreamRead(thandle_t h, void* buffer, tmsize_t size) {
    TiffWriteStream* s = static_cast<TiffWriteStream*>(h);
    if (s->position >= s->bytes.size())
        return 0;
    size_t n = std::min<size_t>((size_t)size, s->bytes.size() - (size_t)s->position);
    memcpy(buffer, s->bytes.data() + s->position, n);
    s->position += n;
    return (tmsize_t)n;
}
tmsize_t TiffStreamWrite(thandle_t h, void* buffer, tmsize_t size) {
    TiffWriteStream* s = static_cast<TiffWriteStream*>(h);
    if (s->position + size > s->bytes.size())
        s->bytes.resize((size_t)(s->position + size));
    memcpy(s->bytes.data() + s->position, buffer, (size_t)size);
    s->position += size;
    return size;
}
toff_t TiffStreamSeek(thandle_t h, toff_t offset, int whence) {
    TiffWriteStream* s = static_cast<TiffWriteStream*>(h);
    if (whence == SEEK_CUR)
        offset += s->position;
    else if (whence == SEEK_END)
        offset += s->bytes.size();
    s->position = offset;
    return offset;
}
int TiffStreamClose(thandle_t) {
    return 0;
}
toff_t TiffStreamSize(thandle_t h) {
    return static_cast<TiffWriteStream*>(h)->bytes.size();
}
int TiffStreamMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffStreamUnmap(thandle_t, void*, toff_t) {}

}  // namespace

Bytes WriteTiff(const TiffSpec& spec) {
    TiffWriteStream stream;
    TIFF* tif =
        TIFFClientOpen("fixture", "w", &stream, TiffStreamRead, TiffStreamWrite, TiffStreamSeek,
                       TiffStreamClose, TiffStreamSize, TiffStreamMap, TiffStreamUnmap);
    if (!tif)
        return Bytes();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, (uint32_t)spec.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, (uint32_t)spec.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, (uint16_t)spec.bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, (uint16_t)spec.samplesPerPixel);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, (uint16_t)spec.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, (uint16_t)spec.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, (uint16_t)PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 (uint32_t)(spec.rowsPerStrip > 0 ? spec.rowsPerStrip : spec.height));
    if (spec.extraAlpha) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, (uint16_t)1, &extra);
    }
    const size_t rowBytes =
        ((size_t)spec.width * spec.samplesPerPixel * spec.bitsPerSample + 7) / 8;
    for (int y = 0; y < spec.height; ++y) {
        if (TIFFWriteScanline(tif, const_cast<uint8_t*>(spec.pixels.data() + y * rowBytes),
                              (uint32_t)y, 0) < 0) {
            TIFFClose(tif);
            return Bytes();
        }
    }
    TIFFClose(tif);
    return stream.bytes;
}

bool ReadDib32(HGLOBAL dib, Dib32* out) {
    if (!dib)
        return false;
    SIZE_T size = GlobalSize(dib);
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    if (!bih)
        return false;
    bool ok = size >= sizeof(BITMAPINFOHEADER) && bih->biSize == sizeof(BITMAPINFOHEADER) &&
              bih->biBitCount == 32 && bih->biCompression == BI_RGB && bih->biWidth > 0 &&
              bih->biHeight != 0;
    if (ok) {
        out->width = bih->biWidth;
        out->topDown = bih->biHeight < 0;
        out->height = out->topDown ? -bih->biHeight : bih->biHeight;
        size_t pixels = (size_t)out->width * out->height;
        ok = size >= sizeof(BITMAPINFOHEADER) + pixels * 4;
        if (ok) {
            const uint32_t* rows = reinterpret_cast<const uint32_t*>(bih + 1);
            out->pixels.resize(pixels);
            for (int y = 0; y < out->height; ++y) {
                int from = out->topDown ? y : out->height - 1 - y;
                memcpy(&out->pixels[(size_t)y * out->width], rows + (size_t)from * out->width,
                       (size_t)out->width * 4);
            }
        }
    }
    GlobalUnlock(dib);
    return ok;
}

}  // namespace picfix
