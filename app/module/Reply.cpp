// Reading datagrams through the window's protocol code.
#include "app/module/Reply.h"

#include "app/module/Address.h"
#include "app/module/ModuleProtocol.h"
#include "core/StringList.h"

namespace proto {

Reply ReadReply(const Datagram& d) {
    Reply r;
    r.from = d.from;
    const char* data = d.bytes.data();
    int length = static_cast<int>(d.bytes.size());
    zo::String text;
    if (IsApList(data, length)) {
        DecodeDatagram(data + kApListPrefixLength, length - kApListPrefixLength, text);
        zo::StringList names;
        AccessPointNames(text.Handle() ? text.Handle() : L"", names);
        for (unsigned i = 0; i < names.Count(); ++i) r.aps.push_back(Text(names.Element(i)));
        r.kind = Reply::kApList;
        return r;
    }
    bool utf8 = false;
    DecodeDatagram(data, length, text, &utf8);
    zo::Json report;
    if (!ParseReport(text, report)) return r;
    ReadReport(report, r.record);
    r.record.utf8 = utf8;
    r.kind = Reply::kReport;
    return r;
}

} // namespace proto
