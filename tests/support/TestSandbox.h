// What every test process starts in: a folder of its own as the current folder, and as the
// default of every place the program and its simulated driver share with a `quorvel` running on
// the same machine (simulator state, instance lock, settings, the overlay's shared record, the
// run-time folder, the data folder). A test that picks its own places still does; one that does
// not can no longer touch a running program's, nor leave anything in the build's folders or in
// /tmp. Everything goes when the process ends.
#pragma once

#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/OverlayShared.h"
#include "platform/SingleInstance.h"
#include "settings/FileRegistryStore.h"
#include "support/TempDir.h"

namespace qv::test {

inline constexpr const char* kSimStateFolderEnvironment = "QUORVEL_SIM_STATE_DIR";
inline constexpr const char* kRuntimeFolderEnvironment = "XDG_RUNTIME_DIR";
inline constexpr const char* kTemporaryFolderEnvironment = "TMPDIR";
inline constexpr const char* kDataHomeEnvironment = "XDG_DATA_HOME";
inline constexpr const char* kSoundServerEnvironment = "PULSE_SERVER";
inline constexpr mode_t kPrivateFolderMode = 0700;
inline constexpr mode_t kSharedTemporaryMode = 01777;
inline constexpr mode_t kPassThroughMode = 0711;

class TestSandbox {
public:
    TestSandbox() : overlayName_("/quorvel-test-overlay-" + std::to_string(getpid())) {
        setenv(kSimStateFolderEnvironment, folder_.file("sim-state").c_str(), 1);
        setenv(platform::kInstanceFolderEnvironment, folder_.path().c_str(), 1);
        setenv(settings::kConfigFolderEnvironment, folder_.file("config").c_str(), 1);
        setenv(platform::kOverlayNameEnvironment, overlayName_.c_str(), 1);
        // No sound server but a test's own: the HDMI check never changes the desktop's default.
        setenv(kSoundServerEnvironment, ("unix:" + folder_.file("no-sound-server")).c_str(), 1);
        // The program's data folder defaults to one under the user's data home.
        setenv(kDataHomeEnvironment, folder_.file("data").c_str(), 1);
        // Qt and the simulator keep run-time files there; Qt wants it private.
        const std::string runtime = folder_.file("runtime");
        if (mkdir(runtime.c_str(), kPrivateFolderMode) == 0) {
            setenv(kRuntimeFolderEnvironment, runtime.c_str(), 1);
        }
        // Every temporary folder a test makes lies inside the sandbox as well, so that whatever
        // the simulator writes into one after the test removed it goes with the sandbox.
        // Like /tmp it is open to every user (a test runs a helper as another user there),
        // and the sandbox above it can be passed through but not read.
        const std::string temporary = folder_.file("tmp");
        if (mkdir(temporary.c_str(), kPrivateFolderMode) == 0 &&
            chmod(temporary.c_str(), kSharedTemporaryMode) == 0 &&
            chmod(folder_.path().c_str(), kPassThroughMode) == 0) {
            setenv(kTemporaryFolderEnvironment, temporary.c_str(), 1);
        }
        if (chdir(folder_.path().c_str()) != 0) {
            ok_ = false;
        }
    }
    ~TestSandbox() {
        shm_unlink(overlayName_.c_str());
        // Out of the folder before it goes.
        [[maybe_unused]] const int ignored = chdir("/");
    }
    TestSandbox(const TestSandbox&) = delete;
    TestSandbox& operator=(const TestSandbox&) = delete;

    bool ok() const { return ok_ && !folder_.path().empty(); }

private:
    TempDir folder_;
    std::string overlayName_;
    bool ok_ = true;
};

}  // namespace qv::test
