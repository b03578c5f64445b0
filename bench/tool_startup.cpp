// Start-up of the tool against the same window made with the bare Windows
// API (bare_window), measured from outside as a user sees it: from the
// process's creation until its main window is visible with all 21 controls
// ("shown"), and until it then answers a message, its first painting being
// over ("answered"). Each round starts the minimal program, the bare window
// and the tool once, the two being compared taking turns at going first;
// the goal is on the median of the rounds' own ratios (tool / bare window)
// for both times, the 90th percentile printed beside it. The minimal program
// (one button) is shown as a figure only. Before any timing the bare window
// is checked against the tool control by control (class, style, rectangle
// from the layout table), so the yardstick is the tool's window and stays
// so. The tool's place file is kept aside for the run and put back after.
// Needs a display.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "app/MainLayout.h"
#include "window/Dpi.h"

namespace {

const int kWarmUp = 2;
const int kRounds = 30;
const double kGoal = 1.10;   // median of the tool / bare window ratios

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

struct Target {
    const wchar_t* exe;
    const wchar_t* title;
    int controls;
};

int VisibleChildren(HWND h) {
    int n = 0;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (IsWindowVisible(c)) ++n;
    return n;
}

HWND WindowOf(DWORD pid, const wchar_t* title) {
    for (HWND h = FindWindowW(nullptr, title); h; h = FindWindowExW(nullptr, h, nullptr, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid && IsWindowVisible(h)) return h;
    }
    return nullptr;
}

// One child window as the check compares it.
struct Child {
    wchar_t className[64];
    LONG style;
    RECT rect;   // in the parent's client coordinates
};

// The main window's direct children in creation order (the order GW_CHILD
// starts from: a window made later lies below the ones made before it).
std::vector<Child> ChildrenOf(HWND h) {
    std::vector<Child> out;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        Child child = {};
        GetClassNameW(c, child.className, 64);
        child.style = GetWindowLongW(c, GWL_STYLE);
        GetWindowRect(c, &child.rect);
        MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&child.rect), 2);
        out.push_back(child);
    }
    return out;
}

struct Times {
    double shown = -1;      // seconds to the full window
    double answered = -1;   // seconds until it then answered a message
};

// Times from CreateProcess; negative on failure. The program is closed
// again and must end with 0. With children, the window's controls are
// read before it is closed.
Times StartOnce(const Target& t, std::vector<Child>* children = nullptr, int* dpi = nullptr) {
    Times times;
    std::wstring path = Beside(t.exe), line = L"\"" + path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    double start = BenchNow();
    if (!CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                        &pi))
        return times;
    HWND window = nullptr;
    while (BenchNow() - start < 20) {
        if ((window = window ? window : WindowOf(pi.dwProcessId, t.title)) && VisibleChildren(window) >= t.controls) {
            times.shown = BenchNow() - start;
            DWORD_PTR r;
            if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r)) times.answered = BenchNow() - start;
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
        Sleep(1);   // polling another process's window: nothing to wait on
    }
    if (window && children) *children = ChildrenOf(window);
    if (window && dpi) *dpi = zo::WindowDpi(window);
    DWORD code = 1;
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (code != 0) times.shown = times.answered = -1;
    return times;
}

bool SameRect(const RECT& a, const RECT& b, bool height) {
    return a.left == b.left && a.top == b.top && a.right == b.right && (!height || a.bottom == b.bottom);
}

// The bare window and the tool hold the same controls: in creation order,
// the same class and style, each at the rectangle the layout table gives it
// at the window's DPI (a drop-down box's height is its font's business, so
// there the two windows are compared with each other). Prints every
// difference; true when there is none.
bool SameControls(const std::vector<Child>& bare, const std::vector<Child>& tool, int dpi) {
    RECT at[mainlayout::kControls];
    mainlayout::Place(dpi, at);
    if (bare.size() != mainlayout::kControls || tool.size() != mainlayout::kControls) {
        printf("the bare window has %u controls, the tool %u, the layout table %u\n", unsigned(bare.size()),
               unsigned(tool.size()), mainlayout::kControls);
        return false;
    }
    bool same = true;
    for (unsigned i = 0; i < mainlayout::kControls; ++i) {
        const Child& b = bare[i];
        const Child& t = tool[i];
        const bool box = _wcsicmp(t.className, L"ComboBox") == 0;
        const char* what = _wcsicmp(b.className, t.className) != 0 ? "class"
                           : b.style != t.style                     ? "style"
                           : !SameRect(t.rect, at[i], !box)         ? "the tool's place"
                           : !SameRect(b.rect, at[i], !box)         ? "the bare window's place"
                           : box && b.rect.bottom != t.rect.bottom  ? "height"
                                                                    : nullptr;
        if (!what) continue;
        same = false;
        printf("control %u differs in %s: bare %ls %08lX (%ld,%ld)-(%ld,%ld), tool %ls %08lX (%ld,%ld)-(%ld,%ld), "
               "table (%ld,%ld)-(%ld,%ld)\n",
               i, what, b.className, static_cast<unsigned long>(b.style), b.rect.left, b.rect.top, b.rect.right,
               b.rect.bottom, t.className, static_cast<unsigned long>(t.style), t.rect.left, t.rect.top, t.rect.right,
               t.rect.bottom, at[i].left, at[i].top, at[i].right, at[i].bottom);
    }
    return same;
}

