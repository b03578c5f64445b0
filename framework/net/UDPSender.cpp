#include "net/UDPSender.h"

namespace zo {

UDPSender::UDPSender() : winsockStarted(StartWinsock() == 0) {}

UDPSender::~UDPSender() {
    socket.Close();
    if (winsockStarted) WSACleanup();
}

bool UDPSender::OpenBroadcast(unsigned short port) {
    if (!socket.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) return false;
    BOOL on = TRUE;
    socket.SetSockOpt(SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof(on));
    SOCKADDR all;
    all.SetIp(IP(IP::None));
    all.SetPortW(port);
    socket.Connect(all);
    return true;
}

void UDPSender::SendTo(const char* data, int length, unsigned short port, IP ip) {
    SOCKADDR to;
    to.SetPortW(port);
    to.SetIp(ip);
    socket.SendTo(data, length, 0, to, SOCKADDR::Size());
}

} // namespace zo
