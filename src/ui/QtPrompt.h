// Message boxes for the application's prompts.
#pragma once

#include "platform/Prompt.h"

namespace qv::ui {

class QtPrompt final : public platform::Prompt {
public:
    // A prompt that is not interactive (a screenshot run, for one) writes each message to
    // standard error and takes it as dismissed instead of waiting for a person.
    explicit QtPrompt(bool interactive = true) : interactive_(interactive) {}

    platform::PromptAnswer show(const std::string& caption, const std::string& text,
                                platform::PromptIcon icon,
                                platform::PromptButtons buttons) override;

private:
    bool interactive_;
};

}  // namespace qv::ui
