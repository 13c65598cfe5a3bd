#include "ui/CQVProfileDlg.h"

#include <unistd.h>

#include <QHBoxLayout>
#include <QPushButton>
#include <utility>
#include <vector>

#include "lang/LanguageRows.h"
#include "ui/ProfileMessages.h"

namespace qv::ui {

namespace {

// Puts the process's current folder back when it goes out of scope: the system's file dialog
// may leave it in the folder the person browsed to, and relative names resolve against it.
class CurrentFolderKeeper {
public:
    CurrentFolderKeeper() {
        std::vector<char> buffer(4096);
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            folder_ = buffer.data();
        }
    }
    ~CurrentFolderKeeper() {
        if (!folder_.empty()) {
            // Nothing sensible is left to do when the folder has gone away meanwhile.
            [[maybe_unused]] const int ignored = chdir(folder_.c_str());
        }
    }
    CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
    CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

private:
    std::string folder_;
};

}  // namespace

CQVProfileDlg::CQVProfileDlg(settings::ProfileStore& store, std::string dataFolder,
                             const lang::CMultiLangSupp& texts, platform::FileChooser& chooser,
                             platform::Prompt& prompt, QWidget* parent)
    : QDialog(parent),
      store_(store),
      dataFolder_(std::move(dataFolder)),
      texts_(texts),
      chooser_(chooser),
      prompt_(prompt) {
    setObjectName("profileDialog");
    setWindowTitle(QString::fromUtf8(texts.text(lang::kTextProfileCaption)));
    saveButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextSave)), this);
    saveButton_->setObjectName("profileDialogSave");
    saveButton_->setAutoDefault(false);
    loadButton_ = new QPushButton(QString::fromUtf8(texts.text(lang::kTextLoad)), this);
    loadButton_->setObjectName("profileDialogLoad");
    loadButton_->setAutoDefault(false);
    auto* row = new QHBoxLayout(this);
    row->addWidget(saveButton_);
    row->addWidget(loadButton_);
    connect(saveButton_, &QPushButton::clicked, this, [this] { save(); });
    connect(loadButton_, &QPushButton::clicked, this, [this] { load(); });
}

std::string CQVProfileDlg::chooseFile(bool forSaving) {
    // A folder that cannot be made only means the file dialog starts elsewhere.
    settings::createProfileFolder(dataFolder_);
    const std::string folder = settings::profileFolder(dataFolder_);
    const CurrentFolderKeeper keeper;
    return forSaving
               ? chooser_.saveFile(folder, platform::kIniFileFilter, platform::kIniDefaultExtension)
               : chooser_.openFile(folder, platform::kIniFileFilter);
}

void CQVProfileDlg::save() {
    const std::string path = chooseFile(true);
    if (path.empty()) {
        return;
    }
    outcome_ = Outcome::kSaved;
    path_ = path;
    status_ = store_.saveProfile(path);
    if (status_ != settings::kProfileOk) {
        // Stay open, so that another file can be tried.
        showProfileError(prompt_, texts_, profileSaveFailedText(path));
        return;
    }
    accept();
}

void CQVProfileDlg::load() {
    const std::string path = chooseFile(false);
    if (path.empty()) {
        return;
    }
    outcome_ = Outcome::kLoaded;
    path_ = path;
    status_ = store_.loadProfile(path);
    if (status_ != settings::kProfileOk) {
        showProfileError(prompt_, texts_, profileLoadFailedText(path));
    }
    accept();
}

}  // namespace qv::ui
