// The curve control: samples the live values once a second (timer 77, the first sample at once),
// and paints the bands, grid, labels and curves that the curve model's geometry lays out. The
// mouse is passed on to the monitor window, which drags itself and opens its menu with it.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "monitor/CurveGeometry.h"
#include "monitor/CurveModel.h"
#include "platform/LocalTime.h"
#include "tuning/MonitorSession.h"

class QTimer;

namespace qv::ui {

class CNQVCurves final : public QWidget {
public:
    CNQVCurves(tuning::MonitorSession& session, std::unique_ptr<monitor::CurveModel> model,
               platform::LocalTimeSource& time, QWidget* parent = nullptr);
    ~CNQVCurves() override;

    // One sampling tick, as timer 77 runs it.
    void sampleNow();
    // Called after each tick, e.g. to tell the user once about a log that cannot be written.
    void setAfterTick(std::function<void(monitor::LogTickResult)> afterTick) {
        afterTick_ = std::move(afterTick);
    }

    const monitor::CurveModel& model() const { return *model_; }
    bool samplingActive() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    tuning::MonitorSession& session_;
    std::unique_ptr<monitor::CurveModel> model_;
    platform::LocalTimeSource& time_;
    QTimer* timer_ = nullptr;
    monitor::HoverState hover_;
    std::function<void(monitor::LogTickResult)> afterTick_;
};

}  // namespace qv::ui
