// The Telnet byte stream (RFC 854, RFC 855): data bytes with commands
// woven in, each command starting with IAC (0xFF); a data byte 0xFF is sent
// as IAC IAC. The decoder takes the stream apart in pieces of any size, a
// command split between two pieces included; the encoder doubles IAC and
// builds commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace verdelo {

namespace telnet {
inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;  // subnegotiation begins
inline constexpr uint8_t kSe = 240;  // subnegotiation ends

inline constexpr uint8_t kOptionBinary = 0;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;
inline constexpr uint8_t kOptionComPort = 44;
}  // namespace telnet

// An option negotiation (verb WILL, WONT, DO or DONT) or a subnegotiation
// (verb SB, its bytes after the option in `parameters`, IAC IAC undone).
struct TelnetCommand {
  uint8_t verb = 0;
  uint8_t option = 0;
  std::vector<uint8_t> parameters;

  bool operator==(const TelnetCommand&) const = default;
};

class TelnetDecoder {
 public:
  // Longest subnegotiation kept; the rest of a longer one is dropped (the
  // COM port option's longest is a few bytes, a signature text some dozen).
  static constexpr std::size_t kMaxParameters = 256;

  // Appends the data bytes of `bytes` to `data` and the commands completed in
  // them to `commands`. Other commands (NOP, GA, ...) are dropped.
  void Decode(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& data,
              std::vector<TelnetCommand>& commands);

 private:
  enum class State { kData, kIac, kOption, kSubOption, kSub, kSubIac };
  void AfterIac(uint8_t byte, std::vector<uint8_t>& data);

  State state_ = State::kData;
  TelnetCommand pending_;
};

// Appends `count` data bytes to `out` with every IAC doubled.
void AppendEscaped(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out);

// IAC verb option.
void AppendNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);

// IAC SB option parameters... IAC SE, an IAC in the parameters doubled.
void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& parameters,
                          std::vector<uint8_t>& out);

}  // namespace verdelo
