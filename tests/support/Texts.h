// Texts the tests compare with: the tool's title in both forms (the users'
// code page is 936), the system's message for an error code, a window's
// class name and a framework string's text.
#pragma once
#include <string>

#include "core/String.h"
#include "core/Win.h"

namespace zotest {

const wchar_t kToolTitle[] = L"网络模块设置工具";
// The same eight characters in code page 936: 16 bytes.
const char kToolTitleGbk[] = "\xCD\xF8\xC2\xE7\xC4\xA3\xBF\xE9\xC9\xE8\xD6\xC3\xB9\xA4\xBE\xDF";

// The system's text for an error code, inserts ("%1") left as they are;
// empty for a code the system has no text for.
inline std::wstring SystemText(DWORD code) {
    wchar_t text[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 256,
                   nullptr);
    return text;
}

// A window's class name.
inline std::wstring ClassName(HWND h) {
    wchar_t name[256] = {};
    GetClassNameW(h, name, 256);
    return name;
}

// A framework string as a standard one ("" for a string without a buffer).
inline std::wstring Text(const zo::String& s) { return s.Handle() ? s.Handle() : L""; }

} // namespace zotest
