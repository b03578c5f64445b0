// The tool's figures on the private test network, each against its goal:
//   size: ModuleTool.exe of both builds and the DLLs each imports (plain
//     and delayed); the 32-bit program under 1 MB;
//   search: simulated modules on .11 to .254 of the tool's /24 (.10 is the
//     tool itself); the click to the last reply the simulator sent (it
//     notes the time) against the sweep of the window before it searched
//     every adapter with a broadcast first (12.98 s measured: goal at most
//     0.1 x), the last reply to the last entry in the list (at most 50 ms),
//     the search's real duration against its nominal (1 s for the answers
//     to the broadcasts, 50 ms for each host of the longest network that did
//     not answer, 1 s for the last replies: 0.95 to 1.10 of it, so a search
//     that does not wait between hosts fails), and the working set once
//     every module is listed (under 16 MB of the program's own);
//     with --empty-first (scripts/netns-run --empty-first: the modules'
//     network is the second adapter), the search alone: every module listed;
//   burst: every module on the tool's /24 (.11 to .254: a broadcast reaches
//     no other) answering one broadcast read at once: every one listed in
//     under 2 s.
// The tool must end with 0 when its window is closed after each part.
// It starts the simulator and the programs itself. Needs a display and the
// module addresses: scripts/netns-run --display --modules 244 --first 198.51.100.11.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "support/PeImports.h"
#include "support/Simulator.h"
#include "tools/SimulatorLog.h"
#include "support/Wait.h"

#define PSAPI_VERSION 2
#include <psapi.h>

namespace {

const int kSweepModules = 244;   // .11 to .254
const int kBurstModules = 244;   // .11 to .254, as in the sweep
// The window's sweep of one /24, host after host, before its search asked
// every adapter with a broadcast first (12.98 s measured then).
const double kOldSweep = 12.98;

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

// The n-th child of class cls of window, in creation order.
HWND Control(HWND window, const wchar_t* cls, int n) {
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        GetClassNameW(c, name, 32);
        if (_wcsicmp(name, cls) == 0 && n-- == 0) return c;
    }
    return nullptr;
}

// Starts the tool and waits until its window shows every control.
bool StartTool(zotest::Program& tool) {
    auto shown = [&] {
        int n = 0;
        for (HWND c = GetWindow(tool.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) n += IsWindowVisible(c) != 0;
        return n >= 21;
    };
    return tool.Start() && zotest::WaitUntil(shown, 20000);
}

bool Memory(HANDLE process, PROCESS_MEMORY_COUNTERS_EX& c) {
    c = {};
    c.cb = sizeof(c);
    return process && GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof(c));
}

// The time of the last of the simulator's first replies (one a module), from its file of sent replies
// (module_sim --sent), on BenchNow's clock (0 when there is none);
// *modules gets how many modules replied.
double LastReply(const std::wstring& sent, int* modules) {
    std::string text = simlog::ReadFileBytes(sent.c_str());
    std::vector<bool> seen;
    long long last = 0;
    *modules = 0;
    for (size_t at = 0, eol; (eol = text.find('\n', at)) != std::string::npos; at = eol + 1) {
        int module = -1;
        long long ticks = 0;
        if (sscanf(text.c_str() + at, "%d %lld", &module, &ticks) != 2 || module < 0) continue;
        if (seen.size() <= static_cast<size_t>(module)) seen.resize(static_cast<size_t>(module) + 1);
        // A module is listed on its first reply; a second broadcast that it
        // answers again lists nothing new.
        if (seen[static_cast<size_t>(module)]) continue;
        ++*modules;
        seen[static_cast<size_t>(module)] = true;
        last = std::max(last, ticks);
    }
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(last) / static_cast<double>(f.QuadPart);
}

int Count(HWND box) { return static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0)); }

// A real pause after everything was listed: a late duplicate entry would
// show within it. The largest count seen.
int CountAfterPause(HWND box, double seconds) {
    int most = Count(box);
    for (double start = BenchNow(); BenchNow() - start < seconds; Sleep(5)) most = std::max(most, Count(box));
    return most;
}

