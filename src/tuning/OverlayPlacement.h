// Where the overlay line's desktop window goes, and how the user moves it. The line stays out of
// the way: by default it keeps clear of the program's own main window, it lets every click
// through to the windows below while the user is elsewhere (in a game), and it can be dragged
// with the left mouse button only while one of the program's own windows is the active window.
// A place the user dragged it to is stored ("OSDPositionX", "OSDPositionY") and used again at
// the next start while it is still on a screen.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"

namespace qv::tuning {

// Desktop coordinates in pixels; screens left of or above the primary one are negative.
struct OverlayPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const OverlayPoint&) const = default;
};

struct OverlaySize {
    int32_t width = 0;
    int32_t height = 0;
};

// A rectangle by its top-left corner and size. An empty one (no width or height) covers nothing.
struct OverlayRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// One screen: its whole area, and the part windows may use (without panels and docks).
struct OverlayScreen {
    OverlayRect geometry;
    OverlayRect available;
};

// From the edge of the screen's usable area.
inline constexpr int32_t kOverlayScreenMargin = 8;
// Between the line and the main window's frame.
inline constexpr int32_t kOverlayWindowGap = 8;
// A stored place counts as on a screen when this square at the line's top-left corner (or the
// whole line, when it is smaller) lies on one screen: enough to see it and take it again.
inline constexpr int32_t kOverlayVisibleCorner = 16;

// The default place. The screen is the one holding most of the main window's frame (the first
// screen, which the caller makes the primary one, when the frame is on none). Tried in order,
// the first that lies wholly in that screen's usable area and clear of the frame wins: the
// top-left corner; below the frame at the left edge; right of the frame at the top. (A place
// left of or above the frame is clear only where the corner already is.) When none is clear,
// the top-left corner of another screen clear of the frame; failing that, the corner of the main
// window's screen (the line then lies over the main window, which still takes every click
// through it).
// Without screens: (kOverlayScreenMargin, kOverlayScreenMargin).
OverlayPoint defaultOverlayPlace(std::span<const OverlayScreen> screens,
                                 const OverlayRect& mainWindow, OverlaySize size);

// Whether a line of `size` at `place` shows its top-left corner (kOverlayVisibleCorner) wholly
// on one screen. Safe for any 32-bit numbers.
bool overlayPlaceOnScreen(std::span<const OverlayScreen> screens, OverlayPoint place,
                          OverlaySize size);

// The chosen place while it is on a screen, else the default place.
OverlayPoint overlayPlace(std::span<const OverlayScreen> screens, const OverlayRect& mainWindow,
                          OverlaySize size, const std::optional<OverlayPoint>& chosen);

// The stored place, when both values are set.
std::optional<OverlayPoint> storedOverlayPlace(const settings::RegistrySettings& settings);

// The overlay window's rules: its place, whether it takes the mouse, and what a drag does.
class OverlayPlacement {
public:
    // The chosen place is read from `settings`; a drop is written to `store` and `settings`.
    // Either may be null: then a place the user chooses lasts for this run only.
    OverlayPlacement(settings::RegistryStore* store, settings::RegistrySettings* settings);

    // Where the window goes now.
    OverlayPoint place(std::span<const OverlayScreen> screens, const OverlayRect& mainWindow,
                       OverlaySize size) const;
    const std::optional<OverlayPoint>& chosen() const { return chosen_; }

    // Movable while one of the program's windows is active: the window then takes the mouse.
    // Otherwise clicks go through it. A drag under way goes on to its release either way.
    void setMovable(bool movable) { movable_ = movable; }
    bool movable() const { return movable_; }

    // The left button went down on the window at `pointer` while the window stood at
    // `windowPlace`. False, and no drag starts, while the window is not movable.
    bool press(OverlayPoint pointer, OverlayPoint windowPlace);
    bool dragging() const { return dragging_; }
    // Where the window goes with the pointer at `pointer`; nothing while no drag is under way.
    std::optional<OverlayPoint> drag(OverlayPoint pointer) const;
    // The button came up: where the window goes now; nothing while no drag was under way. A
    // drop on a screen becomes the chosen place and is stored. A drop off every screen forgets
    // the chosen place (stored as not set) and answers the default place. A press and release
    // without a move chooses nothing.
    std::optional<OverlayPoint> release(OverlayPoint pointer,
                                        std::span<const OverlayScreen> screens,
                                        const OverlayRect& mainWindow, OverlaySize size);

private:
    void choose(const std::optional<OverlayPoint>& place);

    settings::RegistryStore* store_;
    settings::RegistrySettings* settings_;
    std::optional<OverlayPoint> chosen_;
    bool movable_ = false;
    bool dragging_ = false;
    OverlayPoint pressPointer_;
    OverlayPoint pressPlace_;
};

}  // namespace qv::tuning
