// A hidden window registered as the trace output while it lives: it keeps
// every line the program traces (each ending in CR LF), for the tests of the
// trace itself, of the receiver and of the main window.
#pragma once
#include <string>
#include <vector>

#include "core/Win.h"

namespace zotest {

class TraceSink {
public:
    TraceSink();
    ~TraceSink();
    TraceSink(const TraceSink&) = delete;
    TraceSink& operator=(const TraceSink&) = delete;

    std::vector<std::wstring> lines;
    bool Has(const std::wstring& text) const;   // a line containing text
    size_t CountOf(const std::wstring& text) const;
    std::wstring All() const;                    // every line, joined
    HWND Window() const { return window; }
    // Destroys the window while it is still registered as the output.
    void Destroy();

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l);
    HWND window = nullptr;
};

} // namespace zotest
