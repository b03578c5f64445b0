#include "net/IP.h"

#include "net/AnsiText.h"

namespace zo {

IP::IP(const wchar_t* text) : value(None) {
    if (!text || !*text) return;
    AnsiText ansi(text);
    if (ansi.Text()) value = inet_addr(ansi.Text());
}

} // namespace zo
