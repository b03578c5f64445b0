#include "net/Host.h"

#include <cstring>

#include "core/String.h"

namespace zo {

bool Host::Lookup(const wchar_t* name) {
    Memory<char> ansi;
    hostent* found = gethostbyname(String(name).ToMultiByte(ansi) > 0 ? ansi.data : "");
    entry = found;
    if (!found) return false;
    unsigned short aliases = 0, addresses = 0;
    for (char** a = found->h_aliases; a && *a; ++a) ++aliases;
    for (char** a = found->h_addr_list; a && *a; ++a) ++addresses;
    aliasCount = aliases;
    ipCount = addresses;
    return true;
}

IP Host::GetIp(unsigned i) const {
    if (!entry || i >= ipCount || entry->h_addrtype != AF_INET || entry->h_length != 4) return IP();
    in_addr a;
    memcpy(&a, entry->h_addr_list[i], sizeof(a));
    return IP(a);
}

} // namespace zo
