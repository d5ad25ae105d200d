// Damaged and hand-made packages of the shapes a hostile user builds: many
// pages, links and names that make lookups work hard, lying counts and
// lengths, and bodies that end early. Each loads or fails as the pre-load
// says, with its log line, within the test's time and without an exception
// leaving the pre-load.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PrjTestDoc.h"
#include "ProcessMemory.h"
#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aMediaMgr.h"
#include "aPrjUtil.h"

namespace {

const HRESULT kBodyNotRead = (HRESULT)0x8004500CL;

// A work with one page, one background and no canvases, to which a case
// adds its shape.
WorkSpec SmallWork() {
    WorkSpec w;
    w.pages = {{"P", "", "B", "", "", ""}};
    w.backgrounds = {"B"};
    w.writeCanvases = false;
    return w;
}

std::string Name(const char* prefix, size_t i) {
    return prefix + std::to_string(i);
}

// Variable list bytes: u32 count, then per variable u32 name length, the
// name, and two stored values given whole.
struct VarSpec {
    std::string name;
    std::string value, initial;
};
std::string VariableList(const std::vector<VarSpec>& vars) {
    CByteWriter w;
    w.U32((uint32_t)vars.size());
    for (const VarSpec& v : vars) {
        w.U32((uint32_t)v.name.size()).Bytes(v.name);
        w.Bytes(v.value).Bytes(v.initial);
    }
    return w.Str();
}
// The project body's tail: an empty event record (u32 0), then the list.
std::string BodyTail(const std::string& variableList) {
    return CByteWriter().U32(0).Bytes(variableList).Str();
}
std::string EmptyValue() {
    return CByteWriter().U16(VT_EMPTY).Str();
}

// Index stream offsets: 32-byte index or media header, then the zlib body's
// 16-byte header (size, level, raw length at 8, packed length at 12).
enum { kBodyAt = 32, kRawAt = kBodyAt + 8, kPackedAt = kBodyAt + 12 };
void PutU32At(std::string* bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*bytes)[at + (size_t)i] = (char)(v >> (8 * i));
}

struct Case {
    const char* what;
    std::function<void(WorkSpec&, const std::string& path)> build;
    HRESULT expected;                      // of the pre-load
    const char* logged;                    // a line that must be in the log ("" for none)
    std::function<void(CProject&)> check;  // after the pre-load (may be empty)
    // When set: the most memory the pre-load may take at any time, and the
    // most it may keep after.
    ULONGLONG mostMemory = 0;
    ULONGLONG mostKept = 0;
};

void RunCase(const Case& c) {
    SCOPED_TRACE(c.what);
    TempFolder tmp;
    std::string path = tmp.File("work.mrt");
    WorkSpec w = SmallWork();
    c.build(w, path);
    ASSERT_EQ(S_OK, WriteWork(path, w));
    TestDoc doc(path);
    BoxRecorder boxes;
    LogCapture log;
    HRESULT hr = E_UNEXPECTED;
    CPackage* package = nullptr;
    ULONGLONG heapBefore = c.mostMemory ? HeapBytesInUse() : 0;
    PeakMemoryGrowth peak;
    try {
        hr = OpenAndPreLoad(path, &doc, &package);
    } catch (...) {
        ADD_FAILURE() << "an exception left the pre-load";
    }
    if (c.mostMemory) {
        EXPECT_LT(peak.Bytes(), c.mostMemory) << "peak memory of the pre-load";
        EXPECT_LT(HeapBytesInUse(), heapBefore + c.mostKept) << "memory kept after the pre-load";
    }
    CComPtr<IPackage> keep;
    keep.Attach(package);
    std::string text = log.Text();
    if (c.expected == S_OK)
        EXPECT_EQ(S_OK, hr);
    else if (c.expected == E_FAIL)
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    else
        EXPECT_EQ(c.expected, hr) << std::hex << hr;
    if (*c.logged) {
        EXPECT_TRUE(Logged(text, c.logged)) << text.substr(0, 4000);
    }
    if (c.check && SUCCEEDED(hr))
        c.check(doc.Project());
}

}  // namespace

