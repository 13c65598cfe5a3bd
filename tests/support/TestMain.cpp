// The main of the Qt-free test program: each test process runs in a sandbox of its own.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/TestSandbox.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qv::test::TestSandbox sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "cannot make the test's own temporary folder\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
