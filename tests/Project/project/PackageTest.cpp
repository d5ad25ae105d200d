// Package pre-load and the "PrjInfo" reader, over packages written by the
// test writer.
#include <gtest/gtest.h>

#include <string>

#include "PrjTestDoc.h"
#include "ProjectWriter.h"
#include "TestFiles.h"

namespace {

// A work with a little of everything.
WorkSpec SampleWork() {
    WorkSpec w;
    w.prjInfo.options = 0xCB;
    w.prjInfo.holdTime = 5000;
    w.prjInfo.backgroundColor = 0x00112233;
    w.prjInfo.flags = 0x01 | 0x40;
    w.prjInfo.texts[0] = "C:\\data\\work.mvb";
    w.prjInfo.texts[1] = "secret";
    w.prjInfo.texts[2] = "C:\\data\\system.mdw";
    w.prjInfo.furtherTexts[3] = "fourth";
    // Tree: Intro (child Ch1, next End), Ch1 (next Ch2), Ch2, End.
    w.pages = {{"Intro", "Welcome", "Blue", "Bar", "Ch1", "End"},
               {"Ch1", "Chapter one", "Blue", "", "", "Ch2"},
               {"Ch2", "Chapter two", "Green", "", "", ""},
               {"End", "The end", "Nowhere", "", "", ""}};
    w.backgrounds = {"Blue", "Green"};
    w.foregrounds = {"Bar"};
    w.folders = {{"r0", "ignored"}, {"snd", "$r0\\sounds\\"}};
    w.items = {FileItem("click", "$snd\\click.wav", 4, 1020), EmbeddedItem("logo.png", 2, 1018)};
    w.exFiles = {{"manual", "manual.pdf"}};
    w.mediaData = {{"logo.png", std::string("\x89PNG fake bytes", 15)}};
    return w;
}

}  // namespace

TEST(Package, WholeWorkPreLoadsAndComesBackAsWritten) {
    TempFolder tmp;
    std::string path = tmp.File("work.mrt");
    ASSERT_EQ(S_OK, WriteWork(path, SampleWork()));
    TestDoc doc(path);
    CPackage* package = nullptr;  // the media storage lives as long as the package
    ASSERT_EQ(S_OK, OpenAndPreLoad(path, &doc, &package));
    CComPtr<IPackage> keep;
    keep.Attach(package);

    CProject& p = doc.Project();
    EXPECT_EQ(16, p.GetMinorVersion());
    EXPECT_EQ(0x01D0000012345678ull, p.GetProjectId());
    EXPECT_EQ(0xCBu, p.GetOptions());
    EXPECT_EQ(5000u, p.GetHoldTime());
    EXPECT_EQ(0x00112233u, p.GetBackgroundColor());
    EXPECT_EQ(0x41u, p.GetFlags());
    EXPECT_STREQ("C:\\data\\work.mvb", p.GetDatabasePath());
    EXPECT_STREQ("secret", p.GetDatabasePassword());
    char workgroup[MAX_PATH];
    ASSERT_EQ(S_OK, p.GetWorkgroupPath(workgroup, sizeof(workgroup)));
    EXPECT_STREQ("C:\\data\\system.mdw", workgroup);
    EXPECT_EQ("fourth", p.GetFurtherText(3));

    StructMan* s = p.GetStructMan();
    ASSERT_EQ(4, s->GetCount());
    const char* names[] = {"Intro", "Ch1", "Ch2", "End"};
    const char* titles[] = {"Welcome", "Chapter one", "Chapter two", "The end"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(names[i], (*s->GetPageList())[(size_t)i]->GetName());
        EXPECT_STREQ(titles[i], (*s->GetPageList())[(size_t)i]->GetTitle());
    }
    // Page order for navigation: Intro, Ch1, Ch2, End.
    CPageStub* page = s->GetStartPage();
    for (const char* name : names) {
        ASSERT_NE(nullptr, page);
        EXPECT_STREQ(name, page->GetName());
        page = s->GetNextPage(page);
    }
    EXPECT_EQ(nullptr, page);

    CCanvasLists* lists = p.GetCanvasLists();
    ASSERT_EQ(2, lists->GetBackgroundCount());
    ASSERT_EQ(1, lists->GetForegroundCount());
    CPageStub* intro = s->FindPage("intro");
    CPageStub* end = s->FindPage("End");
    ASSERT_TRUE(intro && end);
    EXPECT_STREQ("Blue", intro->GetBackground()->GetName());
    EXPECT_STREQ("Bar", intro->GetForeground()->GetName());
    EXPECT_STREQ("Green", s->FindPage("Ch2")->GetBackground()->GetName());
    EXPECT_STREQ("Blue", end->GetBackground()->GetName());  // unknown name: the first one
    EXPECT_EQ(nullptr, end->GetForeground());
    EXPECT_EQ(3, lists->GetBackgroundAt(0)->GetUserCount());
    EXPECT_EQ(1, lists->GetForegroundAt(0)->GetUserCount());

    CMediaManager* m = p.GetMediaManager();
    EXPECT_TRUE(m->HasMediaData());
    int type = 0, subtype = 0;
    EXPECT_EQ(S_OK, m->GetMediaType("LOGO.PNG", &type, &subtype));
    EXPECT_EQ(2, type);
    EXPECT_EQ(1018, subtype);
    DWORD size = 0;
    ASSERT_EQ(S_OK, m->ReadMediaData("logo.png", 0, 0, nullptr, &size));
    std::string bytes(size, '\0');
    ASSERT_EQ(S_OK, m->ReadMediaData("logo.png", 0, 0, &bytes[0], &size));
    EXPECT_EQ(std::string("\x89PNG fake bytes", 15), bytes);
    char file[MAX_PATH];
    BoxRecorder boxes;
    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("click", 0, file, sizeof(file)));  // not on disk
    EXPECT_EQ(tmp.Path() + "\\sounds\\click.wav", file);
    ASSERT_NE(nullptr, m->GetExFiles().Find("MANUAL"));
    EXPECT_EQ("manual.pdf", m->GetExFiles().Find("manual")->m_fileName);
}

