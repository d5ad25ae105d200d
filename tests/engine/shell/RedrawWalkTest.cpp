// The document's redraw walk: which objects of the shown canvases are drawn
// into the back buffer, and in which order.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PixelFixtures.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "TestFiles.h"
#include "aCanvas.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aProject.h"

namespace {

const uint32_t kCover = 0x7F000002;

// A solid that, while `covering` is set, answers the region test as an
// object that covers the whole region.
class CoverObject : public SolidObject {
public:
    STDMETHOD_(int, TestRegion)(HRGN region) override {
        int hit = SolidObject::TestRegion(region);
        return covering && hit == 0 ? 0x45000 : hit;
    }
    static bool covering;
};
bool CoverObject::covering = false;

HRESULT CreateCoverObject(IUnknown** out) {
    return ComCreateInstance<CoverObject>(IID_IUnknown, reinterpret_cast<void**>(out));
}

class RedrawWalkTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        // {8E2C4A17-3B5D-4F60-9A71-C2D3E4F50617}
        const CLSID cover = {
            0x8E2C4A17, 0x3B5D, 0x4F60, {0x9A, 0x71, 0xC2, 0xD3, 0xE4, 0xF5, 0x06, 0x17}};
        registry.DefModule(MODULE_OBJECT, cover, IID_IUnknown, 0, 0, 0, 0, CreateCoverObject, 0,
                           kCover);
        CoverObject::covering = false;
        work.prjInfo.backgroundColor = 0x00402010;
        work.pages = {{"A", "", "Bkg", "Fg", "", ""}};
        work.foregrounds = {"Fg"};
        // Background: "under" beneath the page's objects.
        CanvasSpec under;
        under.objects = {PlacedSolid("under", 400, 300, 200, 200)};
        PutGreenBackground(work, under);
        // Page: a fake group (a solid that the test makes the parent of the
        // next two), its two children, then "top" over "under".
        CanvasSpec a;
        a.objects = {
            PlacedSolid("group", 100, 100, 20, 20), PlacedSolid("child1", 150, 100, 20, 20),
            PlacedSolid("child2", 200, 100, 20, 20), PlacedSolid("top", 400, 300, 100, 100)};
        a.objects[3].typeId = kCover;
        PutCanvas(work, "A", a);
        CanvasSpec fg;
        fg.kind = 3;
        fg.objects = {PlacedSolid("over", 700, 500, 40, 40)};
        PutCanvas(work, "Fg", fg);
        ASSERT_EQ(OpenWork(), S_OK);
        doc->GetTopics()->Init();
        doc->GetTopics()->Notify(TOPIC_ENTER, 0);
        doc->CreateBackBuffer(&logical);
        CCanvasSet* set = doc->GetCanvasSet();
        ASSERT_NE(set->foreground, nullptr);
        for (CCanvas* c :
             {(CCanvas*)set->background, (CCanvas*)set->page, (CCanvas*)set->foreground})
            for (int i = 0; i < c->GetObjectCount(); ++i) {
                CObjWrapper* w = c->GetObjectAt(i);
                objects.push_back(w);
                names.push_back(w->m_record.szName);
            }
        ASSERT_EQ(names,
                  (std::vector<std::string>{"under", "group", "child1", "child2", "top", "over"}));
        Obj(1)->color = 0x00FFFFFF;
        Obj(0)->color = 0x000000FF;  // under: red
        Obj(4)->color = 0x00FF0000;  // top: blue
        // The fake group holds the two children.
        objects[2]->m_parent = objects[1];
        objects[3]->m_parent = objects[1];
    }
    SolidObject* Obj(size_t i) { return dynamic_cast<SolidObject*>(objects[i]->m_base); }
    // Which objects one full redraw draws.
    std::vector<std::string> Drawn() {
        std::vector<int> before;
        for (size_t i = 0; i < objects.size(); ++i) before.push_back(Obj(i)->draws);
        doc->RedrawRegion(&logical);
        std::vector<std::string> drawn;
        for (size_t i = 0; i < objects.size(); ++i)
            if (Obj(i)->draws > before[i])
                drawn.push_back(names[i]);
        return drawn;
    }
    DWORD Pixel(int x, int y) { return pixtest::LockedPixel(doc->GetBackBuffer(), x, y); }

    RECT logical = {-112, -84, 912, 684};
    std::vector<CObjWrapper*> objects;
    std::vector<std::string> names;
};

