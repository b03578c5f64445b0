// ui_driver: drives a running program's window from outside, as a test robot
// or the demo would. It runs a list of steps in order and stops at the first
// that fails (exit code 1; 2 on bad arguments). Controls are named by class
// and index among the window's children of that class, in creation order
// ("ComboBox:0" is the first drop-down made), or by their text ("保存").
//
// ui_driver STEP...
//   window TITLE MS          waits for a visible top-level window titled TITLE
//   click CTRL               presses a button (BM_CLICK)
//   text CTRL                prints its text
//   set CTRL TEXT            sets its text
//   entries CTRL             prints a drop-down's entries, one a line
//   choose CTRL INDEX        selects an entry and tells the parent, as a user's choice does
//   drop CTRL                opens a drop-down's list
//   count CTRL N MS          waits until a drop-down holds at least N entries
//   enabled CTRL 0|1 MS      waits until the control is disabled (0) or enabled (1)
//   box CAPTION MS           waits for the window's message box, prints its text, presses OK
//   ping MS                  sends the window a message every 50 ms for MS ms; prints the worst answer time
//   close MS                 closes the window, waits for its process to end, prints the exit code
//   pid                      prints the window's process id
//   raise                    puts the window above every other one
//   rect                     prints the window's screen rectangle: left top width height
//   console MS               waits for a visible console window (the trace console)
//   unobscured               fails unless the window under each corner of the window and its centre
//                            is the window itself; says which window covers it
//   mem                      prints its process's private bytes and working set: "private N working N"
//   churn MS LIST BUTTON     for MS ms chooses LIST's entries in turn and presses BUTTON, pinging the
//                            window every 50 ms; prints "worst answer N ms, K choices, K clicks"
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "core/Win.h"

#define PSAPI_VERSION 2
#include <psapi.h>

#include "tools/Covering.h"

namespace {

HWND window = nullptr;

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

void Say(const char* what, const std::wstring& text) { printf("%s%s\n", what, Narrow(text).c_str()); fflush(stdout); }

template <class Pred>
bool Within(DWORD ms, Pred pred) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(5);   // polling another process's window: nothing to wait on
    }
}

std::wstring TextOf(HWND h) {
    wchar_t buf[1024] = {};
    DWORD_PTR n = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 5000, &n);
    return buf;
}

// The children of the window in the order the system lists them, which is
// the order they were made in.
std::vector<HWND> Children() {
    std::vector<HWND> out;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

HWND Control(const std::wstring& name) {
    size_t colon = name.rfind(L':');
    std::vector<HWND> all = Children();
    if (colon != std::wstring::npos && colon + 1 < name.size() && iswdigit(name[colon + 1])) {
        std::wstring cls = name.substr(0, colon);
        int index = _wtoi(name.c_str() + colon + 1);
        std::vector<HWND> ofClass;
        for (HWND c : all) {
            wchar_t buf[64] = {};
            GetClassNameW(c, buf, 64);
            if (_wcsicmp(buf, cls.c_str()) == 0) ofClass.push_back(c);
        }
        if (index < 0 || index >= static_cast<int>(ofClass.size())) return nullptr;
        return ofClass[static_cast<size_t>(index)];
    }
    for (HWND c : all)
        if (TextOf(c) == name) return c;
    return nullptr;
}

HWND FindTop(const std::wstring& title) {
    for (HWND h = FindWindowW(nullptr, title.c_str()); h; h = FindWindowExW(nullptr, h, nullptr, title.c_str()))
        if (IsWindowVisible(h)) return h;
    return nullptr;
}

// One round trip to the window, in ms; false when it did not answer within 5 s.
bool Ping(DWORD& took) {
    DWORD t = GetTickCount();
    DWORD_PTR r;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r)) return false;
    took = GetTickCount() - t;
    return true;
}

int Fail(const char* what, const std::wstring& arg) {
    fprintf(stderr, "ui_driver: %s %s\n", what, Narrow(arg).c_str());
    return 1;
}

