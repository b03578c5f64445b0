// Choosing the hosts of a sweep.
#include "app/module/SweepTargets.h"

#include "app/module/Address.h"

#include <algorithm>
#include <cwchar>

namespace proto {

namespace {

uint32_t Swap(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24); }

bool Own(const std::vector<Adapter>& local, uint32_t address) {
    for (const Adapter& n : local)
        if (n.address.ToLong() == address) return true;
    return false;
}

// Hosts first..last (host order) less the host's own addresses.
std::vector<uint32_t> Range(const std::vector<Adapter>& local, uint32_t first, uint32_t last) {
    std::vector<uint32_t> hosts;
    for (uint32_t h = first; h <= last; ++h)
        if (!Own(local, Swap(h))) hosts.push_back(Swap(h));
    return hosts;
}

} // namespace

bool SweepTargets(const std::vector<Adapter>& local, const std::wstring& adapter, const std::wstring& subnet,
                  std::vector<std::vector<uint32_t>>& out, std::wstring& error) {
    out.clear();
    if (!subnet.empty()) {
        size_t slash = subnet.find(L'/');
        zo::IP address;
        std::wstring bits = slash == std::wstring::npos ? L"" : subnet.substr(slash + 1);
        if (slash == std::wstring::npos || !ParseAddress(subnet.substr(0, slash), address) || bits.empty() || bits.size() > 2 ||
            bits.find_first_not_of(L"0123456789") != std::wstring::npos) {
            error = L"--subnet \"" + subnet + L"\" is not A.B.C.D/N";
            return false;
        }
        unsigned n = static_cast<unsigned>(wcstoul(bits.c_str(), nullptr, 10));
        if (n < 22) {
            error = L"--subnet " + subnet + L" is too large: at most 1022 hosts (/22) are swept, a /" + bits +
                    L" would take " + std::to_wstring((n < 32 ? (1ull << (32 - n)) : 1ull) - 2) + L" requests";
            return false;
        }
        if (n > 30) {
            error = L"--subnet " + subnet + L" has no hosts to sweep (the smallest network is /30)";
            return false;
        }
        uint32_t mask = 0xFFFFFFFFu << (32 - n), base = Swap(static_cast<uint32_t>(address.ToLong())) & mask;
        out.push_back(Range(local, base + 1, (base | ~mask) - 1));
        return true;
    }
    uint32_t only = 0;
    if (!adapter.empty()) {
        zo::IP given;
        if (ParseAddress(adapter, given)) only = static_cast<uint32_t>(given.ToLong());
        if (!only || !Own(local, only)) {
            error = L"--adapter " + adapter + L" is not an address of this computer (";
            bool first = true;
            for (const Adapter& n : local) {
                uint32_t h = Swap(static_cast<uint32_t>(n.address.ToLong()));
                error += (first ? L"" : L", ") + std::to_wstring(h >> 24) + L"." + std::to_wstring((h >> 16) & 255) + L"." +
                         std::to_wstring((h >> 8) & 255) + L"." + std::to_wstring(h & 255);
                first = false;
            }
            error += first ? L"it has none)" : L")";
            return false;
        }
    }
    for (const Adapter& n : local) {
        if (only && n.address.ToLong() != only) continue;
        std::vector<uint32_t> hosts;
        for (zo::IP h : SweepHosts(n))
            if (!Own(local, static_cast<uint32_t>(h.ToLong()))) hosts.push_back(static_cast<uint32_t>(h.ToLong()));
        // Two addresses on one network sweep it once.
        if (!hosts.empty() && std::find(out.begin(), out.end(), hosts) == out.end()) out.push_back(hosts);
    }
    return true;
}

} // namespace proto
