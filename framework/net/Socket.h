// Socket: one Winsock handle with thin wrappers over its calls. It borrows
// the handle: whoever created the socket closes it (Close), destruction
// never does. StartWinsock is the start-up every Winsock user pairs with
// one WSACleanup.
#pragma once
#include "core/Win.h"
#include "net/SOCKADDR.h"

namespace zo {

// WSAStartup for version 2.2; the platform's result (0 on success).
int StartWinsock();

class Socket {
public:
    Socket() {}
    Socket& operator=(SOCKET s) {
        handle = s;
        return *this;
    }

    SOCKET Handle() const { return handle; }
    bool IsNull() const { return handle == INVALID_SOCKET; }
    bool NotNull() const { return handle != INVALID_SOCKET; }

    // socket(); true when a handle came back. The handle is not inherited
    // by child processes.
    bool Create(int family, int type, int protocol);
    // Takes the handle out (the socket stays open), leaving INVALID_SOCKET.
    // Atomic, so two threads closing one socket never both close the handle.
    SOCKET Detach();
    // Closes the socket if there is one; false when there was none.
    bool Close();

    bool Bind(const sockaddr* addr) { return bind(handle, addr, 16) == 0; }
    bool Connect(const sockaddr* addr) { return connect(handle, addr, 16) == 0; }
    bool Listen(int backlog) { return listen(handle, backlog) == 0; }
    bool Shutdown(int how) { return shutdown(handle, how) == 0; }
    int Send(const char* data, int length, int flags) { return send(handle, data, length, flags); }
    int Receive(char* buffer, int length, int flags) { return recv(handle, buffer, length, flags); }
    int SendTo(const char* data, int length, int flags, const sockaddr* to, int toLength) {
        return sendto(handle, data, length, flags, to, toLength);
    }
    int RecvFrom(char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
        return recvfrom(handle, buffer, length, flags, from, fromLength);
    }
    int SetSockOpt(int level, int option, const char* value, int length) {
        return setsockopt(handle, level, option, value, length);
    }
    int GetSockOpt(int level, int option, char* value, int* length) {
        return getsockopt(handle, level, option, value, length);
    }
    bool GetPeerAddr(SOCKADDR& addr);
    bool GetSockAddr(SOCKADDR& addr);

private:
    SOCKET handle = INVALID_SOCKET;
};

} // namespace zo
