// The main of every test program: runs a child role when asked to, otherwise
// the GoogleTest suite. A skipped test fails the program: a run that lacks
// what a test needs (an adapter, a display) must not pass as if it had it.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/Child.h"

int main(int argc, char** argv) {
    int code = 0;
    if (zotest::RunChildRole(&code)) return code;
    testing::InitGoogleTest(&argc, argv);
    code = RUN_ALL_TESTS();
    int skipped = testing::UnitTest::GetInstance()->skipped_test_count();
    if (code == 0 && skipped > 0) {
        printf("%d test(s) skipped: a skip fails the run (give the test what it needs)\n", skipped);
        code = 1;
    }
    return code;
}
