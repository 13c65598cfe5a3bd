#include "tuning/RemoteSession.h"

#include <chrono>
#include <ctime>

#include "remote/RemotePacket.h"

namespace qv::tuning {
namespace {

int32_t field(const std::string& body, size_t index) {
    return static_cast<int32_t>(remote::getUint32(body, index * 4));
}

}  // namespace

RemoteSelect parseSelect(const std::string& body) {
    return {field(body, 0), field(body, 1)};
}

RemoteClocks parseClocks(const std::string& body) {
    return {field(body, 0), field(body, 1), field(body, 2)};
}

int32_t parseFanLevel(const std::string& body) {
    return field(body, 0);
}

remote::StateFileTime localStateFileTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    return {static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
            static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(ms.count())};
}

RemoteSession::RemoteSession(gpu::GpuLayer& layer, const MainDialogModel& model,
                             RemoteSessionServices services)
    : layer_(layer), model_(model), services_(std::move(services)) {}

std::string RemoteSession::stateFilePath() const {
    return services_.folder + "/" + remote::kStateFileName;
}

std::string RemoteSession::fanRangeFilePath() const {
    return services_.folder + "/" + remote::kFanRangeFileName;
}

remote::StateFileTime RemoteSession::now() const {
    return services_.localTime ? services_.localTime() : localStateFileTime();
}

bool RemoteSession::selection(remote::StateFileSelection& values) {
    const int gpu = model_.gpuOnShow();
    if (gpu == kNoGpu) {
        return false;
    }
    uint32_t graphicsKHz = 0, processorKHz = 0, memoryKHz = 0;
    int kind = 0;
    if (layer_.currentClocksAndKind(static_cast<uint8_t>(gpu), graphicsKHz, processorKHz, memoryKHz,
                                    kind) != 0) {
        return false;
    }
    // The clocks written are the controls', not the ones just read: the read only tells that
    // the card answers.
    const MainDialogControls& c = model_.controls();
    values = {gpu, model_.pressedMode(), c.gpuClock.pos, c.shaderClock.pos, c.memoryClock.pos};
    return true;
}

int RemoteSession::writeStateFile() {
    const bool blink = services_.blinkSwitch && services_.blinkSwitch();
    const int first = remote::writeStateFileFirstPass(stateFilePath(), blink,
                                                      model_.controls().fanMode.pressed, now());
    remote::StateFileSelection values;
    if (first == remote::kStateFileOk && selection(values)) {
        remote::writeStateFileSecondPass(stateFilePath(), values.gpuIndex, values.mode,
                                         values.gpuMHz, values.shaderMHz, values.memoryMHz);
    }
    return first;
}

int RemoteSession::writeStateFileOnce() {
    const bool blink = services_.blinkSwitch && services_.blinkSwitch();
    remote::StateFileSelection values;
    const bool selected = selection(values);
    return remote::writeStateFileOnce(stateFilePath(), blink, model_.controls().fanMode.pressed,
                                      now(), selected ? &values : nullptr);
}

void RemoteSession::localApplyDone() {
    if (!services_.bridge->clientConnected()) {
        return;
    }
    writeStateFile();
    services_.bridge->sendStateFile(stateFilePath());
}

bool RemoteSession::remoteApplyPending() const {
    return services_.bridge->remoteApplyPending();
}

void RemoteSession::remoteApplyDone(bool succeeded) {
    services_.bridge->applyResult(succeeded);
}

void RemoteSession::fanRangeUpdate() {
    const int gpu = model_.gpuOnShow();
    if (gpu == kNoGpu || layer_.record(static_cast<uint8_t>(gpu)).fanKind == gpu::kFanNoCooler) {
        return;
    }
    const SliderState& fan = model_.controls().fanSpeed;
    remote::writeFanRange(fanRangeFilePath(), fan.min, fan.max);
}

bool RemoteSession::checkClientTimeOut() {
    const uint64_t nowMs = services_.clock != nullptr ? services_.clock->tickMs() : 0;
    if (!services_.bridge->timerDue(nowMs)) {
        return false;
    }
    if (services_.bridge->clientTimeOut() && services_.prompt != nullptr) {
        services_.prompt->show(services_.caption, remote::kClientOverTimeText,
                               platform::PromptIcon::kInformation, platform::PromptButtons::kOk);
    }
    return true;
}

void RemoteSession::noteActivity() {
    services_.bridge->noteActivity(services_.clock != nullptr ? services_.clock->tickMs() : 0);
}

void RemoteSession::replyWithState(uint32_t handle) {
    writeStateFileOnce();
    const int status = services_.bridge->sendStateFileTo(handle, stateFilePath());
    if (status != remote::kStateFileOk) {
        refuse(handle, status);
    }
}

void RemoteSession::refuse(uint32_t handle, int status) {
    std::string payload;
    remote::putUint32(payload, static_cast<uint32_t>(status));
    services_.bridge->sendTo(handle, remote::encodePacket(remote::kTypeCommandRefused, payload));
}

}  // namespace qv::tuning
