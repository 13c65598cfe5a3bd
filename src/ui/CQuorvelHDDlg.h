// The main window: a borderless skinned frame with the caption, the minimise and hide buttons,
// the GPU selector and the temperature read-out of the GPU on show. The frame's state and rules
// are MainFrameModel's.
#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/CQuorvelHDApp.h"
#include "tuning/MainFrameModel.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace qv::ui {

class CQuorvelHDDlg final : public QWidget {
public:
    explicit CQuorvelHDDlg(app::CQuorvelHDApp& app, QWidget* parent = nullptr);

    // Shows, minimises or hides the window as the start mode asks.
    void applyStartMode();
    // Messages from later starts of the program.
    void handleInstanceMessages(const std::vector<uint32_t>& messages);
    // Shows the window normally and brings it to the front, also from hidden or minimised.
    void showAndRaise();
    // Ends the window's run with a result; the host's loop returns it.
    void endDialog(int result);
    void setEndHandler(std::function<void(int)> handler) { endHandler_ = std::move(handler); }

    const tuning::MainFrameModel& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void showGpu(int index);

    app::CQuorvelHDApp& app_;
    tuning::MainFrameModel model_;
    QComboBox* gpuSelector_ = nullptr;
    QLabel* temperatureReadout_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QPushButton* minimizeButton_ = nullptr;
    QPushButton* hideButton_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
    std::function<void(int)> endHandler_;
};

}  // namespace qv::ui
