// ModuleCli get, aps, set and apply against the simulator in the private
// network, by address and by mac; saves that take, that are ignored, that
// restart the module; a module naming an address no save may go to; macs and
// files as people write them; texts kept in the module's own encoding; a
// file with every kind of bad row; and the tool's port held by another program. ZO_TEST_RUN_SERIAL: the program binds the tool's
// port 6643, the simulator the modules' port 6646.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "app/module/ModuleProtocol.h"
#include "net/Socket.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/Winsock.h"

using clitest::Has;
using clitest::Lines;
using clitest::RunCli;
using clitest::WriteTemp;

namespace {

const std::wstring kFast = L" --interval 5 --timeout 400";

bool IsSave(const simlog::Record& r) { return r.bytes.compare(0, 19, proto::kWriteRequest) == 0; }

// The saves and access-point lists any module received.
size_t ModuleRequests(const zotest::Simulator& sim) {
    size_t n = 0;
    for (const auto& r : sim.Log()) n += r.event.empty() && (IsSave(r) || r.bytes == proto::kApListRequest);
    return n;
}

} // namespace

TEST(ModuleCliModules, GetApsAndSetByAddressAndByMac) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3"));
    struct Case {
        const wchar_t* target;
        const char* mac;
    } cases[] = {{L"198.51.100.102", "5C:CF:7F:00:00:02"}, {L"5C:CF:7F:00:00:03", "5C:CF:7F:00:00:03"}};
    for (const Case& c : cases) {
        std::wstring t = c.target;
        auto get = RunCli(L"get " + t + L" --format json" + kFast);
        ASSERT_EQ(0u, get.code) << get.err;
        EXPECT_TRUE(Has(get.out, std::string("\"mac\":\"") + c.mac + "\""));

        auto aps = RunCli(L"aps " + t + kFast);
        ASSERT_EQ(0u, aps.code) << aps.err;
        EXPECT_EQ((std::vector<std::string>{"办公室", "Workshop-2G", "Guest"}), Lines(aps.out));

        auto set = RunCli(L"set " + t + L" port=7001 ssid=车间 pass=\"a b\"" + kFast);
        ASSERT_EQ(0u, set.code) << set.err;
        EXPECT_TRUE(Has(set.out, "every value took"));
        auto after = RunCli(L"get " + t + L" --format csv --show-passwords" + kFast);
        ASSERT_EQ(0u, after.code) << after.err;
        EXPECT_TRUE(Has(after.out, std::string(c.mac) + ",115200,198.51.100.10,7001,车间,a b,"));
    }
    auto missing = RunCli(L"get 5C:CF:7F:00:09:99 --quick" + kFast);
    EXPECT_EQ(1u, missing.code);
    EXPECT_TRUE(Has(missing.err, "no module with mac 5C:CF:7F:00:09:99"));
    auto silent = RunCli(L"get 198.51.100.200 --retries 1" + kFast);
    EXPECT_EQ(1u, silent.code);
    EXPECT_TRUE(Has(silent.err, "198.51.100.200 did not answer (2 requests)"));
}

TEST(ModuleCliModules, SetSaysWhetherEveryValueTook) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3 --ignore-writes 1 --restart-after-save 2:1500"));

    auto ignored = RunCli(L"set 198.51.100.102 baud=9600 host=server.test" + kFast);
    EXPECT_EQ(1u, ignored.code);
    EXPECT_TRUE(Has(ignored.err, "baud \"9600\" (module reports \"115200\")"));
    EXPECT_TRUE(Has(ignored.err, "host \"server.test\" (module reports \"198.51.100.10\")"));

    // Silent for 1.5 s after the save: verified once it is back (the
    // verification lasts (3 + 1) x 1000 ms).
    auto restarts = RunCli(L"set 198.51.100.103 baud=4800 --interval 5");
    EXPECT_EQ(0u, restarts.code) << restarts.err;
    EXPECT_GE(restarts.seconds, 1.5);
    bool restarted = false;
    for (const auto& r : sim.Log()) restarted = restarted || r.event == simlog::kRestarting;
    EXPECT_TRUE(restarted) << "the simulator never restarted: the test did not test a restart";

    // Too short a verification for the restart: the module never answered.
    auto tooShort = RunCli(L"set 198.51.100.103 baud=2400 --interval 5 --timeout 300 --retries 1");
    EXPECT_EQ(1u, tooShort.code);
    EXPECT_TRUE(Has(tooShort.err, "never answered after the save"));

    auto noVerify = RunCli(L"set 198.51.100.102 baud=9600 --no-verify" + kFast);
    EXPECT_EQ(0u, noVerify.code) << noVerify.err;
    EXPECT_TRUE(Has(noVerify.out, "sent, not verified"));
}

