#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "ServiceFakes.h"
#include "TestFiles.h"
#include "aMediaData.h"

namespace {

// A media holder that records what reaches its take-data step.
class Holder : public MediaDataHolder {
public:
    explicit Holder(IPlayerSite* site) : MediaDataHolder(MEDIA_KIND_PICTURE), m_site(site) {}
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD_(IPlayerSite*, GetSite)() override { return m_site; }
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override {
        taken.push_back({std::string(static_cast<const char*>(bytes), count), name});
        return answer;
    }
    struct Take {
        std::string bytes;
        std::string name;
    };
    std::vector<Take> taken;
    HRESULT answer = S_OK;

private:
    IPlayerSite* m_site;
};

class MediaDataTest : public ::testing::Test {
protected:
    MediaDataTest() : holder(&site) { site.media = static_cast<IMediaManager*>(&media); }
    ServiceTestSite site;
    FakeMediaManager media;
    Holder holder;
    TempFolder folder;
};

}  // namespace

TEST_F(MediaDataTest, SameNameIgnoringCaseLoadsNothing) {
    media.embedded["PHOTO"] = "abc";
    media.embedded["Other"] = "xyz";
    EXPECT_EQ(S_OK, holder.SetName("PHOTO"));
    ASSERT_EQ(1u, holder.taken.size());
    media.calls.clear();
    EXPECT_EQ(S_OK, holder.SetName("Photo"));
    EXPECT_TRUE(media.calls.empty());
    EXPECT_EQ(1u, holder.taken.size());
    EXPECT_STREQ("PHOTO", holder.MediaName());
    // SetMedia always reloads.
    EXPECT_EQ(S_OK, holder.SetMedia(TRUE, "photo", nullptr, 0));
    EXPECT_EQ(2u, holder.taken.size());
    EXPECT_STREQ("PHOTO", holder.MediaName());
}

TEST_F(MediaDataTest, NamesAreCutAndCopiedWithTheirNul) {
    std::string forty(40, 'n');
    forty[0] = 'A';
    holder.SetName(forty.c_str());  // unknown medium: the name stays
    EXPECT_EQ(std::string(forty, 0, 31), holder.MediaName());
    char small[8];
    memset(small, 'z', sizeof(small));
    EXPECT_EQ(S_OK, holder.GetMediaName(small, sizeof(small)));
    EXPECT_EQ(std::string("Annnnnn"), small);
    Holder empty(&site);
    char one[4] = "zz";
    EXPECT_EQ(S_FALSE, empty.GetMediaName(one, sizeof(one)));
    EXPECT_EQ(0, one[0]);
    LONG kind = 0;
    EXPECT_EQ(S_OK, holder.GetMediaType(&kind));
    EXPECT_EQ(MEDIA_KIND_PICTURE, kind);
}

TEST_F(MediaDataTest, CutKeepsDoubleByteCharactersWhole) {
    if (GetACP() != 936)
        GTEST_SKIP() << "needs code page 936";
    // 30 single bytes, then a double-byte character across byte 31.
    std::string name(30, 'a');
    name += "\xD6\xD0";
    holder.SetName(name.c_str());
    EXPECT_EQ(std::string(30, 'a'), holder.MediaName());
}

TEST_F(MediaDataTest, EmbeddedMedia) {
    media.embedded["clip"] = std::string("\x01\x00\x02", 3);
    EXPECT_EQ(S_OK, holder.LoadMediaData("clip"));
    ASSERT_EQ(1u, holder.taken.size());
    EXPECT_EQ(std::string("\x01\x00\x02", 3), holder.taken[0].bytes);
    EXPECT_EQ("clip", holder.taken[0].name);
    EXPECT_EQ((std::vector<std::string>{"external clip", "size clip", "read clip"}), media.calls);

    // The take-data step's answer comes back.
    holder.answer = E_UNEXPECTED;
    EXPECT_EQ(E_UNEXPECTED, holder.LoadMediaData("clip"));

    // An empty item ends without taking anything.
    media.embedded["none"] = "";
    holder.taken.clear();
    EXPECT_EQ(S_OK, holder.LoadMediaData("none"));
    EXPECT_TRUE(holder.taken.empty());

    // An unknown name: the manager's failure.
    EXPECT_EQ(E_FAIL, holder.LoadMediaData("missing"));
    EXPECT_TRUE(holder.taken.empty());
}

TEST_F(MediaDataTest, ExternalFiles) {
    std::string path = folder.Path() + "\\pic.bin";
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>{'P', 'N', 'G', 0, 9}));
    media.files["pic"] = path;
    EXPECT_EQ(S_OK, holder.LoadMediaData("pic"));
    ASSERT_EQ(1u, holder.taken.size());
    EXPECT_EQ(std::string("PNG\0\x09", 5), holder.taken[0].bytes);
    EXPECT_EQ("path pic 2", media.calls[1]);

    std::string empty = folder.Path() + "\\empty.bin";
    ASSERT_TRUE(WriteFileBytes(empty, std::vector<uint8_t>{}));
    media.files["empty"] = empty;
    EXPECT_EQ(E_FAIL, holder.LoadMediaData("empty"));
    media.files["gone"] = folder.Path() + "\\gone.bin";
    EXPECT_EQ(E_FAIL, holder.LoadMediaData("gone"));
    EXPECT_EQ(1u, holder.taken.size());
}

TEST_F(MediaDataTest, SetMediaWithBytesSkipsTheManager) {
    const char bytes[] = "raw";
    EXPECT_EQ(S_OK, holder.SetMedia(FALSE, "given", bytes, 3));
    EXPECT_TRUE(media.calls.empty());
    ASSERT_EQ(1u, holder.taken.size());
    EXPECT_EQ("raw", holder.taken[0].bytes);
    EXPECT_STREQ("given", holder.MediaName());
}

TEST_F(MediaDataTest, WithoutSiteOrManager) {
    Holder lone(nullptr);
    EXPECT_EQ(E_FAIL, lone.LoadMediaData("x"));
    site.media = nullptr;
    EXPECT_EQ(E_FAIL, holder.LoadMediaData("x"));
}
