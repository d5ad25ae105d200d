// Picture and texture fills: tiling, centring, stretching, media loading
// through a fake play site, names, the stored forms; generated textures.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <map>

#include "DrawTestUtil.h"
#include "PictureFixtures.h"
#include "ProcessMemory.h"
#include "TestFiles.h"
#include "aMediaMgr.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bFillGrd.h"
#include "bFillTex.h"
#include "bPicBase.h"

using namespace drawtest;

namespace {

using picfix::Bmp24;

DWORD Distinct(int x, int y) {
    return (DWORD)(0x10 + x * 16) << 16 | (DWORD)(0x20 + y * 8) << 8 | 0x33;
}

// A media manager that serves embedded media from a map (and files by path).
class FakeMedia : public IMediaManager {
public:
    std::map<std::string, std::string> embedded;
    std::map<std::string, std::string> files;  // name -> path
    int reads = 0;

    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetMediaFilePath)(const char* name, int, char* path, int length) override {
        auto it = files.find(name);
        if (it == files.end())
            return E_FAIL;
        lstrcpynA(path, it->second.c_str(), length);
        return S_OK;
    }
    STDMETHOD(GetDefaultExtension)(const char*, char* buffer, int length) override {
        lstrcpynA(buffer, "bmp", length);
        return S_OK;
    }
    STDMETHOD(GetExternalFilePath)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(ReadMediaData)(const char* name, int, int, void* buffer, DWORD* size) override {
        auto it = embedded.find(name);
        if (it == embedded.end())
            return E_FAIL;
        if (!buffer) {
            *size = (DWORD)it->second.size();
            return S_OK;
        }
        ++reads;
        DWORD n = std::min<DWORD>(*size, (DWORD)it->second.size());
        memcpy(buffer, it->second.data(), n);
        *size = n;
        return S_OK;
    }
#define FAKE_EDIT(n)                              \
    STDMETHOD(EditOp##n)(void*, void*) override { \
        return E_NOTIMPL;                         \
    }
    FAKE_EDIT(7)
    FAKE_EDIT(8)
    STDMETHOD(MediaNameStored)(const char*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(MediaNameRemoved)(const char*) override {
        return E_NOTIMPL;
    }
    FAKE_EDIT(11)
    FAKE_EDIT(12)
    STDMETHOD(EditOp13)(void**) override {
        return E_NOTIMPL;
    }
    STDMETHOD(GetMediaType)(const char*, int*, int*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(MediaTypeFromFileName)(const char*, int*, int*) override {
        return E_NOTIMPL;
    }
    FAKE_EDIT(16)
    FAKE_EDIT(17)
    STDMETHOD(ChooseMedia)(int, int, char*, int) override {
        return E_NOTIMPL;
    }
    FAKE_EDIT(19)
    FAKE_EDIT(20)
    STDMETHOD(RegisterLinkedFile)(const char*, int, char*, int) override {
        return E_NOTIMPL;
    }
    FAKE_EDIT(22)
    FAKE_EDIT(23)
    FAKE_EDIT(24)
    FAKE_EDIT(25)
    FAKE_EDIT(26)
    STDMETHOD(IsFileMedia)(const char* name, BYTE* flag) override {
        *flag = files.count(name) ? 1 : 0;
        return S_OK;
    }
    FAKE_EDIT(28)
    STDMETHOD(StoreMediaData)(int, int, const void*, int, int, char*, int) override {
        return E_NOTIMPL;
    }
    STDMETHOD(IsMediaName)(const char*) override {
        return E_NOTIMPL;
    }
    FAKE_EDIT(31)
#undef FAKE_EDIT
    STDMETHOD(ExtractMediaToTempFile)(const char*, char*, int) override {
        return E_NOTIMPL;
    }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
};

// The play site as the picture fill sees it.
class FakeSite : public IFillMediaSite, public IPictureCodecSite {
public:
    FakeSite() { codecs.Init(nullptr); }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == __uuidof(IFillMediaSite) || iid == IID_IUnknown) {
            *ppv = static_cast<IFillMediaSite*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetMediaManager)(IMediaManager** manager) override {
        *manager = &media;
        return S_OK;
    }
    STDMETHOD(GetCodecSite)(IPictureCodecSite** site) override {
        *site = this;
        return S_OK;
    }
    STDMETHOD(GetCodecManager)(PictureCodecManager** manager) override {
        *manager = &codecs;
        return S_OK;
    }
    IPlayerSite* Site() { return reinterpret_cast<IPlayerSite*>(static_cast<IUnknown*>(this)); }

    FakeMedia media;
    PictureCodecManager codecs;
};

struct PictureFillFixture {
    PictureFillFixture() {
        fill.Attach(CreateFillObject());
        EXPECT_EQ(S_OK, fill->SetFillType(FILL_PICTURE));
        void* p = nullptr;
        fill->GetFillParams(&p);
        params = static_cast<IPictureFillParams*>(p);
    }
    CComPtr<FillObject> fill;
    IPictureFillParams* params = nullptr;
};

}  // namespace

