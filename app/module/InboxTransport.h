// InboxTransport: the transport of a program whose port 6643 belongs to
// another part of it (the window's receiver): requests leave through
// sockets of its own (UdpTransport's sending side: broadcast allowed, from
// any adapter), replies are the datagrams that part hands in. Owns its
// sockets and the datagrams waiting; Deliver and Wake may come from any
// thread while Receive waits on another.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>

#include "app/module/UdpTransport.h"

namespace proto {

class InboxTransport : public Transport {
public:
    // At most this many bytes wait: a flood drops the oldest.
    static const size_t kMaxWaiting = 1u << 20;

    bool Open(int& error) { return sending.OpenSending(error); }
    bool Send(zo::IP to, const std::string& bytes, zo::IP via) override { return sending.Send(to, bytes, via); }
    bool Receive(unsigned ms, Datagram& out) override;

    void Deliver(const char* data, int length, zo::IP from);
    // Ends the current wait of Receive, and every later one, at once.
    void Wake();

private:
    UdpTransport sending;
    std::mutex lock;
    std::condition_variable ready;
    std::deque<Datagram> waiting;
    size_t waitingBytes = 0;
    bool woken = false;
};

} // namespace proto
