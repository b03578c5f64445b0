// Finder: the job that finds modules: a broadcast read on each adapter, then a sweep of
// each network on a lane of its own (lane 1 + i; lane 0 carries the
// broadcast), repeated for hosts that have not answered. Given wanted macs,
// it stops as soon as all of them are known. Owns the set it fills.
#pragma once
#include <functional>
#include <set>

#include "app/module/Adapters.h"
#include "app/module/Engine.h"
#include "app/module/ModuleSet.h"

namespace proto {

struct SweepPlan {
    bool broadcast = true;
    // A broadcast leaves from each of these local addresses (one adapter
    // each); none: one broadcast wherever the system routes it.
    std::vector<zo::IP> broadcastFrom;
    std::vector<std::vector<uint32_t>> networks;   // the hosts of each network, network order
    unsigned passes = 1;
    uint64_t afterBroadcast = 1000;   // every module on the segment answers within a second
    uint64_t tail = 1000;             // replies still awaited after the last request
    std::vector<std::wstring> wanted;
};

// The window's search: a broadcast read from each adapter, then every
// adapter's /24 (its own addresses left out) side by side, once; with no
// adapter known, the /24 around fallback (the first local address; none:
// the broadcast alone).
SweepPlan EveryAdapterPlan(const std::vector<Adapter>& adapters, zo::IP fallback);
// The most requests a plan sends (its broadcasts and every host of every pass).
unsigned PlannedRequests(const SweepPlan& plan);

class Finder : public Job {
public:
    explicit Finder(const SweepPlan& plan);

    bool Next(unsigned lane, uint64_t now, Outgoing& out) override;
    void Take(const Reply& reply, uint64_t now) override;
    bool Done(uint64_t now) override;
    uint64_t Wake() const override;

    const ModuleSet& Found() const { return found; }
    unsigned Asked() const { return asked; }
    unsigned Lanes() const { return 1 + static_cast<unsigned>(plan.networks.size()); }

    // Called for each new module, and for a mac seen at a second address.
    std::function<void(const ModleParam&)> onFound;
    std::function<void(const ModleParam&, zo::IP first)> onConflict;

private:
    bool AllWanted() const;
    bool LaneLeft(size_t i);   // skips answered hosts; true when one is left

    SweepPlan plan;
    ModuleSet found;
    std::set<uint32_t> answered;
    std::vector<size_t> position;    // per network
    std::vector<unsigned> pass;      // per network, from 0
    bool broadcastSent = false;   // all of them
    size_t broadcasts = 0;
    uint64_t broadcastAt = 0, lastSend = 0;
    unsigned asked = 0;
};

} // namespace proto