TEST(PictureFill, NothingWithoutNameOrPath) {
    PictureFillFixture f;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(8, 8, 0x00010203);
    RECT r = {0, 0, 8, 8};
    EXPECT_EQ(S_OK, f.fill->Render(&r, buffer, nullptr, nullptr));
    for (DWORD p : Pixels(buffer)) ASSERT_EQ(0x00010203u, p);
    char path[MAX_PATH];
    EXPECT_EQ(S_FALSE, f.params->GetPicturePath(path));
}

TEST(PictureFill, TilesFromTheBoundsAndKeepsThePhaseInsideAClip) {
    TempFolder temp;
    std::string file = temp.File("tile.bmp");
    ASSERT_TRUE(WriteFileBytes(file, Bmp24(5, 3, Distinct)));
    PictureFillFixture f;
    f.params->SetPicturePath(file.c_str());
    FakeSite site;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(16, 10, 0);
    RECT bounds = {2, 1, 12, 7};  // twice the picture: four copies
    EXPECT_EQ(S_OK, f.fill->Render(&bounds, buffer, nullptr, site.Site()));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 16; ++x) {
            bool in = x >= 2 && x < 12 && y >= 1 && y < 7;
            DWORD want = in ? 0xFF000000 | Distinct((x - 2) % 5, (y - 1) % 3) : 0;
            ASSERT_EQ(want, Pixel(buffer, x, y)) << x << "," << y;
        }
    // A clip inside the bounds, one reaching before them and one past them
    // on every side: the tiles cover the whole clip in the bounds' phase,
    // as much as a solid fill would paint.
    auto mod = [](int a, int m) { return ((a % m) + m) % m; };
    for (RECT clip : {RECT{6, 3, 11, 6}, RECT{0, 0, 5, 4}, RECT{-3, -2, 30, 20}}) {
        CComPtr<IPixelBuffer> part = MakeBuffer(16, 10, 0);
        EXPECT_EQ(S_OK, f.fill->Render(&bounds, part, &clip, site.Site()));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 16; ++x) {
                bool in = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                DWORD want = 0xFF000000 | Distinct(mod(x - 2, 5), mod(y - 1, 3));
                ASSERT_EQ(in ? want : 0u, Pixel(part, x, y)) << x << "," << y;
            }
    }
}

TEST(PictureFill, CentreShowsTheMiddleOfALargerPicture) {
    TempFolder temp;
    std::string file = temp.File("big.bmp");
    ASSERT_TRUE(WriteFileBytes(file, Bmp24(9, 7, Distinct)));
    PictureFillFixture f;
    f.params->SetPicturePath(file.c_str());
    f.params->SetMode(PICFILL_CENTRE);
    FakeSite site;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(10, 10, 0);
    RECT bounds = {1, 1, 6, 4};  // 5 x 3: source columns 2..6, rows 2..4
    f.fill->Render(&bounds, buffer, nullptr, site.Site());
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x >= 1 && x < 6 && y >= 1 && y < 4;
            ASSERT_EQ(in ? 0xFF000000 | Distinct(x - 1 + 2, y - 1 + 2) : 0u, Pixel(buffer, x, y));
        }
    // A smaller picture sits in the middle of the bounds.
    CComPtr<IPixelBuffer> wide = MakeBuffer(20, 12, 0);
    RECT large = {0, 0, 20, 12};
    f.fill->Render(&large, wide, nullptr, site.Site());
    EXPECT_EQ(0u, Pixel(wide, 4, 2));
    EXPECT_EQ(0xFF000000 | Distinct(0, 0), Pixel(wide, (20 - 9) / 2, (12 - 7) / 2));
    EXPECT_EQ(0xFF000000 | Distinct(8, 6), Pixel(wide, (20 - 9) / 2 + 8, (12 - 7) / 2 + 6));
}