// Shapes that made the pre-load take seconds to minutes: lookups by name
// and growing lists must stay linear.
TEST(HostilePackage, ManyPagesLinksAndNamesLoadInLinearTime) {
    const size_t kPages = 100000;
    std::vector<Case> cases;
    cases.push_back({"50,000 pages without links",
                     [](WorkSpec& w, const std::string&) {
                         w.pages.clear();
                         for (size_t i = 0; i < 50000; ++i)
                             w.pages.push_back({Name("p", i), "", "B", "", "", ""});
                     },
                     S_OK, "",
                     [](CProject& p) {
                         StructMan* s = p.GetStructMan();
                         ASSERT_EQ(50000, s->GetCount());
                         // All hang under the root in stored order.
                         CPageNode* last = s->GetTree()->LastChild();
                         ASSERT_NE(nullptr, last);
                         EXPECT_STREQ("p49999", last->m_pPage->GetName());
                         EXPECT_EQ(s->GetTree(), last->m_pParent);
                     }});
    cases.push_back({"100,000 pages chained by next",
                     [kPages](WorkSpec& w, const std::string&) {
                         w.pages.clear();
                         for (size_t i = 0; i < kPages; ++i)
                             w.pages.push_back({Name("p", i), "", "B", "", "",
                                                i + 1 < kPages ? Name("p", i + 1) : ""});
                     },
                     S_OK, "",
                     [kPages](CProject& p) {
                         StructMan* s = p.GetStructMan();
                         ASSERT_EQ((int)kPages, s->GetCount());
                         CPageStub* last = (*s->GetPageList())[kPages - 1];
                         EXPECT_EQ(s->GetTree(), last->GetNode()->m_pParent);
                         EXPECT_STREQ("p99998", s->GetPreviousPage(last)->GetName());
                         EXPECT_EQ(nullptr, s->GetTree()->m_pChild->m_pPrev);
                     }});
    cases.push_back({"100,000 pages chained by child",
                     [kPages](WorkSpec& w, const std::string&) {
                         w.pages.clear();
                         for (size_t i = 0; i < kPages; ++i)
                             w.pages.push_back({Name("p", i), "", "B", "",
                                                i + 1 < kPages ? Name("p", i + 1) : "", ""});
                     },
                     S_OK, "",
                     [kPages](CProject& p) {
                         StructMan* s = p.GetStructMan();
                         CPageStub* last = (*s->GetPageList())[kPages - 1];
                         ASSERT_NE(nullptr, last->GetNode()->m_pParent);
                         EXPECT_STREQ("p99998", last->GetNode()->m_pParent->m_pPage->GetName());
                         EXPECT_EQ(last, s->GetNextPage((*s->GetPageList())[kPages - 2]));
                     }});
    cases.push_back(
        {"100,000 pages, the last linking back to the first",
         [kPages](WorkSpec& w, const std::string&) {
             w.pages.clear();
             for (size_t i = 0; i < kPages; ++i)
                 w.pages.push_back({Name("p", i), "", "B", "", "", Name("p", (i + 1) % kPages)});
         },
         S_OK, "StructMan: read(p99999): invalid nextPage: p0 -- corrected",
         [kPages](CProject& p) {
             EXPECT_EQ(nullptr, p.GetStructMan()->GetNextPage(
                                    (*p.GetStructMan()->GetPageList())[kPages - 1]));
         }});
    cases.push_back(
        {"100,000 pages naming missing children",
         [kPages](WorkSpec& w, const std::string&) {
             w.pages.clear();
             for (size_t i = 0; i < kPages; ++i)
                 w.pages.push_back({Name("p", i), "", "B", "", Name("g", i), ""});
         },
         S_OK, "Child of p99999 does not exist: g99999 ",
         [kPages](CProject& p) { EXPECT_EQ((int)kPages, p.GetStructMan()->GetCount()); }});
    cases.push_back({"100,000 pages against 100,000 backgrounds that never match",
                     [kPages](WorkSpec& w, const std::string&) {
                         w.pages.clear();
                         w.backgrounds.clear();
                         for (size_t i = 0; i < kPages; ++i) {
                             w.pages.push_back({Name("p", i), "", Name("x", i), "", "", ""});
                             w.backgrounds.push_back(Name("b", i));
                         }
                     },
                     S_OK, "",
                     [kPages](CProject& p) {
                         CCanvasLists* lists = p.GetCanvasLists();
                         ASSERT_EQ((int)kPages, lists->GetBackgroundCount());
                         // No match: every page takes the first background.
                         CPageStub* last = (*p.GetStructMan()->GetPageList())[kPages - 1];
                         EXPECT_EQ(lists->GetBackgroundAt(0), last->GetBackground());
                         EXPECT_EQ(lists->GetBackgroundAt((int)kPages - 1),
                                   lists->FindByName("B99999", TRUE));
                     }});
    cases.push_back({"1,000,000 empty variables in the project info",
                     [](WorkSpec& w, const std::string&) {
                         CByteWriter list;
                         list.U32(1000000);
                         // name length 0, then VT_EMPTY twice
                         for (int i = 0; i < 1000000; ++i) list.U32(0).U16(0).U16(0);
                         w.prjInfo.tail = BodyTail(list.Str());
                     },
                     S_OK, "",
                     [](CProject& p) { EXPECT_EQ(1000000, p.GetGlobalVariables()->GetCount()); }});
    cases.push_back(
        {"200,000 unnamed embedded media items",
         [](WorkSpec& w, const std::string&) { w.items.assign(200000, EmbeddedItem("")); }, S_OK,
         "", [](CProject& p) { EXPECT_EQ(200000, p.GetMediaManager()->GetItems().GetCount()); }});
    cases.push_back(
        {"200,000 media folders of one name",
         [](WorkSpec& w, const std::string&) {
             w.folders.assign(200000, FolderRecord{"same", "$r0\\x\\"});
             w.folders.push_back({"r0", ""});
         },
         S_OK, "",
         [](CProject& p) { EXPECT_EQ(200001, p.GetMediaManager()->GetFolders().GetCount()); }});
    cases.push_back({"media ini: one external file name in 2,000 folders",
                     [](WorkSpec&, const std::string& path) {
                         std::string ini = "[ExFileIndex]\r\n";
                         for (int i = 0; i < 2000; ++i)
                             ini += "k" + std::to_string(i) + "=C:\\d" + std::to_string(i) +
                                    "\\same.txt\r\n";
                         WriteFileBytes(path.substr(0, path.size() - 3) + "ini", ini);
                     },
                     S_OK, "",
                     [](CProject& p) {
                         CExFileTable& t = p.GetMediaManager()->GetExFiles();
                         EXPECT_EQ(2000, t.GetCount());
                         EXPECT_NE(nullptr, t.Find("same_1_2_3.txt"));
                         CExFileItem* last = t.FindByPath("C:\\d1999\\same.txt");
                         ASSERT_NE(nullptr, last);
                         EXPECT_EQ(t.Find(last->m_name.c_str()), last);
                     }});
    cases.push_back({"media ini: 200,000 keys in a section the player reads",
                     [](WorkSpec& w, const std::string& path) {
                         w.folders = {{"r0", ""}};
                         std::string ini = "[MediaIndex]\r\n";
                         for (int i = 0; i < 200000; ++i)
                             ini += "m" + std::to_string(i) + "=$r0\\f" + std::to_string(i) +
                                    ".wav\r\n";
                         WriteFileBytes(path.substr(0, path.size() - 3) + "ini", ini);
                     },
                     S_OK, "",
                     [](CProject& p) {
                         CRtMediaItemArray& items = p.GetMediaManager()->GetItems();
                         EXPECT_EQ(200000, items.GetCount());
                         CRtMediaItem* item = items.FindItem("M199999");
                         ASSERT_NE(nullptr, item);
                         EXPECT_STREQ("f199999.wav", item->FileName());
                         EXPECT_EQ(4, item->m_mediaType);
                     }});
    for (const Case& c : cases) RunCase(c);
}