const char kNeeds[] = "needs a display and the module addresses (scripts/netns-run --display --modules 244 "
                      "--first 198.51.100.11)";

int Size() {
    std::wstring x64 = zotest::BesideMe(L"ModuleTool.exe");
    std::wstring i686 = Parent(Parent(Parent(x64))) + L"\\i686\\bin\\ModuleTool.exe";
    size_t small = 0;
    for (const std::wstring& path : {x64, i686}) {
        std::string bytes = simlog::ReadFileBytes(path.c_str());
        std::string dlls;
        zotest::PeImports imports;
        zotest::ReadImports(bytes, imports);
        for (const std::string& d : imports.dlls) dlls += " " + d;
        printf("%ls: %zu bytes (%.0f KB), imports%s\n", path.c_str(), bytes.size(), bytes.size() / 1024.0,
               bytes.empty() ? " nothing: the program is missing" : dlls.c_str());
        if (path == i686) small = bytes.size();
    }
    return BenchGoal("32-bit size (under 1 MB)", small > 0 && small < (1u << 20));
}

// hostsLeft: the hosts of the longest network that do not answer.
int Sweep(int hostsLeft, bool searchOnly) {
    const double nominal = 1.0 + hostsLeft * 0.050 + 1.0;
    // Only the sweep notes its replies: writing a line after each send would
    // hold up the burst's back-to-back replies.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring sent = temp + (L"zo-bench-sent-" + std::to_wstring(GetCurrentProcessId()));
    DeleteFileW(sent.c_str());
    zotest::Simulator sim;
    if (!sim.Start(L"--modules " + std::to_wstring(kSweepModules) + L" --first 198.51.100.11 --sent \"" + sent + L"\"")) {
        printf("sweep: the simulator did not start; this benchmark %s\n", kNeeds);
        return BenchGoal("discovery", false) | BenchGoal("sweep pace", false) | BenchGoal("working set", false);
    }
    PROCESS_MEMORY_COUNTERS_EX base = {};
    bool baseOk;
    {
        zotest::Program baseline(L"minimal_window.exe");
        baseOk = searchOnly ||
                 (baseline.Start(L"最小窗口") && Memory(baseline.process, base) && baseline.Close(10000) == 0);
    }
    zotest::Program tool;
    if (!StartTool(tool) || !baseOk) {
        printf("sweep: the tool or the minimal program did not show its window; this benchmark %s\n", kNeeds);
        return BenchGoal("discovery", false) | BenchGoal("sweep pace", false) | BenchGoal("working set", false);
    }
    HWND list = Control(tool.window, L"ComboBox", 0), search = Control(tool.window, L"Button", 1);
    double start = BenchNow(), listed = 0, done = 0;
    DWORD_PTR r;
    SendMessageTimeoutW(search, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r);
    // The time the last entry appeared, as seen from outside: a look that
    // comes late can only lengthen the figure, never shorten it.
    while (!done && BenchNow() - start < 40) {
        if (!listed && Count(list) >= kSweepModules) listed = BenchNow();
        if (listed && IsWindowEnabled(search)) done = BenchNow();
        Sleep(1);   // polling from outside: nothing to wait on
    }
    PROCESS_MEMORY_COUNTERS_EX mem = {};
    bool memOk = Memory(tool.process, mem);
    int shown = CountAfterPause(list, 1.0);
    // When the simulator sent the last reply, by its own reading of the same clock.
    int replies = 0;
    double replied = LastReply(sent, &replies);
    DeleteFileW(sent.c_str());
    bool timesFit = replies == kSweepModules && replied > start && replied <= listed;
    bool closed = tool.Close(10000) == 0;
    printf("search: %d of %d modules listed (after a 1 s pause), %d replied; click to the last reply %.2f s, to "
           "every module listed %.2f s, %.3f x the old sweep's %.2f s; last reply sent to its entry %.1f ms; search "
           "took %.2f s, nominal %.2f s (ratio %.3f); the tool ended with 0: %s\n",
           shown, kSweepModules, replies, replied - start, listed - start, (listed - start) / kOldSweep, kOldSweep,
           (listed - replied) * 1e3, done - start, nominal, (done - start) / nominal, closed ? "yes" : "no");
    if (!timesFit) printf("search: the replies' times do not fit the search (sent before it began or after the list was full)\n");
    if (searchOnly)
        return BenchGoal("search with the modules on the second adapter: every module listed, at most 0.1 x the old sweep",
                         shown == kSweepModules && timesFit && listed - start <= 0.1 * kOldSweep) |
               BenchGoal("the tool ended with 0 after the search", closed);
    double own = static_cast<double>(mem.WorkingSetSize) - static_cast<double>(base.WorkingSetSize);
    printf("memory with %d modules listed: working set %.1f MB, private bytes %.1f MB; minimal program's working "
           "set %.1f MB; the tool's own (difference) %.1f MB\n",
           shown, mem.WorkingSetSize / 1048576.0, mem.PrivateUsage / 1048576.0, base.WorkingSetSize / 1048576.0,
           own / 1048576.0);
    // Wine reports no private bytes for another process: the share of the
    // working set beyond what any Win32 program has under it stands in.
    double measured = mem.PrivateUsage ? static_cast<double>(mem.PrivateUsage) : own;
    // The modules answer the broadcast together, so the list fills as a
    // burst does: the goal is the click to the last entry.
    int failed = BenchGoal("discovery: click to every module listed at most 0.1 x the old sweep",
                           shown == kSweepModules && done && timesFit && listed - start <= 0.1 * kOldSweep);
    const double pace = done ? (done - start) / nominal : 0;
    failed |= BenchGoal("search pace (0.95 to 1.10 of its nominal)", pace >= 0.95 && pace <= 1.10);
    failed |= BenchGoal("working set (under 16 MB)", memOk && measured < 16.0 * 1048576);
    failed |= BenchGoal("the tool ended with 0 after the sweep", closed);
    return failed;
}

