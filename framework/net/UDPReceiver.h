// UDPReceiver: a datagram socket bound to a local port and the thread that
// receives on it, handing every datagram to datagramHandler on that thread,
// one at a time, in arrival order. The receiver owns its socket and thread;
// the handler's object is borrowed and must outlive the receiver, whose
// destruction waits until the last handler call has returned.
#pragma once
#include "core/Base.h"
#include "net/SOCKADDR.h"
#include "net/Socket.h"
#include "net/Thread.h"
#include "window/Function.h"

namespace zo {

class UDPReceiver : public _class {
public:
    // The largest datagram IPv4 can carry (65507 bytes) fits.
    static const int BufferSize = 65536;
    // The socket's own receive buffer, asked for on Tune.
    static const int ReceiveBufferBytes = 4 << 20;

    UDPReceiver();
    ~UDPReceiver();

    // Called with the bytes (not terminated), their count and the sender.
    // Set it before Tune; replace it only while no receive thread runs.
    Function<void, char*, int, SOCKADDR&> datagramHandler;

    // Binds port on every local address and starts the receive thread. False
    // when already tuned, when the socket cannot be made or bound (traced),
    // or when the thread cannot start; then the receiver stays idle.
    bool Tune(unsigned short port);
    // Tune in two steps: Bind claims the port (datagrams then wait in the
    // socket's buffer) and Start begins receiving them on the thread. Bind
    // fails as Tune does; Start is false when nothing is bound, when the
    // thread already runs, or when it cannot start (the socket is closed).
    bool Bind(unsigned short port);
    bool Start();
    Socket* GetSocket() { return &socket; }
    // Closes the socket and waits for the receive thread, so no handler call
    // runs once it returns; the handler is released (set it again before
    // tuning the receiver anew).
    void Stop();
    // The receive thread is alive (it ends on teardown or a receive error).
    bool IsRunning() const { return thread.IsRunning(); }

private:
    void ReceiveLoop();

    Socket socket;
    Thread thread;
    bool winsockStarted;
};

} // namespace zo
