#include "app/ProgramCommandLine.h"

#include <algorithm>

namespace qv::app {

namespace {

constexpr std::string_view kHelpShort = "-h";
constexpr std::string_view kHelp = "--help";
constexpr std::string_view kVersion = "--version";
constexpr std::string_view kVerbose = "--verbose";
constexpr std::string_view kScreenshot = "--screenshot";
constexpr std::string_view kWide = "--wide";
constexpr std::string_view kAdvanced = "--advanced";
// The driver options are read by the driver selection; here they are only let through.
constexpr std::string_view kDriver = "--driver";
constexpr std::string_view kSimulate = "--simulate";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool contains(const std::vector<std::string_view>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// How many words a toolkit option takes (1 or 2: with its value); 0 when it is none of them.
// The toolkit also takes its options with two dashes.
size_t toolkitWords(const std::vector<std::string>& args, size_t i, const ToolkitOptions& toolkit) {
    std::string_view word = args[i];
    if (startsWith(word, "--")) {
        word.remove_prefix(1);
    }
    if (contains(toolkit.withoutValue, word)) {
        return 1;
    }
    const size_t equals = word.find('=');
    if (equals != std::string_view::npos && contains(toolkit.withValue, word.substr(0, equals))) {
        return 1;
    }
    if (contains(toolkit.withValue, word) && i + 1 < args.size()) {
        return 2;
    }
    return 0;
}

ProgramCommandLine usageError(std::string why) {
    ProgramCommandLine line;
    line.action = CommandLineAction::kUsageError;
    line.error = std::move(why);
    return line;
}

}  // namespace

ProgramCommandLine parseProgramCommandLine(const std::vector<std::string>& args,
                                           const ToolkitOptions& toolkit) {
    ProgramCommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == kHelp || word == kHelpShort) {
            line.action = CommandLineAction::kHelp;
            return line;
        }
        if (word == kVersion) {
            line.action = CommandLineAction::kVersion;
            return line;
        }
        if (word == kVerbose) {
            line.verbose = true;
        } else if (word == kWide) {
            line.wide = true;
        } else if (word == kAdvanced) {
            line.advanced = true;
        } else if (word == kScreenshot) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return usageError("--screenshot needs a file name");
            }
            line.screenshotPath = args[++i];
        } else if (word == kDriver) {
            // Its path may look like an option; the driver selection checks that there is one.
            line.arguments.push_back(word);
            if (i + 1 < args.size()) {
                line.arguments.push_back(args[++i]);
            }
        } else if (word == kSimulate || startsWith(word, std::string(kSimulate) + "=") ||
                   startsWith(word, std::string(kDriver) + "=")) {
            line.arguments.push_back(word);
        } else if (const size_t words = toolkitWords(args, i, toolkit); words > 0) {
            i += words - 1;
        } else if (startsWith(word, "-")) {
            return usageError("unknown option '" + word + "'");
        } else {
            line.arguments.push_back(word);
        }
    }
    if (line.wide && line.screenshotPath.empty()) {
        return usageError("--wide goes with --screenshot");
    }
    return line;
}

}  // namespace qv::app
