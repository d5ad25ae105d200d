// Memory this process holds as the system counts it, for checks with wide
// margins (never timings): what it holds now, and the most that a piece of
// work made it hold.
#pragma once

#include <windows.h>

struct ProcessMemory {
    ULONGLONG held;      // private bytes now
    ULONGLONG resident;  // bytes in memory now
    ULONGLONG peak;      // the most bytes in memory at once since the process began
};

ProcessMemory MeasureProcessMemory();

// Bytes of every heap of the process in use by blocks now (their overhead
// counted): an allocation count that memory freed to a heap and kept there
// does not blur.
ULONGLONG HeapBytesInUse();

// The most that resident memory grows over what it was when the watch
// began. The system's peak counts when it rises past the peak of earlier
// work; a thread of the watch looks at the resident memory meanwhile, so a
// peak below an earlier one is seen too.
class CMemoryPeakWatch {
public:
    CMemoryPeakWatch();
    ~CMemoryPeakWatch();
    CMemoryPeakWatch(const CMemoryPeakWatch&) = delete;
    CMemoryPeakWatch& operator=(const CMemoryPeakWatch&) = delete;

    ULONGLONG Growth();

private:
    static DWORD WINAPI Watch(void* self);
    ProcessMemory m_start;
    volatile LONG m_stop;
    volatile LONGLONG m_most;  // the most resident bytes the thread saw
    HANDLE m_thread;
};
