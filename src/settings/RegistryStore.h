// Where the options that outlive the process are kept: 32-bit values by name, and the Run entry
// that starts the program when the user logs in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::settings {

// The longest Run entry text that can be read back, in bytes.
inline constexpr size_t kRunEntryMaxBytes = 512;

// What became of a store that was there but could not be read.
struct UnreadableStore {
    bool found = false;     // the store could not be read; the values start from their defaults
    bool savedAside = false;  // the old store was renamed to `keptAs`; new values go to a new one
    std::string keptAs;     // where the old store is now (its own path when it could not be moved)
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Set once the store has met a file it could not read; the program can tell the user.
    virtual UnreadableStore unreadableStore() const { return {}; }
    // Value names compare ignoring case. On failure `value` is left unchanged.
    virtual bool readValue(std::string_view name, uint32_t& value) = 0;
    // Creates the store on the first write. False when the value could not be kept.
    virtual bool writeValue(std::string_view name, uint32_t value) = 0;
    // Text values (host names, addresses): at most 1024 bytes, no control characters and no '"'.
    // A store without text values fails both, so readers keep their documented defaults.
    virtual bool readText(std::string_view /*name*/, std::string& /*text*/) { return false; }
    virtual bool writeText(std::string_view /*name*/, std::string_view /*text*/) { return false; }

    // The Run entry's command text ("program-path word"). False when there is none, it cannot
    // be read, or it is longer than kRunEntryMaxBytes.
    virtual bool readRunEntry(std::string& commandText) = 0;
    // False when it could not be written (also when it would be too long to read back).
    virtual bool writeRunEntry(const std::string& programPath, const std::string& word) = 0;
    // True also when there was no entry.
    virtual bool deleteRunEntry() = 0;
};

}  // namespace qv::settings
