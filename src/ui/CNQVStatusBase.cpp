#include "ui/CNQVStatusBase.h"

#include <QScrollBar>
#include <QStyle>

#include "ui/CNQVCurves.h"

namespace qv::ui {

CNQVStatusBase::CNQVStatusBase(tuning::MonitorSession& session, bool copyHistories,
                               platform::LocalTimeSource& time, const QSize& size, QWidget* parent)
    : QScrollArea(parent) {
    setObjectName("curvePanel");
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("QScrollArea { background: black; }"));
    resize(size);
    // The client width leaves room for the scroll bar, so that showing it never changes how many
    // samples fit.
    const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int clientWidth = size.width() - scrollBarWidth;
    std::unique_ptr<monitor::CurveModel> model =
        session.makeCurves(clientWidth, size.height(), copyHistories);
    setVerticalScrollBarPolicy(model->needsScrollBar() ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
    curves_ = new CNQVCurves(session, std::move(model), time);
    setWidget(curves_);
    setWidgetResizable(false);
}

}  // namespace qv::ui
