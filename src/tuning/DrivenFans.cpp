#include "tuning/DrivenFans.h"

#include <string>

#include "gpu/DriverStatus.h"
#include "platform/DebugOutput.h"

namespace qv::tuning {

void DrivenFans::ruleDrives(uint8_t gpu) {
    if (gpu >= gpu::kMaxGpus || driven_[gpu]) {
        return;
    }
    driven_[gpu] = true;
    changed();
}

void DrivenFans::handedBack(uint8_t gpu) {
    if (gpu >= gpu::kMaxGpus || !driven_[gpu]) {
        return;
    }
    driven_[gpu] = false;
    changed();
}

std::vector<uint8_t> DrivenFans::gpus() const {
    std::vector<uint8_t> list;
    for (uint8_t gpu = 0; gpu < gpu::kMaxGpus; ++gpu) {
        if (driven_[gpu]) {
            list.push_back(gpu);
        }
    }
    return list;
}

int DrivenFans::returnToAutomatic(gpu::GpuLayer& layer) {
    int first = drv::kOk;
    bool any = false;
    for (const uint8_t gpu : gpus()) {
        const int status = layer.setFanAutomatic(gpu);
        platform::debugOutput("fans: GPU %u back to automatic (%d)\n", gpu, status);
        if (status == drv::kOk) {
            driven_[gpu] = false;
            any = true;
        } else if (first == drv::kOk) {
            first = status;
        }
    }
    if (any) {
        changed();
    }
    if (first == drv::kOk && link_ != nullptr) {
        link_->farewell();
    }
    return first;
}

void DrivenFans::changed() {
    const std::vector<uint8_t> list = gpus();
    std::string text;
    for (const uint8_t gpu : list) {
        text += " " + std::to_string(gpu);
    }
    platform::debugOutput("fans: driven by the rules:%s\n", text.empty() ? " none" : text.c_str());
    if (link_ != nullptr) {
        link_->drivenFansChanged(list);
    }
}

}  // namespace qv::tuning
