// Filing reports by mac.
#include "app/module/ModuleSet.h"

#include "app/module/Address.h"

namespace proto {

ModuleSet::Added ModuleSet::Add(const ModleParam& r, zo::IP* first) {
    for (ModleParam& known : records) {
        if (known.mac != r.mac) continue;
        if (known.ether_ip == r.ether_ip) {
            known = r;
            return kKnown;
        }
        std::wstring mac = Text(r.mac);
        for (const auto& c : conflicts)
            if (c.first == mac && c.second == r.ether_ip.ToLong()) return kKnown;
        conflicts.push_back({mac, r.ether_ip.ToLong()});
        if (first) *first = known.ether_ip;
        return kConflict;
    }
    records.push_back(r);
    return kNew;
}

const ModleParam* ModuleSet::Find(const std::wstring& mac) const {
    for (const ModleParam& r : records)
        if (SameMac(r.mac.Handle(), mac)) return &r;
    return nullptr;
}

} // namespace proto
