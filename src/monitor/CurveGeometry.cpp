#include "monitor/CurveGeometry.h"

#include <algorithm>
#include <cstdio>

#include "lang/CMultiLangSupp.h"

namespace qv::monitor {
namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerDay = 24 * kSecondsPerHour;
constexpr uint32_t kMsPerSecond = 1000;

std::string formatted(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof(text), format, values...);
    return text;
}

int bandTop(int band) {
    return band * kBandHeight;
}

// The GPU slots that have a source, in slot order.
std::vector<size_t> fedGpus(const CurveModel& model) {
    std::vector<size_t> gpus;
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        if (model.gpuHasSource(gpu)) {
            gpus.push_back(gpu);
        }
    }
    return gpus;
}

// The shown items, in band order.
std::vector<size_t> shownItems(const CurveModel& model) {
    std::vector<size_t> items;
    for (size_t i = 0; i < kMonitorItemCount; ++i) {
        if (model.item(i).shown) {
            items.push_back(i);
        }
    }
    return items;
}

bool withinBounds(int32_t value, const CurveItem& item) {
    return value != kNoValue && value >= item.lower && value <= item.upper;
}

void addCaptions(const CurveModel& model, const std::vector<size_t>& items,
                 const std::vector<size_t>& gpus, const lang::CMultiLangSupp& language,
                 CurveGeometry& out) {
    const std::string gpuWord = language.text(lang::kTextGpu);
    const int right = model.plotRight();
    for (size_t band = 0; band < items.size(); ++band) {
        const size_t item = items[band];
        const int top = bandTop(static_cast<int>(band));
        const Box captionLine{kCaptionX, top + kCaptionTop, kLegendX, top + kBandCaptionHeight};
        out.captions.push_back({captionLine,
                                itemCaption(item, language) + formatted("(%s):", kItems[item].unit),
                                kWhite});
        int x = kLegendX;
        for (const size_t gpu : gpus) {
            out.captions.push_back(
                {{x, top + kCaptionTop, x + kLegendStep, top + kBandCaptionHeight},
                 formatted("%s %d", gpuWord.c_str(), static_cast<int>(gpu) + 1),
                 kGpuColours[gpu]});
            x += kLegendStep;
        }
        for (size_t row = 0; row < gpus.size(); ++row) {
            const size_t gpu = gpus[row];
            const Para* newest = model.queue(gpu, item).newest();
            if (newest == nullptr || !withinBounds(newest->value, model.item(item))) {
                continue;
            }
            const int rowTop = top + static_cast<int>(row) * kValueRowHeight;
            out.latestValues.push_back(
                {{right, rowTop + kValueTop, model.width(), rowTop + kValueBottom},
                 formatted("%d ", newest->value),
                 kGpuColours[gpu]});
        }
    }
}

void addGrid(const CurveModel& model, size_t bands, CurveGeometry& out) {
    const int right = model.plotRight();
    for (size_t band = 0; band < bands; ++band) {
        const int top = bandTop(static_cast<int>(band));
        for (int x = right - model.tickCounter(); x >= kLeftMargin; x -= kGridStep) {
            out.grid.push_back({{x, top + kBandCaptionHeight}, {x, top + kBandHeight}});
        }
        for (int y = top + kBandCaptionHeight; y <= top + kBandHeight; y += kGridStep) {
            out.grid.push_back({{kLeftMargin, y}, {right, y}});
        }
    }
}

void addAxisLabels(const CurveModel& model, const std::vector<size_t>& items, CurveGeometry& out) {
    const int bandsBottom = bandTop(static_cast<int>(items.size()));
    out.blackFills.push_back({0, 0, kLeftMargin, model.height()});
    out.blackFills.push_back({0, bandsBottom, model.width(), model.height()});
    for (size_t band = 0; band < items.size(); ++band) {
        const CurveItem& item = model.item(items[band]);
        const int top = bandTop(static_cast<int>(band)) + kBandCaptionHeight;
        const int bottom = bandTop(static_cast<int>(band)) + kBandHeight;
        out.axisLabels.push_back({{0, bottom - kLabelAbove, kLeftMargin, bottom + kLabelBelow},
                                  formatted("%d", item.lower),
                                  kWhite});
        out.axisLabels.push_back({{0, top - kLabelAbove, kLeftMargin, top + kLabelBelow},
                                  formatted("%d", item.upper),
                                  kWhite});
    }
}

