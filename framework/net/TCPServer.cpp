#include "net/TCPServer.h"

namespace zo {

TCPServer::TCPServer() : reserved{0, 0, 0, 0}, winsockStarted(StartWinsock() == 0) {}

// Without this the start made by the constructor would never be undone.
TCPServer::~TCPServer() {
    socket.Close();
    if (winsockStarted) WSACleanup();
}

} // namespace zo
