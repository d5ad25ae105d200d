#include <gtest/gtest.h>

#include "bAppModule.h"
#include "bWindow.h"

namespace {

// On its first idle call posts the messages of the test: idle runs first
// because the queue starts empty.
class PostingIdle : public CIdleHandler {
public:
    explicit PostingIdle(HWND w) : window(w) {}
    BOOL OnIdle() override {
        if (calls++ == 0) {
            PostMessageA(window, WM_APP + 2, 0, 0);  // swallowed by the filter
            PostMessageA(window, WM_APP + 1, 0, 0);  // dispatched
            PostMessageA(window, WM_APP + 3, 0, 0);  // ends the loop with 7
        }
        return FALSE;
    }
    HWND window;
    int calls = 0;
};

class SwallowFilter : public CMessageFilter {
public:
    explicit SwallowFilter(UINT msg) : swallow(msg) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == swallow) {
            ++swallowed;
            return TRUE;
        }
        return FALSE;
    }
    UINT swallow;
    int swallowed = 0;
};

class CTestWindow : public CWindowImplBase {
public:
    BEGIN_MSG_MAP(CTestWindow)
    MESSAGE_HANDLER(WM_APP + 1, OnCount)
    MESSAGE_HANDLER(WM_APP + 3, OnQuit)
    END_MSG_MAP()
    LRESULT OnCount(UINT, WPARAM wParam, LPARAM, BOOL&) {
        ++counted;
        return (LRESULT)wParam * 2;
    }
    LRESULT OnQuit(UINT, WPARAM, LPARAM, BOOL&) {
        PostQuitMessage(7);
        return 0;
    }
    void OnFinalMessage(HWND) override { finalCalled = true; }
    int counted = 0;
    bool finalCalled = false;
};

}  // namespace

TEST(MessageLoop, FiltersSwallowAndIdleRunsAndQuitCodeReturns) {
    CTestWindow w;
    CWindowImplBase::RegisterWndClass("MavroTestWindow", 0, nullptr, nullptr);
    ASSERT_NE(nullptr, w.Create("MavroTestWindow", nullptr, nullptr, "t", WS_OVERLAPPED, 0));
    EXPECT_EQ(&w, CWindowImplBase::FromHandle(w.m_hWnd));
    EXPECT_EQ(42, SendMessageA(w.m_hWnd, WM_APP + 1, 21, 0));

    CMessageLoop loop;
    PostingIdle idle(w.m_hWnd);
    SwallowFilter filter(WM_APP + 2);
    loop.AddIdleHandler(&idle);
    loop.AddMessageFilter(&filter);
    MSG pending;
    while (PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&pending);
    EXPECT_EQ(7, loop.Run());
    EXPECT_EQ(1, filter.swallowed);
    EXPECT_EQ(2, w.counted);
    EXPECT_GE(idle.calls, 1);

    w.DestroyWindow();
    EXPECT_TRUE(w.finalCalled);
    EXPECT_EQ(nullptr, w.m_hWnd);
}

TEST(MessageLoop, IdleDoesNotRestartAfterPaintOrMouseMove) {
    MSG m{};
    const UINT quiet[] = {WM_PAINT, WM_NCMOUSEMOVE, 0x118, WM_MOUSEMOVE};
    for (UINT q : quiet) {
        m.message = q;
        EXPECT_FALSE(CMessageLoop::IsIdleMessage(&m)) << q;
    }
    m.message = WM_TIMER;
    EXPECT_TRUE(CMessageLoop::IsIdleMessage(&m));
}

TEST(AppModule, OneLoopPerThread) {
    CAppModuleBase module;
    ASSERT_EQ(S_OK, module.Init(nullptr));
    CMessageLoop a, b;
    EXPECT_TRUE(module.AddMessageLoop(&a));
    EXPECT_FALSE(module.AddMessageLoop(&b));
    EXPECT_EQ(&a, module.GetMessageLoop());
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(nullptr, module.GetMessageLoop());
    module.Term();
}
