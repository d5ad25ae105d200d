#include "bAppModule.h"

#include <algorithm>

#include "bHandles.h"

template <class T>
static BOOL RemoveFrom(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end())
        return FALSE;
    list.erase(it);
    return TRUE;
}

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
    if (!filter)
        return FALSE;
    m_filters.push_back(filter);
    return TRUE;
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    return RemoveFrom(m_filters, filter);
}

BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) {
    if (!handler)
        return FALSE;
    m_idleHandlers.push_back(handler);
    return TRUE;
}

BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
    return RemoveFrom(m_idleHandlers, handler);
}

BOOL CMessageLoop::IsIdleMessage(const MSG* msg) {
    switch (msg->message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
        case WM_PAINT:
        case 0x0118:  // the system's caret blink timer
            return FALSE;
    }
    return TRUE;
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg) {
    // Newest filter first; a handler may remove itself while it runs.
    for (size_t i = m_filters.size(); i-- > 0;) {
        if (i < m_filters.size() && m_filters[i]->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int) {
    for (size_t i = 0; i < m_idleHandlers.size(); ++i) m_idleHandlers[i]->OnIdle();
    return FALSE;
}

int CMessageLoop::Run() {
    BOOL doIdle = TRUE;
    int idleCount = 0;
    for (;;) {
        while (doIdle && !::PeekMessageA(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                doIdle = FALSE;
        }
        BOOL ret = ::GetMessageA(&m_msg, nullptr, 0, 0);
        if (ret == -1)
            continue;  // an error; go on waiting
        if (!ret)
            break;  // WM_QUIT
        if (!PreTranslateMessage(&m_msg)) {
            ::TranslateMessage(&m_msg);
            ::DispatchMessageA(&m_msg);
        }
        if (IsIdleMessage(&m_msg)) {
            doIdle = TRUE;
            idleCount = 0;
        }
    }
    return (int)m_msg.wParam;
}

CAppModuleBase::CAppModuleBase() : m_instance(nullptr), m_initialised(false) {
    InitializeCriticalSection(&m_cs);
}

CAppModuleBase::~CAppModuleBase() {
    DeleteCriticalSection(&m_cs);
}

HRESULT CAppModuleBase::Init(HINSTANCE instance) {
    m_instance = instance ? instance : GetModuleHandleA(nullptr);
    m_initialised = true;
    return S_OK;
}

void CAppModuleBase::Term() {
    {
        CCriticalSectionLock lock(&m_cs);
        m_loops.clear();
    }
    m_initialised = false;
}

BOOL CAppModuleBase::AddMessageLoop(CMessageLoop* loop) {
    if (!loop)
        return FALSE;
    DWORD id = GetCurrentThreadId();
    CCriticalSectionLock lock(&m_cs);
    for (const LoopEntry& e : m_loops) {
        if (e.threadId == id)
            return FALSE;  // one loop per thread
    }
    m_loops.push_back({id, loop});
    return TRUE;
}

BOOL CAppModuleBase::RemoveMessageLoop() {
    DWORD id = GetCurrentThreadId();
    CCriticalSectionLock lock(&m_cs);
    for (auto it = m_loops.begin(); it != m_loops.end(); ++it) {
        if (it->threadId == id) {
            m_loops.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

CMessageLoop* CAppModuleBase::GetMessageLoop(DWORD threadId) {
    CCriticalSectionLock lock(&m_cs);
    for (const LoopEntry& e : m_loops) {
        if (e.threadId == threadId)
            return e.loop;
    }
    return nullptr;
}
