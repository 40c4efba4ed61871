// The mower's registers: every address 0 to 32767 exists and holds 16 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "console/mower_frame.h"
#include "tools/mower/request.h"

namespace verdelo::mower {

class RegisterStore {
 public:
  static constexpr std::size_t kCount = 32768;

  RegisterStore() : values_(kCount, 0) {}

  std::uint16_t Get(std::uint16_t reg) const { return values_[reg & 0x7FFF]; }
  std::int16_t GetSigned(std::uint16_t reg) const {
    return static_cast<std::int16_t>(Get(reg));
  }
  void Set(std::uint16_t reg, std::uint16_t value) { values_[reg & 0x7FFF] = value; }
  void SetSigned(std::uint16_t reg, int value) {
    Set(reg, static_cast<std::uint16_t>(value));
  }

  // A write stores the request's value. Call before the mower reacts to it.
  void Apply(const Request& request) {
    if (request.is_write()) Set(request.reg(), request.value);
  }

  // The answer frame: the request's code back, with the written value for a
  // write and the stored value for a read, low byte first.
  MowerFrame AnswerTo(const Request& request) const {
    return BuildAnswer(request.code, request.is_write() ? request.value : Get(request.reg()));
  }

 private:
  std::vector<std::uint16_t> values_;
};

}  // namespace verdelo::mower
