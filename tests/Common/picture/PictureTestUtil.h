// Shared pieces of the picture tests: a play site with the built-in codec
// list, decoding through the picture object, and a trace log whose text the
// tests can read.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "PictureFixtures.h"
#include "TestFiles.h"
#include "bPicBase.h"
#include "bTraceLog.h"

namespace pictest {

using picfix::Bytes;
using picfix::Dib32;

// 1-based positions of the built-in codecs.
enum { kBmp = 1, kGif, kJpeg, kTiff, kTga, kPic, kGrh, kPng };

class TestCodecSite : public IPictureCodecSite {
public:
    explicit TestCodecSite(ICodecModuleCreator* creator = nullptr) { manager.Init(creator); }
    STDMETHOD(GetCodecManager)(PictureCodecManager** out) override {
        *out = &manager;
        return S_OK;
    }
    PictureCodecManager manager;
};

struct Decoded {
    HRESULT hr = E_FAIL;
    bool haveDib = false;
    Dib32 dib;
    int alpha = 0;
    LONG width = 0, height = 0;
};

// Decodes the bytes with one codec through a fresh picture object.
inline Decoded DecodeWith(int codec, const Bytes& bytes) {
    static TestCodecSite site;
    Decoded d;
    PicBase* pic = nullptr;
    if (FAILED(CreatePicBaseInterface(&pic, &site)))
        return d;
    d.hr = pic->DecodeMemory(bytes.empty() ? nullptr : bytes.data(), (DWORD)bytes.size(), codec);
    d.alpha = pic->GetAlphaFlag();
    d.width = pic->GetWidth();
    d.height = pic->GetHeight();
    HGLOBAL dib = nullptr;
    if (SUCCEEDED(pic->DetachDIB(&dib))) {
        d.haveDib = picfix::ReadDib32(dib, &d.dib);
        GlobalFree(dib);
    }
    pic->Release();
    return d;
}

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

// Pixel word 0xAARRGGBB.
constexpr uint32_t Px(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace pictest
