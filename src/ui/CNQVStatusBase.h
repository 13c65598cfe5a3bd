// The panel that holds the curve control inside the monitor window. It builds the curve model
// for its own client width; when the control is taller than the panel, it scrolls inside it.
#pragma once

#include <QScrollArea>
#include <memory>

#include "platform/LocalTime.h"
#include "tuning/MonitorSession.h"

namespace qv::ui {

class CNQVCurves;

class CNQVStatusBase final : public QScrollArea {
public:
    // `copyHistories`: the curves start with the samples the mirror history holds.
    CNQVStatusBase(tuning::MonitorSession& session, bool copyHistories,
                   platform::LocalTimeSource& time, const QSize& size, QWidget* parent = nullptr);

    CNQVCurves* curves() const { return curves_; }

private:
    CNQVCurves* curves_ = nullptr;
};

}  // namespace qv::ui
