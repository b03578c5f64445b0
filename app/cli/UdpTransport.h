// UdpTransport: the program's two sockets: one bound to port 6643 on every
// local address, where modules answer, and one that sends the requests to
// port 6646 and may broadcast. Requests to hosts without a module bring
// back errors; on a socket of their own they never hold up the receiving.
// Owns both sockets and one Winsock start.
#pragma once
#include "app/cli/Transport.h"
#include "net/Socket.h"

namespace cli {

class UdpTransport : public Transport {
public:
    UdpTransport() {}
    ~UdpTransport();
    UdpTransport(const UdpTransport&) = delete;
    UdpTransport& operator=(const UdpTransport&) = delete;

    // False when the port cannot be had; error is Winsock's code.
    bool Open(unsigned short port, int& error);
    bool Send(zo::IP to, const std::string& bytes) override;
    bool Receive(unsigned ms, Datagram& out) override;

private:
    zo::Socket socket, sender;
    bool started = false;
};

} // namespace cli
