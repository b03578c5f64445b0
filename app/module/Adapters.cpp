#include "app/module/Adapters.h"

#include "core/Win.h"

#include <iphlpapi.h>

namespace proto {

namespace {

bool Skipped(unsigned long hostOrder) {
    return (hostOrder >> 24) == 127 || (hostOrder >> 16) == 0xA9FE;   // 127/8, 169.254/16
}

zo::IP FromHostOrder(unsigned long a) { return zo::IP(htonl(a)); }

typedef ULONG(WINAPI* GetAddresses)(ULONG, ULONG, void*, IP_ADAPTER_ADDRESSES*, ULONG*);

// The system's adapter table is looked up when first needed, not imported:
// loading its library and the ones it pulls in cost the tool's start 3 ms,
// and the tool asks for the table only once its window is up. The library
// stays loaded for the rest of the process.
GetAddresses AdapterTable() {
    static const GetAddresses get = [] {
        HMODULE library = LoadLibraryW(L"iphlpapi.dll");
        return library ? reinterpret_cast<GetAddresses>(
                             reinterpret_cast<void*>(GetProcAddress(library, "GetAdaptersAddresses")))
                       : nullptr;
    }();
    return get;
}

} // namespace

bool LocalAdapters(std::vector<Adapter>& out) {
    out.clear();
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    const GetAddresses get = AdapterTable();
    if (!get) return false;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The table may grow between the two calls; a few tries settle it.
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = get(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result == ERROR_NO_DATA) return true;
    if (result != NO_ERROR) return false;
    for (const IP_ADAPTER_ADDRESSES* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a;
         a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
            const SOCKADDR* sa = u->Address.lpSockaddr;
            if (!sa || sa->sa_family != AF_INET) continue;
            in_addr ip = reinterpret_cast<const sockaddr_in*>(sa)->sin_addr;
            if (Skipped(ntohl(ip.s_addr))) continue;
            Adapter adapter;
            adapter.address = zo::IP(ip);
            adapter.prefixLength = u->OnLinkPrefixLength <= 32 ? u->OnLinkPrefixLength : 32;
            if (a->FriendlyName) adapter.name = a->FriendlyName;
            out.push_back(adapter);
        }
    }
    return true;
}

std::vector<zo::IP> SweepHosts(const Adapter& adapter) {
    std::vector<zo::IP> hosts;
    const unsigned long own = ntohl(adapter.address.ToLong());
    const unsigned prefix = adapter.prefixLength < 32 ? adapter.prefixLength : 32;
    unsigned long first, last;
    if (prefix <= 24) {
        first = (own & 0xFFFFFF00ul) | 1;
        last = (own & 0xFFFFFF00ul) | 254;
    } else {
        if (prefix == 32) return hosts;
        const unsigned long mask = 0xFFFFFFFFul << (32 - prefix);
        first = own & mask;
        last = first | (~mask & 0xFFFFFFFFul);
        if (prefix < 31) {
            ++first;
            --last;
        }
    }
    // Counted so that a range ending at 255.255.255.255 ends.
    for (unsigned long h = first, n = last - first + 1; n > 0; ++h, --n)
        if (h != own) hosts.push_back(FromHostOrder(h));
    return hosts;
}

} // namespace proto
