// Bounded waits for GUI tests: messages of the calling thread are pumped
// while a condition is polled, so windows keep working during the wait.
#pragma once
#include "core/Win.h"

namespace zotest {

// Dispatches every queued message of this thread; false when WM_QUIT came
// (it is posted again so a loop further out still sees it).
inline bool PumpMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return true;
}

// Pumps messages until pred holds or ms milliseconds pass; its last value.
template <class Pred>
bool PumpUntil(Pred pred, DWORD ms = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (pred()) return true;
        if (GetTickCount() - start >= ms) return pred();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

} // namespace zotest