TEST(PictureFill, EmbeddedMediaAndANewNameReleasesThePicture) {
    FakeSite site;
    site.media.embedded["one"] = Bmp24(2, 2, [](int, int) { return 0x112233u; });
    site.media.embedded["two"] = Bmp24(2, 2, [](int, int) { return 0x445566u; });
    PictureFillFixture f;
    EXPECT_EQ(S_OK, f.params->SetPictureName("one"));
    CComPtr<IPixelBuffer> buffer = MakeBuffer(4, 4, 0);
    RECT r = {0, 0, 4, 4};
    EXPECT_EQ(S_OK, f.fill->Render(&r, buffer, nullptr, site.Site()));
    EXPECT_EQ(0xFF112233u, Pixel(buffer, 3, 3));
    f.fill->Render(&r, buffer, nullptr, site.Site());
    EXPECT_EQ(1, site.media.reads);  // kept between drawings
    f.params->SetPictureName("one");
    f.fill->Render(&r, buffer, nullptr, site.Site());
    EXPECT_EQ(1, site.media.reads);  // the same name keeps it
    f.params->SetPictureName("two");
    f.fill->Render(&r, buffer, nullptr, site.Site());
    EXPECT_EQ(2, site.media.reads);
    EXPECT_EQ(0xFF445566u, Pixel(buffer, 0, 0));

    // A name the manager does not know fails and is logged.
    LogCapture log;
    f.params->SetPictureName("missing");
    EXPECT_TRUE(FAILED(f.fill->Render(&r, buffer, nullptr, site.Site())));
    EXPECT_LOGGED(log, "LoadImage failed: missing");
}

TEST(PictureFill, MediaFileByName) {
    TempFolder temp;
    std::string file = temp.File("m.bmp");
    ASSERT_TRUE(WriteFileBytes(file, Bmp24(1, 1, [](int, int) { return 0xABCDEFu; })));
    FakeSite site;
    site.media.files["pic"] = file;
    PictureFillFixture f;
    f.params->SetPictureName("pic");
    f.params->SetMode(PICFILL_STRETCH);
    CComPtr<IPixelBuffer> buffer = MakeBuffer(3, 3, 0);
    RECT r = {0, 0, 3, 3};
    EXPECT_EQ(S_OK, f.fill->Render(&r, buffer, nullptr, site.Site()));
    for (DWORD p : Pixels(buffer)) EXPECT_EQ(0xABCDEFu, p & 0xFFFFFF);
}

TEST(PictureFill, AlphaOfTheDrawing) {
    TempFolder temp;
    std::string file = temp.File("a.bmp");
    ASSERT_TRUE(WriteFileBytes(file, Bmp24(2, 2, Distinct)));
    PictureFillFixture f;
    f.params->SetPicturePath(file.c_str());
    FakeSite site;
    CComPtr<IPixelBuffer> buffer = MakeBuffer(4, 4, 0x00777777);
    RECT r = {0, 0, 4, 4};
    f.fill->SetAlpha(0);
    EXPECT_EQ(S_OK, f.fill->Render(&r, buffer, nullptr, site.Site()));
    for (DWORD p : Pixels(buffer)) ASSERT_EQ(0x00777777u, p);
}

