// Binds the msvcrt formatters by their exported names. The C headers would
// map the same calls to MinGW's own C99 printf (narrow %s in wide formats,
// two exponent digits) or to the UCRT, depending on flags; naming the exports
// makes any other runtime a link error instead of a silent change of output.
#include "core/RuntimeFormat.h"

#define ZO_STR2(x) #x
#define ZO_STR(x) ZO_STR2(x)
// C symbols of i686 carry a leading underscore, those of x86_64 do not.
#define ZO_MSVCRT(name) __asm__(ZO_STR(__USER_LABEL_PREFIX__) name)

extern "C" {
int zo_msvcrt_vscwprintf(const wchar_t* fmt, va_list args) ZO_MSVCRT("_vscwprintf");
int zo_msvcrt_vscprintf(const char* fmt, va_list args) ZO_MSVCRT("_vscprintf");
int zo_msvcrt_vsnwprintf(wchar_t* buffer, size_t bound, const wchar_t* fmt, va_list args)
    ZO_MSVCRT("_vsnwprintf");
int zo_msvcrt_vsnprintf(char* buffer, size_t bound, const char* fmt, va_list args)
    ZO_MSVCRT("_vsnprintf");
}

namespace zo {

// A null format reaches msvcrt's invalid-parameter handler, which may end
// the process; it is refused here instead.
int RuntimeCountW(const wchar_t* fmt, va_list args) {
    return fmt ? zo_msvcrt_vscwprintf(fmt, args) : -1;
}

int RuntimeCountA(const char* fmt, va_list args) {
    return fmt ? zo_msvcrt_vscprintf(fmt, args) : -1;
}

int RuntimeFormatW(wchar_t* buffer, size_t bound, const wchar_t* fmt, va_list args) {
    return fmt && buffer ? zo_msvcrt_vsnwprintf(buffer, bound, fmt, args) : -1;
}

int RuntimeFormatA(char* buffer, size_t bound, const char* fmt, va_list args) {
    return fmt && buffer ? zo_msvcrt_vsnprintf(buffer, bound, fmt, args) : -1;
}

} // namespace zo
