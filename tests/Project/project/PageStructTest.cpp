// The page structure and canvas lists: reading the index streams, the
// repairs of contradicting links, navigation and the editing operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>

#include "ProjectWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aMemStm.h"
#include "aPageStruct.h"
#include "bByteReader.h"

namespace {

HRESULT ReadPages(StructMan& s, const std::vector<PageRecord>& pages) {
    CComPtr<ITeskStream> stream = MemStreamOf(MakePageIndex(pages));
    return s.Read(stream);
}

// The tree as text: name(children...) siblings separated by blanks.
std::string TreeText(const CPageNode* first) {
    std::string out;
    int guard = 0;
    for (const CPageNode* n = first; n && guard++ < 1000; n = n->m_pNext) {
        if (!out.empty())
            out += ' ';
        out += n->m_pPage->GetName();
        if (n->m_pChild)
            out += "(" + TreeText(n->m_pChild) + ")";
    }
    return out;
}

std::string Tree(StructMan& s) {
    return TreeText(s.GetTree()->m_pChild);
}

// Pages in the order GetNextPage gives them, at most `limit`.
std::vector<std::string> WalkForward(StructMan& s, size_t limit = 1000) {
    std::vector<std::string> out;
    for (CPageStub* p = s.GetFirstPage(); p && out.size() < limit; p = s.GetNextPage(p))
        out.push_back(p->GetName());
    return out;
}

std::vector<std::string> WalkBackward(StructMan& s, CPageStub* last, size_t limit = 1000) {
    std::vector<std::string> out;
    for (CPageStub* p = last; p && out.size() < limit; p = s.GetPreviousPage(p))
        out.push_back(p->GetName());
    return out;
}

// Every page reachable from the root exactly once, links consistent both ways.
void ExpectSoundTree(StructMan& s, const char* what) {
    std::set<const CPageNode*> seen;
    std::function<void(const CPageNode*)> visit = [&](const CPageNode* parent) {
        const CPageNode* prev = nullptr;
        for (const CPageNode* n = parent->m_pChild; n; n = n->m_pNext) {
            ASSERT_TRUE(seen.insert(n).second) << what << ": node reached twice";
            ASSERT_LT(seen.size(), 10000u);
            EXPECT_EQ(parent, n->m_pParent) << what;
            EXPECT_EQ(prev, n->m_pPrev) << what;
            visit(n);
            prev = n;
        }
    };
    visit(s.GetTree());
    EXPECT_EQ((size_t)s.GetCount(), seen.size()) << what << ": " << Tree(s);
    EXPECT_EQ((size_t)s.GetCount(), WalkForward(s).size()) << what;
}

std::vector<std::string> Names(std::initializer_list<const char*> names) {
    return std::vector<std::string>(names.begin(), names.end());
}

}  // namespace

TEST(PageStruct, NextChainWithoutParentsHangsUnderRootInOrder) {
    StructMan s;
    // Stored in reverse: C, B, A with A -> B -> C.
    ASSERT_EQ(S_OK, ReadPages(s, {{"C", "", "", "", "", ""},
                                  {"B", "", "", "", "", "C"},
                                  {"A", "", "", "", "", "B"}}));
    EXPECT_EQ("A B C", Tree(s));
    EXPECT_EQ(Names({"A", "B", "C"}), WalkForward(s));
    EXPECT_STREQ("C", (*s.GetPageList())[0]->GetName());  // list order as stored
}

