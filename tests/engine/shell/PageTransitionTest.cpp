// Page transitions in the running view: a page that enters or leaves with a
// transition composes its frames from the page image and the fill image
// through the effect's move plug-in (made by class id through the extension
// manager), input waits meanwhile, and the page settles after the time.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "FakeMove.h"
#include "ObjectRecordWriter.h"
#include "PixelFixtures.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPageStruct.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "aTransition.h"
#include "PlayerBuildFiles.h"

namespace {

// An effect record: the move entry (class id, no record of its own), then
// empty region and mask entries.
std::string MoveEffectRecord() {
    std::string r(reinterpret_cast<const char*>(&kFakeMoveClsid), sizeof(CLSID));
    return r + std::string(32, '\0');
}

DWORD g_now = 0;
DWORD FakeNow() {
    return g_now;
}

// A red solid 100 x 600 at the page's left edge (logical x 0 to 100).
CanvasObjectSpec RedStrip() {
    return PlacedObject(kSolidType, "strip", 50, 300, 100, 600);
}

class PageTransitionTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        registry.DefModule(MODULE_PLUGIN, kFakeMoveClsid, __uuidof(ITransitionMove), 0, 0, 0, 0,
                           CreateFakeMove, 0, 0);
        ASSERT_TRUE(LoadTypeLib());
        work.prjInfo.backgroundColor = 0x00402010;
        work.pages = {{"A", "", "Bkg", "", "", "B"}, {"B", "", "Bkg", "", "", ""}};
        PutGreenBackground(work);
        g_now = 0;
    }
    // A with the red strip; B, when given, plain.
    void Start(const PageProps& a, const PageProps* b = nullptr) {
        if (b) {
            CanvasSpec plain;
            plain.properties = PageProperties(*b);
            work.canvasInfo["B"] = MakeCanvasInfo(plain);
        }
        CanvasSpec page;
        page.objects = {RedStrip()};
        page.properties = PageProperties(a);
        PutCanvas(work, "A", page);
        ASSERT_EQ(OpenWork("t.mrt"), S_OK);
        doc->GetSequencer()->SetTimeSource(FakeNow);
        ASSERT_TRUE(ShowView("t"));
        // Red strip on A, before the presentation puts it on screen.
        CObjWrapper* strip = doc->GetCanvasSet()->page->GetObjectAt(0);
        ASSERT_NE(strip, nullptr);
        static_cast<CComObject<SolidObject>*>(strip->m_base)->color = 0x000000FF;
        doc->StartPresentation();
    }
    void Advance(DWORD ms) {
        g_now += ms;
        doc->GetSequencer()->Tick();
    }
    // Redraws the whole window into the back buffer (device pixel (0, 0) is
    // the buffer's first pixel) and reads one pixel.
    DWORD Pixel(int x, int y) {
        RECT logical;
        GetClientRect(view->m_hWnd, &logical);
        POINT corner = {0, 0};
        view->DPtoLPPoint(&corner);
        OffsetRect(&logical, corner.x, corner.y);
        HRGN all = CreateRectRgnIndirect(&logical);
        doc->InvalidateRegion(all);
        DeleteObject(all);
        return pixtest::LockedPixel(doc->GetBackBuffer(), x, y);
    }
};

const DWORD kProject = 0x102040, kGreen = 0x00FF00, kRed = 0xFF0000;

// Entering over 1000 ms: at 500 ms the left half of the window shows the
// fill (the project colour) and the right half the page's left half, moved
// by 512 px: the page's left band of 112 px, the red strip, then green.
// Input waits; after the time the page holds and shows in place.
TEST_F(PageTransitionTest, EnterFrameAtHalfShowsFillAndPage) {
    PageProps a;
    a.enter = 1000;
    a.enterEffect = MoveEffectRecord();
    Start(a);
    CSequencer* seq = doc->GetSequencer();
    ASSERT_NE(doc->GetTransition(), nullptr);
    EXPECT_TRUE(seq->InTransition());
    EXPECT_EQ(doc->GetTopics()->OnInput(view->m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(400, 300)), 1);
    Advance(500);
    ASSERT_NE(doc->GetTransition(), nullptr);
    struct {
        int x, y;
        DWORD pixel;
    } rows[] = {
        {0, 300, kProject},   {300, 300, kProject}, {511, 300, kProject},  // fill
        {512, 300, kProject}, {623, 300, kProject},                        // page's band
        {624, 300, kRed},     {723, 300, kRed},                            // strip
        {724, 300, kGreen},   {1023, 300, kGreen},                         // background
    };
    for (auto& r : rows) EXPECT_EQ(Pixel(r.x, r.y), r.pixel) << r.x << "," << r.y;

    Advance(499);
    EXPECT_TRUE(seq->InTransition());
    Advance(1);
    EXPECT_FALSE(seq->InTransition());
    EXPECT_EQ(doc->GetTransition(), nullptr);
    EXPECT_EQ(doc->GetFillImage(), nullptr);
    EXPECT_EQ(doc->GetPageImage(), nullptr);
    EXPECT_EQ(seq->GetClock(), 0u);
    struct {
        int x, y;
        DWORD pixel;
    } settled[] = {{111, 300, kProject}, {112, 300, kRed}, {300, 300, kGreen}, {911, 683, kGreen}};
    for (auto& r : settled) EXPECT_EQ(Pixel(r.x, r.y), r.pixel) << r.x << "," << r.y;
}