// Stored sizes that would make the player allocate far more than the
// package holds.
TEST(HostilePackage, StoredSizesDoNotSizeMemory) {
    std::vector<Case> cases;
    // A raw length is not believed beyond what the packed bytes can inflate
    // to: the bodies load as what they hold.
    cases.push_back({"page index body claiming 4 GB raw",
                     [](WorkSpec& w, const std::string&) {
                         std::string bytes = MakePageIndex(w.pages);
                         PutU32At(&bytes, kRawAt, 0xFFFFFFFFu);
                         w.overrides["frgindex"] = bytes;
                     },
                     S_OK, "raw length 4294967295 cannot come from",
                     [](CProject& p) { EXPECT_EQ(1, p.GetStructMan()->GetCount()); }});
    cases.push_back({"project info body claiming 4 GB raw",
                     [](WorkSpec& w, const std::string&) {
                         w.prjInfo.holdTime = 1234;
                         std::string bytes = MakePrjInfo(w.prjInfo);
                         PutU32At(&bytes, 256 + 8, 0xFFFFFFFFu);
                         w.overrides["PrjInfo"] = bytes;
                     },
                     S_OK, "raw length 4294967295 cannot come from",
                     [](CProject& p) { EXPECT_EQ(1234u, p.GetHoldTime()); }});
    cases.push_back({"project info body cut inside its zlib data: defaults kept, pre-load goes on",
                     [](WorkSpec& w, const std::string&) {
                         w.prjInfo.holdTime = 1234;
                         std::string bytes = MakePrjInfo(w.prjInfo);
                         PutU32At(&bytes, 256 + 12, 0x7FFFFFF0u);
                         w.overrides["PrjInfo"] = bytes;
                     },
                     S_OK, "body passes the end of its stream",
                     [](CProject& p) {
                         EXPECT_EQ(10000u, p.GetHoldTime());
                         EXPECT_EQ(1, p.GetStructMan()->GetCount());
                     }});
    cases.push_back({"plain page index of 5 pages in a stream of 2 GB",
                     [](WorkSpec& w, const std::string&) {
                         std::vector<PageRecord> pages;
                         for (int i = 0; i < 5; ++i)
                             pages.push_back({Name("p", (size_t)i), "", "B", "", "", ""});
                         w.overrides["frgindex"] = MakePageIndex(pages, 1, 0);
                         w.sparseTails["frgindex"] = 0x7FFF0000ull;
                     },
                     S_OK, "", [](CProject& p) { EXPECT_EQ(5, p.GetStructMan()->GetCount()); }});
    cases.push_back({"array of 20,000,000 elements with no stored values",
                     [](WorkSpec& w, const std::string&) {
                         // VT_ARRAY | VT_I4, one dimension 0..19,999,999, no elements
                         std::string array =
                             CByteWriter().U16(VT_ARRAY | VT_I4).U32(1).U32(0).U32(19999999).Str();
                         w.prjInfo.tail = BodyTail(VariableList({{"v", array, EmptyValue()}}));
                     },
                     S_OK, "20000000 elements of 'v' exceed the",
                     [](CProject& p) { EXPECT_EQ(0, p.GetGlobalVariables()->GetCount()); }});
    cases.push_back({"array of 1,048,577 stored elements: refused, the rest of the list loads",
                     [](WorkSpec& w, const std::string&) {
                         // VT_ARRAY | VT_I4, 0..1,048,576, every element VT_EMPTY
                         CByteWriter array;
                         array.U16(VT_ARRAY | VT_I4).U32(1).U32(0).U32(1048576);
                         array.Zeros(2 * 1048577);
                         std::string one = CByteWriter().U16(VT_I4).U32(7).Str();
                         w.prjInfo.tail = BodyTail(VariableList(
                             {{"big", array.Str(), EmptyValue()}, {"after", one, one}}));
                     },
                     S_OK, "array 'big' of 1048577 elements refused (at most 1048576)",
                     [](CProject& p) {
                         CVarList* vars = p.GetGlobalVariables();
                         ASSERT_EQ(2, vars->GetCount());
                         EXPECT_EQ(VT_EMPTY, V_VT(vars->GetValue(0)));
                         EXPECT_EQ(7, V_I4(vars->GetValue(vars->Find("after"))));
                     }});
    cases.push_back(
        {"external-file table counting 6 records over one",
         [](WorkSpec& w, const std::string&) {
             // media header counting 6, a plain body of one record
             w.overrides["mm_exfile"] = MakeMediaHeader(6, 0) + ExFileRecordBytes({"a", "a.txt"});
         },
         S_OK, "mm_exfile: record 1 of 6 is short -- dropped",
         [](CProject& p) { EXPECT_EQ(1, p.GetMediaManager()->GetExFiles().GetCount()); }});
    for (const Case& c : cases) RunCase(c);
}

