// Both sides of the trace console's relay: the program's (start, send,
// watch) and the helper's (a loop from the pipe to the console).
#include "core/ConsoleRelay.h"

#include <cstring>
#include <cwchar>
#include <string>

#include <tlhelp32.h>

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

// Copying text out of the console must end nothing: Ctrl+C and Ctrl+Break
// are ignored. A close ends the helper, which the program sees.
BOOL WINAPI IgnoreBreaks(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

// The process that hosts this process's console: its child.
HANDLE ConsoleHost() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE host = nullptr;
    PROCESSENTRY32W e = {};
    e.dwSize = sizeof(e);
    for (BOOL more = Process32FirstW(snap, &e); more && !host; more = Process32NextW(snap, &e))
        if (e.th32ParentProcessID == GetCurrentProcessId()) host = OpenProcess(SYNCHRONIZE, FALSE, e.th32ProcessID);
    CloseHandle(snap);
    return host;
}

DWORD WINAPI EndWithHost(void* host) {
    WaitForSingleObject(static_cast<HANDLE>(host), INFINITE);
    ExitProcess(0);
}

// Runs the helper before any of the program's code when it was started as one.
struct HelperCheck {
    HelperCheck() { ConsoleRelay::RunIfHelper(); }
} helperCheck;

} // namespace

bool ConsoleRelay::Start() {
    if (pipe) return true;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 64 * 1024)) return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe, n) + L"\" " + kArgument;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readEnd;
    PROCESS_INFORMATION pi = {};
    BOOL started = n && n < MAX_PATH &&
                   CreateProcessW(exe, &line[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                                  &si, &pi);
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
    if (!at || at[wcslen(kArgument)] != 0) return;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);   // the pipe, before the console replaces it
    AllocConsole();
    SetConsoleCtrlHandler(IgnoreBreaks, TRUE);
    // A close ends the console's host process; the system does not always
    // end this process with it (under Wine a window program's helper runs
    // on without its console), so the helper waits for the host and ends
    // with it. The host is the child process the allocation started.
    HANDLE host = ConsoleHost();
    HANDLE t = host ? CreateThread(nullptr, 0, EndWithHost, host, 0, nullptr) : nullptr;
    if (t) CloseHandle(t);
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    std::string text;
    for (;;) {
        unsigned char head[5];
        if (!ReadAll(in, head, sizeof(head))) break;
        DWORD bytes = head[1] | head[2] << 8 | head[3] << 16 | static_cast<DWORD>(head[4]) << 24;
        if (bytes > (64u << 20)) break;
        text.resize(bytes);
        if (bytes && !ReadAll(in, &text[0], bytes)) break;
        DWORD written = 0;
        if (head[0])
            WriteConsoleW(out, text.data(), bytes / sizeof(wchar_t), &written, nullptr);
        else
            WriteConsoleA(out, text.data(), bytes, &written, nullptr);
    }
    ExitProcess(0);
}

} // namespace zo
