// The JSON text dialect: what the reader accepts and builds, what the writer
// produces in each form, and how hostile datagrams fail.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/JsonTestText.h"

using jsontest::ParseA;
using jsontest::ParseW;
using jsontest::Str;
using jsontest::Write;
using zo::Json;

namespace {

// The object a = 1, b = "x/y", c = [true, null], d = {}.
void BuildExample(Json& j) {
    j.SetPropertyInt32(L"a", 1);
    j.SetPropertyStr(L"b", L"x/y");
    Json* c = j.SetPropertyArray(L"c");
    *c->AddArrayElm(-1) = true;
    c->AddArrayElm(-1);
    j.SetPropertyNull(L"d")->ParseMbs("{}", 2);
}

TEST(JsonWriterExample, CompactAndPrettyFormsAreExact) {
    Json j;
    BuildExample(j);
    EXPECT_EQ(L"{\"a\":1,\"b\":\"x\\/y\",\"c\":[true,null],\"d\":{}}", Write(j, false));
    EXPECT_EQ(L"{\r\n"
              L"\t\"a\" : 1,\r\n"
              L"\t\"b\" : \"x/y\",\r\n"
              L"\t\"c\" : [\r\n"
              L"\t\ttrue,\r\n"
              L"\t\tnull\r\n"
              L"\t],\r\n"
              L"\t\"d\" : {\r\n"
              L"\t}\r\n"
              L"}",
              Write(j, true));
}

TEST(JsonWriterExample, IndentationComesBackUnchangedAndEmptyTopArrayIsTwoLines) {
    Json j;
    ASSERT_TRUE(ParseA(j, "[]"));
    zo::String out, indent;
    j.ToString(out, indent, true);
    EXPECT_TRUE(out == L"[\r\n]");
    EXPECT_EQ(0u, indent.Length());
    j.ToString(out, indent, false);
    EXPECT_TRUE(out == L"[]");
}

TEST(JsonWriterExample, BothFormsReadBackToTheSameTree) {
    Json j, compact, pretty;
    BuildExample(j);
    ASSERT_TRUE(ParseW(compact, Write(j, false)));
    ASSERT_TRUE(ParseW(pretty, Write(j, true)));
    EXPECT_TRUE(jsontest::SameTree(j, compact));
    EXPECT_TRUE(jsontest::SameTree(j, pretty));
}

TEST(JsonWriterEscapes, CompactEscapesAboveU0100AndSlashPrettyKeepsThem) {
    Json j(L"\u00e9/\u20ac");
    EXPECT_EQ(L"\"\u00e9\\/\\u20ac\"", Write(j, false));
    EXPECT_EQ(L"\"\u00e9/\u20ac\"", Write(j, true));
    Json edge(L"\u0100\u0101\uFFFF");
    EXPECT_EQ(L"\"\u0100\\u0101\\uffff\"", Write(edge, false));
}

TEST(JsonWriterEscapes, ControlCharactersAndQuotes) {
    Json j(L"\b\f\n\r\t\"\\\x01\x1f");
    const wchar_t* expect = L"\"\\b\\f\\n\\r\\t\\\"\\\\\x01\x1f\"";
    EXPECT_EQ(expect, Write(j, false));
    EXPECT_EQ(expect, Write(j, true));
    Json named;
    named.SetPropertyInt32(L"\u4e2d\"/", 1);
    EXPECT_EQ(L"{\"\\u4e2d\\\"\\/\":1}", Write(named, false));
}

TEST(JsonWriterNumbers, IntegersAndDoublesInTheirFixedForms) {
    Json j;
    ASSERT_TRUE(ParseA(j, "[-9223372036854775808, 0, 1.5, 1e20, 1e-5, 0.0, 1e999, -0.0]"));
    EXPECT_EQ(L"[-9223372036854775808,0,1.500000000000000,1.000000000000000e+020,"
              L"1.000000000000000e-005,0.000000000000000,1.000000000000000e+999,-0.000000000000000]",
              Write(j, false));
    Json nan(std::nan(""));
    EXPECT_EQ(L"null", Write(nan, false));
}

TEST(JsonWriterBinary, Base64BetweenSingleQuotes) {
    const unsigned char bytes[] = {0, 1, 2};
    Json j;
    ASSERT_TRUE(j.SetBinary(bytes, 3));
    EXPECT_EQ(L"'AAEC'", Write(j, false));
    ASSERT_TRUE(j.SetBinary(nullptr, 0));
    EXPECT_EQ(L"''", Write(j, true));
}

// ---- reader ----

// U+3000 arrives as GBK A1 A1; the text ends at a zero byte.
TEST(JsonReaderWhitespace, EmptyOrBlankTextIsNull) {
    Json j(5);
    EXPECT_TRUE(j.ParseMbs(nullptr, 10));
    EXPECT_TRUE(j.IsNull());
    const std::string texts[] = {"", jsontest::ToAnsi(L" \t\r\n\u3000 "), std::string("\0{\"a\":1}", 8)};
    for (const std::string& text : texts) {
        j = 5;
        EXPECT_TRUE(ParseA(j, text)) << text.size();
        EXPECT_TRUE(j.IsNull()) << text.size();
    }
}

TEST(JsonReaderWhitespace, ExactlyTheTwentyTwoUnitsSeparate) {
    std::vector<wchar_t> spaces = {0x20, 0x0A, 0x0D, 0x09, 0x0C, 0x0B, 0xA0, 0x2028, 0x2029, 0x3000};
    for (wchar_t c = 0x2000; c <= 0x200B; ++c) spaces.push_back(c);
    ASSERT_EQ(22u, spaces.size());
    for (wchar_t c : spaces) {
        Json j;
        std::wstring text = std::wstring(L"[") + c + L"1" + c + L"2" + c + L"]";
        ASSERT_TRUE(ParseW(j, text)) << std::hex << int(c);
        EXPECT_EQ(2u, j.Count()) << std::hex << int(c);
    }
    for (wchar_t c : {0x85, 0x1680, 0x200C, 0x205F, 0xFEFF, 0x1C}) {
        Json j;
        EXPECT_FALSE(ParseW(j, std::wstring(L"[1") + c + L"]")) << std::hex << int(c);
    }
}

struct Token {
    const char* text;
    Json::Kind kind;
    long long integer;
    double real;
};

TEST(JsonReaderTokens, NestedTokensTryLiteralsThenIntegerThenDouble) {
    const double inf = HUGE_VAL;
    const Json::Kind B = Json::KIND_BOOLEAN, I = Json::KIND_INTEGER, D = Json::KIND_DOUBLE;
    const Token table[] = {
        {"true", B, 1, 0}, {"false", B, 0, 0}, {"null", Json::KIND_NULL, 0, 0}, {"5", I, 5, 0}, {"-0", I, 0, 0},
        {"+7", I, 7, 0}, {"007", I, 7, 0}, {"9223372036854775807", I, 9223372036854775807LL, 0},
        {"9223372036854775808", I, (-9223372036854775807LL - 1), 0}, {"18446744073709551615", I, -1, 0},
        {"-18446744073709551615", I, 1, 0}, {"99999999999999999999", I, -1, 0},
        {"-99999999999999999999", I, -1, 0}, {"-1", I, -1, 0}, {"5.0", D, 0, 5.0}, {"1e3", D, 0, 1000.0},
        {"1d3", D, 0, 1000.0}, {"1D-2", D, 0, 0.01}, {"2.5E+1", D, 0, 25.0}, {".5", D, 0, 0.5}, {"5.", D, 0, 5.0},
        {"-.25", D, 0, -0.25}, {"1e999", D, 0, inf}, {"-1e999", D, 0, -inf}, {"1e-999", D, 0, 0.0},
    };
    for (const Token& t : table) {
        Json j;
        std::string text = std::string("[") + t.text + "]";
        ASSERT_TRUE(ParseA(j, text)) << t.text;
        const Json* e = j.GetArrayElm(0);
        ASSERT_EQ(t.kind, e->GetKind()) << t.text;
        switch (t.kind) {
        case Json::KIND_DOUBLE: EXPECT_EQ(t.real, e->Double(-1)) << t.text; break;
        case Json::KIND_BOOLEAN: EXPECT_EQ(t.integer != 0, e->Boolean(t.integer == 0)) << t.text; break;
        case Json::KIND_INTEGER: EXPECT_EQ(t.integer, e->Int64(-2)) << t.text; break;
        default: break;
        }
    }
}

TEST(JsonReaderTokens, AnythingElseFails) {
    const char* bad[] = {"truex", "True", "nul", "NULL", "inf", "Infinity", "-inf", "nan", "NaN",
                         "0x10", "1e", "1e+", "e5", "-", "+", ".", "-.", "1.2.3", "1e5e5",
                         "1_000", "1..2", "--1", "+-1", "0b1", "1f", "x", "1/2", "1\"\""};
    for (const char* t : bad) {
        Json j;
        EXPECT_FALSE(ParseA(j, std::string("[") + t + "]")) << t;
        EXPECT_FALSE(ParseA(j, t)) << "top level: " << t;
    }
    Json j;
    EXPECT_FALSE(ParseW(j, L"[\uff11]"));   // a full-width digit is not a digit
}

struct Reading {
    const char* text;
    const wchar_t* compact;
};

// What the reader builds, as its compact text: a number at the top level is
// a double, text after the value is ignored, commas are optional, members
// of one name are all kept in order, and a single-quoted name ends at a
// double quote.
TEST(JsonReaderStructure, TopLevelNumbersAreDoublesTrailingTextIgnoredCommasOptionalDuplicatesKept) {
    const Reading table[] = {
        {"5", L"5.000000000000000"}, {"[5]", L"[5]"}, {"-3 and more", L"-3.000000000000000"}, {"true]", L"true"},
        {"{\"a\":1}xyz", L"{\"a\":1}"}, {"\"s\"tail", L"\"s\""}, {"[1 2]", L"[1,2]"},
        {"[\"a\"\"b\"[]{}]", L"[\"a\",\"b\",[],{}]"}, {"{\"a\":1 \"b\":2}", L"{\"a\":1,\"b\":2}"},
        {"{\"a\":1,\"a\":2,\"b\":3}", L"{\"a\":1,\"a\":2,\"b\":3}"}, {"{'a\":1}", L"{\"a\":1}"},
    };
    for (const Reading& r : table) {
        Json j;
        ASSERT_TRUE(ParseA(j, r.text)) << r.text;
        EXPECT_EQ(r.compact, Write(j, false)) << r.text;
    }
}

// An empty place between commas, a name that is not a double-quoted string
// ('a' ends only at a double quote), and text ending where something is
// needed.
TEST(JsonReaderStructure, EmptyCommaPlacesBadNamesAndTextEndingWhereSomethingIsNeededFail) {
    const char* bad[] = {"[1,]", "[,1]", "[1,,2]", "[,]", "{\"a\":1,}", "{,\"a\":1}", "{a:1}", "{\"a\" 1}", "{\"a\":}",
                         "{\"a\"}", "{1:2}", "[1}", "{\"a\":1]", "{'a':1}", "[", "[1", "[1,", "[1 ", "{", "{\"a\"",
                         "{\"a\":", "{\"a\":1", "{\"a\":1,", "\"abc", "'AAEC", "{\"a", "[\"a\\\"]"};
    for (const char* t : bad) {
        Json j;
        EXPECT_FALSE(ParseA(j, t)) << t;
    }
}

TEST(JsonReaderStructure, FailureLeavesThePartTreeBuiltSoFar) {
    Json j;
    EXPECT_FALSE(ParseA(j, "{\"a\":1,\"b\":[2,"));
    ASSERT_TRUE(j.IsObject());
    EXPECT_EQ(2u, j.Count());
    EXPECT_EQ(1u, j.FindProperty(L"b")->Count());
    EXPECT_FALSE(ParseA(j, "{\"a\":1,\"b"));   // the member is added before its name is read
    EXPECT_EQ(2u, j.Count());
}

struct Body {
    const wchar_t* text;
    const wchar_t* value;
};

TEST(JsonReaderStrings, EscapesAndBackslashRuns) {
    const Body table[] = {
        {L"\"a\\\"b\"", L"a\"b"}, {L"\"a\\\\\"", L"a\\"}, {L"\"\\\\\\\"\"", L"\\\""},
        {L"\"\\b\\f\\n\\r\\t\\/\"", L"\b\f\n\r\t/"}, {L"\"\\u20ac\\u20AC\"", L"\u20ac\u20ac"},
        {L"\"\\ud83d\\ude00\"", L"\xd83d\xde00"}, {L"\"a\\u0000b\"", L"a"}, {L"\"\x01\t\u4e2d\"", L"\x01\t\u4e2d"},
        {L"\"'\"", L"'"},
        // Unknown escapes stay as written.
        {L"\"\\q\\x41\"", L"\\q\\x41"}, {L"\"\\u12\"", L"\\u12"}, {L"\"\\u12g4\"", L"\\u12g4"},
        {L"\"\\u+123\"", L"\\u+123"}, {L"\"\\u 123\"", L"\\u 123"}, {L"\"\\\\u0041\"", L"\\u0041"},
    };
    for (const Body& b : table) {
        Json j;
        ASSERT_TRUE(ParseW(j, std::wstring(L"[") + b.text + L"]")) << b.text;
        EXPECT_EQ(std::wstring(b.value), Str(*j.GetArrayElm(0))) << b.text;
    }
}

TEST(JsonReaderStrings, ChineseTextArrivesInCodePage936) {
    ASSERT_EQ(936u, GetACP());
    const std::wstring ssid = L"\u529e\u516c\u5ba4\u7f51\u7edc";   // office network
    Json j;
    ASSERT_TRUE(ParseA(j, jsontest::ToAnsi(L"{\"ssid\":\"" + ssid + L"\"}")));
    EXPECT_EQ(ssid, std::wstring(j.PropertyStr(L"ssid", L"")));
    EXPECT_EQ(L"{\"ssid\":\"\\u529e\\u516c\\u5ba4\\u7f51\\u7edc\"}", Write(j, false));
    Json invalid;   // bytes that are not GBK still give text, never a crash
    EXPECT_TRUE(ParseA(invalid, "[\"\x81\x20\xff\xfe\x80\"]"));
    EXPECT_EQ(1u, invalid.Count());
}

struct Binary {
    const char* text;
    std::vector<unsigned char> bytes;
};

TEST(JsonReaderBinary, Base64PayloadsDecodeOrGiveAnEmptyValue) {
    const Binary table[] = {
        {"'AAEC'", {0, 1, 2}}, {"'AA=='", {0}}, {"'AAE='", {0, 1}}, {"'AAE'", {}}, {"''", {}},
        {"'AAECAAEC'", {0, 1, 2, 0, 1, 2}}, {"'AAEC\r\nAAEC\n'", {0, 1, 2, 0, 1, 2}}, {"'AAEC\rAAEC'", {}},
        {"'AA EC'", {}}, {"'AA=A'", {}}, {"'A==='", {}}, {"'AAECAA==AAEC'", {}}, {"'AAECA'", {0, 1, 2}},
        {"'\"x\"'", {}},
    };
    for (const Binary& b : table) {
        Json j;
        ASSERT_TRUE(ParseA(j, std::string("[") + b.text + "]")) << b.text;
        const void* data = nullptr;
        int size = -1;
        ASSERT_TRUE(j.GetArrayElm(0)->GetBinary(data, &size)) << b.text;
        ASSERT_EQ(b.bytes.size(), static_cast<size_t>(size)) << b.text;
        if (size) {
            EXPECT_EQ(0, memcmp(b.bytes.data(), data, b.bytes.size())) << b.text;
        }
    }
    Json j;
    ASSERT_TRUE(ParseW(j, L"['AA\u00e9C']"));
    int size = -1;
    const void* data;
    EXPECT_TRUE(j.GetArrayElm(0)->GetBinary(data, &size));
    EXPECT_EQ(0, size);
}

// ---- hostile input ----

std::string Repeat(const std::string& piece, size_t bytes) {
    std::string s;
    while (s.size() + piece.size() <= bytes) s += piece;
    return s;
}

std::string Nested(unsigned depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JsonReaderDepth, NestingUpToTheLimitParsesDeeperFails) {
    Json j;
    ASSERT_TRUE(ParseA(j, Nested(Json::kMaxDepth)));
    const Json* p = &j;
    unsigned depth = 0;
    while (p->IsArray() && p->Count()) {
        p = p->GetArrayElm(0);
        ++depth;
    }
    EXPECT_EQ(Json::kMaxDepth - 1, depth);
    EXPECT_FALSE(ParseA(j, Nested(Json::kMaxDepth + 1)));
    std::string objects;
    for (unsigned i = 0; i < Json::kMaxDepth; ++i) objects += "{\"a\":";
    objects += "1" + std::string(Json::kMaxDepth, '}');
    EXPECT_TRUE(ParseA(j, objects));
    EXPECT_FALSE(ParseA(j, "{\"a\":" + objects + "}"));
}

// The largest datagram, parsed on a thread with a quarter of the default
// stack, so a recursion that ignored the limit could not pass unnoticed.
DWORD WINAPI ParseHostileDatagrams(void* result) {
    const size_t kDatagram = 65507;
    bool ok = true;
    Json j;
    ok &= !ParseA(j, std::string(kDatagram, '['));
    ok &= !ParseA(j, Repeat("{\"a\":", kDatagram));
    ok &= !ParseA(j, Repeat("[{\"a\":", kDatagram));
    ok &= !ParseA(j, Repeat("['',", kDatagram));
    ok &= ParseA(j, Nested(Json::kMaxDepth));
    *static_cast<bool*>(result) = ok;
    return 0;
}

TEST(JsonReaderDepth, LargestDatagramOfOpenersFailsCleanlyOnASmallStack) {
    bool ok = false;
    HANDLE t = CreateThread(nullptr, 512 * 1024, ParseHostileDatagrams, &ok, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(nullptr, t);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 60000));
    DWORD code = 1;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(ok);
}

TEST(JsonReaderTruncation, EveryCutOfADocumentFailsAndTheWholeParses) {
    const std::string doc = jsontest::ToAnsi(
        L"{\"mac\":\"AC:23:3F:01:02:03\",\"ssid\":\"\u529e\u516c\u5ba4\",\"port\":6643,"
        L"\"r\":[1,-2,3.5e-3,true,false,null,\"a\\\"\\u4e2d\",'AAEC',{},[]],\"o\":{\"x\":{\"y\":[]}}}");
    Json j;
    for (size_t cut = 1; cut < doc.size(); ++cut) EXPECT_FALSE(ParseA(j, doc.substr(0, cut))) << cut;
    ASSERT_TRUE(ParseA(j, doc));
    EXPECT_EQ(6643, j.PropertyInt32(L"port", 0));
    EXPECT_EQ(10u, j.FindProperty(L"r")->Count());
}

} // namespace
