// The built-in board set: used when no configuration is named. Kept in the same text format as
// the preset files so that one parser and one set of rules serve both.
#include "SimConfig.h"

namespace qv::sim {

namespace {

constexpr std::string_view kBuiltinBoards = R"CONF(
# Built-in boards of the simulated driver.
[driver]
version = 31061
build = 17011
branch = r310_00

[display]
name = \\.\DISPLAY1
id = 0x00010000
gpu = 0
connector = dvi

[display]
name = \\.\DISPLAY2
id = 0x00010100
gpu = 0
connector = displayport
adapter = yes
monitors = 3
firmware = VX-3 FW 1.0.4

[display]
name = \\.\DISPLAY3
id = 0x00020000
gpu = 1
connector = hdmi

# GPU 2 drives no desktop: its only display is unattached.
[display]
name = \\.\DISPLAY4
id = 0x00030000
gpu = 2
connector = dvi
unattached = yes

# (a) Kepler-class board: four-level table, P-states 2.0, driver cooler with tachometer.
[gpu]
name = GeForce GTX 680
device = 0x1180
subsystem = 0x0A5F7A1C
revision = 0xA1
bus = 1
cores = 1536
memory_kib = 2097152
memory_type = 8
bus_width = 256
level = 0 flags=1 voltage_mv=987
clock = graphics 324000 162000 540000
clock = memory 324000 324000 324000
level = 1 flags=2 voltage_mv=1000
clock = graphics 540000 324000 705000
clock = memory 1620000 810000 1620000
level = 2 flags=5 voltage_mv=1100
clock = graphics 1006000 540000 1202000
clock = memory 3004000 1620000 3504000
level = 3 flags=4 voltage_mv=1175
clock = graphics 1006000 540000 1202000
clock = memory 3004000 1620000 3504000
pstates20 = yes
boost_graphics_khz = 1058000
power_policy = yes
power_limit = 32000 100000 132000
power_w = 195
idle_power_w = 22
load_power_w = 180
cooler = driver
cooler_range = 30 100
cooler_default_policy = 0x20
fan_control = driver
fan_max_rpm = 4200
tachometer = yes
chip = slot6 step=0
bios_version = VGA BIOS V8016 80.04.09.00.2A
thermal_resistance = 0.82

# (b) family B/C board with the slot-0 fan chip, slot-6 and slot-7 regulators, power monitors.
[gpu]
name = GeForce GTX 460
device = 0x0E22
subsystem = 0x0A627A1C
revision = 0xA1
bus = 2
cores = 336
memory_kib = 1048576
memory_type = 8
bus_width = 256
level = 0 flags=0 voltage_mv=875
clock = graphics 50625 50625 405000
clock = processor 101250 101250 810000
clock = memory 67500 0 0
level = 1 flags=2 voltage_mv=950
clock = graphics 405000 202500 675000
clock = processor 810000 405000 1350000
clock = memory 324000 162000 1800000
level = 2 flags=4 voltage_mv=1012
clock = graphics 675000 405000 1012500
clock = processor 1350000 810000 2025000
clock = memory 1800000 900000 2400000
cooler = none
fan_control = slot0
fan_max_rpm = 3000
tachometer = no
chip = slot0 address=0x5C capability=64 temp_bias=4
chip = slot6 step=0
chip = slot7 code=0
chip = slot8 value=1
chip = slot9 share=0.45
chip = slot10 share=0.35
chip = slot11 share=0.20
power_w = 160
idle_power_w = 20
load_power_w = 150
bios_version = VGA BIOS V7004 70.04.13.00.01

# (c) family A board with the slot-2 regulator and the slot-1 fan chip (tachometer wired).
[gpu]
name = GeForce GTX 260
device = 0x05E2
subsystem = 0x05627A1C
revision = 0xA1
bus = 3
cores = 216
memory_kib = 917504
memory_type = 5
bus_width = 448
level = 0 flags=0 voltage_mv=1050
clock = graphics 300000 300000 300000
clock = processor 600000 600000 600000
clock = memory 100000 0 0
level = 1 flags=2 voltage_mv=1100
clock = graphics 400000 200000 576000
clock = processor 800000 400000 1242000
clock = memory 300000 100000 999000
level = 2 flags=4 voltage_mv=1125
clock = graphics 576000 300000 800000
clock = processor 1242000 600000 1700000
clock = memory 999000 500000 1300000
cooler = driver
cooler_range = 40 100
cooler_default_policy = 2
fan_control = slot1
fan_max_rpm = 3200
tachometer = no
chip = slot1 tach=yes
chip = slot2 codes=48,52,54,60
power_w = 182
idle_power_w = 45
load_power_w = 170
bios_version = VGA BIOS V6213 62.00.4A.00.02
)CONF";

}  // namespace

std::string_view builtinConfigText() { return kBuiltinBoards; }

}  // namespace qv::sim
