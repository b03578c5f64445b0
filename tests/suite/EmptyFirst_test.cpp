// The layout where the host's first adapter has no modules: 198.19.255.10
// comes first and the modules' network 198.51.100.10 second, as on a machine
// whose first adapter is not the one its modules hang on.
// ZO_TEST_EMPTY_FIRST_ADAPTER: runs only in that layout (scripts/netns-run --empty-first).
#include <gtest/gtest.h>

#include "support/TestNetwork.h"

TEST(EmptyFirstAdapter, TheFirstAddressIsTheEmptyNetworksAndTheModulesNetworkIsStillThere) {
    EXPECT_EQ("198.19.255.10", zotest::FirstLocalAddress());
    EXPECT_TRUE(zotest::HasLocalAddress("198.51.100.10"));
    EXPECT_TRUE(zotest::InsideTestNetwork());
}
