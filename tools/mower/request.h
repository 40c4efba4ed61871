// A request as the mower hears it.
#pragma once

#include <cstdint>

#include "console/mower_frame.h"

namespace verdelo::mower {

// One request frame: the code (WRITE_FLAG included) and its value, which the
// console sends high byte first.
struct Request {
  std::uint16_t code = 0;
  std::uint16_t value = 0;

  static Request Of(const MowerFrame& frame) { return {CodeOf(frame), RequestValueOf(frame)}; }
  bool is_write() const { return (code & WRITE_FLAG) != 0; }
  std::uint16_t reg() const { return RegisterOf(code); }
  friend bool operator==(const Request&, const Request&) = default;
};

}  // namespace verdelo::mower
