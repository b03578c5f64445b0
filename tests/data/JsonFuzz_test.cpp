// Fuzzing the reader with generated and mutated datagrams: whatever it gets,
// it must not crash, what it builds must write (compact and pretty) as text
// that reads back to the same tree, and the heap must not grow. The suite
// runs a few thousand inputs from fixed seeds; ZO_JSON_FUZZ_COUNT=N runs N.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "data/JsonTestText.h"

using jsontest::HeapInUse;
using jsontest::ParseA;
using jsontest::ParseW;
using jsontest::SameTree;
using jsontest::Write;
using zo::Json;

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng(seed) {
        const std::string dir = jsontest::CorpusDir();
        for (const std::string& name : jsontest::ListJsonFiles(dir)) {
            std::string bytes;
            if (jsontest::ReadFile(dir + "/" + name, &bytes)) seeds.push_back(bytes);
        }
        seeds.push_back(jsontest::ToAnsi(
            L"{\"mac\":\"AC:23:3F:01:02:03\",\"ip\":\"198.51.100.20\",\"gw\":\"198.51.100.1\","
            L"\"ssid\":\"\u529e\u516c\u5ba4\u7f51\u7edc\",\"pwd\":\"12345678\",\"baud\":115200,"
            L"\"host\":\"server.local\",\"port\":6643,\"dhcp\":true,\"k\":'AAECAwQ=',\"v\":1.25e-3}"));
        seeds.push_back("[1 2 {'a\":[] \"b\":{\"c\":[\"\\u20ac\\q\\\\\"]}} -0 1d3 9999999999999999999999]");
    }

    size_t SeedCount() const { return seeds.size(); }

    std::string Next(unsigned i) {
        static const Make kKinds[] = {&Generator::RandomBytes, &Generator::Truncated, &Generator::DeepNesting,
                                      &Generator::Numbers, &Generator::LongString, &Generator::InvalidGbk,
                                      &Generator::BinaryValues, &Generator::Mutated};
        return (this->*kKinds[i % 8])();
    }

private:
    using Make = std::string (Generator::*)();
    std::mt19937 rng;
    std::vector<std::string> seeds;

    unsigned Below(unsigned n) { return n ? rng() % n : 0; }
    const std::string& Seed() { return seeds[Below(static_cast<unsigned>(seeds.size()))]; }

    char JsonishByte() {
        static const char kBytes[] = "{}[]\"':,\\ \t\r\n0123456789+-.eEdDtrufalsn/'AZaz=\xa1\xb0\x81\xff";
        return Below(4) ? kBytes[Below(sizeof kBytes - 1)] : static_cast<char>(Below(256));
    }

    std::string RandomBytes() {
        std::string s(Below(300), '\0');
        for (char& c : s) c = JsonishByte();
        return s;
    }

    std::string Truncated() {
        const std::string& s = Seed();
        return s.substr(0, Below(static_cast<unsigned>(s.size()) + 1));
    }

    std::string DeepNesting() {
        unsigned depth = 400 + Below(250);
        std::string open, close;
        for (unsigned d = 0; d < depth; ++d) {
            bool array = Below(2) != 0;
            open += array ? "[" : "{\"k\":";
            close = (array ? "]" : "}") + close;
        }
        std::string s = open + (Below(2) ? "1" : "\"x\"") + close;
        return Below(3) ? s : s.substr(0, Below(static_cast<unsigned>(s.size())));
    }

    std::string Digits(unsigned n) {
        std::string s(n, '0');
        for (char& c : s) c = static_cast<char>('0' + Below(10));
        return s;
    }

    std::string Numbers() {
        std::string s = "[";
        unsigned n = 1 + Below(20);
        for (unsigned k = 0; k < n; ++k) {
            if (k) s += Below(4) ? "," : " ";
            if (Below(2)) s += "-";
            s += Digits(1 + (Below(8) ? Below(25) : Below(900)));
            if (Below(2)) s += "." + Digits(Below(30));
            if (Below(2)) s += std::string(1, "eEdD"[Below(4)]) + (Below(2) ? "-" : "+") + Digits(1 + Below(5));
        }
        return Below(8) ? s + "]" : s.substr(1);   // some are top-level numbers
    }

    std::string LongString() {
        static const char* kPieces[] = {"a", "\\\"", "\\\\", "\\u4e2d", "\\ud83d\\ude00", "\\q", "\\u12",
                                        "\\/", "\\n", "\xd6\xd0", "\x01", "'", "\\u0000"};
        std::string s = "[\"";
        unsigned n = Below(4000);
        for (unsigned k = 0; k < n; ++k) s += kPieces[Below(sizeof kPieces / sizeof kPieces[0])];
        return s + (Below(6) ? "\"]" : "");
    }

    std::string InvalidGbk() {
        std::string s = Seed();
        unsigned n = 1 + Below(8);
        for (unsigned k = 0; k < n && !s.empty(); ++k)
            s[Below(static_cast<unsigned>(s.size()))] = static_cast<char>(0x80 + Below(128));
        return s;
    }

    std::string BinaryValues() {
        static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string s = "{";
        unsigned n = 1 + Below(6);
        for (unsigned k = 0; k < n; ++k) {
            s += "\"b" + std::to_string(k) + "\":'";
            unsigned len = Below(2000);
            for (unsigned c = 0; c < len; ++c) {
                unsigned r = Below(100);
                s += r < 94 ? kAlphabet[Below(64)] : r < 96 ? '=' : r < 98 ? '\n' : JsonishByte();
            }
            s += "',";
        }
        return s + (Below(5) ? "}" : "");
    }

    std::string Mutated() {
        std::string s = Seed();
        unsigned n = 1 + Below(8);
        for (unsigned k = 0; k < n; ++k) {
            unsigned at = Below(static_cast<unsigned>(s.size()) + 1);
            switch (Below(5)) {
            case 0: if (at < s.size()) s[at] = JsonishByte(); break;
            case 1: s.insert(at, 1, JsonishByte()); break;
            case 2: if (at < s.size()) s.erase(at, 1 + Below(4)); break;
            case 3: s.insert(at, s.substr(at / 2, Below(20))); break;
            default: {
                const std::string& other = Seed();
                s = s.substr(0, at) + other.substr(Below(static_cast<unsigned>(other.size()) + 1));
                break;
            }
            }
        }
        return s;
    }
};

