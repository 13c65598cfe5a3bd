#include "ui/CPasswordDlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/LanguageRows.h"

namespace qv::ui {

namespace {

QString rowText(const lang::CMultiLangSupp& texts, int row) {
    return QString::fromUtf8(texts.text(row));
}

QLineEdit* passwordField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setMaxLength(static_cast<int>(settings::kPasswordFieldMaxChars));
    field->setEchoMode(QLineEdit::Password);
    return field;
}

std::string fieldText(const QLineEdit* field) {
    return field->text().toLocal8Bit().toStdString();
}

}  // namespace

CPasswordDlg::CPasswordDlg(settings::RegistryStore& store, settings::RegistrySettings& settings,
                           platform::Prompt& prompt, const lang::CMultiLangSupp& texts,
                           QWidget* parent)
    : QDialog(parent), model_(store, settings, prompt, texts) {
    setObjectName("passwordDialog");
    setWindowTitle(rowText(texts, lang::kTextChangePassword));

    auto* group = new QGroupBox(this);
    group->setObjectName("passwordGroup");
    original_ = passwordField("originalPassword", group);
    newPassword_ = passwordField("newPassword", group);
    confirm_ = passwordField("confirmPassword", group);
    auto* form = new QFormLayout(group);
    form->addRow(rowText(texts, lang::kTextOriginalPassword), original_);
    form->addRow(rowText(texts, lang::kTextNewPassword), newPassword_);
    form->addRow(rowText(texts, lang::kTextConfirmPassword), confirm_);

    auto* ok = new QPushButton(rowText(texts, lang::kTextOk), this);
    ok->setObjectName("passwordOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton(rowText(texts, lang::kTextCancel), this);
    cancel->setObjectName("passwordCancel");
    connect(ok, &QPushButton::clicked, this, &CPasswordDlg::pressOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(group);
    column->addLayout(buttons);
}

void CPasswordDlg::pressOk() {
    if (model_.pressOk({fieldText(original_), fieldText(newPassword_), fieldText(confirm_)})) {
        accept();
    }
}

bool CPasswordDlg::run(settings::RegistryStore& store, settings::RegistrySettings& settings,
                       platform::Prompt& prompt, QWidget* parent,
                       const lang::CMultiLangSupp& texts) {
    // On the heap and watched: a parent destroyed while the dialog runs takes it along.
    const QPointer<CPasswordDlg> dialog = new CPasswordDlg(store, settings, prompt, texts, parent);
    const bool changed = dialog->exec() == QDialog::Accepted;
    if (!dialog.isNull()) {
        delete dialog.data();
    }
    return changed;
}

}  // namespace qv::ui
