// The entry, the help texts and the commands that talk to one module.
#include "app/cli/Commands.h"
#include "app/module/Address.h"

#include "app/Resource.h"
#include "app/module/Exchange.h"
#include "app/cli/Format.h"

namespace cli {

namespace {

#define NETWORK_OPTIONS L"  --interval MS   time between two requests to one network (default 50)\n" \
                        L"  --timeout MS    wait for an answer before asking again (default 1000)\n" \
                        L"  --retries N     requests after the first that got no answer (default 3)\n" \
                        L"  --quiet         no progress on the standard error\n"
#define SWEEP_OPTIONS   L"  --adapter A.B.C.D  sweep only that adapter's /24\n" \
                        L"  --subnet A.B.C.D/N sweep that network instead (/30 to /22)\n" \
                        L"  --passes N      sweep again, N times in all, the hosts that have not answered\n" \
                        L"  --quick         the broadcasts alone, no sweep\n" \
                        L"  --no-broadcast  the sweep alone\n"

const wchar_t kProgramHelp[] =
    L"ModuleCli: finds serial-to-network modules and reads and writes their settings.\n"
    L"\n"
    L"usage: ModuleCli COMMAND [options] [arguments]\n"
    L"  scan               list the modules on every adapter's network\n"
    L"  get TARGET         one module's settings\n"
    L"  aps TARGET         the access points a module sees\n"
    L"  set TARGET key=value...   change settings and check that they took\n"
    L"  export FILE.csv    save every module's settings to a file (passwords included)\n"
    L"  apply FILE.csv     write a file's settings to its modules and check them\n"
    L"TARGET is a module's address (198.51.100.101) or its mac (5C:CF:7F:00:00:01).\n"
    L"ModuleCli COMMAND --help tells more; ModuleCli --version its version.\n"
    L"\n"
    L"Exit codes: 0 all done, 1 some module failed (or none was found),\n"
    L"2 usage or file error, 3 the network cannot be used (port 6643 taken).\n"
    L"Text: on a console it is shown as the console shows Unicode; redirected\n"
    L"to a file or a pipe it is written as UTF-8. Modules answer on UDP port\n"
    L"6643, so the window (ModuleTool, 网络模块设置工具) and this program\n"
    L"cannot run at once.\n";

struct CommandInfo {
    const wchar_t* name;
    int (*run)(Session&, const Args&);
    const wchar_t* help;
    std::vector<OptionSpec> options;
};

const std::vector<OptionSpec> kNetwork = {{L"interval", true}, {L"timeout", true}, {L"retries", true}, {L"quiet", false}};
const std::vector<OptionSpec> kSweep = {{L"adapter", true}, {L"subnet", true}, {L"passes", true},
                                        {L"quick", false}, {L"no-broadcast", false}};

std::vector<OptionSpec> Join(std::vector<OptionSpec> a, const std::vector<OptionSpec>& b,
                             const std::vector<OptionSpec>& c = {}) {
    a.insert(a.end(), b.begin(), b.end());
    a.insert(a.end(), c.begin(), c.end());
    return a;
}

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> list = {
        {L"scan", Scan,
         L"usage: ModuleCli scan [options]\n"
         L"Sends a broadcast read from each local IPv4 adapter (loopback and\n"
         L"link-local left out), then asks every host of each adapter's /24, the\n"
         L"adapters side by side. Modules are told apart by mac; one seen at two addresses is listed\n"
         L"once with a warning. Rows are printed as modules answer.\n"
         L"  --format table|csv|json   (default table)\n"
         L"  --show-passwords   add the access point password\n" SWEEP_OPTIONS NETWORK_OPTIONS,
         Join({{L"format", true}, {L"show-passwords", false}}, kSweep, kNetwork)},
        {L"get", Get,
         L"usage: ModuleCli get TARGET [options]\n"
         L"Reads one module's settings, asking again when no answer comes.\n"
         L"  --format table|csv|json   (default table)\n"
         L"  --show-passwords   add the access point password\n" NETWORK_OPTIONS,
         Join({{L"format", true}, {L"show-passwords", false}}, kNetwork, kSweep)},
        {L"aps", Aps,
         L"usage: ModuleCli aps TARGET [options]\n"
         L"Prints the access points the module sees, one a line.\n" NETWORK_OPTIONS,
         Join({}, kNetwork, kSweep)},
        {L"set", Set,
         L"usage: ModuleCli set TARGET key=value... [options]\n"
         L"Keys: baud, host, port, ssid, pass. Reads the module, sends all its\n"
         L"settings with the given ones changed, then reads it again until every\n"
         L"value is reported (a module may restart after a save) or the time\n"
         L"((retries + 1) x timeout) passes. Exit 0 only when every value took.\n"
         L"A baud rate must be a positive number, a port a number up to 65535.\n"
         L"  --no-verify     send the save and return\n" NETWORK_OPTIONS,
         Join({{L"no-verify", false}}, kNetwork, kSweep)},
        {L"export", Export,
         L"usage: ModuleCli export FILE.csv [options]\n"
         L"Scans and writes every module to FILE.csv (UTF-8 with a byte-order mark):\n"
         L"mac,baud,host,port,ssid,pass, then the read-only ether_ip,ether_gate,\n"
         L"wifi_ip,wifi_gate. It is a backup: it holds the passwords.\n" SWEEP_OPTIONS NETWORK_OPTIONS,
         Join({}, kSweep, kNetwork)},
        {L"apply", Apply,
         L"usage: ModuleCli apply FILE.csv [options]\n"
         L"Writes each row to the module of its mac and checks it took, several\n"
         L"modules at once. An empty cell keeps the module's value; the read-only\n"
         L"columns of an export are ignored; any other column is an error. A row\n"
         L"with a bad value or a mac seen before is skipped whole. Prints a line\n"
         L"per module and a summary; exit 0 only when every row took.\n"
         L"  --dry-run       print what would change, send no save\n" SWEEP_OPTIONS NETWORK_OPTIONS,
         Join({{L"dry-run", false}}, kSweep, kNetwork)},
    };
    return list;
}

std::wstring Version() {
    return L"ModuleCli " + std::to_wstring(APP_VERSION_MAJOR) + L"." + std::to_wstring(APP_VERSION_MINOR) + L"." +
           std::to_wstring(APP_VERSION_PATCH) + L"." + std::to_wstring(APP_VERSION_BUILD) + L"\n";
}

bool ReadForm(Session& s, const Args& a, Form& form) {
    if (FormOf(a.Get(L"format", L"table"), form)) return true;
    s.Fail(kExitUsage, L"--format \"" + a.Get(L"format") + L"\" is not table, csv or json");
    return false;
}

ExchangeOptions Options(const Session& s) {
    ExchangeOptions o;
    o.timeout = s.timeout;
    o.retries = s.retries;
    return o;
}

} // namespace

