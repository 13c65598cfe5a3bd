// The window program on a real X server (Xvfb, where it is installed): with a notification area
// (the test itself owns the tray selection, as a panel would) the program docks its icon there
// and the start word SysTray hides the window; without one it minimises the window instead, so
// that it stays reachable. Skipped where Xvfb is missing or cannot start.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>

#include "app/UserSettingsFile.h"
#include "support/ChildProcess.h"
#include "support/XvfbServer.h"
#include "ui/UiTestSupport.h"

// Xlib's macros (None, Bool, Status) would break the Qt headers above if it came first.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

namespace qv::test {
namespace {

using namespace std::chrono_literals;

constexpr long kTrayRequestDock = 0;

class TrayOnXServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = xserver_.start();
        if (!why.empty()) {
            GTEST_SKIP() << why << "; the notification area is not tested";
        }
        display_ = xserver_.display();
        client_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(client_, nullptr);
    }
    void TearDown() override {
        if (client_ != nullptr) {
            XCloseDisplay(client_);
        }
    }

    // Becomes the notification area of screen 0, as a desktop panel does.
    void hostTray() {
        const int screen = DefaultScreen(client_);
        tray_ = XCreateSimpleWindow(client_, RootWindow(client_, screen), 0, 0, 1, 1, 0, 0, 0);
        const Atom selection = XInternAtom(client_, "_NET_SYSTEM_TRAY_S0", False);
        XSetSelectionOwner(client_, selection, tray_, CurrentTime);
        ASSERT_EQ(XGetSelectionOwner(client_, selection), tray_);
        XEvent manager{};
        manager.xclient.type = ClientMessage;
        manager.xclient.window = RootWindow(client_, screen);
        manager.xclient.message_type = XInternAtom(client_, "MANAGER", False);
        manager.xclient.format = 32;
        manager.xclient.data.l[0] = CurrentTime;
        manager.xclient.data.l[1] = static_cast<long>(selection);
        manager.xclient.data.l[2] = static_cast<long>(tray_);
        XSendEvent(client_, RootWindow(client_, screen), False, StructureNotifyMask, &manager);
        XFlush(client_);
    }

    // Whether an icon asked the notification area to dock it.
    bool dockRequested(std::chrono::milliseconds limit) {
        const Atom opcode = XInternAtom(client_, "_NET_SYSTEM_TRAY_OPCODE", False);
        return waitUntil(
            [&] {
                while (XPending(client_) > 0) {
                    XEvent event{};
                    XNextEvent(client_, &event);
                    if (event.type == ClientMessage && event.xclient.message_type == opcode &&
                        event.xclient.data.l[1] == kTrayRequestDock) {
                        return true;
                    }
                }
                return false;
            },
            limit);
    }

    std::map<std::string, std::string> environment() const {
        std::map<std::string, std::string> env = machine_.environment(true);
        env["QT_QPA_PLATFORM"] = "xcb";
        env["DISPLAY"] = display_;
        env["WAYLAND_DISPLAY"] = "";
        // A desktop's status notifier service on the session bus would take the icon instead.
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent";
        // The X keyboard library hands strndup a buffer that is not ended by a zero; the
        // sanitizer build's strict string checks take that for an overflow. It is not ours.
        addSanitizerOption(env, "strict_string_checks=0");
        return env;
    }
    std::filesystem::path settingsFile() const {
        return std::filesystem::path(machine_.data.path()) / app::kUserSettingsFileName;
    }

    XvfbServer xserver_;
    std::string display_;
    Display* client_ = nullptr;
    Window tray_ = 0;
    ProgramMachine machine_;
};

TEST_F(TrayOnXServer, WithANotificationAreaTheIconDocksAndSysTrayHidesTheWindow) {
    hostTray();
    ChildProcess program("quorvel", {"--simulate", "SysTray"}, environment());
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForOutput("main window: hidden in the notification area", 60s, true))
        << program.soFar().err;
    EXPECT_TRUE(dockRequested(30s));
    // The hide button kept the settings for the next start.
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
    program.sendSignal(SIGTERM);
    EXPECT_EQ(program.finish(30s).exitCode, 0);
}

TEST_F(TrayOnXServer, WithoutANotificationAreaSysTrayMinimisesTheWindow) {
    ChildProcess program("quorvel", {"--simulate", "SysTray"}, environment());
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(
        program.waitForOutput("main window: minimised, there is no notification area", 60s, true))
        << program.soFar().err;
    program.sendSignal(SIGTERM);
    EXPECT_EQ(program.finish(30s).exitCode, 0);
}

}  // namespace
}  // namespace qv::test