TEST(PageStruct, LinksAndNavigation) {
    StructMan s;
    // A(B(D E) C) F(G)
    ASSERT_EQ(S_OK, ReadPages(s, {{"A", "", "", "", "B", "F"},
                                  {"B", "", "", "", "D", "C"},
                                  {"C", "", "", "", "", ""},
                                  {"D", "", "", "", "", "E"},
                                  {"E", "", "", "", "", ""},
                                  {"F", "", "", "", "G", ""},
                                  {"G", "", "", "", "", ""}}));
    EXPECT_EQ("A(B(D E) C) F(G)", Tree(s));
    EXPECT_EQ(Names({"A", "B", "D", "E", "C", "F", "G"}), WalkForward(s));
    EXPECT_EQ(Names({"G", "F", "C", "E", "D", "B", "A"}), WalkBackward(s, s.FindPage("G")));
    // The last page of a subtree goes on to its parent's next sibling.
    EXPECT_STREQ("C", s.GetNextPage(s.FindPage("E"))->GetName());
    EXPECT_STREQ("F", s.GetNextPage(s.FindPage("C"))->GetName());
    EXPECT_EQ(nullptr, s.GetNextPage(s.FindPage("G")));
    EXPECT_EQ(nullptr, s.GetPreviousPage(s.FindPage("A")));
    EXPECT_STREQ("A", s.GetStartPage()->GetName());
    EXPECT_EQ(3, s.IndexOfPage("d"));
    EXPECT_EQ(-1, s.IndexOfPage("Z"));
    EXPECT_EQ(nullptr, s.FindPage("Z"));
    EXPECT_EQ(nullptr, s.GetNextPage(nullptr));
    s.NumberPages();
    EXPECT_EQ(6, s.FindPage("G")->GetNumber());
}

TEST(PageStruct, RepairsOfContradictingLinks) {
    struct Case {
        const char* what;
        std::vector<PageRecord> pages;
        const char* tree;
        const char* log;  // a line the repair writes
    };
    const Case cases[] = {
        {"child named twice",
         {{"A", "", "", "", "C", "B"}, {"B", "", "", "", "C", ""}, {"C", "", "", "", "", ""}},
         "A(C) B",
         "StructMan: read(B): invalid child: C -- corrected"},
        {"next named twice",
         {{"A", "", "", "", "", "C"}, {"B", "", "", "", "", "C"}, {"C", "", "", "", "", ""}},
         "A C B",
         "StructMan: read(B): invalid nextPage: C -- corrected"},
        {"next and child of one page",
         {{"A", "", "", "", "C", ""}, {"B", "", "", "", "", "C"}, {"C", "", "", "", "", ""}},
         "A(C) B",
         "StructMan: read(B): invalid nextPage: C -- corrected"},
        {"A next B, B next A",
         {{"A", "", "", "", "", "B"}, {"B", "", "", "", "", "A"}},
         "A B",
         "StructMan: read(B): invalid nextPage: A -- corrected"},
        {"own child",
         {{"A", "", "", "", "A", ""}, {"B", "", "", "", "", ""}},
         "A B",
         "StructMan: read(A): invalid child: A -- corrected"},
        {"own next",
         {{"A", "", "", "", "", "a"}},
         "A",
         "StructMan: read(A): invalid nextPage: a -- corrected"},
        {"own ancestor",
         {{"A", "", "", "", "B", ""}, {"B", "", "", "", "C", ""}, {"C", "", "", "", "A", ""}},
         "A(B(C))",
         "StructMan: read(C): invalid child: A -- corrected"},
        {"loop of three",
         {{"A", "", "", "", "", "B"}, {"B", "", "", "", "", "C"}, {"C", "", "", "", "", "A"}},
         "A B C",
         "StructMan: read(C): invalid nextPage: A -- corrected"},
        {"sibling becomes ancestor",
         {{"A", "", "", "", "", "B"}, {"B", "", "", "", "A", ""}},
         "A B",
         "StructMan: read(B): invalid child: A -- corrected"},
        {"missing child", {{"A", "", "", "", "Q", ""}}, "A", "Child of A does not exist: Q "},
        {"missing next", {{"A", "", "", "", "", "Q"}}, "A", "nextPage of A does not exist: Q "},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        StructMan s;
        LogCapture log(tmp.File("log.txt"));
        ASSERT_EQ(S_OK, ReadPages(s, c.pages)) << c.what;
        std::string text = log.Text();
        ASSERT_TRUE(log.Active()) << "trace log";
        EXPECT_EQ(c.tree, Tree(s)) << c.what;
        EXPECT_EQ(c.pages.size(), (size_t)s.GetCount()) << c.what;  // no page is dropped
        ExpectSoundTree(s, c.what);
        { EXPECT_NE(std::string::npos, text.find(c.log)) << c.what << "\n" << text; }
    }
}

