// StopSignal: tells a paced worker thread to end. The worker waits on it
// between steps; the owner sets it. It owns its event. Without an event
// (the system refused one) the signal is a flag and the wait sleeps, so the
// worker keeps its pace and still ends within one wait of being told.
#pragma once
#include <atomic>

#include "core/Win.h"

namespace zo {

class StopSignal {
public:
    // withEvent false makes the signal the system would give when out of
    // events (a test uses it).
    explicit StopSignal(bool withEvent = true);
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Set();
    void Reset();
    // Waits up to ms; true when the signal is set (at once or meanwhile).
    bool Wait(DWORD ms) const;
    bool HasEvent() const { return event != nullptr; }

private:
    HANDLE event = nullptr;   // owned; manual reset
    std::atomic<bool> set{false};
};

} // namespace zo
