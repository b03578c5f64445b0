// Where diagnostic lines go: the registered output window (checked alive on
// every line), the debugger when it has died, or the process-wide console.
// There is no lock: lines from two threads may interleave at the console.
#include "core/Print.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/Console.h"
#include "core/LocalString.h"
#include "core/RuntimeFormat.h"

namespace zo {

namespace {

std::atomic<HWND> outputDevice{nullptr};
Console console;

// The formatted text with CR LF and a terminator, in a heap buffer the caller
// frees; null when the format cannot be measured or memory runs out.
template <class Char, class Count, class Form>
Char* FormatLine(Count count, Form form, const Char* fmt, va_list args) {
    va_list again;
    va_copy(again, args);
    int n = count(fmt, args);
    size_t units = n < 0 ? 0 : static_cast<size_t>(n) + 3;
    Char* line = units ? static_cast<Char*>(malloc(units * sizeof(Char))) : nullptr;
    if (line) {
        form(line, static_cast<size_t>(n) + 1, fmt, again);
        line[n] = 0;
        size_t len = 0;
        while (line[len]) ++len;
        line[len] = '\r';
        line[len + 1] = '\n';
        line[len + 2] = 0;
    }
    va_end(again);
    return line;
}

void SendLine(HWND device, const wchar_t* line) {
    SendMessageW(device, WM_OUTPUT_LINE, 0, reinterpret_cast<LPARAM>(line));
}

// The window always gets wide text, converted from the thread's ANSI code page.
void SendLine(HWND device, const char* line) {
    LocalString wide(line);
    SendMessageW(device, WM_OUTPUT_LINE, 0, reinterpret_cast<LPARAM>(wide.Handle()));
}

void DebugLine(const wchar_t* line) { OutputDebugStringW(line); }
void DebugLine(const char* line) { OutputDebugStringA(line); }

// Hands the line to its destination and frees it.
template <class Char>
void Emit(Char* line) {
    if (!line) return;
    HWND device = outputDevice.load();
    if (device) {
        if (IsWindow(device))
            SendLine(device, line);
        else
            DebugLine(line);
    } else {
        if (!console.IsShowed()) console.Show();
        console.Write(line);
    }
    free(line);
}

} // namespace

void SetOutputDevice(HWND device) { outputDevice.store(device); }

void Print(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    wchar_t* line = FormatLine(RuntimeCountW, RuntimeFormatW, fmt, args);
    va_end(args);
    Emit(line);
}

void PrintA(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char* line = FormatLine(RuntimeCountA, RuntimeFormatA, fmt, args);
    va_end(args);
    Emit(line);
}

void Warning(const wchar_t* caption) {
    DWORD error = GetLastError();
    wchar_t text[256] = {};
    // Without IGNORE_INSERTS a text with %1 would read arguments that were
    // never passed.
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, 256, nullptr);
    MessageBoxW(nullptr, text, caption, MB_ICONWARNING);
}

} // namespace zo