TEST(PageStruct, RandomTreesComeBackWhole) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 200; ++round) {
        int n = 1 + (int)(rng() % 14);
        // A random forest: each page hangs under a random earlier page or the root.
        std::vector<int> parent((size_t)n);
        std::vector<std::vector<int>> children((size_t)n + 1);  // index n is the root
        for (int i = 0; i < n; ++i) {
            parent[(size_t)i] = i == 0 ? n : (int)(rng() % 2 ? (int)(rng() % (unsigned)i) : n);
            children[(size_t)parent[(size_t)i]].push_back(i);
        }
        std::vector<PageRecord> pages((size_t)n);
        for (int i = 0; i < n; ++i) pages[(size_t)i].name = "P" + std::to_string(i);
        for (int p = 0; p <= n; ++p) {
            const std::vector<int>& c = children[(size_t)p];
            if (p < n && !c.empty())
                pages[(size_t)p].child = pages[(size_t)c[0]].name;
            for (size_t k = 0; k + 1 < c.size(); ++k)
                pages[(size_t)c[k]].next = pages[(size_t)c[k + 1]].name;
        }
        // Reference pre-order.
        std::vector<std::string> expected;
        std::function<void(int)> pre = [&](int p) {
            for (int c : children[(size_t)p]) {
                expected.push_back(pages[(size_t)c].name);
                pre(c);
            }
        };
        pre(n);
        // Stored in a shuffled order; except the root's own order, nothing
        // depends on it.
        std::vector<PageRecord> stored = pages;
        std::shuffle(stored.begin(), stored.end(), rng);
        StructMan s;
        ASSERT_EQ(S_OK, ReadPages(s, stored));
        ExpectSoundTree(s, "random tree");
        std::vector<std::string> walk = WalkForward(s);
        // Roots hang in the order their chains are first met in the list; the
        // first root chain is the whole root list here, so the order holds.
        EXPECT_EQ(expected, walk) << "round " << round;
    }
}

TEST(PageStruct, RandomLinksAlwaysEndInATree) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        int n = 1 + (int)(rng() % 10);
        std::vector<PageRecord> pages((size_t)n);
        auto pick = [&]() -> std::string {
            unsigned r = rng() % (unsigned)(n + 2);
            if (r == (unsigned)n)
                return "";
            if (r == (unsigned)n + 1)
                return "nobody";
            return "p" + std::to_string(r);
        };
        for (int i = 0; i < n; ++i) {
            pages[(size_t)i].name = "P" + std::to_string(i);
            pages[(size_t)i].child = pick();
            pages[(size_t)i].next = pick();
        }
        StructMan s;
        ASSERT_EQ(S_OK, ReadPages(s, pages));
        ExpectSoundTree(s, "random links");
        // Backward navigation also visits every page once and ends.
        CPageStub* last = s.GetFirstPage();
        for (CPageStub* p = last; p; p = s.GetNextPage(p)) last = p;
        EXPECT_EQ((size_t)n, WalkBackward(s, last).size());
    }
}

