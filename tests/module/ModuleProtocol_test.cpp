// The module protocol as plain code, without a network: tables of datagrams
// and the records they make, every truncation of a real report, the merge by
// mac, the access-point pairing, the numbers read from edited texts and the
// exact bytes of a save. Texts in the ANSI code page assume 936, as the runs do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/module/ModuleProtocol.h"
#include "support/Texts.h"

namespace {

using zotest::Text;

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

std::wstring Dotted(const zo::IP& ip) { return Widen(ip.ToString()); }

// All ten fields, so one comparison shows every difference.
std::wstring Describe(const ModleParam& r) {
    return Text(r.mac) + L"|" + Text(r.serv_host) + L"|" + std::to_wstring(r.serv_port) + L"|" +
           std::to_wstring(r.serial_rate) + L"|" + Text(r.ap_ssid) + L"|" + Text(r.ap_pass) + L"|" +
           Dotted(r.ether_ip) + L"|" + Dotted(r.ether_gate) + L"|" + Dotted(r.wifi_ip) + L"|" + Dotted(r.wifi_gate);
}

// Makes r the record Describe() shows (texts without '|').
void Fill(ModleParam& r, const std::wstring& described) {
    std::vector<std::wstring> f;
    for (size_t at = 0, bar = 0; bar != std::wstring::npos; at = bar + 1) {
        bar = described.find(L'|', at);
        f.push_back(described.substr(at, bar - at));
    }
    auto ip = [&](int i) { return zo::IP(std::string(f[i].begin(), f[i].end()).c_str()); };
    r.mac = f[0].c_str();
    r.serv_host = f[1].c_str();
    r.serv_port = static_cast<unsigned short>(wcstol(f[2].c_str(), nullptr, 10));
    r.serial_rate = static_cast<int>(wcstol(f[3].c_str(), nullptr, 10));
    r.ap_ssid = f[4].c_str();
    r.ap_pass = f[5].c_str();
    r.ether_ip = ip(6);
    r.ether_gate = ip(7);
    r.wifi_ip = ip(8);
    r.wifi_gate = ip(9);
}

std::wstring Decode(const std::string& bytes) {
    zo::String out;
    proto::DecodeDatagram(bytes.data(), static_cast<int>(bytes.size()), out);
    return Text(out);
}

// A report as a module sends it: Chinese raw in code page 936.
const std::string kModuleReport =
    "{\"mac\":\"5C:CF:7F:00:00:01\",\"serv_host\":\"198.51.100.10\",\"serv_port\":8899,\"serial_rate\":115200,"
    "\"ap_ssid\":\"\xB0\xEC\xB9\xAB\xCA\xD2\",\"ap_pass\":\"pass0000\",\"ether_ip\":1701065670,"
    "\"ether_gate\":23344070,\"wifi_ip\":33859776,\"wifi_gate\":17082560}";
const wchar_t kModuleRecord[] =
    L"5C:CF:7F:00:00:01|198.51.100.10|8899|115200|办公室|pass0000|198.51.100.101|198.51.100.1|192.168.4.2|192.168.4.1";

TEST(ModuleProtocol, RequestsAreTheBytesModulesKnow) {
    EXPECT_EQ(std::string("get_net_modle_param"), proto::kReadRequest);
    EXPECT_EQ(std::string("get_ap_list"), proto::kApListRequest);
    EXPECT_EQ(std::string("set_net_modle_param"), proto::kWriteRequest);
    EXPECT_EQ(std::string("+CWLAP:"), proto::kApListPrefix);
    EXPECT_EQ(6646, proto::kModulePort);
    EXPECT_EQ(6643, proto::kToolPort);
}

TEST(ModuleProtocol, AnApListIsThePrefixAndAtLeastOneMoreByte) {
    struct Row {
        const char* data;
        int length;
        bool list;
    } rows[] = {
        {"+CWLAP:", 7, false},        {"+CWLAP:a", 8, true},  {"+CWLAP:a", 7, false},
        {"+CWLAP:\n", 8, true},       {"+cwlap:a", 8, false}, {"+CWLAX:a", 8, false},
        {"{\"mac\":\"x\"}", 11, false}, {"", 0, false},        {nullptr, 8, false},
        {"+CWLAP:a", -1, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.list, proto::IsApList(r.data, r.length)) << (r.data ? r.data : "(null)") << " / " << r.length;
}

TEST(ModuleProtocol, DecodesDatagramsInTheAnsiCodePage) {
    ASSERT_EQ(936u, GetACP());
    struct Row {
        std::string bytes;
        std::wstring text;
    } rows[] = {
        {"", L""},
        {"get_ap_list", L"get_ap_list"},
        {"\xB0\xEC\xB9\xAB\xCA\xD2", L"办公室"},
        {"x\xB0\xECy", L"x办y"},
        // A NUL ends the text, wherever it is.
        {std::string("ab\0cd", 5), L"ab"},
        {std::string("\0ab", 3), L""},
        // A lead byte without a fitting next byte: one U+FFFD, and the next
        // byte is read on its own.
        {"\xB0" "1", L"\xFFFD" L"1"},
        {"\x81\x7F", L"\xFFFD\x7F"},
        {"ab\xB0", L"ab\xFFFD"},
        {"\xB0\"}", L"\xFFFD\"}"},
        // UTF-8 "办公室" in a JSON string: its last byte is a lead byte that
        // must not swallow the closing quote.
        {"{\"ap_ssid\":\"\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\"}", L"{\"ap_ssid\":\"鍔炲叕瀹\xFFFD\"}"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.text, Decode(r.bytes)) << "bytes: " << r.bytes;

    zo::String out = L"stale";
    proto::DecodeDatagram(nullptr, 4, out);
    EXPECT_TRUE(out == L"");
    out = L"stale";
    proto::DecodeDatagram("abc", 0, out);
    EXPECT_TRUE(out == L"");
    // The length is the end: a lead byte there has no next byte, even when
    // one follows in memory.
    proto::DecodeDatagram("ab\xB0\xEC", 3, out);
    EXPECT_EQ(std::wstring(L"ab\xFFFD"), out.Handle());
}

TEST(ModuleProtocol, ReportsReadIntoRecordsWithDefaultsForWhatIsMissing) {
    const wchar_t* defaults = L"||0|9600|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0";
    struct Row {
        std::string bytes;
        bool parses;
        std::wstring record;
    } rows[] = {
        {kModuleReport, true, kModuleRecord},
        {"{}", true, defaults},
        {"[1,2]", true, defaults},
        {"42", true, defaults},
        {"\"text\"", true, defaults},
        {"", true, defaults},
        // Other kinds count as missing.
        {"{\"mac\":5,\"serial_rate\":\"115200\",\"ether_ip\":\"198.51.100.101\",\"serv_host\":null}", true, defaults},
        // Doubles are truncated toward zero; the port keeps its low 16 bits.
        {"{\"serial_rate\":9600.9,\"serv_port\":8899.99}", true, L"||8899|9600|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        {"{\"serial_rate\":-4800.5,\"serv_port\":70000}", true, L"||4464|-4800|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        {"{\"serv_port\":-1}", true, L"||65535|9600|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        // Addresses: the lowest byte of the number is the first octet.
        {"{\"ether_ip\":167880896,\"ether_gate\":3355551936,\"wifi_ip\":4294967295,\"wifi_gate\":1.67880896e8}", true,
         L"||0|9600|||192.168.1.10|192.168.1.200|255.255.255.255|192.168.1.10"},
        {"{\"mac\":\"a\\/b\",\"ap_pass\":\"\\\"q\\\"\",\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\"}", true,
         L"a/b||0|9600|办公室|\"q\"|0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        // A UTF-8 name leaves the report readable: its lead byte at the end
        // does not swallow the closing quote.
        {"{\"ap_ssid\":\"\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\",\"mac\":\"m\"}", true,
         L"m||0|9600|鍔炲叕瀹\xFFFD||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        {"{\"mac\":", false, L""},
        {"{\"mac\":\"x\",}", false, L""},
        {"nonsense", false, L""},
    };
    for (const Row& r : rows) {
        zo::String text;
        proto::DecodeDatagram(r.bytes.data(), static_cast<int>(r.bytes.size()), text);
        zo::Json report = 7;
        bool parsed = proto::ParseReport(text, report);
        ASSERT_EQ(r.parses, parsed) << r.bytes;
        if (!parsed) {
            EXPECT_TRUE(report.IsNull()) << "a failed parse leaves a partial tree: " << r.bytes;
            continue;
        }
        // Every field is overwritten, whatever the record held before.
        ModleParam record;
        record.mac = L"old";
        record.ap_pass = L"old";
        record.serial_rate = 1;
        record.wifi_gate = zo::IP("10.9.8.7");
        proto::ReadReport(report, record);
        EXPECT_EQ(r.record, Describe(record)) << r.bytes;
    }
}

TEST(ModuleProtocol, EveryTruncationOfARealReportFailsOrGivesARecord) {
    for (size_t n = 0; n <= kModuleReport.size(); ++n) {
        zo::String text;
        proto::DecodeDatagram(kModuleReport.data(), static_cast<int>(n), text);
        zo::Json report;
        bool parsed = proto::ParseReport(text, report);
        // Only nothing at all and the whole report are JSON.
        EXPECT_EQ(n == 0 || n == kModuleReport.size(), parsed) << "first " << n << " bytes";
        if (!parsed) {
            EXPECT_TRUE(report.IsNull()) << n;
            continue;
        }
        ModleParam record;
        proto::ReadReport(report, record);
        EXPECT_EQ(n ? std::wstring(kModuleRecord) : L"||0|9600|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0", Describe(record));
    }
}

TEST(ModuleProtocol, ReportsMergeByMacCaseSensitively) {
    struct Row {
        const char* name;
        std::vector<const wchar_t*> reports;
        std::wstring existed;   // per report: n new, e existed
        std::wstring records;   // mac=serv_host; ...
    } rows[] = {
        {"same mac twice: one record, later values",
         {L"{\"mac\":\"A\",\"serv_host\":\"h1\"}", L"{\"mac\":\"A\",\"serv_host\":\"h2\"}"},
         L"ne",
         L"A=h2;"},
        {"no mac: the one empty-text record",
         {L"{\"serv_host\":\"h1\"}", L"{\"mac\":\"A\"}", L"{\"mac\":\"\",\"serv_host\":\"h3\"}", L"[]"},
         L"nnee",
         L"=;A=;"},
        {"case matters", {L"{\"mac\":\"5c:cf\"}", L"{\"mac\":\"5C:CF\"}"}, L"nn", L"5c:cf=;5C:CF=;"},
        {"order of first arrival is kept",
         {L"{\"mac\":\"B\"}", L"{\"mac\":\"A\"}", L"{\"mac\":\"B\",\"serv_host\":\"x\"}"},
         L"nne",
         L"B=x;A=;"},
    };
    for (const Row& r : rows) {
        zo::ObjectList<ModleParam> modules;
        std::wstring existed;
        for (const wchar_t* text : r.reports) {
            zo::Json report;
            ASSERT_TRUE(report.Parse(text, static_cast<unsigned>(wcslen(text))));
            bool was = true;
            ModleParam* record = proto::MergeReport(modules, report, was);
            ASSERT_NE(nullptr, record);
            existed += was ? L'e' : L'n';
        }
        std::wstring records;
        for (unsigned i = 0; i < modules.Count(); ++i)
            records += Text(modules.Element(i)->mac) + L"=" + Text(modules.Element(i)->serv_host) + L";";
        EXPECT_EQ(r.existed, existed) << r.name;
        EXPECT_EQ(r.records, records) << r.name;
    }
}

TEST(ModuleProtocol, FindModuleTakesNullForTheEmptyMac) {
    zo::ObjectList<ModleParam> modules;
    ModleParam* a = modules.Add();
    a->mac = L"A";
    EXPECT_EQ(nullptr, proto::FindModule(modules, nullptr));
    ModleParam* none = modules.Add();
    EXPECT_EQ(none, proto::FindModule(modules, nullptr));
    EXPECT_EQ(none, proto::FindModule(modules, L""));
    EXPECT_EQ(a, proto::FindModule(modules, L"A"));
    EXPECT_EQ(nullptr, proto::FindModule(modules, L"a"));
}

TEST(ModuleProtocol, AccessPointNamesAreTheFirstOfEachPair) {
    struct Row {
        const wchar_t* text;
        std::vector<std::wstring> names;
    } rows[] = {
        {L"a\n1\nb\n2\n", {L"a", L"b"}},
        {L"a\n1\nb\n2", {L"a", L"b"}},
        {L"a\n1\nb", {L"a"}},
        {L"a\n1", {L"a"}},
        {L"a", {}},
        {L"", {}},
        {nullptr, {}},
        {L"\n\n", {L""}},
        {L"办公室\n-41,02:11:22:00:00:00,1\nGuest\n-52,02:11:22:00:00:01,6\n", {L"办公室", L"Guest"}},
    };
    for (const Row& r : rows) {
        zo::StringList names;
        names.Add(L"kept");
        unsigned added = proto::AccessPointNames(r.text, names);
        std::vector<std::wstring> got;
        for (unsigned i = 1; i < names.Count(); ++i) got.push_back(Text(names[i]));
        EXPECT_EQ(r.names, got) << (r.text ? r.text : L"(null)");
        EXPECT_EQ(r.names.size(), added);
        EXPECT_TRUE(names[0] == L"kept");
    }
}

TEST(ModuleProtocol, NumbersFromEditedTexts) {
    struct Baud {
        const wchar_t* text;
        int value;
    } bauds[] = {{L"", 9600},        {nullptr, 9600},     {L"0", 9600},          {L"-5", 9600},
                 {L"abc", 9600},     {L"4800", 4800},     {L"115200", 115200},   {L"70000", 70000},
                 {L"3000000000", 9600}};
    for (const Baud& b : bauds) EXPECT_EQ(b.value, proto::BaudFromText(b.text)) << (b.text ? b.text : L"(null)");
    struct Port {
        const wchar_t* text;
        unsigned short value;
    } ports[] = {{L"", 0},          {nullptr, 0},      {L"0", 0},      {L"8899", 8899}, {L"65535", 65535},
                 {L"65536", 0},     {L"70000", 4464},  {L"abc", 0},    {L"-5", 65531}};
    for (const Port& p : ports) EXPECT_EQ(p.value, proto::PortFromText(p.text)) << (p.text ? p.text : L"(null)");
}

// Latin letters the code page lacks must not reach the module as "?".
TEST(ModuleProtocol, EveryTextOfASaveReachesTheModuleUnchanged) {
    const wchar_t* const names[] = {L"Caf\u00e9", L"\u00ff\u00c5ngstr\u00f6m", L"\u0100\u0101", L"\u00b0C",
                                    L"办公室-\u00e0"};
    for (const wchar_t* name : names) {
        proto::SettingsTexts t = {L"9600", L"h", L"1", name, name, L"m"};
        zo::String settings;
        proto::BuildSettings(t, settings);
        zo::Memory<char> bytes;
        int n = proto::BuildWriteRequest(settings, bytes);
        ASSERT_GT(n, 19);
        zo::String text;
        proto::DecodeDatagram(bytes.data + 19, n - 19, text);
        zo::Json got;
        ASSERT_TRUE(proto::ParseReport(text, got)) << text.Handle();
        EXPECT_EQ(got.PropertyStr(L"ap_ssid", L"?"), std::wstring(name)) << text.Handle();
        EXPECT_EQ(got.PropertyStr(L"ap_pass", L"?"), std::wstring(name));
    }
}

TEST(ModuleProtocol, ASaveSendsTheExactSettingsBytes) {
    struct Row {
        proto::SettingsTexts texts;
        std::string request;
    } rows[] = {
        {{L"115200", L"198.51.100.10", L"8899", L"办公室", L"a/b\"c\\", L"5C:CF:7F:00:00:01"},
         "set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"198.51.100.10\",\"serv_port\":8899,"
         "\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\",\"ap_pass\":\"a\\/b\\\"c\\\\\",\"mac\":\"5C:CF:7F:00:00:01\"}"},
        {{L"", L"", L"", L"", L"", L""},
         "set_net_modle_param{\"serial_rate\":9600,\"serv_host\":\"\",\"serv_port\":0,\"ap_ssid\":\"\","
         "\"ap_pass\":\"\",\"mac\":\"\"}"},
        {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
         "set_net_modle_param{\"serial_rate\":9600,\"serv_host\":\"\",\"serv_port\":0,\"ap_ssid\":\"\","
         "\"ap_pass\":\"\",\"mac\":\"\"}"},
        {{L"abc", L"http://h/", L"70000", L"x\ty", L"", L"m"},
         "set_net_modle_param{\"serial_rate\":9600,\"serv_host\":\"http:\\/\\/h\\/\",\"serv_port\":4464,"
         "\"ap_ssid\":\"x\\ty\",\"ap_pass\":\"\",\"mac\":\"m\"}"},
    };
    for (const Row& r : rows) {
        zo::String settings;
        proto::BuildSettings(r.texts, settings);
        zo::Memory<char> bytes;
        int n = proto::BuildWriteRequest(settings, bytes);
        ASSERT_GT(n, 0);
        EXPECT_EQ(r.request, std::string(bytes.data, static_cast<size_t>(n)));
        EXPECT_EQ(0, bytes.data[n]);
    }
}

TEST(ModuleProtocol, WrittenReportsAreCompactWithAddressNumbersAndReadBackToTheSameRecord) {
    struct Row {
        const wchar_t* record;   // as Describe() shows it
        const wchar_t* text;     // null: only read back
    } rows[] = {
        {L"5C:CF:7F:00:00:01|198.51.100.10|8899|115200|办公室|p/q|192.168.1.10|192.168.1.200|0.0.0.0|255.255.255.255",
         L"{\"mac\":\"5C:CF:7F:00:00:01\",\"serv_host\":\"198.51.100.10\",\"serv_port\":8899,"
         L"\"serial_rate\":115200,\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\",\"ap_pass\":\"p\\/q\","
         L"\"ether_ip\":167880896,\"ether_gate\":3355551936,\"wifi_ip\":0,\"wifi_gate\":4294967295}"},
        {kModuleRecord, nullptr},
        {L"||0|0|||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0", nullptr},
        {L"m\"\\/|host/with\\odd\"chars|65535|-1|\x00e9\x0100\x0101|tab\there|255.255.255.255|128.0.0.1|1.2.3.255|"
         L"254.254.254.254",
         nullptr},
    };
    for (const Row& r : rows) {
        ModleParam written;
        Fill(written, r.record);
        ASSERT_EQ(r.record, Describe(written));
        zo::String text;
        proto::WriteReport(written, text);
        if (r.text) {
            EXPECT_EQ(std::wstring(r.text), text.Handle());
        }
        zo::Json report;
        ASSERT_TRUE(proto::ParseReport(text, report)) << text.Handle();
        ModleParam read;
        proto::ReadReport(report, read);
        EXPECT_EQ(r.record, Describe(read));
    }
}

TEST(ModuleProtocol, SettingsChangeOnlyTheMembersTheyHold) {
    const std::wstring before =
        L"M|198.51.100.10|8899|115200|old|oldpass|198.51.100.101|198.51.100.1|192.168.4.2|192.168.4.1";
    struct Row {
        const wchar_t* settings;
        std::wstring after;
    } rows[] = {
        {L"{\"serial_rate\":9600,\"serv_host\":\"h\",\"serv_port\":1,\"ap_ssid\":\"\\u529e\",\"ap_pass\":\"p\","
         L"\"mac\":\"OTHER\",\"ether_ip\":1}",
         L"M|h|1|9600|办|p|198.51.100.101|198.51.100.1|192.168.4.2|192.168.4.1"},
        {L"{}", before},
        {L"{\"serial_rate\":\"4800\",\"serv_host\":5,\"ap_ssid\":null}", before},
        {L"{\"serv_port\":70000}", L"M|198.51.100.10|4464|115200|old|oldpass|198.51.100.101|198.51.100.1|192.168.4.2|"
                                   L"192.168.4.1"},
    };
    for (const Row& r : rows) {
        ModleParam record;
        Fill(record, before);
        zo::Json settings;
        ASSERT_TRUE(settings.Parse(r.settings, static_cast<unsigned>(wcslen(r.settings))));
        proto::ApplySettings(settings, record);
        EXPECT_EQ(r.after, Describe(record)) << r.settings;
    }
}

TEST(ModuleProtocol, AddressLinesAreExact) {
    ModleParam r;
    Fill(r, L"M|h|1|2|s|p|198.51.100.101|198.51.100.1|192.168.4.2|0.0.0.0");
    zo::String out = L"stale";
    proto::AddressLines(r, out);
    EXPECT_EQ(std::wstring(L"网卡IP:   198.51.100.101\r\n"
                           L"网关IP:   198.51.100.1\r\n"
                           L"WIFIIP:   192.168.4.2\r\n"
                           L"WIFI网关: 0.0.0.0\r\n"),
              out.Handle());
}

TEST(ModuleProtocol, SweepHostsReplaceTheLastOctet) {
    struct Row {
        zo::IP local;
        unsigned k;
        const char* host;
    } rows[] = {
        {zo::IP("10.1.2.3"), 1, "10.1.2.1"},
        {zo::IP("10.1.2.3"), 254, "10.1.2.254"},
        {zo::IP("198.51.100.10"), 101, "198.51.100.101"},
        {zo::IP(zo::IP::None), 7, "255.255.255.7"},
    };
    for (const Row& r : rows) EXPECT_EQ(std::string(r.host), proto::SweepHost(r.local, r.k).ToString()) << r.k;
}

} // namespace
