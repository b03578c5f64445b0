// The window's search on a computer whose first adapter has no modules (a
// WiFi, a VPN or a virtual switch first, as on many laptops): the modules'
// network is the second adapter, and the search still lists every module.
// Runs in the private network laid out so (scripts/netns-run --empty-first).
// ZO_TEST_EMPTY_FIRST_ADAPTER
// ZO_TEST_RUN_SERIAL: the window binds port 6643 and the modules their addresses.
#include <gtest/gtest.h>

#include "support/AppWindow.h"
#include "support/Simulator.h"
#include "support/TestNetwork.h"

using namespace apptest;

TEST(EveryAdapter, TheSearchListsEveryModuleOfTheSecondAdapter) {
    ZO_REQUIRE_TEST_NETWORK();
    ASSERT_NE(zotest::FirstLocalAddress().compare(0, 11, "198.51.100."), 0)
        << "the modules' network must not be the first adapter here";
    const int kModules = 244;   // 198.51.100.11 to .254
    zotest::Simulator sim;
    ASSERT_TRUE(sim.Start(L"--modules " + std::to_wstring(kModules) + L" --first 198.51.100.11"));
    TraceSink trace;
    MainFrm f;
    ASSERT_NE(ShowFrame(f), nullptr);
    f.searchButton.Click();
    EXPECT_TRUE(zotest::PumpUntil([&] { return f.moduleBox.GetCount() == kModules; }, 15000))
        << f.moduleBox.GetCount() << " of " << kModules << " listed";
}
