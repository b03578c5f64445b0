// The program's socket.
#include "app/module/UdpTransport.h"

#include <vector>

#include "app/module/ModuleProtocol.h"
#include "net/SOCKADDR.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace proto {

UdpTransport::~UdpTransport() {
    socket.Close();
    sender.Close();
    for (auto& v : via) v.second.Close();
    if (started) WSACleanup();
}

bool UdpTransport::Start(int& error) {
    error = 0;
    if (!started) {
        if (zo::StartWinsock() != 0) {
            error = WSAGetLastError();
            return false;
        }
        started = true;
    }
    return true;
}

bool UdpTransport::Open(unsigned short port, int& error) {
    if (!Start(error)) return false;
    if (!socket.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
        error = WSAGetLastError();
        return false;
    }
    // Another program on the port must make this fail, not share it.
    BOOL on = TRUE;
    socket.SetSockOpt(SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof(on));
    // A request to a host without a module brings back "port unreachable",
    // which would otherwise fail the next receive.
    BOOL off = FALSE;
    DWORD bytes = 0;
    WSAIoctl(socket.Handle(), SIO_UDP_CONNRESET, &off, sizeof(off), nullptr, 0, &bytes, nullptr, nullptr);
    // Every module on the segment answers a broadcast at once.
    int buffer = 4 << 20;
    socket.SetSockOpt(SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
    zo::SOCKADDR local;
    local.SetIp(zo::IP(static_cast<unsigned long>(INADDR_ANY)));
    local.SetPortW(port);
    if (!socket.Bind(local)) {
        error = WSAGetLastError();
        socket.Close();
        return false;
    }
    if (!MakeSender(sender, zo::IP())) {
        error = WSAGetLastError();
        return false;
    }
    return true;
}

bool UdpTransport::OpenSending(int& error) {
    if (!Start(error)) return false;
    if (!sender.IsNull() || MakeSender(sender, zo::IP())) return true;
    error = WSAGetLastError();
    return false;
}

bool UdpTransport::MakeSender(zo::Socket& s, zo::IP local) {
    if (!s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) return false;
    BOOL on = TRUE;
    s.SetSockOpt(SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof(on));
    // A request to a host that is not there waits in the system until its
    // address look-up fails (seconds); a fast sweep would fill a small
    // send buffer with them and stall.
    int buffer = 4 << 20;
    s.SetSockOpt(SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
    if (local.IsNull()) return true;
    zo::SOCKADDR at;
    at.SetIp(local);
    at.SetPortW(0);
    if (s.Bind(at)) return true;
    s.Close();
    return false;
}

bool UdpTransport::Send(zo::IP to, const std::string& bytes, zo::IP from) {
    zo::Socket* out = &sender;
    if (!from.IsNull()) {
        out = nullptr;
        for (auto& v : via)
            if (v.first == from.ToLong()) out = &v.second;
        if (!out) {
            via.emplace_back(from.ToLong(), zo::Socket());
            out = &via.back().second;
            // An address that cannot be bound sends through any route.
            if (!MakeSender(*out, from)) out = &sender;
        }
        if (out->IsNull()) out = &sender;
    }
    zo::SOCKADDR a;
    a.SetIp(to);
    a.SetPortW(kModulePort);
    return out->SendTo(bytes.data(), static_cast<int>(bytes.size()), 0, a, zo::SOCKADDR::Size()) ==
           static_cast<int>(bytes.size());
}

bool UdpTransport::Receive(unsigned ms, Datagram& out) {
    if (socket.IsNull()) {
        Sleep(ms);
        return false;
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket.Handle(), &set);
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) return false;
    static std::vector<char> buffer(65536);
    zo::SOCKADDR from;
    int fromLength = zo::SOCKADDR::Size();
    int n = socket.RecvFrom(buffer.data(), static_cast<int>(buffer.size()), 0, from, &fromLength);
    if (n < 0) return false;   // an unreachable host's echo; nothing to read
    out.bytes.assign(buffer.data(), static_cast<size_t>(n));
    out.from = from.GetIp();
    return true;
}

} // namespace proto