namespace {

// A TARGET that is no address and no mac is a usage error, said before the
// network is opened: the window holding the port must not hide a typo.
bool TargetReadable(Session& s, const std::wstring& target, int& code) {
    zo::IP address;
    std::wstring mac;
    if (ParseAddress(target, address)) {
        if (address.ToLong() == 0 || address.IsNull()) {
            code = s.Fail(kExitUsage, L"TARGET " + target + L" is not one module's address");
            return false;
        }
        return true;
    }
    if (ParseMac(target.c_str(), mac)) return true;
    bool addressLike = !target.empty() && target.find_first_not_of(L"0123456789. ") == std::wstring::npos;
    code = s.Fail(kExitUsage, addressLike ? L"TARGET " + AddressRefusal(target.c_str())
                                          : L"TARGET \"" + target + L"\" is neither an address (A.B.C.D) nor a mac");
    return false;
}

} // namespace

bool Resolve(Session& s, const Args& a, const std::wstring& target, zo::IP& address, ModleParam* found, bool& byMac,
             int& code) {
    byMac = false;
    if (!TargetReadable(s, target, code)) return false;
    if (ParseAddress(target, address)) return true;
    std::wstring mac;
    ParseMac(target.c_str(), mac);
    SweepPlan plan;
    if (!s.Plan(a, plan)) {
        code = kExitUsage;
        return false;
    }
    ModuleSet set;
    FindMacs(s, {mac}, plan, set);
    const ModleParam* r = set.Find(mac);
    if (!r) {
        code = s.Fail(kExitFailed, L"no module with mac " + mac + L" answered (broadcast, then " +
                                       std::to_wstring(plan.networks.size()) + L" network(s) swept)");
        return false;
    }
    // The module's own report names its address; where a reply came from
    // is not always the module's.
    address = r->ether_ip;
    byMac = true;
    if (found) *found = *r;
    return true;
}

int RunCli(int argc, wchar_t** argv) {
    Session s;
    std::wstring first = argc > 1 ? argv[1] : L"";
    if (first.empty() || first == L"--help" || first == L"-h" || first == L"/?" || first == L"help") {
        s.out.Write(kProgramHelp);
        return first.empty() ? kExitUsage : kExitOk;
    }
    if (first == L"--version") {
        s.out.Write(Version());
        return kExitOk;
    }
    for (const CommandInfo& c : Commands()) {
        if (first != c.name) continue;
        Args a;
        std::wstring error;
        if (!ParseArgs(argc, argv, 2, c.options, a, error))
            return s.Fail(kExitUsage, std::wstring(c.name) + L": " + error + L" (ModuleCli " + c.name + L" --help)");
        if (a.help) {
            s.out.Write(c.help);
            return kExitOk;
        }
        if (!s.ReadCommon(a)) return kExitUsage;
        return c.run(s, a);
    }
    return s.Fail(kExitUsage, L"unknown command \"" + first + L"\" (ModuleCli --help lists them)");
}

