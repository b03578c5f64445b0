// The texts people type for a module: a table of addresses the parser takes
// and refuses, and of mac spellings, each with the written form it gives.
#include <gtest/gtest.h>

#include <string>

#include "app/module/Address.h"

namespace {

std::string Narrow(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

TEST(Address, OnlyAStrictDecimalDottedQuadIsAnAddress) {
    const struct {
        const wchar_t* text;
        const char* address;   // null: refused
    } cases[] = {
        {L"198.51.100.101", "198.51.100.101"},
        {L"0.0.0.0", "0.0.0.0"},
        {L"255.255.255.255", "255.255.255.255"},
        {L"1.2.3.4", "1.2.3.4"},
        {L"203.0.113.0", "203.0.113.0"},
        {L"198.051.100.101", nullptr},   // octal to some readers, decimal to others
        {L"01.2.3.4", nullptr},
        {L"1.2.3.00", nullptr},
        {L"256.1.1.1", nullptr},
        {L"1.2.3.256", nullptr},
        {L"1.2.3.1000", nullptr},
        {L" 1.2.3.4", nullptr},
        {L"1.2.3.4 ", nullptr},
        {L"1.2.3", nullptr},
        {L"1.2.3.4.5", nullptr},
        {L"1.2.3.", nullptr},
        {L".1.2.3", nullptr},
        {L"", nullptr},
        {L"1..2.3", nullptr},
        {L"0x1.2.3.4", nullptr},
        {L"1.2.3.0x4", nullptr},
        {L"-1.2.3.4", nullptr},
        {L"+1.2.3.4", nullptr},
        {L"1,2,3,4", nullptr},
        {L"16909060", nullptr},
        {L"\xFF11.2.3.4", nullptr},   // a full-width digit
        {L"1.2.3.\x0664", nullptr},   // an Arabic-Indic digit
        {L"example.test", nullptr},
    };
    for (const auto& c : cases) {
        zo::IP out("203.0.113.77");
        bool ok = proto::ParseAddress(c.text, out);
        EXPECT_EQ(c.address != nullptr, ok) << "\"" << Narrow(c.text) << "\"";
        std::string want = c.address && ok ? c.address : "203.0.113.77";   // a refused text changes nothing
        EXPECT_EQ(want, out.ToString()) << "\"" << Narrow(c.text) << "\"";
    }
    zo::IP out;
    EXPECT_FALSE(proto::ParseAddress(static_cast<const wchar_t*>(nullptr), out));
    // The refusal names the text as it was typed.
    EXPECT_NE(std::wstring::npos, proto::AddressRefusal(L"198.051.100.101").find(L"\"198.051.100.101\""));
}

TEST(Address, AMacInAnyCaseWithColonsOrDashesIsWrittenUpperCaseWithColons) {
    const struct {
        const wchar_t* text;
        const wchar_t* mac;   // null: refused
    } cases[] = {
        {L"5C:CF:7F:00:00:02", L"5C:CF:7F:00:00:02"},
        {L"5c:cf:7f:00:00:02", L"5C:CF:7F:00:00:02"},
        {L"5C-CF-7F-00-00-02", L"5C:CF:7F:00:00:02"},
        {L"5c-Cf-7F-0a-bB-02", L"5C:CF:7F:0A:BB:02"},
        {L" 5c:cf:7f:00:00:01 ", L"5C:CF:7F:00:00:01"},
        {L"\t5c:cf:7f:00:00:01\t", L"5C:CF:7F:00:00:01"},
        {L"5C:CF-7F:00:00:02", nullptr},   // mixed separators
        {L"5C-CF-7F-00-00:02", nullptr},
        {L"5C:CF:7F:00:00", nullptr},
        {L"5C:CF:7F:00:00:02:03", nullptr},
        {L"5C:CF:7F:00:00:2", nullptr},
        {L"5C:CF:7F:00:00:002", nullptr},
        {L"5CCF7F000002", nullptr},
        {L"5C.CF.7F.00.00.02", nullptr},
        {L"5C:CF:7F:00:00:0G", nullptr},
        {L"5C: CF:7F:00:00:02", nullptr},
        {L"", nullptr},
        {L"   ", nullptr},
    };
    for (const auto& c : cases) {
        std::wstring out = L"kept";
        bool ok = proto::ParseMac(c.text, out);
        EXPECT_EQ(c.mac != nullptr, ok) << "\"" << Narrow(c.text) << "\"";
        EXPECT_EQ(c.mac ? std::wstring(c.mac) : std::wstring(L"kept"), out) << "\"" << Narrow(c.text) << "\"";
    }
}

TEST(Address, AReportedMacIsTheOneAPersonWroteInAnySpelling) {
    const struct {
        const wchar_t* reported;
        const wchar_t* wanted;
        bool same;
    } cases[] = {
        {L"5C:CF:7F:00:00:02", L"5c:cf:7f:00:00:02", true},
        {L"5C:CF:7F:00:00:02", L"5C-CF-7F-00-00-02", true},
        {L"5c-cf-7f-00-00-02", L" 5C:CF:7F:00:00:02 ", true},
        {L"5C:CF:7F:00:00:02", L"5C:CF:7F:00:00:03", false},
        {L"5C:CF:7F:00:00:02", L"5C:CF:7F:00:00", false},
        // A mac that is no mac is compared as it is.
        {L"M1-5", L"M1-5", true},
        {L"M1-5", L"m1-5", false},
        {L"", L"", true},
        {nullptr, L"", true},
        {nullptr, L"5C:CF:7F:00:00:02", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.same, proto::SameMac(c.reported, c.wanted))
            << (c.reported ? Narrow(c.reported) : "(null)") << " / " << Narrow(c.wanted);
}
