// Picture decoding speed. JPEG (4000 x 3000) and RGBA PNG (2048 x 2048)
// through the picture object, against the same library decoding the same
// file straight to 32-bit pixels in the same run; the program's own GIF and
// BMP decoders in megapixels per second.
#include "BenchClock.h"
#include <windows.h>

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

extern "C" {
#include <jpeglib.h>
}
#include <png.h>

#include "PictureFixtures.h"
#include "bPicBase.h"

using picfix::Bytes;

namespace {

class BenchSite : public IPictureCodecSite {
public:
    BenchSite() { manager.Init(nullptr); }
    STDMETHOD(GetCodecManager)(PictureCodecManager** out) override {
        *out = &manager;
        return S_OK;
    }
    PictureCodecManager manager;
};

// Best of several runs, in seconds.
double Best(int runs, const std::function<void()>& work) {
    return FastestRun(work, runs);
}

BenchSite* g_site;

void DecodeThroughPicture(const Bytes& file, int codec) {
    PicBase* pic = nullptr;
    CreatePicBaseInterface(&pic, g_site);
    HRESULT hr = pic->DecodeMemory(file.data(), (DWORD)file.size(), codec);
    if (FAILED(hr) || !pic->GetDIB()) {
        fprintf(stderr, "decode failed (codec %d): 0x%08lX\n", codec, (unsigned long)hr);
        exit(1);
    }
    pic->Release();
}

// libjpeg straight to 32-bit pixels: its own memory source, BGRX output.
void JpegReference(const Bytes& file) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    const size_t stride = (size_t)cinfo.output_width * 4;
    std::vector<uint8_t> pixels(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels[cinfo.output_scanline * stride];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

struct PngReader {
    const Bytes* file;
    size_t position;
};

void PngRead(png_structp png, png_bytep out, size_t n) {
    PngReader* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->position + n > r->file->size())
        png_error(png, "short");
    memcpy(out, r->file->data() + r->position, n);
    r->position += n;
}

// libpng straight to 32-bit pixels: blue, green, red, alpha rows.
void PngReference(const Bytes& file) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        fprintf(stderr, "reference PNG decode failed\n");
        exit(1);
    }
    PngReader reader{&file, 0};
    png_set_read_fn(png, &reader, PngRead);
    png_read_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info),
                      height = png_get_image_height(png, info);
    std::vector<uint8_t> pixels((size_t)width * height * 4);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = &pixels[(size_t)y * width * 4];
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
}

// A photograph-like picture: smooth shading with some noise.
std::vector<uint8_t> Photo(int width, int height, int channels, uint32_t seed) {
    picfix::Rng rng(seed);
    std::vector<uint8_t> px((size_t)width * height * channels);
    uint8_t* p = px.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int noise = (int)(rng.Next() & 15);
            p[0] = (uint8_t)((x * 255 / width + noise) & 0xFF);
            if (channels > 1)
                p[1] = (uint8_t)((y * 255 / height + noise) & 0xFF);
            if (channels > 2)
                p[2] = (uint8_t)(((x + y) / 8 + noise) & 0xFF);
            if (channels > 3)
                p[3] = (uint8_t)(x ^ y);
            p += channels;
        }
    return px;
}

void Ratio(const char* name, double mine, double reference, double pixels) {
    printf("%-34s %8.1f ms  reference %8.1f ms  ratio %.3f  (%.1f MP/s)\n", name, mine * 1e3,
           reference * 1e3, mine / reference, pixels / mine / 1e6);
}

}  // namespace

int main() {
    BenchSite site;
    g_site = &site;

    // JPEG 4000 x 3000.
    {
        std::vector<uint8_t> px = Photo(4000, 3000, 3, 1);
        Bytes jpeg = picfix::WriteJpeg(4000, 3000, 3, px.data(), 85);
        DecodeThroughPicture(jpeg, 3);
        JpegReference(jpeg);
        double mine = 0, reference = 0;
        // Interleaved so both see the same machine state.
        mine = Best(5, [&] { DecodeThroughPicture(jpeg, 3); });
        reference = Best(5, [&] { JpegReference(jpeg); });
        mine = std::min(mine, Best(3, [&] { DecodeThroughPicture(jpeg, 3); }));
        reference = std::min(reference, Best(3, [&] { JpegReference(jpeg); }));
        Ratio("JPEG 4000x3000 picture object", mine, reference, 4000.0 * 3000);
    }
    // PNG 2048 x 2048 RGBA.
    {
        picfix::PngSpec s;
        s.width = 2048;
        s.height = 2048;
        s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.rows = Photo(2048, 2048, 4, 2);
        Bytes png = picfix::WritePng(s);
        DecodeThroughPicture(png, 8);
        PngReference(png);
        double mine = Best(5, [&] { DecodeThroughPicture(png, 8); });
        double reference = Best(5, [&] { PngReference(png); });
        mine = std::min(mine, Best(3, [&] { DecodeThroughPicture(png, 8); }));
        reference = std::min(reference, Best(3, [&] { PngReference(png); }));
        Ratio("PNG 2048x2048 RGBA picture object", mine, reference, 2048.0 * 2048);
    }
    // The program's own decoders.
    {
        picfix::Rng rng(3);
        picfix::GifSpec g;
        g.width = 2048;
        g.height = 2048;
        g.colourBits = 8;
        for (int i = 0; i < 768; ++i) g.palette.push_back((uint8_t)rng.Next());
        g.indexes.resize((size_t)2048 * 2048);
        std::vector<uint8_t> photo = Photo(2048, 2048, 1, 3);
        for (size_t i = 0; i < g.indexes.size(); ++i) g.indexes[i] = photo[i];
        Bytes gif = picfix::WriteGif(g);
        g.interlaced = true;
        Bytes interlaced = picfix::WriteGif(g);
        double t = Best(5, [&] { DecodeThroughPicture(gif, 2); });
        printf("%-34s %8.1f ms  %.1f MP/s  (%zu bytes)\n", "GIF 2048x2048 8-bit", t * 1e3,
               2048.0 * 2048 / t / 1e6, gif.size());
        t = Best(5, [&] { DecodeThroughPicture(interlaced, 2); });
        printf("%-34s %8.1f ms  %.1f MP/s\n", "GIF 2048x2048 8-bit interlaced", t * 1e3,
               2048.0 * 2048 / t / 1e6);
    }
    for (int bits : {8, 24, 32}) {
        const int w = 2048, h = 2048;
        const size_t stride = ((size_t)w * bits + 31) / 32 * 4;
        CByteWriter b;
        const uint32_t palette = bits == 8 ? 256 * 4 : 0;
        b.U8('B').U8('M').U32((uint32_t)(54 + palette + stride * h)).U32(0).U32(54 + palette);
        b.U32(40).U32(w).U32(h).U16(1).U16(bits).U32(0).U32(0).U32(0).U32(0).U32(0).U32(0);
        for (uint32_t i = 0; i < palette / 4; ++i) b.U32(i * 0x010203);
        std::vector<uint8_t> rows = Photo((int)stride, h, 1, 4);
        b.Bytes(rows.data(), rows.size());
        Bytes bmp = b.Vector();
        double t = Best(5, [&] { DecodeThroughPicture(bmp, 1); });
        char name[64];
        snprintf(name, sizeof(name), "BMP 2048x2048 %d-bit", bits);
        printf("%-34s %8.1f ms  %.1f MP/s\n", name, t * 1e3, 2048.0 * 2048 / t / 1e6);
    }
    return 0;
}
