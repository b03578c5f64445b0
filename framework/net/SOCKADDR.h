// SOCKADDR: an IPv4 socket address, 16 bytes laid out as sockaddr_in, handed
// straight to the Winsock calls. Ports are stored in network order; the
// setters and getters say which order they take. A plain value.
#pragma once
#include <cstring>

#include "core/Win.h"
#include "net/IP.h"

namespace zo {

class SOCKADDR {
public:
    SOCKADDR() {
        memset(&addr, 0, sizeof(addr));
        addr.sin_family = AF_INET;
    }
    SOCKADDR(const SOCKADDR& other) { memcpy(&addr, &other.addr, sizeof(addr)); }
    SOCKADDR& operator=(const SOCKADDR& other) {
        memmove(&addr, &other.addr, sizeof(addr));
        return *this;
    }

    operator sockaddr*() { return reinterpret_cast<sockaddr*>(&addr); }
    operator const sockaddr*() const { return reinterpret_cast<const sockaddr*>(&addr); }
    operator sockaddr_in*() { return &addr; }
    operator const sockaddr_in*() const { return &addr; }

    // Port in host order, e.g. 6646.
    void SetPortW(unsigned short port) { addr.sin_port = htons(port); }
    // Port already in network order, e.g. taken from another record.
    void SetPort0(unsigned short port) { addr.sin_port = port; }
    unsigned short GetPort() const { return ntohs(addr.sin_port); }
    unsigned short GetPort0() const { return addr.sin_port; }

    void SetIp(IP ip) { addr.sin_addr = ip.Handle(); }
    IP GetIp() const { return IP(addr.sin_addr); }
    void SetFamily(short family) { addr.sin_family = family; }
    short Family() const { return addr.sin_family; }
    static int Size() { return sizeof(sockaddr_in); }

private:
    sockaddr_in addr;
};

static_assert(sizeof(SOCKADDR) == 16, "SOCKADDR must keep the layout of sockaddr_in");

} // namespace zo
