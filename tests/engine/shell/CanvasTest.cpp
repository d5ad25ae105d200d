// Canvases loaded from a written work through their stubs and the document:
// object tables, bad records, backgrounds with their fill, the stub counts,
// the redraw into the back buffer and page changes.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PixelFixtures.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "TestFiles.h"
#include "aCanvas.h"
#include "aExtMgr.h"
#include "aPageStruct.h"
#include "aPixBuf.h"
#include "aPlayerDoc.h"
#include "aProject.h"
#include "PlayerBuildFiles.h"

namespace {

class CanvasTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        ASSERT_TRUE(LoadTypeLib());
        work.prjInfo.backgroundColor = 0x00402010;
        work.pages = {{"A", "First", "Bkg", "", "", "B"}, {"B", "Second", "Bkg", "", "", ""}};
        PutGreenBackground(work);
    }
    CPageStub* Page(const char* name) { return doc->GetProject()->GetStructMan()->FindPage(name); }
};

// The first page opens with its background: size, fill and objects in
// table order; an unknown type and a record 4 bytes short are logged and
// the rest loads.
TEST_F(CanvasTest, ObjectTableWithBadEntries) {
    CanvasSpec a;
    a.objects = {PlacedSolid("one", 100, 100, 40, 40), PlacedSolid("short", 200, 200, 40, 40),
                 PlacedSolid("unknown", 0, 0, 10, 10), PlacedSolid("three", 300, 300, 40, 40)};
    // The second object's record is 4 bytes short: the third's marker is read
    // in its place and the loader realigns at the next table offset.
    a.objects[1].record.resize(a.objects[1].record.size() - 4);
    a.objects[2].typeId = 0x12345678;
    PutCanvas(work, "A", a);
    LogCapture log;
    ASSERT_EQ(OpenWork(), S_OK);
    CCanvasSet* set = doc->GetCanvasSet();
    ASSERT_NE(set, nullptr);
    ASSERT_NE(set->background, nullptr);
    EXPECT_EQ(set->background->GetWidth(), 800);
    EXPECT_EQ(set->background->GetHeight(), 600);
    ASSERT_NE(set->page, nullptr);
    std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "CreateObject(ObjType: 12345678) failed"));
    EXPECT_TRUE(Logged(text, "Error data in A while reading unknown"));
    // The short object's loader reads the next marker as its ability count
    // and refuses itself.
    ASSERT_EQ(set->page->GetObjectCount(), 2);
    EXPECT_STREQ(set->page->GetObjectAt(0)->m_record.szName, "one");
    EXPECT_STREQ(set->page->GetObjectAt(1)->m_record.szName, "three");
    EXPECT_EQ(set->page->GetObjectAt(1)->m_render->GetXCenter(), 300);
    // Objects not entered yet are not hit.
    POINT pt = {300, 300};
    EXPECT_EQ(set->HitTestCanvasSet(pt, nullptr), nullptr);
    EXPECT_NE(set->FindObjectByName("one", nullptr), nullptr);
    EXPECT_EQ(set->FindObjectByName("_one", nullptr), nullptr);
}

// A page holds 4,000 objects: those past them are dropped with one log line
// for the page, naming the first of them.
TEST_F(CanvasTest, ObjectsPastTheLimitAreLoggedOncePerPage) {
    CanvasSpec a;
    for (int i = 0; i < OBJWRAPPER_LIMIT + 3; ++i)
        a.objects.push_back(PlacedSolid("o" + std::to_string(i), 10, 10, 4, 4));
    PutCanvas(work, "A", a);
    LogCapture log;
    ASSERT_EQ(OpenWork(), S_OK);
    CCanvas* page = doc->GetCanvasSet()->page;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(OBJWRAPPER_LIMIT, page->GetObjectCount());
    EXPECT_STREQ("o3999", page->GetObjectAt(OBJWRAPPER_LIMIT - 1)->m_record.szName);
    std::string text = log.Text();
    const std::string line = "Canvas A: more than 4000 objects -- o4000 and those after it dropped";
    size_t at = text.find(line);
    ASSERT_NE(std::string::npos, at) << text.substr(0, 2000);
    EXPECT_EQ(std::string::npos, text.find("more than 4000 objects", at + line.size()));
}

