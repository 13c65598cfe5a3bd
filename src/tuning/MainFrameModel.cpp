#include "lang/LanguageRows.h"
#include "tuning/MainFrameModel.h"

#include <algorithm>
#include <cstdio>

#include "settings/StartArguments.h"
#include "lang/CMultiLangSupp.h"

namespace qv::tuning {

void MainFrameModel::load(gpu::GpuLayer& layer, bool hardwareReady, bool simulated) {
    simulated_ = simulated;
    entries_.clear();
    gpuOnShow_ = -1;
    temperature_ = -1;
    if (!hardwareReady) {
        return;
    }
    const size_t count = std::min<size_t>(layer.gpuCount(), kFrameMaxGpus);
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        if (layer.boardName(static_cast<uint8_t>(i), name) != 0 || name.empty()) {
            name = std::string(lang::languageTable().text(lang::kTextGpu)) + " " + std::to_string(i + 1);
        }
        entries_.push_back(name);
    }
    if (!entries_.empty()) {
        selectGpu(layer, 0);
    }
}

bool MainFrameModel::selectGpu(gpu::GpuLayer& layer, int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return false;
    }
    gpuOnShow_ = index;
    int32_t celsius = -1;
    temperature_ = layer.gpuTemperature(static_cast<uint8_t>(index), celsius) == 0 ? celsius : -1;
    return true;
}

std::string MainFrameModel::temperatureText() const {
    if (temperature_ < 0) {
        return kMissingValueText;
    }
    char text[16];
    std::snprintf(text, sizeof(text), "%3d", temperature_);
    return text;
}

std::string MainFrameModel::caption() const {
    return lang::languageTable().text(lang::kTextAppName);
}

std::string MainFrameModel::statusLine() const {
    return simulated_ ? kSimulatedNotice : "";
}

StartAction MainFrameModel::startAction(int startMode) {
    switch (startMode) {
        case settings::kStartModeMinimize:
            return StartAction::kMinimize;
        case settings::kStartModeSysTray:
            return StartAction::kHide;
        default:
            return StartAction::kShowNormal;
    }
}

bool MainFrameModel::isDragPoint(int y, bool shownNormally) {
    return shownNormally && y >= 0 && y < kFrameDragHeight;
}

}  // namespace qv::tuning
