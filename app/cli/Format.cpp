// Tables and JSON objects of modules.
#include "app/cli/Format.h"

#include "app/cli/Csv.h"
#include "data/Json.h"

namespace cli {

bool FormOf(const std::wstring& name, Form& out) {
    if (name == L"table") out = Form::kTable;
    else if (name == L"csv") out = Form::kCsv;
    else if (name == L"json") out = Form::kJson;
    else return false;
    return true;
}

unsigned DisplayWidth(const std::wstring& text) {
    unsigned w = 0;
    for (wchar_t c : text) {
        if ((c >= 0xDC00 && c <= 0xDFFF)) continue;   // the second half of a pair
        bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0xD800 && c <= 0xDBFF);
        w += wide ? 2 : 1;
    }
    return w;
}

namespace {

void Cell(std::wstring& line, const std::wstring& text, unsigned width) {
    line += text;
    unsigned w = DisplayWidth(text);
    line.append(w < width ? width - w + 2 : 2, L' ');
}

std::wstring Server(const ModleParam& r) { return Text(r.serv_host) + L":" + std::to_wstring(r.serv_port); }

// One line of the shared CSV writer, as text with a "\n" end.
std::wstring CsvText(const std::vector<std::wstring>& fields) {
    std::vector<std::string> utf8(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) WideToUtf8(fields[i], utf8[i]);
    std::wstring line;
    Utf8ToWide(CsvLine(utf8), line);
    if (line.size() >= 2) line.erase(line.size() - 2);
    return line + L"\n";
}

std::wstring Trim(std::wstring line) {
    while (!line.empty() && line.back() == L' ') line.pop_back();
    return line + L"\n";
}

} // namespace

std::wstring TableHeader(bool passwords) {
    std::wstring line;
    Cell(line, L"MAC", 17);
    Cell(line, L"ETHERNET", 15);
    Cell(line, L"WIFI", 15);
    Cell(line, L"SERVER", 21);
    Cell(line, L"BAUD", 7);
    Cell(line, L"ACCESS POINT", 16);
    if (passwords) line += L"PASSWORD";
    return Trim(line);
}

std::wstring TableRow(const ModleParam& r, bool passwords) {
    std::wstring line;
    Cell(line, Text(r.mac), 17);
    Cell(line, Dotted(r.ether_ip), 15);
    Cell(line, Dotted(r.wifi_ip), 15);
    Cell(line, Server(r), 21);
    Cell(line, std::to_wstring(r.serial_rate), 7);
    Cell(line, Text(r.ap_ssid), 16);
    if (passwords) line += Text(r.ap_pass);
    return Trim(line);
}

std::wstring Details(const ModleParam& r, bool passwords) {
    std::wstring s;
    s += L"mac:          " + Text(r.mac) + L"\n";
    s += L"ethernet:     " + Dotted(r.ether_ip) + L" gateway " + Dotted(r.ether_gate) + L"\n";
    s += L"wifi:         " + Dotted(r.wifi_ip) + L" gateway " + Dotted(r.wifi_gate) + L"\n";
    s += L"server:       " + Server(r) + L"\n";
    s += L"baud:         " + std::to_wstring(r.serial_rate) + L"\n";
    s += L"access point: " + Text(r.ap_ssid) + L"\n";
    if (passwords) s += L"password:     " + Text(r.ap_pass) + L"\n";
    return s;
}

std::vector<std::wstring> CsvColumns(bool passwords) {
    std::vector<std::wstring> c = {L"mac", L"baud", L"host", L"port", L"ssid"};
    if (passwords) c.push_back(L"pass");
    for (const wchar_t* n : {L"ether_ip", L"ether_gate", L"wifi_ip", L"wifi_gate"}) c.push_back(n);
    return c;
}

std::vector<std::wstring> CsvFields(const ModleParam& r, bool passwords) {
    std::vector<std::wstring> f = {Text(r.mac), std::to_wstring(r.serial_rate), Text(r.serv_host),
                                   std::to_wstring(r.serv_port), Text(r.ap_ssid)};
    if (passwords) f.push_back(Text(r.ap_pass));
    for (zo::IP a : {r.ether_ip, r.ether_gate, r.wifi_ip, r.wifi_gate}) f.push_back(Dotted(a));
    return f;
}

std::wstring CsvHeaderLine(bool passwords) { return CsvText(CsvColumns(passwords)); }
std::wstring CsvModuleLine(const ModleParam& r, bool passwords) { return CsvText(CsvFields(r, passwords)); }

std::wstring JsonObject(const ModleParam& r, bool passwords) {
    zo::Json o;
    o.SetPropertyStr(L"mac", Text(r.mac).c_str());
    o.SetPropertyInt64(L"baud", r.serial_rate);
    o.SetPropertyStr(L"host", Text(r.serv_host).c_str());
    o.SetPropertyInt64(L"port", r.serv_port);
    o.SetPropertyStr(L"ssid", Text(r.ap_ssid).c_str());
    if (passwords) o.SetPropertyStr(L"pass", Text(r.ap_pass).c_str());
    o.SetPropertyStr(L"ether_ip", Dotted(r.ether_ip).c_str());
    o.SetPropertyStr(L"ether_gate", Dotted(r.ether_gate).c_str());
    o.SetPropertyStr(L"wifi_ip", Dotted(r.wifi_ip).c_str());
    o.SetPropertyStr(L"wifi_gate", Dotted(r.wifi_gate).c_str());
    zo::String text, indent;
    o.ToString(text, indent, false);
    return std::wstring(text.Handle() ? text.Handle() : L"", text.Length());
}

} // namespace cli
