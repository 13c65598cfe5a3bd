// Fonts of the desktop session: which families are installed, and adding a font file for the
// life of the process when a family is missing.
#pragma once

#include <string>

namespace qv::platform {

class FontProvider {
public:
    virtual ~FontProvider() = default;
    // True when a family of exactly this name (case-sensitive) is installed.
    virtual bool familyInstalled(const std::string& family) = 0;
    // Makes the font file's families available to this process; false when it cannot.
    virtual bool addFontFile(const std::string& path) = 0;
};

}  // namespace qv::platform
