#include "ui/QtFonts.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace qv::ui {

QFont toQFont(const app::FontDefinition& definition) {
    QFont font(QString::fromUtf8(definition.face->family));
    font.setPixelSize(definition.height);
    font.setWeight(definition.weight == app::kFontWeightDefault
                       ? QFont::Normal
                       : static_cast<QFont::Weight>(definition.weight));
    return font;
}

bool QtFontProvider::familyInstalled(const std::string& family) {
    return QFontDatabase::families().contains(QString::fromStdString(family), Qt::CaseSensitive);
}

bool QtFontProvider::addFontFile(const std::string& path) {
    return QFontDatabase::addApplicationFont(QString::fromStdString(path)) >= 0;
}

}  // namespace qv::ui
