// Checking, merging and building settings.
#include "app/module/Settings.h"

#include "app/module/Address.h"

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

ModleParam Merge(const ModleParam& current, const Edits& e) {
    ModleParam r = current;
    if (e.has[kBaud]) r.serial_rate = static_cast<int>(wcstoul(e.value[kBaud].c_str(), nullptr, 10));
    if (e.has[kHost]) r.serv_host = e.value[kHost].c_str();
    if (e.has[kPort]) r.serv_port = static_cast<unsigned short>(wcstoul(e.value[kPort].c_str(), nullptr, 10));
    if (e.has[kSsid]) r.ap_ssid = e.value[kSsid].c_str();
    if (e.has[kPass]) r.ap_pass = e.value[kPass].c_str();
    return r;
}

std::wstring ValueText(const ModleParam& r, SettingKey key) {
    switch (key) {
    case kBaud: return std::to_wstring(r.serial_rate);
    case kHost: return Text(r.serv_host);
    case kPort: return std::to_wstring(r.serv_port);
    case kSsid: return Text(r.ap_ssid);
    case kPass: return Text(r.ap_pass);
    default: return std::wstring();
    }
}

bool SaveRequest(const ModleParam& current, const ModleParam& intended, std::string& bytes, std::wstring& error) {
    std::wstring baud = ValueText(intended, kBaud), port = ValueText(intended, kPort);
    SettingsTexts texts = {baud.c_str(), intended.serv_host.Handle(), port.c_str(),
                           intended.ap_ssid.Handle(), intended.ap_pass.Handle(), intended.mac.Handle()};
    zo::Memory<char> out;
    SaveProblem problem;
    int n = BuildSave(current, texts, out, problem);
    if (problem.kind != SaveProblem::kNone) {
        std::wstring member = problem.member;
        std::wstring key = member == L"serv_host" ? L"host"
                           : member == L"ap_ssid" ? L"ssid"
                           : member == L"ap_pass" ? L"pass"
                                                  : member;
        if (problem.kind == SaveProblem::kCannotCarry)
            error = key + L" holds a character the module cannot hold (it speaks " +
                    (current.utf8 ? L"UTF-8" : L"the ANSI code page") + L")";
        else
            error = L"the module's " + key + L" could not be read exactly, and a save would change it; give " + key +
                    L"=... to set it";
        return false;
    }
    if (n <= 0 || static_cast<size_t>(n) > kMaxDatagram) {
        error = L"the settings take " + std::to_wstring(n) + L" bytes; one datagram holds at most " +
                std::to_wstring(kMaxDatagram);
        return false;
    }
    bytes.assign(out.data, static_cast<size_t>(n));
    return true;
}

std::vector<std::wstring> Differences(const ModleParam& want, const ModleParam& have) {
    std::vector<std::wstring> out;
    for (int k = 0; k < kSettingKeys; ++k) {
        SettingKey key = static_cast<SettingKey>(k);
        std::wstring w = ValueText(want, key), h = ValueText(have, key);
        if (w != h) out.push_back(std::wstring(kSettingNames[k]) + L" \"" + w + L"\" (module reports \"" + h + L"\")");
    }
    return out;
}

} // namespace proto