TEST(PictureFill, NamesStoredFormAndInterpolation) {
    PictureFillFixture f;
    EXPECT_EQ(E_INVALIDARG, f.params->SetPictureName(std::string(32, 'n').c_str()));
    EXPECT_EQ(S_OK, f.params->SetPictureName(std::string(31, 'n').c_str()));
    f.params->SetPictureName("\xCD\xBC\xC6\xAC");  // "图片"
    f.params->SetMode(1);
    std::string bytes = SavedBytes(f.fill.p);
    // Inner form: mode, m = 5, 10 bytes of UTF-16 ("图片" and the NUL, padded).
    EXPECT_EQ(U32(4 + 4 + 10), bytes.substr(20, 4));
    EXPECT_EQ(U32(1) + U32(5), bytes.substr(24, 8));
    EXPECT_EQ(std::string("\xFE\x56\x47\x72\0\0\0\0\0\0", 10), bytes.substr(32));
    PictureFillFixture back;
    EXPECT_EQ(S_OK, LoadFrom(back.fill.p, bytes));
    // Loading replaces the inner fill: its parameters are asked for anew.
    void* params = nullptr;
    back.fill->GetFillParams(&params);
    back.params = static_cast<IPictureFillParams*>(params);
    char name[260];
    back.params->GetPictureName(name);
    EXPECT_STREQ("\xCD\xBC\xC6\xAC", name);

    // ReportMedia hands the name on with kind 2.
    struct Collector : IMediaCollector {
        STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
        STDMETHOD_(ULONG, AddRef)() override { return 2; }
        STDMETHOD_(ULONG, Release)() override { return 1; }
        STDMETHOD(AddMedia)(int k, const char* n) override {
            kind = k;
            got = n;
            return S_OK;
        }
        int kind = 0;
        std::string got;
    } collector;
    back.fill->ReportMedia(&collector);
    EXPECT_EQ(2, collector.kind);
    EXPECT_EQ("\xCD\xBC\xC6\xAC", collector.got);

    // Stored names over 31 bytes are refused; the object stays.
    for (DWORD m : {33u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::string bad = bytes;
        PutU32(bad, 28, m);
        PictureFillFixture keep;
        keep.params->SetPictureName("kept");
        EXPECT_TRUE(FAILED(LoadFrom(keep.fill.p, bad)));
        keep.params->GetPictureName(name);
        EXPECT_STREQ("kept", name);
    }

    // Pictures do not interpolate.
    CComPtr<FillObject> solid, out;
    solid.Attach(CreateFillObject());
    out.Attach(CreateFillObject());
    EXPECT_EQ(E_INVALIDARG, out->InterpolateFill(f.fill, solid, 50));
    EXPECT_EQ(E_NOTIMPL, out->InterpolateFill(f.fill, back.fill, 50));
}

namespace {

CComPtr<FillObject> Texture(int type) {
    CComPtr<FillObject> fill;
    fill.Attach(CreateFillObject());
    fill->SetFillType(FILL_TEXTURE);
    void* p = nullptr;
    fill->GetFillParams(&p);
    static_cast<ITextureFillParams*>(p)->SetTextureType(type);
    return fill;
}

// The field written out plainly: midpoints as (a + b) / 2, the random term
// by the remainder operator, every quadrant subdivided but the copies a
// rectangle of no width or height makes of its own quadrants.
std::vector<BYTE> PlainField(int w, int h) {
    std::vector<BYTE> f((size_t)w * h, 0);
    unsigned seed = 1;
    auto rnd = [&]() {
        seed = seed * 214013u + 2531011u;
        return (int)((seed >> 16) & 0x7FFF);
    };
    auto at = [&](int x, int y) -> BYTE& { return f[(size_t)y * w + x]; };
    auto edge = [&](int x, int y, int a, int b, int span) {
        if (at(x, y))
            return;
        int d = (short)span, v = (a + b + 1) / 2 + (d == 0 ? 1 : rnd() % (2 * d) - d);
        at(x, y) = (BYTE)std::max(1, std::min(255, v));
    };
    at(0, 0) = (BYTE)(rnd() % 254 + 1);
    at(w - 1, 0) = (BYTE)(rnd() % 254 + 1);
    at(w - 1, h - 1) = (BYTE)(rnd() % 254 + 1);
    at(0, h - 1) = (BYTE)(rnd() % 254 + 1);
    std::function<void(int, int, int, int)> sub = [&](int x0, int y0, int x1, int y1) {
        while (x1 - x0 > 1 || y1 - y0 > 1) {
            int mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
            edge(mx, y0, at(x0, y0), at(x1, y0), x1 - x0);
            edge(x1, my, at(x1, y0), at(x1, y1), y1 - y0);
            edge(mx, y1, at(x0, y1), at(x1, y1), x1 - x0);
            edge(x0, my, at(x0, y0), at(x0, y1), y1 - y0);
            at(mx, my) = (BYTE)((at(x0, y0) + at(x1, y0) + at(x1, y1) + at(x0, y1) + 2) / 4);
            sub(x0, y0, mx, my);
            if (x0 != x1)
                sub(mx, y0, x1, my);
            if (y0 != y1)
                sub(mx, my, x1, y1);
            if (x0 == x1 || y0 == y1)
                return;
            x1 = mx;
            y0 = my;
        }
    };
    sub(0, 0, w - 1, h - 1);
    return f;
}

}  // namespace

TEST(TextureFill, FieldEqualsThePlainConstruction) {
    unsigned seed = 17;
    auto rnd = [&]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    std::vector<std::pair<int, int>> sizes;
    for (int i = 0; i < 150; ++i) sizes.push_back({1 + (int)(rnd() % 90), 1 + (int)(rnd() % 90)});
    // Spans past 16 bits: negative, zero (65536) and again positive terms.
    for (auto wide : {std::make_pair(40000, 3), std::make_pair(3, 40000), std::make_pair(65537, 2),
                      std::make_pair(1, 140000)})
        sizes.push_back(wide);
    for (auto size : sizes) {
        std::vector<BYTE> field((size_t)size.first * size.second);
        GenerateTextureField(field.data(), size.first, size.second);
        ASSERT_TRUE(field == PlainField(size.first, size.second))
            << size.first << " x " << size.second;
    }
}

// Bounds of 2^31 - 1 pixels along a side: the field is made for the part of
// the bounds inside the buffer, which it paints like a field of that size.
TEST(TextureFill, HugeBoundsBuildTheFieldForThePartInsideTheBuffer) {
    const int kMax = 0x7FFFFFFF;
    PeakMemoryGrowth memory;
    struct Shape {
        RECT bounds;
        int w, h;       // of the part inside the 40 x 30 buffer
        int left, top;  // where that part starts
    } shapes[] = {{{0, 0, 1, kMax}, 1, 30, 0, 0},
                  {{0, 0, kMax, 1}, 40, 1, 0, 0},
                  {{5, -1073741823, 6, 1073741824}, 1, 30, 5, 0},
                  {{-kMax, 4, kMax, 9}, 40, 5, 0, 4}};
    for (const Shape& shape : shapes) {
        CComPtr<FillObject> fill = Texture(1);
        CComPtr<IPixelBuffer> buffer = MakeBuffer(40, 30, 0x0BADF00D);
        RECT clip = {0, 0, 40, 30};
        ASSERT_EQ(S_OK, fill->Render(&shape.bounds, buffer, &clip, nullptr));
        DWORD palette[256];
        BuildTexturePalette(1, 255, palette);
        std::vector<BYTE> field = PlainField(shape.w, shape.h);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                int fx = x - shape.left, fy = y - shape.top;
                bool in = fx >= 0 && fx < shape.w && fy >= 0 && fy < shape.h;
                ASSERT_EQ(in ? palette[field[(size_t)fy * shape.w + fx]] : 0x0BADF00Du,
                          Pixel(buffer, x, y))
                    << x << "," << y;
            }
    }
    EXPECT_LT(memory.Bytes(), 64u << 20);
}