TEST(Package, PrjInfoVersions) {
    struct Case {
        int major, minor;
        HRESULT expected;
    };
    const Case cases[] = {{1, 16, S_OK},
                          {1, 0, S_OK},
                          {1, 8, S_OK},
                          {1, 17, (HRESULT)0x80045003},
                          {2, 0, (HRESULT)0x80045003},
                          {0, 16, (HRESULT)0x80045003},
                          {1, -1, (HRESULT)0x80045003}};
    for (const Case& c : cases) {
        TempFolder tmp;
        std::string path = tmp.File("v.mrt");
        WorkSpec w;
        w.prjInfo.major = (int16_t)c.major;
        w.prjInfo.minor = (int16_t)c.minor;
        ASSERT_EQ(S_OK, WriteWork(path, w));
        CComPtr<ITeskStorage> root;
        ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
        TestDoc doc(path);
        LogCapture log(tmp.File("log.txt"));
        EXPECT_EQ(c.expected, doc.Project().ReadPrjInfo(root)) << c.major << "." << c.minor;
        std::string text = log.Text();
        ASSERT_TRUE(log.Active()) << "trace log";
        if (c.expected != S_OK) {
            char line[64];
            wsprintfA(line, "Unsupported MTXFile Version: %d.%d", c.major, c.minor);
            EXPECT_NE(std::string::npos, text.find(line)) << text;
        }
    }
}

TEST(Package, PrjInfoHeaderFaults) {
    // Byte layout of the header: size at 0, mode at 8, magic at 12,
    // major at 16, minor at 18; the body follows at 256.
    PrjInfoSpec good;
    std::string header = MakePrjInfoHeader(good);
    std::string body = MakeBody(MakePrjInfoBodyRaw(good), 2);
    struct Case {
        const char* what;
        std::string bytes;
        HRESULT expected;
    };
    std::string badSize = header;
    badSize[0] = (char)0xFF;  // header size 255
    std::string badMagic = header;
    badMagic[12] ^= 1;
    std::string badBody = header + body;
    badBody[256 + 20] ^= 0x55;  // inside the zlib stream
    const Case cases[] = {
        {"good", header + body, S_OK},
        {"short header", header.substr(0, 255), (HRESULT)0x80045002},
        {"empty stream", std::string(), (HRESULT)0x80045002},
        {"wrong size", badSize + body, (HRESULT)0x80045002},
        {"wrong magic", badMagic + body, (HRESULT)0x80045002},
        {"no body", header, (HRESULT)0x8004500C},
        {"cut body", header + body.substr(0, body.size() - 6), (HRESULT)0x8004500C},
        {"damaged zlib", badBody, (HRESULT)0x8004500C},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        std::string path = tmp.File("h.mrt");
        WorkSpec w;
        w.overrides["PrjInfo"] = c.bytes;
        ASSERT_EQ(S_OK, WriteWork(path, w));
        CComPtr<ITeskStorage> root;
        ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
        TestDoc doc(path);
        EXPECT_EQ(c.expected, doc.Project().ReadPrjInfo(root)) << c.what;
    }
}

