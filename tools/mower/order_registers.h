// Registers the mower model acts on beyond those the console decodes,
// named after the console's orders that write them.
#pragma once

#include <cstdint>

#include "console/mower_frame.h"

namespace verdelo::mower {

inline constexpr std::uint16_t kRegKey = RegisterOf(CMD_KEY);
inline constexpr std::uint16_t kRegSpecialMode = RegisterOf(CMD_SPECIAL_MODE);
inline constexpr std::uint16_t kRegSpeedA = RegisterOf(CMD_DRIVE_SPEED_A);
inline constexpr std::uint16_t kRegSpeedB = RegisterOf(CMD_DRIVE_SPEED_B);
inline constexpr std::uint16_t kRegRunA = RegisterOf(CMD_DRIVE_RUN_A);
inline constexpr std::uint16_t kRegRunB = RegisterOf(CMD_DRIVE_RUN_B);
inline constexpr std::uint16_t kRegPulseCharge = RegisterOf(CMD_PULSE_CHARGE);
inline constexpr std::uint16_t kRegEndCharge = RegisterOf(CMD_END_CHARGE);
inline constexpr std::uint16_t kRegStopToZeroDev = RegisterOf(CMD_STOP_TO_ZERO_DEV);
inline constexpr std::uint16_t kRegReboot = RegisterOf(CMD_REBOOT);

}  // namespace verdelo::mower