// Every fill kind over bounds of 2^31 - 1 pixels along one side, opaque and
// half transparent, into a buffer and a device context: each draws within
// its clip, answers, and takes little memory.
TEST(FillKinds, HugeBoundsDrawTheClipWithLittleMemory) {
    const int kMax = 0x7FFFFFFF;
    TempFolder temp;
    std::string file = temp.File("tile.bmp");
    ASSERT_TRUE(WriteFileBytes(file, Bmp24(5, 3, Distinct)));
    FakeSite site;
    PeakMemoryGrowth memory;
    std::vector<std::function<CComPtr<FillObject>()>> kinds;
    kinds.push_back([] {
        CComPtr<FillObject> f;
        f.Attach(CreateFillObject());
        return f;
    });
    for (int type = 0; type < 7; ++type)
        kinds.push_back([type] {
            CComPtr<FillObject> f;
            f.Attach(CreateFillObject());
            f->SetFillType(FILL_GRADIENT);
            void* p = nullptr;
            f->GetFillParams(&p);
            auto* g = static_cast<IGradientFillParams*>(p);
            g->SetGradType(type);
            g->SetRepeat(3);
            g->SetColor1(RGB(200, 10, 10));
            g->SetColor2(RGB(10, 10, 200));
            return f;
        });
    for (int mode = 0; mode < 3; ++mode)
        kinds.push_back([mode, &file] {
            PictureFillFixture f;
            f.params->SetPicturePath(file.c_str());
            f.params->SetMode(mode);
            return f.fill;
        });
    const size_t stretched = kinds.size() - 1;
    for (int type : {0, 4}) kinds.push_back([type] { return Texture(type); });
    const RECT shapes[] = {{0, 0, 1, kMax},
                           {0, 0, kMax, 1},
                           {2, -1073741823, 3, 1073741824},
                           {-kMax, -kMax, kMax, kMax}};
    const RECT clip = {1, 1, 30, 20};
    for (size_t k = 0; k < kinds.size(); ++k)
        for (const RECT& bounds : shapes)
            for (BYTE alpha : {255, 128}) {
                CComPtr<FillObject> fill = kinds[k]();
                fill->SetAlpha(alpha);
                CComPtr<IPixelBuffer> buffer = MakeBuffer(40, 30, 0x0BADF00D);
                ASSERT_EQ(S_OK, fill->Render(&bounds, buffer, &clip, site.Site())) << k;
                for (int y = 0; y < 30; ++y)
                    for (int x = 0; x < 40; ++x) {
                        POINT p = {x, y};
                        // A stretched picture is blitted onto the whole
                        // bounds.
                        if (!PtInRect(&clip, p) && k != stretched) {
                            ASSERT_EQ(0x0BADF00Du, Pixel(buffer, x, y))
                                << k << " " << x << "," << y;
                        }
                    }
                // A device context: only its own surface is drawn.
                CComPtr<IPixelBuffer> surface = MakeBuffer(40, 30, 0);
                HDC dc = nullptr;
                ASSERT_EQ(S_OK, surface->GetDC(&dc));
                EXPECT_EQ(S_OK, fill->RenderToDC(dc, &bounds, nullptr, site.Site())) << k;
                surface->ReleaseDC(dc);
            }
    // The solid fill paints its colour over the whole clip.
    CComPtr<FillObject> solid = kinds[0]();
    CComPtr<IPixelBuffer> buffer = MakeBuffer(40, 30, 0);
    ASSERT_EQ(S_OK, solid->Render(&shapes[0], buffer, &clip, nullptr));
    EXPECT_EQ(0u, Pixel(buffer, 0, 1));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(buffer, 1, 1));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(buffer, 29, 19));
    EXPECT_LT(memory.Bytes(), 64u << 20);
}