// A body that inflates to far more than the package holds is read as it
// inflates: the pre-load's memory follows the lists it builds, and nothing
// inflated stays once they exist.
TEST(HostilePackage, InflatedBodiesAreNotHeld) {
    const uint64_t kZeros = 256ull << 20;
    const std::string kZero(1, '\0');
    const ULONGLONG kMost = 64ull << 20, kKept = 32ull << 20;
    std::vector<Case> cases;
    cases.push_back({"project info",
                     [=](WorkSpec& w, const std::string&) {
                         w.prjInfo.holdTime = 1234;
                         w.overrides["PrjInfo"] =
                             MakePrjInfoHeader(w.prjInfo) +
                             MakeZlibBodyRepeating(MakePrjInfoBodyRaw(w.prjInfo), kZero, kZeros);
                     },
                     S_OK, "", [](CProject& p) { EXPECT_EQ(1234u, p.GetHoldTime()); }, kMost,
                     kKept});
    // Index streams: their 32-byte header (the page index's counts the whole
    // stream's length at 4), then the body.
    cases.push_back({"page index",
                     [=](WorkSpec& w, const std::string&) {
                         std::string bytes =
                             MakePageIndex(w.pages).substr(0, kBodyAt) +
                             MakeZlibBodyRepeating(PageRecordBytes(w.pages[0]), kZero, kZeros);
                         PutU32At(&bytes, 4, (uint32_t)bytes.size());
                         w.overrides["frgindex"] = bytes;
                     },
                     S_OK, "",
                     [](CProject& p) {
                         ASSERT_EQ(1, p.GetStructMan()->GetCount());
                         EXPECT_STREQ("P", p.GetStructMan()->GetStartPage()->GetName());
                     },
                     kMost, kKept});
    cases.push_back(
        {"media index",
         [=](WorkSpec& w, const std::string&) {
             std::string records = CByteWriter().U32(1).Str() + ItemRecordBytes(EmbeddedItem("m"));
             w.overrides["MediaIndex"] =
                 MakeMediaHeader(1, 2) + MakeZlibBodyRepeating(records, kZero, kZeros);
         },
         S_OK, "",
         [](CProject& p) { EXPECT_NE(nullptr, p.GetMediaManager()->GetItems().FindItem("m")); },
         kMost, kKept});
    for (const Case& c : cases) RunCase(c);
}

