// ModuleCli's figures on the private test network, each against a baseline
// measured in the same run:
//   scan: every simulated module of the tool's /24 (.11 to .254) listed by
//     ModuleCli scan (broadcast, then the sweep); the time to its last row
//     against the time the window's sweep (the window's own host order,
//     one request per 50 ms, run here on the protocol code) takes to its
//     last reply; goal at most 0.1 x, and every module found;
//   loss: the same modules losing 10 % of requests and of replies: found by
//     scan --passes 3 (goal at least 99 %) against one pass of the window's
//     sweep (expect about 81 %);
//   apply: a file changing the port of 100 modules, applied and verified;
//     its run time against 100 x the interval x 2 (goal at most 1.2 x);
//   apply at size: 150 rows whose modules stay silent for 2 s after a save
//     and then report: every row taken, every module saved.
// Modules count once each, by mac, however many rows name them; every run
// of ModuleCli must end with 0; the settings that reached the modules are
// counted in the simulator's own log of what it received, not in the
// program's summary.
// It starts the simulator and the program itself. Needs the module
// addresses: scripts/netns-run --modules 244 --first 198.51.100.11.
#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "app/module/ModuleProtocol.h"
#include "net/Socket.h"
#include "support/Simulator.h"

namespace {

const int kModules = 244;   // .11 to .254
const int kApplied = 100;
const double kInterval = 0.050;

using zotest::BesideMe;

struct Found {
    int modules = 0;
    double last = 0;   // seconds from the start to the last new module
    double total = 0;
};

// The window's sweep: one request to each host .1 to .254 of the local /24,
// 50 ms apart, from a socket of its own; replies taken on port 6643.
Found WindowSweep() {
    Found f;
    zo::StartWinsock();
    zo::Socket receiver, sender;
    receiver.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sender.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    zo::SOCKADDR at;
    at.SetIp(zo::IP(htonl(INADDR_ANY)));
    at.SetPortW(proto::kToolPort);
    if (!receiver.Bind(at)) {
        printf("window sweep: port 6643 is taken\n");
        return f;
    }
    std::set<std::string> macs;
    std::atomic<bool> stop(false);
    double start = BenchNow();
    std::thread receive([&] {
        char buffer[65536];
        while (!stop) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(receiver.Handle(), &set);
            timeval tv = {0, 20000};
            if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
            int n = receiver.Receive(buffer, sizeof(buffer), 0);
            if (n <= 0) continue;
            zo::String text;
            proto::DecodeDatagram(buffer, n, text);
            zo::Json report;
            if (!proto::ParseReport(text, report)) continue;
            ModleParam p;
            proto::ReadReport(report, p);
            zo::Memory<char> mac;
            p.mac.ToMultiByte(mac);
            if (macs.insert(mac.data ? mac.data : "").second) f.last = BenchNow() - start;
        }
    });
    zo::IP local = proto::LocalAddress();
    for (unsigned k = 1; k <= 254; ++k) {
        zo::SOCKADDR to;
        to.SetIp(proto::SweepHost(local, k));
        to.SetPortW(proto::kModulePort);
        sender.SendTo(proto::kReadRequest, 19, 0, to, zo::SOCKADDR::Size());
        Sleep(50);
    }
    Sleep(1000);   // the last replies
    stop = true;
    receive.join();
    f.total = BenchNow() - start;
    f.modules = static_cast<int>(macs.size());
    receiver.Close();
    sender.Close();
    WSACleanup();
    return f;
}

// Runs ModuleCli with args, its output read through a pipe; the distinct
// macs that begin its lines ("5C:..." up to the first comma), the time the
// last new one appeared, and the exit code.
Found RunCli(const std::wstring& args, DWORD* code, std::string* output = nullptr) {
    Found f;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &sa, 0);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + BesideMe(L"ModuleCli.exe") + L"\" " + args;
    double start = BenchNow();
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi)) {
        CloseHandle(read);
        CloseHandle(write);
        *code = 99;
        return f;
    }
    CloseHandle(write);
    std::string text, pending;
    std::set<std::string> macs;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(read, buffer, sizeof(buffer), &n, nullptr) && n) {
        double now = BenchNow() - start;
        pending.append(buffer, n);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            if (pending.compare(0, 3, "5C:") == 0 && macs.insert(pending.substr(0, pending.find(','))).second)
                f.last = now;
            text += pending.substr(0, end + 1);
            pending.erase(0, end + 1);
        }
    }
    WaitForSingleObject(pi.hProcess, 60000);
    f.total = BenchNow() - start;
    f.modules = static_cast<int>(macs.size());
    GetExitCodeProcess(pi.hProcess, code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(read);
    if (output) *output = text + pending;
    return f;
}

// Starts the simulator with count modules from .11 and more options (and
// its log of received datagrams when log is set); false, having said why,
// when it does not come up.
bool StartSimulator(zotest::Simulator& sim, const char* name, int count, const wchar_t* more = L"",
                    bool log = false) {
    if (sim.Start(L"--modules " + std::to_wstring(count) + L" --first 198.51.100.11" + more, log)) return true;
    printf("%s: the simulator did not start; this benchmark needs the module addresses "
           "(scripts/netns-run --modules 244 --first 198.51.100.11)\n", name);
    return false;
}

