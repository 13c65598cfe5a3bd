#include "tuning/BiosFlash.h"

#include <cstdio>
#include <vector>

#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "online/OnlineHosts.h"
#include "online/WebLink.h"
#include "platform/DebugOutput.h"
#include "settings/RegistryStore.h"
#include "settings/RegistryValues.h"
#include "tuning/ApplyController.h"
#include "tuning/MainDialogModelMessages.h"

namespace qv::tuning {

namespace {

// A row whose one conversion takes the argument.
template <typename Argument>
std::string formatRow(const char* pattern, Argument argument) {
    const int length = std::snprintf(nullptr, 0, pattern, argument);
    if (length <= 0) {
        return pattern;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), pattern, argument);
    return text.data();
}

constexpr std::string_view kVersionPlaceholder = "%s";

}  // namespace

std::string biosSearchLink(const std::string& supportServer, const std::string& biosVersion) {
    std::string path = kBiosSearchPath;
    path.replace(path.find(kVersionPlaceholder), kVersionPlaceholder.size(),
                 online::percentEncode(biosVersion));
    return online::joinServerPath(supportServer, path);
}

std::string flashToolName(settings::RegistryStore& store) {
    std::string name;
    if (!store.readText(settings::kValueFlashTool, name) || name.empty()) {
        name = online::kDefaultFlashTool;
    }
    return name;
}

BiosFlash::BiosFlash(BiosFlashServices services)
    : services_(std::move(services)), job_(std::make_unique<online::FlashJob>(services_.job)) {}

BiosFlash::~BiosFlash() {
    job_.reset();
}

std::string BiosFlash::text(int row) const {
    return lang::languageTable().text(row);
}

void BiosFlash::show(const std::string& message, platform::PromptIcon icon,
                     platform::PromptButtons buttons, platform::PromptAnswer* answer) {
    platform::PromptAnswer given = platform::dismissedAnswer(buttons);
    if (services_.prompt != nullptr) {
        given = services_.prompt->show(text(lang::kTextAppName), message, icon, buttons);
    }
    if (answer != nullptr) {
        *answer = given;
    }
}

bool BiosFlash::pressBios(int gpuOnShow, bool otherWorkRunning) {
    if (running() || otherWorkRunning || gpuOnShow < 0 || services_.chooser == nullptr) {
        return false;
    }
    const std::string file = services_.chooser->openFile(services_.initialFolder, kBiosFileFilter);
    if (file.empty()) {
        return false;
    }
    if (!online::isBiosFileName(file)) {
        show(text(lang::kTextBiosFileExtension), platform::PromptIcon::kError);
        return false;
    }
    platform::PromptAnswer answer = platform::PromptAnswer::kNo;
    show(formatRow(text(lang::kTextBiosFlashQuestion).c_str(), file.c_str()),
         platform::PromptIcon::kQuestion, platform::PromptButtons::kYesNo, &answer);
    if (answer != platform::PromptAnswer::kYes) {
        return false;
    }
    online::FlashRequest request;
    request.gpu = static_cast<uint8_t>(gpuOnShow);
    request.biosFile = file;
    const bool started = job_->start(request, [this](const online::FlashOutcome& outcome) {
        {
            std::lock_guard lock(outcomeMutex_);
            workerOutcome_ = outcome;
        }
        const uint32_t command =
            (kCommandFlashDone << 16) | (static_cast<uint32_t>(outcome.result) & 0xFFFFu);
        if (services_.poster != nullptr) {
            services_.poster->postThreadMessage(services_.uiThreadId, kMessageCommand, command,
                                                outcome.gpu);
        }
    });
    if (!started) {
        return false;
    }
    busyGpu_ = gpuOnShow;
    waitText_ = formatRow(text(lang::kTextBiosFlashWait).c_str(), gpuOnShow + 1);
    platform::debugOutput("BIOS flash: GPU %d from %s\n", gpuOnShow, file.c_str());
    return true;
}

void BiosFlash::onFlashDone(uint32_t command, intptr_t gpu) {
    if (commandAction(command) != DialogAction::kFlashDone) {
        return;
    }
    {
        std::lock_guard lock(outcomeMutex_);
        lastOutcome_ = workerOutcome_;
    }
    busyGpu_ = -1;
    waitText_.clear();
    const int result = static_cast<int>(commandResult(command));
    const online::FlashOutcome& o = lastOutcome_;
    platform::debugOutput("BIOS flash: GPU %d ended with %d%s%s%s\n", static_cast<int>(gpu), result,
                          o.failure.empty() ? "" : " (", o.failure.c_str(),
                          o.failure.empty() ? "" : ")");
    if (!o.savedBios.empty()) {
        platform::debugOutput("BIOS flash: the BIOS it had is saved in %s\n", o.savedBios.c_str());
    }
    if (!o.output.empty()) {
        platform::debugOutput("BIOS flash: the tool wrote:\n%s\n", o.output.c_str());
    }
    const int number = static_cast<int>(gpu) + 1;
    if (result == online::kFlashOk) {
        show(formatRow(text(lang::kTextBiosFlashDone).c_str(), number),
             platform::PromptIcon::kInformation);
        return;
    }
    std::string message = formatRow(text(lang::kTextBiosFlashFailed).c_str(), number);
    if (result == online::kFlashStillRunning) {
        message += "\n";
        message += kFlashStillRunningNote;
    }
    show(message, platform::PromptIcon::kError);
}

}  // namespace qv::tuning
