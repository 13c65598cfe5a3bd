#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <initializer_list>

#include "gpu/GpuLayerTestSupport.h"
#include "ui/FanCurveChartView.h"
#include "ui/FanCurvePanel.h"
#include "ui/UiTestSupport.h"

namespace qv::test {
namespace {

constexpr uint32_t kEnglish = 0x0409;

class FanCurvePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
        rig.layer->waitForProbe();
        ASSERT_GE(rig.layer->gpuCount(), 2);
        panel = std::make_unique<ui::FanCurvePanel>(curve, *rig.layer, texts, prompt);
        panel->resize(400, 320);
        panel->show();
    }

    template <typename T>
    T* child(const char* name) {
        T* found = panel->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The ten boxes in the order T0, F0 ... T4, F4.
    void typeBoxes(std::initializer_list<int> values) {
        int index = 0;
        for (int value : values) {
            const QString name =
                QString("fanCurve%1%2").arg(index % 2 == 0 ? 'T' : 'F').arg(index / 2);
            auto* box = panel->findChild<QSpinBox*>(name);
            ASSERT_NE(box, nullptr);
            box->setValue(value);
            ++index;
        }
    }
    bool curveSwitch(uint8_t gpu) const { return rig.layer->record(gpu).fanCurveEnabled; }
    bool boxesEnabled() { return child<QSpinBox>("fanCurveT0")->isEnabled(); }

    LayerRig rig;
    tuning::FanCurveState curve;
    lang::CMultiLangSupp texts{kEnglish};
    ScriptedPrompt prompt;
    std::unique_ptr<ui::FanCurvePanel> panel;
};

TEST_F(FanCurvePanelTest, CustomAndAutoSwitchTheCurveOfTheGpuOnShowOnly) {
    EXPECT_EQ(child<QPushButton>("fanCurveCustom")->text(), "Custom");
    EXPECT_EQ(child<QPushButton>("fanCurveAuto")->text(), "Auto");
    EXPECT_TRUE(child<QPushButton>("fanCurveAuto")->isChecked());
    EXPECT_FALSE(boxesEnabled());
    EXPECT_FALSE(child<QPushButton>("fanCurveTakeOver")->isEnabled());

    panel->setGpuOnShow(1);
    child<QPushButton>("fanCurveCustom")->click();
    EXPECT_TRUE(curveSwitch(1));
    EXPECT_FALSE(curveSwitch(0));
    EXPECT_TRUE(child<QPushButton>("fanCurveCustom")->isChecked());
    EXPECT_FALSE(child<QPushButton>("fanCurveAuto")->isChecked());
    EXPECT_TRUE(boxesEnabled());
    EXPECT_TRUE(child<QPushButton>("fanCurveTakeOver")->isEnabled());

    // Another GPU on show: its own switch (off) is shown; back again, GPU 1's is.
    panel->setGpuOnShow(0);
    EXPECT_TRUE(child<QPushButton>("fanCurveAuto")->isChecked());
    EXPECT_FALSE(boxesEnabled());
    panel->setGpuOnShow(1);
    EXPECT_TRUE(child<QPushButton>("fanCurveCustom")->isChecked());

    child<QPushButton>("fanCurveAuto")->click();
    EXPECT_FALSE(curveSwitch(1));
    EXPECT_FALSE(boxesEnabled());

    // A GPU index the layer does not have switches nothing (not GPU 0 in its place).
    panel->setGpuOnShow(7);
    child<QPushButton>("fanCurveCustom")->click();
    for (uint8_t gpu = 0; gpu < gpu::kMaxGpus; ++gpu) {
        EXPECT_FALSE(curveSwitch(gpu)) << int(gpu);
    }
    EXPECT_FALSE(child<QPushButton>("fanCurveCustom")->isChecked());
}

TEST_F(FanCurvePanelTest, TakeOverKeepsTheCurveWhenTemperaturesAreOutOfOrder) {
    child<QPushButton>("fanCurveCustom")->click();
    EXPECT_EQ(child<QPushButton>("fanCurveTakeOver")->text(), "Load");
    EXPECT_EQ(child<QSpinBox>("fanCurveT2")->value(), 60);

    typeBoxes({20, 30, 50, 40, 40, 50, 80, 70, 100, 90});
    child<QPushButton>("fanCurveTakeOver")->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "");
    EXPECT_EQ(prompt.shown[0].text, fan::kCurveOrderMessage);
    EXPECT_EQ(curve.curve, fan::kInitialFanCurve);

    // In order (equal neighbours allowed; the percents are not checked).
    typeBoxes({20, 30, 40, 30, 40, 55, 85, 120, 100, 100});
    child<QPushButton>("fanCurveTakeOver")->click();
    EXPECT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(curve.curve, (fan::FanCurve{{{20, 30}, {40, 30}, {40, 55}, {85, 120}, {100, 100}}}));
}

TEST_F(FanCurvePanelTest, ChartReadsOutThePointUnderTheCursorAndModeSwitches) {
    ui::FanCurveChartView* chart = panel->chartView();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->objectName(), "fanCurveChart");
    EXPECT_TRUE(chart->toolTip().startsWith("Advanced fan control has two modes:"));
    ASSERT_GT(chart->chart().plot().width, 20);

    const auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), chart->mapToGlobal(QPointF(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart, &move);
    };
    const fan::ChartPixel at60 = chart->chart().toPixel(60, 60);
    // The point is drawn where the read-out finds it; away from the line is background.
    const QImage image = chart->grab().toImage();
    const QColor background = image.pixelColor(chart->width() - 2, 2);
    EXPECT_NE(image.pixelColor(at60.x, at60.y), background);
    EXPECT_EQ(image.pixelColor(chart->chart().toPixel(100, 20).x + 3,
                               chart->chart().toPixel(100, 20).y - 3),
              background);
    moveTo({at60.x + 2, at60.y - 2});
    EXPECT_EQ(chart->hoverText(), "(60,60)");
    moveTo({at60.x + 12, at60.y});
    EXPECT_EQ(chart->hoverText(), "");

    // The chart reads the curve taken over.
    child<QPushButton>("fanCurveCustom")->click();
    typeBoxes({10, 15, 30, 35, 50, 55, 70, 75, 90, 95});
    child<QPushButton>("fanCurveTakeOver")->click();
    const fan::ChartPixel at70 = chart->chart().toPixel(70, 75);
    moveTo({at70.x, at70.y});
    EXPECT_EQ(chart->hoverText(), "(70,75)");

    EXPECT_TRUE(child<QToolButton>("fanCurveSmooth")->isChecked());
    child<QToolButton>("fanCurveZigzag")->click();
    EXPECT_EQ(curve.mode, fan::kFanCurveZigzag);
    EXPECT_FALSE(child<QToolButton>("fanCurveSmooth")->isChecked());
    child<QToolButton>("fanCurveSmooth")->click();
    EXPECT_EQ(curve.mode, fan::kFanCurveSmooth);
    EXPECT_TRUE(child<QToolButton>("fanCurveSmooth")->isChecked());
}

}  // namespace
}  // namespace qv::test
