// The local IPv4 adapters a scan sweeps, and the hosts of one adapter's
// sweep. Plain values: the caller owns the lists; nothing is kept between
// calls.
#pragma once
#include <string>
#include <vector>

#include "net/IP.h"

namespace proto {

struct Adapter {
    zo::IP address;
    unsigned prefixLength = 0;   // of the network the address is on, 0 to 32
    std::wstring name;           // the adapter's name as the system shows it
};

// Every IPv4 address of every local adapter that is up, in the system's
// order of adapters; loopback adapters and addresses, and link-local ones
// (169.254.0.0/16), left out. False (out empty) when the system's table
// cannot be had.
bool LocalAdapters(std::vector<Adapter>& out);

// The hosts a sweep of the adapter asks, in ascending order, never its own
// address: .1 to .254 of its /24; when its network is smaller than a /24,
// only that network's hosts (without its network and broadcast addresses,
// except in a /31), so that nothing is sent through a router.
std::vector<zo::IP> SweepHosts(const Adapter& adapter);

} // namespace proto
