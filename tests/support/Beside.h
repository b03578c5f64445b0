// Starting the programs that sit beside the running executable (the tool,
// the simulator, the drivers, the burst sender): for tests, benchmarks and
// tools alike, so header-only. Whoever gets a process handle owns it.
#pragma once
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

// Runs a program to its end: its exit code, STILL_ACTIVE when it did not
// end within ms (it is then ended), 0xFFFFFFFF when it could not start.
inline DWORD RunProgram(const std::wstring& path, const std::wstring& args, DWORD ms, bool silent = false) {
    HANDLE process = StartProgram(path, args, 0, silent);
    if (!process) return 0xFFFFFFFF;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    else TerminateProcess(process, 1);
    CloseHandle(process);
    return code;
}

} // namespace zotest
