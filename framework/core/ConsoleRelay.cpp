// Both sides of the trace console's relay: the program's (start, send,
// watch) and the helper's (a loop from the pipe to the console).
#include "core/ConsoleRelay.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/Console.h"

namespace zo {

const wchar_t ConsoleRelay::kArgument[] = L"--zo-trace-console-relay";

namespace {

// A record on the pipe: one byte (1 wide, 0 narrow), the length in bytes
// (4 bytes, little-endian), then the text.
bool WriteAll(HANDLE h, const void* data, DWORD n) {
    const char* p = static_cast<const char*>(data);
    while (n) {
        DWORD put = 0;
        if (!WriteFile(h, p, n, &put, nullptr) || !put) return false;
        p += put;
        n -= put;
    }
    return true;
}

bool ReadAll(HANDLE h, void* data, DWORD n) {
    char* p = static_cast<char*>(data);
    while (n) {
        DWORD got = 0;
        if (!ReadFile(h, p, n, &got, nullptr) || !got) return false;
        p += got;
        n -= got;
    }
    return true;
}

// The visible, unowned top-level windows of this process.
BOOL CALLBACK CloseOne(HWND window, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && !GetWindow(window, GW_OWNER))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// The program's window the console must not cover: its first visible,
// unowned top-level window in the order of the screen.
BOOL CALLBACK FindProgramWindow(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

unsigned long long CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return static_cast<unsigned long long>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

// The process that hosts this process's console, as a handle to wait on;
// null when it cannot be told for certain. The host is the process that
// owns the console's window, which is not always a child of this process
// (under Wine it is; on Windows 7 the window is reported as this process's
// own, and the host is no child of it). An id alone can name a later
// process once the host has ended, so the process opened must have started
// no earlier than this one, and the window must still be its own after it
// was opened: while it is open its id cannot be given to another process.
HANDLE ConsoleHost(HWND console) {
    DWORD hostId = 0;
    if (!console || !GetWindowThreadProcessId(console, &hostId) || !hostId || hostId == GetCurrentProcessId())
        return nullptr;
    HANDLE host = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, hostId);
    if (!host) return nullptr;
    DWORD nowId = 0;
    unsigned long long mine = CreationTime(GetCurrentProcess()), its = CreationTime(host);
    if (!IsWindow(console) || !GetWindowThreadProcessId(console, &nowId) || nowId != hostId || !mine || its < mine) {
        CloseHandle(host);
        return nullptr;
    }
    return host;
}

DWORD WINAPI EndWithHost(void* host) {
    WaitForSingleObject(static_cast<HANDLE>(host), INFINITE);
    ExitProcess(0);
}

// Shows the console, which opened hidden, beside the program's window when
// the screen has room and below it in any case, without activating it.
void PlaceConsole(HWND console, HWND program) {
    RECT mine, avoid;
    if (!console) return;
    if (!program || !IsWindow(program) || !GetWindowRect(console, &mine) || !GetWindowRect(program, &avoid)) {
        ShowWindow(console, SW_SHOWNOACTIVATE);
        return;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    POINT at = {mine.left, mine.top};
    bool move = GetMonitorInfoW(MonitorFromWindow(program, MONITOR_DEFAULTTONEAREST), &monitor) &&
                ConsoleRelay::PlaceBeside(avoid, mine.right - mine.left, mine.bottom - mine.top, monitor.rcWork, &at);
    SetWindowPos(console, program, at.x, at.y, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | (move ? 0 : SWP_NOMOVE));
}

// The helper's console output, shared by the relay loop and the break
// notes; one line is written whole before another starts.
HANDLE consoleOut = INVALID_HANDLE_VALUE;
CRITICAL_SECTION writing;

BOOL WINAPI WriteWide(HANDLE out, const void* text, DWORD n, DWORD* written, void* reserved) {
    return WriteConsoleW(out, text, n, written, reserved);
}

BOOL WINAPI WriteNarrow(HANDLE out, const void* text, DWORD n, DWORD* written, void* reserved) {
    return WriteConsoleA(out, text, n, written, reserved);
}

void WriteNote(const wchar_t* note) {
    EnterCriticalSection(&writing);
    Console::WritePieces(WriteWide, consoleOut, note, wcslen(note));
    LeaveCriticalSection(&writing);
}

// Ctrl+C and Ctrl+Break must end nothing (a user selecting text to copy
// presses them): the helper says so in the console and goes on. A close
// is left to the system, which ends the helper; the program sees that.
BOOL WINAPI OnBreak(DWORD event) {
    if (event == CTRL_C_EVENT)
        WriteNote(L"trace: Ctrl+C ignored; closing this console closes the program\r\n");
    else if (event == CTRL_BREAK_EVENT)
        WriteNote(L"trace: Ctrl+Break ignored; closing this console closes the program\r\n");
    else
        return FALSE;
    return TRUE;
}

// Runs the helper before any of the program's code when it was started as one.
struct HelperCheck {
    HelperCheck() { ConsoleRelay::RunIfHelper(); }
} helperCheck;

typedef BOOL(WINAPI* InitAttributesProc)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, SIZE_T*);
typedef BOOL(WINAPI* UpdateAttributeProc)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, void*, SIZE_T, void*,
                                          SIZE_T*);
typedef void(WINAPI* DeleteAttributesProc)(LPPROC_THREAD_ATTRIBUTE_LIST);

template <class T>
T Kernel32Export(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(kernel32, name))) : nullptr;
}

