// The clock of the benchmarks: seconds from the performance counter.
#pragma once

#include <windows.h>

inline double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return (double)f.QuadPart;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / frequency;
}

// Seconds of the fastest of `runs` timed calls.
template <class F>
double FastestRun(F&& op, int runs) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        op();
        const double t = Now() - t0;
        if (t < best)
            best = t;
    }
    return best;
}

// The same after one untimed call that warms the caches up.
template <class F>
double BestOf(F&& op, int runs) {
    op();
    return FastestRun(op, runs);
}
