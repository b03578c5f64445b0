// The main window at its module bound, fed as its receive thread feeds it:
// new macs beyond the bound change nothing and are traced once per burst (a
// burst ends after a second without a refused mac).
// ZO_TEST_RUN_SERIAL: every window binds port 6643.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/module/ModuleProtocol.h"
#include "support/AppWindow.h"

using namespace apptest;

TEST(MainFrmBound, NewMacsBeyondTheBoundChangeNothingAndAreTracedOncePerBurst) {
    TraceSink trace;
    MainFrm f;
    ASSERT_NE(ShowFrame(f), nullptr);
    auto mac = [](unsigned k) {
        char text[32];
        snprintf(text, sizeof(text), "DE:AD:00:00:%02X:%02X", k >> 8 & 255, k & 255);
        return std::string(text);
    };
    for (unsigned k = 0; k < proto::kMaxModules + 50; ++k) {
        Inject(f, Report(mac(k).c_str(), "\"serv_port\":1"));
        if (k % 512 == 511) {
            ASSERT_TRUE(Settle(f, 20000));
        }
    }
    ASSERT_TRUE(Settle(f, 20000));
    EXPECT_EQ(f.modules.Count(), proto::kMaxModules);
    EXPECT_EQ(f.moduleBox.GetCount(), static_cast<int>(proto::kMaxModules));
    EXPECT_EQ(trace.CountOf(L"the module list is full (4096 modules)"), 1u);
    // A known module still takes its reports at the bound.
    Inject(f, Report(mac(7).c_str(), "\"serv_port\":77"));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(f.modules.Element(7)->serv_port, 77);
    EXPECT_EQ(trace.CountOf(L"the module list is full"), 1u);
    // A second burst after a quiet second and a half is traced again, once.
    DWORD quietFrom = GetTickCount();
    zotest::PumpUntil([&] { return GetTickCount() - quietFrom >= 1500; }, 3000);
    for (unsigned k = proto::kMaxModules + 50; k < proto::kMaxModules + 100; ++k)
        Inject(f, Report(mac(k).c_str(), "\"serv_port\":1"));
    ASSERT_TRUE(Settle(f));
    EXPECT_EQ(f.modules.Count(), proto::kMaxModules);
    EXPECT_EQ(trace.CountOf(L"the module list is full"), 2u);
}
