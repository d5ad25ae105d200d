// COM for a test's scope, a message-only window that receives a filter
// graph's notices and a window that owns a video, for the media tests.
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

// A visible top-level window that owns a video or live picture.
class OwnerWindow {
public:
    OwnerWindow() {
        m_window = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                 200, nullptr, nullptr, nullptr, nullptr);
    }
    ~OwnerWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }
    // The video window: the owner's only child.
    HWND Child() const { return GetWindow(m_window, GW_CHILD); }

private:
    HWND m_window;
};
