// The codec list: extension matching, the joined extension list and the
// installed codec modules that come through the object creator.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "PictureTestUtil.h"
#include "bDib.h"
#include "bPicCodec.h"

using namespace pictest;

namespace {

const char kJoinedList[] = "dib;bmp;gif;jpg;jpeg;tif;tiff;tga;pic;grh;png;";

// An installed codec as a separate module would make it: its own class, only
// the PictureCodec interface. Decode hands out a 1x1 picture, or (when told
// to) claims success without one.
class CModuleCodec : public CComObjectRootBase, public PictureCodec {
public:
    BEGIN_COM_MAP(CModuleCodec)
    COM_INTERFACE_ENTRY(PictureCodec)
    END_COM_MAP()

    static bool s_succeedWithoutPicture;
    static LONG s_width, s_height;

    STDMETHOD_(LONG, GetHeight)() override { return s_height; }
    STDMETHOD_(LONG, GetWidth)() override { return s_width; }
    STDMETHOD_(int, GetAlphaFlag)() override { return 0; }
    STDMETHOD_(void, SetAlphaFlag)(int) override {}
    STDMETHOD_(int, GetExtensionListLength)() override { return 8; }
    STDMETHOD_(int, GetExtensionList)(char* buffer, int size) override {
        lstrcpynA(buffer, "xyz;abc", size);
        return size > 7 ? 0 : 1;
    }
    STDMETHOD_(int, MatchExtension)(const char* text) override {
        return lstrcmpiA(text, "xyz") == 0 || lstrcmpiA(text, "abc") == 0 ? 0 : 1;
    }
    STDMETHOD(ReadInfo)(const BYTE*, DWORD) override { return S_OK; }
    STDMETHOD(Decode)(const BYTE*, DWORD, HGLOBAL* dib) override {
        *dib = s_succeedWithoutPicture ? nullptr : DibCreate(1, 1, 32);
        return S_OK;
    }
    STDMETHOD_(void, DeleteThis)() override { delete this; }
    virtual ~CModuleCodec() {}
};
bool CModuleCodec::s_succeedWithoutPicture = false;
LONG CModuleCodec::s_width = 1;
LONG CModuleCodec::s_height = 1;

const CLSID kGoodModule = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID kBrokenModule = {0x11111111, 0x2222, 0x3333, {8, 7, 6, 5, 4, 3, 2, 1}};

// Two installed modules: the first cannot be created, the second can.
class FakeCreator : public ICodecModuleCreator {
public:
    int created = 0;
    int GetCodecModuleCount() override { return 2; }
    bool GetCodecModuleClassId(int index, CLSID* clsid) override {
        *clsid = index == 0 ? kBrokenModule : kGoodModule;
        return true;
    }
    HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** object) override {
        *object = nullptr;
        EXPECT_TRUE(IsEqualIID(iid, __uuidof(PictureCodec)));
        if (!IsEqualCLSID(clsid, kGoodModule))
            return REGDB_E_CLASSNOTREG;
        ++created;
        return ComCreateInstance<CModuleCodec>(iid, object);
    }
};

TEST(CodecList, FindCodecByExtension) {
    TestCodecSite site;
    struct Case {
        const char* text;
        HRESULT hr;
        int index;
    } cases[] = {
        {".JPEG", S_OK, 3},       {"jpeg", S_OK, 3},     {"JpG", S_OK, 3},
        {".bmp", S_OK, 1},        {"DIB", S_OK, 1},      {"gif", S_OK, 2},
        {".tif", S_OK, 4},        {"TIFF", S_OK, 4},     {"tga", S_OK, 5},
        {"pic", S_OK, 6},         {".grh", S_OK, 7},     {"png", S_OK, 8},
        {".mp3", S_FALSE, -1},    {"", S_FALSE, -1},     {".", S_FALSE, -1},
        {"..bmp", S_FALSE, -1},   {"bm", S_FALSE, -1},   {"bmpx", S_FALSE, -1},
        {"dib;bmp", S_FALSE, -1}, {"jpg ", S_FALSE, -1},
    };
    for (const Case& c : cases) {
        int index = -1;
        EXPECT_EQ(site.manager.FindCodec(c.text, &index), c.hr) << c.text;
        EXPECT_EQ(index, c.index) << c.text;  // untouched when not found
    }
    EXPECT_EQ(site.manager.FindCodec(nullptr, nullptr), E_POINTER);
}

TEST(CodecList, KnownExtensionsAreMatchedWithoutTheDot) {
    TestCodecSite site;
    PicBase* pic = nullptr;
    ASSERT_EQ(CreatePicBaseInterface(&pic, &site), S_OK);
    EXPECT_EQ(pic->IsKnownExtension("bmp"), S_OK);
    EXPECT_EQ(pic->IsKnownExtension("BmP"), S_OK);
    EXPECT_EQ(pic->IsKnownExtension(".bmp"), S_FALSE);
    EXPECT_EQ(pic->IsKnownExtension("mp3"), S_FALSE);
    int index = 0;
    EXPECT_EQ(pic->FindCodec(".JPEG", &index), S_OK);
    EXPECT_EQ(index, 3);
    pic->Release();
}

