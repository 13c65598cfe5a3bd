// qvctl's whole answer for every board preset of the simulated driver (and its built-in
// boards), compared with the recorded files in tests/cli/expected/: the board list and each
// GPU's clock levels, as a user reads them.
//
// After a deliberate change of qvctl's output or of a preset, record the files anew with
//     QV_RECORD=1 ctest --test-dir build -R QvctlRecorded
// and read the difference in version control before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string_view>

#include "cli/CliFixture.h"
#include "gpu/DriverSelection.h"
#include "platform/CompanionFiles.h"

namespace qv::test {
namespace {

constexpr const char* kRecordVariable = "QV_RECORD";
constexpr const char* kBuiltinName = "builtin";

// Every preset, with the built-in boards first; a preset added to sim/boards belongs here too.
const char* const kPresets[] = {kBuiltinName,  "bios-f",        "bios-ta",
                                "bios-tb",     "empty-clock-table", "no-clock-table",
                                "no-cooler",   "single-05e2",   "single-0e22",
                                "single-1180", "six-gpus",      "slot0-slot3"};

std::string expectedPath(const std::string& preset) {
    return std::string(QV_TEST_SOURCE_DIR) + "/cli/expected/" + preset + ".txt";
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// A line difference of the two texts: "  " for a common line, "- " for one only expected,
// "+ " for one only in the actual output; at most `context` common lines around each change.
std::string lineDiff(const std::string& expected, const std::string& actual, size_t context = 3) {
    const std::vector<std::string> a = lines(expected);
    const std::vector<std::string> b = lines(actual);
    // Longest common subsequence, from the ends.
    std::vector<std::vector<size_t>> common(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = a.size(); i-- > 0;) {
        for (size_t j = b.size(); j-- > 0;) {
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::vector<std::string> script;
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i] == b[j]) {
            script.push_back("  " + a[i++]);
            ++j;
        } else if (j < b.size() && (i == a.size() || common[i][j + 1] >= common[i + 1][j])) {
            script.push_back("+ " + b[j++]);
        } else {
            script.push_back("- " + a[i++]);
        }
    }
    std::string out;
    bool skipped = false;
    for (size_t k = 0; k < script.size(); ++k) {
        const size_t from = k >= context ? k - context : 0;
        const size_t to = std::min(script.size(), k + context + 1);
        const bool nearChange = std::any_of(script.begin() + static_cast<std::ptrdiff_t>(from),
                                            script.begin() + static_cast<std::ptrdiff_t>(to),
                                            [](const std::string& s) { return s[0] != ' '; });
        if (nearChange) {
            out += script[k] + "\n";
            skipped = false;
        } else if (!skipped) {
            out += "  ...\n";
            skipped = true;
        }
    }
    return out;
}

constexpr const char* kProgramFolderMark = "<program folder>";

class QvctlRecorded : public CliTest, public ::testing::WithParamInterface<const char*> {
protected:
    std::vector<std::string> simulate() const {
        const std::string preset = GetParam();
        return {preset == kBuiltinName ? "--simulate" : "--simulate=" + preset};
    }

    // The program folder stands as a placeholder, so that a recording holds for every build
    // folder.
    static std::string withoutProgramFolder(std::string text) {
        const std::string folder = platform::executableFolder();
        for (size_t at = text.find(folder); !folder.empty() && at != std::string::npos;
             at = text.find(folder, at)) {
            text.replace(at, folder.size(), kProgramFolderMark);
            at += std::string_view(kProgramFolderMark).size();
        }
        return text;
    }

    // One command and everything it answered.
    std::string transcript(const std::vector<std::string>& words, ProcessResult& r) {
        std::vector<std::string> args = simulate();
        args.insert(args.end(), words.begin(), words.end());
        r = run(args);
        std::string text = "$ qvctl";
        for (const std::string& a : args) {
            text += " " + a;
        }
        text += "\nexit " + std::to_string(r.exitCode) + "\n" + withoutProgramFolder(r.out);
        if (!r.err.empty()) {
            text += "[standard error]\n" + withoutProgramFolder(r.err);
        }
        return text + "\n";
    }

    // The board list, then the clock levels of each GPU it lists.
    std::string recording() {
        ProcessResult r;
        std::string text = transcript({"list"}, r);
        if (r.exitCode != 0) {
            return text;
        }
        const int count = std::atoi(parseBlocks(r.out)[-1]["gpu-count"].c_str());
        for (int gpu = 0; gpu < count; ++gpu) {
            text += transcript({"clocks", std::to_string(gpu)}, r);
        }
        return text;
    }
};

TEST_P(QvctlRecorded, OutputMatchesTheRecording) {
    const std::string actual = recording();
    const std::string path = expectedPath(GetParam());
    const char* record = std::getenv(kRecordVariable);
    if (record != nullptr && std::string(record) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        GTEST_SKIP() << "recorded " << path;
    }
    ASSERT_TRUE(std::filesystem::exists(path))
        << "no recording " << path << "; make one with " << kRecordVariable << "=1";
    const std::string expected = readWhole(path);
    EXPECT_TRUE(actual == expected) << "qvctl's output differs from " << path
                                    << " (- recorded, + now):\n"
                                    << lineDiff(expected, actual);
}

INSTANTIATE_TEST_SUITE_P(Presets, QvctlRecorded, ::testing::ValuesIn(kPresets),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(QvctlRecordings, CoverEveryPresetBuiltBesideTheDriver) {
    std::set<std::string> built;
    for (const auto& entry :
         std::filesystem::directory_iterator(platform::executableFolder() + "/boards")) {
        built.insert(entry.path().stem().string());
    }
    std::set<std::string> recorded(std::begin(kPresets) + 1, std::end(kPresets));
    EXPECT_EQ(recorded, built);
}

}  // namespace
}  // namespace qv::test
