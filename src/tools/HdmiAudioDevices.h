// Which playback devices are the graphics card's HDMI audio, and the walk over the sound
// devices the system lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv::tools {

// The name the card's audio device carries, and the name the Linux sound driver gives the same
// hardware; either anywhere in a device name, in any capitals, marks an HDMI audio device.
inline constexpr std::string_view kHdmiAudioName = "NVidia High Definition Audio";
inline constexpr std::string_view kHdmiAudioDriverName = "HDA NVidia";

bool isHdmiAudioName(std::string_view name);

// One playback device as the sound system names it: the card's name, its long name and the
// device's own name.
struct PlaybackDevice {
    std::string cardName;
    std::string cardLongName;
    std::string deviceName;
};

bool isHdmiAudioDevice(const PlaybackDevice& device);

// Every playback device of every sound card; empty when there is no card or no sound system.
std::vector<PlaybackDevice> listPlaybackDevices();

// Whether one of `devices` is the HDMI audio device.
bool hasHdmiAudio(const std::vector<PlaybackDevice>& devices);

}  // namespace qv::tools
