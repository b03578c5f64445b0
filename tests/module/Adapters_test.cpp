// Local adapters as the command-line program sweeps them: the private test
// network's adapters read from the system, and the hosts of one adapter's
// sweep as a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/module/Adapters.h"
#include "support/TestNetwork.h"

namespace {

unsigned long HostOrder(zo::IP ip) { return ntohl(ip.ToLong()); }

TEST(Adapters, SweepHostsAreTheAdaptersSlash24OrSmallerNetworkWithoutItsOwnAddress) {
    struct Row {
        const char* address;
        unsigned prefix;
        size_t count;
        const char* first;
        const char* last;
    } rows[] = {
        {"198.51.100.10", 24, 253, "198.51.100.1", "198.51.100.254"},
        {"198.51.100.10", 16, 253, "198.51.100.1", "198.51.100.254"},   // the /24 only
        {"198.51.100.0", 16, 254, "198.51.100.1", "198.51.100.254"},
        {"203.0.113.1", 24, 253, "203.0.113.2", "203.0.113.254"},
        {"203.0.113.254", 24, 253, "203.0.113.1", "203.0.113.253"},
        {"198.51.100.130", 25, 125, "198.51.100.129", "198.51.100.254"},
        {"198.51.100.10", 28, 13, "198.51.100.1", "198.51.100.14"},
        {"198.51.100.6", 30, 1, "198.51.100.5", "198.51.100.5"},
        {"198.51.100.6", 31, 1, "198.51.100.7", "198.51.100.7"},
        {"198.51.100.6", 32, 0, "", ""},
        {"255.255.255.254", 31, 1, "255.255.255.255", "255.255.255.255"},   // the end of the range ends
    };
    for (const Row& r : rows) {
        proto::Adapter adapter;
        adapter.address = zo::IP(r.address);
        adapter.prefixLength = r.prefix;
        std::vector<zo::IP> hosts = proto::SweepHosts(adapter);
        std::string name = std::string(r.address) + "/" + std::to_string(r.prefix);
        ASSERT_EQ(r.count, hosts.size()) << name;
        if (hosts.empty()) continue;
        EXPECT_EQ(zo::IP(r.first).ToLong(), hosts.front().ToLong()) << name;
        // zo::IP reads "255.255.255.255" as no address, whose value is the same.
        EXPECT_EQ(zo::IP(r.last).ToLong(), hosts.back().ToLong()) << name;
        for (size_t i = 0; i < hosts.size(); ++i) {
            EXPECT_NE(adapter.address.ToLong(), hosts[i].ToLong()) << name << ": its own address";
            EXPECT_EQ(HostOrder(adapter.address) >> 8, HostOrder(hosts[i]) >> 8) << name << ": outside its /24";
            if (i) {
                EXPECT_LT(HostOrder(hosts[i - 1]), HostOrder(hosts[i])) << name;
            }
        }
    }
}

// Loopback (127.0.0.1 and the module addresses on lo) stays out; the
// second adapter is there when the run has it.
TEST(Adapters, TheTestNetworksAdaptersAreListedWithTheirPrefixes) {
    ZO_REQUIRE_TEST_NETWORK();
    std::vector<proto::Adapter> adapters;
    ASSERT_TRUE(proto::LocalAdapters(adapters));
    std::string got;
    for (const proto::Adapter& a : adapters) {
        got += std::string(a.address.ToString()) + "/" + std::to_string(a.prefixLength) + " ";
        EXPECT_FALSE(a.name.empty()) << a.address.ToString();
    }
    std::string expected = "198.51.100.10/24 ";
    if (zotest::HasSecondTestNetwork()) expected += "203.0.113.10/24 ";
    EXPECT_EQ(expected, got);
}

} // namespace
