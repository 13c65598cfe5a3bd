#include "ui/CIndicateInstDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/DebugOutput.h"
#include "ui/ModalEnding.h"

namespace qv::ui {

namespace {

// Set for as long as showAlarm's window runs (the user-interface thread only).
bool alarmOpen = false;

}  // namespace

CIndicateInstDialog::CIndicateInstDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName("alarmDialog");
    setWindowTitle(QString::fromUtf8(lang::languageTable().text(lang::kTextAppName)));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* message = new QLabel(text.trimmed(), this);
    message->setObjectName("alarmText");
    auto* ok = new QPushButton(QString::fromUtf8(lang::languageTable().text(lang::kTextOk)), this);
    ok->setObjectName("alarmOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(message);
    column->addLayout(buttons);
}

bool CIndicateInstDialog::isOpen() {
    return alarmOpen;
}

void CIndicateInstDialog::showAlarm(const QString& text, QWidget* parent) {
    if (alarmOpen || programEnding()) {
        return;
    }
    alarmOpen = true;
    // On the heap and watched: a parent that is destroyed while the window runs takes the
    // window with it, and exec() then returns.
    const QPointer<CIndicateInstDialog> dialog = new CIndicateInstDialog(text, parent);
    platform::debugOutput("alarm window: open\n");
    dialog->exec();
    if (!dialog.isNull()) {
        delete dialog.data();
    }
    alarmOpen = false;
}

}  // namespace qv::ui
