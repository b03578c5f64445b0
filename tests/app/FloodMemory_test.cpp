// The real program under a flood of hostile datagrams while it is driven
// from outside: it neither crashes nor stalls, and what it keeps does not
// grow with what it is sent; after each flood it has 5 s of quiet to give
// back what the flood took. Each flood is bounded in time; the figures go to
// the output. (Three floods with their quiet take about a minute, so this
// test has a file of its own.)
// ZO_TEST_RUN_SERIAL: the program binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "net/Socket.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ThreeModules.h"
#include "support/ToolSide.h"
#include "support/Wait.h"

using zotest::Drive;
using zotest::Program;

namespace {

using zotest::kToolTitle;

// The hostile datagrams, k = 0 .. kHostile - 1: every even one a report of
// a module never seen before, the odd ones in turn random bytes, a cut
// report, deep nesting, a full-size access-point list, text that is no GBK,
// and a full-size report.
const int kHostile = 20000;
const int kMaxDatagram = 65507;

std::string Hostile(int k, unsigned& seed) {
    auto next = [&] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    char mac[32];
    if (k % 2 == 0) {
        snprintf(mac, sizeof(mac), "DE:AD:00:00:%02X:%02X", (k / 2) >> 8 & 255, (k / 2) & 255);
        return std::string("{\"mac\":\"") + mac + "\",\"serv_port\":" + std::to_string(k) +
               ",\"ether_ip\":1701065670}";
    }
    const std::string report = "{\"mac\":\"DE:AD:BE:EF:00:01\",\"serv_host\":\"flood.example.com\",\"serv_port\":1,"
                               "\"serial_rate\":9600,\"ap_ssid\":\"x\",\"ap_pass\":\"y\",\"ether_ip\":1701065670}";
    std::string d;
    switch ((k / 2) % 6) {
    case 0:
        // '#' first: by chance a lone digit would be a report, of no module the driver can reach.
        d.resize(1 + next() % 1500);
        for (char& c : d) c = static_cast<char>(next());
        d[0] = '#';
        break;
    case 1:
        d = report.substr(0, 1 + next() % (report.size() - 1));
        break;
    case 2: {
        size_t depth = 1000 + next() % 20000;
        d = (k / 12) % 2 ? std::string(depth, '[') : std::string();
        if (d.empty())
            for (size_t i = 0; i < depth / 6; ++i) d += "{\"a\":";
        break;
    }
    case 3:
        d = "+CWLAP:";
        for (int n = 0; d.size() < kMaxDatagram - 40; ++n) d += "AP" + std::to_string(n) + "\n-50,02:11:22:33:44:55,6\n";
        d.resize(kMaxDatagram);
        break;
    case 4:
        d = "{\"mac\":\"DE:AD:BE:EF:00:02\",\"ether_ip\":1701065670,\"serv_host\":\"\x81\x20\xFF\x80\x81\","
            "\"ap_ssid\":\"\xFE\",\"x\":\"\x81";
        break;
    default:
        d = "{\"mac\":\"DE:AD:BE:EF:00:03\",\"ether_ip\":1701065670,\"serv_host\":\"";
        d.resize(kMaxDatagram - 2, 'h');
        d += "\"}";
        break;
    }
    return d;
}

class Flood : public zotest::ThreeModules {};

} // namespace

