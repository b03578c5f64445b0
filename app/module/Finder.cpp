// The finding job's schedule.
#include "app/module/Finder.h"

#include "app/module/ModuleProtocol.h"
#include "app/module/SweepTargets.h"

namespace proto {

SweepPlan EveryAdapterPlan(const std::vector<Adapter>& adapters, zo::IP fallback) {
    SweepPlan plan;
    std::vector<Adapter> local = adapters;
    if (local.empty() && !fallback.IsNull()) {
        Adapter a;
        a.address = fallback;
        a.prefixLength = 24;
        local.push_back(a);
    }
    std::wstring error;
    SweepTargets(local, L"", L"", plan.networks, error);
    for (const Adapter& a : local) plan.broadcastFrom.push_back(a.address);
    return plan;
}

unsigned PlannedRequests(const SweepPlan& plan) {
    size_t n = plan.broadcast ? (plan.broadcastFrom.empty() ? 1 : plan.broadcastFrom.size()) : 0;
    for (const std::vector<uint32_t>& hosts : plan.networks) n += hosts.size() * (plan.passes ? plan.passes : 1);
    return static_cast<unsigned>(n);
}

Finder::Finder(const SweepPlan& p) : plan(p), position(p.networks.size(), 0), pass(p.networks.size(), 0) {
    if (plan.passes == 0) plan.passes = 1;
    if (!plan.broadcast) plan.afterBroadcast = 0;
}

bool Finder::LaneLeft(size_t i) {
    const std::vector<uint32_t>& hosts = plan.networks[i];
    while (pass[i] < plan.passes) {
        while (position[i] < hosts.size()) {
            if (!answered.count(hosts[position[i]])) return true;
            ++position[i];
        }
        position[i] = 0;
        ++pass[i];
    }
    return false;
}

bool Finder::Next(unsigned lane, uint64_t now, Outgoing& out) {
    if (lane == 0) {
        if (!plan.broadcast || broadcastSent) return false;
        if (broadcasts < plan.broadcastFrom.size()) out.via = plan.broadcastFrom[broadcasts];
        ++broadcasts;
        broadcastSent = broadcasts >= plan.broadcastFrom.size();
        broadcastAt = lastSend = now;
        out.to = zo::IP(0xFFFFFFFFul);
        out.bytes = kReadRequest;
        ++asked;
        return true;
    }
    size_t i = lane - 1;
    if (i >= plan.networks.size()) return false;
    if (plan.broadcast && (!broadcastSent || now < broadcastAt + plan.afterBroadcast)) return false;
    if (!LaneLeft(i)) return false;
    out.to = zo::IP(static_cast<unsigned long>(plan.networks[i][position[i]]));
    out.bytes = kReadRequest;
    ++position[i];
    lastSend = now;
    ++asked;
    return true;
}

void Finder::Take(const Reply& reply, uint64_t) {
    if (reply.kind != Reply::kReport) return;
    answered.insert(static_cast<uint32_t>(reply.record.ether_ip.ToLong()));
    zo::IP first;
    switch (found.Add(reply.record, &first)) {
    case ModuleSet::kNew:
        if (onFound) onFound(reply.record);
        break;
    case ModuleSet::kConflict:
        if (onConflict) onConflict(reply.record, first);
        break;
    case ModuleSet::kKnown:
        break;
    }
}

bool Finder::AllWanted() const {
    for (const std::wstring& mac : plan.wanted)
        if (!found.Find(mac)) return false;
    return true;
}

bool Finder::Done(uint64_t now) {
    if (!plan.wanted.empty() && AllWanted()) return true;
    if (plan.broadcast && !broadcastSent) return false;
    for (size_t i = 0; i < plan.networks.size(); ++i)
        if (LaneLeft(i)) return false;
    return now >= lastSend + plan.tail;
}

uint64_t Finder::Wake() const {
    if (plan.broadcast && !broadcastSent) return 0;
    bool left = false;
    for (size_t i = 0; i < plan.networks.size(); ++i)
        if (pass[i] < plan.passes) left = true;
    if (left) {
        uint64_t start = broadcastAt + plan.afterBroadcast;
        return start > lastSend ? start : 0;
    }
    return lastSend + plan.tail;
}

} // namespace proto
