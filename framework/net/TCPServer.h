// TCPServer: a stream socket endpoint the tool does not use yet; only its
// construction exists. It holds one Winsock start and closes its socket.
#pragma once
#include "core/Base.h"
#include "net/Socket.h"

namespace zo {

class TCPServer : public _class {
public:
    TCPServer();
    ~TCPServer();
    Socket* GetSocket() { return &socket; }

private:
    Socket socket;
    unsigned reserved[4];
    bool winsockStarted;
};

} // namespace zo
