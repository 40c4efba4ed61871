// The console's record of the last decoded value of every answer, and the
// flags the decoder keeps.
#pragma once

#include <cstdint>

namespace verdelo {

inline constexpr int kMinVoltageReset = 99999;

struct MowerValues {
  int status = 0;
  int stopStatus = 0;
  int timerOverride = 0;
  int squareCuttingStatus = 0;
  int voltage = 0;
  int minVoltage = kMinVoltageReset;
  int value12030 = 0;
  int value127 = 0;
  int temperature = 0;
  int charge = 0;
  int current = 0;
  int maxCapacity = 0;
  int quality = 0;
  int boundaryFront = 0;
  int boundaryRear = 0;
  int guideG1 = 0;
  int farSignal = 0;
  int nearSignal = 0;
  int cuttingEffort = 0;
  std::uint8_t robotMode = 0;
  int maxChargeTime = 0;
  int rainLevel = 0;
  int powerPresent = 0;
  int clockSeconds = 0;
  int clockMinutes = 0;
  int clockHours = 0;
  int cuttingSeen = 0;
  int followingActive = 0;
};

}  // namespace verdelo
