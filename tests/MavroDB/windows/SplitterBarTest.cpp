#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "aDBSplitter.h"

// The bar follows a drag only while it is movable.
TEST(SplitterBar, AFixedBarDoesNotMove) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 600, 200, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent != nullptr);
    CDBSplitter splitter;
    RECT rc = {0, 0, 600, 200};
    ASSERT_TRUE(splitter.Create(parent, rc, 0xE900));
    HWND left = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, splitter.m_hWnd,
                                nullptr, nullptr, nullptr);
    HWND right = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1,
                                 splitter.m_hWnd, nullptr, nullptr, nullptr);
    splitter.SetPane(0, left);
    splitter.SetPane(1, right);
    splitter.SetColumnInfo(0, 200, 10);
    splitter.RecalcLayout();
    ASSERT_EQ(200, splitter.GetColumnWidth(0));
    auto drag = [&](int from, int to) {
        SendMessageA(splitter.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, 50));
        SendMessageA(splitter.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, 50));
        SendMessageA(splitter.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(to, 50));
    };
    splitter.SetMovable(false);
    drag(198, 350);
    EXPECT_EQ(200, splitter.GetColumnWidth(0));
    splitter.SetMovable(true);
    drag(198, 350);
    EXPECT_EQ(352, splitter.GetColumnWidth(0));
    DestroyWindow(parent);
}

namespace {

std::vector<UINT>* g_parentGot = nullptr;

LRESULT CALLBACK RecordingParent(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_parentGot && (msg == WM_COMMAND || msg >= WM_USER))
        g_parentGot->push_back(msg);
    return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

// A dialog's panes talk to the dialog through the splitter between them.
TEST(SplitterBar, PanesReachTheParentAndTheFocusedPaneIsActive) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingParent;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SplitterBarParent";
    RegisterClassA(&wc);
    std::vector<UINT> got;
    g_parentGot = &got;
    HWND parent = CreateWindowExA(0, "SplitterBarParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent != nullptr);
    CDBSplitter splitter;
    RECT rc = {0, 0, 400, 100};
    ASSERT_TRUE(splitter.Create(parent, rc, 0xE900));
    HWND panes[2];
    for (HWND& p : panes)
        p = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, splitter.m_hWnd,
                            nullptr, nullptr, nullptr);
    splitter.SetPane(0, panes[0]);
    splitter.SetPane(1, panes[1]);
    // A command and a grid's notification (0x509) go on; painting does not.
    SendMessageA(splitter.m_hWnd, WM_COMMAND, MAKEWPARAM(5, 0), 0);
    SendMessageA(splitter.m_hWnd, 0x509, 0, 0);
    SendMessageA(splitter.m_hWnd, WM_PAINT, 0, 0);
    EXPECT_EQ((std::vector<UINT>{WM_COMMAND, 0x509}), got);
    SetActiveWindow(parent);
    splitter.SetActivePane(1);
    EXPECT_EQ(panes[1], splitter.GetActivePane());
    splitter.SetActivePane(0, panes[0]);
    EXPECT_EQ(panes[0], splitter.GetActivePane());
    SetFocus(parent);
    EXPECT_EQ(nullptr, splitter.GetActivePane());
    g_parentGot = nullptr;
    DestroyWindow(parent);
}
