// The main window against simulated modules in the private test network:
// the sweep, refresh by address, saving (the exact bytes a module gets),
// access-point lists, a second copy holding the port, and the real program
// closing during a sweep or after its first trace.
// ZO_TEST_RUN_SERIAL: the window binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/module/ModuleProtocol.h"
#include "support/AppWindow.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/ToolSide.h"
#include "support/Wait.h"

using namespace apptest;
using zotest::PumpUntil;

namespace {

size_t RequestsOf(const std::vector<simlog::Record>& log, int module, const std::string& prefix) {
    size_t n = 0;
    for (const auto& r : log)
        if (r.module == module && r.bytes.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

} // namespace

class MainFrmNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(L"--modules 3"));
        frame = new MainFrm;
        ASSERT_NE(ShowFrame(*frame), nullptr);
    }
    void TearDown() override {
        delete frame;
        sim.Stop();
    }
    // Reads one module by address, as the user would.
    void ReadModule(const wchar_t* address) {
        size_t before = frame->modules.Count();
        frame->addressEdit.SetText(address);
        frame->refreshButton.Click();
        ASSERT_TRUE(PumpUntil([&] { return frame->modules.Count() > before; }))
            << "the simulator logged " << sim.Log().size() << " datagrams; traces: " << trace.lines.size();
    }
    bool WaitForLog(size_t after) {
        return PumpUntil([&] { return sim.Log().size() > after; });
    }

    TraceSink trace;
    zotest::Simulator sim;
    MainFrm* frame = nullptr;
};

TEST_F(MainFrmNetworkTest, SweepListsEveryModuleInReplyOrderAndTheButtonIsOffMeanwhile) {
    MainFrm& f = *frame;
    f.searchButton.Click();
    EXPECT_FALSE(IsWindowEnabled(f.searchButton.Handle()));
    // A second click while the sweep runs starts no second sweep.
    f.searchButton.Click();
    ASSERT_TRUE(PumpUntil([&] { return f.moduleBox.GetCount() == 3; }, 20000));
    EXPECT_FALSE(IsWindowEnabled(f.searchButton.Handle()));
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(f.searchButton.Handle()) != FALSE; }, 60000));
    const char* addresses[] = {"198.51.100.101", "198.51.100.102", "198.51.100.103"};
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_STREQ(f.modules.Element(i)->ether_ip.ToString(), addresses[i]);
        EXPECT_EQ(f.modules.Element(i)->mac, Entries(f.moduleBox)[i].c_str());
    }
    // A broadcast read from each adapter found them all, so the sweep after
    // it asked none of them again.
    auto log = sim.Log();
    for (int m = 0; m < 3; ++m) EXPECT_EQ(RequestsOf(log, m, "get_net_modle_param"), 0u) << m;
    size_t adapters = zotest::HasSecondTestNetwork() ? 2 : 1;
    EXPECT_EQ(RequestsOf(log, simlog::kBroadcast, "get_net_modle_param"), adapters);
    EXPECT_EQ(log.size(), adapters);
}

TEST_F(MainFrmNetworkTest, SaveSendsExactlyTheEditedSettingsToTheChosenModule) {
    ReadModule(L"198.51.100.102");
    MainFrm& f = *frame;
    ASSERT_EQ(Entries(f.moduleBox), (std::vector<std::wstring>{L"5C:CF:7F:00:00:02"}));
    EXPECT_EQ(TextOf(f.addressEdit), L"198.51.100.102");

    struct Case {
        const wchar_t *baud, *port, *ssid, *pass;
        const char* expected;   // what follows the request name, up to the mac
    };
    const Case cases[] = {
        {L"57600", L"8080", L"办公室", L"a/b",
         "{\"serial_rate\":57600,\"serv_host\":\"h.example.com\",\"serv_port\":8080,"
         "\"ap_ssid\":\"\\u529e\\u516c\\u5ba4\",\"ap_pass\":\"a\\/b\","},
        {L"-5", L"70000", L"Guest", L"", "{\"serial_rate\":9600,\"serv_host\":\"h.example.com\",\"serv_port\":4464,"
                                          "\"ap_ssid\":\"Guest\",\"ap_pass\":\"\","},
        {L"0", L"", L"x", L"y", "{\"serial_rate\":9600,\"serv_host\":\"h.example.com\",\"serv_port\":0,"
                                 "\"ap_ssid\":\"x\",\"ap_pass\":\"y\","},
        {L"fast", L"1", L"x", L"y", "{\"serial_rate\":9600,\"serv_host\":\"h.example.com\",\"serv_port\":1,"
                                     "\"ap_ssid\":\"x\",\"ap_pass\":\"y\","},
    };
    for (const Case& c : cases) {
        f.hostBox.SetText(L"h.example.com");
        f.baudBox.SetSelection(-1);
        f.baudBox.SetText(c.baud);
        f.portEdit.SetText(c.port);
        f.apBox.SetText(c.ssid);
        f.passEdit.SetText(c.pass);
        size_t before = sim.Log().size();
        size_t replies = trace.CountOf(L"recv: ");
        f.saveButton.Click();
        ASSERT_TRUE(WaitForLog(before));
        auto log = sim.Log();
        EXPECT_EQ(log.back().module, 1);
        EXPECT_EQ(log.back().bytes,
                  std::string("set_net_modle_param") + c.expected + "\"mac\":\"5C:CF:7F:00:00:02\"}");
        // The module answers with its new report, which refreshes the boxes
        // (one module known): wait for it before the next case edits them.
        ASSERT_TRUE(PumpUntil([&] { return trace.CountOf(L"recv: ") > replies; }));
        Settle(f);
    }
}