// The value below which the given share of v lies (nearest rank).
double Percentile(std::vector<double> v, double share) {
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(share * v.size() + 0.999999);
    return v[std::min(v.size(), std::max<size_t>(rank, 1)) - 1];
}

double Median(const std::vector<double>& v) {
    std::vector<double> s(v);
    std::sort(s.begin(), s.end());
    size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

// The tool's place file moves aside for the run (a window left large by an
// earlier run would be laid out differently) and comes back at the end.
class PlaceFileAside {
public:
    PlaceFileAside() : file(Beside(L"ModuleTool.Json")), aside(file + L".bench-aside") {
        kept = MoveFileExW(file.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
    ~PlaceFileAside() {
        DeleteFileW(file.c_str());
        if (kept) MoveFileExW(aside.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

private:
    std::wstring file, aside;
    bool kept;
};

} // namespace

int main() {
    enum { kMinimal, kBare, kTool };
    const Target targets[] = {
        {L"minimal_window.exe", L"最小窗口", 1},
        {L"bare_window.exe", L"网络模块设置工具 (bare)", 21},
        {L"ModuleTool.exe", L"网络模块设置工具", 21},
    };
    if (!GetSystemMetrics(SM_CXSCREEN)) {
        printf("tool_startup: no display (scripts/bench must run it with one)\nstart-up goal: NOT met\n");
        return 1;
    }
    PlaceFileAside keep;
    std::vector<Child> bareControls, toolControls;
    int bareDpi = 0, toolDpi = 0;
    // The warm-up starts warm the system's caches alike for all three; the
    // first also reads both windows' controls for the check.
    for (int w = 0; w < kWarmUp; ++w) {
        for (int k : {kMinimal, kBare, kTool}) {
            bool first = w == 0 && k != kMinimal;
            Times times = StartOnce(targets[k], first ? (k == kBare ? &bareControls : &toolControls) : nullptr,
                                    first ? (k == kBare ? &bareDpi : &toolDpi) : nullptr);
            if (times.answered < 0) {
                printf("tool_startup: %ls did not show its window or did not end with 0\nstart-up goal: NOT met\n",
                       targets[k].exe);
                return 1;
            }
        }
    }
    if (bareDpi != toolDpi || !SameControls(bareControls, toolControls, toolDpi)) {
        printf("the bare window (at %d DPI) is not the tool's window (at %d DPI): no yardstick\n"
               "start-up goal: NOT met\n", bareDpi, toolDpi);
        return 1;
    }
    printf("the bare window holds the tool's %u controls: same classes, styles and places at %d DPI\n",
           mainlayout::kControls, toolDpi);

    std::vector<double> shown[3], answered[3], shownRatio, answeredRatio;
    for (int round = 0; round < kRounds; ++round) {
        // The bare window and the tool take turns at starting first.
        const int order[3] = {kMinimal, round % 2 ? kTool : kBare, round % 2 ? kBare : kTool};
        Times times[3];
        for (int k : order) {
            times[k] = StartOnce(targets[k]);
            if (times[k].answered < 0) {
                printf("tool_startup: round %d failed (%ls did not show its window or did not end with 0)\n"
                       "start-up goal: NOT met\n", round, targets[k].exe);
                return 1;
            }
            shown[k].push_back(times[k].shown);
            answered[k].push_back(times[k].answered);
        }
        shownRatio.push_back(times[kTool].shown / times[kBare].shown);
        answeredRatio.push_back(times[kTool].answered / times[kBare].answered);
    }

    const char* names[] = {"minimal program (one button)", "the same window made directly", "the tool"};
    printf("start to the full window and to its first answer, medians of %d rounds after %d warm-up:\n", kRounds,
           kWarmUp);
    for (int k : {kMinimal, kBare, kTool})
        printf("  %-32s shown %6.1f ms (min %6.1f, max %6.1f), answered %6.1f ms\n", names[k],
               Median(shown[k]) * 1e3, *std::min_element(shown[k].begin(), shown[k].end()) * 1e3,
               *std::max_element(shown[k].begin(), shown[k].end()) * 1e3, Median(answered[k]) * 1e3);
    printf("figure: the tool / the minimal program, medians: shown %.2f, answered %.2f\n",
           Median(shown[kTool]) / Median(shown[kMinimal]), Median(answered[kTool]) / Median(answered[kMinimal]));
    const double shownMedian = Median(shownRatio), answeredMedian = Median(answeredRatio);
    printf("the tool / the same window, ratio of each round: shown median %.3f, 90th percentile %.3f\n", shownMedian,
           Percentile(shownRatio, 0.9));
    printf("the tool / the same window, ratio of each round: answered median %.3f, 90th percentile %.3f\n",
           answeredMedian, Percentile(answeredRatio, 0.9));
    const bool met = shownMedian <= kGoal && answeredMedian <= kGoal;
    printf("goal: median ratio at most %.2f, shown and answered: %s\n", kGoal, met ? "met" : "NOT met");
    printf("start-up goal: %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
