#include "ui/QtFileChooser.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace qv::ui {

namespace {

std::string run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : QFile::encodeName(files.front()).toStdString();
}

}  // namespace

QWidget* QtFileChooser::owner() const {
    return owner_ != nullptr ? owner_.data() : QApplication::activeModalWidget();
}

std::string QtFileChooser::saveFile(const std::string& initialFolder, const std::string& filter,
                                    const std::string& defaultExtension) {
    QFileDialog dialog(owner(), QString(), QFile::decodeName(initialFolder.c_str()),
                       QString::fromStdString(filter));
    dialog.setObjectName("saveFileDialog");
    // A new file may be named; the folder it goes into must exist. Replacing a file is asked.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
    return run(dialog);
}

std::string QtFileChooser::openFile(const std::string& initialFolder, const std::string& filter) {
    QFileDialog dialog(owner(), QString(), QFile::decodeName(initialFolder.c_str()),
                       QString::fromStdString(filter));
    dialog.setObjectName("openFileDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog);
}

}  // namespace qv::ui
