#include "SimState.h"

#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "SimBoard.h"
#include "SimChips.h"

namespace qv::sim {

namespace {

constexpr std::string_view kMagic = "quorvel-sim-state";
constexpr std::string_view kEnd = "end";
constexpr double kMaxStoredTemperature = 1000.0;
constexpr double kMaxStoredRpm = 1000000.0;

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') {
            ++i;
        }
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') {
            ++i;
        }
        if (i > start) {
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

template <typename T>
bool number(std::string_view s, T& out, int base = 10) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out, base);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool real(std::string_view s, double& out, double limit) {
    if (s.empty() || s.size() > 40) {
        return false;
    }
    std::string copy(s);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(out) &&
           std::fabs(out) <= limit;
}

bool hexBytes(std::string_view s, std::array<uint8_t, kChipRegisterCount>& out) {
    if (s.size() != out.size() * 2) {
        return false;
    }
    for (size_t i = 0; i < out.size(); ++i) {
        if (!number(s.substr(i * 2, 2), out[i], 16)) {
            return false;
        }
    }
    return true;
}

std::string formatDouble(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.9g", v);
    return buffer;
}

}  // namespace

SimState initialState(const SimConfig& config, uint64_t configHash, int64_t realNowNs, bool settle) {
    SimState state;
    state.configHash = configHash;
    state.anchorRealNs = realNowNs;
    state.gpus.resize(config.gpus.size());
    state.displays.resize(config.displays.size());
    for (size_t g = 0; g < config.gpus.size(); ++g) {
        const GpuConfig& gc = config.gpus[g];
        GpuState& gs = state.gpus[g];
        for (const auto& level : gc.levels) {
            std::vector<uint32_t> clocks;
            for (const auto& c : level.clocks) {
                clocks.push_back(c.baseKHz);
            }
            gs.clockKHz.push_back(std::move(clocks));
            gs.levelMv.push_back(level.voltageUv / 1000);
        }
        gs.coolerPolicy = gc.coolerDefaultPolicy;
        gs.coolerLevel = gc.coolerMin;
        gs.powerLimit = gc.powerLimitDefault;
        gs.load = gc.load;
        gs.temperatureC = gc.ambientC;
        for (size_t s = 0; s < kSlotCount; ++s) {
            if (gc.chips[s].present) {
                ChipBus::powerOn(s, gc, gs.chips[s]);
            }
        }
        if (!settle) {
            continue;
        }
        Board board(gc, gs);
        board.settle();
        if (gc.chips[kSlotFanChip0].present) {
            gs.chips[kSlotFanChip0].regs[kFc0RegTemperature] =
                static_cast<uint8_t>(board.chipTemperatureC(0));
        }
    }
    return state;
}

std::string serializeState(const SimState& s) {
    std::string out;
    char line[256];
    std::snprintf(line, sizeof(line), "%.*s %u\nconfig %016" PRIx64 "\n",
                  static_cast<int>(kMagic.size()), kMagic.data(), kStateFormat, s.configHash);
    out += line;
    std::snprintf(line, sizeof(line), "time %" PRId64 " %" PRId64 " %d %" PRId64 "\ndrs %u\n",
                  s.modelNs, s.anchorRealNs, s.frozen ? 1 : 0, s.physicsNs, s.drsFrameRate);
    out += line;
    for (size_t d = 0; d < s.displays.size(); ++d) {
        const DisplayState& ds = s.displays[d];
        std::snprintf(line, sizeof(line), "display %zu %d %u %u %u %d\n", d, ds.unlocked ? 1 : 0,
                      ds.bezelHorizontal, ds.bezelVertical, ds.savedModes, ds.trialActive ? 1 : 0);
        out += line;
    }
    for (size_t g = 0; g < s.gpus.size(); ++g) {
        const GpuState& gs = s.gpus[g];
        std::snprintf(line, sizeof(line),
                      "gpu %zu offsets %d %d %d\ngpu %zu cooler %u %u\ngpu %zu power %u\n"
                      "gpu %zu load %u %d\n",
                      g, gs.graphicsOffsetKHz, gs.memoryOffsetKHz, gs.voltageOffsetUv, g,
                      gs.coolerPolicy, gs.coolerLevel, g, gs.powerLimit, g, gs.load, gs.pinnedTempC);
        out += line;
        out += "gpu " + std::to_string(g) + " thermal " + formatDouble(gs.temperatureC) + " " +
               formatDouble(gs.fanRpm) + "\n";
        for (size_t l = 0; l < gs.clockKHz.size(); ++l) {
            out += "gpu " + std::to_string(g) + " clocks " + std::to_string(l);
            for (uint32_t khz : gs.clockKHz[l]) {
                out += " " + std::to_string(khz);
            }
            out += "\n";
        }
        if (!gs.levelMv.empty()) {
            out += "gpu " + std::to_string(g) + " volts";
            for (uint32_t mv : gs.levelMv) {
                out += " " + std::to_string(mv);
            }
            out += "\n";
        }
        for (size_t c = 0; c < kSlotCount; ++c) {
            bool any = false;
            for (uint8_t b : gs.chips[c].regs) {
                any = any || b != 0;
            }
            if (!any) {
                continue;
            }
            out += "gpu " + std::to_string(g) + " chip " + std::to_string(c) + " ";
            for (uint8_t b : gs.chips[c].regs) {
                char hex[3];
                std::snprintf(hex, sizeof(hex), "%02x", b);
                out += hex;
            }
            out += "\n";
        }
    }
    out += kEnd;
    out += "\n";
    return out;
}

