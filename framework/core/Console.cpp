// Console allocation and writing. Output failures (no console, a redirected
// handle) are ignored: diagnostics must never stop the program.
#include "core/Console.h"

#include <cstring>
#include <cwchar>

namespace zo {

Console::~Console() {
    // A console never shown is not ours: leave the process's own one alone.
    if (!input && !output) return;
    if (input && input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output && output != INVALID_HANDLE_VALUE && output != input) CloseHandle(output);
    input = nullptr;
    output = nullptr;
    FreeConsole();
}

namespace {

// The visible, unowned top-level windows of this process but the console.
BOOL CALLBACK CloseOne(HWND window, LPARAM console) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && window != reinterpret_cast<HWND>(console) && IsWindowVisible(window) &&
        !GetWindow(window, GW_OWNER))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

BOOL WINAPI Console::OnControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return TRUE;
    case CTRL_CLOSE_EVENT:
        EnumWindows(CloseOne, reinterpret_cast<LPARAM>(GetConsoleWindow()));
        // The program's own exit ends this thread; the system ends the
        // process anyway a few seconds after a close, so the wait is bounded
        // below that. The process handle is signalled only when it has ended.
        WaitForSingleObject(GetCurrentProcess(), kCloseWaitMs);
        return TRUE;
    default:
        return FALSE;
    }
}

bool Console::Show() {
    if (output) return false;
    BOOL allocated = AllocConsole();
    SetConsoleCtrlHandler(&Console::OnControl, TRUE);
    input = GetStdHandle(STD_INPUT_HANDLE);
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    return allocated != FALSE;
}

void Console::Write(const wchar_t* text) {
    DWORD written = 0;
    DWORD n = text ? static_cast<DWORD>(wcslen(text)) : 0;
    WriteConsoleW(output, text ? text : L"", n, &written, nullptr);
}

void Console::Write(const char* text) {
    DWORD written = 0;
    DWORD n = text ? static_cast<DWORD>(strlen(text)) : 0;
    WriteConsoleA(output, text ? text : "", n, &written, nullptr);
}

} // namespace zo