// A media index of a million elements in a few kilobytes: an item or a
// folder costs its texts and a few fields, and the pre-load stays under
// 128 MB.
TEST(HostilePackage, MediaIndexesCostTheirTexts) {
    const uint32_t kCount = 1000000;
    const ULONGLONG kMost = 128ull << 20;
    std::vector<Case> cases;
    cases.push_back(
        {"1,000,000 unnamed embedded media items",
         [=](WorkSpec& w, const std::string&) {
             w.overrides["MediaIndex"] =
                 MakeMediaHeader(kCount, 2) +
                 MakeZlibBodyRepeating(CByteWriter().U32(kCount).Str(),
                                       ItemRecordBytes(EmbeddedItem("")), kCount);
         },
         S_OK, "",
         [=](CProject& p) { EXPECT_EQ((int)kCount, p.GetMediaManager()->GetItems().GetCount()); },
         kMost, kMost});
    cases.push_back({"1,000,000 root media folders",
                     [=](WorkSpec& w, const std::string&) {
                         w.overrides["MPathIndex"] =
                             MakeMediaHeader(kCount, 2) +
                             MakeZlibBodyRepeating(CByteWriter().U32(kCount).Str(),
                                                   FolderRecordBytes({"r0", ""}), kCount);
                     },
                     S_OK, "",
                     [=](CProject& p) {
                         CRtMediaFolderArray& folders = p.GetMediaManager()->GetFolders();
                         ASSERT_EQ((int)kCount, folders.GetCount());
                         EXPECT_EQ(PathDirectoryWithSlash(p.GetMediaManager()->GetRuntimePath()),
                                   folders.GetAt((int)kCount - 1)->Path());
                     },
                     kMost, kMost});
    for (const Case& c : cases) RunCase(c);
}

