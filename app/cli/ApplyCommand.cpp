// apply: a file's rows checked whole, their modules found, then every save
// sent and verified side by side, a line per row and a summary at the end.
#include <memory>

#include "app/cli/Commands.h"
#include "app/cli/Csv.h"
#include "app/module/Address.h"
#include "app/module/Exchange.h"

namespace cli {

namespace {

struct Row {
    unsigned line = 0;
    std::wstring mac;
    Edits edits;
    std::wstring problem;   // a bad row: why it is skipped
};

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(f, &size) && size.QuadPart < (64 << 20);
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD done = 0;
        ok = out.empty() || (ReadFile(f, &out[0], static_cast<DWORD>(out.size()), &done, nullptr) && done == out.size());
    }
    CloseHandle(f);
    return ok;
}

std::wstring Trimmed(const std::wstring& text) {
    size_t a = text.find_first_not_of(L" \t"), b = text.find_last_not_of(L" \t");
    return a == std::wstring::npos ? std::wstring() : text.substr(a, b - a + 1);
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// A row a spreadsheet leaves: no cell holds anything but spaces.
bool Blank(const CsvRow& row) {
    for (const std::string& f : row.fields)
        if (f.find_first_not_of(" \t") != std::string::npos) return false;
    return true;
}

// The rows of a file, or false after saying what is wrong with the file.
bool ReadRows(Session& s, const std::wstring& path, std::vector<Row>& rows) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        s.Fail(kExitUsage, L"cannot read " + path + L" (error " + std::to_wstring(GetLastError()) + L")");
        return false;
    }
    std::vector<CsvRow> csv;
    CsvError error;
    if (!ReadCsv(bytes, csv, error)) {
        std::wstring reason;
        Utf8ToWide(error.reason, reason);
        s.Fail(kExitUsage, path + L" line " + std::to_wstring(error.line) + L": " + reason);
        return false;
    }
    if (csv.empty()) {
        s.Fail(kExitUsage, path + L" is empty; it needs a header line with a mac column");
        return false;
    }
    // The header: the mac, the five keys, and the read-only columns an export writes.
    const int kIgnored = -1, kMac = kSettingKeys;
    std::vector<int> columns;
    bool seen[kSettingKeys + 1] = {};
    for (const std::string& f : csv[0].fields) {
        std::wstring name;
        Utf8ToWide(f, name);
        name = Lower(Trimmed(name));
        int c = name == L"mac" ? kMac : KeyOf(name);
        if (name == L"ether_ip" || name == L"ether_gate" || name == L"wifi_ip" || name == L"wifi_gate") c = kIgnored;
        else if (c == kSettingKeys && name != L"mac") {
            s.Fail(kExitUsage, path + L" line " + std::to_wstring(csv[0].line) + L": unknown column \"" + name +
                                   L"\" (columns: mac,baud,host,port,ssid,pass; ether_ip,ether_gate,wifi_ip,wifi_gate are ignored)");
            return false;
        }
        if (c != kIgnored && seen[c]) {
            s.Fail(kExitUsage, path + L" line " + std::to_wstring(csv[0].line) + L": column \"" + name + L"\" twice");
            return false;
        }
        if (c != kIgnored) seen[c] = true;
        columns.push_back(c);
    }
    if (!seen[kMac]) {
        s.Fail(kExitUsage, path + L" line " + std::to_wstring(csv[0].line) + L": no mac column");
        return false;
    }
    for (size_t i = 1; i < csv.size(); ++i) {
        if (Blank(csv[i])) continue;
        Row row;
        row.line = csv[i].line;
        if (csv[i].fields.size() != columns.size())
            row.problem = std::to_wstring(csv[i].fields.size()) + L" cells where the header has " + std::to_wstring(columns.size());
        for (size_t c = 0; c < columns.size() && c < csv[i].fields.size() && row.problem.empty(); ++c) {
            std::wstring value;
            Utf8ToWide(csv[i].fields[c], value);
            if (columns[c] == kMac) {
                if (!ParseMac(value.c_str(), row.mac) && !Trimmed(value).empty())
                    row.problem = L"\"" + value + L"\" is not a mac (six pairs of hex digits joined by : or -)";
            } else if (columns[c] != kIgnored && !value.empty()) {
                SettingKey key = static_cast<SettingKey>(columns[c]);
                if (key == kBaud || key == kPort) value = Trimmed(value);
                if (CheckValue(key, value, row.problem)) {
                    row.edits.has[key] = true;
                    row.edits.value[key] = value;
                }
            }
        }
        if (row.problem.empty() && row.mac.empty()) row.problem = L"no mac";
        for (const Row& before : rows)
            if (row.problem.empty() && before.problem.empty() && before.mac == row.mac)
                row.problem = L"mac " + row.mac + L" already on line " + std::to_wstring(before.line);
        rows.push_back(row);
    }
    return true;
}

