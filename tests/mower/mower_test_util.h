// Helpers shared by the virtual mower's tests: ask a mower a question on the
// virtual clock and get back the bytes it sends.
#pragma once

#include <cstdint>
#include <vector>

#include "console/mower_frame.h"
#include "tools/mower/virtual_mower.h"

namespace verdelo::mower::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Concat(const std::vector<Outgoing>& chunks) {
  Bytes bytes;
  for (const auto& chunk : chunks) bytes.insert(bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
  return bytes;
}

// Sends one request at `now` and returns what goes out at that same moment.
inline Bytes Ask(VirtualMower& mower, std::uint16_t code, std::uint16_t value, LineMillis now) {
  const MowerFrame request = BuildRequest(code, value);
  mower.Receive(request, now);
  return Concat(mower.TakeDue(now));
}

inline Bytes Answer(std::uint16_t code, std::uint16_t value) {
  const MowerFrame frame = BuildAnswer(code, value);
  return Bytes(frame.begin(), frame.end());
}

// The value of an answer frame (low byte first), read signed.
inline int SignedValue(const Bytes& answer) {
  return static_cast<std::int16_t>(answer.at(3) | (answer.at(4) << 8));
}

// Reads a register through the line and returns its value, signed.
inline int Read(VirtualMower& mower, std::uint16_t reg, LineMillis now) {
  return SignedValue(Ask(mower, reg, 0, now));
}

// A mower cutting at 10:00 with a good battery.
inline MowerOptions Cutting() {
  MowerOptions options;
  options.day.start_seconds_of_day = 10 * 3600;
  options.day.start_phase = Phase::Cutting;
  options.day.start_charge = 0.8;
  return options;
}

}  // namespace verdelo::mower::testing
