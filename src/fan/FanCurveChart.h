// The geometry of the curve panel's chart: where the five curve points and the line between them
// lie in a plot rectangle, the value under a pixel, and the read-out of the point under the
// cursor. The window draws what this computes; nothing here knows how it is drawn.
//
// The axes are fixed: 0 to 120 degrees C across (the alarm powers the machine off above 120) and
// 0 to 100 percent up. Points outside that range are drawn on the nearest edge; the read-out
// still gives their own values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fan/FanRules.h"

namespace qv::fan {

inline constexpr int32_t kChartTemperatureMin = 0;
inline constexpr int32_t kChartTemperatureMax = 120;
inline constexpr int32_t kChartTemperatureStep = 20;  // grid lines and axis labels
inline constexpr int32_t kChartPercentMin = 0;
inline constexpr int32_t kChartPercentMax = 100;
inline constexpr int32_t kChartPercentStep = 20;

// The cursor reads a point out when it is at most this many pixels away from it.
inline constexpr int kChartHoverRadius = 5;
// The read-out of a point: its temperature, then its percent.
inline constexpr const char* kChartHoverFormat = "(%d,%d)";

struct ChartPixel {
    int x = 0;
    int y = 0;
    friend bool operator==(const ChartPixel&, const ChartPixel&) = default;
};

// The plot area in window pixels; y grows downwards, as on the screen.
struct ChartRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class FanCurveChart {
public:
    explicit FanCurveChart(ChartRect plot = {});

    void setPlot(ChartRect plot) { plot_ = plot; }
    const ChartRect& plot() const { return plot_; }

    // The pixel of a value pair, held to the plot rectangle.
    ChartPixel toPixel(int32_t temperature, int32_t percent) const;
    ChartPixel toPixel(const FanCurvePoint& point) const {
        return toPixel(point.temperature, point.percent);
    }
    int xOfTemperature(int32_t temperature) const;
    int yOfPercent(int32_t percent) const;
    // The value pair under a pixel, rounded to whole numbers and held to the axes.
    FanCurvePoint toValue(ChartPixel pixel) const;

    // The line the fan follows over the whole temperature axis: flat at F0 up to T0, then
    // straight lines between the points (smooth) or steps that rise just after each point's
    // temperature (zigzag), then flat at F4. Any other mode has no line.
    std::vector<ChartPixel> linePath(const FanCurve& curve, int32_t mode) const;

    // The index of the point nearest to the cursor within kChartHoverRadius pixels.
    std::optional<size_t> pointNear(const FanCurve& curve, ChartPixel cursor) const;
    // "(%d,%d)" of that point, or empty when no point is that near.
    std::string hoverText(const FanCurve& curve, ChartPixel cursor) const;

    // The axis values that get a grid line and a label.
    static std::vector<int32_t> temperatureTicks();
    static std::vector<int32_t> percentTicks();

private:
    ChartRect plot_;
};

}  // namespace qv::fan
