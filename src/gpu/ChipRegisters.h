// Addresses and registers of the chips on the boards' I2C buses.
#pragma once

#include <cstdint>

namespace qv::gpu::chip {

// Slot-0 fan chip.
inline constexpr uint8_t kSlot0AddressPrimary = 0x5C;
inline constexpr uint8_t kSlot0AddressSecondary = 0x5A;
inline constexpr uint8_t kSlot0RegControl = 0x01;
inline constexpr uint8_t kSlot0ControlTemperatureBit = 0x04;
inline constexpr uint8_t kSlot0RegConfig = 0x02;
inline constexpr uint8_t kSlot0ConfigWriteBackFrom = 64;
inline constexpr uint8_t kSlot0ConfigKeepMask = 0x3F;
inline constexpr uint8_t kSlot0RegIdentity = 0x04;
inline constexpr uint8_t kSlot0RegRail = 0x12;
inline constexpr uint8_t kSlot0RegVoltage = 0x13;
inline constexpr uint8_t kSlot0RegTemperature = 0x14;
inline constexpr uint8_t kSlot0RegTachHigh = 0x16;
inline constexpr uint8_t kSlot0RegTachLow = 0x17;
inline constexpr uint8_t kSlot0RegStatus = 0x1A;
inline constexpr uint8_t kSlot0RegCurrent = 0x1F;
inline constexpr uint8_t kSlot0RegMode = 0x60;
inline constexpr uint8_t kSlot0ModeManual = 0x01;
inline constexpr uint8_t kSlot0ModeManualBit = 0x02;
inline constexpr uint8_t kSlot0ModeBit2 = 0x04;
inline constexpr uint8_t kSlot0RegTemperatureOffset = 0x64;
inline constexpr uint8_t kSlot0RegPeriodHigh = 0x74;
inline constexpr uint8_t kSlot0RegPeriodLow = 0x75;
inline constexpr uint8_t kSlot0RegCapability = 0x92;
inline constexpr uint8_t kSlot0Capability64Bit = 0x04;
inline constexpr uint8_t kSlot0RegTemperaturePoint0 = 0xA1;  // 0xA1..0xA4
inline constexpr uint8_t kSlot0RegRpmPoint0 = 0xA5;          // 0xA5..0xA9
inline constexpr uint32_t kSlot0TemperaturePoints = 4;
inline constexpr uint32_t kSlot0RpmPoints = 5;
inline constexpr uint32_t kSlot0RpmPointShift = 4;
inline constexpr uint32_t kSlot0PeriodNumerator = 1500000;
// The period registers are 16 bits wide.
inline constexpr uint32_t kSlot0MaxPeriod = 0xFFFF;
inline constexpr uint32_t kSlot0FullScaleRpm64 = 3000;
inline constexpr uint32_t kSlot0FullScaleRpm = 5500;
inline constexpr uint8_t kSlot0TemperatureLow = 50;
inline constexpr uint8_t kSlot0TemperatureHigh = 75;
inline constexpr uint32_t kCalibrationSamples = 8;
inline constexpr uint32_t kCalibrationMinimumGood = 3;

// Slot-1 fan chip.
inline constexpr uint8_t kSlot1Address = 0x5C;
inline constexpr uint8_t kSlot1RegTachLow = 0x28;
inline constexpr uint8_t kSlot1RegTachHigh = 0x29;
inline constexpr uint8_t kSlot1RegDutyKind1 = 0x30;
inline constexpr uint8_t kSlot1RegDutyKind2 = 0x31;
inline constexpr uint8_t kSlot1RegConfigOther = 0x38;
inline constexpr uint8_t kSlot1RegConfigKind2 = 0x39;
inline constexpr uint8_t kSlot1RegSignature0 = 0x3D;
inline constexpr uint8_t kSlot1RegSignature1 = 0x3E;
inline constexpr uint8_t kSlot1Signature0 = 's';
inline constexpr uint8_t kSlot1Signature1 = 'A';
inline constexpr uint8_t kSlot1RegMode = 0x5D;
inline constexpr uint8_t kSlot1ModeManualBits = 0xE0;
inline constexpr uint8_t kSlot1ModeManualFrom = 224;
inline constexpr uint8_t kSlot1ModeKeepMask = 0x1F;
inline constexpr uint8_t kSlot1RegUnlock = 0x7B;
inline constexpr uint8_t kSlot1Unlock = 'U';
inline constexpr uint8_t kSlot1ConfigProbe = 0xFF;
inline constexpr uint8_t kSlot1ConfigValidBit = 0x80;
inline constexpr uint32_t kSlot1TachNumerator = 5400000;
inline constexpr uint32_t kSlot1MinimumRpm = 100;
inline constexpr uint8_t kSlot1TachAbsent = 0xFF;
inline constexpr uint32_t kSlot1DutyMax = 255;
inline constexpr double kSlot1PercentPerDutyStep = 0.39;
inline constexpr uint32_t kSlot1DetectLevel = 45;
inline constexpr uint32_t kSlot1DetectReads = 5;

// Regulators and other chips.
inline constexpr uint8_t kRegulatorAddressE0 = 0xE0;
inline constexpr uint8_t kRegulatorRegIdentity = 0x1A;
inline constexpr uint8_t kSlot2Identity = 10;
inline constexpr uint8_t kSlot7Identity = 12;
inline constexpr uint8_t kSlot7RegCode = 0x15;
inline constexpr uint8_t kStepRegulatorAddress = 0x60;
inline constexpr uint8_t kStepRegulatorRegStep = 0x01;
inline constexpr uint8_t kSlot5Address = 0x10;
inline constexpr uint8_t kSlot5RegProbe = 0x62;
inline constexpr uint8_t kSlot8Address = 0x30;
inline constexpr uint8_t kPowerMonitor9Address = 0x90;
inline constexpr uint8_t kPowerMonitor10Address = 0x92;
inline constexpr uint8_t kPowerMonitor11Address = 0x94;
inline constexpr uint8_t kGenericRegProbe = 0x01;

}  // namespace qv::gpu::chip

