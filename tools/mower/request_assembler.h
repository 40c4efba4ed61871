// Turns the byte stream coming from the console into requests.
#pragma once

#include <cstdint>
#include <optional>

namespace verdelo::mower {

// One request frame: the code (WRITE_FLAG included) and its value, which the
// console sends high byte first.
struct Request {
  std::uint16_t code = 0;
  std::uint16_t value = 0;

  bool is_write() const { return (code & 0x8000) != 0; }
  std::uint16_t reg() const { return code & 0x7FFF; }
  friend bool operator==(const Request&, const Request&) = default;
};

// A five-state machine with no checksum and no time-out: it waits for 0x0F,
// then takes the next four bytes whatever they are. A 0x0F inside a frame is
// data, and after a lost byte the stream falls back into step only when a
// 0x0F arrives while waiting, the same way the console resynchronises.
class RequestAssembler {
 public:
  // Takes one byte; returns the request it completes, if any.
  std::optional<Request> Push(std::uint8_t byte);

  // Bytes of the current frame received so far (0 = waiting for 0x0F).
  int received() const { return received_; }

 private:
  int received_ = 0;
  std::uint16_t code_ = 0;
  std::uint8_t value_high_ = 0;
};

}  // namespace verdelo::mower