// Body layout: u32 options, u32 hold time, u32 background colour, u32 flags,
// [i16 n + 2n bytes extra text], three texts, [four texts], event record
// (an empty one is u32 0), variables (an empty list is u32 0).
TEST(Package, PrjInfoBodyTexts) {
    auto u32 = [](uint32_t v) { return std::string((const char*)&v, 4); };
    auto i16 = [](int16_t v) { return std::string((const char*)&v, 2); };
    std::string head = u32(1) + u32(2) + u32(3);
    std::string longText(300, 'x');
    struct Case {
        const char* what;
        std::string body;
        HRESULT expected;
        const char* text1;  // database path after loading
    };
    const Case cases[] = {
        {"empty texts", head + u32(0) + i16(0) + i16(0) + i16(0) + u32(0) + u32(0), S_OK, ""},
        {"extra text skipped",
         head + u32(0x10) + CountedText("skip me") + CountedText("db") + i16(0) + i16(0) + u32(0) +
             u32(0),
         S_OK, "db"},
        {"300 bytes cut to 259",
         head + u32(0) + CountedText(longText) + i16(0) + i16(0) + u32(0) + u32(0), S_OK, "cut"},
        {"negative count", head + u32(0) + i16(-2) + i16(0) + i16(0) + u32(0), (HRESULT)0x8004500C,
         nullptr},
        {"negative extra count", head + u32(0x10) + i16(-1), (HRESULT)0x8004500C, nullptr},
        {"count past the end", head + u32(0) + i16(100) + "ab", (HRESULT)0x8004500C, nullptr},
        {"texts missing", head + u32(0) + i16(0), (HRESULT)0x8004500C, nullptr},
        {"flags missing", head, (HRESULT)0x8004500C, nullptr},
    };
    for (const Case& c : cases) {
        for (int mode : {0, 1, 2}) {
            TempFolder tmp;
            std::string path = tmp.File("b.mrt");
            WorkSpec w;
            w.prjInfo.mode = (int16_t)mode;
            w.prjInfo.rawBodySet = true;
            w.prjInfo.rawBody = c.body;
            ASSERT_EQ(S_OK, WriteWork(path, w));
            CComPtr<ITeskStorage> root;
            ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
            TestDoc doc(path);
            CProject& p = doc.Project();
            EXPECT_EQ(c.expected, p.ReadPrjInfo(root)) << c.what << " mode " << mode;
            if (c.expected != S_OK) {
                // Defaults stay: nothing half-read is taken.
                EXPECT_EQ(171u, p.GetOptions()) << c.what;
                EXPECT_EQ(0x10u, p.GetFlags()) << c.what;
                continue;
            }
            EXPECT_EQ(1u, p.GetOptions());
            EXPECT_EQ(3u, p.GetBackgroundColor());
            if (std::string(c.text1) == "cut") {
                EXPECT_EQ(std::string(259, 'x'), p.GetDatabasePath());
            } else {
                EXPECT_STREQ(c.text1, p.GetDatabasePath());
            }
        }
    }
}

TEST(Package, DamagedPrjInfoStillReadsIndexesAndMedia) {
    TempFolder tmp;
    std::string path = tmp.File("d.mrt");
    WorkSpec w = SampleWork();
    std::string prj = MakePrjInfo(w.prjInfo);
    prj[12] = 0;  // magic gone; the version bytes stay
    w.overrides["PrjInfo"] = prj;
    ASSERT_EQ(S_OK, WriteWork(path, w));
    TestDoc doc(path);
    ASSERT_EQ(S_OK, OpenAndPreLoad(path, &doc));
    EXPECT_EQ(4, doc.Project().GetStructMan()->GetCount());
    EXPECT_EQ(2, doc.Project().GetCanvasLists()->GetBackgroundCount());
    EXPECT_EQ(2, doc.Project().GetMediaManager()->GetItems().GetCount());
    EXPECT_EQ(0x10u, doc.Project().GetFlags());  // defaults kept
}

