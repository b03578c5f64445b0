// Where diagnostic lines go: the registered output window (checked alive on
// every line), the debugger when it has died, or the trace console, which a
// writer thread of its own opens and writes to: a console write can block
// (a selection in it holds every write), and neither opening nor writing
// may hold up the thread that prints.
#include "core/Print.h"

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/Console.h"
#include "core/ConsoleRelay.h"
#include "core/LineWriter.h"
#include "core/LocalString.h"
#include "core/RuntimeFormat.h"

namespace zo {

namespace {

std::atomic<HWND> outputDevice{nullptr};
// The trace console. A window program (no console of its own) gets one
// shown by a helper process, so closing it cannot end the program (see
// ConsoleRelay); a program that has a console writes to that one. Both are
// used by the writer's thread only, and ended by it when it ends in time
// at exit; one stuck in a write keeps them to the end of the process.
ConsoleRelay* relay = nullptr;
Console* console = nullptr;

// A test holds every console write by creating this manual-reset event
// (with the process id appended) unsignalled before the first line; the
// writes wait until it is set. Nothing else creates it.
const wchar_t kHoldPrefix[] = L"zo.console-writer.hold.";
HANDLE hold = nullptr;
std::atomic<DWORD> relayId{0};

void OpenConsole(void*) {
    wchar_t name[64];
    swprintf(name, 64, L"%ls%lu", kHoldPrefix, GetCurrentProcessId());
    hold = OpenEventW(SYNCHRONIZE, FALSE, name);
    if (!GetConsoleWindow()) {
        relay = new ConsoleRelay;
        if (relay && relay->Start()) {
            relayId.store(relay->HelperId());
            return;
        }
        delete relay;
        relay = nullptr;
    }
    console = new Console;
    if (console && !console->IsShowed()) console->Show();
}

void WriteConsoleLine(void*, const TraceLine& line) {
    if (hold) WaitForSingleObject(hold, INFINITE);
    if (relay) {
        relay->Send(line.wide, line.bytes.data(), static_cast<unsigned>(line.bytes.size()));
        return;
    }
    if (!console) return;
    std::string text = line.bytes;   // the console takes terminated text
    bool shown;
    if (line.wide) {
        text.append(2, '\0');
        shown = console->Write(reinterpret_cast<const wchar_t*>(text.c_str()));
    } else {
        shown = console->Write(text.c_str());
    }
    if (!shown) console->Write("\r\ntrace: the console refused the rest of a line\r\n");
}

void CloseConsole(void*) {
    delete relay;
    relay = nullptr;
    delete console;
    console = nullptr;
}

LineWriter& Writer() {
    static LineWriter* writer = [] {
        LineTarget target;
        target.open = OpenConsole;
        target.write = WriteConsoleLine;
        target.close = CloseConsole;
        return new LineWriter(target);
    }();
    return *writer;
}

// At exit the writer gets a moment to write what is queued; one stuck in
// a write is left to the end of the process, which does not wait for it.
std::atomic<bool> writerMade{false};
struct WriterAtExit {
    ~WriterAtExit() {
        if (writerMade.load()) Writer().Stop(200);
    }
} writerAtExit;

// The formatted text with CR LF and a terminator, in a heap buffer the caller
// frees; null when the format cannot be measured or memory runs out. A line
// longer than cap units (0: no cap) keeps its first cap units, cut on a
// whole character, and says how many more there were: only that much is
// formatted into memory and copied on, however large the text.
size_t CutAt(const wchar_t* text, size_t n, size_t most) { return Console::PieceLength(text, n, most); }
size_t CutAt(const char* text, size_t n, size_t most) { return Console::PieceLength(text, n, most, GetACP()); }
int Note(wchar_t* at, size_t room, size_t more) {
    return swprintf(at, room, L" ... %llu characters more", static_cast<unsigned long long>(more));
}
int Note(char* at, size_t room, size_t more) {
    return snprintf(at, room, " ... %llu bytes more", static_cast<unsigned long long>(more));
}

template <class Char, class Count, class Form>
Char* FormatLine(Count count, Form form, const Char* fmt, va_list args, size_t cap) {
    const size_t kNoteRoom = 48;
    va_list again;
    va_copy(again, args);
    int n = count(fmt, args);
    bool capped = n >= 0 && cap && static_cast<size_t>(n) > cap;
    size_t keep = n < 0 ? 0 : capped ? cap : static_cast<size_t>(n);
    size_t units = n < 0 ? 0 : keep + 3 + (capped ? kNoteRoom : 0);
    Char* line = units ? static_cast<Char*>(malloc(units * sizeof(Char))) : nullptr;
    if (line) {
        form(line, keep + 1, fmt, again);   // a cut text fills the bound without terminator
        line[keep] = 0;
        size_t len = 0;
        while (line[len]) ++len;
        if (capped) {
            // As if more text followed: the cut never splits a character.
            len = CutAt(line, len + 1, len);
            int note = Note(line + len, kNoteRoom, static_cast<size_t>(n) - len);
            len += note > 0 ? static_cast<size_t>(note) : 0;
        }
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
        writerMade.store(true);
        Writer().Put(line);
    }
    free(line);
}

// Lines for the console are capped; a window gets the text whole.
size_t LineCap() { return outputDevice.load() ? 0 : kTraceLineCap; }

} // namespace

void SetOutputDevice(HWND device) { outputDevice.store(device); }

void Print(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    wchar_t* line = FormatLine(RuntimeCountW, RuntimeFormatW, fmt, args, LineCap());
    va_end(args);
    Emit(line);
}

void PrintA(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    char* line = FormatLine(RuntimeCountA, RuntimeFormatA, fmt, args, LineCap());
    va_end(args);
    Emit(line);
}

DWORD TraceConsoleProcess() { return relayId.load(); }

bool FlushConsole(DWORD ms) { return writerMade.load() ? Writer().Flush(ms) : true; }

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
