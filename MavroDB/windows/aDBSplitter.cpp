#include "aDBSplitter.h"

#include <windowsx.h>

#include "aDBModule.h"

static const char kSplitterClass[] = "MavroDBSplitter";

bool CDBSplitter::Create(HWND parent, const RECT& rect, UINT id) {
    WNDCLASSA wc = {};
    if (!GetClassInfoA(GetDBModule(), kSplitterClass, &wc)) {
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetDBModule();
        wc.hCursor = LoadCursor(nullptr, IDC_SIZEWE);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = kSplitterClass;
        if (!RegisterClassA(&wc))
            return false;
    }
    m_hWnd = CreateWindowExA(0, kSplitterClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                             rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                             parent, (HMENU)(UINT_PTR)id, GetDBModule(), this);
    return m_hWnd != nullptr;
}

void CDBSplitter::SetColumnInfo(int column, int ideal, int minimum) {
    m_ideal[column & 1] = ideal;
    m_minimum[column & 1] = minimum;
}

void CDBSplitter::RecalcLayout() {
    if (!m_hWnd)
        return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int width = rc.right, height = rc.bottom;
    // Column 0 takes its ideal width while column 1 keeps its minimum.
    int first = m_ideal[0];
    if (first < m_minimum[0])
        first = m_minimum[0];
    if (first > width - m_minimum[1])
        first = width - m_minimum[1];
    if (first < 0)
        first = 0;
    m_actual[0] = first;
    m_actual[1] = width - first;
    int pane0 = first > kBarWidth ? first - kBarWidth : 0;
    if (m_panes[0])
        MoveWindow(m_panes[0], 0, 0, pane0, height, TRUE);
    if (m_panes[1])
        MoveWindow(m_panes[1], first, 0, width - first, height, TRUE);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CALLBACK CDBSplitter::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDBSplitter* self;
    if (msg == WM_NCCREATE) {
        self = (CDBSplitter*)((CREATESTRUCTA*)lParam)->lpCreateParams;
        self->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)self);
    } else {
        self = (CDBSplitter*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        self->m_hWnd = nullptr;
        self->m_panes[0] = self->m_panes[1] = nullptr;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return self->Handle(msg, wParam, lParam);
}

void CDBSplitter::SetMovable(bool movable) {
    m_movable = movable;
    if (!movable && m_dragging) {
        m_dragging = false;
        ReleaseCapture();
    }
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CDBSplitter::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE:
            RecalcLayout();
            return 0;
        case WM_LBUTTONDOWN:
            if (!m_movable)
                return DefWindowProcA(m_hWnd, msg, wParam, lParam);
            m_dragging = true;
            SetCapture(m_hWnd);
            return 0;
        case WM_ERASEBKGND:
            if (!m_movable)
                return 1;
            break;
        case WM_MOUSEMOVE:
            if (m_dragging) {
                m_ideal[0] = GET_X_LPARAM(lParam) + kBarWidth / 2;
                RecalcLayout();
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (m_dragging) {
                m_dragging = false;
                if (msg == WM_LBUTTONUP)
                    ReleaseCapture();
            }
            return 0;
        case WM_NOTIFY: {
            // Each pane answers its own notifications, as it would alone.
            NMHDR* header = (NMHDR*)lParam;
            if (header && (header->hwndFrom == m_panes[0] || header->hwndFrom == m_panes[1]))
                return SendMessageA(header->hwndFrom, DBM_REFLECT_NOTIFY, wParam, lParam);
            return SendMessageA(GetParent(m_hWnd), msg, wParam, lParam);
        }
        case WM_COMMAND:
            return SendMessageA(GetParent(m_hWnd), msg, wParam, lParam);
    }
    if (msg >= WM_USER) {
        // A pane's notifications (the grid's) are meant for the dialog.
        HWND parent = GetParent(m_hWnd);
        if (parent && IsWindow(parent))
            return SendMessageA(parent, msg, wParam, lParam);
    }
    return DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

HWND CDBSplitter::GetActivePane() const {
    HWND focus = GetFocus();
    return focus && (focus == m_panes[0] || focus == m_panes[1]) ? focus : nullptr;
}

void CDBSplitter::SetActivePane(int column, HWND pane) {
    HWND target = pane ? pane : m_panes[column & 1];
    if (target)
        SetFocus(target);
}
