// UDPSender: one datagram socket that sends to any address and port. The
// owner creates the socket through GetSocket() (and may allow broadcast or
// connect it); the sender closes it. Each sender holds one Winsock start.
#pragma once
#include "core/Base.h"
#include "net/IP.h"
#include "net/Socket.h"

namespace zo {

class UDPSender : public _class {
public:
    UDPSender();
    ~UDPSender();

    // Makes the socket, allows broadcast and connects it to
    // 255.255.255.255:port (port in host order); false when it cannot be made.
    bool OpenBroadcast(unsigned short port);
    // False when there is no socket; else closes it.
    bool Close() { return socket.Close(); }
    Socket* GetSocket() { return &socket; }
    // One datagram to ip:port (port in host order). Send failures are not
    // reported: a module that is not there simply does not answer.
    void SendTo(const char* data, int length, unsigned short port, IP ip);

private:
    Socket socket;
    bool winsockStarted;
};

} // namespace zo
