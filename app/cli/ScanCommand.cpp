// scan and export: the finder over every adapter, its modules printed as
// they answer or written to a file.
#include "app/cli/Commands.h"
#include "app/module/Address.h"
#include "app/cli/Csv.h"
#include "app/cli/Format.h"

namespace cli {

namespace {

// The finder with its warnings wired to the session.
void Find(Session& s, Finder& finder, const std::function<void(const ModleParam&)>& onFound) {
    finder.onFound = onFound;
    finder.onConflict = [&s](const ModleParam& r, zo::IP first) {
        s.Warn(L"mac " + Text(r.mac) + L" answered from " + Dotted(first) + L" and from " + Dotted(r.ether_ip) +
               L"; listed once, as " + Dotted(first));
    };
    s.Run({&finder}, finder.Lanes(), &finder);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    return CloseHandle(f) && ok;
}

} // namespace

int Scan(Session& s, const Args& a) {
    Form form;
    std::wstring name = a.Get(L"format", L"table");
    if (!FormOf(name, form)) return s.Fail(kExitUsage, L"--format \"" + name + L"\" is not table, csv or json");
    if (!a.positional.empty()) return s.Fail(kExitUsage, L"scan takes no arguments (\"" + a.positional[0] + L"\")");
    SweepPlan plan;
    if (!s.Plan(a, plan)) return kExitUsage;
    if (!s.OpenNetwork()) return kExitNetwork;
    bool pass = a.Has(L"show-passwords");
    if (form == Form::kTable) s.out.Write(TableHeader(pass));
    if (form == Form::kCsv) s.out.Write(CsvHeaderLine(pass));
    if (form == Form::kJson) s.out.Write(L"[");
    size_t rows = 0;
    Finder finder(plan);
    Find(s, finder, [&](const ModleParam& r) {
        s.ClearProgress();
        if (form == Form::kTable) s.out.Write(TableRow(r, pass));
        if (form == Form::kCsv) s.out.Write(CsvModuleLine(r, pass));
        if (form == Form::kJson) s.out.Write((rows ? L",\n " : L"\n ") + JsonObject(r, pass));
        ++rows;
    });
    if (form == Form::kJson) s.out.Write(rows ? L"\n]\n" : L"]\n");
    if (!s.quiet && s.err.IsConsole())
        s.err.Write(std::to_wstring(rows) + L" modules found, " + std::to_wstring(finder.Asked()) + L" requests sent\n");
    return rows ? kExitOk : kExitFailed;
}

int Export(Session& s, const Args& a) {
    if (a.positional.size() != 1) return s.Fail(kExitUsage, L"export takes one FILE.csv (ModuleCli export --help)");
    SweepPlan plan;
    if (!s.Plan(a, plan)) return kExitUsage;
    if (!s.OpenNetwork()) return kExitNetwork;
    Finder finder(plan);
    Find(s, finder, nullptr);
    std::string text = kUtf8Bom;
    auto add = [&text](const std::vector<std::wstring>& fields) {
        std::vector<std::string> utf8(fields.size());
        for (size_t i = 0; i < fields.size(); ++i) WideToUtf8(fields[i], utf8[i]);
        text += CsvLine(utf8);
    };
    add(CsvColumns(true));
    for (const ModleParam& r : finder.Found().List()) add(CsvFields(r, true));
    const std::wstring& path = a.positional[0];
    if (!WriteWholeFile(path, text))
        return s.Fail(kExitUsage, L"cannot write " + path + L" (error " + std::to_wstring(GetLastError()) + L")");
    size_t n = finder.Found().Count();
    s.out.Write(L"wrote " + std::to_wstring(n) + L" modules to " + path + L"\n");
    return n ? kExitOk : kExitFailed;
}

} // namespace cli