int Scan() {
    zotest::Simulator sim;
    if (!StartSimulator(sim, "scan", kModules)) return BenchGoal("scan", false);
    Found window = WindowSweep();
    DWORD code = 0;
    Found cli = RunCli(L"scan --format csv --quiet", &code);
    printf("scan: window's sweep listed %d of %d modules, the last after %.2f s (sweep %.2f s)\n", window.modules,
           kModules, window.last, window.total);
    printf("scan: ModuleCli scan listed %d of %d, the last after %.3f s (run %.2f s, exit %lu); ratio %.3f\n",
           cli.modules, kModules, cli.last, cli.total, code, window.last > 0 ? cli.last / window.last : 0.0);
    return BenchGoal("scan: all found, ended with 0, last listed at most 0.1 x the window's sweep",
                     cli.modules == kModules && code == 0 && window.last > 0 && cli.last <= 0.1 * window.last);
}

int Loss() {
    zotest::Simulator sim;
    if (!StartSimulator(sim, "loss", kModules, L" --drop 10 --seed 18")) return BenchGoal("loss", false);
    Found window = WindowSweep();
    DWORD code = 0;
    Found cli = RunCli(L"scan --format csv --quiet --passes 3", &code);
    printf("loss: 10 %% of requests and of replies lost; window's one sweep found %d of %d (%.1f %%)\n", window.modules,
           kModules, 100.0 * window.modules / kModules);
    printf("loss: ModuleCli scan --passes 3 found %d of %d (%.1f %%) in %.2f s (exit %lu)\n", cli.modules, kModules,
           100.0 * cli.modules / kModules, cli.total, code);
    return BenchGoal("loss: at least 99 % found, ended with 0", cli.modules * 100 >= 99 * kModules && code == 0);
}

// The modules of a port file: those that received a setting request carrying
// their own new port (module i gets 20000 + i), from the simulator's log.
std::set<int> Saved(const zotest::Simulator& sim, int count) {
    std::set<int> saved;
    for (const simlog::Record& r : sim.Log()) {
        if (r.module < 0 || r.module >= count || !r.event.empty() || r.bytes.compare(0, 19, "set_net_modle_param"))
            continue;
        if (r.bytes.find(":" + std::to_string(20000 + r.module)) != std::string::npos) saved.insert(r.module);
    }
    return saved;
}

// A file giving module i (mac ...:HH:LL with HHLL = i + 1) port 20000 + i.
std::wstring PortFile(int count) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring file = temp + (L"zo-bench-cli-" + std::to_wstring(GetCurrentProcessId()) + L"-ports.csv");
    std::string text = "mac,port\r\n";
    for (int i = 0; i < count; ++i) {
        char row[64];
        snprintf(row, sizeof(row), "5C:CF:7F:00:%02X:%02X,%d\r\n", ((i + 1) >> 8) & 255, (i + 1) & 255, 20000 + i);
        text += row;
    }
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(f);
    return file;
}

int ApplyAtSize() {
    const int count = 150;
    std::wstring silent;
    for (int i = 0; i < count; ++i) silent += L" --restart-after-save " + std::to_wstring(i) + L":2000";
    zotest::Simulator sim;
    if (!StartSimulator(sim, "apply at size", count, silent.c_str(), true)) return BenchGoal("apply at size", false);
    std::wstring file = PortFile(count);
    DWORD code = 0;
    std::string out;
    Found run = RunCli(L"apply \"" + file + L"\" --quiet", &code, &out);
    DeleteFileW(file.c_str());
    size_t saved = Saved(sim, count).size();
    bool summary = out.find("taken 150, differs 0, not found 0, bad row 0") != std::string::npos;
    printf("apply at size: %d rows, modules silent 2 s after a save; %zu received their new port (simulator's log), "
           "the program's summary %s (exit %lu) in %.2f s\n",
           count, saved, summary ? "says all taken" : "does NOT say all taken", code, run.total);
    return BenchGoal("apply at size: every row taken, every module saved, ended with 0",
                     summary && saved == static_cast<size_t>(count) && code == 0);
}

int Apply() {
    zotest::Simulator sim;
    if (!StartSimulator(sim, "apply", kApplied, L"", true)) return BenchGoal("apply", false);
    std::wstring file = PortFile(kApplied);
    DWORD code = 0;
    std::string out;
    Found run = RunCli(L"apply \"" + file + L"\" --quiet", &code, &out);
    DeleteFileW(file.c_str());
    double budget = kApplied * kInterval * 2;
    std::set<int> saved = Saved(sim, kApplied);
    bool summary = out.find("taken 100, differs 0, not found 0, bad row 0") != std::string::npos;
    printf("apply: %d modules, %d of them received their new port (simulator's log), the program's summary %s "
           "(exit %lu) in %.2f s; 100 x %.0f ms x 2 = %.1f s; ratio %.2f\n",
           kApplied, static_cast<int>(saved.size()), summary ? "says all taken" : "does NOT say all taken", code,
           run.total, kInterval * 1000, budget, run.total / budget);
    return BenchGoal("apply: all received, ended with 0, in at most 1.2 x 100 x interval x 2",
                     static_cast<int>(saved.size()) == kApplied && code == 0 && run.total <= 1.2 * budget);
}

} // namespace

int main() {
    int failed = Scan();
    failed |= Loss();
    failed |= Apply();
    failed |= ApplyAtSize();
    return failed;
}
