#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "platform/HotKeyGrab.h"
#include "platform/QueuePoster.h"
#include "support/XvfbServer.h"
#include "support/ScopedEnvironment.h"

// Xlib last: its macros must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace qv::platform {
namespace {

using namespace std::chrono_literals;
using test::XvfbServer;
using test::ScopedEnvironment;

constexpr uint32_t kUiThread = 7;
constexpr uint32_t kNoMessageWaitMs = 300;
constexpr uint32_t kMessageWaitMs = 3000;

TEST(HotKeyGrabWithoutDisplay, NothingIsGrabbedAndNothingPosted) {
    ScopedEnvironment environment;
    environment.clear("DISPLAY");
    QueuePoster poster;
    {
        HotKeyGrab grab;
        EXPECT_EQ(grab.install(poster, kUiThread), kHotKeyGrabNoDisplay);
        EXPECT_FALSE(grab.installed());
        // A display that does not exist is the same as none.
        EXPECT_EQ(grab.install(poster, kUiThread, ":4093"), kHotKeyGrabNoDisplay);
        EXPECT_FALSE(grab.installed());
        grab.uninstall();
        grab.uninstall();
    }
    EXPECT_EQ(poster.pending(), 0u);
}

// ---- On a real X server, where one is installed ------------------------------------------------

// Synthesises key presses through the XTest extension, loaded at run time so that the build
// needs no XTest headers. The library stays loaded: it leaves a close hook on the display that
// XCloseDisplay calls later.
class FakeKeyboard {
public:
    explicit FakeKeyboard(Display* display) : display_(display) {
        void* library = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (library != nullptr) {
            fakeKey_ = reinterpret_cast<FakeKeyFn>(dlsym(library, "XTestFakeKeyEvent"));
        }
    }
    bool available() const { return fakeKey_ != nullptr; }
    // Presses `key` while holding Control (when `withControl`), then lets both go.
    void press(KeySym key, bool withControl) {
        const unsigned int control = XKeysymToKeycode(display_, XK_Control_L);
        const unsigned int code = XKeysymToKeycode(display_, key);
        if (withControl) {
            fakeKey_(display_, control, True, 0);
        }
        fakeKey_(display_, code, True, 0);
        fakeKey_(display_, code, False, 0);
        if (withControl) {
            fakeKey_(display_, control, False, 0);
        }
        XSync(display_, False);
    }

private:
    using FakeKeyFn = int (*)(Display*, unsigned int, Bool, unsigned long);
    Display* display_;
    FakeKeyFn fakeKey_ = nullptr;
};

class HotKeyGrabOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = xserver_.start();
        if (!why.empty()) {
            GTEST_SKIP() << why << "; the real grab is not tested";
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

    XvfbServer xserver_;
    std::string display_;
    Display* client_ = nullptr;
    QueuePoster poster_;
};

TEST_F(HotKeyGrabOnServer, ControlNAndControlMPostTheirKeys) {
    FakeKeyboard keyboard(client_);
    if (!keyboard.available()) {
        GTEST_SKIP() << "the XTest library is not installed";
    }
    HotKeyGrab grab;
    ASSERT_EQ(grab.install(poster_, kUiThread, display_), kHotKeyGrabOk);
    EXPECT_TRUE(grab.installed());
    EXPECT_EQ(grab.install(poster_, kUiThread, display_), kHotKeyGrabOk);  // installed once

    keyboard.press(XK_n, true);
    std::optional<PostedMessage> fan = poster_.take(kMessageWaitMs);
    ASSERT_TRUE(fan.has_value());
    EXPECT_EQ(fan->threadId, kUiThread);
    EXPECT_EQ(fan->message, kHotKeyGrabMessage);
    EXPECT_EQ(fan->wParam, kHotKeyGrabFan);

    keyboard.press(XK_m, true);
    std::optional<PostedMessage> clock = poster_.take(kMessageWaitMs);
    ASSERT_TRUE(clock.has_value());
    EXPECT_EQ(clock->message, kHotKeyGrabMessage);
    EXPECT_EQ(clock->wParam, kHotKeyGrabClock);

    // Without Control the keys belong to whoever has the focus.
    keyboard.press(XK_n, false);
    keyboard.press(XK_m, false);
    EXPECT_FALSE(poster_.take(kNoMessageWaitMs).has_value());

    grab.uninstall();
    EXPECT_FALSE(grab.installed());
    keyboard.press(XK_n, true);
    EXPECT_FALSE(poster_.take(kNoMessageWaitMs).has_value());
}

TEST_F(HotKeyGrabOnServer, AKeyHeldByAnotherClientIsReportedAsFailed) {
    const KeyCode m = XKeysymToKeycode(client_, XK_m);
    XGrabKey(client_, m, ControlMask, DefaultRootWindow(client_), True, GrabModeAsync,
             GrabModeAsync);
    XSync(client_, False);

    HotKeyGrab grab;
    EXPECT_EQ(grab.install(poster_, kUiThread, display_), kHotKeyGrabFailed);
    EXPECT_FALSE(grab.installed());

    // Once the other client lets go, the grab succeeds: the failed try left nothing behind.
    XUngrabKey(client_, m, ControlMask, DefaultRootWindow(client_));
    XSync(client_, False);
    EXPECT_EQ(grab.install(poster_, kUiThread, display_), kHotKeyGrabOk);
}

TEST_F(HotKeyGrabOnServer, UninstallReleasesTheKeysForTheNextProgram) {
    HotKeyGrab first;
    ASSERT_EQ(first.install(poster_, kUiThread, display_), kHotKeyGrabOk);
    HotKeyGrab second;
    EXPECT_EQ(second.install(poster_, kUiThread, display_), kHotKeyGrabFailed);
    first.uninstall();
    EXPECT_EQ(second.install(poster_, kUiThread, display_), kHotKeyGrabOk);
}

TEST_F(HotKeyGrabOnServer, TheServerGoingAwayEndsTheListenerQuietly) {
    HotKeyGrab grab;
    ASSERT_EQ(grab.install(poster_, kUiThread, display_), kHotKeyGrabOk);
    XCloseDisplay(client_);
    client_ = nullptr;
    xserver_.stop();
    // Whether the listener or the release meets the lost connection first, the process goes on.
    grab.uninstall();
    EXPECT_FALSE(grab.installed());
    EXPECT_EQ(poster_.pending(), 0u);
}

}  // namespace
}  // namespace qv::platform
