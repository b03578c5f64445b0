#include "support/TestNetwork.h"

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

bool InsideTestNetwork() {
    return FirstLocalAddress() == "198.51.100.10";
}

} // namespace zotest
