#include "ProcessMemory.h"

#include <psapi.h>

#include <vector>

ProcessMemory MeasureProcessMemory() {
    PROCESS_MEMORY_COUNTERS_EX c;
    ZeroMemory(&c, sizeof(c));
    c.cb = sizeof(c);
    ProcessMemory m = {0, 0, 0};
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c),
                             sizeof(c))) {
        m.held = c.PrivateUsage;
        m.resident = c.WorkingSetSize;
        m.peak = c.PeakWorkingSetSize;
    }
    return m;
}

CMemoryPeakWatch::CMemoryPeakWatch() : m_start(MeasureProcessMemory()), m_stop(0), m_most(0) {
    m_most = (LONGLONG)m_start.resident;
    m_thread = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

CMemoryPeakWatch::~CMemoryPeakWatch() {
    InterlockedExchange(&m_stop, 1);
    if (m_thread) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
}

DWORD WINAPI CMemoryPeakWatch::Watch(void* self) {
    CMemoryPeakWatch* w = static_cast<CMemoryPeakWatch*>(self);
    while (!w->m_stop) {
        LONGLONG now = (LONGLONG)MeasureProcessMemory().resident;
        if (now > w->m_most)
            w->m_most = now;
        Sleep(1);
    }
    return 0;
}

ULONGLONG CMemoryPeakWatch::Growth() {
    ProcessMemory now = MeasureProcessMemory();
    ULONGLONG most = (ULONGLONG)m_most;
    if (now.resident > most)
        most = now.resident;
    if (now.peak > m_start.peak && now.peak > most)
        most = now.peak;
    return most > m_start.resident ? most - m_start.resident : 0;
}

ULONGLONG HeapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD n = GetProcessHeaps((DWORD)heaps.size(), heaps.data());
    if (n > heaps.size()) {
        heaps.resize(n);
        n = GetProcessHeaps(n, heaps.data());
    }
    ULONGLONG total = 0;
    for (DWORD i = 0; i < n && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY e;
        e.lpData = nullptr;
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += e.cbData + e.cbOverhead;
        HeapUnlock(heaps[i]);
    }
    return total;
}
