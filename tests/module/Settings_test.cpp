// The plain rules of the command-line program: which values a save may
// carry, what a save sends, and which hosts a sweep asks.
#include <gtest/gtest.h>

#include "app/module/ModuleProtocol.h"
#include "app/module/Settings.h"
#include "app/module/SweepTargets.h"

using namespace proto;

TEST(CliSettings, ValuesTheModuleCannotCarryAreRefused) {
    struct Case {
        const wchar_t* edit;
        bool ok;
    } cases[] = {
        {L"baud=115200", true},   {L"baud=1", true},          {L"baud=2147483647", true}, {L"baud=2147483648", false},
        {L"baud=0", false},       {L"baud=-5", false},        {L"baud=", false},          {L"baud=9600 ", false},
        {L"baud=0x10", false},    {L"port=0", true},          {L"port=65535", true},      {L"port=65536", false},
        {L"port=70000", false},   {L"port=+1", false},        {L"port=99999999999", false}, {L"host=", true},
        {L"ssid=办公室", true},   {L"pass=a=b", true},        {L"mac=1", false},          {L"serial_rate=9600", false},
        {L"baud", false},
    };
    for (const Case& c : cases) {
        Edits e;
        std::wstring error;
        EXPECT_EQ(c.ok, ParseEdit(c.edit, e, error)) << std::string(c.edit, c.edit + wcslen(c.edit));
        EXPECT_EQ(c.ok, error.empty());
    }
    Edits e;
    std::wstring error;
    ASSERT_TRUE(ParseEdit(L"pass=a=b", e, error));
    EXPECT_EQ(L"a=b", e.value[kPass]) << "only the first = separates key and value";
}

TEST(CliSettings, ASaveSendsAllSixMembersKeepingTheValuesNotGiven) {
    ModleParam current;
    current.mac = L"5C:CF:7F:00:00:01";
    current.serv_host = L"198.51.100.10";
    current.serv_port = 8899;
    current.serial_rate = 115200;
    current.ap_ssid = L"Guest";
    current.ap_pass = L"old";
    Edits e;
    std::wstring error;
    ASSERT_TRUE(ParseEdit(L"ssid=办公室", e, error));
    ASSERT_TRUE(ParseEdit(L"port=7000", e, error));
    std::string bytes;
    ASSERT_TRUE(SaveRequest(current, Merge(current, e), bytes, error));
    EXPECT_EQ("set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"198.51.100.10\",\"serv_port\":7000,"
              "\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\",\"ap_pass\":\"old\",\"mac\":\"5C:CF:7F:00:00:01\"}",
              bytes);
    EXPECT_TRUE(Differences(Merge(current, e), Merge(current, e)).empty());
    auto d = Differences(Merge(current, e), current);
    ASSERT_EQ(2u, d.size());
    EXPECT_EQ(L"port \"7000\" (module reports \"8899\")", d[0]);

    // Settings that do not fit one datagram are refused before anything is sent.
    ModleParam big = current;
    big.ap_pass = std::wstring(65500, L'x').c_str();
    EXPECT_FALSE(SaveRequest(current, big, bytes, error));
    EXPECT_NE(std::wstring::npos, error.find(L"one datagram holds at most 65507")) << std::string(error.begin(), error.end());
    big.ap_pass = std::wstring(65300, L'x').c_str();
    EXPECT_TRUE(SaveRequest(current, big, bytes, error));
}

TEST(CliSettings, ASaveRefusalNamesTheKeyAPersonGave) {
    const struct {
        bool utf8;
        const wchar_t* host;   // the module's
        const wchar_t* ssid;   // the one wanted
        const wchar_t* says;
    } cases[] = {
        {false, L"h", L"WiFi\xD83D\xDCF6", L"ssid holds a character the module cannot hold (it speaks the ANSI code page)"},
        {true, L"h", L"a\xDC00", L"ssid holds a character the module cannot hold (it speaks UTF-8)"},
        {false, L"h\xFFFD", L"s", L"the module's host could not be read exactly, and a save would change it; give host=... to set it"},
    };
    for (const auto& c : cases) {
        ModleParam current;
        current.mac = L"5C:CF:7F:00:00:01";
        current.serv_host = c.host;
        current.ap_ssid = L"s";
        current.utf8 = c.utf8;
        ModleParam intended = current;
        intended.ap_ssid = c.ssid;
        std::string bytes = "untouched";
        std::wstring error;
        EXPECT_FALSE(SaveRequest(current, intended, bytes, error));
        EXPECT_EQ(std::wstring(c.says), error);
        EXPECT_EQ("untouched", bytes);
    }
}

TEST(CliSweepTargets, SubnetsFromSlash30ToSlash22AdaptersAndOwnAddresses) {
    Adapter a;
    a.address = zo::IP("198.51.100.10");
    a.prefixLength = 24;
    Adapter b;
    b.address = zo::IP("203.0.113.10");
    b.prefixLength = 24;
    std::vector<Adapter> local = {a, b};
    struct Case {
        const wchar_t* adapter;
        const wchar_t* subnet;
        bool ok;
        std::vector<size_t> sizes;
        const char* first;
    } cases[] = {
        {L"", L"", true, {253, 253}, "198.51.100.1"},
        {L"203.0.113.10", L"", true, {253}, "203.0.113.1"},
        {L"203.0.113.1", L"", false, {}, ""},
        {L"", L"198.51.100.4/30", true, {2}, "198.51.100.5"},
        {L"", L"198.51.100.0/22", true, {1021}, "198.51.100.1"},   // without the host's own .10
        {L"", L"198.51.100.77/23", true, {509}, "198.51.100.1"},
        {L"", L"198.51.96.0/21", false, {}, ""},
        {L"", L"198.51.100.0/31", false, {}, ""},
        {L"", L"198.51.100.0/", false, {}, ""},
        {L"", L"198.51.100/24", false, {}, ""},
        {L"", L"198.51.100.256/24", false, {}, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<uint32_t>> out;
        std::wstring error;
        std::string name(c.subnet, c.subnet + wcslen(c.subnet));
        ASSERT_EQ(c.ok, SweepTargets(local, c.adapter, c.subnet, out, error)) << name;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << name;
            continue;
        }
        ASSERT_EQ(c.sizes.size(), out.size()) << name;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(c.sizes[i], out[i].size()) << name;
            for (uint32_t h : out[i]) EXPECT_FALSE(h == a.address.ToLong() || h == b.address.ToLong()) << name;
        }
        EXPECT_EQ(zo::IP(c.first).ToLong(), out[0][0]) << name;
    }
}
