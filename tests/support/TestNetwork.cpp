#include "support/TestNetwork.h"

#include "net/UDPReceiver.h"
#include "support/Winsock.h"

namespace zotest {

std::string FirstLocalAddress() {
    Winsock ws;
    if (!ws.Started()) return "";
    std::string result;
    hostent* host = gethostbyname("");
    if (host && host->h_addrtype == AF_INET && host->h_addr_list[0]) {
        in_addr a;
        memcpy(&a, host->h_addr_list[0], sizeof(a));
        result = inet_ntoa(a);
    }
    return result;
}

unsigned short PortOf(zo::UDPReceiver& rx) {
    zo::SOCKADDR at;
    return rx.GetSocket()->GetSockAddr(at) ? at.GetPort() : 0;
}

bool HasLocalAddress(const char* dotted) {
    Winsock ws;
    if (!ws.Started()) return false;
    bool found = false;
    hostent* host = gethostbyname("");
    const unsigned long wanted = inet_addr(dotted);
    for (int i = 0; !found && host && host->h_addrtype == AF_INET && host->h_addr_list[i]; ++i)
        found = memcmp(host->h_addr_list[i], &wanted, sizeof(wanted)) == 0;
    return found;
}

bool EmptyAdapterFirst() {
    return FirstLocalAddress() == "198.19.255.10" && HasLocalAddress("198.51.100.10");
}

bool InsideTestNetwork() {
    return FirstLocalAddress() == "198.51.100.10" || EmptyAdapterFirst();
}

bool HasSecondTestNetwork() { return HasLocalAddress("203.0.113.10"); }

} // namespace zotest
