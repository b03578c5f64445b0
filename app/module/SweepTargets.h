// SweepTargets: which hosts a sweep asks: those of every local adapter
// (SweepHosts: its /24), of one of them (--adapter), or of a network given
// as A.B.C.D/N from /30 up to /22 (--subnet). The host's own addresses are
// never asked. Plain functions over addresses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/module/Adapters.h"

namespace proto {

// The hosts of each network to sweep, each list in network order. adapter
// and subnet may be empty. False with a reason for a bad or too large
// subnet, or an adapter address the host does not have.
bool SweepTargets(const std::vector<Adapter>& local, const std::wstring& adapter, const std::wstring& subnet,
                  std::vector<std::vector<uint32_t>>& out, std::wstring& error);

} // namespace proto
