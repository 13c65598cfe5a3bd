// The wireless display module some boards carry: a small controller on the GPU's I2C bus that
// the program and the simulated driver both speak to through these registers.
//
//   identity  reads kWirelessIdentityValue on a board that carries the module
//   region    1 USA, 2 Japan
//   version   three bytes: major, minor, build
//   state     the module's work state (0 idle, 1 searching, 2 linked)
//   frequency two bytes, high first: the frequency it sends on, MHz
//   channel   write: manual channel mode on the frequency list's entry (0-5)
//   mode      reads 1 in manual channel mode; write kWirelessModeAutomatic to leave it
#pragma once

#include <cstdint>

namespace qv::wireless {

inline constexpr uint8_t kWirelessPort = 1;
inline constexpr uint8_t kWirelessAddress = 0x9C;  // 8-bit form

inline constexpr uint8_t kWirelessRegIdentity = 0x00;
inline constexpr uint8_t kWirelessIdentityValue = 0x57;
inline constexpr uint8_t kWirelessRegRegion = 0x01;
inline constexpr uint8_t kWirelessRegVersion = 0x02;  // three bytes
inline constexpr uint8_t kWirelessVersionBytes = 3;
inline constexpr uint8_t kWirelessRegWorkState = 0x05;
inline constexpr uint8_t kWirelessRegFrequency = 0x06;  // two bytes, high first
inline constexpr uint8_t kWirelessRegChannel = 0x08;
inline constexpr uint8_t kWirelessRegMode = 0x09;
inline constexpr uint8_t kWirelessModeAutomatic = 0;
inline constexpr uint8_t kWirelessModeManual = 1;

// The frequencies of the channel register's entries: first + step * entry.
inline constexpr int kWirelessChannelFirstMHz = 5735;
inline constexpr int kWirelessChannelStepMHz = 20;
inline constexpr int kWirelessChannelEntries = 6;

}  // namespace qv::wireless
