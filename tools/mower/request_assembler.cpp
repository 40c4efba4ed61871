#include "tools/mower/request_assembler.h"

#include "console/mower_frame.h"

namespace verdelo::mower {

std::optional<Request> RequestAssembler::Push(std::uint8_t byte) {
  switch (received_) {
    case 0:
      if (byte == kFrameStart) received_ = 1;
      return std::nullopt;
    case 1:
      code_ = static_cast<std::uint16_t>(byte << 8);
      received_ = 2;
      return std::nullopt;
    case 2:
      code_ = static_cast<std::uint16_t>(code_ | byte);
      received_ = 3;
      return std::nullopt;
    case 3:
      value_high_ = byte;
      received_ = 4;
      return std::nullopt;
    default:
      received_ = 0;
      return Request{code_, static_cast<std::uint16_t>((value_high_ << 8) | byte)};
  }
}

}  // namespace verdelo::mower
