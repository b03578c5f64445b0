// Transport: how the engine sends requests and takes replies. The program
// uses UdpTransport; tests put a scripted one in its place. A transport owns
// its socket (or script); the engine borrows it.
#pragma once
#include <string>

#include "net/IP.h"

namespace proto {

struct Datagram {
    std::string bytes;
    zo::IP from;
};

class Transport {
public:
    virtual ~Transport() {}
    // One datagram to port 6646 of `to`, leaving from the local address via
    // (IP::None: wherever the system routes it); false when it could not leave.
    virtual bool Send(zo::IP to, const std::string& bytes, zo::IP via) = 0;
    // Waits up to ms for one datagram; false when none came.
    virtual bool Receive(unsigned ms, Datagram& out) = 0;
};

} // namespace proto
