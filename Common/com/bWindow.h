// Window layer: one window procedure for every window class of the system.
// A class derives from CWindowImplBase, registers its class once and answers
// messages in ProcessWindowMessage (written with the MESSAGE_HANDLER macros).
#pragma once

#include <windows.h>

class CWindowImplBase {
public:
    CWindowImplBase() : m_hWnd(nullptr) {}
    virtual ~CWindowImplBase();

    // Registers the class on first use (style, cursor, background brush).
    static ATOM RegisterWndClass(const char* className, UINT style, HCURSOR cursor,
                                 HBRUSH background, HINSTANCE instance = nullptr);

    // Creates the window of a class registered with RegisterWndClass.
    HWND Create(const char* className, HWND parent, const RECT* rect, const char* title,
                DWORD style, DWORD exStyle, HMENU menu = nullptr, HINSTANCE instance = nullptr);
    BOOL DestroyWindow();
    HWND Detach() {
        HWND h = m_hWnd;
        m_hWnd = nullptr;
        return h;
    }
    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    operator HWND() const { return m_hWnd; }

    // Answers a message; true when handled, with the result in result.
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalMessage(HWND) {}

    // The object behind a window of this layer, or null.
    static CWindowImplBase* FromHandle(HWND hwnd);

    HWND m_hWnd;

protected:
    // For a class whose windows are made by the system (a control in a
    // dialog template): ties a new object to its window on WM_NCCREATE, then
    // hands every message to Dispatch.
    static void AttachHandle(CWindowImplBase* self, HWND hwnd);
    static LRESULT Dispatch(CWindowImplBase* self, HWND hwnd, UINT msg, WPARAM wParam,
                            LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

#define BEGIN_MSG_MAP(cls)                                                        \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, \
                              LRESULT& lResult) override {                        \
        BOOL bHandled = TRUE;                                                     \
        (void)hWnd;                                                               \
        (void)wParam;                                                             \
        (void)lParam;                                                             \
        (void)bHandled;
// Handler signature: LRESULT OnX(UINT msg, WPARAM, LPARAM, BOOL& handled).
#define MESSAGE_HANDLER(message, func)                  \
    if (uMsg == (message)) {                            \
        bHandled = TRUE;                                \
        lResult = func(uMsg, wParam, lParam, bHandled); \
        if (bHandled)                                   \
            return TRUE;                                \
    }
#define MESSAGE_RANGE_HANDLER(first, last, func)        \
    if (uMsg >= (first) && uMsg <= (last)) {            \
        bHandled = TRUE;                                \
        lResult = func(uMsg, wParam, lParam, bHandled); \
        if (bHandled)                                   \
            return TRUE;                                \
    }
#define CHAIN_MSG_MAP(base)                                              \
    if (base::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) \
        return TRUE;
#define END_MSG_MAP() \
    return FALSE;     \
    }
