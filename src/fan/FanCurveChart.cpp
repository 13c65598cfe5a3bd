#include "fan/FanCurveChart.h"

#include <algorithm>
#include <cstdio>

namespace qv::fan {

namespace {

// value in [low, high] onto [0, span] pixels, rounded to the nearest pixel. 64-bit, so that any
// 32-bit value typed into a box maps without overflow.
int scale(int32_t value, int32_t low, int32_t high, int span) {
    if (span <= 0 || high <= low) {
        return 0;
    }
    const int64_t held = std::clamp<int64_t>(value, low, high);
    const int64_t numerator = (held - low) * span;
    const int64_t range = static_cast<int64_t>(high) - low;
    return static_cast<int>((2 * numerator + range) / (2 * range));
}

// The inverse: pixel offset in [0, span] back onto [low, high], rounded.
int32_t unscale(int offset, int32_t low, int32_t high, int span) {
    if (span <= 0 || high <= low) {
        return low;
    }
    const int64_t held = std::clamp(offset, 0, span);
    const int64_t range = static_cast<int64_t>(high) - low;
    return static_cast<int32_t>(low + (2 * held * range + span) / (2 * static_cast<int64_t>(span)));
}

std::vector<int32_t> ticks(int32_t low, int32_t high, int32_t step) {
    std::vector<int32_t> values;
    for (int32_t value = low; value <= high; value += step) {
        values.push_back(value);
    }
    return values;
}

}  // namespace

FanCurveChart::FanCurveChart(ChartRect plot) : plot_(plot) {}

int FanCurveChart::xOfTemperature(int32_t temperature) const {
    return plot_.left +
           scale(temperature, kChartTemperatureMin, kChartTemperatureMax, plot_.width - 1);
}

int FanCurveChart::yOfPercent(int32_t percent) const {
    const int span = plot_.height - 1;
    return plot_.top + std::max(span, 0) - scale(percent, kChartPercentMin, kChartPercentMax, span);
}

ChartPixel FanCurveChart::toPixel(int32_t temperature, int32_t percent) const {
    return {xOfTemperature(temperature), yOfPercent(percent)};
}

FanCurvePoint FanCurveChart::toValue(ChartPixel pixel) const {
    const int xSpan = plot_.width - 1;
    const int ySpan = plot_.height - 1;
    return {unscale(pixel.x - plot_.left, kChartTemperatureMin, kChartTemperatureMax, xSpan),
            unscale(plot_.top + ySpan - pixel.y, kChartPercentMin, kChartPercentMax, ySpan)};
}

std::vector<ChartPixel> FanCurveChart::linePath(const FanCurve& curve, int32_t mode) const {
    std::vector<ChartPixel> path;
    if (mode != kFanCurveSmooth && mode != kFanCurveZigzag) {
        return path;
    }
    const auto add = [&](int32_t temperature, int32_t percent) {
        const ChartPixel pixel = toPixel(temperature, percent);
        if (path.empty() || !(path.back() == pixel)) {
            path.push_back(pixel);
        }
    };
    add(kChartTemperatureMin, curve.front().percent);
    if (mode == kFanCurveSmooth) {
        for (const FanCurvePoint& point : curve) {
            add(point.temperature, point.percent);
        }
    } else {
        // The fan keeps the lower point's value up to and including the next point's
        // temperature, and takes the next value just above it.
        for (size_t i = 1; i < curve.size(); ++i) {
            add(curve[i].temperature, curve[i - 1].percent);
            add(curve[i].temperature, curve[i].percent);
        }
    }
    add(kChartTemperatureMax, curve.back().percent);
    return path;
}

std::optional<size_t> FanCurveChart::pointNear(const FanCurve& curve, ChartPixel cursor) const {
    std::optional<size_t> nearest;
    int64_t nearestDistance = 0;
    for (size_t i = 0; i < curve.size(); ++i) {
        const ChartPixel pixel = toPixel(curve[i]);
        const int64_t dx = static_cast<int64_t>(cursor.x) - pixel.x;
        const int64_t dy = static_cast<int64_t>(cursor.y) - pixel.y;
        const int64_t distance = dx * dx + dy * dy;
        if (distance > static_cast<int64_t>(kChartHoverRadius) * kChartHoverRadius) {
            continue;
        }
        if (!nearest || distance < nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

std::string FanCurveChart::hoverText(const FanCurve& curve, ChartPixel cursor) const {
    const std::optional<size_t> index = pointNear(curve, cursor);
    if (!index) {
        return {};
    }
    char text[32];
    std::snprintf(text, sizeof(text), kChartHoverFormat,
                  static_cast<int>(curve[*index].temperature),
                  static_cast<int>(curve[*index].percent));
    return text;
}

std::vector<int32_t> FanCurveChart::temperatureTicks() {
    return ticks(kChartTemperatureMin, kChartTemperatureMax, kChartTemperatureStep);
}

std::vector<int32_t> FanCurveChart::percentTicks() {
    return ticks(kChartPercentMin, kChartPercentMax, kChartPercentStep);
}

}  // namespace qv::fan
