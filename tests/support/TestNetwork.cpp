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

} // namespace zotest
