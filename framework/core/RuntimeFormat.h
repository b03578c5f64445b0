// printf-style formatting through the Windows C runtime (msvcrt.dll), whose
// conventions the rest of the framework relies on: in a wide format %s takes a
// wide string (%S a narrow one), and exponents have three digits (1e+020).
#pragma once
#include <cstdarg>
#include <cstddef>

namespace zo {

// Characters the formatted text needs, without the terminator; -1 when the
// format cannot be formatted (or is null).
int RuntimeCountW(const wchar_t* fmt, va_list args);
int RuntimeCountA(const char* fmt, va_list args);

// Formats into at most bound units; the text is terminated when it fits in
// fewer than bound units. Returns the characters written, or -1 when the text
// was cut or the format is bad.
int RuntimeFormatW(wchar_t* buffer, size_t bound, const wchar_t* fmt, va_list args);
int RuntimeFormatA(char* buffer, size_t bound, const char* fmt, va_list args);

} // namespace zo