TEST(ModuleCliModules, ApplyTakesTheGoodRowAndReportsEveryOther) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3"));
    std::wstring file = WriteTemp(L"apply.csv",
                                  "\xEF\xBB\xBF"
                                  "mac,baud,port,ssid,ether_ip\r\n"
                                  "5C:CF:7F:00:00:01,9600,,\"新,网\",203.0.113.34\r\n"
                                  "5C:CF:7F:00:00:02,fast,,,\r\n"
                                  "5C:CF:7F:00:09:99,9600,,,\r\n"
                                  "5C:CF:7F:00:00:01,1200,,,\r\n"
                                  "5C:CF:7F:00:00:03,,70000,,\r\n");
    auto dry = RunCli(L"apply \"" + file + L"\" --dry-run --quick" + kFast);
    EXPECT_EQ(1u, dry.code);
    EXPECT_TRUE(Has(dry.out, "line 2: 5C:CF:7F:00:00:01 (198.51.100.101): would change: baud \"115200\" -> \"9600\", ssid \"办公室\" -> \"新,网\""));
    auto before = RunCli(L"get 198.51.100.101 --format csv" + kFast);
    EXPECT_TRUE(Has(before.out, ",115200,")) << "the dry run saved";

    auto run = RunCli(L"apply \"" + file + L"\" --quick" + kFast);
    EXPECT_EQ(1u, run.code) << run.err;
    auto lines = Lines(run.out);
    ASSERT_EQ(6u, lines.size()) << run.out;
    EXPECT_TRUE(Has(lines[0], "line 2: 5C:CF:7F:00:00:01 (198.51.100.101): taken"));
    EXPECT_EQ("line 3: bad row, skipped: baud \"fast\" is not a positive number (at most 2147483647)", lines[1]);
    EXPECT_EQ("line 4: 5C:CF:7F:00:09:99 not found", lines[2]);
    EXPECT_EQ("line 5: bad row, skipped: mac 5C:CF:7F:00:00:01 already on line 2", lines[3]);
    EXPECT_EQ("line 6: bad row, skipped: port \"70000\" is not a number from 0 to 65535", lines[4]);
    EXPECT_EQ("taken 1, differs 0, not found 1, bad row 3", lines[5]);
    auto after = RunCli(L"scan --quick --format csv" + kFast);
    EXPECT_TRUE(Has(after.out, "5C:CF:7F:00:00:01,9600,198.51.100.10,8899,\"新,网\","));
    EXPECT_TRUE(Has(after.out, "5C:CF:7F:00:00:02,115200,")) << "a bad row was half-applied";
    EXPECT_TRUE(Has(after.out, "5C:CF:7F:00:00:03,115200,198.51.100.10,8901,"));

    std::wstring stray = WriteTemp(L"stray.csv", "mac,baud,colour\r\n5C:CF:7F:00:00:01,9600,red\r\n");
    auto column = RunCli(L"apply \"" + stray + L"\"" + kFast);
    EXPECT_EQ(2u, column.code);
    EXPECT_TRUE(Has(column.err, "line 1: unknown column \"colour\""));
    DeleteFileW(file.c_str());
    DeleteFileW(stray.c_str());
}