TEST(Package, MissingIndexStreams) {
    struct Case {
        const char* omit;
        HRESULT expected;
        const char* logLine;
    };
    const Case cases[] = {{"frgindex", (HRESULT)0x8004500E, "open frgindex failed"},
                          {"bkgindex", (HRESULT)0x8004500E, nullptr},
                          {"frmindex", (HRESULT)0x8004500E, nullptr},
                          {"MPathIndex", (HRESULT)0x8004500E, "ReadMediaInfoFromExe failed !"},
                          {"MediaIndex", (HRESULT)0x8004500E, "ReadMediaInfoFromExe failed !"},
                          {"mm_exfile", (HRESULT)0x8004500E, "ReadMediaInfoFromExe failed !"},
                          {"MediaData", (HRESULT)0x8004500D, nullptr}};
    for (const Case& c : cases) {
        TempFolder tmp;
        std::string path = tmp.File("m.mrt");
        WorkSpec w = SampleWork();
        w.omit = {c.omit};
        ASSERT_EQ(S_OK, WriteWork(path, w));
        TestDoc doc(path);
        LogCapture log(tmp.File("log.txt"));
        EXPECT_EQ(c.expected, OpenAndPreLoad(path, &doc)) << c.omit;
        std::string text = log.Text();
        ASSERT_TRUE(log.Active()) << "trace log";
        if (c.logLine) {
            EXPECT_NE(std::string::npos, text.find(c.logLine)) << c.omit;
        }
    }
}

// An index whose body cannot be read fails the pre-load with its code (the
// work would otherwise open without its pages or canvases). Index header:
// size 32, stream length, 0, count at 12, next free at 16, mode at 20.
TEST(Package, DamagedIndexBodiesFailPreLoad) {
    auto header = [](uint32_t count, uint32_t mode) {
        return CByteWriter().U32(32).U32(32).U32(0).U32(count).U32(1).U32(mode).Zeros(8).Str();
    };
    // The index header, the 16-byte body header, then the zlib stream.
    std::string damaged = MakeCanvasList({"Bar", "Baz"}, 1, 2);
    damaged[32 + 16 + 4] ^= 0x55;
    struct Case {
        const char* stream;
        std::string bytes;
        HRESULT expected;
    };
    const Case cases[] = {
        {"frgindex", header(2, 0) + std::string(416, '\0'),
         (HRESULT)0x8004500C},                                     // one record of two
        {"frgindex", std::string(20, '\0'), (HRESULT)0x8004500C},  // short header
        {"bkgindex", header(3, 0) + std::string(64, '\0'), (HRESULT)0x8004500C},
        {"frmindex", damaged, E_FAIL},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        std::string path = tmp.File("i.mrt");
        WorkSpec w = SampleWork();
        w.overrides[c.stream] = c.bytes;
        ASSERT_EQ(S_OK, WriteWork(path, w));
        TestDoc doc(path);
        EXPECT_EQ(c.expected, OpenAndPreLoad(path, &doc)) << c.stream;
        // The media index is not reached.
        EXPECT_EQ(0, doc.Project().GetMediaManager()->GetItems().GetCount()) << c.stream;
    }
}

TEST(Package, OpenFailsForNoPackage) {
    TempFolder tmp;
    std::string path = tmp.File("none.mrt");
    WriteFileBytes(path, std::string(300, 'z'));
    TestDoc doc(path);
    EXPECT_EQ((HRESULT)0x80045002, OpenAndPreLoad(path, &doc));
    EXPECT_NE(S_OK, OpenAndPreLoad(tmp.File("missing.mrt"), &doc));
}

TEST(Package, WorkBehindAnExecutable) {
    TempFolder tmp;
    std::string path = tmp.File("app.exe");
    WorkSpec w = SampleWork();
    w.prefix = "MZ" + std::string(61438, 'e');
    w.headerOffset = 61440;
    ASSERT_EQ(S_OK, WriteWork(path, w));
    TestDoc doc(path);
    ASSERT_EQ(S_OK, OpenAndPreLoad(path, &doc));
    EXPECT_EQ(4, doc.Project().GetStructMan()->GetCount());
}

