#include "app/FanGuard.h"

#include <charconv>

#include "gpu/DriverLoader.h"
#include "gpu/DriverStatus.h"
#include "gpu/GpuLayer.h"

namespace qv::app {

namespace {

constexpr std::string_view kDriverWord = "driver ";
constexpr std::string_view kFansWord = "fans";
constexpr std::string_view kByeWord = "bye";
constexpr int kDriverUnavailable = 1;

// "<n> <n> ..." as GPU indices; false when anything else is there.
bool parseGpus(std::string_view text, std::vector<uint8_t>& gpus) {
    gpus.clear();
    while (!text.empty()) {
        if (text.front() == ' ') {
            text.remove_prefix(1);
            continue;
        }
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc{} || value >= gpu::kMaxGpus) {
            return false;
        }
        gpus.push_back(static_cast<uint8_t>(value));
        text.remove_prefix(static_cast<size_t>(end - text.data()));
        if (!text.empty() && text.front() != ' ') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string fanGuardDriverLine(const std::string& libraryPath) {
    return std::string(kDriverWord) + libraryPath + "\n";
}

std::string fanGuardFansLine(const std::vector<uint8_t>& gpus) {
    std::string line(kFansWord);
    for (const uint8_t gpu : gpus) {
        line += " " + std::to_string(gpu);
    }
    return line + "\n";
}

std::string fanGuardByeLine() {
    return std::string(kByeWord) + "\n";
}

void FanGuardWatch::feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (c != '\n') {
            if (pending_.size() < kMaxLineBytes) {
                pending_.push_back(c);
            } else {
                overlong_ = true;
            }
            continue;
        }
        if (!overlong_) {
            takeLine(pending_);
        }
        pending_.clear();
        overlong_ = false;
    }
}

void FanGuardWatch::takeLine(std::string_view line) {
    if (line == kByeWord) {
        goodbye_ = true;
    } else if (line.starts_with(kDriverWord) && line.size() > kDriverWord.size()) {
        driver_ = std::string(line.substr(kDriverWord.size()));
    } else if (line.starts_with(kFansWord) &&
               (line.size() == kFansWord.size() || line[kFansWord.size()] == ' ')) {
        std::vector<uint8_t> gpus;
        if (parseGpus(line.substr(kFansWord.size()), gpus)) {
            gpus_ = std::move(gpus);
        }
    }
}

int returnFansToAutomatic(const std::string& libraryPath, const std::vector<uint8_t>& gpus) {
    drv::DriverLoader loader(libraryPath);
    gpu::GpuLayer layer(loader);
    if (layer.initialize() != gpu::kInitOk) {
        return kDriverUnavailable;
    }
    // The probe can still change how GPU 0's fan is reached.
    layer.waitForProbe();
    int first = drv::kOk;
    for (const uint8_t gpu : gpus) {
        const int status = gpu < layer.gpuCount() ? layer.setFanAutomatic(gpu) : drv::kOk;
        if (status != drv::kOk && first == drv::kOk) {
            first = status;
        }
    }
    return first;
}

}  // namespace qv::app
