// The view's hooked mode: one editing object at a time takes the window's
// focus, key, mouse and clipboard messages over; the view paints first and
// keeps everything else.
#include "aObjClass.h"
#include "aPlayerDoc.h"
#include "aPlayerSite.h"
#include "aPlayerView.h"
#include "bTraceLog.h"

bool CPlayerView::InstallWndProc(WNDPROC proc) {
    SetLastError(0);
    LONG_PTR old = SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    DWORD err = GetLastError();
    if (!old && err) {
        LOG_WIN32_ERROR(err, "ChangeWndProc failed");
        return false;
    }
    return true;
}

void CPlayerView::DropHook() {
    IWndMsgHandler* hook = m_hook;
    m_hook = nullptr;
    if (hook)
        hook->Release();
}

BOOL CPlayerView::ChangeWndProc(BOOL on, IUnknown* object) {
    WNDPROC proc = nullptr;
    HCURSOR cursor = nullptr;
    BOOL result = TRUE;
    PAINTSTRUCT ps;
    if (on) {
        if (m_hook)
            ChangeWndProc(FALSE, nullptr);
        IWndMsgHandler* hook = nullptr;
        if (!object ||
            FAILED(object->QueryInterface(__uuidof(IWndMsgHandler),
                                          reinterpret_cast<void**>(&hook))) ||
            !hook)
            return TRUE;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc)
            PrepareDC(dc);
        WndHookRecord record = {sizeof(WndHookRecord), m_hWnd, dc};
        if (FAILED(hook->BeginHook(&record))) {
            hook->Release();
            result = FALSE;
        } else {
            m_hook = hook;
            proc = &CPlayerView::HookedWindowProc;
            InvalidateRect(m_hWnd, nullptr, TRUE);
        }
    } else {
        if (!m_hook)
            return TRUE;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc)
            PrepareDC(dc);
        // Cleared first: the hook may ask to be removed while it ends.
        IWndMsgHandler* hook = m_hook;
        m_hook = nullptr;
        hook->FocusLost();
        hook->EndHook();
        hook->Release();
        proc = &CPlayerView::ViewWindowProc;
        cursor = LoadCursor(nullptr, IDC_ARROW);
    }
    EndPaint(m_hWnd, &ps);
    if (proc)
        InstallWndProc(proc);
    if (cursor) {
        SetClassLongPtrA(m_hWnd, GCLP_HCURSOR, 0);
        SetCursor(cursor);
    }
    return result;
}

LRESULT CALLBACK CPlayerView::HookedWindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    CPlayerView* view = WndMapLookup(window);
    if (!view || view->m_hWnd != window)
        return 0;
    try {
        return view->HandleHooked(message, wParam, lParam);
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return 0;
    }
}

LRESULT CPlayerView::HandleHooked(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_hook)
        return HandleMessage(message, wParam, lParam);
    // Mouse points reach the object in page units; other messages keep their
    // parameters (key data is no point).
    LPARAM logical = lParam;
    bool mouse = message >= WM_MOUSEMOVE && message <= WM_RBUTTONUP;
    if (mouse) {
        POINT p = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
        DPtoLPPoint(&p);
        logical = MAKELPARAM(p.x, p.y);
    }
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_CONTEXTMENU:
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return ToHook(message, wParam, lParam, logical);
        case WM_PAINT:
            OnPaint();
            ToHook(message, wParam, lParam, logical);
            return 0;
        case WM_COMMAND: {
            UINT id = LOWORD(wParam);
            CPlayerSite* site = m_pDoc ? m_pDoc->GetPlaySite() : nullptr;
            if (id >= 32006 && id <= 32008 && site && site->IsPlaying())
                return ToHook(message, wParam, lParam, logical);
            break;
        }
        default:
            if (mouse)
                return ToHook(message, wParam, lParam, logical);
            break;
    }
    return HandleMessage(message, wParam, lParam);
}

LRESULT CPlayerView::ToHook(UINT message, WPARAM wParam, LPARAM lParam, LPARAM hookLParam) {
    // Held for the call: the object may end the hook while it handles.
    CComPtr<IWndMsgHandler> hook(m_hook);
    HWND window = m_hWnd;
    HDC dc = GetDC(window);
    if (dc)
        PrepareDC(dc);
    LRESULT result = 0;
    HRESULT answer = hook->HandleMessage(window, dc, message, wParam, hookLParam, &result);
    if (answer == 1 && message != WM_PAINT)
        result = HandleMessage(message, wParam, lParam);
    if (dc)
        ReleaseDC(window, dc);
    return result;
}
