// The slowest datagrams we can construct: each input of at most 65 507 bytes
// (the largest UDP payload) is parsed repeatedly, taking turns with the flat
// array [1,1,...] of the same size, and judged by its ratio to that array,
// which is what the reader's simplest input costs on this machine in this
// run; every run must parse or fail as the case expects, or the goal fails.
// The last line shows what growing the long flat array one slot at a
// time would cost, the reason the reader grows by doubling.
#include <algorithm>
#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "core/Win.h"
#include "data/Json.h"

namespace {

const size_t kDatagram = 65507;

// head, then as many of the pieces in turn as fit, then tail, within one datagram.
std::string Cycle(const std::string& head, const std::string* pieces, size_t n, const std::string& tail) {
    std::string s = head;
    for (size_t i = 0; s.size() + pieces[i % n].size() + tail.size() <= kDatagram; ++i) s += pieces[i % n];
    return s + tail;
}

std::string Fill(const std::string& head, const std::string& piece, const std::string& tail) {
    return Cycle(head, &piece, 1, tail);
}

std::string HalfwayNumbers() {
    // Midpoints of neighbouring doubles, written out in full (and one digit
    // beyond), so only the exact comparison can round them.
    static const std::string kNumbers[] = {
        "9007199254740993.00000000000000000001,",
        "1.00000000000000011102230246251565404236316680908203125,",
        "0.100000000000000012490009027033011079765856266021728515625,",
        "2.4703282292062327208828439643411068618252990130716238221279284125033775363510437593264991818081799"
        "6189898282347722858865463328355177969898199387398005390939063150356595155702263922908583924491051844"
        "359318028499365361525003193704576782492193656236698636584807570015857692699037063119282795585513329"
        "2789461215279917669585217713539932697154706283195245066484497418628726562262993424893955624935484486"
        "75778660e-324,"};
    return Cycle("[", kNumbers, 4, "1]");
}

struct Case {
    const char* name;
    std::string text;
    bool parses;   // the reader accepts it; a case that goes the other way fails the goal
};

// Milliseconds of one parse of text.
double ParseMs(const std::string& text, bool* ok) {
    zo::Json j;
    double start = BenchNow();
    *ok = j.ParseMbs(text.data(), static_cast<int>(text.size()));
    return (BenchNow() - start) * 1000;
}

const double kGoal = 2.0;   // no datagram may cost more than twice the flat array

}   // namespace

int main() {
    std::string gbkPairs;
    for (size_t i = 0; gbkPairs.size() + 2 <= kDatagram - 4; ++i) gbkPairs += i % 3 ? "\xd6\xd0" : "\x81\x22";
    const std::string flatArray = Fill("[", "1,", "1]");
    const Case cases[] = {
        {"flat array [1,1,...]", flatArray, true},
        {"flat array [1 1 ...]", Fill("[", "1 ", "1]"), true},
        {"array of empty arrays", Fill("[", "[],", "[]]"), true},
        {"array of empty objects", Fill("[", "{},", "{}]"), true},
        {"object, one name repeated", Fill("{", "\"a\":1,", "\"a\":1}"), true},
        {"object, empty names", Fill("{", "\"\":0 ", "\"\":0}"), true},
        {"string of \\u escapes", Fill("[\"", "\\u4e2d", "\"]"), true},
        {"string of \\\\ escapes", Fill("[\"", "\\\\", "\"]"), true},
        {"string of unknown escapes", Fill("[\"", "\\q", "\"]"), true},
        {"unterminated backslash run", Fill("[\"", "\\\\", ""), false},
        {"subnormal doubles", Fill("[", "1e-310,", "1]"), true},
        {"huge exponents", Fill("[", "1e-99999,9e99999,", "1]"), true},
        {"halfway doubles", HalfwayNumbers(), true},
        {"one 65 500-digit number", Fill("[", "7", "]"), true},
        {"one 65 500-digit top-level number", Fill("", "3", ""), true},
        {"binary value", Fill("['", "AAEC", "']"), true},
        {"invalid binary value", Fill("['", "AAE ", "']"), true},
        {"deepest nesting, repeated", Fill("[", std::string(510, '[') + std::string(510, ']') + ",", "1]"), true},
        {"65 507 x [", std::string(kDatagram, '['), false},
        {"{\"a\": repeated", Fill("", "{\"a\":", ""), false},
        {"GBK lead bytes", "[\"" + gbkPairs + "\"]", true},
        {"whitespace U+3000", Fill("[", "\xa1\xa1", "1]"), true},
    };
    printf("json worst-case datagrams against the flat array [1,1,...] of the same size, code page %u\n",
           GetACP());
    // Each case and the flat array take turns and each keeps its fastest
    // run, so both meet the same load on a shared machine.
    const int kRuns = 30;
    double worst = 0, flatBest = 1e9;
    const char* worstName = "";
    int wrong = 0;
    for (const Case& c : cases) {
        double fastest = 1e9, flat = 1e9;
        // Every run must end as the case expects, and every flat array parse:
        // a parse that stops early is no fast case.
        bool asExpected = true;
        for (int run = 0; run < kRuns; ++run) {
            bool ok = false, flatOk = false;
            flat = std::min(flat, ParseMs(flatArray, &flatOk));
            fastest = std::min(fastest, ParseMs(c.text, &ok));
            asExpected &= ok == c.parses && flatOk;
        }
        flatBest = std::min(flatBest, flat);
        double ratio = fastest / flat;
        if (ratio > worst) worst = ratio, worstName = c.name;
        if (!asExpected) ++wrong;
        printf("%-36s %6u bytes %-6s %7.3f ms, flat array %7.3f ms: %5.2fx%s%s\n", c.name,
               static_cast<unsigned>(c.text.size()), c.parses ? "parses" : "fails", fastest, flat, ratio,
               ratio > kGoal ? "  OVER THE GOAL" : "", asExpected ? "" : "  BUT DID NOT (A FAILURE)");
    }
    printf("worst: %.2fx the flat array (%s); %d case(s) that did not end as expected\n", worst, worstName, wrong);

    // What the flat array would cost with a growth step of one slot: the
    // same 32 753 appends through the value's own (step-one) list.
    double stepOne = 1e9;
    for (int run = 0; run < 5; ++run) {
        double start = BenchNow();
        zo::Json flat;
        for (int i = 0; i < 32753; ++i) *flat.AddArrayElm(-1) = 1;
        double ms = (BenchNow() - start) * 1000;
        if (ms < stepOne) stepOne = ms;
    }
    printf("for comparison, 32 753 appends with step-one growth: %.3f ms (%.1fx parsing the flat array)\n", stepOne,
           stepOne / flatBest);
    const bool met = worst <= kGoal && wrong == 0;
    printf("goal every datagram <= %.1fx the flat array, each ending as expected: %s\n", kGoal, met ? "met" : "NOT met");
    return met ? 0 : 1;
}
