#include "support/TestNetwork.h"

#include <algorithm>
#include <vector>

#include "core/Win.h"

namespace zotest {

namespace {

// The local host's IPv4 addresses in Winsock's order.
std::vector<std::string> LocalAddresses() {
    std::vector<std::string> result;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return result;
    hostent* host = gethostbyname("");
    for (int i = 0; host && host->h_addrtype == AF_INET && host->h_addr_list[i]; ++i) {
        in_addr a;
        memcpy(&a, host->h_addr_list[i], sizeof(a));
        result.push_back(inet_ntoa(a));
    }
    WSACleanup();
    return result;
}

} // namespace

std::string FirstLocalAddress() {
    std::vector<std::string> all = LocalAddresses();
    return all.empty() ? std::string() : all[0];
}

bool HasSecondTestNetwork() {
    std::vector<std::string> all = LocalAddresses();
    return std::find(all.begin(), all.end(), "203.0.113.10") != all.end();
}

bool InsideTestNetwork() {
    return FirstLocalAddress() == "198.51.100.10";
}

} // namespace zotest
