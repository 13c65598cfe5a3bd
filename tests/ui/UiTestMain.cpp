// The window tests run a real QApplication on the offscreen platform, each test process in a
// sandbox of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <cstdio>

#include "support/TestSandbox.h"
#include "ui/AppLook.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Before Qt starts, which reads the run-time folder the sandbox sets.
    qv::test::TestSandbox sandbox;
    if (!sandbox.ok()) {
        std::fprintf(stderr, "cannot make the test's own temporary folder\n");
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The tests see the program's own look, as the screenshots they draw show it.
    qv::ui::applyAppLook(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
