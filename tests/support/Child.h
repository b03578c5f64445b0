// Child-process roles for tests that must watch a process end (message boxes,
// consoles, process exits): a test starts its own executable with
// "--child=NAME args" and the shared test main runs the role registered here.
#pragma once
#include <string>
#include "core/Win.h"

namespace zotest {

typedef int (*ChildRole)(int argc, wchar_t** argv);

// Registers a role; use ZO_CHILD_ROLE rather than calling this directly.
bool RegisterChildRole(const char* name, ChildRole role);

// Runs the role named by argv[1] ("--child=NAME") when there is one; returns
// true and sets *exitCode when it did.
bool RunChildRole(int* exitCode);

// A child process of the test; the handle is owned and closed on destruction
// (the process is killed first if it still runs).
class Child {
public:
    Child() {}
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts this executable as role `name` with extra arguments; with
    // captureOutput the child's standard output and error go to a pipe.
    // creationFlags go to CreateProcess (DETACHED_PROCESS: no console).
    bool Start(const char* name, const std::wstring& args = L"", bool captureOutput = false,
               DWORD creationFlags = 0);
    // Exit code, or STILL_ACTIVE when the child has not ended within ms.
    DWORD Wait(DWORD ms);
    // Everything the child wrote (only with captureOutput); reads to the end.
    std::string ReadOutput();
    DWORD Pid() const { return pi_.dwProcessId; }
    HANDLE Process() const { return pi_.hProcess; }

private:
    PROCESS_INFORMATION pi_ = {};
    HANDLE out_ = nullptr;
};

// Waits up to ms for a message box (class "#32770") with this caption owned
// by process pid; returns it or null.
HWND WaitForMessageBox(DWORD pid, const wchar_t* caption, DWORD ms);
// The text of a message box (its static control).
std::wstring MessageBoxText(HWND box);
// Presses OK on a message box.
void CloseMessageBox(HWND box);

} // namespace zotest

#define ZO_CHILD_ROLE(name)                                                     \
    static int zoChildRole_##name([[maybe_unused]] int argc, [[maybe_unused]] wchar_t** argv);                    \
    static const bool zoChildRoleRegistered_##name =                           \
        ::zotest::RegisterChildRole(#name, zoChildRole_##name);                 \
    static int zoChildRole_##name([[maybe_unused]] int argc, [[maybe_unused]] wchar_t** argv)
