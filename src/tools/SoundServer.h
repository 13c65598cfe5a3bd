// The desktop's sound server (PulseAudio, or PipeWire through its PulseAudio interface): which
// playback sinks it has, which one is the default, and making another one the default.
//
// The server is reached through libpulse rather than by running its command-line client: the
// answers come as records, not as text in the client's language to parse, and a desktop without
// the client program installed works the same.
#pragma once

#include <string>
#include <vector>

namespace qv::tools {

inline constexpr int kSoundServerOk = 0;
inline constexpr int kSoundServerUnavailable = -1;  // no server, or it did not answer in time
inline constexpr int kSoundServerRefused = -2;      // the server answered with a failure

struct SoundSink {
    std::string name;         // the server's name of the sink, used to address it
    std::string description;  // the name people see
    std::string cardName;     // the sound driver's card name, when the sink is a card's
    std::string cardLongName;
};

struct SoundServerState {
    std::string defaultSink;
    std::vector<SoundSink> sinks;
};

// Whether the sink is the card's HDMI audio output (by its description or its card's names).
bool isHdmiAudioSink(const SoundSink& sink);
// The first HDMI audio sink of the state, or null.
const SoundSink* findHdmiAudioSink(const SoundServerState& state);

class SoundServer {
public:
    virtual ~SoundServer() = default;
    virtual int readState(SoundServerState& state) = 0;
    virtual int setDefaultSink(const std::string& sinkName) = 0;
    // The server's address as the playback streams need it; empty for the desktop's own.
    virtual const std::string& address() const = 0;
};

// Each call opens its own short connection, so that a server that goes away or comes back later
// is simply found or not on the next call. A server is never started for the program.
class PulseSoundServer final : public SoundServer {
public:
    // `address` names a server ("unix:/path/native"); empty for the desktop's own.
    explicit PulseSoundServer(std::string address = {});
    int readState(SoundServerState& state) override;
    int setDefaultSink(const std::string& sinkName) override;
    const std::string& address() const override { return address_; }

private:
    std::string address_;
};

}  // namespace qv::tools