TEST(CodecList, JoinedExtensionListOfTheBuiltInCodecs) {
    LogCapture log;
    TestCodecSite site;
    // Building the list leaves no trace point ahead of the next message.
    LOG_MSG("list built");
    EXPECT_EQ(log.Text().find("bCodecList.cpp"), std::string::npos) << log.Text();
    EXPECT_EQ(site.manager.GetCount(), 8);
    ASSERT_EQ(strlen(kJoinedList), 46u);
    EXPECT_EQ(site.manager.GetExtensionListLength(), 54);
    char buffer[256];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(site.manager.GetExtensionList(buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, kJoinedList);
    // Exactly enough room.
    EXPECT_EQ(site.manager.GetExtensionList(buffer, 47), S_OK);
    EXPECT_STREQ(buffer, kJoinedList);
}

TEST(CodecList, ExtensionListIsCutToTheBuffer) {
    TestCodecSite site;
    struct Case {
        int size;
        const char* text;
    } cases[] = {{1, ""},
                 {2, "d"},
                 {8, "dib;bmp"},
                 {9, "dib;bmp;"},
                 {10, "dib;bmp;g"},
                 {13, "dib;bmp;gif;"},
                 {46, "dib;bmp;gif;jpg;jpeg;tif;tiff;tga;pic;grh;png"}};
    for (const Case& c : cases) {
        char buffer[64];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(site.manager.GetExtensionList(buffer, c.size), S_FALSE) << c.size;
        EXPECT_STREQ(buffer, c.text) << c.size;
        EXPECT_EQ(buffer[c.size], 'x') << c.size;  // nothing written past the buffer
    }
}

TEST(CodecList, CodecExtensionListAndMatch) {
    PictureCodec* codec = nullptr;
    ASSERT_EQ(CreateJpegCodec(&codec), S_OK);
    EXPECT_EQ(codec->GetExtensionListLength(), 9);
    char buffer[16];
    EXPECT_EQ(codec->GetExtensionList(buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "jpg;jpeg");
    EXPECT_EQ(codec->GetExtensionList(buffer, 5), 1);
    EXPECT_STREQ(buffer, "jpg;");
    EXPECT_EQ(codec->MatchExtension("JPEG"), 0);
    EXPECT_EQ(codec->MatchExtension("jpg;jpeg"), 1);
    EXPECT_EQ(codec->MatchExtension(""), 1);
    codec->Release();
}

TEST(CodecList, BuiltInCodecsAnswerOnlyTheCodecInterface) {
    TestCodecSite site;
    for (int i = 0; i < site.manager.GetCount(); ++i) {
        PictureCodec* codec = site.manager.GetCodec(i);
        void* other = (void*)1;
        EXPECT_EQ(codec->QueryInterface(__uuidof(PicBase), &other), E_FAIL) << i;
        EXPECT_EQ(other, nullptr) << i;
        PictureCodec* same = nullptr;
        EXPECT_EQ(codec->QueryInterface(__uuidof(PictureCodec), (void**)&same), S_OK) << i;
        EXPECT_EQ(same, codec) << i;
        IUnknown* unknown = nullptr;
        EXPECT_EQ(codec->QueryInterface(IID_IUnknown, (void**)&unknown), S_OK) << i;
        if (same)
            same->Release();
        if (unknown)
            unknown->Release();
    }
}

TEST(CodecList, DoubleByteCharactersAreComparedAsTheyStand) {
    // Letters fold; a double-byte character does not, even when its trail
    // byte looks like a letter.
    EXPECT_TRUE(MbTextEqualNoCase("Png", 3, "pNG", 3));
    EXPECT_FALSE(MbTextEqualNoCase("png", 3, "pn", 2));
    EXPECT_TRUE(MbTextEqualNoCase("\xCD\xBC", 2, "\xCD\xBC", 2));
    if (GetACP() == 936) {
        EXPECT_FALSE(MbTextEqualNoCase("\x81\x61", 2, "\x81\x41", 2));
        EXPECT_TRUE(MbTextEqualNoCase("a\x81\x61", 3, "A\x81\x61", 3));
    }
}

TEST(CodecList, InstalledModulesFollowTheBuiltInCodecs) {
    FakeCreator creator;
    TestCodecSite site(&creator);
    EXPECT_EQ(creator.created, 1);
    ASSERT_EQ(site.manager.GetCount(), 9);  // the broken module is skipped
    int index = 0;
    EXPECT_EQ(site.manager.FindCodec(".ABC", &index), S_OK);
    EXPECT_EQ(index, 9);
    EXPECT_EQ(site.manager.GetExtensionListLength(), 54 + 9);
    char buffer[128];
    EXPECT_EQ(site.manager.GetExtensionList(buffer, sizeof(buffer)), S_OK);
    EXPECT_EQ(std::string(buffer), std::string(kJoinedList) + "xyz;abc;");

    // Decoding through an installed codec.
    PicBase* pic = nullptr;
    ASSERT_EQ(CreatePicBaseInterface(&pic, &site), S_OK);
    EXPECT_EQ(pic->DecodeMemory((const BYTE*)"x", 1, 9), S_OK);
    EXPECT_TRUE(pic->GetDIB() != nullptr);
    // A codec that claims success without a picture has failed.
    CModuleCodec::s_succeedWithoutPicture = true;
    EXPECT_EQ(pic->DecodeMemory((const BYTE*)"x", 1, 9), E_FAIL);
    EXPECT_EQ(pic->GetDIB(), nullptr);
    CModuleCodec::s_succeedWithoutPicture = false;
    // Sizes are counted by absolute value.
    CModuleCodec::s_width = -4097;
    CModuleCodec::s_height = 4096;
    EXPECT_EQ(pic->DecodeMemory((const BYTE*)"x", 1, 9), E_FAIL);
    CModuleCodec::s_width = 1;
    CModuleCodec::s_height = 1;
    pic->Release();

    site.manager.Clear();
    EXPECT_EQ(site.manager.GetCount(), 0);
    EXPECT_EQ(site.manager.FindCodec("bmp", &index), S_FALSE);
}

}  // namespace