// A group index names an entry of the table: an entry skipped before the
// group leaves no object, and the child still joins the group it names.
TEST_F(CanvasTest, GroupIndexNamesTheTableEntry) {
    ObjectPrefix prefix;
    std::vector<uint8_t> own = WriteGroupRecord(GroupRecord());
    prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
    std::vector<uint8_t> groupBytes = WriteObjectPrefix(prefix);
    CanvasObjectSpec group;
    group.typeId = GROUP_OBJECT_TYPE;
    group.name = "g";
    group.record.assign(groupBytes.begin(), groupBytes.end());
    CanvasSpec a;
    // Entry 0 points past ObjData and is skipped (its bytes carry no marker,
    // so the next entry realigns); entry 2 belongs to entry 1.
    a.objects = {PlacedSolid("lost", 0, 0, 10, 10), group, PlacedSolid("child", 100, 100, 40, 40)};
    a.objects[0].offset = 0x7FFFFFF0;
    a.objects[0].marker = 0;
    a.objects[2].group = 1;
    PutCanvas(work, "A", a);
    ASSERT_EQ(OpenWork(), S_OK);
    CCanvas* page = doc->GetCanvasSet()->page;
    CObjWrapper* g = page->GetObjectAt(0);
    ASSERT_NE(g, nullptr);
    ASSERT_TRUE(g->IsGroup());
    ASSERT_NE(g->Children(), nullptr);
    ASSERT_EQ(g->Children()->GetChildCount(), 1);
    EXPECT_STREQ(g->Children()->GetChild(0)->m_record.szName, "child");
}

// Counts, offsets and lengths beyond their streams are refused with a log
// line; the canvas keeps what is sound; a page that cannot load opens empty.
TEST_F(CanvasTest, CorruptCanvasTable) {
    struct {
        const char* what;
        int64_t count;
        int64_t offset;
        const char* log;
    } rows[] = {
        {"count past the table", 5000, -1, "Load-obj in canvas failed"},
        {"offset past ObjData", -1, 0x7FFFFFF0, "Error data in A while reading one"},
    };
    for (auto& row : rows) {
        delete doc;
        doc = nullptr;
        CanvasSpec a;
        a.objects = {PlacedSolid("one", 100, 100, 40, 40)};
        a.count = row.count;
        a.objects[0].offset = row.offset;
        PutCanvas(work, "A", a);
        LogCapture log;
        ASSERT_EQ(OpenWork(), S_OK) << row.what;
        EXPECT_TRUE(Logged(log.Text(), row.log)) << row.what;
    }
    // A page without its storage opens empty and temporary.
    delete doc;
    doc = nullptr;
    work.omit = {"A"};
    LogCapture log;
    ASSERT_EQ(OpenWork(), S_OK);
    EXPECT_TRUE(Logged(log.Text(), "Load Page A Failed,Create a temp page for opening"));
    EXPECT_TRUE(Page("A")->IsTemporary());
    EXPECT_EQ(doc->GetCanvasSet()->page->GetObjectCount(), 0);
}

