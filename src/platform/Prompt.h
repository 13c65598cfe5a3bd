// Messages to the person at the machine: a text with a caption, an icon and a set of buttons,
// answered by the button pressed. The window side shows message boxes; tests script answers.
#pragma once

#include <string>

namespace qv::platform {

enum class PromptIcon { kError, kWarning, kQuestion, kInformation };
enum class PromptButtons { kOk, kOkCancel, kYesNo };
enum class PromptAnswer { kOk, kCancel, kYes, kNo };

class Prompt {
public:
    virtual ~Prompt() = default;
    // Shows the message and waits for the answer. A prompt that cannot be shown answers as if
    // the message had been dismissed: kOk for kOk, kCancel for kOkCancel, kNo for kYesNo.
    virtual PromptAnswer show(const std::string& caption, const std::string& text, PromptIcon icon,
                              PromptButtons buttons) = 0;
};

// The answer of a message that was dismissed without a choice.
inline PromptAnswer dismissedAnswer(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::kOkCancel:
            return PromptAnswer::kCancel;
        case PromptButtons::kYesNo:
            return PromptAnswer::kNo;
        case PromptButtons::kOk:
            break;
    }
    return PromptAnswer::kOk;
}

}  // namespace qv::platform
