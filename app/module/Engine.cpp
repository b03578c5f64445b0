// The engine's loop: finish time-outs, send on the free lanes, then wait
// for a reply until the next thing is due.
#include "app/module/Engine.h"

#include <algorithm>

namespace proto {

Engine::Engine(Transport& t, Clock& c, unsigned intervalMs, unsigned lanes)
    : transport(t), clock(c), interval(intervalMs), laneFree(lanes ? lanes : 1, 0), laneTurn(lanes ? lanes : 1, 0) {}

void Engine::Run(const std::vector<Job*>& jobs, void (*onEvent)(void*), void* context) {
    std::vector<bool> done(jobs.size(), false);
    while (!stopping.load()) {
        uint64_t now = clock.Now();
        bool all = true;
        for (size_t j = 0; j < jobs.size(); ++j) {
            if (!done[j]) done[j] = jobs[j]->Done(now);
            all = all && done[j];
        }
        if (all) return;

        for (unsigned lane = 0; lane < laneFree.size(); ++lane) {
            if (laneFree[lane] > now) continue;
            for (size_t k = 0; k < jobs.size(); ++k) {
                size_t j = (laneTurn[lane] + k) % jobs.size();
                Outgoing out;
                if (done[j] || !jobs[j]->Next(lane, now, out)) continue;
                jobs[j]->Sent(transport.Send(out.to, out.bytes, out.via), now);
                ++sent;
                // The next slot counts from this send: a late send never
                // makes the following ones come closer together.
                laneFree[lane] = now + interval;
                laneTurn[lane] = j + 1;
                if (onEvent) onEvent(context);
                break;
            }
        }

        // Wait until a job wants something; a job that wants to send while
        // its lane is busy waits for the lane.
        uint64_t wake = kNever, laneWake = kNever;
        for (uint64_t t : laneFree)
            if (t > now) laneWake = std::min(laneWake, t);
        for (size_t j = 0; j < jobs.size(); ++j) {
            if (done[j]) continue;
            uint64_t w = jobs[j]->Wake();
            if (w <= now) w = laneWake == kNever ? now + 1 : laneWake;
            wake = std::min(wake, w);
        }
        uint64_t wait = wake == kNever ? 1000 : (wake > now ? wake - now : 0);
        if (wait > 1000) wait = 1000;

        Datagram d;
        if (!transport.Receive(static_cast<unsigned>(wait), d)) continue;
        Reply reply = ReadReply(d);
        uint64_t at = clock.Now();
        for (size_t j = 0; j < jobs.size(); ++j)
            if (!done[j]) jobs[j]->Take(reply, at);
        if (onEvent) onEvent(context);
    }
}

} // namespace proto
