// The real program against simulated modules, driven from outside by
// ui_driver.exe as a test robot drives it: search, list, choose, edit, save,
// the exact datagram the module gets, and the module's new report shown.
// ZO_TEST_RUN_SERIAL: the program binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include <string>

#include "support/Simulator.h"
#include "support/TestNetwork.h"
#include "support/Wait.h"

using zotest::Drive;

namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(L"--modules 3"));
        ASSERT_TRUE(tool.Start());
    }
    // Drives the window; a failed step fails the test with the driver's words.
    std::string Steps(const std::wstring& steps) {
        std::string out;
        EXPECT_TRUE(Drive(steps, out)) << out;
        return out;
    }
    // Closes the window through the driver: the program ends with 0.
    void CloseTool() {
        EXPECT_EQ(Steps(L"close 5000"), "exit code 0\n");
        EXPECT_EQ(WaitForSingleObject(tool.process, 0), WAIT_OBJECT_0);
    }

    zotest::Simulator sim;
    zotest::Program tool;
};

} // namespace

TEST_F(EndToEnd, SearchChooseEditSaveAndTheModulesNewReportRefreshesWhatIsShown) {
    EXPECT_EQ(Steps(L"click 搜索联网模块 count ComboBox:0 3 20000 entries ComboBox:0"),
              "5C:CF:7F:00:00:01\n5C:CF:7F:00:00:02\n5C:CF:7F:00:00:03\n");
    // The second module as its report said: port, server, address.
    EXPECT_EQ(Steps(L"choose ComboBox:0 1 text Edit:0 text ComboBox:2 text Edit:3"),
              "8900\n198.51.100.10\n198.51.100.102\n");

    size_t before = sim.Log().size();
    Steps(L"set ComboBox:1 57600 set ComboBox:2 e2e.example.com set Edit:0 9100 set ComboBox:3 Guest "
          L"set Edit:1 \"pass word\" click 保存");
    ASSERT_TRUE(sim.WaitForRecords(before));
    auto log = sim.Log();
    ASSERT_EQ(log.size(), before + 1) << "one datagram for one save";
    EXPECT_EQ(log.back().module, 1);
    EXPECT_EQ(log.back().bytes, "set_net_modle_param{\"serial_rate\":57600,\"serv_host\":\"e2e.example.com\","
                                "\"serv_port\":9100,\"ap_ssid\":\"Guest\",\"ap_pass\":\"pass word\","
                                "\"mac\":\"5C:CF:7F:00:00:02\"}");

    // The module answers the save with its new report. Choosing the first
    // module replaces every edited text; choosing the second again shows its
    // record, which only that report can have changed.
    std::string shown;
    EXPECT_TRUE(zotest::WaitUntil([&] {
        shown = Steps(L"choose ComboBox:0 0 choose ComboBox:0 1 text ComboBox:1 text ComboBox:2 text Edit:0 "
                      L"text ComboBox:3 text Edit:1");
        return shown == "57600\ne2e.example.com\n9100\nGuest\npass word\n";
    }, 10000)) << shown;
    EXPECT_EQ(Steps(L"choose ComboBox:0 0 text Edit:0 text ComboBox:2"), "8899\n198.51.100.10\n");
    EXPECT_EQ(sim.Log().size(), before + 1) << "a second datagram for the save came late";
    CloseTool();
}

TEST_F(EndToEnd, RefreshByAddressShowsTheOneModuleAndItsAccessPoints) {
    EXPECT_EQ(Steps(L"set Edit:3 198.51.100.103 click Button:6 count ComboBox:0 1 5000 entries ComboBox:0 "
                    L"text Edit:0 click Button:5 count ComboBox:3 4 5000 entries ComboBox:3"),
              "5C:CF:7F:00:00:03\n8901\nGuest\n办公室\nWorkshop-2G\nGuest\n");
    auto log = sim.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].module, 2);
    EXPECT_EQ(log[0].bytes, "get_net_modle_param");
    EXPECT_EQ(log[1].module, 2);
    EXPECT_EQ(log[1].bytes, "get_ap_list");
    CloseTool();
}
