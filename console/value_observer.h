// Every value the decoder takes from an answer, for whoever wants to follow
// them (the trends, telemetry): the value as the console keeps it, with its
// arrival time on the console's clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/host.h"

namespace verdelo {

enum class ValueId : std::uint8_t {
  Status, StopStatus, TimerOverride, SquareCutting, Voltage, Value12030, Value127, Temperature,
  Charge, Current, MaxCapacity, Quality, BoundaryFront, BoundaryRear, GuideG1, FarSignal,
  NearSignal, CuttingEffort, RobotMode, MaxChargeTime, RainLevel, Power, ClockSeconds,
  ClockMinutes, ClockHours,
};
inline constexpr int kValueIdCount = static_cast<int>(ValueId::ClockHours) + 1;

// A short stable name of each value ("voltage", "boundary_front", ...).
std::string_view ValueName(ValueId id);

class IValueObserver {
 public:
  virtual ~IValueObserver() = default;
  // Called on the window's thread, in the decoder, after the console has
  // done everything the answer asks for. It must not add or remove
  // observers.
  virtual void OnValue(ValueId id, int value, const LocalTime& arrival) = 0;
};

// The event lines of the data log (status changes, alarms, scripts, the
// link), each with its text as the console wrote it; the periodic data
// lines, which carry no text, are not events.
class ILogEventObserver {
 public:
  virtual ~ILogEventObserver() = default;
  // Called on the window's thread after the line was written (or failed to
  // be), with the line's time stamp. It must not add or remove observers.
  virtual void OnLogEvent(const std::string& text, const LocalTime& at) = 0;
};

}  // namespace verdelo