// Parses one input; the tree (complete or partial) must survive both forms.
void RoundTrip(const std::string& input, unsigned* parsed) {
    Json first;
    if (ParseA(first, input)) ++*parsed;
    const std::wstring compact = Write(first, false);
    const std::wstring pretty = Write(first, true);
    Json fromCompact, fromPretty;
    ASSERT_TRUE(ParseW(fromCompact, compact)) << input;
    ASSERT_TRUE(ParseW(fromPretty, pretty)) << input;
    ASSERT_TRUE(SameTree(first, fromCompact)) << input;
    ASSERT_TRUE(SameTree(first, fromPretty)) << input;
    ASSERT_EQ(compact, Write(fromCompact, false)) << input;
    ASSERT_EQ(pretty, Write(fromPretty, true)) << input;
}

unsigned FuzzCount() {
    const char* env = getenv("ZO_JSON_FUZZ_COUNT");
    return env && atoi(env) > 0 ? static_cast<unsigned>(atoi(env)) : 4000;
}

TEST(JsonFuzz, GeneratedInputsRoundTripWithoutGrowingTheHeap) {
    Generator gen(0x5eed);
    ASSERT_GT(gen.SeedCount(), 300u) << "the conformance corpus seeds are missing";
    const unsigned count = FuzzCount();
    unsigned parsed = 0;
    size_t baseline = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (i == count / 4) baseline = HeapInUse();
        std::string input = gen.Next(i);
        RoundTrip(input, &parsed);
        if (HasFatalFailure()) return;
    }
    size_t end = HeapInUse();
    ASSERT_GT(baseline, 0u) << "the heap walk found nothing";
    EXPECT_LT(end, baseline + 64 * 1024) << "heap grew from " << baseline << " to " << end;
    // Both outcomes must occur often, or the generators test only one path.
    EXPECT_GT(parsed, count / 5);
    EXPECT_LT(parsed, count - count / 5);
    printf("fuzz: %u inputs, %u parsed, heap in use %u -> %u bytes\n", count, parsed,
           static_cast<unsigned>(baseline), static_cast<unsigned>(end));
}

TEST(JsonFuzz, EveryTruncationOfEveryCorpusFileRoundTrips) {
    const std::string dir = jsontest::CorpusDir();
    ASSERT_FALSE(dir.empty()) << "the conformance corpus was not found";
    unsigned parsed = 0, total = 0;
    for (const std::string& name : jsontest::ListJsonFiles(dir)) {
        std::string bytes;
        ASSERT_TRUE(jsontest::ReadFile(dir + "/" + name, &bytes));
        for (size_t cut = 0; cut <= bytes.size() && cut <= 400; ++cut, ++total) {
            RoundTrip(bytes.substr(0, cut), &parsed);
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(total, 2000u);
}

} // namespace
