// What `qvctl exporter` reads from the GPUs at each sample: the live readings of `status` and the
// over-temperature alarm as the window program decides it, as exporter metrics.
#pragma once

#include <string>
#include <vector>

#include "exporter/MetricSample.h"
#include "gpu/GpuLayer.h"
#include "settings/RegistryStore.h"
#include "tuning/PowerReadout.h"
#include "tuning/TemperatureAlarm.h"

namespace qv::cli {

class ExporterReader {
public:
    // `store` holds the alarm settings ("TemperatureAlarmSet", "TemperatureAlarmValue").
    ExporterReader(gpu::GpuLayer& layer, settings::RegistryStore& store);

    // Reads every GPU once. The board names are read at the first sample that gets them.
    exporter::MetricSample read();

private:
    gpu::GpuLayer& layer_;
    settings::RegistryStore& store_;
    tuning::BoardPower power_;
    std::vector<tuning::TemperatureAlarm> alarms_;
    std::vector<std::string> names_;
};

}  // namespace qv::cli
