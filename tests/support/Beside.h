// Starting the programs that sit beside the running executable (the tool,
// the simulator, the drivers, the burst sender): for tests, benchmarks and
// tools alike, so header-only. Whoever gets a process handle owns it.
#pragma once
#include <cstdio>
#include <string>

#include "core/Win.h"

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

// Runs a program to its end once: its exit code, STILL_ACTIVE when it did
// not end within ms (it is then ended), 0xFFFFFFFF when it could not start.
inline DWORD RunProgramOnce(const std::wstring& path, const std::wstring& args, DWORD ms, bool silent) {
    HANDLE process = StartProgram(path, args, 0, silent);
    if (!process) return 0xFFFFFFFF;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    else TerminateProcess(process, 1);
    CloseHandle(process);
    return code;
}

// The same, started once more when Wine failed to start it.
inline DWORD RunProgram(const std::wstring& path, const std::wstring& args, DWORD ms, bool silent = false) {
    DWORD code = RunProgramOnce(path, args, ms, silent);
    if (FailedToStart(code, path)) code = RunProgramOnce(path, args, ms, silent);
    return code;
}

} // namespace zotest
