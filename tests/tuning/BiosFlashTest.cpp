// The main window's BIOS button and search link through its controller: the file check, the
// question, the busy state while the job runs, and the message its notice brings.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "online/OnlineHosts.h"
#include "online/WebLink.h"
#include "platform/CompanionFiles.h"
#include "platform/QueuePoster.h"
#include "settings/FileRegistryStore.h"
#include "settings/RegistryValues.h"
#include "support/FlashSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/SimHarness.h"
#include "tuning/MainDialogModelMessages.h"
#include "tuning/MainWindowController.h"

namespace qv::tuning {
namespace {

class ScriptedChooser final : public platform::FileChooser {
public:
    std::string saveFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string openFile(const std::string&, const std::string& filter) override {
        filters.push_back(filter);
        return answer;
    }
    std::string answer;
    std::vector<std::string> filters;
};

// Answers from a script (dismissed when it runs out) and keeps what was asked.
class ScriptedPrompt final : public platform::Prompt {
public:
    struct Shown {
        std::string text;
        platform::PromptIcon icon;
    };
    platform::PromptAnswer show(const std::string&, const std::string& text,
                                platform::PromptIcon icon,
                                platform::PromptButtons buttons) override {
        shown.push_back({text, icon});
        if (answers.empty()) {
            return platform::dismissedAnswer(buttons);
        }
        const platform::PromptAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<platform::PromptAnswer> answers;
    std::vector<Shown> shown;
};

std::string row(int r) {
    return lang::languageTable().text(r);
}

std::string withNumber(int r, int n) {
    char text[256];
    std::snprintf(text, sizeof text, row(r).c_str(), n);
    return text;
}

struct BiosRig {
    explicit BiosRig(const std::string& config = "", int minute = 10, uint32_t pace = 40)
        : session(config), clock(pace), localTime(clock, minute, 0) {
        env.clear("QV_STANDIN_MODE");
        env.clear("QV_STANDIN_EXIT");
        gpu::GpuLayerServices gpuServices;
        gpuServices.clock = &clock;
        gpuServices.workingFolder = work.path();
        layer = std::make_unique<gpu::GpuLayer>(session.loader(), gpuServices);
        EXPECT_EQ(layer->initialize(), gpu::kInitOk);
        layer->waitForProbe();
        biosFile = work.file("new.ROM");
        std::ofstream(biosFile) << "image";

        services.store = &store;
        services.settings = &settings;
        services.clock = &clock;
        services.poster = &poster;
        services.prompt = &prompt;
        services.hardwareReady = true;
        services.simulated = true;
        services.fileChooser = &chooser;
        services.biosFolder = work.path();
        services.flash.clock = &clock;
        services.flash.localTime = &localTime;
        services.flash.toolProgram = test::kStandInFlashTool;
        services.flash.romDumpProgram = platform::companionFile(gpu::GpuLayer::kRomDumpProgramName);
        services.flash.romDumpArguments = {"--simulate"};
        services.flash.romDumpLimitMs = test::kTestRomDumpLimitMs;
        rebuild();
    }
    // A new controller, as a new start of the window makes.
    void rebuild() {
        controller.reset();
        controller = std::make_unique<MainWindowController>(*layer, services);
        controller->start();
    }
    const MainWindowView& view() const { return controller->view(); }
    // Waits for the job's notice and hands it to the controller, as the window does.
    void deliverNotice() {
        const std::optional<platform::PostedMessage> m = poster.take(30000);
        ASSERT_TRUE(m.has_value());
        controller->handlePostedMessage(m->message, m->wParam, m->lParam);
    }

