// The two global hot keys, Ctrl+N (fan boost) and Ctrl+M (clock boost), grabbed on the X11
// display. A key press posts the main window's hot-key message with the key's number, exactly as
// the window's own handling expects it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/Poster.h"

namespace qv::platform {

inline constexpr uint32_t kHotKeyGrabMessage = 0x0FB8;
inline constexpr uint32_t kHotKeyGrabFan = 0;    // Ctrl+N
inline constexpr uint32_t kHotKeyGrabClock = 1;  // Ctrl+M

inline constexpr int kHotKeyGrabOk = 0;
inline constexpr int kHotKeyGrabNoDisplay = -1;  // no X11 display to grab on
inline constexpr int kHotKeyGrabFailed = -2;     // the display refused the grab

class HotKeyGrab {
public:
    HotKeyGrab() = default;
    // Releases the grab and stops the listening thread.
    ~HotKeyGrab();
    HotKeyGrab(const HotKeyGrab&) = delete;
    HotKeyGrab& operator=(const HotKeyGrab&) = delete;

    // Grabs both keys on `display` (empty: $DISPLAY) and listens on a thread of its own, posting
    // kHotKeyGrabMessage to `threadId` through `poster`. Installed once: a second call answers
    // kHotKeyGrabOk without grabbing again. Without a display the grab is not installed, a line
    // saying so goes to the debug log, and kHotKeyGrabNoDisplay is answered.
    int install(Poster& poster, uint32_t threadId, const std::string& display = {});
    bool installed() const { return installed_; }
    void uninstall();

private:
    void listen(std::stop_token stop);
    // Releases every grab made and closes the connection.
    void releaseDisplay();

    bool installed_ = false;
    // Set by Xlib's fatal-error path instead of ending the process when the server goes away.
    std::atomic<bool> connectionLost_{false};
    // The key codes of N and M on the display; 0 until grabbed.
    uint32_t fanKeycode_ = 0;
    uint32_t clockKeycode_ = 0;
    void* display_ = nullptr;  // the X11 connection, owned by the listening thread once started
    Poster* poster_ = nullptr;
    uint32_t threadId_ = 0;
    std::jthread thread_;
};

}  // namespace qv::platform
