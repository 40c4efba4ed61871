// The 5-byte frame spoken on the serial line to the mower, and the names of
// every request code the console sends.
#pragma once

#include <array>
#include <cstdint>

namespace verdelo {

inline constexpr std::uint8_t kFrameStart = 0x0F;
inline constexpr std::size_t kFrameSize = 5;
inline constexpr std::uint16_t WRITE_FLAG = 0x8000;

using MowerFrame = std::array<std::uint8_t, kFrameSize>;

// A request carries its value high byte first.
constexpr MowerFrame BuildRequest(std::uint16_t command, std::uint16_t value) {
  return {kFrameStart, static_cast<std::uint8_t>(command >> 8),
          static_cast<std::uint8_t>(command & 0xFF),
          static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value & 0xFF)};
}

// An answer carries the request's code back and its value low byte first.
constexpr MowerFrame BuildAnswer(std::uint16_t command, std::uint16_t value) {
  return {kFrameStart, static_cast<std::uint8_t>(command >> 8),
          static_cast<std::uint8_t>(command & 0xFF),
          static_cast<std::uint8_t>(value & 0xFF),
          static_cast<std::uint8_t>(value >> 8)};
}

// Register named by a code, with WRITE_FLAG stripped.
constexpr std::uint16_t RegisterOf(std::uint16_t command) { return command & 0x7FFF; }

// The code a frame carries, WRITE_FLAG included.
constexpr std::uint16_t CodeOf(const MowerFrame& frame) {
  return static_cast<std::uint16_t>(frame[1] << 8 | frame[2]);
}
// The value of a request frame (high byte first) and of an answer frame
// (low byte first).
constexpr std::uint16_t RequestValueOf(const MowerFrame& frame) {
  return static_cast<std::uint16_t>(frame[3] << 8 | frame[4]);
}
constexpr std::uint16_t AnswerValueOf(const MowerFrame& frame) {
  return static_cast<std::uint16_t>(frame[4] << 8 | frame[3]);
}

// Reads frames out of a byte stream, the same way at both ends of the line:
// it waits for kFrameStart, then takes the next four bytes whatever they
// are. There is no checksum and no time-out, so a 0x0F inside a frame is
// data, and after a lost byte the stream falls back into step only when a
// 0x0F arrives while waiting.
class FrameAssembler {
 public:
  // Takes one byte; true when it completes a frame, which frame() then holds
  // until the next byte.
  constexpr bool Push(std::uint8_t byte) {
    if (received_ == 0 && byte != kFrameStart) return false;
    frame_[received_++] = byte;
    if (received_ < kFrameSize) return false;
    received_ = 0;
    return true;
  }
  constexpr const MowerFrame& frame() const { return frame_; }
  // Bytes of the current frame received so far (0: waiting for kFrameStart).
  constexpr std::size_t received() const { return received_; }
  constexpr void Reset() { received_ = 0; }

 private:
  MowerFrame frame_{};
  std::size_t received_ = 0;
};

