// `qvctl fan-test GPU`: the options dialog's fan speed test without a window. The fan runs at
// 100 % for 3 s, is measured twice 500 ms apart, and the average is compared with the reference
// in FanSpeed.ini in the data folder (written on the first test). Exit 0 for a fan as fast as
// its reference, 3 for one more than 10 % slower.
#include <cstdio>
#include <string>

#include "fan/FanSpeedTest.h"
#include "lang/CMultiLangSupp.h"
#include "lang/LanguageRows.h"
#include "platform/DataFolder.h"
#include "qvctl_commands.h"

namespace qv::cli {

int runFanTest(gpu::GpuLayer& layer, const std::vector<std::string>& args, std::FILE* out) {
    if (args.size() != 1) {
        reportError("fan-test needs a GPU index (qvctl fan-test GPU)");
        return kExitUsage;
    }
    uint8_t gpu = 0;
    if (!parseGpuIndex(args[0], layer, gpu)) {
        return kExitUsage;
    }
    if (!layer.fanReadsRpm(gpu)) {
        reportError("the fan of GPU " + std::to_string(gpu) + " cannot be measured in rpm");
        return kExitFailed;
    }
    const std::string folder = platform::userDataFolder();
    if (folder.empty() || platform::makeDataFolder(folder) != 0) {
        reportError("no data folder for " + std::string(fan::kFanSpeedFileName));
        return kExitFailed;
    }
    fan::FanTestServices services;
    services.layer = &layer;
    services.sendFanCommand = fan::singleGpuFanCommand(layer, gpu);
    services.referencePath = folder + "/" + fan::kFanSpeedFileName;
    fan::FanSpeedTest test(services);
    fan::FanTestStart started = fan::FanTestStart::kStarted;
    const fan::FanTestResult result =
        fan::runFanSpeedTestToEnd(test, gpu, platform::SystemClock::instance(), started);
    const lang::CMultiLangSupp& texts = lang::languageTable();
    if (started == fan::FanTestStart::kDriverTooOld) {
        reportError(texts.text(lang::kTextDriverTooOld));
        return kExitFailed;
    }
    const std::string message = fan::fanTestMessage(result, texts.text(lang::kTextFanSpeedWarning),
                                                    texts.text(lang::kTextFanSpeedOk));
    std::fprintf(out, "GPU %u\n  reference: %u rpm\n  measured: %u rpm\n  %s\n",
                 static_cast<unsigned>(gpu), result.reference, result.measured, message.c_str());
    return result.outcome == fan::FanTestOutcome::kWarning ? kExitFanSlower : kExitOk;
}

}  // namespace qv::cli
