// The tool's figures on the private test network, each against its goal:
//   size: ModuleTool.exe of both builds and the DLLs each imports (plain
//     and delayed); the 32-bit program under 1 MB;
//   sweep: simulated modules on .11 to .254 of the tool's /24 (.10 is the
//     tool itself); the time from the last reply the simulator sent (it
//     notes the time) to the last entry in the list (at most 50 ms), the
//     sweep's real duration against its nominal 254 x 50 ms, and the
//     working set once every module is listed (under 16 MB of the
//     program's own);
//   burst: every module on the tool's /24 (.11 to .254: a broadcast reaches
//     no other) answering one broadcast read at once: every one listed in
//     under 2 s.
// It starts the simulator and the programs itself. Needs a display and the
// module addresses: scripts/netns-run --display --modules 254 --first 198.51.100.11.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "../tests/support/Beside.h"
#include "../tests/support/PeImports.h"
#include "../tools/SimulatorLog.h"

#define PSAPI_VERSION 2
#include <psapi.h>

namespace {

const wchar_t kTitle[] = L"网络模块设置工具";
const int kSweepModules = 244;   // .11 to .254
const int kBurstModules = 244;   // .11 to .254, as in the sweep
const double kNominalSweep = 254 * 0.050;

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A program beside this one, started as from a desktop; ended on destruction.
class Program {
public:
    ~Program() { End(); }
    bool Start(const std::wstring& path, const std::wstring& args = L"") {
        process = zotest::StartProgram(path, args, DETACHED_PROCESS);
        pid = process ? GetProcessId(process) : 0;
        return process != nullptr;
    }
    bool Running() const { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    // Waits until its window titled title is visible with at least n children.
    HWND Window(const wchar_t* title, int n) {
        for (double start = BenchNow(); BenchNow() - start < 20 && Running(); Sleep(1)) {
            for (HWND h = FindWindowW(nullptr, title); h; h = FindWindowExW(nullptr, h, nullptr, title)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                int shown = 0;
                for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) shown += IsWindowVisible(c) != 0;
                if (owner == pid && IsWindowVisible(h) && shown >= n) return window = h;
            }
        }
        return nullptr;
    }
    // The n-th child of class cls, in creation order.
    HWND Control(const wchar_t* cls, int n) const {
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t name[32] = {};
            GetClassNameW(c, name, 32);
            if (_wcsicmp(name, cls) == 0 && n-- == 0) return c;
        }
        return nullptr;
    }
    bool Memory(PROCESS_MEMORY_COUNTERS_EX& c) const {
        c = {};
        c.cb = sizeof(c);
        HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        bool ok = p && GetProcessMemoryInfo(p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof(c));
        if (p) CloseHandle(p);
        return ok;
    }
    // Closes the window; true when the program ended with 0.
    bool Close() {
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        DWORD code = 1;
        bool ended = process && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
        End();
        return ended && code == 0;
    }
    void End() {
        if (!process) return;
        if (Running()) TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
        process = nullptr;
    }
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND window = nullptr;
};

// module_sim with its log, ready and stop files in a folder of its own.
class Modules {
public:
    ~Modules() { Stop(); }
    bool Start(int count, const wchar_t* first) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"zo-bench-sim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(count);
        CreateDirectoryW(folder.c_str(), nullptr);
        sent = folder + L"\\sent";
        for (const std::wstring& f : {sent, folder + L"\\ready", folder + L"\\stop"}) DeleteFileW(f.c_str());
        if (!program.Start(zotest::BesideMe(L"module_sim.exe"), L"--modules " + std::to_wstring(count) + L" --first " +
                                                                    first + L" --sent \"" + sent + L"\" --ready \"" +
                                                                    folder + L"\\ready\" --stop \"" + folder +
                                                                    L"\\stop\""))
            return false;
        for (double start = BenchNow(); BenchNow() - start < 30 && program.Running(); Sleep(5))
            if (Exists(folder + L"\\ready")) return true;
        return false;
    }
    void Stop() {
        if (!program.process) return;
        HANDLE f = CreateFileW((folder + L"\\stop").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        WaitForSingleObject(program.process, 5000);
        program.End();
        for (const std::wstring& name : {sent, folder + L"\\ready", folder + L"\\stop"}) DeleteFileW(name.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    // The simulator's "<module> <performance counter>" line for every reply it sent.
    std::wstring sent;
    Program program;

    // The time of the last reply sent, on BenchNow's clock (0 when there is
    // none); *modules gets how many modules replied.
    double LastReply(int* modules) const {
        std::string text = simlog::ReadFileBytes(sent.c_str());
        std::vector<bool> seen;
        long long last = 0;
        *modules = 0;
        for (size_t at = 0, eol; (eol = text.find('\n', at)) != std::string::npos; at = eol + 1) {
            int module = -1;
            long long ticks = 0;
            if (sscanf(text.c_str() + at, "%d %lld", &module, &ticks) != 2 || module < 0) continue;
            if (seen.size() <= static_cast<size_t>(module)) seen.resize(static_cast<size_t>(module) + 1);
            if (!seen[static_cast<size_t>(module)]) ++*modules;
            seen[static_cast<size_t>(module)] = true;
            last = std::max(last, ticks);
        }
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(last) / static_cast<double>(f.QuadPart);
    }

private:
    std::wstring folder;
};

int Count(HWND box) { return static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0)); }

