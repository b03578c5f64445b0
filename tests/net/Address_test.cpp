// IP, SOCKADDR and Host: byte orders, the all-ones "no address", the fixed
// 16-byte record and the local host's entry inside the private network.
#include <gtest/gtest.h>

#include <cstring>

#include "net/Host.h"
#include "net/IP.h"
#include "net/SOCKADDR.h"
#include "net/Socket.h"
#include "support/TestNetwork.h"
#include "support/Winsock.h"

namespace {

const unsigned char* Bytes(const zo::SOCKADDR& sa) {
    return reinterpret_cast<const unsigned char*>(static_cast<const sockaddr*>(sa));
}

TEST(IPText, UnreadableOrMissingTextIsNone) {
    EXPECT_TRUE(zo::IP().IsNull());
    for (const wchar_t* text : {L"", static_cast<const wchar_t*>(nullptr), L"module", L"模块地址", L"1.2.3.x"})
        EXPECT_TRUE(zo::IP(text).IsNull()) << (text ? text : L"(null)");
    EXPECT_TRUE(zo::IP(static_cast<const char*>(nullptr)).IsNull());
    EXPECT_TRUE(zo::IP("1.2.3.x").IsNull());
}

TEST(IPText, DottedTextGivesNetworkOrder) {
    EXPECT_EQ(167880896ul, zo::IP("192.168.1.10").ToLong());
    EXPECT_EQ(167880896ul, zo::IP(L"192.168.1.10").ToLong());
    zo::IP ip;
    ip = "10.1.2.3";
    EXPECT_EQ(0x0302010Aul, static_cast<unsigned long>(ip));
    in_addr a = ip;
    EXPECT_EQ(0x0302010Aul, a.s_addr);
    // The first octet sits in the lowest-addressed byte, as in in_addr.
    unsigned long v = ip.ToLong();
    EXPECT_EQ(10, reinterpret_cast<unsigned char*>(&v)[0]);
}

TEST(IPText, ToStringAndComparison) {
    EXPECT_STREQ("0.0.0.0", zo::IP(0ul).ToString());
    EXPECT_STREQ("198.51.100.10", zo::IP(L"198.51.100.10").ToString());
    EXPECT_TRUE(zo::IP("127.0.0.1") == zo::IP(htonl(INADDR_LOOPBACK)));
    EXPECT_FALSE(zo::IP("127.0.0.1") == zo::IP("127.0.0.2"));
}

TEST(SockAddr, FreshRecordIsFamilyTwoAndZeros) {
    zo::SOCKADDR sa;
    const unsigned char* b = Bytes(sa);
    EXPECT_EQ(16, zo::SOCKADDR::Size());
    EXPECT_EQ(2, b[0] | (b[1] << 8));
    for (int i = 2; i < 16; ++i) EXPECT_EQ(0, b[i]) << "byte " << i;
}

TEST(SockAddr, PortOrders) {
    zo::SOCKADDR sa;
    const unsigned char* b = Bytes(sa);
    sa.SetPortW(6646);
    EXPECT_EQ(0x19, b[2]);
    EXPECT_EQ(0xF6, b[3]);
    EXPECT_EQ(6646, sa.GetPort());
    EXPECT_EQ(63001, sa.GetPort0());
    zo::SOCKADDR other;
    other.SetPort0(63001);
    EXPECT_EQ(0, memcmp(Bytes(sa), Bytes(other), 16));
}

TEST(SockAddr, AddressAndCopy) {
    zo::SOCKADDR sa;
    sa.SetIp(zo::IP("198.51.100.101"));
    sa.SetPortW(6643);
    EXPECT_EQ(198, Bytes(sa)[4]);
    EXPECT_EQ(101, Bytes(sa)[7]);
    zo::SOCKADDR copy;
    copy.SetFamily(0);
    copy = sa;
    EXPECT_EQ(AF_INET, copy.Family());
    EXPECT_TRUE(copy.GetIp() == zo::IP("198.51.100.101"));
    EXPECT_EQ(6643, copy.GetPort());
}

TEST(HostLookup, EmptyNameGivesTheToolHostFirst) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Winsock ws;
    zo::Host host;
    EXPECT_TRUE(host.IsNull());
    ASSERT_TRUE(host.Lookup(L""));
    EXPECT_FALSE(host.IsNull());
    ASSERT_GE(host.GetIpCount(), 1);
    EXPECT_EQ(AF_INET, host.GetIpType());
    EXPECT_EQ(4, host.GetIpLength());
    EXPECT_STREQ("198.51.100.10", host.GetIp(0).ToString());
    EXPECT_TRUE(host.GetIp(host.GetIpCount()).IsNull());
    ASSERT_NE(nullptr, host.GetOfficial());
    // The counts are those of the platform's lists.
    unsigned short aliases = 0;
    for (char** a = host.Handle()->h_aliases; *a; ++a) ++aliases;
    EXPECT_EQ(aliases, host.GetAliasesCount());
}

} // namespace
