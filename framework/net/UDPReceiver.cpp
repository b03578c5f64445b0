#include "net/UDPReceiver.h"

#include <cstdlib>

#include "core/Print.h"

namespace zo {

UDPReceiver::UDPReceiver() : winsockStarted(StartWinsock() == 0) {}

UDPReceiver::~UDPReceiver() {
    Stop();
    if (winsockStarted) WSACleanup();
}

void UDPReceiver::Stop() {
    // Closing the socket makes the blocked recvfrom fail, so the wait ends
    // once the handler call in progress (if any) has returned.
    socket.Close();
    if (thread.Handle()) thread.Wait(INFINITE);
    datagramHandler.Unbind();
    thread.Close();
}

bool UDPReceiver::Tune(unsigned short port) { return Bind(port) && Start(); }

bool UDPReceiver::Bind(unsigned short port) {
    if (socket.NotNull()) return false;
    // A loop that ended on a receive error left its handle behind. It has
    // already let go of the socket, so it is at most freeing its buffer;
    // waiting keeps it from touching the socket made below.
    if (thread.Handle()) {
        thread.Wait(INFINITE);
        thread.Close();
    }
    if (!socket.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) return false;
    SOCKADDR local;
    local.SetPortW(port);
    local.SetIp(IP(htonl(INADDR_ANY)));
    if (!socket.Bind(local)) {
        socket.Close();
        Print(L"绑定失败：UDPReceiver::Tune（ushort port）");
        return false;
    }
    // The platform's default buffer (208 KiB here) overflows when a few
    // hundred modules answer one broadcast at once; a larger one absorbs the
    // burst while the handler catches up. The system may grant less.
    int bufferBytes = ReceiveBufferBytes;
    socket.SetSockOpt(SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes), sizeof(bufferBytes));
    return true;
}

bool UDPReceiver::Start() {
    if (socket.IsNull() || thread.Handle()) return false;
    if (thread.StartThread(this, &UDPReceiver::ReceiveLoop)) return true;
    // Nobody would ever receive on a bound socket without its thread, and a
    // valid socket would refuse every later Tune.
    socket.Close();
    return false;
}

void UDPReceiver::ReceiveLoop() {
    char* buffer = static_cast<char*>(malloc(BufferSize));
    SOCKADDR from;
    for (;;) {
        int fromLength = SOCKADDR::Size();
        int n = buffer ? socket.RecvFrom(buffer, BufferSize, 0, from, &fromLength) : -1;
        if (n < 0) break;
        auto handler = datagramHandler.Procedure();
        if (handler) handler(buffer, n, from);
    }
    // The owner's teardown may have closed the socket already; Close is
    // atomic, so exactly one side closes it.
    socket.Close();
    free(buffer);
}

} // namespace zo
