// `qvctl remote HOST[:PORT] COMMAND`: the phone's side of the remote bridge, for scripts and
// as the reference client of the protocol (docs/remote-protocol.md). The password comes from
// a file or the first line of standard input, never from the command line, where the process
// list and the shell history would show it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "qvctl_commands.h"
#include "remote/RemoteClient.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteStateFiles.h"
#include "tuning/RemoteSession.h"

namespace qv::cli {
namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kReplyTimeoutMs = 10000;
// An Apply writes every GPU's clocks with a pause after each; the reply comes at its end.
constexpr int kApplyTimeoutMs = 60000;
constexpr uint32_t kMaxPassword = 0xFFFFFFFFu;
constexpr int32_t kClockLimitMHz = 100000;
constexpr const char* kPasswordFileOption = "--password-file";
constexpr const char* kKeepWord = "-";

struct Target {
    std::string host;
    uint16_t port = remote::kDefaultRemotePort;
};

bool parseTarget(const std::string& text, Target& target) {
    std::string host = text;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') {
                return false;
            }
            port = text.substr(close + 2);
        }
    } else if (const size_t colon = text.find(':');
               colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty()) {
        return false;
    }
    target.host = host;
    if (!port.empty()) {
        uint32_t value = 0;
        if (!parseUnsigned(port, 65535, value) || value == 0) {
            return false;
        }
        target.port = static_cast<uint16_t>(value);
    }
    return true;
}

std::optional<std::string> firstLine(std::FILE* in) {
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        any = true;
        if (line.size() < 64) {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!any && c == EOF) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::optional<uint32_t> readPassword(const std::string& file, std::FILE* in) {
    std::optional<std::string> line;
    if (file.empty()) {
        line = firstLine(in);
    } else if (std::FILE* opened = std::fopen(file.c_str(), "r")) {
        line = firstLine(opened);
        std::fclose(opened);
    } else {
        reportError("cannot read the password file '" + file + "'");
        return std::nullopt;
    }
    uint32_t password = 0;
    if (!line || !parseUnsigned(*line, kMaxPassword, password)) {
        reportError("the password must be a decimal number on the first line");
        return std::nullopt;
    }
    return password;
}

std::string int32Body(const std::vector<int32_t>& values) {
    std::string body;
    for (const int32_t value : values) {
        remote::putUint32(body, static_cast<uint32_t>(value));
    }
    return body;
}

bool parseClock(const std::string& text, int32_t& mhz) {
    if (text == kKeepWord) {
        mhz = tuning::kRemoteKeepClock;
        return true;
    }
    uint32_t value = 0;
    if (!parseUnsigned(text, kClockLimitMHz, value)) {
        return false;
    }
    mhz = static_cast<int32_t>(value);
    return true;
}

void printState(const std::string& document, std::FILE* out) {
    const std::pair<const char*, const char*> fields[] = {
        {"gpu", remote::kElementGpuIndex},
        {"mode", remote::kElementMode},
        {"gpu clock", remote::kElementGpuClock},
        {"shader clock", remote::kElementShaderClock},
        {"memory clock", remote::kElementMemoryClock},
        {"blink", remote::kElementBlink},
        {"fan automatic", remote::kElementFanAuto},
        {"time", remote::kElementTime}};
    for (const auto& [key, element] : fields) {
        std::fprintf(out, "%s: %s\n", key, remote::elementText(document, element).c_str());
    }
}

const char* clientErrorText(int status) {
    switch (status) {
        case remote::kClientNoConnection:
            return "cannot connect";
        case remote::kClientTimedOut:
            return "no answer in time";
        case remote::kClientClosed:
            return "the program closed the connection";
        case remote::kClientLoginRefused:
            return "wrong password";
        case remote::kClientBusy:
            return "two phones are already connected";
        case remote::kClientBlocked:
            return "too many failed logins from this address; try again in a minute";
        case remote::kClientServerUnproven:
            return "the other end does not know the password";
        default:
            return "protocol error";
    }
}

void printUsage() {
    std::fprintf(stderr,
                 "usage: qvctl remote HOST[:PORT] [--password-file FILE] COMMAND\n"
                 "  status                       the main window's state file\n"
                 "  select GPU [MODE]            GPU on show and mode (1 2D, 2 3D Perf,\n"
                 "                               3 3D Low)\n"
                 "  set-clocks GPU SHADER MEMORY clock controls in MHz ('-' keeps one)\n"
                 "  fan LEVEL|auto               fan control\n"
                 "  apply                        apply the controls to the cards\n"
                 "the password is the first line of FILE or of standard input\n");
}

}  // namespace

