// Checking, merging and building settings.
#include "app/module/Settings.h"

#include <cwchar>

#include "app/module/ModuleProtocol.h"

namespace proto {

const wchar_t* const kSettingNames[kSettingKeys] = {L"baud", L"host", L"port", L"ssid", L"pass"};

namespace {
// The largest payload of one IPv4 UDP datagram.
const size_t kMaxDatagram = 65507;

bool Decimal(const std::wstring& text, unsigned long long limit, unsigned long long& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    return value <= limit;
}
}

bool Edits::Any() const {
    for (bool h : has)
        if (h) return true;
    return false;
}

SettingKey KeyOf(const std::wstring& name) {
    for (int k = 0; k < kSettingKeys; ++k)
        if (name == kSettingNames[k]) return static_cast<SettingKey>(k);
    return kSettingKeys;
}

bool CheckValue(SettingKey key, const std::wstring& value, std::wstring& error) {
    unsigned long long n = 0;
    if (key == kBaud && !(Decimal(value, 2147483647ull, n) && n > 0)) {
        error = L"baud \"" + value + L"\" is not a positive number (at most 2147483647)";
        return false;
    }
    if (key == kPort && !Decimal(value, 65535, n)) {
        error = L"port \"" + value + L"\" is not a number from 0 to 65535";
        return false;
    }
    return true;
}

bool ParseEdit(const std::wstring& text, Edits& edits, std::wstring& error) {
    size_t eq = text.find(L'=');
    if (eq == std::wstring::npos) {
        error = L"\"" + text + L"\" is not key=value";
        return false;
    }
    SettingKey key = KeyOf(text.substr(0, eq));
    if (key == kSettingKeys) {
        error = L"unknown key \"" + text.substr(0, eq) + L"\" (keys: baud, host, port, ssid, pass)";
        return false;
    }
    std::wstring value = text.substr(eq + 1);
    if (!CheckValue(key, value, error)) return false;
    edits.has[key] = true;
    edits.value[key] = value;
    return true;
}

ModuleRecord Merge(const ModuleRecord& current, const Edits& e) {
    ModuleRecord r = current;
    if (e.has[kBaud]) r.baud = static_cast<int>(wcstoul(e.value[kBaud].c_str(), nullptr, 10));
    if (e.has[kHost]) r.host = e.value[kHost];
    if (e.has[kPort]) r.port = static_cast<unsigned>(wcstoul(e.value[kPort].c_str(), nullptr, 10));
    if (e.has[kSsid]) r.ssid = e.value[kSsid];
    if (e.has[kPass]) r.pass = e.value[kPass];
    return r;
}

std::wstring ValueText(const ModuleRecord& r, SettingKey key) {
    switch (key) {
    case kBaud: return std::to_wstring(r.baud);
    case kHost: return r.host;
    case kPort: return std::to_wstring(r.port);
    case kSsid: return r.ssid;
    case kPass: return r.pass;
    default: return std::wstring();
    }
}

bool SaveRequest(const ModuleRecord& intended, std::string& bytes, std::wstring& error) {
    std::wstring baud = ValueText(intended, kBaud), port = ValueText(intended, kPort);
    proto::SettingsTexts texts = {baud.c_str(), intended.host.c_str(), port.c_str(),
                                  intended.ssid.c_str(), intended.pass.c_str(), intended.mac.c_str()};
    zo::String settings;
    BuildSettings(texts, settings);
    zo::Memory<char> out;
    int n = BuildWriteRequest(settings, out);
    if (n <= 0 || static_cast<size_t>(n) > kMaxDatagram) {
        error = L"the settings take " + std::to_wstring(n) + L" bytes; one datagram holds at most " +
                std::to_wstring(kMaxDatagram);
        return false;
    }
    bytes.assign(out.data, static_cast<size_t>(n));
    return true;
}

std::vector<std::wstring> Differences(const ModuleRecord& want, const ModuleRecord& have) {
    std::vector<std::wstring> out;
    for (int k = 0; k < kSettingKeys; ++k) {
        SettingKey key = static_cast<SettingKey>(k);
        std::wstring w = ValueText(want, key), h = ValueText(have, key);
        if (w != h) out.push_back(std::wstring(kSettingNames[k]) + L" \"" + w + L"\" (module reports \"" + h + L"\")");
    }
    return out;
}

} // namespace proto
