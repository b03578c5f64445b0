// Starting the programs that sit beside the running executable (the tool,
// the simulator, the drivers, the burst sender): for tests, benchmarks and
// tools alike, so header-only. Every start goes through StartWithin, the one
// place that bounds how long a start may take and starts once more what Wine
// failed to start. Whoever gets a process handle owns it.
#pragma once
#include <cstdio>
#include <string>

#include "core/Win.h"
#include "Wait.h"   // beside this header: benchmarks include it by a relative path

namespace zotest {

// The full path of a program in the running executable's folder.
inline std::wstring BesideMe(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

// Wine now and then fails to start a program: it ends with
// STATUS_DLL_INIT_FAILED before any code of its own ran, so it wrote
// nothing. Such a start, and only such a start, is tried once more: true
// when code says the start failed that way. It is said on the standard error
// and added to the file ZO_RETRY_LOG names, which scripts/test counts (the
// name is a Unix path, reached through Wine's drive for the root).
inline bool FailedToStart(DWORD code, const std::wstring& path) {
    const DWORD kDllInitFailed = 0xC0000142;
    if (code != kDllInitFailed) return false;
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    fprintf(stderr, "%ls did not start (status 0xC0000142, nothing written): started once more\n", name.c_str());
    fflush(stderr);
    wchar_t log[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ZO_RETRY_LOG", log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return true;
    std::wstring at = log[0] == L'/' ? L"Z:" + std::wstring(log) : std::wstring(log);
    HANDLE f = CreateFileW(at.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return true;
    char line[MAX_PATH + 64];
    int length = snprintf(line, sizeof(line), "%ls status 0xC0000142, started by a test\n", name.c_str());
    DWORD written = 0;
    if (length > 0) WriteFile(f, line, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(f);
    return true;
}

// Starts a program with arguments and CreateProcess flags; silent gives it
// no standard handles, so its report lines stay out of ours. The process
// handle (owned by the caller) or null.
inline HANDLE StartProgram(const std::wstring& path, const std::wstring& args, DWORD flags = 0,
                           bool silent = false) {
    std::wstring line = L"\"" + path + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (silent) si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Every program a test starts is put in one job that ends them all when the
// test program ends, however it ends: a test killed by its time limit leaves
// no tool behind holding port 6643 for the next. (Their own children, the
// trace console's helper, are in it too.)
inline HANDLE EndWithMe() {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (j) SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        return j;
    }();
    return job;
}

// Ends a process that is still running and waits until it has ended, so
// that it holds no port or file when the caller goes on.
inline void EndProcess(HANDLE process) {
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, STILL_ACTIVE);
    WaitForSingleObject(process, 10000);
}

// How a start went: the process (owned by the caller; null when it could not
// be made or was not up in time, and then it has been ended) and its exit
// code when it has ended (STILL_ACTIVE while it runs, 0xFFFFFFFF when it
// could not be made).
struct Started {
    HANDLE process = nullptr;
    DWORD code = 0xFFFFFFFF;
};

// Starts a program with launch() (which makes the process and gives its
// handle, or null) and waits at most ms until up() holds or the process has
// ended; up() is polled, so it may also drain the program's output. A start
// that Wine failed is made once more, and only once. A program that is to
// run to its end passes an up() that never holds: ms then bounds the run.
template <class Launch, class Up>
Started StartWithin(const std::wstring& path, Launch launch, Up up, DWORD ms) {
    Started s;
    for (int attempt = 0; attempt < 2; ++attempt) {
        s.process = launch();
        s.code = 0xFFFFFFFF;
        if (!s.process) return s;
        if (HANDLE job = EndWithMe()) AssignProcessToJobObject(job, s.process);
        bool ended = false;
        if (!WaitUntil([&] {
                ended = WaitForSingleObject(s.process, 0) == WAIT_OBJECT_0;
                return ended || up();
            }, ms)) {
            EndProcess(s.process);
            CloseHandle(s.process);
            s.process = nullptr;
            s.code = STILL_ACTIVE;
            return s;
        }
        s.code = STILL_ACTIVE;
        if (ended) GetExitCodeProcess(s.process, &s.code);
        if (!ended || attempt > 0 || !FailedToStart(s.code, path)) return s;
        CloseHandle(s.process);
    }
    return s;
}

// Runs a program to its end: its exit code, STILL_ACTIVE when it did not
// end within ms (it is then ended), 0xFFFFFFFF when it could not start.
inline DWORD RunProgram(const std::wstring& path, const std::wstring& args, DWORD ms, bool silent = false) {
    Started s = StartWithin(path, [&] { return StartProgram(path, args, 0, silent); }, [] { return false; }, ms);
    if (s.process) CloseHandle(s.process);
    return s.code;
}

} // namespace zotest
