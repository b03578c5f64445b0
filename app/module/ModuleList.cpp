// Filing reports into the window's list.
#include "app/module/ModuleList.h"

#include "core/Print.h"

namespace proto {

ModleParam* ModuleList::File(const zo::Json& report, bool utf8, bool& added, DWORD now) {
    bool existed = false;
    unsigned cut = 0;
    ModleParam* record = MergeReport(records, report, existed, utf8, &cut);
    added = record && !existed;
    if (record && cut) {
        zo::String members;
        CutMembersText(cut, members);
        zo::Print(L"recv: the report of %s had texts longer than a module holds (%s); they were cut",
                  record->mac.Handle() ? record->mac.Handle() : L"", members.Handle());
    }
    if (!record && records.Count() >= kMaxModules) {
        // A flood of new macs is traced once, not once a datagram.
        if (!refusing || now - lastRefusal > kRefusalBurstMs)
            zo::PrintA("recv: the module list is full (%u modules), reports of new modules are ignored", kMaxModules);
        refusing = true;
        lastRefusal = now;
    }
    return record;
}

} // namespace proto
