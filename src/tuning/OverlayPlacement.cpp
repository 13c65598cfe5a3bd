#include "tuning/OverlayPlacement.h"

#include <algorithm>
#include <array>
#include <limits>

namespace qv::tuning {

namespace {

// A rectangle by its edges, right and bottom exclusive, wide enough that no sum of 32-bit
// coordinates and sizes overflows.
struct Box {
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = 0;
    int64_t bottom = 0;
};

Box boxOf(const OverlayRect& rect) {
    return {rect.x, rect.y, int64_t{rect.x} + std::max<int32_t>(rect.width, 0),
            int64_t{rect.y} + std::max<int32_t>(rect.height, 0)};
}

Box boxAt(int64_t x, int64_t y, OverlaySize size) {
    return {x, y, x + std::max<int32_t>(size.width, 0), y + std::max<int32_t>(size.height, 0)};
}

bool isEmpty(const Box& box) {
    return box.right <= box.left || box.bottom <= box.top;
}

bool liesIn(const Box& inner, const Box& outer) {
    return !isEmpty(outer) && inner.left >= outer.left && inner.top >= outer.top &&
           inner.right <= outer.right && inner.bottom <= outer.bottom;
}

int64_t overlapArea(const Box& a, const Box& b) {
    const int64_t width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int64_t height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

bool overlaps(const Box& a, const Box& b) {
    return overlapArea(a, b) > 0;
}

int32_t clampTo32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

OverlayPoint pointOf(int64_t x, int64_t y) {
    return {clampTo32(x), clampTo32(y)};
}

// The screen holding most of the frame; the first when it is on none.
size_t mainWindowScreen(std::span<const OverlayScreen> screens, const Box& frame) {
    size_t best = 0;
    int64_t bestArea = 0;
    for (size_t index = 0; index < screens.size(); ++index) {
        const int64_t area = overlapArea(boxOf(screens[index].geometry), frame);
        if (area > bestArea) {
            best = index;
            bestArea = area;
        }
    }
    return best;
}

struct Corner {
    int64_t x = 0;
    int64_t y = 0;
};

Corner cornerOf(const OverlayScreen& screen) {
    return {int64_t{screen.available.x} + kOverlayScreenMargin,
            int64_t{screen.available.y} + kOverlayScreenMargin};
}

bool isClear(const Corner& at, OverlaySize size, const Box& usable, const Box& frame) {
    const Box line = boxAt(at.x, at.y, size);
    return liesIn(line, usable) && !overlaps(line, frame);
}

}  // namespace

OverlayPoint defaultOverlayPlace(std::span<const OverlayScreen> screens,
                                 const OverlayRect& mainWindow, OverlaySize size) {
    if (screens.empty()) {
        return {kOverlayScreenMargin, kOverlayScreenMargin};
    }
    const Box frame = boxOf(mainWindow);
    const OverlayScreen& home = screens[mainWindowScreen(screens, frame)];
    const Box usable = boxOf(home.available);
    const Corner corner = cornerOf(home);
    const std::array<Corner, 3> candidates = {{
        corner,
        {corner.x, frame.bottom + kOverlayWindowGap},
        {frame.right + kOverlayWindowGap, corner.y},
    }};
    for (const Corner& candidate : candidates) {
        if (isClear(candidate, size, usable, frame)) {
            return pointOf(candidate.x, candidate.y);
        }
    }
    for (const OverlayScreen& other : screens) {
        const Corner otherCorner = cornerOf(other);
        if (&other != &home && isClear(otherCorner, size, boxOf(other.available), frame)) {
            return pointOf(otherCorner.x, otherCorner.y);
        }
    }
    return pointOf(corner.x, corner.y);
}

bool overlayPlaceOnScreen(std::span<const OverlayScreen> screens, OverlayPoint place,
                          OverlaySize size) {
    const OverlaySize corner{std::clamp<int32_t>(size.width, 1, kOverlayVisibleCorner),
                             std::clamp<int32_t>(size.height, 1, kOverlayVisibleCorner)};
    const Box seen = boxAt(place.x, place.y, corner);
    return std::any_of(screens.begin(), screens.end(), [&](const OverlayScreen& screen) {
        return liesIn(seen, boxOf(screen.geometry));
    });
}

OverlayPoint overlayPlace(std::span<const OverlayScreen> screens, const OverlayRect& mainWindow,
                          OverlaySize size, const std::optional<OverlayPoint>& chosen) {
    if (chosen.has_value() && overlayPlaceOnScreen(screens, *chosen, size)) {
        return *chosen;
    }
    return defaultOverlayPlace(screens, mainWindow, size);
}

std::optional<OverlayPoint> storedOverlayPlace(const settings::RegistrySettings& settings) {
    if (settings.osdPositionX == settings::kOsdPositionNotSet ||
        settings.osdPositionY == settings::kOsdPositionNotSet) {
        return std::nullopt;
    }
    return OverlayPoint{settings.osdPositionX, settings.osdPositionY};
}

OverlayPlacement::OverlayPlacement(settings::RegistryStore* store,
                                   settings::RegistrySettings* settings)
    : store_(store), settings_(settings) {
    if (settings_ != nullptr) {
        chosen_ = storedOverlayPlace(*settings_);
    }
}

OverlayPoint OverlayPlacement::place(std::span<const OverlayScreen> screens,
                                     const OverlayRect& mainWindow, OverlaySize size) const {
    return overlayPlace(screens, mainWindow, size, chosen_);
}

bool OverlayPlacement::press(OverlayPoint pointer, OverlayPoint windowPlace) {
    if (!movable_) {
        return false;
    }
    dragging_ = true;
    pressPointer_ = pointer;
    pressPlace_ = windowPlace;
    return true;
}

std::optional<OverlayPoint> OverlayPlacement::drag(OverlayPoint pointer) const {
    if (!dragging_) {
        return std::nullopt;
    }
    return pointOf(int64_t{pressPlace_.x} + pointer.x - pressPointer_.x,
                   int64_t{pressPlace_.y} + pointer.y - pressPointer_.y);
}

std::optional<OverlayPoint> OverlayPlacement::release(OverlayPoint pointer,
                                                      std::span<const OverlayScreen> screens,
                                                      const OverlayRect& mainWindow,
                                                      OverlaySize size) {
    const std::optional<OverlayPoint> dropped = drag(pointer);
    dragging_ = false;
    if (!dropped.has_value()) {
        return std::nullopt;
    }
    if (pointer == pressPointer_) {
        return pressPlace_;
    }
    if (overlayPlaceOnScreen(screens, *dropped, size)) {
        choose(dropped);
        return dropped;
    }
    choose(std::nullopt);
    return defaultOverlayPlace(screens, mainWindow, size);
}

void OverlayPlacement::choose(const std::optional<OverlayPoint>& place) {
    chosen_ = place;
    if (store_ == nullptr || settings_ == nullptr) {
        return;
    }
    settings::saveOsdPosition(*store_, *settings_,
                              place.has_value() ? place->x : settings::kOsdPositionNotSet,
                              place.has_value() ? place->y : settings::kOsdPositionNotSet);
}

}  // namespace qv::tuning
