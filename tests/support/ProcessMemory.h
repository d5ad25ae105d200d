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