TEST(PageStruct, IndexFaults) {
    // Layout: 32-byte header (size, length, 0, count, next free, mode, 0, 0),
    // then the body of 416-byte page records in the header's mode.
    std::string one = PageRecordBytes({"A", "", "", "", "", ""});
    struct Case {
        const char* what;
        std::string bytes;
        HRESULT expected;
        int pages;
    };
    std::string tooMany = MakeIndex(1000, 1, one, 2);
    std::string hugeCount = MakeIndex(0xFFFFFFFF, 1, one, 0);
    std::string badZlib = MakeIndex(1, 1, one, 2);
    badZlib[32] = 20;  // zlib body header size 20
    const Case cases[] = {
        {"good", MakeIndex(1, 1, one, 2), S_OK, 1},
        {"plain body", MakeIndex(1, 1, one, 0), S_OK, 1},
        {"unknown mode taken as plain", MakeIndex(1, 1, one, 7), S_OK, 1},
        {"count above the records", tooMany, (HRESULT)0x8004500C, 0},
        {"count near 2^32", hugeCount, (HRESULT)0x8004500C, 0},
        {"short header", std::string(20, '\0'), (HRESULT)0x8004500C, 0},
        {"record cut", MakeIndex(1, 1, one.substr(0, 400), 0), (HRESULT)0x8004500C, 0},
        {"zlib header wrong", badZlib, E_FAIL, 0},
        {"no pages", MakeIndex(0, 5, "", 2), S_OK, 0},
    };
    for (const Case& c : cases) {
        StructMan s;
        CComPtr<ITeskStream> stream = MemStreamOf(c.bytes);
        HRESULT hr = s.Read(stream);
        if (c.expected == E_FAIL)
            EXPECT_TRUE(FAILED(hr)) << c.what;
        else
            EXPECT_EQ(c.expected, hr) << c.what;
        EXPECT_EQ(c.pages, s.GetCount()) << c.what;
    }
}

TEST(PageStruct, NamesAreCutToTheirFields) {
    StructMan s;
    std::string title(200, 't');
    ASSERT_EQ(S_OK, ReadPages(s, {{"ABCDEFGHIJKLMNOPQRST", title, "", "", "", ""},
                                  {"\xd6\xd0\xce\xc4\xd2\xb3\xc3\xe6", "", "", "", "", ""}}));
    CPageStub* a = (*s.GetPageList())[0];
    EXPECT_STREQ("ABCDEFGHIJKLMNO", a->GetName());  // 16 units kept as 15 bytes
    EXPECT_EQ(std::string(127, 't'), a->GetTitle());
    // Double-byte names (GBK) come back as written.
    EXPECT_STREQ("\xd6\xd0\xce\xc4\xd2\xb3\xc3\xe6", (*s.GetPageList())[1]->GetName());
    a->SetName("0123456789abcdefghij");
    EXPECT_STREQ("0123456789abcde", a->GetName());
    // A double-byte character that would not fit whole is left out.
    a->SetName("0123456789abcd\xd6\xd0");
    EXPECT_STREQ("0123456789abcd", a->GetName());
}

TEST(PageStruct, BackgroundsAndForegroundsAreLinked) {
    CCanvasLists lists;
    CComPtr<ITeskStream> b = MemStreamOf(MakeCanvasList({"Sky", "Sea"}, 3));
    CComPtr<ITeskStream> f = MemStreamOf(MakeCanvasList({"Menu"}, 2));
    ASSERT_EQ(S_OK, lists.ReadList(b, TRUE));
    ASSERT_EQ(S_OK, lists.ReadList(f, FALSE));
    EXPECT_EQ(3u, lists.GetNextFree(TRUE));
    EXPECT_EQ(2u, lists.GetNextFree(FALSE));
    StructMan s;
    ASSERT_EQ(S_OK, ReadPages(s, {{"A", "", "sea", "menu", "", "B"},
                                  {"B", "", "Lake", "Nothing", "", ""},
                                  {"C", "", "Sky", "", "", ""}}));
    ASSERT_EQ(S_OK, s.Link(&lists));
    EXPECT_EQ(lists.GetBackgroundAt(1), s.FindPage("A")->GetBackground());
    EXPECT_EQ(lists.GetForegroundAt(0), s.FindPage("A")->GetForeground());
    EXPECT_EQ(lists.GetBackgroundAt(0), s.FindPage("B")->GetBackground());  // the default
    EXPECT_EQ(nullptr, s.FindPage("B")->GetForeground());
    EXPECT_EQ(2, lists.GetBackgroundAt(0)->GetUserCount());
    EXPECT_EQ(1, lists.GetBackgroundAt(1)->GetUserCount());

    // Without backgrounds a page gets none.
    CCanvasLists empty;
    StructMan t;
    ASSERT_EQ(S_OK, ReadPages(t, {{"A", "", "Sky", "", "", ""}}));
    ASSERT_EQ(S_OK, t.Link(&empty));
    EXPECT_EQ(nullptr, t.FindPage("A")->GetBackground());
}