// A zlib body cut short or running past its stream, in every index stream:
// the stream fails with its code, the pre-load fails, nothing escapes.
TEST(HostilePackage, BodiesPassingTheirStreamFailThePreLoad) {
    struct Stream {
        const char* name;
        std::function<std::string(const WorkSpec&)> make;
        HRESULT expected;
    };
    std::vector<Stream> streams = {
        {"frgindex", [](const WorkSpec& w) { return MakePageIndex(w.pages); }, kBodyNotRead},
        {"bkgindex", [](const WorkSpec& w) { return MakeCanvasList(w.backgrounds); }, kBodyNotRead},
        {"frmindex", [](const WorkSpec& w) { return MakeCanvasList(w.foregrounds); }, kBodyNotRead},
        // The media index fails as a whole (E_FAIL) after its line.
        {"MPathIndex", [](const WorkSpec& w) { return MakeMPathIndex(w.folders); }, E_FAIL},
        {"MediaIndex", [](const WorkSpec& w) { return MakeMediaIndex(w.items); }, E_FAIL},
    };
    struct Damage {
        const char* what;
        std::function<void(std::string*)> apply;
        const char* logged;
    };
    std::vector<Damage> damages = {
        {"header cut short", [](std::string* b) { b->resize(kBodyAt + 10); },
         "header cut short (10 of 16 bytes)"},
        {"packed length past the file's end",
         [](std::string* b) { PutU32At(b, kPackedAt, 0x7FFFFFF0u); }, "passes the"},
        {"packed length into the next element",
         [](std::string* b) { PutU32At(b, kPackedAt, (uint32_t)(b->size() - kBodyAt - 16 + 40)); },
         "passes the"},
    };
    for (const Stream& s : streams) {
        for (const Damage& d : damages) {
            std::string what = std::string(s.name) + ": " + d.what;
            Case c{what.c_str(),
                   [&](WorkSpec& w, const std::string&) {
                       w.backgrounds = {"B", "B2"};
                       w.foregrounds = {"F"};
                       w.folders = {{"r0", ""}, {"m", "$r0\\m\\"}};
                       w.items = {FileItem("a", "$m\\a.wav"), EmbeddedItem("b")};
                       std::string bytes = s.make(w);
                       d.apply(&bytes);
                       w.overrides[s.name] = bytes;
                   },
                   s.expected, d.logged, nullptr};
            RunCase(c);
        }
    }
}
