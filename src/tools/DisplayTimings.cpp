#include "tools/DisplayTimings.h"

#include <cstdio>
#include <limits>

namespace qv::tools {

namespace {
constexpr uint32_t kColourDepth = 32;
}

uint64_t DisplayTiming::refreshFromPixelClock() const {
    const uint64_t pixels = static_cast<uint64_t>(totalWidth()) * totalHeight();
    return pixels == 0 ? 0 : pixelClockHz * kMilliHzPerHz / pixels;
}

DisplayTiming buildTiming(uint32_t width, uint32_t height, uint32_t refreshMilliHz) {
    DisplayTiming t;
    t.width = width;
    t.height = height;
    t.refreshMilliHz = refreshMilliHz;
    // Exact in integers: the product is divided by 1000 only once, at the end. Sizes whose
    // product does not fit are beyond any limit anyway and saturate.
    const uint64_t pixels = static_cast<uint64_t>(t.totalWidth()) * t.totalHeight();
    if (refreshMilliHz != 0 && pixels > std::numeric_limits<uint64_t>::max() / refreshMilliHz) {
        t.pixelClockHz = std::numeric_limits<uint64_t>::max();
    } else {
        t.pixelClockHz = pixels * refreshMilliHz / kMilliHzPerHz;
    }
    return t;
}

uint32_t monitorsAcross(uint32_t registerValue) {
    return registerValue == 0 || registerValue > kMaxMonitorsAcross ? 1 : registerValue;
}

std::vector<TimingEntry> timingList(uint32_t monitors) {
    const uint32_t n = monitorsAcross(monitors);
    std::vector<TimingEntry> list;
    for (const BaseSize& size : kBaseSizes) {
        if (list.size() >= kTimingListMaxSizes) {
            break;
        }
        for (const uint32_t hz : kListRefreshRatesHz) {
            const DisplayTiming t = buildTiming(size.width * n, size.height, hz * kMilliHzPerHz);
            if (t.pixelClockHz < kPixelClockLimitHz) {
                char text[64];
                std::snprintf(text, sizeof(text), kTimingEntryFormat, static_cast<int>(t.width),
                              static_cast<int>(t.height), static_cast<int>(hz),
                              static_cast<double>(t.pixelClockHz) / 1000000.0);
                list.push_back({text, t, false});
                break;
            }
        }
    }
    list.push_back({kManualTimingText, {}, true});
    return list;
}

bool customDisplayFor(const DisplayTiming& timing, drv::CustomDisplay& display) {
    if (timing.width == 0 || timing.height == 0 || timing.pixelClockHz == 0 ||
        timing.pixelClockHz > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    display = {};
    display.version = drv::kCustomDisplayVersion;
    display.width = timing.width;
    display.height = timing.height;
    display.depth = kColourDepth;
    display.xRatio = 1.0f;
    display.yRatio = 1.0f;
    uint32_t* f = display.timing.fields;
    f[drv::kTimingHorizontalVisible] = timing.width;
    f[drv::kTimingHorizontalTotal] = timing.totalWidth();
    f[drv::kTimingHorizontalSyncWidth] = kTimingHorizontalSync;
    f[drv::kTimingHorizontalFrontPorch] = kTimingHorizontalPorch;
    f[drv::kTimingHorizontalSyncPolarity] = kTimingSyncPolarity;
    f[drv::kTimingVerticalVisible] = timing.height;
    f[drv::kTimingVerticalTotal] = timing.totalHeight();
    f[drv::kTimingVerticalSyncWidth] = kTimingVerticalSync;
    f[drv::kTimingVerticalFrontPorch] = kTimingVerticalPorch;
    f[drv::kTimingVerticalSyncPolarity] = kTimingSyncPolarity;
    f[drv::kTimingPixelClockHz] = static_cast<uint32_t>(timing.pixelClockHz);
    return true;
}

}  // namespace qv::tools
