// What the process holds in memory, for tests that bound what an operation
// may take. Every test runs in a process of its own, so the peak since the
// test began is the peak of the process.
#pragma once

#include <windows.h>

#include <psapi.h>

inline PROCESS_MEMORY_COUNTERS ProcessMemory() {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof(c);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c));
    return c;
}

// Bytes by which the peak working set has grown since construction.
class PeakMemoryGrowth {
public:
    PeakMemoryGrowth() : m_start(ProcessMemory().WorkingSetSize) {}
    SIZE_T Bytes() const {
        SIZE_T peak = ProcessMemory().PeakWorkingSetSize;
        return peak > m_start ? peak - m_start : 0;
    }

private:
    SIZE_T m_start;
};

// Bytes of every heap of the process in use by blocks now (their overhead
// counted): an allocation count that memory freed to a heap and kept there
// does not blur.
inline ULONGLONG HeapBytesInUse() {
    HANDLE heaps[256];
    DWORD n = GetProcessHeaps(256, heaps);
    ULONGLONG total = 0;
    for (DWORD i = 0; i < n && i < 256; ++i) {
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