TEST_F(MainFrmNetworkTest, SaveWithoutAModuleShowsTheBoxAndSendsNothing) {
    std::wstring text;
    std::thread closer([&] {
        HWND box = nullptr;
        zotest::WaitUntil([&] { return (box = FindWindowW(L"#32770", L"Error")) != nullptr; }, 10000);
        if (!box) return;
        wchar_t buf[256] = {};
        GetWindowTextW(GetDlgItem(box, 0xFFFF), buf, 256);
        text = buf;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    frame->saveButton.Click();   // returns once the box is closed
    closer.join();
    EXPECT_EQ(text, L"请先选择一个模块");
    // A request sent afterwards arrives alone: the save sent nothing before it.
    ReadModule(L"198.51.100.101");
    auto log = sim.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].bytes, "get_net_modle_param");
}

TEST_F(MainFrmNetworkTest, AccessPointRefreshListsTheModulesNamesAndKeepsTheTypedText) {
    MainFrm& f = *frame;
    f.apRefreshButton.Click();   // no module chosen: nothing goes out
    ReadModule(L"198.51.100.101");
    f.apBox.SetText(L"typed");
    f.apRefreshButton.Click();
    ASSERT_TRUE(PumpUntil([&] { return f.apBox.GetCount() == 4; }));
    EXPECT_EQ(Entries(f.apBox), (std::vector<std::wstring>{L"typed", L"办公室", L"Workshop-2G", L"Guest"}));
    EXPECT_EQ(TextOf(f.apBox), L"typed");
    auto log = sim.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].bytes, "get_ap_list");
}

TEST(MainFrmSecondCopy, APortHeldByAnotherCopyIsTracedAndRequestsStillGoOut) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules 2"));
    zotest::Winsock ws;
    SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    zo::SOCKADDR any;
    any.SetPortW(6643);
    any.SetIp(zo::IP(htonl(INADDR_ANY)));
    ASSERT_EQ(bind(holder, any, zo::SOCKADDR::Size()), 0);
    {
        TraceSink trace;
        MainFrm frame;
        ASSERT_NE(ShowFrame(frame), nullptr);
        EXPECT_TRUE(trace.Has(L"绑定失败：UDPReceiver::Tune（ushort port）"));
        frame.addressEdit.SetText(L"198.51.100.102");
        frame.refreshButton.Click();
        ASSERT_TRUE(PumpUntil([&] { return !sim.Log().empty(); }));
        EXPECT_EQ(sim.Log()[0].module, 1);
        EXPECT_EQ(sim.Log()[0].bytes, "get_net_modle_param");
    }
    closesocket(holder);
}

TEST(ModuleToolProgram, ClosingDuringASweepAndAStreamOfDatagramsEndsAtOnceWithCodeZero) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Program tool;
    ASSERT_TRUE(tool.Start());
    HWND search = FindWindowExW(tool.window, nullptr, L"Button", L"搜索联网模块");
    ASSERT_NE(search, nullptr);
    SendMessageW(search, BM_CLICK, 0, 0);
    ASSERT_TRUE(zotest::WaitUntil([&] { return !IsWindowEnabled(search); }));
    zotest::Winsock ws;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET);
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread stream([&] {
        zo::SOCKADDR to = zotest::ToolOnLoopback();
        std::string report = Report("5C:CF:7F:AA:BB:CC", "\"serv_host\":\"stream.example.com\"");
        while (!stop)
            if (sendto(s, report.data(), static_cast<int>(report.size()), 0, to, zo::SOCKADDR::Size()) > 0) ++sent;
    });
    EXPECT_TRUE(zotest::WaitUntil([&] { return sent > 1000; }));
    double took = 0;
    DWORD code = tool.Close(5000, &took);
    stop = true;
    stream.join();
    closesocket(s);
    EXPECT_EQ(code, 0u);
    // The sweep waits at most one send interval before it sees the window go.
    EXPECT_LT(took, 1000.0);
}

// The first trace of a program without a console opens one, a process of
// its own: the receiving socket must not live on in it, or closing the
// socket would not end the receive and the program would never exit.
TEST(ModuleToolProgram, AfterItsFirstTraceTheIdleProgramStillEndsAtOnce) {
    ZO_REQUIRE_TEST_NETWORK();
    zotest::Program tool;
    ASSERT_TRUE(tool.Start());
    ASSERT_TRUE(zotest::SendToTool(Report("5C:CF:7F:AA:BB:CC")));
    HWND moduleBox = FindWindowExW(tool.window, nullptr, L"ComboBox", nullptr);
    ASSERT_TRUE(zotest::WaitUntil([&] { return SendMessageW(moduleBox, CB_GETCOUNT, 0, 0) == 1; }));
    EXPECT_EQ(tool.Close(5000), 0u);
}
