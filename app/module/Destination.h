// Which addresses a request meant for one module (a save, an access-point
// list) may go to: only what can be one module's unicast address. The
// sending socket may broadcast, so anything that reaches many hosts or none
// is refused here, before a byte is sent. Plain code, no windows, no sockets.
#pragma once
#include <string>

#include "core/String.h"
#include "net/IP.h"

namespace proto {

enum class Destination {
    unicast,            // may receive a request for one module
    unspecified,        // 0.0.0.0/8: "this network", no host
    loopback,           // 127.0.0.0/8: this machine, never a module
    multicast,          // 224.0.0.0/4
    broadcast,          // 255.255.255.255
    reserved,           // 240.0.0.0/4 besides the broadcast
    subnetBroadcast,    // a.b.c.255: the broadcast of its /24
    networkAddress,     // a.b.c.0: the network of its /24
};

// The tool sees every network as the /24 around an address (its sweep does
// too), so .255 and .0 are refused in every /24, the local one included:
// a module there could only be reached by chance, and a directed broadcast
// would reach every module behind it.
Destination ClassifyModuleAddress(zo::IP address);

// The text the window shows when a request is refused: it names the
// address and says what it is. Empty for a unicast address.
void RefusalText(zo::IP address, zo::String& out);
// The same in English, for the command-line program; empty for a unicast address.
std::wstring RefusalTextEn(zo::IP address);

} // namespace proto
