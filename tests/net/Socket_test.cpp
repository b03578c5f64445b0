// Socket wrappers on loopback: the results they pass through, the handle they
// adopt and give back, and closing exactly once.
#include <gtest/gtest.h>

#include <cstring>

#include "net/Socket.h"
#include "support/Winsock.h"

namespace {

zo::SOCKADDR Loopback(unsigned short port) {
    zo::SOCKADDR sa;
    sa.SetIp(zo::IP("127.0.0.1"));
    sa.SetPortW(port);
    return sa;
}

TEST(Socket, StartsWithoutHandleAndAdoptsOne) {
    zotest::Winsock ws;
    zo::Socket s;
    EXPECT_TRUE(s.IsNull());
    EXPECT_FALSE(s.NotNull());
    EXPECT_FALSE(s.Close());
    SOCKET raw = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(INVALID_SOCKET, raw);
    s = raw;
    EXPECT_TRUE(s.NotNull());
    EXPECT_EQ(raw, s.Handle());
    EXPECT_TRUE(s.Close());
    EXPECT_TRUE(s.IsNull());
    EXPECT_FALSE(s.Close()) << "a closed socket must not be closed twice";
    // The handle really was closed.
    EXPECT_EQ(SOCKET_ERROR, closesocket(raw));
}

// A child process holding an inherited copy would keep the socket alive
// after Close, and a receive blocked on it would never end.
TEST(Socket, ACreatedSocketIsNotInheritedByChildProcesses) {
    zotest::Winsock ws;
    zo::Socket s;
    ASSERT_TRUE(s.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    DWORD flags = HANDLE_FLAG_INHERIT;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(s.Handle()), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    s.Close();
}

TEST(Socket, DatagramRoundTripWithAddresses) {
    zotest::Winsock ws;
    zo::Socket rx, tx;
    ASSERT_TRUE(rx.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    ASSERT_TRUE(tx.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    ASSERT_TRUE(rx.Bind(Loopback(0)));
    ASSERT_TRUE(tx.Bind(Loopback(0)));
    zo::SOCKADDR rxAddr, txAddr;
    ASSERT_TRUE(rx.GetSockAddr(rxAddr));
    ASSERT_TRUE(tx.GetSockAddr(txAddr));
    EXPECT_NE(0, rxAddr.GetPort());
    EXPECT_STREQ("127.0.0.1", rxAddr.GetIp().ToString());

    DWORD timeout = 5000;
    EXPECT_EQ(0, rx.SetSockOpt(SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), 4));
    const char text[] = "get_net_modle_param";
    EXPECT_EQ(19, tx.SendTo(text, 19, 0, rxAddr, zo::SOCKADDR::Size()));
    char buf[64] = {};
    zo::SOCKADDR from;
    int fromLength = 16;
    ASSERT_EQ(19, rx.RecvFrom(buf, sizeof(buf), 0, from, &fromLength));
    EXPECT_EQ(0, memcmp(text, buf, 19));
    EXPECT_EQ(txAddr.GetPort(), from.GetPort());

    // Connected: the default peer and Send/Receive.
    ASSERT_TRUE(tx.Connect(rxAddr));
    zo::SOCKADDR peer;
    ASSERT_TRUE(tx.GetPeerAddr(peer));
    EXPECT_EQ(rxAddr.GetPort(), peer.GetPort());
    EXPECT_EQ(3, tx.Send("abc", 3, 0));
    EXPECT_EQ(3, rx.Receive(buf, sizeof(buf), 0));
    EXPECT_EQ(0, memcmp("abc", buf, 3));

    int type = 0, length = 4;
    EXPECT_EQ(0, rx.GetSockOpt(SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length));
    EXPECT_EQ(SOCK_DGRAM, type);
    EXPECT_TRUE(rx.Close());
    EXPECT_TRUE(tx.Close());
}

} // namespace