// A real pause after everything was listed: a late duplicate entry would
// show within it. The largest count seen.
int CountAfterPause(HWND box, double seconds) {
    int most = Count(box);
    for (double start = BenchNow(); BenchNow() - start < seconds; Sleep(5)) most = std::max(most, Count(box));
    return most;
}

int Goal(const char* name, bool met) {
    printf("%s goal: %s\n", name, met ? "met" : "NOT met");
    return met ? 0 : 1;
}

const char kNeeds[] = "needs a display and the module addresses (scripts/netns-run --display --modules 254 "
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
    return Goal("32-bit size (under 1 MB)", small > 0 && small < (1u << 20));
}

int Sweep() {
    Modules sim;
    if (!sim.Start(kSweepModules, L"198.51.100.11")) {
        printf("sweep: the simulator did not start; this benchmark %s\n", kNeeds);
        return Goal("discovery", false) | Goal("working set", false);
    }
    Program baseline;
    PROCESS_MEMORY_COUNTERS_EX base = {};
    bool baseOk = baseline.Start(zotest::BesideMe(L"minimal_window.exe")) && baseline.Window(L"最小窗口", 1) &&
                  baseline.Memory(base);
    baseline.Close();
    Program tool;
    if (!tool.Start(zotest::BesideMe(L"ModuleTool.exe")) || !tool.Window(kTitle, 21) || !baseOk) {
        printf("sweep: the tool or the minimal program did not show its window; this benchmark %s\n", kNeeds);
        return Goal("discovery", false) | Goal("working set", false);
    }
    HWND list = tool.Control(L"ComboBox", 0), search = tool.Control(L"Button", 1);
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
    bool memOk = tool.Memory(mem);
    int shown = CountAfterPause(list, 1.0);
    // When the simulator sent the last reply, by its own reading of the same clock.
    int replies = 0;
    double replied = sim.LastReply(&replies);
    bool timesFit = replies == kSweepModules && replied > start && replied <= listed;
    bool closed = tool.Close();
    printf("sweep: %d of %d modules listed (after a 1 s pause), %d replied; last reply sent to its entry %.1f ms; "
           "sweep took %.2f s, nominal %.1f s (ratio %.3f); the tool ended with 0: %s\n",
           shown, kSweepModules, replies, (listed - replied) * 1e3, done - start, kNominalSweep,
           (done - start) / kNominalSweep, closed ? "yes" : "no");
    if (!timesFit) printf("sweep: the replies' times do not fit the sweep (sent before it began or after the list was full)\n");
    double own = static_cast<double>(mem.WorkingSetSize) - static_cast<double>(base.WorkingSetSize);
    printf("memory with %d modules listed: working set %.1f MB, private bytes %.1f MB; minimal program's working "
           "set %.1f MB; the tool's own (difference) %.1f MB\n",
           shown, mem.WorkingSetSize / 1048576.0, mem.PrivateUsage / 1048576.0, base.WorkingSetSize / 1048576.0,
           own / 1048576.0);
    // Wine reports no private bytes for another process: the share of the
    // working set beyond what any Win32 program has under it stands in.
    double measured = mem.PrivateUsage ? static_cast<double>(mem.PrivateUsage) : own;
    int failed = Goal("discovery (at most 50 ms)", shown == kSweepModules && done && timesFit && listed - replied <= 0.050);
    failed |= Goal("working set (under 16 MB)", memOk && measured < 16.0 * 1048576);
    return failed;
}

int Burst() {
    Modules sim;
    Program tool;
    if (!sim.Start(kBurstModules, L"198.51.100.11") || !tool.Start(zotest::BesideMe(L"ModuleTool.exe")) ||
        !tool.Window(kTitle, 21)) {
        printf("burst: the simulator or the tool did not start; this benchmark %s\n", kNeeds);
        return Goal("burst", false);
    }
    HWND list = tool.Control(L"ComboBox", 0), refresh = tool.Control(L"Button", 6);
    DWORD_PTR r;
    SendMessageTimeoutW(tool.Control(L"Edit", 3), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_NORMAL, 5000, &r);
    double start = BenchNow(), listed = 0;
    SendMessageTimeoutW(refresh, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r);
    while (!listed && BenchNow() - start < 10) {
        if (Count(list) >= kBurstModules) listed = BenchNow();
        Sleep(1);
    }
    // Late arrivals would still be counted: a real pause shows there are none beyond the modules.
    int shown = CountAfterPause(list, 1.0);
    bool closed = tool.Close();
    printf("burst: %d of %d modules listed (after a 1 s pause) %s %.0f ms after the broadcast; the tool ended with 0: %s\n", shown,
           kBurstModules, listed ? "in" : "(not all) within", ((listed ? listed : BenchNow()) - start) * 1e3,
           closed ? "yes" : "no");
    return Goal("burst (all listed in under 2 s)", shown == kBurstModules && listed && listed - start < 2.0);
}

} // namespace

int main() {
    int failed = Size();
    failed |= Sweep();
    failed |= Burst();
    return failed;
}
