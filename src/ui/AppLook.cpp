#include "ui/AppLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "ui/MainWindowSkin.h"

namespace qv::ui {

namespace {

constexpr const char* kStyleName = "Fusion";

// Colours of the palette beside the skin's own.
const QColor kFieldColour(44, 50, 62);
const QColor kAlternateFieldColour(38, 43, 53);
const QColor kButtonColour(72, 80, 96);
const QColor kTextColour(220, 224, 232);
const QColor kDisabledTextColour(110, 116, 128);
const QColor kHighlightColour(40, 120, 200);
const QColor kLinkColour(64, 168, 255);
const QColor kShadowColour(8, 9, 12);

// Tool tips and the dialogs' frames; the colours of everything else come from the palette.
constexpr const char* kApplicationStyle =
    "QToolTip { color: rgb(220, 224, 232); background: rgb(44, 50, 62);"
    " border: 1px solid rgb(90, 98, 116); padding: 3px; }"
    "QMessageBox QLabel { color: rgb(220, 224, 232); }"
    "QDialog QPushButton { min-width: 72px; padding: 4px 10px; }";

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, skin::kBackgroundTop);
    palette.setColor(QPalette::WindowText, kTextColour);
    palette.setColor(QPalette::Base, kFieldColour);
    palette.setColor(QPalette::AlternateBase, kAlternateFieldColour);
    palette.setColor(QPalette::Text, kTextColour);
    palette.setColor(QPalette::PlaceholderText, kDisabledTextColour);
    palette.setColor(QPalette::Button, kButtonColour);
    palette.setColor(QPalette::ButtonText, kTextColour);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, kHighlightColour);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, kFieldColour);
    palette.setColor(QPalette::ToolTipText, kTextColour);
    palette.setColor(QPalette::Link, kLinkColour);
    palette.setColor(QPalette::Light, skin::kEdgeColour);
    palette.setColor(QPalette::Midlight, skin::kHeaderColour);
    palette.setColor(QPalette::Mid, skin::kPanelColour);
    palette.setColor(QPalette::Dark, skin::kBackgroundBottom);
    palette.setColor(QPalette::Shadow, kShadowColour);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, kDisabledTextColour);
    }
    palette.setColor(QPalette::Disabled, QPalette::Button, skin::kPanelColour);
    return palette;
}

}  // namespace

void applyAppLook(QApplication& application) {
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(kStyleName)); style != nullptr) {
        QApplication::setStyle(style);
    }
    QApplication::setPalette(darkPalette());
    application.setStyleSheet(QString::fromLatin1(kApplicationStyle));
}

}  // namespace qv::ui
