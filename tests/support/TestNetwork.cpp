#include "support/TestNetwork.h"

#include "core/Win.h"

namespace zotest {

std::string FirstLocalAddress() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return "";
    std::string result;
    hostent* host = gethostbyname("");
    if (host && host->h_addrtype == AF_INET && host->h_addr_list[0]) {
        in_addr a;
        memcpy(&a, host->h_addr_list[0], sizeof(a));
        result = inet_ntoa(a);
    }
    WSACleanup();
    return result;
}

bool InsideTestNetwork() {
    return FirstLocalAddress() == "198.51.100.10";
}

bool HasSecondTestNetwork() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
    bool found = false;
    hostent* host = gethostbyname("");
    const unsigned long second = inet_addr("203.0.113.10");
    for (int i = 0; !found && host && host->h_addrtype == AF_INET && host->h_addr_list[i]; ++i)
        found = memcmp(host->h_addr_list[i], &second, sizeof(second)) == 0;
    WSACleanup();
    return found;
}

} // namespace zotest
