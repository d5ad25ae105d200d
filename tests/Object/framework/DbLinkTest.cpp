#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "TestFiles.h"
#include "adblink.h"

namespace {

struct Bstr {
    explicit Bstr(const wchar_t* s) : b(s ? SysAllocString(s) : nullptr) {}
    ~Bstr() { SysFreeString(b); }
    operator BSTR() const { return b; }
    BSTR b;
};

class Link : public DbLinkAbility {
public:
    explicit Link(IPlayerSite* site) : m_site(site) {}
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(IPlayerSite*, GetPlaySiteForLink)() override { return m_site; }
    STDMETHOD_(int, AcceptsType)(const VARIANT* v) override {
        accepted.push_back(v->vt);
        return accepts;
    }
    STDMETHOD(ApplyData)(BOOL media, const char* text, const void* extra, int type) override {
        applied.push_back({media, text, extra, type});
        return S_OK;
    }
    struct Apply {
        BOOL media;
        std::string text;
        const void* extra;
        int type;
    };
    std::vector<Apply> applied;
    std::vector<VARTYPE> accepted;
    int accepts = 1;
    std::string name = "Score1";

protected:
    void LinkObjectName(char* out) override { lstrcpynA(out, name.c_str(), 32); }

private:
    IPlayerSite* m_site;
};

class DbLinkTest : public ::testing::Test {
protected:
    DbLinkTest() : link(&site) {
        site.database = &core;
        core.fields["Scores.Name"].bytes = FakeDBCore::Block(1, "Ann");
    }
    void Bind() {
        Bstr table(L"Scores");
        Bstr field(L"Name");
        link.BindToDatabase(table, field, 0);
        link.applied.clear();
        core.asked.clear();
    }
    ServiceTestSite site;
    FakeDBCore core;
    Link link;
};

}  // namespace

TEST_F(DbLinkTest, BindFillsTheDescriptor) {
    Bstr table(L"Scores");
    Bstr field(L"Name");
    EXPECT_EQ(S_OK, link.BindToDatabase(table, field, 1));
    ASSERT_EQ(1u, core.asked.size());
    const BYTE* d = reinterpret_cast<const BYTE*>(&core.asked[0]);
    EXPECT_STREQ("Score1", reinterpret_cast<const char*>(d));
    EXPECT_STREQ("Scores", reinterpret_cast<const char*>(d + 32));
    EXPECT_STREQ("Name", reinterpret_cast<const char*>(d + 96));
    LONG relative = 0;
    memcpy(&relative, d + 164, 4);
    EXPECT_EQ(1, relative);
    ASSERT_EQ(1u, link.applied.size());
    EXPECT_EQ("Ann", link.applied[0].text);
    EXPECT_EQ(1, link.applied[0].type);
    EXPECT_EQ(nullptr, link.applied[0].extra);

    // The descriptor a caller gets carries no object name.
    DataSourceDescriptor got;
    EXPECT_EQ(S_OK, link.GetDescriptor(&got));
    EXPECT_EQ(0, got.objectName[0]);
    EXPECT_STREQ("Scores", got.sourceName);
}

TEST_F(DbLinkTest, UnlinkedIgnoresNoticesAndSetters) {
    link.SetSource("Scores", "Name");
    EXPECT_EQ(S_FALSE, link.SetSource("Scores", "Name"));
    EXPECT_EQ(S_FALSE, link.SetOption(TRUE));
    EXPECT_EQ(S_FALSE, link.SetRecordPos(3));
    DataSourceNotice n = FakeDBCore::Notice("Scores", "", "");
    link.OnDataSourceNotice(&n);
    EXPECT_TRUE(core.asked.empty());
    EXPECT_EQ(E_FAIL, link.Refresh(0));
    char table[64], field[64];
    EXPECT_EQ(S_FALSE, link.GetSource(table, field));
    EXPECT_EQ(0, table[0]);
    DataSourceDescriptor d;
    memset(&d, 0x55, sizeof(d));
    EXPECT_EQ(S_FALSE, link.GetDescriptor(&d));
    EXPECT_EQ(0, d.sourceName[0]);
    EXPECT_EQ(0, d.relative);
}

