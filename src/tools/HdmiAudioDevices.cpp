#include "tools/HdmiAudioDevices.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cctype>

namespace qv::tools {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    const auto found =
        std::search(text.begin(), text.end(), part.begin(), part.end(),
                    [](char a, char b) { return lower(a) == lower(b); });
    return found != text.end();
}

// The playback devices of one card, opened by its control interface.
void addCardDevices(int card, std::vector<PlaybackDevice>& devices) {
    const std::string control = "hw:" + std::to_string(card);
    snd_ctl_t* handle = nullptr;
    if (snd_ctl_open(&handle, control.c_str(), 0) < 0) {
        return;
    }
    snd_ctl_card_info_t* cardInfo = nullptr;
    snd_pcm_info_t* pcmInfo = nullptr;
    if (snd_ctl_card_info_malloc(&cardInfo) == 0 && snd_pcm_info_malloc(&pcmInfo) == 0 &&
        snd_ctl_card_info(handle, cardInfo) == 0) {
        int device = -1;
        while (snd_ctl_pcm_next_device(handle, &device) == 0 && device >= 0) {
            snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(pcmInfo, 0);
            snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_PLAYBACK);
            if (snd_ctl_pcm_info(handle, pcmInfo) < 0) {
                continue;  // a capture-only device
            }
            devices.push_back({snd_ctl_card_info_get_name(cardInfo),
                               snd_ctl_card_info_get_longname(cardInfo),
                               snd_pcm_info_get_name(pcmInfo)});
        }
    }
    snd_pcm_info_free(pcmInfo);
    snd_ctl_card_info_free(cardInfo);
    snd_ctl_close(handle);
}

}  // namespace

bool isHdmiAudioName(std::string_view name) {
    return containsIgnoringCase(name, kHdmiAudioName) ||
           containsIgnoringCase(name, kHdmiAudioDriverName);
}

bool isHdmiAudioDevice(const PlaybackDevice& device) {
    return isHdmiAudioName(device.cardName) || isHdmiAudioName(device.cardLongName) ||
           isHdmiAudioName(device.deviceName);
}

std::vector<PlaybackDevice> listPlaybackDevices() {
    std::vector<PlaybackDevice> devices;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        addCardDevices(card, devices);
    }
    return devices;
}

bool hasHdmiAudio(const std::vector<PlaybackDevice>& devices) {
    return std::any_of(devices.begin(), devices.end(), isHdmiAudioDevice);
}

}  // namespace qv::tools
