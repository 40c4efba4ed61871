#include "tools/mower/trace_log.h"

namespace verdelo::mower {

std::string TraceLine(std::int64_t millis, std::string_view what, std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line = std::to_string(millis);
  line += ' ';
  line += what;
  for (std::uint8_t byte : bytes) {
    line += ' ';
    line += kHex[byte >> 4];
    line += kHex[byte & 0x0F];
  }
  return line;
}

}  // namespace verdelo::mower
