#include "tools/SoundServer.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>

#include <chrono>
#include <utility>

#include "tools/HdmiAudioDevices.h"

namespace qv::tools {

namespace {

// How long one call waits for a server that does not answer; the calls run on the window's
// thread, so a hung server must not hold it for long.
constexpr std::chrono::milliseconds kAnswerTimeout(2000);
// The longest single wait of the loop, so that the deadline is looked at often.
constexpr int kPollSliceUs = 50000;
constexpr const char* kClientName = "Quorvel K";
constexpr const char* kPropertyCardName = "alsa.card_name";
constexpr const char* kPropertyCardLongName = "alsa.long_card_name";

std::string property(const pa_proplist* list, const char* key) {
    const char* value = list != nullptr ? pa_proplist_gets(list, key) : nullptr;
    return value != nullptr ? value : "";
}

// One connection: a private main loop, run on the caller's thread until an answer comes or the
// time is up.
class Connection {
public:
    explicit Connection(const std::string& address)
        : deadline_(std::chrono::steady_clock::now() + kAnswerTimeout) {
        loop_ = pa_mainloop_new();
        if (loop_ == nullptr) {
            return;
        }
        context_ = pa_context_new(pa_mainloop_get_api(loop_), kClientName);
        if (context_ == nullptr ||
            pa_context_connect(context_, address.empty() ? nullptr : address.c_str(),
                               PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return;
        }
        ready_ = runUntil([this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        }) && pa_context_get_state(context_) == PA_CONTEXT_READY;
    }
    ~Connection() {
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        if (loop_ != nullptr) {
            pa_mainloop_free(loop_);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ready() const { return ready_; }
    pa_context* context() { return context_; }

    // Runs the loop until the operation is done; false when it failed or the time ran out.
    bool finish(pa_operation* operation) {
        if (operation == nullptr) {
            return false;
        }
        const bool done = runUntil([operation] {
            return pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
        });
        if (!done) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
        return done;
    }

private:
    template <typename Done>
    bool runUntil(Done done) {
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline_ ||
                !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                return false;
            }
            if (pa_mainloop_prepare(loop_, kPollSliceUs) < 0 || pa_mainloop_poll(loop_) < 0 ||
                pa_mainloop_dispatch(loop_) < 0) {
                return false;
            }
        }
        return true;
    }

    std::chrono::steady_clock::time_point deadline_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool ready_ = false;
};

struct StateQuery {
    SoundServerState* state = nullptr;
    bool serverAnswered = false;
    bool sinksComplete = false;
    bool failed = false;
};

void onServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* query = static_cast<StateQuery*>(userdata);
    query->serverAnswered = true;
    if (info != nullptr && info->default_sink_name != nullptr) {
        query->state->defaultSink = info->default_sink_name;
    }
}

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* query = static_cast<StateQuery*>(userdata);
    if (eol < 0) {
        query->failed = true;
        return;
    }
    if (eol > 0 || info == nullptr) {
        query->sinksComplete = true;
        return;
    }
    SoundSink sink;
    sink.name = info->name != nullptr ? info->name : "";
    sink.description = info->description != nullptr ? info->description : "";
    sink.cardName = property(info->proplist, kPropertyCardName);
    sink.cardLongName = property(info->proplist, kPropertyCardLongName);
    query->state->sinks.push_back(std::move(sink));
}

void onSuccess(pa_context*, int success, void* userdata) {
    *static_cast<int*>(userdata) = success;
}

}  // namespace

bool isHdmiAudioSink(const SoundSink& sink) {
    return isHdmiAudioName(sink.description) || isHdmiAudioName(sink.cardName) ||
           isHdmiAudioName(sink.cardLongName);
}

const SoundSink* findHdmiAudioSink(const SoundServerState& state) {
    for (const SoundSink& sink : state.sinks) {
        if (isHdmiAudioSink(sink)) {
            return &sink;
        }
    }
    return nullptr;
}

PulseSoundServer::PulseSoundServer(std::string address) : address_(std::move(address)) {}

int PulseSoundServer::readState(SoundServerState& state) {
    state = {};
    Connection connection(address_);
    if (!connection.ready()) {
        return kSoundServerUnavailable;
    }
    StateQuery query;
    query.state = &state;
    if (!connection.finish(pa_context_get_server_info(connection.context(), onServerInfo, &query)) ||
        !connection.finish(
            pa_context_get_sink_info_list(connection.context(), onSinkInfo, &query))) {
        state = {};
        return kSoundServerUnavailable;
    }
    if (!query.serverAnswered || !query.sinksComplete || query.failed) {
        state = {};
        return kSoundServerRefused;
    }
    return kSoundServerOk;
}

int PulseSoundServer::setDefaultSink(const std::string& sinkName) {
    Connection connection(address_);
    if (!connection.ready()) {
        return kSoundServerUnavailable;
    }
    int success = 0;
    if (!connection.finish(pa_context_set_default_sink(connection.context(), sinkName.c_str(),
                                                       onSuccess, &success))) {
        return kSoundServerUnavailable;
    }
    return success != 0 ? kSoundServerOk : kSoundServerRefused;
}

}  // namespace qv::tools
