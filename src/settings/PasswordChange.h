// The phone remote control's password and how the user replaces it: the original password is
// checked against the value in the store at that moment, the new one must be a plain decimal
// number that fits the stored 32 bits, and member and store change together or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lang/CMultiLangSupp.h"
#include "platform/Prompt.h"
#include "settings/RegistrySettings.h"
#include "settings/RegistryStore.h"

namespace qv::settings {

// The password fields hold at most this many characters of 8-bit text.
inline constexpr size_t kPasswordFieldMaxChars = 63;
// How many leading characters of the original password are compared.
inline constexpr size_t kPasswordComparedChars = 32;

// English only: the language table has no rows for these two.
inline constexpr const char* kTextPasswordNotANumber =
    "The new password must be a number made of the digits 0-9, at most 4294967295.";
inline constexpr const char* kTextPasswordNotSaved =
    "The new password could not be saved. The old password is still in force.";

enum class PasswordOutcome {
    kChanged,
    kConfirmDiffers,   // new and confirmed texts differ
    kWrongOriginal,    // also when the stored password cannot be read
    kNewEmpty,
    kNewNotANumber,    // not digits only, or larger than 32 bits
    kStoreWriteFailed  // nothing changed
};

struct PasswordEntry {
    std::string original;
    std::string newPassword;
    std::string confirm;
};

// The new password as a number: digits only ("0012" is 12), at most 0xFFFFFFFF. False for
// anything else (blanks, a sign, letters, an empty text, a number too large).
bool parseNewPassword(std::string_view text, uint32_t& value);

// The stored password as the decimal text the original password is compared with; false when
// the store cannot give it.
bool storedPasswordText(RegistryStore& store, std::string& text);

// The whole change, in order: confirmation, the original against the store, the new text, the
// write. On kChanged `settings.iphonePassWord` and the store hold the new number; on every
// other outcome both are as they were.
PasswordOutcome changePassword(const PasswordEntry& entry, RegistryStore& store,
                               RegistrySettings& settings);

// The message for an outcome, and how it is shown. kChanged has none (empty text).
struct PasswordMessage {
    std::string text;
    platform::PromptIcon icon = platform::PromptIcon::kError;
};
PasswordMessage passwordMessage(PasswordOutcome outcome, const lang::CMultiLangSupp& texts);

// The password dialog's rules: what OK does, with its message shown through `prompt`
// (caption: the program's name). Answers true when the dialog closes.
class PasswordDialogModel {
public:
    PasswordDialogModel(RegistryStore& store, RegistrySettings& settings, platform::Prompt& prompt,
                        const lang::CMultiLangSupp& texts = lang::languageTable())
        : store_(store), settings_(settings), prompt_(prompt), texts_(texts) {}

    bool pressOk(const PasswordEntry& entry);
    PasswordOutcome lastOutcome() const { return last_; }

private:
    RegistryStore& store_;
    RegistrySettings& settings_;
    platform::Prompt& prompt_;
    const lang::CMultiLangSupp& texts_;
    PasswordOutcome last_ = PasswordOutcome::kWrongOriginal;
};

}  // namespace qv::settings
