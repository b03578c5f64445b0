#include "support/Simulator.h"

#include "support/Wait.h"

namespace zotest {

Program::~Program() {
    if (!process) return;
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, 99);
    CloseHandle(process);
}

bool Program::Start(const wchar_t* title) {
    const std::wstring path = BesideMe(exe);
    auto find = [&]() -> HWND {
        for (HWND h = FindWindowW(nullptr, title); h; h = FindWindowExW(nullptr, h, nullptr, title)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == GetProcessId(process) && IsWindowVisible(h)) return h;
        }
        return nullptr;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        process = StartProgram(path, L"", DETACHED_PROCESS);
        if (!process) return false;
        bool ended = false;
        if (WaitUntil([&] {
                ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
                return ended || (window = find()) != nullptr;
            }, 15000) && !ended) {
            DWORD_PTR r;
            return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r) != 0;
        }
        DWORD code = STILL_ACTIVE;
        if (!ended || !GetExitCodeProcess(process, &code) || attempt > 0 || !FailedToStart(code, path)) return false;
        CloseHandle(process);
        process = nullptr;
    }
    return false;
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

namespace {

// One run of the driver: its exit code (1 when it could not be started).
DWORD DriveOnce(const std::wstring& steps, std::string& out, const wchar_t* title) {
    out.clear();
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return 1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring path = BesideMe(L"ui_driver.exe");
    std::wstring line = L"\"" + path + L"\" window " + title + L" 15000 " + steps;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    DWORD code = 1;
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0)
            for (DWORD k = 0; k < got; ++k)
                if (buffer[k] != '\r') out += buffer[k];   // its standard output is in text mode
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return code;
}

} // namespace

bool Drive(const std::wstring& steps, std::string& out, const wchar_t* title) {
    DWORD code = DriveOnce(steps, out, title);
    if (out.empty() && FailedToStart(code, L"ui_driver.exe")) code = DriveOnce(steps, out, title);
    return code == 0;
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
    for (int attempt = 0; attempt < 2; ++attempt) {
        process = StartProgram(path, (log ? L"--log \"" + logPath + L"\" " : L"") + L"--ready \"" + readyPath +
                                         L"\" --stop \"" + stopPath + L"\" " + args);
        if (!process) return false;
        bool ended = !WaitUntil([&] {
            return GetFileAttributesW(readyPath.c_str()) != INVALID_FILE_ATTRIBUTES ||
                   WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        }, 10000) || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        if (!ended) return true;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process, &code);
        if (attempt > 0 || !FailedToStart(code, path)) return false;
        CloseHandle(process);
        process = nullptr;
    }
    return false;
}

void Simulator::Stop() {
    if (!process) return;
    HANDLE f = CreateFileW(stopPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    if (WaitForSingleObject(process, 1000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    process = nullptr;
    for (const std::wstring& f2 : {logPath, readyPath, stopPath}) DeleteFileW(f2.c_str());
    RemoveDirectoryW(folder.c_str());
}

bool Simulator::WaitForRecords(size_t after, DWORD ms) const {
    return WaitUntil([&] { return Log().size() > after; }, ms);
}

} // namespace zotest
