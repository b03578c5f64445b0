// DatagramQueue: carries datagrams from the receive thread to the UI thread.
// The receive thread does the heavy part of each one (the kind test,
// decoding, parsing) and pushes the result; the UI thread pops them in
// arrival order. The queue owns the entries it holds and hands each to the
// popper. It is bounded by the bytes pending: under a flood the oldest
// entries are dropped and counted, so memory never grows without bound.
#pragma once
#include <cstddef>
#include <deque>
#include <mutex>

#include "core/Base.h"
#include "core/String.h"
#include "data/Json.h"
#include "net/SOCKADDR.h"

struct Datagram : public zo::_struct {
    bool apList = false;   // "+CWLAP:" list; text holds what follows the prefix
    bool parsed = false;   // a report whose text parsed; report holds it
    bool utf8 = false;     // the report came as UTF-8
    zo::String text;       // the decoded bytes
    zo::Json report;
    int length = 0;        // bytes on the wire
    zo::SOCKADDR from;

    // Reads the bytes the receive thread took (the kind test, decoding,
    // parsing) and seals the entry.
    void Read(const char* data, int bytes, const zo::SOCKADDR& sender);

    // What the entry weighs against the queue's bound: the record, the
    // decoded text and the parsed tree as the heap holds them. Worked out
    // once, when the entry is complete (Seal), as the tree may be large.
    size_t Cost() const { return cost ? cost : Weigh(); }
    void Seal() { cost = Weigh(); }

    // Heap bytes a parsed tree holds, counted from its shape: every value
    // is a heap block of its own with the allocator's overhead, every list
    // a slot per element, every text its units. Errs on the high side.
    static size_t TreeBytes(const zo::Json& value);

private:
    size_t Weigh() const;
    size_t cost = 0;
};

class DatagramQueue {
public:
    // Real bytes, trees included: 4 MiB holds over twenty-five full-size
    // datagrams of text, or two of the largest trees one can make, and
    // thousands of real reports. Under a hostile flood the heap keeps far
    // more than the queue's own bytes (measured: a bound of 8 MiB grew the
    // program by 55 MB, 2 MiB by 34 MB).
    static const size_t kDefaultLimit = 4u << 20;

    explicit DatagramQueue(size_t limitBytes = kDefaultLimit) : limit(limitBytes) {}
    ~DatagramQueue();
    DatagramQueue(const DatagramQueue&) = delete;
    DatagramQueue& operator=(const DatagramQueue&) = delete;

    // Takes the entry (null is ignored). True when the consumer must be
    // woken: the queue had no wake outstanding. Older entries are dropped
    // while the pending cost exceeds the bound; the newest always stays.
    bool Push(Datagram* d);
    // The oldest entry, now the caller's; null when empty, which also ends
    // the outstanding wake so the next Push asks for a new one.
    Datagram* Pop();
    // Entries dropped since the last call.
    unsigned TakeDropped();
    size_t PendingCost() const;
    size_t Count() const;

private:
    mutable std::mutex lock;
    std::deque<Datagram*> entries;
    size_t pending = 0;
    size_t limit;
    unsigned dropped = 0;
    bool wakeOutstanding = false;
};
