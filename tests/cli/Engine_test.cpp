// The request engine on a scripted network and clock: pacing per lane,
// time-outs and retries, passes of a sweep, several modules in flight, and
// the verdicts of a save.
#include <gtest/gtest.h>

#include <initializer_list>

#include "FakeNetwork.h"
#include "app/cli/Engine.h"
#include "app/cli/Exchange.h"
#include "app/cli/Finder.h"

using namespace cli;
using clitest::FakeModule;
using clitest::FakeNetwork;

namespace {

std::vector<uint32_t> Hosts(unsigned net, unsigned count) {
    std::vector<uint32_t> out;
    for (unsigned h = 1; h <= count; ++h) out.push_back(FakeNetwork::Address(net, h));
    return out;
}

// The smallest gap between consecutive sends to the hosts of one network.
uint64_t SmallestGap(const FakeNetwork& n, unsigned net) {
    uint64_t gap = kNever, last = 0;
    bool any = false;
    const uint32_t network = FakeNetwork::Address(net, 0);   // its first three bytes, in network order
    for (const auto& s : n.sent) {
        if (s.to == 0xFFFFFFFFu || (s.to & 0xFFFFFFu) != network) continue;
        if (any) gap = std::min(gap, s.at - last);
        last = s.at;
        any = true;
    }
    return gap;
}

void RunJobs(FakeNetwork& n, unsigned interval, unsigned lanes, std::vector<Job*> jobs) {
    Engine e(n, n, interval, lanes);
    e.Run(jobs);
}

Edits EditsOf(std::initializer_list<const wchar_t*> edits) {
    Edits e;
    std::wstring error;
    for (const wchar_t* edit : edits) EXPECT_TRUE(ParseEdit(edit, e, error)) << error;
    return e;
}

} // namespace

TEST(EngineSweep, LanesRunSideBySideEachPacedByTheInterval) {
    FakeNetwork n;
    n.Add(1, 7);
    n.Add(2, 9);
    SweepPlan plan;
    plan.broadcast = false;
    plan.networks = {Hosts(1, 20), Hosts(2, 20)};
    Finder f(plan);
    uint64_t start = n.now;
    RunJobs(n, 50, f.Lanes(), {&f});
    EXPECT_EQ(2u, f.Found().Count());
    EXPECT_EQ(40u, n.sent.size());
    // Each lane sends every 50 ms: no closer (unpaced), no further (one lane waiting for the other).
    EXPECT_EQ(SmallestGap(n, 1), 50u);
    EXPECT_EQ(SmallestGap(n, 2), 50u);
    // Two networks take as long as one: 20 slots, then the tail wait.
    uint64_t lastSend = n.sent.back().at - start;
    EXPECT_LE(lastSend, 19u * 50 + 5);
    EXPECT_GE(n.now - start, lastSend + plan.tail);
}

TEST(EngineSweep, BroadcastFirstThenOnlyHostsThatHaveNotAnswered) {
    FakeNetwork n;
    n.Add(1, 3);
    n.Add(1, 5).loseFirst = 1;   // misses the broadcast
    SweepPlan plan;
    plan.networks = {Hosts(1, 10)};
    plan.broadcastFrom = {zo::IP("198.51.100.250"), zo::IP("203.0.113.250")};
    Finder f(plan);
    uint64_t start = n.now;
    RunJobs(n, 50, f.Lanes(), {&f});
    EXPECT_EQ(2u, f.Found().Count());
    ASSERT_GE(n.sent.size(), 2u);
    // One broadcast from each adapter, paced like any request.
    EXPECT_EQ(0xFFFFFFFFu, n.sent[0].to);
    EXPECT_TRUE(n.sent[0].via == zo::IP("198.51.100.250"));
    EXPECT_EQ(0xFFFFFFFFu, n.sent[1].to);
    EXPECT_TRUE(n.sent[1].via == zo::IP("203.0.113.250"));
    EXPECT_EQ(50u, n.sent[1].at - n.sent[0].at);
    EXPECT_TRUE(n.SentTo(FakeNetwork::Address(1, 3)).empty()) << "a host that answered the broadcast was asked again";
    ASSERT_EQ(1u, n.SentTo(FakeNetwork::Address(1, 5)).size());
    EXPECT_GE(n.sent[2].at - n.sent[1].at, plan.afterBroadcast) << "the sweep began before the broadcast's answers were in";
    EXPECT_LT(n.sent[2].at - start, 2000u);
}

TEST(EngineSweep, PassesRepeatTheSweepToSilentHosts) {
    for (unsigned passes : {1u, 2u, 3u}) {
        FakeNetwork n;
        n.Add(1, 4).loseFirst = 2;
        SweepPlan plan;
        plan.broadcast = false;
        plan.passes = passes;
        plan.networks = {Hosts(1, 6)};
        Finder f(plan);
        RunJobs(n, 10, f.Lanes(), {&f});
        EXPECT_EQ(passes >= 3 ? 1u : 0u, f.Found().Count()) << passes << " passes";
        EXPECT_EQ(std::min(passes, 3u), n.SentTo(FakeNetwork::Address(1, 4)).size()) << passes << " passes";
        EXPECT_EQ(passes, n.SentTo(FakeNetwork::Address(1, 1)).size()) << passes << " passes";
    }
}