// Request codes ("W" registers carry WRITE_FLAG).
enum : std::uint16_t {
  CMD_KEY = 0x805F,                   // 95 W: key code of the mower's keypad
  CMD_READ_MAX_CAPACITY = 0x00B1,     // 177
  CMD_SET_MAX_CAPACITY = 0x80B1,      // 177 W
  CMD_END_CHARGE = 0x8233,            // 563 W, value 54
  CMD_SPECIAL_MODE = 0x810D,          // 269 W: test-mode code
  CMD_STOP_TO_ZERO = 0x812F,          // 303 W, value 1
  CMD_STOP_TO_ZERO_DEV = 0xC678,      // 18040 W, value 2
  CMD_READ_TIMER_OVERRIDE = 0x4A4E,   // 19022
  CMD_SET_TIMER_OVERRIDE = 0xCA4E,    // 19022 W
  CMD_RESET_CUTTING_EFFORT = 0x8137,  // 311 W
  CMD_READ_SQUARE_CUTTING = 0x0138,   // 312
  CMD_SET_SQUARE_CUTTING = 0x8138,    // 312 W
  CMD_BING = 0x81DB,                  // 475 W, value 40997
  CMD_PULSE_CHARGE = 0x8763,          // 1891 W, value 2100
  CMD_DRIVE_RUN_A = 0x9203,           // 4611 W
  CMD_DRIVE_RUN_B = 0x9223,           // 4643 W
  CMD_DRIVE_SPEED_A = 0x8199,         // 409 W
  CMD_DRIVE_SPEED_B = 0x819A,         // 410 W
  CMD_REBOOT = 0x3412,                // 13330
  CMD_INIT_SETTINGS = 0x32C8,         // 13000
  CMD_PRG_LOAD = 0x32FA,              // 13050
  CMD_PRG_SAVE = 0x3304,              // 13060
  CMD_MENU_MODE = 0xCA54,             // 19028 W
  CMD_ROBOT_MODE = 0x812C,            // 300 W
  CMD_SET_MAX_CHARGE_TIME = 0x8175,   // 373 W
  CMD_RAIN_SENSOR = 0x0A6F,           // 2671
  CMD_SQUARE_TIMER_OFF = 0x89F4,      // 2548 W, value 15
  CMD_READ_STATUS = 0x01F1,           // 497
  CMD_READ_STOP_STATUS = 0x012F,      // 303
};

// Values that go with some of the codes above.
enum : std::uint16_t {
  kEndChargeValue = 54,
  kStopToZeroValue = 1,
  kStopToZeroDevValue = 2,
  kBingValue = 40997,
  kPulseChargeValue = 2100,
  kSquareTimerOffValue = 15,
  kSignalTestMode = 4391,
  kMovementTestMode = 23106,
  kDriveRun = 0x8000,
  kDriveStop = 0,
  kProgramSlotA = 168,
  kProgramSlotB = 169,
  kProgramSlotC = 170,
  kMenuNormal = 1,
  kMenuTools = 3,
  kMenuDev = 4,
  kRobotModeMan = 0,
  kRobotModeAuto = 1,
  kRobotModeHome = 3,
  kRobotModeDemo = 4,
  kRainSensorOff = 1,
  kRainSensorOn = 2,
};

// Signed drive speeds, sent as their two's complement.
inline constexpr std::int16_t kSpeedForward = 144;
inline constexpr std::int16_t kSpeedBackward = -166;
inline constexpr std::int16_t kSpeedGoBack = -176;

// Key codes of the mower's keypad, sent as the value of CMD_KEY.
enum MowerKey : std::uint16_t {
  KEY_0 = 0, KEY_1 = 1, KEY_9 = 9,
  KEY_A = 10, KEY_B = 11, KEY_C = 12,
  KEY_HOME = 13, KEY_MAN_AUTO = 14, KEY_SMALL_C = 15,
  KEY_UP = 16, KEY_DOWN = 17, KEY_YES = 18,
};

// Registers whose answers the console decodes.
enum AnswerRegister : std::uint16_t {
  REG_VALUE127 = 127,
  REG_MAX_CAPACITY = 177,
  REG_ROBOT_MODE = 300,
  REG_STOP_STATUS = 303,
  REG_CUTTING_EFFORT = 311,
  REG_SQUARE_CUTTING = 312,
  REG_MAX_CHARGE_TIME = 373,
  REG_NEAR_SIGNAL = 440,
  REG_QUALITY = 441,
  REG_FAR_SIGNAL = 442,
  REG_BOUNDARY_FRONT = 475,
  REG_BOUNDARY_REAR = 476,
  REG_CURRENT = 491,
  REG_STATUS = 497,
  REG_GUIDE_G1 = 498,
  REG_TEMPERATURE = 563,
  REG_POWER = 914,
  REG_RAIN_LEVEL = 2671,
  REG_CHARGE = 12000,
  REG_VOLTAGE = 12020,
  REG_VALUE12030 = 12030,
  REG_CLOCK_SECONDS = 14001,
  REG_CLOCK_MINUTES = 14003,
  REG_CLOCK_HOURS = 14005,
  REG_TIMER_OVERRIDE = 19022,
};

// The power register reads 6 while the mower stands on live power.
inline constexpr std::uint16_t kPowerPresentValue = 6;

}  // namespace verdelo
