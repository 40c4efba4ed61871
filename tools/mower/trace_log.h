// A readable record of the dialogue on the line: one line per request and
// per answer, with the time in milliseconds and the bytes in hexadecimal.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace verdelo::mower {

// "1234 REQ 0F 01 EB 00 00": time, what (REQ, ANS, BURST, NOISE, FLOOD),
// bytes.
std::string TraceLine(std::int64_t millis, std::string_view what, std::span<const std::uint8_t> bytes);

class TraceLog {
 public:
  explicit TraceLog(std::ostream& out) : out_(out) {}
  // Written and flushed at once, so the trace can be watched while it grows.
  void Record(std::int64_t millis, std::string_view what, std::span<const std::uint8_t> bytes) {
    out_ << TraceLine(millis, what, bytes) << '\n' << std::flush;
  }

 private:
  std::ostream& out_;
};

}  // namespace verdelo::mower
