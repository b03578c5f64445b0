// Filing reports by mac.
#include "app/module/ModuleSet.h"

namespace proto {

ModuleSet::Added ModuleSet::Add(const ModuleRecord& r, uint32_t* first) {
    for (ModuleRecord& known : records) {
        if (known.mac != r.mac) continue;
        if (known.etherIp == r.etherIp) {
            known = r;
            return kKnown;
        }
        for (const auto& c : conflicts)
            if (c.first == r.mac && c.second == r.etherIp) return kKnown;
        conflicts.push_back({r.mac, r.etherIp});
        if (first) *first = known.etherIp;
        return kConflict;
    }
    records.push_back(r);
    return kNew;
}

const ModuleRecord* ModuleSet::Find(const std::wstring& mac) const {
    for (const ModuleRecord& r : records)
        if (r.mac == mac) return &r;
    return nullptr;
}

} // namespace proto
