#include "support/Simulator.h"

#include "support/Wait.h"

namespace zotest {

Program::~Program() {
    if (!process) return;
    EndProcess(process);
    CloseHandle(process);
}

bool Program::Start(const wchar_t* title) {
    const std::wstring path = BesideMe(exe);
    // The tool's place file is its own business between tests: a test that
    // cares keeps it aside itself (then this one does nothing).
    if (!placeFile && _wcsicmp(exe, L"ModuleTool.exe") == 0)
        placeFile.reset(new KeptAside(BesideMe(L"ModuleTool.Json")));
    auto find = [&]() -> HWND {
        for (HWND h = FindWindowW(nullptr, title); h; h = FindWindowExW(nullptr, h, nullptr, title)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == GetProcessId(process) && IsWindowVisible(h)) return h;
        }
        return nullptr;
    };
    Started s = StartWithin(path, [&] { return process = StartProgram(path, L"", DETACHED_PROCESS); },
                            [&] { return (window = find()) != nullptr; }, kStartMs);
    process = s.process;
    if (!process || s.code != STILL_ACTIVE) return false;
    DWORD_PTR r;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r) != 0;
}

DWORD Program::Close(DWORD ms, double* took) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    QueryPerformanceCounter(&b);
    if (took) *took = double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart);
    return code;
}

bool Drive(const std::wstring& steps, std::string& out, const wchar_t* title) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    DWORD startError = 0;   // the system's answer when the driver could not be made
    const std::wstring path = BesideMe(L"ui_driver.exe");
    auto launch = [&]() -> HANDLE {
        out.clear();
        if (readEnd) CloseHandle(readEnd);
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return readEnd = nullptr;
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::wstring line = L"\"" + path + L"\" window " + title + L" 15000 " + steps;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writeEnd;
        si.hStdError = writeEnd;
        PROCESS_INFORMATION pi = {};
        BOOL started = CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                      nullptr, &si, &pi);
        if (!started) startError = GetLastError();
        CloseHandle(writeEnd);
        if (!started) return nullptr;
        CloseHandle(pi.hThread);
        return pi.hProcess;
    };
    // What it has written so far; it must not wait for room in the pipe.
    auto drain = [&] {
        DWORD ready = 0, got = 0;
        char buffer[4096];
        while (readEnd && PeekNamedPipe(readEnd, nullptr, 0, nullptr, &ready, nullptr) && ready > 0 &&
               ReadFile(readEnd, buffer, sizeof(buffer) < ready ? sizeof(buffer) : ready, &got, nullptr) && got > 0)
            for (DWORD k = 0; k < got; ++k)
                if (buffer[k] != '\r') out += buffer[k];   // its standard output is in text mode
        return false;
    };
    Started s = StartWithin(path, launch, drain, 60000);
    drain();
    if (s.process) CloseHandle(s.process);
    if (readEnd) CloseHandle(readEnd);
    // A driver that says nothing is described here, so a failed step says why.
    if (s.code != 0 && out.empty())
        out = s.code == 0xFFFFFFFF ? "ui_driver.exe could not be started, error " + std::to_string(startError)
                                   : "ui_driver.exe wrote nothing and ended with code " + std::to_string(s.code);
    return s.code == 0;
}

bool Simulator::Start(const std::wstring& args, bool log) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"zo-sim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount());
    CreateDirectoryW(folder.c_str(), nullptr);
    logPath = folder + L"\\sim.log";
    readyPath = folder + L"\\ready";
    stopPath = folder + L"\\stop";
    const std::wstring path = BesideMe(L"module_sim.exe");
    const std::wstring line = (log ? L"--log \"" + logPath + L"\" " : L"") + L"--ready \"" + readyPath +
                              L"\" --stop \"" + stopPath + L"\" " + args;
    Started s = StartWithin(path, [&] { return StartProgram(path, line); },
                            [&] { return GetFileAttributesW(readyPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
    process = s.process;
    return process && s.code == STILL_ACTIVE;
}

void Simulator::Stop() {
    if (!process) return;
    HANDLE f = CreateFileW(stopPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    WaitForSingleObject(process, 1000);
    EndProcess(process);
    CloseHandle(process);
    process = nullptr;
    for (const std::wstring& f2 : {logPath, readyPath, stopPath}) DeleteFileW(f2.c_str());
    RemoveDirectoryW(folder.c_str());
}

bool Simulator::WaitForRecords(size_t after, DWORD ms) const {
    return WaitUntil([&] { return Log().size() > after; }, ms);
}

} // namespace zotest
