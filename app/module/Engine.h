// Engine: sends the requests of several jobs at once and hands every reply
// to all of them. Requests go out on lanes, at most one per lane per
// interval, so a network is never asked faster than the interval allows
// however many jobs are running; a sweep of several networks runs one lane
// per network side by side. The engine borrows its transport, clock and jobs.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/module/Clock.h"
#include "app/module/Reply.h"
#include "app/module/Transport.h"

namespace proto {

const uint64_t kNever = UINT64_MAX;

struct Outgoing {
    zo::IP to;
    std::string bytes;
    zo::IP via;   // the local address it leaves from; None: any
};

// One conversation (a sweep, a read, a save and its verification). A job
// is asked for a request only when its lane is free; it keeps its own
// time-outs and tells the engine when it next wants to be asked.
class Job {
public:
    virtual ~Job() {}
    // The request due now on lane, if any; the engine sends it at once.
    virtual bool Next(unsigned lane, uint64_t now, Outgoing& out) = 0;
    // Whether the request Next gave could leave (the transport took it).
    virtual void Sent(bool ok, uint64_t now) {
        (void)ok;
        (void)now;
    }
    virtual void Take(const Reply& reply, uint64_t now) = 0;
    // Acts on time-outs; true once the job has its result.
    virtual bool Done(uint64_t now) = 0;
    // The earliest time it wants to send or time out (kNever: only replies).
    virtual uint64_t Wake() const = 0;
};

class Engine {
public:
    Engine(Transport& transport, Clock& clock, unsigned intervalMs, unsigned lanes = 1);

    // Runs until every job is done. Each received datagram goes to every
    // job still running, in the order given. onEvent (may be null) is called
    // after each send or reply, for progress.
    void Run(const std::vector<Job*>& jobs, void (*onEvent)(void*) = nullptr, void* context = nullptr);

    // Ends a Run early, from any thread (at the next turn of its loop; a
    // transport's wait is ended by the transport's owner).
    void Stop() { stopping.store(true); }

    unsigned Sent() const { return sent.load(); }
    unsigned Lanes() const { return static_cast<unsigned>(laneFree.size()); }

private:
    Transport& transport;
    Clock& clock;
    unsigned interval;
    std::vector<uint64_t> laneFree;   // when each lane may send again
    std::vector<size_t> laneTurn;     // the job asked first, for fairness
    std::atomic<unsigned> sent{0};
    std::atomic<bool> stopping{false};
};

} // namespace proto
