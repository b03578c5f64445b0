// A test with three simulated modules of its own, inside the private test
// network; the simulator ends with the test.
#pragma once
#include <gtest/gtest.h>

#include "support/Simulator.h"
#include "support/TestNetwork.h"

namespace zotest {

class ThreeModules : public ::testing::Test {
protected:
    void SetUp() override {
        ZO_REQUIRE_TEST_NETWORK();
        ASSERT_TRUE(sim.Start(L"--modules 3"));
    }
    Simulator sim;
};

} // namespace zotest
