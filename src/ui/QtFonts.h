// The application's fonts as Qt fonts, and the session's fonts for start-up.
#pragma once

#include <QFont>

#include "app/AppFonts.h"
#include "platform/FontProvider.h"

namespace qv::ui {

// The Qt font for a definition: its face's family here, its height in pixels, its weight.
// Escapement and orientation stay with the definition; the controls that draw tilted text
// rotate their painter by them.
QFont toQFont(const app::FontDefinition& definition);

class QtFontProvider final : public platform::FontProvider {
public:
    bool familyInstalled(const std::string& family) override;
    bool addFontFile(const std::string& path) override;
};

}  // namespace qv::ui