int parseState(std::string_view text, const SimConfig& config, SimState& out, std::string& error) {
    out = initialState(config, 0, 0, false);
    std::vector<std::array<bool, kSlotCount>> chipListed(out.gpus.size());
    bool sawHeader = false;
    bool sawEnd = false;
    size_t lineNo = 0;
    auto bad = [&](const std::string& what) {
        error = "state line " + std::to_string(lineNo) + ": " + what;
        return -1;
    };
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (sawEnd) {
            return bad("text after the end line");
        }
        const auto w = words(line);
        if (w.empty()) {
            continue;
        }
        if (!sawHeader) {
            uint32_t format = 0;
            if (w.size() != 2 || w[0] != kMagic || !number(w[1], format) || format != kStateFormat) {
                return bad("not a state file of this format");
            }
            sawHeader = true;
            continue;
        }
        if (w[0] == kEnd && w.size() == 1) {
            sawEnd = true;
        } else if (w[0] == "config" && w.size() == 2) {
            if (!number(w[1], out.configHash, 16)) {
                return bad("bad configuration hash");
            }
        } else if (w[0] == "time" && w.size() == 5) {
            int frozen = 0;
            if (!number(w[1], out.modelNs) || !number(w[2], out.anchorRealNs) ||
                !number(w[3], frozen) || !number(w[4], out.physicsNs) || frozen < 0 || frozen > 1) {
                return bad("bad time line");
            }
            out.frozen = frozen == 1;
        } else if (w[0] == "drs" && w.size() == 2) {
            if (!number(w[1], out.drsFrameRate)) {
                return bad("bad drs line");
            }
        } else if (w[0] == "display" && w.size() == 7) {
            size_t d = 0;
            int unlocked = 0;
            int trial = 0;
            uint8_t h = 0;
            uint8_t v = 0;
            uint32_t saved = 0;
            if (!number(w[1], d) || d >= out.displays.size() || !number(w[2], unlocked) ||
                !number(w[3], h) || !number(w[4], v) || !number(w[5], saved) ||
                !number(w[6], trial)) {
                return bad("bad display line");
            }
            out.displays[d] = DisplayState{unlocked != 0, h, v, saved, trial != 0};
        } else if (w[0] == "gpu" && w.size() >= 3) {
            size_t g = 0;
            if (!number(w[1], g) || g >= out.gpus.size()) {
                return bad("gpu index out of range");
            }
            GpuState& gs = out.gpus[g];
            const GpuConfig& gc = config.gpus[g];
            const std::string_view what = w[2];
            bool ok = false;
            if (what == "offsets" && w.size() == 6) {
                ok = number(w[3], gs.graphicsOffsetKHz) && number(w[4], gs.memoryOffsetKHz) &&
                     number(w[5], gs.voltageOffsetUv);
            } else if (what == "cooler" && w.size() == 5) {
                ok = number(w[3], gs.coolerPolicy) && number(w[4], gs.coolerLevel) &&
                     gs.coolerLevel <= 100;
            } else if (what == "power" && w.size() == 4) {
                ok = number(w[3], gs.powerLimit);
            } else if (what == "load" && w.size() == 5) {
                ok = number(w[3], gs.load) && gs.load <= 100 && number(w[4], gs.pinnedTempC);
            } else if (what == "thermal" && w.size() == 5) {
                ok = real(w[3], gs.temperatureC, kMaxStoredTemperature) &&
                     real(w[4], gs.fanRpm, kMaxStoredRpm);
            } else if (what == "clocks" && w.size() >= 4) {
                size_t l = 0;
                ok = number(w[3], l) && l < gc.levels.size() &&
                     w.size() - 4 == gc.levels[l].clocks.size();
                for (size_t c = 0; ok && c + 4 < w.size(); ++c) {
                    ok = number(w[c + 4], gs.clockKHz[l][c]);
                }
            } else if (what == "volts" && w.size() == 3 + gs.levelMv.size()) {
                ok = true;
                for (size_t l = 0; ok && l < gs.levelMv.size(); ++l) {
                    ok = number(w[l + 3], gs.levelMv[l]) && gs.levelMv[l] >= kMinLevelMv &&
                         gs.levelMv[l] <= kMaxLevelMv;
                }
            } else if (what == "chip" && w.size() == 5) {
                size_t c = 0;
                ok = number(w[3], c) && c < kSlotCount && gc.chips[c].present &&
                     hexBytes(w[4], gs.chips[c].regs);
                if (ok) {
                    chipListed[g][c] = true;
                }
            }
            if (!ok) {
                return bad("bad gpu line");
            }
        } else {
            return bad("unknown line");
        }
    }
    if (!sawHeader || !sawEnd) {
        error = "state file is incomplete";
        return -1;
    }
    // Chips are written only when some register is non-zero.
    for (size_t g = 0; g < out.gpus.size(); ++g) {
        for (size_t c = 0; c < kSlotCount; ++c) {
            if (!chipListed[g][c]) {
                out.gpus[g].chips[c] = ChipState{};
            }
        }
    }
    return 0;
}

}  // namespace qv::sim