// Leaving over 1000 ms: the next page comes only when the time is up; the
// leave effect runs its progress backwards (at half time the same frame).
TEST_F(PageTransitionTest, LeaveChangesPageAfterTheTime) {
    PageProps a;
    a.leave = 1000;
    a.leaveEffect = MoveEffectRecord();
    Start(a);
    EXPECT_EQ(doc->GetTransition(), nullptr);
    Advance(200);
    StructMan* pages = doc->GetProject()->GetStructMan();
    doc->OnNavigate(32813);
    ASSERT_NE(doc->GetTransition(), nullptr);
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("A"));
    Advance(500);
    EXPECT_EQ(Pixel(300, 300), kProject);
    EXPECT_EQ(Pixel(650, 300), kRed);
    EXPECT_EQ(Pixel(800, 300), kGreen);
    Advance(499);
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("A"));
    LogCapture log;
    Advance(1);
    EXPECT_TRUE(Logged(log.Text(), "ChangeCanvasTo: B"));
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("B"));
    EXPECT_FALSE(doc->GetSequencer()->InTransition());
    EXPECT_EQ(doc->GetTransition(), nullptr);
}

// Asked to leave again while leaving, the page starts its leave afresh: the
// frames follow the new start and the change comes a full time after it.
TEST_F(PageTransitionTest, LeaveAskedAgainStartsAfresh) {
    PageProps a;
    a.leave = 1000;
    a.leaveEffect = MoveEffectRecord();
    Start(a);
    StructMan* pages = doc->GetProject()->GetStructMan();
    doc->OnNavigate(32813);
    Advance(600);
    doc->OnNavigate(32813);
    Advance(500);
    EXPECT_EQ(Pixel(300, 300), kProject);
    EXPECT_EQ(Pixel(650, 300), kRed);
    EXPECT_EQ(Pixel(800, 300), kGreen);
    Advance(499);
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("A"));
    Advance(1);
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("B"));
}

// A page left without a transition stays on screen as the fill of the next
// page's entry: at half time the strip left of B shows A with its red strip.
TEST_F(PageTransitionTest, NextPageEntersOverTheLastOne) {
    PageProps a, b;
    b.enter = 1000;
    b.enterEffect = MoveEffectRecord();
    Start(a, &b);
    doc->OnNavigate(32813);
    StructMan* pages = doc->GetProject()->GetStructMan();
    ASSERT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("B"));
    ASSERT_NE(doc->GetTransition(), nullptr);
    Advance(500);
    struct {
        int x, y;
        DWORD pixel;
    } rows[] = {
        {111, 300, kProject}, {112, 300, kRed},     {211, 300, kRed},     {212, 300, kGreen},  // A
        {511, 300, kGreen},   {512, 300, kProject}, {623, 300, kProject},  // B's band
        {624, 300, kGreen},   {1023, 300, kGreen},                         // B
    };
    for (auto& r : rows) EXPECT_EQ(Pixel(r.x, r.y), r.pixel) << r.x << "," << r.y;
}

// A page without transition times enters and holds at once.
TEST_F(PageTransitionTest, NoTimeNoTransition) {
    PageProps a;
    a.enterEffect = MoveEffectRecord();
    Start(a);
    EXPECT_EQ(doc->GetTransition(), nullptr);
    EXPECT_FALSE(doc->GetSequencer()->InTransition());
    EXPECT_EQ(Pixel(112, 300), kRed);
}

}  // namespace