DWORD WindowProcess() {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The steps after "window": how many arguments each takes, and whether the
// first names a control.
struct Step {
    const wchar_t* name;
    size_t args;
    bool control;
} const kSteps[] = {
    {L"click", 1, true}, {L"text", 1, true},  {L"set", 2, true},   {L"entries", 1, true}, {L"choose", 2, true},
    {L"drop", 1, true},  {L"count", 3, true}, {L"enabled", 3, true}, {L"box", 2, false},  {L"ping", 1, false},
    {L"churn", 3, false}, {L"mem", 0, false}, {L"close", 1, false}, {L"raise", 0, false}, {L"rect", 0, false},
    {L"pid", 0, false},  {L"console", 1, false}, {L"unobscured", 0, false},
};

bool ConsoleShown() {
    for (const wchar_t* cls : {L"WineConsoleClass", L"ConsoleWindowClass"})
        for (HWND h = FindWindowExW(nullptr, nullptr, cls, nullptr); h; h = FindWindowExW(nullptr, h, cls, nullptr))
            if (IsWindowVisible(h)) return true;
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> a(argv + 1, argv + argc);
    size_t i = 0;
    while (i < a.size()) {
        std::wstring step = a[i++];
        if (step == L"window" && i + 2 <= a.size()) {
            std::wstring title = a[i];
            DWORD ms = static_cast<DWORD>(_wtoi(a[i + 1].c_str()));
            i += 2;
            if (!Within(ms, [&] { return (window = FindTop(title)) != nullptr; })) return Fail("no window", title);
            continue;
        }
        if (!window) return Fail("no window found before", step);
        const Step* s = nullptr;
        for (const Step& each : kSteps)
            if (step == each.name) s = &each;
        if (!s || i + s->args > a.size()) {
            fprintf(stderr, "ui_driver: unknown or incomplete step %s\n", Narrow(step).c_str());
            return 2;
        }
        const std::wstring* arg = a.data() + i;
        i += s->args;
        auto number = [&](size_t k) { return _wtoi(arg[k].c_str()); };
        auto ms = [&](size_t k) { return static_cast<DWORD>(number(k)); };
        HWND c = s->control ? Control(arg[0]) : nullptr;
        if (s->control && !c) return Fail("no control", arg[0]);
        if (step == L"click") {
            DWORD_PTR r;
            SendMessageTimeoutW(c, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r);
        } else if (step == L"text") {
            Say("", TextOf(c));
        } else if (step == L"set") {
            SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg[1].c_str()));
        } else if (step == L"entries") {
            int n = static_cast<int>(SendMessageW(c, CB_GETCOUNT, 0, 0));
            for (int k = 0; k < n; ++k) {
                wchar_t buf[1024] = {};
                if (SendMessageW(c, CB_GETLBTEXTLEN, k, 0) < 1024) SendMessageW(c, CB_GETLBTEXT, k, reinterpret_cast<LPARAM>(buf));
                Say("", buf);
            }
        } else if (step == L"choose") {
            SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(number(1)), 0);
            SendMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
        } else if (step == L"drop") {
            SendMessageW(c, CB_SHOWDROPDOWN, TRUE, 0);
        } else if (step == L"count") {
            int n = number(1);
            if (!Within(ms(2), [&] { return SendMessageW(c, CB_GETCOUNT, 0, 0) >= n; })) return Fail("too few entries in", arg[0]);
        } else if (step == L"enabled") {
            bool want = arg[1] == L"1";
            if (!Within(ms(2), [&] { return (IsWindowEnabled(c) != FALSE) == want; })) return Fail("state not reached by", arg[0]);
        } else if (step == L"box") {
            DWORD pid = WindowProcess();
            HWND box = nullptr;
            bool found = Within(ms(1), [&] {
                for (box = FindWindowW(L"#32770", arg[0].c_str()); box; box = FindWindowExW(nullptr, box, L"#32770", arg[0].c_str())) {
                    DWORD p = 0;
                    GetWindowThreadProcessId(box, &p);
                    if (p == pid) return true;
                }
                return false;
            });
            if (!found) return Fail("no message box", arg[0]);
            Say("", TextOf(GetDlgItem(box, 0xFFFF)));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        } else if (step == L"ping") {
            DWORD worst = 0, start = GetTickCount();
            while (GetTickCount() - start < ms(0)) {
                DWORD took = 0;
                if (!Ping(took)) return Fail("no answer from", L"the window");
                if (took > worst) worst = took;
                Sleep(50);   // the probe's own pace
            }
            printf("worst answer %lu ms\n", worst);
        } else if (step == L"churn") {
            HWND list = Control(arg[1]), button = Control(arg[2]);
            if (!list || !button) return Fail("no control", arg[list ? 2 : 1]);
            DWORD worst = 0, start = GetTickCount(), lastPing = 0;
            unsigned choices = 0, clicks = 0;
            for (unsigned turn = 0; GetTickCount() - start < ms(0); ++turn) {
                DWORD_PTR r = 0;
                if (GetTickCount() - lastPing >= 50) {
                    DWORD took = 0;
                    if (!Ping(took)) return Fail("no answer from", L"the window");
                    if (took > worst) worst = took;
                    lastPing = GetTickCount();
                }
                if (turn % 2 == 0) {
                    if (!SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &r)) return Fail("no answer from", arg[1]);
                    if (static_cast<LONG_PTR>(r) > 0) {
                        WPARAM k = choices % static_cast<unsigned>(r);
                        SendMessageTimeoutW(list, CB_SETCURSEL, k, 0, SMTO_NORMAL, 5000, &r);
                        if (!SendMessageTimeoutW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                                                 reinterpret_cast<LPARAM>(list), SMTO_NORMAL, 5000, &r))
                            return Fail("no answer from", L"the window");
                        ++choices;
                    }
                } else {
                    if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r)) return Fail("no answer from", arg[2]);
                    ++clicks;
                }
                Sleep(20);   // a user's pace, not synchronisation
            }
            printf("worst answer %lu ms, %u choices, %u clicks\n", worst, choices, clicks);
        } else if (step == L"mem") {
            HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, WindowProcess());
            PROCESS_MEMORY_COUNTERS_EX m = {};
            m.cb = sizeof(m);
            bool ok = p && GetProcessMemoryInfo(p, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof(m));
            if (p) CloseHandle(p);
            if (!ok) return Fail("no memory figures for", L"the window's process");
            printf("private %llu working %llu\n", static_cast<unsigned long long>(m.PrivateUsage),
                   static_cast<unsigned long long>(m.WorkingSetSize));
        } else if (step == L"close") {
            HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, WindowProcess());
            PostMessageW(window, WM_CLOSE, 0, 0);
            DWORD code = STILL_ACTIVE;
            if (!p || WaitForSingleObject(p, ms(0)) != WAIT_OBJECT_0 || !GetExitCodeProcess(p, &code)) {
                if (p) CloseHandle(p);
                return Fail("the process did not end", L"");
            }
            CloseHandle(p);
            printf("exit code %lu\n", code);
            window = nullptr;
        } else if (step == L"raise") {
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        } else if (step == L"rect") {
            RECT r = {};
            GetWindowRect(window, &r);
            printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else if (step == L"pid") {
            printf("%lu\n", WindowProcess());
        } else if (step == L"console") {
            if (!Within(ms(0), ConsoleShown)) return Fail("no console", L"");
        } else if (step == L"unobscured") {
            POINT at = {};
            if (HWND other = covering::Over(window, at)) {
                wchar_t cls[64] = {};
                GetClassNameW(other, cls, 64);
                return Fail("the window is covered", L"at " + std::to_wstring(at.x) + L"," + std::to_wstring(at.y) +
                                                           L" by a window of class " + cls);
            }
        }
        fflush(stdout);
    }
    return 0;
}
