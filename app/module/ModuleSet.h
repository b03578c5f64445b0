// ModuleSet: the modules found so far, told apart by mac as the window does,
// in the order of their first report. It owns its records.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "app/module/Reply.h"

namespace proto {

class ModuleSet {
public:
    enum Added { kNew, kKnown, kConflict };
    // Files a report. A mac already known from another Ethernet address
    // keeps its first record and answers kConflict once per such address,
    // with that address in *first.
    Added Add(const ModuleRecord& r, uint32_t* first = nullptr);
    const ModuleRecord* Find(const std::wstring& mac) const;
    const std::vector<ModuleRecord>& List() const { return records; }
    size_t Count() const { return records.size(); }

private:
    std::vector<ModuleRecord> records;
    std::vector<std::pair<std::wstring, uint32_t>> conflicts;   // already warned
};

} // namespace proto
