// The options dialog: start with the desktop, saving of hardware settings, curve sampling,
// automatic update, the overlay items, the HDMI default, the fan rules, the fan speed test, news,
// the temperature alarm, the hot keys, the wireless display module and the entry to the display
// timing tool. Every rule is the OptionsDialogModel's: the dialog draws its control record, runs
// the timers and pauses it asks for, and forwards every click.
#pragma once

#include <QDialog>
#include <map>
#include <memory>

#include "settings/OptionsDialogModel.h"

class QAbstractButton;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QTimer;
class QWidget;

namespace qv::ui {

class CSetDialog final : public QDialog {
public:
    CSetDialog(uint8_t gpu, settings::OptionsDialogServices services, QWidget* parent = nullptr);
    ~CSetDialog() override;

    settings::OptionsDialogModel& model() { return *model_; }
    // The widget of a control id (for tests and the screenshots).
    QWidget* controlWidget(int id) const;

    // Inputs as the widgets send them, also for callers without a click.
    void click(int id);
    void fireTimer(int id);
    void finishWait(settings::OptionsWait what);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;

private:
    void build();
    QGroupBox* group(int id);
    QAbstractButton* check(int id, QWidget* parent, bool radio = false);
    QAbstractButton* button(int id, QWidget* parent);
    QComboBox* list(int id, QWidget* parent, bool editable = false);
    QLabel* label(int id, QWidget* parent);
    // Redraws every control from the model and follows its timers and pauses.
    void render();
    void syncTimers();

    std::unique_ptr<settings::OptionsDialogModel> model_;
    std::map<int, QWidget*> widgets_;
    std::map<int, QTimer*> timers_;
    bool rendering_ = false;
};

}  // namespace qv::ui
