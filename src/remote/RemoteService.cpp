#include "remote/RemoteService.h"

#include "settings/RegistrySettings.h"
#include "settings/RegistryValues.h"

namespace qv::remote {

RemoteSettings readRemoteSettings(settings::RegistryStore& store) {
    RemoteSettings wanted;
    uint32_t value = 0;
    wanted.enabled = store.readValue(settings::kValueRemoteBridge, value) && value != 0;
    if (store.readValue(settings::kValueRemotePort, value) && value > 0 && value <= 65535) {
        wanted.port = static_cast<uint16_t>(value);
    }
    std::string text;
    if (store.readText(settings::kValueRemoteListenAddress, text) && !text.empty()) {
        wanted.listenAddress = text;
    }
    text.clear();
    if (store.readText(kValueRemoteBroadcast, text)) {
        wanted.broadcastTarget = text;
    }
    wanted.password = static_cast<uint32_t>(settings::kDefaultIphonePassword);
    store.readValue(settings::kValueIphonePassWord, wanted.password);
    return wanted;
}

RemoteService::RemoteService(platform::Clock& clock, platform::Poster* poster, uint32_t uiThreadId)
    : clock_(clock), poster_(poster), uiThreadId_(uiThreadId) {}

RemoteService::~RemoteService() {
    stop();
}

void RemoteService::stop() {
    if (server_) {
        server_->stop();
        server_.reset();
    }
    bridge_.setRemoteApplyPending(false);
}

int RemoteService::follow(const RemoteSettings& wanted) {
    if (!wanted.enabled) {
        stop();
        return kServerOk;
    }
    if (server_ && running_ == wanted) {
        return kServerOk;
    }
    if (server_ && running_.listenAddress == wanted.listenAddress && running_.port == wanted.port &&
        running_.broadcastTarget == wanted.broadcastTarget) {
        // Only the password changed: connections already logged in stay.
        server_->setPassword(wanted.password);
        running_ = wanted;
        return kServerOk;
    }
    stop();
    RemoteServerOptions options;
    options.listenAddress = wanted.listenAddress;
    options.port = wanted.port;
    options.password = wanted.password;
    options.broadcastTarget = wanted.broadcastTarget;
    options.clock = &clock_;
    options.poster = poster_;
    options.uiThreadId = uiThreadId_;
    auto server = std::make_unique<RemoteServer>(bridge_, options);
    const int status = server->start();
    if (status != kServerOk) {
        return status;
    }
    server_ = std::move(server);
    running_ = wanted;
    return kServerOk;
}

}  // namespace qv::remote
