// The request engine on a scripted network and clock: pacing per lane,
// time-outs and retries, passes of a sweep, several modules in flight, and
// the verdicts of a save.
#include <gtest/gtest.h>

#include <initializer_list>

#include "FakeNetwork.h"
#include "app/module/Address.h"
#include "app/module/Engine.h"
#include "app/module/Exchange.h"
#include "app/module/Finder.h"

using namespace proto;
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
    Exchange late(Exchange::kRead, FakeNetwork::Address(1, 9), o);
    RunJobs(m, 50, 1, {&late});
    EXPECT_EQ(Exchange::kOk, late.result);
    EXPECT_EQ(L"M1-9", Text(late.record.mac));
    EXPECT_EQ(3u, m.SentTo(FakeNetwork::Address(1, 9)).size());
}

TEST(EngineExchange, AReportIsTheModulesByTheAddressItNamesThenOnlyByItsMac) {
    const struct {
        const char* name;
        const wchar_t* mac;        // the report's
        const char* etherIp;       // the address the report names
        const wchar_t* knownMac;   // the exchange's, empty while unknown
        bool taken;
    } cases[] = {
        {"names the address asked", L"M1-5", "198.51.100.5", L"", true},
        {"names another address", L"M1-5", "198.51.100.6", L"", false},
        {"names no address", L"M1-5", "0.0.0.0", L"", false},
        {"the known mac", L"M1-5", "198.51.100.5", L"M1-5", true},
        {"the known mac, moved", L"M1-5", "198.51.100.99", L"M1-5", true},
        {"another mac at the address asked", L"M1-6", "198.51.100.5", L"M1-5", false},
        {"no mac at the address asked", L"", "198.51.100.5", L"M1-5", false},
    };
    for (const auto& c : cases) {
        ModleParam report;
        report.mac = c.mac;
        report.ether_ip = zo::IP(c.etherIp);
        EXPECT_EQ(c.taken, IsModulesReport(report, zo::IP("198.51.100.5"), zo::String(c.knownMac))) << c.name;
    }

    // A reply from the address asked that names another address is not the
    // module's, wherever it came from.
    FakeNetwork n;
    n.Add(1, 8).record.ether_ip = zo::IP("198.51.100.99");
    ExchangeOptions o;
    o.retries = 1;
    Exchange read(Exchange::kRead, FakeNetwork::Address(1, 8), o);
    RunJobs(n, 50, 1, {&read});
    EXPECT_EQ(Exchange::kNoAnswer, read.result);
    EXPECT_EQ(2u, n.SentTo(FakeNetwork::Address(1, 8)).size()) << "the module was asked and answered each time";

    // Two modules on one factory-default address: the save is verified by
    // its own module's reports only, though the other's come first and hold
    // the values sent.
    FakeNetwork twins;
    const uint32_t shared = FakeNetwork::Address(1, 200);
    FakeModule& mine = twins.Add(1, 1);
    FakeModule& other = twins.Add(1, 2);
    for (FakeModule* m : {&mine, &other}) {
        m->record.ether_ip = zo::IP(static_cast<unsigned long>(shared));
        m->alsoAt = shared;
    }
    mine.ignoreSaves = true;
    mine.delay = 300;
    Exchange save(zo::IP(static_cast<unsigned long>(shared)), EditsOf({L"port=1234"}), ExchangeOptions(), &mine.record);
    RunJobs(twins, 50, 1, {&save});
    EXPECT_EQ(1234, other.record.serv_port) << "the other module did not take the save: the case tests nothing";
    EXPECT_EQ(Exchange::kDiffers, save.result);
    EXPECT_EQ(L"M1-1", Text(save.reported.mac));
}

TEST(EngineExchange, SavesAndListsGoOnlyToOneModulesAddress) {
    for (const char* address : {"255.255.255.255", "198.51.100.255", "203.0.113.0", "0.0.0.0", "127.0.0.1",
                                 "224.0.0.1", "239.1.2.3", "240.0.0.1"}) {
        zo::IP to = std::string(address) == "255.255.255.255" ? zo::IP(0xFFFFFFFFul) : zo::IP(address);
        FakeNetwork n;
        n.Add(1, 5);
        ModleParam current = n.modules.begin()->second.record;
        Exchange aps(Exchange::kAps, to, ExchangeOptions());
        Exchange save(to, EditsOf({L"pass=secret"}), ExchangeOptions(), &current);
        Exchange unread(to, EditsOf({L"pass=secret"}), ExchangeOptions());
        Exchange built(to, "set_net_modle_param{}", current, current, ExchangeOptions());
        for (Exchange* e : {&aps, &save, &unread, &built}) {
            EXPECT_EQ(Exchange::kRefused, e->result) << address;
            EXPECT_NE(std::wstring::npos, e->refusal.find(Dotted(to))) << address;
        }
        RunJobs(n, 50, 1, {&aps, &save, &unread, &built});
        EXPECT_TRUE(n.sent.empty()) << address << ": " << n.sent.size() << " requests sent";
    }
    // A read may still go anywhere (a broadcast finds modules).
    FakeNetwork n;
    n.Add(1, 5);
    Exchange read(Exchange::kRead, zo::IP(0xFFFFFFFFul), ExchangeOptions());
    EXPECT_EQ(Exchange::kPending, read.result);
}

TEST(EngineExchange, EverySaveGetsItsWholeVerificationHoweverManyShareTheLane) {
    FakeNetwork n;
    ExchangeOptions o;
    o.timeout = 1000;
    o.retries = 3;
    std::vector<Exchange> saves;
    saves.reserve(150);
    std::vector<Job*> jobs;
    for (unsigned h = 1; h <= 150; ++h) {
        FakeModule& m = n.Add(1, h);
        m.silentAfterSave = 2000;   // restarts after a save, then reports
        saves.emplace_back(m.record.ether_ip, EditsOf({L"port=9100"}), o, &m.record);
        jobs.push_back(&saves.back());
    }
    RunJobs(n, 50, 1, jobs);
    unsigned ok = 0;
    for (const Exchange& s : saves) ok += s.result == Exchange::kOk;
    EXPECT_EQ(150u, ok);
    for (const Exchange& s : saves) EXPECT_LE(s.saves, 1u) << "a save was sent twice";
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
    for (auto& s : saves) EXPECT_EQ(Exchange::kOk, s.result) << proto::Text(s.record.mac).c_str();
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

TEST(EngineExchange, NoVerifyReturnsOnceTheSaveIsSentAndSaysSentOnlyWhenItLeft) {
    for (bool fails : {false, true}) {
        FakeNetwork n;
        FakeModule& m = n.Add(1, 5);
        m.ignoreSaves = true;
        ModleParam current = m.record;
        ExchangeOptions o;
        o.verify = false;
        Exchange s(FakeNetwork::Address(1, 5), EditsOf({L"host=example.test"}), o, &current);
        n.failSends = fails;
        RunJobs(n, 50, 1, {&s});
        EXPECT_EQ(fails ? Exchange::kNotSent : Exchange::kOk, s.result) << (fails ? "the send failed" : "it left");
        ASSERT_EQ(1u, n.sent.size());
        EXPECT_EQ(0u, n.sent[0].bytes.find(proto::kWriteRequest));
    }
}