TEST(ModuleCliModules, ExportAppliesBackAsItIs) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3"));
    std::wstring file = clitest::TempPath(L"export.csv");
    auto exported = RunCli(L"export \"" + file + L"\" --quick" + kFast);
    ASSERT_EQ(0u, exported.code) << exported.err;
    std::string text = clitest::ReadAll(file);
    EXPECT_EQ(0u, text.find("\xEF\xBB\xBFmac,baud,host,port,ssid,pass,ether_ip,ether_gate,wifi_ip,wifi_gate\r\n"));
    EXPECT_TRUE(Has(text, "5C:CF:7F:00:00:01,115200,198.51.100.10,8899,办公室,pass0000,198.51.100.101,"));
    auto applied = RunCli(L"apply \"" + file + L"\" --quick" + kFast);
    EXPECT_EQ(0u, applied.code) << applied.out << applied.err;
    EXPECT_TRUE(Has(applied.out, "taken 3, differs 0, not found 0, bad row 0"));
    DeleteFileW(file.c_str());
}

TEST(ModuleCliModules, TheToolPortHeldByAnotherProgramIsExitCode3) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Winsock ws;
    zo::Socket held;
    ASSERT_TRUE(held.Create(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    zo::SOCKADDR at;
    at.SetIp(zo::IP(htonl(INADDR_ANY)));
    at.SetPortW(proto::kToolPort);
    ASSERT_TRUE(held.Bind(at));
    auto r = RunCli(L"get 198.51.100.101" + kFast);
    held.Close();
    EXPECT_EQ(3u, r.code);
    EXPECT_TRUE(Has(r.err, "UDP port 6643"));
    EXPECT_TRUE(Has(r.err, "window"));
}

TEST(ModuleCliModules, NothingIsSentForAModuleWhoseAddressIsNotOneModules) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3 --ether-ip 1:255.255.255.255"));
    std::wstring file = WriteTemp(L"refused.csv", "mac,port,pass\r\n5C:CF:7F:00:00:02,9100,secret\r\n");
    const std::string broadcast = "255.255.255.255 is the broadcast address, not one module's address";
    const struct {
        std::wstring args;
        std::string says;
    } cases[] = {
        {L"set 5C:CF:7F:00:00:02 port=9100 pass=secret --quick", broadcast + "; nothing was sent"},
        {L"aps 5c-cf-7f-00-00-02 --quick", broadcast + "; nothing was sent"},
        {L"set 198.51.100.255 port=9100", "198.51.100.255 is the broadcast address of its /24"},
        {L"apply \"" + file + L"\" --quick",
         "line 2: 5C:CF:7F:00:00:02 (255.255.255.255): refused, nothing was sent: " + broadcast},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("ModuleCli " + clitest::Narrow(c.args));
        auto r = RunCli(c.args + kFast);
        EXPECT_EQ(1u, r.code) << r.out << r.err;
        EXPECT_TRUE(Has(r.out + r.err, c.says));
        EXPECT_EQ(0u, ModuleRequests(sim)) << "a module received a save or a list";
    }
    DeleteFileW(file.c_str());
}

TEST(ModuleCliModules, MacsAndFilesAsPeopleWriteThem) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 3"));
    for (const wchar_t* mac : {L"5c:cf:7f:00:00:02", L"5C-CF-7F-00-00-02"}) {
        auto get = RunCli(std::wstring(L"get ") + mac + L" --quick --format json" + kFast);
        EXPECT_EQ(0u, get.code) << clitest::Narrow(mac) << ": " << get.err;
        EXPECT_TRUE(Has(get.out, "\"mac\":\"5C:CF:7F:00:00:02\""));
    }
    // Spaces and case in the header and the mac cells, and the rows of bare
    // commas a spreadsheet leaves at the end.
    std::wstring file = WriteTemp(L"people.csv",
                                  "\xEF\xBB\xBF MAC , Port ,SSID\r\n"
                                  " 5c:cf:7f:00:00:01 ,9105,\r\n"
                                  "5C-CF-7F-00-00-03, 9107 ,\r\n"
                                  ",,\r\n"
                                  " , ,\r\n"
                                  ",,\r\n");
    auto run = RunCli(L"apply \"" + file + L"\" --quick" + kFast);
    EXPECT_EQ(0u, run.code) << run.out << run.err;
    EXPECT_EQ((std::vector<std::string>{"line 2: 5C:CF:7F:00:00:01 (198.51.100.101): taken: port \"8899\" -> \"9105\"",
                                        "line 3: 5C:CF:7F:00:00:03 (198.51.100.103): taken: port \"8901\" -> \"9107\"",
                                        "taken 2, differs 0, not found 0, bad row 0"}),
              Lines(run.out));
    DeleteFileW(file.c_str());
}

