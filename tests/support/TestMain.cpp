// The main of every test program: runs a child role when asked to, otherwise
// the GoogleTest suite.
#include <gtest/gtest.h>

#include "support/Child.h"

int main(int argc, char** argv) {
    int code = 0;
    if (zotest::RunChildRole(&code)) return code;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
