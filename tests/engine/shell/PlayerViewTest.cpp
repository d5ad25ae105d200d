// The player window as the entry creates it, and how its destruction ends
// the message loop.
#include <gtest/gtest.h>

#include <windows.h>

#include "aPlayerView.h"

namespace {

// Empties the thread's queue; true (with the code) when it held WM_QUIT.
bool TakeQuit(WPARAM* code) {
    bool quit = false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            quit = true;
            *code = m.wParam;
        } else {
            DispatchMessageA(&m);
        }
    }
    return quit;
}

}  // namespace

TEST(PlayerView, MainWindowAsCreated) {
    WPARAM code = 0;
    TakeQuit(&code);
    CPlayerView view(nullptr);
    HWND w = view.CreateMainWindow("demo.v1");
    ASSERT_NE(w, nullptr);
    char title[64] = "";
    GetWindowTextA(w, title, sizeof(title));
    EXPECT_STREQ("demo.v1", title);
    // Overlapped window, clipping children and siblings, not shown yet.
    EXPECT_EQ(0x06CF0000u, (DWORD)GetWindowLongA(w, GWL_STYLE));
    EXPECT_EQ(0x00040100u, (DWORD)GetWindowLongA(w, GWL_EXSTYLE) & 0x00040100u);
    EXPECT_EQ((DWORD)(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS), (DWORD)GetClassLongA(w, GCL_STYLE));
    EXPECT_EQ((ULONG_PTR)LoadCursor(nullptr, IDC_ARROW), GetClassLongPtrA(w, GCLP_HCURSOR));
    EXPECT_EQ((ULONG_PTR)(COLOR_WINDOW + 1), GetClassLongPtrA(w, GCLP_HBRBACKGROUND));
    EXPECT_EQ(nullptr, GetParent(w));
    EXPECT_EQ(nullptr, GetMenu(w));
    view.DestroyWindow();
    TakeQuit(&code);
}

TEST(PlayerView, DestroyingTheTopLevelWindowEndsTheLoopWithOne) {
    enum Prepare { AS_CREATED, ATTACHED, MADE_POPUP };
    const struct {
        Prepare prepare;
        bool quits;
    } cases[] = {
        {AS_CREATED, true},
        {ATTACHED, true},     // borderless and maximised, still top-level
        {MADE_POPUP, false},  // a pop-up's destruction is left to the default
    };
    for (const auto& c : cases) {
        WPARAM code = 0;
        TakeQuit(&code);
        CPlayerView view(nullptr);
        HWND w = view.CreateMainWindow("t");
        ASSERT_NE(w, nullptr);
        if (c.prepare == ATTACHED) {
            view.AttachWindow();
            LONG style = GetWindowLongA(w, GWL_STYLE);
            EXPECT_EQ(0, style & (WS_CAPTION | WS_THICKFRAME | WS_POPUP | WS_CHILD))
                << std::hex << style;
            EXPECT_NE(0, style & WS_CLIPCHILDREN);
        } else if (c.prepare == MADE_POPUP) {
            SetWindowLongA(w, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN);
        }
        view.DestroyWindow();
        // A destroyed window leaves the window-handle map.
        EXPECT_EQ(WndMapLookup(w), nullptr) << c.prepare;
        code = 0;
        EXPECT_EQ(c.quits, TakeQuit(&code)) << c.prepare;
        if (c.quits) {
            EXPECT_EQ(1u, code) << c.prepare;
        }
    }
}

// The view's point and rectangle conversions, as objects reach them through
// the view service, agree with the device context's own mapping as
// PrepareDC sets it up.
TEST(PlayerView, ConversionsMatchThePreparedMapping) {
    WPARAM code = 0;
    TakeQuit(&code);
    CPlayerView view(nullptr);
    HWND w = view.CreateMainWindow("map");
    ASSERT_NE(w, nullptr);
    SetWindowPos(w, nullptr, 0, 0, 517, 391, SWP_NOZORDER | SWP_NOACTIVATE);
    HDC dc = GetDC(w);
    view.PrepareDC(dc);
    IViewService* service = &view;
    const POINT points[] = {{0, 0}, {13, -7}, {250, 180}, {-40, 600}};
    for (POINT p : points) {
        POINT mine = p, gdi = p;
        service->LPtoDPPoint(&mine);
        LPtoDP(dc, &gdi, 1);
        EXPECT_EQ(gdi.x, mine.x) << p.x << "," << p.y;
        EXPECT_EQ(gdi.y, mine.y) << p.x << "," << p.y;
        service->DPtoLPPoint(&mine);
        EXPECT_EQ(p.x, mine.x);
        EXPECT_EQ(p.y, mine.y);
    }
    RECT r = {10, 20, 110, 220}, gdi = r;
    service->LPtoDPRect(&r);
    LPtoDP(dc, reinterpret_cast<POINT*>(&gdi), 2);
    EXPECT_TRUE(EqualRect(&r, &gdi));
    ReleaseDC(w, dc);
    view.DestroyWindow();
    TakeQuit(&code);
}
