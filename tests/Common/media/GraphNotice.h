// COM for a test's scope and a message-only window that receives a filter
// graph's notices, for the media control tests.
#pragma once

#include <windows.h>

class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

class NotifyWindow {
public:
    NotifyWindow() {
        m_window =
            CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~NotifyWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }
    // The next notice's parameter, or false when none came within the guard
    // time (a stuck graph must not block the run).
    bool Wait(UINT message, LPARAM* param, DWORD guardMs = 10000) {
        const DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, m_window, 0, 0, PM_REMOVE)) {
                if (msg.message == message) {
                    *param = msg.lParam;
                    return true;
                }
                DispatchMessageA(&msg);
            }
            if (GetTickCount() - start > guardMs)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }

private:
    HWND m_window;
};
