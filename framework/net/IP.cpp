#include "net/IP.h"

#include "core/String.h"

namespace zo {

IP::IP(const wchar_t* text) : value(None) {
    if (!text || !*text) return;
    Memory<char> ansi;
    if (String(text).ToMultiByte(ansi) > 0) value = inet_addr(ansi.data);
}

} // namespace zo
