#include <gtest/gtest.h>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"
#include "settings/StartArguments.h"
#include "tuning/MainFrameModel.h"

namespace qv::tuning {
namespace {

using test::LayerRig;

TEST(MainFrameModel, SelectorListsTheBoardsAndShowsTheFirstGpusTemperature) {
    LayerRig rig;
    rig.loadDriver();
    ASSERT_EQ(rig.sim().setTemperature(0, 47), 0);
    ASSERT_EQ(rig.sim().setTemperature(2, 103), 0);
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);

    MainFrameModel model;
    model.load(*rig.layer, true, true);
    EXPECT_EQ(model.selectorEntries(),
              (std::vector<std::string>{"GeForce GTX 680", "GeForce GTX 460", "GeForce GTX 260"}));
    EXPECT_EQ(model.gpuOnShow(), 0);
    EXPECT_EQ(model.temperature(), 47);
    EXPECT_EQ(model.temperatureText(), " 47");
    EXPECT_EQ(model.caption(), "Quorvel K");
    EXPECT_EQ(model.statusLine(), kSimulatedNotice);

    EXPECT_TRUE(model.selectGpu(*rig.layer, 2));
    EXPECT_EQ(model.gpuOnShow(), 2);
    EXPECT_EQ(model.temperatureText(), "103");
    EXPECT_FALSE(model.selectGpu(*rig.layer, 3));
    EXPECT_FALSE(model.selectGpu(*rig.layer, -1));
    EXPECT_EQ(model.gpuOnShow(), 2);
}

TEST(MainFrameModel, OffersAtMostThreeGpus) {
    LayerRig rig("six-gpus");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    ASSERT_GT(rig.layer->gpuCount(), kFrameMaxGpus);
    MainFrameModel model;
    model.load(*rig.layer, true, false);
    EXPECT_EQ(model.selectorEntries().size(), kFrameMaxGpus);
    EXPECT_EQ(model.statusLine(), "");
}

TEST(MainFrameModel, UnreadableTemperatureShowsAsMissing) {
    LayerRig rig;
    rig.loadDriver();
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    rig.sim().injectStatus(drv::kGpuGetThermalSettings, -5, -1);
    MainFrameModel model;
    model.load(*rig.layer, true, true);
    EXPECT_EQ(model.gpuOnShow(), 0);
    EXPECT_EQ(model.temperature(), -1);
    EXPECT_EQ(model.temperatureText(), kMissingValueText);
}

TEST(MainFrameModel, WithoutWorkingHardwareTheSelectorIsEmpty) {
    test::TempDir work;
    drv::DriverLoader loader(work.file("no-such-driver.so"));
    gpu::GpuLayerServices services;
    services.workingFolder = work.path();
    gpu::GpuLayer layer(loader, services);
    ASSERT_EQ(layer.initialize(), gpu::kInitHardwareFailure);
    MainFrameModel model;
    model.load(layer, false, false);
    EXPECT_TRUE(model.selectorEntries().empty());
    EXPECT_EQ(model.gpuOnShow(), -1);
    EXPECT_EQ(model.temperatureText(), kMissingValueText);
}

TEST(MainFrameModel, StartModesAndDragArea) {
    EXPECT_EQ(MainFrameModel::startAction(settings::kStartModeNone), StartAction::kShowNormal);
    EXPECT_EQ(MainFrameModel::startAction(settings::kStartModeNormal), StartAction::kShowNormal);
    EXPECT_EQ(MainFrameModel::startAction(settings::kStartModeMinimize), StartAction::kMinimize);
    EXPECT_EQ(MainFrameModel::startAction(settings::kStartModeSysTray), StartAction::kHide);

    EXPECT_TRUE(MainFrameModel::isDragPoint(0, true));
    EXPECT_TRUE(MainFrameModel::isDragPoint(kFrameDragHeight - 1, true));
    EXPECT_FALSE(MainFrameModel::isDragPoint(kFrameDragHeight, true));
    EXPECT_FALSE(MainFrameModel::isDragPoint(10, false));  // minimised or maximised
    EXPECT_FALSE(MainFrameModel::isDragPoint(-1, true));
}

}  // namespace
}  // namespace qv::tuning