TEST_F(DbLinkTest, Notices) {
    Bind();
    struct Case {
        const char* table;
        const char* field;
        const char* object;
        bool refresh;
    } cases[] = {
        {"Scores", "Name", "", true},    {"scores", "NAME", "Other", true},
        {"Scores", "", "", true},        {"Scores", "Points", "", false},
        {"Teams", "Name", "", false},    {"Scores", "Name", "score1", false},
        {"Scores", "", "Score1", false},
    };
    for (const Case& c : cases) {
        core.asked.clear();
        DataSourceNotice n = FakeDBCore::Notice(c.table, c.field, c.object);
        link.OnDataSourceNotice(&n);
        EXPECT_EQ(c.refresh ? 1u : 0u, core.asked.size())
            << c.table << "." << c.field << " by " << c.object;
    }
}

TEST_F(DbLinkTest, SettersRefreshWhenLinked) {
    Bind();
    EXPECT_EQ(S_OK, link.SetRecordPos(DB_MOVE_NEXT));
    ASSERT_EQ(1u, core.asked.size());
    EXPECT_EQ(DB_MOVE_NEXT, core.asked[0].position);
    EXPECT_EQ(S_OK, link.SetOption(TRUE));
    EXPECT_EQ(1, core.asked[1].relative);
    EXPECT_EQ(S_OK, link.SetSource(nullptr, "Name"));
    EXPECT_EQ(3u, core.asked.size());
    LONG pos = 0;
    EXPECT_EQ(S_OK, link.GetRecordPos(&pos));
    EXPECT_EQ(DB_MOVE_NEXT, pos);
    // Setting the linked flag to what it is refreshes nothing.
    EXPECT_EQ(S_OK, link.SetLinked(TRUE));
    EXPECT_EQ(3u, core.asked.size());
}

TEST_F(DbLinkTest, ScriptRecordPosition) {
    LONG pos = 0;
    EXPECT_EQ(S_FALSE, link.PutObjRecordPos(7));
    EXPECT_EQ(S_FALSE, link.GetObjRecordPos(&pos));
    EXPECT_EQ(7, pos);
    EXPECT_EQ(S_OK, link.UnbindToDatabase());
    EXPECT_TRUE(core.asked.empty());
    Bind();
    EXPECT_EQ(S_OK, link.PutObjRecordPos(2));
    EXPECT_EQ(1u, core.asked.size());
    EXPECT_EQ(S_OK, link.GetObjRecordPos(&pos));
    EXPECT_EQ(2, pos);
    EXPECT_EQ(S_OK, link.UnbindToDatabase());
    EXPECT_FALSE(link.Linked());
}

TEST_F(DbLinkTest, ValuesReachTheObject) {
    Bind();
    std::vector<BYTE> data = {0xAA, 0xBB};
    core.fields["Scores.Name"].bytes = FakeDBCore::Block(2, "photo.jpg", data);
    EXPECT_EQ(S_OK, link.Refresh(0));
    ASSERT_EQ(1u, link.applied.size());
    EXPECT_FALSE(link.applied[0].media);
    EXPECT_EQ("photo.jpg", link.applied[0].text);
    EXPECT_EQ(2, link.applied[0].type);
    // The extra pointer was valid during the call: it pointed 264 bytes in.
    EXPECT_NE(nullptr, link.applied[0].extra);

    // A linked medium: the whole block is the file name.
    core.fields["Scores.Name"].bytes = {'a', '.', 'w', 'a', 'v', 0};
    core.fields["Scores.Name"].linkFlag = 1;
    EXPECT_EQ(S_OK, link.Refresh(5));
    EXPECT_TRUE(link.applied[1].media);
    EXPECT_EQ("a.wav", link.applied[1].text);
    EXPECT_EQ(0, link.applied[1].type);
    char text[4];
    EXPECT_EQ(S_OK, link.GetDataText(text, sizeof(text)));
    EXPECT_STREQ("a.w", text);
}

