#include <gtest/gtest.h>

#include <windows.h>

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
