// ModuleRecord: one module's settings as its report gave them, in standard
// strings, and Reply: one datagram read with the protocol code (report,
// access-point list or neither). Plain values.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/module/Transport.h"

namespace proto {

struct ModuleRecord {
    std::wstring mac, host, ssid, pass;
    unsigned port = 0;
    int baud = 9600;
    uint32_t etherIp = 0, etherGate = 0, wifiIp = 0, wifiGate = 0;   // network order
};

struct Reply {
    enum Kind { kOther, kReport, kApList } kind = kOther;
    ModuleRecord record;              // kReport
    std::vector<std::wstring> aps;    // kApList
    zo::IP from;
};

// Reads a datagram exactly as the window does.
Reply ReadReply(const Datagram& d);

// Dotted text of an address held in network order.
std::wstring Dotted(uint32_t address);

} // namespace proto
