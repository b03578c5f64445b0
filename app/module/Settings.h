// Settings: the five values a save may change (baud, host, port, ssid,
// pass), checked before anything is sent, merged with a module's current
// record and turned into the save request by the window's own builder.
// Plain values and functions.
#pragma once
#include <string>
#include <vector>

#include "app/module/ModleParam.h"

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
ModleParam Merge(const ModleParam& current, const Edits& edits);
// The save request that turns the module's `current` record into
// `intended`, built exactly as the window builds it (BuildSave); false with
// a reason naming the key when a value cannot be carried, an unedited one
// could not be read exactly, or the whole does not fit one datagram.
bool SaveRequest(const ModleParam& current, const ModleParam& intended, std::string& bytes, std::wstring& error);
// The five values of `want` that `have` does not hold, each as
// "baud 9600 (module reports 115200)".
std::vector<std::wstring> Differences(const ModleParam& want, const ModleParam& have);
// A value of the record as text (the port and baud rate in decimal).
std::wstring ValueText(const ModleParam& r, SettingKey key);

} // namespace proto
