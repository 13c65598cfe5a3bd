// qv-readmem: writes the video BIOS image of the first GPU to "PMOut" in the current folder.
//
// With the simulated driver it asks the simulator for the board's image; otherwise it reads the
// PCI option ROM of the first NVIDIA display controller from sysfs. The simulated driver is in
// use when any of these holds:
//   --simulate on the command line
//   QUORVEL_SIMULATED=1
//   QUORVEL_SIM_CONFIG is set (even empty: the built-in boards)
//   QUORVEL_DRIVER names a file called libqvsim.so (that library is then the one loaded)
// Otherwise the simulated library is the libqvsim.so that comes with this program (beside it).
// QUORVEL_PCI_DEVICES overrides the sysfs folder of PCI devices (/sys/bus/pci/devices), for tests.
//
// Exit status: 0 when PMOut was written, 1 on any failure (with a message on standard error),
// 2 for a bad command line.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SimControl.h"
#include "gpu/DriverIds.h"
#include "gpu/DriverStatus.h"
#include "gpu/DriverTypes.h"
#include "platform/CompanionFiles.h"

namespace {

constexpr const char* kOutputName = "PMOut";
constexpr const char* kSimulateOption = "--simulate";
constexpr const char* kSimulatedEnvironment = "QUORVEL_SIMULATED";
constexpr const char* kSimConfigEnvironment = "QUORVEL_SIM_CONFIG";
constexpr const char* kDriverEnvironment = "QUORVEL_DRIVER";
constexpr const char* kPciDevicesEnvironment = "QUORVEL_PCI_DEVICES";
constexpr const char* kSimulatedLibrary = "libqvsim.so";
constexpr const char* kPciDevices = "/sys/bus/pci/devices";
constexpr const char* kNvidiaVendor = "0x10de";
constexpr const char* kDisplayClassPrefix = "0x03";
constexpr size_t kMaxRomBytes = 16 << 20;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void fail(const std::string& message) { std::fprintf(stderr, "qv-readmem: %s\n", message.c_str()); }

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The simulated library to load, or "" when the real hardware is meant.
std::string simulatedLibrary(bool simulateOption) {
    const char* driver = std::getenv(kDriverEnvironment);
    if (driver != nullptr && *driver != 0 && baseName(driver) == kSimulatedLibrary) {
        return driver;
    }
    const char* simulated = std::getenv(kSimulatedEnvironment);
    const bool wanted = simulateOption || (simulated != nullptr && std::string(simulated) == "1") ||
                        std::getenv(kSimConfigEnvironment) != nullptr;
    return wanted ? qv::platform::companionFile(kSimulatedLibrary) : "";
}

int dumpSimulated(const std::string& library) {
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        fail("cannot load " + library + ": " + (why != nullptr ? why : "unknown reason"));
        return kExitFailed;
    }
    auto query = reinterpret_cast<qv::drv::QueryInterfaceFn>(dlsym(module, "nvapi_QueryInterface"));
    auto writeImage = reinterpret_cast<int (*)(uint32_t, const char*)>(dlsym(module, "qvsim_write_bios_image"));
    if (query == nullptr || writeImage == nullptr) {
        fail(library + " is not the simulated driver");
        dlclose(module);
        return kExitFailed;
    }
    auto initialize = reinterpret_cast<qv::drv::InitializeFn>(query(qv::drv::kInitialize));
    auto unload = reinterpret_cast<qv::drv::UnloadFn>(query(qv::drv::kUnload));
    const int init = initialize != nullptr ? initialize() : qv::drv::kNoImplementation;
    if (init != qv::drv::kOk) {
        fail("the simulated driver did not initialise (status " + std::to_string(init) + ")");
        dlclose(module);
        return kExitFailed;
    }
    const int status = writeImage(0, kOutputName);
    if (unload != nullptr) {
        unload();
    }
    dlclose(module);
    if (status != qv::drv::kOk) {
        fail("cannot write " + std::string(kOutputName) + " (status " + std::to_string(status) + ")");
        return kExitFailed;
    }
    return kExitOk;
}

bool readSmallFile(const std::string& path, std::string& text) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) {
        return false;
    }
    char buffer[64] = {};
    const size_t n = std::fread(buffer, 1, sizeof(buffer) - 1, f);
    std::fclose(f);
    text.assign(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return true;
}

bool writeSmallFile(const std::string& path, const char* text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const ssize_t n = write(fd, text, std::strlen(text));
    close(fd);
    return n == static_cast<ssize_t>(std::strlen(text));
}

// PCI devices in name order, so that "first" means the lowest bus address.
std::vector<std::string> pciDevices(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.') {
            names.emplace_back(e->d_name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int readRom(const std::string& romPath, std::vector<uint8_t>& image) {
    // The kernel exposes the ROM only after "1" is written to the file; "0" hides it again.
    if (!writeSmallFile(romPath, "1")) {
        fail("cannot enable " + romPath + ": " + std::strerror(errno));
        return kExitFailed;
    }
    const int fd = open(romPath.c_str(), O_RDONLY | O_CLOEXEC);
    int status = kExitOk;
    if (fd < 0) {
        fail("cannot open " + romPath + ": " + std::strerror(errno));
        status = kExitFailed;
    } else {
        uint8_t buffer[65536];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                fail("cannot read " + romPath + ": " + std::strerror(errno));
                status = kExitFailed;
                break;
            }
            if (n == 0) {
                break;
            }
            image.insert(image.end(), buffer, buffer + n);
            if (image.size() > kMaxRomBytes) {
                fail(romPath + " is larger than any video BIOS");
                status = kExitFailed;
                break;
            }
        }
        close(fd);
    }
    writeSmallFile(romPath, "0");
    if (status == kExitOk && image.empty()) {
        fail(romPath + " gave no bytes");
        status = kExitFailed;
    }
    return status;
}

int writeOutput(const std::vector<uint8_t>& image) {
    const std::string temp = std::string(kOutputName) + ".tmp." + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot create " + temp + ": " + std::strerror(errno));
        return kExitFailed;
    }
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = write(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail("cannot write " + temp + ": " + std::strerror(errno));
            close(fd);
            unlink(temp.c_str());
            return kExitFailed;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 || rename(temp.c_str(), kOutputName) != 0) {
        fail(std::string("cannot write ") + kOutputName + ": " + std::strerror(errno));
        unlink(temp.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int dumpHardware() {
    const char* override = std::getenv(kPciDevicesEnvironment);
    const std::string folder = override != nullptr && *override != 0 ? override : kPciDevices;
    for (const std::string& name : pciDevices(folder)) {
        const std::string device = folder + "/" + name;
        std::string vendor;
        std::string deviceClass;
        if (!readSmallFile(device + "/vendor", vendor) || !readSmallFile(device + "/class", deviceClass)) {
            continue;
        }
        if (vendor != kNvidiaVendor || deviceClass.rfind(kDisplayClassPrefix, 0) != 0) {
            continue;
        }
        std::vector<uint8_t> image;
        const int status = readRom(device + "/rom", image);
        return status == kExitOk ? writeOutput(image) : status;
    }
    fail("no NVIDIA display controller found under " + folder);
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    bool simulate = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kSimulateOption) == 0) {
            simulate = true;
        } else {
            std::fprintf(stderr, "usage: qv-readmem [--simulate]\n");
            return kExitUsage;
        }
    }
    const std::string library = simulatedLibrary(simulate);
    return library.empty() ? dumpHardware() : dumpSimulated(library);
}
