#include "aPlayerView.h"

#include <map>

#include "bHandles.h"
#include "bTraceLog.h"

const char CPlayerView::kClassName[] = "MavroRTView";

HWND CPlayerView::CreateMainWindow(const char* title) {
    TRACE_POINT();
    RegisterWndClass(kClassName, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                     LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
    return Create(kClassName, nullptr, nullptr, title,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                  WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
}

void CPlayerView::AttachWindow() {
    TRACE_POINT();
    if (!m_hWnd)
        return;
    // No caption and no border; still neither a child nor a pop-up, so the
    // window's destruction keeps ending the message loop.
    SetWindowLongA(m_hWnd, GWL_STYLE, WS_CLIPCHILDREN);
    ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
}

BOOL CPlayerView::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CPlayerView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & (WS_CHILD | WS_POPUP)) {
        handled = FALSE;
        return 0;
    }
    PostQuitMessage(1);
    return 0;
}

namespace {
struct WndMap {
    WndMap() { InitializeCriticalSection(&cs); }
    ~WndMap() { DeleteCriticalSection(&cs); }
    CRITICAL_SECTION cs;
    std::map<HWND, CPlayerView*> views;
};
WndMap& TheWndMap() {
    static WndMap map;
    return map;
}
}  // namespace

bool WndMapAdd(HWND window, CPlayerView* view) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    return m.views.emplace(window, view).second;
}

void WndMapRemove(HWND window) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    m.views.erase(window);
}

CPlayerView* WndMapLookup(HWND window) {
    WndMap& m = TheWndMap();
    CCriticalSectionLock lock(&m.cs);
    auto it = m.views.find(window);
    return it == m.views.end() ? nullptr : it->second;
}
