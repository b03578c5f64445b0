// Tests that send anywhere but 127.0.0.1 first prove they run inside the
// private test network, whose tool host is 198.51.100.10; the simulated
// modules' addresses there; the port a receiver took. A test whose source
// holds ZO_TEST_EMPTY_FIRST_ADAPTER runs only in the layout where an adapter
// without modules (198.19.255.10) comes first (scripts/netns-run --empty-first).
#pragma once
#include <string>

#include "net/IP.h"

namespace zo {
class UDPReceiver;
}

namespace zotest {

// Module i's address: 198.51.100.101 + i (scripts/netns-run --modules N).
inline zo::IP ModuleAddress(int i) { return zo::IP(htonl(0xC6336465ul + static_cast<unsigned long>(i))); }
// The port a receiver's socket is bound to (0 when it has none).
unsigned short PortOf(zo::UDPReceiver& rx);

// The local host's first IPv4 address as Winsock reports it ("" when none).
std::string FirstLocalAddress();
// Whether the local host has this IPv4 address among its own.
bool HasLocalAddress(const char* dotted);
// True inside the private test network: the tool host is the first address,
// or the second behind the empty adapter of the --empty-first layout.
bool InsideTestNetwork();
// True in the --empty-first layout: the first address is the empty adapter's.
bool EmptyAdapterFirst();
// True when the private network has its second adapter, 203.0.113.10
// (scripts/netns-run --second-modules N).
bool HasSecondTestNetwork();

} // namespace zotest

// Fails the test loudly (and sends nothing) outside the private network.
#define ZO_REQUIRE_TEST_NETWORK()                                               \
    ASSERT_TRUE(::zotest::InsideTestNetwork())                                  \
        << "not inside the private test network (first local address is \""    \
        << ::zotest::FirstLocalAddress()                                        \
        << "\"); run the suite through scripts/test or scripts/netns-run"

// Inside the private network, skips a test that needs its second adapter
// when the run was made without it. A skipped test fails the test program
// (see TestMain), so a suite run without the adapter cannot pass.
#define ZO_REQUIRE_SECOND_TEST_NETWORK()                                        \
    ZO_REQUIRE_TEST_NETWORK();                                                  \
    if (!::zotest::HasSecondTestNetwork()) {                                    \
        GTEST_SKIP() << "no second adapter 203.0.113.10: run through scripts/netns-run --second-modules N"; \
    } else                                                                      \
        (void)0
