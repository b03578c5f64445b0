// Where a request for one module may go: a table of addresses and what each
// is, and the text the window shows for a refused one.
#include <gtest/gtest.h>

#include <string>

#include "app/module/Destination.h"

using proto::Destination;

TEST(Destination, OnlyAUnicastAddressOfOneHostMayReceiveARequestForOneModule) {
    const struct {
        const char* address;
        Destination is;
    } cases[] = {
        {"198.51.100.101", Destination::unicast},
        {"198.51.100.1", Destination::unicast},
        {"198.51.100.254", Destination::unicast},
        {"203.0.113.2", Destination::unicast},
        {"169.254.3.4", Destination::unicast},       // a module without DHCP
        {"223.255.254.1", Destination::unicast},
        {"0.0.0.0", Destination::unspecified},
        {"0.1.2.3", Destination::unspecified},
        {"127.0.0.1", Destination::loopback},
        {"127.255.255.254", Destination::loopback},
        {"224.0.0.1", Destination::multicast},
        {"239.255.255.250", Destination::multicast},
        {"255.255.255.255", Destination::broadcast},
        {"240.0.0.1", Destination::reserved},
        {"255.255.255.254", Destination::reserved},
        {"198.51.100.255", Destination::subnetBroadcast},   // the local /24's
        {"203.0.113.255", Destination::subnetBroadcast},
        {"198.51.100.0", Destination::networkAddress},
        {"203.0.113.0", Destination::networkAddress},
    };
    for (const auto& c : cases) {
        zo::IP ip(c.address);
        // 255.255.255.255 is also what an unreadable text gives: read the bytes.
        if (std::string(c.address) == "255.255.255.255") ip = zo::IP(0xFFFFFFFFul);
        EXPECT_EQ(static_cast<int>(c.is), static_cast<int>(proto::ClassifyModuleAddress(ip))) << c.address;
    }
}

TEST(Destination, ARefusalNamesTheAddressAndWhatItIsAndAUnicastAddressHasNone) {
    zo::String text;
    proto::RefusalText(zo::IP(0xFFFFFFFFul), text);
    EXPECT_EQ(std::wstring(L"模块的地址 255.255.255.255 是广播地址，不是一个模块的地址。\r\n请求没有发送。"),
              text.Handle());
    proto::RefusalText(zo::IP("198.51.100.255"), text);
    EXPECT_NE(std::wstring(text.Handle()).find(L"198.51.100.255 是网段的广播地址"), std::wstring::npos);
    proto::RefusalText(zo::IP("0.0.0.0"), text);
    EXPECT_NE(std::wstring(text.Handle()).find(L"0.0.0.0 是未指定的地址"), std::wstring::npos);
    proto::RefusalText(zo::IP("198.51.100.101"), text);
    EXPECT_EQ(0u, text.Length());
}
