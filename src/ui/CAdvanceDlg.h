// The advanced control dialog: a small modeless window over GPU 0 with the live clocks, P-state,
// power, core voltage and temperature, and (in its wide part) the power target and the P-state
// offsets with an Apply each. Every rule is the AdvancedPanel's; the window draws its state and
// forwards the user's input. Made once and kept for the life of the process: closing only hides
// it, and its refresh timer keeps running.
#pragma once

#include <QWidget>
#include <array>

#include "gpu/GpuLayer.h"
#include "tuning/AdvancedPanel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace qv::ui {

class CAdvanceDlg final : public QWidget {
public:
    CAdvanceDlg(gpu::GpuLayer& layer, QWidget* parent);

    // Shows the window where it was (or first beside its parent) and brings it to the front.
    void showAndRaise();
    // One refresh, as the timer runs it.
    void refreshNow();
    // The ">>>" / "<<<" button.
    void toggleWidth();

    const tuning::AdvancedPanel& panel() const { return panel_; }
    bool refreshActive() const;

private:
    struct Row {
        QLabel* name = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        QLabel* range = nullptr;
        QPushButton* apply = nullptr;
    };

    void buildReadouts();
    void buildRows();
    QLabel* makeLabel(const char* name, const QString& text, QRect box);
    QPushButton* makeButton(const char* name, const char* caption, QRect box);
    void render();

    tuning::AdvancedPanel panel_;
    std::array<Row, tuning::kAdvancedSliderCount> rows_{};
    QComboBox* clockType_ = nullptr;
    QLineEdit* graphicsClock_ = nullptr;
    QLineEdit* processorClock_ = nullptr;
    QLineEdit* memoryClock_ = nullptr;
    QLabel* pstate_ = nullptr;
    QLabel* power_ = nullptr;
    QLabel* powerLimit_ = nullptr;
    QLabel* coreVoltage_ = nullptr;
    QLabel* temperature_ = nullptr;
    QPushButton* widthButton_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace qv::ui
