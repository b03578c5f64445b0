// Datagrams handed in, waited for with a bounded wait.
#include "app/module/InboxTransport.h"

#include <chrono>

namespace proto {

bool InboxTransport::Receive(unsigned ms, Datagram& out) {
    std::unique_lock<std::mutex> hold(lock);
    ready.wait_for(hold, std::chrono::milliseconds(ms), [this] { return woken || !waiting.empty(); });
    if (waiting.empty()) return false;
    out = std::move(waiting.front());
    waiting.pop_front();
    waitingBytes -= out.bytes.size();
    return true;
}

void InboxTransport::Deliver(const char* data, int length, zo::IP from) {
    if (!data || length < 0) return;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (woken) return;
        waiting.push_back(Datagram{std::string(data, static_cast<size_t>(length)), from});
        waitingBytes += static_cast<size_t>(length);
        while (waitingBytes > kMaxWaiting && waiting.size() > 1) {
            waitingBytes -= waiting.front().bytes.size();
            waiting.pop_front();
        }
    }
    ready.notify_one();
}

void InboxTransport::Wake() {
    {
        std::lock_guard<std::mutex> hold(lock);
        woken = true;
        waiting.clear();
        waitingBytes = 0;
    }
    ready.notify_all();
}

} // namespace proto
