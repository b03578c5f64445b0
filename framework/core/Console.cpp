// Console allocation and writing. Writes go out in pieces; a console that
// refuses even a small piece is reported to the caller, which decides.
#include "core/Console.h"

#include <cstring>
#include <cwchar>

namespace zo {

namespace {

// Below this a refused piece is not split further: the console is not
// refusing the size.
const size_t kSmallestPiece = 64;

BOOL WINAPI WriteWide(HANDLE out, const void* text, DWORD n, DWORD* written, void* reserved) {
    return WriteConsoleW(out, text, n, written, reserved);
}

BOOL WINAPI WriteNarrow(HANDLE out, const void* text, DWORD n, DWORD* written, void* reserved) {
    return WriteConsoleA(out, text, n, written, reserved);
}

template <class Char, class Piece>
bool WriteAll(Console::WriteCall call, HANDLE out, const Char* text, size_t units, Piece piece) {
    size_t most = Console::kPiece;
    while (units) {
        size_t n = piece(text, units, most);
        DWORD written = 0;
        if (!call(out, text, static_cast<DWORD>(n), &written, nullptr) || written > n) {
            if (most <= kSmallestPiece) return false;
            most /= 2;
            continue;
        }
        if (!written) return false;   // a console that takes nothing would loop for ever
        text += written;
        units -= written;
    }
    return true;
}

} // namespace

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

bool Console::Write(const wchar_t* text) {
    return !text || WritePieces(WriteWide, output, text, wcslen(text));
}

bool Console::Write(const char* text) {
    return !text || WritePieces(WriteNarrow, output, text, strlen(text), GetACP());
}

size_t Console::PieceLength(const wchar_t* text, size_t units, size_t most) {
    if (units <= most) return units;
    if (most < 2) return most;
    // A high surrogate last would leave its low half to the next call.
    return text[most - 1] >= 0xD800 && text[most - 1] <= 0xDBFF ? most - 1 : most;
}

size_t Console::PieceLength(const char* text, size_t units, size_t most, UINT codePage) {
    if (units <= most) return units;
    // Lead bytes can also be trail bytes, so the text is walked from its
    // start (a piece at a time, so the walk costs the text once overall).
    size_t at = 0;
    while (at < most) {
        size_t step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[at])) ? 2 : 1;
        if (at + step > most) break;
        at += step;
    }
    return at ? at : most;
}

bool Console::WritePieces(WriteCall call, HANDLE out, const wchar_t* text, size_t units) {
    return WriteAll(call, out, text, units,
                    [](const wchar_t* t, size_t n, size_t most) { return PieceLength(t, n, most); });
}

bool Console::WritePieces(WriteCall call, HANDLE out, const char* text, size_t units, UINT codePage) {
    return WriteAll(call, out, text, units,
                    [codePage](const char* t, size_t n, size_t most) { return PieceLength(t, n, most, codePage); });
}

} // namespace zo
