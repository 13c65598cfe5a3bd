// The "Vexa Series Setting" window of the multi-display adapter: the timing list with the
// selected timing's fields, Set, the two bezel sliders with Apply, the status line and the
// debug row. DisplayTimingTool holds every rule; this window draws its state and forwards
// the user's input. Opened modally from the options dialog's "Vexa Series Settings" group.
#pragma once

#include <QDialog>

#include "gpu/DriverLoader.h"
#include "platform/Clock.h"
#include "platform/Prompt.h"
#include "tools/DisplayTimingTool.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;

namespace qv::ui {

class CViewDlg final : public QDialog {
public:
    // Opens the adapter at once (see DisplayTimingTool::open).
    CViewDlg(drv::DriverLoader& driver, platform::Prompt& prompt, QWidget* parent = nullptr,
             platform::Clock& clock = platform::SystemClock::instance());

    // Runs the window modally. The bezel corrections last for the whole run of the program.
    static void run(drv::DriverLoader& driver, platform::Prompt& prompt, QWidget* parent);

    const tools::DisplayTimingTool& tool() const { return tool_; }

private:
    void render();
    void manualEdited();

    tools::DisplayTimingTool tool_;
    QListWidget* timings_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QLineEdit* frequency_ = nullptr;
    QLineEdit* pixelClock_ = nullptr;
    QPushButton* set_ = nullptr;
    QPushButton* apply_ = nullptr;
    QSlider* horizontal_ = nullptr;
    QSlider* vertical_ = nullptr;
    QLabel* horizontalValue_ = nullptr;
    QLabel* verticalValue_ = nullptr;
    QLabel* status_ = nullptr;
    QLineEdit* debugCount_ = nullptr;
    QLineEdit* debugData_ = nullptr;
    QLineEdit* debugAddress_ = nullptr;
    QComboBox* debugMode_ = nullptr;
};

}  // namespace qv::ui