// An attribute list that lets the helper inherit one handle only; null
// where the system has no such lists (every inheritable handle goes then).
class InheritOnly {
public:
    explicit InheritOnly(HANDLE h) : handle(h) {
        auto init = Kernel32Export<InitAttributesProc>("InitializeProcThreadAttributeList");
        auto update = Kernel32Export<UpdateAttributeProc>("UpdateProcThreadAttribute");
        remove = Kernel32Export<DeleteAttributesProc>("DeleteProcThreadAttributeList");
        SIZE_T size = 0;
        if (!init || !update || !remove) return;
        init(nullptr, 1, 0, &size);
        if (!size) return;
        memory.resize(size);
        auto* made = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&memory[0]);
        if (!init(made, 1, 0, &size)) return;
        if (!update(made, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle, sizeof(handle), nullptr, nullptr)) {
            remove(made);
            return;
        }
        list = made;
    }
    ~InheritOnly() {
        if (list) remove(list);
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list; }

private:
    HANDLE handle;   // borrowed; the list points at this member
    std::string memory;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    DeleteAttributesProc remove = nullptr;
};

} // namespace

bool ConsoleRelay::PlaceBeside(const RECT& avoid, int w, int h, const RECT& work, POINT* at) {
    auto clamp = [](long v, long low, long high) { return v > high ? high : v < low ? low : v; };
    if (w <= 0 || h <= 0 || w > work.right - work.left || h > work.bottom - work.top) return false;
    long top = clamp(avoid.top, work.top, work.bottom - h);
    long left = clamp(avoid.left, work.left, work.right - w);
    if (work.right - avoid.right >= w) *at = {avoid.right, top};
    else if (avoid.left - work.left >= w) *at = {avoid.left - w, top};
    else if (work.bottom - avoid.bottom >= h) *at = {left, avoid.bottom};
    else if (avoid.top - work.top >= h) *at = {left, avoid.top - h};
    else return false;
    return true;
}

