#include "monitor/MonitorLog.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "monitor/CurveGeometry.h"
#include "platform/AtomicFile.h"
#include "platform/Utf16.h"

namespace qv::monitor {
namespace {

constexpr char kByteOrderMark[] = "\xFF\xFE";
constexpr mode_t kFolderMode = 0755;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string formatted(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof(text), format, values...);
    return text;
}

// Writes all of `bytes` and closes the file; 0 or errno.
int writeAndClose(File file, const std::string& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        return errno != 0 ? errno : EIO;
    }
    std::FILE* raw = file.release();
    if (std::fclose(raw) != 0) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

int openFile(const std::string& path, const char* mode, File& file) {
    errno = 0;
    file.reset(std::fopen(path.c_str(), mode));
    return file ? 0 : (errno != 0 ? errno : EIO);
}

}  // namespace

std::string logFileName(const platform::LocalDateTime& when) {
    return formatted(kLogFileNameFormat, when.year, when.month, when.day, when.hour, when.minute,
                     when.second);
}

std::string logColumnTitle(const LogColumn& column, const lang::CMultiLangSupp& language) {
    return formatted("%s%d-", language.text(lang::kTextGpu), static_cast<int>(column.gpu) + 1) +
           itemCaption(column.item, language) + formatted("[%s]:", kItems[column.item].unit);
}

std::string logHeaderLine(const std::vector<LogColumn>& columns,
                          const lang::CMultiLangSupp& language) {
    std::string line = kLogTimestampTitle;
    for (const LogColumn& column : columns) {
        line += logColumnTitle(column, language);
    }
    return line + kLogLineEnd;
}

std::string logDataLine(const platform::LocalDateTime& when, const std::vector<LogColumn>& columns,
                        const MonitorLiveValues& live) {
    std::string line = formatted(kLogTimestampFormat, when.year, when.month, when.day, when.hour,
                                 when.minute, when.second);
    for (const LogColumn& column : columns) {
        line += formatted("%d;", live.values[column.gpu][column.item]);
    }
    return line + kLogLineEnd;
}

MonitorLog::MonitorLog(std::string folder, const lang::CMultiLangSupp& language)
    : folder_(std::move(folder)), language_(&language) {}

int MonitorLog::switchOnInto(std::string path) {
    problem_.reset();
    problemTold_ = false;
    chosenPath_ = std::move(path);
    on_ = true;
    newFileWanted_ = true;
    return 0;
}

int MonitorLog::switchOn() {
    problem_.reset();
    problemTold_ = false;
    chosenPath_.clear();
    const int error = platform::makeFolders(folder_, kFolderMode);
    if (error != 0) {
        noteProblem(folder_, error, true);
        return error;
    }
    on_ = true;
    newFileWanted_ = true;
    return 0;
}

void MonitorLog::switchOff() {
    on_ = false;
    newFileWanted_ = false;
}

LogTickResult MonitorLog::tick(const platform::LocalDateTime& now,
                               const std::vector<LogColumn>& columns,
                               const MonitorLiveValues& live) {
    if (!on_) {
        return LogTickResult::kOff;
    }
    if (newFileWanted_) {
        const std::string path =
            chosenPath_.empty() ? folder_ + "/" + logFileName(now) : chosenPath_;
        File file;
        int error = openFile(path, "wb", file);
        if (error == 0) {
            error = writeAndClose(std::move(file),
                                  std::string(kByteOrderMark, 2) +
                                      platform::utf8ToUtf16Le(logHeaderLine(columns, *language_)));
        }
        if (error != 0) {
            // Lines without their header would be a file nobody can read: stop instead.
            switchOff();
            noteProblem(path, error, true);
            return LogTickResult::kStopped;
        }
        currentPath_ = path;
        newFileWanted_ = false;
    }
    File file;
    int error = openFile(currentPath_, "ab", file);
    if (error == 0) {
        error = writeAndClose(std::move(file),
                              platform::utf8ToUtf16Le(logDataLine(now, columns, live)));
    }
    if (error != 0) {
        noteProblem(currentPath_, error, false);
        return LogTickResult::kLineDropped;
    }
    return LogTickResult::kWritten;
}

void MonitorLog::noteProblem(const std::string& path, int error, bool stopped) {
    if (problemTold_ || problem_) {
        return;
    }
    problem_ = LogProblem{path, error, stopped};
}

std::optional<LogProblem> MonitorLog::takeProblem() {
    if (!problem_ || problemTold_) {
        return std::nullopt;
    }
    problemTold_ = true;
    return problem_;
}

}  // namespace qv::monitor