TEST_F(DbLinkTest, RefusedValues) {
    Bind();
    {
        LogCapture log;
        core.fields["Scores.Name"].vt = VT_BSTR;
        EXPECT_EQ(E_FAIL, link.Refresh(0));
        EXPECT_LOGGED(log, "Data type mismatch (8)");
    }
    {
        LogCapture log;
        core.fields["Scores.Name"].vt = VT_ARRAY | VT_UI1;
        link.accepts = 0;
        EXPECT_EQ(E_FAIL, link.Refresh(0));
        EXPECT_LOGGED(log, "Obj can't support this data (type : 8209)");
        link.accepts = 1;
    }
    // No value: 1 and nothing applied.
    core.fields["Scores.Name"].vt = VT_EMPTY;
    EXPECT_EQ(S_FALSE, link.Refresh(0));
    core.fields["Scores.Name"].vt = VT_ARRAY | VT_UI1;
    core.fields["Scores.Name"].bytes.clear();
    EXPECT_EQ(S_FALSE, link.Refresh(0));
    char text[8] = "x";
    EXPECT_EQ(S_FALSE, link.GetDataText(text, sizeof(text)));
    EXPECT_EQ(0, text[0]);
    site.database = nullptr;
    EXPECT_EQ(E_FAIL, link.Refresh(0));
    EXPECT_TRUE(link.applied.empty());
}

TEST(DbLinkBlock, MalformedBlocksAreRefused) {
    std::vector<BYTE> longText(300, 'a');
    longText[0] = 1;
    longText[1] = longText[2] = longText[3] = 0;
    longText[299] = 0;  // ends past byte 264
    struct Case {
        const char* what;
        std::vector<BYTE> block;
        bool media;
    } cases[] = {
        {"short of the type word", {1, 0, 0}, false},
        {"text without its NUL", {1, 0, 0, 0, 'a', 'b'}, false},
        {"linked name without its NUL", {'a', 'b'}, true},
        {"text into the further data", longText, false},
    };
    for (const Case& c : cases) {
        LogCapture log;
        const char* text;
        const void* extra;
        int type;
        EXPECT_EQ(E_FAIL, ParseFieldBlock(c.block.data(), (ULONG)c.block.size(), c.media, &text,
                                          &extra, &type))
            << c.what;
        EXPECT_NE(std::string::npos, log.Text().find("Database field")) << c.what;
    }
    std::vector<BYTE> ok = FakeDBCore::Block(2, "photo.jpg", {7});
    const char* text;
    const void* extra;
    int type;
    ASSERT_EQ(S_OK, ParseFieldBlock(ok.data(), (ULONG)ok.size(), false, &text, &extra, &type));
    EXPECT_STREQ("photo.jpg", text);
    EXPECT_EQ(ok.data() + 264, extra);
    EXPECT_EQ(2, type);
}

TEST(DbLinkNames, CutToWholeCharactersAndNul) {
    TestPlayerSite site;
    Link link(&site);
    std::wstring table(80, L'T');
    Bstr t(table.c_str());
    Bstr f(L"F");
    link.BindToDatabase(t, f, 0);
    EXPECT_EQ(std::string(63, 'T'), link.TableName());
    Bstr null(nullptr);
    link.BindToDatabase(null, f, 0);
    EXPECT_STREQ("", link.TableName());
    if (GetACP() == 936) {
        std::wstring mixed(62, L'a');
        mixed += L"\x4E2D";  // two bytes across the cut
        Bstr m(mixed.c_str());
        link.BindToDatabase(m, f, 0);
        EXPECT_EQ(std::string(62, 'a'), link.TableName());
    }
}

TEST(DbLinkStream, RecordRoundTripAndRefusals) {
    TestPlayerSite site;
    Link a(&site), b(&site);
    a.SetSource("Scores", "Name");
    a.SetRecordPos(4);
    a.SetLinked(TRUE);
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(S_OK, a.Save(s));
    // flags 4 + position 4 + (4 + 2 * 7) + (4 + 2 * 5)
    EXPECT_EQ(4u + 4 + 18 + 14, s->GetSize());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    ASSERT_EQ(S_OK, b.Load(s));
    EXPECT_TRUE(b.Linked());
    EXPECT_STREQ("Scores", b.TableName());
    EXPECT_STREQ("Name", b.FieldName());
    LONG pos = 0;
    b.GetRecordPos(&pos);
    EXPECT_EQ(4, pos);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"flags only", {1, 0, 0, 0}},
        {"name count beyond the stream", {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"second name missing", {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Link l(&site);
        CComPtr<ITeskStream> bad = MemStreamOf(c.bytes);
        EXPECT_EQ(E_FAIL, l.Load(bad)) << c.what;
        EXPECT_FALSE(l.Linked()) << c.what;
    }
}
