// Writing to a console or a redirected stream.
#include "app/cli/TextOut.h"

#include "app/cli/Csv.h"

namespace cli {

TextOut::TextOut(DWORD which) : handle(GetStdHandle(which)), console(false) {
    DWORD mode;
    console = handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void TextOut::Write(const std::wstring& text) {
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD done;
    if (console) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    std::wstring crlf;
    crlf.reserve(text.size() + 16);
    for (wchar_t c : text) {
        if (c == L'\n') crlf += L'\r';
        crlf += c;
    }
    std::string bytes;
    if (!WideToUtf8(crlf, bytes)) {
        // A lone surrogate from a module's text: write what the system makes of it.
        int n = WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0, nullptr, nullptr);
        bytes.assign(static_cast<size_t>(n > 0 ? n : 0), '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), &bytes[0], n, nullptr, nullptr);
    }
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

} // namespace cli