typedef std::vector<std::string> Names;

// Shown means entered (render state 1 to 3) and visible; a hidden group
// takes its children with it; the rest of the walk goes on below the group.
TEST_F(RedrawWalkTest, ShownObjectsOfAllThreeCanvases) {
    const Names all = {"under", "group", "child1", "child2", "top", "over"};
    struct {
        const char* what;
        size_t object;
        bool visible;
        int state;
        Names drawn;
    } rows[] = {
        {"all entered and visible", 4, true, RS_HOLDING, all},
        {"entering counts as shown", 4, true, RS_ENTERED, all},
        {"leaving counts as shown", 4, true, RS_LEAVING, all},
        {"not entered", 4, true, RS_IDLE, {"under", "group", "child1", "child2", "over"}},
        {"exited", 5, true, RS_EXITED, {"under", "group", "child1", "child2", "top"}},
        {"hidden", 0, false, RS_HOLDING, {"group", "child1", "child2", "top", "over"}},
        {"hidden group", 1, false, RS_HOLDING, {"under", "top", "over"}},
        {"group not entered", 1, true, RS_IDLE, {"under", "top", "over"}},
        {"hidden child", 2, false, RS_HOLDING, {"under", "group", "child2", "top", "over"}},
    };
    for (auto& row : rows) {
        II_IRender* r = objects[row.object]->m_render;
        const int state = r->GetState();
        r->SetVisible(row.visible);
        r->SetState(row.state);
        EXPECT_EQ(Drawn(), row.drawn) << row.what;
        r->SetVisible(TRUE);
        r->SetState(state);
    }
}

// An object that covers the whole dirty region ends the walk of its own
// canvas (the page's objects under it are not drawn), not of the others.
TEST_F(RedrawWalkTest, CoveringObjectEndsItsCanvas) {
    CoverObject::covering = true;
    EXPECT_EQ(Drawn(), (Names{"under", "top", "over"}));
    // A region the covering object misses: the walk goes past it.
    RECT left = {0, 0, 320, 220};
    std::vector<int> before;
    for (size_t i = 0; i < objects.size(); ++i) before.push_back(Obj(i)->draws);
    doc->RedrawRegion(&left);
    Names drawn;
    for (size_t i = 0; i < objects.size(); ++i)
        if (Obj(i)->draws > before[i])
            drawn.push_back(names[i]);
    EXPECT_EQ(drawn, (Names{"under", "group", "child1", "child2"}));
}

// Bottom to top: the background's object under the page's, the snapshot
// under both; objects off the dirty region are not drawn.
TEST_F(RedrawWalkTest, OrderAndDirtyRegion) {
    doc->RedrawRegion(&logical);
    EXPECT_EQ(Pixel(112 + 400, 84 + 300), 0x0000FFu);  // top (blue) over under
    EXPECT_EQ(Pixel(112 + 320, 84 + 300), 0xFF0000u);  // under (red) alone
    EXPECT_EQ(Pixel(112 + 10, 84 + 10), 0x00FF00u);    // background fill
    RECT corner = {600, 400, 800, 600};
    std::vector<int> before;
    for (size_t i = 0; i < objects.size(); ++i) before.push_back(Obj(i)->draws);
    doc->RedrawRegion(&corner);
    Names drawn;
    for (size_t i = 0; i < objects.size(); ++i)
        if (Obj(i)->draws > before[i])
            drawn.push_back(names[i]);
    EXPECT_EQ(drawn, (Names{"over"}));
}

}  // namespace
