#include "net/AnsiText.h"

#include <cstdlib>

#include "core/Win.h"

namespace zo {

AnsiText::AnsiText(const wchar_t* wide) {
    if (!wide) return;
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    text = static_cast<char*>(malloc(n));
    if (text && WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, text, n, nullptr, nullptr) != n) {
        free(text);
        text = nullptr;
    }
}

AnsiText::~AnsiText() { free(text); }

} // namespace zo
