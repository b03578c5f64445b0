// The window's search plan: a broadcast from every adapter, then each
// adapter's /24 without the computer's own addresses; with one adapter it
// sends at most one request more than a sweep of the /24 alone.
#include <gtest/gtest.h>

#include "app/module/Finder.h"

using namespace proto;

namespace {

Adapter At(const char* address, unsigned prefix) {
    Adapter a;
    a.address = zo::IP(address);
    a.prefixLength = prefix;
    return a;
}

} // namespace

TEST(SearchPlan, ABroadcastFromEachAdapterThenEachNetworkOnce) {
    struct Row {
        std::vector<Adapter> adapters;
        const char* fallback;
        size_t broadcasts, networks;
        unsigned requests;
    } rows[] = {
        {{At("198.51.100.10", 24)}, nullptr, 1, 1, 1 + 253},
        {{At("198.51.100.10", 24), At("203.0.113.10", 24)}, nullptr, 2, 2, 2 + 253 + 253},
        // Two addresses on one network sweep it once.
        {{At("198.51.100.10", 24), At("198.51.100.20", 24)}, nullptr, 2, 1, 2 + 252},
        {{At("203.0.113.10", 30)}, nullptr, 1, 1, 1 + 1},
        // No adapter known: the /24 around the first local address.
        {{}, "198.51.100.10", 1, 1, 1 + 253},
        // Nothing at all: the broadcast alone.
        {{}, nullptr, 0, 0, 1},
    };
    for (const Row& r : rows) {
        SweepPlan plan = EveryAdapterPlan(r.adapters, r.fallback ? zo::IP(r.fallback) : zo::IP());
        EXPECT_TRUE(plan.broadcast);
        EXPECT_EQ(plan.broadcastFrom.size(), r.broadcasts);
        EXPECT_EQ(plan.networks.size(), r.networks);
        EXPECT_EQ(PlannedRequests(plan), r.requests);
        EXPECT_LE(PlannedRequests(plan), r.adapters.size() ? 254u * r.adapters.size() + 1 : 255u);
    }
}
