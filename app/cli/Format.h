// Format: how modules are printed: a table for people, csv or json for
// machines, the same fields in each. Plain functions returning text with
// "\n" line ends.
#pragma once
#include <string>
#include <vector>

#include "app/module/Address.h"
#include "app/module/ModleParam.h"

namespace cli {

// The commands are front ends over the module core.
using namespace proto;

enum class Form { kTable, kCsv, kJson };

// "table", "csv" or "json"; false for anything else.
bool FormOf(const std::wstring& name, Form& out);

// Columns shown on a terminal: East Asian wide characters take two.
unsigned DisplayWidth(const std::wstring& text);

std::wstring TableHeader(bool passwords);
std::wstring TableRow(const ModleParam& r, bool passwords);
// One module as "name: value" lines.
std::wstring Details(const ModleParam& r, bool passwords);

// The columns of csv output and of an export: mac, baud, host, port,
// ssid[, pass], then the read-only ether_ip, ether_gate, wifi_ip, wifi_gate.
std::vector<std::wstring> CsvColumns(bool passwords);
std::vector<std::wstring> CsvFields(const ModleParam& r, bool passwords);
// A header or row as one CSV line.
std::wstring CsvHeaderLine(bool passwords);
std::wstring CsvModuleLine(const ModleParam& r, bool passwords);

// A JSON object on one line: mac, baud, host, port, ssid[, pass], ether_ip,
// ether_gate, wifi_ip, wifi_gate (addresses dotted).
std::wstring JsonObject(const ModleParam& r, bool passwords);

} // namespace cli
