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

bool Console::Show() {
    if (output) return false;
    BOOL allocated = AllocConsole();
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
