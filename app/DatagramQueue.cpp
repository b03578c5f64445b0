// The bounded hand-over between the receive thread and the UI thread.
#include "app/DatagramQueue.h"

DatagramQueue::~DatagramQueue() {
    for (Datagram* d : entries) delete d;
}

bool DatagramQueue::Push(Datagram* d) {
    if (!d) return false;
    std::lock_guard<std::mutex> hold(lock);
    entries.push_back(d);
    pending += d->Cost();
    while (pending > limit && entries.size() > 1) {
        Datagram* old = entries.front();
        entries.pop_front();
        pending -= old->Cost();
        delete old;
        ++dropped;
    }
    bool wake = !wakeOutstanding;
    wakeOutstanding = true;
    return wake;
}

Datagram* DatagramQueue::Pop() {
    std::lock_guard<std::mutex> hold(lock);
    if (entries.empty()) {
        wakeOutstanding = false;
        return nullptr;
    }
    Datagram* d = entries.front();
    entries.pop_front();
    pending -= d->Cost();
    return d;
}

unsigned DatagramQueue::TakeDropped() {
    std::lock_guard<std::mutex> hold(lock);
    unsigned n = dropped;
    dropped = 0;
    return n;
}

size_t DatagramQueue::PendingCost() const {
    std::lock_guard<std::mutex> hold(lock);
    return pending;
}

size_t DatagramQueue::Count() const {
    std::lock_guard<std::mutex> hold(lock);
    return entries.size();
}
