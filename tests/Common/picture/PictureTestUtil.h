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

using picfix::BmpFile;
using picfix::DibSpec;
using picfix::MakeDib;

// Pixel word 0xAARRGGBB.
constexpr uint32_t Px(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace pictest
