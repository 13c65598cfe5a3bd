// The monitor log: while logging is on, every curve tick appends one line with the live value of
// every shown item of every fed GPU to a semicolon-separated UTF-16LE file under Monitor_Save,
// begun anew (named after the local time) each time logging is switched on. The file is opened
// and closed on every tick; nothing is held open between ticks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "monitor/CurveModel.h"
#include "monitor/MonitorFeed.h"
#include "platform/LocalTime.h"

namespace qv::monitor {

// The log folder, relative to the data folder (the current folder).
inline constexpr const char* kMonitorSaveFolder = "Monitor_Save";
inline constexpr const char* kLogFileNameFormat = "%04d-%02d-%02d%02d_%02d_%02d.csv";
inline constexpr const char* kLogTimestampTitle = "Timestamp;";
inline constexpr const char* kLogTimestampFormat = "%04d-%02d-%02d %02d:%02d:%02d;";
inline constexpr const char* kLogLineEnd = "\r\n";

// The file name of a log begun at `when`, e.g. 2012-04-0513_45_07.csv.
std::string logFileName(const platform::LocalDateTime& when);
// One column title "GPU<n>-<caption>[<unit>]:" in the user's language.
std::string logColumnTitle(const LogColumn& column, const lang::CMultiLangSupp& language);
// The header line and a data line as text (UTF-8), CR LF included.
std::string logHeaderLine(const std::vector<LogColumn>& columns,
                          const lang::CMultiLangSupp& language);
std::string logDataLine(const platform::LocalDateTime& when, const std::vector<LogColumn>& columns,
                        const MonitorLiveValues& live);

// Something the log could not do, for the window to say once.
struct LogProblem {
    std::string path;             // the folder or file concerned
    int error = 0;                // errno
    bool loggingStopped = false;  // the log went off because of it
};

enum class LogTickResult {
    kOff,          // logging is off: nothing written
    kWritten,      // a line was appended (after the header when the file was begun)
    kLineDropped,  // the file could not be opened: the line is lost, logging stays on
    kStopped,      // the file could not be begun: logging went off
};

class MonitorLog {
public:
    explicit MonitorLog(std::string folder = kMonitorSaveFolder,
                        const lang::CMultiLangSupp& language = lang::languageTable());

    // "Save" while off: logging goes on and a new file is wanted. The folder is made when it is
    // not there; when it cannot be made, logging stays off and the problem is kept. 0 or errno.
    int switchOn();
    // Logging on into a file of the caller's choosing instead of a new name under the folder
    // (the command-line tool's --out). The file's folder must exist. Always 0.
    int switchOnInto(std::string path);
    // "Save" or "Close" while on. The current path is kept so the file can be opened.
    void switchOff();
    bool isOn() const { return on_; }
    bool newFileWanted() const { return newFileWanted_; }
    // The file begun last; empty before the first.
    const std::string& currentPath() const { return currentPath_; }
    const std::string& folder() const { return folder_; }

    // One tick: begins the file when one is wanted (header line), then appends the data line.
    LogTickResult tick(const platform::LocalDateTime& now, const std::vector<LogColumn>& columns,
                       const MonitorLiveValues& live);

    // The first problem since logging was last switched on, handed out once.
    std::optional<LogProblem> takeProblem();

private:
    void noteProblem(const std::string& path, int error, bool stopped);

    std::string folder_;
    const lang::CMultiLangSupp* language_;
    bool on_ = false;
    bool newFileWanted_ = false;
    std::string currentPath_;
    std::string chosenPath_;  // empty: a new name under the folder
    std::optional<LogProblem> problem_;
    bool problemTold_ = false;
};

}  // namespace qv::monitor
