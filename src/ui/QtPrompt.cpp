#include "ui/QtPrompt.h"

#include <QMessageBox>
#include <QString>
#include <cstdio>

#include "ui/ModalEnding.h"

namespace qv::ui {

namespace {

QMessageBox::Icon boxIcon(platform::PromptIcon icon) {
    switch (icon) {
        case platform::PromptIcon::kError:
            return QMessageBox::Critical;
        case platform::PromptIcon::kWarning:
            return QMessageBox::Warning;
        case platform::PromptIcon::kQuestion:
            return QMessageBox::Question;
        case platform::PromptIcon::kInformation:
            break;
    }
    return QMessageBox::Information;
}

QMessageBox::StandardButtons boxButtons(platform::PromptButtons buttons) {
    switch (buttons) {
        case platform::PromptButtons::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case platform::PromptButtons::kYesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case platform::PromptButtons::kOk:
            break;
    }
    return QMessageBox::Ok;
}

}  // namespace

platform::PromptAnswer QtPrompt::show(const std::string& caption, const std::string& text,
                                      platform::PromptIcon icon, platform::PromptButtons buttons) {
    if (programEnding()) {
        // Nobody is left to answer: the program is on its way out.
        return platform::dismissedAnswer(buttons);
    }
    if (!interactive_) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return platform::dismissedAnswer(buttons);
    }
    QMessageBox box(boxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    boxButtons(buttons));
    box.setObjectName("promptBox");
    switch (box.exec()) {
        case QMessageBox::Yes:
            return platform::PromptAnswer::kYes;
        case QMessageBox::No:
            return platform::PromptAnswer::kNo;
        case QMessageBox::Cancel:
            return platform::PromptAnswer::kCancel;
        case QMessageBox::Ok:
            return platform::PromptAnswer::kOk;
        default:
            break;
    }
    return platform::dismissedAnswer(buttons);
}

}  // namespace qv::ui