    test::ScopedEnvironment env;
    test::TempDir work;
    test::SimSession session;
    test::PacedClock clock;
    test::ClockedLocalTime localTime;
    platform::QueuePoster poster;
    ScriptedPrompt prompt;
    ScriptedChooser chooser;
    settings::FileRegistryStore store{
        settings::StorePaths{work.file("settings.conf"), work.file("quorvel.desktop")}};
    settings::RegistrySettings settings;
    std::unique_ptr<gpu::GpuLayer> layer;
    MainWindowServices services;
    std::unique_ptr<MainWindowController> controller;
    std::string biosFile;
};

TEST(BiosFlash, AFileNotEndingInRomOrNvrOrAnUnconfirmedOneStartsNothing) {
    BiosRig rig;
    EXPECT_TRUE(rig.view().bios.enabled);
    rig.chooser.answer = "";  // cancelled
    rig.controller->pressBios();
    EXPECT_TRUE(rig.prompt.shown.empty());

    rig.chooser.answer = rig.work.file("new.bin");
    rig.controller->pressBios();
    ASSERT_EQ(rig.prompt.shown.size(), 1u);
    EXPECT_EQ(rig.prompt.shown[0].text, row(lang::kTextBiosFileExtension));
    EXPECT_EQ(rig.prompt.shown[0].icon, platform::PromptIcon::kError);

    rig.chooser.answer = rig.biosFile;
    rig.prompt.answers = {platform::PromptAnswer::kNo};
    rig.controller->pressBios();
    ASSERT_EQ(rig.prompt.shown.size(), 2u);
    EXPECT_EQ(rig.prompt.shown[1].text, "Are you sure to flash '" + rig.biosFile + "'?");
    EXPECT_FALSE(rig.controller->busy());
    EXPECT_EQ(rig.poster.pending(), 0u);
    EXPECT_EQ(rig.chooser.filters.back(), kBiosFileFilter);
}

TEST(BiosFlash, ARunningFlashHoldsBackApplyAndQuitAndItsNoticeTellsTheOutcome) {
    BiosRig rig;
    rig.controller->showGpu(1);
    rig.chooser.answer = rig.biosFile;
    rig.prompt.answers = {platform::PromptAnswer::kYes};
    rig.controller->pressBios();
    ASSERT_TRUE(rig.controller->busy());
    EXPECT_EQ(rig.view().biosWaitText, withNumber(lang::kTextBiosFlashWait, 2));
    EXPECT_FALSE(rig.view().apply.enabled);
    EXPECT_FALSE(rig.view().reset.enabled);
    EXPECT_FALSE(rig.view().bios.enabled);
    // Neither Apply nor a second flash starts meanwhile.
    rig.controller->pressApply();
    EXPECT_FALSE(rig.controller->applyController().running());
    rig.controller->pressBios();
    EXPECT_EQ(rig.prompt.shown.size(), 1u);

    rig.deliverNotice();
    EXPECT_FALSE(rig.controller->busy());
    EXPECT_TRUE(rig.view().biosWaitText.empty());
    EXPECT_TRUE(rig.view().apply.enabled);
    ASSERT_EQ(rig.prompt.shown.size(), 2u);
    EXPECT_EQ(rig.prompt.shown[1].text, withNumber(lang::kTextBiosFlashDone, 2));
    EXPECT_EQ(rig.prompt.shown[1].icon, platform::PromptIcon::kInformation);
    EXPECT_EQ(rig.controller->biosFlash().lastOutcome().result, 0);

    // The tool's failure code: the failure message with the same GPU number.
    rig.env.set("QV_STANDIN_EXIT", "3");
    rig.prompt.answers = {platform::PromptAnswer::kYes};
    rig.controller->pressBios();
    rig.deliverNotice();
    EXPECT_EQ(rig.prompt.shown.back().text, withNumber(lang::kTextBiosFlashFailed, 2));
    EXPECT_EQ(rig.prompt.shown.back().icon, platform::PromptIcon::kError);
}

TEST(BiosFlash, AToolLeftRunningIsReportedAsStillRunning) {
    BiosRig rig("", 58, 400);
    rig.env.set("QV_STANDIN_MODE", "hang");
    rig.chooser.answer = rig.biosFile;
    rig.prompt.answers = {platform::PromptAnswer::kYes};
    rig.controller->pressBios();
    rig.deliverNotice();
    EXPECT_EQ(rig.prompt.shown.back().text,
              withNumber(lang::kTextBiosFlashFailed, 1) + "\n" + kFlashStillRunningNote);
}

TEST(BiosFlash, TheSearchLinkFollowsTheGpuOnShowAndTheStoredSupportServer) {
    BiosRig rig(test::presetPath("single-05e2"));
    const std::string version = rig.layer->biosVersion(0);
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(rig.view().biosSearchLink,
              std::string(online::kDefaultSupportServer) +
                  "/Search.aspx?Type=Bios&ID=" + online::percentEncode(version));
    EXPECT_EQ(rig.controller->biosSearchLinkToOpen().value_or(""), rig.view().biosSearchLink);

    EXPECT_TRUE(rig.store.writeText(settings::kValueSupportServer, "http://127.0.0.1:8080/"));
    rig.rebuild();
    EXPECT_EQ(rig.view().biosSearchLink,
              "http://127.0.0.1:8080/Search.aspx?Type=Bios&ID=" + online::percentEncode(version));
    EXPECT_EQ(biosSearchLink("http://127.0.0.1:8080/", "62.00 A/B"),
              "http://127.0.0.1:8080/Search.aspx?Type=Bios&ID=62.00%20A%2FB");
}

}  // namespace
}  // namespace qv::tuning
