// Reply: one datagram read with the protocol code: a report (its record),
// an access-point list (its names) or neither. Plain values.
#pragma once
#include <string>
#include <vector>

#include "app/module/ModleParam.h"
#include "app/module/Transport.h"

namespace proto {

struct Reply {
    enum Kind { kOther, kReport, kApList } kind = kOther;
    ModleParam record;                // kReport; record.utf8 tells how it came
    std::vector<std::wstring> aps;    // kApList
    zo::IP from;                      // serves the trace only: it is not always the module's
};

// Reads a datagram exactly as the window does.
Reply ReadReply(const Datagram& d);

} // namespace proto
