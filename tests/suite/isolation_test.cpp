// Proves on every run that the suite cannot reach the machine's own network:
// a datagram to 127.0.0.1:P must stay inside while a listener on the same
// port outside (started by scripts/test) hears nothing, and the local host's
// first address must be the private network's tool host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/Win.h"
#include "support/TestNetwork.h"
#include "support/Wait.h"
#include "support/Winsock.h"
#include "tools/SimulatorLog.h"

namespace {

// Wine shows the Unix root as drive Z:.
std::string ReadFileText(const std::string& unixPath) {
    return simlog::ReadFileBytes((L"Z:" + std::wstring(unixPath.begin(), unixPath.end())).c_str());
}

TEST(Isolation, LocalHostIsTheToolHostOfThePrivateNetwork) {
    EXPECT_EQ("198.51.100.10", zotest::FirstLocalAddress())
        << "Wine's gethostbyname(\"\") must answer the private network's tool host first";
}

TEST(Isolation, DatagramToLoopbackStaysInsideTheNamespace) {
    const char* portText = getenv("ZO_OUTSIDE_PORT");
    const char* log = getenv("ZO_OUTSIDE_LOG");
    ASSERT_TRUE(portText && log)
        << "ZO_OUTSIDE_PORT/ZO_OUTSIDE_LOG are unset: run the suite through scripts/test, "
           "which listens outside the private network";
    zotest::Winsock ws;
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(atoi(portText)));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    // Inside, the port is free: if this socket lived outside, the outside
    // listener would already hold it.
    SOCKET inside = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, inside);
    ASSERT_EQ(0, bind(inside, reinterpret_cast<sockaddr*>(&to), sizeof(to)))
        << "127.0.0.1:" << portText << " is taken: this socket is in the machine's own network";
    DWORD timeout = 5000;
    setsockopt(inside, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));

    std::string token = "isolation-" + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(GetTickCount());
    SOCKET sender = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, sender);
    ASSERT_EQ(static_cast<int>(token.size()),
              sendto(sender, token.data(), static_cast<int>(token.size()), 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof(to)));

    char buf[256] = {};
    int got = recv(inside, buf, sizeof(buf) - 1, 0);
    ASSERT_EQ(static_cast<int>(token.size()), got) << "the datagram did not arrive inside";
    EXPECT_EQ(token, std::string(buf, got));

    // The outside listener must not hear it within a generous bound.
    bool leaked = zotest::WaitUntil([&] { return ReadFileText(log).find(token) != std::string::npos; }, 1500);
    EXPECT_FALSE(leaked) << "the datagram reached the listener in the machine's own network";
    closesocket(sender);
    closesocket(inside);
}

} // namespace
