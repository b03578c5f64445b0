// Clock: milliseconds for the request engine, replaceable in tests. The
// system clock is the monotonic tick count; nothing here owns anything.
#pragma once
#include <cstdint>

#include "core/Win.h"

namespace proto {

class Clock {
public:
    virtual ~Clock() {}
    virtual uint64_t Now() = 0;
};

class SystemClock : public Clock {
public:
    uint64_t Now() override { return GetTickCount64(); }
};

} // namespace proto