TEST(TextureFill, SameTypeAndSizePaintTheSame) {
    for (int type = 0; type < 6; ++type) {
        CComPtr<FillObject> a = Texture(type), b = Texture(type);
        CComPtr<IPixelBuffer> pa = MakeBuffer(40, 30, 0), pb = MakeBuffer(40, 30, 0);
        RECT r = {3, 2, 37, 29};
        EXPECT_EQ(S_OK, a->Render(&r, pa, nullptr, nullptr));
        EXPECT_EQ(S_OK, b->Render(&r, pb, nullptr, nullptr));
        EXPECT_TRUE(Pixels(pa) == Pixels(pb)) << type;
        EXPECT_EQ(0u, Pixel(pa, 2, 2));
        // Not one colour.
        std::vector<DWORD> px = Pixels(pa);
        std::sort(px.begin(), px.end());
        EXPECT_GT(std::unique(px.begin(), px.end()) - px.begin(), 3) << type;
    }
}

TEST(TextureFill, KeepsTheAlphaOfTheDrawingThatBuiltIt) {
    CComPtr<FillObject> fill = Texture(2);
    CComPtr<IPixelBuffer> buffer = MakeBuffer(20, 20, 0);
    RECT r = {0, 0, 20, 20};
    fill->SetAlpha(128);
    fill->Render(&r, buffer, nullptr, nullptr);
    fill->SetAlpha(255);
    CComPtr<IPixelBuffer> again = MakeBuffer(20, 20, 0);
    fill->Render(&r, again, nullptr, nullptr);
    for (DWORD p : Pixels(again)) ASSERT_EQ(0x80u, p >> 24);
}

