// qv-readmem: writes the video BIOS image of the first GPU to "PMOut" in the current folder.
// --gpu=N takes the GPU at place N (from 0) in PCI bus order instead, and --output=PATH writes
// the image to PATH (whole, through a temporary file beside it) instead of "PMOut".
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
#include <cctype>
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
constexpr const char* kGpuOption = "--gpu=";
constexpr const char* kOutputOption = "--output=";
constexpr unsigned long kMaxGpuPlace = 64;
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

// What to dump and where.
struct DumpTarget {
    uint32_t gpu = 0;
    std::string output = kOutputName;
};

std::string temporaryBeside(const std::string& path) {
    return path + ".tmp." + std::to_string(getpid());
}

// The driver's number of the GPU at `place` when the GPUs are ordered by bus number (GPUs on the
// same bus keep the driver's order), as the flash tool counts them.
bool boardAtBusPlace(qv::drv::QueryInterfaceFn query, uint32_t place, uint32_t& board) {
    auto enumerate =
        reinterpret_cast<qv::drv::EnumPhysicalGpusFn>(query(qv::drv::kEnumPhysicalGpus));
    auto busId = reinterpret_cast<qv::drv::GpuGetBusIdFn>(query(qv::drv::kGpuGetBusId));
    qv::drv::PhysicalGpuHandle handles[qv::drv::kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    if (enumerate == nullptr || busId == nullptr || enumerate(handles, &count) != qv::drv::kOk) {
        return false;
    }
    count = std::min(count, qv::drv::kMaxPhysicalGpus);
    std::vector<uint32_t> buses(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (busId(handles[i], &buses[i]) != qv::drv::kOk) {
            return false;
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rank = 0;
        for (uint32_t j = 0; j < count; ++j) {
            if (buses[j] < buses[i] || (buses[j] == buses[i] && j < i)) {
                ++rank;
            }
        }
        if (rank == place) {
            board = i;
            return true;
        }
    }
    return false;
}

int dumpSimulated(const std::string& library, const DumpTarget& target) {
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
    // The simulator numbers its boards in the driver's order; the place asked for is in bus order.
    uint32_t board = target.gpu;
    if (!boardAtBusPlace(query, target.gpu, board)) {
        fail("no simulated GPU " + std::to_string(target.gpu) + " in bus order");
        if (unload != nullptr) {
            unload();
        }
        dlclose(module);
        return kExitFailed;
    }
    const std::string temp = temporaryBeside(target.output);
    const int status = writeImage(board, temp.c_str());
    if (unload != nullptr) {
        unload();
    }
    dlclose(module);
    if (status != qv::drv::kOk || rename(temp.c_str(), target.output.c_str()) != 0) {
        unlink(temp.c_str());
        fail("cannot write " + target.output + " (status " + std::to_string(status) + ")");
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

int writeOutput(const std::vector<uint8_t>& image, const std::string& output) {
    const std::string temp = temporaryBeside(output);
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
    if (close(fd) != 0 || rename(temp.c_str(), output.c_str()) != 0) {
        fail("cannot write " + output + ": " + std::strerror(errno));
        unlink(temp.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int dumpHardware(const DumpTarget& target) {
    const char* override = std::getenv(kPciDevicesEnvironment);
    const std::string folder = override != nullptr && *override != 0 ? override : kPciDevices;
    uint32_t place = 0;
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
        if (place++ != target.gpu) {
            continue;
        }
        std::vector<uint8_t> image;
        const int status = readRom(device + "/rom", image);
        return status == kExitOk ? writeOutput(image, target.output) : status;
    }
    fail("no NVIDIA display controller " + std::to_string(target.gpu) + " found under " + folder);
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    bool simulate = false;
    DumpTarget target;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        char* end = nullptr;
        if (a == kSimulateOption) {
            simulate = true;
        } else if (a.rfind(kGpuOption, 0) == 0 && a.size() > std::strlen(kGpuOption) &&
                   std::isdigit(static_cast<unsigned char>(a[std::strlen(kGpuOption)])) &&
                   std::strtoul(a.c_str() + std::strlen(kGpuOption), &end, 10) <= kMaxGpuPlace &&
                   *end == 0) {
            target.gpu = static_cast<uint32_t>(std::strtoul(a.c_str() + std::strlen(kGpuOption), nullptr, 10));
        } else if (a.rfind(kOutputOption, 0) == 0 && a.size() > std::strlen(kOutputOption)) {
            target.output = a.substr(std::strlen(kOutputOption));
        } else {
            std::fprintf(stderr, "usage: qv-readmem [--simulate] [--gpu=N] [--output=PATH]\n");
            return kExitUsage;
        }
    }
    const std::string library = simulatedLibrary(simulate);
    return library.empty() ? dumpHardware(target) : dumpSimulated(library, target);
}
