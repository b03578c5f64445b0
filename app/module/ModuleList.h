// ModuleList: the window's modules: the records in the order of their first
// report, at most kMaxModules of them, with the traces filing a report may
// call for (a text cut to its bound; the list full, once per burst of
// refused reports). Owns its records; one thread uses it.
#pragma once
#include "app/module/ModuleProtocol.h"
#include "core/Win.h"

namespace proto {

class ModuleList {
public:
    // A burst of refusals ends when none came for this long.
    static const DWORD kRefusalBurstMs = 1000;

    // Files a parsed report that came as utf8 (or in the code page) at
    // now (ms): its record, added is set for a new one; null when the list
    // is full (or memory ran out).
    ModleParam* File(const zo::Json& report, bool utf8, bool& added, DWORD now);

    ModleParam* Find(const wchar_t* mac) const { return FindModule(records, mac); }
    unsigned Count() const { return records.Count(); }
    ModleParam* Element(unsigned i) const { return records.Element(i); }
    void Clear() { records.Clear(); }

private:
    zo::ObjectList<ModleParam> records;
    bool refusing = false;   // a new mac was refused (list full)
    DWORD lastRefusal = 0;   // when the last one was
};

} // namespace proto
