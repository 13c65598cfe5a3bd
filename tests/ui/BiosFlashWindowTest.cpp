// The main window's BIOS buttons: tool tips, the search link, and a flash through the stand-in
// tool with the wait window up and Quit held back until the job's notice arrives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>
#include <fstream>

#include "gpu/GpuLayer.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/CompanionFiles.h"
#include "platform/SingleInstance.h"
#include "settings/RegistryValues.h"
#include "support/FlashSupport.h"
#include "ui/CQuorvelHDDlg.h"
#include "ui/UiTestSupport.h"

namespace qv::test {
namespace {

class OneFileChooser final : public platform::FileChooser {
public:
    explicit OneFileChooser(std::string file) : file_(std::move(file)) {}
    std::string saveFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string openFile(const std::string&, const std::string&) override { return file_; }

private:
    std::string file_;
};

// Where QV_SCREENSHOTS names a folder, the pictures for the documentation go there as well.
void keepPicture(QWidget* widget, const char* name) {
    if (const char* folder = std::getenv("QV_SCREENSHOTS"); folder != nullptr && *folder != 0) {
        EXPECT_TRUE(widget->grab().toImage().save(QString::fromLocal8Bit(folder) + "/" + name))
            << name;
    }
}

std::string withNumber(int row, int n) {
    char text[256];
    std::snprintf(text, sizeof text, lang::languageTable().text(row), n);
    return text;
}

class BiosFlashWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The stand-in tool in place of the vendor's, and the ROM-dump helper beside the program.
        ASSERT_TRUE(machine_.store.writeText(settings::kValueFlashTool, kStandInFlashTool));
        ASSERT_EQ(symlink(platform::companionFile(gpu::GpuLayer::kRomDumpProgramName).c_str(),
                          machine_.program.file(gpu::GpuLayer::kRomDumpProgramName).c_str()),
                  0);
        machine_.environment.clear("QV_STANDIN_MODE");
        machine_.environment.clear("QV_STANDIN_EXIT");
        instance_ = std::make_unique<platform::PosixSingleInstance>(machine_.lock.path());
        app::AppServices services = machine_.services();
        services.instance = instance_.get();
        app_ = std::make_unique<app::CQuorvelHDApp>(services);
        app_->InitInstance({});
        ASSERT_TRUE(app_->hardwareReady());
        window_ = std::make_unique<ui::CQuorvelHDDlg>(*app_);
        biosFile_ = machine_.data.file("new.nvr");
        std::ofstream(biosFile_) << "image";
    }

    AppMachine machine_;
    std::unique_ptr<platform::PosixSingleInstance> instance_;
    std::unique_ptr<app::CQuorvelHDApp> app_;
    std::unique_ptr<ui::CQuorvelHDDlg> window_;
    std::string biosFile_;
};

TEST_F(BiosFlashWindowTest, TheButtonsCarryTheirTipsAndTheSearchLinkIsAWebLink) {
    auto* bios = window_->findChild<QPushButton*>("biosButton");
    auto* search = window_->findChild<QPushButton*>("biosSearchButton");
    ASSERT_NE(bios, nullptr);
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(bios->toolTip().toStdString(), lang::languageTable().text(lang::kTipBiosFlash));
    EXPECT_EQ(search->toolTip().toStdString(), lang::languageTable().text(lang::kTipBiosSearch));
    EXPECT_TRUE(bios->isEnabled());
    EXPECT_EQ(window_->controller().view().biosSearchLink.rfind(
                  "https://support.quorvel.org/Search.aspx?Type=Bios&ID=", 0),
              0u);
}

TEST_F(BiosFlashWindowTest, TheWaitWindowStaysAndQuitIsHeldBackUntilTheFlashReports) {
    window_->applyStartMode();
    bool ended = false;
    window_->setEndHandler([&](int) { ended = true; });
    OneFileChooser chooser(biosFile_);
    window_->setBiosFileChooser(&chooser);
    machine_.prompt.answerNext(platform::PromptAnswer::kYes);
    window_->findChild<QPushButton*>("biosButton")->click();

    QWidget* wait = window_->biosWaitWindow();
    ASSERT_NE(wait, nullptr);
    EXPECT_TRUE(wait->isVisible());
    EXPECT_EQ(wait->findChild<QLabel*>("biosWaitText")->text().toStdString(),
              withNumber(lang::kTextBiosFlashWait, 1));
    keepPicture(wait, "bios-wait.png");
    EXPECT_FALSE(window_->findChild<QPushButton*>("applyButton")->isEnabled());
    EXPECT_FALSE(window_->findChild<QPushButton*>("biosButton")->isEnabled());
    window_->quit();
    QApplication::processEvents();
    EXPECT_FALSE(ended);

    ASSERT_TRUE(waitUntil([&] {
        QApplication::processEvents();
        return window_->biosWaitWindow() == nullptr;
    }));
    ASSERT_FALSE(machine_.prompt.shown.empty());
    EXPECT_EQ(machine_.prompt.shown.back().text, withNumber(lang::kTextBiosFlashDone, 1));
    EXPECT_TRUE(window_->findChild<QPushButton*>("applyButton")->isEnabled());
    EXPECT_FALSE(window_->controller().busy());
}

}  // namespace
}  // namespace qv::test
