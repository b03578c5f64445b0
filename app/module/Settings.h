// Settings: the five values a save may change (baud, host, port, ssid,
// pass), checked before anything is sent, merged with a module's current
// record and turned into the save request by the window's own builder.
// Plain values and functions.
#pragma once
#include <string>
#include <vector>

#include "app/module/Reply.h"

namespace proto {

enum SettingKey { kBaud, kHost, kPort, kSsid, kPass, kSettingKeys };
extern const wchar_t* const kSettingNames[kSettingKeys];   // "baud", "host", "port", "ssid", "pass"

// The values given; an absent one keeps the module's own.
struct Edits {
    bool has[kSettingKeys] = {};
    std::wstring value[kSettingKeys];
    bool Any() const;
};

// The key of a name ("baud"...), or kSettingKeys.
SettingKey KeyOf(const std::wstring& name);
// A value the module can carry: a baud rate is a positive decimal number
// (at most 2147483647), a port a decimal number up to 65535. error names
// the key and the value.
bool CheckValue(SettingKey key, const std::wstring& value, std::wstring& error);
// "key=value"; false with a reason for an unknown key, a missing "=" or a bad value.
bool ParseEdit(const std::wstring& text, Edits& edits, std::wstring& error);

// The record a save of these edits leaves on a module that had `current`.
ModuleRecord Merge(const ModuleRecord& current, const Edits& edits);
// The save request for the record's five values and its mac, built exactly
// as the window builds it; false with a reason when it does not fit one datagram.
bool SaveRequest(const ModuleRecord& intended, std::string& bytes, std::wstring& error);
// The five values of `want` that `have` does not hold, each as
// "baud 9600 (module reports 115200)".
std::vector<std::wstring> Differences(const ModuleRecord& want, const ModuleRecord& have);
// A value of the record as text (the port and baud rate in decimal).
std::wstring ValueText(const ModuleRecord& r, SettingKey key);

} // namespace proto
