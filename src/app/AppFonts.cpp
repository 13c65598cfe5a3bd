#include "app/AppFonts.h"

#include "platform/CompanionFiles.h"

namespace qv::app {

const FontDefinition& fontDefinition(int number) {
    if (number < 1 || number > static_cast<int>(kFontCount)) {
        return kFontDefinitions[0];
    }
    return kFontDefinitions[static_cast<size_t>(number - 1)];
}

int setUpFonts(platform::FontProvider& fonts, const std::string& programFolder) {
    for (const FontFace* face : {&kFaceArial, &kFaceDigital}) {
        if (fonts.familyInstalled(face->family)) {
            continue;
        }
        const std::string path = platform::findSharedDataFile(programFolder, face->fileName);
        if (!fonts.addFontFile(path)) {
            return -1;
        }
    }
    return 0;
}

}  // namespace qv::app
