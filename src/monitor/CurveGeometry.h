// Everything the curve control draws, worked out without a window: the bands with their
// captions, GPU legends and latest values, the moving grid, the axis labels, the curve strokes
// and the hover read-out. The Qt control paints the lists in the order they are declared.
#pragma once

#include <string>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "monitor/CurveModel.h"
#include "monitor/MonitorItems.h"
#include "monitor/Para.h"
#include "platform/LocalTime.h"

namespace qv::monitor {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

struct Line {
    Point from;
    Point to;
    friend bool operator==(const Line&, const Line&) = default;
};

// A text drawn left-aligned and vertically centred in its box.
struct TextItem {
    Box box;
    std::string text;
    Rgb colour;
};

// One unbroken polyline of a curve; a stroke of one point draws that point.
struct Stroke {
    size_t gpu = 0;
    size_t item = 0;
    Rgb colour;
    std::vector<Point> points;
};

struct CurveGeometry {
    int width = 0;
    int height = 0;
    // On the black background, in white: "<caption>(<unit>):" per shown band; the GPU legends
    // "GPU n" in their colours.
    std::vector<TextItem> captions;
    std::vector<TextItem> latestValues;
    std::vector<Line> grid;       // kGridColour, 1 pixel; empty when the grid is off
    std::vector<Box> blackFills;  // the left strip and the strip below the last band
    std::vector<TextItem> axisLabels;
    std::vector<Stroke> strokes;
    std::vector<TextItem> hoverReadouts;
};

// The mouse over the control: its x in control coordinates.
struct HoverState {
    bool over = false;
    int x = -1;
};

// Seconds from the current time back to the sample's (0 or less). A sample hour later than the
// current hour was taken the day before.
int sampleAgeSeconds(const Para& sample, const platform::LocalDateTime& now);
// The plot column of a sample: the right edge plus its age in sampling periods.
int sampleX(const Para& sample, const platform::LocalDateTime& now, int plotRight,
            uint32_t periodMs);

CurveGeometry computeCurveGeometry(const CurveModel& model, const HoverState& hover = {},
                                   const lang::CMultiLangSupp& language = lang::languageTable());

// The language table's caption of an item in the user's language.
std::string itemCaption(size_t item, const lang::CMultiLangSupp& language = lang::languageTable());

}  // namespace qv::monitor
