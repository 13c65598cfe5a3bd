#include "settings/PasswordChange.h"

#include <limits>

#include "lang/LanguageRows.h"
#include "settings/RegistryValues.h"

namespace qv::settings {

namespace {

// A field as the dialog reads it: at most kPasswordFieldMaxChars characters.
std::string_view field(const std::string& text) {
    return std::string_view(text).substr(0, kPasswordFieldMaxChars);
}

}  // namespace

bool parseNewPassword(std::string_view text, uint32_t& value) {
    if (text.empty()) {
        return false;
    }
    uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > std::numeric_limits<uint32_t>::max()) {
            return false;
        }
    }
    value = static_cast<uint32_t>(number);
    return true;
}

bool storedPasswordText(RegistryStore& store, std::string& text) {
    uint32_t stored = 0;
    if (!store.readValue(kValueIphonePassWord, stored)) {
        return false;
    }
    text = std::to_string(stored);
    return true;
}

PasswordOutcome changePassword(const PasswordEntry& entry, RegistryStore& store,
                               RegistrySettings& settings) {
    const std::string_view newText = field(entry.newPassword);
    if (newText != field(entry.confirm)) {
        return PasswordOutcome::kConfirmDiffers;
    }
    // Always the stored value of this moment, never the member. A store that cannot say what
    // it holds accepts nothing: any guess could let the wrong person in.
    std::string stored;
    if (!storedPasswordText(store, stored)) {
        return PasswordOutcome::kWrongOriginal;
    }
    if (field(entry.original).substr(0, kPasswordComparedChars) !=
        std::string_view(stored).substr(0, kPasswordComparedChars)) {
        return PasswordOutcome::kWrongOriginal;
    }
    if (newText.empty()) {
        return PasswordOutcome::kNewEmpty;
    }
    // Only a number the user typed in full is taken: "12ab" silently becoming 12 would lock
    // the user out with a password they never chose.
    uint32_t value = 0;
    if (!parseNewPassword(newText, value)) {
        return PasswordOutcome::kNewNotANumber;
    }
    if (!store.writeValue(kValueIphonePassWord, value)) {
        return PasswordOutcome::kStoreWriteFailed;
    }
    settings.iphonePassWord = static_cast<int>(value);  // the 32 bits, as the start-up load keeps them
    return PasswordOutcome::kChanged;
}

PasswordMessage passwordMessage(PasswordOutcome outcome, const lang::CMultiLangSupp& texts) {
    using platform::PromptIcon;
    switch (outcome) {
        case PasswordOutcome::kChanged:
            return {{}, PromptIcon::kInformation};
        case PasswordOutcome::kConfirmDiffers:
            return {texts.text(lang::kTextPasswordsDiffer), PromptIcon::kError};
        case PasswordOutcome::kWrongOriginal:
            return {texts.text(lang::kTextPasswordError), PromptIcon::kError};
        case PasswordOutcome::kNewEmpty:
            return {texts.text(lang::kTextPleaseInputPassword), PromptIcon::kInformation};
        case PasswordOutcome::kNewNotANumber:
            return {kTextPasswordNotANumber, PromptIcon::kError};
        case PasswordOutcome::kStoreWriteFailed:
            return {kTextPasswordNotSaved, PromptIcon::kError};
    }
    return {};
}

bool PasswordDialogModel::pressOk(const PasswordEntry& entry) {
    last_ = changePassword(entry, store_, settings_);
    if (last_ == PasswordOutcome::kChanged) {
        return true;
    }
    const PasswordMessage message = passwordMessage(last_, texts_);
    prompt_.show(texts_.text(lang::kTextAppName), message.text, message.icon,
                 platform::PromptButtons::kOk);
    return false;
}

}  // namespace qv::settings
