// The fixture and checks shared by the qvctl tests: qvctl runs as a separate process on the
// simulated driver, with a simulator state folder and a start folder of its own per test, and
// none of the test's own QUORVEL_ variables.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace qv::test {

using Block = std::map<std::string, std::string>;
using ProcessResult = ChildProcess::Result;

inline constexpr const char* kQvctl = "qvctl";
inline constexpr std::chrono::seconds kQvctlTimeout{60};

// "GPU n" blocks of qvctl output: the "key: value" lines of each block, keyed by GPU index;
// lines before the first block go under index -1. Repeated samples keep the last value.
inline std::map<int, Block> parseBlocks(const std::string& text) {
    std::map<int, Block> blocks;
    int current = -1;
    std::istringstream in(text);
    std::string line;
    constexpr std::string_view kHeader = "GPU ";
    while (std::getline(in, line)) {
        if (line.rfind(kHeader, 0) == 0) {
            current = static_cast<int>(std::strtol(line.c_str() + kHeader.size(), nullptr, 10));
            blocks[current];
            continue;
        }
        const auto colon = line.find(": ");
        if (colon == std::string::npos) {
            continue;
        }
        const auto first = line.find_first_not_of(' ');
        blocks[current][line.substr(first, colon - first)] = line.substr(colon + 2);
    }
    return blocks;
}

class CliTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> simEnvironment() const {
        return {{"QUORVEL_SIM_STATE_DIR", state_.path()}};
    }
    // Runs qvctl to its end with `environment` in `startFolder` (by default the test's own).
    ProcessResult runWith(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& environment,
                          const std::string& startFolder = "") const {
        return ChildProcess::run(kQvctl, args, environment, options(startFolder), kQvctlTimeout);
    }
    ProcessResult run(const std::vector<std::string>& args) const {
        return runWith(args, simEnvironment());
    }
    // Runs a command that must succeed and returns its GPU blocks.
    std::map<int, Block> blocksOf(const std::vector<std::string>& args) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return parseBlocks(r.out);
    }
    // Runs a command that must succeed and returns its standard output.
    std::string outputOf(const std::vector<std::string>& args) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    ChildProcess::Options options(const std::string& startFolder = "") const {
        return {ChildProcess::Inherit::kAllButOwn, startFolder.empty() ? start_.path() : startFolder};
    }

    TempDir state_;
    TempDir start_;
};

inline const std::string& valueOf(const Block& block, const std::string& key) {
    static const std::string missing = "<missing>";
    const auto it = block.find(key);
    return it == block.end() ? missing : it->second;
}

// The whole number in front of " unit" in `value`; false when the value has another shape.
inline bool numberIn(const std::string& value, const std::string& unit, long& number) {
    const std::string suffix = " " + unit;
    if (value.size() <= suffix.size() ||
        value.compare(value.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const size_t from = value.find_first_not_of(' ');
    const std::string digits = value.substr(from, value.size() - suffix.size() - from);
    const size_t signLength = !digits.empty() && digits[0] == '-' ? 1 : 0;
    if (digits.size() == signLength ||
        digits.find_first_not_of("0123456789", signLength) != std::string::npos ||
        (digits.size() > signLength + 1 && digits[signLength] == '0')) {
        return false;
    }
    number = std::stol(digits);
    return true;
}

// The value is a whole number, optionally right-aligned with spaces, then " " and the unit.
inline void expectNumber(const Block& block, const std::string& key, const std::string& unit,
                         bool zeroAllowed = false) {
    const std::string& value = valueOf(block, key);
    long number = 0;
    EXPECT_TRUE(numberIn(value, unit, number) && number >= 0 && (zeroAllowed || number != 0))
        << key << ": '" << value << "' is not a number in " << unit;
}

// The number of `key` in `unit`, checked to lie within low..high.
inline long expectNumberWithin(const Block& block, const std::string& key, const std::string& unit,
                               long low, long high) {
    const std::string& value = valueOf(block, key);
    long number = 0;
    EXPECT_TRUE(numberIn(value, unit, number) && number >= low && number <= high)
        << key << ": '" << value << "' is not a number of " << unit << " from " << low << " to "
        << high;
    return number;
}

inline void expectOneOf(const Block& block, const std::string& key,
                        const std::vector<std::string>& allowed) {
    const std::string& value = valueOf(block, key);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), value), allowed.end())
        << key << ": '" << value << "'";
}

// The samples of a watch, in order, each with its GPU blocks.
inline std::vector<std::map<int, Block>> parseSamples(const std::string& text) {
    constexpr std::string_view kSampleHeader = "sample: ";
    std::vector<std::map<int, Block>> samples;
    std::istringstream in(text);
    std::string line;
    std::string current;
    bool inSample = false;
    while (std::getline(in, line)) {
        if (line.rfind(kSampleHeader, 0) == 0) {
            if (inSample) {
                samples.push_back(parseBlocks(current));
            }
            current.clear();
            inSample = true;
            continue;
        }
        current += line + "\n";
    }
    if (inSample) {
        samples.push_back(parseBlocks(current));
    }
    return samples;
}

}  // namespace qv::test
