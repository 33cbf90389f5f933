// clock.h - the tests' one clock: milliseconds on the performance counter, for the figures the
// benchmarks print and the deadlines they keep (a Windows header: the driver and the benchmarks).
#ifndef TOLVIK_TESTS_CLOCK_H
#define TOLVIK_TESTS_CLOCK_H

#include <windows.h>

inline double now_ms()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

#endif
