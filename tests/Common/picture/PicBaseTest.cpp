// The picture object: loading by extension from files, the pixel limit and
// the ownership of the decoded DIB.
#include <gtest/gtest.h>

#include <string>

#include "PictureTestUtil.h"
#include "bDib.h"

using namespace pictest;

namespace {

// A 24-bit BMP file whose pixels are 0x00RRGGBB words, top row first.
Bytes Bmp24(int width, int height, const std::vector<uint32_t>& pixels) {
    DibSpec s;
    s.width = width;
    s.height = height;
    const int stride = ((width * 24 + 31) / 32) * 4;
    s.rows.assign((size_t)stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t c = pixels[(size_t)y * width + x];
            uint8_t* p = &s.rows[(size_t)(height - 1 - y) * stride + 3 * x];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    return BmpFile(MakeDib(s), 54);
}

// A 1-bit BMP of the given size, its rows all index 0 (or left out).
Bytes Bmp1(int width, int height, bool rows = true) {
    DibSpec s;
    s.width = width;
    s.height = height;
    s.bits = 1;
    s.palette = {0x000000, 0xFFFFFF};
    if (rows)
        s.rows.assign((size_t)((width + 31) / 32) * 4 * (height < 0 ? -height : height), 0);
    return BmpFile(MakeDib(s), 62);
}

class PicBaseTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CreatePicBaseInterface(&m_pic, &m_site), S_OK); }
    void TearDown() override {
        if (m_pic)
            m_pic->Release();
    }
    std::string Write(const char* name, const Bytes& bytes) {
        std::string path = m_folder.File(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    TestCodecSite m_site;
    PicBase* m_pic = nullptr;
    // A file of 4 GB (sparse): too large to map whole.
    std::string Huge(const char* name) {
        std::string path = m_folder.File(name);
        EXPECT_TRUE(MakeFileOfSize(path, 0x100000000ULL));
        return path;
    }

    TempFolder m_folder;
};

TEST_F(PicBaseTest, StartsEmptyAndAnswersOnlyItsInterface) {
    EXPECT_EQ(m_pic->GetWidth(), 0);
    EXPECT_EQ(m_pic->GetHeight(), 0);
    EXPECT_EQ(m_pic->GetDIB(), nullptr);
    EXPECT_EQ(m_pic->GetAlphaFlag(), 0);
    EXPECT_STREQ(m_pic->m_szFileName, "");
    HGLOBAL dib = (HGLOBAL)1;
    EXPECT_EQ(m_pic->DetachDIB(&dib), E_FAIL);
    EXPECT_EQ(dib, nullptr);
    void* other = (void*)1;
    // Identifiers it does not offer are answered with E_FAIL.
    EXPECT_EQ(m_pic->QueryInterface(__uuidof(PictureCodec), &other), E_FAIL);
    EXPECT_EQ(other, nullptr);
    other = (void*)1;
    EXPECT_EQ(m_pic->QueryInterface(IID_IStream, &other), E_FAIL);
    EXPECT_EQ(other, nullptr);
    PicBase* again = nullptr;
    EXPECT_EQ(m_pic->QueryInterface(__uuidof(PicBase), (void**)&again), S_OK);
    EXPECT_EQ(again, m_pic);
    again->Release();
    IUnknown* unknown = nullptr;
    EXPECT_EQ(m_pic->QueryInterface(IID_IUnknown, (void**)&unknown), S_OK);
    unknown->Release();
    EXPECT_EQ(m_pic->GetExtensionListLength(), 54);
}

TEST_F(PicBaseTest, LoadsAFileByItsExtensionAndHandsTheDibOver) {
    std::string path = Write("Picture.BMP", Bmp24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456}));
    ASSERT_EQ(m_pic->LoadFile(path.c_str()), S_OK);
    EXPECT_STREQ(m_pic->m_szFileName, path.c_str());
    EXPECT_EQ(m_pic->GetWidth(), 2);
    EXPECT_EQ(m_pic->GetHeight(), 2);
    EXPECT_EQ(m_pic->GetAlphaFlag(), 0);
    HGLOBAL held = m_pic->GetDIB();
    ASSERT_TRUE(held);
    HGLOBAL dib = nullptr;
    ASSERT_EQ(m_pic->DetachDIB(&dib), S_OK);
    EXPECT_EQ(dib, held);
    Dib32 out;
    ASSERT_TRUE(picfix::ReadDib32(dib, &out));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x123456}));
    GlobalFree(dib);
    // Detached: the picture is empty again.
    EXPECT_EQ(m_pic->GetWidth(), 0);
    EXPECT_EQ(m_pic->GetHeight(), 0);
    EXPECT_EQ(m_pic->DetachDIB(&dib), E_FAIL);
}

TEST_F(PicBaseTest, EachDecodeReplacesThePicture) {
    ASSERT_EQ(m_pic->LoadFile(Write("a.bmp", Bmp24(1, 1, {1})).c_str()), S_OK);
    ASSERT_EQ(m_pic->LoadFile(Write("b.bmp", Bmp24(3, 2, std::vector<uint32_t>(6, 2))).c_str()),
              S_OK);
    EXPECT_EQ(m_pic->GetWidth(), 3);
    Dib32 out;
    ASSERT_TRUE(picfix::ReadDib32(m_pic->GetDIB(), &out));
    EXPECT_EQ(out.pixels, std::vector<uint32_t>(6, 2));
    // A failed decode leaves nothing held.
    Bytes broken = Bmp24(3, 2, std::vector<uint32_t>(6, 2));
    broken.resize(broken.size() - 1);
    EXPECT_EQ(m_pic->DecodeMemory(broken.data(), (DWORD)broken.size(), kBmp), E_FAIL);
    EXPECT_EQ(m_pic->GetDIB(), nullptr);
    EXPECT_EQ(m_pic->GetWidth(), 0);
}

