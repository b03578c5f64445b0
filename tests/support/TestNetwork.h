// Tests that send anywhere but 127.0.0.1 first prove they run inside the
// private test network, whose tool host is 198.51.100.10.
#pragma once
#include <string>

namespace zotest {

// The local host's first IPv4 address as Winsock reports it ("" when none).
std::string FirstLocalAddress();
// True inside the private test network.
bool InsideTestNetwork();
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
// when the run was made without it.
#define ZO_REQUIRE_SECOND_TEST_NETWORK()                                        \
    ZO_REQUIRE_TEST_NETWORK();                                                  \
    if (!::zotest::HasSecondTestNetwork()) {                                    \
        GTEST_SKIP() << "no second adapter 203.0.113.10: run through scripts/netns-run --second-modules N"; \
    } else                                                                      \
        (void)0
