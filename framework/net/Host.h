// Host: the result of a host-name look-up. The hostent belongs to Winsock's
// per-thread storage and stays valid only until this thread's next look-up;
// Host owns nothing and frees nothing.
#pragma once
#include "core/Win.h"
#include "net/IP.h"

namespace zo {

class Host {
public:
    Host() {}
    // Looks the name up; the empty name gives the local host's entry.
    // False when Winsock has no answer (the counts keep their old values).
    bool Lookup(const wchar_t* name);

    bool IsNull() const { return entry == nullptr; }
    hostent* Handle() const { return entry; }
    const char* GetOfficial() const { return entry ? entry->h_name : nullptr; }
    unsigned short GetAliasesCount() const { return aliasCount; }
    unsigned short GetIpCount() const { return ipCount; }
    int GetIpType() const { return entry ? entry->h_addrtype : 0; }
    int GetIpLength() const { return entry ? entry->h_length : 0; }
    // Address i of the entry, or None when there is no such IPv4 address.
    IP GetIp(unsigned i) const;

private:
    hostent* entry = nullptr;
    unsigned short aliasCount = 0;
    unsigned short ipCount = 0;
};

} // namespace zo
