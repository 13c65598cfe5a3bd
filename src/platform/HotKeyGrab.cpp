#include "platform/HotKeyGrab.h"

#include <poll.h>

#include <array>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/DebugOutput.h"

// Xlib last: its macros (None, Bool, Status, KeyPress...) must not reach our own headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace qv::platform {

namespace {

// How long the listening thread waits on the connection before it looks at its stop request.
constexpr int kListenPollMs = 100;

// Ctrl, alone and with Caps Lock and Num Lock (Mod2 on common layouts), so that the keys work
// whatever the lock keys' state is.
constexpr std::array<unsigned int, 4> kGrabModifiers = {
    ControlMask, ControlMask | LockMask, ControlMask | Mod2Mask, ControlMask | LockMask | Mod2Mask};

// The error handler is one per process: installs take turns, and while one checks its grab,
// errors of other connections go on to the handler that was there before.
std::mutex gErrorHandlerMutex;
Display* gCheckedDisplay = nullptr;
bool gGrabRefused = false;
XErrorHandler gPreviousHandler = nullptr;

int grabErrorHandler(Display* display, XErrorEvent* event) {
    if (display == gCheckedDisplay) {
        gGrabRefused = true;
        return 0;
    }
    return gPreviousHandler != nullptr ? gPreviousHandler(display, event) : 0;
}

void reportUnavailable(const char* why) {
    debugOutput("hot keys: %s; Ctrl+N and Ctrl+M are not available\n", why);
}

Display* asDisplay(void* display) {
    return static_cast<Display*>(display);
}

// A fatal connection error goes first to the process-wide I/O error handler, whose default
// ends the process, then to the connection's exit handler. For our connections the process-wide
// handler returns, and the exit handler only notes the loss so that the listening thread stops.
// Other connections keep whatever handler was there before.
std::mutex gConnectionsMutex;
std::set<Display*> gOwnConnections;
XIOErrorHandler gPreviousIoHandler = nullptr;

int ioErrorHandler(Display* display) {
    {
        std::lock_guard lock(gConnectionsMutex);
        if (gOwnConnections.count(display) != 0) {
            return 0;
        }
    }
    return gPreviousIoHandler != nullptr ? gPreviousIoHandler(display) : 0;
}

void connectionLost(Display*, void* userData) {
    static_cast<std::atomic<bool>*>(userData)->store(true);
}

void watchConnection(Display* display, std::atomic<bool>* lost) {
    static std::once_flag installed;
    std::call_once(installed, [] { gPreviousIoHandler = XSetIOErrorHandler(ioErrorHandler); });
    {
        std::lock_guard lock(gConnectionsMutex);
        gOwnConnections.insert(display);
    }
    XSetIOErrorExitHandler(display, connectionLost, lost);
}

void forgetConnection(Display* display) {
    std::lock_guard lock(gConnectionsMutex);
    gOwnConnections.erase(display);
}

// Grabs `keycode` with every modifier set on the root window; false when the server refused one.
bool grabKeys(Display* display, const std::array<KeyCode, 2>& keycodes) {
    std::lock_guard lock(gErrorHandlerMutex);
    gCheckedDisplay = display;
    gGrabRefused = false;
    gPreviousHandler = XSetErrorHandler(grabErrorHandler);
    const Window root = DefaultRootWindow(display);
    for (const KeyCode keycode : keycodes) {
        for (const unsigned int modifiers : kGrabModifiers) {
            XGrabKey(display, keycode, modifiers, root, True, GrabModeAsync, GrabModeAsync);
        }
    }
    // The server answers a refused grab (another client holds the key) with an error; the sync
    // makes sure every answer has arrived before the handler goes back.
    XSync(display, False);
    XSetErrorHandler(gPreviousHandler);
    gCheckedDisplay = nullptr;
    gPreviousHandler = nullptr;
    return !gGrabRefused;
}

}  // namespace

HotKeyGrab::~HotKeyGrab() {
    uninstall();
}