int Burst() {
    zotest::Simulator sim;
    zotest::Program tool;
    if (!sim.Start(L"--modules " + std::to_wstring(kBurstModules) + L" --first 198.51.100.11") || !StartTool(tool)) {
        printf("burst: the simulator or the tool did not start; this benchmark %s\n", kNeeds);
        return BenchGoal("burst", false);
    }
    HWND list = Control(tool.window, L"ComboBox", 0), refresh = Control(tool.window, L"Button", 6);
    DWORD_PTR r;
    SendMessageTimeoutW(Control(tool.window, L"Edit", 3), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_NORMAL, 5000, &r);
    double start = BenchNow(), listed = 0;
    SendMessageTimeoutW(refresh, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r);
    while (!listed && BenchNow() - start < 10) {
        if (Count(list) >= kBurstModules) listed = BenchNow();
        Sleep(1);
    }
    // Late arrivals would still be counted: a real pause shows there are none beyond the modules.
    int shown = CountAfterPause(list, 1.0);
    bool closed = tool.Close(10000) == 0;
    printf("burst: %d of %d modules listed (after a 1 s pause) %s %.0f ms after the broadcast; the tool ended with 0: %s\n", shown,
           kBurstModules, listed ? "in" : "(not all) within", ((listed ? listed : BenchNow()) - start) * 1e3,
           closed ? "yes" : "no");
    return BenchGoal("burst (all listed in under 2 s)", shown == kBurstModules && listed && listed - start < 2.0) |
           BenchGoal("the tool ended with 0 after the burst", closed);
}

} // namespace

int main(int argc, char** argv) {
    // The modules' network second, after an adapter of 253 silent hosts.
    if (argc > 1 && std::string(argv[1]) == "--empty-first") return Sweep(253, true);
    int failed = Size();
    failed |= Sweep(253 - kSweepModules, false);
    failed |= Burst();
    return failed;
}
