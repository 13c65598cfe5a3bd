#include "tuning/MainFrameModel.h"

#include <algorithm>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "settings/StartArguments.h"

namespace qv::tuning {

void MainFrameModel::load(gpu::GpuLayer& layer, bool hardwareReady, bool simulated) {
    simulated_ = simulated;
    entries_.clear();
    if (!hardwareReady) {
        return;
    }
    const size_t count = std::min<size_t>(layer.gpuCount(), kFrameMaxGpus);
    for (size_t i = 0; i < count; ++i) {
        std::string name;
        if (layer.boardName(static_cast<uint8_t>(i), name) != 0 || name.empty()) {
            name = std::string(lang::languageTable().text(lang::kTextGpu)) + " " +
                   std::to_string(i + 1);
        }
        entries_.push_back(name);
    }
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