// Two GetCanvas calls and one ReleaseCanvas leave the canvas loaded with
// count 1; the second unloads it.
TEST_F(CanvasTest, StubCounts) {
    ASSERT_EQ(OpenWork(), S_OK);
    CPageStub* b = Page("B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetLoadedCanvas(), nullptr);
    IStubCanvas* first = b->GetCanvas();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(b->GetCanvas(), first);
    b->ReleaseCanvas();
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_EQ(b->GetLoadedCanvas(), first);
    b->ReleaseCanvas();
    EXPECT_EQ(b->GetRefCount(), 0);
    EXPECT_EQ(b->GetLoadedCanvas(), nullptr);
}

// A foreground whose storage cannot be read is refused every time it is
// asked for, and holds nothing afterwards.
TEST_F(CanvasTest, ForegroundThatFailsStaysUnloaded) {
    work.pages[1].foreground = "Fore";
    work.foregrounds = {"Fore"};
    work.omit = {"Fore"};
    ASSERT_EQ(OpenWork(), S_OK);
    CForegroundStub* fore = Page("B")->GetForeground();
    ASSERT_NE(fore, nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(fore->GetCanvas(), nullptr) << attempt;
        EXPECT_EQ(fore->GetLoadedCanvas(), nullptr) << attempt;
        EXPECT_EQ(fore->GetRefCount(), 0) << attempt;
    }
}

// The redraw fills the dirty area from the background snapshot (the fill
// over the picture, the project colour around it) and draws the objects.
TEST_F(CanvasTest, RedrawFromSnapshot) {
    CanvasSpec a;
    a.objects = {PlacedSolid("box", 400, 300, 400, 300)};
    PutCanvas(work, "A", a);
    ASSERT_EQ(OpenWork(), S_OK);
    // A 1024 x 768 window over the 800 x 600 page: logical (-112, -84).
    RECT logical = {-112, -84, 912, 684};
    doc->CreateBackBuffer(&logical);
    CObjWrapper* box = doc->GetCanvasSet()->page->GetObjectAt(0);
    ASSERT_NE(box, nullptr);
    static_cast<CComObject<SolidObject>*>(box->m_base)->color = 0x000000FF;
    box->m_render->SetVisible(TRUE);
    // Only entered objects are drawn.
    box->m_render->SetState(RS_HOLDING);
    doc->RedrawRegion(&logical);
    IPixelBuffer* back = doc->GetBackBuffer();
    ASSERT_NE(back, nullptr);
    struct {
        int x, y;
        DWORD pixel;
    } rows[] = {{112, 84, 0x00FF00},  {911, 683, 0x00FF00}, {111, 83, 0x102040},
                {912, 684, 0x102040}, {0, 0, 0x102040},     {512, 384, 0xFF0000}};
    for (auto& r : rows)
        EXPECT_EQ(pixtest::LockedPixel(back, r.x, r.y), r.pixel) << r.x << "," << r.y;
}

// Navigation: "next page" shows B and logs the change; going back returns
// without recording.
TEST_F(CanvasTest, NextPageChangesCanvas) {
    ASSERT_EQ(OpenWork(), S_OK);
    doc->GetTopics()->Init();
    doc->GetTopics()->PushHistory(Page("A"));
    LogCapture log;
    doc->OnNavigate(32813);
    EXPECT_TRUE(Logged(log.Text(), "ChangeCanvasTo: B"));
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), Page("B"));
    EXPECT_EQ(Page("A")->GetRefCount(), 0);
    EXPECT_EQ(Page("A")->GetLoadedCanvas(), nullptr);
    EXPECT_TRUE(doc->GetTopics()->CanBack());
    doc->OnNavigate(32817);
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), Page("A"));
    EXPECT_TRUE(doc->GetTopics()->CanForward());
}

// A page whose object has entered (its steps are on the sequencer) closes
// cleanly: the document stops the object and lets it go without a crash.
TEST_F(CanvasTest, CloseAfterObjectEntered) {
    CanvasSpec a;
    a.objects = {PlacedSolid("box", 400, 300, 40, 40)};
    PutCanvas(work, "A", a);
    ASSERT_EQ(OpenWork(), S_OK);
    doc->GetTopics()->Init();
    doc->GetTopics()->Notify(TOPIC_ENTER, 0);
    CObjWrapper* box = doc->GetCanvasSet()->page->GetObjectAt(0);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->IsActive());
    delete doc;
    doc = nullptr;
}

}  // namespace

namespace {

// The play site finds a shown object by name, the page's before the
// background's; the object comes counted.
TEST_F(CanvasTest, TheSiteFindsShownObjectsByNamePageFirst) {
    CanvasSpec bkg;
    bkg.objects = {PlacedSolid("both", 50, 50, 20, 20), PlacedSolid("ground", 60, 60, 20, 20)};
    PutGreenBackground(work, bkg);
    CanvasSpec a;
    a.objects = {PlacedSolid("both", 100, 100, 40, 40)};
    PutCanvas(work, "A", a);
    ASSERT_EQ(OpenWork(), S_OK);
    CCanvasSet* set = doc->GetCanvasSet();
    ASSERT_NE(set, nullptr);
    IObjectFinder* finder = nullptr;
    ASSERT_EQ(
        doc->GetSite()->QueryInterface(__uuidof(IObjectFinder), reinterpret_cast<void**>(&finder)),
        S_OK);
    const struct {
        const char* name;
        CCanvas* canvas;
    } cases[] = {{"both", set->page}, {"ground", set->background}};
    for (const auto& c : cases) {
        IUnknown* found = nullptr;
        ASSERT_EQ(finder->FindObjectByName(c.name, &found), S_OK) << c.name;
        IUnknown* expected = nullptr;
        c.canvas->FindByName(c.name)->m_base->QueryInterface(IID_IUnknown,
                                                             reinterpret_cast<void**>(&expected));
        EXPECT_EQ(found, expected) << c.name;
        expected->Release();
        found->Release();
    }
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(finder->FindObjectByName("nobody", &none), E_FAIL);
    EXPECT_EQ(none, nullptr);
    finder->Release();
}

}  // namespace
