// The window program's own command line, read before any window toolkit object exists: help and
// version need no display, and an unknown option is refused before a window opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv::app {

inline constexpr const char* kProgramName = "quorvel";

enum class CommandLineAction {
    kRun,
    kHelp,     // -h, --help
    kVersion,  // --version
    kUsageError,
};

// Options the window toolkit takes off the command line itself; they are let through untouched.
struct ToolkitOptions {
    std::vector<std::string_view> withValue;     // "-name VALUE" or "-name=VALUE"
    std::vector<std::string_view> withoutValue;  // "-name"
};

struct ProgramCommandLine {
    CommandLineAction action = CommandLineAction::kRun;
    std::string screenshotPath;  // --screenshot FILE
    bool wide = false;           // --wide
    bool verbose = false;        // --verbose
    bool advanced = false;       // --advanced: the advanced control dialog opens
    // The driver options and the start words, in their order, for the driver selection and the
    // start word; the toolkit's options are not among them.
    std::vector<std::string> arguments;
    std::string error;  // kUsageError: why
};

// `args` are the words after the program name. A word that starts with '-' must be one of the
// program's options or the toolkit's; the first help or version option decides the action.
ProgramCommandLine parseProgramCommandLine(const std::vector<std::string>& args,
                                           const ToolkitOptions& toolkit);

}  // namespace qv::app
