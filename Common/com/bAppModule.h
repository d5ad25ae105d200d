// Application module and message loop of the window layer: a per-thread
// registry of message loops, idle handlers and message filters.
#pragma once

#include <windows.h>

#include <vector>

// Sees every message before it is dispatched; true swallows it.
class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() {}
};

// Gets idle time while no message is waiting; the result is ignored.
class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;

protected:
    ~CIdleHandler() {}
};

class CMessageLoop {
public:
    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and returns its parameter.
    int Run();

    // Messages after which idle processing does not restart.
    static BOOL IsIdleMessage(const MSG* msg);

    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnIdle(int idleCount);
    virtual ~CMessageLoop() {}

protected:
    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
    MSG m_msg{};
};

class CAppModuleBase {
public:
    CAppModuleBase();
    virtual ~CAppModuleBase();

    HRESULT Init(HINSTANCE instance);
    void Term();
    HINSTANCE GetModuleInstance() const { return m_instance; }

    // One loop per thread, registered by its thread id.
    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

    void Lock() { EnterCriticalSection(&m_cs); }
    void Unlock() { LeaveCriticalSection(&m_cs); }

private:
    struct LoopEntry {
        DWORD threadId;
        CMessageLoop* loop;
    };
    HINSTANCE m_instance;
    CRITICAL_SECTION m_cs;
    std::vector<LoopEntry> m_loops;
    bool m_initialised;
};
