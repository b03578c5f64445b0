#include "support/Child.h"

#include <cstring>
#include <map>
#include <string>

#include "support/Wait.h"

namespace zotest {

static std::map<std::string, ChildRole>& Roles() {
    static std::map<std::string, ChildRole> roles;
    return roles;
}

bool RegisterChildRole(const char* name, ChildRole role) {
    Roles()[name] = role;
    return true;
}

bool RunChildRole(int* exitCode) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    bool ran = false;
    if (argc >= 2 && wcsncmp(argv[1], L"--child=", 8) == 0) {
        char name[128] = {};
        WideCharToMultiByte(CP_UTF8, 0, argv[1] + 8, -1, name, sizeof(name) - 1, nullptr, nullptr);
        auto it = Roles().find(name);
        *exitCode = it == Roles().end() ? 97 : it->second(argc - 2, argv + 2);
        ran = true;
    }
    LocalFree(argv);
    return ran;
}

Child::~Child() {
    if (pi_.hProcess) {
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    if (out_) CloseHandle(out_);
}

bool Child::Start(const char* name, const std::wstring& args, bool captureOutput,
                  DWORD creationFlags) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --child=";
    for (const char* p = name; *p; ++p) cmd += wchar_t(*p);
    if (!args.empty()) cmd += L" " + args;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    HANDLE writeEnd = nullptr;
    if (captureOutput) {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        if (!CreatePipe(&out_, &writeEnd, &sa, 0)) return false;
        SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writeEnd;
        si.hStdError = writeEnd;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    BOOL ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, captureOutput, creationFlags,
                             nullptr, nullptr, &si, &pi_);
    if (writeEnd) CloseHandle(writeEnd);
    return ok != FALSE;
}

DWORD Child::Wait(DWORD ms) {
    if (!pi_.hProcess) return STILL_ACTIVE;
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

std::string Child::ReadOutput() {
    std::string all;
    if (!out_) return all;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(out_, buf, sizeof(buf), &got, nullptr) && got > 0) all.append(buf, got);
    return all;
}

struct BoxSearch {
    DWORD pid;
    const wchar_t* caption;
    HWND found;
};

static BOOL CALLBACK FindBox(HWND wnd, LPARAM param) {
    BoxSearch* s = reinterpret_cast<BoxSearch*>(param);
    wchar_t cls[16] = {}, text[256] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    GetClassNameW(wnd, cls, 16);
    GetWindowTextW(wnd, text, 256);
    if (pid == s->pid && wcscmp(cls, L"#32770") == 0 && wcscmp(text, s->caption) == 0) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForMessageBox(DWORD pid, const wchar_t* caption, DWORD ms) {
    BoxSearch s = {pid, caption, nullptr};
    WaitUntil([&] { return EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s)), s.found != nullptr; }, ms);
    return s.found;
}

std::wstring MessageBoxText(HWND box) {
    wchar_t text[1024] = {};
    // The message text is the box's static control, id 0xFFFF.
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

void CloseMessageBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

} // namespace zotest
