#include "net/UDPSender.h"

namespace zo {

UDPSender::UDPSender() : winsockStarted(StartWinsock() == 0) {}

UDPSender::~UDPSender() {
    socket.Close();
    if (winsockStarted) WSACleanup();
}

void UDPSender::SendTo(const char* data, int length, unsigned short port, IP ip) {
    SOCKADDR to;
    to.SetPortW(port);
    to.SetIp(ip);
    socket.SendTo(data, length, 0, to, SOCKADDR::Size());
}

} // namespace zo
