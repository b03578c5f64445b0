// Seconds on the performance counter, and the goal line, for the benchmark
// programs.
#pragma once
#include <cstdio>

#include "core/Win.h"

inline double BenchNow() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Prints "<name> goal: met" or "NOT met"; 0 when met, else 1.
inline int BenchGoal(const char* name, bool met) {
    printf("%s goal: %s\n", name, met ? "met" : "NOT met");
    return met ? 0 : 1;
}