namespace qv::gpu::chip {

// Slot-2 regulator: which of the four code registers is active, and the code table.
inline constexpr uint8_t kSlot2RegSelect = 0x1C;
inline constexpr uint8_t kSlot2SelectShift = 4;
inline constexpr uint8_t kSlot2SelectMask = 0x03;
inline constexpr uint8_t kSlot2RegCode0 = 0x15;  // 0x15..0x18
inline constexpr uint8_t kRegulatorCodeMask = 0x7F;
inline constexpr uint32_t kRegulatorCodes = 128;
inline constexpr float kRegulatorBaseMv = 450.0f;
inline constexpr float kRegulatorStepMv = 12.5f;
inline constexpr float kRegulatorMatchMv = 6.25f;

// Code ranges of the regulators.
inline constexpr uint32_t kSlot2CodeLow = 44, kSlot2CodeHigh = 76;
inline constexpr uint32_t kStepCodeLow = 0, kStepCodeHigh = 10;
// The slot-3 step regulator of the narrow-step boards (BoardIds.h) takes steps 0-3 only.
inline constexpr uint32_t kNarrowStepHigh = 3;
inline constexpr uint32_t kSlot5CodeLow = 111, kSlot5CodeHigh = 143;
inline constexpr uint32_t kSlot7CodeLow = 0, kSlot7CodeHigh = 25;

// Slot-0 chip analogue readings.
inline constexpr float kSlot0AdcStep = 0.008f;
inline constexpr float kSlot0CurrentFineStep = 0.002f;
inline constexpr float kSlot0VoltageScale = 1.47f;
inline constexpr float kSlot0RailScale = 6.55f;
inline constexpr float kSlot0CurrentLimit = 0.2f;
inline constexpr uint32_t kSlot0CurrentRereads = 5;

// Power monitors.
inline constexpr uint8_t kPowerMonitorRegBus = 0x02;
inline constexpr uint8_t kPowerMonitorRegReading = 0x03;

}  // namespace qv::gpu::chip