int Get(Session& s, const Args& a) {
    Form form;
    if (!ReadForm(s, a, form)) return kExitUsage;
    if (a.positional.size() != 1) return s.Fail(kExitUsage, L"get takes one TARGET (ModuleCli get --help)");
    int code = kExitOk;
    if (!TargetReadable(s, a.positional[0], code)) return code;
    if (!s.OpenNetwork()) return kExitNetwork;
    zo::IP address;
    ModleParam record;
    bool byMac = false;
    if (!Resolve(s, a, a.positional[0], address, &record, byMac, code)) return code;
    if (!byMac) {
        Exchange read(Exchange::kRead, address, Options(s));
        s.Run({&read}, 1);
        if (read.result != Exchange::kOk)
            return s.Fail(kExitFailed, L"the module at " + Dotted(address) + L" did not answer (" +
                                           std::to_wstring(s.retries + 1) + L" requests)");
        record = read.record;
    }
    bool pass = a.Has(L"show-passwords");
    if (form == Form::kTable) s.out.Write(Details(record, pass));
    else if (form == Form::kJson) s.out.Write(JsonObject(record, pass) + L"\n");
    else s.out.Write(CsvHeaderLine(pass) + CsvModuleLine(record, pass));
    return kExitOk;
}

int Aps(Session& s, const Args& a) {
    if (a.positional.size() != 1) return s.Fail(kExitUsage, L"aps takes one TARGET (ModuleCli aps --help)");
    int code = kExitOk;
    if (!TargetReadable(s, a.positional[0], code)) return code;
    if (!s.OpenNetwork()) return kExitNetwork;
    zo::IP address;
    bool byMac = false;
    ModleParam record;
    if (!Resolve(s, a, a.positional[0], address, &record, byMac, code)) return code;
    Exchange list(Exchange::kAps, address, Options(s));
    if (list.result == Exchange::kRefused)
        return s.Fail(kExitFailed, (byMac ? Text(record.mac) + L": " : L"") + list.refusal + L"; nothing was sent");
    s.Run({&list}, 1);
    if (list.result != Exchange::kOk)
        return s.Fail(kExitFailed, L"the module at " + Dotted(address) + L" did not answer (" +
                                       std::to_wstring(s.retries + 1) + L" requests)");
    for (const std::wstring& name : list.aps) s.out.Write(name + L"\n");
    return kExitOk;
}

int Set(Session& s, const Args& a) {
    if (a.positional.size() < 2) return s.Fail(kExitUsage, L"set takes a TARGET and key=value... (ModuleCli set --help)");
    Edits edits;
    for (size_t i = 1; i < a.positional.size(); ++i) {
        std::wstring error;
        if (!ParseEdit(a.positional[i], edits, error)) return s.Fail(kExitUsage, error + L"; nothing was sent");
    }
    // Given values that alone overflow a datagram are refused before the
    // module is even read (a module speaking UTF-8 gets the longest request).
    std::string bytes;
    std::wstring tooLong;
    ModleParam empty;
    empty.mac = L"00:00:00:00:00:00";
    empty.utf8 = true;
    if (!SaveRequest(empty, Merge(empty, edits), bytes, tooLong)) return s.Fail(kExitUsage, tooLong + L"; nothing was sent");
    int code = kExitOk;
    if (!TargetReadable(s, a.positional[0], code)) return code;
    if (!s.OpenNetwork()) return kExitNetwork;
    zo::IP address;
    ModleParam record;
    bool byMac = false;
    if (!Resolve(s, a, a.positional[0], address, &record, byMac, code)) return code;
    ExchangeOptions o = Options(s);
    o.verify = !a.Has(L"no-verify");
    Exchange save(address, edits, o, byMac ? &record : nullptr);
    if (save.result != Exchange::kRefused) s.Run({&save}, 1);
    const ModleParam& known = byMac ? record : save.record;
    std::wstring who = known.mac.IsNull() ? Dotted(address) : Text(known.mac) + L" (" + Dotted(address) + L")";
    switch (save.result) {
    case Exchange::kOk:
        s.out.Write(o.verify ? who + L": every value took\n" : who + L": sent, not verified\n");
        return kExitOk;
    case Exchange::kRefused:
        return s.Fail(kExitFailed, who + L": " + save.refusal + L"; nothing was sent");
    case Exchange::kNotSent:
        return s.Fail(kExitFailed, who + L": the save could not be sent");
    case Exchange::kNoAnswer:
        return s.Fail(kExitFailed, L"the module at " + Dotted(address) + L" did not answer; nothing was saved");
    case Exchange::kSilentAfterSave:
        return s.Fail(kExitFailed, who + L": the module never answered after the save");
    case Exchange::kDiffers: {
        std::wstring text = who + L": the module did not take every value:";
        for (const std::wstring& d : save.differences) text += L"\n  " + d;
        return s.Fail(kExitFailed, text);
    }
    case Exchange::kPending:
        break;
    }
    return s.Fail(kExitFailed, who + L": no result");
}

} // namespace cli