TEST_F(Flood, AFloodOfHostileDatagramsNeitherCrashesNorStallsNorGrowsTheProgram) {
    Program tool(L"ModuleTool.exe");
    ASSERT_TRUE(tool.Start(kToolTitle));
    std::string out;
    ASSERT_TRUE(Drive(L"set Edit:3 198.51.100.101 click Button:6 count ComboBox:0 1 5000 mem", out)) << out;
    auto working = [&] {
        unsigned long long w = 0;
        EXPECT_TRUE(Drive(L"mem", out) && zotest::ReadWorkingSet(out, w)) << out;
        return w;
    };
    unsigned long long before = 0;
    ASSERT_TRUE(zotest::ReadWorkingSet(out, before)) << out;
    size_t requestsBefore = sim.Log().size();

    zotest::Winsock ws;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET);
    const DWORD kFloodMs = 12000;
    const unsigned long long MB = 1ull << 20;
    // The same flood three times while the driver chooses and clicks: the
    // first fills the module list to its bound; what the program keeps
    // after each must not grow with what it was sent. After a flood the
    // program has 5 s of quiet to give back what it took.
    unsigned long long peak[4] = {}, quiet[4] = {before, 0, 0, 0};
    for (int round = 1; round <= 3; ++round) {
        std::atomic<int> sent{0};
        std::thread flood([&] {
            zo::SOCKADDR to = zotest::ToolOnLoopback();
            unsigned seed = 2463534242u;
            DWORD start = GetTickCount();
            for (int k = 0; k < kHostile; ++k) {
                std::string d = Hostile(k, seed);
                if (sendto(s, d.data(), static_cast<int>(d.size()), 0, to, zo::SOCKADDR::Size()) >= 0) ++sent;
                // Spread over the flood's time, so the driver works all along.
                while (GetTickCount() - start < static_cast<DWORD>(static_cast<long long>(k) * kFloodMs / kHostile))
                    Sleep(1);
            }
        });
        std::string churn;
        bool churned = Drive(L"churn " + std::to_wstring(kFloodMs + 2000) + L" ComboBox:0 Button:6", churn);
        flood.join();
        ASSERT_TRUE(churned) << churn;
        ASSERT_EQ(WaitForSingleObject(tool.process, 0), WAIT_TIMEOUT) << "the program ended during the flood";
        peak[round] = working();
        zotest::Churn c;
        ASSERT_TRUE(zotest::ReadChurn(churn, c)) << churn;
        printf("flood %d: %d hostile datagrams sent; driver: %s", round, sent.load(), churn.c_str());
        EXPECT_EQ(sent.load(), kHostile);
        EXPECT_LT(c.worst, 100u) << "the window answered too slowly";
        EXPECT_GT(c.clicks, 0u);
        // Every click took effect: each sent the module one read request.
        EXPECT_TRUE(sim.WaitForRecords(requestsBefore + c.clicks - 1)) << "clicks " << c.clicks;
        EXPECT_EQ(sim.Log().size(), requestsBefore + c.clicks);
        requestsBefore = sim.Log().size();
        // The quiet the goals are stated for: 5 s in which nothing is sent,
        // the working set sampled all along (not a wait for an event: the
        // figure is the one at its end). Goals: 16 MB above the start after
        // the first flood, less than 4 MB above the last quiet after the others.
        unsigned long long goal = round == 1 ? before + 16 * MB : quiet[round - 1] + 4 * MB;
        DWORD quietStart = GetTickCount();
        do {
            if (unsigned long long w = working()) quiet[round] = w;
        } while (GetTickCount() - quietStart < 5000);
        EXPECT_LE(quiet[round], goal) << "flood " << round << " left the program " << (quiet[round] - quiet[round - 1]) / MB
                                      << " MB larger";
    }
    closesocket(s);
    printf("working set (MB): %.1f before; after flood 1 %.1f, 5 s later %.1f; flood 2 %.1f, %.1f; flood 3 %.1f, "
           "%.1f\n",
           before / 1048576.0, peak[1] / 1048576.0, quiet[1] / 1048576.0, peak[2] / 1048576.0, quiet[2] / 1048576.0,
           peak[3] / 1048576.0, quiet[3] / 1048576.0);
    // Right after the first flood, before any quiet: the module list full,
    // the queue and the heap's caches (Wine reports no private bytes for
    // another process: the working set is the measure).
    EXPECT_LE(peak[1], before + 48 * MB);
    ASSERT_TRUE(Drive(L"close 5000", out)) << out;
    EXPECT_EQ(out, "exit code 0\n");
}