TEST(Package, RoutineTablesLocatedWithFlag) {
    auto table = [](uint32_t count) {
        CByteWriter h;
        h.Zeros(20).U32(count).U32(2).U32(0);  // count at 20, mode at 24
        return h.Str();
    };
    TempFolder tmp;
    std::string path = tmp.File("t.mrt");
    WorkSpec w;
    w.prjInfo.flags = 0x20;
    w.overrides["FunctionTable"] = table(3);
    w.overrides["ProcessTable"] = table(0);
    ASSERT_EQ(S_OK, WriteWork(path, w));
    CComPtr<ITeskStorage> root;
    ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
    TestDoc doc(path);
    EXPECT_EQ(S_OK, doc.Project().ReadPrjInfo(root));
    EXPECT_TRUE(doc.Project().GetRoutineTable(false).present);
    EXPECT_EQ(3u, doc.Project().GetRoutineTable(false).count);
    EXPECT_TRUE(doc.Project().GetRoutineTable(true).present);

    // Without "ProcessTable" the result is that table's failure.
    WorkSpec w2 = w;
    w2.overrides.erase("ProcessTable");
    std::string path2 = tmp.File("t2.mrt");
    ASSERT_EQ(S_OK, WriteWork(path2, w2));
    CComPtr<ITeskStorage> root2;
    ASSERT_EQ(S_OK, OpenPacStorage(path2.c_str(), &root2));
    TestDoc doc2(path2);
    EXPECT_EQ((HRESULT)0x8004500E, doc2.Project().ReadPrjInfo(root2));
    EXPECT_TRUE(doc2.Project().GetRoutineTable(false).present);

    // A table header shorter than 32 bytes is refused.
    WorkSpec w3 = w;
    w3.overrides["ProcessTable"] = std::string(31, '\0');
    std::string path3 = tmp.File("t3.mrt");
    ASSERT_EQ(S_OK, WriteWork(path3, w3));
    CComPtr<ITeskStorage> root3;
    ASSERT_EQ(S_OK, OpenPacStorage(path3.c_str(), &root3));
    TestDoc doc3(path3);
    EXPECT_EQ((HRESULT)0x8004500C, doc3.Project().ReadPrjInfo(root3));
    EXPECT_FALSE(doc3.Project().GetRoutineTable(true).present);
}

namespace {

class FakeCanvas : public ICanvasData {
public:
    FakeCanvas(int kind, const char* name, BOOL result)
        : m_kind(kind), m_name(name), m_result(result) {}
    int GetCanvasKind() override { return m_kind; }
    const char* GetStubName() override { return m_name; }
    BOOL LoadFromStorage(ITeskStorage* storage) override {
        m_sawInfo = storage->ElementExists("CanvasInfo");
        m_mode = storage->GetMode();
        return m_result;
    }
    int m_kind;
    const char* m_name;
    BOOL m_result;
    BOOL m_sawInfo = FALSE;
    BYTE m_mode = 9;
};

}  // namespace

TEST(Package, LoadCanvasData) {
    TempFolder tmp;
    std::string path = tmp.File("c.mrt");
    WorkSpec w = SampleWork();
    w.omit = {"Green"};  // its storage is missing from "bkgdata"
    ASSERT_EQ(S_OK, WriteWork(path, w));
    TestDoc doc(path);
    CPackage* package = nullptr;
    ASSERT_EQ(S_OK, OpenAndPreLoad(path, &doc, &package));
    LogCapture log(tmp.File("log.txt"));

    FakeCanvas page(1, "Ch1", TRUE), missing(2, "Green", TRUE), bad(3, "Bar", FALSE),
        blue(2, "Blue", TRUE);
    EXPECT_EQ(S_OK, package->LoadCanvasData(&page));
    EXPECT_TRUE(page.m_sawInfo);
    EXPECT_EQ(0, page.m_mode);
    EXPECT_EQ((HRESULT)0x8004500D, package->LoadCanvasData(&missing));
    EXPECT_EQ(E_FAIL, package->LoadCanvasData(&bad));
    EXPECT_EQ(S_OK, package->LoadCanvasData(&blue));  // the others stay loadable
    std::string text = log.Text();
    ASSERT_TRUE(log.Active()) << "trace log";
    {
        EXPECT_NE(std::string::npos, text.find("Cannot open Green"));
        EXPECT_NE(std::string::npos, text.find("Read canvas for Bar failed"));
    }
    package->Release();

    // A data storage missing altogether fails the load with its code.
    std::string path2 = tmp.File("c2.mrt");
    w.omit = {"frmdata"};
    ASSERT_EQ(S_OK, WriteWork(path2, w));
    TestDoc doc2(path2);
    ASSERT_EQ(S_OK, OpenAndPreLoad(path2, &doc2, &package));
    FakeCanvas fore(3, "Bar", TRUE);
    EXPECT_EQ((HRESULT)0x8004500D, package->LoadCanvasData(&fore));
    package->Release();
}

