#include "net/Socket.h"

namespace zo {

int StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

bool Socket::Create(int family, int type, int protocol) {
    handle = socket(family, type, protocol);
    if (handle == INVALID_SOCKET) return false;
    // Sockets are inheritable by default: a child process (the console a
    // first trace opens is one) would keep the socket open after Close, and
    // a receive blocked on it would never end.
    SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return true;
}

SOCKET Socket::Detach() {
    static_assert(sizeof(SOCKET) == sizeof(void*), "SOCKET is exchanged as a pointer");
    void* old = InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&handle),
                                           reinterpret_cast<void*>(INVALID_SOCKET));
    return reinterpret_cast<SOCKET>(old);
}

bool Socket::Close() {
    SOCKET s = Detach();
    if (s == INVALID_SOCKET) return false;
    closesocket(s);
    return true;
}

bool Socket::GetPeerAddr(SOCKADDR& addr) {
    int length = 16;
    return getpeername(handle, addr, &length) == 0;
}

bool Socket::GetSockAddr(SOCKADDR& addr) {
    int length = 16;
    return getsockname(handle, addr, &length) == 0;
}

} // namespace zo
