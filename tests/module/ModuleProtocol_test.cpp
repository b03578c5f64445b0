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

TEST(ModuleProtocol, DecodesDatagramsAsUtf8OrInTheAnsiCodePage) {
    ASSERT_EQ(936u, GetACP());
    struct Row {
        std::string bytes;
        std::wstring text;
        bool utf8;
    } rows[] = {
        {"", L"", false},
        {"get_ap_list", L"get_ap_list", false},
        {"\xB0\xEC\xB9\xAB\xCA\xD2", L"办公室", false},
        {"x\xB0\xECy", L"x办y", false},
        // An access point name in either encoding reads as itself.
        {"{\"ap_ssid\":\"\xB3\xB5\xBC\xE4WiFi-3\"}", L"{\"ap_ssid\":\"车间WiFi-3\"}", false},
        {"{\"ap_ssid\":\"\xE8\xBD\xA6\xE9\x97\xB4WiFi-3\"}", L"{\"ap_ssid\":\"车间WiFi-3\"}", true},
        {"{\"ap_ssid\":\"\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\"}", L"{\"ap_ssid\":\"办公室\"}", true},
        {"caf\xC3\xA9 \xF0\x9F\x93\xB6", L"caf\x00E9 \xD83D\xDCF6", true},
        // UTF-8 cut short is not UTF-8: the code page reads it.
        {"\xE8\xBD\xA6\xE9\x97", L"杞﹂\xFFFD", false},
        // A NUL ends the text, wherever it is.
        {std::string("ab\0cd", 5), L"ab", false},
        {std::string("\0ab", 3), L"", false},
        {std::string("\xE8\xBD\xA6\0\xB0", 5), L"车", true},
        // A lead byte without a fitting next byte: one U+FFFD, and the next
        // byte is read on its own.
        {"\xB0" "1", L"\xFFFD" L"1", false},
        {"\x81\x7F", L"\xFFFD\x7F", false},
        {"ab\xB0", L"ab\xFFFD", false},
        {"\xB0\"}", L"\xFFFD\"}", false},
    };
    for (const Row& r : rows) {
        zo::String out;
        bool utf8 = !r.utf8;
        proto::DecodeDatagram(r.bytes.data(), static_cast<int>(r.bytes.size()), out, &utf8);
        EXPECT_EQ(r.text, Text(out)) << "bytes: " << r.bytes;
        EXPECT_EQ(r.utf8, utf8) << "bytes: " << r.bytes;
    }

    // Bytes that are not UTF-8 (a stray trail byte, overlong forms, a
    // surrogate, past U+10FFFF, a lead byte no UTF-8 has) are the code page's.
    const char* const notUtf8[] = {"\xB3\xB5\xBC\xE4", "\xC1\xA1", "\xED\xA0\x80", "\xE0\x80\xAF\xA1",
                                   "\xF4\x90\x80\x80", "a\xA1\xA1", "\xD6\xD0"};
    for (const char* bytes : notUtf8) {
        wchar_t want[16] = {};
        int n = static_cast<int>(strlen(bytes));
        ASSERT_GT(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes, n, want, 16), 0) << bytes;
        zo::String got;
        bool utf8 = true;
        proto::DecodeDatagram(bytes, n, got, &utf8);
        EXPECT_EQ(std::wstring(want), Text(got)) << bytes;
        EXPECT_FALSE(utf8) << bytes;
    }

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
        // A UTF-8 name reads as itself.
        {"{\"ap_ssid\":\"\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4\",\"mac\":\"m\"}", true,
         L"m||0|9600|办公室||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
        // A name in another encoding whose last byte is a lead byte leaves
        // the report readable: that byte does not swallow the closing quote.
        {"{\"ap_ssid\":\"x\xB0\",\"mac\":\"m\"}", true, L"m||0|9600|x\xFFFD||0.0.0.0|0.0.0.0|0.0.0.0|0.0.0.0"},
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

// A module's record with texts in it, as a report read it.
ModleParam Module(bool utf8, const wchar_t* host, const wchar_t* ssid, const wchar_t* pass,
                  const wchar_t* mac = L"5C:CF:7F:00:00:01") {
    ModleParam r;
    Fill(r, kModuleRecord);
    r.serv_host = host;
    r.ap_ssid = ssid;
    r.ap_pass = pass;
    r.mac = mac;
    r.utf8 = utf8;
    return r;
}

// The save of record's own texts with only the port changed; its bytes, or
// empty with problem set.
std::string SavePort(const ModleParam& r, const wchar_t* port, proto::SaveProblem& problem,
                     const wchar_t* ssid = nullptr) {
    std::wstring baud = std::to_wstring(r.serial_rate);
    proto::SettingsTexts t = {baud.c_str(), r.serv_host.Handle(), port, ssid ? ssid : r.ap_ssid.Handle(),
                              r.ap_pass.Handle(), L"ignored"};
    zo::Memory<char> bytes;
    int n = proto::BuildSave(r, t, bytes, problem);
    return n > 0 ? std::string(bytes.data, static_cast<size_t>(n)) : std::string();
}

// What a module makes of a save: its firmware reads the bytes in its own
// encoding and takes the members into its record.
void ModuleTakes(const std::string& request, bool utf8, ModleParam& record) {
    const size_t head = strlen(proto::kWriteRequest);
    ASSERT_EQ(0u, request.compare(0, head, proto::kWriteRequest));
    std::wstring text(request.size(), L'\0');
    int n = MultiByteToWideChar(utf8 ? CP_UTF8 : 936, 0, request.data() + head, static_cast<int>(request.size() - head),
                                &text[0], static_cast<int>(text.size()));
    ASSERT_GT(n, 0);
    zo::Json settings;
    ASSERT_TRUE(settings.Parse(text.c_str(), static_cast<unsigned>(n))) << request;
    proto::ApplySettings(settings, record);
}

TEST(ModuleProtocol, ASaveOfThePortAloneSendsTheModulesOwnTextsBack) {
    // A module speaking the code page gets the very bytes the window always
    // sent: characters past U+0100 as escapes, those below in the code page.
    proto::SaveProblem problem;
    const struct {
        const wchar_t* host;
        const wchar_t* ssid;
        const char* request;
    } exact[] = {
        {L"198.51.100.10", L"办公室",
         "set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"198.51.100.10\",\"serv_port\":9100,"
         "\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\",\"ap_pass\":\"pass0000\",\"mac\":\"5C:CF:7F:00:00:01\"}"},
        {L"Caf\u00e9.test", L"\u00b0C",
         "set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"Caf\xA8\xA6.test\",\"serv_port\":9100,"
         "\"ap_ssid\":\"\xA1\xE3" "C\",\"ap_pass\":\"pass0000\",\"mac\":\"5C:CF:7F:00:00:01\"}"},
    };
    for (const auto& e : exact) {
        EXPECT_EQ(e.request, SavePort(Module(false, e.host, e.ssid, L"pass0000"), L"9100", problem));
        EXPECT_EQ(proto::SaveProblem::kNone, problem.kind);
    }

    const struct {
        bool utf8;
        const wchar_t* host;
        const wchar_t* ssid;
        const wchar_t* pass;
    } rows[] = {
        {false, L"198.51.100.10", L"车间WiFi-3", L"pass0000"},
        {false, L"Caf\u00e9.test", L"\u00b0C-\u00e0", L"a\"b\\c/d"},
        {true, L"198.51.100.10", L"车间WiFi-3", L"pass0000"},
        {true, L"Caf\u00e9.test", L"WiFi\xD83D\xDCF6", L"p\u00e4ss w\u00f6rd"},
        {true, L"\u670d\u52a1\u5668.test", L"\u0100\u00ff\u0080", L"\x7F\x01\t"},
        {true, L"", L"", L""},
    };
    for (const auto& row : rows) {
        ModleParam before = Module(row.utf8, row.host, row.ssid, row.pass);
        std::string request = SavePort(before, L"9300", problem);
        SCOPED_TRACE(request);
        ASSERT_EQ(proto::SaveProblem::kNone, problem.kind);
        ModleParam module = before;
        ModuleTakes(request, row.utf8, module);
        EXPECT_EQ(9300, module.serv_port);
        module.serv_port = before.serv_port;
        EXPECT_EQ(Describe(before), Describe(module)) << "a text the save did not edit changed";
    }
    // An edited text reaches a module speaking UTF-8 as it was typed.
    ModleParam utf8 = Module(true, L"h", L"车间WiFi-3", L"p");
    std::string request = SavePort(utf8, L"1", problem, L"新\u00e9\xD83D\xDCF6");
    ModuleTakes(request, true, utf8);
    EXPECT_EQ(std::wstring(L"新\u00e9\xD83D\xDCF6"), Text(utf8.ap_ssid));

    // A module speaking the code page whose bytes are valid UTF-8 as well
    // ("木" is C4 BE, read as "ľ") keeps the name it was not asked to change,
    // and takes a new one as typed.
    const struct {
        const wchar_t* typed;   // null: the name left as it was read
        const wchar_t* held;
    } misread[] = {{nullptr, L"木"}, {L"新的", L"新的"}, {L"\u00b0C", L"\u00b0C"}};
    for (const auto& m : misread) {
        ModleParam firmware = Module(false, L"h", L"木", L"p");
        ModuleTakes(SavePort(Module(true, L"h", L"\u013e", L"p"), L"1", problem, m.typed), false, firmware);
        EXPECT_EQ(std::wstring(m.held), Text(firmware.ap_ssid));
    }
}

TEST(ModuleProtocol, ASaveIsRefusedForATextTheModuleCannotHoldOrThatWasNotReadExactly) {
    const wchar_t* cut = L"x";   // stands for a host cut to its bound, made below
    std::wstring longHost(proto::kMaxHost - 1, L'h');
    longHost += L'\xFFFD';
    const struct {
        const char* name;
        bool utf8;
        const wchar_t* host;   // the module's own texts
        const wchar_t* ssid;
        const wchar_t* mac;
        const wchar_t* editedSsid;   // null: not edited
        proto::SaveProblem::Kind kind;
        const wchar_t* member;
    } rows[] = {
        {"an emoji for a code-page module", false, L"h", L"s", L"m", L"WiFi\xD83D\xDCF6", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"a lone surrogate for a code-page module", false, L"h", L"s", L"m", L"a\xD800", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"Thai for a code-page module", false, L"h", L"s", L"m", L"\x0E01", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"a lone first half for a UTF-8 module", true, L"h", L"s", L"m", L"a\xD83D", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"a lone second half for a UTF-8 module", true, L"h", L"s", L"m", L"\xDCF6z", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"swapped halves for a UTF-8 module", true, L"h", L"s", L"m", L"\xDCF6\xD83D", proto::SaveProblem::kCannotCarry, L"ap_ssid"},
        {"an emoji for a UTF-8 module", true, L"h", L"s", L"m", L"WiFi\xD83D\xDCF6", proto::SaveProblem::kNone, nullptr},
        {"an unedited name not read exactly", false, L"h", L"\xFFFD" L"1", L"m", nullptr, proto::SaveProblem::kNotExact, L"ap_ssid"},
        {"an unedited host cut to its bound", true, cut, L"s", L"m", nullptr, proto::SaveProblem::kNotExact, L"serv_host"},
        {"an unedited mac not read exactly", false, L"h", L"s", L"5C:CF\xFFFD", nullptr, proto::SaveProblem::kNotExact, L"mac"},
        {"an inexact name that is edited", false, L"h", L"\xFFFD", L"m", L"new", proto::SaveProblem::kNone, nullptr},
    };
    for (const auto& row : rows) {
        ModleParam r = Module(row.utf8, row.host == cut ? longHost.c_str() : row.host, row.ssid, L"p", row.mac);
        proto::SaveProblem problem;
        std::string request = SavePort(r, L"1", problem, row.editedSsid);
        EXPECT_EQ(row.kind, problem.kind) << row.name;
        EXPECT_EQ(std::wstring(row.member ? row.member : L""), std::wstring(problem.member ? problem.member : L""))
            << row.name;
        EXPECT_EQ(row.kind == proto::SaveProblem::kNone, !request.empty()) << row.name;
    }
}

TEST(ModuleProtocol, ReportTextsAreKeptWholeUpToTheirBoundAndCutPastIt) {
    const struct {
        const wchar_t* member;
        unsigned bound;
        unsigned bit;
        zo::String ModleParam::*text;
    } members[] = {
        {L"serv_host", proto::kMaxHost, proto::kCutHost, &ModleParam::serv_host},
        {L"ap_ssid", proto::kMaxSsid, proto::kCutSsid, &ModleParam::ap_ssid},
        {L"ap_pass", proto::kMaxPass, proto::kCutPass, &ModleParam::ap_pass},
        {L"mac", proto::kMaxMac, proto::kCutMac, &ModleParam::mac},
    };
    for (const auto& m : members) {
        for (unsigned length : {m.bound - 1, m.bound, m.bound + 1, m.bound + 1000}) {
            std::wstring text;
            for (unsigned i = 0; i < length; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
            zo::Json report;
            report.SetPropertyStr(m.member, text.c_str());
            ModleParam r;
            unsigned cut = proto::ReadReport(report, r);
            std::wstring got = Text(r.*m.text);
            SCOPED_TRACE(testing::Message() << std::string(m.member, m.member + wcslen(m.member)) << " of " << length);
            if (length <= m.bound) {
                EXPECT_EQ(0u, cut);
                EXPECT_EQ(text, got);
            } else {
                EXPECT_EQ(m.bit, cut);
                EXPECT_EQ(text.substr(0, m.bound - 1) + L"\xFFFD", got);
            }
        }
    }
    // A cut never splits a surrogate pair: the first half goes too.
    std::wstring ssid(proto::kMaxSsid - 2, L's');
    ssid += L"\xD83D\xDCF6z";
    zo::Json report;
    report.SetPropertyStr(L"ap_ssid", ssid.c_str());
    ModleParam r;
    EXPECT_EQ(unsigned(proto::kCutSsid), proto::ReadReport(report, r));
    EXPECT_EQ(std::wstring(proto::kMaxSsid - 2, L's') + L"\xFFFD", Text(r.ap_ssid));
    zo::String names;
    proto::CutMembersText(proto::kCutHost | proto::kCutMac, names);
    EXPECT_EQ(std::wstring(L"serv_host, mac"), Text(names));
}

} // namespace
