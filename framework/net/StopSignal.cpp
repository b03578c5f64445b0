// The stop signal: a manual-reset event, or a flag and a sleep without one.
#include "net/StopSignal.h"

namespace zo {

StopSignal::StopSignal(bool withEvent) {
    if (withEvent) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

StopSignal::~StopSignal() {
    if (event) CloseHandle(event);
}

void StopSignal::Set() {
    set.store(true);
    if (event) SetEvent(event);
}

void StopSignal::Reset() {
    set.store(false);
    if (event) ResetEvent(event);
}

bool StopSignal::Wait(DWORD ms) const {
    if (set.load()) return true;
    DWORD r = event ? WaitForSingleObject(event, ms) : WAIT_FAILED;
    if (r == WAIT_OBJECT_0) return true;
    if (r == WAIT_FAILED) Sleep(ms);
    return set.load();
}

} // namespace zo
