// A round gauge of the main window: an arc filled to the value's share of its scale, the value
// as digits in the seven-segment face, and the gauge's name under it. It draws what it is given
// and holds no rule of its own.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace qv::ui {

class Gauge final : public QWidget {
public:
    Gauge(const QString& caption, int scaleMax, QWidget* parent = nullptr);

    // `value` < 0 is a missing reading: the arc stays empty and the digits read `text` as given
    // (normally "---"). `text` is drawn in `colour`.
    void setReading(int value, const QString& text, const QColor& colour);
    void setScaleMax(int scaleMax);

    int value() const { return value_; }
    const QString& text() const { return text_; }
    const QColor& textColour() const { return colour_; }
    int scaleMax() const { return scaleMax_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    int scaleMax_;
    int value_ = -1;
    QString text_;
    QColor colour_;
};

}  // namespace qv::ui