void addCurve(const CurveModel& model, size_t gpu, size_t item, int band, const HoverState& hover,
              CurveGeometry& out) {
    const CCurveQueue& queue = model.queue(gpu, item);
    const CurveItem& scale = model.item(item);
    const int top = bandTop(band) + kBandCaptionHeight;
    const int bottom = bandTop(band) + kBandHeight;
    Stroke stroke{gpu, item, kGpuColours[gpu], {}};
    const auto endStroke = [&] {
        if (!stroke.points.empty()) {
            out.strokes.push_back(stroke);
            stroke.points.clear();
        }
    };
    bool havePrevious = false;
    int previousX = 0;
    for (size_t n = queue.count(); n > 0; --n) {
        const Para& sample = *queue.at(n - 1);
        const int x =
            sampleX(sample, model.currentTime(), model.plotRight(), model.samplingPeriodMs());
        if (x < kLeftMargin) {
            break;
        }
        if (havePrevious && x == previousX) {
            continue;
        }
        if (x > model.plotRight()) {
            // Taken "later" than now: the clock was set back. Not drawn over the value boxes.
            endStroke();
            continue;
        }
        havePrevious = true;
        previousX = x;
        if (!withinBounds(sample.value, scale)) {
            endStroke();
            continue;
        }
        const int y =
            sample.value == scale.upper
                ? top
                : bottom - static_cast<int>(static_cast<float>(sample.value - scale.lower) /
                                            scale.scale);
        if (y < top || y > bottom) {
            endStroke();
            continue;
        }
        stroke.points.push_back({x, y});
        if (hover.over && hover.x == x) {
            out.hoverReadouts.push_back(
                {{x - kHoverLeft, y - kHoverHalfHeight, x + kHoverRight, y + kHoverHalfHeight},
                 formatted("%d%s @%d:%d:%d", sample.value, model.unit(gpu, item),
                           static_cast<int>(sample.hour), static_cast<int>(sample.minute),
                           static_cast<int>(sample.second)),
                 kHoverColour});
        }
    }
    endStroke();
}

}  // namespace

std::string itemCaption(size_t item, const lang::CMultiLangSupp& language) {
    return item < kMonitorItemCount ? language.text(kItems[item].captionRow) : "";
}

int sampleAgeSeconds(const Para& sample, const platform::LocalDateTime& now) {
    int age = (sample.minute - now.minute) * kSecondsPerMinute + sample.second +
              (sample.hour - now.hour) * kSecondsPerHour - now.second;
    if (sample.hour > now.hour) {
        age -= kSecondsPerDay;
    }
    return age;
}

int sampleX(const Para& sample, const platform::LocalDateTime& now, int plotRight,
            uint32_t periodMs) {
    const int periodSeconds = std::max(1, static_cast<int>(periodMs / kMsPerSecond));
    return plotRight + sampleAgeSeconds(sample, now) / periodSeconds;
}

CurveGeometry computeCurveGeometry(const CurveModel& model, const HoverState& hover,
                                   const lang::CMultiLangSupp& language) {
    CurveGeometry out;
    out.width = model.width();
    out.height = model.height();
    const std::vector<size_t> items = shownItems(model);
    const std::vector<size_t> gpus = fedGpus(model);
    addCaptions(model, items, gpus, language, out);
    if (model.grid()) {
        addGrid(model, items.size(), out);
    }
    addAxisLabels(model, items, out);
    for (size_t gpu = 0; gpu < kMonitorGpuSlots; ++gpu) {
        for (size_t band = 0; band < items.size(); ++band) {
            if (model.hasSource(gpu, items[band])) {
                addCurve(model, gpu, items[band], static_cast<int>(band), hover, out);
            }
        }
    }
    return out;
}

}  // namespace qv::monitor
