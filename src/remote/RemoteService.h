// The remote bridge as the program runs it: the bridge state and its connection component,
// started and stopped as the settings store says (off by default), with the password the
// store holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/Poster.h"
#include "remote/RemoteBridge.h"
#include "remote/RemoteServer.h"
#include "settings/RegistryStore.h"

namespace qv::remote {

// Where the broadcast packets go, "address:port" (text); empty or missing: nowhere. The other
// values of the bridge are named in settings/RegistryValues.h.
inline constexpr const char* kValueRemoteBroadcast = "RemoteBroadcast";

struct RemoteSettings {
    bool enabled = false;
    std::string listenAddress = kDefaultListenAddress;
    uint16_t port = kDefaultRemotePort;
    uint32_t password = 0;
    std::string broadcastTarget;
    bool operator==(const RemoteSettings&) const = default;
};

// The bridge's settings from the store; what is missing or out of range keeps its default.
RemoteSettings readRemoteSettings(settings::RegistryStore& store);

class RemoteService {
public:
    RemoteService(platform::Clock& clock, platform::Poster* poster, uint32_t uiThreadId);
    ~RemoteService();

    RemoteBridge& bridge() { return bridge_; }
    // Starts, stops or restarts the connection component so that it runs as `wanted` says.
    // kServerOk, or the start's error (the component is then off).
    int follow(const RemoteSettings& wanted);
    void stop();
    bool running() const { return server_ != nullptr; }
    uint16_t port() const { return server_ ? server_->port() : 0; }

private:
    platform::Clock& clock_;
    platform::Poster* poster_;
    uint32_t uiThreadId_;
    RemoteBridge bridge_;
    RemoteSettings running_;
    std::unique_ptr<RemoteServer> server_;
};

}  // namespace qv::remote