TEST(ModuleCliModules, ASaveSendsBackExactlyWhatWasNotEditedInEitherEncoding) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 4 --utf8 0"));
    const struct {
        const wchar_t* target;
        int module;
        const char* row;
        const char* ssid;   // as the save carried it
    } cases[] = {
        // UTF-8: the module's own bytes back.
        {L"5C:CF:7F:00:00:01", 0, "5C:CF:7F:00:00:01,115200,198.51.100.10,9300,办公室,pass0000,",
         "\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4"},
        // The code page: the form the window has always sent.
        {L"198.51.100.104", 3, "5C:CF:7F:00:00:04,115200,198.51.100.10,9300,办公室,pass0003,",
         "\\u529e\\u516c\\u5ba4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(clitest::Narrow(c.target));
        auto set = RunCli(std::wstring(L"set ") + c.target + L" port=9300 --quick" + kFast);
        EXPECT_EQ(0u, set.code) << set.err;
        EXPECT_TRUE(Has(set.out, "every value took"));
        auto after = RunCli(std::wstring(L"get ") + c.target + L" --quick --format csv --show-passwords" + kFast);
        EXPECT_TRUE(Has(after.out, c.row));
        // The save carried the name as the module holds it.
        std::string save;
        for (const auto& r : sim.Log())
            if (r.module == c.module && r.event.empty() && IsSave(r)) save = r.bytes;
        char mac[8];
        snprintf(mac, sizeof(mac), "%02d", c.module + 1);
        EXPECT_EQ(std::string("set_net_modle_param{\"serial_rate\":115200,\"serv_host\":\"198.51.100.10\",\"serv_port\":9300,"
                              "\"ap_ssid\":\"") + c.ssid + "\",\"ap_pass\":\"pass000" + std::to_string(c.module) +
                      "\",\"mac\":\"5C:CF:7F:00:00:" + mac + "\"}",
                  save);
    }
    // An edited name the module cannot hold is refused, naming it, before anything is sent.
    size_t saves = 0;
    for (const auto& r : sim.Log()) saves += r.event.empty() && IsSave(r);
    auto emoji = RunCli(L"set 198.51.100.104 ssid=WiFi\xD83D\xDCF6" + kFast);
    EXPECT_EQ(1u, emoji.code);
    EXPECT_TRUE(Has(emoji.err, "ssid holds a character the module cannot hold (it speaks the ANSI code page)"));
    size_t after = 0;
    for (const auto& r : sim.Log()) after += r.event.empty() && IsSave(r);
    EXPECT_EQ(saves, after) << "a save was sent";
}

// 25 rows at 100 ms keep the lane busy 2.5 s with saves, so each module is
// first asked 2.5 s (or a little more) after its save, while it still
// restarts (4 s), and next 5 s after it: past the 4 s a verification counted
// from the save alone would last, as with more than 80 rows at the usual 50 ms.
TEST(ModuleCliModules, ApplyVerifiesEveryRowAfterItsOwnSaveWhateverTheirNumber) {
    ZO_REQUIRE_TEST_NETWORK();
    const int kRows = 25;
    std::wstring args = L"--modules " + std::to_wstring(kRows);
    std::string csv = "mac,port\r\n";
    for (int i = 0; i < kRows; ++i) {
        args += L" --restart-after-save " + std::to_wstring(i) + L":4000";
        char row[64];
        snprintf(row, sizeof(row), "5C:CF:7F:00:00:%02X,%d\r\n", i + 1, 9400 + i);
        csv += row;
    }
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(args));
    std::wstring file = WriteTemp(L"many.csv", csv);
    auto run = RunCli(L"apply \"" + file + L"\" --quick --interval 100");
    EXPECT_EQ(0u, run.code) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "taken " + std::to_string(kRows) + ", differs 0, not found 0, bad row 0"));
    std::vector<bool> restarted(kRows, false);
    for (const auto& r : sim.Log())
        if (r.event == simlog::kRestarting && r.module >= 0 && r.module < kRows) restarted[r.module] = true;
    EXPECT_EQ(std::vector<bool>(kRows, true), restarted) << "a module was never asked while it restarted";
    DeleteFileW(file.c_str());
}