TEST(PageStruct, CanvasListFaults) {
    std::string one = WideUnits("Sky", 16);
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        int count;
    };
    const Case cases[] = {
        {"good", MakeIndex(1, 1, one, 2), true, 1},
        {"count above the records", MakeIndex(3, 1, one, 2), false, 0},
        {"short header", std::string(31, '\0'), false, 0},
        {"cut record", MakeIndex(1, 1, one.substr(0, 30), 0), false, 0},
    };
    for (const Case& c : cases) {
        CCanvasLists lists;
        CComPtr<ITeskStream> stream = MemStreamOf(c.bytes);
        EXPECT_EQ(c.ok, SUCCEEDED(lists.ReadList(stream, TRUE))) << c.what;
        EXPECT_EQ(c.count, lists.GetBackgroundCount()) << c.what;
    }
    CCanvasLists none;
    EXPECT_EQ(nullptr, none.GetDefaultBackground());
}

TEST(PageStruct, WriteThenReadKeepsTreeAndLinks) {
    CCanvasLists lists;
    CComPtr<ITeskStream> b = MemStreamOf(MakeCanvasList({"Sky", "Sea"}));
    CComPtr<ITeskStream> f = MemStreamOf(MakeCanvasList({"Menu"}));
    ASSERT_EQ(S_OK, lists.ReadList(b, TRUE));
    ASSERT_EQ(S_OK, lists.ReadList(f, FALSE));
    StructMan s;
    ASSERT_EQ(S_OK, ReadPages(s, {{"A", "Title A", "Sea", "Menu", "B", "C"},
                                  {"B", "", "Sky", "", "", ""},
                                  {"C", "", "Sea", "", "", ""}}));
    ASSERT_EQ(S_OK, s.Link(&lists));
    CComPtr<ITeskStream> out;
    ASSERT_EQ(S_OK, CreateMemStream(&out, 32000));
    ASSERT_EQ(S_OK, s.Write(out));
    // The header: size 32, whole length, count 3, mode 2.
    std::string bytes((size_t)out->GetSize(), '\0');
    out->Seek(0, TESK_SEEK_SET);
    out->Read(&bytes[0], (ULONG)bytes.size());
    CByteReader r(bytes.data(), bytes.size());
    EXPECT_EQ(32u, r.U32LE());
    EXPECT_EQ(bytes.size(), r.U32LE());
    r.Skip(4);
    EXPECT_EQ(3u, r.U32LE());
    r.Skip(4);
    EXPECT_EQ(2u, r.U32LE());

    StructMan t;
    out->SetMode(0);
    out->Seek(0, TESK_SEEK_SET);
    ASSERT_EQ(S_OK, t.Read(out));
    ASSERT_EQ(S_OK, t.Link(&lists));
    EXPECT_EQ("A(B) C", Tree(t));
    EXPECT_STREQ("Title A", t.FindPage("A")->GetTitle());
    EXPECT_EQ(lists.GetBackgroundAt(1), t.FindPage("A")->GetBackground());
    EXPECT_EQ(lists.GetForegroundAt(0), t.FindPage("A")->GetForeground());

    // The canvas lists write and read back too.
    CComPtr<ITeskStream> listOut;
    ASSERT_EQ(S_OK, CreateMemStream(&listOut, 32000));
    ASSERT_EQ(S_OK, lists.WriteList(listOut, TRUE));
    listOut->SetMode(0);
    listOut->Seek(0, TESK_SEEK_SET);
    CCanvasLists again;
    ASSERT_EQ(S_OK, again.ReadList(listOut, TRUE));
    ASSERT_EQ(2, again.GetBackgroundCount());
    EXPECT_STREQ("Sea", again.GetBackgroundAt(1)->GetName());
}