bool ConsoleRelay::Start() {
    if (pipe) return true;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 64 * 1024)) return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    HWND program = nullptr;
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&program));
    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe, n) + L"\" " + kArgument + L" " +
                        std::to_wstring(reinterpret_cast<uintptr_t>(program));
    InheritOnly inherit(readEnd);
    STARTUPINFOEXW si = {};
    si.StartupInfo.cb = inherit.List() ? sizeof(si) : sizeof(si.StartupInfo);
    si.lpAttributeList = inherit.List();
    // The console opens hidden, so it takes neither the foreground nor a
    // moment over the program's window before the helper has placed it
    // and shown it without activation; no busy cursor meanwhile.
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    si.StartupInfo.wShowWindow = SW_HIDE;
    si.StartupInfo.hStdInput = readEnd;
    PROCESS_INFORMATION pi = {};
    DWORD flags = CREATE_NEW_PROCESS_GROUP | (inherit.List() ? EXTENDED_STARTUPINFO_PRESENT : 0);
    BOOL started = n && n < MAX_PATH &&
                   CreateProcessW(exe, &line[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr, &si.StartupInfo,
                                  &pi);
    CloseHandle(readEnd);
    if (!started) {
        CloseHandle(writeEnd);
        return false;
    }
    CloseHandle(pi.hThread);
    pipe = writeEnd;
    helper = pi.hProcess;
    helperId = pi.dwProcessId;
    if (!RegisterWaitForSingleObject(&watch, helper, &ConsoleRelay::OnHelperEnded, nullptr, INFINITE,
                                     WT_EXECUTEONLYONCE))
        watch = nullptr;
    return true;
}

void CALLBACK ConsoleRelay::OnHelperEnded(void*, BOOLEAN) { EnumWindows(CloseOne, 0); }

bool ConsoleRelay::Send(bool wide, const void* text, unsigned bytes) {
    if (!pipe) return false;
    unsigned char head[5] = {static_cast<unsigned char>(wide ? 1 : 0), static_cast<unsigned char>(bytes),
                             static_cast<unsigned char>(bytes >> 8), static_cast<unsigned char>(bytes >> 16),
                             static_cast<unsigned char>(bytes >> 24)};
    return WriteAll(pipe, head, sizeof(head)) && WriteAll(pipe, text, bytes);
}

void ConsoleRelay::End() {
    // No more watching first: the helper's end is now ours, not the user's.
    if (watch) UnregisterWaitEx(watch, INVALID_HANDLE_VALUE);
    watch = nullptr;
    if (pipe) CloseHandle(pipe);
    pipe = nullptr;
    if (helper) CloseHandle(helper);
    helper = nullptr;
}

void ConsoleRelay::RunIfHelper() {
    const wchar_t* line = GetCommandLineW();
    const wchar_t* at = line ? wcsstr(line, kArgument) : nullptr;
    if (!at) return;
    at += wcslen(kArgument);
    if (*at != 0 && *at != L' ') return;
    HWND program = reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(at, nullptr, 10)));
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);   // the pipe, before the console replaces it
    AllocConsole();
    HWND console = GetConsoleWindow();
    PlaceConsole(console, program);
    consoleOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    InitializeCriticalSection(&writing);
    // A new process group starts with Ctrl+C disabled, so it would never
    // reach the handler.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnBreak, TRUE);
    // A close ends the console's host process; the system does not always
    // end this process with it (under Wine a window program's helper runs
    // on without its console), so the helper waits for the host and ends
    // with it.
    HANDLE host = ConsoleHost(console);
    HANDLE t = host ? CreateThread(nullptr, 0, EndWithHost, host, 0, nullptr) : nullptr;
    if (t) CloseHandle(t);
    std::string text;
    for (;;) {
        unsigned char head[5];
        if (!ReadAll(in, head, sizeof(head))) break;
        DWORD bytes = head[1] | head[2] << 8 | head[3] << 16 | static_cast<DWORD>(head[4]) << 24;
        if (bytes > (64u << 20)) break;
        text.resize(bytes);
        if (bytes && !ReadAll(in, &text[0], bytes)) break;
        EnterCriticalSection(&writing);
        bool shown = head[0] ? Console::WritePieces(WriteWide, consoleOut, reinterpret_cast<const wchar_t*>(text.data()),
                                                    bytes / sizeof(wchar_t))
                             : Console::WritePieces(WriteNarrow, consoleOut, text.data(), bytes, GetACP());
        DWORD error = GetLastError();
        LeaveCriticalSection(&writing);
        if (!shown) {
            wchar_t note[128];
            swprintf(note, 128, L"\r\ntrace: the console refused the rest of a line of %lu bytes (error %lu)\r\n",
                     static_cast<unsigned long>(bytes), static_cast<unsigned long>(error));
            WriteNote(note);
        }
    }
    ExitProcess(0);
}

} // namespace zo