TEST(Package, InitNewStampsTheProgramVersion) {
    TestDoc doc;
    doc.Project().InitNew(0x0006000500000010ull);
    const PRJINFO_HEADER& h = doc.Project().GetHeader();
    EXPECT_EQ(256u, h.size);
    EXPECT_EQ(0x20000331u, h.magic);
    EXPECT_EQ(0x0006000500000010ull, h.created.fileVersion);
    EXPECT_EQ(0x0006000500000010ull, h.saved.fileVersion);
}

// Stored variables: u32 count; per variable u32 name length, the name, the
// current value, the initial value. A value is u16 VARTYPE and its bytes
// (VT_I4: 4; VT_BSTR: u32 byte length L and L bytes of UTF-16 with its NUL).
TEST(Package, ProjectVariablesLoadWithValues) {
    auto i4 = [](int32_t v) { return CByteWriter().U16(3).U32((uint32_t)v).Str(); };
    auto bstr = [](const char* t) {
        std::string w = WideUnits(t, strlen(t)) + std::string(2, '\0');
        return CByteWriter().U16(8).U32((uint32_t)w.size()).Bytes(w).Str();
    };
    std::string vars = CByteWriter()
                           .U32(2)
                           .U32(5)
                           .Bytes("score")
                           .Bytes(i4(7))
                           .Bytes(i4(0))
                           .U32(4)
                           .Bytes("name")
                           .Bytes(bstr("abc"))
                           .Bytes(bstr(""))
                           .Str();
    struct Case {
        const char* what;
        std::string tail;  // event record and variables
        HRESULT expected;
        int count;
    };
    const Case cases[] = {
        {"two variables", std::string(4, '\0') + vars, S_OK, 2},
        {"variable list cut", std::string(4, '\0') + vars.substr(0, vars.size() - 3),
         (HRESULT)0x8004500C, 0},
        {"no variable list", std::string(4, '\0'), (HRESULT)0x8004500C, 0},
        {"event entries left unread", CByteWriter().U32(2).Str() + vars, S_FALSE, 0},
        {"event record cut", std::string(2, '\0'), (HRESULT)0x8004500C, 0},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        std::string path = tmp.File("v.mrt");
        WorkSpec w;
        w.prjInfo.tail = c.tail;
        w.prjInfo.options = 5;
        ASSERT_EQ(S_OK, WriteWork(path, w));
        CComPtr<ITeskStorage> root;
        ASSERT_EQ(S_OK, OpenPacStorage(path.c_str(), &root));
        TestDoc doc(path);
        EXPECT_EQ(c.expected, doc.Project().ReadPrjInfo(root)) << c.what;
        EXPECT_EQ(5u, doc.Project().GetOptions()) << c.what;  // the fixed part is taken
        EXPECT_EQ(c.count, doc.Project().GetGlobalVariables()->GetCount()) << c.what;
        if (c.count == 2) {
            VARIANT v;
            VariantInit(&v);
            ASSERT_TRUE(doc.Project().GetVariableManager()->GetValueByName("score", &v));
            EXPECT_EQ(VT_I4, V_VT(&v));
            EXPECT_EQ(7, V_I4(&v));
            VariantClear(&v);
            ASSERT_TRUE(doc.Project().GetVariableManager()->GetValueByName("name", &v));
            EXPECT_EQ(VT_BSTR, V_VT(&v));
            EXPECT_STREQ(L"abc", V_BSTR(&v));
            VariantClear(&v);
        }
    }
}
