// Console: the console window the diagnostic lines go to when no output
// window is registered. It owns the two standard handles it took and frees
// the console when destroyed. Text goes out in pieces a console takes.
#pragma once
#include <cstddef>

#include "core/Win.h"

namespace zo {

class Console {
public:
    // Constant-initialised, so the process-wide instance is ready (and empty)
    // before any static constructor can print.
    constexpr Console() {}
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Allocates a console and takes its standard handles; true when a console
    // was allocated now. With one already attached (allocation fails) its
    // handles are taken all the same.
    bool Show();
    bool IsShowed() const { return input != nullptr; }
    // Writes the text as it is (no line end added); null writes nothing.
    // False when the console refused part of it.
    bool Write(const wchar_t* text);
    bool Write(const char* text);

    // A console write call (WriteConsoleW or WriteConsoleA, or a test's).
    typedef BOOL(WINAPI* WriteCall)(HANDLE, const void*, DWORD, DWORD*, void*);
    // The most characters one call is given: a console refuses a call whose
    // text does not fit its buffer for the call (Windows 7 takes far less
    // than 65 000), so longer text goes out in pieces.
    static const size_t kPiece = 8192;
    // The length of the first piece of text (units long) of at most `most`
    // units that ends on a whole character: never between the halves of a
    // surrogate pair, nor after the lead byte of a double-byte character of
    // the code page (narrow text).
    static size_t PieceLength(const wchar_t* text, size_t units, size_t most);
    static size_t PieceLength(const char* text, size_t units, size_t most, UINT codePage);
    // Writes units of text through call in pieces; a refused piece is tried
    // again in halves down to a few characters. False when even that was
    // refused: the rest of the text is not written.
    static bool WritePieces(WriteCall call, HANDLE out, const wchar_t* text, size_t units);
    static bool WritePieces(WriteCall call, HANDLE out, const char* text, size_t units, UINT codePage);

private:
    HANDLE input = nullptr;
    HANDLE output = nullptr;
};

} // namespace zo
