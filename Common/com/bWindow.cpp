#include "bWindow.h"

#include "bTraceLog.h"

// The object being created, handed from Create to the first message.
static thread_local CWindowImplBase* t_creating = nullptr;

CWindowImplBase::~CWindowImplBase() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

ATOM CWindowImplBase::RegisterWndClass(const char* className, UINT style, HCURSOR cursor,
                                       HBRUSH background, HINSTANCE instance) {
    if (!instance)
        instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc;
    if (GetClassInfoExA(instance, className, &wc))
        return (ATOM)1;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExA(&wc);
}

HWND CWindowImplBase::Create(const char* className, HWND parent, const RECT* rect,
                             const char* title, DWORD style, DWORD exStyle, HMENU menu,
                             HINSTANCE instance) {
    if (m_hWnd)
        return nullptr;
    if (!instance)
        instance = GetModuleHandleA(nullptr);
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = CW_USEDEFAULT, cy = CW_USEDEFAULT;
    if (rect) {
        x = rect->left;
        y = rect->top;
        cx = rect->right - rect->left;
        cy = rect->bottom - rect->top;
    }
    t_creating = this;
    HWND h = CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, menu, instance,
                             this);
    t_creating = nullptr;
    return h;
}

BOOL CWindowImplBase::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

CWindowImplBase* CWindowImplBase::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    return reinterpret_cast<CWindowImplBase*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowImplBase* self = FromHandle(hwnd);
    if (!self && t_creating) {
        // The first message of a window made by Create (before WM_NCCREATE too).
        self = t_creating;
        t_creating = nullptr;
        AttachHandle(self, hwnd);
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return Dispatch(self, hwnd, msg, wParam, lParam);
}

void CWindowImplBase::AttachHandle(CWindowImplBase* self, HWND hwnd) {
    self->m_hWnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
}

LRESULT CWindowImplBase::Dispatch(CWindowImplBase* self, HWND hwnd, UINT msg, WPARAM wParam,
                                  LPARAM lParam) {
    LRESULT result = 0;
    BOOL handled = FALSE;
    // Exceptions must not cross the system's frames: caught and logged here.
    try {
        handled = self->ProcessWindowMessage(hwnd, msg, wParam, lParam, result);
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        handled = TRUE;
        result = 0;
    } catch (...) {
        LOG_MSG("Unknown Exception !!!");
        handled = TRUE;
        result = 0;
    }
    if (!handled)
        result = DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hwnd);
    }
    return result;
}
