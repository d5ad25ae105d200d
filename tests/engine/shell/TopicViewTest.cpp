// The view over a document: mapping of the page into the window, the
// context menu as the options build it, and the topic manager's routing of
// its page history and the tick coalescing.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPageStruct.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "PlayerBuildFiles.h"

namespace {

class TopicViewTest : public PlayerFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadTypeLib());
        work.pages = {{"A", "", "Bkg", "", "", "B"},
                      {"B", "", "Bkg", "", "", "C"},
                      {"C", "", "Bkg", "", "", ""}};
        PutGreenBackground(work);
        CanvasSpec a;
        work.canvasInfo["A"] = MakeCanvasInfo(a);
        ASSERT_EQ(OpenWork("view.mrt"), S_OK);
        ASSERT_TRUE(ShowView("view"));
        doc->StartPresentation();
    }
};

// A 1024 x 768 window over a 800 x 600 page: logical (0, 0) is device
// (112, 84); the window is borderless and maximised.
TEST_F(TopicViewTest, PageCentredInTheWindow) {
    RECT c;
    GetClientRect(view->m_hWnd, &c);
    ASSERT_EQ(c.right, 1024);
    ASSERT_EQ(c.bottom, 768);
    POINT p = {0, 0};
    view->LPtoDPPoint(&p);
    EXPECT_EQ(p.x, 112);
    EXPECT_EQ(p.y, 84);
    POINT back = {112, 84};
    view->DPtoLPPoint(&back);
    EXPECT_EQ(back.x, 0);
    EXPECT_EQ(back.y, 0);
    // Wine adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(
        (DWORD)GetWindowLongA(view->m_hWnd, GWL_STYLE) & ~(DWORD)(WS_VISIBLE | WS_CLIPSIBLINGS),
        (DWORD)(WS_CLIPCHILDREN | WS_MAXIMIZE));
}

// Context menu: options 0, 1 and 3 but not 2 give the playback items, a
// separator and exit; pause is grey while paused.
TEST_F(TopicViewTest, ContextMenuByOptions) {
    doc->GetProject()->SetOptions(1 | 2 | 8);
    doc->GetPlaySite()->SetPlayState(1);
    HMENU m = view->BuildContextMenu();
    ASSERT_NE(m, nullptr);
    std::vector<UINT> ids;
    for (int i = 0; i < GetMenuItemCount(m); ++i) ids.push_back(GetMenuItemID(m, i));
    EXPECT_EQ(ids, (std::vector<UINT>{32955, 32954, 32951, 0, 32950}));
    EXPECT_TRUE(GetMenuState(m, 32955, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(m, 32954, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(m);
    doc->GetProject()->SetOptions(2 | 8);
    EXPECT_EQ(view->BuildContextMenu(), nullptr);
}

// History: back twice from the first page does nothing; a page shown after
// going back drops the forward entries; back and forward never record.
TEST_F(TopicViewTest, History) {
    CTopicManager* t = doc->GetTopics();
    StructMan* pages = doc->GetProject()->GetStructMan();
    EXPECT_EQ(t->Back(), nullptr);
    EXPECT_EQ(t->Back(), nullptr);
    doc->OnNavigate(32813);  // B
    doc->OnNavigate(32813);  // C
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("C"));
    doc->OnNavigate(32817);  // back to B
    doc->OnNavigate(32817);  // back to A
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(), pages->FindPage("A"));
    EXPECT_TRUE(t->CanForward());
    doc->OnNavigate(32814);  // the start page, recorded
    EXPECT_FALSE(t->CanForward());
    EXPECT_TRUE(t->IsPageVisited("a"));
    EXPECT_FALSE(t->IsPageVisited("C"));
}

// WM_TIMER advances the page clock; further queued ticks are dropped.
TEST_F(TopicViewTest, TicksCoalesce) {
    for (int i = 0; i < 5; ++i) PostMessageA(view->m_hWnd, WM_TIMER, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, view->m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE));
    DispatchMessageA(&m);
    EXPECT_FALSE(PeekMessageA(&m, view->m_hWnd, WM_TIMER, WM_TIMER, PM_NOREMOVE));
}

}  // namespace