std::wstring Changes(const ModleParam& from, const ModleParam& to) {
    std::wstring text;
    for (int k = 0; k < kSettingKeys; ++k) {
        SettingKey key = static_cast<SettingKey>(k);
        std::wstring a = ValueText(from, key), b = ValueText(to, key);
        if (a == b) continue;
        bool secret = key == kPass;
        text += (text.empty() ? L"" : L", ") + std::wstring(kSettingNames[k]) + L" " +
                (secret ? L"(changed)" : L"\"" + a + L"\" -> \"" + b + L"\"");
    }
    return text.empty() ? L"no change" : text;
}

} // namespace

int Apply(Session& s, const Args& a) {
    if (a.positional.size() != 1) return s.Fail(kExitUsage, L"apply takes one FILE.csv (ModuleCli apply --help)");
    std::vector<Row> rows;
    if (!ReadRows(s, a.positional[0], rows)) return kExitUsage;
    SweepPlan plan;
    if (!s.Plan(a, plan)) return kExitUsage;
    if (!s.OpenNetwork()) return kExitNetwork;

    std::vector<std::wstring> macs;
    for (const Row& r : rows)
        if (r.problem.empty()) macs.push_back(r.mac);
    ModuleSet found;
    if (!macs.empty()) FindMacs(s, macs, plan, found);

    bool dry = a.Has(L"dry-run");
    ExchangeOptions o;
    o.timeout = s.timeout;
    o.retries = s.retries;
    std::vector<std::unique_ptr<Exchange>> saves(rows.size());
    std::vector<Job*> jobs;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ModleParam* m = rows[i].problem.empty() ? found.Find(rows[i].mac) : nullptr;
        if (!m || dry || Differences(Merge(*m, rows[i].edits), *m).empty()) continue;
        // The save goes to the address the module's own report names, and
        // only when that can be one module's (the exchange refuses others).
        saves[i].reset(new Exchange(m->ether_ip, rows[i].edits, o, m));
        if (saves[i]->result != Exchange::kRefused) jobs.push_back(saves[i].get());
    }
    if (!jobs.empty()) s.Run(jobs, 1);

    unsigned taken = 0, differs = 0, silent = 0, missing = 0, bad = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        std::wstring head = L"line " + std::to_wstring(r.line) + L": ";
        if (!r.problem.empty()) {
            ++bad;
            s.out.Write(head + L"bad row, skipped: " + r.problem + L"\n");
            continue;
        }
        const ModleParam* m = found.Find(r.mac);
        if (!m) {
            ++missing;
            s.out.Write(head + r.mac + L" not found\n");
            continue;
        }
        head += r.mac + L" (" + Dotted(m->ether_ip) + L"): ";
        ModleParam want = Merge(*m, r.edits);
        if (dry) {
            s.out.Write(head + L"would change: " + Changes(*m, want) + L"\n");
            continue;
        }
        const Exchange* e = saves[i].get();
        if (!e) {
            ++taken;
            s.out.Write(head + L"taken (nothing to change)\n");
            continue;
        }
        switch (e->result) {
        case Exchange::kOk:
            ++taken;
            s.out.Write(head + L"taken: " + Changes(*m, want) + L"\n");
            break;
        case Exchange::kSilentAfterSave:
        case Exchange::kNoAnswer:
            ++silent;
            s.out.Write(head + L"never answered after the save\n");
            break;
        case Exchange::kRefused:
            ++bad;
            s.out.Write(head + L"refused, nothing was sent: " + e->refusal + L"\n");
            break;
        default: {
            ++differs;
            std::wstring text = head + L"differs:";
            for (const std::wstring& d : e->differences) text += L" " + d + L";";
            text.pop_back();
            s.out.Write(text + L"\n");
        }
        }
    }
    if (dry) {
        s.out.Write(L"dry run: nothing was sent; " + std::to_wstring(rows.size() - missing - bad) + L" found, " +
                    std::to_wstring(missing) + L" not found, " + std::to_wstring(bad) + L" bad row(s)\n");
        return missing || bad ? kExitFailed : kExitOk;
    }
    std::wstring summary = L"taken " + std::to_wstring(taken) + L", differs " + std::to_wstring(differs) +
                           L", not found " + std::to_wstring(missing) + L", bad row " + std::to_wstring(bad);
    if (silent) summary += L", no answer after the save " + std::to_wstring(silent);
    s.out.Write(summary + L"\n");
    return taken == rows.size() ? kExitOk : kExitFailed;
}

} // namespace cli
