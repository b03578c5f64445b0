// UDPSender and the Winsock start each endpoint holds: datagrams reach a
// simulated module inside the private network, sends to nobody are silent,
// and every endpoint undoes exactly its own start.
#include <gtest/gtest.h>

#include <cstring>

#include "net/TCPServer.h"
#include "net/UDPReceiver.h"
#include "net/UDPSender.h"
#include "support/TestNetwork.h"

namespace {

// Winsock is stopped: the process holds no start.
bool WinsockStopped() {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s != INVALID_SOCKET) {
        closesocket(s);
        return false;
    }
    return WSAGetLastError() == WSANOTINITIALISED;
}

TEST(WinsockCount, EveryEndpointUndoesOnlyItsOwnStart) {
    ASSERT_TRUE(WinsockStopped()) << "the test program itself must hold no start";
    {
        zo::UDPSender a;
        EXPECT_FALSE(WinsockStopped());
        {
            zo::UDPSender b;
            zo::UDPReceiver rx;
            zo::TCPServer server;
        }
        EXPECT_FALSE(WinsockStopped()) << "destroying b, rx and server stopped a's Winsock";
    }
    EXPECT_TRUE(WinsockStopped());
    { zo::UDPReceiver rx; }
    EXPECT_TRUE(WinsockStopped());
    { zo::TCPServer server; }
    EXPECT_TRUE(WinsockStopped()) << "a TCPServer must not leave Winsock started";
}

TEST(TCPServer, ConstructsWithoutSocket) {
    zo::TCPServer server;
    EXPECT_TRUE(server.GetSocket()->IsNull());
}

zo::IP Module(int n) { return zo::IP(htonl(0xC6336464ul + n)); }   // 198.51.100.100 + n

// A socket bound on a module address, port chosen by the system, whose
// receives give up after five seconds.
bool BindModule(zo::Socket& module, int n, zo::SOCKADDR& at) {
    DWORD timeout = 5000;
    at.SetIp(Module(n));
    return module.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP) && module.Bind(at) && module.GetSockAddr(at) &&
           module.SetSockOpt(SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), 4) == 0;
}

TEST(UDPSender, SendToReachesASocketBoundOnAModuleAddress) {
    ZO_REQUIRE_TEST_NETWORK();
    zo::UDPSender sender;
    zo::Socket module;
    zo::SOCKADDR at;
    ASSERT_TRUE(BindModule(module, 2, at)) << "198.51.100.102 is not held inside the private network";

    ASSERT_TRUE(sender.GetSocket()->Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sender.SendTo("get_net_modle_param", 19, at.GetPort(), Module(2));
    char buf[64] = {};
    zo::SOCKADDR from;
    int fromLength = 16;
    ASSERT_EQ(19, module.RecvFrom(buf, sizeof(buf), 0, from, &fromLength));
    EXPECT_EQ(0, memcmp("get_net_modle_param", buf, 19));
    zo::SOCKADDR own;
    ASSERT_TRUE(sender.GetSocket()->GetSockAddr(own));
    EXPECT_EQ(own.GetPort(), from.GetPort());
    module.Close();
}

TEST(UDPSender, SendToNobodyIsSilentAndTheSocketStaysUsable) {
    ZO_REQUIRE_TEST_NETWORK();
    zo::UDPSender sender;
    // Without a socket the send fails quietly.
    sender.SendTo("x", 1, 6646, zo::IP("198.51.100.5"));
    ASSERT_TRUE(sender.GetSocket()->Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    // 198.51.100.5 is held by nobody: the datagram dies on the private link.
    sender.SendTo("get_net_modle_param", 19, 6646, zo::IP("198.51.100.5"));
    // A closed port on a held address answers with an unreachable error.
    sender.SendTo("get_net_modle_param", 19, 9, Module(1));

    zo::Socket module;
    zo::SOCKADDR at;
    ASSERT_TRUE(BindModule(module, 1, at));
    sender.SendTo("after", 5, at.GetPort(), Module(1));
    char buf[16] = {};
    EXPECT_EQ(5, module.Receive(buf, sizeof(buf), 0));
    module.Close();

    EXPECT_TRUE(sender.Close());
    EXPECT_TRUE(sender.GetSocket()->IsNull());
    EXPECT_FALSE(sender.Close());
}

} // namespace
