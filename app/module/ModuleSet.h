// ModuleSet: the modules found so far, told apart by mac as the window does,
// in the order of their first report. It owns its records.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "app/module/ModleParam.h"

namespace proto {

class ModuleSet {
public:
    enum Added { kNew, kKnown, kConflict };
    // Files a report. A mac already known from another Ethernet address
    // keeps its first record and answers kConflict once per such address,
    // with that address in *first.
    Added Add(const ModleParam& r, zo::IP* first = nullptr);
    // The module of a mac as a person writes it (any case, ':' or '-').
    const ModleParam* Find(const std::wstring& mac) const;
    const std::vector<ModleParam>& List() const { return records; }
    size_t Count() const { return records.size(); }

private:
    std::vector<ModleParam> records;
    std::vector<std::pair<std::wstring, unsigned long>> conflicts;   // already warned
};

} // namespace proto
