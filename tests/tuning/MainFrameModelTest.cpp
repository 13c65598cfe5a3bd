#include <gtest/gtest.h>

#include "gpu/DriverIds.h"
#include "gpu/GpuLayerTestSupport.h"
#include "settings/StartArguments.h"
#include "tuning/MainFrameModel.h"

namespace qv::tuning {
namespace {

using test::LayerRig;

TEST(MainFrameModel, SelectorListsTheBoards) {
    LayerRig rig;
    rig.loadDriver();
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);

    MainFrameModel model;
    model.load(*rig.layer, true, true);
    EXPECT_EQ(model.selectorEntries(),
              (std::vector<std::string>{"GeForce GTX 680", "GeForce GTX 460", "GeForce GTX 260"}));
    EXPECT_EQ(model.caption(), "Quorvel K");
    EXPECT_EQ(model.statusLine(), kSimulatedNotice);
    EXPECT_TRUE(model.hasEntry(2));
    EXPECT_FALSE(model.hasEntry(3));
    EXPECT_FALSE(model.hasEntry(-1));
}

TEST(MainFrameModel, OffersEveryGpuTheWindowCanAdjust) {
    LayerRig rig("six-gpus");
    ASSERT_EQ(rig.layer->initialize(), gpu::kInitOk);
    // Six GPUs: the layer keeps five, and the window offers each of them.
    ASSERT_EQ(rig.layer->gpuCount(), gpu::kMaxGpus);
    ASSERT_EQ(rig.layer->ignoredGpuCount(), 1u);
    MainFrameModel model;
    model.load(*rig.layer, true, false);
    EXPECT_EQ(model.selectorEntries().size(), gpu::kMaxGpus);
    EXPECT_TRUE(model.hasEntry(4));
    EXPECT_EQ(model.statusLine(), "");
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
    EXPECT_FALSE(model.hasEntry(0));
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
