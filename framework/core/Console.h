// Console: the console window the diagnostic lines go to when no output
// window is registered. It owns the two standard handles it took and frees
// the console when destroyed.
#pragma once
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
    void Write(const wchar_t* text);
    void Write(const char* text);

private:
    HANDLE input = nullptr;
    HANDLE output = nullptr;
};

} // namespace zo