int HotKeyGrab::install(Poster& poster, uint32_t threadId, const std::string& display) {
    if (installed_) {
        return kHotKeyGrabOk;
    }
    std::string name = display;
    if (name.empty()) {
        const char* fromEnvironment = std::getenv("DISPLAY");
        name = fromEnvironment != nullptr ? fromEnvironment : "";
    }
    if (name.empty()) {
        reportUnavailable("no X11 display is set");
        return kHotKeyGrabNoDisplay;
    }
    Display* connection = XOpenDisplay(name.c_str());
    if (connection == nullptr) {
        reportUnavailable("the X11 display cannot be opened");
        return kHotKeyGrabNoDisplay;
    }
    display_ = connection;
    connectionLost_ = false;
    watchConnection(connection, &connectionLost_);
    const KeyCode fan = XKeysymToKeycode(connection, XK_n);
    const KeyCode clock = XKeysymToKeycode(connection, XK_m);
    if (fan == 0 || clock == 0) {
        releaseDisplay();
        reportUnavailable("the keyboard has no N or M key");
        return kHotKeyGrabFailed;
    }
    fanKeycode_ = fan;
    clockKeycode_ = clock;
    if (!grabKeys(connection, {fan, clock})) {
        releaseDisplay();
        reportUnavailable("another program holds Ctrl+N or Ctrl+M");
        return kHotKeyGrabFailed;
    }
    poster_ = &poster;
    threadId_ = threadId;
    installed_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { listen(stop); });
    return kHotKeyGrabOk;
}

void HotKeyGrab::uninstall() {
    if (!installed_) {
        return;
    }
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    releaseDisplay();
    installed_ = false;
    poster_ = nullptr;
}

void HotKeyGrab::releaseDisplay() {
    Display* connection = asDisplay(display_);
    if (connection == nullptr) {
        return;
    }
    // Reading what is pending notices a server that went away since the last look.
    if (!connectionLost_) {
        XPending(connection);
    }
    if (connectionLost_) {
        // Xlib cannot close a connection after a fatal error (it waits for a reply that never
        // comes), so the dead connection is left as it is; its grabs died with the server.
        display_ = nullptr;
        fanKeycode_ = 0;
        clockKeycode_ = 0;
        return;
    }
    const Window root = DefaultRootWindow(connection);
    for (const uint32_t keycode : {fanKeycode_, clockKeycode_}) {
        if (keycode == 0) {
            continue;
        }
        for (const unsigned int modifiers : kGrabModifiers) {
            XUngrabKey(connection, static_cast<int>(keycode), modifiers, root);
        }
    }
    // Closing flushes the ungrabs; the server would drop the grabs with the connection anyway.
    XCloseDisplay(connection);
    forgetConnection(connection);
    display_ = nullptr;
    fanKeycode_ = 0;
    clockKeycode_ = 0;
}

void HotKeyGrab::listen(std::stop_token stop) {
    Display* connection = asDisplay(display_);
    pollfd waiting{ConnectionNumber(connection), POLLIN, 0};
    while (!stop.stop_requested() && !connectionLost_) {
        // Events already read into Xlib's queue do not show on the descriptor: drain them first.
        while (!connectionLost_ && XPending(connection) > 0) {
            XEvent event;
            XNextEvent(connection, &event);
            if (event.type != KeyPress) {
                continue;
            }
            const unsigned int keycode = event.xkey.keycode;
            if (keycode == fanKeycode_) {
                poster_->postThreadMessage(threadId_, kHotKeyGrabMessage, kHotKeyGrabFan, 0);
            } else if (keycode == clockKeycode_) {
                poster_->postThreadMessage(threadId_, kHotKeyGrabMessage, kHotKeyGrabClock, 0);
            }
        }
        waiting.revents = 0;
        poll(&waiting, 1, kListenPollMs);
        if ((waiting.revents & POLLNVAL) != 0) {
            break;
        }
    }
    if (connectionLost_) {
        debugOutput("hot keys: the X11 connection was lost; Ctrl+N and Ctrl+M stop working\n");
    }
}

}  // namespace qv::platform
