// IP: one IPv4 address held exactly as in_addr holds it (network byte order,
// first octet in the lowest byte). The all-ones value means "no address"; it
// is also what an unreadable text converts to. A plain value, owns nothing.
#pragma once
#include "core/Win.h"

namespace zo {

class IP {
public:
    static const unsigned long None = 0xFFFFFFFFul;

    IP() : value(None) {}
    IP(unsigned long networkOrder) : value(networkOrder) {}
    IP(in_addr a) : value(a.s_addr) {}
    IP(const IP& other) : value(other.value) {}
    // Dotted text; anything else (and null) gives None.
    IP(const char* text) : value(FromText(text)) {}
    // Dotted text in UTF-16, read through the thread's ANSI code page.
    IP(const wchar_t* text);

    IP& operator=(const IP& other) { value = other.value; return *this; }
    IP& operator=(unsigned long networkOrder) { value = networkOrder; return *this; }
    IP& operator=(in_addr a) { value = a.s_addr; return *this; }
    IP& operator=(const char* text) { value = FromText(text); return *this; }

    in_addr Handle() const {
        in_addr a;
        a.s_addr = value;
        return a;
    }
    operator in_addr() const { return Handle(); }
    unsigned long ToLong() const { return value; }
    operator unsigned long() const { return value; }
    // Dotted text in Winsock's per-thread buffer: copy it before the next
    // inet_ntoa on this thread.
    char* ToString() const { return inet_ntoa(Handle()); }
    operator char*() const { return ToString(); }

    bool operator==(const IP& other) const { return value == other.value; }
    bool operator!=(const IP& other) const { return value != other.value; }
    bool IsNull() const { return value == None; }

private:
    static unsigned long FromText(const char* text) { return text ? inet_addr(text) : None; }

    unsigned long value;
};

} // namespace zo