TEST(EngineSweep, StopsAsSoonAsEveryWantedMacIsKnown) {
    FakeNetwork n;
    n.Add(1, 200).loseFirst = 1;
    SweepPlan plan;
    plan.networks = {Hosts(1, 254)};
    plan.wanted = {L"M1-200"};
    Finder f(plan);
    RunJobs(n, 50, f.Lanes(), {&f});
    EXPECT_EQ(1u, f.Found().Count());
    EXPECT_EQ(FakeNetwork::Address(1, 200), n.sent.back().to) << "the sweep went on after the module was found";
}

TEST(EngineExchange, RetriesAfterEachTimeOutThenGivesUp) {
    FakeNetwork n;
    ExchangeOptions o;
    o.timeout = 300;
    o.retries = 2;
    Exchange silent(Exchange::kRead, FakeNetwork::Address(1, 9), o);
    uint64_t start = n.now;
    RunJobs(n, 50, 1, {&silent});
    EXPECT_EQ(Exchange::kNoAnswer, silent.result);
    auto sends = n.SentTo(FakeNetwork::Address(1, 9));
    ASSERT_EQ(3u, sends.size());
    EXPECT_EQ(300u, sends[1].at - sends[0].at);
    EXPECT_EQ(300u, sends[2].at - sends[1].at);
    EXPECT_EQ(start + 900, n.now) << "gave up before or long after the last time-out";

    FakeNetwork m;
    m.Add(1, 9).loseFirst = 2;
    m.Add(1, 8).record.ether_ip = zo::IP(0ul);   // not configured: known by where it answers from
    Exchange unset(Exchange::kRead, FakeNetwork::Address(1, 8), o);
    Exchange late(Exchange::kRead, FakeNetwork::Address(1, 9), o);
    RunJobs(m, 50, 1, {&late, &unset});
    EXPECT_EQ(Exchange::kOk, late.result);
    EXPECT_EQ(L"M1-9", late.record.mac);
    EXPECT_EQ(3u, m.SentTo(FakeNetwork::Address(1, 9)).size());
    EXPECT_EQ(Exchange::kOk, unset.result);
    EXPECT_EQ(L"M1-8", unset.record.mac);
}

TEST(EngineExchange, SeveralModulesInFlightShareTheIntervalOfOneLane) {
    FakeNetwork n;
    std::vector<Exchange> saves;
    const Edits e = EditsOf({L"port=1234"});
    saves.reserve(10);
    std::vector<Job*> jobs;
    for (unsigned h = 1; h <= 10; ++h) {
        n.Add(1, h).delay = 400;   // slower than the interval: answers overlap
        saves.emplace_back(FakeNetwork::Address(1, h), e, ExchangeOptions());
        jobs.push_back(&saves.back());
    }
    uint64_t start = n.now;
    RunJobs(n, 50, 1, jobs);
    for (auto& s : saves) EXPECT_EQ(Exchange::kOk, s.result) << s.record.mac.c_str();
    for (auto& m : n.modules) EXPECT_EQ(1234, m.second.record.serv_port);
    EXPECT_EQ(20u, n.sent.size()) << "each module: one read, one save";
    for (size_t i = 1; i < n.sent.size(); ++i) EXPECT_GE(n.sent[i].at - n.sent[i - 1].at, 50u);
    // Pacing, not waiting, is the cost: 20 slots and one answer's delay.
    EXPECT_LE(n.now - start, 20u * 50 + 400 + 50);
}

TEST(EngineExchange, SaveVerdicts) {
    struct Case {
        const char* name;
        bool ignore;
        uint64_t silent;
        Exchange::Result want;
    } cases[] = {
        {"taken", false, 0, Exchange::kOk},
        {"ignored", true, 0, Exchange::kDiffers},
        {"restarts, then reports", false, 2500, Exchange::kOk},
        {"silent past the verification", false, 60000, Exchange::kSilentAfterSave},
    };
    for (const Case& c : cases) {
        FakeNetwork n;
        FakeModule& m = n.Add(1, 5);
        m.ignoreSaves = c.ignore;
        m.silentAfterSave = c.silent;
        Exchange s(FakeNetwork::Address(1, 5), EditsOf({L"baud=9600", L"ssid=办公室"}), ExchangeOptions());
        RunJobs(n, 50, 1, {&s});
        EXPECT_EQ(c.want, s.result) << c.name;
        if (c.want == Exchange::kDiffers) {
            ASSERT_EQ(2u, s.differences.size()) << c.name;
            EXPECT_EQ(0u, s.differences[0].find(L"baud \"9600\" (module reports \"115200\")")) << c.name;
            EXPECT_EQ(0u, s.differences[1].find(L"ssid")) << c.name;
        }
        if (c.want == Exchange::kOk) {
            EXPECT_EQ(9600, m.record.serial_rate) << c.name;
            EXPECT_TRUE(m.record.ap_ssid == L"办公室") << c.name;
            EXPECT_EQ(8899, m.record.serv_port) << c.name << ": a value not given was not kept";
        }
    }
}

TEST(EngineExchange, NoVerifyReturnsOnceTheSaveIsSent) {
    FakeNetwork n;
    n.Add(1, 5).ignoreSaves = true;
    ExchangeOptions o;
    o.verify = false;
    Exchange s(FakeNetwork::Address(1, 5), EditsOf({L"host=example.test"}), o);
    RunJobs(n, 50, 1, {&s});
    EXPECT_EQ(Exchange::kOk, s.result);
    EXPECT_EQ(2u, n.sent.size());
    EXPECT_EQ(0u, n.sent[1].bytes.find(proto::kWriteRequest));
}