TEST(TextureFill, PalettesAndField) {
    DWORD pal[256];
    BuildTexturePalette(0, 0x40, pal);
    EXPECT_EQ(0x40FCFCFCu, pal[0]);  // blue 63, green = red = 63, times 4
    EXPECT_EQ(0x400000FCu, pal[127]);
    BuildTexturePalette(1, 255, pal);
    EXPECT_EQ(0xFF0000FFu, pal[0]);
    EXPECT_EQ(0xFFFEFEFFu, pal[128]);  // SinCent(9035) = 9998 -> 254
    BuildTexturePalette(2, 255, pal);
    EXPECT_EQ(0xFF0004FCu, pal[0]);
    EXPECT_EQ(0xFF0004FCu, pal[1]);  // k 1: q 63, p round(63/85) = 1
    BuildTexturePalette(3, 255, pal);
    EXPECT_EQ(0xFFFC5480u, pal[100]);
    EXPECT_EQ(0xFF000080u, pal[118]);
    EXPECT_EQ(0xFF000000u, pal[119]);
    BuildTexturePalette(9, 0x20, pal);
    EXPECT_EQ(0x200000FCu, pal[35]);  // blue band: round(1.8 * 35) = 63
    EXPECT_EQ(0x20FCFCFCu, pal[251]);
    for (int i = 252; i < 256; ++i) EXPECT_EQ(0x20000000u, pal[i]);

    // The first corner comes from the generator reseeded with 1.
    std::vector<BYTE> field(7 * 5);
    GenerateTextureField(field.data(), 7, 5);
    EXPECT_EQ(42, field[0]);
    for (BYTE b : field) EXPECT_NE(0, b);
    // Thin fields cost no more than their size.
    for (auto size :
         {std::make_pair(1, 200000), std::make_pair(200000, 1), std::make_pair(2, 100000)}) {
        std::vector<BYTE> thin((size_t)size.first * size.second);
        GenerateTextureField(thin.data(), size.first, size.second);
        for (BYTE b : thin) ASSERT_NE(0, b);
    }
}

TEST(TextureFill, TypeChangeAndInterpolation) {
    CComPtr<FillObject> fill = Texture(0);
    CComPtr<IPixelBuffer> a = MakeBuffer(10, 10, 0), b = MakeBuffer(10, 10, 0);
    RECT r = {0, 0, 10, 10};
    fill->Render(&r, a, nullptr, nullptr);
    void* p = nullptr;
    fill->GetFillParams(&p);
    static_cast<ITextureFillParams*>(p)->SetTextureType(3);
    fill->Render(&r, b, nullptr, nullptr);
    EXPECT_FALSE(Pixels(a) == Pixels(b));
    std::string bytes = SavedBytes(fill.p);
    EXPECT_EQ(U32(4) + U32(3), bytes.substr(20));
    LogCapture log;
    CComPtr<FillObject> out;
    out.Attach(CreateFillObject());
    EXPECT_EQ(E_NOTIMPL, out->InterpolateFill(fill, Texture(1), 50));
    EXPECT_LOGGED(log, "CTextureFill::InterpolateFill not support now");
}

TEST(PictureFill, CopiesKeepTheNameOrThePath) {
    PictureFillFixture byPath, byName;
    byPath.params->SetPicturePath("C:\\pictures\\sun.png");
    byPath.params->SetMode(2);
    byName.params->SetPictureName("sun");
    for (PictureFillFixture* from : {&byPath, &byName}) {
        PictureFillFixture to;
        to.params->SetPicturePath("C:\\old.png");
        ASSERT_EQ(S_OK, to.fill->CopyFrom(from->fill));
        char want[MAX_PATH] = "", got[MAX_PATH] = "";
        from->params->GetPicturePath(want);
        to.params->GetPicturePath(got);
        EXPECT_STREQ(want, got);
        from->params->GetPictureName(want);
        to.params->GetPictureName(got);
        EXPECT_STREQ(want, got);
    }
}
