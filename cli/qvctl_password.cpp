// `qvctl password set`: replaces the phone remote control's password with the same rules as
// the window's password dialog. Both passwords come on standard input, one per line, so that
// they never show in the process list or the shell history; on a terminal they are asked for
// without echo.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageId.h"
#include "qvctl_commands.h"
#include "settings/FileRegistryStore.h"
#include "settings/PasswordChange.h"

namespace qv::cli {

namespace {

// One line of `in` without its line end; nothing at the end of the input.
std::optional<std::string> readLine(std::FILE* in) {
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!any) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// Asks on standard error with the terminal's echo off while the answer is typed.
std::optional<std::string> askHidden(std::FILE* in, const char* question) {
    std::fprintf(stderr, "%s", question);
    std::fflush(stderr);
    termios saved{};
    const int fd = fileno(in);
    const bool quiet = tcgetattr(fd, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &silent);
    }
    std::optional<std::string> line = readLine(in);
    if (quiet) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    return line;
}

int exitCodeOf(settings::PasswordOutcome outcome) {
    switch (outcome) {
        case settings::PasswordOutcome::kChanged:
            return kExitOk;
        case settings::PasswordOutcome::kWrongOriginal:
        case settings::PasswordOutcome::kStoreWriteFailed:
            return kExitFailed;
        case settings::PasswordOutcome::kConfirmDiffers:
        case settings::PasswordOutcome::kNewEmpty:
        case settings::PasswordOutcome::kNewNotANumber:
            break;
    }
    return kExitUsage;
}

}  // namespace

int runPassword(const std::vector<std::string>& args, std::FILE* in, std::FILE* out) {
    if (args.size() != 1 || args[0] != "set") {
        reportError("usage: password set (the original and the new password are read from "
                    "standard input, one per line)");
        return kExitUsage;
    }
    settings::PasswordEntry entry;
    const bool terminal = isatty(fileno(in)) != 0;
    const auto original = terminal ? askHidden(in, "Original password: ") : readLine(in);
    const auto next = terminal ? askHidden(in, "New password: ") : readLine(in);
    if (!original || !next) {
        reportError("password set reads the original and the new password from standard "
                    "input, one per line");
        return kExitUsage;
    }
    // A third line, when there is one, confirms the new password; a terminal always asks.
    const auto confirm = terminal ? askHidden(in, "Confirm password: ") : readLine(in);
    entry.original = *original;
    entry.newPassword = *next;
    entry.confirm = confirm.value_or(*next);

    settings::FileRegistryStore store;
    settings::RegistrySettings options;
    // As the window program's start does: a store without a password gets the default.
    settings::loadRegistrySettings(store, options);
    const settings::PasswordOutcome outcome = settings::changePassword(entry, store, options);
    if (outcome == settings::PasswordOutcome::kChanged) {
        std::fprintf(out, "password changed\n");
        return kExitOk;
    }
    const lang::CMultiLangSupp english(lang::kLanguageIdEnglishUnitedStates);
    reportError(settings::passwordMessage(outcome, english).text);
    return exitCodeOf(outcome);
}

}  // namespace qv::cli