int runRemote(const std::vector<std::string>& args, std::FILE* in, std::FILE* out) {
    std::vector<std::string> words;
    std::string passwordFile;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == kPasswordFileOption && i + 1 < args.size()) {
            passwordFile = args[++i];
        } else {
            words.push_back(args[i]);
        }
    }
    Target target;
    if (words.size() < 2 || !parseTarget(words[0], target)) {
        printUsage();
        return kExitUsage;
    }
    const std::string& command = words[1];
    const std::vector<std::string> rest(words.begin() + 2, words.end());
    uint8_t type = 0;
    std::string body;
    if (command == "status" && rest.empty()) {
        type = remote::kTypeReadState;
    } else if (command == "select" && (rest.size() == 1 || rest.size() == 2)) {
        uint32_t gpu = 0, mode = 0;
        if (!parseUnsigned(rest[0], 255, gpu) ||
            (rest.size() == 2 && (!parseUnsigned(rest[1], 3, mode) || mode == 0))) {
            printUsage();
            return kExitUsage;
        }
        type = remote::kTypeSelect;
        body = int32Body({static_cast<int32_t>(gpu), static_cast<int32_t>(mode)});
    } else if (command == "set-clocks" && rest.size() == 3) {
        int32_t gpu = 0, shader = 0, memory = 0;
        if (!parseClock(rest[0], gpu) || !parseClock(rest[1], shader) ||
            !parseClock(rest[2], memory)) {
            printUsage();
            return kExitUsage;
        }
        type = remote::kTypeSetClocks;
        body = int32Body({gpu, shader, memory});
    } else if (command == "fan" && rest.size() == 1) {
        uint32_t level = 0;
        if (rest[0] == "auto") {
            body = int32Body({tuning::kRemoteFanAutomatic});
        } else if (parseUnsigned(rest[0], 100000, level)) {
            body = int32Body({static_cast<int32_t>(level)});
        } else {
            printUsage();
            return kExitUsage;
        }
        type = remote::kTypeSetFan;
    } else if (command == "apply" && rest.empty()) {
        type = remote::kTypeApply;
    } else {
        printUsage();
        return kExitUsage;
    }

    const std::optional<uint32_t> password = readPassword(passwordFile, in);
    if (!password) {
        return kExitUsage;
    }
    remote::RemoteClient client;
    int status = client.connect(target.host, target.port, kConnectTimeoutMs);
    if (status == remote::kClientOk) {
        status = client.login(*password, kReplyTimeoutMs);
    }
    if (status != remote::kClientOk) {
        reportError(target.host + ":" + std::to_string(target.port) + ": " +
                    clientErrorText(status));
        return kExitRemote;
    }

    if (type == remote::kTypeApply) {
        status = client.sendCommand(type, body);
        while (status == remote::kClientOk) {
            remote::Packet packet;
            status = client.receive(packet, kApplyTimeoutMs);
            if (status != remote::kClientOk) {
                break;
            }
            if (packet.type == remote::kTypeApplySucceeded) {
                std::fprintf(out, "apply: done\n");
                return kExitOk;
            }
            if (packet.type == remote::kTypeApplyFailed ||
                packet.type == remote::kTypeCommandRefused) {
                std::fprintf(out, "apply: failed\n");
                return kExitFailed;
            }
        }
        reportError(std::string("apply: ") + clientErrorText(status));
        return kExitRemote;
    }

    std::string document;
    int refusal = 0;
    status = client.request(type, body, document, kReplyTimeoutMs, &refusal);
    if (status == remote::kClientCommandRefused) {
        reportError(command + ": refused by the program (" + std::to_string(refusal) + ")");
        return kExitFailed;
    }
    if (status != remote::kClientOk) {
        reportError(command + ": " + clientErrorText(status));
        return kExitRemote;
    }
    printState(document, out);
    return kExitOk;
}

}  // namespace qv::cli