TEST_F(PicBaseTest, UnknownExtensionIsReportedAndNothingDecoded) {
    LogCapture log;
    std::string path = Write("song.mp3", Bmp24(1, 1, {1}));
    EXPECT_EQ(m_pic->LoadFile(path.c_str()), S_FALSE);
    HGLOBAL dib = nullptr;
    EXPECT_EQ(m_pic->DetachDIB(&dib), E_FAIL);
    EXPECT_LOGGED(log, "Cannot load pic: " + path + " -- unknown file type");
    // The message's own source line is the only trace point of the call.
    std::string text = log.Text();
    size_t lines = 0;
    for (size_t at = text.find("bPicBase.cpp ("); at != std::string::npos;
         at = text.find("bPicBase.cpp (", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << text;
    // No extension at all, and a dot in a folder name only.
    EXPECT_EQ(m_pic->LoadFile(Write("noext", Bmp24(1, 1, {1})).c_str()), S_FALSE);
    EXPECT_EQ(m_pic->LoadFile(m_folder.File("dir.bmp\\file").c_str()), S_FALSE);
}

TEST_F(PicBaseTest, FilesThatCannotBeReadFail) {
    struct Case {
        const char* name;
        std::string path;
    } cases[] = {
        {"grh placeholder", Write("a.grh", Bmp24(1, 1, {1}))},
        {"missing file", m_folder.File("missing.bmp")},
        {"empty file", Write("empty.bmp", Bytes())},
        {"path too long", m_folder.File(std::string(300, 'a') + ".bmp")},
        {"4 GB file", Huge("huge.bmp")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_pic->LoadFile(c.path.c_str()), E_FAIL) << c.name;
        EXPECT_EQ(m_pic->GetDIB(), nullptr) << c.name;
    }
    EXPECT_EQ(m_pic->LoadFile(nullptr), E_POINTER);
}

TEST_F(PicBaseTest, PixelLimitCountsPixelsWhateverTheShape) {
    struct Case {
        int width, height;
        HRESULT hr;
    } cases[] = {
        {4096, 4096, S_OK},    {8192, 2048, S_OK},
        {4097, 4096, E_FAIL},  {4096, -4097, E_FAIL},  // top-down: counted by its absolute height
        {1, 16777217, E_FAIL}, {65535, 65535, E_FAIL},
    };
    for (const Case& c : cases) {
        LogCapture log;
        // Refused pictures need only their header.
        Bytes bmp = Bmp1(c.width, c.height, c.hr == S_OK);
        HRESULT hr = m_pic->DecodeMemory(bmp.data(), (DWORD)bmp.size(), kBmp);
        EXPECT_EQ(hr, c.hr) << c.width << "x" << c.height;
        if (c.hr == S_OK) {
            EXPECT_EQ(m_pic->GetWidth(), c.width);
            EXPECT_EQ(m_pic->GetHeight(), c.height);
            const BITMAPINFOHEADER* bih =
                static_cast<const BITMAPINFOHEADER*>(GlobalLock(m_pic->GetDIB()));
            EXPECT_EQ(bih->biHeight, -c.height);
            GlobalUnlock(m_pic->GetDIB());
        } else {
            EXPECT_EQ(m_pic->GetDIB(), nullptr);
            EXPECT_LOGGED(log, "Picture's pixels is exceed 4096*4096,do not display it");
        }
    }
}

TEST_F(PicBaseTest, TopDownPictureReportsItsHeightAsASize) {
    Bytes bmp = Bmp1(3, -5);
    ASSERT_EQ(m_pic->DecodeMemory(bmp.data(), (DWORD)bmp.size(), kBmp), S_OK);
    EXPECT_EQ(m_pic->GetHeight(), 5);
}

TEST_F(PicBaseTest, CodecIndexOutsideTheListIsRefused) {
    Bytes bmp = Bmp24(1, 1, {1});
    for (int index : {0, -1, 9, 1000})
        EXPECT_EQ(m_pic->DecodeMemory(bmp.data(), (DWORD)bmp.size(), index), E_INVALIDARG) << index;
}

TEST(PicBaseSite, WithoutACodecListNothingWorks) {
    struct NoList : IPictureCodecSite {
        STDMETHOD(GetCodecManager)(PictureCodecManager** out) override {
            *out = nullptr;
            return E_FAIL;
        }
    } site;
    PicBase* pic = nullptr;
    ASSERT_EQ(CreatePicBaseInterface(&pic, &site), S_OK);
    int index = 0;
    EXPECT_EQ(pic->FindCodec("bmp", &index), E_FAIL);
    EXPECT_EQ(pic->IsKnownExtension("bmp"), E_FAIL);
    EXPECT_EQ(pic->GetExtensionListLength(), 0);
    Bytes bmp = Bmp24(1, 1, {1});
    EXPECT_EQ(pic->DecodeMemory(bmp.data(), (DWORD)bmp.size(), 1), E_FAIL);
    pic->Release();
    EXPECT_EQ(CreatePicBaseInterface(nullptr, &site), E_POINTER);
}

}  // namespace
