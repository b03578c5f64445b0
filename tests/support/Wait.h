// Bounded waits on a condition: tests never sleep a fixed time to synchronise.
#pragma once
#include "core/Win.h"

namespace zotest {

// Polls pred until it holds or ms milliseconds pass; returns its last value.
template <class Pred>
bool WaitUntil(Pred pred, DWORD ms = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= ms) return pred();
        Sleep(1);
    }
}

} // namespace zotest
