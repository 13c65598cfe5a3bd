// The profile dialog: "Save" writes the hardware settings of every GPU to a file the person
// names, "Load" reads one back and applies it. Both start in the profile folder, and the
// process's current folder is the same after the file dialog as before it, whatever the answer.
// A cancelled file dialog leaves the profile dialog open; a save or a load closes it.
#pragma once

#include <QDialog>
#include <string>

#include "platform/FileChooser.h"
#include "platform/Prompt.h"
#include "settings/Profiles.h"
#include "lang/CMultiLangSupp.h"

class QPushButton;

namespace qv::ui {

// Language rows of the dialog.

class CQVProfileDlg final : public QDialog {
public:
    enum class Outcome { kNone, kSaved, kLoaded };

    CQVProfileDlg(settings::ProfileStore& store, std::string dataFolder,
                  const lang::CMultiLangSupp& texts, platform::FileChooser& chooser,
                  platform::Prompt& prompt, QWidget* parent = nullptr);

    // The buttons' work, also for callers without a click.
    void save();
    void load();

    // What the last save or load did: kNone until one ran. After a load the window applies the
    // loaded settings (kProfileApplyFromDialog), also when the load failed.
    Outcome outcome() const { return outcome_; }
    int status() const { return status_; }
    const std::string& path() const { return path_; }

private:
    std::string chooseFile(bool forSaving);

    settings::ProfileStore& store_;
    std::string dataFolder_;
    const lang::CMultiLangSupp& texts_;
    platform::FileChooser& chooser_;
    platform::Prompt& prompt_;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    Outcome outcome_ = Outcome::kNone;
    int status_ = settings::kProfileOk;
    std::string path_;
};

}  // namespace qv::ui