TEST(PageStruct, EditingOperations) {
    StructMan s;
    ASSERT_EQ(S_OK, ReadPages(s, {{"A", "", "", "", "", "B"},
                                  {"B", "", "", "", "", "C"},
                                  {"C", "", "", "", "", ""}}));
    CPageStub* a = s.FindPage("A");
    CPageStub* b = s.FindPage("B");
    CPageStub* c = s.FindPage("C");
    EXPECT_EQ(S_OK, s.MoveAfter(a, nullptr));  // past its next sibling
    EXPECT_EQ("B A C", Tree(s));
    EXPECT_EQ(S_OK, s.MoveBefore(c, b));
    EXPECT_EQ("C B A", Tree(s));
    EXPECT_EQ(E_INVALIDARG, s.MoveAfter(a, nullptr));   // already last
    EXPECT_EQ(E_INVALIDARG, s.MoveBefore(c, nullptr));  // already first
    EXPECT_EQ(E_INVALIDARG, s.MoveAfter(a, a));

    CPageStub* d = new CPageStub;
    d->SetName("D");
    EXPECT_EQ(S_OK, s.InsertPage(d, b, nullptr, TRUE));
    EXPECT_EQ("C B(D) A", Tree(s));
    EXPECT_EQ(4, s.GetCount());
    // Moving B below its own child would cut it off: refused.
    EXPECT_EQ(E_INVALIDARG, s.MoveToList(d->GetNode(), nullptr, b->GetNode()));
    EXPECT_EQ(S_OK, s.MoveToList(b->GetNode(), b->GetNode(), b->GetNode()));  // onto itself
    EXPECT_EQ(S_OK, s.MoveToList(s.GetTree(), nullptr, a->GetNode()));
    EXPECT_EQ("A C B(D)", Tree(s));
    ExpectSoundTree(s, "after moves");

    EXPECT_EQ(S_OK, s.RemovePage(b, FALSE));  // D takes B's place
    EXPECT_EQ("A C D", Tree(s));
    EXPECT_EQ(3, s.GetCount());
    delete b;
    CPageStub* e = new CPageStub;
    e->SetName("E");
    EXPECT_EQ(S_OK, s.InsertPage(e, a, nullptr, FALSE));
    EXPECT_EQ("A(E) C D", Tree(s));
    EXPECT_EQ(4, s.GetCount());
    EXPECT_EQ(S_OK, s.RemovePage(a, TRUE));
    EXPECT_EQ("C D", Tree(s));
    EXPECT_EQ(2, s.GetCount());
    // A and E left the list: the caller owns them now.
    delete e;
    delete a;
}

TEST(PageStruct, StubUsersAndFlags) {
    CBackgroundStub bkg, other;
    CPageStub page;
    page.SetBackground(&bkg);
    EXPECT_EQ(1, bkg.GetUserCount());
    bkg.AddUser(&page);  // added twice
    EXPECT_EQ(2, bkg.GetUserCount());
    bkg.RemoveUser(&page);  // both entries go, the count drops by one
    EXPECT_TRUE(bkg.GetUsers().empty());
    EXPECT_EQ(1, bkg.GetUserCount());
    page.SetBackground(&other);
    EXPECT_EQ(1, other.GetUserCount());

    page.SetTemporary(TRUE);
    EXPECT_TRUE(page.IsModified());
    page.SetModified(FALSE);
    EXPECT_FALSE(page.IsTemporary());
}
