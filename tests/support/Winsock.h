// Winsock for the life of a scope: every test, child role or helper that
// uses sockets holds one, so the start-up is paired with its clean-up on
// every path, a failed assertion included.
#pragma once
#include "net/Socket.h"

namespace zotest {

class Winsock {
public:
    Winsock() : started_(zo::StartWinsock() == 0) {}
    ~Winsock() {
        if (started_) WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool Started() const { return started_; }

private:
    bool started_;
};

} // namespace zotest
