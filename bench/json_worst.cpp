// The slowest datagrams we can construct: each input of at most 65 507 bytes
// (the largest UDP payload) is parsed repeatedly and its time printed
// against the 10 ms bound. The last line shows what growing a long flat
// array one slot at a time would cost, the reason the reader grows by
// doubling.
#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "core/Win.h"
#include "data/Json.h"

namespace {

const size_t kDatagram = 65507;

// head, then as many pieces as fit, then tail, within one datagram.
std::string Fill(const std::string& head, const std::string& piece, const std::string& tail) {
    std::string s = head;
    while (s.size() + piece.size() + tail.size() <= kDatagram) s += piece;
    return s + tail;
}

std::string Cycle(const std::string& head, const char* const* pieces, size_t n, const std::string& tail) {
    std::string s = head;
    for (size_t i = 0;; ++i) {
        const std::string piece = pieces[i % n];
        if (s.size() + piece.size() + tail.size() > kDatagram) break;
        s += piece;
    }
    return s + tail;
}

std::string HalfwayNumbers() {
    // Midpoints of neighbouring doubles, written out in full (and one digit
    // beyond), so only the exact comparison can round them.
    static const char* kNumbers[] = {
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

// Processor time of this thread (user and kernel), in seconds.
double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Case {
    const char* name;
    std::string text;
};

}   // namespace

int main() {
    std::string gbkPairs;
    for (size_t i = 0; gbkPairs.size() + 2 <= kDatagram - 4; ++i) gbkPairs += i % 3 ? "\xd6\xd0" : "\x81\x22";
    const Case cases[] = {
        {"flat array [1,1,...]", Fill("[", "1,", "1]")},
        {"flat array [1 1 ...]", Fill("[", "1 ", "1]")},
        {"array of empty arrays", Fill("[", "[],", "[]]")},
        {"array of empty objects", Fill("[", "{},", "{}]")},
        {"object, one name repeated", Fill("{", "\"a\":1,", "\"a\":1}")},
        {"object, empty names", Fill("{", "\"\":0 ", "\"\":0}")},
        {"string of \\u escapes", Fill("[\"", "\\u4e2d", "\"]")},
        {"string of \\\\ escapes", Fill("[\"", "\\\\", "\"]")},
        {"string of unknown escapes", Fill("[\"", "\\q", "\"]")},
        {"unterminated backslash run", Fill("[\"", "\\\\", "")},
        {"subnormal doubles", Fill("[", "1e-310,", "1]")},
        {"huge exponents", Fill("[", "1e-99999,9e99999,", "1]")},
        {"halfway doubles", HalfwayNumbers()},
        {"one 65 500-digit number", Fill("[", "7", "]")},
        {"one 65 500-digit top-level number", Fill("", "3", "")},
        {"binary value", Fill("['", "AAEC", "']")},
        {"invalid binary value", Fill("['", "AAE ", "']")},
        {"deepest nesting, repeated", Fill("[", std::string(510, '[') + std::string(510, ']') + ",", "1]")},
        {"65 507 x [", std::string(kDatagram, '[')},
        {"{\"a\": repeated", Fill("", "{\"a\":", "")},
        {"GBK lead bytes", "[\"" + gbkPairs + "\"]"},
        {"whitespace U+3000", Fill("[", "\xa1\xa1", "1]")},
    };
    printf("json worst-case datagrams (bound 10 ms each), code page %u\n", GetACP());
    // The machine is shared, so besides the fastest of 20 runs (wall clock)
    // the thread's processor time per run is shown: the parse's own cost.
    double worst = 0;
    for (const Case& c : cases) {
        const int kRuns = 20;
        double fastest = 1e9, cpu0 = ThreadSeconds();
        bool ok = false;
        for (int run = 0; run < kRuns; ++run) {
            zo::Json j;
            double start = BenchNow();
            ok = j.ParseMbs(c.text.data(), static_cast<int>(c.text.size()));
            double ms = (BenchNow() - start) * 1000;
            if (ms < fastest) fastest = ms;
        }
        double cpu = (ThreadSeconds() - cpu0) * 1000 / kRuns;   // includes releasing the trees
        double cost = fastest < cpu ? fastest : cpu;
        if (cost > worst) worst = cost;
        printf("%-36s %6u bytes %-6s fastest %7.3f ms, processor %7.3f ms per run%s\n", c.name,
               static_cast<unsigned>(c.text.size()), ok ? "parses" : "fails", fastest, cpu,
               cost > 10 ? "  OVER THE BOUND" : "");
    }
    printf("slowest input: %.3f ms (%s)\n", worst, worst > 10 ? "over the 10 ms bound" : "within the 10 ms bound");

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
    printf("for comparison, 32 753 appends with step-one growth: %.3f ms\n", stepOne);
    return worst > 10;
}
