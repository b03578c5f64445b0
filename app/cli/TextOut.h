// TextOut: one standard stream of the program. The rule: text written to a
// console goes as UTF-16 through WriteConsoleW, so the console shows every
// character it has a glyph for whatever its code page; written to a file or
// a pipe it goes as UTF-8 with CR LF line ends. Borrows the standard handle.
#pragma once
#include <string>

#include "core/Win.h"

namespace cli {

class TextOut {
public:
    explicit TextOut(DWORD which);   // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE
    bool IsConsole() const { return console; }
    // "\n" ends a line.
    void Write(const std::wstring& text);

private:
    HANDLE handle;
    bool console;
};

} // namespace cli
