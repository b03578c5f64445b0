// Reading datagrams through the window's protocol code.
#include "app/module/Reply.h"

#include "app/module/ModuleProtocol.h"
#include "core/StringList.h"

namespace proto {

namespace {
std::wstring Std(const zo::String& s) { return std::wstring(s.Handle() ? s.Handle() : L"", s.Length()); }
}

Reply ReadReply(const Datagram& d) {
    Reply r;
    r.from = d.from;
    const char* data = d.bytes.data();
    int length = static_cast<int>(d.bytes.size());
    if (IsApList(data, length)) {
        zo::String text;
        DecodeDatagram(data + kApListPrefixLength, length - kApListPrefixLength, text);
        zo::StringList names;
        AccessPointNames(text.Handle() ? text.Handle() : L"", names);
        for (unsigned i = 0; i < names.Count(); ++i) r.aps.push_back(Std(names.Element(i)));
        r.kind = Reply::kApList;
        return r;
    }
    zo::String text;
    DecodeDatagram(data, length, text);
    zo::Json report;
    if (!ParseReport(text, report)) return r;
    ModleParam p;
    ReadReport(report, p);
    r.kind = Reply::kReport;
    r.record.mac = Std(p.mac);
    r.record.host = Std(p.serv_host);
    r.record.ssid = Std(p.ap_ssid);
    r.record.pass = Std(p.ap_pass);
    r.record.port = p.serv_port;
    r.record.baud = p.serial_rate;
    r.record.etherIp = static_cast<uint32_t>(p.ether_ip.ToLong());
    r.record.etherGate = static_cast<uint32_t>(p.ether_gate.ToLong());
    r.record.wifiIp = static_cast<uint32_t>(p.wifi_ip.ToLong());
    r.record.wifiGate = static_cast<uint32_t>(p.wifi_gate.ToLong());
    return r;
}

std::wstring Dotted(uint32_t address) {
    wchar_t text[16];
    swprintf(text, 16, L"%u.%u.%u.%u", address & 255, (address >> 8) & 255, (address >> 16) & 255, address >> 24);
    return text;
}

} // namespace proto
