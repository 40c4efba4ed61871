// The "1-Movement" buttons and the PC keys that act as them while
// "keyboard" is ticked. In every sequence the drive switched off goes first;
// drive B's speed is set before drive A's.
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"

namespace verdelo {

namespace {

constexpr std::uint32_t kDriveGapMs = 20;
constexpr std::uint32_t kToneMs = 50;
constexpr std::uint32_t kLowToneHz = 200;
constexpr std::uint32_t kTurnToneHz = 500;
constexpr std::uint32_t kHighToneHz = 1000;

}  // namespace

void MowerConsole::SetSpeeds(std::int16_t speed) {
  SendFrame(CMD_DRIVE_SPEED_B, static_cast<std::uint16_t>(speed));
  host_.pacing.Pause(kDriveGapMs);
  SendFrame(CMD_DRIVE_SPEED_A, static_cast<std::uint16_t>(speed));
}

void MowerConsole::SwitchDrives(std::uint16_t offCommand, std::uint16_t onCommand,
                                std::uint32_t beepHz) {
  SendFrame(offCommand, kDriveStop);
  host_.pacing.Pause(kDriveGapMs);
  SendFrame(onCommand, kDriveRun);
  host_.pacing.Beep(beepHz, kToneMs);
}

void MowerConsole::InitMovement() {
  SendFrame(CMD_DRIVE_RUN_A, kDriveStop);
  host_.pacing.Pause(kDriveGapMs);
  SendFrame(CMD_DRIVE_RUN_B, kDriveStop);
  host_.pacing.Beep(kLowToneHz, kToneMs);
  SendFrame(CMD_SPECIAL_MODE, kMovementTestMode);
  SendKey(KEY_SMALL_C);
  host_.pacing.Beep(kLowToneHz, kToneMs);
  Forward();
}

void MowerConsole::Forward() {
  SetSpeeds(kSpeedForward);
  host_.pacing.Beep(kHighToneHz, kToneMs);
  SendKey(KEY_SMALL_C);
}

void MowerConsole::Backward() {
  SetSpeeds(kSpeedBackward);
  host_.pacing.Beep(kHighToneHz, kToneMs);
  SendKey(KEY_SMALL_C);
}

void MowerConsole::Go() {
  SendFrame(CMD_DRIVE_RUN_A, kDriveRun);
  host_.pacing.Pause(kDriveGapMs);
  SendFrame(CMD_DRIVE_RUN_B, kDriveRun);
  host_.pacing.Beep(kHighToneHz, kToneMs);
}

void MowerConsole::Stop() {
  SendFrame(CMD_DRIVE_RUN_A, kDriveStop);
  host_.pacing.Pause(kDriveGapMs);
  SendFrame(CMD_DRIVE_RUN_B, kDriveStop);
  host_.pacing.Beep(kHighToneHz, kToneMs);
}

void MowerConsole::TurnLeft() {
  if (host_.controls.IsChecked(IDC_LEFT_RIGHT)) {
    SwitchDrives(CMD_DRIVE_RUN_B, CMD_DRIVE_RUN_A, kTurnToneHz);
  } else {
    SwitchDrives(CMD_DRIVE_RUN_A, CMD_DRIVE_RUN_B, kTurnToneHz);
  }
}

void MowerConsole::TurnRight() {
  if (host_.controls.IsChecked(IDC_LEFT_RIGHT)) {
    SwitchDrives(CMD_DRIVE_RUN_A, CMD_DRIVE_RUN_B, kTurnToneHz);
  } else {
    SwitchDrives(CMD_DRIVE_RUN_B, CMD_DRIVE_RUN_A, kTurnToneHz);
  }
}

bool MowerConsole::OnKeyDown(unsigned virtualKey) {
  if (!host_.controls.IsChecked(IDC_KEYBOARD)) return false;
  switch (virtualKey) {
    case VK_RETURN: InitMovement(); return true;
    case VK_PRIOR: Forward(); return true;
    case VK_NEXT: Backward(); return true;
    case VK_LEFT: TurnLeft(); return true;
    case VK_UP: Go(); return true;
    case VK_RIGHT: TurnRight(); return true;
    case VK_DOWN: Stop(); return true;
    default: return false;
  }
}

}  // namespace verdelo
