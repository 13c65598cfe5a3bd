#include "settings/AutostartEntry.h"

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/Text.h"

namespace qv::settings {

namespace {

constexpr std::string_view kGroupHeader = "[Desktop Entry]";
constexpr std::string_view kExecKey = "Exec";
constexpr std::string_view kHiddenKey = "Hidden";
constexpr std::string_view kReservedCharacters = " \t\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

using platform::isBlank;
using platform::trim;
using platform::trimLeft;

// One Exec argument, quoted when it holds a reserved character.
std::string quoteArgument(const std::string& argument) {
    if (argument.find_first_of(kReservedCharacters) == std::string::npos && !argument.empty()) {
        return argument;
    }
    std::string quoted = "\"";
    for (char ch : argument) {
        if (kEscapedInQuotes.find(ch) != std::string_view::npos) {
            quoted += '\\';
        }
        quoted += ch;
    }
    quoted += '"';
    return quoted;
}

// Escapes for the desktop file's string values, and '%' which would start a field code.
std::string escapeValue(const std::string& text) {
    std::string escaped;
    for (char ch : text) {
        if (ch == '\\') {
            escaped += "\\\\";
        } else if (ch == '%') {
            escaped += "%%";
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

}  // namespace

bool autostartExecValue(const std::string& programPath, const std::string& word,
                        std::string& exec) {
    for (char ch : programPath + word) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            return false;
        }
    }
    if (programPath.empty() || word.empty()) {
        return false;
    }
    exec = escapeValue(quoteArgument(programPath)) + " " + escapeValue(word);
    return true;
}

std::string autostartFileText(const std::string& exec) {
    std::string text;
    text += kGroupHeader;
    text += "\nType=Application\nName=";
    text += lang::languageTable().text(lang::kTextAppName);
    text += "\nExec=";
    text += exec;
    text += "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    return text;
}

bool readAutostartExec(std::string_view fileText, std::string& exec) {
    bool inGroup = false;
    bool found = false;
    bool hidden = false;
    std::string value;
    while (!fileText.empty()) {
        const size_t end = fileText.find('\n');
        // Blanks at the end of a value belong to it: a trailing blank is an empty start word.
        std::string_view line = trimLeft(fileText.substr(0, end));
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inGroup = trim(line) == kGroupHeader;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view rest = trimLeft(line.substr(equals + 1));
        if (key == kExecKey && !found) {
            value.assign(rest);
            found = true;
        } else if (key == kHiddenKey) {
            hidden = trim(rest) == "true";
        }
    }
    if (!found || hidden) {
        return false;
    }
    exec = std::move(value);
    return true;
}

}  // namespace qv::settings
