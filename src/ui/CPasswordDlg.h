// The "Change Password" dialog of the phone remote control: original, new and confirmed
// password, OK and Cancel. The rules of OK are PasswordDialogModel's; this window reads the
// three fields and closes when the model says so. Opened from the options dialog's "Change
// Password" button.
#pragma once

#include <QDialog>

#include "lang/CMultiLangSupp.h"
#include "platform/Prompt.h"
#include "settings/PasswordChange.h"

class QLineEdit;

namespace qv::ui {

class CPasswordDlg final : public QDialog {
public:
    CPasswordDlg(settings::RegistryStore& store, settings::RegistrySettings& settings,
                 platform::Prompt& prompt, const lang::CMultiLangSupp& texts,
                 QWidget* parent = nullptr);

    // Runs the dialog modally; true when the password was changed.
    static bool run(settings::RegistryStore& store, settings::RegistrySettings& settings,
                    platform::Prompt& prompt, QWidget* parent,
                    const lang::CMultiLangSupp& texts = lang::languageTable());

    // The OK button's work: closes the dialog (accepted) when the password changed.
    void pressOk();

private:
    settings::PasswordDialogModel model_;
    QLineEdit* original_ = nullptr;
    QLineEdit* newPassword_ = nullptr;
    QLineEdit* confirm_ = nullptr;
};

}  // namespace qv::ui
