// UdpTransport: the program's sockets: one bound to port 6643 on every
// local address, where modules answer, and those that send the requests to
// port 6646 and may broadcast: one for any route, and one per local address
// a broadcast must leave from (a broadcast goes out of one adapter only).
// Requests to hosts without a module bring back errors; on sockets of their
// own they never hold up the receiving. Owns the sockets and one Winsock start.
#pragma once
#include <utility>
#include <vector>

#include "app/module/Transport.h"
#include "net/Socket.h"

namespace proto {

class UdpTransport : public Transport {
public:
    UdpTransport() {}
    ~UdpTransport();
    UdpTransport(const UdpTransport&) = delete;
    UdpTransport& operator=(const UdpTransport&) = delete;

    // False when the port cannot be had; error is Winsock's code.
    bool Open(unsigned short port, int& error);
    // Only the sending side, for a program whose receiving port is held
    // elsewhere (Receive then never has anything).
    bool OpenSending(int& error);
    bool Send(zo::IP to, const std::string& bytes, zo::IP via) override;
    bool Receive(unsigned ms, Datagram& out) override;

private:
    bool Start(int& error);   // Winsock, once
    bool MakeSender(zo::Socket& s, zo::IP local);

    zo::Socket socket, sender;
    std::vector<std::pair<unsigned long, zo::Socket>> via;   // bound senders by local address
    bool started = false;
};

} // namespace proto
