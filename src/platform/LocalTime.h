// The local calendar time, for what the program names or stamps after the wall clock (log file
// names, log lines, the time of a curve sample). Tests drive a fake one.
#pragma once

#include <cstdint>

namespace qv::platform {

struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class LocalTimeSource {
public:
    virtual ~LocalTimeSource() = default;
    virtual LocalDateTime now() = 0;
};

// The machine's local time.
class SystemLocalTime final : public LocalTimeSource {
public:
    LocalDateTime now() override;
    static SystemLocalTime& instance();
};

}  // namespace qv::platform
