// Asking the person at the machine for a file to save to or to open: the system's file dialog
// in the window program, a script in tests.
#pragma once

#include <string>

namespace qv::platform {

// The filter the profile files are chosen with: shown text, then the pattern in brackets.
inline constexpr const char* kIniFileFilter = "INI file(*.ini)";
inline constexpr const char* kIniDefaultExtension = "ini";

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // A file to write, starting in `initialFolder`; a name typed without an extension gets
    // `defaultExtension`. The chosen path, or empty when the person cancelled.
    virtual std::string saveFile(const std::string& initialFolder, const std::string& filter,
                                 const std::string& defaultExtension) = 0;
    // An existing file to read, starting in `initialFolder`. The chosen path, or empty when the
    // person cancelled.
    virtual std::string openFile(const std::string& initialFolder, const std::string& filter) = 0;
};

}  // namespace qv::platform
